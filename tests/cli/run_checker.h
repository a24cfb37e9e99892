// Runs the built corvala-check as a child process, in the test data
// directory, and collects its exit status, standard output and standard
// error.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace corvala::cli::testing {

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string DataPath(const std::string& name) { return std::string(CORVALA_CLI_DATA_DIR) + "/" + name; }
inline std::string Golden(const std::string& name) { return ReadAll(std::string(CORVALA_CLI_GOLDEN_DIR) + "/" + name); }

// `stdinPath` empty: standard input is /dev/null. `noColor`: the value of
// NO_COLOR, or unset when absent. `stdoutPath`: where standard output goes
// instead of being collected (such as /dev/full).
inline RunResult RunChecker(const std::vector<std::string>& args, const std::string& stdinPath = "",
                            const std::optional<std::string>& noColor = std::nullopt,
                            const std::string& stdoutPath = "") {
    const std::string base = ::testing::TempDir() + "corvala-check-" + std::to_string(::getpid());
    const std::string outPath = stdoutPath.empty() ? base + ".out" : stdoutPath;
    const std::string errPath = base + ".err";
    RunResult result;
    pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(CORVALA_CLI_DATA_DIR) != 0) ::_exit(127);
        int in = ::open(stdinPath.empty() ? "/dev/null" : stdinPath.c_str(), O_RDONLY);
        int out = stdoutPath.empty() ? ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600)
                                     : ::open(outPath.c_str(), O_WRONLY);
        int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0) ::_exit(127);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        if (noColor)
            ::setenv("NO_COLOR", noColor->c_str(), 1);
        else
            ::unsetenv("NO_COLOR");
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(CORVALA_CHECK_BINARY));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(CORVALA_CHECK_BINARY, argv.data());
        ::_exit(127);
    }
    int wstatus = 0;
    ::waitpid(child, &wstatus, 0);
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    if (stdoutPath.empty()) {
        result.out = ReadAll(outPath);
        std::remove(outPath.c_str());
    }
    result.err = ReadAll(errPath);
    std::remove(errPath.c_str());
    return result;
}

}  // namespace corvala::cli::testing
