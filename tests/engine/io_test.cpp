// Reading and saving whole files when the files are hostile or the disk
// fails: a read stops at the first byte 0 and never waits on a FIFO when
// only regular files are wanted; a file changed during the read is read
// again or reported; a save never damages the file it replaces, never
// writes into a FIFO or device, never overwrites the open airspace file,
// and leaves no temporary file behind.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "engine/input/io.h"
#include "engine/input/lines.h"
#include "test_support.h"

using namespace std::string_literals;
using corvala::test::ScratchDir;
using corvala::test::Visible;

namespace corvala {
namespace {

namespace fs = std::filesystem;

// Ends the test process after `seconds`: a call that blocks for ever fails
// the run instead of hanging it.
class AlarmGuard {
public:
    explicit AlarmGuard(unsigned seconds) { ::alarm(seconds); }
    ~AlarmGuard() { ::alarm(0); }
};

std::string ReadBack(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

unsigned ModeOf(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

void MakeSocket(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << path;
    ::close(fd);
}

// A block device of this machine, or "" when none can be seen.
std::string AnyBlockDevice() {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/dev", error)) {
        if (entry.is_block_file(error)) return entry.path();
    }
    return {};
}

std::string CannotOpen(const std::string& path, const std::string& cause) {
    return "Cannot open file \"" + FullPath(path) + "\". " + cause;
}

std::string CannotCreate(const std::string& path, const std::string& cause) {
    return "Cannot create file \"" + FullPath(path) + "\". " + cause;
}

// --- Reading -----------------------------------------------------------------

// The text of a file is its bytes up to the first byte 0, whatever the size
// and wherever the reads' chunks end.
TEST(ReadWholeFile, GivesTheBytesUpToTheFirstByteZero) {
    const std::string big(300000, 'x');
    const struct {
        std::string bytes;
        std::string text;
    } cases[] = {
        {"", ""},
        {"AC R\r\nAN x\n", "AC R\r\nAN x\n"},
        {"a\0b"s, "a"},
        {"\0abc"s, ""},
        {"\xff\x80\x01"s, "\xff\x80\x01"},
        {big, big},
        {big + '\0' + big, big},
        {big.substr(0, 65535) + '\0', big.substr(0, 65535)},
        {big.substr(0, 65536), big.substr(0, 65536)},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        const std::string path = dir.Write("f.txt", c.bytes);
        for (const FileKinds kinds : {FileKinds::Any, FileKinds::RegularOnly}) {
            EXPECT_EQ(ReadWholeFile(path, kinds), c.text) << Visible(c.bytes.substr(0, 40));
        }
    }
}

// Paths that are not regular files: the checker reads what the system can
// read; the window refuses all but regular files at once, saying what the
// path is, and never waits for a FIFO's writer.
TEST(ReadWholeFile, RefusesWhatIsNotARegularFileWhenAsked) {
    ScratchDir dir;
    const std::string folder = dir.path();
    const std::string fifo = folder + "/fifo";
    const std::string socket = folder + "/socket";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    MakeSocket(socket);
    fs::create_symlink(fifo, folder + "/link-to-fifo");
    const std::string block = AnyBlockDevice();

    const struct {
        std::string path;
        std::string regularOnly;  // the message, or "" when read
        std::string any;  // the message, "" when read, "-" when not tried
    } cases[] = {
        {folder + "/missing", "No such file or directory", "No such file or directory"},
        {folder, "Is a directory", "Is a directory"},
        {fifo, "It is a FIFO, not a regular file", "-"},  // Any would wait for a writer
        {folder + "/link-to-fifo", "It is a FIFO, not a regular file", "-"},
        {"/dev/null", "It is a character device, not a regular file", ""},
        {socket, "It is a socket, not a regular file", "No such device or address"},
        {block, "It is a block device, not a regular file", "-"},
    };
    AlarmGuard guard(20);
    for (const auto& c : cases) {
        if (c.path.empty()) continue;  // no block device to be seen
        for (const FileKinds kinds : {FileKinds::RegularOnly, FileKinds::Any}) {
            const std::string& cause = kinds == FileKinds::RegularOnly ? c.regularOnly : c.any;
            if (cause == "-") continue;
            try {
                ReadWholeFile(c.path, kinds);
                EXPECT_EQ(cause, "") << c.path;
            } catch (const FileOpenError& error) {
                EXPECT_EQ(error.message(), CannotOpen(c.path, cause));
            }
        }
    }
}

// Endless or huge inputs whose text ends early are read only up to the
// first byte 0: quickly (the alarm) and without taking their size in
// memory.
TEST(ReadWholeFile, StopsEndlessAndSparseInputsAtTheirFirstByteZero) {
    ScratchDir dir;
    const std::string sparse = (std::filesystem::path(dir.path()) / "sparse.txt").string();
    const std::string head(100000, 'a');  // more than the first read takes
    {
        std::ofstream out(sparse, std::ios::binary);
        out << head;
    }
    ASSERT_EQ(::truncate(sparse.c_str(), off_t(4) << 30), 0);

    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    AlarmGuard guard(30);
    EXPECT_EQ(ReadWholeFile("/dev/zero", FileKinds::Any), "");
    const std::string random = ReadWholeFile("/dev/urandom", FileKinds::Any);
    EXPECT_LT(random.size(), std::size_t(1) << 20);
    EXPECT_EQ(random.find('\0'), std::string::npos);
    EXPECT_EQ(ReadWholeFile(sparse, FileKinds::RegularOnly), head);
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 256 * 1024) << "kilobytes";
}

// A file rewritten during the read: read once more, and when it changes
// again, refused with a failure of its own kind instead of a mix of old
// and new bytes (or none).
struct ChangingFile {
    std::string path;
    std::vector<int> changeAtPasses;
    std::vector<std::string> contents;  // one more for each change
    std::size_t changes = 0;
};
ChangingFile* changing = nullptr;

void ChangeFile(int pass) {
    ChangingFile& file = *changing;
    if (std::find(file.changeAtPasses.begin(), file.changeAtPasses.end(), pass) == file.changeAtPasses.end()) return;
    std::ofstream out(file.path, std::ios::binary | std::ios::trunc);
    out << file.contents.at(++file.changes);
}

TEST(ReadWholeFile, ReadsAChangedFileAgainAndReportsOneThatKeepsChanging) {
    ScratchDir dir;
    // Each content has its own size, so that a change shows even within
    // one tick of the file system's clock.
    const std::vector<std::string> contents{"AC R\n", "AC Q\nAN rewritten\n", "AC\n"};
    const struct {
        std::vector<int> changeAtPasses;
        std::string text;  // "!" for the failure
    } cases[] = {
        {{}, contents[0]},
        {{1}, contents[1]},
        {{1, 2}, "!"},
    };
    for (const auto& c : cases) {
        ChangingFile file{dir.Write("f.txt", contents[0]), c.changeAtPasses, contents};
        changing = &file;
        SetReadPassHook(ChangeFile);
        try {
            EXPECT_EQ(ReadWholeFile(file.path, FileKinds::RegularOnly), c.text);
        } catch (const FileChangedError& error) {
            EXPECT_EQ(c.text, "!");
            EXPECT_EQ(error.message(), "The file \"" + FullPath(file.path) + "\" changed while it was read.");
        }
        SetReadPassHook(nullptr);
    }
}

// Calls interrupted by a signal are made again, not reported: a reader of
// a slow pipe sees its bytes, a writer to a full pipe writes them all.
TEST(ReadSomeAndWriteAll, CarryOnAfterASignal) {
    struct sigaction action {};
    action.sa_handler = [](int) {};  // no SA_RESTART: the call returns EINTR
    struct sigaction saved {};
    ::sigaction(SIGUSR1, &action, &saved);
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const pthread_t self = ::pthread_self();
    AlarmGuard guard(20);

    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ::pthread_kill(self, SIGUSR1);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(WriteAll(ends[1], "x", 1), 0);
    });
    char byte = 0;
    const ReadResult got = ReadSome(ends[0], &byte, 1);
    writer.join();
    EXPECT_EQ(got.error, 0);
    EXPECT_EQ(got.bytes, 1u);
    EXPECT_EQ(byte, 'x');

