// Streaming lines must give exactly the lines of `Lines` for every input,
// however the reads cut it (a CR at the end of one read and its LF at the
// start of the next is one line end), in memory that grows only with the
// longest line; it stops at the first byte 0 without reading on, and says
// when a read failed or a regular file changed meanwhile.
#include <atomic>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "engine/input/io.h"
#include "engine/input/line_reader.h"
#include "engine/input/lines.h"
#include "test_support.h"

using namespace std::string_literals;
using corvala::test::ScratchDir;
using corvala::test::Visible;

namespace corvala {
namespace {

std::vector<std::string> LinesOf(const std::string& bytes) {
    const Lines lines{std::string(bytes)};
    return std::vector<std::string>(lines.begin(), lines.end());
}

std::vector<std::string> ReadAll(LineReader& reader) {
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.Next(line)) lines.emplace_back(line);
    return lines;
}

// The lines read from a pipe that holds all of `bytes` (under the pipe's
// capacity) and is closed: each read takes what the buffer has room for.
std::vector<std::string> ReadThroughPipe(const std::string& bytes, std::size_t bufferSize) {
    int ends[2];
    if (::pipe(ends) != 0) return {"pipe failed"};
    WriteAll(ends[1], bytes.data(), bytes.size());
    ::close(ends[1]);
    LineReader reader(ends[0], bufferSize);
    std::vector<std::string> lines = ReadAll(reader);
    EXPECT_EQ(reader.Error(), 0);
    EXPECT_FALSE(reader.Changed());
    ::close(ends[0]);
    return lines;
}

// A writer thread feeds the pipe in the given chunk sizes, so that reads
// end wherever the writes do.
class PipeFeeder {
public:
    PipeFeeder(std::string bytes, std::vector<std::size_t> chunks, bool closeAtEnd = true) {
        std::signal(SIGPIPE, SIG_IGN);
        int ends[2];
        EXPECT_EQ(::pipe(ends), 0);
        read_ = ends[0];
        write_ = ends[1];
        thread_ = std::thread([this, bytes = std::move(bytes), chunks = std::move(chunks), closeAtEnd] {
            std::size_t at = 0;
            for (std::size_t i = 0; at < bytes.size(); ++i) {
                const std::size_t size =
                    std::min(chunks.empty() ? bytes.size() : chunks[i % chunks.size()], bytes.size() - at);
                if (WriteAll(write_, bytes.data() + at, size) != 0) break;
                at += size;
            }
            if (closeAtEnd) CloseWriter();
        });
    }
    // The reader's end closes first: a writer still blocked then fails
    // with EPIPE (SIGPIPE is ignored) instead of waiting for ever.
    ~PipeFeeder() {
        ::close(read_);
        thread_.join();
        CloseWriter();
    }
    int fd() const { return read_; }
    void CloseWriter() {
        if (const int fd = write_.exchange(-1); fd >= 0) ::close(fd);
    }

private:
    int read_ = -1;
    std::atomic<int> write_{-1};
    std::thread thread_;
};

// The rules of `Lines`, with inputs whose line ends fall anywhere: each
// case is read with every buffer size from 1 to one more than its length,
// so that every cut position between two reads occurs.
const std::string kCases[] = {
    "",
    "a",
    "a\r\nb",
    "a\nb",
    "a\rb",
    "a\n\rb",  // LF CR: two line ends
    "a\r\r\nb",
    "a\r\n\r\nb",
    "a\r\n",  // a line end at the very end adds no line
    "a\n",
    "a\r",
    "a\n\n",
    "\r\n",
    "\n",
    "\r",
    "\n\r",
    "\r\r",
    "\n\n\n",
    "\r\n\r",
    "a\0\r\nc"s,  // the first byte 0 ends the text
    "a\r\0\nc"s,
    "a\n\0b"s,
    "\0abc"s,
    "ab\0"s,
    "ab\r\0"s,
    "AC R\r\nAN Zone\r\n* note\r\nDP 1:2:3 N 4:5:6 E",
    "\xEF\xBB\xBF"
    "AC R\r\n\xff\x80\x01\r\x7f\t \n",
    std::string(100, 'x') + "\r" + std::string(50, 'y') + "\r\n" + std::string(70, 'z'),
};

TEST(LineReader, GivesTheLinesOfLinesForEveryCutBetweenReads) {
    ScratchDir dir;
    for (const std::string& bytes : kCases) {
        const std::vector<std::string> expected = LinesOf(bytes);
        const std::string path = dir.Write("f.txt", bytes);
        for (std::size_t size = 1; size <= bytes.size() + 1; ++size) {
            EXPECT_EQ(ReadThroughPipe(bytes, size), expected) << Visible(bytes) << " buffer " << size;
            const FileHandle file = OpenForReading(path, FileKinds::RegularOnly);
            LineReader reader(file.get(), size);
            EXPECT_EQ(ReadAll(reader), expected) << Visible(bytes) << " file, buffer " << size;
            EXPECT_FALSE(reader.Changed());
        }
    }
}

// Every text of up to seven bytes made of a letter, CR, LF and byte 0,
// with small buffers: all combinations of line ends, cut everywhere.
TEST(LineReader, GivesTheLinesOfLinesForAllShortTexts) {
    const char alphabet[] = {'a', '\r', '\n', '\0'};
    std::string bytes;
    std::size_t count = 0;
    for (std::size_t length = 0; length <= 7; ++length) {
        std::vector<int> digits(length, 0);
        for (;;) {
            bytes.clear();
            for (int d : digits) bytes += alphabet[d];
            const std::vector<std::string> expected = LinesOf(bytes);
            for (std::size_t size : {1, 2, 3, 4}) {
                ASSERT_EQ(ReadThroughPipe(bytes, size), expected) << Visible(bytes) << " buffer " << size;
            }
            ++count;
            std::size_t i = 0;
            while (i < length && ++digits[i] == 4) digits[i++] = 0;
            if (i == length) break;
        }
    }
    EXPECT_EQ(count, 21845u);
}

// Random texts fed through a pipe in random pieces against `Lines`.
TEST(LineReader, MatchesLinesOnRandomTextsInRandomPieces) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(random() % 20000, '\0');
        for (char& c : bytes) {
            const unsigned pick = random() % 1000;
            c = pick < 100 ? '\r' : pick < 250 ? '\n' : pick < 252 ? '\0' : static_cast<char>(' ' + pick % 95);
        }
        // Most rounds without a byte 0, so that the whole text counts.
        if (round % 4 != 0) std::replace(bytes.begin(), bytes.end(), '\0', 'z');
        std::vector<std::size_t> chunks(1 + random() % 8);
        for (std::size_t& chunk : chunks) chunk = 1 + random() % (round % 2 ? 7 : 5000);
        const std::size_t bufferSize = round % 3 == 0 ? LineReader::kDefaultBufferSize : 1 + random() % 64;

