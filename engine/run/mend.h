// Mending a file: checking it, applying the fixes its findings offer and
// checking it again, round after round, until no fix is left to apply.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/model/rules.h"
#include "engine/model/fixes.h"

namespace corvala {

// The rounds --fix makes at most: fixes whose edits touch the same line
// wait for the next round, and a fix may uncover another.
inline constexpr int kMaxFixRounds = 8;

struct Mended {
    // The text after the fixes.
    std::string bytes;
    // The fixes applied over all rounds, and the rounds that applied any.
    std::int64_t fixes = 0;
    int rounds = 0;
    // The findings that remain in `bytes`, by severity.
    RunEnd remaining;
    // For each line of `bytes`, the 1-based line of the original text it
    // keeps (changed or not), or 0 for an inserted line.
    std::vector<std::int32_t> origin;
};

// Whether a fix of this safety is applied when the unsafe fixes are asked
// for or not.
inline bool Wanted(FixSafety safety, bool unsafeFixes) noexcept {
    return safety == FixSafety::Safe || unsafeFixes;
}

// Mends `bytes` with the checks of `settings`: the safe fixes, and the
// unsafe ones too when asked for. `name` stands for the file in the runs.
// Raises what the run raises (memory running out).
Mended Mend(std::string_view name, std::string bytes, const CheckSettings& settings, bool unsafeFixes,
            int maxRounds = kMaxFixRounds);

}  // namespace corvala
