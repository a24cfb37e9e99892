#include "fault_support.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace corvala::faults {

ScratchDir::ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "corvala-faults-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::string ScratchDir::Write(const std::string& name, std::string_view bytes) const {
    const std::string file = path_ + "/" + name;
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!stream.flush()) throw std::runtime_error("cannot write " + file);
    return file;
}

std::string LogLine(std::int32_t lineNumber, std::string_view text, bool ok) {
    std::string line = ok ? " ok " : "err ";
    line += std::to_string(lineNumber);
    line += ' ';
    line += text;
    return line;
}

void RecordingSink::Clear() {
    ++clears;
    log.clear();
    errors.clear();
}

void RecordingSink::AddResultLine(std::int32_t lineNumber, std::string_view text, bool ok) {
    log.push_back(LogLine(lineNumber, text, ok));
}

void RecordingSink::AddError(std::string_view message) { errors.emplace_back(message); }

void CheckingSink::Clear() {
    lines = mismatches = errorItems = 0;
    firstErrors.clear();
    lastError.clear();
    closingLine.clear();
}

void CheckingSink::AddError(std::string_view message) {
    if (++errorItems <= 4) firstErrors.emplace_back(message);
    lastError = message;
}

void CheckingSink::AddResultLine(std::int32_t lineNumber, std::string_view text, bool ok) {
    ++lines;
    // The closing line comes after the last file line; the test checks it.
    std::string_view expectedText;
    bool expectedOk = true;
    expected_(static_cast<std::int32_t>(lines), expectedText, expectedOk);
    if (expectedText.data() == nullptr) {
        closingLine = LogLine(lineNumber, text, ok);
        return;
    }
    if (lineNumber != lines || text != expectedText || ok != expectedOk) {
        if (mismatches++ == 0) {
            firstMismatch = LogLine(lineNumber, text.substr(0, 80), ok) + " instead of " +
                            LogLine(static_cast<std::int32_t>(lines), expectedText.substr(0, 80), expectedOk);
        }
    }
}

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& stdinPath) {
    ScratchDir capture;
    const std::string outPath = capture.path() + "/out";
    const std::string errPath = capture.path() + "/err";
    const pid_t child = ::fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        const int in = ::open(stdinPath.c_str(), O_RDONLY);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0) ::_exit(125);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::unsetenv("NO_COLOR");
        ::execv(program.c_str(), argv.data());
        ::_exit(126);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    ProgramRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = ReadAll(outPath);
    run.err = ReadAll(errPath);
    return run;
}

std::string CannotOpen(const std::string& fullPath, const std::string& cause) {
    return "Cannot open file \"" + fullPath + "\". " + cause;
}

}  // namespace corvala::faults
