#include "engine/input/lines.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/model/failures.h"
#include "engine/input/io.h"

namespace corvala {

std::string SystemErrorText(int error) {
    std::string cause = std::strerror(error);
    while (!cause.empty()) {
        const auto last = static_cast<unsigned char>(cause.back());
        if (last <= 32 || last == '.') {
            cause.pop_back();
        } else {
            break;
        }
    }
    return cause;
}

std::string FullPath(const std::string& path) {
    if (path.empty()) return path;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) return path;
    return absolute.lexically_normal().string();
}

Lines::Lines(std::string bytes) : bytes_(std::make_unique<std::string>(std::move(bytes))) {
    const std::string& text = *bytes_;
    // The first byte 0 ends the text.
    std::size_t n = text.size();
    if (const void* nul = std::memchr(text.data(), 0, n)) n = static_cast<const char*>(nul) - text.data();

    // Most lines end in LF or CR LF: find the next LF with memchr, then look
    // for a CR before it. The LF found is kept until the lines pass it, so a
    // file of CR line ends is still read in one pass.
    const char* data = text.data();
    lines_.reserve(n / 24 + 1);
    std::size_t start = 0;
    std::size_t lfAt = 0;
    bool lfKnown = false;
    while (start < n) {
        if (!lfKnown || lfAt < start) {
            const void* lf = std::memchr(data + start, '\n', n - start);
            lfAt = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - data) : n;
            lfKnown = true;
        }
        const void* cr = std::memchr(data + start, '\r', lfAt - start);
        const std::size_t end = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - data) : lfAt;
        if (end == n) break;  // a final line without a line end
        lines_.emplace_back(data + start, end - start);
        // One CR, then one LF, end the line.
        std::size_t next = end;
        if (data[next] == '\r') ++next;
        if (next < n && data[next] == '\n') ++next;
        start = next;
    }
    if (start < n) lines_.emplace_back(data + start, n - start);
}

void LoadLines(Lines& lines, const std::string& path, FileKinds kinds) { lines = Lines(ReadWholeFile(path, kinds)); }

}  // namespace corvala
