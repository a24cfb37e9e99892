// Text and number operations: trimming, integer and real conversion, search,
// the comma list, rounding and the checked narrowing to single precision.
#include <cfenv>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "engine/model/failures.h"
#include "engine/values/text.h"
#include "test_support.h"

using namespace std::string_view_literals;
using corvala::test::ScopedSeparator;
using corvala::test::Visible;

namespace corvala {
namespace {

// --- TrimText ----------------------------------------------------------------
// Bytes 0 to 32 go from both ends; everything else, bytes 127 and above
// included, stays, and the inside of the text is never touched.
struct TrimCase {
    std::string_view text;
    std::string_view trimmed;
};

TEST(TrimText, RemovesBytesZeroToThirtyTwoFromBothEnds) {
    const TrimCase cases[] = {
        {" \tAC R \r"sv, "AC R"sv},
        {" \t \t"sv, ""sv},
        {""sv, ""sv},
        {"AC"sv, "AC"sv},
        {"\0\x01\x1f AC \0"sv, "AC"sv},
        {"A \t B"sv, "A \t B"sv},
        {"AC\x7f"sv, "AC\x7f"sv},
        {"AC\xa0"sv, "AC\xa0"sv},
        {"\x7f"sv, "\x7f"sv},
        {"\xff x \xff"sv, "\xff x \xff"sv},
        {"\x21"sv, "!"sv},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TrimText(c.text), c.trimmed) << Visible(c.text);
    }
}

TEST(TrimText, ResultViewsTheGivenText) {
    const std::string text = "  AC R  ";
    const std::string_view trimmed = TrimText(text);
    EXPECT_EQ(trimmed.data(), text.data() + 2);
    EXPECT_EQ(trimmed.size(), 4u);
}

// --- TextToInt, ScanInt, TextToIntDef --------------------------------------
// Blanks, one optional sign, decimal digits or a hex prefix ($, x, X, 0x, 0X)
// with hex digits, then the end. Decimal values must fit 32-bit signed; hex
// values must fit 32 bits and read as two's complement, a "-" negating that.
struct IntCase {
    std::string_view text;
    bool valid;
    std::int32_t value;
};

const IntCase kIntCases[] = {
    {"12"sv, true, 12},
    {" 12"sv, true, 12},
    {"    12"sv, true, 12},
    {"12 "sv, false, 0},
    {"+5"sv, true, 5},
    {"-5"sv, true, -5},
    {"007"sv, true, 7},
    {"0"sv, true, 0},
    {"-0"sv, true, 0},
    {"$1F"sv, true, 31},
    {"0x1F"sv, true, 31},
    {"x1F"sv, true, 31},
    {"X1f"sv, true, 31},
    {"0X1f"sv, true, 31},
    {"$abcdef"sv, true, 0xabcdef},
    {"-$10"sv, true, -16},
    {"+$10"sv, true, 16},
    {"$FFFFFFFF"sv, true, -1},
    {"$80000000"sv, true, INT32_MIN},
    {"$7FFFFFFF"sv, true, INT32_MAX},
    {"-$FFFFFFFF"sv, true, 1},
    {"-$80000000"sv, true, INT32_MIN},
    {"$00000000FF"sv, true, 255},
    {"$100000000"sv, false, 0},
    {"0x100000000"sv, false, 0},
    {"2147483647"sv, true, INT32_MAX},
    {"0000000000002147483647"sv, true, INT32_MAX},
    {"2147483648"sv, false, 0},
    {"-2147483648"sv, true, INT32_MIN},
    {"-2147483649"sv, false, 0},
    {"99999999999999999999"sv, false, 0},
    {"1e3"sv, false, 0},
    {"1.0"sv, false, 0},
    {"1,5"sv, false, 0},
    {"1 000"sv, false, 0},
    {""sv, false, 0},
    {"   "sv, false, 0},
    {"-"sv, false, 0},
    {"+"sv, false, 0},
    {"+-5"sv, false, 0},
    {"--5"sv, false, 0},
    {"- 5"sv, false, 0},
    {"$"sv, false, 0},
    {"x"sv, false, 0},
    {"0x"sv, false, 0},
    {"-$"sv, false, 0},
    {"$G"sv, false, 0},
    {"$-5"sv, false, 0},
    {"0$5"sv, false, 0},
    {"\t5"sv, false, 0},
    {"5\t"sv, false, 0},
    {"\x01"
     "5"sv,
     false, 0},
    {"h10"sv, false, 0},
    {"12a"sv, false, 0},
    // Reading stops at a byte 0.
    {"12\0abc"sv, true, 12},
    {"\0"sv, false, 0},
};

TEST(TextToInt, AcceptsExactlyTheIntegerSyntax) {
    for (const auto& c : kIntCases) {
        const std::string name = Visible(c.text);
        std::int32_t value = 12345;
        EXPECT_EQ(ScanInt(c.text, value), c.valid) << name;
        if (c.valid) {
            EXPECT_EQ(value, c.value) << name;
            EXPECT_EQ(TextToInt(c.text), c.value) << name;
        } else {
            EXPECT_THROW(TextToInt(c.text), ConversionError) << name;
        }
    }
}

TEST(TextToIntDef, SameTextsAsTextToIntWithTheDefaultForInvalidOnes) {
    for (const auto& c : kIntCases) {
        const std::string name = Visible(c.text);
        EXPECT_EQ(TextToIntDef(c.text, -1), c.valid ? c.value : -1) << name;
        EXPECT_EQ(TextToIntDef(c.text, 77), c.valid ? c.value : 77) << name;
    }
    EXPECT_EQ(TextToIntDef("-1", -1), -1);
    EXPECT_EQ(TextToIntDef("0", 0), 0);
    EXPECT_EQ(TextToIntDef("abc", 0), 0);
}

// The message quotes the text exactly as passed, untrimmed.
TEST(TextToInt, MessageQuotesTheTextAsPassed) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"12 "sv, "'12 ' is not a valid integer value"sv},
        {""sv, "'' is not a valid integer value"sv},
        {" 1.5"sv, "' 1.5' is not a valid integer value"sv},
        {"60.5"sv, "'60.5' is not a valid integer value"sv},
        {"$100000000"sv, "'$100000000' is not a valid integer value"sv},
        // Reading stops at a byte 0, but the message still quotes all of it.
        {"%\0"
         "1"sv,
         "'%\0"
         "1' is not a valid integer value"sv},
    };
    for (const auto& [text, message] : cases) {
        try {
            TextToInt(text);
            ADD_FAILURE() << "no failure for " << Visible(text);
        } catch (const ConversionError& e) {
            EXPECT_EQ(e.message(), message);
        }
    }
}

