// The documentation of the rules beyond the classic line checks
// (engine/model/rule_docs_*.def), beside the rule table.
#pragma once

#include <string_view>

#include "engine/model/rules.h"
#include "engine/model/fixes.h"

namespace corvala {

struct RuleDoc {
    // The corvala-check options with which the example reports the rule.
    std::string_view options;
    // Why readers care, in Markdown.
    std::string_view rationale;
    // A whole file that reports the rule.
    std::string_view example;
    // How to put it right, in Markdown.
    std::string_view fix;
};

// The rule's documentation, or null for the classic line checks.
const RuleDoc* DocOf(RuleId rule) noexcept;

// What a rule's fix does and how safe it is (engine/model/rule_fixes.def).
struct RuleFix {
    FixSafety safety;
    std::string_view does;
};

// The rule's fix, or null when its findings offer none.
const RuleFix* FixOf(RuleId rule) noexcept;

// A fix of `rule` with the safety the rule table gives it.
std::shared_ptr<const Fix> MakeRuleFix(RuleId rule, std::string title, std::vector<Edit> edits);

}  // namespace corvala
