#include "engine/model/rule_docs.h"

#include <array>

namespace corvala {

namespace {

constexpr std::size_t kRuleCount = 0
#define RULE(name, id, family, needs, classic, classicFile, extendedFile, summary) +1
#include "engine/model/rules.def"
#undef RULE
    ;

constexpr auto kDocs = [] {
    std::array<RuleDoc, kRuleCount> docs{};
#define RULE_DOC(name, options, rationale, example, fix) \
    docs[static_cast<std::size_t>(RuleId::name)] = {options, rationale, example, fix};
#include "engine/model/rule_docs_structure.def"
#include "engine/model/rule_docs_geometry.def"
#include "engine/model/rule_docs_lines.def"
#include "engine/model/rule_docs_file.def"
#undef RULE_DOC
    return docs;
}();

struct FixEntry {
    bool known = false;
    RuleFix fix{FixSafety::Safe, {}};
};

constexpr auto kFixes = [] {
    std::array<FixEntry, kRuleCount> fixes{};
#define RULE_FIX(name, safety, does) \
    fixes[static_cast<std::size_t>(RuleId::name)] = {true, {FixSafety::safety, does}};
#include "engine/model/rule_fixes.def"
#undef RULE_FIX
    return fixes;
}();

}  // namespace

const RuleFix* FixOf(RuleId rule) noexcept {
    const FixEntry& entry = kFixes[static_cast<std::size_t>(rule)];
    return entry.known ? &entry.fix : nullptr;
}

std::shared_ptr<const Fix> MakeRuleFix(RuleId rule, std::string title, std::vector<Edit> edits) {
    const RuleFix* fix = FixOf(rule);
    return fix == nullptr ? nullptr : MakeFix(std::move(title), fix->safety, std::move(edits));
}

const RuleDoc* DocOf(RuleId rule) noexcept {
    const RuleDoc& doc = kDocs[static_cast<std::size_t>(rule)];
    return doc.rationale.empty() ? nullptr : &doc;
}

}  // namespace corvala
