// Fault tests through the engine: paths that cannot be read, files that
// change between runs, huge and hostile inputs, odd line ends. The big inputs
// are made at test time in a scratch folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine/run/engine.h"
#include "engine/model/failures.h"
#include "engine/values/text.h"
#include "fault_support.h"

namespace corvala::faults {
namespace {

using Log = std::vector<std::string>;

// A host that keeps what the run asked of the window.
class RecordingHost final : public RunHost {
public:
    void ShowProgressPanel(bool visible) override { panelVisible = visible; }
    void SetProgress(int percent) override { progress = percent; }
    void SuspendLogPainting(bool suspended) override { paintingSuspended = suspended; }
    void ProcessEvents() override { ++eventRounds; }

    bool panelVisible = false;
    bool paintingSuspended = false;
    int progress = -1;
    long eventRounds = 0;
};

struct Outcome {
    Log log;
    Log errors;
};

Outcome RunBytes(const std::string& bytes) {
    RecordingSink sink;
    RunHost host;
    Engine engine(sink, host);
    SetDecimalSeparator('.');
    engine.ValidateBytes("bytes", bytes);
    return {sink.log, sink.errors};
}

Outcome RunFile(const std::string& path) {
    RecordingSink sink;
    RunHost host;
    Engine engine(sink, host);
    SetDecimalSeparator('.');
    engine.ValidateFile(path);
    return {sink.log, sink.errors};
}

std::string Repeat(std::string_view piece, std::size_t times) {
    std::string text;
    text.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i) text += piece;
    return text;
}

// --- Paths that cannot be read --------------------------------------------

struct UnreadableCase {
    const char* name;
    // Makes the path in the scratch folder; returns {path, full path in the message}.
    std::pair<std::string, std::string> (*make)(const ScratchDir&);
    const char* cause;
};

const UnreadableCase kUnreadable[] = {
    {"missing file",
     [](const ScratchDir& dir) {
         return std::pair{dir.path() + "/missing.txt", dir.path() + "/missing.txt"};
     },
     "No such file or directory"},
    {"directory",
     [](const ScratchDir& dir) {
         return std::pair{dir.path(), dir.path()};
     },
     "Is a directory"},
    {"empty path",
     [](const ScratchDir&) {
         return std::pair{std::string(), std::string()};
     },
     "No such file or directory"},
    {"relative missing path",
     [](const ScratchDir&) {
         return std::pair{std::string("no-such-folder/x.txt"),
                          std::filesystem::current_path().string() + "/no-such-folder/x.txt"};
     },
     "No such file or directory"},
    {"file used as a folder",
     [](const ScratchDir& dir) {
         const std::string file = dir.Write("plain.txt", "AC R\n");
         return std::pair{file + "/x.txt", file + "/x.txt"};
     },
     "Not a directory"},
};

TEST(EngineFaults, UnreadablePathsFailWithTheExactMessageAndNoOutput) {
    for (const UnreadableCase& c : kUnreadable) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        const auto [path, fullPath] = c.make(dir);
        RecordingSink sink;
        RecordingHost host;
        Engine engine(sink, host);
        try {
            engine.ValidateFile(path);
            ADD_FAILURE() << "no failure for " << path;
        } catch (const FileOpenError& error) {
            EXPECT_EQ(error.message(), CannotOpen(fullPath, c.cause));
        }
        EXPECT_EQ(sink.starts, 1);
        EXPECT_TRUE(sink.log.empty());
        EXPECT_TRUE(sink.errors.empty());
        EXPECT_FALSE(host.panelVisible);
        EXPECT_FALSE(host.paintingSuspended);
        EXPECT_FALSE(engine.Running());
        EXPECT_EQ(host.eventRounds, 0);

        // The engine is ready for the next run.
        engine.ValidateBytes("next", "AC R\n");
        EXPECT_EQ(sink.log, (Log{" ok 1 AC R", " ok 0 No errors found."}));
    }
}

