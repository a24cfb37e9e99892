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
#include "engine/rules/checks_beyond_lines.h"
#include "engine/model/findings.h"
#include "engine/present/report_texts.h"

namespace corvala::cli {

// How a report writes.
struct ReportStyle {
    // Classic: the window's texts; Detailed: severities and rule ids.
    TextStyle text = TextStyle::Classic;
    // Colour the markers of the log format.
    bool color = false;
    // Show control bytes of lines and messages as escapes (standard output
    // is a terminal, or colour is on); file names in text formats are
    // always escaped.
    bool escape = false;
    // The run's checks: the map formats analyse each block as they would.
    CheckSettings checks;
    // The checks as the run resolved them for the file being checked (under
    // --rules=auto, with the record set the file declares), once its first
    // line is reported; null for `checks` as they are.
    const CheckSettings* fileChecks = nullptr;
};

class Report : public FindingSink {
public:
    Report(Output& out, const ReportStyle& style) : out_(out), style_(style) {}
    // Where the run keeps the checks it resolved for each file.
    void FollowFileChecks(const CheckSettings* checks) noexcept { style_.fileChecks = checks; }

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
    // Writes `text`, its control bytes escaped when the style asks for it.
    void WriteText(std::string_view text);

    Output& out_;
    ReportStyle style_;
    std::string name_;
    bool multiple_ = false;
    RunEnd end_;
};

// Creates the report of `format`.
std::unique_ptr<Report> MakeReport(Format format, Output& out, const ReportStyle& style);

// The text a file's block header shows for `name`.
std::string BlockTitle(std::string_view name);

}  // namespace corvala::cli
