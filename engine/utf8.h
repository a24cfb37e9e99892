// Recognising well-formed UTF-8 in 8-bit text. The display decoders and
// the terminal escaping share this one rule, so that the same bytes count
// as the same characters everywhere.
#pragma once

#include <cstddef>
#include <string_view>

namespace corvala {

// The length (2 to 4) of the well-formed UTF-8 sequence of more than one
// byte that starts at text[i], or 0 when none starts there: no overlong
// forms, no surrogates, nothing above U+10FFFF, as in Unicode's table of
// well-formed byte sequences. A byte below 0x80 gives 0 as well.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) noexcept;

}  // namespace corvala
