#include "tests/support/recording_sink.h"

namespace corvala::test {

void RecordingSink::RunStarted(const RunStart& start) {
    ++starts;
    name.assign(start.name);
    findings.clear();
    verdicts.clear();
    log.clear();
    errors.clear();
    end.reset();
    commands_.clear();
    raws_.clear();
    Event("start " + name);
}

void RecordingSink::Reported(const Finding& finding) {
    Finding& kept = findings.emplace_back(finding);
    kept.command = commands_.emplace_back(finding.command);
    errors.push_back(ErrorItemText(finding, style));
    Event("error " + errors.back());
}

void RecordingSink::LineChecked(const LineVerdict& verdict) {
    LineVerdict& kept = verdicts.emplace_back(verdict);
    kept.raw = raws_.emplace_back(verdict.raw);
    log.push_back(LogLineText(verdict.verdict, verdict.line, verdict.raw));
    Event("line " + log.back());
}

void RecordingSink::RunFinished(const RunEnd& runEnd) {
    end = runEnd;
    if (runEnd.cancelled) {
        errors.emplace_back(kCancelledItem);
        Event("error " + errors.back());
    }
    errors.push_back(SummaryItemText(runEnd, style));
    Event("error " + errors.back());
    const SummaryLine summary = SummaryLogLine(runEnd, style);
    log.push_back(LogLineText(summary.verdict, summary.number, summary.text));
    Event("line " + log.back());
}

}  // namespace corvala::test
