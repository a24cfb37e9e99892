// Fuzz target: the text and number conversions over arbitrary text.
//
// Input layout: the first byte sets the caller's floating-point rounding mode
// (bits 0-1) and whether an inexact flag is pending (bit 2) before the
// conversions run; the rest is the text. Every conversion must leave that
// environment as it found it, and TextToReal must give the same value
// whatever the caller's rounding mode.
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "engine/failures.h"
#include "engine/text.h"

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "fuzz_text invariant broken: %s\n", what);
    std::abort();
}

void Check(bool condition, const char* what) {
    if (!condition) Fail(what);
}

// The parts of the floating-point environment a conversion may touch: the
// x87 control word, the exception bits of the x87 status word, and the SSE
// control and status register. The condition codes and the stack top of the
// status word, and the instruction pointers fegetenv also stores, change
// with ordinary x87 arithmetic and are left out.
struct FpState {
    unsigned control = 0, status = 0, mxcsr = 0;
    int flags = 0, rounding = 0;
    bool operator==(const FpState&) const = default;
};

FpState ReadFpState() {
    std::fenv_t env;
    std::fegetenv(&env);
    FpState state;
#if defined(__x86_64__)
    state.control = env.__control_word;
    state.status = env.__status_word & 0x00FFu;
    state.mxcsr = env.__mxcsr;
#endif
    state.flags = std::fetestexcept(FE_ALL_EXCEPT);
    state.rounding = std::fegetround();
    return state;
}

class FpGuard {
public:
    explicit FpGuard(const char* what) : what_(what), before_(ReadFpState()) {}
    ~FpGuard() {
        if (!(ReadFpState() == before_)) Fail(what_);
    }

private:
    const char* what_;
    FpState before_;
};

constexpr int kRoundings[4] = {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO};

// The message quotes the whole text as passed, a byte 0 in it included.
std::string Quoted(std::string_view text, const char* tail) { return "'" + std::string(text) + "'" + tail; }

bool SameReal(long double a, long double b) {
    return std::memcmp(&a, &b, 10) == 0;  // the 80 bits of the extended format
}

void CheckIntegers(std::string_view text) {
    std::int32_t value = 12345;
    bool ok;
    {
        FpGuard guard("ScanInt changed the floating-point environment");
        ok = corvala::ScanInt(text, value);
    }
    bool threw = false;
    try {
        FpGuard guard("TextToInt changed the floating-point environment");
        const std::int32_t thrown = corvala::TextToInt(text);
        Check(ok && thrown == value, "TextToInt disagrees with ScanInt");
    } catch (const corvala::ConversionError& error) {
        threw = true;
        Check(error.message() == Quoted(text, " is not a valid integer value"), "TextToInt message");
    }
    Check(threw == !ok, "TextToInt fails exactly where ScanInt fails");
    for (std::int32_t def : {0, -1, 7, std::numeric_limits<std::int32_t>::min()}) {
        Check(corvala::TextToIntDef(text, def) == (ok ? value : def), "TextToIntDef disagrees with TextToInt");
    }
    if (ok) {
        const std::string back = corvala::IntToText(value);
        std::int32_t again = 0;
        Check(corvala::ScanInt(back, again) && again == value, "IntToText does not read back");
        Check(std::to_string(value) == back, "IntToText spelling");
    }
}

void CheckReals(std::string_view text) {
    long double value = 0;
    bool ok;
    {
        FpGuard guard("ScanReal changed the floating-point environment");
        ok = corvala::ScanReal(text, value);
    }
    if (ok) Check(std::isfinite(value), "ScanReal accepted a value that is not finite");
    bool threw = false;
    try {
        FpGuard guard("TextToReal changed the floating-point environment");
        const long double thrown = corvala::TextToReal(text);
        Check(ok && SameReal(thrown, value), "TextToReal disagrees with ScanReal");
    } catch (const corvala::ConversionError& error) {
        threw = true;
        Check(error.message() == Quoted(text, " is not a valid floating point value"), "TextToReal message");
    }
    Check(threw == !ok, "TextToReal fails exactly where ScanReal fails");

    // The conversion uses its own rounding: the caller's mode changes nothing.
    const int saved = std::fegetround();
    for (int mode : kRoundings) {
        std::fesetround(mode);
        long double other = 0;
        const bool otherOk = corvala::ScanReal(text, other);
        const int after = std::fegetround();
        std::fesetround(saved);
        Check(after == mode, "ScanReal did not restore the rounding mode");
        Check(otherOk == ok && (!ok || SameReal(other, value)), "TextToReal depends on the caller's rounding");
    }
}

void CheckTrim(std::string_view text) {
    const std::string_view trimmed = corvala::TrimText(text);
    Check(corvala::TrimText(trimmed) == trimmed, "TrimText is not idempotent");
    if (!trimmed.empty()) {
        Check(static_cast<unsigned char>(trimmed.front()) > 32 && static_cast<unsigned char>(trimmed.back()) > 32,
              "TrimText left a trim character at an end");
        Check(trimmed.data() >= text.data() && trimmed.data() + trimmed.size() <= text.data() + text.size(),
              "TrimText result does not view its text");
    } else {
        for (char c : text) Check(static_cast<unsigned char>(c) <= 32, "TrimText removed a non-trim character");
    }
}

bool IsSeparator(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
}

void CheckSplit(std::string_view text) {
    corvala::StringList items{"stale"};
    corvala::SplitCommaText(items, text);
    for (const std::string& item : items) Check(item.size() <= text.size(), "SplitCommaText item longer than its text");
    if (text.find('"') == std::string_view::npos) {
        // Without quotes every item is a run of ordinary characters: no item
        // holds a comma or a separator, and together they hold every other byte.
        std::string joined, expected;
        for (const std::string& item : items) {
            for (char c : item) Check(c != ',' && !IsSeparator(c), "unquoted item holds a comma or separator");
            joined += item;
        }
        for (char c : text) {
            if (c != ',' && !IsSeparator(c)) expected += c;
        }
        Check(joined == expected, "unquoted items lost or gained bytes");
    }
    bool onlySeparators = true;
    for (char c : text) onlySeparators = onlySeparators && IsSeparator(c);
    if (onlySeparators) Check(items.empty(), "blank text gives items");
}

void CheckFind(std::string_view text) {
    if (text.empty()) return;
    const std::string_view needle = text.substr(0, 1);
    const std::string_view hay = text.substr(1);
    const std::size_t found = hay.find(needle);
    Check(corvala::FindText(needle, hay) == (found == std::string_view::npos ? 0 : found + 1), "FindText");
    for (std::size_t start = 1; start <= hay.size() + 2; start += 1 + hay.size() / 7) {
        const std::size_t from = start - 1 < hay.size() ? hay.find(needle, start - 1) : std::string_view::npos;
        Check(corvala::FindTextFrom(needle, hay, start) == (from == std::string_view::npos ? 0 : from + 1),
              "FindTextFrom");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size == 0) return 0;
    corvala::SetDecimalSeparator((bytes[0] & 0x80) ? ',' : '.');
    const std::string_view text(reinterpret_cast<const char*>(bytes) + 1, size - 1);

    std::feclearexcept(FE_ALL_EXCEPT);
    std::fesetround(kRoundings[bytes[0] & 3]);
    if (bytes[0] & 4) std::feraiseexcept(FE_INEXACT);

    CheckIntegers(text);
    CheckReals(text);
    CheckTrim(text);
    CheckSplit(text);
    CheckFind(text);

    std::fesetround(FE_TONEAREST);
    std::feclearexcept(FE_ALL_EXCEPT);
    return 0;
}
