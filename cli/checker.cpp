#include "cli/checker.h"

#include <algorithm>
#include <map>
#include <new>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>
#include <optional>

#include "cli/escape.h"
#include "cli/reports.h"
#include "engine/run/engine.h"
#include "engine/model/failures.h"
#include "engine/input/io.h"
#include "engine/input/line_reader.h"
#include "engine/input/lines.h"

namespace corvala::cli {

namespace {

// A file or standard input streamed through the run: memory does not grow
// with the file. A failed read ends the run as a file that cannot be read;
// a regular file whose size or time changed while it was read ends it as
// changed, so that it is never reported as clean.
class StreamSource final : public LineSource {
public:
    explicit StreamSource(const std::string& name) : name_(name) {}

    void Open() override {
        if (name_ != "-") file_ = OpenForReading(name_, FileKinds::Any);
        reader_.emplace(name_ == "-" ? 0 : file_.get());
    }
    // A regular file is read again from its start; pipes, devices and
    // standard input are read once.
    bool Rewind() override {
        struct stat status {};
        if (name_ == "-" || ::fstat(file_.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
            ::lseek(file_.get(), 0, SEEK_SET) != 0)
            return false;
        reader_.emplace(file_.get());
        lines_ = bytes_ = 0;
        ended_ = false;
        return true;
    }
    bool Next(std::string_view& line) override {
        if (reader_->Next(line)) {
            ++lines_;
            bytes_ += line.size();
            return true;
        }
        ended_ = true;
        if (const int error = reader_->Error(); error != 0) throw ReadFailed(error);
        if (reader_->Changed()) throw Changed();
        return false;
    }
    // A regular file gives its lines again by reading them a second time;
    // a pipe, a FIFO or a device cannot.
    bool Again() override {
        if (!reader_->CanReadAgain()) return false;
        again_.emplace(*reader_, LineReader::Again{});
        return true;
    }
    // The second time the file must give the same lines. Fewer lines, or
    // at the last line other lengths or another size or time than the file
    // had at the start, tell that it changed after its first reading had
    // ended (or meanwhile, keeping its size and time).
    bool NextAgain(std::string_view& line) override {
        if (!again_->Next(line)) {
            if (const int error = again_->Error(); error != 0) throw ReadFailed(error);
            throw Changed();
        }
        ++againLines_;
        againBytes_ += line.size();
        if (ended_ && againLines_ == lines_ && (againBytes_ != bytes_ || again_->ChangedNow())) throw Changed();
        return true;
    }

    // Once the lines are read: what says that the text ended at a byte 0
    // with bytes after it, else "".
    std::string TextAfterNul() const {
        if (!reader_ || reader_->NulOffset() < 0 || reader_->BytesAfterNul() <= 0) return {};
        return "the file ends at a byte 0 at offset " + std::to_string(reader_->NulOffset()) + "; " +
               std::to_string(reader_->BytesAfterNul()) + " bytes after it were not checked";
    }

private:
    FileOpenError ReadFailed(int error) const {
        if (name_ == "-") return FileOpenError("Cannot read standard input. " + SystemErrorText(error));
        return FileOpenError(CannotOpenMessage(name_, SystemErrorText(error)));
    }
    FileChangedError Changed() const {
        return FileChangedError("The file \"" + FullPath(name_) + "\" changed while it was checked.");
    }

    const std::string& name_;
    FileHandle file_;
    std::optional<LineReader> reader_;
    std::optional<LineReader> again_;
    // The lines and their bytes (without line ends) given, and given again.
    std::int64_t lines_ = 0, bytes_ = 0;
    std::int64_t againLines_ = 0, againBytes_ = 0;
    bool ended_ = false;
};

// Once the output cannot be written any more, the run stops at the next
// line: nothing it finds could be shown (standard output closed, SIGPIPE
// ignored).
class CheckerHost final : public RunHost {
public:
    CheckerHost(Output& out, Engine*& engine) : out_(out), engine_(engine) {}
    void ProcessEvents() override {
        if (out_.Failed() && engine_ != nullptr) engine_->Cancelled = true;
    }

private:
    Output& out_;
    Engine*& engine_;
};

// Counts the findings of each rule on their way to the report.
class StatisticsSink final : public FindingSink {
public:
    explicit StatisticsSink(FindingSink& report) : report_(report) {}
    void RunStarted(const RunStart& start) override { report_.RunStarted(start); }
    void Reported(const Finding& finding) override {
        ++counts_[{std::string(IdOf(finding.rule)), finding.severity}];
        report_.Reported(finding);
    }
    void LineChecked(const LineVerdict& verdict) override { report_.LineChecked(verdict); }
    void RunFinished(const RunEnd& end) override { report_.RunFinished(end); }

