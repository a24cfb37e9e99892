#include "cli/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <utility>

namespace corvala::cli {

namespace {

// The manual page is made from this text by help2man, which reads its layout:
// "Heading:" lines with indented paragraphs under them (each heading after
// Options becomes a section of the page); an option or a term, two or more
// blanks, its description, and continuation lines starting exactly in the
// description's column (a line indented differently starts a new paragraph).
constexpr std::string_view kHelp =
    R"(Usage: corvala-check [OPTION]... FILE...
Check airspace files with the rules of the Corvala window and write the
results to standard output. A FILE of "-" reads standard input.

Options:
  -f, --format=FORMAT  what to write for each file: errors (the default), log,
                       gnu, json, sarif, geojson or kml, as described under
                       "Output formats" below
      --blocks         also check each airspace as a whole (its limits, name,
                       shape and geometry), listing every fault of the file
      --rules=SET      the rules for single lines: classic (the default), the
                       rules of the Corvala window; extended, the extended
                       record set of today's files (airspace types,
                       frequencies, stations, transponder codes, activation
                       times), with its block and file rules; or auto, each
                       file by the record set it declares (a *VERSION: 2.x
                       header or an AY record: extended; else the classic
                       record set as today's flight instruments read it)
      --statistics     after the findings, one line per rule with its count
                       and severity, the most frequent first (on standard
                       error with the json and sarif formats)
      --fix            mend what is certain: apply every safe fix of the
                       rules that run (--list-rules shows which have one),
                       check again until nothing changes, save each FILE in
                       place (a FILE of "-": write the fixed text to
                       standard output) and report what remains
      --unsafe-fixes   with --fix or --diff, also apply the fixes that match
                       the evident intent but change what some reader draws
      --diff
                       show what the fixes would change as a unified diff
                       on standard output and save nothing; the exit status
                       is 1 when there is something to fix
      --disable=RULE[,RULE...]
                       report nothing for these rules (see --list-rules)
      --fail-on=SEVERITY
                       the least severity that makes the exit status 1:
                       error (the default), warning or note
      --list-rules     list every rule with its id, default severity and
                       what it finds, and exit; as a JSON array with each
                       rule's documentation with the json format, as the
                       rules document (docs/rules.md) with the markdown one
      --lsp
                       serve the language server protocol on standard input
                       and output, for editors (see docs/editors.md); FILEs
                       and the other options are not used
      --color=WHEN     colour the markers of the log format (" ok" green,
                       "wrn" orange, "err" red): auto (the default) only when
                       standard output is a terminal and NO_COLOR is unset or
                       empty, always, or never
  -h, --help           show this help and exit
  -V, --version        show the version and exit

  An option's value may be attached (--format=gnu) or follow as the next
  argument (--format gnu) when it is one of the option's values.

Output formats:
  errors  the error list: one item per finding ("Line 3: XY not
          implemented.") and the closing item ("   *** 2 errors found")
  log     the results log: one line per file line, " ok ", "wrn " or "err ",
          the line number, one blank and the line as read, then the closing
          line (" ok 0 No errors found." or "err 2  errors found.")
  gnu     "FILE:LINE: error: MESSAGE" for each finding and nothing for a
          clean file, for editors and CI annotations; MESSAGE is the check's
          own message without the "Line N: CMD returned error: " prefix, or
          "CMD not implemented."; with --blocks or --rules other than
          classic "FILE:LINE:COLUMN:" where the finding points into its
          line (COLUMN counts bytes from 1)
  json    one JSON document for all FILEs (below)
  sarif   one SARIF 2.1.0 log for all FILEs, the format code-scanning
          services annotate changes with: one run, the rules with their ids,
          a result per finding with its level, file and line
  geojson  one GeoJSON FeatureCollection (RFC 7946) for all FILEs, for GIS
           programs: a feature per airspace block with its shape, limits
           and findings (below)
  kml     one KML 2.2 document for all FILEs, for globe viewers: a folder
          per FILE, a placemark per airspace block, coloured by its worst
          finding (below)

Findings:
  With --blocks, --rules=extended or --rules=auto every finding has a
  severity (error, warning or note) and a rule id, and the formats show both:
  errors items read "Line 12: error: MESSAGE [too-few-points]", gnu lines
  "FILE:12:4: warning: MESSAGE [rule]", json findings carry "severity",
  "rule" and "block_line" (and "column" and "end_column", 1-based bytes,
  the end just after the span, where the finding points into its line),
  sarif results a region with columns, and the closing item counts errors,
  warnings and notes.
  Without them the outputs are those of the Corvala window, byte for byte.

Output:
  The errors and log formats write every item or line as the bytes of the
  file, unchanged, each followed by a single line feed; with one FILE nothing
  else is written, so the output matches the window's error list or log byte
  for byte (with LF where the window's saved list has CR LF). With several
  FILEs each file's block is preceded by a line "==> FILE <==" (standard input
  shows as "==> standard input <==") and the blocks are separated by an empty
  line. The gnu and json formats name standard input "-".

  On a terminal, with colour, and always in the gnu format, every control
  byte of a line or message other than tab is shown as an escape such as
  \x1b, so that a file cannot drive the terminal; the line separators and
  the bidirectional controls (U+2028 to U+202E, U+2066 to U+2069) are shown
  as \u2028 and so on, and a backslash as \\. File names are escaped so in
  every text format.

  Lines end at CR, LF or CR LF; a byte 0 ends the file. Bytes after it are
  not checked; standard error says so ("the file ends at a byte 0 at offset
  N; M bytes after it were not checked"), and with --blocks or
  --rules=extended a warning (text-after-nul) too. Numbers are read with
  "." as the decimal separator, whatever the locale.

  The json format writes one document for all FILEs, always as valid UTF-8
  JSON: "files" lists each FILE read, with its "path", "line_count",
  "error_count" and "errors", each error with its "line", "command" and
  "message" (with --blocks or --rules=extended also "warning_count" and
  "note_count", and "findings" in place of "errors"); "unreadable" lists each
  FILE that cannot be read, with its "path" and "message". A FILE that fails
  after lines of it were read (it changed while it was read) is listed in
  both: in "files" with what was read, "incomplete": true and its "message".
  A FILE's findings wait for its counts in memory and then in a temporary
  file in TMPDIR (else /tmp); when they cannot be kept, that FILE is
  unreadable ("Cannot keep the findings of ...") and the exit status is 2.
  Texts are shown as the window shows them: a valid UTF-8 sequence as its
  character, every other byte as the Windows-1252 character of that byte
  (the five bytes that code page leaves undefined as U+0081, U+008D, U+008F,
  U+0090 and U+009D). A text that is not UTF-8 is therefore shown, not kept:
  its bytes cannot always be told from those of the same text in UTF-8.

Maps:
  The geojson and kml formats draw each airspace block (from an AC line to
  the next AC, TO or TC line) as the block checks read it, whether or not
  --blocks is given: a polygon for an outline of DP, DA and DB records or a
  DC circle, a line for the DY points of an airway, and no geometry when no
  shape can be built (a geometry line that fails, a missing centre, fewer
  than 3 points, a circle of radius 0, shapes mixed in one block); the
  block's findings then say why. Arcs and circles are followed with points
  at most 10 degrees apart whose chords depart from the arc by at most 30 m,
  each point within about 10 m of the arc (a few dozen metres for radii of
  several hundred miles). Coordinates are longitude and
  latitude in decimal degrees with 7 decimals; rings are closed and run
  counterclockwise; a shape that crosses the antimeridian is cut there into
  parts (a MultiPolygon or MultiLineString).

  Each GeoJSON feature's "properties" hold "file", "line" (of its AC line),
  "name", "class", "type" (AY), "lower" and "upper" (each with its "text"
  as written, and "feet" and "reference" (GND, MSL or STD) when it is a
  height; null when absent), "frequency" (AF), "station" (AG), "severity"
  (the worst finding, or null) and "findings", each with its "line",
  "command", "message", "severity" and "rule". The collection's
  "properties" list under "files" each FILE with the findings outside its
  airspace blocks (the lines before the first block, terrain blocks, the
  file as a whole) and its counts, or its "failure" when it cannot be read.
  In KML each placemark is styled by its worst finding (error red, warning
  orange, note and none green, areas half transparent, clamped to the
  ground) and describes its limits and findings; each file's folder ends
  with a folder of the file's own findings and counts.

  Memory grows with the largest airspace block, not with the file.

Fixes:
  A fix is safe when no reader that read the line before reads it
  differently afterwards: only the spelling changes (MSL becomes AMSL, a
  repeated DP goes, an outline of DP points is closed by repeating its first
  point). An unsafe fix matches the evident intent but changes what some
  reader does (an AF moved before the circle it followed). Fixes whose edits
  touch the same line wait for the next round; --fix makes at most 8 rounds.
  Everything outside the edits stays byte for byte: line ends, encoding,
  blanks, comments and any bytes after a byte 0. The save goes through a
  new file in the same folder that is renamed over the FILE, so a failure
  leaves it as it was; FIFOs, devices and files that cannot be written are
  refused and left unchanged. Standard error tells for each FILE how many
  fixes were applied and how many findings remain; the exit status follows
  what remains. With --diff the hunks are those of "diff -u", headed by
  "--- FILE" and "+++ FILE".

Exit status:
  0  no finding of the --fail-on severity or worse in any FILE
  1  at least one such finding
  2  a FILE cannot be read or changed while it was read ("corvala-check:
     ..." on standard error; the other FILEs are still checked), memory ran
     out, the output cannot be written, or the options are wrong
)";

}  // namespace

std::string_view HelpText() noexcept { return kHelp; }

std::string VersionText() { return std::string("corvala-check ") + CORVALA_VERSION + "\n"; }

std::string RulesText() {
    std::size_t width = 0;
    for (const RuleInfo& rule : AllRules()) width = std::max(width, rule.id.size());
    std::string text;
    for (const RuleInfo& rule : AllRules()) {
        text += rule.id;
        text.append(width + 2 - rule.id.size(), ' ');
        const std::string_view severity = SeverityName(rule.severity);
        text += severity;
        text.append(9 - severity.size(), ' ');
        text += rule.summary;
        text += '\n';
    }
    return text;
}

namespace {

// An option whose value must be one of a few words.
template <typename Value>
struct Choice {
    const char* option;
    std::vector<std::pair<std::string_view, Value>> values;

    // The value of `word`, or an error that says what was expected.
    bool Read(const std::string& word, Value& value, std::string& error) const {
        for (const auto& [name, v] : values) {
            if (word == name) {
                value = v;
                return true;
            }
        }
        std::string expected;
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i > 0) expected += i + 1 == values.size() ? " or " : ", ";
            expected += values[i].first;
        }
        error = std::string(option) + " expects " + expected +
                (word.empty() ? ", and got nothing" : ", not '" + word + "'");
        return false;
    }
};

// "--format=" with nothing after the "=" must not take the next argument
// for its value, as the parser would.
bool EmptyAttachedValue(int argc, const char* const* argv, std::string& option) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") return false;
        if (arg.size() > 3 && arg.substr(0, 2) == "--" && arg.back() == '=') {
            option.assign(arg.substr(0, arg.size() - 1));
            return true;
        }
    }
    return false;
}

}  // namespace

