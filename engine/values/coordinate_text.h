// The ways a coordinate is written beyond the classic forms. Current files
// put the hemisphere letter directly after the number ("53:47:06N") and
// space the parts freely; rewriting such a text into the classic spacing
// lets the one classic check judge its ranges.
#pragma once

#include <string>
#include <string_view>

namespace corvala {

// `text` with the parts spaced as the classic forms expect: blanks and tabs
// around it removed, every run of them inside it made one blank, and one
// blank put between a number and the capital N, S, E or W that follows it
// directly, and between such a letter and a digit that follows it. Returns
// a view of `text` when only its ends change, else a view of `buffer`.
std::string_view CanonicalCoordinate(std::string_view text, std::string& buffer);

// How the angles of a coordinate text are written, told by its colons: two
// per angle for degrees, minutes and seconds, one for degrees and decimal
// minutes, none for decimal degrees. `points` is the number of coordinates
// in the text (2 for the argument of a DB record).
enum class WrittenForm : unsigned char { Other, Seconds, DecimalMinutes, DecimalDegrees };
WrittenForm WrittenFormOf(std::string_view text, int points = 1) noexcept;

}  // namespace corvala

namespace corvala {

// What TolerantCoordinate changed in a coordinate text.
enum TolerantSpelling : unsigned {
    kRemarkCut = 1,  // a ; remark after the coordinate
    kSmallLetter = 2,  // a hemisphere letter in small letters
    kTrailingDot = 4,  // a dot that ends the seconds or minutes ("31.N")
};

// `text` with the spellings that readers tolerate put right: a ; and what
// follows cut off, n, s, e and w after a number written in capitals, a dot
// between a number's last digit and a hemisphere letter dropped. Returns
// the TolerantSpelling bits of what changed (0 when nothing did); `out` is
// a view of `text` or of `buffer`.
unsigned TolerantCoordinate(std::string_view text, std::string& buffer, std::string_view& out);

// `text` with what TolerantCoordinate puts right written as strict readers
// read it, everything else kept as it is: the ; of a remark made the * of
// a comment, the small hemisphere letters capitals, the dot before a
// hemisphere letter dropped.
std::string StrictSpelling(std::string_view text);

// `angle` ("45:59:60", "009:60:00 E", ...), whose minutes or seconds are
// exactly 60, with the 60 carried over as readers read it ("46:00:00",
// "010:00:00 E"), each number keeping its width; empty when a field is not
// a plain number or the 60 has other digits than zeros after its dot.
std::string CarrySixty(std::string_view angle);

// In a coordinate text in the classic spacing, the first angle whose
// minutes or seconds are 60 or more (which the classic check lets pass);
// empty when there is none. `seconds` tells which of the two.
std::string_view SixtyAngle(std::string_view canonical, bool& seconds) noexcept;

}  // namespace corvala