        PipeFeeder feeder(bytes, chunks);
        LineReader reader(feeder.fd(), bufferSize);
        ASSERT_EQ(ReadAll(reader), LinesOf(bytes)) << "round " << round;
        EXPECT_EQ(reader.Error(), 0);
    }
}

// Memory: the buffer keeps its size for any number of lines and grows only
// to hold the longest line.
TEST(LineReader, GrowsOnlyForTheLongestLine) {
    std::string many;
    for (int i = 0; i < 600000; ++i) many += "AC R\r\nAN Zone " + std::to_string(i) + "\n";
    PipeFeeder feeder(many, {65536, 100, 7});
    LineReader reader(feeder.fd(), 4096);
    std::size_t lines = 0;
    std::string_view line;
    while (reader.Next(line)) ++lines;
    EXPECT_EQ(lines, 1200000u);
    EXPECT_EQ(reader.BufferSize(), 4096u);

    const std::string longest(3000000, 'x');
    const std::string bytes = "short\n" + longest + "\r\n" + std::string(1000, 'y');
    PipeFeeder longFeeder(bytes, {65536});
    LineReader longReader(longFeeder.fd(), 4096);
    // Compared as a whole: a mismatch would print megabytes.
    EXPECT_TRUE(ReadAll(longReader) == (std::vector<std::string>{"short", longest, std::string(1000, 'y')}));
    EXPECT_LT(longReader.BufferSize(), 2 * longest.size());
}

// The first byte 0 ends the text: nothing after it is read, so neither a
// writer that never closes nor an endless device keeps the reader waiting.
TEST(LineReader, StopsAtTheFirstByteZeroWithoutReadingOn) {
    PipeFeeder feeder("a\r\nb\0more"s, {}, /*closeAtEnd=*/false);
    ::alarm(20);
    LineReader reader(feeder.fd());
    EXPECT_EQ(ReadAll(reader), (std::vector<std::string>{"a", "b"}));
    const FileHandle zero = OpenForReading("/dev/zero", FileKinds::Any);
    LineReader zeros(zero.get());
    EXPECT_EQ(ReadAll(zeros), std::vector<std::string>{});
    ::alarm(0);
}

TEST(LineReader, ReportsAFailedRead) {
    ScratchDir dir;
    const FileHandle folder(::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY));
    LineReader reader(folder.get());
    std::string_view line;
    EXPECT_FALSE(reader.Next(line));
    EXPECT_EQ(reader.Error(), EISDIR);
}

// A regular file whose size or time changes between the first read and the
// end is reported as changed; one left alone is not.
TEST(LineReader, TellsWhetherARegularFileChangedDuringTheRead) {
    ScratchDir dir;
    for (const bool change : {false, true}) {
        const std::string path = dir.Write("f.txt", "AC R\nAN x\nAC Q\n");
        const FileHandle file = OpenForReading(path, FileKinds::RegularOnly);
        LineReader reader(file.get(), 4);
        std::string_view line;
        ASSERT_TRUE(reader.Next(line));
        if (change) {
            const FileHandle writer(::open(path.c_str(), O_WRONLY | O_APPEND));
            WriteAll(writer.get(), "AN y\n", 5);
        }
        while (reader.Next(line)) {
        }
        EXPECT_EQ(reader.Changed(), change);
    }
}

