// The lines of a file read as a stream (see engine/input/line_reader.h).
#include "engine/input/line_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include "engine/input/io.h"

namespace corvala {

LineReader::LineReader(int fd, std::size_t bufferSize)
    : fd_(fd), buffer_(std::make_unique_for_overwrite<char[]>(std::max<std::size_t>(bufferSize, 1))),
      capacity_(std::max<std::size_t>(bufferSize, 1)) {
    struct stat info {};
    if (::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode)) {
        regular_ = true;
        startSize_ = info.st_size;
        startSeconds_ = info.st_mtim.tv_sec;
        startNanoseconds_ = info.st_mtim.tv_nsec;
        const off_t at = ::lseek(fd_, 0, SEEK_CUR);
        if (at >= 0) startOffset_ = offset_ = at;
    }
}

LineReader::LineReader(const LineReader& first, Again, std::size_t bufferSize)
    : fd_(first.fd_), buffer_(std::make_unique_for_overwrite<char[]>(std::max<std::size_t>(bufferSize, 1))),
      capacity_(std::max<std::size_t>(bufferSize, 1)), regular_(first.regular_), startSize_(first.startSize_),
      startSeconds_(first.startSeconds_), startNanoseconds_(first.startNanoseconds_), startOffset_(first.startOffset_),
      readAt_(first.startOffset_) {}

bool LineReader::Next(std::string_view& line) {
    if (skipLf_) {
        if (begin_ == end_) Fill();
        if (begin_ < end_ && buffer_[begin_] == '\n') ++begin_;
        skipLf_ = false;
    }
    for (;;) {
        // Fill may have moved the bytes to a bigger buffer.
        const char* const data = buffer_.get();
        // Most lines end in LF or CR LF: find the next LF, then a CR before
        // it, as Lines does.
        const std::size_t from = std::max(scanned_, begin_);
        if (!lfKnown_ || lfAt_ < from) {
            const void* lf = std::memchr(data + from, '\n', end_ - from);
            lfAt_ = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - data) : end_;
            lfKnown_ = true;
        }
        const void* cr = std::memchr(data + from, '\r', lfAt_ - from);
        const std::size_t stop = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - data) : lfAt_;
        if (stop < end_) {
            line = std::string_view(data + begin_, stop - begin_);
            begin_ = stop + 1;
            if (data[stop] == '\r') {
                if (begin_ < end_) {
                    if (data[begin_] == '\n') ++begin_;
                } else {
                    skipLf_ = !inputEnded_;
                }
            }
            scanned_ = begin_;
            return true;
        }
        scanned_ = end_;
        if (inputEnded_) {
            if (error_ == 0 && begin_ < end_) {
                // A final line without a line end.
                line = std::string_view(data + begin_, end_ - begin_);
                begin_ = end_;
                return true;
            }
            Finish();
            return false;
        }
        Fill();
    }
}

// Reads more bytes after the unread ones, moving them to the front of the
// buffer first and doubling the buffer when they fill it.
void LineReader::Fill() {
    if (inputEnded_) return;
    char* data = buffer_.get();
    if (begin_ > 0) {
        std::memmove(data, data + begin_, end_ - begin_);
        end_ -= begin_;
        scanned_ -= std::min(scanned_, begin_);
        begin_ = 0;
    }
    // A remembered LF was past the data; what was known of the data so far
    // no longer holds once more is read.
    lfKnown_ = false;
    if (end_ == capacity_) {
        auto bigger = std::make_unique_for_overwrite<char[]>(capacity_ * 2);
        std::memcpy(bigger.get(), data, end_);
        buffer_ = std::move(bigger);
        capacity_ *= 2;
        data = buffer_.get();
    }
    const ReadResult got =
        readAt_ >= 0 ? ReadAt(data + end_, capacity_ - end_) : ReadSome(fd_, data + end_, capacity_ - end_);
    if (got.error != 0) {
        error_ = got.error;
        inputEnded_ = true;
        return;
    }
    if (got.bytes == 0) {
        inputEnded_ = true;
        return;
    }
    // The first byte 0 ends the text: nothing after it is read.
    if (const void* nul = std::memchr(data + end_, 0, got.bytes)) {
        const auto at = static_cast<std::size_t>(static_cast<const char*>(nul) - data);
        nulOffset_ = offset_ + static_cast<std::int64_t>(at - end_);
        bytesAfterNul_ = static_cast<std::int64_t>(got.bytes - (at - end_) - 1);
        offset_ += static_cast<std::int64_t>(got.bytes);
        end_ = at;
        inputEnded_ = true;
        return;
    }
    offset_ += static_cast<std::int64_t>(got.bytes);
    end_ += got.bytes;
}

ReadResult LineReader::ReadAt(char* buffer, std::size_t size) noexcept {
    for (;;) {
        const ssize_t got = ::pread(fd_, buffer, size, static_cast<off_t>(readAt_));
        if (got >= 0) {
            readAt_ += got;
            return {static_cast<std::size_t>(got), 0};
        }
        if (errno != EINTR) return {0, errno};
    }
}

void LineReader::Finish() {
    if (finished_) return;
    finished_ = true;
    changed_ = ChangedNow();
    // The bytes of a regular file after a byte 0 that were never read.
    struct stat info {};
    if (regular_ && nulOffset_ >= 0 && ::fstat(fd_, &info) == 0 && info.st_size > offset_)
        bytesAfterNul_ += info.st_size - offset_;
}

bool LineReader::ChangedNow() const noexcept {
    struct stat info {};
    if (!regular_ || ::fstat(fd_, &info) != 0) return false;
    return info.st_size != startSize_ || info.st_mtim.tv_sec != startSeconds_ ||
           info.st_mtim.tv_nsec != startNanoseconds_;
}

}  // namespace corvala
