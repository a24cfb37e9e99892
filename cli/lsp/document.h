// One open document of the language server: its bytes as the engine reads
// them, its lines, and positions as the editor counts them (code units of
// the text the bytes decode to for display, engine/values/display.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run/spans.h"

namespace corvala::lsp {

struct Position {
    std::int64_t line = 0;
    std::int64_t character = 0;
};

class Document {
public:
    Document(std::string bytes, std::int64_t version) : bytes_(std::move(bytes)), version_(version) { Index(); }

    const std::string& Bytes() const noexcept { return bytes_; }
    std::int64_t Version() const noexcept { return version_; }
    void SetVersion(std::int64_t version) noexcept { version_ = version; }

    // Lines end at LF, CR LF or CR, as the engine reads them; a last line
    // without a line end counts, an empty one after the last line end not.
    std::size_t LineCount() const noexcept { return starts_.size() - 1; }
    // The bytes of line `index` (0-based) without its line end; empty
    // beyond the last line.
    std::string_view Line(std::size_t index) const noexcept;
    // The line end the file uses (that of its first line; LF when none).
    std::string_view LineEnd() const noexcept;

    // The byte offset in the document of an editor position: a line
    // beyond the last means the end, a character beyond the line its end,
    // a position inside a character that character's start.
    std::size_t Offset(Position position, TextUnit unit) const noexcept;
    // The editor position of byte `offset` of line `index`.
    Position PositionOf(std::size_t index, std::size_t byteOffset, TextUnit unit, bool roundUp = false) const noexcept;

    // Replaces the bytes from `begin` to `end` with `text`.
    void Replace(std::size_t begin, std::size_t end, std::string_view text);
    void ReplaceAll(std::string bytes);

    // The bytes for a run that may outlive later changes.
    std::shared_ptr<const std::string> Snapshot() const;

    // Memory held: the bytes and the line index.
    std::size_t MemoryBytes() const noexcept { return bytes_.capacity() + starts_.capacity() * sizeof(std::size_t); }

private:
    void Index();

    std::string bytes_;
    std::int64_t version_ = 0;
    // starts_[i] is where line i begins; the last entry is the end of the
    // text proper (one past the last line end, or the bytes' size).
    std::vector<std::size_t> starts_;
    mutable std::shared_ptr<const std::string> snapshot_;
};

// The line starts of a text, as Document keeps them.
std::vector<std::size_t> LineStarts(std::string_view text);
// Line `index` of a text with those starts, without its line end.
std::string_view LineAt(std::string_view text, const std::vector<std::size_t>& starts, std::size_t index) noexcept;

}  // namespace corvala::lsp
