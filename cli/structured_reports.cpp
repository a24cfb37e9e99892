#include "cli/structured_reports.h"

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "cli/rule_docs.h"
#include "engine/rules/checks_beyond_lines.h"
#include "engine/values/display.h"
#include "engine/model/failures.h"
#include "engine/input/lines.h"
#include "engine/model/rule_docs.h"
#include "engine/run/spans.h"
#include "engine/present/json_writer.h"
#include "engine/present/spill.h"

namespace corvala::cli {

namespace {

// {"files": [...], "unreadable": [...]}, each file with its counts first and
// then its findings. The findings of the file being checked wait in a Spill
// until its counts are known.
class JsonReport final : public Report {
public:
    JsonReport(Output& out, const ReportStyle& style)
        : Report(out, style), writer_([this](std::string_view text) { out_.Write(text); }) {
        writer_.BeginObject();
        writer_.Key("files");
        writer_.BeginArray();
    }

    void BeginFile(std::string_view name, bool multiple) override {
        Report::BeginFile(name, multiple);
        spill_.Start(BlockTitle(name));
        read_ = {};
        // The items of "errors": inside the document, "files", the file.
        items_.emplace([this](std::string_view text) { spill_.Append(text); }, 4);
    }
    void Reported(const Finding& finding) override {
        items_->BeginObject();
        items_->Key("line");
        items_->Integer(finding.line);
        items_->Key("command");
        items_->String(DecodeForDisplay(finding.command));
        items_->Key("message");
        items_->String(DecodeForDisplay(finding.message));
        if (style_.text == TextStyle::Detailed) {
            items_->Key("severity");
            items_->String(SeverityName(finding.severity));
            items_->Key("rule");
            items_->String(IdOf(finding.rule));
            items_->Key("block_line");
            items_->Integer(finding.blockLine);
            // The span on the line: 1-based byte columns, the end the
            // column just after it; absent when unknown.
            if (finding.line > 0 && finding.HasSpan()) {
                items_->Key("column");
                items_->Integer(std::int64_t(finding.column) + 1);
                items_->Key("end_column");
                items_->Integer(std::int64_t(finding.endColumn) + 1);
            }
        }
        items_->EndObject();
        switch (finding.severity) {
        case Severity::Error:
            ++read_.errors;
            break;
        case Severity::Warning:
            ++read_.warnings;
            break;
        case Severity::Note:
            ++read_.notes;
            break;
        }
    }
    void LineChecked(const LineVerdict& verdict) override { read_.lineCount = verdict.line; }
    void RunFinished(const RunEnd& end) override {
        // A failure to keep the findings fails the file before any of it is
        // written.
        spill_.Complete();
        Report::RunFinished(end);
        WriteFile(end, {});
    }
    void FileFailed(std::string_view message) override {
        // A file that failed after lines were read (it changed while it was
        // read, or a read failed) keeps what was read, marked incomplete, as
        // the SARIF log keeps its results.
        if (read_.lineCount > 0 && spill_.Whole()) {
            try {
                spill_.Complete();
                WriteFile(read_, message);
            } catch (const std::exception&) {
                // The findings cannot be kept (or memory ran out again): the
                // file is only unreadable.
            }
        }
        spill_.Reset();
        unreadable_.emplace_back(name_, message);
    }
    void Finish() override {
        writer_.EndArray();
        writer_.Key("unreadable");
        writer_.BeginArray();
        for (const auto& [path, message] : unreadable_) {
            writer_.BeginObject();
            writer_.Key("path");
            writer_.String(DecodeForDisplay(path));
            writer_.Key("message");
            writer_.String(DecodeForDisplay(message));
            writer_.EndObject();
        }
        writer_.EndArray();
        writer_.EndObject();
        out_.Put('\n');
    }

private:
    // The file's object in "files": its counts, then its findings. A file
    // whose run failed has "incomplete": true and the failure's "message".
    void WriteFile(const RunEnd& end, std::string_view failure) {
        writer_.BeginObject();
        writer_.Key("path");
        writer_.String(DecodeForDisplay(name_));
        writer_.Key("line_count");
        writer_.Integer(end.lineCount);
        writer_.Key("error_count");
        writer_.Integer(end.errors);
        if (style_.text == TextStyle::Detailed) {
            writer_.Key("warning_count");
            writer_.Integer(end.warnings);
            writer_.Key("note_count");
            writer_.Integer(end.notes);
        }
        if (!failure.empty()) {
            writer_.Key("incomplete");
            writer_.Raw("true");
            writer_.Key("message");
            writer_.String(DecodeForDisplay(failure));
        }
        writer_.Key(style_.text == TextStyle::Detailed ? "findings" : "errors");
        if (spill_.Empty()) {
            writer_.Raw("[]");
        } else {
            writer_.Raw("[");
            spill_.CopyTo([this](std::string_view text) { out_.Write(text); });
            out_.Write("\n");
            out_.Write(JsonWriter::Indent(3));
            out_.Write("]");
        }
        writer_.EndObject();
        spill_.Reset();
    }

