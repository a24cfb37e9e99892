// The validation run, observed through a host and a sink that record every
// call in one sequence: title, clearing, progress, the panel, suspension of
// painting, event processing, result lines and error items.
#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine/run/engine.h"
#include "engine/model/failures.h"
#include "engine/present/report_texts.h"
#include "test_support.h"
#include "tests/support/recording_sink.h"

using namespace std::string_view_literals;
using corvala::test::ScopedSeparator;
using corvala::test::ScratchDir;

namespace corvala {
namespace {

using Events = std::vector<std::string>;

// An error item and the log line it is linked to (-1: none, its integer stays 0).
using Item = std::pair<std::string, int>;

// The log and the list as the window holds them: each item of a line points
// at that line's log line (by index) when it is marked, the closing item at
// the closing line when that is marked; other items point nowhere (-1).
class FakeSink : public test::RecordingSink {
public:
    explicit FakeSink(Events& events) : events_(events) {
        onEvent = [this](const std::string& event) { events_.push_back(event); };
    }

    void RunStarted(const RunStart& start) override {
        // What the window does first: its title, then empty results.
        events_.push_back("title " + RunTitle(start.name));
        events_.push_back("clear");
        onEvent = nullptr;
        test::RecordingSink::RunStarted(start);
        onEvent = [this](const std::string& event) { events_.push_back(event); };
        items.clear();
        waiting_.clear();
    }
    void Reported(const Finding& finding) override {
        test::RecordingSink::Reported(finding);
        if (onError) onError(errors.back());
        items.emplace_back(errors.back(), -1);
        waiting_.push_back(items.size() - 1);
    }
    void LineChecked(const LineVerdict& verdict) override {
        if (onResultLine) onResultLine(LogLineText(verdict.verdict, verdict.line, verdict.raw));
        test::RecordingSink::LineChecked(verdict);
        Link(verdict.verdict);
    }
    void RunFinished(const RunEnd& end) override {
        const std::size_t before = errors.size();
        test::RecordingSink::RunFinished(end);
        waiting_.clear();
        for (std::size_t i = before; i < errors.size(); ++i) items.emplace_back(errors[i], -1);
        waiting_.push_back(items.size() - 1);
        Link(end.errors > 0 ? Verdict::Error : Verdict::Ok);
    }

    Engine* engine = nullptr;
    std::vector<Item> items;
    std::vector<std::int32_t> errorCountAtErrorLine;
    std::function<void(const std::string&)> onResultLine;
    std::function<void(std::string_view)> onError;

private:
    void Link(Verdict verdict) {
        if (verdict == Verdict::Error) {
            if (engine) errorCountAtErrorLine.push_back(engine->ErrorCount);
            for (const std::size_t item : waiting_) items[item].second = static_cast<int>(log.size()) - 1;
        }
        waiting_.clear();
    }

    Events& events_;
    std::vector<std::size_t> waiting_;
};

class FakeHost : public RunHost {
public:
    explicit FakeHost(Events& events) : events_(events) {}

    void ShowProgressPanel(bool visible) override {
        events_.push_back(visible ? "panel shown" : "panel hidden");
        panelVisible = visible;
    }
    void SetProgress(int percent) override {
        events_.push_back("progress " + std::to_string(percent));
        progress.push_back(percent);
    }
    void SuspendLogPainting(bool suspended) override {
        events_.push_back(suspended ? "suspend" : "resume");
        suspendDepth += suspended ? 1 : -1;
    }
    void ProcessEvents() override {
        events_.push_back("events");
        ++processEventsCalls;
        if (onProcessEvents) onProcessEvents(processEventsCalls);
    }

    bool panelVisible = false;
    int suspendDepth = 0;
    int processEventsCalls = 0;
    std::vector<int> progress;
    std::function<void(int)> onProcessEvents;

private:
    Events& events_;
};

class RunTest : public ::testing::Test {
protected:
    RunTest() { sink_.engine = &engine_; }

    // Writes `bytes` to a file named `name` and runs it.
    std::string Run(std::string_view bytes, const std::string& name = "run.txt") {
        const std::string path = dir_.Write(name, bytes);
        engine_.ValidateFile(path);
        return path;
    }

    std::size_t Count(std::string_view event) const {
        return static_cast<std::size_t>(std::count(events_.begin(), events_.end(), event));
    }

