#include "engine/lines.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/failures.h"

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

namespace {

[[noreturn]] void FailOpen(const std::string& path, int error) {
    throw FileOpenError("Cannot open file \"" + FullPath(path) + "\". " + SystemErrorText(error));
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const noexcept { return fd_; }

private:
    int fd_;
};

}  // namespace

std::string FullPath(const std::string& path) {
    if (path.empty()) return path;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) return path;
    return absolute.lexically_normal().string();
}

std::string ReadFileBytes(const std::string& path) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) FailOpen(path, errno);

    struct stat info {};
    if (::fstat(file.get(), &info) != 0) FailOpen(path, errno);
    if (S_ISDIR(info.st_mode)) FailOpen(path, EISDIR);

    // Room for the whole file and one byte more, so that the read that finds
    // the end needs no growth. Read to the end whatever the size said: the
    // file may grow meanwhile, and pipes and devices have no size.
    std::string bytes;
    const std::size_t expected =
        S_ISREG(info.st_mode) && info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : 65535;
    bytes.resize(expected + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) bytes.resize(bytes.size() * 2);
        const ssize_t got = ::read(file.get(), bytes.data() + used, bytes.size() - used);
        if (got < 0) {
            if (errno == EINTR) continue;
            FailOpen(path, errno);
        }
        if (got == 0) break;
        used += static_cast<std::size_t>(got);
    }
    bytes.resize(used);
    return bytes;
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

void LoadLines(Lines& lines, const std::string& path) { lines = Lines(ReadFileBytes(path)); }

}  // namespace corvala
