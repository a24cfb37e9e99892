// The validation run: takes a file's lines, checks each against the
// validator of its command (and, when asked, the checks beyond single
// lines), and reports verdicts and findings as values to a FindingSink
// (engine/model/findings.h). What the run needs from the window it asks of a
// RunHost, so the same run serves the window, the command-line checker and
// the tests.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/input/line_source.h"

namespace corvala {

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
