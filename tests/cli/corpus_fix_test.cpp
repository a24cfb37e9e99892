// --fix and --diff on copies of the real files of the corpus, with the block
// checks and each file judged by the record set it declares: --diff leaves
// the file as it was and its hunks, applied by patch, give what --fix
// saves (so every byte outside them is kept); after --fix no rule reports
// more than before (but for the duplicate blocks that closing or tidying
// two near-equal blocks reveals), and a second --fix changes nothing.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "run_checker.h"
#include "tests/support/process.h"
#include "tests/support/scratch.h"

namespace corvala::cli {
namespace {

using testing::RunChecker;

// The count of each rule's findings (--statistics).
std::map<std::string, long> Counts(const std::string& path) {
    const auto r = RunChecker({"--blocks", "--rules=auto", "--statistics", "--format=json", path});
    std::map<std::string, long> counts;
    std::size_t at = 0;
    while (at < r.err.size()) {
        const std::size_t end = r.err.find('\n', at);
        const std::string line = r.err.substr(at, end - at);
        at = end == std::string::npos ? r.err.size() : end + 1;
        const std::size_t last = line.find_last_of(' ');
        if (last == std::string::npos) continue;
        try {
            counts[line.substr(last + 1)] += std::stol(line);
        } catch (const std::exception&) {
        }
    }
    return counts;
}

TEST(CorpusFix, MendsCopiesOfTheRealFilesAndKeepsEverythingElse) {
    const std::filesystem::path corpus = CORVALA_CORPUS_DIR;
    ASSERT_TRUE(std::filesystem::is_directory(corpus)) << "no corpus at " << corpus;
    test::ScratchDir scratch;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        if (entry.path().extension() != ".txt") continue;
        ++files;
        SCOPED_TRACE(entry.path().filename().string());
        const std::string original = testing::ReadAll(entry.path().string());
        const std::string path = scratch.Write("copy.txt", original);
        const std::map<std::string, long> before = Counts(path);

        const auto diff = RunChecker({"--blocks", "--rules=auto", "--diff", path});
        ASSERT_LE(diff.status, 1) << diff.err;
        EXPECT_EQ(testing::ReadAll(path), original) << "--diff changed the file";
        const std::string patch = scratch.Write("copy.diff", diff.out);

        const auto fixed = RunChecker({"--blocks", "--rules=auto", "--fix", path});
        ASSERT_LE(fixed.status, 1) << fixed.err;
        const std::string mended = testing::ReadAll(path);
        EXPECT_EQ(diff.out.empty(), mended == original);

        const std::string patched = scratch.Write("patched.txt", original);
        if (!diff.out.empty()) {
            const auto applied = test::RunProgram("/usr/bin/env", {"patch", "--binary", "-s", patched, patch});
            ASSERT_EQ(applied.exitCode, 0) << applied.out << applied.err;
            EXPECT_TRUE(testing::ReadAll(patched) == mended) << "the diff does not give what --fix saved";
        }

        const std::map<std::string, long> after = Counts(path);
        for (const auto& [rule, count] : after) {
            const auto was = before.find(rule);
            if (rule != "duplicate-block")
                EXPECT_LE(count, was == before.end() ? 0 : was->second) << rule << " reports more after --fix";
        }
        RunChecker({"--blocks", "--rules=auto", "--fix", path});
        EXPECT_TRUE(testing::ReadAll(path) == mended) << "a second --fix changed the file";
    }
    EXPECT_EQ(files, 20);
}

}  // namespace
}  // namespace corvala::cli
