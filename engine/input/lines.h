// Reading an airspace file into lines.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/input/io.h"

namespace corvala {

// The lines of one file: the file's bytes held once, and a view per line.
// Moving keeps the views valid; copying is not offered.
class Lines {
public:
    Lines() = default;
    Lines(Lines&&) noexcept = default;
    Lines& operator=(Lines&&) noexcept = default;
    Lines(const Lines&) = delete;
    Lines& operator=(const Lines&) = delete;

    // Takes the bytes and splits them: a line ends at CR, LF or the end; one
    // CR and then one LF are skipped after each line; the first byte 0 ends
    // the text.
    explicit Lines(std::string bytes);

    std::size_t size() const noexcept { return lines_.size(); }
    bool empty() const noexcept { return lines_.empty(); }
    std::string_view operator[](std::size_t i) const noexcept { return lines_[i]; }
    auto begin() const noexcept { return lines_.begin(); }
    auto end() const noexcept { return lines_.end(); }

private:
    std::unique_ptr<std::string> bytes_;
    std::vector<std::string_view> lines_;
};

// Reads the file at `path` (ReadWholeFile: up to its first byte 0) and splits
// it into lines. Raises FileOpenError "Cannot open file \"<full path>\".
// <system's cause>" when the file cannot be opened or read, or is not of
// the `kinds` asked for; `lines` is then left as it was.
void LoadLines(Lines& lines, const std::string& path, FileKinds kinds = FileKinds::Any);

// The system's text for an error number as messages quote it: without
// trailing blanks, control characters and periods.
std::string SystemErrorText(int error);

// The full path as the error message shows it: `path` made absolute against
// the current directory and normalised ("" stays "").
std::string FullPath(const std::string& path);

}  // namespace corvala
