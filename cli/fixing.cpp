#include "cli/fixing.h"

#include <new>

#include <sys/stat.h>

#include "cli/checker.h"
#include "cli/unified_diff.h"
#include "engine/model/failures.h"
#include "engine/input/io.h"
#include "engine/input/lines.h"
#include "engine/run/mend.h"

namespace corvala::cli {

namespace {

// What tells that a regular file changed between reading and saving it.
struct Stamp {
    off_t size = 0;
    timespec modified{};
    bool operator==(const Stamp& other) const noexcept {
        return size == other.size && modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

Stamp StampOf(const struct stat& status) { return Stamp{status.st_size, status.st_mtim}; }

// Every byte of standard input or of the regular file at `path` (a FIFO, a
// device or a directory is refused: a fix is saved in place).
std::string ReadAllBytes(const std::string& path, Stamp& stamp) {
    FileHandle file;
    int fd = 0;
    if (path != "-") {
        file = OpenForReading(path, FileKinds::RegularOnly);
        fd = file.get();
        struct stat status {};
        if (::fstat(fd, &status) == 0) stamp = StampOf(status);
    }
    std::string bytes;
    char buffer[1 << 16];
    for (;;) {
        const ReadResult read = ReadSome(fd, buffer, sizeof buffer);
        if (read.error != 0) {
            if (path == "-") throw FileOpenError("Cannot read standard input. " + SystemErrorText(read.error));
            throw FileOpenError(CannotOpenMessage(path, SystemErrorText(read.error)));
        }
        if (read.bytes == 0) break;
        bytes.append(buffer, read.bytes);
    }
    return bytes;
}

std::string Count(std::int64_t count, const char* one, const char* many) {
    return std::to_string(count) + ' ' + (count == 1 ? one : many);
}

}  // namespace

FixResult FixFiles(const Options& options, Output& out, Output& err) {
    FixResult result;
    for (const std::string& file : options.files) {
        const std::string shown = file == "-" ? std::string("standard input") : file;
        try {
            Stamp before;
            std::string original = ReadAllBytes(file, before);
            Mended mended = Mend(file, original, options.checks, options.unsafeFixes);
            const RunEnd& left = mended.remaining;
            const std::string remain =
                Count(left.errors + left.warnings + left.notes, "finding remains", "findings remain");
            if (options.diff) {
                out.Write(UnifiedDiff(file, original, mended.bytes, mended.origin));
                if (mended.fixes > 0 && result.status == kAllClean) result.status = kErrorsFound;
                SayOnError(out, err, shown + ": " + Count(mended.fixes, "fix", "fixes") + " to apply, then " + remain);
                continue;
            }
            if (file == "-") {
                out.Write(mended.bytes);
                if (Fails(left, options.failOn) && result.status == kAllClean) result.status = kErrorsFound;
            } else if (mended.bytes != original) {
                struct stat status {};
                if (::stat(file.c_str(), &status) != 0 || !(StampOf(status) == before))
                    throw FileChangedError("The file \"" + FullPath(file) +
                                           "\" changed while it was fixed; it was left as it was.");
                const std::string_view pieces[] = {mended.bytes};
                SaveFileAtomically(file, pieces, "Cannot write file \"" + FullPath(file) + "\".");
            }
            if (file != "-") result.toReport.push_back(file);
            SayOnError(out, err, shown + ": " + Count(mended.fixes, "fix", "fixes") + " applied, " + remain);
        } catch (const std::bad_alloc&) {
            SayOnError(out, err, shown + ": out of memory; it was left as it was");
            result.status = kTrouble;
        } catch (const Failure& e) {
            SayOnError(out, err, e.message());
            result.status = kTrouble;
        }
        if (out.Failed()) {
            result.status = kTrouble;
            break;
        }
    }
    return result;
}

}  // namespace corvala::cli
