// The text formats: the error list, the results log and compiler-style
// lines. The JSON and SARIF documents are in structured_reports.cpp.
#include "cli/reports.h"

#include <charconv>

#include "cli/escape.h"
#include "cli/map_reports.h"
#include "cli/structured_reports.h"

namespace corvala::cli {

namespace {

void WriteNumber(Output& out, std::int64_t value) {
    char digits[24];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
    (void)ec;
    out.Write(std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

// The errors and log formats: one block per file, with a header line when
// the command line names several files. The header is written with the
// block's first line, so a file that cannot be read leaves no block.
class BlockReport : public Report {
public:
    using Report::Report;

    void BeginFile(std::string_view name, bool multiple) override {
        Report::BeginFile(name, multiple);
        headerPending_ = multiple;
    }

protected:
    void StartBlock() {
        if (!headerPending_) return;
        headerPending_ = false;
        if (blocksWritten_++ > 0) out_.Put('\n');
        out_.Write("==> ");
        out_.Write(EscapeControls(BlockTitle(name_)));
        out_.Write(" <==\n");
    }

private:
    bool headerPending_ = false;
    int blocksWritten_ = 0;
};

// The error list as the window holds it.
class ErrorsReport final : public BlockReport {
public:
    using BlockReport::BlockReport;

    void Reported(const Finding& finding) override { Item(ErrorItemText(finding, style_.text)); }
    void RunFinished(const RunEnd& end) override {
        Report::RunFinished(end);
        if (end.cancelled) Item(kCancelledItem);
        Item(SummaryItemText(end, style_.text));
    }

private:
    void Item(std::string_view text) {
        StartBlock();
        WriteText(text);
        out_.Put('\n');
    }
};

// The results log as the window shows it, with the markers in colour when
// asked.
class LogReport final : public BlockReport {
public:
    using BlockReport::BlockReport;

    void LineChecked(const LineVerdict& verdict) override { Line(verdict.verdict, verdict.line, verdict.raw); }
    void RunFinished(const RunEnd& end) override {
        Report::RunFinished(end);
        const SummaryLine summary = SummaryLogLine(end, style_.text);
        Line(summary.verdict, summary.number, summary.text);
    }

private:
    void Line(Verdict verdict, std::int64_t number, std::string_view text) {
        StartBlock();
        if (style_.color) {
            out_.Write(verdict == Verdict::Ok ? "\x1b[1;32m" : verdict == Verdict::Error ? "\x1b[1;31m" : "\x1b[1;33m");
            out_.Write(MarkerText(verdict));
            out_.Write("\x1b[0m ");
        } else {
            out_.Write(MarkerText(verdict));
            out_.Put(' ');
        }
        WriteNumber(out_, number);
        out_.Put(' ');
        WriteText(text);
        out_.Put('\n');
    }
};

// FILE:LINE: SEVERITY: MESSAGE, as compilers write it (FILE:LINE:COLUMN: with
// severities and rule ids, where the finding has a span). Always escaped: CI
// logs that annotators read render escapes too, and a line end inside a
// name or message would forge a line of its own.
class GnuReport final : public Report {
public:
    using Report::Report;

    void BeginFile(std::string_view name, bool multiple) override {
        Report::BeginFile(name, multiple);
        shownName_ = EscapeControls(name);
    }
    void Reported(const Finding& finding) override {
        out_.Write(shownName_);
        if (finding.line > 0) {
            out_.Put(':');
            WriteNumber(out_, finding.line);
            // The column (1-based, in bytes) where the rules beyond the
            // classic line checks are on; the classic output stays as it
            // always was.
            if (style_.text == TextStyle::Detailed && finding.HasSpan()) {
                out_.Put(':');
                WriteNumber(out_, std::int64_t(finding.column) + 1);
            }
        }
        out_.Write(": ");
        out_.Write(SeverityName(finding.severity));
        out_.Write(": ");
        out_.Write(EscapeControls(finding.message));
        if (style_.text == TextStyle::Detailed) {
            out_.Write(" [");
            out_.Write(IdOf(finding.rule));
            out_.Put(']');
        }
        out_.Put('\n');
    }

private:
    std::string shownName_;
};

}  // namespace

void Report::BeginFile(std::string_view name, bool multiple) {
    name_.assign(name);
    multiple_ = multiple;
    end_ = {};
}

void Report::WriteText(std::string_view text) {
    if (style_.escape) {
        out_.Write(EscapeControls(text));
    } else {
        out_.Write(text);
    }
}

std::string BlockTitle(std::string_view name) {
    return name == "-" ? std::string("standard input") : std::string(name);
}

std::unique_ptr<Report> MakeReport(Format format, Output& out, const ReportStyle& style) {
    switch (format) {
    case Format::Log:
        return std::make_unique<LogReport>(out, style);
    case Format::Gnu:
        return std::make_unique<GnuReport>(out, style);
    case Format::Json:
        return MakeJsonReport(out, style);
    case Format::Sarif:
        return MakeSarifReport(out, style);
    case Format::GeoJson:
        return MakeGeoJsonReport(out, style);
    case Format::Kml:
        return MakeKmlReport(out, style);
    case Format::Errors:
    case Format::Markdown:  // --list-rules only
        break;
    }
    return std::make_unique<ErrorsReport>(out, style);
}

}  // namespace corvala::cli