    // More than the pipe holds: the write blocks until the reader drains.
    const std::string bytes(1 << 20, 'y');
    std::string drained;
    std::thread reader([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ::pthread_kill(self, SIGUSR1);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        char chunk[65536];
        while (drained.size() < bytes.size()) {
            const ReadResult part = ReadSome(ends[0], chunk, sizeof chunk);
            if (part.bytes == 0) break;
            drained.append(chunk, part.bytes);
        }
    });
    EXPECT_EQ(WriteAll(ends[1], bytes.data(), bytes.size()), 0);
    reader.join();
    EXPECT_EQ(drained, bytes);
    ::close(ends[0]);
    ::close(ends[1]);
    ::sigaction(SIGUSR1, &saved, nullptr);
}

// --- Saving ------------------------------------------------------------------

struct Umask {
    explicit Umask(mode_t mask) : saved(::umask(mask)) {}
    ~Umask() { ::umask(saved); }
    mode_t saved;
};

// A save writes the pieces as the whole file: a new one with 0666 less the
// umask, an existing one keeping its permissions, through a symbolic link
// which stays a link; and nothing else is left in the folder.
TEST(SaveFileAtomically, WritesThePiecesAsTheWholeFile) {
    const Umask mask(022);
    const struct {
        const char* name;
        std::string old;  // "" for no file before
        unsigned oldMode;
        const char* link;  // the name saved to when it is a link to the file, else nullptr
        std::vector<std::string_view> pieces;
        unsigned mode;
    } cases[] = {
        {"new file", "", 0, nullptr, {"a", "", "bc\r\n"}, 0644},
        {"no pieces", "", 0, nullptr, {}, 0644},
        {"longer file replaced", std::string(5000, 'o'), 0640, nullptr, {"short"}, 0640},
        {"read-only for others", "old", 0600, nullptr, {"new"}, 0600},
        {"executable kept", "old", 0755, nullptr, {"new"}, 0755},
        {"through an absolute link", "old", 0640, "abs-link", {"new"}, 0640},
        {"through a relative link", "old", 0640, "rel-link", {"new"}, 0640},
        {"through a dangling link", "", 0, "rel-link", {"new"}, 0644},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        fs::create_directory(std::filesystem::path(dir.path()) / "sub");
        const std::string file = (std::filesystem::path(dir.path()) / "sub" / "out.rtf").string();
        if (!c.old.empty()) {
            dir.Write("sub/out.rtf", c.old);
            fs::permissions(file, fs::perms(c.oldMode));
        }
        std::string target = file;
        std::vector<std::string> expectedEntries{"sub"};
        if (c.link) {
            target = (std::filesystem::path(dir.path()) / c.link).string();
            fs::create_symlink(std::string(c.link) == "abs-link" ? fs::path(file) : fs::path("sub/out.rtf"), target);
            expectedEntries.insert(expectedEntries.begin(), c.link);
        }
        SaveFileAtomically(target, c.pieces, "Failed to Save Stream");

        std::string expected;
        for (std::string_view piece : c.pieces) expected += piece;
        EXPECT_EQ(ReadBack(file), expected);
        EXPECT_EQ(ModeOf(file), c.mode);
        if (c.link) {
            EXPECT_TRUE(fs::is_symlink(target));
        }
        EXPECT_EQ(Entries(dir.path()), expectedEntries);
        EXPECT_EQ(Entries(std::filesystem::path(dir.path()) / "sub"), std::vector<std::string>{"out.rtf"});
    }
}