    JsonWriter writer_;
    std::optional<JsonWriter> items_;
    Spill spill_;
    // What was read of the current file, for a run that does not finish.
    RunEnd read_;
    std::vector<std::pair<std::string, std::string>> unreadable_;
};

// A file name as a relative URI reference: bytes outside the unreserved
// characters and "/" percent-encoded.
std::string FileUri(std::string_view name) {
    if (name == "-") return "stdin";
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri;
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        const bool plain = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' ||
                           b == '.' || b == '_' || b == '~' || b == '/';
        if (plain) {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[b >> 4];
            uri += kHex[b & 15];
        }
    }
    return uri;
}

std::string_view Level(Severity severity) {
    switch (severity) {
    case Severity::Error:
        return "error";
    case Severity::Warning:
        return "warning";
    case Severity::Note:
        break;
    }
    return "note";
}

// One SARIF 2.1.0 log with one run: the tool and every rule, a result per
// finding, and the files that could not be read as notifications of the
// run's invocation.
class SarifReport final : public Report {
public:
    SarifReport(Output& out, const ReportStyle& style)
        : Report(out, style), writer_([this](std::string_view text) { out_.Write(text); }) {
        writer_.BeginObject();
        writer_.Key("$schema");
        writer_.String("https://json.schemastore.org/sarif-2.1.0.json");
        writer_.Key("version");
        writer_.String("2.1.0");
        writer_.Key("runs");
        writer_.BeginArray();
        writer_.BeginObject();
        writer_.Key("tool");
        writer_.BeginObject();
        writer_.Key("driver");
        writer_.BeginObject();
        writer_.Key("name");
        writer_.String("corvala-check");
        writer_.Key("version");
        writer_.String(CORVALA_VERSION);
        writer_.Key("informationUri");
        writer_.String("https://corvala.github.io/corvala/");
        writer_.Key("rules");
        writer_.BeginArray();
        for (const RuleInfo& rule : AllRules()) {
            writer_.BeginObject();
            writer_.Key("id");
            writer_.String(rule.id);
            writer_.Key("shortDescription");
            writer_.BeginObject();
            writer_.Key("text");
            writer_.String(rule.summary);
            writer_.EndObject();
            if (const RuleDoc* doc = DocOf(static_cast<RuleId>(&rule - AllRules().data()))) {
                writer_.Key("fullDescription");
                writer_.BeginObject();
                writer_.Key("text");
                writer_.String(doc->rationale);
                writer_.EndObject();
                writer_.Key("help");
                writer_.BeginObject();
                writer_.Key("text");
                writer_.String(std::string("Fix: ") + std::string(doc->fix));
                writer_.EndObject();
                writer_.Key("helpUri");
                writer_.String(RuleHelpUri(rule.id));
            }
            writer_.Key("defaultConfiguration");
            writer_.BeginObject();
            writer_.Key("level");
            writer_.String(Level(rule.severity));
            writer_.EndObject();
            writer_.EndObject();
        }
        writer_.EndArray();
        writer_.EndObject();
        writer_.EndObject();
        writer_.Key("results");
        writer_.BeginArray();
    }

