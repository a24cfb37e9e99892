#include "cli/json_text.h"

namespace corvala::cli {

namespace {

// Length of the well-formed UTF-8 sequence starting at text[i], or 0 when
// the byte there does not start one (ranges as in Unicode's table of
// well-formed byte sequences).
std::size_t SequenceLength(std::string_view text, std::size_t i) noexcept {
    auto at = [&](std::size_t k) -> unsigned { return static_cast<unsigned char>(text[k]); };
    const unsigned b0 = at(i);
    const std::size_t left = text.size() - i;
    auto tail = [&](std::size_t k) { return k < left && (at(i + k) & 0xC0u) == 0x80u; };
    if (b0 >= 0xC2 && b0 <= 0xDF) return tail(1) ? 2 : 0;
    if (b0 >= 0xE0 && b0 <= 0xEF) {
        if (left < 2) return 0;
        const unsigned b1 = at(i + 1);
        const unsigned lo = b0 == 0xE0 ? 0xA0 : 0x80;
        const unsigned hi = b0 == 0xED ? 0x9F : 0xBF;
        if (b1 < lo || b1 > hi) return 0;
        return tail(2) ? 3 : 0;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
        if (left < 2) return 0;
        const unsigned b1 = at(i + 1);
        const unsigned lo = b0 == 0xF0 ? 0x90 : 0x80;
        const unsigned hi = b0 == 0xF4 ? 0x8F : 0xBF;
        if (b1 < lo || b1 > hi) return 0;
        return tail(2) && tail(3) ? 4 : 0;
    }
    return 0;
}

}  // namespace

std::string DecodeForJson(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            out.push_back(static_cast<char>(b));
            ++i;
            continue;
        }
        if (std::size_t n = SequenceLength(bytes, i); n > 0) {
            out.append(bytes.substr(i, n));
            i += n;
            continue;
        }
        // A stray byte: the Latin-1 character of its value, in two bytes.
        out.push_back(static_cast<char>(0xC0 | (b >> 6)));
        out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        ++i;
    }
    return out;
}

}  // namespace corvala::cli
