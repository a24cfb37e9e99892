// Reading and writing whole files on POSIX (see engine/input/io.h).
#include "engine/input/io.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/input/lines.h"

namespace corvala {

namespace {

std::atomic<ReadPassHook> readPassHook{nullptr};

[[noreturn]] void FailOpen(const std::string& path, int error) {
    throw FileOpenError(CannotOpenMessage(path, SystemErrorText(error)));
}

std::string CannotCreateMessage(const std::string& path, const std::string& cause) {
    return "Cannot create file \"" + FullPath(path) + "\". " + cause;
}

[[noreturn]] void FailCreate(const std::string& path, int error) {
    throw FileCreateError(CannotCreateMessage(path, SystemErrorText(error)));
}

// What a file that is neither regular nor a directory is, for messages.
std::string KindName(mode_t mode) {
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "a special file";
}

std::string NotRegularCause(mode_t mode) { return "It is " + KindName(mode) + ", not a regular file"; }

// Refuses what a reader of `kinds` does not take. A directory gives the
// system's own cause, "Is a directory", as it always has.
void CheckKind(const std::string& path, const struct stat& info, FileKinds kinds) {
    if (S_ISDIR(info.st_mode)) FailOpen(path, EISDIR);
    if (kinds == FileKinds::RegularOnly && !S_ISREG(info.st_mode)) {
        throw FileOpenError(CannotOpenMessage(path, NotRegularCause(info.st_mode)));
    }
}

FileHandle Open(const std::string& path, FileKinds kinds, struct stat& info) {
    int flags = O_RDONLY | O_CLOEXEC;
    if (kinds == FileKinds::RegularOnly) {
        // Look before opening: opening a FIFO waits for a writer, and
        // opening some devices acts on them.
        if (::stat(path.c_str(), &info) != 0) FailOpen(path, errno);
        CheckKind(path, info, kinds);
        // Should the path be swapped for a FIFO meanwhile, the open must
        // still not wait; the check below then refuses it.
        flags |= O_NONBLOCK;
    }
    FileHandle file(::open(path.c_str(), flags));
    if (!file) FailOpen(path, errno);
    if (::fstat(file.get(), &info) != 0) FailOpen(path, errno);
    CheckKind(path, info, kinds);
    if (flags & O_NONBLOCK) ::fcntl(file.get(), F_SETFL, ::fcntl(file.get(), F_GETFL) & ~O_NONBLOCK);
    return file;
}

bool SameState(const struct stat& a, const struct stat& b) {
    return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// The size to make room for at once: the file's size, unless most of it
// is a hole (a sparse file) that would likely end the text at its first
// byte 0. Without a hint the room grows as the reads go.
std::size_t SizeHint(const struct stat& info) {
    if (!S_ISREG(info.st_mode) || info.st_size <= 0) return 0;
    const auto allocated = static_cast<std::uint64_t>(info.st_blocks) * 512;
    const auto size = static_cast<std::uint64_t>(info.st_size);
    return allocated >= size / 2 ? static_cast<std::size_t>(size) : 0;
}

// Reads from `fd` up to its end or its first byte 0. `sizeHint` is the
// size the file claims: room for all of it is taken once the first bytes
// show no byte 0, but filled only as the reads go.
std::string ReadText(int fd, std::size_t sizeHint, const std::string& path) {
    constexpr std::size_t kFirst = std::size_t(1) << 16;
    constexpr std::size_t kStep = std::size_t(1) << 24;
    const std::size_t wanted = sizeHint + 1;  // one more, so that the read that finds the end needs no growth
    std::string bytes;
    bytes.resize(sizeHint > 0 ? std::min(wanted, kFirst) : kFirst);
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            if (sizeHint > 0 && bytes.capacity() < wanted) bytes.reserve(wanted);
            std::size_t next = used + std::min(std::max(used, kFirst), kStep);
            if (used < bytes.capacity()) next = std::min(next, bytes.capacity());
            bytes.resize(next);
        }
        const ReadResult got = ReadSome(fd, bytes.data() + used, bytes.size() - used);
        if (got.error != 0) FailOpen(path, got.error);
        if (got.bytes == 0) break;
        if (const void* nul = std::memchr(bytes.data() + used, 0, got.bytes)) {
            used = static_cast<std::size_t>(static_cast<const char*>(nul) - bytes.data());
            break;
        }
        used += got.bytes;
    }
    bytes.resize(used);
    return bytes;
}

// The file a path names once symbolic links in its last component are
// followed: a save writes through a link and keeps it. Relative links
// count from the link's folder. A link that leads nowhere gives the path
// the file would be created at.
std::string FollowLinks(const std::string& path) {
    std::filesystem::path current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current.string();
        // The size a link claims can be short (0 in /proc): a full buffer
        // is read again with more room.
        std::string target(std::max<std::size_t>(static_cast<std::size_t>(info.st_size), 255) + 1, '\0');
        ssize_t length;
        while ((length = ::readlink(current.c_str(), target.data(), target.size())) >= 0 &&
               static_cast<std::size_t>(length) == target.size()) {
            target.resize(target.size() * 2);
        }
        if (length < 0) return current.string();
        target.resize(static_cast<std::size_t>(length));
        const std::filesystem::path next(target);
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    FailCreate(path, ELOOP);
}

// A new, uniquely named file next to the target, removed unless it was
// renamed over the target.
class TemporaryFile {
public:
    TemporaryFile(const std::string& target, const std::string& reportedPath) {
        const std::filesystem::path targetPath(target);
        std::filesystem::path folder = targetPath.parent_path();
        if (folder.empty()) folder = ".";
        // A hidden name that shows what it belongs to, short enough for
        // any file name limit.
        std::string base(1, '.');
        base += targetPath.filename().string().substr(0, 200);
        base += '.';
        static std::atomic<unsigned> counter{0};
        std::mt19937_64 random(std::random_device{}() ^ static_cast<std::uint64_t>(::getpid()) ^
                               static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                               counter.fetch_add(1));
        static const char digits[] = "0123456789abcdef";
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = base;
            std::uint64_t value = random();
            for (int i = 0; i < 12; ++i, value >>= 4) name += digits[value & 15];
            name += ".tmp";
            path_ = (folder / name).string();
            // O_EXCL: never an existing file, never through a link.
            file_ = FileHandle(::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
            if (file_) return;
            if (errno != EEXIST) break;
        }
        const int error = errno;
        path_.clear();
        FailCreate(reportedPath, error);
    }
    ~TemporaryFile() {
        file_.Close();
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int fd() const noexcept { return file_.get(); }
    const std::string& path() const noexcept { return path_; }
    int Close() noexcept { return file_.Close(); }
    // The file is in place: nothing to remove.
    void Keep() noexcept { path_.clear(); }

private:
    std::string path_;
    FileHandle file_;
};

// Flushes a folder's entries, so that a rename in it survives a crash.
// Best effort: the rename has been done whatever this says, and some file
// systems cannot flush a folder.
void SyncFolder(const std::string& file) {
    std::filesystem::path folder = std::filesystem::path(file).parent_path();
    if (folder.empty()) folder = ".";
    FileHandle handle(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (handle) ::fsync(handle.get());
}

}  // namespace

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.Release();
    }
    return *this;
}

