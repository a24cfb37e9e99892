#include "engine/rules/block/blocks.h"

// The streaming state is kept inside the checks, not on the heap.
#define XXH_STATIC_LINKING_ONLY
#include <xxhash.h>

#include "engine/rules/block/analyser.h"
#include "engine/rules/block/block_fixes.h"

namespace corvala {

namespace {

using block_checks::Analyser;
using Rule = RuleId;

// The identity of a block's records: each record's command in capitals and
// its argument trimmed, with each run of blanks as one blank, hashed as the
// lines come (the digest is that of the block's whole normalised text), so
// that a block of millions of lines costs no memory of its own.
class BlockHash {
public:
    BlockHash() { Reset(); }
    void Reset() { XXH3_128bits_reset(&state_); }
    void Add(const RecordLine& line) {
        text_.clear();
        for (const char c : line.command) text_ += c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
        text_ += ' ';
        const std::string_view argument = TrimText(line.argument);
        bool plain = true;
        for (std::size_t i = 0; i < argument.size() && plain; ++i)
            plain = static_cast<unsigned char>(argument[i]) > 32 ||
                    (argument[i] == ' ' && i + 1 < argument.size() && argument[i + 1] > 32);
        if (plain) {
            text_ += argument;
        } else {
            bool blank = false;
            for (const char c : argument) {
                if (static_cast<unsigned char>(c) <= 32) {
                    blank = true;
                    continue;
                }
                if (blank) text_ += ' ';
                blank = false;
                text_ += c;
            }
        }
        text_ += '\n';
        XXH3_128bits_update(&state_, text_.data(), text_.size());
    }
    XXH128_hash_t Digest() const { return XXH3_128bits_digest(&state_); }

private:
    XXH3_state_t state_;
    // One line's normalised text.
    std::string text_;
};

// The airspace blocks seen so far, by the hash of their records, each with
// its first line: an open-addressing table of 16-byte slots (96 bits of the
// hash, enough that two different blocks of one file never meet), at most
// seven eighths full, so that a file of millions of blocks costs some
// twenty bytes a block (a node-based map of the whole hash took sixty).
class SeenBlocks {
public:
    // The first line of an earlier block with this digest; 0 when there is
    // none, and the block is then added with `line` (at least 1).
    std::int32_t FindOrAdd(XXH128_hash_t digest, std::int32_t line) {
        if (8 * (used_ + 1) > 7 * slots_.size()) Grow();
        Slot& slot = Probe(digest);
        if (slot.line != 0) return slot.line;
        slot = {digest.low64, static_cast<std::uint32_t>(digest.high64), line};
        ++used_;
        return 0;
    }

private:
    struct Slot {
        std::uint64_t low = 0;
        std::uint32_t high = 0;
        std::int32_t line = 0;  // 0: empty
    };

    Slot& Probe(XXH128_hash_t digest) {
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = digest.low64 & mask;; i = (i + 1) & mask) {
            Slot& slot = slots_[i];
            if (slot.line == 0 || (slot.low == digest.low64 && slot.high == static_cast<std::uint32_t>(digest.high64)))
                return slot;
        }
    }

    void Grow() {
        std::vector<Slot> old(slots_.empty() ? 1024 : 2 * slots_.size());
        old.swap(slots_);
        for (const Slot& slot : old)
            if (slot.line != 0) Probe({slot.low, slot.high}) = slot;
    }

    std::vector<Slot> slots_;
    std::size_t used_ = 0;
};

}  // namespace

std::span<const RuleInfo> BlockRules() noexcept {
    const auto first = static_cast<std::size_t>(Rule::MissingUpperLimit);
    return AllRules().subspan(first, static_cast<std::size_t>(Rule::LegendBlock) + 1 - first);
}

BlockAnalysis AnalyseBlock(std::span<const RecordLine> lines, const CheckSettings& settings) {
    Analyser analyser(settings);
    std::size_t i = 0;
    if (!lines.empty() && StartsBlock(lines[0].command)) {
        analyser.Start(&lines[0]);
        i = 1;
    } else {
        analyser.Start(nullptr);
    }
    for (; i < lines.size(); ++i) {
        if (StartsBlock(lines[i].command)) break;
        analyser.Add(lines[i]);
    }
    return std::move(analyser.Finish(i == lines.size()));
}

namespace {

// Analysing the blocks only for their shapes leaves out the crossing test,
// which shapes nothing.
CheckSettings Shaping(CheckSettings settings, BlockFindings findings) {
    if (findings == BlockFindings::Dropped) {
        settings.Disable(Rule::SelfIntersection);
        settings.Disable(Rule::SelfTouching);
    }
    return settings;
}

}  // namespace

struct BlockChecks::State {
    State(const CheckSettings& asked, BlockAnalysisSink* keep, BlockFindings findings)
        : settings(Shaping(asked, findings)), analyser(settings), keep(keep), report(findings == BlockFindings::Reported),
          findDuplicates(report && settings.Enabled(Rule::DuplicateBlock)) {
        analyser.Start(nullptr);
    }

    void EndBlock(bool endOfFile, std::vector<Finding>& out) {
        BlockAnalysis& a = analyser.Finish(endOfFile);
        if (findDuplicates && a.kind == BlockKind::Airspace && analyser.HasRecords()) {
            const std::int32_t earlier = seen.FindOrAdd(hash.Digest(), a.firstLine);
            Finding f;
            if (earlier != 0 && MakeFinding(Rule::DuplicateBlock, settings, f)) {
                f.fix = RemoveBlock(a.firstLine, analyser.LastRecordLine());
                f.line = a.firstLine;
                f.message =
                    "the block repeats the block at line " + std::to_string(earlier) + " record for record";
                f.blockLine = a.firstLine;
                out.push_back(std::move(f));
            }
        }
        if (!keep) {
            for (BlockFinding& f : a.findings) out.push_back(std::move(f.finding));
            return;
        }
        if (report) {
            for (const BlockFinding& f : a.findings) out.push_back(f.finding);
        } else {
            a.findings.clear();
        }
        // The analyser starts the next block afresh, from emptied members.
        keep->Analysed(std::move(a));
    }

    CheckSettings settings;
    Analyser analyser;
    BlockAnalysisSink* keep;
    bool report;
    bool findDuplicates;
    BlockHash hash;
    // The first line of each distinct airspace block so far.
    SeenBlocks seen;
};

BlockChecks::BlockChecks(const CheckSettings& settings, BlockAnalysisSink* keep, BlockFindings findings)
    : state_(std::make_unique<State>(settings, keep, findings)) {}

BlockChecks::~BlockChecks() = default;

void BlockChecks::Line(const RecordLine& line, std::vector<Finding>& out) {
    State& s = *state_;
    if (StartsBlock(line.command)) {
        s.EndBlock(false, out);
        s.analyser.Start(&line);
        if (s.findDuplicates) {
            s.hash.Reset();
            s.hash.Add(line);
        }
        return;
    }
    s.analyser.Add(line);
    if (s.findDuplicates && !line.command.empty() && s.analyser.Result().kind == BlockKind::Airspace) s.hash.Add(line);
}

void BlockChecks::Finish(std::vector<Finding>& out) { state_->EndBlock(true, out); }

}  // namespace corvala
