// Helpers of the fault tests: a sink that checks a run too big to record
// line by line, and the shared test support (scratch folders, running a
// program, the recording sink).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run/engine.h"
#include "engine/model/findings.h"
#include "tests/support/process.h"
#include "tests/support/recording_sink.h"
#include "tests/support/scratch.h"

namespace corvala::faults {

using test::ProgramRun;
using test::RecordingSink;
using test::RunProgram;
using test::ScratchDir;

// A log line as the window and `--format=log` show it.
std::string LogLine(std::int32_t lineNumber, std::string_view text, bool ok);

// For runs too big to record: checks every result line against `expected`
// (the raw text and the verdict of line n) as it arrives and keeps only the
// error items and the closing line.
class CheckingSink final : public FindingSink {
public:
    using Expectation = std::function<void(std::int32_t lineNumber, std::string_view& text, bool& ok)>;
    explicit CheckingSink(Expectation expected) : expected_(std::move(expected)) {}

    void RunStarted(const RunStart& start) override;
    void Reported(const Finding& finding) override;
    void LineChecked(const LineVerdict& verdict) override;
    void RunFinished(const RunEnd& end) override;

    std::string name;
    std::int64_t lines = 0;  // result lines, the closing line included
    std::int64_t mismatches = 0;  // result lines that differ from the expectation
    std::string firstMismatch;
    std::string closingLine;
    std::int64_t errorItems = 0;
    std::vector<std::string> firstErrors;  // the first four error items
    std::string lastError;

private:
    void Item(std::string text);
    Expectation expected_;
};

// The message of a file that cannot be opened, with the system's cause.
std::string CannotOpen(const std::string& fullPath, const std::string& cause);

}  // namespace corvala::faults