    ScopedSeparator point_{'.'};
    ScratchDir dir_;
    Events events_;
    FakeSink sink_{events_};
    FakeHost host_{events_};
    Engine engine_{sink_, host_};
};

// The log and list of `bytes` run by a fresh engine from idle.
std::pair<std::vector<std::string>, std::vector<Item>> RunFromIdle(const std::string& path) {
    Events events;
    FakeSink sink(events);
    FakeHost host(events);
    Engine engine(sink, host);
    engine.ValidateFile(path);
    return {sink.log, sink.items};
}

TEST_F(RunTest, EmptyFileGivesOnlyTheSummary) {
    Run("");
    EXPECT_EQ(sink_.log, (std::vector<std::string>{" ok 0 No errors found."}));
    EXPECT_EQ(sink_.items, (std::vector<Item>{{"   *** 0 errors found", -1}}));
    EXPECT_EQ(events_, (Events{
                           "title Corvala - run.txt",
                           "clear",
                           "progress 0",
                           "panel shown",
                           "suspend",
                           "resume",
                           "panel hidden",
                           "error    *** 0 errors found",
                           "line  ok 0 No errors found.",
                       }));
    EXPECT_EQ(engine_.ErrorCount, 0);
    EXPECT_FALSE(engine_.Running());
}

// Per non-empty line: its error item, its result line, the progress and
// event processing; empty lines only their result line.
TEST_F(RunTest, OrderOfCallsForEachLine) {
    Run("XY\n\nTO");
    EXPECT_EQ(events_, (Events{
                           "title Corvala - run.txt",
                           "clear",
                           "progress 0",
                           "panel shown",
                           "suspend",
                           "error Line 1: XY not implemented.",
                           "line err 1 XY",
                           "progress 33",
                           "events",
                           "line  ok 2 ",
                           "line  ok 3 TO",
                           "progress 100",
                           "events",
                           "resume",
                           "panel hidden",
                           "error    *** 1 errors found",
                           "line err 1  errors found.",
                       }));
}

// Empty lines (blank, comment only) are ok lines with no progress, no event
// processing and no cancel check.
TEST_F(RunTest, CommentAndBlankLinesAreEmptyLines) {
    Run("* note\n   \n\t\n\nAC R * class R\n*\nAC Q *a*b\n");
    EXPECT_EQ(sink_.log, (std::vector<std::string>{
                             " ok 1 * note",
                             " ok 2    ",
                             " ok 3 \t",
                             " ok 4 ",
                             " ok 5 AC R * class R",
                             " ok 6 *",
                             " ok 7 AC Q *a*b",
                             " ok 0 No errors found.",
                         }));
    EXPECT_EQ(sink_.items, (std::vector<Item>{{"   *** 0 errors found", -1}}));
    EXPECT_EQ(host_.progress, (std::vector<int>{0, 71, 100}));
    EXPECT_EQ(host_.processEventsCalls, 2);
}

// The command is the text before the first blank of the trimmed, comment-free
// line; the argument everything after it, untrimmed; the log shows the raw
// line; each error item is linked to its line, the summary item to the last.
TEST_F(RunTest, SplitsCommandAndArgumentAndLogsTheRawLine) {
    Run("   AC   R\r\n"
        "AC\tR\r\n"
        "ac R\r\n"
        "ac r\r\n"
        "XY 1\r\n"
        "AC  R * two blanks\r\n"
        "TO\r\n"
        "V D=* note\r\n"
        "DA 0,0,90\r\n");
    EXPECT_EQ(sink_.log, (std::vector<std::string>{
                             "err 1    AC   R",
                             "err 2 AC\tR",
                             " ok 3 ac R",
                             "err 4 ac r",
                             "err 5 XY 1",
                             "err 6 AC  R * two blanks",
                             " ok 7 TO",
                             "err 8 V D=* note",
                             "err 9 DA 0,0,90",
                             "err 7  errors found.",
                         }));
    EXPECT_EQ(sink_.items, (std::vector<Item>{
                               {"Line 1: AC returned error: Class type \"  R\" unkown.", 0},
                               {"Line 2: AC\tR not implemented.", 1},
                               {"Line 4: ac returned error: Class type \"r\" unkown.", 3},
                               {"Line 5: XY not implemented.", 4},
                               {"Line 6: AC returned error: Class type \" R\" unkown.", 5},
                               {"Line 8: V returned error: Variable assignment data is in unkown format (D "
                                "values can be only - or +.).",
                                7},
                               {"Line 9: DA returned error: DA data is in unkown format (DA radius must be "
                                "between 1 and 1000.).",
                                8},
                               {"   *** 7 errors found", 9},
                           }));
    // The run counts each error line before handing it to the sink.
    EXPECT_EQ(sink_.errorCountAtErrorLine, (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6, 7, 7}));
    EXPECT_EQ(engine_.ErrorCount, 7);
}

TEST_F(RunTest, ProgressIsRoundedHalfToEven) {
    const std::pair<std::string, std::vector<int>> cases[] = {
        {"TO\nTO\nTO", {0, 33, 67, 100}}, {"TO\nTO\nTO\nTO\nTO\nTO\nTO\nTO", {0, 12, 25, 38, 50, 62, 75, 88, 100}},
        {"TO\n\nTO", {0, 33, 100}},       {"\n\nTO\n\n", {0, 75}},
        {"\n* only comments\n", {0}},
    };
    for (const auto& [bytes, progress] : cases) {
        host_.progress.clear();
        host_.processEventsCalls = 0;
        Run(bytes);
        EXPECT_EQ(host_.progress, progress) << bytes;
        EXPECT_EQ(host_.processEventsCalls, static_cast<int>(progress.size()) - 1) << bytes;
    }
}

TEST_F(RunTest, ProgressOfLine199Of200Is100) {
    std::string bytes;
    for (int i = 0; i < 200; ++i) bytes += "TO\n";
    Run(bytes);
    ASSERT_EQ(host_.progress.size(), 201u);
    EXPECT_EQ(host_.progress[1], 0);  // 0.5 rounds to 0
    EXPECT_EQ(host_.progress[3], 2);  // 1.5 rounds to 2
    EXPECT_EQ(host_.progress[5], 2);  // 2.5 rounds to 2
    EXPECT_EQ(host_.progress[199], 100);
    EXPECT_EQ(host_.progress[200], 100);
}

// Cancel arrives while events are processed; the line being processed keeps
// its result, then the cancellation item, the clean-up and the summary.
TEST_F(RunTest, CancelStopsAfterTheCurrentLine) {
    host_.onProcessEvents = [this](int call) {
        EXPECT_TRUE(engine_.Running());
        if (call == 2) engine_.Cancelled = true;
    };
    Run("TO\nXY\nTO\nTO\n");
    EXPECT_EQ(sink_.log, (std::vector<std::string>{" ok 1 TO", "err 2 XY", "err 1  errors found."}));
    EXPECT_EQ(sink_.items, (std::vector<Item>{
                               {"Line 2: XY not implemented.", 1},
                               {"*** Validation CANCELLED ***", -1},
                               {"   *** 1 errors found", 2},
                           }));
    const Events tail(events_.end() - 8, events_.end());
    EXPECT_EQ(tail, (Events{
                        "line err 2 XY",
                        "progress 50",
                        "events",
                        "resume",
                        "panel hidden",
                        "error *** Validation CANCELLED ***",
                        "error    *** 1 errors found",
                        "line err 1  errors found.",
                    }));
    EXPECT_EQ(host_.processEventsCalls, 2);
}

TEST_F(RunTest, CancelledRunWithoutErrors) {
    host_.onProcessEvents = [this](int) { engine_.Cancelled = true; };
    Run("TO\nTO\n");
    EXPECT_EQ(sink_.log, (std::vector<std::string>{" ok 1 TO", " ok 0 No errors found."}));
    EXPECT_EQ(sink_.items, (std::vector<Item>{{"*** Validation CANCELLED ***", -1}, {"   *** 0 errors found", -1}}));
}

// The flag is read only after non-empty lines.
TEST_F(RunTest, CancelIsNotCheckedAfterEmptyLines) {
    sink_.onResultLine = [this](const std::string& line) {
        if (line == " ok 2 ") engine_.Cancelled = true;
    };
    Run("TO\n\n\nTO\nTO\n");
    EXPECT_EQ(sink_.log,
              (std::vector<std::string>{" ok 1 TO", " ok 2 ", " ok 3 ", " ok 4 TO", " ok 0 No errors found."}));
    EXPECT_EQ(sink_.items, (std::vector<Item>{{"*** Validation CANCELLED ***", -1}, {"   *** 0 errors found", -1}}));
    // Events are processed before the flag is read.
    const auto line4 = std::find(events_.begin(), events_.end(), "line  ok 4 TO");
    ASSERT_LE(line4 + 4, events_.end());
    EXPECT_EQ(Events(line4, line4 + 6), (Events{"line  ok 4 TO", "progress 80", "events", "resume", "panel hidden",
                                                "error *** Validation CANCELLED ***"}));
}

// A Cancel between runs has no effect on the next run; the count starts anew.
TEST_F(RunTest, RunStartResetsCancelledAndErrorCount) {
    Run("XY\nXY\n", "first.txt");
    EXPECT_EQ(engine_.ErrorCount, 2);
    engine_.Cancelled = true;
    Run("TO\nTO\nTO\n", "second.txt");
    EXPECT_FALSE(engine_.Cancelled);
    EXPECT_EQ(sink_.log, (std::vector<std::string>{" ok 1 TO", " ok 2 TO", " ok 3 TO", " ok 0 No errors found."}));
    EXPECT_EQ(sink_.items, (std::vector<Item>{{"   *** 0 errors found", -1}}));
    EXPECT_EQ(engine_.ErrorCount, 0);
}

// A file that cannot be opened: the title is set and the results cleared,
// the panel shown and hidden again, no painting suspended, no summary.
TEST_F(RunTest, FileThatCannotBeOpened) {
    Run("XY\n", "earlier.txt");
    events_.clear();
    const std::string path = dir_.path() + "/missing.txt";
    try {
        engine_.ValidateFile(path);
        ADD_FAILURE() << "no failure for a missing file";
    } catch (const FileOpenError& e) {
        EXPECT_EQ(e.message(), "Cannot open file \"" + path + "\". No such file or directory");
    }
    EXPECT_EQ(events_, (Events{
                           "title Corvala - missing.txt",
                           "clear",
                           "progress 0",
                           "panel shown",
                           "panel hidden",
                       }));
    EXPECT_TRUE(sink_.log.empty());
    EXPECT_TRUE(sink_.items.empty());
    EXPECT_FALSE(engine_.Running());
    EXPECT_FALSE(host_.panelVisible);
}

// Revalidate before any Open passes the empty path.
TEST_F(RunTest, EmptyPathFailsWithTheBareTitle) {
    try {
        engine_.ValidateFile("");
        ADD_FAILURE() << "no failure for the empty path";
    } catch (const FileOpenError& e) {
        EXPECT_EQ(e.message().rfind("Cannot open file \"\". ", 0), 0u) << e.message();
    }
    ASSERT_FALSE(events_.empty());
    EXPECT_EQ(events_.front(), "title Corvala - ");
    EXPECT_EQ(Count("suspend"), 0u);
    EXPECT_EQ(events_.back(), "panel hidden");
}

// A sink that cannot take a line ends the run: clean-up, no summary, what it
// took stays.
TEST_F(RunTest, FailingResultLineEndsTheRunWithCleanUp) {
    int lines = 0;
    sink_.onResultLine = [&lines](const std::string&) {
        if (++lines == 2) throw Failure("RichEdit line insertion error");
    };
    try {
        Run("TO\nXY\nTO\n");
        ADD_FAILURE() << "the sink's failure did not leave the run";
    } catch (const Failure& e) {
        EXPECT_EQ(e.message(), "RichEdit line insertion error");
    }
    EXPECT_EQ(sink_.log, (std::vector<std::string>{" ok 1 TO"}));
    EXPECT_EQ(sink_.items, (std::vector<Item>{{"Line 2: XY not implemented.", -1}}));
    const Events tail(events_.end() - 3, events_.end());
    EXPECT_EQ(tail, (Events{"error Line 2: XY not implemented.", "resume", "panel hidden"}));
    EXPECT_EQ(host_.suspendDepth, 0);
    EXPECT_FALSE(host_.panelVisible);
    EXPECT_FALSE(engine_.Running());
}

TEST_F(RunTest, FailingErrorItemEndsTheRunWithCleanUp) {
    sink_.onError = [](std::string_view) { throw Failure("Unable to insert a line"); };
    try {
        Run("TO\nXY\nTO\n");
        ADD_FAILURE() << "the sink's failure did not leave the run";
    } catch (const Failure& e) {
        EXPECT_EQ(e.message(), "Unable to insert a line");
    }
    EXPECT_EQ(sink_.log, (std::vector<std::string>{" ok 1 TO"}));
    EXPECT_EQ(Count("resume"), 1u);
    EXPECT_EQ(events_.back(), "panel hidden");
    EXPECT_FALSE(engine_.Running());
}

// Standard input runs the same way under a name of its own.
TEST_F(RunTest, ValidateBytesRunsLikeAFile) {
    engine_.ValidateBytes("<stdin>", std::string("XY\r\nTO\0AC x", 11));
    EXPECT_EQ(events_.front(), "title Corvala - <stdin>");
    EXPECT_EQ(sink_.log, (std::vector<std::string>{"err 1 XY", " ok 2 TO", "err 1  errors found."}));
    EXPECT_EQ(sink_.items, (std::vector<Item>{{"Line 1: XY not implemented.", 0}, {"   *** 1 errors found", 2}}));
}

TEST(RunTitle, FileNameAfterTheLastBackslashColonOrSlash) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"C:\\dir\\file.txt"sv, "Corvala - file.txt"sv},
        {"a:b"sv, "Corvala - b"sv},
        {"a\\b:c/d.txt"sv, "Corvala - d.txt"sv},
        {"/home/user/x.txt"sv, "Corvala - x.txt"sv},
        {"dir/"sv, "Corvala - "sv},
        {"x.txt"sv, "Corvala - x.txt"sv},
        {""sv, "Corvala - "sv},
        {"dir\\"sv, "Corvala - "sv},
        {"c:"sv, "Corvala - "sv},
    };
    for (const auto& [path, title] : cases) {
        EXPECT_EQ(RunTitle(path), title) << path;
    }
}

