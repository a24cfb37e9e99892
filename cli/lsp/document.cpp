#include "cli/lsp/document.h"

#include <cstring>

namespace corvala::lsp {

std::vector<std::size_t> LineStarts(std::string_view text) {
    std::vector<std::size_t> starts;
    starts.reserve(text.size() / 32 + 2);
    starts.push_back(0);
    const char* data = text.data();
    const std::size_t n = text.size();
    std::size_t at = 0;
    while (at < n) {
        // The next CR or LF.
        const void* lf = std::memchr(data + at, '\n', n - at);
        const std::size_t lfAt = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - data) : n;
        const void* cr = std::memchr(data + at, '\r', lfAt - at);
        std::size_t end = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - data) : lfAt;
        if (end == n) break;
        if (data[end] == '\r' && end + 1 < n && data[end + 1] == '\n') ++end;
        at = end + 1;
        starts.push_back(at);
    }
    if (starts.back() != n) starts.push_back(n);
    return starts;
}

std::string_view LineAt(std::string_view text, const std::vector<std::size_t>& starts, std::size_t index) noexcept {
    if (index + 1 >= starts.size()) return {};
    std::size_t begin = starts[index], end = starts[index + 1];
    if (end > begin && text[end - 1] == '\n') --end;
    if (end > begin && text[end - 1] == '\r') --end;
    return text.substr(begin, end - begin);
}

std::string_view Document::Line(std::size_t index) const noexcept { return LineAt(bytes_, starts_, index); }

std::string_view Document::LineEnd() const noexcept {
    if (starts_.size() < 2) return "\n";
    const std::size_t end = starts_[1];
    if (end >= 2 && bytes_.compare(end - 2, 2, "\r\n") == 0) return "\r\n";
    if (end >= 1 && bytes_[end - 1] == '\r') return "\r";
    return "\n";
}

std::size_t Document::Offset(Position position, TextUnit unit) const noexcept {
    if (position.line < 0) return 0;
    const auto index = static_cast<std::size_t>(position.line);
    if (index >= LineCount()) return bytes_.size();
    const std::string_view line = Line(index);
    const std::size_t character = position.character < 0 ? 0 : static_cast<std::size_t>(position.character);
    return starts_[index] + ByteOffset(line, character, unit);
}

Position Document::PositionOf(std::size_t index, std::size_t byteOffset, TextUnit unit, bool roundUp) const noexcept {
    return {static_cast<std::int64_t>(index),
            static_cast<std::int64_t>(DisplayOffset(Line(index), byteOffset, unit, roundUp))};
}

void Document::Replace(std::size_t begin, std::size_t end, std::string_view text) {
    if (begin > bytes_.size()) begin = bytes_.size();
    if (end > bytes_.size()) end = bytes_.size();
    if (end < begin) end = begin;
    bytes_.replace(begin, end - begin, text);
    Index();
}

void Document::ReplaceAll(std::string bytes) {
    bytes_ = std::move(bytes);
    Index();
}

std::shared_ptr<const std::string> Document::Snapshot() const {
    if (!snapshot_) snapshot_ = std::make_shared<const std::string>(bytes_);
    return snapshot_;
}

void Document::Index() {
    starts_ = LineStarts(bytes_);
    snapshot_.reset();
}

}  // namespace corvala::lsp
