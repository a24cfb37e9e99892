// Fuzz target: a whole validation run over arbitrary bytes.
//
// The sink checks what every run must produce whatever the bytes: one verdict
// per file line, in order, showing the raw line, each after the findings
// that name it; then the end. The host checks the progress protocol: one
// progress step and one event round per non-empty line.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run/engine.h"
#include "engine/model/failures.h"
#include "engine/run/run.h"
#include "engine/values/text.h"

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

std::string_view Trimmed(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
    return text.substr(b, e - b);
}

// The command word of a line, or empty for an empty line. The extended
// rules read the first line without a leading UTF-8 byte-order mark, so
// that a first line holding only the mark is empty for them.
std::string_view CommandOf(std::string_view raw, bool withoutMark = false) {
    if (auto star = raw.find('*'); star != std::string_view::npos) raw = raw.substr(0, star);
    raw = Trimmed(raw);
    if (withoutMark && raw.starts_with("\xEF\xBB\xBF")) raw = Trimmed(raw.substr(3));
    return raw.substr(0, raw.find(' '));
}

// Every line gets its verdict in order, after the findings that name it; a
// line check finding names the line's command; an error verdict exactly
// when an error finding named the line; findings about the whole file come
// after the last verdict; the end counts what was reported.
class CheckingSink final : public corvala::FindingSink {
public:
    CheckingSink(const std::vector<std::string_view>& lines, bool classic) : lines_(lines), classic_(classic) {}

    void RunStarted(const corvala::RunStart&) override {
        ++starts;
        Check(results == 0 && findings == 0, "start after output");
    }

    void Reported(const corvala::Finding& finding) override {
        Check(starts == 1, "finding before the start");
        Check(!ended, "finding after the end");
        ++findings;
        counts[static_cast<int>(finding.severity)]++;
        Check(static_cast<std::size_t>(finding.rule) < corvala::AllRules().size() && !finding.message.empty(),
              "finding without rule or message", finding.line);
        if (finding.line == 0) {
            Check(classic_ == false, "a finding about the whole file from the line checks alone");
            fileFindings = true;
            return;
        }
        Check(!fileFindings, "a line's finding after the findings about the whole file", finding.line);
        Check(finding.line == static_cast<std::int32_t>(results + 1), "finding not right before its line's verdict",
              finding.line);
        Check(finding.blockLine <= finding.line, "block starts after its line", finding.line);
        if (finding.severity == corvala::Severity::Error) pendingError_ = true;
        if (classic_) {
            ++lineFindings_;
            const std::string_view command = CommandOf(lines_[results]);
            Check(finding.command == command, "line check finding names another command", finding.line);
            Check(finding.severity == corvala::Severity::Error, "line checks report errors", finding.line);
            const bool notImplemented = corvala::Engine::FindValidator(command) == nullptr;
            Check((finding.rule == corvala::RuleId::NotImplemented) == notImplemented,
                  "not implemented exactly when there is no validator", finding.line);
        }
    }

    void LineChecked(const corvala::LineVerdict& verdict) override {
        Check(starts == 1 && !ended && !fileFindings, "verdict out of place", verdict.line);
        const std::size_t n = results + 1;
        Check(n <= lines_.size(), "more verdicts than lines", verdict.line);
        Check(verdict.line == static_cast<std::int32_t>(n), "line numbers out of order", verdict.line);
        Check(verdict.raw == lines_[n - 1], "verdict does not show the raw line", verdict.line);
        Check((verdict.verdict == corvala::Verdict::Error) == pendingError_, "error verdict without error finding",
              verdict.line);
        if (CommandOf(lines_[n - 1]).empty() && classic_) Check(verdict.verdict == corvala::Verdict::Ok, "empty line");
        if (classic_) Check(lineFindings_ <= 1, "more than one line check finding", verdict.line);
        if (verdict.verdict == corvala::Verdict::Error) ++errorLines;
        pendingError_ = false;
        lineFindings_ = 0;
        ++results;
    }

    void RunFinished(const corvala::RunEnd& end) override {
        Check(!ended, "two ends");
        ended = true;
        Check(results == lines_.size() && end.lineCount == static_cast<std::int32_t>(results), "line count");
        Check(end.errors == counts[0] && end.warnings == counts[1] && end.notes == counts[2], "counts by severity");
        Check(!end.cancelled, "cancelled without Cancel");
    }

    int starts = 0;
    std::size_t results = 0;
    std::size_t findings = 0;
    std::size_t errorLines = 0;
    std::int64_t counts[3] = {0, 0, 0};
    bool fileFindings = false;
    bool ended = false;

private:
    const std::vector<std::string_view>& lines_;
    bool classic_;
    bool pendingError_ = false;
    int lineFindings_ = 0;
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

// The program's floating-point environment, set once as the programs do.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    corvala::InitializeFloatingPoint();
    return 0;
}

// The first byte of an input that starts with 0x01 to 0x03 asks for the block
// checks (bit 0) and the extended record set (bit 1); it is not part of the
// file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    corvala::SetDecimalSeparator('.');
    corvala::CheckSettings settings;
    if (size > 0 && data[0] >= 1 && data[0] <= 3) {
        settings.blocks = (data[0] & 1) != 0;
        settings.extended = (data[0] & 2) != 0;
        ++data;
        --size;
    }
    const bool classic = !settings.blocks && !settings.extended;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string_view> lines = SplitLines(bytes);
    std::size_t nonEmpty = 0, lastNonEmpty = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!CommandOf(lines[i], settings.extended && i == 0).empty()) {
            ++nonEmpty;
            lastNonEmpty = i + 1;
        }
    }
    // The progress after the last non-empty line: n * 100 / count, half to even.
    const int finalProgress =
        nonEmpty == 0 ? 0 : static_cast<int>(std::nearbyint(static_cast<double>(lastNonEmpty) * 100.0 / lines.size()));

    CheckingSink sink(lines, classic);
    CheckingHost host;
    corvala::Engine engine(sink, host);
    engine.Settings = settings;
    engine.ValidateBytes("fuzz", bytes);

    Check(sink.starts == 1 && sink.ended, "one start and one end per run");
    Check(engine.ErrorCount == static_cast<std::int32_t>(sink.errorLines), "ErrorCount counts the error lines");
    if (classic) Check(sink.findings == sink.errorLines, "one finding per error line");
    Check(!engine.Running(), "run still marked as running");
    Check(!host.panelVisible && host.panelCalls == 2, "progress panel shown once and hidden at the end");
    Check(!host.painting, "log painting left suspended");
    Check(host.eventRounds == nonEmpty, "one event round per non-empty line");
    Check(host.lastProgress == finalProgress, "progress of the last non-empty line");
    return 0;
}