// What a save refuses, before it writes anything: a path that cannot be
// created, a target that is not a regular file (a FIFO must not block), and
// the airspace file that is open, by any name that leads to it. Nothing
// changes in the folder.
TEST(SaveFileAtomically, RefusesTargetsItMustNotWriteAndWritesNothing) {
    ScratchDir dir;
    const std::string folder = dir.path();
    const std::string open = dir.Write("open.txt", "AC R\n");
    ASSERT_EQ(::mkfifo((folder + "/fifo").c_str(), 0600), 0);
    MakeSocket(folder + "/socket");
    fs::create_directory(folder + "/dir");
    fs::create_hard_link(open, folder + "/hard");
    fs::create_symlink(open, folder + "/soft");
    fs::create_symlink("soft", folder + "/soft2");
    fs::create_symlink("/dev/null", folder + "/null");
    fs::create_symlink("loop", folder + "/loop");
    const std::vector<std::string> before = Entries(folder);

    const struct {
        std::string target;
        std::string protectedFile;
        std::string cause;
    } cases[] = {
        {folder + "/missing/out.rtf", open, "No such file or directory"},
        {"", open, "No such file or directory"},
        {folder + "/loop", open, "Too many levels of symbolic links"},
        {folder + "/fifo", open, "It is a FIFO, not a regular file"},
        {folder + "/null", open, "It is a character device, not a regular file"},
        {folder + "/socket", open, "It is a socket, not a regular file"},
        {folder + "/dir", open, "Is a directory"},
        {open, open, "It is the airspace file that is open"},
        {folder + "/hard", open, "It is the airspace file that is open"},
        {folder + "/soft", open, "It is the airspace file that is open"},
        {folder + "/soft2", open, "It is the airspace file that is open"},
        {open, folder + "/soft", "It is the airspace file that is open"},
        {folder + "/./open.txt", "open.txt", "It is the airspace file that is open"},
    };
    const std::string saved = fs::current_path().string();
    fs::current_path(folder);  // for the relative name of the open file
    AlarmGuard guard(20);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        const std::string_view piece = "new content";
        try {
            SaveFileAtomically(c.target, {&piece, 1}, "Failed to Save Stream", c.protectedFile);
            ADD_FAILURE() << "saved";
        } catch (const FileCreateError& error) {
            EXPECT_EQ(error.message(), CannotCreate(c.target, c.cause));
        }
        EXPECT_EQ(ReadBack(open), "AC R\n");
        EXPECT_EQ(Entries(folder), before);
    }
    fs::current_path(saved);
    EXPECT_TRUE(fs::is_fifo(folder + "/fifo"));

    // A protected file that is only a namesake in another folder is no
    // reason to refuse.
    dir.Write("dir/open.txt", "namesake");
    const std::string_view piece = "saved";
    SaveFileAtomically(folder + "/dir/open.txt", {&piece, 1}, "Stream write error", open);
    EXPECT_EQ(ReadBack(folder + "/dir/open.txt"), "saved");
}

