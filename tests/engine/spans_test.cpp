// Where findings point on their lines: each case runs a small file through
// the engine and names the bytes the finding of a rule should cover.
#include <gtest/gtest.h>

#include "engine/run/engine.h"
#include "engine/run/spans.h"
#include "tests/support/recording_sink.h"

namespace corvala {
namespace {

struct SpanCase {
    const char* name;
    bool blocks;
    bool extended;
    std::string text;
    std::int32_t line;
    const char* rule;
    const char* expected;  // the bytes the span covers; nullptr: no span
};

class FindingSpan : public ::testing::TestWithParam<SpanCase> {};

std::string_view LineOf(const std::string& text, std::int32_t number) {
    std::size_t start = 0;
    for (std::int32_t n = 1; n < number; ++n) start = text.find('\n', start) + 1;
    const std::size_t end = text.find('\n', start);
    return std::string_view(text).substr(start, end == std::string::npos ? std::string::npos : end - start);
}

TEST_P(FindingSpan, CoversTheFaultyBytes) {
    const SpanCase& c = GetParam();
    test::RecordingSink sink;
    RunHost host;
    Engine engine(sink, host);
    engine.Settings.blocks = c.blocks;
    engine.Settings.extended = c.extended;
    engine.ValidateBytes("t", c.text);
    const Finding* found = nullptr;
    for (const Finding& finding : sink.findings)
        if (finding.line == c.line && IdOf(finding.rule) == c.rule) found = &finding;
    ASSERT_NE(found, nullptr) << "no " << c.rule << " at line " << c.line;
    if (c.expected == nullptr) {
        EXPECT_FALSE(found->HasSpan());
        return;
    }
    ASSERT_TRUE(found->HasSpan());
    const std::string_view line = LineOf(c.text, c.line);
    ASSERT_LE(static_cast<std::size_t>(found->endColumn), line.size());
    EXPECT_EQ(line.substr(static_cast<std::size_t>(found->column),
                          static_cast<std::size_t>(found->endColumn - found->column)),
              c.expected);
}

const std::string kOpen = "AC D\nAN A\nAH FL95\nAL GND\n";

const SpanCase kSpanCases[] = {
    {"ClassWord", false, false, "AC  XX  * comment\n", 1, "AC", "XX"},
    {"ExtendedClassWord", false, true, "AC XYZ\n", 1, "airspace-class", "XYZ"},
    {"SixtyMinutes", false, true, "DP 52:60:00 N 013:00:00 E\n", 1, "coordinate-sixty", "60"},
    {"MinutesOutOfRange", false, false, "DP 52:61:00 N 013:00:00 E\n", 1, "DP", "61"},
    {"SecondsOfTheLongitude", false, false, "DP 52:30:00 N 013:00:60.5 E\n", 1, "DP", "60.5"},
    {"DecimalMinutes", false, false, "DP 52:60.5 N 013:00.0 E\n", 1, "DP", "60.5"},
    {"SameHemisphereTwice", false, false, "DP 52:30:00 N 013:20:00 N\n", 1, "DP", "N"},
    {"LetterAfterTheNumber", false, true, "DP 53:47:06N 008:61:41E\n", 1, "DP", "61"},
    {"UnreadableCoordinate", false, false, "DP nowhere\n", 1, "DP", "nowhere"},
    {"SecondPointOfAnArc", false, false, "DB 52:30:00 N 013:00:00 E, 52:30:00 N 013:00:99 E\n", 1, "DB", "99"},
    {"CentreValue", false, false, "V X=52:30:00 N 190:00:00 E\n", 1, "V", "190"},
    {"AltitudeReference", false, true, kOpen + "AC D\nAN B\nAH 2500ft MSL\n", 7, "altitude-spelling", "MSL"},
    {"AltitudeUnit", false, true, "AH 2500 F AMSL\n", 1, "altitude-spelling", "F"},
    {"AltitudeNumber", true, false, kOpen + "AC D\nAN B\nAH  2500\n", 7, "altitude-without-unit", "2500"},
    {"GroundAsUpperLimit", false, true, "AH GND\n", 1, "altitude", "GND"},
    {"Frequency", false, true, "AF 118.020\n", 1, "frequency-channel", "118.020"},
    {"FrequencyRemark", false, true, "AF 132.350 Dutch Mil\n", 1, "frequency-remark", "Dutch Mil"},
    {"FrequencyNotNnnNnn", false, true, "AF 132.35\n", 1, "frequency", "132.35"},
    {"ArcEndPoint", true, false,
     "AC D\nAN A\nAH FL95\nAL GND\nV X=52:45:00 N 014:30:00 E\n"
     "DB 52:50:00 N 014:30:00 E,52:45:00 N 014:40:00 E\nDP 52:40:00 N 014:30:00 E\n",
     6, "arc-radius-mismatch", "52:45:00 N 014:40:00 E"},
    {"UnknownCommandWord", false, false, "XY 1 2\n", 1, "not-implemented", "XY"},
    {"MissingLimitAtTheClass", true, false, "AC D\nAN A\nAL GND\nDP 1:0:0 N 1:0:0 E\n", 1, "missing-upper-limit", "D"},
    {"HeaderValue", false, true, "*VERSION: 3.0\nAC A\n", 1, "unsupported-version", "3.0"},
    {"FirstInvalidByte", false, true, "AC A\nAN Caf\xE9 \xE9\n", 2, "not-utf8", "\xE9"},
    {"ByteOrderMark", false, true, "\xEF\xBB\xBF" "AC A\n", 1, "byte-order-mark", "\xEF\xBB\xBF"},
    {"FileAsAWhole", false, true, "AC A\n", 0, "missing-header", nullptr},
};

INSTANTIATE_TEST_SUITE_P(Spans, FindingSpan, ::testing::ValuesIn(kSpanCases),
                         [](const ::testing::TestParamInfo<SpanCase>& info) { return info.param.name; });

// Display offsets: characters of the decoded line in UTF-16 or UTF-8 code
// units; bytes that are not UTF-8 count as their Windows-1252 character.
struct OffsetCase {
    const char* name;
    std::string line;
    std::size_t byteOffset;
    TextUnit unit;
    bool roundUp;
    std::size_t expected;
};

class DisplayOffsets : public ::testing::TestWithParam<OffsetCase> {};

TEST_P(DisplayOffsets, CountUnitsAndNeverSplitACharacter) {
    const OffsetCase& c = GetParam();
    EXPECT_EQ(DisplayOffset(c.line, c.byteOffset, c.unit, c.roundUp), c.expected);
}

const OffsetCase kOffsetCases[] = {
    {"Ascii", "AN abc", 4, TextUnit::Utf16, false, 4},
    {"Latin1ByteIsOneUtf16Unit", "AN \xE9t\xE9", 5, TextUnit::Utf16, false, 5},
    {"Latin1ByteIsTwoUtf8Units", "AN \xE9t\xE9", 5, TextUnit::Utf8, false, 6},
    {"Cp1252EuroIsThreeUtf8Units", "\x80x", 1, TextUnit::Utf8, false, 3},
    {"Utf8TwoBytes", "\xC3\xA9x", 2, TextUnit::Utf16, false, 1},
    {"InsideACharacterRoundsDown", "\xC3\xA9x", 1, TextUnit::Utf16, false, 0},
    {"InsideACharacterRoundsUp", "\xC3\xA9x", 1, TextUnit::Utf16, true, 1},
    {"AstralIsTwoUtf16Units", "\xF0\x9F\x98\x80x", 4, TextUnit::Utf16, false, 2},
    {"BeyondTheEnd", "ab", 9, TextUnit::Utf16, false, 2},
};

INSTANTIATE_TEST_SUITE_P(Spans, DisplayOffsets, ::testing::ValuesIn(kOffsetCases),
                         [](const ::testing::TestParamInfo<OffsetCase>& info) { return info.param.name; });

TEST(ByteOffsets, InvertDisplayOffsetsAtCharacterStarts) {
    const std::string line = "AN \xE9t\xC3\xA9\xF0\x9F\x98\x80!";
    for (const TextUnit unit : {TextUnit::Utf8, TextUnit::Utf16}) {
        for (std::size_t at : {0u, 3u, 4u, 5u, 7u, 11u, 12u}) {
            EXPECT_EQ(ByteOffset(line, DisplayOffset(line, at, unit), unit), at) << at;
        }
        // A position inside the astral character's units goes to its start.
        EXPECT_EQ(ByteOffset(line, DisplayOffset(line, 7, unit) + 1, unit), 7u);
    }
}

}  // namespace
}  // namespace corvala
