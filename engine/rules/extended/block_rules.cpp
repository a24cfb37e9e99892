// The block and file rules of the extended record set. Each block's rules
// are judged when the block ends; the file's rules at the line where they
// first show (UTF-8, forms of coordinates, the header's version) or, for
// what is missing from the whole file, at its end.
#include <algorithm>
#include <array>

#include "engine/values/coordinate_text.h"
#include "engine/rules/extended/extended.h"
#include "engine/rules/extended/values.h"
#include "engine/rules/file/record_set.h"
#include "engine/values/text.h"
#include "engine/model/rule_docs.h"

namespace corvala {

using extended::RecordKey;
using extended::Rule;

namespace {

std::string LineText(std::int32_t line) { return extended::Join({"line ", IntToText(line)}); }

}  // namespace

struct ExtendedBlockRules::State {
    enum class Block : unsigned char { Preamble, Airspace, Terrain };
    struct Interval {
        std::int32_t line;
        std::int64_t start, end;
    };

    explicit State(const CheckSettings& settings) : settings(settings) {}

    // The file as the run judges it; with the classic rules only the
    // suggestion of the extended ones.
    CheckSettings settings;

    // The file.
    bool inHeader = true;
    bool versionSeen = false;
    bool markSeen = false;
    bool writerSeen = false;
    bool suggested = false;
    bool utf8Reported = false;
    bool mixedReported = false;
    WrittenForm firstForm = WrittenForm::Other;
    std::int32_t firstFormLine = 0;

    // The block.
    Block block = Block::Preamble;
    std::int32_t blockLine = 0;
    bool afterClass = false;  // the last record line was the block's AC
    // Only SP and SB (and an AN) since the AC line: a colour legend.
    bool styleOnly = true;
    bool styleSeen = false;
    bool haveType = false;
    bool haveFrequency = false;
    std::int32_t stationLine = 0;
    std::int32_t noneLine = 0;  // the first AA NONE
    std::int32_t otherActivation = 0;  // the first other valid AA
    std::vector<Interval> intervals;  // the valid AA intervals, in file order

    void Report(std::vector<Finding>& out, Rule rule, std::int32_t line, std::int32_t block, std::string message,
                std::shared_ptr<const Fix> fix = nullptr) const {
        Finding finding;
        if (!MakeFinding(rule, settings, finding)) return;
        finding.line = line;
        finding.message = std::move(message);
        finding.blockLine = block;
        finding.fix = std::move(fix);
        out.push_back(std::move(finding));
    }

