#include "engine/coordinate_text.h"

namespace corvala {

namespace {

bool IsBlank(char c) noexcept { return c == ' ' || c == '\t'; }
bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }
bool IsHemisphere(char c) noexcept { return c == 'N' || c == 'S' || c == 'E' || c == 'W'; }

// A blank belongs between `before` and `after` when a number ends right
// before a letter, or a letter right before a number.
bool NeedsBlank(char before, char after) noexcept {
    return ((IsDigit(before) || before == '.') && IsHemisphere(after)) || (IsHemisphere(before) && IsDigit(after));
}

}  // namespace

std::string_view CanonicalCoordinate(std::string_view text, std::string& buffer) {
    // Most texts are already in the classic spacing: find the first place
    // that is not before copying anything.
    std::size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    std::size_t i = begin + 1;
    for (; i < end; ++i) {
        const char c = text[i];
        if ((IsBlank(c) && IsBlank(text[i - 1])) || c == '\t' || NeedsBlank(text[i - 1], c)) break;
    }
    if (i >= end) return text.substr(begin, end - begin);

    buffer.assign(text.data() + begin, i - begin);
    for (; i < end; ++i) {
        const char c = text[i];
        if (IsBlank(c)) {
            if (buffer.back() != ' ') buffer += ' ';
            continue;
        }
        if (NeedsBlank(buffer.back(), c)) buffer += ' ';
        buffer += c;
    }
    return buffer;
}

CoordinateForm CoordinateFormOf(std::string_view text, int points) noexcept {
    int colons = 0;
    for (const char c : text) colons += c == ':';
    if (colons == 4 * points) return CoordinateForm::Seconds;
    if (colons == 2 * points) return CoordinateForm::DecimalMinutes;
    if (colons == 0) return CoordinateForm::DecimalDegrees;
    return CoordinateForm::Other;
}

}  // namespace corvala
