// Reading a file into lines: CR, LF and CR LF end a line (one CR and then one
// LF skipped after each line), the first byte 0 ends the text, and a file
// that cannot be read is "Cannot open file \"<full path>\". <cause>".
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "engine/model/failures.h"
#include "engine/input/io.h"
#include "engine/input/lines.h"
#include "test_support.h"

using namespace std::string_view_literals;
using corvala::test::ScratchDir;
using corvala::test::Visible;

namespace corvala {
namespace {

std::vector<std::string> Texts(const Lines& lines) { return std::vector<std::string>(lines.begin(), lines.end()); }

struct SplitCase {
    std::string_view bytes;
    std::vector<std::string> lines;
};

const SplitCase kSplitCases[] = {
    {"a\r\nb"sv, {"a", "b"}},
    {"a\nb"sv, {"a", "b"}},
    {"a\rb"sv, {"a", "b"}},
    {"a\n\rb"sv, {"a", "", "b"}},
    {"a\r\r\nb"sv, {"a", "", "b"}},
    {"a\r\n\r\nb"sv, {"a", "", "b"}},
    {"a\n\nb"sv, {"a", "", "b"}},
    {"a\r\rb"sv, {"a", "", "b"}},
    {"a\r\n"sv, {"a"}},
    {"a\n"sv, {"a"}},
    {"a\r"sv, {"a"}},
    {"a\n\n"sv, {"a", ""}},
    {"\r\n"sv, {""}},
    {"\n"sv, {""}},
    {"\r"sv, {""}},
    {"\n\r"sv, {"", ""}},
    {"a"sv, {"a"}},
    {""sv, {}},
    {"a\0\r\nc"sv, {"a"}},
    {"a\n\0b"sv, {"a"}},
    {"\0abc"sv, {}},
    {"ab\0"sv, {"ab"}},
    {"AC R\r\nAN Zone\r\n* note\r\n"sv, {"AC R", "AN Zone", "* note"}},
    {"a\t \nb "sv, {"a\t ", "b "}},
    {"\xEF\xBB\xBF"
     "AC R"sv,
     {"\xEF\xBB\xBF"
      "AC R"}},
    {"\xff\x80\x01\n\x7f"sv, {"\xff\x80\x01", "\x7f"}},
};

TEST(Lines, SplitsBytesAtLineEnds) {
    for (const auto& c : kSplitCases) {
        const Lines lines{std::string(c.bytes)};
        EXPECT_EQ(Texts(lines), c.lines) << Visible(c.bytes);
        EXPECT_EQ(lines.size(), c.lines.size()) << Visible(c.bytes);
        EXPECT_EQ(lines.empty(), c.lines.empty()) << Visible(c.bytes);
    }
}

TEST(LoadLines, ReadsFilesUnchanged) {
    ScratchDir dir;
    int n = 0;
    for (const auto& c : kSplitCases) {
        const std::string path = dir.Write("case" + std::to_string(n++) + ".txt", c.bytes);
        Lines lines{std::string("old\nlines")};
        LoadLines(lines, path);
        EXPECT_EQ(Texts(lines), c.lines) << Visible(c.bytes);
        EXPECT_EQ(ReadWholeFile(path, FileKinds::Any), c.bytes.substr(0, c.bytes.find('\0'))) << Visible(c.bytes);
    }
}

TEST(Lines, MovingKeepsTheLines) {
    Lines lines{std::string("first\r\nsecond\nthird")};
    Lines moved = std::move(lines);
    EXPECT_EQ(Texts(moved), (std::vector<std::string>{"first", "second", "third"}));
    Lines assigned;
    assigned = std::move(moved);
    EXPECT_EQ(Texts(assigned), (std::vector<std::string>{"first", "second", "third"}));
    EXPECT_EQ(assigned[1], "second");
}

TEST(LoadLines, ReadsALargeFileWhole) {
    ScratchDir dir;
    std::string bytes;
    const std::string longLine(100000, 'x');
    for (int i = 0; i < 50; ++i) bytes += longLine + (i % 2 ? "\r\n" : "\n");
    const std::string path = dir.Write("large.txt", bytes);
    Lines lines;
    LoadLines(lines, path);
    ASSERT_EQ(lines.size(), 50u);
    for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], longLine) << i;
}

// --- Failures ----------------------------------------------------------------
// The message of a FileOpenError from loading `path`, "" when none came.
std::string LoadFailure(const std::string& path, Lines& lines) {
    try {
        LoadLines(lines, path);
    } catch (const FileOpenError& e) {
        return e.message();
    }
    return "";
}

// The system's cause as the message shows it: no trailing period, blank or
// control character.
void ExpectCause(const std::string& message, const std::string& prefix, const std::string& what) {
    ASSERT_EQ(message.substr(0, prefix.size()), prefix) << what;
    const std::string cause = message.substr(prefix.size());
    ASSERT_FALSE(cause.empty()) << what;
    const unsigned char last = static_cast<unsigned char>(cause.back());
    EXPECT_TRUE(last > 32 && last != '.') << what << ": " << Visible(cause);
}

TEST(LoadLines, MissingFileNamesTheFullPathAndTheCause) {
    ScratchDir dir;
    const std::string path = dir.path() + "/missing.txt";
    Lines lines{std::string("kept\nas it was")};
    EXPECT_EQ(LoadFailure(path, lines), "Cannot open file \"" + path + "\". " + std::strerror(ENOENT));
    EXPECT_EQ(Texts(lines), (std::vector<std::string>{"kept", "as it was"}));
    EXPECT_THROW(ReadWholeFile(path, FileKinds::Any), FileOpenError);
}

TEST(LoadLines, DirectoryFails) {
    ScratchDir dir;
    const std::string path = dir.path();
    Lines lines{std::string("kept")};
    const std::string message = LoadFailure(path, lines);
    ExpectCause(message, "Cannot open file \"" + path + "\". ", "directory");
    EXPECT_EQ(Texts(lines), (std::vector<std::string>{"kept"}));
}

TEST(LoadLines, EmptyPathFails) {
    Lines lines{std::string("kept")};
    const std::string message = LoadFailure("", lines);
    ExpectCause(message, "Cannot open file \"\". ", "empty path");
    EXPECT_EQ(Texts(lines), (std::vector<std::string>{"kept"}));
}

TEST(LoadLines, FileOpenErrorIsAFailure) {
    Lines lines;
    EXPECT_THROW(LoadLines(lines, "/nonexistent-corvala-dir/x.txt"), Failure);
}

// A relative path is shown made absolute against the current directory, and
// normalised.
TEST(LoadLines, RelativePathIsShownInFull) {
    ScratchDir dir;
    std::filesystem::create_directory(dir.path() + "/sub");
    const auto saved = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const auto cwd = std::filesystem::current_path();
    Lines lines;
    const std::string message = LoadFailure("sub/../missing.txt", lines);
    const std::string full = FullPath("./sub/../missing.txt");
    const std::string dotted = FullPath("sub/./x.txt");
    std::filesystem::current_path(saved);
    EXPECT_EQ(message, "Cannot open file \"" + (cwd / "missing.txt").string() + "\". " + std::strerror(ENOENT));
    EXPECT_EQ(full, (cwd / "missing.txt").string());
    EXPECT_EQ(dotted, (cwd / "sub" / "x.txt").string());
    EXPECT_EQ(FullPath(""), "");
    EXPECT_EQ(FullPath("/a/b/../c"), "/a/c");
}

}  // namespace
}  // namespace corvala
