// The field pattern matcher: takes an argument text apart into fields by a
// short template and checks its shape in the same pass.
//
// Pattern items: "s" a string field up to the literal that follows it (or to
// the end when last), "c" one character, a backslash escaping "\", "c" or
// "s", and any other character a literal that must match. Failures name a
// fixed check number.
#pragma once

#include <string_view>
#include <vector>

#include "engine/values/text.h"

namespace corvala {

enum class PatternCheck : int {
    Matched = 0,
    BadEscapedLiteral = 118,  // pattern fault: "s" then a bad escape
    FieldAfterField = 120,  // pattern fault: "sc" or "ss"
    LiteralNotFound = 141,  // data: the literal ending a string field is missing
    BadEscape = 158,  // pattern fault: a bad escape
    EscapedMismatch = 159,  // data: escaped character differs
    LiteralMismatch = 165,  // data: literal differs
    DataLeftOver = 171,  // data: characters left after the pattern
};

// Fields as views into the data: what the validators use, since their fields
// live no longer than the argument text they were cut from.
using FieldList = std::vector<std::string_view>;

// The core: fills `list` with the fields and reports the first failing
// check, or Matched. A mismatch raises nothing, so trying a pattern that does
// not fit costs no exception (only running out of memory can throw). On
// failure the list holds the fields taken before the failing step.
PatternCheck ScanFields(std::string_view data, std::string_view pattern, FieldList& list, bool trim);
PatternCheck ScanFields(std::string_view data, std::string_view pattern, StringList& list, bool trim);

// The message of a failed check: "Assertion failure (Unit1, line N)".
std::string PatternMismatchMessage(PatternCheck check);

// As ScanFields, raising PatternMismatch on failure.
void MatchPattern(std::string_view data, std::string_view pattern, FieldList& list, bool trim);
void MatchPattern(std::string_view data, std::string_view pattern, StringList& list, bool trim);

}  // namespace corvala
