#include "engine/rules/block/blocks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <unordered_map>

#include <xxhash.h>

#include "engine/values/altitude.h"
#include "engine/geo/outline.h"
#include "engine/values/pattern.h"
#include "engine/values/text.h"
#include "engine/rules/block/block_fixes.h"

namespace corvala {

namespace {

using Rule = RuleId;

// The points followed along the arcs of a block, at most: two for each
// byte of its records, and what the blocks before it left of theirs (4,096
// to begin with), never more than a quarter of a million. The blocks of
// real files need less than half a point a byte; a 14-byte DA line can ask
// for 358 points. Past these bounds the block's geometry is not checked, so
// that the time and memory of the checks keep in step with the file's size
// (a fifth of a microsecond a point).
constexpr std::size_t kArcPointsPerByte = 2;
constexpr std::size_t kFirstArcPoints = 4096;
constexpr std::size_t kMostArcPoints = std::size_t{1} << 18;

// A DB that turns less than this many degrees from its start to its end
// starts where it ends.
constexpr double kLeastArcTurn = 0.5;

// The most that a rule which reports under `settings` needs computed.
RuleNeeds MostNeeded(const CheckSettings& settings) {
    RuleNeeds most = RuleNeeds::Nothing;
    for (const RuleInfo& rule : AllRules())
        if (rule.family == RuleFamily::Block && rule.severities[static_cast<std::size_t>(settings.Judged())] &&
            settings.Enabled(rule.id))
            most = std::max(most, rule.needs);
    return most;
}

enum class Record : std::uint8_t { Other, AN, AH, AL, AT, AF, AG, SP, SB, V, DP, DA, DB, DC, DY };

// Letters compare regardless of case, as in the dispatch to the validators.
Record Classify(std::string_view command) {
    if (command.size() == 1) return (command[0] | 0x20) == 'v' ? Record::V : Record::Other;
    if (command.size() != 2) return Record::Other;
    const char a = static_cast<char>(command[0] | 0x20);
    const char b = static_cast<char>(command[1] | 0x20);
    if (a == 's') return b == 'p' ? Record::SP : b == 'b' ? Record::SB : Record::Other;
    if (a == 'a') {
        switch (b) {
        case 'f':
            return Record::AF;
        case 'g':
            return Record::AG;
        case 'n':
            return Record::AN;
        case 'h':
            return Record::AH;
        case 'l':
            return Record::AL;
        case 't':
            return Record::AT;
        }
    } else if (a == 'd') {
        switch (b) {
        case 'p':
            return Record::DP;
        case 'a':
            return Record::DA;
        case 'b':
            return Record::DB;
        case 'c':
            return Record::DC;
        case 'y':
            return Record::DY;
        }
    }
    return Record::Other;
}

bool IsShape(Record r) { return r >= Record::DP; }
bool IsOutline(Record r) { return r == Record::DP || r == Record::DA || r == Record::DB; }

std::string_view RecordName(Record r) {
    static constexpr std::string_view kNames[] = {"",   "AN", "AH", "AL", "AT", "AF", "AG", "SP",
                                                  "SB", "V",  "DP", "DA", "DB", "DC", "DY"};
    return kNames[static_cast<std::size_t>(r)];
}

// A V line's variable and value, both trimmed.
struct Variable {
    std::string_view name;
    std::string_view value;
};

Variable ReadVariable(std::string_view argument) {
    const std::size_t equals = argument.find('=');
    if (equals == std::string_view::npos) return {TrimText(argument), {}};
    return {TrimText(argument.substr(0, equals)), TrimText(argument.substr(equals + 1))};
}

// X (centre), D (direction) and W (airway width) shape the geometry; Z
// (zoom) does not.
bool IsGeometryVariable(std::string_view name) {
    return name.size() == 1 && ((name[0] | 0x20) == 'x' || (name[0] | 0x20) == 'd' || (name[0] | 0x20) == 'w');
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

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// The signed turn from bearing `from` to bearing `to` in the given
// direction (positive clockwise). Equal bearings make a full turn.
double Sweep(double from, double to, bool clockwise) {
    double turn = std::fmod(clockwise ? to - from : from - to, 360.0);
    if (turn <= 0) turn += 360;
    return clockwise ? turn : -turn;
}

// One block at a time, line by line: the same code serves AnalyseBlock and
// BlockChecks.
// The position a geometry line names: the one its line check read, or, for
// lines given without (the window's outline view), read from `text`.
bool PositionAt(const RecordLine& line, std::size_t index, std::string_view text, GeoPoint& point) {
    if (index < line.positions.size()) {
        point = line.positions[index];
        return true;
    }
    return line.positions.empty() && ReadPoint(text, point);
}

class Analyser {
public:
    explicit Analyser(const CheckSettings& settings)
        : settings_(settings),
          // The points along the arcs serve the crossing test and the count
          // of distinct points; without those rules only the arcs' ends are
          // kept, and without the rules that measure arcs not even those
          // are measured.
          followArcs_(MostNeeded(settings) == RuleNeeds::Followed),
          measureArcs_(MostNeeded(settings) >= RuleNeeds::Measured) {}

    // Begins a block at `first` (an AC, TO or TC line), or the preamble
    // when it is null.
    void Start(const RecordLine* first);
    // One more line of the block; it must not start a block.
    void Add(const RecordLine& line);
    // Completes the analysis; `endOfFile` when no block follows.
    BlockAnalysis& Finish(bool endOfFile);

    BlockAnalysis& Result() { return a_; }
    // A record besides the block's first line.
    bool HasRecords() const { return hasRecords_; }
    std::int32_t LastRecordLine() const { return lastRecordLine_; }

private:
    // The finding made, or null when the rule does not report here.
    Finding* Report(Rule rule, std::int32_t line, std::string message, std::vector<GeoPoint> markers = {});
    void HeaderRecord(Record record, const RecordLine& line);
    void Shape(Record record, const RecordLine& line);
    void CheckMixing(Record record, std::int32_t line);
    // Stops reading the geometry: the first geometry line that cannot be read.
    void GeometryFailed(std::int32_t line, const char* why);
    void Point(const RecordLine& line);
    void Arc(Record record, const RecordLine& line);
    void Circle(const RecordLine& line);
    void AirwayPoint(const RecordLine& line);
    void AddArc(std::int32_t line, GeoPoint start, GeoPoint end, double startMetres, double endMetres,
                double startBearing, double endBearing);

    void FinishRepeats();
    void FinishLimits();
    // Adds the points along the arcs to the outline, within the block's
    // bounds; false when it needs more (the geometry is then not checked).
    bool FollowArcs();
    void FinishOutline();
    // The findings in line order.
    BlockAnalysis& Sorted();

    const CheckSettings& settings_;
    bool followArcs_;
    bool measureArcs_;
    BlockAnalysis a_;
    FieldList fields_;

    bool hasRecords_ = false;
    bool upperOk_ = false, lowerOk_ = false;
    std::int32_t lastShapeLine_ = 0;
    // The first line of the records that follow the last geometry line.
    std::int32_t runStart_ = 0;
    struct Repeat {
        Record record;
        std::int32_t line;
        std::int32_t first;
        std::int32_t runStart;
    };
    std::vector<Repeat> repeats_;

    std::int32_t centreLine_ = 0;
    bool centreKnown_ = false;
    GeoPoint centre_;
    bool clockwise_ = true;
    double width_ = 0;
    bool anyShape_ = false;
    std::int32_t outlineLine_ = 0, circleLine_ = 0, airwayLine_ = 0;
    bool mixed_ = false;
    bool outlineHasArc_ = false;
    bool outlineBroken_ = false;
    // Only SP and SB (and an AN) since the AC line: a colour legend.
    bool styleOnly_ = true;
    bool styleSeen_ = false;
    bool zeroSweep_ = false;
    bool lastWasPoint_ = false;
    // For the fixes: the first geometry line (V X=, V D= or a shape), the
    // shape lines, the last line with a record and the first DP as written.
    std::int32_t firstGeometryLine_ = 0;
    std::int32_t shapeLines_ = 0;
    std::int32_t lastRecordLine_ = 0;
    std::string firstPoint_;
    // The arcs' points are followed once the block has ended and its size
    // is known: each arc to follow, and the points it needs.
    struct PendingArc {
        std::size_t arc;
        double from, sweep, startMetres, endMetres;
        std::size_t points;
    };
    std::vector<PendingArc> pendingArcs_;
    std::size_t arcPoints_ = 0;
    // The bytes of the block's records (command words and arguments).
    std::size_t blockBytes_ = 0;
    // The arc points the blocks so far left unused.
    std::size_t arcCredit_ = kFirstArcPoints;
    std::int32_t failedLine_ = 0;
    std::string failedWhy_;
};

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
    lastShapeLine_ = runStart_ = 0;
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
        runStart_ = 0;
    } else if (lastShapeLine_ != 0 && runStart_ == 0) {
        runStart_ = line.line;
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
        repeats_.push_back({record, line.line, *first, lastShapeLine_ != 0 ? runStart_ : 0});
        return;
    }
    *first = line.line;
    *text = TrimText(line.argument);
    if (ok) *ok = line.lineOk;
}

void Analyser::GeometryFailed(std::int32_t line, const char* why) {
    if (failedLine_ != 0) return;
    failedLine_ = line;
    failedWhy_ = why;
    a_.geometryChecked = false;
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

void Analyser::Shape(Record record, const RecordLine& line) {
    if (record == Record::V) {
        const Variable v = ReadVariable(line.argument);
        if (!IsGeometryVariable(v.name)) return;
        const char name = static_cast<char>(v.name[0] | 0x20);
        if (name == 'x') centreLine_ = line.line;
        if (!line.lineOk) return GeometryFailed(line.line, "failed its line check");
        if (name == 'x') {
            GeoPoint p;
            if (!PositionAt(line, 0, v.value, p)) return GeometryFailed(line.line, "holds no position on the earth");
            centre_ = p;
            centreKnown_ = true;
            if (failedLine_ == 0) a_.centres.push_back({line.line, p});
        } else if (name == 'd') {
            clockwise_ = v.value != "-";
        } else {
            long double w = 0;
            ScanReal(v.value, w);
            width_ = static_cast<double>(w);
        }
        return;
    }

    anyShape_ = true;
    CheckMixing(record, line.line);
    const bool needsCentre = record == Record::DA || record == Record::DB || record == Record::DC;
    if (needsCentre && centreLine_ == 0) {
        Report(Rule::MissingCentre, line.line,
               std::string(RecordName(record)) + " has no centre: no V X= line before it in the block");
        if (record != Record::DC) outlineBroken_ = true;
    }
    if (IsOutline(record) && record != Record::DP) outlineHasArc_ = true;
    if (!line.lineOk) return GeometryFailed(line.line, "failed its line check");
    if (failedLine_ != 0) return;
    if (needsCentre && !centreKnown_) return;

    switch (record) {
    case Record::DP:
        Point(line);
        return;
    case Record::DA:
    case Record::DB:
        lastWasPoint_ = false;
        Arc(record, line);
        return;
    case Record::DC:
        lastWasPoint_ = false;
        Circle(line);
        return;
    default:
        lastWasPoint_ = false;
        AirwayPoint(line);
        return;
    }
}

void Analyser::Point(const RecordLine& line) {
    GeoPoint p;
    if (!PositionAt(line, 0, line.argument, p)) return GeometryFailed(line.line, "holds no position on the earth");
    if (lastWasPoint_ && !a_.outline.empty() && a_.outline.back().position == p) {
        if (Finding* f = Report(Rule::RepeatedPoint, line.line,
                                "the same position as the point before it (line " +
                                    std::to_string(a_.outline.back().line) + ")",
                                {p}))
            f->fix = RemoveRepeatedPoint(line.line);
    }
    if (a_.outline.empty()) {
        firstPoint_.assign(line.command);
        firstPoint_ += ' ';
        firstPoint_.append(TrimText(line.argument));
    }
    a_.outline.push_back({p, line.line, false});
    lastWasPoint_ = true;
}

void Analyser::AddArc(std::int32_t line, GeoPoint start, GeoPoint end, double startMetres, double endMetres,
                      double startBearing, double endBearing) {
    ArcShape arc;
    arc.line = line;
    arc.centre = centre_;
    arc.startRadius = startMetres / kMetresPerNauticalMile;
    arc.endRadius = endMetres / kMetresPerNauticalMile;
    arc.startBearing = startBearing;
    arc.endBearing = endBearing;
    arc.clockwise = clockwise_;
    arc.firstPoint = static_cast<std::uint32_t>(a_.outline.size());
    a_.outline.push_back({start, line, true});
    a_.outline.push_back({end, line, true});
    arc.pointCount = 2;
    if (followArcs_) {
        const double sweep = Sweep(startBearing, endBearing, clockwise_);
        const std::size_t points = ArcPointCount(sweep, startMetres, endMetres);
        if (points > 0) pendingArcs_.push_back({a_.arcs.size(), startBearing, sweep, startMetres, endMetres, points});
        arcPoints_ += points;
        if (arcPoints_ > kMostArcPoints) {
            GeometryFailed(line, "");
            failedWhy_ = "takes the points along the block's arcs past " + std::to_string(kMostArcPoints);
        }
    }
    a_.arcs.push_back(arc);
}

bool Analyser::FollowArcs() {
    const std::size_t allowed = std::min(kMostArcPoints, arcCredit_ + kArcPointsPerByte * blockBytes_);
    arcCredit_ = arcPoints_ > allowed ? allowed : allowed - arcPoints_;
    if (pendingArcs_.empty()) return true;
    if (arcPoints_ > allowed) {
        if (failedLine_ != 0) return false;
        std::size_t points = 0;
        for (const PendingArc& p : pendingArcs_) {
            points += p.points;
            if (points <= allowed) continue;
            GeometryFailed(a_.arcs[p.arc].line, "");
            failedWhy_ = "takes the points along the block's arcs past " + std::to_string(allowed);
            if (allowed < kMostArcPoints)
                failedWhy_ += ": " + std::to_string(kArcPointsPerByte) + " for each of its " +
                              std::to_string(blockBytes_) + " bytes, and " +
                              std::to_string(allowed - kArcPointsPerByte * blockBytes_) + " in reserve";
            break;
        }
        return false;
    }
    thread_local std::vector<OutlinePoint> grown;
    thread_local std::vector<GeoPoint> followed;
    grown.clear();
    grown.reserve(a_.outline.size() + arcPoints_);
    std::size_t next = 0, pending = 0;
    for (std::size_t i = 0; i < a_.arcs.size(); ++i) {
        ArcShape& arc = a_.arcs[i];
        grown.insert(grown.end(), a_.outline.begin() + static_cast<std::ptrdiff_t>(next),
                     a_.outline.begin() + arc.firstPoint + 1);
        next = arc.firstPoint + 1;
        arc.firstPoint = static_cast<std::uint32_t>(grown.size() - 1);
        if (pending == pendingArcs_.size() || pendingArcs_[pending].arc != i) continue;
        const PendingArc& p = pendingArcs_[pending++];
        followed.clear();
        FollowArc(arc.centre, p.from, p.sweep, p.startMetres, p.endMetres, followed);
        for (const GeoPoint& point : followed) grown.push_back({point, arc.line, true});
        arc.pointCount = static_cast<std::uint32_t>(followed.size() + 2);
    }
    grown.insert(grown.end(), a_.outline.begin() + static_cast<std::ptrdiff_t>(next), a_.outline.end());
    a_.outline.swap(grown);
    return true;
}

void Analyser::Arc(Record record, const RecordLine& line) {
    if (record == Record::DA) {
        std::int32_t radius, from, to;
        if (ScanFields(line.argument, "s,s,s", fields_, true) != PatternCheck::Matched ||
            !ScanInt(fields_[0], radius) || !ScanInt(fields_[1], from) || !ScanInt(fields_[2], to))
            return GeometryFailed(line.line, "failed its line check");
        const double metres = radius * kMetresPerNauticalMile;
        if (radius == 0) Report(Rule::ZeroRadius, line.line, "the arc has radius 0", {centre_});
        AddArc(line.line, GeodesicDestination(centre_, from, metres), GeodesicDestination(centre_, to, metres), metres,
               metres, from, to);
        return;
    }
    GeoPoint start, end;
    if (line.positions.size() == 2) {
        start = line.positions[0];
        end = line.positions[1];
    } else if (ScanFields(line.argument, "s,s", fields_, true) != PatternCheck::Matched ||
               !ReadPoint(fields_[0], start) || !ReadPoint(fields_[1], end)) {
        return GeometryFailed(line.line, "holds no position on the earth");
    }
    // An outline that starts with this arc is closed by a DP at its start.
    if (a_.outline.empty()) {
        firstPoint_ = "DP ";
        firstPoint_.append(TrimText(line.argument.substr(0, line.argument.find(','))));
    }
    if (!measureArcs_) {
        // Nothing measures this arc: its ends are all that is kept.
        AddArc(line.line, start, end, 0, 0, 0, 0);
        return;
    }
    const Bearing toStart = GeodesicTo(centre_, start);
    const Bearing toEnd = GeodesicTo(centre_, end);
    const double larger = std::max(toStart.metres, toEnd.metres);
    const double difference = std::abs(toStart.metres - toEnd.metres);
    // Ends at one position make a full turn, which readers may also take
    // for none; ends a hair apart in the arc's direction, next to none.
    if (larger >= 1 && (start == end || std::abs(Sweep(toStart.degrees, toEnd.degrees, clockwise_)) < kLeastArcTurn)) {
        zeroSweep_ = true;
        if (Finding* f = Report(Rule::ZeroSweepArc, line.line,
                                "the arc starts where it ends: readers draw either nothing or a full circle; write DC "
                                "(the centre at line " +
                                    std::to_string(centreLine_) + ")",
                                {centre_, start, end})) {
            // A circle only where the arc is the block's one shape line.
            const std::string_view record(line.command.data(),
                                          static_cast<std::size_t>(line.argument.data() + line.argument.size() -
                                                                   line.command.data()));
            if (shapeLines_ == 1) f->fix = ArcAsCircle(line.line, line.raw, TrimText(record), larger);
        }
    }
    if (larger < 1) {
        Report(Rule::ZeroRadius, line.line,
               "the arc has radius 0: its end points lie on its centre (line " + std::to_string(centreLine_) + ")",
               {centre_});
    } else if (difference > 100 && difference > 0.02 * larger) {
        Report(Rule::ArcRadiusMismatch, line.line,
               "the arc's end points lie " + Miles(toStart.metres) + " and " + Miles(toEnd.metres) +
                   " from its centre (line " + std::to_string(centreLine_) + ")",
               {centre_, start, end});
    }
    AddArc(line.line, start, end, toStart.metres, toEnd.metres, toStart.degrees, toEnd.degrees);
}

void Analyser::Circle(const RecordLine& line) {
    long double radius = 0;
    if (!ScanReal(line.argument, radius)) return GeometryFailed(line.line, "failed its line check");
    if (radius == 0) Report(Rule::ZeroRadius, line.line, "the circle has radius 0", {centre_});
    a_.circles.push_back({line.line, centre_, static_cast<double>(radius)});
}

void Analyser::AirwayPoint(const RecordLine& line) {
    GeoPoint p;
    if (!PositionAt(line, 0, line.argument, p)) return GeometryFailed(line.line, "holds no position on the earth");
    a_.airway.push_back({line.line, p, width_});
}

void Analyser::FinishRepeats() {
    for (std::size_t i = 0; i < repeats_.size();) {
        const Repeat& r = repeats_[i];
        if (r.runStart == 0) {
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
        for (; j < repeats_.size() && repeats_[j].runStart == r.runStart; ++j) {
            names.emplace_back(RecordName(repeats_[j].record));
            firsts.push_back(std::to_string(repeats_[j].first));
        }
        Report(Rule::RepeatedRecord, r.line,
               "a second " + JoinWords(names) + " after the geometry of the block (the first at line" +
                   (firsts.size() > 1 ? "s " : " ") + JoinWords(firsts) + "): is an AC line missing before line " +
                   std::to_string(r.runStart) + "?");
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

// An outline of points ends where it starts; one that ends or starts on an
// arc, whose points are computed or written to a coarser precision, ends
// within 100 m of its start.
bool Closed(const OutlinePoint& first, const OutlinePoint& last) {
    if (first.position == last.position) return true;
    return (first.onArc || last.onArc) && GeodesicTo(first.position, last.position).metres <= 100;
}

void Analyser::FinishOutline() {
    // The arcs before a line that stopped the geometry are followed too,
    // for the outline view.
    if (!FollowArcs() || failedLine_ != 0) return;
    const std::vector<OutlinePoint>& outline = a_.outline;
    if (outlineLine_ == 0 || outlineBroken_ || outline.empty()) return;

    // Up to three distinct positions.
    GeoPoint found[3] = {outline.front().position};
    std::size_t distinctCount = 1;
    for (const OutlinePoint& p : outline) {
        if (std::find(found, found + distinctCount, p.position) != found + distinctCount) continue;
        found[distinctCount++] = p.position;
        if (distinctCount == 3) break;
    }
    const std::int32_t firstLine = outline.front().line, lastLine = outline.back().line;
    if (distinctCount < 3 && !zeroSweep_) {
        const std::string count = std::to_string(distinctCount);
        Report(Rule::TooFewPoints, a_.firstLine,
               (outline.size() == distinctCount ? "the outline has " + count + " point"
                                                : "the outline has " + count + " distinct point") +
                   (distinctCount == 1 ? "" : "s") + ", at least 3 are needed (" + Lines(firstLine, lastLine) + ")",
               std::vector<GeoPoint>(found, found + distinctCount));
        return;
    }

    if (!Closed(outline.front(), outline.back()))
        if (Finding* f = Report(Rule::NotClosed, lastLine,
                                "the outline ends at line " + std::to_string(lastLine) +
                                    " away from its first point (line " + std::to_string(firstLine) +
                                    "); most readers close it, some refuse it",
                                {outline.back().position, outline.front().position});
            f != nullptr && !firstPoint_.empty())
            f->fix = CloseOutline(lastLine, firstPoint_);

    if (!settings_.Enabled(Info(Rule::SelfIntersection).id) && !settings_.Enabled(Info(Rule::SelfTouching).id))
        return;
    // The closed ring without repeated points; ring[k] is outline[index[k]].
    thread_local std::vector<GeoPoint> ring;
    thread_local std::vector<std::uint32_t> index;
    ring.clear();
    index.clear();
    for (std::uint32_t i = 0; i < outline.size(); ++i) {
        if (!ring.empty() && ring.back() == outline[i].position) continue;
        ring.push_back(outline[i].position);
        index.push_back(i);
    }
    while (ring.size() > 1 && ring.back() == ring.front()) {
        ring.pop_back();
        index.pop_back();
    }
    // The centre of the largest arc, about which a huge outline is laid flat.
    std::optional<GeoPoint> centre;
    double largest = 0;
    for (const ArcShape& arc : a_.arcs) {
        if (std::max(arc.startRadius, arc.endRadius) <= largest) continue;
        largest = std::max(arc.startRadius, arc.endRadius);
        centre = arc.centre;
    }
    const CrossingSearch search = FindSelfCrossing(ring, centre);
    if (search.outcome == CrossingSearch::Outcome::TooLarge) {
        Report(Rule::GeometrySkipped, a_.firstLine,
               "the outline is not checked for crossings: it spans too much of the earth to be laid flat");
        return;
    }
    if (search.outcome != CrossingSearch::Outcome::Found) return;
    const SelfCrossing* crossing = &search.crossing;
    auto part = [&](std::size_t segment, std::int32_t& startLine) {
        const std::int32_t from = outline[index[segment]].line;
        const std::int32_t to = outline[index[(segment + 1) % ring.size()]].line;
        startLine = from;
        if (from == to) return "the arc of line " + std::to_string(from);
        return "the edge from line " + std::to_string(from) + " to line " + std::to_string(to);
    };
    std::int32_t firstPart, secondPart;
    const std::string first = part(crossing->first, firstPart);
    const std::string second = part(crossing->second, secondPart);
    Report(crossing->crosses ? Rule::SelfIntersection : Rule::SelfTouching, secondPart,
           std::string("the outline ") + (crossing->crosses ? "crosses" : "touches") + " itself at " +
               FormatDms(crossing->position) + ": " + first + " and " + second,
           {crossing->position});
}

BlockAnalysis& Analyser::Finish(bool endOfFile) {
    // A zero-sweep arc becomes a circle only where it is the block's one
    // shape line.
    if (shapeLines_ > 1)
        for (BlockFinding& f : a_.findings)
            if (f.finding.rule == Info(Rule::ZeroSweepArc).id) f.finding.fix.reset();
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
                    const RuleInfo* rule = FindRule(f.finding.rule);
                    return rule && rule->needs != RuleNeeds::Nothing;
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

// The identity of a block's records: each record's command in capitals and
// its argument trimmed, with each run of blanks as one blank. The block's
// normalised text is kept until its end and hashed once.
class BlockHash {
public:
    void Reset() { text_.clear(); }
    void Add(const RecordLine& line) {
        for (const char c : line.command) text_ += c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
        text_ += ' ';
        const std::string_view argument = TrimText(line.argument);
        bool plain = true;
        for (std::size_t i = 0; i < argument.size() && plain; ++i)
            plain = static_cast<unsigned char>(argument[i]) > 32 ||
                    (argument[i] == ' ' && i + 1 < argument.size() && argument[i + 1] > 32);
        if (plain) {
            text_ += argument;
        } else {
            bool blank = false;
            for (const char c : argument) {
                if (static_cast<unsigned char>(c) <= 32) {
                    blank = true;
                    continue;
                }
                if (blank) text_ += ' ';
                blank = false;
                text_ += c;
            }
        }
        text_ += '\n';
    }
    XXH128_hash_t Digest() const { return XXH3_128bits(text_.data(), text_.size()); }

private:
    std::string text_;
};

// The airspace blocks seen so far, by the hash of their records, each with
// its first line: an open-addressing table of 16-byte slots (96 bits of the
// hash, enough that two different blocks of one file never meet), at most
// seven eighths full, so that a file of millions of blocks costs some
// twenty bytes a block (a node-based map of the whole hash took sixty).
class SeenBlocks {
public:
    // The first line of an earlier block with this digest; 0 when there is
    // none, and the block is then added with `line` (at least 1).
    std::int32_t FindOrAdd(XXH128_hash_t digest, std::int32_t line) {
        if (8 * (used_ + 1) > 7 * slots_.size()) Grow();
        Slot& slot = Probe(digest);
        if (slot.line != 0) return slot.line;
        slot = {digest.low64, static_cast<std::uint32_t>(digest.high64), line};
        ++used_;
        return 0;
    }

private:
    struct Slot {
        std::uint64_t low = 0;
        std::uint32_t high = 0;
        std::int32_t line = 0;  // 0: empty
    };

    Slot& Probe(XXH128_hash_t digest) {
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = digest.low64 & mask;; i = (i + 1) & mask) {
            Slot& slot = slots_[i];
            if (slot.line == 0 || (slot.low == digest.low64 && slot.high == static_cast<std::uint32_t>(digest.high64)))
                return slot;
        }
    }

    void Grow() {
        std::vector<Slot> old(slots_.empty() ? 1024 : 2 * slots_.size());
        old.swap(slots_);
        for (const Slot& slot : old)
            if (slot.line != 0) Probe({slot.low, slot.high}) = slot;
    }

    std::vector<Slot> slots_;
    std::size_t used_ = 0;
};

}  // namespace

std::span<const RuleInfo> BlockRules() noexcept {
    const auto first = static_cast<std::size_t>(Rule::MissingUpperLimit);
    return AllRules().subspan(first, static_cast<std::size_t>(Rule::LegendBlock) + 1 - first);
}

BlockAnalysis AnalyseBlock(std::span<const RecordLine> lines, const CheckSettings& settings) {
    Analyser analyser(settings);
    std::size_t i = 0;
    if (!lines.empty() && StartsBlock(lines[0].command)) {
        analyser.Start(&lines[0]);
        i = 1;
    } else {
        analyser.Start(nullptr);
    }
    for (; i < lines.size(); ++i) {
        if (StartsBlock(lines[i].command)) break;
        analyser.Add(lines[i]);
    }
    return std::move(analyser.Finish(i == lines.size()));
}

struct BlockChecks::State {
    explicit State(const CheckSettings& settings)
        : settings(settings), analyser(this->settings),
          findDuplicates(settings.Enabled(Info(Rule::DuplicateBlock).id)) {
        analyser.Start(nullptr);
    }

    void EndBlock(bool endOfFile, std::vector<Finding>& out) {
        BlockAnalysis& a = analyser.Finish(endOfFile);
        if (findDuplicates && a.kind == BlockKind::Airspace && analyser.HasRecords()) {
            const std::int32_t earlier = seen.FindOrAdd(hash.Digest(), a.firstLine);
            Finding f;
            if (earlier != 0 && MakeFinding(Rule::DuplicateBlock, settings, f)) {
                f.fix = RemoveBlock(a.firstLine, analyser.LastRecordLine());
                f.line = a.firstLine;
                f.message =
                    "the block repeats the block at line " + std::to_string(earlier) + " record for record";
                f.blockLine = a.firstLine;
                out.push_back(std::move(f));
            }
        }
        for (BlockFinding& f : a.findings) out.push_back(std::move(f.finding));
    }

    CheckSettings settings;
    Analyser analyser;
    bool findDuplicates;
    BlockHash hash;
    // The first line of each distinct airspace block so far.
    SeenBlocks seen;
};

BlockChecks::BlockChecks(const CheckSettings& settings) : state_(std::make_unique<State>(settings)) {}

BlockChecks::~BlockChecks() = default;

void BlockChecks::Line(const RecordLine& line, std::vector<Finding>& out) {
    State& s = *state_;
    if (StartsBlock(line.command)) {
        s.EndBlock(false, out);
        s.analyser.Start(&line);
        if (s.findDuplicates) {
            s.hash.Reset();
            s.hash.Add(line);
        }
        return;
    }
    s.analyser.Add(line);
    if (s.findDuplicates && !line.command.empty() && s.analyser.Result().kind == BlockKind::Airspace) s.hash.Add(line);
}

void BlockChecks::Finish(std::vector<Finding>& out) { state_->EndBlock(true, out); }

}  // namespace corvala
