// Fuzz target: the field pattern matcher over arbitrary data and patterns.
//
// Input layout: the first byte chooses the mode (bit 0: trim flag; bit 7 set:
// one of the patterns the validators use, chosen by the bits 1 to 3, over
// the rest as data; bit 7 clear: the rest is split at its first LF into the
// pattern and the data). The throwing and the non-throwing forms must agree
// on the outcome, the message and the fields.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/model/failures.h"
#include "engine/values/pattern.h"
#include "engine/values/text.h"

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "fuzz_pattern invariant broken: %s\n", what);
    std::abort();
}

void Check(bool condition, const char* what) {
    if (!condition) Fail(what);
}

constexpr std::string_view kPatternsInUse[8] = {
    "s:s:s c s:s:s c", "s:s c s:s c", "s c s c", "s,s,s", "s,s", "s,s,s,s,s", "s=s", "s",
};

bool KnownCheck(corvala::PatternCheck check) {
    switch (check) {
    case corvala::PatternCheck::Matched:
    case corvala::PatternCheck::BadEscapedLiteral:
    case corvala::PatternCheck::FieldAfterField:
    case corvala::PatternCheck::LiteralNotFound:
    case corvala::PatternCheck::BadEscape:
    case corvala::PatternCheck::EscapedMismatch:
    case corvala::PatternCheck::LiteralMismatch:
    case corvala::PatternCheck::DataLeftOver:
        return true;
    }
    return false;
}

// Number of field items ("s" or "c" not escaped) and whether the pattern has
// any item other than a literal.
std::size_t FieldItems(std::string_view pattern, bool& onlyLiterals) {
    std::size_t fields = 0;
    onlyLiterals = true;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '\\') {
            onlyLiterals = false;
            ++i;
        } else if (c == 's' || c == 'c') {
            onlyLiterals = false;
            ++fields;
        }
    }
    return fields;
}

void CheckOne(std::string_view data, std::string_view pattern, bool trim) {
    corvala::StringList fields;
    fields.push_back("left over from an earlier call");
    const corvala::PatternCheck check = corvala::ScanFields(data, pattern, fields, trim);
    Check(KnownCheck(check), "check number outside the fixed table");

    corvala::StringList thrownFields{"x", "y"};
    bool threw = false;
    try {
        corvala::MatchPattern(data, pattern, thrownFields, trim);
    } catch (const corvala::PatternMismatch& mismatch) {
        threw = true;
        Check(check != corvala::PatternCheck::Matched, "MatchPattern raised where ScanFields matched");
        const std::string expected = "Assertion failure (Unit1, line " + std::to_string(static_cast<int>(check)) + ")";
        Check(mismatch.message() == expected, "mismatch message differs from the check of ScanFields");
        Check(corvala::PatternMismatchMessage(check) == expected, "PatternMismatchMessage text");
    }
    Check(threw == (check != corvala::PatternCheck::Matched), "MatchPattern did not raise for a failed check");
    Check(thrownFields == fields, "the two forms left different fields");

    bool onlyLiterals = false;
    const std::size_t items = FieldItems(pattern, onlyLiterals);
    if (check == corvala::PatternCheck::Matched) {
        Check(fields.size() == items, "a match yields one field per field item");
        if (trim) {
            for (const std::string& field : fields) {
                // Character fields are never trimmed, so only fields longer
                // than one byte must be free of trim characters at the ends.
                if (field.size() > 1) Check(corvala::TrimText(field) == field, "string field not trimmed");
            }
        }
    } else {
        Check(fields.size() <= items, "more fields than field items after a failure");
    }
    // A literal byte 0 matches the end mark one past the data, so only
    // patterns without one must match exactly their own text.
    if (onlyLiterals && pattern.find('\0') == std::string_view::npos) {
        Check((check == corvala::PatternCheck::Matched) == (data == pattern),
              "a pattern of literals matches exactly its own text");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t mode = bytes[0];
    const std::string_view rest(reinterpret_cast<const char*>(bytes) + 1, size - 1);
    const bool trim = (mode & 1) != 0;
    if (mode & 0x80) {
        CheckOne(rest, kPatternsInUse[(mode >> 1) & 7], trim);
    } else {
        const std::size_t lf = rest.find('\n');
        if (lf == std::string_view::npos) {
            CheckOne(std::string_view(), rest, trim);
        } else {
            CheckOne(rest.substr(lf + 1), rest.substr(0, lf), trim);
        }
    }
    return 0;
}
