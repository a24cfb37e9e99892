// What corvala-check does with inputs and surroundings that are out to harm
// it or its user: endless devices, files that change while read, outputs
// that go away, memory that runs out, control bytes meant for a terminal.
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "cli/checker.h"
#include "cli/options.h"
#include "cli/output.h"
#include "engine/run/engine.h"
#include "fault_support.h"

#ifdef CORVALA_CHECK_PATH

namespace corvala::faults {
namespace {

const std::string kChecker = CORVALA_CHECK_PATH;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;  // the sanitizer reserves more address space than any limit
#else
constexpr bool kSanitized = false;
#endif

std::string Lines(std::string_view line, std::size_t count) {
    std::string text;
    text.reserve((line.size() + 1) * count);
    for (std::size_t i = 0; i < count; ++i) {
        text += line;
        text += '\n';
    }
    return text;
}

// The text of a file ends at its first byte 0: a device of endless zeros is
// an empty file, and one of random bytes is read only up to its first zero.
TEST(Hostile, EndlessDevicesEndAtTheirFirstZero) {
    for (const char* device : {"/dev/zero", "/dev/urandom", "/dev/full"}) {
        const ProgramRun run = RunProgram(kChecker, {"--format=json", device});
        EXPECT_NE(run.exitCode, 2) << device << ": " << run.err;
        EXPECT_NO_THROW((void)nlohmann::json::parse(run.out)) << device;
    }
    const ProgramRun zero = RunProgram(kChecker, {"/dev/zero"});
    EXPECT_EQ(zero.out, "   *** 0 errors found\n");
    EXPECT_EQ(zero.exitCode, 0);
}

// Memory does not grow with the file in any format: 400,000 failing lines
// are checked within an address space of 150 MB, where keeping their
// findings took 330 MB in the JSON format. The JSON and SARIF documents
// keep a file's findings on disk until its counts are known; the checks
// beyond single lines hold one block at a time.
TEST(Hostile, MemoryDoesNotGrowWithTheFile) {
    if (kSanitized) GTEST_SKIP() << "no address-space limit under the sanitizers";
    ScratchDir dir;
    const std::string flat = dir.Write("flat.txt", Lines("XY 1 a line that fails its check", 400000));
    const std::string blocks =
        dir.Write("blocks.txt", Lines("AC Q\nAN Zone\nXY 1 a line that fails its check", 140000));
    test::RunOptions options;
    options.memoryLimit = std::size_t(150) << 20;
    options.stdoutPath = "/dev/null";
    for (const char* format : {"errors", "log", "gnu", "json", "sarif", "geojson", "kml"}) {
        const std::string asked = std::string("--format=") + format;
        EXPECT_EQ(RunProgram(kChecker, {asked, flat}, options).exitCode, 1) << format;
        const ProgramRun run = RunProgram(kChecker, {asked, "--blocks", "--rules=extended", blocks}, options);
        EXPECT_EQ(run.exitCode, 1) << format << ": " << run.err;
    }
}

// The lines held back for the checks beyond single lines keep no copy of
// their bytes when the file can give them again, so memory does not grow
// with a block nor with what stands before the first: 10 MB of blank lines
// (which took 790 MB when each held line was copied), one AC followed by
// 2,000,000 comment lines and one block of 800,000 points are checked
// with the block checks within an address space of 150 MB in every format,
// from the file and from standard input redirected from it.
TEST(Hostile, HeldLinesDoNotGrowWithTheBlock) {
    if (kSanitized) GTEST_SKIP() << "no address-space limit under the sanitizers";
    ScratchDir dir;
    std::string points = "AC Q\nAN Zone\nAL GND\nAH FL100\n";
    for (int i = 0; i < 800000; ++i) {
        // A comb of 800 teeth, one second of longitude apart, each a
        // thousand points of one second of latitude: an outline that does
        // not cross itself.
        const int column = i / 1000, step = i % 1000, row = column % 2 == 0 ? step : 999 - step;
        char line[40];
        std::snprintf(line, sizeof line, "DP 45:%02d:%02d N 010:%02d:%02d E\n", row / 60, row % 60, column / 60,
                      column % 60);
        points += line;
    }
    struct Input {
        const char* name;
        std::string text;
        bool blocks;
        int exitCode;
    };
    const Input inputs[] = {
        {"blank.txt", std::string(10000000, '\n'), true, 0},
        {"comments.txt", "AC Q\nAN Zone\n" + Lines("* a", 2000000), true, 1},
        // The block checks keep each point of the outline and, for the
        // crossing test, some twenty bytes more a point (800,000 points
        // took 155 MB when the test kept its own copies of each point).
        {"points.txt", points, true, 0},
    };
    test::RunOptions options;
    options.memoryLimit = std::size_t(150) << 20;
    options.stdoutPath = "/dev/null";
    for (const Input& input : inputs) {
        const std::string path = dir.Write(input.name, input.text);
        for (const char* format : {"errors", "log", "gnu", "json", "sarif"}) {
            const std::string asked = std::string("--format=") + format;
            std::vector<std::string> args = {asked, "--rules=extended", path};
            if (input.blocks) args.insert(args.begin(), "--blocks");
            const ProgramRun run = RunProgram(kChecker, args, options);
            EXPECT_EQ(run.exitCode, input.exitCode) << input.name << " " << format << ": " << run.err;
        }
        test::RunOptions redirected = options;
        redirected.stdinPath = path;
        std::vector<std::string> args = {"--format=json", "--rules=extended", "-"};
        if (input.blocks) args.insert(args.begin(), "--blocks");
        const ProgramRun run = RunProgram(kChecker, args, redirected);
        EXPECT_EQ(run.exitCode, input.exitCode) << input.name << " from standard input: " << run.err;
    }
}

// Running out of memory on one file is that file's failure: it is named,
// the JSON document stays whole, and the next file is checked.
TEST(Hostile, OutOfMemoryOnOneFileChecksTheNext) {
    if (kSanitized) GTEST_SKIP() << "no address-space limit under the sanitizers";
    ScratchDir dir;
    const std::string huge = dir.Write("huge.txt", "AN " + std::string(std::size_t(300) << 20, 'x') + "\n");
    const std::string small = dir.Write("small.txt", "XY 1\n");
    test::RunOptions options;
    options.memoryLimit = std::size_t(160) << 20;
    const ProgramRun run = RunProgram(kChecker, {"--format=json", huge, small}, options);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "corvala-check: " + huge + ": out of memory\n");
    const nlohmann::json document = nlohmann::json::parse(run.out);
    ASSERT_EQ(document["files"].size(), 1u);
    EXPECT_EQ(document["files"][0]["path"], small);
    EXPECT_EQ(document["unreadable"][0]["message"], "out of memory");
}

// A file rewritten while it is read is never reported as clean.
TEST(Hostile, FileChangedWhileReadIsNotClean) {
    ScratchDir dir;
    const std::string path = dir.Write("moving.txt", Lines("AC R", 2000000));
    std::atomic<bool> done{false};
    std::thread writer([&] {
        // Appends until the check is over, so the size differs from the
        // one the checker saw when it opened the file.
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
        while (!done) {
            if (::write(fd, "AC R\n", 5) != 5) break;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        ::close(fd);
    });
    cli::Options options;
    options.files = {path};
    cli::Output out(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    ScratchDir errors;
    const std::string errPath = errors.path() + "/err";
    const int errFd = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    int status;
    {
        cli::Output err(errFd);
        status = cli::CheckFiles(options, false, false, out, err);
    }
    done = true;
    writer.join();
    ::close(errFd);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(test::ReadFile(errPath), "corvala-check: The file \"" + path + "\" changed while it was checked.\n");
}

// With SIGPIPE ignored, the checker stops at the first write that fails
// instead of reading on: here its input never ends, so reading on would
// never end either.
TEST(Hostile, StopsAtTheFirstFailedWrite) {
    int input[2], output[2];
    ASSERT_EQ(::pipe(input), 0);
    ASSERT_EQ(::pipe(output), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGPIPE, SIG_IGN);  // kept across exec
        ::dup2(input[0], 0);
        ::dup2(output[1], 1);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 2);
        ::close(input[1]);
        ::close(output[0]);
        ::execl(kChecker.c_str(), kChecker.c_str(), "--format=log", "-", static_cast<char*>(nullptr));
        ::_exit(126);
    }
    ::close(input[0]);
    ::close(output[1]);
    ::close(output[0]);  // the reader goes away at once
    std::signal(SIGPIPE, SIG_IGN);
    const std::string chunk = Lines("AC R", 10000);
    // Feeds the checker until it exits: its end makes the writes fail.
    while (::write(input[1], chunk.data(), chunk.size()) > 0) {
    }
    ::close(input[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    std::signal(SIGPIPE, SIG_DFL);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

// A file with more lines than line numbers can count is refused, not
// numbered wrongly.
TEST(Hostile, TooManyLinesAreRefused) {
    test::RecordingSink sink;
    RunHost host;
    Engine engine(sink, host);
    engine.LineLimit = 3;
    EXPECT_NO_THROW(engine.ValidateBytes("three", "AC R\n\nAC R\n"));
    try {
        engine.ValidateBytes("four", "AC R\n\nAC R\n\n");
        ADD_FAILURE() << "four lines passed a limit of three";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.message(), "The file \"four\" has more than 3 lines, more than Corvala can number.");
    }
}

// Control bytes never reach a terminal raw: lines and items are escaped on
// a terminal; gnu lines always; file names in every text format.
TEST(Hostile, ControlBytesAreShownNotObeyed) {
    ScratchDir dir;
    const std::string attack = "XY \x1b[2J\x1b]52;c;ZXZpbA==\x07\b\b 0 errors found";
    const std::string path = dir.Write("a\nb.txt", attack + "\n");
    const std::string shownName = dir.path() + "/a\\x0ab.txt";
    const std::string shownLine = "XY \\x1b[2J\\x1b]52;c;ZXZpbA==\\x07\\x08\\x08 0 errors found";

    // To a file the errors and log formats stay byte for byte.
    EXPECT_EQ(RunProgram(kChecker, {"--format=log", path}).out, "err 1 " + attack + "\nerr 1  errors found.\n");
    // gnu escapes always, name and message.
    EXPECT_EQ(RunProgram(kChecker, {"--format=gnu", path}).out, shownName + ":1: error: XY not implemented.\n");
    const ProgramRun two = RunProgram(kChecker, {"--format=gnu", path, path + "\x1b"});
    EXPECT_EQ(two.err, "corvala-check: Cannot open file \"" + shownName + "\\x1b\". No such file or directory\n");
    EXPECT_EQ(RunProgram(kChecker, {path, path}).out.substr(0, shownName.size() + 9), "==> " + shownName + " <==\n");

    // On a terminal (a pseudo-terminal here) lines are escaped as well.
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execl(kChecker.c_str(), kChecker.c_str(), "--format=log", "--color=never", path.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(126);
    }
    std::string shown;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(terminal, buffer, sizeof buffer)) > 0) shown.append(buffer, static_cast<std::size_t>(got));
    ::close(terminal);
    ::waitpid(child, nullptr, 0);
    // The terminal turns each line feed into CR LF.
    EXPECT_EQ(shown, "err 1 " + shownLine + "\r\nerr 1  errors found.\r\n");
}

// Text from the file that could forge or disguise output is escaped
// wherever escaping is on: with colour even through a pipe (as in
// `| less -R`), in the gnu format always. A backslash is escaped too, so
// that "\x1b" written in a file name cannot pass for an escaped byte.
TEST(Hostile, TextThatCouldForgeOutputIsEscaped) {
    ScratchDir dir;
    const std::string title = "AC \x1b]0;PWNED\x07\x1b[2J";
    const std::string bidi = "AC \xe2\x80\xae" "cod.exe\xe2\x80\xac \xe2\x81\xa6x\xe2\x81\xa9 a\xe2\x80\xa8" "b";
    const std::string titlePath = dir.Write("title.txt", title + "\n");
    const std::string bidiPath = dir.Write("bidi.txt", bidi + "\n");
    const std::string slashPath = dir.Write("a\\x1b.txt", "XY 1\n");
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {"log with colour through a pipe", {"--format=log", "--color=always", titlePath},
         "\x1b[1;31merr\x1b[0m 1 AC \\x1b]0;PWNED\\x07\\x1b[2J\n\x1b[1;31merr\x1b[0m 1  errors found.\n"},
        {"errors with colour through a pipe", {"--format=errors", "--color=always", titlePath},
         "Line 1: AC returned error: Class type \"\\x1b]0;PWNED\\x07\\x1b[2J\" unkown.\n   *** 1 errors found\n"},
        {"log without colour through a pipe stays byte for byte", {"--format=log", "--color=never", titlePath},
         "err 1 " + title + "\nerr 1  errors found.\n"},
        {"gnu: bidirectional controls and separators", {"--format=gnu", bidiPath},
         bidiPath + ":1: error: Class type \"\\u202ecod.exe\\u202c \\u2066x\\u2069 a\\u2028b\" unkown.\n"},
        {"gnu: a backslash in a file name", {"--format=gnu", slashPath},
         dir.path() + "/a\\\\x1b.txt:1: error: XY not implemented.\n"},
        {"header: a backslash in a file name", {"--format=errors", slashPath, slashPath},
         "==> " + dir.path() + "/a\\\\x1b.txt <==\nLine 1: XY not implemented.\n   *** 1 errors found\n\n==> " +
             dir.path() + "/a\\\\x1b.txt <==\nLine 1: XY not implemented.\n   *** 1 errors found\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ProgramRun run = RunProgram(kChecker, c.args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.out, c.out);
    }
}

}  // namespace
}  // namespace corvala::faults

#endif
