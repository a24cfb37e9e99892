// The validation run: line handling, progress and cancel, superseding, the
// checks beyond single lines with the lines they hold back, and the end of
// the run. The dispatch by command name stands beside the validator table
// in validators.cpp.
#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <optional>

#include "engine/run/check_thread.h"
#include "engine/run/engine.h"
#include "engine/rules/extended/extended.h"
#include "engine/input/record_line.h"
#include "engine/rules/file/record_set.h"
#include "engine/model/failures.h"
#include "engine/run/spans.h"
#include "engine/values/text.h"

namespace corvala {

namespace {

RunHost& NullHostInstance() {
    static RunHost host;
    return host;
}

FindingSink& NullSinkInstance() {
    static NullFindingSink sink;
    return sink;
}

// A file held in memory, split into lines, as a source. With a path it
// loads the file when the run opens it.
class LinesSource final : public LineSource {
public:
    explicit LinesSource(Lines lines) : lines_(std::move(lines)) {}
    LinesSource(const std::string& path, FileKinds kinds) : path_(&path), kinds_(kinds) {}

    void Open() override {
        if (path_) LoadLines(lines_, *path_, kinds_);
    }
    bool Next(std::string_view& line) override {
        if (next_ == lines_.size()) return false;
        line = lines_[next_++];
        return true;
    }
    std::int64_t Count() const noexcept override { return static_cast<std::int64_t>(lines_.size()); }
    bool Rewind() override {
        next_ = 0;
        return true;
    }
    bool Again() override {
        again_ = 0;
        return true;
    }
    bool NextAgain(std::string_view& line) override {
        if (again_ == next_) return false;
        line = lines_[again_++];
        return true;
    }

private:
    const std::string* path_ = nullptr;
    FileKinds kinds_ = FileKinds::Any;
    Lines lines_;
    std::size_t next_ = 0;
    std::size_t again_ = 0;
};

}  // namespace

// What one run reports, and the lines it holds back. With checks beyond
// single lines, a line's verdict waits until its block has ended, since the
// block's findings may still name it; the lines go out in order, each after
// its findings. Those checks run on a second thread, a batch of lines at a
// time; a batch's lines go out once the checks have seen the start of the
// next block. The lines held back are consecutive, so a held line keeps no
// number of its own, and no bytes when the source can give its lines again
// (a regular file, a file in memory): they are read a second time as they
// go out. Otherwise (a pipe) only its bytes are kept, each line followed by
// a line feed, which no line holds. A held line's findings keep their
// command word as a place in the line.
class Engine::RunState {
public:
    // The checks beyond single lines that `settings` ask for, and those that
    // keep the blocks' analyses when the engine asks for them.
    RunState(Engine& engine, std::string_view name, const CheckSettings& settings)
        : engine_(engine), sink_(engine.sink_), settings_(engine.Settings), name_(name) {
        if (engine.KeepBlocks) kept_.Budget = engine.KeepBlocks->Budget;
        std::vector<std::unique_ptr<ChecksBeyondLines>> checks =
            MakeChecksBeyondLines(settings, engine.KeepBlocks ? &kept_ : nullptr);
        if (!checks.empty()) {
            checkThread_.emplace(std::move(checks));
            batch_ = std::make_unique<CheckThread::Batch>();
        }
    }

    // Once the source is open: held lines are read from it again when it
    // can give them again (only the checks beyond single lines hold lines).
    void TakeLinesAgainFrom(LineSource& source) {
        if (checkThread_ && source.Again()) again_ = &source;
    }

    // One line of the file with the findings of its line check.
    void Line(std::int32_t number, std::string_view raw, const RecordText* split, std::vector<Finding>& own,
              std::span<const GeoPoint> positions = {}) {
        if (!checkThread_) {
            Verdict verdict = Verdict::Ok;
            for (Finding& finding : own) {
                AttachSpan(finding, raw);
                Emit(finding, verdict);
            }
            Conclude(number, raw, verdict);
            return;
        }
        RecordLine record;
        record.line = number;
        record.raw = raw;
        if (split) {
            record.command = split->command;
            record.argument = split->argument;
        }
        record.lineOk = std::none_of(own.begin(), own.end(),
                                     [](const Finding& finding) { return finding.severity == Severity::Error; });
        record.positions = positions;
        batch_->Add(record);
        Hold(number, raw, own);
        if (batch_->LineCount() >= kBatchLines || batch_->ByteCount() >= kBatchBytes) Submit();
    }