// --- TextToReal -------------------------------------------------------------
// Blanks, a sign, digits with the separator in force, an optional exponent
// whose digits are read only while its value is below 500, blanks, the end.
// The value is computed in the extended format; overflow fails.
struct RealCase {
    std::string_view text;
    bool valid;
    long double value;
};

TEST(TextToReal, SyntaxAndValuesWithPointInForce) {
    ScopedSeparator point('.');
    const RealCase cases[] = {
        {"1.5"sv, true, 1.5L},
        {" 1.5 "sv, true, 1.5L},
        {"   -1.5   "sv, true, -1.5L},
        {"+.5"sv, true, 0.5L},
        {"5."sv, true, 5.0L},
        {".5"sv, true, 0.5L},
        {"5"sv, true, 5.0L},
        {"."sv, true, 0.0L},
        {"0"sv, true, 0.0L},
        {"1e3"sv, true, 1000.0L},
        {"1E+3"sv, true, 1000.0L},
        {"1e+03"sv, true, 1000.0L},
        {"-2.5e-1"sv, true, -0.25L},
        {"1e"sv, true, 1.0L},
        {"1e+"sv, true, 1.0L},
        {"1e-"sv, true, 1.0L},
        {"2.e2"sv, true, 200.0L},
        {".e2"sv, true, 0.0L},
        {"12345678901234567890"sv, true, 12345678901234567890.0L},
        {"1e-4999"sv, true, 0.0L},
        {"0e4999"sv, true, 0.0L},
        {"1.5\0xyz"sv, true, 1.5L},
        {"e3"sv, false, 0},
        {"E"sv, false, 0},
        {"1,5"sv, false, 0},
        {"1 000"sv, false, 0},
        {"1.2.3"sv, false, 0},
        {"0x10"sv, false, 0},
        {"$10"sv, false, 0},
        {"- 1"sv, false, 0},
        {"+-1"sv, false, 0},
        {"1e--3"sv, false, 0},
        {"1e 3"sv, false, 0},
        {"1 e3"sv, false, 0},
        {"\t1"sv, false, 0},
        {"1\t"sv, false, 0},
        {"1\r"sv, false, 0},
        {""sv, false, 0},
        {"   "sv, false, 0},
        {"-"sv, false, 0},
        {"+"sv, false, 0},
        {"inf"sv, false, 0},
        {"nan"sv, false, 0},
        {"1e5000"sv, false, 0},
        {"1e4999"sv, false, 0},
        {"1e-5000"sv, false, 0},
        {"2e4932"sv, false, 0},
        {"1e4933"sv, false, 0},
        {"\0"sv, false, 0},
    };
    for (const auto& c : cases) {
        const std::string name = Visible(c.text);
        long double value = 12345;
        EXPECT_EQ(ScanReal(c.text, value), c.valid) << name;
        if (c.valid) {
            EXPECT_EQ(value, c.value) << name;
            EXPECT_EQ(TextToReal(c.text), c.value) << name;
        } else {
            EXPECT_THROW(TextToReal(c.text), ConversionError) << name;
        }
    }
}

