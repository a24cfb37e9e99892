// The analysis of one block, shared by the files of the block checks:
// structure.cpp (records, names, limits, repeats), geometry.cpp (outlines,
// arcs, circles, the crossing test) and blocks.cpp (the entry points and
// the duplicate blocks). Internal to the block checks.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/rules/block/blocks.h"
#include "engine/values/pattern.h"
#include "engine/values/position.h"
#include "engine/values/text.h"

namespace corvala::block_checks {

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
RuleNeeds MostNeeded(const CheckSettings& settings);

enum class Record : std::uint8_t { Other, AN, AH, AL, AT, AF, AG, SP, SB, V, DP, DA, DB, DC, DY };

// Letters compare regardless of case, as in the dispatch to the validators.
inline Record Classify(std::string_view command) {
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

inline bool IsShape(Record r) { return r >= Record::DP; }
inline bool IsOutline(Record r) { return r == Record::DP || r == Record::DA || r == Record::DB; }

inline std::string_view RecordName(Record r) {
    static constexpr std::string_view kNames[] = {"",   "AN", "AH", "AL", "AT", "AF", "AG", "SP",
                                                  "SB", "V",  "DP", "DA", "DB", "DC", "DY"};
    return kNames[static_cast<std::size_t>(r)];
}

// A V line's variable and value, both trimmed.
struct Variable {
    std::string_view name;
    std::string_view value;
};

inline Variable ReadVariable(std::string_view argument) {
    const std::size_t equals = argument.find('=');
    if (equals == std::string_view::npos) return {TrimText(argument), {}};
    return {TrimText(argument.substr(0, equals)), TrimText(argument.substr(equals + 1))};
}

// X (centre), D (direction) and W (airway width) shape the geometry; Z
// (zoom) does not.
inline bool IsGeometryVariable(std::string_view name) {
    return name.size() == 1 && ((name[0] | 0x20) == 'x' || (name[0] | 0x20) == 'd' || (name[0] | 0x20) == 'w');
}

// "line 3" or "lines 3 to 9".
std::string Lines(std::int32_t first, std::int32_t last);
// "A", "A and B", "A, B and C".
std::string JoinWords(const std::vector<std::string>& words);
// Metres as nautical miles with two decimals: "1.50 NM".
std::string Miles(double metres);
std::string Quoted(std::string_view text);

// The signed turn from bearing `from` to bearing `to` in the given
// direction (positive clockwise). Equal bearings make a full turn.
inline double Sweep(double from, double to, bool clockwise) {
    double turn = std::fmod(clockwise ? to - from : from - to, 360.0);
    if (turn <= 0) turn += 360;
    return clockwise ? turn : -turn;
}

// The position a geometry line names: the one its line check read, or, for
// lines given without (the window's outline view), read from `text`.
inline bool PositionAt(const RecordLine& line, std::size_t index, std::string_view text, GeoPoint& point) {
    if (index < line.positions.size()) {
        point = line.positions[index];
        return true;
    }
    return line.positions.empty() && ReadPoint(text, point);
}


// One block at a time, line by line: the same code serves AnalyseBlock and
// BlockChecks.
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
    // The last line of the block that holds a record.
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
    std::int32_t afterGeometry_ = 0;
    struct Repeat {
        Record record;
        std::int32_t line;
        std::int32_t first;
        std::int32_t afterGeometry;
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
    // shape lines, the last line with a record and the first point of the
    // outline written as a DP.
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

}  // namespace corvala::block_checks