    // The end of the lines. A run that completed lets the checks finish;
    // a cancelled one reports what they have found.
    void Finish(bool completed, std::int32_t lineCount) {
        if (checkThread_) {
            batch_->last = completed;
            Submit();
            while (checkThread_->Outstanding() > 0) TakeChecked(true);
        }
        Flush(kNoLimit);
        // Findings about the file as a whole, and any that named no held line.
        Verdict unused = Verdict::Ok;
        std::stable_sort(extra_.begin(), extra_.end(),
                         [](const Finding& a, const Finding& b) { return a.line < b.line; });
        for (const Finding& finding : extra_) Emit(finding, unused);
        extra_.clear();
        end_.lineCount = lineCount;
        end_.cancelled = !completed;
        // The check thread has checked every batch.
        if (engine_.KeepBlocks) *engine_.KeepBlocks = std::move(kept_);
        sink_.RunFinished(end_);
    }

private:
    static constexpr std::int64_t kNoLimit = std::numeric_limits<std::int64_t>::max();
    // A batch is a few milliseconds of checking; with a few of them under
    // way the two threads rarely wait for each other, and the lines held
    // back stay bounded (beyond the block being checked).
    static constexpr std::size_t kBatchLines = 2048;
    static constexpr std::size_t kBatchBytes = 1 << 20;
    static constexpr std::size_t kMostOutstanding = 4;
    static constexpr std::uint32_t kNotInLine = static_cast<std::uint32_t>(-1);

    void Submit() {
        checkThread_->Submit(std::move(batch_));
        if (!spare_.empty()) {
            batch_ = std::move(spare_.back());
            spare_.pop_back();
        } else {
            batch_ = std::make_unique<CheckThread::Batch>();
        }
        while (std::unique_ptr<CheckThread::Batch> done = checkThread_->TakeChecked(false)) Collect(std::move(done));
        while (checkThread_->Outstanding() > kMostOutstanding) TakeChecked(true);
    }

    void TakeChecked(bool wait) {
        if (std::unique_ptr<CheckThread::Batch> done = checkThread_->TakeChecked(wait)) Collect(std::move(done));
    }

    // The findings of a checked batch, and the lines that are final now.
    // The batch is used again: its memory stays with the run.
    void Collect(std::unique_ptr<CheckThread::Batch> done) {
        if (done->failure) std::rethrow_exception(done->failure);
        for (Finding& finding : done->findings) extra_.push_back(std::move(finding));
        Flush(done->finalBefore);
        if (done->Reuse()) spare_.push_back(std::move(done));
    }

    // A line check's finding of a held line, whose command word (a view
    // into the line as first read) is kept as its place in the line.
    struct HeldFinding {
        Finding finding;
        std::int64_t line;
        std::uint32_t place;
    };

    void Emit(const Finding& finding, Verdict& verdict) {
        switch (finding.severity) {
        case Severity::Error:
            ++end_.errors;
            verdict = Verdict::Error;
            break;
        case Severity::Warning:
            ++end_.warnings;
            if (verdict == Verdict::Ok) verdict = Verdict::Warning;
            break;
        case Severity::Note:
            ++end_.notes;
            break;
        }
        sink_.Reported(finding);
    }

    void Conclude(std::int32_t number, std::string_view raw, Verdict verdict) {
        if (verdict == Verdict::Error) ++engine_.ErrorCount;
        sink_.LineChecked({number, raw, verdict});
    }

    void Hold(std::int32_t number, std::string_view raw, std::vector<Finding>& own) {
        if (heldFrom_ == heldTo_) heldFrom_ = number;
        heldTo_ = std::int64_t(number) + 1;
        if (!again_) {
            copies_.append(raw);
            copies_.push_back('\n');
        }
        for (Finding& finding : own) {
            const char* at = finding.command.data();
            const bool inLine = !finding.command.empty() && std::less_equal<>()(raw.data(), at) &&
                                std::less_equal<>()(at + finding.command.size(), raw.data() + raw.size()) &&
                                static_cast<std::size_t>(at - raw.data()) < kNotInLine;
            heldFindings_.push_back(
                {std::move(finding), number, inLine ? static_cast<std::uint32_t>(at - raw.data()) : kNotInLine});
        }
    }

