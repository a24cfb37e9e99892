// Fault tests through the corvala-check program: what a script sees (output,
// error text, exit status) for unreadable paths and hostile inputs.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "fault_support.h"

#ifdef CORVALA_CHECK_PATH

namespace corvala::faults {
namespace {

const std::string kChecker = CORVALA_CHECK_PATH;

ProgramRun Check(const std::vector<std::string>& args, const std::string& stdinPath = "/dev/null") {
    test::RunOptions options;
    options.stdinPath = stdinPath;
    return RunProgram(kChecker, args, options);
}

std::string Repeat(std::string_view piece, std::size_t times) {
    std::string text;
    text.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i) text += piece;
    return text;
}

TEST(CheckerFaults, UnreadablePathsExitTwoWithTheExactMessage) {
    ScratchDir dir;
    const std::string plain = dir.Write("plain.txt", "AC R\n");
    const struct {
        const char* name;
        std::string path;
        std::string fullPath;
        const char* cause;
    } cases[] = {
        {"missing file", dir.path() + "/missing.txt", dir.path() + "/missing.txt", "No such file or directory"},
        {"directory", dir.path(), dir.path(), "Is a directory"},
        {"empty path", "", "", "No such file or directory"},
        {"file used as a folder", plain + "/x", plain + "/x", "Not a directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* format : {"--format=errors", "--format=log", "--format=gnu"}) {
            SCOPED_TRACE(format);
            const ProgramRun run = Check({format, c.path});
            EXPECT_EQ(run.exitCode, 2);
            EXPECT_EQ(run.err, "corvala-check: " + CannotOpen(c.fullPath, c.cause) + "\n");
            EXPECT_EQ(run.out, "");
        }
    }
}

TEST(CheckerFaults, UnreadableFileAmongOthersDoesNotStopTheRest) {
    ScratchDir dir;
    const std::string good = dir.Write("good.txt", "AC R\r\nXY 1\r\n");
    const std::string missing = dir.path() + "/missing.txt";
    const ProgramRun run = Check({"--format=errors", missing, good});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "corvala-check: " + CannotOpen(missing, "No such file or directory") + "\n");
    EXPECT_NE(run.out.find("==> " + good + " <==\nLine 2: XY not implemented.\n   *** 1 errors found\n"),
              std::string::npos)
        << run.out;
}

TEST(CheckerFaults, FileThatVanishesBetweenTwoRuns) {
    ScratchDir dir;
    const std::string path = dir.Write("vanishing.txt", "AC R\nAC Q\n");
    ProgramRun run = Check({"--format=log", path});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, " ok 1 AC R\n ok 2 AC Q\n ok 0 No errors found.\n");

    std::filesystem::remove(path);
    run = Check({"--format=log", path});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "corvala-check: " + CannotOpen(path, "No such file or directory") + "\n");
    EXPECT_EQ(run.out, "");
}

TEST(CheckerFaults, LineEndsAndByteZero) {
    const struct {
        const char* name;
        std::string bytes;
        int exitCode;
        std::string log;
        // What standard error says after "corvala-check: " and the name.
        std::string notice = "";
    } cases[] = {
        {"no final line end", "AC R\nAC Q", 0, " ok 1 AC R\n ok 2 AC Q\n ok 0 No errors found.\n"},
        {"CR only", "AC R\rXY 1\rAC Q\r", 1, " ok 1 AC R\nerr 2 XY 1\n ok 3 AC Q\nerr 1  errors found.\n"},
        {"mixed", "AC R\r\nAC Q\nAC P\rXY\n\rAN a", 1,
         " ok 1 AC R\n ok 2 AC Q\n ok 3 AC P\nerr 4 XY\n ok 5 \n ok 6 AN a\nerr 1  errors found.\n"},
        {"byte 0 ends the file", std::string("AC R\r\nAC\0 Q\r\nXY\r\n", 17), 1,
         " ok 1 AC R\nerr 2 AC\nerr 1  errors found.\n",
         ": the file ends at a byte 0 at offset 8; 8 bytes after it were not checked\n"},
        {"a byte 0 at the very end", std::string("AC R\r\n\0", 7), 0, " ok 1 AC R\n ok 0 No errors found.\n"},
        {"empty file", "", 0, " ok 0 No errors found.\n"},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.Write("case.txt", c.bytes);
        ProgramRun run = Check({"--format=log", path});
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.out, c.log);
        EXPECT_EQ(run.err, c.notice.empty() ? "" : "corvala-check: " + path + c.notice);
        // The same bytes on standard input.
        run = Check({"--format=log", "-"}, path);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.out, c.log);
        EXPECT_EQ(run.err, c.notice.empty() ? "" : "corvala-check: -" + c.notice);
    }
}

