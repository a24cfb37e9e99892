#include "engine/rules/checks_beyond_lines.h"

#include "engine/rules/block/blocks.h"
#include "engine/rules/extended/extended.h"

namespace corvala {

std::vector<std::unique_ptr<ChecksBeyondLines>> MakeChecksBeyondLines(const CheckSettings& settings,
                                                                      BlockAnalysisSink* keep) {
    std::vector<std::unique_ptr<ChecksBeyondLines>> checks;
    // Without --blocks the analyses to keep come from block checks of their
    // own that report nothing, so that the shapes are those the block checks
    // would draw and the findings stay those of the run.
    if (keep && !settings.blocks)
        checks.push_back(std::make_unique<BlockChecks>(settings, keep, BlockFindings::Dropped));
    if (!settings.blocks && !settings.ExtendedLines()) return checks;
    CheckSettings blocks = settings;
    // Without --blocks the extended record set takes from the block checks
    // only its rule on outlines that are not closed.
    if (!settings.blocks)
        for (const RuleInfo& rule : AllRules())
            if (rule.family == RuleFamily::Block && RuleOf(rule) != RuleId::NotClosed) blocks.Disable(RuleOf(rule));
    checks.push_back(std::make_unique<BlockChecks>(blocks, settings.blocks ? keep : nullptr));
    // With the classic rules it only suggests the extended ones for a file
    // that declares their version.
    checks.push_back(std::make_unique<ExtendedBlockRules>(settings));
    return checks;
}

}  // namespace corvala