TEST(EngineFaults, FileThatVanishesBetweenTwoRuns) {
    ScratchDir dir;
    const std::string path = dir.Write("vanishing.txt", "AC R\r\nXY 1\r\n");
    RecordingSink sink;
    RunHost host;
    Engine engine(sink, host);

    engine.ValidateFile(path);
    EXPECT_EQ(sink.log, (Log{" ok 1 AC R", "err 2 XY 1", "err 1  errors found."}));

    std::filesystem::remove(path);
    try {
        engine.ValidateFile(path);
        ADD_FAILURE() << "no failure for the vanished file";
    } catch (const FileOpenError& error) {
        EXPECT_EQ(error.message(), CannotOpen(path, "No such file or directory"));
    }
    EXPECT_TRUE(sink.log.empty());
    EXPECT_TRUE(sink.errors.empty());
    EXPECT_EQ(engine.ErrorCount, 0);

    dir.Write("vanishing.txt", "AC Q");
    engine.ValidateFile(path);
    EXPECT_EQ(sink.log, (Log{" ok 1 AC Q", " ok 0 No errors found."}));
    EXPECT_EQ(sink.errors, (Log{"   *** 0 errors found"}));
}

// --- Line ends and byte 0 ---------------------------------------------------

struct LineEndCase {
    const char* name;
    std::string bytes;
    Log log;
    Log errors;
};

const std::vector<LineEndCase>& LineEndCases() {
    static const std::vector<LineEndCase> cases = {
        {"no final line end",
         "AC R\nAC Q",
         {" ok 1 AC R", " ok 2 AC Q", " ok 0 No errors found."},
         {"   *** 0 errors found"}},
        {"CR only",
         "AC R\rXY 1\rAC Q\r",
         {" ok 1 AC R", "err 2 XY 1", " ok 3 AC Q", "err 1  errors found."},
         {"Line 2: XY not implemented.", "   *** 1 errors found"}},
        {"mixed",
         "AC R\r\nAC Q\nAC P\rXY\n\rAN a",
         {" ok 1 AC R", " ok 2 AC Q", " ok 3 AC P", "err 4 XY", " ok 5 ", " ok 6 AN a", "err 1  errors found."},
         {"Line 4: XY not implemented.", "   *** 1 errors found"}},
        {"CR CR LF",
         "AC R\r\r\nAC Q",
         {" ok 1 AC R", " ok 2 ", " ok 3 AC Q", " ok 0 No errors found."},
         {"   *** 0 errors found"}},
        {"LF CR",
         "AC R\n\rAC Q\n",
         {" ok 1 AC R", " ok 2 ", " ok 3 AC Q", " ok 0 No errors found."},
         {"   *** 0 errors found"}},
        {"one CR LF", "\r\n", {" ok 1 ", " ok 0 No errors found."}, {"   *** 0 errors found"}},
        {"empty file", "", {" ok 0 No errors found."}, {"   *** 0 errors found"}},
        {"byte 0 ends the file",
         std::string("AC R\r\nAC\0 Q\r\nXY\r\n", 17),
         {" ok 1 AC R", "err 2 AC", "err 1  errors found."},
         {"Line 2: AC returned error: Airspace class cannot be empty.", "   *** 1 errors found"}},
        {"byte 0 first", std::string("\0AC R\r\n", 7), {" ok 0 No errors found."}, {"   *** 0 errors found"}},
        {"byte-order mark",
         "\xEF\xBB\xBF"
         "AC R\n",
         {"err 1 \xEF\xBB\xBF"
          "AC R",
          "err 1  errors found."},
         {"Line 1: \xEF\xBB\xBF"
          "AC not implemented.",
          "   *** 1 errors found"}},
        {"trailing blanks and tabs kept in the log",
         "AC R \t\n",
         {" ok 1 AC R \t", " ok 0 No errors found."},
         {"   *** 0 errors found"}},
        {"regression: empty colour component",
         "SB 1,,3\nSP 0,1,0,,0\n",
         {"err 1 SB 1,,3", "err 2 SP 0,1,0,,0", "err 2  errors found."},
         {"Line 1: SB returned error: Brush data is in unkown format (Brush rgb is not a valid rgb. all 3 "
          "components must be between 0 and 255.).",
          "Line 2: SP returned error: Pen data is in unkown format (Pen rgb is not a valid rgb. all 3 "
          "components must be between 0 and 255.).",
          "   *** 2 errors found"}},
    };
    return cases;
}

TEST(EngineFaults, LineEndsFromBytesAndFromFiles) {
    ScratchDir dir;
    for (const LineEndCase& c : LineEndCases()) {
        SCOPED_TRACE(c.name);
        const Outcome fromBytes = RunBytes(c.bytes);
        EXPECT_EQ(fromBytes.log, c.log);
        EXPECT_EQ(fromBytes.errors, c.errors);
        const Outcome fromFile = RunFile(dir.Write("case.txt", c.bytes));
        EXPECT_EQ(fromFile.log, c.log);
        EXPECT_EQ(fromFile.errors, c.errors);
    }
}