    void Header(const RecordLine& r, std::string_view raw, std::vector<Finding>& out);
    void Record(const RecordLine& r, std::string_view command, std::string_view argument, std::vector<Finding>& out);
    void Coordinates(const RecordLine& r, std::string_view text, int points, std::vector<Finding>& out);
    void EndBlock(std::vector<Finding>& out);
};

void ExtendedBlockRules::State::Header(const RecordLine& r, std::string_view raw, std::vector<Finding>& out) {
    std::string_view value;
    if (HeaderValue(raw, "WRITTEN_BY:", value)) writerSeen = true;
    if (!HeaderValue(raw, "VERSION:", value)) return;
    versionSeen = true;
    if (settings.Judged() == Judging::Classic) {
        if (IsVersion2(value) && !suggested)
            Report(out, Rule::ExtendedRulesSuggested, r.line, 0,
                   extended::Join(
                       {"the header declares version ", value, " of the format: --rules=extended checks its records"}));
        suggested = true;
    } else if (!IsVersion2(value)) {
        Report(out, Rule::UnsupportedVersion, r.line, 0,
               extended::Join({"the header declares version \"", value, "\"; the extended record set is version 2.x"}));
    }
}

void ExtendedBlockRules::State::Coordinates(const RecordLine& r, std::string_view text, int points,
                                        std::vector<Finding>& out) {
    if (mixedReported || !r.lineOk) return;
    const WrittenForm form = WrittenFormOf(text, points);
    if (form != WrittenForm::Seconds && form != WrittenForm::DecimalMinutes) return;
    if (firstForm == WrittenForm::Other) {
        firstForm = form;
        firstFormLine = r.line;
        return;
    }
    if (form == firstForm) return;
    mixedReported = true;
    auto name = [](WrittenForm f) {
        return f == WrittenForm::Seconds ? "degrees, minutes and seconds" : "degrees and decimal minutes";
    };
    Report(out, Rule::MixedCoordinateForms, r.line, blockLine,
           extended::Join({"this line writes its coordinates in ", name(form), ", ", LineText(firstFormLine), " in ",
                           name(firstForm), ": write every coordinate of the file in one form"}));
}

void ExtendedBlockRules::State::Record(const RecordLine& r, std::string_view command, std::string_view argument,
                                   std::vector<Finding>& out) {
    const std::string_view value = TrimText(argument);
    const bool wasAfterClass = afterClass;
    afterClass = false;
    const std::uint32_t key = RecordKey(command);
    if (key == RecordKey("SP") || key == RecordKey("SB")) styleSeen = true;
    else if (key != RecordKey("AN")) styleOnly = false;
    switch (key) {
    case RecordKey("AY"):
        haveType = true;
        if (!wasAfterClass && block != Block::Terrain)
            Report(out, Rule::TypeNotAfterClass, r.line, blockLine,
                   block == Block::Preamble ? "AY stands before the first AC line: write it directly after an AC line"
                                            : extended::Join({"AY does not follow its AC line (", LineText(blockLine),
                                                              ") directly; some readers expect it there"}));
        return;
    case RecordKey("AF"):
        haveFrequency = true;
        return;
    case RecordKey("AG"):
        if (stationLine == 0) stationLine = r.line;
        return;
    case RecordKey("AA"): {
        extended::Activation activation;
        if (block != Block::Airspace || !extended::ReadActivation(value, activation, nullptr)) return;
        if (activation.none && noneLine == 0) {
            noneLine = r.line;
            return;
        }
        if (otherActivation == 0) otherActivation = r.line;
        if (activation.none) return;
        if (!intervals.empty() && activation.start < intervals.back().start)
            Report(out, Rule::ActivationUnsorted, r.line, blockLine,
                   extended::Join({"this AA interval starts before the one of ", LineText(intervals.back().line),
                                   ": sort the intervals by their start"}));
        intervals.push_back({r.line, activation.start, activation.end});
        return;
    }
    case RecordKey("DP"):
    case RecordKey("DY"):
    case RecordKey("AT"):
        return Coordinates(r, value, 1, out);
    case RecordKey("DB"):
        return Coordinates(r, value, 2, out);
    case RecordKey("V"): {
        const std::size_t equals = value.find('=');
        if (equals != std::string_view::npos && TrimText(value.substr(0, equals)) == "X")
            Coordinates(r, value.substr(equals + 1), 1, out);
        return;
    }
    default:
        return;
    }
}

void ExtendedBlockRules::State::EndBlock(std::vector<Finding>& out) {
    const std::size_t first = out.size();
    if (block == Block::Airspace && !(styleOnly && styleSeen)) {
        if (!haveType)
            Report(out, Rule::MissingType, blockLine, blockLine,
                   "the airspace has no AY line; some readers require its type");
        if (stationLine != 0 && !haveFrequency)
            Report(out, Rule::StationWithoutFrequency, stationLine, blockLine,
                   "AG names a station, but the airspace has no AF frequency");
        if (noneLine != 0 && otherActivation != 0)
            Report(out, Rule::ActivationNoneWithTimes, noneLine, blockLine,
                   extended::Join({"AA NONE stands together with other AA lines (", LineText(otherActivation),
                                   "): write either NONE or the times"}));
        if (intervals.size() > 1) {
            // Sorted by start, an interval overlaps an earlier one when it
            // starts before the latest end so far.
            std::sort(intervals.begin(), intervals.end(), [](const Interval& a, const Interval& b) {
                return a.start != b.start ? a.start < b.start : a.line < b.line;
            });
            Interval latest = intervals.front();
            for (std::size_t i = 1; i < intervals.size(); ++i) {
                const Interval& interval = intervals[i];
                if (interval.start < latest.end)
                    Report(out, Rule::ActivationOverlap, interval.line, blockLine,
                           extended::Join({"this AA interval overlaps the one of ", LineText(latest.line)}));
                if (interval.end > latest.end) latest = interval;
            }
        }
    }
    // Findings of one block in line order, as the run passes them on.
    std::stable_sort(out.begin() + static_cast<std::ptrdiff_t>(first), out.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    haveType = haveFrequency = afterClass = false;
    styleOnly = true;
    styleSeen = false;
    stationLine = noneLine = otherActivation = 0;
    intervals.clear();
}

ExtendedBlockRules::ExtendedBlockRules(const CheckSettings& settings) : state_(std::make_unique<State>(settings)) {}

ExtendedBlockRules::~ExtendedBlockRules() = default;

void ExtendedBlockRules::Line(const RecordLine& r, std::vector<Finding>& out) {
    State& s = *state_;
    std::string_view raw = r.raw;
    std::string_view command = r.command;
    std::string_view argument = r.argument;
    const bool mark = r.line == 1 && raw.substr(0, extended::kByteOrderMark.size()) == extended::kByteOrderMark;
    if (mark) {
        raw.remove_prefix(extended::kByteOrderMark.size());
        if (!extended::WithoutByteOrderMark(command, argument)) command = {};
    }
    if (s.settings.Judged() == Judging::Classic) {
        // Only the header matters for the suggestion of the extended rules.
        if (!s.inHeader) return;
        if (command.empty()) return s.Header(r, raw, out);
        s.inHeader = false;
        return;
    }

    // A new block first ends the last one, whose findings name earlier lines.
    const bool starts = !command.empty() && StartsBlock(command);
    if (starts) {
        s.EndBlock(out);
        const bool airspace = RecordKey(command) == RecordKey("AC");
        s.block = airspace ? State::Block::Airspace : State::Block::Terrain;
        s.blockLine = r.line;
        s.afterClass = airspace;
    }
    if (mark) s.markSeen = true;
    if (mark)
        s.Report(out, Rule::ByteOrderMark, r.line, s.blockLine,
                 "the file starts with a byte-order mark; files of the extended record set are UTF-8 without one");
    if (!s.utf8Reported && !extended::IsUtf8(r.raw)) {
        s.utf8Reported = true;
        s.Report(out, Rule::NotUtf8, r.line, s.blockLine,
                 "this line is not valid UTF-8 (the first such line of the file); files of the extended record set "
                 "are UTF-8");
    }
    if (command.empty()) {
        if (s.inHeader) s.Header(r, raw, out);
        return;
    }
    s.inHeader = false;
    if (!starts) s.Record(r, command, argument, out);
}

void ExtendedBlockRules::Finish(std::vector<Finding>& out) {
    State& s = *state_;
    if (s.settings.Judged() == Judging::Classic) return;
    s.EndBlock(out);
    if (s.settings.byFile) s.Report(out, Rule::RecordSet, 0, 0, s.settings.declaration);
    if (s.versionSeen && s.writerSeen) return;
    std::string message = "the leading comments of the file lack ";
    if (!s.versionSeen) message += "*VERSION: 2.1";
    if (!s.versionSeen && !s.writerSeen) message += " and ";
    if (!s.writerSeen) message += "*WRITTEN_BY: with the program or person that wrote it";
    // The version goes before the first line; after a byte-order mark it
    // is left to the hand.
    std::shared_ptr<const Fix> fix;
    if (!s.versionSeen && !s.markSeen)
        fix = MakeRuleFix(Rule::MissingHeader, "add *VERSION: 2.1", {InsertLine(1, "*VERSION: 2.1")});
    s.Report(out, Rule::MissingHeader, 0, 0, std::move(message), std::move(fix));
}

}  // namespace corvala
