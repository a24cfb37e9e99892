// The checker's parts on their own: option parsing, the help text.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli/options.h"
#include "cli/reports.h"

namespace corvala::cli {
namespace {

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
                             "NO_COLOR", "Windows-1252", "Exit status:", "==> FILE <==", "--blocks", "--rules=SET",
                             "--disable=RULE", "--fail-on=SEVERITY", "--list-rules", "sarif"})
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
