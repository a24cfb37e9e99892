// The block checks on a block's records: where records stand, names,
// limits, repeated records, and the verdict on a whole block.
#include <algorithm>
#include <cstdio>

#include "engine/geo/geodesics.h"
#include "engine/rules/block/analyser.h"
#include "engine/rules/block/block_fixes.h"
#include "engine/values/altitude.h"

namespace corvala::block_checks {

// The most that a rule which reports under `settings` needs computed.
RuleNeeds MostNeeded(const CheckSettings& settings) {
    RuleNeeds most = RuleNeeds::Nothing;
    for (const RuleInfo& rule : AllRules())
        if (rule.family == RuleFamily::Block && rule.severities[static_cast<std::size_t>(settings.Judged())] &&
            settings.Enabled(RuleOf(rule)))
            most = std::max(most, rule.needs);
    return most;
}

std::string Lines(std::int32_t first, std::int32_t last) {
    if (first == last) return "line " + std::to_string(first);
    return "lines " + std::to_string(first) + " to " + std::to_string(last);
}

// "A", "A and B", "A, B and C".
std::string JoinWords(const std::vector<std::string>& words) {
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) text += i + 1 == words.size() ? " and " : ", ";
        text += words[i];
    }
    return text;
}

std::string Miles(double metres) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f NM", metres / kMetresPerNauticalMile);
    return text;
}

std::string Quoted(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    quoted += text;
    quoted += '"';
    return quoted;
}

void Analyser::Start(const RecordLine* first) {
    a_.kind = BlockKind::Preamble;
    a_.firstLine = 0;
    a_.lastLine = 0;
    a_.airspaceClass.clear();
    a_.name.clear();
    a_.upper.clear();
    a_.lower.clear();
    a_.nameLine = a_.upperLine = a_.lowerLine = 0;
    a_.outline.clear();
    a_.arcs.clear();
    a_.circles.clear();
    a_.airway.clear();
    a_.centres.clear();
    a_.geometryChecked = true;
    a_.findings.clear();
    if (first) {
        a_.kind = (first->command[0] | 0x20) == 'a' ? BlockKind::Airspace : BlockKind::Terrain;
        a_.firstLine = a_.lastLine = first->line;
        if (a_.kind == BlockKind::Airspace) a_.airspaceClass = TrimText(first->argument);
    }

    hasRecords_ = false;
    firstGeometryLine_ = shapeLines_ = lastRecordLine_ = 0;
    firstPoint_.clear();
    upperOk_ = lowerOk_ = false;
    lastShapeLine_ = afterGeometry_ = 0;
    repeats_.clear();
    centreLine_ = 0;
    centreKnown_ = false;
    clockwise_ = true;
    width_ = 0;
    anyShape_ = false;
    outlineLine_ = circleLine_ = airwayLine_ = 0;
    mixed_ = outlineHasArc_ = outlineBroken_ = lastWasPoint_ = zeroSweep_ = false;
    styleOnly_ = true;
    styleSeen_ = false;
    pendingArcs_.clear();
    arcPoints_ = 0;
    blockBytes_ = first ? first->command.size() + first->argument.size() + 1 : 0;
    failedLine_ = 0;
    failedWhy_.clear();
}

Finding* Analyser::Report(Rule rule, std::int32_t line, std::string message, std::vector<GeoPoint> markers) {
    Finding finding;
    if (!MakeFinding(rule, settings_, finding)) return nullptr;
    BlockFinding& f = a_.findings.emplace_back();
    f.finding = std::move(finding);
    f.finding.line = line;
    f.finding.message = std::move(message);
    f.finding.blockLine = a_.firstLine;
    f.markers = std::move(markers);
    return &f.finding;
}