// Values that one correctly rounded multiplication or division gives equal
// the correctly rounded decimal value.
TEST(TextToReal, SingleOperationValuesAreCorrectlyRounded) {
    ScopedSeparator point('.');
    for (const char* text : {"0.1", "0.001", "1e-3", "123.456", "52.5", "13.25", "60.000001", "60.00001", "180.000001",
                             "3.14159265358979323", "-7.7e-7", "9.999999999999999999", "1e27", "1e-27"}) {
        EXPECT_EQ(TextToReal(text), std::strtold(text, nullptr)) << text;
    }
    EXPECT_EQ(TextToReal("0.1"), 0.1L);
}

// The largest decimal power the extended format holds is read; twice it is
// an overflow.
TEST(TextToReal, LargestPowerIsReadTwiceItOverflows) {
    ScopedSeparator point('.');
    long double value = 0;
    ASSERT_TRUE(ScanReal("1e4932", value));
    EXPECT_TRUE(std::isfinite(value));
    EXPECT_NEAR(static_cast<double>(value / std::strtold("1e4932", nullptr)), 1.0, 1e-15);
    EXPECT_FALSE(ScanReal("2e4932", value));
    EXPECT_TRUE(ScanReal("1.18e4932", value));
    EXPECT_FALSE(ScanReal("1.19e4932", value));
}

// Leading zeros of the exponent are read, they do not count toward 500.
TEST(TextToReal, ExponentDigitsAreReadWhileBelowFiveHundred) {
    ScopedSeparator point('.');
    EXPECT_EQ(TextToReal("1e0300"), TextToReal("1e300"));
    EXPECT_EQ(TextToReal("1e000000000000003"), 1000.0L);
    EXPECT_EQ(TextToReal("1e499"), TextToReal("1e0499"));
    long double value = 0;
    EXPECT_FALSE(ScanReal("1e5000", value));
    EXPECT_FALSE(ScanReal("1e50000", value));
    EXPECT_FALSE(ScanReal("0e5000", value));
    EXPECT_TRUE(ScanReal("0e4999", value));
    EXPECT_TRUE(ScanReal("1e-4999", value));
    EXPECT_FALSE(ScanReal("1e-5000", value));
}

// A decimal exponent of -5120 or less gives 0, even where the exact value
// would be a denormal; at -5119 the three factors still apply.
TEST(TextToReal, ExponentOfMinus5120OrLessGivesZero) {
    ScopedSeparator point('.');
    const std::string mantissa = "1" + std::string(50, '0') + ".";
    const std::string at5119 = mantissa + std::string(120, '0') + "e-4999";
    const std::string at5120 = mantissa + std::string(121, '0') + "e-4999";
    EXPECT_GT(TextToReal(at5119), 0.0L);
    EXPECT_EQ(TextToReal(at5120), 0.0L);
    EXPECT_FALSE(std::signbit(TextToReal(at5120)));
}

TEST(TextToReal, MinusZeroIsANegativeZero) {
    ScopedSeparator point('.');
    for (const char* text : {"-0", "-.", "-0.0", "-0e10", " -0 "}) {
        const long double value = TextToReal(text);
        EXPECT_EQ(value, 0.0L) << text;
        EXPECT_FALSE(value < 0.0L) << text;
        EXPECT_TRUE(std::signbit(value)) << text;
    }
    EXPECT_FALSE(std::signbit(TextToReal("0")));
    EXPECT_FALSE(std::signbit(TextToReal("+0")));
    EXPECT_TRUE(std::signbit(TextToReal("-1e-4999")));
}

