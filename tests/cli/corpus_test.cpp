// The real airspace files of the corpus keep their outputs: per file, the
// line count, the error count and a hash of the errors and log outputs of
// corvala-check. Real files catch the regressions that synthetic inputs
// miss; the corpus lives outside the repository (CORVALA_CORPUS_DIR), and
// the tests fail where it is absent.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "run_checker.h"

namespace corvala::cli {
namespace {

using testing::RunChecker;

// FNV-1a, 64 bits: enough to tell two outputs apart.
std::uint64_t Hash(std::string_view bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

struct CorpusFile {
    const char* name;
    int lines;
    int errors;
    std::uint64_t errorsHash;
    std::uint64_t logHash;
};

constexpr CorpusFile kFiles[] = {
    {"ca-2026.txt", 31462, 20620, 0xd2c029640474c2d7ull, 0x350faa3ab95dd2c3ull},
    {"cz-2018.txt", 1922, 22, 0x5fd1cfc03ef27b33ull, 0x533191698f3d06c5ull},
    {"de-2025-06-latin1.txt", 9611, 99, 0x8c6a5912cad55c3eull, 0x183bfa4fb55ca43bull},
    {"de-2026.txt", 18924, 93, 0x042f08bfe709d31full, 0x012d0f207879d9ecull},
    {"de-military-low-flying-2025.txt", 41, 31, 0x04b023d31232eaebull, 0x129506c9ace59d0aull},
    {"de-spreewald-comp-2022.txt", 19994, 262, 0x0ee075ca387aa767ull, 0xe1c0fdf036a3aeddull},
    {"fi-2018.txt", 5413, 104, 0x4d7194ac34e9dbd7ull, 0xc28b97468f6c26f5ull},
    {"fr-2022-06-bom.txt", 26324, 470, 0x214e4259116b7011ull, 0x1b58b710e92e8789ull},
    {"fr-2022-07-merge.txt", 51638, 760, 0x91b8cf63cf9ce83aull, 0x749c4136a9c9616cull},
    {"fr-2024-07.txt", 38496, 4272, 0x6f15a8db69429b2eull, 0xb9bf3575e8eb84eaull},
    {"fr-2026-exp.txt", 49267, 4793, 0x38970dfbc2fb10a5ull, 0x93d74db7c830fac6ull},
    {"it-2010-demo.txt", 349, 0, 0x2f55b8f6438438e4ull, 0xc0fff0b0b4c5b661ull},
    {"mw-national.txt", 191, 25, 0xfa4452be41f208cfull, 0x86745e306780db9full},
    {"nl-2022.txt", 7755, 1512, 0x640836aab42422d5ull, 0xa1c2ad1d0c69ed63ull},
    {"no-2026-ft.txt", 11431, 55, 0x2233596e9b97c8d1ull, 0x79ec822c91696c4aull},
    {"re-2020.txt", 213, 4, 0x72f9a0d88b59b656ull, 0xe1f363905f64825full},
    {"ua-2024.txt", 49589, 530, 0xfc9892b5d370dfc9ull, 0x4d70c2eaa6091ab7ull},
    {"uk-2019.txt", 9275, 176, 0x80a7cc35bab33294ull, 0xcbe43c324852fe78ull},
    {"us-ksgu-ultralight-2024.txt", 77, 0, 0x2f55b8f6438438e4ull, 0x67abded120eb70a9ull},
    {"za-national.txt", 25345, 87, 0x2548db43c621ebf4ull, 0x67d1fb9a46dea77eull},
};

TEST(Corpus, RealFilesKeepTheirOutputs) {
    const std::string corpus = CORVALA_CORPUS_DIR;
    ASSERT_TRUE(std::filesystem::is_directory(corpus))
        << "no corpus at " << corpus << " (configure with -DCORVALA_CORPUS_DIR=...)";
    for (const CorpusFile& file : kFiles) {
        SCOPED_TRACE(file.name);
        const std::string path = corpus + "/" + file.name;
        const auto errors = RunChecker({"--format=errors", path});
        const auto log = RunChecker({"--format=log", path});
        EXPECT_EQ(errors.status, file.errors > 0 ? 1 : 0);
        EXPECT_EQ(errors.out.substr(errors.out.rfind("   *** ")),
                  "   *** " + std::to_string(file.errors) + " errors found\n");
        EXPECT_EQ(static_cast<int>(std::count(log.out.begin(), log.out.end(), '\n')) - 1, file.lines);
        EXPECT_EQ(Hash(errors.out), file.errorsHash);
        EXPECT_EQ(Hash(log.out), file.logHash);
    }
}

// With the block checks, and with the block checks and the extended record
// set or each file's own record set, each file keeps its count of errors,
// warnings and notes.
struct Counts {
    int errors, warnings, notes;
    friend bool operator==(const Counts&, const Counts&) = default;
};

struct CorpusCounts {
    const char* name;
    Counts blocks;
    Counts extendedBlocks;
    Counts autoBlocks;
};

constexpr CorpusCounts kCounts[] = {
    {"ca-2026.txt", {20621, 0, 1499}, {386, 3121, 1513}, {386, 35, 14}},
    {"cz-2018.txt", {22, 0, 5}, {4, 137, 108}, {4, 137, 109}},
    {"de-2025-06-latin1.txt", {99, 2, 0}, {0, 973, 678}, {0, 2, 1}},
    {"de-2026.txt", {93, 2, 0}, {0, 1006, 668}, {0, 2, 1}},
    {"de-military-low-flying-2025.txt", {31, 0, 1}, {1, 32, 1}, {1, 32, 2}},
    {"de-spreewald-comp-2022.txt", {312, 38, 39}, {132, 1782, 1103}, {132, 68, 55}},
    {"fi-2018.txt", {105, 4, 2}, {4, 527, 207}, {4, 91, 3}},
    {"fr-2022-06-bom.txt", {517, 11, 537}, {49, 2325, 1329}, {49, 16, 530}},
    {"fr-2022-07-merge.txt", {819, 1228, 1030}, {63, 5780, 2686}, {63, 1237, 1021}},
    {"fr-2024-07.txt", {4277, 4, 1489}, {1628, 1162, 1487}, {1628, 1162, 1488}},
    {"fr-2026-exp.txt", {4793, 3, 32}, {6, 3, 28}, {6, 3, 29}},
    {"it-2010-demo.txt", {1, 3, 3}, {1, 38, 17}, {1, 3, 4}},
    {"mw-national.txt", {29, 0, 11}, {4, 53, 13}, {4, 53, 14}},
    {"nl-2022.txt", {1521, 2, 121}, {9, 1531, 180}, {9, 1211, 122}},
    {"no-2026-ft.txt", {63, 2, 28}, {0, 306, 531}, {0, 10, 29}},
    {"re-2020.txt", {4, 0, 3}, {4, 20, 11}, {4, 0, 4}},
    {"ua-2024.txt", {531, 0, 1014}, {207, 971, 1017}, {207, 323, 1015}},
    {"uk-2019.txt", {209, 14, 3}, {0, 1120, 696}, {0, 15, 15}},
    {"us-ksgu-ultralight-2024.txt", {0, 0, 2}, {0, 11, 4}, {0, 0, 3}},
    {"za-national.txt", {92, 0, 7}, {53, 236, 264}, {53, 0, 8}},
};

// The three numbers of the closing item "   *** 1 error, 2 warnings, 3 notes found".
Counts ClosingCounts(const std::string& errorsOutput) {
    int numbers[3] = {-1, -1, -1};
    std::size_t at = errorsOutput.rfind("   *** ");
    for (int& number : numbers) {
        at = errorsOutput.find_first_of("0123456789", at);
        if (at == std::string::npos) break;
        number = std::stoi(errorsOutput.substr(at));
        at = errorsOutput.find_first_not_of("0123456789", at);
    }
    return {numbers[0], numbers[1], numbers[2]};
}

TEST(Corpus, RealFilesKeepTheirCountsByRuleSet) {
    const std::string corpus = CORVALA_CORPUS_DIR;
    ASSERT_TRUE(std::filesystem::is_directory(corpus))
        << "no corpus at " << corpus << " (configure with -DCORVALA_CORPUS_DIR=...)";
    for (const CorpusCounts& file : kCounts) {
        SCOPED_TRACE(file.name);
        const std::string path = corpus + "/" + file.name;
        EXPECT_EQ(ClosingCounts(RunChecker({"--blocks", path}).out), file.blocks);
        EXPECT_EQ(ClosingCounts(RunChecker({"--rules=extended", "--blocks", path}).out), file.extendedBlocks);
        EXPECT_EQ(ClosingCounts(RunChecker({"--rules=auto", "--blocks", path}).out), file.autoBlocks);
    }
}

}  // namespace
}  // namespace corvala::cli
