#include "cli/reports.h"

#include <charconv>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/display.h"

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
        out_.Write(BlockTitle(name_));
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

    void Reported(const Finding& finding) override { Item(ErrorItemText(finding, style_)); }
    void RunFinished(const RunEnd& end) override {
        Report::RunFinished(end);
        if (end.cancelled) Item(kCancelledItem);
        Item(SummaryItemText(end, style_));
    }

private:
    void Item(std::string_view text) {
        StartBlock();
        out_.Write(text);
        out_.Put('\n');
    }
};

// The results log as the window shows it, with the markers in colour when
// asked.
class LogReport final : public BlockReport {
public:
    LogReport(Output& out, TextStyle style, bool color) : BlockReport(out, style), color_(color) {}

    void LineChecked(const LineVerdict& verdict) override { Line(verdict.verdict, verdict.line, verdict.raw); }
    void RunFinished(const RunEnd& end) override {
        Report::RunFinished(end);
        const SummaryLine summary = SummaryLogLine(end, style_);
        Line(summary.verdict, summary.number, summary.text);
    }

private:
    void Line(Verdict verdict, std::int64_t number, std::string_view text) {
        StartBlock();
        if (color_) {
            out_.Write(verdict == Verdict::Ok ? "\x1b[1;32m" : verdict == Verdict::Error ? "\x1b[1;31m" : "\x1b[1;33m");
            out_.Write(MarkerText(verdict));
            out_.Write("\x1b[0m ");
        } else {
            out_.Write(MarkerText(verdict));
            out_.Put(' ');
        }
        WriteNumber(out_, number);
        out_.Put(' ');
        out_.Write(text);
        out_.Put('\n');
    }

    bool color_;
};

// FILE:LINE: error: MESSAGE, as compilers write it.
class GnuReport final : public Report {
public:
    using Report::Report;

    void Reported(const Finding& finding) override {
        out_.Write(name_);
        if (finding.line > 0) {
            out_.Put(':');
            WriteNumber(out_, finding.line);
        }
        out_.Write(": ");
        out_.Write(SeverityName(finding.severity));
        out_.Write(": ");
        out_.Write(finding.message);
        if (style_ == TextStyle::Detailed) {
            out_.Write(" [");
            out_.Write(finding.rule);
            out_.Put(']');
        }
        out_.Put('\n');
    }
};

class JsonReport final : public Report {
public:
    using Report::Report;

    void BeginFile(std::string_view name, bool multiple) override {
        Report::BeginFile(name, multiple);
        findings_ = nlohmann::ordered_json::array();
    }
    void Reported(const Finding& finding) override {
        nlohmann::ordered_json item = {{"line", finding.line},
                                       {"command", DecodeForDisplay(finding.command)},
                                       {"message", DecodeForDisplay(finding.message)}};
        if (style_ == TextStyle::Detailed) {
            item["severity"] = SeverityName(finding.severity);
            item["rule"] = finding.rule;
            item["block_line"] = finding.blockLine;
        }
        findings_.push_back(std::move(item));
    }
    void RunFinished(const RunEnd& end) override {
        Report::RunFinished(end);
        nlohmann::ordered_json file = nlohmann::ordered_json::object();
        file["path"] = DecodeForDisplay(name_);
        file["line_count"] = end.lineCount;
        file["error_count"] = end.errors;
        if (style_ == TextStyle::Detailed) {
            file["warning_count"] = end.warnings;
            file["note_count"] = end.notes;
            file["findings"] = std::move(findings_);
        } else {
            file["errors"] = std::move(findings_);
        }
        files_.push_back(std::move(file));
        findings_ = nlohmann::ordered_json::array();
    }
    void FileFailed(std::string_view message) override {
        unreadable_.push_back({{"path", DecodeForDisplay(name_)}, {"message", DecodeForDisplay(message)}});
    }
    void Finish() override {
        nlohmann::ordered_json document = nlohmann::ordered_json::object();
        document["files"] = std::move(files_);
        document["unreadable"] = std::move(unreadable_);
        out_.Write(document.dump(2));
        out_.Put('\n');
    }

private:
    nlohmann::ordered_json findings_ = nlohmann::ordered_json::array();
    nlohmann::ordered_json files_ = nlohmann::ordered_json::array();
    nlohmann::ordered_json unreadable_ = nlohmann::ordered_json::array();
};

}  // namespace

void Report::BeginFile(std::string_view name, bool multiple) {
    name_.assign(name);
    multiple_ = multiple;
    end_ = {};
}

std::string BlockTitle(std::string_view name) {
    return name == "-" ? std::string("standard input") : std::string(name);
}

std::unique_ptr<Report> MakeReport(Format format, Output& out, TextStyle style, bool color) {
    switch (format) {
    case Format::Log:
        return std::make_unique<LogReport>(out, style, color);
    case Format::Gnu:
        return std::make_unique<GnuReport>(out, style);
    case Format::Json:
        return std::make_unique<JsonReport>(out, style);
    case Format::Errors:
        break;
    }
    return std::make_unique<ErrorsReport>(out, style);
}

}  // namespace corvala::cli
