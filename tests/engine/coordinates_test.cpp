// The coordinate validator: DMS, DM and DD tried in that order, the first
// form whose pattern matches deciding; real fields rounded to single
// precision before the range check; every message "Not a coordinate: ...".
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "engine/run/engine.h"
#include "engine/model/failures.h"
#include "test_support.h"

using namespace std::string_view_literals;
using corvala::test::ScopedSeparator;
using corvala::test::Visible;

namespace corvala {
namespace {

constexpr std::string_view kNoForm = "data not a valid coordinate format. DMS, DM or DD formats expected.";
constexpr std::string_view kDegrees = "Degrees must be between 0 and 180.";
constexpr std::string_view kMinutes = "Minutes must be between 0 and 60.";
constexpr std::string_view kSeconds = "Seconds must be between 0 and 60.";
constexpr std::string_view kLetter = "N, S, E or W expected.";

// What CheckCoordinate raises for `text`: "" when it accepts it.
std::string CoordinateFailure(Engine& engine, std::string_view text) {
    try {
        engine.CheckCoordinate(text);
        return "";
    } catch (const ValidationError& e) {
        return e.message();
    } catch (const Failure& e) {
        return "wrong failure kind: " + e.message();
    }
}

class CheckCoordinateTest : public ::testing::Test {
protected:
    ScopedSeparator point_{'.'};
    Engine engine_;
};

TEST_F(CheckCoordinateTest, AcceptsValidPointsInEachForm) {
    for (std::string_view text : {
             "52:30:00 N 013:20:00 E"sv,
             "52:30.5 N 13:20.25 E"sv,
             "52.5 N 13.25 E"sv,
             "52:30:00.5 N 013:20:00.25 E"sv,
             "0:0:0 N 0:0:0 E"sv,
             "0 N 0 E"sv,
             // Any two different letters, in any order, both up to 180.
             "52:30:00 N 013:20:00 S"sv,
             "52:30:00 E 013:20:00 N"sv,
             "52:30:00 W 013:20:00 E"sv,
             "90:00:00 S 180:00:00 W"sv,
             "180:00:00 N 180:00:00 E"sv,
             // Bounds are inclusive; 60 is allowed for minutes and seconds.
             "52:30:60 N 013:20:00 E"sv,
             "52:60:00 N 013:20:00 E"sv,
             "52:60 N 13:0 E"sv,
             "180.0 N 0 E"sv,
             // Single-precision rounding comes before the range check.
             "52:30:60.000001 N 013:20:00 E"sv,
             "52:60.000001 N 13:20 E"sv,
             "180.000001 N 0 E"sv,
             // Negative zero is not below zero.
             "52:-0 N 13:20 E"sv,
             "-0.0 N 0 E"sv,
             // Blanks the patterns tolerate.
             "52 :30:00 N 013:20:00 E"sv,
             "52: 30 :00 N 013:20:00 E"sv,
             " 52:30:00 N 013:20:00 E"sv,
             "52:30:00 N   013:20:00 E"sv,
             "52 :30.5 N 13 :20.25 E"sv,
             "52:30.5 N  13:20.25 E"sv,
             // Integer fields take every spelling of TextToInt.
             "52:-0:00 N 013:20:00 E"sv,
             "$34:30:00 N 013:20:00 E"sv,
             "+52:+30:+00 N 0x0D:20:00 E"sv,
             // Real fields take every spelling of TextToReal.
             "52:30:.5 N 013:20:5. E"sv,
             // Underflow is silent: the seconds become 0.
             "52:30:1e-50 N 013:20:00 E"sv,
             "5.25e1 N 1325e-2 E"sv,
         }) {
        EXPECT_EQ(CoordinateFailure(engine_, text), "") << Visible(text);
    }
}

struct BadCoordinate {
    std::string_view text;
    std::string inner;
};

TEST_F(CheckCoordinateTest, RefusesWithTheInnerMessage) {
    const BadCoordinate cases[] = {
        // Equal letters, in each form.
        {"52:30:00 N 013:20:00 N"sv, "Both points cannot be in the same time N"},
        {"52:30.5 N 13:20.25 N"sv, "Both points cannot be in the same time N"},
        {"52.5 N 13.25 N"sv, "Both points cannot be in the same time N"},
        {"52.5 W 13.25 W"sv, "Both points cannot be in the same time W"},
        // Letters are upper-case N, S, E, W only; the first matching form decides.
        {"52:30:00 n 013:20:00 e"sv, std::string(kLetter)},
        {"52:30:00 N 013:20:00 X"sv, std::string(kLetter)},
        {"52.5 A 13.25 E"sv, std::string(kLetter)},
        {"52:30:00   N 013:20:00 E"sv, std::string(kLetter)},
        // No form matches.
        {"52:30:00N 013:20:00E"sv, std::string(kNoForm)},
        {"52.5N 13.25E"sv, std::string(kNoForm)},
        {""sv, std::string(kNoForm)},
        {"52.5 N"sv, std::string(kNoForm)},
        {"52:30:00 N 013:20:00"sv, std::string(kNoForm)},
        {"52:30:00 N, 013:20:00 E"sv, std::string(kNoForm)},
        {"52.5 N 13.25 E extra"sv, std::string(kNoForm)},
        {"52:30:00 N 013:20:00 E "sv, std::string(kNoForm)},
        {"52:30.5 N 13:20.25 E "sv, std::string(kNoForm)},
        {"52.5 N 13.25 E "sv, std::string(kNoForm)},
        {"52:30: 00 N 013:20:00 E"sv, std::string(kNoForm)},
        {" 52.5 N 13.25 E"sv, std::string(kNoForm)},
        {"52.5 N  13.25 E"sv, std::string(kNoForm)},
        {"52:30:00  N 013:20:00 E"sv, std::string(kNoForm)},
        {"52.5  N 13.25 E"sv, std::string(kNoForm)},
        // Degrees.
        {"181:00:00 N 013:20:00 E"sv, std::string(kDegrees)},
        {"-1:00:00 N 013:20:00 E"sv, std::string(kDegrees)},
        {"52:30:00 N 181:00:00 E"sv, std::string(kDegrees)},
        {"181:30.5 N 13:20.25 E"sv, std::string(kDegrees)},
        {"52.5 N 180.5 E"sv, std::string(kDegrees)},
        {"180.00001 N 0 E"sv, std::string(kDegrees)},
        {"-0.0000001 N 0 E"sv, std::string(kDegrees)},
        {"$FFFFFFFF:00:00 N 013:20:00 E"sv, std::string(kDegrees)},
        // Minutes.
        {"52:61:00 N 013:20:00 E"sv, std::string(kMinutes)},
        {"52:-1:00 N 013:20:00 E"sv, std::string(kMinutes)},
        {"52:60.5 N 13:20 E"sv, std::string(kMinutes)},
        {"52:60.00001 N 13:20 E"sv, std::string(kMinutes)},
        {"52:-0.5 N 13:20 E"sv, std::string(kMinutes)},
        {"52:30 N 13:61 E"sv, std::string(kMinutes)},
        // Seconds.
        {"52:30:60.5 N 013:20:00 E"sv, std::string(kSeconds)},
        {"52:30:60.00001 N 013:20:00 E"sv, std::string(kSeconds)},
        {"52:30:-1 N 013:20:00 E"sv, std::string(kSeconds)},
        {"52:30:00 N 013:20:61 E"sv, std::string(kSeconds)},
        // Conversion failures keep their own message.
        {"52:60.5:00 N 013:20:00 E"sv, "'60.5' is not a valid integer value"},
        {"abc:30:00 N 013:20:00 E"sv, "'abc' is not a valid integer value"},
        {"52:30: N 013:20:00 E"sv, "'' is not a valid floating point value"},
        {"52:30:00 N 13:20 E"sv, "'30:00' is not a valid floating point value"},
        {"52:30:00 N 13.5 E"sv, "'52:30:00' is not a valid floating point value"},
        {"52,5 N 13,25 E"sv, "'52,5' is not a valid floating point value"},
        // Beyond the single-precision range: the overflow, not the range message.
        {"52:30:1e39 N 013:20:00 E"sv, "Floating point overflow"},
        {"1e39 N 0 E"sv, "Floating point overflow"},
        {"52:1e39 N 13:20 E"sv, "Floating point overflow"},
        // The first angle is checked completely, field by field, before the second.
        {"181:61:61 X 200:00:00 N"sv, std::string(kDegrees)},
        {"52:61:61 X 200:00:00 N"sv, std::string(kMinutes)},
        {"52:30:61 X 200:00:00 N"sv, std::string(kSeconds)},
        {"52:30:00 X 200:00:00 N"sv, std::string(kLetter)},
        {"52:30:00 N 200:00:00 N"sv, std::string(kDegrees)},
        {"52:30:00 N 013:20:00 n"sv, std::string(kLetter)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CoordinateFailure(engine_, c.text), "Not a coordinate: " + c.inner) << Visible(c.text);
    }
}

TEST_F(CheckCoordinateTest, ReadsRealsWithTheSeparatorInForce) {
    ScopedSeparator comma(',');
    EXPECT_EQ(CoordinateFailure(engine_, "52,5 N 13,25 E"), "");
    EXPECT_EQ(CoordinateFailure(engine_, "52.5 N 13.25 E"),
              "Not a coordinate: '52.5' is not a valid floating point value");
}

// The validator writes CoordList only: the DB and V validators keep their
// own fields in ParamList while they call it.
TEST_F(CheckCoordinateTest, LeavesParamListAndRgbListUntouched) {
    for (std::string_view text : {"52:30:00 N 013:20:00 E"sv, "52:30.5 N 13:20.25 E"sv, "52.5 N 13.25 E"sv,
                                  "52.5 N 13.25 N"sv, "x"sv, "52:30:1e39 N 013:20:00 E"sv}) {
        engine_.ParamList = {"52.5 N 13.25 E", "second point", ""};
        engine_.RgbList = {"1", "2", "3"};
        CoordinateFailure(engine_, text);
        EXPECT_EQ(engine_.ParamList, (FieldList{"52.5 N 13.25 E", "second point", ""})) << text;
        EXPECT_EQ(engine_.RgbList, (StringList{"1", "2", "3"})) << text;
    }
}

// A form step returns false when its pattern does not match, true for a
// valid point, and raises the bare inner message when the shape fits but a
// value does not.
TEST_F(CheckCoordinateTest, FormStepsReportShapeAndRaiseBareMessages) {
    EXPECT_TRUE(engine_.TryDms("52:30:00 N 013:20:00 E"));
    EXPECT_FALSE(engine_.TryDm("52:30:00N 013:20:00E"));
    EXPECT_FALSE(engine_.TryDd("52:30:00N 013:20:00E"));
    EXPECT_FALSE(engine_.TryDms("52:30.5 N 13:20.25 E"));
    EXPECT_TRUE(engine_.TryDm("52:30.5 N 13:20.25 E"));
    EXPECT_FALSE(engine_.TryDms("52.5 N 13.25 E"));
    EXPECT_FALSE(engine_.TryDm("52.5 N 13.25 E"));
    EXPECT_TRUE(engine_.TryDd("52.5 N 13.25 E"));
    EXPECT_FALSE(engine_.TryDd(""));

    try {
        engine_.TryDms("52:30:00 n 013:20:00 e");
        ADD_FAILURE() << "TryDms accepted lower-case letters";
    } catch (const ValidationError& e) {
        EXPECT_EQ(e.message(), kLetter);
    }
    try {
        engine_.TryDd("52.5 N 13.25 N");
        ADD_FAILURE() << "TryDd accepted equal letters";
    } catch (const ValidationError& e) {
        EXPECT_EQ(e.message(), "Both points cannot be in the same time N");
    }
    try {
        engine_.TryDm("52:x N 13:20 E");
        ADD_FAILURE() << "TryDm accepted minutes x";
    } catch (const ConversionError& e) {
        EXPECT_EQ(e.message(), "'x' is not a valid floating point value");
    }
    try {
        engine_.TryDms("52:30:1e39 N 013:20:00 E");
        ADD_FAILURE() << "TryDms accepted seconds 1e39";
    } catch (const FloatOverflow& e) {
        EXPECT_EQ(e.message(), "Floating point overflow");
    }
}

// After a call CoordList holds the fields of the last form tried.
TEST_F(CheckCoordinateTest, FieldsGoToCoordList) {
    engine_.CheckCoordinate("52.5 N 13.25 E");
    EXPECT_EQ(engine_.CoordList, (FieldList{"52.5", "N", "13.25", "E"}));
    engine_.CheckCoordinate("52:30:00 N 013:20:00 E");
    EXPECT_EQ(engine_.CoordList, (FieldList{"52", "30", "00", "N", "013", "20", "00", "E"}));
}

}  // namespace
}  // namespace corvala
