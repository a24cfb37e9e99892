// The rule table and what a run is asked to check: every rule with its
// family and its severity in each way of judging a file, the settings of a
// run (rule set, block checks, disabled rules), and how a rule becomes a
// finding.
#pragma once

#include <bitset>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/model/findings.h"
#include "engine/model/rule_id.h"

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
    // Rules that report nothing (corvala-check --disable, which reads
    // their ids).
    std::bitset<kRuleCount> disabled;

    bool Enabled(RuleId rule) const noexcept { return !disabled.test(static_cast<std::size_t>(rule)); }
    void Disable(RuleId rule) noexcept { disabled.set(static_cast<std::size_t>(rule)); }
    // Whether the extended record set's line rules judge the lines.
    bool ExtendedLines() const noexcept { return extended || classicFile; }
    Judging Judged() const noexcept {
        return extended ? Judging::ExtendedFile : classicFile ? Judging::ClassicFile : Judging::Classic;
    }
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
// The rule's id as the front ends print it ("too-few-points", "AC").
inline std::string_view IdOf(RuleId rule) noexcept { return Info(rule).id; }
// The rule with this id, or null.
const RuleInfo* FindRule(std::string_view id) noexcept;
// The rule of a row of the table.
inline RuleId RuleOf(const RuleInfo& info) noexcept { return static_cast<RuleId>(&info - AllRules().data()); }

// The finding of `rule` on `line`, with the severity the rule has where the
// settings judge the file; false when it does not report there or is
// disabled.
bool MakeFinding(RuleId rule, const CheckSettings& settings, Finding& finding);

}  // namespace corvala
