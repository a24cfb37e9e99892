// The validation run: line handling, progress and cancel, superseding, and
// the summary. ParseLine, the dispatch by command name, stands beside the
// validator table in validators.cpp.
#include "engine/engine.h"
#include "engine/failures.h"
#include "engine/text.h"

namespace corvala {

namespace {

RunHost& NullHostInstance() {
    static RunHost host;
    return host;
}

ResultSink& NullSinkInstance() {
    static NullSink sink;
    return sink;
}

struct SplitLine {
    std::string_view command;
    std::string_view argument;
};

// The comment (from the first "*") is removed and the rest trimmed; the
// command word ends at the first blank (only the blank: a tab does not
// separate) and the argument is everything after it, untrimmed.
bool ReadLine(std::string_view raw, SplitLine& out) noexcept {
    std::string_view text = raw;
    const std::size_t star = text.find('*');
    if (star != std::string_view::npos) text = text.substr(0, star);
    text = TrimText(text);
    if (text.empty()) return false;
    const std::size_t blank = text.find(' ');
    if (blank == std::string_view::npos) {
        out.command = text;
        out.argument = {};
    } else {
        out.command = text.substr(0, blank);
        out.argument = text.substr(blank + 1);
    }
    return true;
}

}  // namespace

std::string RunTitle(std::string_view path) {
    const std::size_t cut = path.find_last_of("\\:");
    const std::string_view name = cut == std::string_view::npos ? path : path.substr(cut + 1);
    std::string title = "Corvala - ";
    title += name;
    return title;
}

Engine::Engine(ResultSink& sink, RunHost& host) : sink_(sink), host_(host) {}

Engine::Engine() : Engine(NullSinkInstance(), NullHostInstance()) {}

void Engine::ResultLine(std::int32_t lineNumber, std::string_view text, bool ok) {
    if (!ok) ++ErrorCount;
    sink_.AddResultLine(lineNumber, text, ok);
}

template <typename Load>
void Engine::Run(std::string_view titlePath, Load&& load) {
    // A run started while this one processes events supersedes it; the
    // serial tells this run that it has been superseded.
    const std::uint64_t serial = ++runSerial_;
    ++runDepth_;
    struct DepthGuard {
        int& depth;
        ~DepthGuard() { --depth; }
    } depthGuard{runDepth_};

    host_.SetTitle(RunTitle(titlePath));
    sink_.Clear();
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
    try {
        Lines lines;
        load(lines);
        host_.SuspendLogPainting(true);
        suspended = true;

        const std::size_t count = lines.size();
        const long double countReal = static_cast<long double>(count);
        SplitLine split;
        for (std::size_t index = 0; index < count; ++index) {
            const auto lineNumber = static_cast<std::int32_t>(index + 1);
            const std::string_view raw = lines[index];
            if (!ReadLine(raw, split)) {
                // Empty lines: no progress, no events, no cancel check.
                ResultLine(lineNumber, raw, true);
                continue;
            }
            const bool ok = ParseLine(lineNumber, split.command, split.argument);
            ResultLine(lineNumber, raw, ok);
            host_.SetProgress(
                static_cast<int>(RoundHalfEven(static_cast<long double>(index + 1) * 100.0L / countReal)));
            host_.ProcessEvents();
            if (runSerial_ != serial) {
                superseded = true;
                break;
            }
            if (Cancelled) {
                sink_.AddError("*** Validation CANCELLED ***");
                break;
            }
        }
    } catch (...) {
        cleanUp();
        throw;
    }
    cleanUp();
    if (superseded) return;

    sink_.AddError("   *** " + IntToText(ErrorCount) + " errors found");
    if (ErrorCount > 0) {
        ResultLine(ErrorCount, " errors found.", false);
    } else {
        ResultLine(0, "No errors found.", true);
    }
}

void Engine::ValidateFile(const std::string& path) {
    Run(path, [&](Lines& lines) { LoadLines(lines, path); });
}

void Engine::ValidateBytes(const std::string& name, std::string bytes) {
    Run(name, [&](Lines& lines) { lines = Lines(std::move(bytes)); });
}

}  // namespace corvala
