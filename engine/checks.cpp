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

namespace {

constexpr std::optional<Severity> E = Severity::Error;
constexpr std::optional<Severity> W = Severity::Warning;
constexpr std::optional<Severity> N = Severity::Note;
constexpr std::optional<Severity> O = std::nullopt;

constexpr Severity Listed(std::optional<Severity> classic, std::optional<Severity> classicFile,
                          std::optional<Severity> extendedFile) {
    return classic ? *classic : extendedFile ? *extendedFile : classicFile ? *classicFile : Severity::Error;
}

constexpr RuleInfo kRules[] = {
#define RULE(name, id, family, needs, classic, classicFile, extendedFile, summary) \
    {id,      RuleFamily::family, RuleNeeds::needs, {classic, classicFile, extendedFile}, summary, \
     Listed(classic, classicFile, extendedFile)},
#include "engine/rules.def"
#undef RULE
};

}  // namespace

std::span<const RuleInfo> AllRules() noexcept { return kRules; }

const RuleInfo& Info(RuleId rule) noexcept { return kRules[static_cast<std::size_t>(rule)]; }

const RuleInfo* FindRule(std::string_view id) noexcept {
    for (const RuleInfo& rule : kRules)
        if (rule.id == id) return &rule;
    return nullptr;
}

bool MakeFinding(RuleId rule, const CheckSettings& settings, Finding& finding) {
    const RuleInfo& info = Info(rule);
    const std::optional<Severity> severity = info.severities[static_cast<std::size_t>(settings.Judged())];
    if (!severity || !settings.Enabled(info.id)) return false;
    finding.rule = info.id;
    finding.severity = *severity;
    return true;
}

std::vector<std::unique_ptr<LineChecks>> MakeLineChecks(const CheckSettings& settings) {
    std::vector<std::unique_ptr<LineChecks>> checks;
    if (!settings.blocks && !settings.ExtendedLines()) return checks;
    CheckSettings blocks = settings;
    // Without --blocks the extended record set takes from the block checks
    // only its rule on outlines that are not closed.
    if (!settings.blocks)
        for (const RuleInfo& rule : kRules)
            if (rule.family == RuleFamily::Block && rule.id != Info(RuleId::NotClosed).id)
                blocks.disabled.emplace_back(rule.id);
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
