// The findings of a file are never lost without a word: the JSON document
// keeps them until the file's counts are known, and the map documents keep
// a file's own findings until its airspaces are written, in memory and then
// in a temporary file of TMPDIR; when they cannot be kept, that file fails
// by name and the exit status is 2. A file that changed while it was read
// keeps what was read in the JSON document as in the SARIF log.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "cli/checker.h"
#include "cli/options.h"
#include "cli/output.h"
#include "engine/model/failures.h"
#include "engine/present/json_writer.h"
#include "engine/present/spill.h"
#include "fault_support.h"

#ifdef CORVALA_CHECK_PATH

namespace corvala::faults {
namespace {

const std::string kChecker = CORVALA_CHECK_PATH;

// One failing line per finding.
std::string FailingLines(std::size_t count) {
    std::string text;
    text.reserve(5 * count);
    for (std::size_t i = 0; i < count; ++i) text += "XY 1\n";
    return text;
}

// TMPDIR for the scope.
class TemporaryFolderSetting {
public:
    explicit TemporaryFolderSetting(const std::string& folder) {
        if (const char* old = std::getenv("TMPDIR")) saved_ = old;
        ::setenv("TMPDIR", folder.c_str(), 1);
    }
    ~TemporaryFolderSetting() {
        if (saved_) {
            ::setenv("TMPDIR", saved_->c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
    }

private:
    std::optional<std::string> saved_;
};

struct CheckRun {
    int status = -1;
    std::string out;
    std::string err;
};

// The checker in this process, so that a file size limit of the test
// reaches its temporary file; its outputs go through pipes, which no file
// size limit reaches.
// A failure that leaves the run is reported as the program reports it.
CheckRun CheckInProcess(const std::vector<std::string>& files, std::optional<rlim_t> fileSizeLimit,
                        cli::Format format = cli::Format::Json) {
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) return {};
    CheckRun run;
    auto drain = [](int fd, std::string& into) {
        char buffer[65536];
        ssize_t got;
        while ((got = ::read(fd, buffer, sizeof buffer)) > 0) into.append(buffer, static_cast<std::size_t>(got));
        ::close(fd);
    };
    std::thread outReader(drain, outPipe[0], std::ref(run.out));
    std::thread errReader(drain, errPipe[0], std::ref(run.err));
    {
        cli::Options options;
        options.format = format;
        options.files = files;
        cli::Output out(outPipe[1]);
        cli::Output err(errPipe[1]);
        std::optional<test::FileSizeLimit> limit;
        if (fileSizeLimit) limit.emplace(*fileSizeLimit);
        try {
            run.status = cli::CheckFiles(options, false, false, out, err);
        } catch (const Failure& failure) {
            out.Flush();
            err.Write("corvala-check: " + failure.message() + "\n");
            run.status = 2;
        }
        out.Flush();
        err.Flush();
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    outReader.join();
    errReader.join();
    return run;
}

// The bytes of the first file's findings as the document holds them: what
// waited in memory or in the temporary file.
std::size_t KeptBytes(const std::string& document) {
    const std::string open = "\"errors\": [";
    const std::size_t begin = document.find(open) + open.size();
    return document.rfind("\n" + JsonWriter::Indent(3) + "]") - begin;
}

TEST(KeptFindings, AreWholeOrTheFileFailsByName) {
    ScratchDir dir;
    ScratchDir spillDir;
    // About 6 MB of findings: more than memory keeps before the
    // temporary file is tried.
    const std::string spilled = dir.Write("spilled.txt", FailingLines(60000));
    // About 70 MB of findings: more than memory keeps without it.
    const std::string huge = dir.Write("huge.txt", FailingLines(700000));
    const std::string small = dir.Write("small.txt", "XY 1\n");
    const std::string missingFolder = dir.path() + "/no-such-folder";

    std::size_t keptBytes;
    {
        const TemporaryFolderSetting tmp(spillDir.path());
        const CheckRun whole = CheckInProcess({spilled}, std::nullopt);
        ASSERT_EQ(whole.status, 1) << whole.err;
        keptBytes = KeptBytes(whole.out);
        ASSERT_GT(keptBytes, std::size_t(4) << 20);
    }

    const struct {
        const char* name;
        std::string tmpdir;
        std::optional<rlim_t> fileSizeLimit;  // a full disk after this many bytes
        std::string file;
        std::string failure;  // "" when every finding is kept
    } cases[] = {
        {"temporary file in TMPDIR", spillDir.path(), std::nullopt, spilled, ""},
        {"disk full at the first block", spillDir.path(), rlim_t(1) << 20, spilled,
         "Cannot keep the findings of \"" + spilled + "\": the temporary file in \"" + spillDir.path() +
             "\" cannot be written. File too large."},
        {"disk full in the last block", spillDir.path(), keptBytes - 1, spilled,
         "Cannot keep the findings of \"" + spilled + "\": the temporary file in \"" + spillDir.path() +
             "\" cannot be written. File too large."},
        {"no temporary file: kept in memory", missingFolder, std::nullopt, spilled, ""},
        {"no temporary file: more than memory keeps", missingFolder, std::nullopt, huge,
         "Cannot keep the findings of \"" + huge + "\": more than 64 MB of findings and no temporary file in \"" +
             missingFolder + "\" (No such file or directory)."},
    };
    for (const auto& c : cases) [&] {
        SCOPED_TRACE(c.name);
        const TemporaryFolderSetting tmp(c.tmpdir);
        // The next file is checked after a failure, with the same setting.
        const CheckRun run = CheckInProcess({c.file, small}, c.fileSizeLimit);
        const nlohmann::json document = nlohmann::json::parse(run.out);
        const nlohmann::json& files = document["files"];
        if (c.failure.empty()) {
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.err, "");
            ASSERT_EQ(files.size(), 2u);
            EXPECT_EQ(files[0]["error_count"], 60000);
            EXPECT_EQ(files[0]["errors"].size(), 60000u);
            EXPECT_EQ(files[0]["errors"][59999]["line"], 60000);
            EXPECT_TRUE(document["unreadable"].empty());
        } else {
            EXPECT_EQ(run.status, 2);
            EXPECT_EQ(run.err, "corvala-check: " + c.failure + "\n");
            ASSERT_EQ(files.size(), 1u);
            ASSERT_EQ(document["unreadable"].size(), 1u);
            EXPECT_EQ(document["unreadable"][0]["path"], c.file);
            EXPECT_EQ(document["unreadable"][0]["message"], c.failure);
        }
        EXPECT_EQ(files.back()["path"], small);
        EXPECT_EQ(files.back()["errors"].size(), 1u);
    }();
}

// The map documents keep a file's own findings (those outside its airspace
// blocks, written after them) as the JSON document keeps its findings. KML
// fails the file and goes on; GeoJSON, whose files share one list, fails
// the document.
TEST(KeptFindings, MapDocumentsKeepTheFilesOwnFindingsOrFailByName) {
    ScratchDir dir;
    ScratchDir spillDir;
    const std::string spilled = dir.Write("spilled.txt", FailingLines(80000));
    const TemporaryFolderSetting tmp(spillDir.path());
    const std::string full = "Cannot keep the findings of \"" + spilled + "\": the temporary file in \"" +
                             spillDir.path() + "\" cannot be written. File too large.";
    for (const cli::Format format : {cli::Format::GeoJson, cli::Format::Kml}) {
        const bool kml = format == cli::Format::Kml;
        SCOPED_TRACE(kml ? "kml" : "geojson");
        const CheckRun whole = CheckInProcess({spilled}, std::nullopt, format);
        ASSERT_EQ(whole.status, 1) << whole.err;
        std::size_t found = 0;
        for (std::size_t at = 0; (at = whole.out.find("XY not implemented", at)) != std::string::npos; ++at) ++found;
        EXPECT_EQ(found, 80000u);
        const std::string open = kml ? "notes&lt;br&gt;\n" : "\"files\": [";
        const std::size_t begin = whole.out.find(open) + open.size();
        const std::size_t kept = whole.out.rfind(kml ? "</description>" : "\n  ]") - begin;
        ASSERT_GT(kept, Spill::kMemoryLimit);

        const struct {
            const char* name;
            rlim_t fileSizeLimit;
            std::string failure;  // the file's; GeoJSON's document fails with "they were not kept" after it
        } cases[] = {
            {"disk full at the first block", rlim_t(1) << 20, full},
            {"disk full in the last block", kept - 1, full},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            const CheckRun run = CheckInProcess({spilled}, c.fileSizeLimit, format);
            EXPECT_EQ(run.status, 2);
            EXPECT_EQ(run.err.substr(0, run.err.find('\n') + 1), "corvala-check: " + c.failure + "\n");
            if (kml) {
                EXPECT_NE(run.out.find("<description>Cannot keep the findings of &amp;quot;"), std::string::npos);
                EXPECT_EQ(run.out.substr(run.out.size() - 19), "</Document>\n</kml>\n");
            } else {
                EXPECT_FALSE(nlohmann::json::accept(run.out));
            }
        }
    }
}

// The file's content stays the same while its modification time moves on,
// so that every run reads the same lines and finds the file changed.
class MovingTime {
public:
    explicit MovingTime(std::string path) : path_(std::move(path)) {
        thread_ = std::thread([this] {
            for (long second = 1000000000; !done_; ++second) {
                const timespec times[2] = {{0, UTIME_OMIT}, {second, 0}};
                ::utimensat(AT_FDCWD, path_.c_str(), times, 0);
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
        });
    }
    ~MovingTime() {
        done_ = true;
        thread_.join();
    }

private:
    std::string path_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

TEST(KeptFindings, FileChangedWhileReadKeepsWhatWasReadInJsonAndSarif) {
    ScratchDir dir;
    std::string text;
    for (int i = 0; i < 10000; ++i) text += "AC R\nAN Zone\nXY 1\n";
    const std::string path = dir.Write("moving.txt", text);
    const std::string changed = "The file \"" + path + "\" changed while it was checked.";
    for (const std::vector<std::string>& rules : {std::vector<std::string>{}, std::vector<std::string>{"--blocks"}}) {
        SCOPED_TRACE(rules.empty() ? "classic" : "blocks");
        const std::string findings = rules.empty() ? "errors" : "findings";
        auto args = [&](const char* format) {
            std::vector<std::string> list = rules;
            list.push_back(format);
            list.push_back(path);
            return list;
        };
        ProgramRun json, sarif;
        {
            const MovingTime moving(path);
            json = RunProgram(kChecker, args("--format=json"));
            sarif = RunProgram(kChecker, args("--format=sarif"));
        }
        EXPECT_EQ(json.exitCode, 2);
        EXPECT_EQ(json.err, "corvala-check: " + changed + "\n");
        const nlohmann::json document = nlohmann::json::parse(json.out);
        ASSERT_EQ(document["files"].size(), 1u);
        const nlohmann::json& file = document["files"][0];
        EXPECT_EQ(file["path"], path);
        EXPECT_EQ(file["incomplete"], true);
        EXPECT_EQ(file["message"], changed);
        EXPECT_GT(file["line_count"], 20000);
        const std::size_t counted = file["error_count"].get<std::size_t>() + file.value("warning_count", 0u) +
                                    file.value("note_count", 0u);
        EXPECT_EQ(counted, file[findings].size());
        EXPECT_GE(file[findings].size(), 9000u);
        EXPECT_EQ(document["unreadable"][0]["path"], path);

        const nlohmann::json log = nlohmann::json::parse(sarif.out);
        EXPECT_EQ(log["runs"][0]["invocations"][0]["executionSuccessful"], false);
        // The line checks report in the order of the lines, so both keep
        // the same findings; the checks beyond lines report what their
        // thread finished before the failure.
        if (rules.empty()) {
            EXPECT_EQ(log["runs"][0]["results"].size(), file[findings].size());
        } else {
            EXPECT_GT(log["runs"][0]["results"].size(), 0u);
        }
    }
}

}  // namespace
}  // namespace corvala::faults

#endif
