#include "engine/model/rules.h"

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
#include "engine/model/rules.def"
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
    if (!severity || !settings.Enabled(rule)) return false;
    finding.rule = rule;
    finding.severity = *severity;
    return true;
}

}  // namespace corvala
