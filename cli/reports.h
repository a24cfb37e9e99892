// The four output formats of corvala-check, each a result sink of the run.
// One report serves all files of a command line: the checker announces each
// file with BeginFile, runs the engine over it, and ends it with EndFile (the
// run completed) or FileFailed (the file could not be read).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "cli/options.h"
#include "cli/output.h"
#include "engine/run.h"

namespace corvala::cli {

class Report : public ResultSink {
public:
    explicit Report(Output& out) : out_(out) {}

    // `name` is the FILE as given on the command line ("-" for standard
    // input); `multiple` tells whether the command line names several FILEs.
    virtual void BeginFile(std::string_view name, bool multiple);
    virtual void EndFile() {}
    virtual void FileFailed(std::string_view message) { (void)message; }
    // After the last file.
    virtual void Finish() {}

    // Failing lines of the current file so far.
    std::int64_t FileErrors() const noexcept { return fileErrors_; }

    void Clear() override {}
    void AddResultLine(std::int32_t, std::string_view, bool) override {}
    void AddError(std::string_view) override {}
    void NoteLineError(std::int32_t lineNumber, std::string_view command, std::string_view message,
                       bool notImplemented) override;

protected:
    Output& out_;
    std::string name_;
    bool multiple_ = false;
    std::int64_t fileErrors_ = 0;
};

// Creates the report of `format`; `color` applies to the log format.
std::unique_ptr<Report> MakeReport(Format format, Output& out, bool color);

// The text a file's block header shows for `name`.
std::string BlockTitle(std::string_view name);

}  // namespace corvala::cli
