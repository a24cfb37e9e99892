// The manual page made from the --help text: escapes, terms, the usage line,
// list and text sections, the placeholders, and the real page of the checker.
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/options.h"
#include "packaging/manpage.h"

namespace corvala::packaging {
namespace {

struct TextCase {
    const char* name;
    std::string input;
    std::string expected;
};

std::string CaseName(const ::testing::TestParamInfo<TextCase>& info) { return info.param.name; }
void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

class Escape : public ::testing::TestWithParam<TextCase> {};

TEST_P(Escape, WritesTroffText) { EXPECT_EQ(EscapeTroff(GetParam().input), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Cases, Escape,
    ::testing::Values(TextCase{"Minus", "corvala-check --help", "corvala\\-check \\-\\-help"},
                      TextCase{"Backslash", "a\\b", "a\\eb"}, TextCase{"LeadingDot", ".txt files", "\\&.txt files"},
                      TextCase{"LeadingApostrophe", "'x' marks", "\\&'x' marks"},
                      TextCase{"DotOnSecondLine", "one\n. two", "one\n\\&. two"},
                      TextCase{"DotInsideLine", "a.b.", "a.b."},
                      TextCase{"ShortQuoteKeptTogether", "the \"==> FILE <==\" line", "the \"==>\\ FILE\\ <==\" line"},
                      TextCase{"QuoteAcrossLines", "(\"Line N: CMD\nreturned error: \" prefix",
                               "(\"Line\\ N:\\ CMD\\ returned\\ error:\\ \" prefix"},
                      TextCase{"LongQuoteBreaks", "\"this quote is far too long to be kept on a single line\"",
                               "\"this quote is far too long to be kept on a single line\""},
                      TextCase{"LongQuoteWithDoubleBlank", "\"a long quote whose  double blank is part of the text\"",
                               "\"a\\ long\\ quote\\ whose\\ \\ double\\ blank\\ is\\ part\\ of\\ the\\ text\""},
                      TextCase{"UnpairedQuote", "a \" b", "a \" b"}, TextCase{"EmptyQuote", "\"\" x y", "\"\" x y"}),
    CaseName);

class Term : public ::testing::TestWithParam<TextCase> {};

TEST_P(Term, IsBoldWithItalicArgument) { EXPECT_EQ(FormatTerm(GetParam().input), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Cases, Term,
    ::testing::Values(TextCase{"Word", "errors", "\\fBerrors\\fR"},
                      TextCase{"ShortAndLong", "-h, --help", "\\fB\\-h\\fR, \\fB\\-\\-help\\fR"},
                      TextCase{"Argument", "-f, --format=FORMAT", "\\fB\\-f\\fR, \\fB\\-\\-format\\fR=\\fIFORMAT\\fR"},
                      TextCase{"SeparateArgument", "-o FILE", "\\fB\\-o\\fR \\fIFILE\\fR"},
                      TextCase{"OptionalArgument", "--color[=WHEN]", "\\fB\\-\\-color\\fR[=\\fIWHEN\\fR]"}),
    CaseName);

class Usage : public ::testing::TestWithParam<TextCase> {};

TEST_P(Usage, ItalicisesArgumentNames) { EXPECT_EQ(FormatUsage(GetParam().input), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Cases, Usage,
                         ::testing::Values(TextCase{"OptionsAndFiles", "corvala-check [OPTION]... FILE...",
                                                    "\\fBcorvala\\-check\\fR [\\fIOPTION\\fR]... \\fIFILE\\fR..."},
                                           TextCase{"NameOnly", "corvala", "\\fBcorvala\\fR"},
                                           TextCase{"SingleCapitalIsNotAName", "tool -V X", "\\fBtool\\fR \\-V X"},
                                           TextCase{"NameAtTheEnd", "tool --format=FORMAT",
                                                    "\\fBtool\\fR \\-\\-format=\\fIFORMAT\\fR"}),
                         CaseName);

struct SectionCase {
    const char* name;
    std::vector<std::string> lines;
    std::string expected;
};

std::string SectionName(const ::testing::TestParamInfo<SectionCase>& info) { return info.param.name; }
void PrintTo(const SectionCase& c, std::ostream* os) { *os << c.name; }

class List : public ::testing::TestWithParam<SectionCase> {};

TEST_P(List, RendersTaggedParagraphs) { EXPECT_EQ(RenderList(GetParam().lines), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Cases, List,
    ::testing::Values(
        SectionCase{"ExitStatus",
                    {"  0  all clean", "  2  a FILE cannot be read, or the options", "     are wrong"},
                    ".TP\n\\fB0\\fR\nall clean\n"
                    ".TP\n\\fB2\\fR\na FILE cannot be read, or the options\nare wrong\n"},
        SectionCase{"LongOnlyOptionIndentedFurther",
                    {"  -h, --help        show help", "      --color=WHEN  colour", "                    the markers"},
                    ".TP\n\\fB\\-h\\fR, \\fB\\-\\-help\\fR\nshow help\n"
                    ".TP\n\\fB\\-\\-color\\fR=\\fIWHEN\\fR\ncolour\nthe markers\n"},
        SectionCase{"NestedValues",
                    {"  -f, --format=F  what to write:", "                    errors  the list,",
                     "                            one a line", "                    json    a document",
                     "  -V              version"},
                    ".TP\n\\fB\\-f\\fR, \\fB\\-\\-format\\fR=\\fIF\\fR\nwhat to write:\n"
                    ".RS\n"
                    ".TP 8\n\\fBerrors\\fR\nthe list,\none a line\n"
                    ".TP 8\n\\fBjson\\fR\na document\n"
                    ".RE\n"
                    ".TP\n\\fB\\-V\\fR\nversion\n"},
        SectionCase{"TextAfterNestedValues",
                    {"  -f  one of:", "        a  first", "      default a"},
                    ".TP\n\\fB\\-f\\fR\none of:\n.RS\n.TP 3\n\\fBa\\fR\nfirst\n.RE\n.IP\ndefault a\n"},
        SectionCase{"DescriptionOnNextLine",
                    {"  --a-very-long-option=ARGUMENT", "        what it does", "  -x    other"},
                    ".TP\n\\fB\\-\\-a\\-very\\-long\\-option\\fR=\\fIARGUMENT\\fR\nwhat it does\n"
                    ".TP\n\\fB\\-x\\fR\nother\n"},
        SectionCase{"TrailingBlanksAfterTerm", {"  --long  ", "        text"}, ".TP\n\\fB\\-\\-long\\fR\ntext\n"},
        SectionCase{"BlankLinesBetweenItems",
                    {"  0  clean", "", "  1  errors"},
                    ".TP\n\\fB0\\fR\nclean\n.TP\n\\fB1\\fR\nerrors\n"},
        SectionCase{"DescriptionWithDoubleBlanks",
                    {"  log  then \"err 2  errors found.\""},
                    ".TP\n\\fBlog\\fR\nthen \"err\\ 2\\ \\ errors\\ found.\"\n"}),
    SectionName);

class Text : public ::testing::TestWithParam<SectionCase> {};

TEST_P(Text, RendersParagraphsAndBlocks) { EXPECT_EQ(RenderText(GetParam().lines), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Cases, Text,
    ::testing::Values(
        SectionCase{"OneParagraph", {"  Lines end at CR,", "  LF or CR LF."}, "Lines end at CR,\nLF or CR LF.\n"},
        SectionCase{"TwoParagraphs", {"  One.", "", "  Two."}, "One.\n.PP\nTwo.\n"},
        SectionCase{"BlockKeepsItsIndentation",
                    {"  It writes:", "    {\"files\": [", "     \"x\"]}", "  Texts are kept."},
                    "It writes:\n.PP\n.RS 4\n.nf\n{\"files\": [\n \"x\"]}\n.fi\n.RE\n.PP\nTexts are kept.\n"},
        SectionCase{"BlockLineStartingWithDot",
                    {"  Run:", "    ./run - x"},
                    "Run:\n.PP\n.RS 4\n.nf\n\\&./run \\- x\n.fi\n.RE\n"},
        SectionCase{"UnindentedDescription",
                    {"Check files line by line.", "A FILE of \"-\" reads standard input."},
                    "Check files line by line.\nA FILE of \"\\-\" reads standard input.\n"}),
    SectionName);

TEST(SplitHelp, TakesUsageDescriptionAndSections) {
    HelpParts parts = SplitHelp("Usage: tool [OPTION]... FILE...\n"
                                "  or:  tool --help\n"
                                "Check files.\n"
                                "Summary: not a heading, no blank line before it.\n"
                                "\n"
                                "Options:\n"
                                "  -h  help\n"
                                "\n"
                                "Exit status:\n"
                                "  0  clean\n"
                                "\n");
    EXPECT_EQ(parts.usage, (std::vector<std::string>{"tool [OPTION]... FILE...", "tool --help"}));
    EXPECT_EQ(parts.description,
              (std::vector<std::string>{"Check files.", "Summary: not a heading, no blank line before it."}));
    ASSERT_EQ(parts.sections.size(), 2u);
    EXPECT_EQ(parts.sections[0].heading, "Options");
    EXPECT_EQ(parts.sections[0].lines, std::vector<std::string>{"  -h  help"});
    EXPECT_EQ(parts.sections[1].heading, "Exit status");
    EXPECT_EQ(parts.sections[1].lines, std::vector<std::string>{"  0  clean"});
}

constexpr const char* kSmallHelp = "Usage: tool [OPTION]... FILE...\n"
                                   "Check files.\n"
                                   "\n"
                                   "Options:\n"
                                   "  -h, --help  show help\n"
                                   "\n"
                                   "Output:\n"
                                   "  One line a file.\n";

TEST(RenderManPage, FillsThePlaceholders) {
    const std::string page = RenderManPage(".TH TOOL 1 \"\" \"Tool @PROJECT_VERSION@\"\n"
                                           ".SH SYNOPSIS\n@help usage@\n"
                                           ".SH DESCRIPTION\n@help description@\n"
                                           ".SH OPTIONS\n@help list Options@\n"
                                           ".SH OUTPUT\n@help text Output@\n",
                                           kSmallHelp, "1.2.3");
    EXPECT_EQ(page, ".TH TOOL 1 \"\" \"Tool 1.2.3\"\n"
                    ".SH SYNOPSIS\n\\fBtool\\fR [\\fIOPTION\\fR]... \\fIFILE\\fR...\n"
                    ".SH DESCRIPTION\nCheck files.\n"
                    ".SH OPTIONS\n.TP\n\\fB\\-h\\fR, \\fB\\-\\-help\\fR\nshow help\n"
                    ".SH OUTPUT\nOne line a file.\n");
}

struct FailureCase {
    const char* name;
    std::string pageTemplate;
    std::string help;
    std::string message;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class ManPageFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ManPageFailure, StopsWithAMessage) {
    const FailureCase& c = GetParam();
    try {
        RenderManPage(c.pageTemplate, c.help, "1");
        FAIL() << "no failure";
    } catch (const ManPageError& e) {
        EXPECT_EQ(std::string(e.what()), c.message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ManPageFailure,
    ::testing::Values(
        FailureCase{"NoUsageLine", "@help usage@\n", "tool checks files\n",
                    "the help text does not start with \"Usage: \""},
        FailureCase{"SectionMissingInHelp", "@help list Options@\n@help text Output@\n@help list Exit status@\n",
                    kSmallHelp, "the help text has no section \"Exit status:\""},
        FailureCase{"SectionUnusedByTemplate", "@help list Options@\n", kSmallHelp,
                    "the template does not use the help section \"Output:\""},
        FailureCase{"UnknownPlaceholder", "@help table Options@\n", kSmallHelp,
                    "unknown placeholder in the template: @help table Options@"},
        FailureCase{"UnclosedPlaceholder", "@help usage\n", kSmallHelp,
                    "malformed placeholder in the template: @help usage"},
        FailureCase{"UnindentedLineInSection", "@help list Options@\n@help text Output@\n",
                    std::string(kSmallHelp) + "Not indented\n",
                    "line 9 of the help text is neither indented nor a heading: Not indented"},
        FailureCase{"TooDeepInNestedList", "@help list Options@\n@help text Output@\n",
                    "Usage: t\n\nOptions:\n  -f  x:\n        a  one\n              deeper\n\nOutput:\n  y\n",
                    "the help text is indented deeper than a nested list allows:               deeper"},
        FailureCase{"NestedTermWithoutText", "@help list Options@\n@help text Output@\n",
                    "Usage: t\n\nOptions:\n  -f  x:\n        alone\n\nOutput:\n  y\n",
                    "a nested term has no description on its line:         alone"}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

// The checker's own page: every option of --help is on it, in bold.
TEST(CheckerPage, ListsEveryOptionOfTheHelpText) {
    const std::string page = RenderManPage(
        "@help usage@\n@help description@\n@help list Options@\n@help text Output@\n@help list Exit status@\n",
        cli::HelpText(), "0");
    for (const char* option :
         {"\\fB\\-f\\fR, \\fB\\-\\-format\\fR=\\fIFORMAT\\fR", "\\fB\\-\\-color\\fR=\\fIWHEN\\fR",
          "\\fB\\-h\\fR, \\fB\\-\\-help\\fR", "\\fB\\-V\\fR, \\fB\\-\\-version\\fR", "\\fBerrors\\fR", "\\fBlog\\fR",
          "\\fBgnu\\fR", "\\fBjson\\fR", "\\fB0\\fR", "\\fB1\\fR", "\\fB2\\fR"})
        EXPECT_NE(page.find(option), std::string::npos) << option;
}

}  // namespace
}  // namespace corvala::packaging
