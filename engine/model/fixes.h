// Fixes: the repairs a finding offers, as edits of the file's lines, and
// applying them to a file's bytes so that everything outside the edits
// stays byte for byte (line ends, encoding, blanks, comments, any bytes
// after a byte 0).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvala {

// Safe: no reader that read the original reads it differently; only the
// spelling changes. Unsafe: matches the evident intent but changes what
// some reader does.
enum class FixSafety : std::uint8_t { Safe, Unsafe };

// "safe" or "unsafe".
std::string_view FixSafetyName(FixSafety safety) noexcept;

// One change of the file's lines, by the line numbers of the file the
// finding was made on.
struct Edit {
    enum class Kind : std::uint8_t {
        // The bytes [column, endColumn) of `line` become `text`.
        Replace,
        // `line` goes, with its line end.
        RemoveLine,
        // A new line `text` comes before `line` (one past the last line:
        // at the end of the file), with the line end of its neighbours.
        InsertLine,
    };
    Kind kind = Kind::Replace;
    std::int32_t line = 0;
    std::int32_t column = 0;
    std::int32_t endColumn = 0;
    std::string text;
};

// What a finding offers to mend it: what it does in a few words, how safe
// it is, and its edits.
struct Fix {
    std::string title;
    FixSafety safety = FixSafety::Safe;
    std::vector<Edit> edits;
};

// Edits made by the checks.
Edit ReplaceBytes(std::int32_t line, std::size_t column, std::size_t endColumn, std::string text);
Edit RemoveLine(std::int32_t line);
// Whether `part` is a view of bytes within `whole`.
bool ViewWithin(std::string_view part, std::string_view whole) noexcept;
// The edit that writes `text` in place of `part`, a view of `raw`, the bytes
// of `line`; none when `part` is not one.
std::optional<Edit> ReplaceView(std::int32_t line, std::string_view raw, std::string_view part, std::string text);
Edit InsertLine(std::int32_t before, std::string text);
std::shared_ptr<const Fix> MakeFix(std::string title, FixSafety safety, std::vector<Edit> edits);

// A file's bytes split into lines as the run splits them (a line ends at
// CR, LF or the end; one CR and then one LF end it; the first byte 0 ends
// the text), each with its line end, and what follows the text.
class SourceLines {
public:
    explicit SourceLines(std::string_view bytes);

    struct Line {
        std::string_view text;
        std::string_view end;
    };
    std::size_t size() const noexcept { return lines_.size(); }
    const Line& operator[](std::size_t i) const noexcept { return lines_[i]; }
    // The byte 0 that ends the text and everything after it; empty when the
    // file has none.
    std::string_view Tail() const noexcept { return tail_; }
    // The line end of the file's first line that has one ("\n" when none
    // has).
    std::string_view UsualEnd() const noexcept { return usualEnd_; }

private:
    std::vector<Line> lines_;
    std::string_view tail_;
    std::string_view usualEnd_ = "\n";
};

// The outcome of applying fixes.
struct Applied {
    std::string bytes;
    // How many fixes were applied.
    std::int64_t fixes = 0;
    // For each line of the new text, the 1-based number of the old line it
    // keeps (changed or not), or 0 for an inserted line.
    std::vector<std::int32_t> origin;
};

// Applies `fixes` in order to `bytes`, except those whose edits are invalid
// (a line or column outside the text) or touch a line that an earlier fix
// of this round touches: those wait for the next round.
Applied ApplyFixes(std::string_view bytes, const std::vector<std::shared_ptr<const Fix>>& fixes);

}  // namespace corvala
