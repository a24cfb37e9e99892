#include "engine/checks.h"

#include <algorithm>

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

namespace {

// The classic line checks, one rule per command word.
constexpr RuleInfo kLineRules[] = {
    {"AC", Severity::Error, "AC that is empty or not one of the classic class codes"},
    {"AN", Severity::Error, "AN without a name"},
    {"AH", Severity::Error, "AH without a limit"},
    {"AL", Severity::Error, "AL without a limit"},
    {"AT", Severity::Error, "AT that is not a valid coordinate"},
    {"TO", Severity::Error, "TO (any argument passes)"},
    {"TC", Severity::Error, "TC (any argument passes)"},
    {"SP", Severity::Error, "SP that is not a pen style, width and colour"},
    {"SB", Severity::Error, "SB that is not a colour"},
    {"V", Severity::Error, "V that is not a valid assignment of D, W, X or Z"},
    {"DP", Severity::Error, "DP that is not a valid coordinate"},
    {"DA", Severity::Error, "DA that is not a radius and two angles"},
    {"DB", Severity::Error, "DB that is not two valid coordinates"},
    {"DC", Severity::Error, "DC that is not a radius from 0 to 1000"},
    {"DY", Severity::Error, "DY that is not a valid coordinate"},
    {kNotImplementedRule, Severity::Error, "a command word that has no check"},
};

// What the reading of a file finds, reported by corvala-check with the
// checks beyond single lines.
constexpr RuleInfo kReadingRules[] = {
    {kTextAfterNulRule, Severity::Warning, "bytes after a byte 0, which ends the file's text, left unchecked"},
};

}  // namespace

std::span<const RuleInfo> AllRules() {
    static const std::vector<RuleInfo> rules = [] {
        std::vector<RuleInfo> all;
        auto add = [&all](std::span<const RuleInfo> some) {
            for (const RuleInfo& rule : some) {
                const bool known =
                    std::any_of(all.begin(), all.end(), [&](const RuleInfo& kept) { return kept.id == rule.id; });
                if (!known) all.push_back(rule);
            }
        };
        add(kLineRules);
        add(BlockRules());
        add(ExtendedRules());
        add(kReadingRules);
        return all;
    }();
    return rules;
}

std::vector<std::unique_ptr<LineChecks>> MakeLineChecks(const CheckSettings& settings) {
    std::vector<std::unique_ptr<LineChecks>> checks;
    if (!settings.blocks && !settings.extended) return checks;
    CheckSettings blocks = settings;
    for (const RuleInfo& rule : BlockRules()) {
        // The extended record set checks the limits' spelling itself, and
        // without --blocks takes from the block checks only its rule on
        // outlines that are not closed.
        const bool keep = settings.blocks ? !(settings.extended &&
                                              (rule.id == "altitude-unreadable" || rule.id == "altitude-without-unit"))
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
