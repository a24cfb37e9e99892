// Golden runs of corvala-check: every format over small files written for
// these tests, byte for byte, with the exit status.
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <fstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli/options.h"
#include "engine/input/lines.h"
#include "run_checker.h"

namespace corvala::cli::testing {
namespace {

struct GoldenCase {
    const char* name;
    std::vector<std::string> args;
    const char* stdinFile;  // in the data directory, or "" for none
    const char* golden;  // expected standard output
    int status;
};

class GoldenRun : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenRun, WritesExpectedBytesAndStatus) {
    const GoldenCase& c = GetParam();
    RunResult r = RunChecker(c.args, *c.stdinFile ? DataPath(c.stdinFile) : "");
    EXPECT_EQ(r.out, Golden(c.golden, &r.out));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, c.status);
}

const GoldenCase kGoldenCases[] = {
    // One file, every format. errors.txt has CR LF line ends and 13 failing
    // lines of different kinds; latin1.txt holds Latin-1 and UTF-8 bytes.
    {"CleanErrors", {"clean.txt"}, "", "clean.errors", 0},
    {"CleanErrorsExplicit", {"--format=errors", "clean.txt"}, "", "clean.errors", 0},
    {"CleanLog", {"--format=log", "clean.txt"}, "", "clean.log", 0},
    {"CleanGnuIsSilent", {"--format=gnu", "clean.txt"}, "", "clean.gnu", 0},
    {"CleanJson", {"--format=json", "clean.txt"}, "", "clean.json", 0},
    {"ErrorsErrors", {"errors.txt"}, "", "errors.errors", 1},
    {"ErrorsLog", {"--format", "log", "errors.txt"}, "", "errors.log", 1},
    {"ErrorsGnu", {"-f", "gnu", "errors.txt"}, "", "errors.gnu", 1},
    {"ErrorsJson", {"--format=json", "errors.txt"}, "", "errors.json", 1},
    {"Latin1Errors", {"latin1.txt"}, "", "latin1.errors", 1},
    {"Latin1Log", {"--format=log", "latin1.txt"}, "", "latin1.log", 1},
    {"Latin1Gnu", {"--format=gnu", "latin1.txt"}, "", "latin1.gnu", 1},
    {"Latin1Json", {"--format=json", "latin1.txt"}, "", "latin1.json", 1},
    {"EmptyErrors", {"empty.txt"}, "", "empty.errors", 0},
    {"EmptyLog", {"--format=log", "empty.txt"}, "", "empty.log", 0},
    {"EmptyJson", {"--format=json", "empty.txt"}, "", "empty.json", 0},
    // Standard input.
    {"StdinErrors", {"-"}, "errors.txt", "errors.errors", 1},
    {"StdinLog", {"--format=log", "-"}, "errors.txt", "errors.log", 1},
    {"StdinGnuNamesDash", {"--format=gnu", "-"}, "errors.txt", "stdin.gnu", 1},
    {"StdinEmpty", {"-"}, "", "empty.errors", 0},
    {"AfterDoubleDash", {"--", "-"}, "errors.txt", "errors.errors", 1},
    // Several files: blocks with headers, standard input among them.
    {"MultiErrors", {"clean.txt", "-", "latin1.txt"}, "errors.txt", "multi.errors", 1},
    {"MultiLog", {"--format=log", "empty.txt", "clean.txt", "errors.txt"}, "", "multi.log", 1},
    {"MultiGnu", {"--format=gnu", "errors.txt", "latin1.txt", "clean.txt"}, "", "multi.gnu", 1},
    {"MultiJson", {"--format=json", "clean.txt", "errors.txt", "latin1.txt"}, "", "multi.json", 1},
    {"MultiAllClean", {"clean.txt", "empty.txt"}, "", "multi-clean.errors", 0},
    // Colour: forced on, forced off, and auto into a file (not a terminal).
    {"ColorAlways", {"--format=log", "--color=always", "errors.txt"}, "", "errors.log.color", 1},
    {"ColorNever", {"--format=log", "--color=never", "errors.txt"}, "", "errors.log", 1},
    {"ColorAutoNotTerminal", {"--format=log", "--color=auto", "errors.txt"}, "", "errors.log", 1},
    {"ColorOnlyTouchesLog", {"--color=always", "errors.txt"}, "", "errors.errors", 1},
    {"LastFormatWins", {"--format=gnu", "--format=log", "clean.txt"}, "", "clean.log", 0},
    // The block checks and the extended record set: every format shows
    // severity and rule id; blocks.txt holds one fault of each main kind.
    {"BlocksErrors", {"--blocks", "blocks.txt"}, "", "blocks.errors", 1},
    {"BlocksLog", {"--blocks", "--format=log", "blocks.txt"}, "", "blocks.log", 1},
    {"BlocksGnu", {"--blocks", "--format=gnu", "blocks.txt"}, "", "blocks.gnu", 1},
    {"BlocksJson", {"--blocks", "--format=json", "blocks.txt"}, "", "blocks.json", 1},
    {"BlocksSarif", {"--blocks", "--format=sarif", "blocks.txt"}, "", "blocks.sarif", 1},
    {"ExtendedErrors", {"--rules=extended", "blocks.txt"}, "", "blocks-extended.errors", 0},
    {"AutoBlocksStatistics", {"--rules=auto", "--blocks", "--statistics", "blocks.txt"}, "", "blocks-auto.errors", 1},
    {"AutoStdinGnu", {"--rules=auto", "--blocks", "--format=gnu", "-"}, "blocks.txt", "blocks-auto-stdin.gnu", 1},
    {"ExtendedBlocksJson", {"--rules", "extended", "--blocks", "--format=json", "blocks.txt"}, "", "blocks-extended.json",
     1},
    {"ListRules", {"--list-rules"}, "", "rules.list", 0},
    // Without the new options nothing changes for a file they would judge.
    {"ClassicIgnoresBlocks", {"--format=gnu", "clean.txt"}, "", "clean.gnu", 0},
};

