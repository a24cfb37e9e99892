#include "cli/output.h"

#include <cerrno>
#include <unistd.h>

namespace corvala::cli {

Output::Output(int fd, std::size_t chunk) : fd_(fd), chunk_(chunk) { buffer_.reserve(chunk + 4096); }

Output::~Output() { Flush(); }

void Output::Flush() {
    const char* data = buffer_.data();
    std::size_t left = buffer_.size();
    while (left > 0 && !failed_) {
        ssize_t written = ::write(fd_, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            failed_ = true;
            errno_ = errno;
            break;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    buffer_.clear();
}

}  // namespace corvala::cli