// --- A run started during another supersedes it ---------------------------------
// The earlier run stops after the line it was processing and writes nothing
// more; the newest run's results are those of a run started from idle.
TEST_F(RunTest, RunStartedDuringAnotherSupersedesIt) {
    const std::string second = dir_.Write("second.txt", "AC R\nQQ\nXY 2\n");
    host_.onProcessEvents = [&](int call) {
        if (call == 1) {
            EXPECT_TRUE(engine_.Running());
            engine_.ValidateFile(second);
        }
    };
    Run("TO\nXY\nXY\nAC r\n", "first.txt");
    const auto [log, items] = RunFromIdle(second);
    EXPECT_EQ(sink_.log, log);
    EXPECT_EQ(sink_.items, items);
    EXPECT_EQ(engine_.ErrorCount, 2);
    // Nothing of the first run follows the second's summary.
    const auto summary = std::find(events_.begin(), events_.end(), "line err 2  errors found.");
    ASSERT_NE(summary, events_.end());
    for (auto it = summary + 1; it != events_.end(); ++it) {
        EXPECT_NE(it->rfind("line ", 0), 0u) << *it;
        EXPECT_NE(it->rfind("error ", 0), 0u) << *it;
        EXPECT_NE(it->rfind("progress ", 0), 0u) << *it;
        EXPECT_NE(*it, "events");
    }
    EXPECT_EQ(host_.processEventsCalls, 4);
    EXPECT_FALSE(host_.panelVisible);
    EXPECT_EQ(host_.suspendDepth, 0);
    EXPECT_FALSE(engine_.Running());
}

