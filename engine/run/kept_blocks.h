// The analyses of a file's blocks that a run keeps for the window's outline
// view (Engine::KeepBlocks): each block's shape and its findings with their
// markers, as the block checks of the run made them, in file order, so that
// the block around a line and the blocks beside it are found by a binary
// search instead of being analysed again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "engine/rules/block/blocks.h"

namespace corvala {

class KeptBlocks final : public BlockAnalysisSink {
public:
    static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

    // The most bytes the analyses may take; a block that would go past it is
    // not kept, nor any after it (Full). Set before the run.
    std::size_t Budget = std::numeric_limits<std::size_t>::max();

    // The index of the kept block that holds file line `line` (the preamble
    // from line 1 on, each block from its AC, TO or TC line to its last
    // line), or kNone. Time: log of the number of blocks.
    std::size_t Find(std::int32_t line) const noexcept;
    std::size_t Size() const noexcept { return blocks_.size(); }
    const BlockAnalysis& operator[](std::size_t index) const noexcept { return blocks_[index]; }
    // About the bytes the analyses take, the list that holds them included.
    std::size_t Bytes() const noexcept { return bytes_; }
    // The budget left blocks out at the end.
    bool Full() const noexcept { return full_; }
    void Clear() noexcept;

    // One more block, after those kept so far. A preamble without lines is
    // not kept; the analysis's lists are trimmed to their size.
    void Analysed(BlockAnalysis&& analysis) override;

private:
    std::vector<BlockAnalysis> blocks_;
    std::size_t bytes_ = 0;
    bool full_ = false;
};

}  // namespace corvala
