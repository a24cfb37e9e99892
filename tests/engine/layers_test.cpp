// The engine's layers: a file includes engine headers only from its own
// layer and the layers below it (docs/architecture.md, "Layers").
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace corvala {
namespace {

namespace fs = std::filesystem;

// Bottom to top.
constexpr std::string_view kLayers[] = {"model", "values", "input", "geo", "rules", "run", "present"};

// The rank of the layer a path inside engine/ starts with; -1 for none.
int RankOf(std::string_view path) {
    const std::string_view top = path.substr(0, path.find('/'));
    for (int i = 0; i < static_cast<int>(std::size(kLayers)); ++i)
        if (kLayers[i] == top && top.size() < path.size()) return i;
    return -1;
}

// The engine paths a file's text includes ("engine/" cut off).
std::vector<std::string> EngineIncludes(const std::string& text) {
    std::vector<std::string> paths;
    std::istringstream lines(text);
    const std::string prefix = "#include \"engine/";
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(prefix, 0) != 0) continue;
        const std::size_t end = line.find('"', prefix.size());
        if (end != std::string::npos) paths.push_back(line.substr(prefix.size(), end - prefix.size()));
    }
    return paths;
}

// The includes of `file` (a path inside engine/) that reach above its layer
// or into no layer.
std::vector<std::string> Violations(std::string_view file, const std::string& text) {
    std::vector<std::string> wrong;
    const int own = RankOf(file);
    for (const std::string& path : EngineIncludes(text)) {
        const int rank = RankOf(path);
        if (own < 0 || rank < 0 || rank > own) wrong.push_back(path);
    }
    return wrong;
}

TEST(Layers, TheRuleItselfCatchesUpwardAndStrayIncludes) {
    struct Case {
        std::string_view file;
        std::string text;
        std::size_t wrong;
    };
    const Case cases[] = {
        {"values/text.cpp", "#include \"engine/model/failures.h\"\n#include \"engine/values/text.h\"\n", 0},
        {"present/shapes.cpp", "#include \"engine/run/block_at_line.h\"\n#include \"engine/geo/geodesics.h\"\n", 0},
        {"model/rules.cpp", "#include \"engine/rules/checks_beyond_lines.h\"\n", 1},
        {"input/record_line.cpp", "#include \"engine/rules/extended/values.h\"\n#include <string>\n", 1},
        {"geo/crossing.cpp", "#include \"engine/blocks.h\"\n", 1},
        {"stray.cpp", "#include \"engine/model/findings.h\"\n", 1},
    };
    for (const Case& c : cases) EXPECT_EQ(Violations(c.file, c.text).size(), c.wrong) << c.file;
}

TEST(Layers, EveryEngineFileIncludesOnlyFromBelow) {
    const fs::path root = fs::path(CORVALA_SOURCE_DIR) / "engine";
    ASSERT_TRUE(fs::is_directory(root)) << root;
    std::size_t files = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp" && ext != ".def")) continue;
        ++files;
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        const std::string file = fs::relative(entry.path(), root).generic_string();
        for (const std::string& path : Violations(file, text.str())) ADD_FAILURE() << file << " includes " << path;
    }
    EXPECT_GT(files, 40u);
}

}  // namespace
}  // namespace corvala
