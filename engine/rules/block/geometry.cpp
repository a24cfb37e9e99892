// The block checks on a block's geometry: points, arcs and circles read
// from the records, arcs followed point by point, and the outline judged
// (its points, whether it is closed, whether it crosses itself).
#include <algorithm>
#include <cmath>
#include <optional>

#include "engine/geo/crossing.h"
#include "engine/geo/geodesics.h"
#include "engine/rules/block/analyser.h"
#include "engine/rules/block/block_fixes.h"

namespace corvala::block_checks {

void Analyser::GeometryFailed(std::int32_t line, const char* why) {
    if (failedLine_ != 0) return;
    failedLine_ = line;
    failedWhy_ = why;
    a_.geometryChecked = false;
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

    if (!settings_.Enabled(Rule::SelfIntersection) && !settings_.Enabled(Rule::SelfTouching))
        return;
    // The centre of the largest arc, about which a huge outline is laid flat.
    std::optional<GeoPoint> centre;
    double largest = 0;
    for (const ArcShape& arc : a_.arcs) {
        if (std::max(arc.startRadius, arc.endRadius) <= largest) continue;
        largest = std::max(arc.startRadius, arc.endRadius);
        centre = arc.centre;
    }
    const CrossingSearch search = FindSelfCrossing(outline, centre);
    if (search.outcome == CrossingSearch::Outcome::TooLarge) {
        Report(Rule::GeometrySkipped, a_.firstLine,
               "the outline is not checked for crossings: it spans too much of the earth to be laid flat");
        return;
    }
    if (search.outcome != CrossingSearch::Outcome::Found) return;
    const SelfCrossing* crossing = &search.crossing;
    auto part = [&](std::size_t start, std::size_t end, std::int32_t& startLine) {
        const std::int32_t from = outline[start].line;
        const std::int32_t to = outline[end].line;
        startLine = from;
        if (from == to) return "the arc of line " + std::to_string(from);
        return "the edge from line " + std::to_string(from) + " to line " + std::to_string(to);
    };
    std::int32_t firstPart, secondPart;
    const std::string first = part(crossing->first, crossing->firstEnd, firstPart);
    const std::string second = part(crossing->second, crossing->secondEnd, secondPart);
    Report(crossing->crosses ? Rule::SelfIntersection : Rule::SelfTouching, secondPart,
           std::string("the outline ") + (crossing->crosses ? "crosses" : "touches") + " itself at " +
               FormatDms(crossing->position) + ": " + first + " and " + second,
           {crossing->position});
}

}  // namespace corvala::block_checks
