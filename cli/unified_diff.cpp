#include "cli/unified_diff.h"

#include <algorithm>

#include <dtl/dtl.hpp>

#include "engine/model/fixes.h"

namespace corvala::cli {

namespace {

void Write(std::string& out, char mark, const std::string& line) {
    out += mark;
    out += line;
    if (line.empty() || line.back() != '\n') out += "\n\\ No newline at end of file\n";
}

// "-start,count" as diff -u writes it: the count left out when it is 1,
// and for no lines the line before them.
std::string Range(char sign, std::size_t start, std::size_t count) {
    std::string text(1, sign);
    text += std::to_string(count == 0 ? start : start + 1);
    if (count != 1) text += ',' + std::to_string(count);
    return text;
}

// A text as diff and patch see it: lines that end at LF only (a CR before
// the LF, or alone, is part of the line).
class LfLines {
public:
    explicit LfLines(std::string_view text) : text_(text) {
        starts_.push_back(0);
        for (std::size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1))
            if (at + 1 < text.size()) starts_.push_back(at + 1);
        if (text.empty()) starts_.clear();
    }
    std::size_t size() const noexcept { return starts_.size(); }
    std::string Line(std::size_t i) const {
        const std::size_t end = i + 1 < starts_.size() ? starts_[i + 1] : text_.size();
        return std::string(text_.substr(starts_[i], end - starts_[i]));
    }
    // The line that holds byte `offset` (size() at the end).
    std::size_t Holding(std::size_t offset) const noexcept {
        if (offset >= text_.size()) return starts_.size();
        return static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), offset) - starts_.begin()) - 1;
    }
    // The first line that starts at or after byte `offset`.
    std::size_t From(std::size_t offset) const noexcept {
        return static_cast<std::size_t>(std::lower_bound(starts_.begin(), starts_.end(), offset) - starts_.begin());
    }

private:
    std::string_view text_;
    std::vector<std::size_t> starts_;
};

// Where line `i` of `lines`, split from `text`, starts; the end of the
// lines' text for i == size().
std::size_t Offset(const SourceLines& lines, std::string_view text, std::size_t i) noexcept {
    if (i < lines.size()) return static_cast<std::size_t>(lines[i].text.data() - text.data());
    return text.size() - lines.Tail().size();
}

}  // namespace

std::string UnifiedDiff(std::string_view name, std::string_view before, std::string_view after,
                        const std::vector<std::int32_t>& origin) {
    if (before == after) return {};
    const SourceLines old(before), now(after);
    const std::size_t oldCount = old.size(), newCount = std::min(now.size(), origin.size());
    // The changed places, in the file's lines: runs of old lines [i0, i1)
    // that became new lines [j0, j1), between lines kept unchanged.
    auto same = [&](std::size_t i, std::size_t j) {
        return i < oldCount && j < newCount && origin[j] == static_cast<std::int32_t>(i + 1) &&
               old[i].text == now[j].text && old[i].end == now[j].end;
    };
    // The same places in the lines of diff and patch, which end at LF only:
    // old lines [a0, a1) became new lines [b0, b1).
    struct Change {
        std::size_t a0, a1, b0, b1;
    };
    const LfLines oldLf(before), newLf(after);
    std::vector<Change> changes;
    std::size_t i = 0, j = 0;
    while (i < oldCount || j < newCount) {
        if (same(i, j)) {
            ++i, ++j;
            continue;
        }
        const std::size_t i0 = i, j0 = j;
        while ((i < oldCount || j < newCount) && !same(i, j)) {
            if (j < newCount && origin[j] > static_cast<std::int32_t>(i + 1)) ++i;  // old lines removed
            else if (j < newCount && origin[j] == static_cast<std::int32_t>(i + 1)) ++i, ++j;  // kept, changed
            else if (j < newCount) ++j;  // inserted
            else ++i;  // removed at the end
        }
        Change change{oldLf.Holding(Offset(old, before, i0)), oldLf.From(Offset(old, before, i)),
                      newLf.Holding(Offset(now, after, j0)), newLf.From(Offset(now, after, j))};
        change.a1 = std::max(change.a1, change.a0);
        change.b1 = std::max(change.b1, change.b0);
        changes.push_back(change);
    }

    constexpr std::size_t kContext = 3;
    std::string out = "--- " + std::string(name) + "\n+++ " + std::string(name) + "\n";
    for (std::size_t c = 0; c < changes.size();) {
        // Changes whose contexts meet make one hunk.
        std::size_t last = c;
        while (last + 1 < changes.size() && changes[last + 1].a0 <= changes[last].a1 + 2 * kContext) ++last;
        const std::size_t lead = std::min(kContext, changes[c].a0);
        const std::size_t trail = std::min(kContext, oldLf.size() - std::min(oldLf.size(), changes[last].a1));
        const std::size_t a0 = changes[c].a0 - lead, a1 = changes[last].a1 + trail;
        const std::size_t b0 = changes[c].b0 - lead, b1 = std::min(newLf.size(), changes[last].b1 + trail);
        std::vector<std::string> a, b;
        for (std::size_t k = a0; k < a1; ++k) a.push_back(oldLf.Line(k));
        for (std::size_t k = b0; k < b1; ++k) b.push_back(newLf.Line(k));
        dtl::Diff<std::string> diff(a, b);
        diff.compose();
        out += "@@ " + Range('-', a0, a1 - a0) + ' ' + Range('+', b0, b1 - b0) + " @@\n";
        for (const auto& [line, info] : diff.getSes().getSequence())
            Write(out, info.type == dtl::SES_ADD ? '+' : info.type == dtl::SES_DELETE ? '-' : ' ', line);
        c = last + 1;
    }
    return out;
}

}  // namespace corvala::cli
