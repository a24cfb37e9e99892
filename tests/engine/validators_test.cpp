// The record validators, reached through ParseLine as the run reaches them:
// a failing argument gives exactly one error item
// "Line n: CMD returned error: " + message, a valid one none.
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "engine/run/engine.h"
#include "engine/model/failures.h"
#include "test_support.h"
#include "tests/support/recording_sink.h"

using namespace std::string_view_literals;
using corvala::test::ScopedSeparator;
using corvala::test::Visible;

namespace corvala {
namespace {

struct Record {
    std::string_view command;
    std::string_view argument;
    // The validator's message, "" when the argument is valid.
    std::string message;
};

class ValidatorTest : public ::testing::Test {
protected:
    // Each record through ParseLine (its full error item, or none) and by a
    // direct call of its validator (the ValidationError with the message, or
    // a normal return).
    void ExpectRecords(const std::vector<Record>& records) {
        for (const auto& r : records) {
            const std::string name = std::string(r.command) + " " + Visible(r.argument);
            const std::string expected =
                r.message.empty() ? "" : "Line 1: " + std::string(r.command) + " returned error: " + r.message;
            EXPECT_EQ(Check(r.command, r.argument), expected) << name;

            const Engine::Validator validator = Engine::FindValidator(r.command);
            ASSERT_TRUE(validator != nullptr) << name;
            std::string raised;
            try {
                (engine_.*validator)(r.argument);
            } catch (const ValidationError& e) {
                raised = e.message();
            } catch (const Failure& e) {
                raised = "not a ValidationError: " + e.message();
            }
            EXPECT_EQ(raised, r.message) << name << " (direct call)";
        }
    }

    // The item ParseLine adds for `command` `argument` on line 1, "" when it
    // accepts the argument; checks that at most one item came and that the
    // result agrees with it.
    std::string Check(std::string_view command, std::string_view argument) {
        sink_.errors.clear();
        const bool ok = engine_.ParseLine(1, command, argument);
        const std::string name = std::string(command) + " " + Visible(argument);
        EXPECT_EQ(sink_.errors.size(), ok ? 0u : 1u) << name;
        EXPECT_TRUE(sink_.log.empty()) << name;
        return sink_.errors.empty() ? std::string() : sink_.errors.back();
    }

