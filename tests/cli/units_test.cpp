// The checker's parts on their own: JSON text decoding and option parsing.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli/json_text.h"
#include "cli/options.h"
#include "cli/reports.h"

namespace corvala::cli {
namespace {

struct DecodeCase {
    const char* name;
    std::string bytes;
    std::string expected;
};

class DecodeForJsonTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeForJsonTest, KeepsValidUtf8AndDecodesStrayBytesAsLatin1) {
    const DecodeCase& c = GetParam();
    const std::string decoded = DecodeForJson(c.bytes);
    EXPECT_EQ(decoded, c.expected);
    // Whatever the input, nlohmann accepts the result as strict UTF-8.
    EXPECT_NO_THROW((void)nlohmann::json(decoded).dump());
}

const DecodeCase kDecodeCases[] = {
    {"Ascii", "AC R\t*x", "AC R\t*x"},
    {"ControlAndZeroBytesStay", std::string("a\x01\x7f", 3), std::string("a\x01\x7f", 3)},
    {"TwoByteSequence", "m\xC3\xA9t", "m\xC3\xA9t"},
    {"ThreeByteSequence", "\xE2\x82\xAC", "\xE2\x82\xAC"},
    {"FourByteSequence", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
    {"HighestCodePoint", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
    {"Latin1Byte", "m\xE9t", "m\xC3\xA9t"},
    {"LoneContinuation", "\x80", "\xC2\x80"},
    {"ByteFF", "\xFF\xFE", "\xC3\xBF\xC3\xBE"},
    {"OverlongTwoBytes", "\xC0\xAF", "\xC3\x80\xC2\xAF"},
    {"OverlongC1", "\xC1\xBF", "\xC3\x81\xC2\xBF"},
    {"OverlongThreeBytes", "\xE0\x80\xAF", "\xC3\xA0\xC2\x80\xC2\xAF"},
    {"Surrogate", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},
    {"AboveUnicode", "\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"},
    {"TruncatedAtEnd", "x\xE2\x82", "x\xC3\xA2\xC2\x82"},
    {"TruncatedBeforeAscii",
     "\xC3"
     "A",
     "\xC3\x83"
     "A"},
    {"TruncatedFourBytes", "\xF0\x9F\x98 ", "\xC3\xB0\xC2\x9F\xC2\x98 "},
    {"Empty", "", ""},
};

INSTANTIATE_TEST_SUITE_P(Cli, DecodeForJsonTest, ::testing::ValuesIn(kDecodeCases),
                         [](const ::testing::TestParamInfo<DecodeCase>& info) { return info.param.name; });

struct ParseCase {
    const char* name;
    std::vector<const char*> args;
    Format format;
    ColorMode color;
    std::vector<std::string> files;
};

class ParseOptionsTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseOptionsTest, ReadsFormatColourAndFiles) {
    const ParseCase& c = GetParam();
    std::vector<const char*> argv{"corvala-check"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    ParseResult r = ParseOptions(static_cast<int>(argv.size()), argv.data());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.options.format, c.format);
    EXPECT_EQ(r.options.color, c.color);
    EXPECT_EQ(r.options.files, c.files);
}

const ParseCase kParseCases[] = {
    {"Defaults", {"a.txt"}, Format::Errors, ColorMode::Auto, {"a.txt"}},
    {"LongWithEquals", {"--format=json", "--color=never", "a", "b"}, Format::Json, ColorMode::Never, {"a", "b"}},
    {"LongSeparate", {"--format", "gnu", "--color", "always", "a"}, Format::Gnu, ColorMode::Always, {"a"}},
    {"ShortAttached", {"-flog", "a"}, Format::Log, ColorMode::Auto, {"a"}},
    {"OptionsAfterFiles", {"a", "--format=log", "b"}, Format::Log, ColorMode::Auto, {"a", "b"}},
    {"DashIsAFile", {"-", "a", "-"}, Format::Errors, ColorMode::Auto, {"-", "a", "-"}},
    {"DoubleDashEndsOptions", {"--", "--format=log"}, Format::Errors, ColorMode::Auto, {"--format=log"}},
};

INSTANTIATE_TEST_SUITE_P(Cli, ParseOptionsTest, ::testing::ValuesIn(kParseCases),
                         [](const ::testing::TestParamInfo<ParseCase>& info) { return info.param.name; });

TEST(HelpText, NamesEveryOptionAndEndsWithLineFeed) {
    const std::string help(HelpText());
    for (const char* word : {"--format=FORMAT", "--color=WHEN", "--help", "--version", "errors", "log", "gnu", "json",
                             "NO_COLOR", "ISO-8859-1", "Exit status:", "==> FILE <=="})
        EXPECT_NE(help.find(word), std::string::npos) << word;
    ASSERT_FALSE(help.empty());
    EXPECT_EQ(help.back(), '\n');
    // Fits an 80-column terminal.
    std::size_t start = 0;
    while (start < help.size()) {
        std::size_t end = help.find('\n', start);
        EXPECT_LE(end - start, 79u) << help.substr(start, end - start);
        start = end + 1;
    }
}

TEST(BlockTitle, ShowsStandardInputByName) {
    EXPECT_EQ(BlockTitle("-"), "standard input");
    EXPECT_EQ(BlockTitle("dir/a.txt"), "dir/a.txt");
    EXPECT_EQ(BlockTitle("--"), "--");
}

}  // namespace
}  // namespace corvala::cli