// Where a byte 0 ended the text and how many bytes came after it: in a
// regular file all of them, however small the buffer; through a pipe those
// that came with the read that found it.
TEST(LineReader, TellsWhereAByteZeroEndedTheText) {
    const struct {
        const char* name;
        std::string bytes;
        std::int64_t offset;
        std::int64_t after;  // in a regular file
    } cases[] = {
        {"no byte 0", "AC R\nAN x\n", -1, 0},
        {"byte 0 in a line", "AC R\nAN\0x\nAC Q\n"s, 7, 7},
        {"byte 0 first", "\0AC R\n"s, 0, 5},
        {"byte 0 last", "AC R\n\0"s, 5, 0},
        {"two bytes 0", "AC\0R\0\n"s, 2, 3},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::size_t bufferSize : {std::size_t(1), std::size_t(3), std::size_t(4096)}) {
            const FileHandle file = OpenForReading(dir.Write("f.txt", c.bytes), FileKinds::RegularOnly);
            LineReader reader(file.get(), bufferSize);
            EXPECT_EQ(ReadAll(reader), LinesOf(c.bytes)) << bufferSize;
            EXPECT_EQ(reader.NulOffset(), c.offset) << bufferSize;
            EXPECT_EQ(reader.BytesAfterNul(), c.after) << bufferSize;
        }
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        WriteAll(ends[1], c.bytes.data(), c.bytes.size());
        ::close(ends[1]);
        LineReader reader(ends[0], 4096);
        ReadAll(reader);
        EXPECT_EQ(reader.NulOffset(), c.offset);
        EXPECT_EQ(reader.BytesAfterNul(), c.after);
        ::close(ends[0]);
    }
}

// A second reader of a regular file gives the same lines again, for every
// cut of the reads, from where the first reader started (standard input may
// have been read in part before) and without moving the first reader's
// place: the two may alternate. A pipe cannot be read again.
TEST(LineReader, ReadsARegularFileAgain) {
    ScratchDir dir;
    for (const std::string& bytes : kCases) {
        const std::string skipped = "skipped by an earlier reader\n";
        const std::vector<std::string> expected = LinesOf(bytes);
        const std::string path = dir.Write("f.txt", skipped + bytes);
        for (std::size_t size = 1; size <= bytes.size() + 1; ++size) {
            const FileHandle file = OpenForReading(path, FileKinds::RegularOnly);
            ASSERT_EQ(::lseek(file.get(), static_cast<off_t>(skipped.size()), SEEK_SET),
                      static_cast<off_t>(skipped.size()));
            LineReader first(file.get(), size);
            ASSERT_TRUE(first.CanReadAgain());
            LineReader again(first, LineReader::Again{}, size);
            std::vector<std::string> firstLines, againLines;
            std::string_view line;
            // The second reader trails the first by one line.
            while (first.Next(line)) {
                firstLines.emplace_back(line);
                if (firstLines.size() > 1 && again.Next(line)) againLines.emplace_back(line);
            }
            while (again.Next(line)) againLines.emplace_back(line);
            EXPECT_EQ(firstLines, expected) << Visible(bytes) << " buffer " << size;
            EXPECT_EQ(againLines, expected) << Visible(bytes) << " buffer " << size;
            EXPECT_EQ(again.Error(), 0);
            EXPECT_FALSE(again.Changed());
        }
    }
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    WriteAll(ends[1], "AC R\n", 5);
    ::close(ends[1]);
    LineReader piped(ends[0]);
    EXPECT_FALSE(piped.CanReadAgain());
    ::close(ends[0]);
    const FileHandle empty = OpenForReading(dir.Write("empty.txt", ""), FileKinds::RegularOnly);
    EXPECT_FALSE(LineReader(empty.get()).CanReadAgain());
}

// The second reader tells a file that changed since the first reader was
// made, and either tells it at any time.
TEST(LineReader, SecondReaderTellsThatTheFileChanged) {
    ScratchDir dir;
    const std::string path = dir.Write("f.txt", "AC R\nAN x\n");
    const FileHandle file = OpenForReading(path, FileKinds::RegularOnly);
    LineReader first(file.get());
    LineReader again(first, LineReader::Again{});
    EXPECT_FALSE(again.ChangedNow());
    {
        const FileHandle writer(::open(path.c_str(), O_WRONLY | O_APPEND));
        WriteAll(writer.get(), "AN y\n", 5);
    }
    EXPECT_EQ(ReadAll(again), (std::vector<std::string>{"AC R", "AN x", "AN y"}));
    EXPECT_TRUE(again.Changed());
    EXPECT_TRUE(first.ChangedNow());
}

}  // namespace
}  // namespace corvala
