#include "engine/values/text.h"

#include <cfenv>
#include <charconv>
#include <cmath>
#include <langinfo.h>
#include <locale.h>

#include "engine/model/failures.h"

namespace corvala {

namespace {

constexpr bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// The conversions read their text only up to a byte 0.
std::string_view UpToNul(std::string_view text) noexcept {
    // Fields are short: a plain loop beats a library call here.
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\0') return text.substr(0, i);
    }
    return text;
}

int HexValue(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Powers of ten, each the exact power rounded to the 80-bit extended format
// (round to nearest, ties to even). Written as hexadecimal literals so that
// the values do not depend on the compiler's decimal parsing.
// clang-format off
constexpr long double kPow1[32] = {
    0x8p-3L, 0xap+0L, 0xc.8p+3L, 0xf.ap+6L, 0x9.c4p+10L, 0xc.35p+13L, 0xf.424p+16L,
    0x9.8968p+20L, 0xb.ebc2p+23L, 0xe.e6b28p+26L, 0x9.502f9p+30L, 0xb.a43b74p+33L,
    0xe.8d4a51p+36L, 0x9.184e72ap+40L, 0xb.5e620f48p+43L, 0xe.35fa931ap+46L,
    0x8.e1bc9bf04p+50L, 0xb.1a2bc2ec5p+53L, 0xd.e0b6b3a764p+56L, 0x8.ac7230489e8p+60L,
    0xa.d78ebc5ac62p+63L, 0xd.8d726b7177a8p+66L, 0x8.78678326eac9p+70L,
    0xa.968163f0a57b4p+73L, 0xd.3c21bcecceda1p+76L, 0x8.4595161401484ap+80L,
    0xa.56fa5b99019a5c8p+83L, 0xc.ecb8f27f4200f3ap+86L, 0x8.13f3978f8940984p+90L,
    0xa.18f07d736b90be5p+93L, 0xc.9f2c9cd04674edfp+96L, 0xf.c6f7c4045812296p+99L,
};
// 10^(32 k), k = 0..15
constexpr long double kPow32[16] = {
    0x8p-3L, 0x9.dc5ada82b70b59ep+103L, 0xc.2781f49ffcfa6d5p+209L,
    0xe.fb3ab16c59b14a3p+315L, 0x9.3ba47c980e98cep+422L, 0xb.616a12b7fe617aap+528L,
    0xe.070f78d3927556bp+634L, 0x8.a5296ffe33cc93p+741L, 0xa.a7eebfb9df9de8ep+847L,
    0xd.226fc195c6a2f8cp+953L, 0x8.1842f29f2cce376p+1060L, 0x9.fa42700db900ad2p+1166L,
    0xc.4c5e310aef8aa17p+1272L, 0xf.28a9c07e9b09c59p+1378L, 0x9.57a4ae1ebf7f3d4p+1485L,
    0xb.83ed8dc0795a262p+1591L,
};
// 10^(512 k), k = 0..9
constexpr long double kPow512[10] = {
    0x8p-3L, 0xe.319a0aea60e91c7p+1697L, 0xc.976758681750c17p+3398L,
    0xb.2b8353b3993a7e4p+5099L, 0x9.e8b3b5dc53d5de5p+6800L, 0x8.ca554c020a1f0a6p+8501L,
    0xf.9895d25d88b5a8bp+10201L, 0xd.d5dc8a2bf27f3f8p+11902L, 0xc.46052028a20979bp+13603L,
    0xa.e3511626ed559fp+15304L,
};
// clang-format on

// Runs `compute` and tells whether it overflowed or did an invalid
// operation. The program runs in one floating-point environment, set at
// start (InitializeFloatingPoint): rounding to nearest, a 64-bit
// significand, no traps. Failures are read from the x87 status flags, which
// are cleared first: the long double arithmetic runs on the x87 unit alone.
template <typename Compute>
bool ComputeFails(Compute&& compute) noexcept {
#if defined(__x86_64__) || defined(__i386__)
    constexpr unsigned short kFailFlags = 0x09;  // IE OE
    // Clearing the flags costs more than reading them: only a flag that
    // earlier arithmetic left standing is cleared.
    unsigned short status;
    __asm__ volatile("fnstsw %0" : "=m"(status) : : "memory");
    if ((status & kFailFlags) != 0) __asm__ volatile("fnclex" : : : "memory");
    compute();
    __asm__ volatile("fnstsw %0" : "=m"(status) : : "memory");
    return (status & kFailFlags) != 0;
#else
    std::feclearexcept(FE_OVERFLOW | FE_INVALID);
    compute();
    return std::fetestexcept(FE_OVERFLOW | FE_INVALID) != 0;
#endif
}

// Scales v by 10^|e| in the fixed order of factors: 10^(|e| mod 32), then
// 10^(32 ((|e| div 32) mod 16)), then 10^(512 (|e| div 512)).
long double Scale(long double v, long long e) noexcept {
    const bool divide = e < 0;
    const unsigned long long a = divide ? static_cast<unsigned long long>(-e) : static_cast<unsigned long long>(e);
    const long double f1 = kPow1[a % 32];
    const unsigned long long i32 = (a / 32) % 16;
    const unsigned long long i512 = a / 512;
    if (divide) {
        v = v / f1;
        if (i32 != 0) v = v / kPow32[i32];
        if (i512 != 0) v = v / kPow512[i512];
    } else {
        v = v * f1;
        if (i32 != 0) v = v * kPow32[i32];
        if (i512 != 0) v = v * kPow512[i512];
    }
    return v;
}

char& SeparatorSlot() noexcept {
    static char separator = UserDecimalSeparator();
    return separator;
}

std::string QuotedMessage(std::string_view text, const char* tail) {
    std::string message;
    message.reserve(text.size() + 40);
    message += '\'';
    message += text;
    message += '\'';
    message += tail;
    return message;
}

// Both number syntaxes begin alike: blanks (only the byte 32), then at most
// one sign. Returns the position after them.
std::size_t SkipBlanksAndSign(std::string_view text, bool& negative) noexcept {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    return i;
}

}  // namespace

bool ScanInt(std::string_view text, std::int32_t& value) noexcept {
    // The common case, one to nine decimal digits and nothing else, cannot
    // leave the range.
    if (!text.empty() && text.size() <= 9) {
        std::int32_t quick = 0;
        std::size_t i = 0;
        for (; i < text.size(); ++i) {
            const unsigned digit = static_cast<unsigned char>(text[i]) - static_cast<unsigned>('0');
            if (digit > 9) break;
            quick = quick * 10 + static_cast<std::int32_t>(digit);
        }
        if (i == text.size()) {
            value = quick;
            return true;
        }
    }
    text = UpToNul(text);
    const std::size_t n = text.size();
    bool negative;
    std::size_t i = SkipBlanksAndSign(text, negative);
    bool hex = false;
    if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i == n) return false;  // no digits