// The text of a file ends at its first byte 0 and stays so; what follows is
// not checked without a word: one line on standard error in every format,
// and with the checks beyond single lines a warning about the file.
TEST(CheckerFaults, TextAfterAByteZeroIsNamed) {
    ScratchDir dir;
    const std::string path = dir.Write("nul.txt", std::string("* head\nXY 1\n\0AC Q\nXY 2\n", 23));
    const std::string notice = "the file ends at a byte 0 at offset 12; 10 bytes after it were not checked";
    const struct {
        const char* name;
        std::vector<std::string> args;
        int exitCode;
        std::string out;
        bool stdinToo = true;
    } cases[] = {
        {"classic errors: standard output as before", {"--format=errors"}, 1,
         "Line 2: XY not implemented.\n   *** 1 errors found\n"},
        {"classic gnu", {"--format=gnu"}, 1, "NAME:2: error: XY not implemented.\n"},
        {"blocks gnu", {"--format=gnu", "--blocks"}, 1,
         "NAME:2:1: error: XY not implemented. [not-implemented]\n"
         "NAME: warning: " + notice + " [text-after-nul]\n"},
        {"blocks errors: counted", {"--format=errors", "--blocks"}, 1,
         "Line 2: error: XY not implemented. [not-implemented]\nFile: warning: " + notice +
             " [text-after-nul]\n   *** 1 error, 1 warning, 0 notes found\n"},
        {"a warning fails with --fail-on=warning", {"--format=gnu", "--blocks", "--disable=not-implemented",
         "--fail-on=warning"}, 1, "NAME: warning: " + notice + " [text-after-nul]\n"},
        {"disabled", {"--format=gnu", "--blocks", "--disable=text-after-nul,not-implemented"}, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string& name : {path, std::string("-")}) {
            std::vector<std::string> args = c.args;
            args.push_back(name);
            const ProgramRun run = Check(args, path);
            std::string out = c.out;
            for (std::size_t at; (at = out.find("NAME")) != std::string::npos;) out.replace(at, 4, name);
            EXPECT_EQ(run.exitCode, c.exitCode) << name;
            EXPECT_EQ(run.out, out) << name;
            EXPECT_EQ(run.err, "corvala-check: " + name + ": " + notice + "\n") << name;
        }
    }

    // The JSON document counts it with the file's findings.
    const ProgramRun json = Check({"--format=json", "--rules=extended", path});
    const nlohmann::json file = nlohmann::json::parse(json.out)["files"][0];
    int warnings = 0;
    for (const auto& finding : file["findings"]) warnings += finding["severity"] == "warning";
    EXPECT_EQ(file["warning_count"], warnings);
    EXPECT_EQ(file["findings"].back()["line"], 0);
    EXPECT_EQ(file["findings"].back()["rule"], "text-after-nul");
    EXPECT_EQ(file["findings"].back()["message"], notice);
}

