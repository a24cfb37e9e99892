// Reading and writing whole files on POSIX: the project's one read loop and
// one write loop (each retries an interrupted call in one place), a file
// descriptor that closes itself, reading a file that may be hostile (a
// device, a FIFO, a file rewritten meanwhile) and saving a file so that a
// failure never destroys the file it replaces.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "engine/model/failures.h"

namespace corvala {

// A file that was changed while it was read, twice in a row, so that no
// consistent content could be read. A kind of FileOpenError, so that a
// handler of unreadable files reports it too; catch it first to tell it
// apart.
class FileChangedError : public FileOpenError {
public:
    using FileOpenError::FileOpenError;
};

// A file that cannot be created or that a save refuses to replace:
// "Cannot create file \"<full path>\". <cause>".
class FileCreateError : public Failure {
public:
    using Failure::Failure;
};

// A save whose writing failed; carries the caller's message.
class FileWriteError : public Failure {
public:
    using Failure::Failure;
};

// A file descriptor owned by one object: closed when the object goes,
// moved but never copied.
class FileHandle {
public:
    FileHandle() noexcept = default;
    explicit FileHandle(int fd) noexcept : fd_(fd) {}
    FileHandle(FileHandle&& other) noexcept : fd_(other.Release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { Close(); }

    int get() const noexcept { return fd_; }
    explicit operator bool() const noexcept { return fd_ >= 0; }
    // Gives up ownership; the caller closes the descriptor.
    int Release() noexcept;
    // Closes now; 0, or the error number of a failed close (which, after
    // writes, can be the first report of a failed write).
    int Close() noexcept;

private:
    int fd_ = -1;
};

struct ReadResult {
    std::size_t bytes = 0;  // 0 at the end of the input
    int error = 0;  // the error number of a failed read, else 0
};

// One read of at most `size` bytes, repeated when a signal interrupts it.
ReadResult ReadSome(int fd, char* buffer, std::size_t size) noexcept;

// Writes all `size` bytes, however many calls it takes; 0, or the error
// number of the write that failed (EIO for a write that took nothing).
int WriteAll(int fd, const char* data, std::size_t size) noexcept;

// Which files a reader accepts.
enum class FileKinds {
    // Anything the system can read: the checker reads pipes and FIFOs too.
    Any,
    // Regular files only, refused before anything can block: the window
    // must not wait for ever on a FIFO without a writer.
    RegularOnly,
};

// Opens `path` for reading. Raises FileOpenError "Cannot open file
// \"<full path>\". <cause>": the system's cause, "Is a directory" for a
// directory, and with RegularOnly "It is a FIFO, not a regular file" (a
// character device, a block device, a socket) for other kinds.
FileHandle OpenForReading(const std::string& path, FileKinds kinds);

// Reads the text of the file at `path`: its bytes up to the first byte 0,
// which ends the text, so that nothing after it is read (a device of
// endless zeros, a sparse file). A regular file whose size or modification
// time changes during the read is read once more; when it changes again,
// FileChangedError "The file \"<full path>\" changed while it was read."
// Other failures as OpenForReading, and a failed read likewise.
std::string ReadWholeFile(const std::string& path, FileKinds kinds);

// Saves `pieces`, in order, as the whole content of the file at `path`,
// so that a failure leaves an existing file as it was: the bytes go to a
// new file in the same folder, which is flushed to the disk and then
// renamed over the target. The new file keeps the permissions of the file
// it replaces (a new one gets 0666 less the umask). A symbolic link is
// followed and stays a link.
//
// Raises FileCreateError "Cannot create file \"<full path>\". <cause>"
// when the file cannot be created (the system's cause, also for an
// existing file the user may not write) and, writing nothing, refuses a
// target that is a directory ("Is a directory") or exists and is not a
// regular file ("It is a FIFO, not a regular file"), and one that is the
// same file as `protectedFile` ("It is the airspace file that is open"),
// whatever names or links lead to it. A failed or short write, flush or
// rename raises FileWriteError(writeFailure). No temporary file outlives
// a failure.
void SaveFileAtomically(const std::string& path, std::span<const std::string_view> pieces,
                        const std::string& writeFailure, const std::string& protectedFile = {});

// The message of a file that cannot be opened, as OpenForReading raises it.
std::string CannotOpenMessage(const std::string& path, const std::string& cause);

// Test seam: called at the start of every reading pass of ReadWholeFile
// (1, then 2 for the read after a change), after the file's size and time
// were taken, so that a test can change the file at that moment. Null (the
// default) calls nothing.
using ReadPassHook = void (*)(int pass);
void SetReadPassHook(ReadPassHook hook) noexcept;

}  // namespace corvala
