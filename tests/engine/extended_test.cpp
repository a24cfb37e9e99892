// The extended record set: its line rules (ExtendedLineRules) and its block
// and file rules (ExtendedBlockRules), fed as the run feeds them: each line cut
// at its comment and split at the first blank.
#include <array>
#include <filesystem>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "engine/values/coordinate_text.h"
#include "engine/run/engine.h"
#include "engine/rules/extended/extended.h"
#include "engine/values/position.h"
#include "engine/input/io.h"
#include "engine/input/lines.h"
#include "test_support.h"

using namespace std::string_view_literals;
using corvala::test::ScopedSeparator;
using corvala::test::Visible;

namespace corvala {
namespace {

// The command and argument of a line as the run splits them; false for an
// empty line.
bool Split(std::string_view raw, std::string_view& command, std::string_view& argument) {
    std::string_view text = raw.substr(0, raw.find('*'));
    text = TrimText(text);
    if (text.empty()) return false;
    const std::size_t blank = text.find(' ');
    command = text.substr(0, blank);
    argument = blank == std::string_view::npos ? std::string_view() : text.substr(blank + 1);
    return true;
}

// "line:severity:rule" for each finding, in the order given.
std::string Summary(const std::vector<Finding>& findings, bool withLines = true) {
    std::string text;
    for (const Finding& f : findings) {
        if (!text.empty()) text += ' ';
        if (withLines) text += std::to_string(f.line) + ":";
        text += std::string(SeverityName(f.severity)) + ":" + std::string(IdOf(f.rule));
    }
    return text;
}

CheckSettings Extended(std::vector<std::string> disabled = {}) {
    CheckSettings settings;
    settings.extended = true;
    for (const std::string& id : disabled) settings.Disable(RuleOf(*FindRule(id)));
    return settings;
}

// Every finding of a whole text, line rules and block rules, as a run with
// --rules=extended gathers them. Checks on the way that each call of
// ExtendedBlockRules names only the lines the ordering of ChecksBeyondLines allows.
std::vector<Finding> CheckText(std::string_view text, const CheckSettings& settings) {
    Engine engine;
    ExtendedLineRules records(engine, settings);
    ExtendedBlockRules checks(settings);
    const Lines lines{std::string(text)};
    std::vector<Finding> all, found;
    std::int32_t blockLine = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        RecordLine r;
        r.line = static_cast<std::int32_t>(i + 1);
        r.raw = lines[i];
        const std::int32_t previousBlock = blockLine;
        if (Split(r.raw, r.command, r.argument)) {
            if (StartsBlock(r.command)) blockLine = r.line;
            found.clear();
            if (settings.extended) records.CheckLine(r.line, r.raw, r.command, r.argument, blockLine, found);
            for (const Finding& f : found) r.lineOk = r.lineOk && f.severity == Severity::Note;
            all.insert(all.end(), found.begin(), found.end());
        }
        found.clear();
        checks.Line(r, found);
        for (const Finding& f : found) {
            EXPECT_TRUE(f.line == r.line || (f.line >= previousBlock && f.line > 0 && f.line <= r.line))
                << "line " << r.line << " reports line " << f.line;
        }
        all.insert(all.end(), found.begin(), found.end());
    }
    found.clear();
    checks.Finish(found);
    for (const Finding& f : found) EXPECT_TRUE(f.line == 0 || f.line >= blockLine) << "Finish reports line " << f.line;
    all.insert(all.end(), found.begin(), found.end());
    return all;
}

class ExtendedTest : public ::testing::Test {
protected:
    ScopedSeparator point_{'.'};
};

// The line rules: each record's value as the current description has it,
// the records it keeps judged by their classic checks (message and rule id
// of the classic check), a hint where an old or long spelling is common.
struct LineCase {
    std::string_view line;
    std::string_view expected;  // "severity:rule ...", empty for a clean line
    std::string_view message = {};  // a part of the first finding's message
};

TEST_F(ExtendedTest, LineRules) {
    const LineCase cases[] = {
        // AC: the classes A to G and UNC; old values that are types name the
        // type to use; the argument is trimmed.
        {"AC D", ""},
        {"AC UNC", ""},
        {"AC   UNC", ""},
        {"AC R", "warning:airspace-class-spelling", "write AC UNC (or the airspace's class letter) and AY R"},
        {"AC CTR", "warning:airspace-class-spelling", "and AY CTR"},
        {"AC W", "warning:airspace-class-spelling", "and AY GSEC"},
        {"AC RESTRICTED", "warning:airspace-class-spelling", "and AY R"},
        {"AC UNCLASSIFIED", "error:airspace-class", "write UNC"},
        {"AC d", "warning:airspace-class-spelling", "write D"},
        {"AC XYZ", "error:airspace-class", "write A, B, C, D, E, F, G or UNC"},
        {"AC", "error:airspace-class"},
        // AY: the listed types; long spellings name the short one.
        {"AY TMA", ""},
        {"AY N", ""},
        {"AY VFRSEC", ""},
        {"AY RESTRICTED", "error:airspace-type", "write R"},
        {"AY GLIDING_SECTOR", "error:airspace-type", "write GSEC"},
        {"AY tma", "error:airspace-type", "write TMA"},
        {"AY MTA ; low flying", "error:airspace-type"},
        {"AY", "error:airspace-type"},
        // AF: NNN.NNN from 118.000 to 136.990; a warning for a value that
        // names no 25 kHz or 8.33 kHz channel.
        {"AF 118.000", ""},
        {"AF 136.990", ""},
        {"AF 123.455", ""},
        {"AF 117.995", "error:frequency"},
        {"AF 136.995", "error:frequency"},
        {"AF 115.450", "error:frequency", "outside the band"},
        {"AF 123.45", "error:frequency", "is not written NNN.NNN"},
        {"AF 123.450 Tower", "warning:frequency-remark"},
        {"AF 115.450", "error:frequency", "navigation band"},
        {"AF 123.45 Tower", "error:frequency"},
        {"AF", "error:frequency"},
        {"AF 118.020", "warning:frequency-channel"},
        {"AF 136.945", "warning:frequency-channel"},
        {"AF 118.001", "warning:frequency-channel"},
        // AG: a station name.
        {"AG PARIS INFO", ""},
        {"AG   ", "error:station-name"},
        // AX: four octal digits.
        {"AX 7000", ""},
        {"AX 0777", ""},
        {"AX 7080", "error:transponder-code"},
        {"AX 700", "error:transponder-code"},
        {"AX 70000", "error:transponder-code"},
        // AA: NONE or START/END, each NONE or a UTC time with a real date,
        // start before end.
        {"AA NONE", ""},
        {"AA 2026-08-01T00:00Z/2026-10-31T23:59Z", ""},
        {"AA 2024-02-29T10:00:30Z/2024-03-01T24:00Z", ""},
        {"AA NONE/2026-04-12T24:00Z", ""},
        {"AA 2026-04-12T10:00Z/NONE", ""},
        {"AA NONE/NONE", "error:activation-time", "write AA NONE"},
        {"AA 2023-02-29T00:00Z/2023-03-01T00:00Z", "error:activation-time", "\"2023-02-29T00:00Z\""},
        {"AA 2024-01-01T24:00Z/2024-01-02T00:00Z", "error:activation-time", "is not before the end"},
        {"AA 2024-01-02T00:00Z/2024-01-01T00:00Z", "error:activation-time"},
        {"AA 2024-01-01T24:01Z/NONE", "error:activation-time"},
        {"AA 2024-01-01T12:60Z/NONE", "error:activation-time"},
        {"AA 2024-01-01T12:00/NONE", "error:activation-time"},
        {"AA 2024-01-01 12:00Z/NONE", "error:activation-time"},
        {"AA 2024-01-01T12:00Z", "error:activation-time", "neither NONE nor START/END"},
        {"AA", "error:activation-time"},
        // AH, AL: a number with ft or m and AMSL, AGL or STD, FL and a
        // number, GND below, UNL above, letters in any case; other spellings
        // readers take get a warning with the form to write.
        {"AH 2500ft AMSL", ""},
        {"AH 2500FT amsl", ""},
        {"AL 300 m AGL", ""},
        {"AH 14500ft STD", ""},
        {"AH FL 95", ""},
        {"AL GND", ""},
        {"AH UNL", ""},
        {"AH GND", "error:altitude", "cannot be an upper limit"},
        {"AL UNL", "error:altitude", "cannot be a lower limit"},
        {"AH FL", "error:altitude", "unreadable"},
        {"AH 2500 feet", "error:altitude"},
        {"AL", "error:altitude"},
        {"AH 2500MSL", "warning:altitude-spelling", "write 2500ft AMSL"},
        {"AH 2500FT MSL", "warning:altitude-spelling", "write 2500ft AMSL"},
        {"AL 1000ft GND", "warning:altitude-spelling", "write 1000ft AGL"},
        {"AL 300M SFC", "warning:altitude-spelling", "write 300m AGL"},
        {"AH 3500", "warning:altitude-spelling", "write 3500ft AMSL"},
        {"AH 3500 F AMSL", "warning:altitude-spelling", "write 3500ft AMSL"},
        {"AL SFC", "warning:altitude-spelling", "write GND"},
        {"AH UNLTD", "warning:altitude-spelling", "write UNL"},
        // Coordinates: the classic forms, the letter right after the number,
        // blanks spaced freely; the classic ranges and messages.
        {"DP 53:47:06N 008:21:41E", ""},
        {"DP 53:47.100N 008:21.683E", ""},
        {"DP 53.785N 8.361E", ""},
        {"DP 52:30:00 N 013:20:00 E", ""},
        {"DP 44:38:20  N  001:04:15  E", ""},
        {"DP 45:30:00 N05:20:00 E", ""},
        {"AT 53:47:06N 008:21:41E", ""},
        {"V X=53:47:06N 008:21:41E", ""},
        {"DB 53:47:06N 008:21:41E,53:48:06N 008:22:41E", ""},
        {"DP 53:47:61N 008:21:41E", "error:DP", "Not a coordinate: Seconds must be between 0 and 60."},
        {"DP 53:47:06N 008:21:41N", "error:DP", "Both points cannot be in the same time N"},
        {"DP 181:00:00N 0:0:0E", "error:DP", "Degrees must be between 0 and 180."},
        {"DP 53:47:06n 008:21:41e", "warning:coordinate-spelling", "small letters"},
        {"DP 53:47:06 N 008:21:41 E ; the mast", "warning:coordinate-spelling", "; remark"},
        {"DP 53:47:31.N 008:21:41E", "warning:coordinate-spelling", "ends in a dot"},
        {"DP 53:47:60 N 008:21:41 E", "warning:coordinate-sixty", "59:60 reads as the next minute"},
        {"DB 53:60:00N 008:21:41E, 53:47:06N 008:21:41E", "warning:coordinate-sixty", "minutes of \"53:60:00 N\""},
        {"DP 53:47:06x 008:21:41e", "error:DP"},
        {"V X=53:47:61N 008:21:41E", "error:V", "Variable assignment data is in unkown format (Not a coordinate"},
        {"DB 53:47:06N 008:21:41E", "error:DB"},
        // Only X is respaced: a W of 1E2 stays one number.
        {"V W=1E2", ""},
        // The records kept with their classic checks.
        {"AN Paris", ""},
        {"AN", "error:AN", "Airspace floor cannot be empty."},
        {"SP 0,1,0,0,0", "warning:unknown-record"},
        {"SB 256,0,0", "warning:unknown-record"},
        {"DC 1001", "error:DC"},
        {"TO anything", ""},
        {"V D=-", ""},
        {"V Z=150", "error:V"},
        // DA and DY: advised against, and still checked.
        {"DA 10,0,90", "note:discouraged-record", "DB"},
        {"DA 0,0,90", "error:DA note:discouraged-record", "DA radius must be between 1 and 1000."},
        {"DY 53:47:06N 008:21:41E", "note:discouraged-record"},
        // Commands outside the set; command words in any case.
        {"AI 5f3c", "warning:unknown-record", "AI is not part of the extended record set"},
        {"TP 7000", "warning:unknown-record", "write the transponder code as AX"},
        {"AR 123.5", "warning:unknown-record", "write the frequency as AF"},
        {"ay TMA", ""},
    };
    Engine engine;
    ExtendedLineRules records(engine, Extended());
    for (const LineCase& c : cases) {
        std::string_view command, argument;
        ASSERT_TRUE(Split(c.line, command, argument));
        std::vector<Finding> found;
        records.CheckLine(7, {}, command, argument, 3, found);
        EXPECT_EQ(Summary(found, false), c.expected) << c.line;
        if (!c.message.empty() && !found.empty()) {
            EXPECT_NE(found[0].message.find(c.message), std::string::npos) << c.line << ": " << found[0].message;
        }
        for (const Finding& f : found) {
            EXPECT_EQ(f.line, 7);
            EXPECT_EQ(f.blockLine, 3);
            EXPECT_EQ(f.command, command);
        }
    }
}

// A disabled rule reports nothing; the line is judged by the others.
TEST_F(ExtendedTest, DisabledRulesReportNothing) {
    Engine engine;
    ExtendedLineRules records(engine, Extended({"discouraged-record", "DA"}));
    std::vector<Finding> found;
    records.CheckLine(1, {}, "DA", "0,0,90", 1, found);
    EXPECT_EQ(Summary(found), "");
    EXPECT_EQ(Summary(CheckText("AC D\nAN x\n", Extended({"missing-header"}))), "1:note:missing-type");
    EXPECT_EQ(Summary(CheckText("AC D\nAN x\n", Extended({"missing-header", "missing-type"}))), "");
}

// The block and file rules. Cases leave out the header note unless they
// are about the header.
struct TextCase {
    std::string_view text;
    std::string_view expected;  // "line:severity:rule ..."
};

void ExpectFindings(std::span<const TextCase> cases, const CheckSettings& settings) {
    for (const TextCase& c : cases) EXPECT_EQ(Summary(CheckText(c.text, settings)), c.expected) << Visible(c.text);
}

TEST_F(ExtendedTest, BlockRules) {
    const TextCase cases[] = {
        // AG needs an AF somewhere in its block.
        {"AC D\nAY CTR\nAG TOWER\n", "3:warning:station-without-frequency"},
        {"AC D\nAY CTR\nAG TOWER\nAF 118.500\n", ""},
        {"AC D\nAY CTR\nAF 118.500\nAC D\nAY CTR\nAG TOWER\n", "6:warning:station-without-frequency"},
        // AA NONE stands alone; intervals sorted by start, not overlapping
        // (touching is fine).
        {"AC D\nAY R\nAA NONE\nAA 2026-01-01T00:00Z/2026-01-02T00:00Z\n", "3:error:activation-none-with-times"},
        {"AC D\nAY R\nAA NONE\nAA NONE\n", "3:error:activation-none-with-times"},
        {"AC D\nAY R\nAA NONE\nAC D\nAY R\nAA NONE\n", ""},
        {"AC D\nAY R\nAA 2026-01-01T00:00Z/2026-01-02T00:00Z\nAA 2026-01-02T00:00Z/2026-01-03T00:00Z\n", ""},
        {"AC D\nAY R\nAA 2026-01-05T00:00Z/2026-01-06T00:00Z\nAA 2026-01-01T00:00Z/2026-01-02T00:00Z\n",
         "4:warning:activation-unsorted"},
        {"AC D\nAY R\nAA 2026-01-01T00:00Z/2026-01-03T00:00Z\nAA 2026-01-02T00:00Z/2026-01-04T00:00Z\n",
         "4:warning:activation-overlap"},
        {"AC D\nAY R\nAA NONE/2026-01-03T00:00Z\nAA 2026-01-02T00:00Z/NONE\n", "4:warning:activation-overlap"},
        {"AC D\nAY R\nAA 2026-01-05T00:00Z/2026-01-06T00:00Z\nAA 2026-01-01T00:00Z/2026-01-07T00:00Z\n",
         "4:warning:activation-unsorted 3:warning:activation-overlap"},
        // AY in every airspace block, directly after AC (comments and blank
        // lines aside); terrain blocks have none.
        {"AC D\nAN x\n", "1:note:missing-type"},
        {"AC A\nSP 0,2,255,0,0\nSB -1,-1,-1\nAC D\nAY CTR\n", "2:warning:unknown-record 3:warning:unknown-record"},
        {"AC D\nAN x\nAY R\n", "3:warning:type-not-after-class"},
        {"AC D\n* the type\n\nAY R\n", ""},
        {"AY R\nAC D\nAY R\n", "1:warning:type-not-after-class"},
        {"TO hill\nDP 52:30:00 N 013:20:00 E\n", ""},
        // Coordinates in one form per file: reported once, where the second
        // form first shows; decimal degrees are neither form.
        {"AC D\nAY R\nDP 52:30:00 N 013:20:00 E\nDP 52:30.5 N 13:20.5 E\nDP 52:31.5N 13:20.5E\n",
         "4:warning:mixed-coordinate-forms"},
        {"AC D\nAY R\nV X=52:30.5 N 13:20.5 E\nDB 52:30:00 N 013:20:00 E,52:31:00 N 013:20:00 E\n",
         "4:warning:mixed-coordinate-forms"},
        {"AC D\nAY R\nDP 52:30:00 N 013:20:00 E\nDP 52.5 N 13.25 E\nDP 53:47:06N 008:21:41E\n", ""},
        // UTF-8: the first line that is not, once.
        {"AC D\nAY R\nAN Z\xC3\xBCrich\n", ""},
        {"AC D\nAY R\nAN Z\xFCrich\nAN \xFF\n", "3:warning:not-utf8"},
        {"AC D\nAY R\n* \xC0\xAF\n", "3:warning:not-utf8"},
        {"AC D\nAY R\nAN \xED\xA0\x80\n", "3:warning:not-utf8"},
    };
    ExpectFindings(cases, Extended({"missing-header"}));
}

// The header: *VERSION: 2.x and *WRITTEN_BY: among the comments before the
// first record; a byte-order mark is noted and does not hide them. With the
// classic rules only the suggestion to use the extended ones remains.
TEST_F(ExtendedTest, HeaderRules) {
    const TextCase extended[] = {
        {"*VERSION: 2.1\n*WRITTEN_BY: hand\n\nAC D\nAY R\n", ""},
        {"* VERSION: 2.0\n* WRITTEN_BY: hand\nAC D\nAY R\n", ""},
        {"*VERSION: 1.0\n*WRITTEN_BY: hand\nAC D\nAY R\n", "1:error:unsupported-version"},
        {"*VERSION: 2.1\nAC D\nAY R\n", "0:note:missing-header"},
        {"AC D\nAY R\n*VERSION: 2.1\n*WRITTEN_BY: hand\n", "0:note:missing-header"},
        {"*version= 98493d7 2026-07-30\nAC D\nAY R\n", "0:note:missing-header"},
        {"", "0:note:missing-header"},
        {"\xEF\xBB\xBF*VERSION: 2.1\n*WRITTEN_BY: hand\nAC D\nAY R\n", "1:note:byte-order-mark"},
        {"\xEF\xBB\xBF\n*VERSION: 2.1\n*WRITTEN_BY: hand\nAC D\nAY R\n", "1:note:byte-order-mark"},
        {"\xEF\xBB\xBFVERSION: 2.1\n", "1:warning:unknown-record 1:note:byte-order-mark 0:note:missing-header"},
    };
    ExpectFindings(extended, Extended());

    CheckSettings classic;
    classic.blocks = true;
    const TextCase suggestion[] = {
        {"*VERSION: 2.1\nAC R\n", "1:note:extended-rules-suggested"},
        {"\xEF\xBB\xBF* VERSION: 2.1\n*VERSION: 2.1\nAC R\n", "1:note:extended-rules-suggested"},
        {"*VERSION: 1.0\nAC R\n", ""},
        {"AC R\n*VERSION: 2.1\n", ""},
        {"AC R\nAN x\n", ""},
    };
    ExpectFindings(suggestion, classic);
}

// Respacing leaves the classic spacing alone and makes the others classic.
TEST_F(ExtendedTest, CanonicalCoordinate) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"52:30:00 N 013:20:00 E", "52:30:00 N 013:20:00 E"},
        {"  52:30:00 N 013:20:00 E ", "52:30:00 N 013:20:00 E"},
        {"53:47:06N 008:21:41E", "53:47:06 N 008:21:41 E"},
        {"53:47.100N 008:21.683W", "53:47.100 N 008:21.683 W"},
        {"44:38:20  N \t001:04:15  E", "44:38:20 N 001:04:15 E"},
        {"45:30:00 N05:20:00 E", "45:30:00 N 05:20:00 E"},
        {"53:47:06N 008:21:41E,53:48:06N 008:22:41E", "53:47:06 N 008:21:41 E,53:48:06 N 008:22:41 E"},
        {"53:47:06n", "53:47:06n"},
        {"", ""},
    };
    std::string buffer;
    for (const auto& [text, canonical] : cases) EXPECT_EQ(CanonicalCoordinate(text, buffer), canonical) << text;
}