// --- Every byte in every position ------------------------------------------

// What a run must give for a file of one line `base` with one byte inserted,
// read by the line rules: the first byte 0 ends the file; CR and LF end
// lines; "*" starts a comment; bytes 0 to 32 are trimmed; the command word
// ends at the first blank. Only AC has a validator among the words these
// files can hold.
Outcome Expected(std::string bytes) {
    static const char* const kClasses[] = {"R", "Q", "P", "A", "B", "C", "D", "GP", "CTR", "W"};
    Outcome outcome;
    bytes = bytes.substr(0, bytes.find('\0'));
    int n = 0, errors = 0;
    std::size_t p = 0;
    while (p < bytes.size()) {
        const std::size_t start = p;
        while (p < bytes.size() && bytes[p] != '\r' && bytes[p] != '\n') ++p;
        const std::string raw = bytes.substr(start, p - start);
        if (p < bytes.size() && bytes[p] == '\r') ++p;
        if (p < bytes.size() && bytes[p] == '\n') ++p;
        ++n;
        const std::string_view text = TrimText(std::string_view(raw).substr(0, raw.find('*')));
        std::string message;
        if (!text.empty()) {
            const std::size_t blank = text.find(' ');
            const std::string command(text.substr(0, blank));
            const std::string argument(blank == std::string_view::npos ? "" : text.substr(blank + 1));
            if (command == "AC") {
                bool known = false;
                for (const char* c : kClasses) known = known || argument == c;
                if (TrimText(argument).empty()) {
                    message = "Line " + std::to_string(n) + ": AC returned error: Airspace class cannot be empty.";
                } else if (!known) {
                    message =
                        "Line " + std::to_string(n) + ": AC returned error: Class type \"" + argument + "\" unkown.";
                }
            } else {
                message = "Line " + std::to_string(n) + ": " + command + " not implemented.";
            }
        }
        if (!message.empty()) {
            ++errors;
            outcome.errors.push_back(message);
        }
        outcome.log.push_back(LogLine(n, raw, message.empty()));
    }
    outcome.errors.push_back("   *** " + std::to_string(errors) + " errors found");
    outcome.log.push_back(errors == 0 ? LogLine(0, "No errors found.", true)
                                      : LogLine(errors, " errors found.", false));
    return outcome;
}

TEST(EngineFaults, EveryByteInEveryPosition) {
    for (const std::string base : {"XY 1", "AC R", "AC  CTR * x"}) {
        for (std::size_t position = 0; position <= base.size(); ++position) {
            for (int byte = 0; byte < 256; ++byte) {
                std::string bytes = base;
                bytes.insert(position, 1, static_cast<char>(byte));
                SCOPED_TRACE("base \"" + base + "\", byte " + std::to_string(byte) + " at " + std::to_string(position));
                const Outcome actual = RunBytes(bytes);
                const Outcome expected = Expected(bytes);
                ASSERT_EQ(actual.log, expected.log);
                ASSERT_EQ(actual.errors, expected.errors);
            }
        }
    }
}

TEST(EngineFaults, ExpectationsOfTheByteSweepHoldForHandPickedBytes) {
    // Spot checks of the reading the sweep relies on.
    EXPECT_EQ(Expected("AC\tR").errors, (Log{"Line 1: AC\tR not implemented.", "   *** 1 errors found"}));
    EXPECT_EQ(Expected("AC \x01R").errors,
              (Log{"Line 1: AC returned error: Class type \"\x01R\" unkown.", "   *** 1 errors found"}));
    EXPECT_EQ(Expected("\x1f"
                       "AC R\x7f")
                  .errors,
              (Log{"Line 1: AC returned error: Class type \"R\x7f\" unkown.", "   *** 1 errors found"}));
    EXPECT_EQ(Expected("AC R\x20").log, (Log{" ok 1 AC R ", " ok 0 No errors found."}));
}

// --- Huge inputs -------------------------------------------------------------

struct LongLineCase {
    const char* name;
    std::string prefix;
    char fill;
    std::string suffix;
    // The error item, with {LINE} standing for the line itself after the prefix; empty when valid.
    std::string error;
};

constexpr std::size_t kLongLine = 20u << 20;  // 20 MB