TEST(TextToReal, OnlyTheSeparatorInForceIsAccepted) {
    {
        ScopedSeparator comma(',');
        EXPECT_EQ(DecimalSeparator(), ',');
        EXPECT_EQ(TextToReal("1,5"), 1.5L);
        EXPECT_EQ(TextToReal(",25"), 0.25L);
        long double value = 0;
        EXPECT_FALSE(ScanReal("1.5", value));
        try {
            TextToReal("1.5");
            ADD_FAILURE() << "1.5 accepted with a comma in force";
        } catch (const ConversionError& e) {
            EXPECT_EQ(e.message(), "'1.5' is not a valid floating point value");
        }
    }
    ScopedSeparator point('.');
    EXPECT_EQ(TextToReal("1.5"), 1.5L);
    long double value = 0;
    EXPECT_FALSE(ScanReal("1,5", value));
}

TEST(TextToReal, MessageQuotesTheTextAsPassed) {
    ScopedSeparator point('.');
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"1,5"sv, "'1,5' is not a valid floating point value"sv},
        {""sv, "'' is not a valid floating point value"sv},
        {" x "sv, "' x ' is not a valid floating point value"sv},
        {"2e4932"sv, "'2e4932' is not a valid floating point value"sv},
        {"30:00"sv, "'30:00' is not a valid floating point value"sv},
    };
    for (const auto& [text, message] : cases) {
        try {
            TextToReal(text);
            ADD_FAILURE() << "no failure for " << Visible(text);
        } catch (const ConversionError& e) {
            EXPECT_EQ(e.message(), message);
        }
    }
}

// The scaling factors 10^(N mod 32), 10^(32 k) and 10^(512 k) are each the
// correctly rounded power of ten: "1eN" with a single factor must equal
// glibc's (correctly rounded) strtold. A negative exponent divides 1 by that
// same factor.
TEST(TextToReal, PowerOfTenFactorsAreCorrectlyRounded) {
    ScopedSeparator point('.');
    std::vector<int> exponents;
    for (int n = 0; n < 32; ++n) exponents.push_back(n);
    for (int n = 32; n <= 480; n += 32) exponents.push_back(n);
    for (int n = 512; n <= 4608; n += 512) exponents.push_back(n);
    for (int n : exponents) {
        const std::string positive = "1e" + std::to_string(n);
        const long double factor = std::strtold(positive.c_str(), nullptr);
        EXPECT_EQ(TextToReal(positive), factor) << positive;
        const std::string negative = "1e-" + std::to_string(n);
        volatile long double one = 1.0L;
        EXPECT_EQ(TextToReal(negative), one / factor) << negative;
        if (n < 28) {
            // The power itself is exact here, so the quotient is correctly rounded.
            EXPECT_EQ(TextToReal(negative), std::strtold(negative.c_str(), nullptr)) << negative;
        }
    }
}

// A decimal exponent beyond 31 is applied as up to three rounded factors, in
// the order 10^(|e| mod 32), 10^(32 ((|e| div 32) mod 16)), 10^(512 (|e| div
// 512)), each step rounded to the extended format; the mantissa digits are
// accumulated as v := v * 10 + digit, each step rounded too.
long double ScaledAsSpecified(const std::string& digits, int e) {
    volatile long double v = 0;
    for (char c : digits) v = v * 10 + (c - '0');
    const int a = e < 0 ? -e : e;
    const int powers[3] = {a % 32, 32 * ((a / 32) % 16), 512 * (a / 512)};
    for (int i = 0; i < 3; ++i) {
        if (i > 0 && powers[i] == 0) continue;
        const long double factor = std::strtold(("1e" + std::to_string(powers[i])).c_str(), nullptr);
        v = e < 0 ? v / factor : v * factor;
    }
    return v;
}

TEST(TextToReal, ScalesByTheFactorsInTheirOrder) {
    ScopedSeparator point('.');
    const std::pair<std::string, int> cases[] = {
        {"1", 33},
        {"1", 100},
        {"1", 300},
        {"1", 545},
        {"1", 1000},
        {"1", 4000},
        {"1", 4931},
        {"7", 4900},
        {"1", -33},
        {"1", -300},
        {"1", -4000},
        {"3", -4940},
        {"1", -75},
        {"1", -103},
        {"1", -250},
        {"123456789", 250},
        {"123456789", -250},
        {"12345678901234567890123", 0},
        {"98765432109876543210987654321", -40},
    };
    for (const auto& [digits, e] : cases) {
        const std::string text = digits + "e" + std::to_string(e);
        EXPECT_EQ(TextToReal(text), ScaledAsSpecified(digits, e)) << text;
    }
    // Digits after the separator count against the exponent.
    EXPECT_EQ(TextToReal("1234.5678e-300"), ScaledAsSpecified("12345678", -304));
}

