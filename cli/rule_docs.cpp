#include "cli/rule_docs.h"

#include <nlohmann/json.hpp>

#include "engine/rules/checks_beyond_lines.h"
#include "engine/rules/extended/values.h"
#include "engine/model/rule_docs.h"

namespace corvala::cli {

namespace {

constexpr std::string_view kFamilies[] = {"line", "block", "file"};
constexpr std::string_view kJudgings[] = {"classic", "classic_file", "extended_file"};

std::string_view FamilyName(RuleFamily family) { return kFamilies[static_cast<std::size_t>(family)]; }

std::string SeverityText(const std::optional<Severity>& severity) {
    return severity ? std::string(SeverityName(*severity)) : std::string("—");
}

RuleId IdOf(const RuleInfo& rule) { return static_cast<RuleId>(&rule - AllRules().data()); }

constexpr std::string_view kIntroduction = R"(# Corvala's rules

<!-- Made by `corvala-check --list-rules --format=markdown` from the rule table
(engine/model/rules.def, engine/model/rule_docs_*.def, rule_fixes.def); run scripts/update-rules-doc after changing it. -->

Every finding of Corvala names a rule: a stable id that `--disable` takes, with a severity.
`corvala-check --list-rules` lists them all (`--format=json` as data).

- **The line checks** (always on) judge each line by itself: the syntax and value ranges of its
  record. With the classic rules (the default) their rule ids are the command words (`AC`, `DP`, ...)
  and `not-implemented`, and their messages are those of the Corvala window, byte for byte.
- **The block checks** (`--blocks`) judge each airspace as a whole.
- **The extended record set** judges lines, blocks and the file by the current description of the
  format.

## How a file is judged (`--rules`)

- `--rules=classic` (the default): the classic line checks, exactly as the Corvala window reports them.
- `--rules=auto`: each file by the record set it declares. A `*VERSION: 2.x` among its leading
  comments, or any `AY` record, makes it a file of the **extended record set**; any other file is a
  file of the **classic record set**, judged as today's flight instruments read it: the class codes
  they read pass, coordinates in every form they read pass (hemisphere letter glued to the number,
  decimal seconds), and the rules of the extended set alone do not apply. A `record-set` note on line 0
  says which and why.
- `--rules=extended`: every file as a file of the extended record set.

Severities follow what readers do with the fault:

- **error**: a flight instrument's reader refuses the file or the block, or reads the airspace
  wrongly (its class, type, limits, shape or frequency);
- **warning**: a strict reader refuses it, or the published description does not allow it, while
  flight instruments read it right;
- **note**: style.

Errors make `corvala-check` exit with status 1; warnings and notes do not, unless `--fail-on=warning`
or `--fail-on=note` says so. Without `--blocks` and with the classic rules every output is what it has
always been.

## Fixes (`--fix`, `--diff`)

Some findings offer a fix, and each rule's section says which. A **safe** fix changes only the
spelling: no reader that read the line before reads it differently afterwards. `corvala-check --fix`
applies them, checks the file again until nothing changes and saves it in place; `--diff` shows the
change as a unified diff and saves nothing. An **unsafe** fix matches the evident intent but changes
what some reader draws; only `--unsafe-fixes` applies it. A finding offers its fix only where the fix
is certain (an outline is closed only when its first point is written, not computed from a `DA`).

## Every rule

The severity in each way of judging a file: with the classic rules, in a classic file and in an
extended file under `--rules=auto` (an extended file's also with `--rules=extended`); — where the rule
does not report.

| rule | family | classic rules | classic file | extended file | finds |
|---|---|---|---|---|---|
)";

constexpr std::string_view kBlocks = R"(
## The block checks

The block checks (`--blocks`) look at each airspace as a whole, the way the flight instruments read
it: a **block** is an `AC` line and the lines after it up to the next `AC`, `TO` or `TC` line or the end
of the file. `TO` and `TC` start terrain blocks, to which none of these rules applies. The lines before
the first block are the file's **preamble**. Glide computers and moving-map programs read a file block
by block and refuse a block, often the whole file, at the first fault they meet. Corvala reports every
fault of every block in one pass.

### How the records are read

- `V X=` sets the centre for the arcs and circles that follow in the block; `V D=+` (the default) or
  `V D=-` sets the direction of the arcs that follow (`+` clockwise); `V W=` sets the width of an airway
  in nautical miles. Each block starts with no centre and direction `+`.
- `DP` is a point of the outline; `DA r,a1,a2` an arc of radius r nautical miles around the centre from
  bearing a1 to bearing a2 (degrees true); `DB p1,p2` an arc around the centre from p1 to p2; `DC r` a
  circle of radius r nautical miles; `DY` a point of an airway.
- The outline of an airspace is its `DP` points and the points of its arcs, in file order, closed back to
  the first point. Distances and arc points are computed on the WGS84 ellipsoid; arcs are followed
  closely enough (the chords keep within about 30 m of the arc) that the crossing test does not mistake
  an arc for a corner.
- Limits (`AH`, `AL`) are read in these forms, letters in any case: a number with a unit (`ft`, `F`,
  `m`) and a reference (`MSL`, `AMSL`, `ALT` above mean sea level; `AGL`, `GND`, `SFC`, `ASFC` above
  ground; `STD` pressure altitude), either of them or both left out (a number without unit is in feet,
  one without reference above mean sea level), with or without blanks between them (`1500ft AMSL`,
  `3500MSL`, `300 M AGL`); `FL` and a number (`FL95`, `FL 95`); `GND` or `SFC` alone for the ground;
  `UNL`, `UNLIM` or `UNLTD` for unlimited.
)";

constexpr std::string_view kExtended = R"(
## The extended record set and `--rules=auto`

Airspace files published today follow the current description of the format (version 2.1). It adds
records for the airspace type (`AY`), the radio frequency (`AF`) and station (`AG`), the transponder
code (`AX`) and the activation times (`AA`), new class letters, and a header. Arguments are read after
the comment is cut and with the blanks around them trimmed (`AC  UNC` is `AC UNC`); command words match
in any case. Coordinates may put the hemisphere letter directly after the number (`53:47:06N`) and space
their parts freely; they are respaced into the classic form and checked by the classic check, whose
messages report under the record's own id (`DP`, `DB`, `DY`, `AT`, `V`). The records the description
keeps from the classic set (`AN`, `AT`, `TO`, `TC`, `V`, the geometry) keep their classic checks.
These rules look at lines, blocks and the file; the block and file rules are on even without
`--blocks`.
)";