// Superseded at its last line, the earlier run writes no summary either.
TEST_F(RunTest, SupersededAtTheLastLineWritesNoSummary) {
    const std::string second = dir_.Write("second.txt", "TO\n");
    host_.onProcessEvents = [&](int call) {
        if (call == 1) engine_.ValidateFile(second);
    };
    Run("XY\n", "first.txt");
    EXPECT_EQ(sink_.log, (std::vector<std::string>{" ok 1 TO", " ok 0 No errors found."}));
    EXPECT_EQ(sink_.items, (std::vector<Item>{{"   *** 0 errors found", -1}}));
    EXPECT_EQ(engine_.ErrorCount, 0);
}

// A Cancel during the newer run cancels that run only; the earlier one
// writes no second cancellation item.
TEST_F(RunTest, CancelDuringTheNewerRun) {
    const std::string second = dir_.Write("second.txt", "XY\nTO\nTO\n");
    host_.onProcessEvents = [&](int call) {
        if (call == 1) engine_.ValidateFile(second);
        if (call == 2) engine_.Cancelled = true;
    };
    Run("TO\nTO\nTO\n", "first.txt");
    EXPECT_EQ(sink_.log, (std::vector<std::string>{"err 1 XY", "err 1  errors found."}));
    EXPECT_EQ(sink_.items, (std::vector<Item>{
                               {"Line 1: XY not implemented.", 0},
                               {"*** Validation CANCELLED ***", -1},
                               {"   *** 1 errors found", 1},
                           }));
    EXPECT_EQ(Count("error *** Validation CANCELLED ***"), 1u);
}

