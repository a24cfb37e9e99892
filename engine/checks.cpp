#include "engine/checks.h"

#include "engine/blocks.h"
#include "engine/extended.h"

namespace corvala {

std::string_view SeverityName(Severity severity) noexcept {
    switch (severity) {
    case Severity::Error:
        return "error";
    case Severity::Warning:
        return "warning";
    case Severity::Note:
        return "note";
    }
    return "error";
}

std::vector<std::unique_ptr<LineChecks>> MakeLineChecks(const CheckSettings& settings) {
    std::vector<std::unique_ptr<LineChecks>> checks;
    if (!settings.blocks && !settings.extended) return checks;
    CheckSettings blocks = settings;
    for (const RuleInfo& rule : BlockRules()) {
        // The extended record set checks the limits' spelling itself, and
        // without --blocks takes from the block checks only its rule on
        // outlines that are not closed.
        const bool keep = settings.blocks ? !(settings.extended && (rule.id == "altitude-unreadable" ||
                                                                    rule.id == "altitude-without-unit"))
                                          : rule.id == "not-closed";
        if (!keep) blocks.disabled.emplace_back(rule.id);
    }
    checks.push_back(std::make_unique<BlockChecks>(blocks));
    // With the classic rules it only suggests the extended ones for a file
    // that declares their version.
    checks.push_back(std::make_unique<ExtendedChecks>(settings));
    return checks;
}

bool StartsBlock(std::string_view command) noexcept {
    // Letters compare regardless of case: codes that differ at most in the
    // bit of value 32 are equal, as in the dispatch to the validators.
    if (command.size() != 2) return false;
    const char a = static_cast<char>(command[0] | 0x20);
    const char b = static_cast<char>(command[1] | 0x20);
    return (a == 'a' && b == 'c') || (a == 't' && (b == 'o' || b == 'c'));
}

}  // namespace corvala
