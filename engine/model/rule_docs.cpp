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

}  // namespace

const RuleDoc* DocOf(RuleId rule) noexcept {
    const RuleDoc& doc = kDocs[static_cast<std::size_t>(rule)];
    return doc.rationale.empty() ? nullptr : &doc;
}

}  // namespace corvala
