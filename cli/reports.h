// The output formats of corvala-check, each a FindingSink of the run. One
// report serves all files of a command line: the checker announces each
// file with BeginFile, runs the engine over it (which ends with
// RunFinished), or tells the report that the file failed (FileFailed).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "cli/options.h"
#include "cli/output.h"
#include "engine/findings.h"
#include "engine/texts.h"

namespace corvala::cli {

class Report : public FindingSink {
public:
    Report(Output& out, TextStyle style) : out_(out), style_(style) {}

    // `name` is the FILE as given on the command line ("-" for standard
    // input); `multiple` tells whether the command line names several FILEs.
    virtual void BeginFile(std::string_view name, bool multiple);
    virtual void FileFailed(std::string_view message) { (void)message; }
    // After the last file.
    virtual void Finish() {}

    // The findings of the current file by severity, once its run finished.
    const RunEnd& FileEnd() const noexcept { return end_; }

    void RunStarted(const RunStart&) override {}
    void Reported(const Finding&) override {}
    void LineChecked(const LineVerdict&) override {}
    void RunFinished(const RunEnd& end) override { end_ = end; }

protected:
    Output& out_;
    TextStyle style_;
    std::string name_;
    bool multiple_ = false;
    RunEnd end_;
};

// Creates the report of `format`; `color` applies to the log format.
std::unique_ptr<Report> MakeReport(Format format, Output& out, TextStyle style, bool color);

// The text a file's block header shows for `name`.
std::string BlockTitle(std::string_view name);

}  // namespace corvala::cli