// The same engine can run again, from idle, after a superseded run.
TEST_F(RunTest, NextRunAfterASupersededRunIsFromIdle) {
    const std::string second = dir_.Write("second.txt", "XY\n");
    host_.onProcessEvents = [&](int call) {
        if (call == 1) engine_.ValidateFile(second);
    };
    Run("TO\nTO\n", "first.txt");
    host_.onProcessEvents = nullptr;
    const std::string third = Run("AC x\nTO\n", "third.txt");
    const auto [log, items] = RunFromIdle(third);
    EXPECT_EQ(sink_.log, log);
    EXPECT_EQ(sink_.items, items);
    EXPECT_EQ(engine_.ErrorCount, 1);
}

// A newer run that fails to open its file has still started: it cleared the
// results, and the earlier run writes nothing more.
TEST_F(RunTest, NewerRunThatCannotOpenItsFileStillSupersedes) {
    const std::string missing = dir_.path() + "/missing.txt";
    bool failed = false;
    host_.onProcessEvents = [&](int call) {
        if (call != 1) return;
        try {
            engine_.ValidateFile(missing);
        } catch (const FileOpenError&) {
            failed = true;  // what the window's top-level report would show
        }
    };
    Run("TO\nXY\n", "first.txt");
    EXPECT_TRUE(failed);
    EXPECT_TRUE(sink_.log.empty());
    EXPECT_TRUE(sink_.items.empty());
    EXPECT_FALSE(host_.panelVisible);
    EXPECT_EQ(host_.suspendDepth, 0);
    EXPECT_FALSE(engine_.Running());
}

