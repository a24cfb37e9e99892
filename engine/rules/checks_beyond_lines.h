// The checks that look beyond one line: the block checks (structure and
// geometry of each airspace) and the extended record set's rules for
// blocks and the whole file. They see every line of the file in order,
// after its line check, and report findings as values.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "engine/input/record_line.h"
#include "engine/model/findings.h"
#include "engine/model/rules.h"
#include "engine/values/position.h"

namespace corvala {

// One line of the file as the checks beyond single lines see it.
struct RecordLine {
    std::int32_t line = 0;
    // The bytes as read, comment and blanks included.
    std::string_view raw;
    // The command word as written; empty for an empty line (one that holds
    // only blanks or a comment).
    std::string_view command;
    // The argument text after the first blank, untrimmed (the comment is
    // already cut off).
    std::string_view argument;
    // The line check accepted the line (always true for an empty line).
    bool lineOk = true;
    // The positions the line check read from the line, in order (a DP's
    // point, a DB's two ends, a V X='s centre); empty when it read none.
    std::span<const GeoPoint> positions;
};

// The shape every check beyond single lines has. The run calls Line for
// every line of the file in order and Finish after the last one.
//
// What Line(r) may report: findings that name r.line, or any line since
// the last line that started a block (AC, TO or TC); when r itself starts a
// block, also lines of the block that r ends. Finish may name lines of the
// last block, and line 0 for the file as a whole. The run holds back each
// block's verdicts until the block has ended, so that every finding still
// comes before the verdict of its line.
//
// The views in a RecordLine are valid only during the call: a check that
// needs a text later keeps its own copy.
class ChecksBeyondLines {
public:
    virtual ~ChecksBeyondLines() = default;
    virtual void Line(const RecordLine& line, std::vector<Finding>& out) = 0;
    virtual void Finish(std::vector<Finding>& out) = 0;
};

class BlockAnalysisSink;

// The checks beyond single lines that `settings` asks for, fresh for one
// run (`settings` as the run resolved them for the file). With `keep`, the
// analysis of every block goes there (engine/rules/block/blocks.h): with
// the findings the run reports under --blocks, without findings otherwise.
std::vector<std::unique_ptr<ChecksBeyondLines>> MakeChecksBeyondLines(const CheckSettings& settings,
                                                                      BlockAnalysisSink* keep = nullptr);

}  // namespace corvala
