// The rules as documents: --list-rules --format=json and
// --list-rules --format=markdown (which is docs/rules.md).
#pragma once

#include <string>
#include <string_view>

namespace corvala::cli {

// Where the rules document is published; a rule's section is "#" + its id.
inline constexpr std::string_view kRulesDocumentUri = "https://corvala.github.io/corvala/rules.html";

// The address of the rule's section of the rules document.
std::string RuleHelpUri(std::string_view id);

// Every rule as a JSON array: id, family, severity in each way of judging a
// file, summary and, beyond the classic line checks, rationale, example,
// fix and help_uri.
std::string RulesJson();

// The rules document, docs/rules.md.
std::string RulesMarkdown();

}  // namespace corvala::cli
