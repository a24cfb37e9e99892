// The pieces of the language server that turn the engine's values into the
// protocol's: diagnostics with ranges, links and related lines; the files
// behind file URIs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/model/findings.h"
#include "engine/run/spans.h"

namespace corvala::lsp {

// The diagnostics of `findings` on the text `bytes` (with its line
// starts), as the text of a JSON array: ranges from the findings' spans in
// `unit`s, the whole line when a finding has none, the start of the file
// for the file as a whole.
std::string DiagnosticsArray(const std::string& uri, std::string_view bytes, const std::vector<std::size_t>& starts,
                             const std::vector<Finding>& findings, TextUnit unit, const std::string& rulesDocument);

// The edits of `fix`, made on the text `bytes` (with its line starts), as
// the text of a JSON array of the protocol's TextEdits; "" when an edit
// names a place the text does not have.
std::string FixEdits(std::string_view bytes, const std::vector<std::size_t>& starts, const Fix& fix, TextUnit unit);

// An integer of a message; raises std::invalid_argument for any other
// value (a real such as 1e30 does not fit an integer).
std::int64_t IntegerOf(const nlohmann::json& value);
// The member `key` of `object` as an integer, or `fallback` when absent.
std::int64_t IntegerOr(const nlohmann::json& object, const char* key, std::int64_t fallback);

// `text` as a JSON string (quoted and escaped; `text` is UTF-8).
void AppendJsonString(std::string& out, std::string_view text);

// The other lines a message names ("line 12", "lines 8 to 9"), in order,
// each once, without `own`.
std::vector<std::int32_t> NamedLines(std::string_view message, std::int32_t own);

// The path of a file: URI ("" for any other URI), percent-decoded.
std::string PathOfUri(std::string_view uri);

// Reads the regular file behind a file: URI, when there is one of at most
// a few hundred megabytes.
bool ReadFileBehind(std::string_view uri, std::string& bytes);

}  // namespace corvala::lsp
