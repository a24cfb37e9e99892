#include "engine/coordinate_text.h"

#include <array>
#include <cstring>

namespace corvala {

namespace {

// Character classes: the end of a number (a digit or the decimal point), a
// digit, a hemisphere letter, a blank.
enum : unsigned char { kNumberEnd = 1, kDigit = 2, kLetter = 4, kBlank = 8 };

constexpr auto kClasses = [] {
    std::array<unsigned char, 256> classes{};
    for (char c = '0'; c <= '9'; ++c) classes[static_cast<unsigned char>(c)] = kNumberEnd | kDigit;
    classes['.'] = kNumberEnd;
    for (const char c : {'N', 'S', 'E', 'W'}) classes[static_cast<unsigned char>(c)] = kLetter;
    classes[' '] = classes['\t'] = kBlank;
    return classes;
}();

unsigned char ClassOf(char c) noexcept { return kClasses[static_cast<unsigned char>(c)]; }

// A blank belongs between `before` and `after` when a number ends right
// before a letter, or a letter stands right before a digit.
bool NeedsBlank(char before, char after) noexcept {
    const unsigned char b = ClassOf(before), a = ClassOf(after);
    return ((b & kNumberEnd) && (a & kLetter)) || ((b & kLetter) && (a & kDigit));
}

}  // namespace

std::string_view CanonicalCoordinate(std::string_view text, std::string& buffer) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && ClassOf(text[begin]) == kBlank) ++begin;
    while (end > begin && ClassOf(text[end - 1]) == kBlank) --end;
    const char* in = text.data() + begin;
    const std::size_t size = end - begin;
    // Most texts are already in the classic spacing: find the first place
    // that is not before copying anything.
    std::size_t i = 1;
    for (; i < size; ++i) {
        const char c = in[i];
        if (c == '\t' || (c == ' ' && in[i - 1] == ' ') || NeedsBlank(in[i - 1], c)) break;
    }
    if (i >= size) return {in, size};

    // Each byte adds at most one blank.
    buffer.resize(2 * size);
    char* out = buffer.data();
    std::memcpy(out, in, i);
    std::size_t k = i;
    for (; i < size; ++i) {
        const char c = in[i];
        if (ClassOf(c) == kBlank) {
            if (out[k - 1] != ' ') out[k++] = ' ';
            continue;
        }
        if (NeedsBlank(out[k - 1], c)) out[k++] = ' ';
        out[k++] = c;
    }
    buffer.resize(k);
    return buffer;
}

WrittenForm WrittenFormOf(std::string_view text, int points) noexcept {
    int colons = 0;
    for (const char c : text) colons += c == ':';
    if (colons == 4 * points) return WrittenForm::Seconds;
    if (colons == 2 * points) return WrittenForm::DecimalMinutes;
    if (colons == 0) return WrittenForm::DecimalDegrees;
    return WrittenForm::Other;
}

}  // namespace corvala
