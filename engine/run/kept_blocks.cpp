#include "engine/run/kept_blocks.h"

#include <algorithm>
#include <string>

namespace corvala {

namespace {

template <typename T>
std::size_t Trimmed(std::vector<T>& list) {
    list.shrink_to_fit();
    return list.capacity() * sizeof(T);
}

// The bytes of a text beyond what its object holds itself.
std::size_t Trimmed(std::string& text) {
    text.shrink_to_fit();
    return text.capacity() > std::string().capacity() ? text.capacity() + 1 : 0;
}

}  // namespace

std::size_t KeptBlocks::Find(std::int32_t line) const noexcept {
    // The last block that starts at or before the line (the preamble's
    // first line is 0).
    const auto after = std::upper_bound(blocks_.begin(), blocks_.end(), line,
                                        [](std::int32_t n, const BlockAnalysis& a) { return n < a.firstLine; });
    if (after == blocks_.begin() || line < 1) return kNone;
    const BlockAnalysis& block = *(after - 1);
    return line <= block.lastLine ? static_cast<std::size_t>(after - 1 - blocks_.begin()) : kNone;
}

void KeptBlocks::Clear() noexcept {
    std::vector<BlockAnalysis>().swap(blocks_);
    bytes_ = 0;
    full_ = false;
}

void KeptBlocks::Analysed(BlockAnalysis&& a) {
    if (full_ || a.lastLine == 0) return;
    std::size_t bytes = Trimmed(a.airspaceClass) + Trimmed(a.name) + Trimmed(a.upper) + Trimmed(a.lower) +
                        Trimmed(a.outline) + Trimmed(a.arcs) + Trimmed(a.circles) + Trimmed(a.airway) +
                        Trimmed(a.centres) + Trimmed(a.findings);
    for (BlockFinding& f : a.findings) bytes += Trimmed(f.finding.message) + Trimmed(f.markers);
    // The list's own slot, counted as the list grows (to twice its size).
    bytes += 2 * sizeof(BlockAnalysis);
    if (bytes > Budget - std::min(Budget, bytes_)) {
        full_ = true;
        return;
    }
    bytes_ += bytes;
    blocks_.push_back(std::move(a));
}

}  // namespace corvala
