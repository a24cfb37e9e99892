// The checks that look beyond one line: the block checks (structure and
// geometry of each airspace) and the extended record set's rules for
// blocks and the whole file. They see every line of the file in order,
// after its line check, and report findings as values.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/findings.h"
#include "engine/geo.h"

namespace corvala {

// How a file is judged: by the classic line checks, byte for byte as
// they have always reported; as a file of the classic record set read by
// today's readers; or as a file of the extended record set.
enum class Judging : std::uint8_t { Classic, ClassicFile, ExtendedFile };

// Which checks a run makes beyond the line checks.
struct CheckSettings {
    // The block checks (corvala-check --blocks).
    bool blocks = false;
    // The extended record set's rules instead of the classic ones
    // (corvala-check --rules=extended; under byFile, set by the run for a
    // file that declares the extended record set).
    bool extended = false;
    // Each file judged by the record set it declares (corvala-check
    // --rules=auto): the run decides `extended` and `classicFile` per file.
    bool byFile = false;
    // Set by the run under byFile: the file declares nothing and is judged
    // as today's readers read the classic record set.
    bool classicFile = false;
    // Set by the run under byFile: which record set the file declares and
    // where (the record-set note).
    std::string declaration;
    // Rule ids that report nothing (corvala-check --disable).
    std::vector<std::string> disabled;

    bool Enabled(std::string_view rule) const noexcept {
        for (const std::string& id : disabled)
            if (id == rule) return false;
        return true;
    }
    // Whether the extended record set's line rules judge the lines.
    bool ExtendedLines() const noexcept { return extended || classicFile; }
    Judging Judged() const noexcept {
        return extended ? Judging::ExtendedFile : classicFile ? Judging::ClassicFile : Judging::Classic;
    }
};

// Every rule, by the name of its row in engine/rules.def.
enum class RuleId : std::uint8_t {
#define RULE(name, id, family, needs, classic, classicFile, extendedFile, summary) name,
#include "engine/rules.def"
#undef RULE
};

enum class RuleFamily : std::uint8_t { Line, Block, File };

// What the block checks compute for a rule (see rules.def); each includes
// the ones before it.
enum class RuleNeeds : std::uint8_t { Nothing, Positions, Measured, Followed };

// One rule: its id, its family, its severity in each way of judging a file
// (none where it does not apply) and one line that says what it finds.
struct RuleInfo {
    std::string_view id;
    RuleFamily family;
    RuleNeeds needs;
    // Indexed by Judging; empty where the rule does not report.
    std::optional<Severity> severities[3];
    std::string_view summary;
    // The severity --list-rules and SARIF give: the classic one, else the
    // one for extended files, else the one for classic files.
    Severity severity;
};

// Every rule a run can report, each id once, in the order of rules.def.
std::span<const RuleInfo> AllRules() noexcept;
const RuleInfo& Info(RuleId rule) noexcept;
// The rule with this id, or null.
const RuleInfo* FindRule(std::string_view id) noexcept;

// The finding of `rule` on `line`, with the severity the rule has where the
// settings judge the file; false when it does not report there or is
// disabled.
bool MakeFinding(RuleId rule, const CheckSettings& settings, Finding& finding);

// One line of the file as the checks beyond single lines see it.
struct RecordLine {
    std::int32_t line = 0;
    // The bytes as read, comment and blanks included.
    std::string_view raw;
    // The command word as written; empty for an empty line (one that holds
    // only blanks or a comment).
    std::string_view command;
    // The argument text after the first blank, untrimmed (the comment is
    // already cut off).
    std::string_view argument;
    // The line check accepted the line (always true for an empty line).
    bool lineOk = true;
    // The positions the line check read from the line, in order (a DP's
    // point, a DB's two ends, a V X='s centre); empty when it read none.
    std::span<const GeoPoint> positions;
};

// The shape every check beyond single lines has. The run calls Line for
// every line of the file in order and Finish after the last one.
//
// What Line(r) may report: findings that name r.line, or any line since
// the last line that started a block (AC, TO or TC); when r itself starts a
// block, also lines of the block that r ends. Finish may name lines of the
// last block, and line 0 for the file as a whole. The run holds back each
// block's verdicts until the block has ended, so that every finding still
// comes before the verdict of its line.
//
// The views in a RecordLine are valid only during the call: a check that
// needs a text later keeps its own copy.
class LineChecks {
public:
    virtual ~LineChecks() = default;
    virtual void Line(const RecordLine& line, std::vector<Finding>& out) = 0;
    virtual void Finish(std::vector<Finding>& out) = 0;
};

// The checks beyond single lines that `settings` asks for, fresh for one
// run (`settings` as the run resolved them for the file).
std::vector<std::unique_ptr<LineChecks>> MakeLineChecks(const CheckSettings& settings);

// True for the command words that start a block: AC, TO, TC, letters in
// any case (the same comparison as the dispatch to the validators).
bool StartsBlock(std::string_view command) noexcept;

}  // namespace corvala
