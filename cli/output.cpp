#include "cli/output.h"

#include "engine/input/io.h"

namespace corvala::cli {

Output::Output(int fd, std::size_t chunk) : fd_(fd), chunk_(chunk) { buffer_.reserve(chunk + 4096); }

Output::~Output() { Flush(); }

void Output::Flush() {
    if (!failed_ && !buffer_.empty()) {
        if (const int error = WriteAll(fd_, buffer_.data(), buffer_.size()); error != 0) {
            failed_ = true;
            errno_ = error;
        }
    }
    buffer_.clear();
}

}  // namespace corvala::cli
