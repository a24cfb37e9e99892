// Helpers of the fault tests: a scratch folder, a sink that records a run as
// the window shows it, and a way to run corvala-check.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"
#include "engine/run.h"

namespace corvala::faults {

// A fresh folder under the system's temporary folder, removed with its
// content at the end of the test.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    // Writes `bytes` to the file `name` in the folder; returns its path.
    std::string Write(const std::string& name, std::string_view bytes) const;

private:
    std::string path_;
};

// A log line as the window and `--format=log` show it.
std::string LogLine(std::int32_t lineNumber, std::string_view text, bool ok);

// Records a run: the log lines and the error items, each as one string.
class RecordingSink final : public ResultSink {
public:
    void Clear() override;
    void AddResultLine(std::int32_t lineNumber, std::string_view text, bool ok) override;
    void AddError(std::string_view message) override;

    int clears = 0;
    std::vector<std::string> log;
    std::vector<std::string> errors;
};

// For runs too big to record: checks every result line against `expected`
// (the raw text and the verdict of line n) as it arrives and keeps only the
// error items and the closing line.
class CheckingSink final : public ResultSink {
public:
    using Expectation = std::function<void(std::int32_t lineNumber, std::string_view& text, bool& ok)>;
    explicit CheckingSink(Expectation expected) : expected_(std::move(expected)) {}

    void Clear() override;
    void AddResultLine(std::int32_t lineNumber, std::string_view text, bool ok) override;
    void AddError(std::string_view message) override;

    std::int64_t lines = 0;  // result lines, the closing line included
    std::int64_t mismatches = 0;  // result lines that differ from the expectation
    std::string firstMismatch;
    std::string closingLine;
    std::int64_t errorItems = 0;
    std::vector<std::string> firstErrors;  // the first four error items
    std::string lastError;

private:
    Expectation expected_;
    std::int64_t expectedLine_ = 0;
};

// The outcome of one run of a program.
struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs `program` with `args`, standard input from `stdinPath` (or
// /dev/null), and collects its standard output and error.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& stdinPath = "/dev/null");

// The message of a file that cannot be opened, with the system's cause.
std::string CannotOpen(const std::string& fullPath, const std::string& cause);

}  // namespace corvala::faults