const std::vector<LongLineCase>& LongLineCases() {
    static const std::vector<LongLineCase> cases = {
        {"AN name", "AN ", 'x', "", ""},
        {"comment", "AN a * ", 'x', "", ""},
        {"unknown word", "", 'X', "", "Line 1: {LINE} not implemented."},
        {"unknown word with argument", "XY ", 'x', "", "Line 1: XY not implemented."},
        {"AC class", "AC ", 'R', "", "Line 1: AC returned error: Class type \"{ARG}\" unkown."},
        {"SP without commas", "SP ", '1', "",
         "Line 1: SP returned error: Pen data is in unkown format (Assertion failure (Unit1, line 141))."},
        {"DA without commas", "DA ", '7', "",
         "Line 1: DA returned error: DA data is in unkown format (Assertion failure (Unit1, line 141))."},
        {"SB one component", "SB ", '1', "",
         "Line 1: SB returned error: Brush data is in unkown format (Brush rgb is not a valid rgb. all 3 "
         "components must be between 0 and 255.)."},
        {"DC overflowing digits", "DC ", '9', "",
         "Line 1: DC returned error: DC data is in unkown format ('{ARG}' is not a valid floating point value)."},
        {"DC tiny fraction", "DC 0.", '0', "1", ""},
        {"DA huge radius", "DA ", '0', "1,0,90", ""},
        {"V value of blanks", "V D=", ' ', "+", ""},
    };
    return cases;
}

std::string Replace(std::string text, const std::string& key, const std::string& value) {
    const std::size_t at = text.find(key);
    return at == std::string::npos ? text : text.replace(at, key.size(), value);
}

TEST(EngineFaults, SingleLineOfTwentyMegabytes) {
    for (const LongLineCase& c : LongLineCases()) {
        SCOPED_TRACE(c.name);
        std::string argument(kLongLine, c.fill);
        argument += c.suffix;
        const std::string line = c.prefix + argument;
        const Outcome actual = RunBytes(line + "\r\n");
        const bool ok = c.error.empty();
        ASSERT_EQ(actual.log.size(), 2u);
        EXPECT_TRUE(actual.log[0] == LogLine(1, line, ok)) << actual.log[0].substr(0, 100);
        if (ok) {
            EXPECT_EQ(actual.log[1], " ok 0 No errors found.");
            EXPECT_EQ(actual.errors, (Log{"   *** 0 errors found"}));
        } else {
            const std::string expected = Replace(Replace(c.error, "{LINE}", line), "{ARG}", argument);
            EXPECT_EQ(actual.log[1], "err 1  errors found.");
            ASSERT_EQ(actual.errors.size(), 2u);
            EXPECT_TRUE(actual.errors[0] == expected) << actual.errors[0].substr(0, 200);
            EXPECT_EQ(actual.errors[1], "   *** 1 errors found");
        }
    }
}

struct CommaCase {
    const char* name;
    std::string prefix;
    std::string error;  // {LINE} stands for the whole line
};

TEST(EngineFaults, AMillionCommas) {
    const std::string commas(1000000, ',');
    const CommaCase cases[] = {
        {"AN", "AN ", ""},
        {"bare commas", "", "Line 1: {LINE} not implemented."},
        {"SB", "SB ",
         "Line 1: SB returned error: Brush data is in unkown format (Brush rgb is not a valid rgb. all 3 "
         "components must be between 0 and 255.)."},
        {"SP", "SP ", "Line 1: SP returned error: Pen data is in unkown format ('' is not a valid integer value)."},
        {"DA", "DA ", "Line 1: DA returned error: DA data is in unkown format ('' is not a valid integer value)."},
        {"V", "V ",
         "Line 1: V returned error: Variable assignment data is in unkown format (Assertion failure (Unit1, line "
         "141))."},
        {"DC", "DC ",
         "Line 1: DC returned error: DC data is in unkown format ('{ARG}' is not a valid floating point value)."},
    };
    for (const CommaCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string line = c.prefix + commas;
        const Outcome actual = RunBytes(line);
        const bool ok = c.error.empty();
        ASSERT_EQ(actual.log.size(), 2u);
        EXPECT_TRUE(actual.log[0] == LogLine(1, line, ok));
        if (ok) {
            EXPECT_EQ(actual.errors, (Log{"   *** 0 errors found"}));
        } else {
            ASSERT_EQ(actual.errors.size(), 2u);
            const std::string expected = Replace(Replace(c.error, "{LINE}", line), "{ARG}", commas);
            EXPECT_TRUE(actual.errors[0] == expected) << actual.errors[0].substr(0, 200);
        }
    }
}