    // One line per rule and severity: count, severity, rule id; the most
    // frequent first.
    std::string Text() const {
        std::vector<std::pair<std::pair<std::string, Severity>, std::int64_t>> rows(counts_.begin(), counts_.end());
        std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
        std::string text;
        for (const auto& [key, count] : rows) {
            std::string number = std::to_string(count);
            if (number.size() < 8) number.insert(0, 8 - number.size(), ' ');
            std::string severity(SeverityName(key.second));
            severity.resize(9, ' ');
            text += number + "  " + severity + key.first + '\n';
        }
        return text;
    }

private:
    FindingSink& report_;
    std::map<std::pair<std::string, Severity>, std::int64_t> counts_;
};

// The report, and with the checks beyond single lines a warning about the
// file as a whole for text after a byte 0, counted with the rest.
class ReadingFindings final : public FindingSink {
public:
    ReadingFindings(FindingSink& report, const CheckSettings& checks) : report_(report), checks_(checks) {}

    // The source of the file being checked.
    void SetSource(const StreamSource* source) noexcept { source_ = source; }

    void RunStarted(const RunStart& start) override { report_.RunStarted(start); }
    void Reported(const Finding& finding) override { report_.Reported(finding); }
    void LineChecked(const LineVerdict& verdict) override { report_.LineChecked(verdict); }
    void RunFinished(const RunEnd& end) override {
        RunEnd counted = end;
        Finding finding;
        if ((checks_.blocks || checks_.extended || checks_.byFile) && source_ != nullptr &&
            MakeFinding(RuleId::TextAfterNul, checks_, finding)) {
            if (std::string message = source_->TextAfterNul(); !message.empty()) {
                finding.message = std::move(message);
                report_.Reported(finding);
                ++counted.warnings;
            }
        }
        report_.RunFinished(counted);
    }

private:
    FindingSink& report_;
    const CheckSettings& checks_;
    const StreamSource* source_ = nullptr;
};

}  // namespace

void SayOnError(Output& out, Output& err, std::string_view text) {
    out.Flush();
    err.Write("corvala-check: ");
    err.Write(EscapeControls(text));
    err.Put('\n');
    err.Flush();
}

bool Fails(const RunEnd& end, Severity failOn) {
    switch (failOn) {
    case Severity::Note:
        if (end.notes > 0) return true;
        [[fallthrough]];
    case Severity::Warning:
        if (end.warnings > 0) return true;
        [[fallthrough]];
    case Severity::Error:
        break;
    }
    return end.errors > 0;
}

int CheckFiles(const Options& options, bool color, bool terminal, Output& out, Output& err) {
    ReportStyle style;
    style.text = options.checks.blocks || options.checks.extended || options.checks.byFile ? TextStyle::Detailed
                                                                                           : TextStyle::Classic;
    style.color = color;
    // Colour is meant for a terminal, where the output may well end up
    // (`| less -R`) even when it is not one now.
    style.escape = terminal || color;
    style.checks = options.checks;
    std::unique_ptr<Report> report = MakeReport(options.format, out, style);
    Engine* running = nullptr;
    CheckerHost host(out, running);
    StatisticsSink statistics(*report);
    ReadingFindings sink(statistics, options.checks);
    Engine engine(sink, host);
    report->FollowFileChecks(&engine.FileSettings);
    running = &engine;
    engine.Settings = options.checks;

    const bool multiple = options.files.size() > 1;
    bool found = false;
    bool trouble = false;
    auto fail = [&](const std::string& shown, const std::string& message) {
        trouble = true;
        report->FileFailed(message);
        SayOnError(out, err, shown);
    };

    for (const std::string& file : options.files) {
        report->BeginFile(file, multiple);
        std::string notice;
        sink.SetSource(nullptr);
        try {
            StreamSource source(file);
            sink.SetSource(&source);
            engine.ValidateLines(file, source);
            sink.SetSource(nullptr);
            notice = source.TextAfterNul();
        } catch (const std::bad_alloc&) {
            // This file could not be checked; the next may well be.
            fail(file + ": out of memory", "out of memory");
            continue;
        } catch (const Failure& e) {
            fail(e.message(), e.message());
            continue;
        }
        // In every format, the classic one included, where standard output
        // keeps its bytes.
        if (!notice.empty()) SayOnError(out, err, file + ": " + notice);
        if (out.Failed()) break;
        if (Fails(report->FileEnd(), options.failOn)) found = true;
    }
    report->Finish();
    if (options.statistics) {
        // The documents stay documents: their statistics go to standard error.
        const bool document = options.format == Format::Json || options.format == Format::Sarif ||
                              options.format == Format::GeoJson || options.format == Format::Kml;
        Output& to = document ? err : out;
        to.Write(statistics.Text());
        to.Flush();
    }

    if (trouble || out.Failed()) return kTrouble;
    return found ? kErrorsFound : kAllClean;
}

}  // namespace corvala::cli