INSTANTIATE_TEST_SUITE_P(Cli, GoldenRun, ::testing::ValuesIn(kGoldenCases),
                         [](const ::testing::TestParamInfo<GoldenCase>& info) { return info.param.name; });

TEST(ColorEnvironment, AlwaysIgnoresNoColor) {
    RunResult r = RunChecker({"--format=log", "--color=always", "errors.txt"}, "", "1");
    EXPECT_EQ(r.out, Golden("errors.log.color", &r.out));
    EXPECT_EQ(r.status, 1);
}

// A file that cannot be read: its message on standard error, no block on
// standard output, the other files still checked, exit status 2.
std::string CannotOpen(const std::string& name, int error) {
    return "corvala-check: Cannot open file \"" + corvala::FullPath(DataPath(name)) + "\". " + std::strerror(error) +
           "\n";
}

struct UnreadableCase {
    const char* name;
    std::vector<std::string> args;
    const char* golden;
    std::vector<std::pair<const char*, int>> failures;  // file, errno
};

class UnreadableRun : public ::testing::TestWithParam<UnreadableCase> {};

TEST_P(UnreadableRun, ReportsOnStandardErrorAndGoesOn) {
    const UnreadableCase& c = GetParam();
    RunResult r = RunChecker(c.args);
    std::string expectedErr;
    for (const auto& [file, error] : c.failures) expectedErr += CannotOpen(file, error);
    EXPECT_EQ(r.out, Golden(c.golden, &r.out));
    EXPECT_EQ(r.err, expectedErr);
    EXPECT_EQ(r.status, 2);
}

const UnreadableCase kUnreadableCases[] = {
    {"MissingBetweenFiles", {"errors.txt", "missing.txt", "clean.txt"}, "missing.errors", {{"missing.txt", ENOENT}}},
    {"MissingFirst", {"missing.txt", "clean.txt"}, "missing-first.errors", {{"missing.txt", ENOENT}}},
    {"MissingOnly", {"missing.txt"}, "none", {{"missing.txt", ENOENT}}},
    {"TwoMissing",
     {"--format=gnu", "missing.txt", "errors.txt", "gone.txt"},
     "errors.gnu",
     {{"missing.txt", ENOENT}, {"gone.txt", ENOENT}}},
    {"Directory", {"--format=log", ".", "empty.txt"}, "missing-dir.log", {{".", EISDIR}}},
};

INSTANTIATE_TEST_SUITE_P(Cli, UnreadableRun, ::testing::ValuesIn(kUnreadableCases),
                         [](const ::testing::TestParamInfo<UnreadableCase>& info) { return info.param.name; });

