#include "tests/support/process.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/scratch.h"

namespace corvala::test {

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args, const RunOptions& options) {
    ScratchDir capture;
    const std::string outPath = options.stdoutPath.empty() ? capture.path() + "/out" : options.stdoutPath;
    const std::string errPath = capture.path() + "/err";
    const pid_t child = ::fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        if (!options.workingDir.empty() && ::chdir(options.workingDir.c_str()) != 0) ::_exit(125);
        const int in = ::open(options.stdinPath.c_str(), O_RDONLY);
        const int out = options.stdoutPath.empty() ? ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600)
                                                   : ::open(outPath.c_str(), O_WRONLY);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0) ::_exit(125);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        if (options.memoryLimit) {
            const rlimit limit{*options.memoryLimit, *options.memoryLimit};
            if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(125);
        }
        if (options.noColor)
            ::setenv("NO_COLOR", options.noColor->c_str(), 1);
        else
            ::unsetenv("NO_COLOR");
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(126);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    ProgramRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (options.stdoutPath.empty()) run.out = ReadFile(outPath);
    run.err = ReadFile(errPath);
    return run;
}

}  // namespace corvala::test
