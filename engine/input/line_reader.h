// The lines of a file read as a stream, in memory that does not grow with
// the file: the checker reads files of any size, pipes, FIFOs and standard
// input this way. The lines are exactly those of `Lines` (engine/input/lines.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/input/io.h"

namespace corvala {

class LineReader {
public:
    static constexpr std::size_t kDefaultBufferSize = std::size_t(4) << 20;
    static constexpr std::size_t kAgainBufferSize = std::size_t(1) << 20;

    // Reads from `fd`, which stays the caller's to close. The buffer starts
    // at `bufferSize` bytes (at least 1) and grows only to hold a line that
    // does not fit.
    explicit LineReader(int fd, std::size_t bufferSize = kDefaultBufferSize);
    // A second reader of the lines `first` reads, from the same start, for
    // a run that gives lines out again instead of keeping their bytes. It
    // reads at positions of its own (pread), so that the two readers do not
    // move each other's place in the file; `first` must be able to
    // (CanReadAgain) and must outlive it. Its Changed compares with what
    // the file was when `first` was made.
    struct Again {};
    LineReader(const LineReader& first, Again, std::size_t bufferSize = kAgainBufferSize);
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next line, without its line end, valid until the next call.
    // False at the end of the text (the end of the input or its first byte
    // 0, after which nothing is read) and after a failed read. A line ends
    // at CR, LF or the end of the text; after a line one CR and then one LF
    // are skipped; a line end at the very end adds no empty line.
    bool Next(std::string_view& line);

    // The error number of the read that failed, else 0.
    int Error() const noexcept { return error_; }
    // Once Next has returned false: whether a regular file's size or
    // modification time differ from those it had when the reader was made,
    // so that the lines may mix old and new content.
    bool Changed() const noexcept { return changed_; }
    // Once Next has returned false: the offset in the input of the byte 0
    // that ended the text, else -1; and how many bytes came after it, not
    // read as text: for a regular file all of them to its end, for other
    // inputs those that came with the same read (at least that many).
    std::int64_t NulOffset() const noexcept { return nulOffset_; }
    std::int64_t BytesAfterNul() const noexcept { return bytesAfterNul_; }
    // Whether a regular file's size or modification time differ now from
    // those it had when the (first) reader was made.
    bool ChangedNow() const noexcept;
    // Whether a second reader can read the same lines again: the input is a
    // regular file that had bytes when the reader was made (not a pipe, a
    // device or a file of the /proc kind, whose bytes may differ on a
    // second read).
    bool CanReadAgain() const noexcept { return regular_ && startSize_ > 0 && startOffset_ >= 0; }
    // The buffer's size now, for measurements.
    std::size_t BufferSize() const noexcept { return capacity_; }

private:
    void Fill();
    ReadResult ReadAt(char* buffer, std::size_t size) noexcept;
    void Finish();

    int fd_;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_;
    // The unread bytes are [begin_, end_); [begin_, scanned_) holds no line end.
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    std::size_t scanned_ = 0;
    // The next LF at or after the last search start (end_ when none), kept
    // while lines end at CRs before it so that each byte is searched once.
    std::size_t lfAt_ = 0;
    bool lfKnown_ = false;
    // The last line ended at a CR that was the last byte read: an LF that
    // comes first in the next read belongs to that line end.
    bool skipLf_ = false;
    bool inputEnded_ = false;
    bool finished_ = false;
    int error_ = 0;
    bool regular_ = false;
    bool changed_ = false;
    // The regular file's size and modification time when the reader was made.
    std::int64_t startSize_ = 0;
    std::int64_t startSeconds_ = 0;
    std::int64_t startNanoseconds_ = 0;
    // The offset of the input's next byte; where the text ended at a byte 0.
    std::int64_t offset_ = 0;
    std::int64_t nulOffset_ = -1;
    std::int64_t bytesAfterNul_ = 0;
    // Where a regular file stood when the first reader was made (else -1);
    // for a second reader, where its next read starts (-1 for a reader
    // that reads at the input's own place).
    std::int64_t startOffset_ = -1;
    std::int64_t readAt_ = -1;
};

}  // namespace corvala