TEST(EngineFaults, AMillionEmptyLines) {
    const struct {
        const char* name;
        std::string line;
        std::string raw;
    } cases[] = {
        {"LF", "\n", ""},
        {"CR", "\r", ""},
        {"CR LF", "\r\n", ""},
        {"blanks and tabs", " \t \r\n", " \t "},
        {"comments", "* note\n", "* note"},
    };
    constexpr std::int32_t kLines = 1000000;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CheckingSink sink([&](std::int32_t n, std::string_view& text, bool& ok) {
            if (n <= kLines) text = c.raw;
            ok = true;
        });
        RecordingHost host;
        Engine engine(sink, host);
        engine.ValidateBytes("empty lines", Repeat(c.line, kLines));
        EXPECT_EQ(sink.lines, kLines + 1);
        EXPECT_EQ(sink.mismatches, 0) << sink.firstMismatch;
        EXPECT_EQ(sink.closingLine, " ok 0 No errors found.");
        EXPECT_EQ(sink.errorItems, 1);
        EXPECT_EQ(sink.lastError, "   *** 0 errors found");
        // Empty lines take no progress step and no event round.
        EXPECT_EQ(host.eventRounds, 0);
        EXPECT_EQ(host.progress, 0);
    }
}

// A realistic file of about 50 MB: a cycle of valid and failing records.
struct BigFileLine {
    const char* text;
    bool ok;
    const char* error;  // after "Line n: "
};

const BigFileLine kCycle[] = {
    {"AC R", true, nullptr},
    {"AN ED-R 110 Wackersdorf, a longer name than most to make the file big", true, nullptr},
    {"AL GND", true, nullptr},
    {"AH 2500ft MSL", true, nullptr},
    {"XY 1", false, "XY not implemented."},
    {"* a comment line", true, nullptr},
    {"DA 10,0,90", true, nullptr},
    {"DA 0,0,90", false, "DA returned error: DA data is in unkown format (DA radius must be between 1 and 1000.)."},
    {"SB 255,0,0", true, nullptr},
    {"", true, nullptr},
    {"DP 52:30:00 N 013:20:00 E", true, nullptr},
    {"V D=+", true, nullptr},
};
constexpr std::size_t kCycleLength = std::size(kCycle);

std::string BigFile(std::size_t size, std::int32_t& lines, std::int32_t& errors) {
    std::string bytes;
    bytes.reserve(size + 200);
    lines = errors = 0;
    while (bytes.size() < size) {
        const BigFileLine& line = kCycle[static_cast<std::size_t>(lines) % kCycleLength];
        bytes += line.text;
        bytes += "\r\n";
        ++lines;
        errors += line.ok ? 0 : 1;
    }
    return bytes;
}

TEST(EngineFaults, FiftyMegabyteFile) {
    std::int32_t lines = 0, errors = 0;
    ScratchDir dir;
    const std::string path = dir.Write("big.txt", BigFile(50u << 20, lines, errors));
    CheckingSink sink([&](std::int32_t n, std::string_view& text, bool& ok) {
        if (n > lines) return;
        const BigFileLine& line = kCycle[static_cast<std::size_t>(n - 1) % kCycleLength];
        text = line.text;
        ok = line.ok;
    });
    RecordingHost host;
    Engine engine(sink, host);
    engine.ValidateFile(path);
    EXPECT_EQ(sink.lines, lines + 1);
    EXPECT_EQ(sink.mismatches, 0) << sink.firstMismatch;
    EXPECT_EQ(sink.closingLine, LogLine(errors, " errors found.", false));
    EXPECT_EQ(sink.errorItems, errors + 1);
    EXPECT_EQ(
        sink.firstErrors,
        (Log{"Line 5: XY not implemented.",
             "Line 8: DA returned error: DA data is in unkown format (DA radius must be between 1 and 1000.).",
             "Line 17: XY not implemented.",
             "Line 20: DA returned error: DA data is in unkown format (DA radius must be between 1 and 1000.)."}));
    EXPECT_EQ(sink.lastError, "   *** " + std::to_string(errors) + " errors found");
    EXPECT_EQ(host.progress, 100);
    EXPECT_EQ(RunTitle(sink.name), "Corvala - big.txt");
}

}  // namespace
}  // namespace corvala::faults
