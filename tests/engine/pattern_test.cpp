// The field pattern matcher: "s" string fields cut at the first occurrence of
// the literal after them (the last one takes the rest), "c" one character
// (the end mark NUL one past the end), backslash escapes, other characters
// literals; the first failing step names its check number.
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "engine/model/failures.h"
#include "engine/values/pattern.h"
#include "test_support.h"

using namespace std::string_view_literals;
using corvala::test::Visible;

namespace corvala {
namespace {

constexpr std::string_view kDms = "s:s:s c s:s:s c";
constexpr std::string_view kDm = "s:s c s:s c";
constexpr std::string_view kDd = "s c s c";

struct PatternCase {
    std::string_view pattern;
    std::string_view data;
    bool trim;
    PatternCheck check;
    // The fields on success; on failure, those taken before the failing step.
    std::vector<std::string> fields;
};

constexpr auto OK = PatternCheck::Matched;
constexpr auto C118 = PatternCheck::BadEscapedLiteral;
constexpr auto C120 = PatternCheck::FieldAfterField;
constexpr auto C141 = PatternCheck::LiteralNotFound;
constexpr auto C158 = PatternCheck::BadEscape;
constexpr auto C159 = PatternCheck::EscapedMismatch;
constexpr auto C165 = PatternCheck::LiteralMismatch;
constexpr auto C171 = PatternCheck::DataLeftOver;

const PatternCase kCases[] = {
    // Comma lists of the record validators.
    {"s,s,s"sv, "10,0,90"sv, true, OK, {"10", "0", "90"}},
    {"s,s,s"sv, "10, 0 , 90"sv, true, OK, {"10", "0", "90"}},
    {"s,s,s"sv, "10, 0 , 90"sv, false, OK, {"10", " 0 ", " 90"}},
    {"s,s,s"sv, "10,0"sv, true, C141, {"10"}},
    {"s,s,s"sv, "10,0,90,5"sv, true, OK, {"10", "0", "90,5"}},
    {"s,s,s"sv, ",,"sv, true, OK, {"", "", ""}},
    {"s,s"sv, "1,2,3"sv, true, OK, {"1", "2,3"}},
    {"s,s,s,s,s"sv, "0,1,0,0"sv, true, C141, {"0", "1", "0"}},
    {"s:s"sv, "a:b:c"sv, true, OK, {"a", "b:c"}},
    {"s:s"sv, " a : b "sv, true, OK, {"a", "b"}},
    {"s:s"sv, " a : b "sv, false, OK, {" a ", " b "}},
    // Variable assignments.
    {"s=s"sv, "X=52:30:00 N 013:20:00 E"sv, true, OK, {"X", "52:30:00 N 013:20:00 E"}},
    {"s=s"sv, "D+"sv, true, C141, {}},
    {"s=s"sv, "=5"sv, true, OK, {"", "5"}},
    {"s=s"sv, "D="sv, true, OK, {"D", ""}},
    {"s=s"sv, "a=b=c"sv, true, OK, {"a", "b=c"}},
    // Empty data and the empty pattern.
    {"s=s"sv, ""sv, true, C141, {}},
    {"s"sv, ""sv, true, OK, {""}},
    {"s"sv, "  x  "sv, true, OK, {"x"}},
    {"s"sv, "  x  "sv, false, OK, {"  x  "}},
    {""sv, ""sv, true, OK, {}},
    {""sv, "a"sv, true, C171, {}},
    // The coordinate forms.
    {kDms, "52:30:00 N 013:20:00 E"sv, true, OK, {"52", "30", "00", "N", "013", "20", "00", "E"}},
    {kDms, "52:30:00N 013:20:00E"sv, true, C165, {"52", "30", "00N", "0"}},
    {kDms, "52.5 N 13.25 E"sv, true, C141, {}},
    {kDms, "52:30:00   N 013:20:00 E"sv, true, OK, {"52", "30", "00", " ", "N 013", "20", "00", "E"}},
    {kDm, "52:30.5 N 13:20.25 E"sv, true, OK, {"52", "30.5", "N", "13", "20.25", "E"}},
    {kDm, "52:30:00 N 13:20 E"sv, true, OK, {"52", "30:00", "N", "13", "20", "E"}},
    {kDd, "52.5 N 13.25 E"sv, true, OK, {"52.5", "N", "13.25", "E"}},
    {kDd, "52.5 N 13.25 E extra"sv, true, C171, {"52.5", "N", "13.25", "E"}},
    {kDd, "52.5 N 13.25"sv, true, C141, {"52.5", "N"}},
    {kDd, "52.5 N 13.25 E "sv, true, C171, {"52.5", "N", "13.25", "E"}},
    {kDd, "52.5  N 13.25 E"sv, true, C165, {"52.5", " "}},
    {kDd, " 52.5 N 13.25 E"sv, true, C165, {"", "5"}},
    {kDd, "52.5 N  13.25 E"sv, true, C171, {"52.5", "N", "", "1"}},
    // A blank literal cuts at the first blank; trimming comes afterwards.
    {"s s"sv, "a  b"sv, true, OK, {"a", "b"}},
    {"s s"sv, "a  b"sv, false, OK, {"a", " b"}},
    {"s "sv, "abc"sv, true, C141, {}},
    // Character fields.
    {"c"sv, "a"sv, true, OK, {"a"}},
    {"c"sv, " "sv, true, OK, {" "}},
    {"c"sv, "ab"sv, true, C171, {"a"}},
    {"cc"sv, "ab"sv, true, OK, {"a", "b"}},
    {"cs"sv, "abc"sv, true, OK, {"a", "bc"}},
    {"c,"sv, ",,x"sv, true, C171, {","}},
    {"c,"sv, ",,"sv, true, OK, {","}},
    {"ac"sv, "a"sv, true, OK, {std::string(1, '\0')}},
    // Literals are compared exactly; the end mark differs from any literal.
    {"x"sv, "X"sv, true, C165, {}},
    {"a:"sv, "a"sv, true, C165, {}},
    {"s:x"sv, "a:"sv, true, C165, {"a"}},
    {"ab"sv, "ab"sv, true, OK, {}},
    // Escapes.
    {"\\c"sv, "c"sv, true, OK, {}},
    {"\\c"sv, "b"sv, true, C159, {}},
    {"\\s"sv, "s"sv, true, OK, {}},
    {"\\\\"sv, "\\"sv, true, OK, {}},
    {"a\\c"sv, "a"sv, true, C159, {}},
    {"s\\c"sv, "abc"sv, true, OK, {"ab"}},
    {"s\\s"sv, "xs"sv, true, OK, {"x"}},
    {"s\\s"sv, "xsys"sv, true, C171, {"x"}},
    {"s\\ss"sv, "xsys"sv, true, OK, {"x", "ys"}},
    {"s\\\\s"sv, "a\\b"sv, true, OK, {"a", "b"}},
    {"s\\c"sv, "abd"sv, true, C141, {}},
    // Faults of the pattern, found when the match reaches them.
    {"sc"sv, "abc"sv, true, C120, {}},
    {"sc"sv, ""sv, true, C120, {}},
    {"ss"sv, "abc"sv, true, C120, {}},
    {"s,sc"sv, "1,2"sv, true, C120, {"1"}},
    {"s:sc"sv, "abc"sv, true, C141, {}},
    {"x sc"sv, "y abc"sv, true, C165, {}},
    {"s\\x"sv, "abc"sv, true, C118, {}},
    {"s\\x"sv, ""sv, true, C118, {}},
    {"s\\"sv, "abc"sv, true, C118, {}},
    {"\\x"sv, "x"sv, true, C158, {}},
    {"\\"sv, "abc"sv, true, C158, {}},
    {"a\\"sv, "a"sv, true, C158, {}},
};

TEST(ScanFields, ChecksAndFields) {
    for (const auto& c : kCases) {
        const std::string name =
            "pattern " + Visible(c.pattern) + " on " + Visible(c.data) + (c.trim ? " trimmed" : "");
        StringList list{"left", "over", "from", "before"};
        EXPECT_EQ(ScanFields(c.data, c.pattern, list, c.trim), c.check) << name;
        EXPECT_EQ(list, c.fields) << name;
    }
}

// The same fields as views into the data.
TEST(ScanFields, ChecksAndFieldsAsViews) {
    for (const auto& c : kCases) {
        const std::string name =
            "pattern " + Visible(c.pattern) + " on " + Visible(c.data) + (c.trim ? " trimmed" : "");
        FieldList list{"left", "over", "from", "before"};
        EXPECT_EQ(ScanFields(c.data, c.pattern, list, c.trim), c.check) << name;
        EXPECT_EQ(StringList(list.begin(), list.end()), c.fields) << name;
    }
}

TEST(MatchPattern, FillsTheListOrRaisesTheCheckMessage) {
    for (const auto& c : kCases) {
        const std::string name =
            "pattern " + Visible(c.pattern) + " on " + Visible(c.data) + (c.trim ? " trimmed" : "");
        FieldList list{"left", "over"};
        if (c.check == PatternCheck::Matched) {
            EXPECT_NO_THROW(MatchPattern(c.data, c.pattern, list, c.trim)) << name;
            EXPECT_EQ(StringList(list.begin(), list.end()), c.fields) << name;
            continue;
        }
        try {
            MatchPattern(c.data, c.pattern, list, c.trim);
            ADD_FAILURE() << "no mismatch for " << name;
        } catch (const PatternMismatch& e) {
            EXPECT_EQ(e.message(), "Assertion failure (Unit1, line " + std::to_string(static_cast<int>(c.check)) + ")")
                << name;
        }
    }
}

TEST(PatternMismatchMessage, NamesTheCheckNumber) {
    const std::pair<PatternCheck, std::string_view> cases[] = {
        {C118, "Assertion failure (Unit1, line 118)"sv}, {C120, "Assertion failure (Unit1, line 120)"sv},
        {C141, "Assertion failure (Unit1, line 141)"sv}, {C158, "Assertion failure (Unit1, line 158)"sv},
        {C159, "Assertion failure (Unit1, line 159)"sv}, {C165, "Assertion failure (Unit1, line 165)"sv},
        {C171, "Assertion failure (Unit1, line 171)"sv},
    };
    for (const auto& [check, message] : cases) {
        EXPECT_EQ(PatternMismatchMessage(check), message);
    }
}

// A mismatch is a failure of the general kind, so every handler catches it.
TEST(MatchPattern, MismatchIsAFailure) {
    StringList list;
    EXPECT_THROW(MatchPattern("10,0", "s,s,s", list, true), Failure);
}

// The data is read only within its bounds: a view into a larger buffer must
// not see the bytes that follow it.
TEST(ScanFields, ReadsNothingBeyondTheData) {
    const std::string buffer = "a:b:c";
    StringList list;
    EXPECT_EQ(ScanFields(std::string_view(buffer).substr(0, 3), "s:s", list, true), PatternCheck::Matched);
    EXPECT_EQ(list, (StringList{"a", "b"}));
    EXPECT_EQ(ScanFields(std::string_view(buffer).substr(0, 2), "s:c", list, true), PatternCheck::Matched);
    EXPECT_EQ(list, (StringList{"a", std::string(1, '\0')}));
    EXPECT_EQ(ScanFields(std::string_view(buffer).substr(0, 1), "s:", list, true), PatternCheck::LiteralNotFound);
    EXPECT_EQ(ScanFields(std::string_view(buffer).substr(0, 1), "a:", list, true), PatternCheck::LiteralMismatch);
}

}  // namespace
}  // namespace corvala
