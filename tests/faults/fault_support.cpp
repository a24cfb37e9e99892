#include "fault_support.h"

#include "engine/present/report_texts.h"

namespace corvala::faults {

std::string LogLine(std::int32_t lineNumber, std::string_view text, bool ok) {
    return LogLineText(ok ? Verdict::Ok : Verdict::Error, lineNumber, text);
}

void CheckingSink::RunStarted(const RunStart& start) {
    name.assign(start.name);
    lines = mismatches = errorItems = 0;
    firstErrors.clear();
    lastError.clear();
    closingLine.clear();
}

void CheckingSink::Item(std::string text) {
    if (++errorItems <= 4) firstErrors.push_back(text);
    lastError = std::move(text);
}

void CheckingSink::Reported(const Finding& finding) { Item(ErrorItemText(finding, TextStyle::Classic)); }

void CheckingSink::LineChecked(const LineVerdict& verdict) {
    ++lines;
    std::string_view expectedText;
    bool expectedOk = true;
    expected_(static_cast<std::int32_t>(lines), expectedText, expectedOk);
    const bool ok = verdict.verdict == Verdict::Ok;
    if (verdict.line != lines || verdict.raw != expectedText || ok != expectedOk) {
        if (mismatches++ == 0) {
            firstMismatch = LogLine(verdict.line, verdict.raw.substr(0, 80), ok) + " instead of " +
                            LogLine(static_cast<std::int32_t>(lines), expectedText.substr(0, 80), expectedOk);
        }
    }
}

void CheckingSink::RunFinished(const RunEnd& end) {
    ++lines;
    if (end.cancelled) Item(std::string(kCancelledItem));
    Item(SummaryItemText(end, TextStyle::Classic));
    const SummaryLine summary = SummaryLogLine(end, TextStyle::Classic);
    closingLine = LogLineText(summary.verdict, summary.number, summary.text);
}

std::string CannotOpen(const std::string& fullPath, const std::string& cause) {
    return "Cannot open file \"" + fullPath + "\". " + cause;
}

}  // namespace corvala::faults