    if (hex) {
        std::uint32_t accumulated = 0;
        for (; i < n; ++i) {
            const int digit = HexValue(text[i]);
            if (digit < 0) return false;
            if (accumulated > 0x0FFFFFFFu) return false;  // would need more than 32 bits
            accumulated = (accumulated << 4) | static_cast<std::uint32_t>(digit);
        }
        // The 32 bits read as two's complement; a "-" negates in two's complement.
        if (negative) accumulated = 0u - accumulated;
        value = static_cast<std::int32_t>(accumulated);
        return true;
    }

    const std::uint64_t limit = negative ? 2147483648ull : 2147483647ull;
    std::uint64_t accumulated = 0;
    for (; i < n; ++i) {
        if (!IsDigit(text[i])) return false;
        accumulated = accumulated * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (accumulated > limit) return false;
    }
    value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(accumulated))
                     : static_cast<std::int32_t>(accumulated);
    return true;
}

std::int32_t TextToInt(std::string_view text) {
    std::int32_t value;
    if (!ScanInt(text, value)) throw ConversionError(IntConversionMessage(text));
    return value;
}

std::int32_t TextToIntDef(std::string_view text, std::int32_t defaultValue) noexcept {
    std::int32_t value;
    return ScanInt(text, value) ? value : defaultValue;
}

