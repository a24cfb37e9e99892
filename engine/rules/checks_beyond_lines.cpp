#include "engine/rules/checks_beyond_lines.h"

#include "engine/rules/block/blocks.h"
#include "engine/rules/extended/extended.h"

namespace corvala {

std::vector<std::unique_ptr<ChecksBeyondLines>> MakeChecksBeyondLines(const CheckSettings& settings) {
    std::vector<std::unique_ptr<ChecksBeyondLines>> checks;
    if (!settings.blocks && !settings.ExtendedLines()) return checks;
    CheckSettings blocks = settings;
    // Without --blocks the extended record set takes from the block checks
    // only its rule on outlines that are not closed.
    if (!settings.blocks)
        for (const RuleInfo& rule : AllRules())
            if (rule.family == RuleFamily::Block && RuleOf(rule) != RuleId::NotClosed) blocks.Disable(RuleOf(rule));
    checks.push_back(std::make_unique<BlockChecks>(blocks));
    // With the classic rules it only suggests the extended ones for a file
    // that declares their version.
    checks.push_back(std::make_unique<ExtendedBlockRules>(settings));
    return checks;
}

}  // namespace corvala
