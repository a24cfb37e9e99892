// The validation run: loads a file, walks its lines, dispatches each to the
// validator of its command, and reports through a ResultSink. What the run
// needs from the window it asks of a RunHost, so the same run serves the
// window, the command-line checker and the tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace corvala {

// Where a run writes its results: the log (one line per file line and the
// closing line) and the error list.
class ResultSink {
public:
    virtual ~ResultSink() = default;
    // Empties the log and the error list (start of a run).
    virtual void Clear() = 0;
    // One result line. For ok == false the run has already counted the error
    // in Engine::ErrorCount; the sink links its newest error item to this line.
    virtual void AddResultLine(std::int32_t lineNumber, std::string_view text, bool ok) = 0;
    // One error-list item.
    virtual void AddError(std::string_view message) = 0;
    // Called just before the AddError of a failing line, with its parts:
    // `message` is the validator's message, or empty when the command has no
    // validator. For sinks that report errors in their own shape.
    virtual void NoteLineError(std::int32_t lineNumber, std::string_view command, std::string_view message,
                               bool notImplemented) {
        (void)lineNumber;
        (void)command;
        (void)message;
        (void)notImplemented;
    }
};

// What the run takes from the window. Every call has a do-nothing default.
class RunHost {
public:
    virtual ~RunHost() = default;
    virtual void SetTitle(std::string_view title) { (void)title; }
    virtual void ShowProgressPanel(bool visible) { (void)visible; }
    virtual void SetProgress(int percent) { (void)percent; }
    virtual void SuspendLogPainting(bool suspended) { (void)suspended; }
    // Lets the window handle pending input; Cancel (and a new run) arrive here.
    virtual void ProcessEvents() {}
};

// A sink that writes nothing.
class NullSink final : public ResultSink {
public:
    void Clear() override {}
    void AddResultLine(std::int32_t, std::string_view, bool) override {}
    void AddError(std::string_view) override {}
};

// The window title of a run: "Corvala - " + the text after the last "\" or
// ":" of the path ("/" does not separate).
std::string RunTitle(std::string_view path);

}  // namespace corvala