bool ScanReal(std::string_view text, long double& value) noexcept {
    text = UpToNul(text);
    const char separator = DecimalSeparator();
    const std::size_t n = text.size();
    bool negative;
    std::size_t i = SkipBlanksAndSign(text, negative);

    // Syntax first, remembering where the digits stand; the arithmetic
    // follows in its own environment.
    const std::size_t intStart = i;
    while (i < n && IsDigit(text[i])) ++i;
    const std::size_t intEnd = i;
    std::size_t fracStart = i, fracEnd = i;
    bool hasSeparator = false;
    if (i < n && text[i] == separator) {
        hasSeparator = true;
        ++i;
        fracStart = i;
        while (i < n && IsDigit(text[i])) ++i;
        fracEnd = i;
    }
    if (intEnd == intStart && !hasSeparator) return false;

    long long exponent = 0;
    if (i < n && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        bool expNegative = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            expNegative = text[i] == '-';
            ++i;
        }
        // Exponent digits are read only while the value read so far is below 500.
        while (i < n && IsDigit(text[i]) && exponent < 500) {
            exponent = exponent * 10 + (text[i] - '0');
            ++i;
        }
        if (i < n && IsDigit(text[i])) return false;
        if (expNegative) exponent = -exponent;
    }
    while (i < n && text[i] == ' ') ++i;
    if (i != n) return false;

    const long long e = exponent - static_cast<long long>(fracEnd - fracStart);

    // Up to 19 digits, every step of v := v * 10 + digit is an integer below
    // 2^64, exact in the 64-bit significand: accumulating them as an integer
    // gives the same v without floating-point work, and without raising any
    // flag. Only the scaling can then round or overflow.
    const std::size_t digitCount = (intEnd - intStart) + (fracEnd - fracStart);
    if (digitCount <= 19) {
        std::uint64_t digits = 0;
        for (std::size_t k = intStart; k < intEnd; ++k) digits = digits * 10 + static_cast<unsigned>(text[k] - '0');
        for (std::size_t k = fracStart; k < fracEnd; ++k) digits = digits * 10 + static_cast<unsigned>(text[k] - '0');
        long double v = static_cast<long double>(digits);
        if (e <= -5120 || digits == 0) {
            v = 0.0L;
        } else if (e != 0) {
            // The arithmetic stays out of line so that the compiler cannot
            // move it across the reads of the status word.
            const bool failed = ComputeFails([&]() __attribute__((noinline)) { v = Scale(v, e); });
            if (failed) return false;
        }
        value = negative ? -v : v;
        return true;
    }

    long double v = 0.0L;
    const bool failed = ComputeFails([&]() __attribute__((noinline)) {
        for (std::size_t k = intStart; k < intEnd; ++k) v = v * 10.0L + static_cast<long double>(text[k] - '0');
        for (std::size_t k = fracStart; k < fracEnd; ++k) v = v * 10.0L + static_cast<long double>(text[k] - '0');
        if (e <= -5120) {
            v = 0.0L;
        } else if (e != 0) {
            v = Scale(v, e);
        }
        if (negative) v = -v;
    });
    if (failed) return false;
    value = v;
    return true;
}

long double TextToReal(std::string_view text) {
    long double value;
    if (!ScanReal(text, value)) throw ConversionError(RealConversionMessage(text));
    return value;
}

