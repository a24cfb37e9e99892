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