// A target the user may not write stays refused as before the save wrote
// through a new file (which the folder's permissions would allow).
TEST(SaveFileAtomically, RefusesAFileTheUserMayNotWrite) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may write any file";
    ScratchDir dir;
    const std::string file = dir.Write("locked.rtf", "old");
    fs::permissions(file, fs::perms::owner_read);
    const std::string_view piece = "new";
    try {
        SaveFileAtomically(file, {&piece, 1}, "Failed to Save Stream");
        ADD_FAILURE() << "saved";
    } catch (const FileCreateError& error) {
        EXPECT_EQ(error.message(), CannotCreate(file, "Permission denied"));
    }
    EXPECT_EQ(ReadBack(file), "old");
}

// A disk that fills up during the save (a file size limit gives the same
// failed write): the caller's message, the old file byte for byte as it
// was, and no temporary file left.
using test::FileSizeLimit;

TEST(SaveFileAtomically, AFailedWriteLeavesTheOldFileUntouched) {
    const std::string old = "{\\rtf1 good results}" + std::string(10000, 'o');
    const std::string big(200000, 'n');
    const struct {
        const char* name;
        std::string old;  // "" for no file before
        const char* message;
    } cases[] = {
        {"results over a good file", old, "Failed to Save Stream"},
        {"errors over a good file", old, "Stream write error"},
        {"a new file", "", "Failed to Save Stream"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        const std::string file = (std::filesystem::path(dir.path()) / "results.rtf").string();
        if (!c.old.empty()) dir.Write("results.rtf", c.old);
        const std::vector<std::string> before = Entries(dir.path());
        const std::vector<std::string_view> pieces{"{\\rtf1 ", big, "}"};
        try {
            const FileSizeLimit limit(65536);
            SaveFileAtomically(file, pieces, c.message);
            ADD_FAILURE() << "saved";
        } catch (const FileWriteError& error) {
            EXPECT_EQ(error.message(), c.message);
        }
        EXPECT_EQ(Entries(dir.path()), before);
        if (!c.old.empty()) {
            EXPECT_EQ(ReadBack(file), c.old);
        }
    }
}

}  // namespace
}  // namespace corvala