// ReadPoint, used by the geometry of the block checks, reads the same texts.
TEST_F(ExtendedTest, ReadPointReadsTheLetterAfterTheNumber) {
    GeoPoint spaced, joined;
    ASSERT_TRUE(ReadPoint("53:47:06 N 008:21:41 E", spaced));
    ASSERT_TRUE(ReadPoint("53:47:06N 008:21:41E", joined));
    EXPECT_EQ(joined, spaced);
    EXPECT_FALSE(ReadPoint("53:47:61N 008:21:41E", joined));
}

TEST_F(ExtendedTest, RuleIdsAreUnique) {
    std::map<std::string_view, int> ids;
    for (const RuleInfo& rule : AllRules()) EXPECT_EQ(++ids[rule.id], 1) << rule.id;
}

// The real files: per file the errors, warnings and notes under the
// extended rules, pinned so that a change of what fires is seen.
TEST_F(ExtendedTest, Corpus) {
    const std::filesystem::path dir = CORVALA_CORPUS_DIR;
    ASSERT_TRUE(std::filesystem::is_directory(dir)) << "no corpus at " << dir;
    const std::map<std::string, std::array<int, 3>> expected = {
        // file: errors, warnings, notes
        {"ca-2026.txt", {0, 3116, 1500}},
        {"cz-2018.txt", {4, 137, 103}},
        {"de-2025-06-latin1.txt", {0, 971, 678}},
        {"de-2026.txt", {0, 1004, 668}},
        {"de-military-low-flying-2025.txt", {1, 29, 1}},
        {"de-spreewald-comp-2022.txt", {127, 1705, 1088}},
        {"fi-2018.txt", {3, 525, 206}},
        {"fr-2022-06-bom.txt", {0, 1799, 1315}},
        {"fr-2022-07-merge.txt", {0, 3558, 2660}},
        {"fr-2024-07.txt", {1624, 1156, 1}},
        {"fr-2026-exp.txt", {6, 0, 1}},
        {"it-2010-demo.txt", {0, 32, 17}},
        {"mw-national.txt", {0, 42, 13}},
        {"nl-2022.txt", {0, 1421, 167}},
        {"no-2026-ft.txt", {0, 295, 504}},
        {"re-2020.txt", {4, 17, 11}},
        {"ua-2024.txt", {206, 323, 651}},
        {"uk-2019.txt", {0, 1114, 685}},
        {"us-ksgu-ultralight-2024.txt", {0, 9, 4}},
        {"za-national.txt", {48, 236, 257}},
    };
    std::map<std::string, std::array<int, 3>> counted;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".txt") continue;
        std::array<int, 3> counts{};
        for (const Finding& f : CheckText(ReadWholeFile(entry.path().string(), FileKinds::Any), Extended()))
            ++counts[static_cast<std::size_t>(f.severity)];
        counted[entry.path().filename().string()] = counts;
    }
    for (const auto& [file, counts] : counted) {
        const auto pinned = expected.find(file);
        if (pinned == expected.end()) continue;  // a file added to the corpus since
        EXPECT_EQ(counts, pinned->second) << file << " (errors, warnings, notes)";
    }
}

}  // namespace
}  // namespace corvala