    // The bytes of the next held line to go out.
    std::string_view HeldText() {
        if (again_) {
            std::string_view line;
            if (!again_->NextAgain(line))
                throw Failure("The file \"" + std::string(name_) + "\" could not be read a second time.");
            return line;
        }
        const std::size_t end = copies_.find('\n', copiesFront_);
        const std::string_view line(copies_.data() + copiesFront_, end - copiesFront_);
        copiesFront_ = end + 1;
        return line;
    }

    // Sends the held lines before line `limit`, each after its own findings
    // and those the checks reported for it.
    void Flush(std::int64_t limit) {
        if (heldFrom_ == heldTo_) return;
        std::stable_sort(extra_.begin(), extra_.end(),
                         [](const Finding& a, const Finding& b) { return a.line < b.line; });
        std::size_t next = 0;
        // Findings for line 0 wait for the end of the run.
        while (next < extra_.size() && extra_[next].line <= 0) ++next;
        std::vector<Finding> later;
        for (std::size_t i = 0; i < next; ++i) later.push_back(std::move(extra_[i]));
        for (; heldFrom_ < heldTo_ && heldFrom_ < limit; ++heldFrom_) {
            const std::string_view raw = HeldText();
            Verdict verdict = Verdict::Ok;
            for (; findingsFront_ < heldFindings_.size() && heldFindings_[findingsFront_].line == heldFrom_;
                 ++findingsFront_) {
                HeldFinding& held = heldFindings_[findingsFront_];
                // (A line read again shorter than the first time, from a
                // file that changed meanwhile, has no command word.)
                if (held.place != kNotInLine)
                    held.finding.command =
                        held.place <= raw.size() ? raw.substr(held.place, held.finding.command.size()) : "";
                AttachSpan(held.finding, raw);
                Emit(held.finding, verdict);
            }
            // A finding that names a line already gone out still goes out
            // (without a span: its bytes are gone).
            while (next < extra_.size() && extra_[next].line <= heldFrom_) {
                if (extra_[next].line == heldFrom_) AttachSpan(extra_[next], raw);
                Emit(extra_[next++], verdict);
            }
            Conclude(static_cast<std::int32_t>(heldFrom_), raw, verdict);
        }
        for (; next < extra_.size(); ++next) later.push_back(std::move(extra_[next]));
        extra_ = std::move(later);
        if (heldFrom_ == heldTo_) {
            copies_.clear();
            copiesFront_ = 0;
            heldFindings_.clear();
            findingsFront_ = 0;
        } else {
            Compact();
        }
    }

    // With lines still held (the checks are behind the reading), what went
    // out is dropped from the front of the copies and the findings once it
    // is the larger part, so that they hold about as much as the lines
    // still held.
    void Compact() {
        if (findingsFront_ > 0 && findingsFront_ >= heldFindings_.size() - findingsFront_) {
            heldFindings_.erase(heldFindings_.begin(),
                                heldFindings_.begin() + static_cast<std::ptrdiff_t>(findingsFront_));
            findingsFront_ = 0;
        }
        if (copiesFront_ > 0 && copiesFront_ >= copies_.size() - copiesFront_) {
            copies_.erase(0, copiesFront_);
            copiesFront_ = 0;
        }
    }

