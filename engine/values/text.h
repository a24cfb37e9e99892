// The text and number operations every check rests on. They work on bytes
// (8-bit characters); positions in their interfaces are 1-based, 0 meaning
// "not found". Accepted syntax, values and messages are observable
// behaviour: the error list quotes them word for word.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvala {

using StringList = std::vector<std::string>;

// Removes the bytes 0 to 32 from both ends. The result views `text`.
inline std::string_view TrimText(std::string_view text) noexcept {
    std::size_t first = 0;
    const std::size_t n = text.size();
    while (first < n && static_cast<unsigned char>(text[first]) <= 32) ++first;
    if (first == n) return {};
    std::size_t last = n;
    while (static_cast<unsigned char>(text[last - 1]) <= 32) --last;
    return text.substr(first, last - first);
}

// Integer syntax: blanks (byte 32 only), one optional sign, then decimal
// digits or a hexadecimal prefix ($, x, X, 0x, 0X) and hex digits, then the
// end. Decimal values must fit 32-bit signed; hexadecimal values must fit 32
// bits and are read as two's complement. Reading stops at a byte 0.
bool ScanInt(std::string_view text, std::int32_t& value) noexcept;
// Raises ConversionError "'<text>' is not a valid integer value".
std::int32_t TextToInt(std::string_view text);
std::int32_t TextToIntDef(std::string_view text, std::int32_t defaultValue) noexcept;

// Real syntax with the process-wide decimal separator, computed in the
// 80-bit extended format. False for a text that is not a number or whose
// value overflows (read from the status flags of the program's
// floating-point environment, see InitializeFloatingPoint).
bool ScanReal(std::string_view text, long double& value) noexcept;
// Raises ConversionError "'<text>' is not a valid floating point value".
long double TextToReal(std::string_view text);

std::string IntToText(std::int32_t value);

// 1-based position of the first occurrence of `sub` in `text`, 0 if none
// (also when either text is empty).
std::size_t FindText(std::string_view sub, std::string_view text) noexcept;
// As FindText, trying only the positions from `start` (1-based) on.
std::size_t FindTextFrom(std::string_view sub, std::string_view text, std::size_t start) noexcept;

// Replaces the content of `list` with the comma-list items of `text`
// (quote character ", separators bytes 1 to 32 and the comma).
void SplitCommaText(StringList& list, std::string_view text);

// Rounds to the nearest integer, ties to the even one (12.5 -> 12, 37.5 -> 38).
std::int64_t RoundHalfEven(long double value) noexcept;

// Stores a real in single precision; a value beyond its range raises
// FloatOverflow ("Floating point overflow"). ScanSingle says false instead.
bool ScanSingle(long double value, float& narrowed) noexcept;
float NarrowToSingle(long double value);

// The messages of the conversions, for a text that they refuse.
std::string IntConversionMessage(std::string_view text);  // "'<text>' is not a valid integer value"
std::string RealConversionMessage(std::string_view text);  // "'<text>' is not a valid floating point value"

// Sets the floating-point environment of the whole program: rounding to
// nearest with ties to even, a 64-bit significand, every exception masked
// (the conversions detect overflow and invalid operations from the status
// flags where they happen). Each program calls it once at start.
void InitializeFloatingPoint() noexcept;

// The process-wide decimal separator read by TextToReal. At start it holds
// the separator of the user's regional settings (LC_NUMERIC of the
// environment); the window and the checker set it to '.'.
char DecimalSeparator() noexcept;
void SetDecimalSeparator(char separator) noexcept;
char UserDecimalSeparator() noexcept;

}  // namespace corvala
