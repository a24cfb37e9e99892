// Recognising well-formed UTF-8 (see engine/utf8.h).
#include "engine/utf8.h"

namespace corvala {

std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) noexcept {
    auto at = [&](std::size_t k) -> unsigned { return static_cast<unsigned char>(text[i + k]); };
    const std::size_t left = text.size() - i;
    auto tail = [&](std::size_t k) { return k < left && (at(k) & 0xC0u) == 0x80u; };
    const unsigned b0 = at(0);
    // The lead byte fixes the length; the narrowed ranges of the second
    // byte exclude overlong forms (E0, F0), surrogates (ED) and code
    // points above U+10FFFF (F4).
    std::size_t length;
    unsigned lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (left < length || at(1) < lo || at(1) > hi) return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if (!tail(k)) return 0;
    }
    return length;
}

}  // namespace corvala
