// Buffered output to a file descriptor: text collects in one large buffer
// and goes out in big chunks, never per line.
#pragma once

#include <string>
#include <string_view>

namespace corvala::cli {

class Output {
public:
    explicit Output(int fd, std::size_t chunk = std::size_t(1) << 20);
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void Write(std::string_view text) {
        buffer_.append(text);
        if (buffer_.size() >= chunk_) Flush();
    }
    void Put(char c) {
        buffer_.push_back(c);
        if (buffer_.size() >= chunk_) Flush();
    }
    // Writes what is buffered. After a failed write, Failed() is true and
    // further text is dropped.
    void Flush();
    bool Failed() const noexcept { return failed_; }
    int ErrorNumber() const noexcept { return errno_; }

private:
    int fd_;
    std::size_t chunk_;
    std::string buffer_;
    bool failed_ = false;
    int errno_ = 0;
};

}  // namespace corvala::cli
