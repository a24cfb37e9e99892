// Reading the limit texts of AH and AL records: what height a text stands
// for, and how it was written, so that each rule set can judge spellings
// by its own measure while all of them read a text the same way.
#pragma once

#include <optional>
#include <string_view>

namespace corvala {

enum class AltitudeKind : unsigned char {
    Unreadable,  // none of the forms below
    Ground,  // GND or SFC alone
    Unlimited,  // UNL, UNLIM or UNLTD
    FlightLevel,  // FL and a number
    AboveMsl,  // a number with reference MSL, AMSL or ALT, or with none
    AboveGround,  // a number with reference AGL, GND, SFC or ASFC
    Standard,  // a number with reference STD (pressure altitude)
};

struct Altitude {
    AltitudeKind kind = AltitudeKind::Unreadable;
    // Feet above the kind's reference: the level times 100 for a flight
    // level, metres converted; 0 for ground and unlimited.
    double feet = 0;
    // The words as written, views into the text that was read (empty when
    // absent): the unit ("ft", "F", "m", ...), and the reference ("MSL",
    // "amsl", "GND", ...) or, for ground, unlimited and flight levels, the
    // word itself ("SFC", "UNLTD", "FL").
    std::string_view unit;
    std::string_view reference;

    // A number without unit, read as feet.
    bool WithoutUnit() const noexcept {
        return unit.empty() &&
               (kind == AltitudeKind::AboveMsl || kind == AltitudeKind::AboveGround || kind == AltitudeKind::Standard);
    }
    // A number alone: no unit and no reference (feet above mean sea level).
    bool BareNumber() const noexcept { return WithoutUnit() && reference.empty(); }
};

// Reads one limit text; blanks (bytes 0 to 32) around it and between its
// words are allowed, letters in any case. A number without a unit counts
// as feet, one without a reference as above mean sea level.
Altitude ReadAltitude(std::string_view text) noexcept;

// Whether `lower` lies at or above `upper`, when the two can be compared:
// both flight levels, both above mean sea level, both above ground, both
// pressure altitudes; ground lies below everything and unlimited above
// everything. Empty when they cannot be compared (or one is unreadable).
std::optional<bool> LimitsInverted(const Altitude& lower, const Altitude& upper) noexcept;

}  // namespace corvala