TEST(UnreadableJson, ListsTheFileWithItsMessage) {
    RunResult r = RunChecker({"--format=json", "missing.txt", "empty.txt"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, CannotOpen("missing.txt", ENOENT));
    const auto doc = nlohmann::json::parse(r.out);
    ASSERT_EQ(doc["files"].size(), 1u);
    EXPECT_EQ(doc["files"][0]["path"], "empty.txt");
    ASSERT_EQ(doc["unreadable"].size(), 1u);
    EXPECT_EQ(doc["unreadable"][0]["path"], "missing.txt");
    const std::string message = CannotOpen("missing.txt", ENOENT);
    EXPECT_EQ(doc["unreadable"][0]["message"], message.substr(15, message.size() - 16));
}

TEST(JsonOutput, StrayBytesComeBackAsLatin1Characters) {
    RunResult r = RunChecker({"--format=json", "latin1.txt"});
    const auto doc = nlohmann::json::parse(r.out);  // throws on invalid UTF-8
    const auto& errors = doc["files"][0]["errors"];
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0]["command"], "\xC3\xA9X");  // byte E9
    EXPECT_EQ(errors[1]["message"], "Class type \"\xC3\xA9\" unkown.");  // UTF-8 kept
    EXPECT_EQ(errors[2]["message"], "Class type \"\xC3\xBF\xC3\xBE\" unkown.");  // bytes FF FE
    EXPECT_EQ(doc["files"][0]["line_count"], 6);
    EXPECT_EQ(doc["files"][0]["error_count"], 3);
}

// With the checks beyond single lines, a line's findings wait for its block
// to end while the file is read on: the command each names is still the
// one written after the read buffer (4 MB) has been refilled, in every
// rule set.
TEST(JsonOutput, HeldFindingsKeepTheirCommands) {
    test::ScratchDir dir;
    std::string text = "AC A\nAN Big\nab 1\n";
    for (int i = 0; i < 200000; ++i) text += "* a comment that fills the block\n";
    text += "cd 2\nAC A\nAN Small\nef 3\n";
    const std::string path = dir.Write("long-block.txt", text);
    for (const char* rules : {"--rules=classic", "--rules=extended"}) {
        RunResult r = RunChecker({"--format=json", "--blocks", rules, path});
        const auto doc = nlohmann::json::parse(r.out);
        std::vector<std::pair<int, std::string>> commands;
        for (const auto& error : doc["files"][0]["findings"])
            if (!error["command"].get<std::string>().empty()) commands.emplace_back(error["line"], error["command"]);
        const std::vector<std::pair<int, std::string>> expected = {{3, "ab"}, {200004, "cd"}, {200007, "ef"}};
        EXPECT_EQ(commands, expected) << rules;
    }
}

// Wrong command lines: nothing on standard output, the reason and a hint on
// standard error, exit status 2.
struct OptionErrorCase {
    const char* name;
    std::vector<std::string> args;
    const char* reason;
};

class OptionError : public ::testing::TestWithParam<OptionErrorCase> {};

TEST_P(OptionError, ExitsWithTwo) {
    const OptionErrorCase& c = GetParam();
    RunResult r = RunChecker(c.args);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, std::string("corvala-check: ") + c.reason + "\n" + std::string(TryHelpText));
    EXPECT_EQ(r.status, 2);
}

const OptionErrorCase kOptionErrorCases[] = {
    {"NoFile", {}, "no FILE given"},
    {"OnlyOptions", {"--format=log"}, "no FILE given"},
    {"UnknownFormat", {"--format=xml", "clean.txt"}, "--format expects errors, log, gnu, json, sarif, geojson, kml or markdown, not 'xml'"},
    {"FormatIsCaseSensitive",
     {"--format=LOG", "clean.txt"},
     "--format expects errors, log, gnu, json, sarif, geojson, kml or markdown, not 'LOG'"},
    {"UnknownColor", {"--color=sometimes", "clean.txt"}, "--color expects auto, always or never, not 'sometimes'"},
    // A value left empty after "=" does not take the next argument; a value
    // that follows must be one of the option's values, so a FILE taken for
    // one is named.
    {"EmptyAttachedValue", {"--format=", "clean.txt"}, "--format= needs a value after the '=' (see --help)"},
    {"FileTakenForAValue", {"--color", "clean.txt"}, "--color expects auto, always or never, not 'clean.txt'"},
    {"UnknownRuleSet", {"--rules=strict", "clean.txt"}, "--rules expects classic, extended or auto, not 'strict'"},
    {"UnknownSeverity", {"--fail-on=fatal", "clean.txt"}, "--fail-on expects error, warning or note, not 'fatal'"},
    {"UnknownRule",
     {"--disable=not-closed,no-such-rule", "clean.txt"},
     "--disable expects rule ids, and 'no-such-rule' is none (see --list-rules)"},
    {"UnknownOption", {"--verbose", "clean.txt"}, "The following argument was not expected: --verbose"},
    {"FormatWithoutValue", {"clean.txt", "--format"}, "--format: 1 required TEXT missing"},
};

