#include "engine/values/coordinate_text.h"

#include <array>
#include <cstring>

#include "engine/values/text.h"

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

namespace corvala {

namespace {

bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

}  // namespace

unsigned TolerantCoordinate(std::string_view text, std::string& buffer, std::string_view& out) {
    unsigned changed = 0;
    if (const std::size_t remark = text.find(';'); remark != std::string_view::npos) {
        text = text.substr(0, remark);
        changed |= kRemarkCut;
    }
    buffer.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        // The last non-blank byte before this one.
        std::size_t j = buffer.size();
        while (j > 0 && (buffer[j - 1] == ' ' || buffer[j - 1] == '\t')) --j;
        const char before = j > 0 ? buffer[j - 1] : '\0';
        const char after = i + 1 < text.size() ? text[i + 1] : '\0';
        const bool afterNumber = IsDigit(before) || before == '.';
        const bool endsWord = after == '\0' || after == ' ' || after == '\t' || after == ',' || IsDigit(after);
        if ((c == 'n' || c == 's' || c == 'e' || c == 'w') && afterNumber && endsWord) {
            c = static_cast<char>(c - 'a' + 'A');
            changed |= kSmallLetter;
        }
        if ((c == 'N' || c == 'S' || c == 'E' || c == 'W') && before == '.' && j >= 2 && IsDigit(buffer[j - 2])) {
            buffer.erase(j - 1, 1);
            changed |= kTrailingDot;
        }
        buffer += c;
    }
    out = changed ? std::string_view(buffer) : text;
    return changed;
}

std::string_view SixtyAngle(std::string_view canonical, bool& seconds) noexcept {
    std::size_t start = 0;
    while (start < canonical.size()) {
        std::size_t end = canonical.find_first_of(" ,", start);
        if (end == std::string_view::npos) end = canonical.size();
        const std::string_view token = canonical.substr(start, end - start);
        // The token's fields after its degrees: minutes, then seconds.
        std::size_t colon = token.find(':');
        for (int field = 0; colon != std::string_view::npos && field < 2; ++field) {
            const std::size_t next = token.find(':', colon + 1);
            const std::string_view part =
                token.substr(colon + 1, next == std::string_view::npos ? std::string_view::npos : next - colon - 1);
            long double value = 0;
            if (ScanReal(part, value) && value >= 60) {
                seconds = field == 1;
                // The angle with its hemisphere letter, when one follows.
                std::size_t angleEnd = end;
                if (angleEnd + 2 <= canonical.size() && canonical[angleEnd] == ' ' &&
                    std::string_view("NSEW").find(canonical[angleEnd + 1]) != std::string_view::npos)
                    angleEnd += 2;
                return canonical.substr(start, angleEnd - start);
            }
            colon = next;
        }
        start = end + 1;
    }
    return {};
}

}  // namespace corvala
