// The documentation of the rules beyond the classic line checks
// (engine/model/rule_docs_*.def), beside the rule table.
#pragma once

#include <string_view>

#include "engine/model/rules.h"

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

}  // namespace corvala
