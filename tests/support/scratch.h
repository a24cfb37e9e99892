// A fresh folder under the system's temporary folder for one test, removed
// with everything in it at the end of the scope.
#pragma once

#include <csignal>
#include <string>
#include <string_view>
#include <sys/resource.h>

namespace corvala::test {

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const noexcept { return path_; }
    // Writes `bytes` unchanged to the file `name` in the folder; returns its path.
    std::string Write(const std::string& name, std::string_view bytes) const;

private:
    std::string path_;
};

// The whole content of a file ("" when it cannot be read).
std::string ReadFile(const std::string& path);

// A disk that is full after `bytes` bytes of any file, for the scope: a
// file size limit makes every write beyond it fail as a full disk does.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, savedHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*savedHandler_)(int);
};

}  // namespace corvala::test
