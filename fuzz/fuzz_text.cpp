// Fuzz target: the text and number conversions over arbitrary text.
//
// Input layout: the first byte sets the decimal separator (bit 7: ",") and
// whether overflow and invalid flags stand from earlier arithmetic (bit 2),
// which must not change any result; the rest is the text. The raising
// operations agree with the Scan functions, messages quote the text whole.
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "engine/model/failures.h"
#include "engine/values/text.h"

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "fuzz_text invariant broken: %s\n", what);
    std::abort();
}

void Check(bool condition, const char* what) {
    if (!condition) Fail(what);
}

// The message quotes the whole text as passed, a byte 0 in it included.
std::string Quoted(std::string_view text, const char* tail) { return "'" + std::string(text) + "'" + tail; }

bool SameReal(long double a, long double b) {
    return std::memcmp(&a, &b, 10) == 0;  // the 80 bits of the extended format
}

void CheckIntegers(std::string_view text) {
    std::int32_t value = 12345;
    bool ok;
    ok = corvala::ScanInt(text, value);
    bool threw = false;
    try {
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
    ok = corvala::ScanReal(text, value);
    if (ok) Check(std::isfinite(value), "ScanReal accepted a value that is not finite");
    bool threw = false;
    try {
        const long double thrown = corvala::TextToReal(text);
        Check(ok && SameReal(thrown, value), "TextToReal disagrees with ScanReal");
    } catch (const corvala::ConversionError& error) {
        threw = true;
        Check(error.message() == Quoted(text, " is not a valid floating point value"), "TextToReal message");
    }
    Check(threw == !ok, "TextToReal fails exactly where ScanReal fails");

    // A flag that earlier arithmetic left standing changes nothing.
    std::feraiseexcept(FE_OVERFLOW | FE_INVALID);
    long double again = 0;
    Check(corvala::ScanReal(text, again) == ok && (!ok || SameReal(again, value)),
          "a standing flag changed the result");
    std::feclearexcept(FE_ALL_EXCEPT);
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

// The program's floating-point environment, set once as the programs do.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    corvala::InitializeFloatingPoint();
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size == 0) return 0;
    corvala::SetDecimalSeparator((bytes[0] & 0x80) ? ',' : '.');
    const std::string_view text(reinterpret_cast<const char*>(bytes) + 1, size - 1);

    std::feclearexcept(FE_ALL_EXCEPT);
    if (bytes[0] & 4) std::feraiseexcept(FE_OVERFLOW | FE_INVALID);

    CheckIntegers(text);
    CheckReals(text);
    CheckTrim(text);
    CheckSplit(text);
    CheckFind(text);

    std::feclearexcept(FE_ALL_EXCEPT);
    return 0;
}
