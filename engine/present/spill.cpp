#include "engine/present/spill.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "engine/model/failures.h"
#include "engine/input/io.h"
#include "engine/input/lines.h"

namespace corvala {

namespace {

// An unnamed file in `folder`, or -1 with errno set.
int OpenUnnamedFile(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
    // A file system without unnamed files: a named one, unlinked at once.
    std::string name = folder + "/corvala-check-XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(name.c_str());
    return fd;
}

}  // namespace

Spill::~Spill() {
    if (fd_ >= 0) ::close(fd_);
}

std::string Spill::TemporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? std::string(folder) : std::string("/tmp");
}

void Spill::Start(std::string_view title) {
    Reset();
    title_ = title;
}

void Spill::Append(std::string_view text) {
    if (broken_) return;
    try {
        memory_.append(text);
        if (memory_.size() < kMemoryLimit) return;
        if (!inFile_ && fd_ < 0 && !fileTried_) {
            fileTried_ = true;
            fd_ = OpenUnnamedFile(TemporaryFolder());
            if (fd_ < 0) fileError_ = errno;
        }
        if (fd_ >= 0) {
            inFile_ = true;
            WriteOut();
        } else if (memory_.size() > kMemoryBound) {
            Fail("more than " + std::to_string(kMemoryBound >> 20) + " MB of findings and no temporary file in \"" +
                 TemporaryFolder() + "\" (" + SystemErrorText(fileError_) + ")");
        }
    } catch (...) {
        broken_ = true;
        throw;
    }
}

void Spill::Complete() {
    if (broken_) Fail("they were not kept");
    if (!inFile_) return;
    try {
        WriteOut();
    } catch (...) {
        broken_ = true;
        throw;
    }
}

void Spill::CopyTo(const TextSink& sink) {
    if (!inFile_) {
        sink(memory_);
        return;
    }
    if (::lseek(fd_, 0, SEEK_SET) != 0) Fail("cannot read them back. " + SystemErrorText(errno));
    char buffer[1 << 16];
    std::uint64_t left = written_;
    while (left > 0) {
        const ReadResult got = ReadSome(fd_, buffer, std::min<std::uint64_t>(sizeof buffer, left));
        if (got.error != 0) Fail("cannot read them back. " + SystemErrorText(got.error));
        if (got.bytes == 0) Fail("cannot read them back. The temporary file is shorter than written");
        sink(std::string_view(buffer, got.bytes));
        left -= got.bytes;
    }
}

void Spill::Reset() {
    if (memory_.capacity() > 2 * kMemoryLimit) {
        std::string().swap(memory_);
    } else {
        memory_.clear();
    }
    // The temporary file serves the next file too.
    if (inFile_ && (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0)) {
        ::close(fd_);
        fd_ = -1;
    }
    inFile_ = false;
    written_ = 0;
    broken_ = false;
}

void Spill::WriteOut() {
    if (const int error = WriteAll(fd_, memory_.data(), memory_.size()); error != 0)
        Fail("the temporary file in \"" + TemporaryFolder() + "\" cannot be written. " + SystemErrorText(error));
    written_ += memory_.size();
    memory_.clear();
}

void Spill::Fail(const std::string& why) {
    broken_ = true;
    throw Failure("Cannot keep the findings of \"" + title_ + "\": " + why + ".");
}

}  // namespace corvala
