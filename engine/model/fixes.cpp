#include "engine/model/fixes.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace corvala {

std::string_view FixSafetyName(FixSafety safety) noexcept { return safety == FixSafety::Safe ? "safe" : "unsafe"; }

Edit ReplaceBytes(std::int32_t line, std::size_t column, std::size_t endColumn, std::string text) {
    return Edit{Edit::Kind::Replace, line, static_cast<std::int32_t>(column), static_cast<std::int32_t>(endColumn),
                std::move(text)};
}

bool ViewWithin(std::string_view part, std::string_view whole) noexcept {
    return std::less_equal<>()(whole.data(), part.data()) &&
           std::less_equal<>()(part.data() + part.size(), whole.data() + whole.size());
}

std::optional<Edit> ReplaceView(std::int32_t line, std::string_view raw, std::string_view part, std::string text) {
    if (!ViewWithin(part, raw)) return std::nullopt;
    const auto column = static_cast<std::size_t>(part.data() - raw.data());
    return ReplaceBytes(line, column, column + part.size(), std::move(text));
}

Edit RemoveLine(std::int32_t line) { return Edit{Edit::Kind::RemoveLine, line, 0, 0, {}}; }

Edit InsertLine(std::int32_t before, std::string text) {
    return Edit{Edit::Kind::InsertLine, before, 0, 0, std::move(text)};
}

std::shared_ptr<const Fix> MakeFix(std::string title, FixSafety safety, std::vector<Edit> edits) {
    return std::make_shared<const Fix>(Fix{std::move(title), safety, std::move(edits)});
}

SourceLines::SourceLines(std::string_view bytes) {
    std::size_t n = bytes.size();
    if (const void* nul = std::memchr(bytes.data(), 0, n)) n = static_cast<const char*>(nul) - bytes.data();
    tail_ = bytes.substr(n);
    bool endSeen = false;
    std::size_t start = 0;
    while (start < n) {
        std::size_t end = start;
        while (end < n && bytes[end] != '\r' && bytes[end] != '\n') ++end;
        std::size_t next = end;
        if (next < n && bytes[next] == '\r') ++next;
        if (next < n && bytes[next] == '\n') ++next;
        lines_.push_back({bytes.substr(start, end - start), bytes.substr(end, next - end)});
        if (!endSeen && next > end) {
            usualEnd_ = bytes.substr(end, next - end);
            endSeen = true;
        }
        start = next;
    }
}

namespace {

// Whether every edit of `fix` names a place in the text, and its byte
// replacements on one line do not overlap.
bool Valid(const Fix& fix, const SourceLines& lines) {
    const auto count = static_cast<std::int64_t>(lines.size());
    for (const Edit& edit : fix.edits) {
        const std::int64_t last = edit.kind == Edit::Kind::InsertLine ? count + 1 : count;
        if (edit.line < 1 || edit.line > last) return false;
        if (edit.kind == Edit::Kind::Replace) {
            const auto size = static_cast<std::int64_t>(lines[edit.line - 1].text.size());
            if (edit.column < 0 || edit.column > edit.endColumn || edit.endColumn > size) return false;
        }
        if (edit.kind != Edit::Kind::Replace &&
            (edit.text.find('\r') != std::string::npos || edit.text.find('\n') != std::string::npos))
            return false;
    }
    for (const Edit& a : fix.edits)
        for (const Edit& b : fix.edits)
            if (&a != &b && a.kind == Edit::Kind::Replace && b.kind == Edit::Kind::Replace && a.line == b.line &&
                a.column < b.endColumn && b.column < a.endColumn)
                return false;
    return true;
}

// The lines an edit touches: its own, and for an inserted line also the one
// before the gap it goes into.
template <typename Visit>
void Touched(const Edit& edit, Visit visit) {
    visit(edit.line);
    if (edit.kind == Edit::Kind::InsertLine && edit.line > 1) visit(edit.line - 1);
}

}  // namespace

Applied ApplyFixes(std::string_view bytes, const std::vector<std::shared_ptr<const Fix>>& fixes) {
    const SourceLines lines(bytes);
    const std::size_t count = lines.size();
    std::vector<bool> claimed(count + 2, false);
    std::vector<const Edit*> edits;
    Applied applied;
    for (const std::shared_ptr<const Fix>& fix : fixes) {
        if (!fix || fix->edits.empty() || !Valid(*fix, lines)) continue;
        bool free = true;
        for (const Edit& edit : fix->edits) Touched(edit, [&](std::int32_t line) { free = free && !claimed[line]; });
        if (!free) continue;
        for (const Edit& edit : fix->edits) {
            Touched(edit, [&](std::int32_t line) { claimed[line] = true; });
            edits.push_back(&edit);
        }
        ++applied.fixes;
    }
    // By line; on one line the inserted lines first (in the order of their
    // fixes), then the removal or the replacements from left to right.
    std::stable_sort(edits.begin(), edits.end(), [](const Edit* a, const Edit* b) {
        if (a->line != b->line) return a->line < b->line;
        const bool insertA = a->kind == Edit::Kind::InsertLine, insertB = b->kind == Edit::Kind::InsertLine;
        if (insertA != insertB) return insertA;
        return !insertA && a->column < b->column;
    });

    std::string& out = applied.bytes;
    out.reserve(bytes.size() + bytes.size() / 16);
    bool lastHasEnd = true;
    std::size_t next = 0;
    auto insert = [&](std::string_view text, std::string_view end, std::int32_t origin) {
        if (!lastHasEnd) out += lines.UsualEnd();
        out += text;
        out += end;
        lastHasEnd = !end.empty();
        applied.origin.push_back(origin);
    };
    for (std::size_t i = 0; i <= count; ++i) {
        const auto number = static_cast<std::int32_t>(i + 1);
        // An inserted line takes the line end of the line before it, else of
        // the line it comes before; at the end of a file whose last line
        // has none, it has none either.
        std::string_view end = lines.UsualEnd();
        if (i > 0 && !lines[i - 1].end.empty()) end = lines[i - 1].end;
        else if (i < count && !lines[i].end.empty()) end = lines[i].end;
        if (i == count && count > 0 && lines[count - 1].end.empty()) end = {};
        for (; next < edits.size() && edits[next]->line == number && edits[next]->kind == Edit::Kind::InsertLine;
             ++next)
            insert(edits[next]->text, end, 0);
        if (i == count) break;
        const SourceLines::Line& line = lines[i];
        bool removed = false;
        std::size_t column = 0;
        std::string text;
        bool replaced = false;
        for (; next < edits.size() && edits[next]->line == number; ++next) {
            const Edit& edit = *edits[next];
            if (edit.kind == Edit::Kind::RemoveLine) {
                removed = true;
                continue;
            }
            replaced = true;
            text.append(line.text.substr(column, edit.column - column));
            text += edit.text;
            column = edit.endColumn;
        }
        if (removed) continue;
        if (replaced) {
            text.append(line.text.substr(column));
            insert(text, line.end, number);
        } else {
            insert(line.text, line.end, number);
        }
    }
    out += lines.Tail();
    return applied;
}

}  // namespace corvala