ParseResult ParseOptions(int argc, const char* const* argv) {
    ParseResult result;
    Options& options = result.options;

    std::string empty;
    if (EmptyAttachedValue(argc, argv, empty)) {
        result.ok = false;
        result.error = empty + "= needs a value after the '=' (see --help)";
        return result;
    }

    CLI::App app{"corvala-check"};
    app.set_help_flag();  // the help text is our own, printed by the caller
    app.add_flag("-h,--help", options.showHelp);
    app.add_flag("-V,--version", options.showVersion);
    app.add_flag("--list-rules", options.listRules);
    app.add_flag("--blocks", options.checks.blocks);
    app.add_flag("--lsp", options.lsp);
    app.add_flag("--statistics", options.statistics);
    app.add_flag("--fix", options.fix);
    app.add_flag("--diff", options.diff);
    app.add_flag("--unsafe-fixes", options.unsafeFixes);

    std::string format = "errors";
    std::string color = "auto";
    std::string rules = "classic";
    std::string failOn = "error";
    std::vector<std::string> disabled;
    app.add_option("-f,--format", format)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_option("--color", color)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_option("--rules", rules)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_option("--fail-on", failOn)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_option("--disable", disabled)->delimiter(',')->allow_extra_args(false);
    app.add_option("files", options.files);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        result.ok = false;
        result.error = e.what();
        return result;
    }

    static const Choice<Format> kFormats{"--format",
                                         {{"errors", Format::Errors},
                                          {"log", Format::Log},
                                          {"gnu", Format::Gnu},
                                          {"json", Format::Json},
                                          {"sarif", Format::Sarif},
                                          {"geojson", Format::GeoJson},
                                          {"kml", Format::Kml},
                                          {"markdown", Format::Markdown}}};
    static const Choice<ColorMode> kColors{
        "--color", {{"auto", ColorMode::Auto}, {"always", ColorMode::Always}, {"never", ColorMode::Never}}};
    enum class RuleSet { Classic, Extended, Auto };
    static const Choice<RuleSet> kRules{
        "--rules", {{"classic", RuleSet::Classic}, {"extended", RuleSet::Extended}, {"auto", RuleSet::Auto}}};
    RuleSet ruleSet = RuleSet::Classic;
    static const Choice<Severity> kSeverities{
        "--fail-on", {{"error", Severity::Error}, {"warning", Severity::Warning}, {"note", Severity::Note}}};
    if (!kFormats.Read(format, options.format, result.error) || !kColors.Read(color, options.color, result.error) ||
        !kRules.Read(rules, ruleSet, result.error) ||
        !kSeverities.Read(failOn, options.failOn, result.error)) {
        result.ok = false;
        return result;
    }
    options.checks.extended = ruleSet == RuleSet::Extended;
    options.checks.byFile = ruleSet == RuleSet::Auto;
    for (const std::string& rule : disabled) {
        const RuleInfo* known = FindRule(rule);
        if (known == nullptr) {
            result.ok = false;
            result.error = "--disable expects rule ids, and '" + rule + "' is none (see --list-rules)";
            return result;
        }
        options.checks.Disable(RuleOf(*known));
    }
    if (options.format == Format::Markdown && !options.listRules) {
        result.ok = false;
        result.error = "--format=markdown goes with --list-rules";
        return result;
    }
    if (options.unsafeFixes && !options.fix && !options.diff) {
        result.ok = false;
        result.error = "--unsafe-fixes goes with --fix or --diff";
        return result;
    }
    if (options.fix && !options.diff && options.files.size() > 1 &&
        std::find(options.files.begin(), options.files.end(), "-") != options.files.end()) {
        result.ok = false;
        result.error = "--fix writes the fixed standard input to standard output, so \"-\" must be the only FILE";
        return result;
    }
    if (!options.showHelp && !options.showVersion && !options.listRules && !options.lsp && options.files.empty()) {
        result.ok = false;
        result.error = "no FILE given";
    }
    return result;
}

}  // namespace corvala::cli
