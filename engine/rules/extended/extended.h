// The extended record set: the rules of the current description of airspace
// files (version 2.x), which a run applies instead of the classic ones on
// request (corvala-check --rules=extended). ExtendedLineRules judges single
// lines; ExtendedBlockRules judges blocks and the file as a whole.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/rules/checks_beyond_lines.h"
#include "engine/model/findings.h"

namespace corvala {

class RecordChecks;
namespace extended {
using Rule = RuleId;
}

// Every rule the two classes below report: id, default severity, summary.
// The records the extended set keeps with their classic syntax (AN, AT, V,
// DP, ...) report under their command word, as the classic line checks do.
std::span<const RuleInfo> ExtendedRules() noexcept;

// The line rules. The run calls CheckLine for every non-empty line in place
// of the classic line check; a line passes when no finding is an error or
// a warning.
class ExtendedLineRules {
public:
    // `engine` runs the classic checks of the records the extended set keeps
    // unchanged; it must outlive this object. Rules disabled in `settings`
    // report nothing.
    ExtendedLineRules(RecordChecks& engine, const CheckSettings& settings);
    ~ExtendedLineRules();

    // Appends to `out` every finding of one line: `command` and `argument`
    // as the run split them (comment cut, argument untrimmed) from `raw`,
    // the line as read, `blockLine` the first line of its block (0 in the
    // preamble).
    void CheckLine(std::int32_t line, std::string_view raw, std::string_view command, std::string_view argument,
                   std::int32_t blockLine, std::vector<Finding>& out);

private:
    void Report(std::vector<Finding>& out, extended::Rule rule, std::string message,
                std::shared_ptr<const Fix> fix = nullptr) const;
    // The fix of `rule` that writes `text` in place of `part`, a view of
    // the line being checked; null when `part` is not one.
    std::shared_ptr<const Fix> Rewrite(extended::Rule rule, std::string_view part, std::string text,
                                       std::string title) const;
    // The argument with `text` in place of `part`, a view of it; "" when
    // `part` is not one.
    std::string Rewritten(std::string_view part, std::string_view text) const;
    // Whether the line check reads `argument` as it is, without a spelling
    // that strict readers refuse.
    bool ReadsAsCoordinate(std::string_view argument);
    std::shared_ptr<const Fix> AltitudeFix(std::string_view value, std::string_view written) const;
    void CheckClassic(std::string_view argument, std::vector<Finding>& out);
    void CheckCoordinates(std::string_view argument, std::vector<Finding>& out);
    void ReportSpelling(unsigned spelling, std::string_view argument, std::vector<Finding>& out);
    void CheckClass(std::string_view value, std::vector<Finding>& out) const;
    void CheckType(std::string_view value, std::vector<Finding>& out) const;
    void CheckFrequency(std::string_view value, std::vector<Finding>& out) const;
    void CheckTransponder(std::string_view value, std::vector<Finding>& out) const;
    void CheckAltitude(bool upper, std::string_view value, std::vector<Finding>& out) const;

    RecordChecks& engine_;
    CheckSettings settings_;
    // Where a coordinate text is respaced for the classic check.
    std::string canonical_;
    // Where a coordinate text is put right for the spellings readers
    // tolerate.
    std::string tolerant_;
    // The line being checked, for Report.
    std::int32_t line_ = 0;
    std::int32_t blockLine_ = 0;
    std::string_view command_;
    std::string_view raw_;
    std::string_view argument_;
    // Judges the text of a fix, apart from the run's engine and the
    // positions it keeps of the line.
    std::unique_ptr<RecordChecks> scratch_;
};

// The block and file rules. With settings.extended it reports every rule of
// the extended set that looks beyond one line; without it (classic rules
// with --blocks) only the note that suggests the extended rules for a file
// whose header declares version 2.x. Obeys the ordering of ChecksBeyondLines.
class ExtendedBlockRules final : public ChecksBeyondLines {
public:
    explicit ExtendedBlockRules(const CheckSettings& settings);
    ~ExtendedBlockRules() override;

    void Line(const RecordLine& line, std::vector<Finding>& out) override;
    void Finish(std::vector<Finding>& out) override;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace corvala
