// Text for a terminal: every control byte but tab becomes a visible
// lower-case escape ("\x1b") - C0 controls, DEL, the UTF-8-encoded C1
// controls (both bytes) and stray bytes 0x80 to 0x9F - the line separators
// and bidirectional controls become "\u2028" and so on, and the backslash
// "\\", while other well-formed UTF-8 (its continuation bytes 0x80 to 0x9F
// included) and Latin-1 letters pass unchanged.
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "cli/escape.h"
#include "engine/values/display.h"

using namespace std::string_literals;

namespace corvala::cli {
namespace {

const struct {
    const char* name;
    std::string bytes;
    std::string shown;
} kCases[] = {
    {"plain text", "AC R\t* note", "AC R\t* note"},
    {"a backslash cannot pass for an escape", "a\\x1b \\ b", "a\\\\x1b \\\\ b"},
    {"empty", "", ""},
    {"erase the screen", "AC \x1b[2J\x1b[H0 errors found.", "AC \\x1b[2J\\x1b[H0 errors found."},
    {"clipboard write (OSC 52)", "\x1b]52;c;ZXZpbA==\x07", "\\x1b]52;c;ZXZpbA==\\x07"},
    {"window title", "\x1b]0;title\x1b\\", "\\x1b]0;title\\x1b\\\\"},
    {"carriage return", "AN x\rfake", "AN x\\x0dfake"},
    {"newline in a file name", "a\nb.txt:1: error: x", "a\\x0ab.txt:1: error: x"},
    {"byte 0, DEL and the other C0 bytes", "\0\x01\x08\x0b\x1f\x7f"s, "\\x00\\x01\\x08\\x0b\\x1f\\x7f"},
    {"UTF-8 C1 controls: CSI, NEL, PAD",
     "\xc2\x9b"
     "2J \xc2\x85 \xc2\x80",
     "\\xc2\\x9b2J \\xc2\\x85 \\xc2\\x80"},
    {"stray C1 bytes",
     "\x9b"
     "2J \x80\x9f",
     "\\x9b2J \\x80\\x9f"},
    {"characters just past the C1 range", "\xc2\xa0\xc2\xbf", "\xc2\xa0\xc2\xbf"},
    {"continuation bytes 0x80 to 0x9F inside characters", "\xe2\x82\xac \xe2\x80\xa7 \xc3\x9f \xf0\x9f\x98\x80",
     "\xe2\x82\xac \xe2\x80\xa7 \xc3\x9f \xf0\x9f\x98\x80"},
    {"line and paragraph separators", "a\xe2\x80\xa8" "b\xe2\x80\xa9" "c", "a\\u2028b\\u2029c"},
    {"bidirectional embeddings and overrides", "\xe2\x80\xaa\xe2\x80\xab\xe2\x80\xac\xe2\x80\xad\xe2\x80\xae",
     "\\u202a\\u202b\\u202c\\u202d\\u202e"},
    {"bidirectional isolates", "\xe2\x81\xa6" "x\xe2\x81\xa9 \xe2\x81\xa7\xe2\x81\xa8", "\\u2066x\\u2069 \\u2067\\u2068"},
    {"characters next to them pass", "\xe2\x80\xaf \xe2\x81\xa5 \xe2\x81\xaa \xe2\x80\x8f",
     "\xe2\x80\xaf \xe2\x81\xa5 \xe2\x81\xaa \xe2\x80\x8f"},
    {"Latin-1 letters", "Z\xfcrich \xe9t\xe9 \xff\xa0", "Z\xfcrich \xe9t\xe9 \xff\xa0"},
    {"a cut-off character and stray C1 bytes",
     "\xe2\x82"
     "a\x9b",
     "\xe2\\x82a\\x9b"},
    {"a whole character ending in 0x9B", "\xe2\x82\x9b", "\xe2\x82\x9b"},
    {"overlong forms and surrogates are not characters", "\xc0\x80 \xe0\x80\x80 \xed\xa0\x80",
     "\xc0\\x80 \xe0\\x80\\x80 \xed\xa0\\x80"},
    {"above U+10FFFF", "\xf4\x90\x80\x80", "\xf4\\x90\\x80\\x80"},
    {"a sequence cut by the end", "a\xc2", "a\xc2"},
};

TEST(EscapeControls, ShowsControlBytesAsEscapes) {
    for (const auto& c : kCases) EXPECT_EQ(EscapeControls(c.bytes), c.shown) << c.name;
}

// Whatever the bytes, nothing a terminal acts on is left: no C0 byte but
// tab, no DEL, no byte 0x80 to 0x9F outside a character other than a C1
// control.
TEST(EscapeControls, LeavesNoControlInRandomBytes) {
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 40, '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        const std::string shown = EscapeControls(bytes);
        for (std::size_t i = 0; i < shown.size();) {
            const auto byte = static_cast<unsigned char>(shown[i]);
            // Every backslash starts an escape: "\\", "\x" or "\u".
            if (byte == '\\') {
                ASSERT_LT(i + 1, shown.size()) << round;
                ASSERT_TRUE(shown[i + 1] == '\\' || shown[i + 1] == 'x' || shown[i + 1] == 'u') << round;
                i += 2;
                continue;
            }
            ASSERT_FALSE((byte < 0x20 && byte != '\t') || byte == 0x7f) << round;
            const std::size_t length = Utf8SequenceLength(std::string_view(shown).substr(i));
            ASSERT_FALSE(length == 2 && byte == 0xc2 && static_cast<unsigned char>(shown[i + 1]) < 0xa0) << round;
            ASSERT_FALSE(length == 0 && byte >= 0x80 && byte <= 0x9f) << round;
            i += length > 0 ? length : 1;
        }
    }
}

}  // namespace
}  // namespace corvala::cli