void Analyser::Add(const RecordLine& line) {
    a_.lastLine = line.line;
    blockBytes_ += line.command.size() + line.argument.size() + 1;
    if (line.command.empty()) return;
    const Record record = Classify(line.command);

    if (a_.kind == BlockKind::Preamble) {
        const bool geometry =
            IsShape(record) || (record == Record::V && IsGeometryVariable(ReadVariable(line.argument).name));
        if ((record >= Record::AN && record <= Record::AT) || geometry)
            Report(Rule::RecordOutsideBlock, line.line,
                   std::string(line.command) + " before the first AC line: it belongs to no airspace");
        return;
    }
    if (a_.kind == BlockKind::Terrain) return;

    hasRecords_ = true;
    if (record == Record::SP || record == Record::SB) styleSeen_ = true;
    else if (record != Record::AN) styleOnly_ = false;
    // Readers that store a circle at its DC line give the records after it
    // to the next airspace.
    const bool header = record == Record::AN || record == Record::AH || record == Record::AL;
    if (circleLine_ != 0 && (record == Record::AF || record == Record::AG || header)) {
        const bool repeat = (record == Record::AN && a_.nameLine != 0) || (record == Record::AH && a_.upperLine != 0) ||
                            (record == Record::AL && a_.lowerLine != 0);
        if (!repeat)
            if (Finding* f = Report(Rule::RecordAfterGeometry, line.line,
                                    std::string(RecordName(record)) + " follows the circle of line " +
                                        std::to_string(circleLine_) +
                                        ": readers that take the circle at its DC line give " +
                                        std::string(RecordName(record)) +
                                        " to the next airspace; write it before the geometry"))
                f->fix = MoveBeforeGeometry(line.line, line.raw, firstGeometryLine_);
    }
    if (firstGeometryLine_ == 0 &&
        (IsShape(record) || (record == Record::V && IsGeometryVariable(ReadVariable(line.argument).name))))
        firstGeometryLine_ = line.line;
    if (IsShape(record)) ++shapeLines_;
    lastRecordLine_ = line.line;
    if (IsShape(record)) {
        lastShapeLine_ = line.line;
        afterGeometry_ = 0;
    } else if (lastShapeLine_ != 0 && afterGeometry_ == 0) {
        afterGeometry_ = line.line;
    }

    switch (record) {
    case Record::AN:
    case Record::AH:
    case Record::AL:
        HeaderRecord(record, line);
        break;
    case Record::V:
    case Record::DP:
    case Record::DA:
    case Record::DB:
    case Record::DC:
    case Record::DY:
        Shape(record, line);
        break;
    default:
        break;
    }
}

void Analyser::HeaderRecord(Record record, const RecordLine& line) {
    std::int32_t* first = &a_.nameLine;
    std::string* text = &a_.name;
    bool* ok = nullptr;
    if (record == Record::AH) {
        first = &a_.upperLine;
        text = &a_.upper;
        ok = &upperOk_;
    } else if (record == Record::AL) {
        first = &a_.lowerLine;
        text = &a_.lower;
        ok = &lowerOk_;
    }
    if (*first != 0) {
        repeats_.push_back({record, line.line, *first, lastShapeLine_ != 0 ? afterGeometry_ : 0});
        return;
    }
    *first = line.line;
    *text = TrimText(line.argument);
    if (ok) *ok = line.lineOk;
}

void Analyser::CheckMixing(Record record, std::int32_t line) {
    std::int32_t* mine = record == Record::DC ? &circleLine_ : record == Record::DY ? &airwayLine_ : &outlineLine_;
    if (!mixed_) {
        std::string message;
        if (record == Record::DC && circleLine_ != 0) {
            message = "a second circle in the block (the first at line " + std::to_string(circleLine_) + ")";
        } else {
            const char* what = record == Record::DC   ? "a circle"
                               : record == Record::DY ? "an airway point"
                                                      : "an outline record";
            std::int32_t other = 0;
            const char* otherName = "";
            if (record != Record::DC && circleLine_ != 0) {
                other = circleLine_;
                otherName = "a circle";
            } else if (record != Record::DY && airwayLine_ != 0) {
                other = airwayLine_;
                otherName = "an airway";
            } else if (!IsOutline(record) && outlineLine_ != 0) {
                other = outlineLine_;
                otherName = "an outline";
            }
            if (other != 0)
                message = std::string(what) + " (" + std::string(RecordName(record)) +
                          ") in a block that already has " + otherName + " (from line " + std::to_string(other) + ")";
        }
        if (!message.empty()) {
            mixed_ = true;
            Report(Rule::MixedShape, line, std::move(message));
        }
    }
    if (*mine == 0) *mine = line;
}

void Analyser::FinishRepeats() {
    for (std::size_t i = 0; i < repeats_.size();) {
        const Repeat& r = repeats_[i];
        if (r.afterGeometry == 0) {
            Report(Rule::RepeatedRecord, r.line,
                   "a second " + std::string(RecordName(r.record)) + " in the block (the first at line " +
                       std::to_string(r.first) + ")");
            ++i;
            continue;
        }
        // The repeats after one stretch of geometry are one fault: most
        // likely the AC line of the next airspace is missing.
        std::vector<std::string> names, firsts;
        std::size_t j = i;
        for (; j < repeats_.size() && repeats_[j].afterGeometry == r.afterGeometry; ++j) {
            names.emplace_back(RecordName(repeats_[j].record));
            firsts.push_back(std::to_string(repeats_[j].first));
        }
        Report(Rule::RepeatedRecord, r.line,
               "a second " + JoinWords(names) + " after the geometry of the block (the first at line" +
                   (firsts.size() > 1 ? "s " : " ") + JoinWords(firsts) + "): is an AC line missing before line " +
                   std::to_string(r.afterGeometry) + "?");
        i = j;
    }
}