    void BeginFile(std::string_view name, bool multiple) override {
        Report::BeginFile(name, multiple);
        uri_ = FileUri(name);
    }
    // A finding with a span waits for its line's bytes, which come with
    // the line's verdict: SARIF counts columns in UTF-16 code units of
    // the text. Those behind it wait too, to keep the order.
    void Reported(const Finding& finding) override {
        if (!pending_.empty() || (style_.text == TextStyle::Detailed && finding.line > 0 && finding.HasSpan())) {
            pending_.push_back(finding);
            return;
        }
        Result(finding, {});
    }
    void LineChecked(const LineVerdict& verdict) override {
        for (const Finding& finding : pending_) Result(finding, finding.line == verdict.line ? verdict.raw : std::string_view());
        pending_.clear();
    }
    void RunFinished(const RunEnd& end) override {
        Report::RunFinished(end);
        for (const Finding& finding : pending_) Result(finding, {});
        pending_.clear();
    }
    void FileFailed(std::string_view message) override {
        // The results read so far stay, as the others did.
        for (const Finding& finding : pending_) Result(finding, {});
        pending_.clear();
        failures_.emplace_back(uri_, message);
    }
    void Result(const Finding& finding, std::string_view raw) {
        writer_.BeginObject();
        writer_.Key("ruleId");
        writer_.String(IdOf(finding.rule));
        // The rules are listed in the order of the rule table.
        writer_.Key("ruleIndex");
        writer_.Integer(static_cast<std::int64_t>(finding.rule));
        writer_.Key("level");
        writer_.String(Level(finding.severity));
        writer_.Key("message");
        writer_.BeginObject();
        writer_.Key("text");
        writer_.String(DecodeForDisplay(finding.message));
        writer_.EndObject();
        writer_.Key("locations");
        writer_.BeginArray();
        if (raw.data() != nullptr && finding.HasSpan()) {
            const auto begin = static_cast<std::size_t>(finding.column);
            const auto end = static_cast<std::size_t>(finding.endColumn);
            Location(finding.line, static_cast<std::int64_t>(DisplayOffset(raw, begin, TextUnit::Utf16)) + 1,
                     static_cast<std::int64_t>(DisplayOffset(raw, end, TextUnit::Utf16, true)) + 1);
        } else {
            Location(finding.line);
        }
        writer_.EndArray();
        writer_.EndObject();
    }
    void Finish() override {
        writer_.EndArray();
        writer_.Key("invocations");
        writer_.BeginArray();
        writer_.BeginObject();
        writer_.Key("executionSuccessful");
        writer_.Raw(failures_.empty() ? "true" : "false");
        writer_.Key("toolExecutionNotifications");
        writer_.BeginArray();
        for (const auto& [uri, message] : failures_) {
            writer_.BeginObject();
            writer_.Key("level");
            writer_.String("error");
            writer_.Key("message");
            writer_.BeginObject();
            writer_.Key("text");
            writer_.String(DecodeForDisplay(message));
            writer_.EndObject();
            writer_.Key("locations");
            writer_.BeginArray();
            uri_ = uri;
            Location(0);
            writer_.EndArray();
            writer_.EndObject();
        }
        writer_.EndArray();
        writer_.EndObject();
        writer_.EndArray();
        writer_.EndObject();
        writer_.EndArray();
        writer_.EndObject();
        out_.Put('\n');
    }

private:
    // The file, and the line when there is one.
    void Location(std::int32_t line, std::int64_t startColumn = 0, std::int64_t endColumn = 0) {
        writer_.BeginObject();
        writer_.Key("physicalLocation");
        writer_.BeginObject();
        writer_.Key("artifactLocation");
        writer_.BeginObject();
        writer_.Key("uri");
        writer_.String(uri_);
        writer_.EndObject();
        if (line > 0) {
            writer_.Key("region");
            writer_.BeginObject();
            writer_.Key("startLine");
            writer_.Integer(line);
            if (startColumn > 0) {
                writer_.Key("startColumn");
                writer_.Integer(startColumn);
                writer_.Key("endColumn");
                writer_.Integer(endColumn);
            }
            writer_.EndObject();
        }
        writer_.EndObject();
        writer_.EndObject();
    }

    JsonWriter writer_;
    std::string uri_;
    std::vector<std::pair<std::string, std::string>> failures_;
    std::vector<Finding> pending_;
};

}  // namespace

std::unique_ptr<Report> MakeJsonReport(Output& out, const ReportStyle& style) {
    return std::make_unique<JsonReport>(out, style);
}

std::unique_ptr<Report> MakeSarifReport(Output& out, const ReportStyle& style) {
    return std::make_unique<SarifReport>(out, style);
}

}  // namespace corvala::cli
