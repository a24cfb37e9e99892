// What a run reports, as values: the start of a run, a verdict for every
// line of the file, a finding for every fault, and the end of the run. The
// engine hands them to one FindingSink; each front end formats them in its
// own way (the window's log and list, the checker's formats), and the
// texts that the window and the checker share come from engine/present/report_texts.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/model/rule_id.h"

namespace corvala {

struct Fix;

enum class Severity : std::uint8_t { Error, Warning, Note };

// "error", "warning" or "note".
std::string_view SeverityName(Severity severity) noexcept;

// One fault: where it shows, how bad it is, which rule found it and what
// it says.
struct Finding {
    // The 1-based file line where the fault shows; 0 for the file as a whole.
    std::int32_t line = 0;
    Severity severity = Severity::Error;
    // The rule's row in the rule table; its severity where the file is
    // judged and --disable were applied where the finding was made. The
    // front ends print its id (IdOf, engine/model/rules.h): the
    // validator's command ("AC", "DP", ...) or "not-implemented" for the
    // line checks, a kebab-case id such as "too-few-points" for the others.
    RuleId rule = RuleId::NotImplemented;
    // The command word of the line as written in the file ("ac" stays
    // "ac"); empty for findings that are not about one command.
    std::string_view command;
    // The message in plain words, without any "Line n: " prefix. For the
    // line checks it is the validator's message, or "CMD not implemented.".
    std::string message;
    // The first line of the block the finding belongs to; 0 before the
    // first block (the file's preamble) and for the file as a whole.
    std::int32_t blockLine = 0;
    // The bytes of the line at fault, [column, endColumn) as 0-based byte
    // offsets into the raw line (comment and blanks included); both -1
    // when unknown, and always for line 0. The run fills them in as the
    // finding goes out (LocateSpan, engine/run/spans.h).
    std::int32_t column = -1;
    std::int32_t endColumn = -1;
    // What mends the fault, when the rule knows it for certain or by the
    // evident intent (engine/model/fixes.h); null when nothing does.
    std::shared_ptr<const Fix> fix;

    bool HasSpan() const noexcept { return column >= 0 && endColumn >= column; }
};

// The outcome of one file line: its worst finding. Notes leave a line Ok.
enum class Verdict : std::uint8_t { Ok, Warning, Error };

struct LineVerdict {
    std::int32_t line = 0;
    // The line's bytes exactly as read, comment and blanks included. Valid
    // only during the call that receives it.
    std::string_view raw;
    Verdict verdict = Verdict::Ok;
};

struct RunStart {
    // The path as given (or the name that stands for standard input).
    std::string_view name;
};

struct RunEnd {
    // Lines of the file that were checked (all of them unless cancelled).
    std::int32_t lineCount = 0;
    // Findings by severity. With the line checks alone every finding is an
    // error and errors equals the number of failing lines.
    std::int64_t errors = 0;
    std::int64_t warnings = 0;
    std::int64_t notes = 0;
    bool cancelled = false;
};

// Where a run reports. The order is fixed: RunStarted; then for each line
// in file order the findings that name it, followed by its verdict; then
// the findings about the file as a whole (line 0); then RunFinished. A run
// that fails (the file cannot be read, a sink raises) ends without
// RunFinished.
class FindingSink {
public:
    virtual ~FindingSink() = default;
    virtual void RunStarted(const RunStart& start) = 0;
    virtual void Reported(const Finding& finding) = 0;
    virtual void LineChecked(const LineVerdict& verdict) = 0;
    virtual void RunFinished(const RunEnd& end) = 0;
};

// A sink that keeps nothing.
class NullFindingSink final : public FindingSink {
public:
    void RunStarted(const RunStart&) override {}
    void Reported(const Finding&) override {}
    void LineChecked(const LineVerdict&) override {}
    void RunFinished(const RunEnd&) override {}
};

}  // namespace corvala
