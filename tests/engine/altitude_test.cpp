#include "engine/values/altitude.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace corvala {
namespace {

using K = AltitudeKind;

// Every form real files use reads, letters in any case and with or without
// blanks between number, unit and reference; a number without unit counts
// as feet, one without reference as above mean sea level; the words are
// kept as written.
struct ReadCase {
    std::string text;
    AltitudeKind kind;
    double feet;
    std::string unit;
    std::string reference;
};

TEST(ReadAltitude, ReadsTheForms) {
    const std::vector<ReadCase> cases{
        {"GND", K::Ground, 0, "", "GND"},
        {" sfc ", K::Ground, 0, "", "sfc"},
        {"UNL", K::Unlimited, 0, "", "UNL"},
        {"unlim", K::Unlimited, 0, "", "unlim"},
        {"UNLTD", K::Unlimited, 0, "", "UNLTD"},
        {"FL95", K::FlightLevel, 9500, "", "FL"},
        {"FL 095", K::FlightLevel, 9500, "", "FL"},
        {"fl65", K::FlightLevel, 6500, "", "fl"},
        {"3500ft MSL", K::AboveMsl, 3500, "ft", "MSL"},
        {"3500 FT AMSL", K::AboveMsl, 3500, "FT", "AMSL"},
        {"3500MSL", K::AboveMsl, 3500, "", "MSL"},
        {"3500 F MSL", K::AboveMsl, 3500, "F", "MSL"},
        {"3500ftAMSL", K::AboveMsl, 3500, "ft", "AMSL"},
        {"4500ALT", K::AboveMsl, 4500, "", "ALT"},
        {"7500 ft", K::AboveMsl, 7500, "ft", ""},
        {"3500", K::AboveMsl, 3500, "", ""},
        {"1000m AMSL", K::AboveMsl, 1000 / 0.3048, "m", "AMSL"},
        {"300M AGL", K::AboveGround, 300 / 0.3048, "M", "AGL"},
        {"1500agl", K::AboveGround, 1500, "", "agl"},
        {"1000ft GND", K::AboveGround, 1000, "ft", "GND"},
        {"1000 ft SFC", K::AboveGround, 1000, "ft", "SFC"},
        {"600FT ASFC", K::AboveGround, 600, "FT", "ASFC"},
        {"19501ft STD", K::Standard, 19501, "ft", "STD"},
        {"2500.5ft MSL", K::AboveMsl, 2500.5, "ft", "MSL"},
        // Unreadable: no number, a lone FL, unknown words, words left over.
        {"", K::Unreadable, 0, "", ""},
        {"FL", K::Unreadable, 0, "", ""},
        {"FL 9 5", K::Unreadable, 0, "", ""},
        {"MSL", K::Unreadable, 0, "", ""},
        {"1000 feet", K::Unreadable, 0, "", ""},
        {"1000ft MSL GND", K::Unreadable, 0, "", ""},
        {"95 FL", K::Unreadable, 0, "", ""},
        {"1000ft MSL.", K::Unreadable, 0, "", ""},
        {"GND 0", K::Unreadable, 0, "", ""},
        {"2500.", K::Unreadable, 0, "", ""},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.text);
        const Altitude a = ReadAltitude(c.text);
        EXPECT_EQ(a.kind, c.kind);
        EXPECT_DOUBLE_EQ(a.feet, c.feet);
        EXPECT_EQ(a.unit, c.unit);
        EXPECT_EQ(a.reference, c.reference);
    }
}

// Only a number with neither unit nor reference is a bare number; a
// number with a reference but no unit is still without unit.
TEST(ReadAltitude, TellsHowTheNumberWasWritten) {
    EXPECT_TRUE(ReadAltitude("3500").BareNumber());
    EXPECT_FALSE(ReadAltitude("3500MSL").BareNumber());
    EXPECT_TRUE(ReadAltitude("3500MSL").WithoutUnit());
    EXPECT_FALSE(ReadAltitude("3500ft").WithoutUnit());
    EXPECT_FALSE(ReadAltitude("FL95").WithoutUnit());
    EXPECT_FALSE(ReadAltitude("GND").BareNumber());
}

// Lower and upper compare when both are flight levels, both above mean sea
// level, both above ground or both pressure altitudes; ground lies below
// and unlimited above everything; equal limits count as inverted.
struct CompareCase {
    std::string lower;
    std::string upper;
    std::optional<bool> inverted;
};

TEST(LimitsInverted, ComparesOnlyWhatIsComparable) {
    const std::vector<CompareCase> cases{
        {"FL65", "FL95", false},
        {"FL95", "FL65", true},
        {"FL95", "FL95", true},
        {"0ft AMSL", "0ft AMSL", true},
        {"1000m AMSL", "3000ft MSL", true},
        {"2500ft MSL", "3500MSL", false},
        {"500ft AGL", "1000ft GND", false},
        {"1000ft AGL", "1000 ft SFC", true},
        {"5000ft STD", "4000ft STD", true},
        {"GND", "FL95", false},
        {"GND", "GND", true},
        {"SFC", "0ft AGL", false},
        {"0ft AGL", "GND", true},
        {"FL95", "UNL", false},
        {"UNLTD", "FL95", true},
        {"UNL", "UNL", true},
        {"GND", "UNL", false},
        {"FL95", "3000ft MSL", std::nullopt},
        {"1000ft AGL", "500ft MSL", std::nullopt},
        {"5000ft STD", "FL40", std::nullopt},
        {"FL", "FL95", std::nullopt},
        {"GND", "high", std::nullopt},
    };
    for (const CompareCase& c : cases) {
        SCOPED_TRACE(c.lower + " / " + c.upper);
        EXPECT_EQ(LimitsInverted(ReadAltitude(c.lower), ReadAltitude(c.upper)), c.inverted);
    }
}

}  // namespace
}  // namespace corvala
