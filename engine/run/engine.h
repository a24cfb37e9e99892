// The engine object: the validation state the window owns (error counter,
// cancel flag), the classic line checks it is (engine/rules/line/
// record_checks.h: the record validators, the coordinate validator, the
// scratch lists) and the run itself. The window, the command-line checker
// and the tests each create their own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/input/io.h"
#include "engine/input/line_source.h"
#include "engine/input/lines.h"
#include "engine/model/findings.h"
#include "engine/model/rules.h"
#include "engine/rules/checks_beyond_lines.h"
#include "engine/rules/line/record_checks.h"
#include "engine/run/kept_blocks.h"
#include "engine/run/run.h"

namespace corvala {

class Engine : public RecordChecks {
public:
    // The run reports to `sink` and asks `host` for the rest; both must
    // outlive the engine.
    explicit Engine(FindingSink& sink, RunHost& host);
    // An engine for validators alone: results go nowhere.
    Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // --- The run ---------------------------------------------------------
    // The checks a run makes beyond the line checks; read at the start of
    // each run.
    CheckSettings Settings;
    // The settings the last run judged its file by: Settings with, under
    // byFile, the record set the file declares.
    CheckSettings FileSettings;
    // Which files ValidateFile reads: anything readable (the checker reads
    // pipes and FIFOs), or regular files only (the window, which must never
    // wait on a FIFO without a writer).
    FileKinds ReadableKinds = FileKinds::Any;
    // When set (the window), a run that reaches its end, completed or
    // cancelled, leaves here the analyses of the file's blocks before it
    // reports RunFinished (engine/run/kept_blocks.h); a superseded or failed
    // run leaves nothing. Under Settings.blocks they carry the findings the
    // run reported; otherwise the run analyses the blocks for them alone,
    // without findings. The budget set here holds for the run.
    KeptBlocks* KeepBlocks = nullptr;
    // The most lines a run takes: line numbers are 32-bit, and a file with
    // more lines is refused rather than numbered wrongly. Tests lower it.
    std::int64_t LineLimit = kMaxLines;
    // Validates the file at `path`. Raises FileOpenError when it cannot be
    // read (after its clean-up), and lets through a failure of the sink.
    void ValidateFile(const std::string& path);
    // The same run over bytes already read; `name` stands where the path
    // would (the title).
    void ValidateBytes(const std::string& name, std::string bytes);
    // The same run over lines from any source.
    void ValidateLines(std::string_view name, LineSource& source);
    // Dispatches one command and reports its finding, if any, to the sink;
    // true when its validator accepted the argument.
    bool ParseLine(std::int32_t lineNumber, std::string_view command, std::string_view argument);

    // Number of lines with an error verdict in the current run; the window
    // counts its closing "err" line too.
    std::int32_t ErrorCount = 0;
    // Set by Cancel; read after each non-empty line.
    bool Cancelled = false;
    // True while a run is on the stack.
    bool Running() const noexcept { return runDepth_ > 0; }

private:
    class RunState;

    FindingSink& sink_;
    RunHost& host_;
    int runDepth_ = 0;
    std::uint64_t runSerial_ = 0;
};

}  // namespace corvala