void Analyser::FinishLimits() {
    if (a_.upperLine == 0) Report(Rule::MissingUpperLimit, a_.firstLine, "the airspace has no upper limit (AH)");
    if (a_.lowerLine == 0) Report(Rule::MissingLowerLimit, a_.firstLine, "the airspace has no lower limit (AL)");
    auto read = [&](bool present, const std::string& text, std::int32_t line, const char* which) {
        if (!present) return Altitude{};
        const Altitude altitude = ReadAltitude(text);
        if (altitude.kind == AltitudeKind::Unreadable) {
            Report(Rule::AltitudeUnreadable, line,
                   std::string("the ") + which + " limit " + Quoted(text) + " is none of the altitude forms");
        } else if (altitude.BareNumber()) {
            Report(Rule::AltitudeWithoutUnit, line,
                   std::string("the ") + which + " limit " + Quoted(text) + " has no unit: read as feet");
        }
        return altitude;
    };
    const Altitude upper = read(a_.upperLine != 0 && upperOk_, a_.upper, a_.upperLine, "upper");
    const Altitude lower = read(a_.lowerLine != 0 && lowerOk_, a_.lower, a_.lowerLine, "lower");
    if (!LimitsInverted(lower, upper).value_or(false)) return;
    const std::string limits = "the lower limit " + Quoted(a_.lower) + " (line " + std::to_string(a_.lowerLine) + ") ";
    const std::string upperText = Quoted(a_.upper) + " (line " + std::to_string(a_.upperLine) + ")";
    if (settings_.Judged() == Judging::Classic)
        return (void)Report(Rule::LimitsInverted, a_.lowerLine, limits + "is at or above the upper limit " + upperText);
    if (lower.kind == upper.kind && lower.feet == upper.feet)
        return (void)Report(Rule::LimitsEqual, a_.lowerLine,
                      limits + "equals the upper limit " + upperText + ": the airspace has no height");
    Report(Rule::LimitsInverted, a_.lowerLine, limits + "is above the upper limit " + upperText);
}

BlockAnalysis& Analyser::Finish(bool endOfFile) {
    // A zero-sweep arc becomes a circle only where it is the block's one
    // shape line.
    if (shapeLines_ > 1)
        for (BlockFinding& f : a_.findings)
            if (f.finding.rule == Rule::ZeroSweepArc) f.finding.fix.reset();
    if (a_.kind == BlockKind::Airspace) {
        if (!hasRecords_) {
            Report(Rule::EmptyBlock, a_.firstLine,
                   endOfFile ? "the AC line is followed directly by the end of the file"
                             : "the AC line is followed directly by the next block");
        } else {
            if (styleOnly_ && styleSeen_ && settings_.Judged() != Judging::Classic) {
                Report(Rule::LegendBlock, a_.firstLine,
                       "the block holds only SP and SB records: a colour legend, which readers skip");
                return Sorted();
            }
            if (a_.nameLine == 0) Report(Rule::MissingName, a_.firstLine, "the airspace has no name (AN)");
            FinishRepeats();
            FinishLimits();
            if (!anyShape_) Report(Rule::NoShape, a_.firstLine, "the airspace has no geometry (DP, DA, DB, DC or DY)");
            FinishOutline();
            if (failedLine_ != 0) {
                std::erase_if(a_.findings, [](const BlockFinding& f) {
                    return Info(f.finding.rule).needs != RuleNeeds::Nothing;
                });
                Report(Rule::GeometrySkipped, failedLine_,
                       "the geometry of the block is not checked: line " + std::to_string(failedLine_) + " " +
                           failedWhy_);
            }
        }
    }
    return Sorted();
}

BlockAnalysis& Analyser::Sorted() {
    auto byLine = [](const BlockFinding& x, const BlockFinding& y) { return x.finding.line < y.finding.line; };
    if (!std::is_sorted(a_.findings.begin(), a_.findings.end(), byLine))
        std::stable_sort(a_.findings.begin(), a_.findings.end(), byLine);
    return a_;
}

}  // namespace corvala::block_checks
