// The validation run: takes a file's lines, checks each against the
// validator of its command (and, when asked, the checks beyond single
// lines), and reports verdicts and findings as values to a FindingSink
// (engine/findings.h). What the run needs from the window it asks of a
// RunHost, so the same run serves the window, the command-line checker and
// the tests.
#pragma once

#include <cstdint>
#include <string_view>

namespace corvala {

// Where a run takes its lines from: a whole file in memory, or a stream.
class LineSource {
public:
    virtual ~LineSource() = default;
    // Called once before the first line, after the run has shown its
    // progress panel: a source that loads a whole file loads it here, and
    // raises FileOpenError when it cannot.
    virtual void Open() {}
    // The next line, valid until the next call; false after the last one.
    virtual bool Next(std::string_view& line) = 0;
    // The number of lines when it is known in advance (for the progress
    // bar), otherwise -1.
    virtual std::int64_t Count() const noexcept { return -1; }
    // True when a line stays valid until the run ends (the whole file is in
    // memory), so that the run need not copy the lines it holds back.
    virtual bool LinesStay() const noexcept { return false; }
    // Starts again at the first line; false when the source cannot (a
    // stream read only once).
    virtual bool Rewind() { return false; }
};

// What the run takes from the window. Every call has a do-nothing default.
class RunHost {
public:
    virtual ~RunHost() = default;
    virtual void ShowProgressPanel(bool visible) { (void)visible; }
    virtual void SetProgress(int percent) { (void)percent; }
    virtual void SuspendLogPainting(bool suspended) { (void)suspended; }
    // Lets the window handle pending input; Cancel (and a new run) arrive here.
    virtual void ProcessEvents() {}
};

// The largest line number a run can report: line numbers are 32-bit.
inline constexpr std::int64_t kMaxLines = 2147483647;

}  // namespace corvala