    ScopedSeparator point_{'.'};
    test::RecordingSink sink_;
    RunHost host_;
    Engine engine_{sink_, host_};
};

const std::string kNoForm = "Not a coordinate: data not a valid coordinate format. DMS, DM or DD formats expected.";

// AC: not empty after trimming, then the untrimmed argument must be one of the
// ten class codes, compared case-sensitively.
TEST_F(ValidatorTest, AirspaceClass) {
    std::vector<Record> records;
    for (std::string_view code : AirspaceClasses) records.push_back({"AC"sv, code, ""});
    records.insert(records.end(), {
                                      {"AC"sv, ""sv, "Airspace class cannot be empty."},
                                      {"AC"sv, "   "sv, "Airspace class cannot be empty."},
                                      {"AC"sv, "\t"sv, "Airspace class cannot be empty."},
                                      {"AC"sv, "r"sv, "Class type \"r\" unkown."},
                                      {"AC"sv, " R"sv, "Class type \" R\" unkown."},
                                      {"AC"sv, "  R"sv, "Class type \"  R\" unkown."},
                                      {"AC"sv, "R "sv, "Class type \"R \" unkown."},
                                      {"AC"sv, "ctr"sv, "Class type \"ctr\" unkown."},
                                      {"AC"sv, "E"sv, "Class type \"E\" unkown."},
                                      {"AC"sv, "G"sv, "Class type \"G\" unkown."},
                                      {"AC"sv, "CT"sv, "Class type \"CT\" unkown."},
                                      {"AC"sv, "CTRX"sv, "Class type \"CTRX\" unkown."},
                                      {"AC"sv, "R Q"sv, "Class type \"R Q\" unkown."},
                                  });
    ExpectRecords(records);
}

TEST(AirspaceClasses, TenCodesInTheirOrder) {
    const std::vector<std::string_view> codes(std::begin(AirspaceClasses), std::end(AirspaceClasses));
    EXPECT_EQ(codes, (std::vector<std::string_view>{"R", "Q", "P", "A", "B", "C", "D", "GP", "CTR", "W"}));
}

// AN, AH, AL and AT refuse an empty argument, each with its own fixed text;
// AT then wants one coordinate; TO and TC take anything.
TEST_F(ValidatorTest, HeaderRecords) {
    ExpectRecords({
        {"AN"sv, ""sv, "Airspace floor cannot be empty."},
        {"AN"sv, "  \t "sv, "Airspace floor cannot be empty."},
        {"AN"sv, "Zone"sv, ""},
        {"AN"sv, "*"sv, ""},
        {"AH"sv, ""sv, "Airspace name cannot be empty."},
        {"AH"sv, " "sv, "Airspace name cannot be empty."},
        {"AH"sv, "FL100"sv, ""},
        {"AL"sv, ""sv, "Airspace ceiling cannot be empty."},
        {"AL"sv, "GND"sv, ""},
        {"AT"sv, ""sv, "Airspace floor cannot be empty."},
        {"AT"sv, "   "sv, "Airspace floor cannot be empty."},
        {"AT"sv, "52:30:00 N 013:20:00 E"sv, ""},
        {"AT"sv, "Label"sv, kNoForm},
        {"AT"sv, "52.5 N 13.25 N"sv, "Not a coordinate: Both points cannot be in the same time N"},
        {"TO"sv, ""sv, ""},
        {"TO"sv, "anything at all"sv, ""},
        {"TC"sv, ""sv, ""},
        {"TC"sv, "  x,y=z  "sv, ""},
    });
}

// DP and DY pass the coordinate message on unwrapped.
TEST_F(ValidatorTest, PointRecords) {
    ExpectRecords({
        {"DP"sv, "52:30:00 N 013:20:00 E"sv, ""},
        {"DP"sv, "52:30.5 N 13:20.25 E"sv, ""},
        {"DP"sv, "52.5 N 13.25 E"sv, ""},
        {"DP"sv, ""sv, kNoForm},
        {"DP"sv, "52:30:00 N 013:20:00 N"sv, "Not a coordinate: Both points cannot be in the same time N"},
        {"DP"sv, "52:30:1e39 N 013:20:00 E"sv, "Not a coordinate: Floating point overflow"},
        {"DY"sv, "52.5 N 13.25 E"sv, ""},
        {"DY"sv, "52.5 N 181 E"sv, "Not a coordinate: Degrees must be between 0 and 180."},
        {"DY"sv, "52.5 N 13.25 E extra"sv, kNoForm},
    });
}

// DA: "s,s,s", three integers radius 1..1000, angles 0..360, every failure
// wrapped as "DA data is in unkown format (...).".
TEST_F(ValidatorTest, Arc) {
    const auto da = [](std::string inner) { return "DA data is in unkown format (" + inner + ")."; };
    ExpectRecords({
        {"DA"sv, "10,0,90"sv, ""},
        {"DA"sv, "1,0,0"sv, ""},
        {"DA"sv, "1000,360,360"sv, ""},
        {"DA"sv, " 10 , 0 , 90 "sv, ""},
        {"DA"sv, "$A,0,0x5A"sv, ""},
        {"DA"sv, "0,0,90"sv, da("DA radius must be between 1 and 1000.")},
        {"DA"sv, "1001,0,90"sv, da("DA radius must be between 1 and 1000.")},
        {"DA"sv, "-5,0,90"sv, da("DA radius must be between 1 and 1000.")},
        {"DA"sv, "0,361,361"sv, da("DA radius must be between 1 and 1000.")},
        {"DA"sv, "10,-1,90"sv, da("DA angle 1 must be between 0 and 360.")},
        {"DA"sv, "10,361,361"sv, da("DA angle 1 must be between 0 and 360.")},
        {"DA"sv, "10,0,361"sv, da("DA angle 2 must be between 0 and 360.")},
        {"DA"sv, "10,0,-1"sv, da("DA angle 2 must be between 0 and 360.")},
        {"DA"sv, "2.5,0,90"sv, da("'2.5' is not a valid integer value")},
        {"DA"sv, "10,x,90"sv, da("'x' is not a valid integer value")},
        {"DA"sv, "10,0,90,5"sv, da("'90,5' is not a valid integer value")},
        {"DA"sv, "10,,90"sv, da("'' is not a valid integer value")},
        {"DA"sv, "10,0"sv, da("Assertion failure (Unit1, line 141)")},
        {"DA"sv, ""sv, da("Assertion failure (Unit1, line 141)")},
    });
}

// DB: "s,s", then the first point checked completely, then the second read
// from ParamList; wrapped as "DB data is in unkown format (...).".
TEST_F(ValidatorTest, ArcByPoints) {
    const auto db = [](std::string inner) { return "DB data is in unkown format (" + inner + ")."; };
    ExpectRecords({
        {"DB"sv, "52:30:00 N 013:20:00 E,52.5 N 13.25 E"sv, ""},
        {"DB"sv, "52.5 N 13.25 E , 52:30.5 N 13:20.25 E"sv, ""},
        {"DB"sv, "52:30:00 N 013:20:00 E"sv, db("Assertion failure (Unit1, line 141)")},
        {"DB"sv, "x,52.5 N 13.25 E"sv, db(kNoForm)},
        {"DB"sv, "52.5 N 13.25 E,52.5 N 181 E"sv, db("Not a coordinate: Degrees must be between 0 and 180.")},
        {"DB"sv, "52.5 N 13.25 E,52.5 N 13.25 N"sv, db("Not a coordinate: Both points cannot be in the same time N")},
        {"DB"sv, "52.5 S 13.25 S,181 N 0 E"sv, db("Not a coordinate: Both points cannot be in the same time S")},
        {"DB"sv, "52.5 N 13.25 E,52.5 N 13.25 E,1"sv, db(kNoForm)},
        {"DB"sv, "52.5 N 13.25 E,"sv, db(kNoForm)},
        {"DB"sv, "52:30:1e39 N 013:20:00 E,52.5 N 13.25 E"sv, db("Not a coordinate: Floating point overflow")},
    });
}

// DC: the untrimmed argument read as a real, kept in the extended format,
// 0..1000; wrapped as "DC data is in unkown format (...).".
TEST_F(ValidatorTest, Circle) {
    const auto dc = [](std::string inner) { return "DC data is in unkown format (" + inner + ")."; };
    const std::string range = dc("DC radius must be between 0 and 1000.");
    ExpectRecords({
        {"DC"sv, "0"sv, ""},
        {"DC"sv, "1000"sv, ""},
        {"DC"sv, "2.5"sv, ""},
        {"DC"sv, " 5 "sv, ""},
        {"DC"sv, "1e3"sv, ""},
        {"DC"sv, "-0"sv, ""},
        {"DC"sv, "1000.00000000000000001"sv, ""},
        {"DC"sv, "1000.0000000000001"sv, range},
        {"DC"sv, "1000.5"sv, range},
        {"DC"sv, "-1"sv, range},
        {"DC"sv, "1e4"sv, range},
        {"DC"sv, "-1e-4000"sv, range},
        {"DC"sv, ""sv, dc("'' is not a valid floating point value")},
        {"DC"sv, "x"sv, dc("'x' is not a valid floating point value")},
        {"DC"sv, "1,5"sv, dc("'1,5' is not a valid floating point value")},
        {"DC"sv, "\t5"sv, dc("'\t5' is not a valid floating point value")},
        {"DC"sv, "2e4932"sv, dc("'2e4932' is not a valid floating point value")},
    });
}

// SB: a colour triple through the comma list, each item 0..255; wrapped as
// "Brush data is in unkown format (...).".
TEST_F(ValidatorTest, Brush) {
    const std::string bad = "Brush data is in unkown format (Brush rgb is not a valid rgb. all 3 components must be "
                            "between 0 and 255.).";
    ExpectRecords({
        {"SB"sv, "255,0,0"sv, ""},
        {"SB"sv, "255, 0, 0"sv, ""},
        {"SB"sv, "0,0,0"sv, ""},
        {"SB"sv, "1 2 3"sv, ""},
        {"SB"sv, "$FF,0x10,+7"sv, ""},
        {"SB"sv, "\"1\",2,3"sv, ""},
        {"SB"sv, "1,2,3, "sv, ""},
        {"SB"sv, "256,0,0"sv, bad},
        {"SB"sv, "0,0,256"sv, bad},
        {"SB"sv, "-1,0,0"sv, bad},
        {"SB"sv, "1,2"sv, bad},
        {"SB"sv, "1,2,3,4"sv, bad},
        {"SB"sv, "1,,3"sv, bad},
        {"SB"sv, "1,2,3,"sv, bad},
        {"SB"sv, "1,2,\"3\"\""sv, bad},
        {"SB"sv, "1.0,2,3"sv, bad},
        {"SB"sv, "a,b,c"sv, bad},
        {"SB"sv, ""sv, bad},
    });
}

// SP: "s,s,s,s,s"; style 0, 1 or 5; width a positive integer; the colour is
// what follows the second comma of the argument; wrapped as
// "Pen data is in unkown format (...).".
TEST_F(ValidatorTest, Pen) {
    const auto pen = [](std::string inner) { return "Pen data is in unkown format (" + inner + ")."; };
    const std::string style = pen("Pen style is not supported. Must be 0, 1 or 5.");
    const std::string positive = pen("Pen width must be positive.");
    const std::string notInteger = pen("Pen width is not an integer positive number.");
    const std::string rgb = pen("Pen rgb is not a valid rgb. all 3 components must be between 0 and 255.");
    ExpectRecords({
        {"SP"sv, "0,1,0,0,0"sv, ""},
        {"SP"sv, "1,1,0,0,0"sv, ""},
        {"SP"sv, "5,2,255,255,255"sv, ""},
        {"SP"sv, "$5,$10,0,0,0"sv, ""},
        {"SP"sv, " 0 , 1 , 0, 0, 0"sv, ""},
        // The colour is the argument's own text after the second comma, not
        // the trimmed fields: the unclosed quote loses the final blank.
        {"SP"sv, "0,1,0,0,\"5 "sv, ""},
        {"SP"sv, "2,1,0,0,0"sv, style},
        {"SP"sv, "-1,1,0,0,0"sv, style},
        {"SP"sv, "6,0,0,0,0"sv, style},
        {"SP"sv, "x,1,0,0,0"sv, pen("'x' is not a valid integer value")},
        {"SP"sv, ",1,0,0,0"sv, pen("'' is not a valid integer value")},
        {"SP"sv, "0,0,0,0,0"sv, positive},
        {"SP"sv, "0, 0 ,0,0,0"sv, positive},
        {"SP"sv, "0,-1,0,0,0"sv, positive},
        {"SP"sv, "0,$FFFFFFFF,0,0,0"sv, positive},
        {"SP"sv, "0,x,0,0,0"sv, notInteger},
        {"SP"sv, "0,00,0,0,0"sv, notInteger},
        {"SP"sv, "0,-0,0,0,0"sv, notInteger},
        {"SP"sv, "0,,0,0,0"sv, notInteger},
        {"SP"sv, "0,1.5,0,0,0"sv, notInteger},
        {"SP"sv, "0,1,256,0,0"sv, rgb},
        {"SP"sv, "0,1,0,0,x"sv, rgb},
        {"SP"sv, "0,1,0,0,0,0"sv, rgb},
        {"SP"sv, "0,1,0,,0"sv, rgb},
        {"SP"sv, "0,1,0,0"sv, pen("Assertion failure (Unit1, line 141)")},
        {"SP"sv, ""sv, pen("Assertion failure (Unit1, line 141)")},
    });
}

// V: "s=s"; the name one of D, W, X, Z exactly; each value by its own rule;
// wrapped as "Variable assignment data is in unkown format (...).".
TEST_F(ValidatorTest, VariableAssignment) {
    const auto v = [](std::string inner) { return "Variable assignment data is in unkown format (" + inner + ")."; };
    const std::string email = CORVALA_CONTACT_EMAIL;
    const std::string w = v("W value must be between 0 and 1000 (the limits are my own personal "
                            "guess. mail me at " +
                            email + " if this is incorrect)");
    const std::string z = v("Z value must be between 0 and 100 (the limits are my own personal "
                            "guess. mail me at " +
                            email + " if this is incorrect)");
    const std::string d = v("D values can be only - or +.");
    const std::string unknown = v("Unkown variable.");
    ExpectRecords({
        {"V"sv, "D=+"sv, ""},
        {"V"sv, "D=-"sv, ""},
        {"V"sv, " D = + "sv, ""},
        {"V"sv, "D=x"sv, d},
        {"V"sv, "D=++"sv, d},
        {"V"sv, "D="sv, d},
        {"V"sv, "D=+=-"sv, d},
        {"V"sv, "X=52:30:00 N 013:20:00 E"sv, ""},
        {"V"sv, "X = 52.5 N 13.25 E"sv, ""},
        {"V"sv, "X=x"sv, v(kNoForm)},
        {"V"sv, "X=52.5 N 13.25 N"sv, v("Not a coordinate: Both points cannot be in the same time N")},
        {"V"sv, "W=2.5"sv, ""},
        {"V"sv, "W=0"sv, ""},
        {"V"sv, "W=1000"sv, ""},
        {"V"sv, "W=1000.5"sv, w},
        {"V"sv, "W=-1"sv, w},
        {"V"sv, "W=x"sv, v("'x' is not a valid floating point value")},
        {"V"sv, "W="sv, v("'' is not a valid floating point value")},
        {"V"sv, "Z=0"sv, ""},
        {"V"sv, "Z=100"sv, ""},
        {"V"sv, "Z=150"sv, z},
        {"V"sv, "Z=100.001"sv, z},
        {"V"sv, "Z=-0.5"sv, z},
        {"V"sv, "d=+"sv, unknown},
        {"V"sv, "w=1"sv, unknown},
        {"V"sv, "DD=+"sv, unknown},
        {"V"sv, "=+"sv, unknown},
        {"V"sv, "Q=1"sv, unknown},
        {"V"sv, "D+"sv, v("Assertion failure (Unit1, line 141)")},
        {"V"sv, ""sv, v("Assertion failure (Unit1, line 141)")},
    });
}

TEST(ContactEmail, IsTheBuildSetting) { EXPECT_EQ(ContactEmail(), CORVALA_CONTACT_EMAIL); }

// CheckRgb: three comma-list items, each trimmed and read with the default
// -1, in 0..255; RgbList holds the items.
TEST_F(ValidatorTest, CheckRgb) {
    const std::pair<std::string_view, bool> cases[] = {
        {"0,0,0"sv, true},      {"255,255,255"sv, true}, {" 1 , 2 , 3 "sv, true}, {"1 2 3"sv, true},
        {"\"1 \",2,3"sv, true}, {"256,0,0"sv, false},    {"-1,0,0"sv, false},     {"1,2"sv, false},
        {"1,2,3,4"sv, false},   {"1,,3"sv, false},       {""sv, false},           {"x,0,0"sv, false},
    };
    for (const auto& [text, valid] : cases) {
        EXPECT_EQ(engine_.CheckRgb(text), valid) << Visible(text);
    }
    engine_.ParamList = {"kept"};
    EXPECT_TRUE(engine_.CheckRgb("1, 2, 3"));
    EXPECT_EQ(engine_.RgbList, (StringList{"1", "2", "3"}));
    EXPECT_EQ(engine_.ParamList, (FieldList{"kept"}));
}

// Validators raise ValidationError with the fixed (wrapped) message when
// called directly.
TEST_F(ValidatorTest, ValidatorsRaiseValidationErrors) {
    const std::pair<Engine::Validator, std::string_view> cases[] = {
        {&Engine::parseAC, "Airspace class cannot be empty."sv},
        {&Engine::parseDA, "DA data is in unkown format (Assertion failure (Unit1, line 141))."sv},
        {&Engine::parseDC, "DC data is in unkown format ('' is not a valid floating point value)."sv},
        {&Engine::parseDP, kNoForm},
        {&Engine::parseV, "Variable assignment data is in unkown format (Assertion failure (Unit1, line 141))."sv},
    };
    for (const auto& [validator, message] : cases) {
        try {
            (engine_.*validator)("");
            ADD_FAILURE() << "accepted " << message;
        } catch (const ValidationError& e) {
            EXPECT_EQ(e.message(), message);
        }
    }
}

// --- ParseLine and the name table -------------------------------------------
TEST_F(ValidatorTest, UnknownCommandIsNotImplemented) {
    EXPECT_FALSE(engine_.ParseLine(3, "XY", "1"));
    EXPECT_FALSE(engine_.ParseLine(4, "AC\tR", ""));
    EXPECT_FALSE(engine_.ParseLine(2147483647, "parseAC", "R"));
    EXPECT_EQ(sink_.errors, (std::vector<std::string>{"Line 3: XY not implemented.", "Line 4: AC\tR not implemented.",
                                                      "Line 2147483647: parseAC not implemented."}));
    ASSERT_EQ(sink_.findings.size(), 3u);
    EXPECT_EQ(sink_.findings[0].line, 3);
    EXPECT_EQ(sink_.findings[0].command, "XY");
    EXPECT_EQ(sink_.findings[0].message, "XY not implemented.");
    EXPECT_EQ(IdOf(sink_.findings[0].rule), "not-implemented");
    EXPECT_EQ(sink_.findings[0].severity, Severity::Error);
    EXPECT_EQ(engine_.ErrorCount, 0) << "ParseLine counts nothing";
}

// The command is quoted as written; the message is noted with its parts.
TEST_F(ValidatorTest, ErrorItemQuotesTheCommandAsWritten) {
    EXPECT_FALSE(engine_.ParseLine(12, "DA", "0,0,90"));
    EXPECT_FALSE(engine_.ParseLine(5, "ac", "r"));
    EXPECT_FALSE(engine_.ParseLine(7, "dP", "x"));
    EXPECT_TRUE(engine_.ParseLine(8, "tO", ""));
    EXPECT_EQ(sink_.errors, (std::vector<std::string>{
                                "Line 12: DA returned error: DA data is in unkown format (DA radius must be "
                                "between 1 and 1000.).",
                                "Line 5: ac returned error: Class type \"r\" unkown.",
                                "Line 7: dP returned error: " + kNoForm,
                            }));
    ASSERT_EQ(sink_.findings.size(), 3u);
    EXPECT_EQ(sink_.findings[1].line, 5);
    EXPECT_EQ(sink_.findings[1].command, "ac");
    EXPECT_EQ(sink_.findings[1].message, "Class type \"r\" unkown.");
    EXPECT_EQ(IdOf(sink_.findings[1].rule), "AC");
    EXPECT_EQ(engine_.ErrorCount, 0);
}

// Lines are independent: a failure leaves nothing behind for the next line.
TEST_F(ValidatorTest, NothingCarriesFromOneLineToTheNext) {
    EXPECT_EQ(Check("DA", "10,0"), "Line 1: DA returned error: DA data is in unkown format "
                                   "(Assertion failure (Unit1, line 141)).");
    EXPECT_EQ(Check("DA", "10,0,90"), "");
    EXPECT_EQ(Check("DB", "52.5 N 13.25 E,x"), "Line 1: DB returned error: DB data is in unkown "
                                               "format (" +
                                                   kNoForm + ").");
    EXPECT_EQ(Check("DB", "52.5 N 13.25 E,52.5 S 13.25 W"), "");
    EXPECT_EQ(Check("SB", "1,2,3,4"), "Line 1: SB returned error: Brush data is in unkown format "
                                      "(Brush rgb is not a valid rgb. all 3 components must be "
                                      "between 0 and 255.).");
    EXPECT_EQ(Check("SB", "1,2,3"), "");
}

// Names are compared whole, characters equal when their codes differ at most
// in the bit of value 32: letters match regardless of case, nothing else.
TEST(FindValidator, NameTable) {
    const std::pair<std::string_view, Engine::Validator> found[] = {
        {"AC"sv, &Engine::parseAC}, {"ac"sv, &Engine::parseAC}, {"Ac"sv, &Engine::parseAC}, {"aC"sv, &Engine::parseAC},
        {"AN"sv, &Engine::parseAN}, {"AH"sv, &Engine::parseAH}, {"AL"sv, &Engine::parseAL}, {"AT"sv, &Engine::parseAT},
        {"TO"sv, &Engine::parseTO}, {"TC"sv, &Engine::parseTC}, {"SP"sv, &Engine::parseSP}, {"SB"sv, &Engine::parseSB},
        {"V"sv, &Engine::parseV},   {"v"sv, &Engine::parseV},   {"DP"sv, &Engine::parseDP}, {"DA"sv, &Engine::parseDA},
        {"dA"sv, &Engine::parseDA}, {"Da"sv, &Engine::parseDA}, {"DB"sv, &Engine::parseDB}, {"DC"sv, &Engine::parseDC},
        {"DY"sv, &Engine::parseDY}, {"dy"sv, &Engine::parseDY}, {"sp"sv, &Engine::parseSP}, {"tc"sv, &Engine::parseTC},
    };
    for (const auto& [command, validator] : found) {
        EXPECT_TRUE(Engine::FindValidator(command) == validator) << command;
    }
    for (std::string_view command : {
             ""sv,
             "A"sv,
             "D"sv,
             "X"sv,
             "XY"sv,
             "ACX"sv,
             "A C"sv,
             "AC\t"sv,
             " AC"sv,
             "AC "sv,
             "@C"sv,
             "`C"sv,
             "A\x03"sv,
             "\x01"
             "C"sv,
             "!C"sv,
             "A\xe3"sv,
             "\xc1"
             "C"sv,
             "V\0"sv,
             "parseAC"sv,
             "CheckRgb"sv,
             "CheckCoordinate"sv,
             "TryDms"sv,
             "DAA"sv,
             "D@"sv,
             "T\x0f"sv,
             "V="sv,
         }) {
        EXPECT_TRUE(Engine::FindValidator(command) == nullptr) << Visible(command);
    }
}

}  // namespace
}  // namespace corvala