// --- The program's floating-point environment ------------------------------------
// The programs set one environment at start (the test main does the same):
// rounding to nearest, a 64-bit significand, no traps. Overflow is read from
// the status flags where it happens; a flag that earlier arithmetic left
// standing does not make a later, valid text fail.
TEST(TextToReal, DetectsOverflowWhereItHappens) {
    ScopedSeparator point('.');
    long double value = 0;
    std::feraiseexcept(FE_OVERFLOW | FE_INVALID);
    EXPECT_TRUE(ScanReal("0.1", value));
    EXPECT_EQ(value, std::strtold("0.1", nullptr)) << "not computed with a 64-bit significand";
    EXPECT_FALSE(ScanReal("1e4999", value));
    EXPECT_TRUE(ScanReal("1e-4999", value));
    EXPECT_EQ(value, 0.0L);
}

// --- NarrowToSingle -------------------------------------------------------------
// Rounds to single precision, ties to even; a result beyond the single range
// is the overflow failure, a result below it is 0 or a denormal silently.
TEST(NarrowToSingle, RoundsToNearestAndOverflowsBeyondTheRange) {
    EXPECT_EQ(NarrowToSingle(FLT_MAX), FLT_MAX);
    EXPECT_EQ(NarrowToSingle(-FLT_MAX), -FLT_MAX);
    EXPECT_EQ(NarrowToSingle(60.000001L), 60.0f);
    EXPECT_GT(NarrowToSingle(60.00001L), 60.0f);
    EXPECT_EQ(NarrowToSingle(180.000001L), 180.0f);
    EXPECT_GT(NarrowToSingle(180.00001L), 180.0f);
    EXPECT_EQ(NarrowToSingle(0.1L), 0.1f);
    EXPECT_EQ(NarrowToSingle(1e-50L), 0.0f);
    EXPECT_TRUE(std::signbit(NarrowToSingle(-0.0L)));
    // A quarter of the last place above FLT_MAX still rounds down to it.
    EXPECT_EQ(NarrowToSingle(static_cast<long double>(FLT_MAX) + std::ldexp(1.0L, 102)), FLT_MAX);

    for (long double beyond : {1e39L, -1e39L, 1e300L, static_cast<long double>(FLT_MAX) * 2,
                               static_cast<long double>(FLT_MAX) + std::ldexp(1.0L, 103)}) {
        try {
            NarrowToSingle(beyond);
            ADD_FAILURE() << "no overflow for " << static_cast<double>(beyond);
        } catch (const FloatOverflow& e) {
            EXPECT_EQ(e.message(), "Floating point overflow");
        }
    }
}

TEST(FloatingPointFailures, Messages) {
    EXPECT_EQ(FloatOverflow().message(), "Floating point overflow");
    EXPECT_EQ(FloatDivideByZero().message(), "Floating point division by zero");
    EXPECT_EQ(FloatInvalidOperation().message(), "Invalid floating point operation");
}

// --- IntToText ------------------------------------------------------------------
TEST(IntToText, DecimalWithoutPaddingOrPlus) {
    const std::pair<std::int32_t, std::string_view> cases[] = {
        {0, "0"sv}, {7, "7"sv}, {-7, "-7"sv}, {100, "100"sv}, {INT32_MAX, "2147483647"sv}, {INT32_MIN, "-2147483648"sv},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(IntToText(value), text);
    }
}

// --- FindText and FindTextFrom --------------------------------------------------
// 1-based position of the first occurrence, exact bytes, 0 when none or when
// either text is empty; FindTextFrom tries only the positions from start on.
struct FindCase {
    std::string_view sub;
    std::string_view text;
    std::size_t start;
    std::size_t position;
};

TEST(FindText, FirstOccurrenceOrZero) {
    const FindCase cases[] = {
        {"*"sv, "AC R * x"sv, 1, 6}, {"*"sv, "AC R"sv, 1, 0},  {""sv, "abc"sv, 1, 0},   {"a"sv, ""sv, 1, 0},
        {""sv, ""sv, 1, 0},          {"abc"sv, "ab"sv, 1, 0},  {"ab"sv, "xab"sv, 1, 2}, {"aa"sv, "baaa"sv, 1, 2},
        {"a"sv, "A"sv, 1, 0},        {"abc"sv, "abc"sv, 1, 1}, {"*"sv, "**"sv, 1, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindText(c.sub, c.text), c.position) << c.sub << " in " << c.text;
        EXPECT_EQ(FindTextFrom(c.sub, c.text, 1), c.position) << c.sub << " in " << c.text;
    }
}

