#include "cli/checker.h"

#include <new>
#include <optional>

#include "cli/escape.h"
#include "cli/reports.h"
#include "engine/engine.h"
#include "engine/failures.h"
#include "engine/io.h"
#include "engine/line_reader.h"
#include "engine/lines.h"

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

}  // namespace

int CheckFiles(const Options& options, bool color, bool terminal, Output& out, Output& err) {
    ReportStyle style;
    style.text = options.checks.blocks || options.checks.extended ? TextStyle::Detailed : TextStyle::Classic;
    style.color = color;
    style.escape = terminal;
    std::unique_ptr<Report> report = MakeReport(options.format, out, style);
    Engine* running = nullptr;
    CheckerHost host(out, running);
    Engine engine(*report, host);
    running = &engine;
    engine.Settings = options.checks;

    const bool multiple = options.files.size() > 1;
    bool found = false;
    bool trouble = false;
    auto fail = [&](const std::string& shown, const std::string& message) {
        trouble = true;
        report->FileFailed(message);
        // Keep the order of standard output and standard error on a terminal.
        out.Flush();
        err.Write("corvala-check: ");
        err.Write(EscapeControls(shown));
        err.Put('\n');
        err.Flush();
    };

    for (const std::string& file : options.files) {
        report->BeginFile(file, multiple);
        try {
            StreamSource source(file);
            engine.ValidateLines(file, source);
        } catch (const std::bad_alloc&) {
            // This file could not be checked; the next may well be.
            fail(file + ": out of memory", "out of memory");
            continue;
        } catch (const Failure& e) {
            fail(e.message(), e.message());
            continue;
        }
        if (out.Failed()) break;
        if (Fails(report->FileEnd(), options.failOn)) found = true;
    }
    report->Finish();

    if (trouble || out.Failed()) return kTrouble;
    return found ? kErrorsFound : kAllClean;
}

}  // namespace corvala::cli
