// Runs the built corvala-check in the test data folder and collects its exit
// status, standard output and standard error.
#pragma once

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/scratch.h"

namespace corvala::cli::testing {

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string ReadAll(const std::string& path) { return test::ReadFile(path); }

inline std::string DataPath(const std::string& name) { return std::string(CORVALA_CLI_DATA_DIR) + "/" + name; }
// The golden file `name`. With CORVALA_UPDATE_GOLDEN=1 in the environment
// it is first rewritten with `actual`, so that a change of output on purpose
// updates every golden file in one run of the tests.
inline std::string Golden(const std::string& name, const std::string* actual = nullptr) {
    const std::string path = std::string(CORVALA_CLI_GOLDEN_DIR) + "/" + name;
    const char* update = std::getenv("CORVALA_UPDATE_GOLDEN");
    if (actual && update && std::string(update) == "1") {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file << *actual;
    }
    return ReadAll(path);
}

// `stdinPath` empty: standard input is /dev/null. `noColor`: the value of
// NO_COLOR, or unset when absent. `stdoutPath`: where standard output goes
// instead of being collected (such as /dev/full).
inline RunResult RunChecker(const std::vector<std::string>& args, const std::string& stdinPath = "",
                            const std::optional<std::string>& noColor = std::nullopt,
                            const std::string& stdoutPath = "") {
    test::RunOptions options;
    if (!stdinPath.empty()) options.stdinPath = stdinPath;
    options.stdoutPath = stdoutPath;
    options.workingDir = CORVALA_CLI_DATA_DIR;
    options.noColor = noColor;
    const test::ProgramRun run = test::RunProgram(CORVALA_CHECK_BINARY, args, options);
    return {run.exitCode, run.out, run.err};
}

}  // namespace corvala::cli::testing
