#include "ui/LineDecoding.h"

#include <cstdint>
#include <cstring>

namespace corvala::ui {

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
std::size_t AsciiPrefix(const unsigned char* p, std::size_t n) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080ull) break;
    }
    while (i < n && p[i] < 0x80) ++i;
    return i;
}

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Decodes p[0..n) as strict UTF-8 into out; returns the number of UTF-16
// units written, or -1 at the first invalid or truncated sequence.
qsizetype DecodeUtf8(const unsigned char* p, std::size_t n, char16_t* out) {
    char16_t* d = out;
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            *d++ = b;
            ++i;
            continue;
        }
        // The lead byte fixes the length and the range of the second byte;
        // the narrowed ranges exclude overlong forms (E0, F0), surrogates
        // (ED) and code points above U+10FFFF (F4).
        unsigned char lo = 0x80, hi = 0xBF;
        std::size_t length;
        char32_t cp;
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            cp = b & 0x0F;
            if (b == 0xE0)
                lo = 0xA0;
            else if (b == 0xED)
                hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            cp = b & 0x07;
            if (b == 0xF0)
                lo = 0x90;
            else if (b == 0xF4)
                hi = 0x8F;
        } else {
            return -1;
        }
        if (n - i < length) return -1;
        if (p[i + 1] < lo || p[i + 1] > hi) return -1;
        cp = (cp << 6) | (p[i + 1] & 0x3F);
        for (std::size_t k = 2; k < length; ++k) {
            if (!IsContinuation(p[i + k])) return -1;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        i += length;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            *d++ = char16_t(0xD800 + (cp >> 10));
            *d++ = char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            *d++ = char16_t(cp);
        }
    }
    return d - out;
}

}  // namespace

char16_t Windows1252Char(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) return kHighControlRange[byte - 0x80];
    return byte;
}

QString DecodeLine(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    const std::size_t ascii = AsciiPrefix(p, n);
    if (ascii == n) return QString::fromLatin1(bytes.data(), qsizetype(n));

    // Neither decoding yields more UTF-16 units than there are bytes: UTF-8
    // spends at least as many bytes as units on every character.
    QString text(qsizetype(n), Qt::Uninitialized);
    auto* out = reinterpret_cast<char16_t*>(text.data());
    for (std::size_t i = 0; i < ascii; ++i) out[i] = p[i];

    const qsizetype rest = DecodeUtf8(p + ascii, n - ascii, out + ascii);
    if (rest >= 0) {
        text.truncate(qsizetype(ascii) + rest);
        return text;
    }
    for (std::size_t i = ascii; i < n; ++i) out[i] = Windows1252Char(p[i]);
    return text;
}

}  // namespace corvala::ui
