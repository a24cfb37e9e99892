// The change a fix makes, as a unified diff: "--- NAME" and "+++ NAME", then
// hunks of three lines of context as "diff -u" writes them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvala::cli {

// The diff from `before` to `after`; empty when they are equal. `origin`
// gives for each line of `after` the 1-based line of `before` it keeps, or
// 0 for an inserted line (Mended::origin): it tells where the changes are,
// so that the diff is computed over the changed places only, whatever the
// size of the file.
std::string UnifiedDiff(std::string_view name, std::string_view before, std::string_view after,
                        const std::vector<std::int32_t>& origin);

}  // namespace corvala::cli
