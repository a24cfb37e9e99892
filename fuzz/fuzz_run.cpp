// Fuzz target: a whole validation run over arbitrary bytes.
//
// The sink checks what every run must produce whatever the bytes: one result
// line per file line, in order, showing the raw line; an error line exactly
// when one error item was added for it, and that item names the line and its
// command; then the closing item and the closing line. The host checks the
// progress protocol: one progress step and one event round per non-empty line.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"
#include "engine/failures.h"
#include "engine/run.h"
#include "engine/text.h"

namespace {

[[noreturn]] void Fail(const char* what, std::int64_t line = -1) {
    std::fprintf(stderr, "fuzz_run invariant broken: %s (line %lld)\n", what, static_cast<long long>(line));
    std::abort();
}

void Check(bool condition, const char* what, std::int64_t line = -1) {
    if (!condition) Fail(what, line);
}

// The lines of a file, as an independent reading of the line rules: the
// first byte 0 ends the text; a line ends at CR, LF or the end; after it one
// CR and then one LF are skipped.
std::vector<std::string_view> SplitLines(std::string_view bytes) {
    if (auto nul = bytes.find('\0'); nul != std::string_view::npos) bytes = bytes.substr(0, nul);
    std::vector<std::string_view> lines;
    std::size_t p = 0;
    while (p < bytes.size()) {
        std::size_t start = p;
        while (p < bytes.size() && bytes[p] != '\r' && bytes[p] != '\n') ++p;
        lines.push_back(bytes.substr(start, p - start));
        if (p < bytes.size() && bytes[p] == '\r') ++p;
        if (p < bytes.size() && bytes[p] == '\n') ++p;
    }
    return lines;
}

// The command word of a line, or empty for an empty line.
std::string_view CommandOf(std::string_view raw) {
    if (auto star = raw.find('*'); star != std::string_view::npos) raw = raw.substr(0, star);
    std::size_t b = 0, e = raw.size();
    while (b < e && static_cast<unsigned char>(raw[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(raw[e - 1]) <= 32) --e;
    raw = raw.substr(b, e - b);
    return raw.substr(0, raw.find(' '));
}

class CheckingSink final : public corvala::ResultSink {
public:
    explicit CheckingSink(const std::vector<std::string_view>& lines) : lines_(lines) {}

    void Clear() override {
        ++clears;
        Check(results == 0 && errors.empty(), "Clear after output");
    }

    void AddResultLine(std::int32_t lineNumber, std::string_view text, bool ok) override {
        Check(clears == 1, "result line before Clear");
        Check(!closed, "result line after the closing line", lineNumber);
        const std::size_t pendingErrors = errors.size() - errorsAtLastLine_;
        if (results < lines_.size()) {
            const std::size_t n = results + 1;
            Check(lineNumber == static_cast<std::int32_t>(n), "line numbers out of order", lineNumber);
            Check(text == lines_[n - 1], "result line does not show the raw line", lineNumber);
            const std::string_view command = CommandOf(lines_[n - 1]);
            if (command.empty()) {
                Check(ok, "empty line reported as an error", lineNumber);
            }
            if (ok) {
                Check(pendingErrors == 0, "error item for an accepted line", lineNumber);
            } else {
                ++errorLines;
                Check(pendingErrors == 1, "an error line needs exactly one error item", lineNumber);
                Check(notes == errorLines, "NoteLineError missing for an error line", lineNumber);
                const std::string& item = errors.back();
                const std::string prefix = "Line " + std::to_string(n) + ": " + std::string(command) + " ";
                Check(item.compare(0, prefix.size(), prefix) == 0, "error item does not name line and command",
                      lineNumber);
                const std::string_view rest = std::string_view(item).substr(prefix.size());
                const bool notImplemented = rest == "not implemented.";
                const bool returned = rest.substr(0, 16) == "returned error: ";
                Check(notImplemented || returned, "error item of an unknown shape", lineNumber);
                Check(notImplemented == (corvala::Engine::FindValidator(command) == nullptr),
                      "not implemented exactly when there is no validator", lineNumber);
            }
        } else {
            // The closing line.
            closed = true;
            Check(pendingErrors == 1, "closing line needs exactly the closing item", lineNumber);
            const std::string expectItem = "   *** " + std::to_string(errorLines) + " errors found";
            Check(errors.back() == expectItem, "closing item text");
            if (errorLines == 0) {
                Check(ok && lineNumber == 0 && text == "No errors found.", "closing line of a clean run");
            } else {
                Check(!ok && lineNumber == static_cast<std::int32_t>(errorLines) && text == " errors found.",
                      "closing line of a run with errors");
            }
        }
        ++results;
        errorsAtLastLine_ = errors.size();
    }

    void AddError(std::string_view message) override {
        Check(clears == 1, "error item before Clear");
        Check(!closed, "error item after the closing line");
        errors.emplace_back(message);
    }

    void NoteLineError(std::int32_t lineNumber, std::string_view command, std::string_view message,
                       bool notImplemented) override {
        ++notes;
        Check(lineNumber == static_cast<std::int32_t>(results + 1), "NoteLineError for another line", lineNumber);
        Check(results < lines_.size(), "NoteLineError after the last line", lineNumber);
        Check(command == CommandOf(lines_[results]), "NoteLineError command", lineNumber);
        Check(notImplemented == message.empty(), "NoteLineError message empty exactly when not implemented",
              lineNumber);
    }

    int clears = 0;
    std::size_t results = 0;
    std::size_t errorLines = 0;
    std::size_t notes = 0;
    bool closed = false;
    std::vector<std::string> errors;

private:
    const std::vector<std::string_view>& lines_;
    std::size_t errorsAtLastLine_ = 0;
};

class CheckingHost final : public corvala::RunHost {
public:
    void ShowProgressPanel(bool visible) override {
        Check(visible != panelVisible, "progress panel shown or hidden twice");
        panelVisible = visible;
        ++panelCalls;
    }
    void SetProgress(int percent) override {
        Check(percent >= lastProgress && percent <= 100, "progress out of order or range", percent);
        lastProgress = percent;
    }
    void SuspendLogPainting(bool suspended) override {
        Check(suspended != painting, "painting suspended or resumed twice");
        painting = suspended;
    }
    void ProcessEvents() override { ++eventRounds; }

    bool panelVisible = false;
    bool painting = false;
    int panelCalls = 0;
    int lastProgress = 0;
    std::size_t eventRounds = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    corvala::SetDecimalSeparator('.');
    std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string_view> lines = SplitLines(bytes);
    std::size_t nonEmpty = 0, lastNonEmpty = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!CommandOf(lines[i]).empty()) {
            ++nonEmpty;
            lastNonEmpty = i + 1;
        }
    }
    // The progress after the last non-empty line: n * 100 / count, half to even.
    const int finalProgress =
        nonEmpty == 0 ? 0 : static_cast<int>(std::nearbyint(static_cast<double>(lastNonEmpty) * 100.0 / lines.size()));

    CheckingSink sink(lines);
    CheckingHost host;
    corvala::Engine engine(sink, host);
    engine.ValidateBytes("fuzz", bytes);

    Check(sink.clears == 1, "Clear once per run");
    Check(sink.closed && sink.results == lines.size() + 1, "one result line per file line plus the closing line");
    // The closing line of a run with errors is an error line too.
    Check(engine.ErrorCount == static_cast<std::int32_t>(sink.errorLines + (sink.errorLines > 0 ? 1 : 0)),
          "ErrorCount counts the error lines");
    Check(sink.errors.size() == sink.errorLines + 1, "one error item per error line plus the closing item");
    Check(sink.notes == sink.errorLines, "one NoteLineError per error line");
    Check(!engine.Running(), "run still marked as running");
    Check(!host.panelVisible && host.panelCalls == 2, "progress panel shown once and hidden at the end");
    Check(!host.painting, "log painting left suspended");
    Check(host.eventRounds == nonEmpty, "one event round per non-empty line");
    Check(host.lastProgress == finalProgress, "progress of the last non-empty line");
    return 0;
}