std::string IntToText(std::int32_t value) {
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::size_t FindText(std::string_view sub, std::string_view text) noexcept {
    if (sub.empty() || text.empty() || sub.size() > text.size()) return 0;
    const std::size_t pos = text.find(sub);
    return pos == std::string_view::npos ? 0 : pos + 1;
}

std::size_t FindTextFrom(std::string_view sub, std::string_view text, std::size_t start) noexcept {
    if (start <= 1) return FindText(sub, text);
    if (sub.empty() || sub.size() > text.size()) return 0;
    const std::size_t last = text.size() - sub.size() + 1;
    if (start > last) return 0;
    const std::size_t pos = text.find(sub, start - 1);
    return pos == std::string_view::npos ? 0 : pos + 1;
}

void SplitCommaText(StringList& list, std::string_view text) {
    constexpr char kQuote = '"';
    auto isSeparator = [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b >= 1 && b <= 32;
    };
    list.clear();
    const std::size_t n = text.size();
    std::size_t p = 0;
    auto skipSeparators = [&] {
        while (p < n && isSeparator(text[p])) ++p;
    };
    skipSeparators();
    while (p < n) {
        std::string item;
        if (text[p] == kQuote) {
            // A quoted item runs to the next quote that is not directly
            // followed by another; pairs of quotes inside become one quote.
            const std::size_t start = ++p;
            std::size_t close = std::string_view::npos;
            while (p < n) {
                if (text[p] == kQuote) {
                    if (p + 1 < n && text[p + 1] == kQuote) {
                        p += 2;
                        continue;
                    }
                    close = p;
                    break;
                }
                ++p;
            }
            // Without a closing quote the item is the rest of the text less
            // its last character.
            const std::size_t end = close != std::string_view::npos ? close : (n > start ? n - 1 : start);
            for (std::size_t k = start; k < end; ++k) {
                item += text[k];
                if (text[k] == kQuote && k + 1 < end && text[k + 1] == kQuote) ++k;
            }
            p = close != std::string_view::npos ? close + 1 : n;
        } else {
            const std::size_t start = p;
            while (p < n && text[p] != ',' && !isSeparator(text[p])) ++p;
            item.assign(text.substr(start, p - start));
        }
        list.push_back(std::move(item));
        skipSeparators();
        if (p < n && text[p] == ',') {
            if (p == n - 1) list.emplace_back();
            ++p;
            skipSeparators();
        }
    }
}

// The program's floating-point environment rounds to nearest with ties to
// even (InitializeFloatingPoint), so the conversion in that mode is the
// rounding asked for.
std::int64_t RoundHalfEven(long double value) noexcept { return std::llrint(value); }

bool ScanSingle(long double value, float& narrowed) noexcept {
    // From halfway between the largest single and the next power of two on,
    // rounding to nearest gives infinity: the store overflows.
    constexpr long double kOverflowFrom = 0x1.ffffffp+127L;
    if (std::fabs(value) >= kOverflowFrom) return false;
    narrowed = static_cast<float>(value);
    return true;
}

float NarrowToSingle(long double value) {
    float narrowed;
    if (!ScanSingle(value, narrowed)) throw FloatOverflow();
    return narrowed;
}

std::string IntConversionMessage(std::string_view text) { return QuotedMessage(text, " is not a valid integer value"); }

std::string RealConversionMessage(std::string_view text) {
    return QuotedMessage(text, " is not a valid floating point value");
}

void InitializeFloatingPoint() noexcept {
    std::fesetenv(FE_DFL_ENV);
    std::fesetround(FE_TONEAREST);
#if defined(__x86_64__) || defined(__i386__)
    // Round to nearest, 64-bit significand, every exception masked.
    const unsigned short control = 0x037F;
    __asm__ volatile("fldcw %0" : : "m"(control));
#endif
}

char UserDecimalSeparator() noexcept {
    locale_t user = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
    if (user == static_cast<locale_t>(nullptr)) return '.';
    const char* radix = nl_langinfo_l(RADIXCHAR, user);
    char separator = '.';
    // Only a single-byte separator can stand in an 8-bit text.
    if (radix != nullptr && radix[0] != '\0' && radix[1] == '\0') separator = radix[0];
    freelocale(user);
    return separator;
}

char DecimalSeparator() noexcept { return SeparatorSlot(); }

void SetDecimalSeparator(char separator) noexcept { SeparatorSlot() = separator; }

}  // namespace corvala
