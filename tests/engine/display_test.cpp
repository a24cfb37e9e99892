// Showing bytes as text, the one rule of the window and of every output of
// corvala-check: each valid UTF-8 sequence is its character; every byte not
// part of one is the Windows-1252 character of that byte.
#include <string>
#include <string_view>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "engine/values/display.h"
#include "test_support.h"

namespace corvala {
namespace {

std::string Utf8(std::u32string_view text) {
    std::string out;
    for (const char32_t cp : text) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

struct DecodeCase {
    std::string_view bytes;
    std::u32string_view expected;
};

constexpr DecodeCase kCases[] = {
    // ASCII, control bytes included, as is.
    {"", U""},
    {"AN Zone 1", U"AN Zone 1"},
    {"a\tb\x01\x1f\x7f", U"a\tb\x01\x1f\x7f"},
    // Valid UTF-8 of every length, at the edges of each length.
    {"Z\xC3\xBCrich", U"Z\u00FCrich"},
    {"\xC2\x80", U"\u0080"},
    {"\xDF\xBF", U"\u07FF"},
    {"\xE2\x82\xAC 5", U"\u20AC 5"},
    {"\xE0\xA0\x80", U"\u0800"},
    {"\xED\x9F\xBF", U"\uD7FF"},
    {"\xEE\x80\x80", U"\uE000"},
    {"\xEF\xBF\xBF", U"\uFFFF"},
    {"AN \xF0\x9F\x98\x80!", U"AN \U0001F600!"},
    {"\xF0\x90\x80\x80", U"\U00010000"},
    {"\xF4\x8F\xBF\xBF", U"\U0010FFFF"},
    {"\xEF\xBB\xBF"
     "AC R",
     U"\uFEFFAC R"},  // a byte-order mark is an ordinary character
    {"ABCDEFGHIJKLMNOPQ\xC3\xA9", U"ABCDEFGHIJKLMNOPQ\u00E9"},
    // Not strict UTF-8: each byte of the broken sequence by itself.
    {"\xC0\xAF", U"\u00C0\u00AF"},
    {"\xC1\xBF", U"\u00C1\u00BF"},
    {"\xE0\x80\xAF", U"\u00E0\u20AC\u00AF"},
    {"\xF0\x8F\xBF\xBF", U"\u00F0\u008F\u00BF\u00BF"},
    {"\xED\xA0\x80", U"\u00ED\u00A0\u20AC"},
    {"\xF4\x90\x80\x80", U"\u00F4\u0090\u20AC\u20AC"},
    {"\xF5\x80\x80\x80", U"\u00F5\u20AC\u20AC\u20AC"},
    {"a\xFF", U"a\u00FF"},
    {"AB\xE2\x82", U"AB\u00E2\u201A"},
    {"\xF0\x9F\x98", U"\u00F0\u0178\u02DC"},
    {"\xE2\x82X", U"\u00E2\u201AX"},
    {"\x80", U"\u20AC"},
    // A line that mixes valid UTF-8 with stray bytes keeps both.
    {"AC Z\xC3\xBCrich\x80", U"AC Z\u00FCrich\u20AC"},
    {"\xC3\xBC \xFC", U"\u00FC \u00FC"},
    {"\xC3\x83", U"\u00C3"},
    {"\xC3", U"\u00C3"},
    // Windows-1252, the five undefined bytes as the code point of their value.
    {"\xA0\xA9\xC4\xD6\xDF\xE9\xF8\xFF", U"\u00A0\u00A9\u00C4\u00D6\u00DF\u00E9\u00F8\u00FF"},
    {"\x80\x81\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8D\x8E\x8F"
     "\x90\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9D\x9E\x9F",
     U"\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u008D\u017D\u008F"
     U"\u0090\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A\u0153\u009D\u017E\u0178"},
};

TEST(DecodeForDisplay, ValidSequencesAsUtf8OtherBytesAsWindows1252) {
    for (const DecodeCase& c : kCases) {
        const std::string decoded = DecodeForDisplay(c.bytes);
        EXPECT_EQ(decoded, Utf8(c.expected)) << test::Visible(c.bytes);
        EXPECT_EQ(IsValidUtf8(c.bytes), decoded == c.bytes) << test::Visible(c.bytes);
        // Whatever the bytes, the result is strict UTF-8.
        EXPECT_NO_THROW((void)nlohmann::json(decoded).dump()) << test::Visible(c.bytes);
    }
}

}  // namespace
}  // namespace corvala
