#include "engine/values/display.h"

#include <cstdint>
#include <cstring>

namespace corvala {

namespace {

// Windows-1252 bytes 0x80..0x9F. The five bytes the code page leaves
// undefined keep their own value (C1 control characters).
constexpr char16_t kHighControlRange[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

// Length of the leading run of bytes below 0x80, eight bytes at a time.
std::size_t AsciiPrefix(std::string_view bytes) noexcept {
    const char* p = bytes.data();
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080ull) break;
    }
    while (i < n && static_cast<unsigned char>(p[i]) < 0x80) ++i;
    return i;
}

void AppendCodePoint(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

char16_t Windows1252Char(unsigned char byte) noexcept {
    return byte >= 0x80 && byte < 0xA0 ? kHighControlRange[byte - 0x80] : byte;
}

std::size_t Utf8SequenceLength(std::string_view bytes) noexcept {
    if (bytes.empty()) return 0;
    auto at = [&](std::size_t k) -> unsigned { return static_cast<unsigned char>(bytes[k]); };
    const unsigned b0 = at(0);
    if (b0 < 0x80) return 1;
    // The lead byte fixes the length and the range of the second byte; the
    // narrowed ranges exclude overlong forms (E0, F0), surrogates (ED) and
    // code points above U+10FFFF (F4).
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
    if (bytes.size() < length) return 0;
    if (at(1) < lo || at(1) > hi) return 0;
    for (std::size_t k = 2; k < length; ++k)
        if ((at(k) & 0xC0u) != 0x80u) return 0;
    return length;
}

bool IsValidUtf8(std::string_view bytes) noexcept {
    std::size_t i = AsciiPrefix(bytes);
    while (i < bytes.size()) {
        const std::size_t length = Utf8SequenceLength(bytes.substr(i));
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::string DecodeForDisplay(std::string_view bytes) {
    std::size_t i = AsciiPrefix(bytes);
    if (i == bytes.size()) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    out.append(bytes.substr(0, i));
    while (i < bytes.size()) {
        const std::size_t length = Utf8SequenceLength(bytes.substr(i));
        if (length > 0) {
            out.append(bytes.substr(i, length));
            i += length;
            continue;
        }
        const auto byte = static_cast<unsigned char>(bytes[i++]);
        AppendCodePoint(out, Windows1252Char(byte));
    }
    return out;
}

}  // namespace corvala
