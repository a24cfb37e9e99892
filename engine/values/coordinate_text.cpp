#include "engine/values/coordinate_text.h"

#include <algorithm>
#include <vector>

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

std::string StrictSpelling(std::string_view text) {
    const std::size_t remark = text.find(';');
    const std::string_view head = text.substr(0, remark);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < head.size(); ++i) {
        char c = head[i];
        std::size_t j = out.size();
        while (j > 0 && (out[j - 1] == ' ' || out[j - 1] == '\t')) --j;
        const char before = j > 0 ? out[j - 1] : '\0';
        const char after = i + 1 < head.size() ? head[i + 1] : '\0';
        const bool afterNumber = IsDigit(before) || before == '.';
        const bool endsWord = after == '\0' || after == ' ' || after == '\t' || after == ',' || IsDigit(after);
        if ((c == 'n' || c == 's' || c == 'e' || c == 'w') && afterNumber && endsWord)
            c = static_cast<char>(c - 'a' + 'A');
        if ((c == 'N' || c == 'S' || c == 'E' || c == 'W') && before == '.' && j >= 2 && IsDigit(out[j - 2]))
            out.erase(j - 1, 1);
        out += c;
    }
    if (remark != std::string_view::npos) {
        out += '*';
        out.append(text.substr(remark + 1));
    }
    return out;
}

namespace {

// A field of digits with an optional fraction; `sixty` asks that it be 60
// with only zeros after its dot.
bool PlainField(std::string_view field, bool sixty) noexcept {
    const std::size_t dot = field.find('.');
    const std::string_view whole = field.substr(0, dot);
    if (whole.empty() || !std::all_of(whole.begin(), whole.end(), IsDigit)) return false;
    const std::string_view fraction = dot == std::string_view::npos ? std::string_view() : field.substr(dot + 1);
    for (const char c : fraction)
        if (sixty ? c != '0' : !IsDigit(c)) return false;
    return !sixty || whole == "60";
}

// `field` plus one, keeping its width ("09" to "10", "059" to "060").
std::string PlusOne(std::string_view field) {
    const std::size_t dot = field.find('.');
    std::string whole(field.substr(0, dot));
    int carry = 1;
    for (std::size_t i = whole.size(); i-- > 0 && carry != 0;) {
        whole[i] = static_cast<char>(whole[i] + 1);
        carry = whole[i] > '9';
        if (carry != 0) whole[i] = '0';
    }
    if (carry != 0) whole.insert(0, 1, '1');
    if (dot != std::string_view::npos) whole.append(field.substr(dot));
    return whole;
}

// 60 as 0 in the same width ("60" to "00", "60.00" to "00.00").
std::string Zero(std::string_view field) {
    std::string zero(field);
    for (char& c : zero)
        if (IsDigit(c)) c = '0';
    return zero;
}

}  // namespace

std::string CarrySixty(std::string_view angle) {
    std::size_t end = angle.find(' ');
    const std::string_view number = angle.substr(0, end);
    const std::string_view rest = end == std::string_view::npos ? std::string_view() : angle.substr(end);
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t colon = number.find(':', start);
        fields.push_back(number.substr(start, colon == std::string_view::npos ? colon : colon - start));
        if (colon == std::string_view::npos) break;
        start = colon + 1;
    }
    if (fields.size() < 2 || fields.size() > 3) return {};
    std::vector<std::string> out(fields.begin(), fields.end());
    // From the last field: a 60 becomes 0 and adds one to the field before.
    std::size_t i = fields.size() - 1;
    if (!PlainField(fields[i], true)) {
        if (fields.size() != 3 || !PlainField(fields[2], false)) return {};
        i = 1;
        if (!PlainField(fields[1], true)) return {};
    }
    for (std::size_t k = 0; k < i; ++k)
        if (!PlainField(fields[k], false) || fields[k].find('.') != std::string_view::npos) return {};
    out[i] = Zero(fields[i]);
    for (std::size_t k = i; k-- > 0;) {
        out[k] = PlusOne(fields[k]);
        if (k == 0 || out[k] != "60") break;
        out[k] = "00";
    }
    std::string text = out[0];
    for (std::size_t k = 1; k < out.size(); ++k) text += ':' + out[k];
    text.append(rest);
    return text;
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
