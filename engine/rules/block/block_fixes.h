// The fixes the block checks offer (engine/rule_fixes.def), built from the
// lines they saw.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/model/fixes.h"

namespace corvala {

// Removes the DP at `line`, which repeats the point before it.
std::shared_ptr<const Fix> RemoveRepeatedPoint(std::int32_t line);

// Repeats `firstPoint` (the outline's first DP record, as written) after
// `lastLine`, the outline's last point.
std::shared_ptr<const Fix> CloseOutline(std::int32_t lastLine, std::string_view firstPoint);

// Moves the record at `line` (`raw`, as read) before `geometryLine`, the
// first geometry line of its block.
std::shared_ptr<const Fix> MoveBeforeGeometry(std::int32_t line, std::string_view raw, std::int32_t geometryLine);

// Writes the DB record at `line` (`record`: its command word through its
// argument, a view of `raw`) as a DC circle of `metres`.
std::shared_ptr<const Fix> ArcAsCircle(std::int32_t line, std::string_view raw, std::string_view record,
                                       double metres);

// Removes the lines [first, last] of a block that repeats an earlier one.
std::shared_ptr<const Fix> RemoveBlock(std::int32_t first, std::int32_t last);

}  // namespace corvala