TEST(CheckerFaults, EveryByteValueInACommandWord) {
    // One line per byte value b: "X" b "Y 1". Byte 0 ends the file, so it
    // goes last; CR and LF split their line in two.
    std::string bytes, expected;
    int line = 0, errors = 0;
    auto add = [&](const std::string& message) {
        expected += "Line " + std::to_string(line) + ": " + message + "\n";
        ++errors;
    };
    for (int b = 1; b < 256; ++b) {
        const char c = static_cast<char>(b);
        bytes += std::string("X") + c + "Y 1\n";
        if (c == '\r' || c == '\n') {
            ++line;
            add("X not implemented.");
            ++line;
            add("Y not implemented.");
        } else if (c == '*') {
            ++line;
            add("X not implemented.");
        } else if (c == ' ') {
            ++line;
            add("X not implemented.");
        } else {
            ++line;
            add(std::string("X") + c + "Y not implemented.");
        }
    }
    bytes += std::string("X\0Y 1\n", 6);
    ++line;
    add("X not implemented.");
    expected += "   *** " + std::to_string(errors) + " errors found\n";

    ScratchDir dir;
    const std::string path = dir.Write("bytes.txt", bytes);
    const ProgramRun run = Check({"--format=errors", path});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, "corvala-check: " + path + ": the file ends at a byte 0 at offset " +
                           std::to_string(bytes.size() - 5) + "; 4 bytes after it were not checked\n");
}

TEST(CheckerFaults, SingleLineOfTwentyMegabytes) {
    ScratchDir dir;
    const std::string good = "AN " + std::string(20u << 20, 'x');
    const std::string bad = "SP " + std::string(20u << 20, '1');
    ProgramRun run = Check({"--format=log", dir.Write("good.txt", good + "\r\n")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out == " ok 1 " + good + "\n ok 0 No errors found.\n") << run.out.size();

    run = Check({"--format=errors", dir.Write("bad.txt", bad)});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out,
              "Line 1: SP returned error: Pen data is in unkown format (Assertion failure (Unit1, line 141)).\n"
              "   *** 1 errors found\n");
}

TEST(CheckerFaults, AMillionEmptyLinesAndAMillionCommas) {
    ScratchDir dir;
    ProgramRun run = Check({"--format=errors", dir.Write("empty.txt", Repeat("\r\n", 1000000))});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "   *** 0 errors found\n");

    std::string log;
    for (int n = 1; n <= 1000000; ++n) log += " ok " + std::to_string(n) + " \n";
    log += " ok 0 No errors found.\n";
    run = Check({"--format=log", dir.Write("empty-cr.txt", Repeat("\r", 1000000))});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out == log) << run.out.substr(0, 200);

    const std::string commas(1000000, ',');
    run = Check({"--format=errors", dir.Write("commas.txt", "SB " + commas + "\nDA " + commas + "\n")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "Line 1: SB returned error: Brush data is in unkown format (Brush rgb is not a valid rgb. all 3 "
                       "components must be between 0 and 255.).\n"
                       "Line 2: DA returned error: DA data is in unkown format ('' is not a valid integer value).\n"
                       "   *** 2 errors found\n");
}

TEST(CheckerFaults, FiftyMegabyteFile) {
    // Lines of about 50 bytes, every tenth one failing.
    std::string bytes, expected;
    int line = 0, errors = 0;
    while (bytes.size() < (50u << 20)) {
        ++line;
        if (line % 10 == 0) {
            bytes += "DA 0,0,90 * radius out of range, the run reports it\n";
            expected += "Line " + std::to_string(line) +
                        ": DA returned error: DA data is in unkown format (DA radius must be between 1 and 1000.).\n";
            ++errors;
        } else if (line % 2 == 0) {
            bytes += "DP 52:30:00 N 013:20:00 E   * a point of the border\r\n";
        } else {
            bytes += "AN A name long enough to make fifty megabytes soon\r\n";
        }
    }
    expected += "   *** " + std::to_string(errors) + " errors found\n";
    ScratchDir dir;
    const ProgramRun run = Check({"--format=errors", dir.Write("big.txt", bytes)});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out == expected) << run.out.substr(0, 300);
    EXPECT_EQ(run.err, "");
}

}  // namespace
}  // namespace corvala::faults

#endif  // CORVALA_CHECK_PATH