    Engine& engine_;
    FindingSink& sink_;
    const CheckSettings& settings_;
    std::string_view name_;
    // Filled on the check thread, which ends before this goes.
    KeptBlocks kept_;
    std::optional<CheckThread> checkThread_;
    std::unique_ptr<CheckThread::Batch> batch_;
    std::vector<std::unique_ptr<CheckThread::Batch>> spare_;
    RunEnd end_;
    // The lines held back, [heldFrom_, heldTo_), and where their bytes come
    // from: the source a second time, or the copies (from copiesFront_ on).
    std::int64_t heldFrom_ = 0, heldTo_ = 0;
    LineSource* again_ = nullptr;
    std::string copies_;
    std::size_t copiesFront_ = 0;
    // The line checks' findings of the held lines, in line order, from
    // findingsFront_ on.
    std::vector<HeldFinding> heldFindings_;
    std::size_t findingsFront_ = 0;
    std::vector<Finding> extra_;
};

Engine::Engine(FindingSink& sink, RunHost& host) : sink_(sink), host_(host) {}

Engine::Engine() : Engine(NullSinkInstance(), NullHostInstance()) {}

bool Engine::ParseLine(std::int32_t lineNumber, std::string_view command, std::string_view argument) {
    std::vector<Finding> findings;
    // The classic line checks as they always report: nothing disabled.
    CheckLine(lineNumber, command, argument, 0, CheckSettings{}, findings);
    for (const Finding& finding : findings) sink_.Reported(finding);
    return findings.empty();
}

void Engine::ValidateLines(std::string_view name, LineSource& source) {
    // A run started while this one processes events supersedes it; the
    // serial tells this run that it has been superseded.
    const std::uint64_t serial = ++runSerial_;
    ++runDepth_;
    struct DepthGuard {
        int& depth;
        ~DepthGuard() { --depth; }
    } depthGuard{runDepth_};

    sink_.RunStarted({name});
    ErrorCount = 0;
    Cancelled = false;
    host_.SetProgress(0);
    host_.ShowProgressPanel(true);

    bool suspended = false;
    auto cleanUp = [&] {
        if (suspended) host_.SuspendLogPainting(false);
        host_.ShowProgressPanel(false);
    };

    bool superseded = false;
    bool cancelled = false;
    std::int32_t lineCount = 0;
    try {
        source.Open();
        // The settings for this file: with --rules=auto, the record set it
        // declares.
        CheckSettings settings = Settings;
        std::unique_ptr<LineSource> replay;
        LineSource& lines = settings.byFile ? DecideRecordSet(source, settings, replay) : source;
        FileSettings = settings;
        RunState state(*this, name, settings);
        std::optional<ExtendedLineRules> extended;
        if (settings.ExtendedLines()) extended.emplace(*this, settings);
        state.TakeLinesAgainFrom(lines);
        host_.SuspendLogPainting(true);
        suspended = true;

        const std::int64_t count = source.Count();
        const long double countReal = static_cast<long double>(count);
        std::vector<Finding> own;
        std::int32_t blockLine = 0;
        std::string_view raw;
        RecordText split;
        while (lines.Next(raw)) {
            if (lineCount >= LineLimit) {
                throw Failure("The file \"" + std::string(name) + "\" has more than " + std::to_string(LineLimit) +
                              " lines, more than Corvala can number.");
            }
            const std::int32_t lineNumber = ++lineCount;
            own.clear();
            // The extended rules read the first line without a byte-order mark.
            if (!ReadRecordLine(raw, lineNumber, extended.has_value(), split)) {
                // Empty lines: no progress, no events, no cancel check.
                state.Line(lineNumber, raw, nullptr, own);
                continue;
            }
            if (StartsBlock(split.command)) blockLine = lineNumber;
            linePositions_.clear();
            if (extended) {
                extended->CheckLine(lineNumber, raw, split.command, split.argument, blockLine, own);
            } else {
                CheckLine(lineNumber, split.command, split.argument, blockLine, settings, own);
            }
            state.Line(lineNumber, raw, &split, own, linePositions_);
            if (count > 0) {
                host_.SetProgress(
                    static_cast<int>(RoundHalfEven(static_cast<long double>(lineNumber) * 100.0L / countReal)));
            }
            host_.ProcessEvents();
            if (runSerial_ != serial) {
                superseded = true;
                break;
            }
            if (Cancelled) {
                cancelled = true;
                break;
            }
        }
        cleanUp();
        suspended = false;
        if (!superseded) state.Finish(!cancelled, lineCount);
    } catch (...) {
        cleanUp();
        throw;
    }
}

void Engine::ValidateFile(const std::string& path) {
    // The file is read once the run has begun: the title has changed and
    // the results are empty when it cannot be read.
    LinesSource source(path, ReadableKinds);
    ValidateLines(path, source);
}

void Engine::ValidateBytes(const std::string& name, std::string bytes) {
    LinesSource source{Lines(std::move(bytes))};
    ValidateLines(name, source);
}

}  // namespace corvala