// An example as the document shows it, always UTF-8: a byte 0 as the
// symbol for it, a byte-order mark and the bytes of an example that is not
// UTF-8 as \x escapes.
std::string ShownExample(std::string_view example) {
    std::string shown;
    if (example.substr(0, 3) == "\xEF\xBB\xBF") {
        shown += "\\xEF\\xBB\\xBF";
        example.remove_prefix(3);
    }
    const bool utf8 = extended::IsUtf8(example);
    for (const char c : example) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\0') {
            shown += "\u2400";
        } else if (byte >= 0x80 && !utf8) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 15];
        } else {
            shown += c;
        }
    }
    return shown;
}

void Section(std::string& text, const RuleInfo& rule) {
    const RuleDoc* doc = DocOf(IdOf(rule));
    if (!doc) return;
    text += "\n### ";
    text += rule.id;
    text += "\n\n";
    text += "*";
    text += rule.summary;
    text += ".* Severity: ";
    static constexpr std::string_view kWhere[] = {"with the classic rules", "in a classic file",
                                                  "in an extended file"};
    bool first = true;
    for (std::size_t i = 0; i < 3; ++i) {
        if (!rule.severities[i]) continue;
        if (!first) text += ", ";
        first = false;
        text += SeverityName(*rule.severities[i]);
        text += ' ';
        text += kWhere[i];
    }
    text += ".\n\n";
    text += doc->rationale;
    text += "\n\n```\n";
    text += ShownExample(doc->example);
    text += "```\n\nFix: ";
    text += doc->fix;
    text += "\n";
    if (const RuleFix* fix = FixOf(IdOf(rule))) {
        text += "\n`--fix`";
        if (fix->safety == FixSafety::Unsafe) text += " `--unsafe-fixes`";
        text += " (";
        text += FixSafetyName(fix->safety);
        text += "): ";
        text += fix->does;
        text += ".\n";
    }
}

}  // namespace

std::string RuleHelpUri(std::string_view id) {
    std::string uri(kRulesDocumentUri);
    uri += '#';
    for (const char c : id) uri += c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    return uri;
}

std::string RulesJson() {
    nlohmann::ordered_json rules = nlohmann::ordered_json::array();
    for (const RuleInfo& rule : AllRules()) {
        nlohmann::ordered_json entry;
        entry["id"] = rule.id;
        entry["family"] = FamilyName(rule.family);
        nlohmann::ordered_json severity;
        for (std::size_t i = 0; i < 3; ++i)
            severity[std::string(kJudgings[i])] =
                rule.severities[i] ? nlohmann::ordered_json(SeverityName(*rule.severities[i])) : nullptr;
        entry["severity"] = severity;
        entry["summary"] = rule.summary;
        if (const RuleDoc* doc = DocOf(IdOf(rule))) {
            entry["rationale"] = doc->rationale;
            entry["example"] = doc->example;
            entry["fix"] = doc->fix;
            entry["help_uri"] = RuleHelpUri(rule.id);
        }
        if (const RuleFix* fix = FixOf(IdOf(rule)))
            entry["automatic_fix"] = {{"safety", FixSafetyName(fix->safety)}, {"does", fix->does}};
        rules.push_back(std::move(entry));
    }
    return rules.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

std::string RulesMarkdown() {
    std::string text(kIntroduction);
    for (const RuleInfo& rule : AllRules()) {
        text += "| ";
        if (DocOf(IdOf(rule))) {
            text += "[`";
            text += rule.id;
            text += "`](#";
            text += rule.id;
            text += ")";
        } else {
            text += "`";
            text += rule.id;
            text += "`";
        }
        text += " | ";
        text += FamilyName(rule.family);
        for (const auto& severity : rule.severities) {
            text += " | ";
            text += SeverityText(severity);
        }
        text += " | ";
        text += rule.summary;
        text += " |\n";
    }
    text += kBlocks;
    const auto firstExtended = static_cast<std::size_t>(RuleId::AirspaceClass);
    for (std::size_t i = 0; i < firstExtended; ++i) Section(text, AllRules()[i]);
    text += kExtended;
    for (std::size_t i = firstExtended; i < AllRules().size(); ++i) Section(text, AllRules()[i]);
    return text;
}

}  // namespace corvala::cli
