// The block checks: the structure and geometry of each airspace (an AC line
// and the lines after it up to the next AC, TO or TC line or the end of the
// file). One analysis per block serves both the checker, which reports its
// findings, and the window, which draws the block and marks them.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/rules/checks_beyond_lines.h"
#include "engine/model/findings.h"
#include "engine/values/position.h"

namespace corvala {

// The rules of the block checks with their default severities. With the
// extended record set not-closed is a warning instead of a note.
std::span<const RuleInfo> BlockRules() noexcept;

enum class BlockKind : std::uint8_t {
    Preamble,  // the lines before the first block
    Airspace,  // from an AC line
    Terrain,  // from a TO or TC line; no airspace rule applies
};

// A point of a polygon outline: a DP point, or a point of an arc (its ends
// and the points it is followed by).
struct OutlinePoint {
    GeoPoint position;
    std::int32_t line = 0;
    bool onArc = false;
};
inline GeoPoint PositionOf(const OutlinePoint& point) { return point.position; }

// A DA or DB arc. Radii in nautical miles, bearings from the centre in
// degrees true. The two radii differ for a DB whose ends lie at different
// distances from the centre; the arc then runs as a spiral between them.
struct ArcShape {
    std::int32_t line = 0;
    GeoPoint centre;
    double startRadius = 0;
    double endRadius = 0;
    double startBearing = 0;
    double endBearing = 0;
    bool clockwise = true;
    // Its points in the outline: first, then count - 1 more, ends included.
    std::uint32_t firstPoint = 0;
    std::uint32_t pointCount = 0;
};

struct CircleShape {
    std::int32_t line = 0;
    GeoPoint centre;
    double radius = 0;  // nautical miles
};

// A DY point with the airway width (V W=, nautical miles) in force; 0 when
// the block set none.
struct AirwayPoint {
    std::int32_t line = 0;
    GeoPoint position;
    double width = 0;
};

// A V X= line that set a centre.
struct Centre {
    std::int32_t line = 0;
    GeoPoint position;
};

// A finding with the positions where it shows: the crossing point of a
// self-intersection, the points of a too short outline, the centre and
// both ends of a mismatched arc, the last and first points of an outline
// that is not closed, ... (empty when it has no place of its own).
struct BlockFinding {
    Finding finding;
    std::vector<GeoPoint> markers;
};

struct BlockAnalysis {
    BlockKind kind = BlockKind::Preamble;
    // The AC, TO or TC line; 0 for the preamble.
    std::int32_t firstLine = 0;
    // The last line given to the analysis.
    std::int32_t lastLine = 0;
    // Trimmed arguments of the AC line and of the first AN, AH and AL
    // records, with their lines (0 when absent).
    std::string airspaceClass;
    std::string name, upper, lower;
    std::int32_t nameLine = 0, upperLine = 0, lowerLine = 0;

    // The shape, in file order within each kind, up to the first geometry
    // line that could not be read (geometryChecked is then false).
    std::vector<OutlinePoint> outline;
    std::vector<ArcShape> arcs;
    std::vector<CircleShape> circles;
    std::vector<AirwayPoint> airway;
    std::vector<Centre> centres;
    bool geometryChecked = true;

    // In line order; disabled rules left out.
    std::vector<BlockFinding> findings;
};

// Analyses one block: `lines` are its lines in file order, beginning with
// its AC, TO or TC line (or the lines of the preamble, none of which starts
// a block); empty lines included or not. A later line that starts a block
// ends the analysis. Duplicate blocks are found only across a file, by
// BlockChecks.
BlockAnalysis AnalyseBlock(std::span<const RecordLine> lines, const CheckSettings& settings);

// Where BlockChecks hands each finished block's analysis (the window's run
// keeps them for its outline view). Called on the thread that runs the
// checks, once the block's findings are out; the preamble comes first, also
// when it has no lines (lastLine 0). The analysis holds no view into the
// lines. A duplicate block, which only the whole file shows, is not among
// its findings.
class BlockAnalysisSink {
public:
    virtual ~BlockAnalysisSink() = default;
    virtual void Analysed(BlockAnalysis&& analysis) = 0;
};

// Whether BlockChecks reports its findings, or only analyses the blocks for
// a BlockAnalysisSink, which then gets them without findings.
enum class BlockFindings : std::uint8_t { Reported, Dropped };

// The block checks over a whole file, one block at a time: each block's
// findings come when the next block starts or the file ends. Memory grows
// with the largest block, and by a few dozen bytes per airspace block.
class BlockChecks final : public ChecksBeyondLines {
public:
    // Without `keep` each analysis is dropped once its findings are out.
    explicit BlockChecks(const CheckSettings& settings, BlockAnalysisSink* keep = nullptr,
                         BlockFindings findings = BlockFindings::Reported);
    ~BlockChecks() override;
    BlockChecks(const BlockChecks&) = delete;
    BlockChecks& operator=(const BlockChecks&) = delete;

    void Line(const RecordLine& line, std::vector<Finding>& out) override;
    void Finish(std::vector<Finding>& out) override;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace corvala
