// Applying fixes to a file's bytes: the edits land where they say, every
// other byte stays (line ends per line, a last line without one, bytes
// after a byte 0), and a fix that touches a line an earlier fix of the
// round touched waits.
#include <gtest/gtest.h>

#include "engine/model/fixes.h"

namespace corvala {
namespace {

struct Case {
    const char* name;
    std::string before;
    std::vector<std::vector<Edit>> fixes;
    std::string after;
    std::int64_t applied;
};

class ApplyFixesTest : public ::testing::TestWithParam<Case> {};

TEST_P(ApplyFixesTest, KeepsEveryByteOutsideTheEdits) {
    const Case& c = GetParam();
    std::vector<std::shared_ptr<const Fix>> fixes;
    for (const auto& edits : c.fixes) fixes.push_back(MakeFix("fix", FixSafety::Safe, edits));
    const Applied result = ApplyFixes(c.before, fixes);
    EXPECT_EQ(result.bytes, c.after);
    EXPECT_EQ(result.fixes, c.applied);
}

INSTANTIATE_TEST_SUITE_P(
    Fixes, ApplyFixesTest,
    ::testing::Values(
        Case{"ReplaceKeepsCrLf", "AL SFC\r\nAH 1\r\n", {{ReplaceBytes(1, 3, 6, "GND")}}, "AL GND\r\nAH 1\r\n", 1},
        Case{"RemoveTakesTheLineEnd", "a\r\nb\nc\rd", {{RemoveLine(2)}}, "a\r\nc\rd", 1},
        Case{"InsertTakesTheEndOfTheLineBefore", "a\r\nb\nc", {{InsertLine(2, "x")}}, "a\r\nx\r\nb\nc", 1},
        Case{"InsertAtTheEndOfALastLineWithoutEnd", "a\r\nb", {{InsertLine(3, "x")}}, "a\r\nb\r\nx", 1},
        Case{"InsertAtTheEndAfterALineEnd", "a\nb\n", {{InsertLine(3, "x")}}, "a\nb\nx\n", 1},
        Case{"InsertIntoAnEmptyFile", "", {{InsertLine(1, "x")}}, "x\n", 1},
        Case{"BytesAfterANulStay", std::string("a\nb\0c\nd", 7), {{ReplaceBytes(2, 0, 1, "B")}}, std::string("a\nB\0c\nd", 7), 1},
        Case{"TwoReplacementsOnALineOfOneFix", "DP 1 n 2 e", {{ReplaceBytes(1, 5, 6, "N"), ReplaceBytes(1, 9, 10, "E")}},
             "DP 1 N 2 E", 1},
        Case{"ALaterFixOnTheSameLineWaits", "a\nb\n", {{ReplaceBytes(1, 0, 1, "x")}, {RemoveLine(1)}, {RemoveLine(2)}},
             "x\n", 2},
        Case{"AnInsertClaimsTheLineBeforeToo", "a\nb\n", {{InsertLine(2, "x")}, {RemoveLine(1)}}, "a\nx\nb\n", 1},
        Case{"AMoveIsOneFix", "a\nb\nc\n", {{InsertLine(1, "c"), RemoveLine(3)}}, "c\na\nb\n", 1},
        Case{"EditsOutsideTheTextAreRefused", "a\n",
             {{ReplaceBytes(1, 0, 5, "x")}, {RemoveLine(2)}, {InsertLine(3, "x")}, {InsertLine(1, "x\ny")}}, "a\n",
             0}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(ApplyFixes, TellsTheOriginOfEveryLine) {
    const Applied result =
        ApplyFixes("a\nb\nc\n", {MakeFix("f", FixSafety::Safe, {RemoveLine(2), InsertLine(4, "d")})});
    EXPECT_EQ(result.bytes, "a\nc\nd\n");
    EXPECT_EQ(result.origin, (std::vector<std::int32_t>{1, 3, 0}));
}

}  // namespace
}  // namespace corvala