INSTANTIATE_TEST_SUITE_P(Cli, OptionError, ::testing::ValuesIn(kOptionErrorCases),
                         [](const ::testing::TestParamInfo<OptionErrorCase>& info) { return info.param.name; });

// The exit status follows the least severity --fail-on names; --disable
// takes rules out before anything counts.
TEST(FailOn, ExitStatusBySeverity) {
    struct Case {
        std::vector<std::string> args;
        int status;
    };
    const Case cases[] = {
        {{"--rules=extended", "--disable=airspace-class,altitude,frequency", "blocks.txt"}, 0},
        {{"--rules=extended", "--disable=airspace-class", "--fail-on=warning", "blocks.txt"}, 1},
        {{"--blocks", "--disable=too-few-points,self-intersection,missing-upper-limit,limits-inverted,not-implemented",
          "blocks.txt"},
         0},
        {{"--blocks", "--fail-on=warning", "--disable=too-few-points,self-intersection,missing-upper-limit,"
                                           "limits-inverted,not-implemented",
          "blocks.txt"},
         1},
        {{"--blocks", "--fail-on=note", "--disable=too-few-points,self-intersection,missing-upper-limit,"
                                        "limits-inverted,not-implemented,arc-radius-mismatch",
          "blocks.txt"},
         1},
        {{"--blocks", "--fail-on=warning", "--disable=too-few-points,self-intersection,missing-upper-limit,"
                                           "limits-inverted,not-implemented,arc-radius-mismatch",
          "blocks.txt"},
         0},
    };
    for (const Case& c : cases) {
        const RunResult r = RunChecker(c.args);
        EXPECT_EQ(r.status, c.status) << r.out;
        EXPECT_EQ(r.err, "");
    }
}

TEST(HelpAndVersion, PrintTheirTextAndSucceed) {
    for (const char* flag : {"--help", "-h"}) {
        RunResult r = RunChecker({flag});
        EXPECT_EQ(r.out, std::string(HelpText())) << flag;
        EXPECT_EQ(r.status, 0) << flag;
    }
    for (const char* flag : {"--version", "-V"}) {
        RunResult r = RunChecker({flag});
        EXPECT_EQ(r.out, "corvala-check " CORVALA_VERSION "\n") << flag;
        EXPECT_EQ(r.status, 0) << flag;
    }
    // Help wins over files and is not a check.
    RunResult r = RunChecker({"--help", "errors.txt"});
    EXPECT_EQ(r.out, std::string(HelpText()));
    EXPECT_EQ(r.status, 0);
}

// Output that cannot be written is a failure, not silence.
TEST(WriteFailure, FullDeviceExitsWithTwo) {
    RunResult r = RunChecker({"--format=log", "errors.txt"}, "", std::nullopt, "/dev/full");
    EXPECT_EQ(r.err, "corvala-check: write error: " + std::string(std::strerror(ENOSPC)) + "\n");
    EXPECT_EQ(r.status, 2);
}

// Output well past the one-megabyte buffer: chunk boundaries lose nothing.
TEST(LargeOutput, EveryLineArrivesOnce) {
    const std::string path = ::testing::TempDir() + "corvala-large-" + std::to_string(::getpid()) + ".txt";
    const int count = 60000;
    std::string input, expected;
    for (int n = 1; n <= count; ++n) {
        input += (n % 2 ? "XY " : "AC R * ") + std::to_string(n) + "\n";
        if (n % 2) expected += "Line " + std::to_string(n) + ": XY not implemented.\n";
    }
    expected += "   *** " + std::to_string(count / 2) + " errors found\n";
    { std::ofstream(path, std::ios::binary) << input; }
    RunResult r = RunChecker({path});
    std::remove(path.c_str());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.size(), expected.size());
    EXPECT_TRUE(r.out == expected);
}

}  // namespace
}  // namespace corvala::cli::testing