TEST(FindTextFrom, TriesOnlyPositionsFromStart) {
    const FindCase cases[] = {
        {":"sv, "12:34:56"sv, 4, 6},  {":"sv, "12:34:56"sv, 3, 3},  {":"sv, "12:34:56"sv, 7, 0},
        {":"sv, "12:34"sv, 4, 0},     {":"sv, "12:"sv, 3, 3},       {":"sv, "12:"sv, 4, 0},
        {":"sv, "12:"sv, 100, 0},     {"34"sv, "12:34:34"sv, 4, 4}, {"34"sv, "12:34:34"sv, 5, 7},
        {"34"sv, "12:34:34"sv, 7, 7}, {"34"sv, "12:34:34"sv, 8, 0}, {","sv, ""sv, 1, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindTextFrom(c.sub, c.text, c.start), c.position) << c.sub << " in " << c.text << " from " << c.start;
    }
}

// --- SplitCommaText --------------------------------------------------------------
// Items end at a comma or at any byte 1 to 32; the double quote opens a quoted
// item with doubled quotes inside; the list is replaced.
struct SplitCase {
    std::string_view text;
    std::vector<std::string> items;
};

TEST(SplitCommaText, ItemsByCommasBlanksAndQuotes) {
    const SplitCase cases[] = {
        {"1,2,3"sv, {"1", "2", "3"}},
        {"1, 2, 3"sv, {"1", "2", "3"}},
        {" 1 ,2 ,3"sv, {"1", "2", "3"}},
        {"1 2 3"sv, {"1", "2", "3"}},
        {"1\x01"
         "2\t3"sv,
         {"1", "2", "3"}},
        {"1,,3"sv, {"1", "", "3"}},
        {"1,2,"sv, {"1", "2", ""}},
        {",1,2"sv, {"", "1", "2"}},
        {","sv, {"", ""}},
        {",,"sv, {"", "", ""}},
        {"1, "sv, {"1"}},
        {"1,2,3 ,"sv, {"1", "2", "3", ""}},
        {"1,2,3, "sv, {"1", "2", "3"}},
        {""sv, {}},
        {"   "sv, {}},
        {"1;2;3"sv, {"1;2;3"}},
        {"1\xa0"
         "2"sv,
         {"1\xa0"
          "2"}},
        {"1\x7f"
         "2"sv,
         {"1\x7f"
          "2"}},
        {"1\"2,3"sv, {"1\"2", "3"}},
        {"\" 1 \",2,3"sv, {" 1 ", "2", "3"}},
        {"\"a\"\"b\""sv, {"a\"b"}},
        {"\"a\"b,c"sv, {"a", "b", "c"}},
        {"\"\",1"sv, {"", "1"}},
        {"1,2,\"3"sv, {"1", "2", ""}},
        {"\"12"sv, {"1"}},
        {"\"a\"\"bc"sv, {"a\"b"}},
        // Without a closing quote the text's last character goes before the
        // pairs are joined, so a final pair leaves one quote in the item.
        {"\"ab\"\""sv, {"ab\""}},
        {"1,2,\"3\"\""sv, {"1", "2", "3\""}},
    };
    for (const auto& c : cases) {
        StringList list{"left", "over"};
        SplitCommaText(list, c.text);
        EXPECT_EQ(list, c.items) << Visible(c.text);
    }
}

// --- RoundHalfEven ---------------------------------------------------------------
TEST(RoundHalfEven, NearestWithTiesToEven) {
    const std::pair<long double, std::int64_t> cases[] = {
        {12.5L, 12},         {37.5L, 38},         {99.5L, 100},
        {0.5L, 0},           {1.5L, 2},           {2.5L, 2},
        {62.5L, 62},         {87.5L, 88},         {0.0L, 0},
        {100.0L, 100},       {33.3L, 33},         {66.7L, 67},
        {12.49L, 12},        {12.51L, 13},        {-0.5L, 0},
        {-1.5L, -2},         {-2.5L, -2},         {-2.6L, -3},
        {100.0L / 3.0L, 33}, {200.0L / 3.0L, 67}, {19900.0L / 200.0L, 100},
    };
    for (const auto& [value, rounded] : cases) {
        EXPECT_EQ(RoundHalfEven(value), rounded) << static_cast<double>(value);
    }
}

}  // namespace
}  // namespace corvala
