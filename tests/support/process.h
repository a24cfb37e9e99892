// Runs a program as a child process and collects its exit status, standard
// output and standard error.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvala::test {

struct ProgramRun {
    int exitCode = -1;  // 128 + the signal when a signal ended it
    std::string out;
    std::string err;
};

struct RunOptions {
    std::string stdinPath = "/dev/null";
    // Where standard output goes instead of being collected (such as /dev/full).
    std::string stdoutPath;
    // The folder the program starts in; "" keeps the test's.
    std::string workingDir;
    // The value of NO_COLOR; unset when absent.
    std::optional<std::string> noColor;
    // A limit on the program's address space (RLIMIT_AS), in bytes.
    std::optional<std::size_t> memoryLimit;
};

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args, const RunOptions& options = {});

}  // namespace corvala::test
