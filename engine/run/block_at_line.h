// One block of a file held as raw lines, for the window's outline view: where
// the block around a line begins and ends, and its analysis from the raw
// lines, split and checked as a run splits and checks them.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "engine/rules/block/blocks.h"
#include "engine/rules/checks_beyond_lines.h"

namespace corvala {

// File lines first to last, both included.
struct BlockRange {
    std::int32_t first = 0;
    std::int32_t last = 0;
};

// The block that holds `line` among the raw lines of a file (`lines[0]` is
// line 1): from the nearest line at or before it that starts a block (AC,
// TO, TC) to the line before the next one, or to the last line. Lines
// before the first block form the preamble, which begins at line 1. A
// `line` outside the file is taken as its first or last line; an empty
// file gives {1, 0}. Time: the distance back to the block's start and the
// length of the block.
BlockRange FindBlockRange(std::span<const std::string_view> lines, std::int32_t line);

// AnalyseBlock over raw lines numbered from `firstLine`: each split as the
// run splits it (the comment cut at the first "*", trimmed, the command
// before the first blank) and given the verdict of the run's line check
// under `settings` (the classic checks, or the extended record set's). The
// lines after the block, if any are given, cost nothing. The analysis keeps
// no view into `lines`.
BlockAnalysis AnalyseBlockLines(std::span<const std::string_view> lines, std::int32_t firstLine,
                                const CheckSettings& settings);

}  // namespace corvala
