#include "cli/reports.h"

#include <charconv>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/json_text.h"

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

class ErrorsReport final : public BlockReport {
public:
    using BlockReport::BlockReport;

    void AddError(std::string_view message) override {
        StartBlock();
        out_.Write(message);
        out_.Put('\n');
    }
};

class LogReport final : public BlockReport {
public:
    LogReport(Output& out, bool color)
        : BlockReport(out), ok_(color ? "\x1b[1;32m ok\x1b[0m " : " ok "),
          err_(color ? "\x1b[1;31merr\x1b[0m " : "err ") {}

    void AddResultLine(std::int32_t lineNumber, std::string_view text, bool ok) override {
        StartBlock();
        out_.Write(ok ? ok_ : err_);
        WriteNumber(out_, lineNumber);
        out_.Put(' ');
        out_.Write(text);
        out_.Put('\n');
    }

private:
    std::string_view ok_;
    std::string_view err_;
};

class GnuReport final : public Report {
public:
    using Report::Report;

    void NoteLineError(std::int32_t lineNumber, std::string_view command, std::string_view message,
                       bool notImplemented) override {
        Report::NoteLineError(lineNumber, command, message, notImplemented);
        out_.Write(name_);
        out_.Put(':');
        WriteNumber(out_, lineNumber);
        out_.Write(": error: ");
        if (notImplemented) {
            out_.Write(command);
            out_.Write(" not implemented.");
        } else {
            out_.Write(message);
        }
        out_.Put('\n');
    }
};

class JsonReport final : public Report {
public:
    using Report::Report;

    void BeginFile(std::string_view name, bool multiple) override {
        Report::BeginFile(name, multiple);
        resultLines_ = 0;
        errors_ = nlohmann::ordered_json::array();
    }
    void AddResultLine(std::int32_t, std::string_view, bool) override { ++resultLines_; }
    void NoteLineError(std::int32_t lineNumber, std::string_view command, std::string_view message,
                       bool notImplemented) override {
        Report::NoteLineError(lineNumber, command, message, notImplemented);
        std::string text = notImplemented ? std::string(command) + " not implemented." : std::string(message);
        errors_.push_back(
            {{"line", lineNumber}, {"command", DecodeForJson(command)}, {"message", DecodeForJson(text)}});
    }
    void EndFile() override {
        // The last result line of a completed run is its closing line.
        nlohmann::ordered_json file = nlohmann::ordered_json::object();
        file["path"] = DecodeForJson(name_);
        file["line_count"] = resultLines_ > 0 ? resultLines_ - 1 : 0;
        file["error_count"] = fileErrors_;
        file["errors"] = std::move(errors_);
        files_.push_back(std::move(file));
        errors_ = nlohmann::ordered_json::array();
    }
    void FileFailed(std::string_view message) override {
        unreadable_.push_back({{"path", DecodeForJson(name_)}, {"message", DecodeForJson(message)}});
    }
    void Finish() override {
        nlohmann::ordered_json document = nlohmann::ordered_json::object();
        document["files"] = std::move(files_);
        document["unreadable"] = std::move(unreadable_);
        out_.Write(document.dump(2));
        out_.Put('\n');
    }

private:
    std::int64_t resultLines_ = 0;
    nlohmann::ordered_json errors_ = nlohmann::ordered_json::array();
    nlohmann::ordered_json files_ = nlohmann::ordered_json::array();
    nlohmann::ordered_json unreadable_ = nlohmann::ordered_json::array();
};

}  // namespace

void Report::BeginFile(std::string_view name, bool multiple) {
    name_.assign(name);
    multiple_ = multiple;
    fileErrors_ = 0;
}

void Report::NoteLineError(std::int32_t, std::string_view, std::string_view, bool) { ++fileErrors_; }

std::string BlockTitle(std::string_view name) {
    return name == "-" ? std::string("standard input") : std::string(name);
}

std::unique_ptr<Report> MakeReport(Format format, Output& out, bool color) {
    switch (format) {
    case Format::Log:
        return std::make_unique<LogReport>(out, color);
    case Format::Gnu:
        return std::make_unique<GnuReport>(out);
    case Format::Json:
        return std::make_unique<JsonReport>(out);
    case Format::Errors:
        break;
    }
    return std::make_unique<ErrorsReport>(out);
}

}  // namespace corvala::cli