// With the checks beyond single lines, the lines go out a batch at a time
// while those checks run beside the reading; whatever the point where a run
// ends, every line that went out did so in order, after every finding that
// names it, and a cancelled run still lists every line it read. A file of
// many small blocks, each with a block fault, over several batches.
struct HeldRunCase {
    const char* name;
    int cancelAtEvent;     // 0: the run completes
    int failAtVerdict;     // 0: the sink never fails
    std::size_t expectedLines;
};

class HeldRun : public RunTest, public ::testing::WithParamInterface<HeldRunCase> {};

TEST_P(HeldRun, LinesGoOutInOrderAfterTheirFindings) {
    const HeldRunCase& c = GetParam();
    std::string text;
    for (int block = 0; block < 1500; ++block)
        text += "AC D\nAN Zone\nAL GND\nAH FL100\nDP 50:00:00 N 010:00:00 E\nDP 50:10:00 N 010:00:00 E\n";
    engine_.Settings.blocks = true;
    engine_.Settings.extended = true;
    host_.onProcessEvents = [&](int call) {
        if (call == c.cancelAtEvent) engine_.Cancelled = true;
    };
    int verdicts = 0;
    sink_.onResultLine = [&](const std::string&) {
        if (++verdicts == c.failAtVerdict) throw Failure("RichEdit line insertion error");
    };
    try {
        Run(text);
        EXPECT_EQ(c.failAtVerdict, 0);
    } catch (const Failure& e) {
        EXPECT_NE(c.failAtVerdict, 0) << e.message();
    }
    EXPECT_FALSE(engine_.Running());
    EXPECT_FALSE(host_.panelVisible);
    EXPECT_EQ(host_.suspendDepth, 0);

    // The file's lines that went out, then (for a run that ended) its closing line.
    std::size_t lines = 0;
    while (lines < sink_.log.size() && sink_.log[lines].find(" " + std::to_string(lines + 1) + " ") == 3) ++lines;
    EXPECT_EQ(lines, c.expectedLines);
    EXPECT_EQ(sink_.log.size(), lines + (c.failAtVerdict == 0 ? 1 : 0));
    // Each finding's item is linked to its own line's log line.
    std::size_t findings = 0;
    for (const auto& [item, logLine] : sink_.items) {
        if (item.rfind("Line ", 0) != 0) continue;
        ++findings;
        const std::string number = item.substr(5, item.find(':') - 5);
        if (logLine < 0) continue;  // its line had not gone out when the sink failed
        EXPECT_EQ(sink_.log[static_cast<std::size_t>(logLine)].find(" " + number + " "), 3u) << item;
    }
    EXPECT_GE(findings, lines / 6);
}

INSTANTIATE_TEST_SUITE_P(Run, HeldRun,
                         ::testing::Values(HeldRunCase{"Completes", 0, 0, 9000},
                                           HeldRunCase{"CancelledInTheSecondBatch", 3000, 0, 3000},
                                           HeldRunCase{"CancelledAtTheLastLine", 9000, 0, 9000},
                                           HeldRunCase{"SinkFailsInTheFirstBatch", 0, 1000, 999}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvala
