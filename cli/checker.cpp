#include "cli/checker.h"

#include <cerrno>
#include <unistd.h>

#include "cli/reports.h"
#include "engine/engine.h"
#include "engine/failures.h"
#include "engine/lines.h"

namespace corvala::cli {

bool ReadStandardInput(std::string& bytes, std::string& cause) {
    bytes.clear();
    std::size_t size = 0;
    for (;;) {
        if (bytes.size() - size < 65536) bytes.resize(size + std::max<std::size_t>(size, 1 << 20));
        ssize_t got = ::read(0, bytes.data() + size, bytes.size() - size);
        if (got < 0) {
            if (errno == EINTR) continue;
            cause = SystemErrorText(errno);
            bytes.clear();
            return false;
        }
        if (got == 0) break;
        size += static_cast<std::size_t>(got);
    }
    bytes.resize(size);
    return true;
}

int CheckFiles(const Options& options, bool color, Output& out, Output& err) {
    std::unique_ptr<Report> report = MakeReport(options.format, out, TextStyle::Classic, color);
    RunHost host;  // nothing to show: no progress, no events
    Engine engine(*report, host);

    const bool multiple = options.files.size() > 1;
    bool anyErrors = false;
    bool trouble = false;
    auto fail = [&](const std::string& message) {
        trouble = true;
        report->FileFailed(message);
        // Keep the order of standard output and standard error on a terminal.
        out.Flush();
        err.Write("corvala-check: ");
        err.Write(message);
        err.Put('\n');
        err.Flush();
    };

    for (const std::string& file : options.files) {
        report->BeginFile(file, multiple);
        try {
            if (file == "-") {
                std::string bytes, cause;
                if (!ReadStandardInput(bytes, cause)) {
                    fail("Cannot read standard input. " + cause);
                    continue;
                }
                engine.ValidateBytes("-", std::move(bytes));
            } else {
                engine.ValidateFile(file);
            }
        } catch (const FileOpenError& e) {
            fail(e.message());
            continue;
        }
        if (report->FileEnd().errors > 0) anyErrors = true;
    }
    report->Finish();

    if (trouble) return kTrouble;
    return anyErrors ? kErrorsFound : kAllClean;
}

}  // namespace corvala::cli
