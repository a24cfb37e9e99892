// A sink that records what a run reports: the values themselves, and the
// log and the error list as the window and corvala-check's log and errors
// formats show them (built with the shared texts of engine/present/report_texts.h).
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/model/findings.h"
#include "engine/present/report_texts.h"

namespace corvala::test {

class RecordingSink : public FindingSink {
public:
    explicit RecordingSink(TextStyle style = TextStyle::Classic) : style(style) {}

    void RunStarted(const RunStart& start) override;
    void Reported(const Finding& finding) override;
    void LineChecked(const LineVerdict& verdict) override;
    void RunFinished(const RunEnd& end) override;

    TextStyle style;
    int starts = 0;
    std::string name;  // of the newest run
    std::vector<Finding> findings;  // their command views point into commands_
    std::vector<LineVerdict> verdicts;  // their raw views point into raws_
    std::vector<std::string> log;  // the log lines, the closing line included
    std::vector<std::string> errors;  // the error-list items, the closing items included
    std::optional<RunEnd> end;
    // Called after each event with its text ("line ...", "error ..."), for
    // tests that follow the order of events.
    std::function<void(const std::string& event)> onEvent;

private:
    void Event(const std::string& text) {
        if (onEvent) onEvent(text);
    }
    std::deque<std::string> commands_;
    std::deque<std::string> raws_;
};

}  // namespace corvala::test
