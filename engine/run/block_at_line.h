// One block of a file held as raw lines, for the map formats (MapBlocks,
// engine/present/shapes.h): its analysis from the raw lines, split and
// checked as a run splits and checks them.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "engine/rules/block/blocks.h"
#include "engine/rules/checks_beyond_lines.h"

namespace corvala {

// AnalyseBlock over raw lines numbered from `firstLine`: each split as the
// run splits it (the comment cut at the first "*", trimmed, the command
// before the first blank) and given the verdict of the run's line check
// under `settings` (the classic checks, or the extended record set's). The
// lines after the block, if any are given, cost nothing. The analysis keeps
// no view into `lines`.
BlockAnalysis AnalyseBlockLines(std::span<const std::string_view> lines, std::int32_t firstLine,
                                const CheckSettings& settings);

}  // namespace corvala