int FileHandle::Release() noexcept {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

int FileHandle::Close() noexcept {
    if (fd_ < 0) return 0;
    // No retry after EINTR: on Linux the descriptor is closed regardless.
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0 ? 0 : errno;
}

ReadResult ReadSome(int fd, char* buffer, std::size_t size) noexcept {
    for (;;) {
        const ssize_t got = ::read(fd, buffer, size);
        if (got >= 0) return {static_cast<std::size_t>(got), 0};
        if (errno != EINTR) return {0, errno};
    }
}

int WriteAll(int fd, const char* data, std::size_t size) noexcept {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (written == 0) return EIO;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

std::string CannotOpenMessage(const std::string& path, const std::string& cause) {
    return "Cannot open file \"" + FullPath(path) + "\". " + cause;
}

FileHandle OpenForReading(const std::string& path, FileKinds kinds) {
    struct stat info {};
    return Open(path, kinds, info);
}

std::string ReadWholeFile(const std::string& path, FileKinds kinds) {
    struct stat before {};
    FileHandle file = Open(path, kinds, before);
    if (!S_ISREG(before.st_mode)) return ReadText(file.get(), 0, path);

    // A regular file that changes while it is read may give a mix of old
    // and new bytes, or none: read it again, and give up when it changes
    // again.
    for (int pass = 1; pass <= 2; ++pass) {
        if (pass > 1) {
            if (::lseek(file.get(), 0, SEEK_SET) < 0) FailOpen(path, errno);
            if (::fstat(file.get(), &before) != 0) FailOpen(path, errno);
        }
        if (ReadPassHook hook = readPassHook.load()) hook(pass);
        std::string text = ReadText(file.get(), SizeHint(before), path);
        struct stat after {};
        if (::fstat(file.get(), &after) != 0) FailOpen(path, errno);
        if (SameState(before, after)) return text;
    }
    throw FileChangedError("The file \"" + FullPath(path) + "\" changed while it was read.");
}

void SaveFileAtomically(const std::string& path, std::span<const std::string_view> pieces,
                        const std::string& writeFailure, const std::string& protectedFile) {
    if (path.empty()) FailCreate(path, ENOENT);
    const std::string target = FollowLinks(path);

    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists) {
        // Nothing is opened here: a FIFO could block, a device could act.
        // A directory gives the system's own cause, as an open of it would.
        if (S_ISDIR(existing.st_mode)) FailCreate(path, EISDIR);
        if (!S_ISREG(existing.st_mode)) {
            throw FileCreateError(CannotCreateMessage(path, NotRegularCause(existing.st_mode)));
        }
        struct stat guarded {};
        if (!protectedFile.empty() && ::stat(protectedFile.c_str(), &guarded) == 0 &&
            guarded.st_dev == existing.st_dev && guarded.st_ino == existing.st_ino) {
            throw FileCreateError(CannotCreateMessage(path, "It is the airspace file that is open"));
        }
        // A file its owner made read-only stays refused, as when it was
        // opened for writing in place.
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) FailCreate(path, errno);
    }

    TemporaryFile temporary(target, path);
    auto fail = [&] { throw FileWriteError(writeFailure); };
    if (exists && ::fchmod(temporary.fd(), existing.st_mode & 07777) != 0) fail();
    for (const std::string_view piece : pieces) {
        if (WriteAll(temporary.fd(), piece.data(), piece.size()) != 0) fail();
    }
    if (::fsync(temporary.fd()) != 0) fail();
    if (temporary.Close() != 0) fail();
    if (::rename(temporary.path().c_str(), target.c_str()) != 0) fail();
    temporary.Keep();
    SyncFolder(target);
}

void SetReadPassHook(ReadPassHook hook) noexcept { readPassHook.store(hook); }

}  // namespace corvala
