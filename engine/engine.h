// The engine object: the validation state the window owns (error counter,
// cancel flag, scratch lists), the record validators found by command name,
// the coordinate validator and the run itself. The window, the command-line
// checker and the tests each create their own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/geo.h"
#include "engine/lines.h"
#include "engine/outcome.h"
#include "engine/pattern.h"
#include "engine/run.h"
#include "engine/text.h"

namespace corvala {

// The maintainer's contact address quoted in the W and Z messages.
std::string_view ContactEmail() noexcept;

// The ten class codes an AC record accepts, in their fixed order.
extern const std::string_view AirspaceClasses[10];

class Engine {
public:
    using Validator = void (Engine::*)(std::string_view argument);

    // The run reports to `sink` and asks `host` for the rest; both must
    // outlive the engine.
    explicit Engine(ResultSink& sink, RunHost& host);
    // An engine for validators alone: results go nowhere.
    Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // --- The run ---------------------------------------------------------
    // Validates the file at `path`. Raises FileOpenError when it cannot be
    // read (after its clean-up), and lets through a failure of the sink.
    void ValidateFile(const std::string& path);
    // The same run over bytes already read (standard input); `name` stands
    // where the path would (the title).
    void ValidateBytes(const std::string& name, std::string bytes);
    // Dispatches one command; true when its validator accepted the argument.
    // Otherwise exactly one error item has been added.
    bool ParseLine(std::int32_t lineNumber, std::string_view command, std::string_view argument);
    // The line check of one command without reporting anything: the
    // validator's outcome, or NotImplemented with the message
    // "CMD not implemented." when the command has none. Never raises
    // (except when memory runs out).
    Outcome ScanLine(std::string_view command, std::string_view argument);

    // Number of error result lines of the current run.
    std::int32_t ErrorCount = 0;
    // Set by Cancel; read after each non-empty line.
    bool Cancelled = false;
    // True while a run is on the stack.
    bool Running() const noexcept { return runDepth_ > 0; }

    // --- The validator table --------------------------------------------
    // The validator named "parse" + command, letters compared regardless of
    // case (characters whose codes differ at most in the bit of value 32);
    // nullptr when there is none.
    static Validator FindValidator(std::string_view command) noexcept;

    // --- Coordinates ------------------------------------------------------
    // Raises ValidationError "Not a coordinate: ..." unless `text` is one
    // valid point in DMS, DM or DD form. Uses only CoordList.
    void CheckCoordinate(std::string_view text);
    bool TryDms(std::string_view text);
    bool TryDm(std::string_view text);
    bool TryDd(std::string_view text);

    // --- Record validators (raise on an invalid argument) -----------------
    void parseAC(std::string_view argument);
    void parseAN(std::string_view argument);
    void parseAH(std::string_view argument);
    void parseAL(std::string_view argument);
    void parseAT(std::string_view argument);
    void parseTO(std::string_view argument);
    void parseTC(std::string_view argument);
    void parseSP(std::string_view argument);
    void parseSB(std::string_view argument);
    void parseV(std::string_view argument);
    void parseDP(std::string_view argument);
    void parseDA(std::string_view argument);
    void parseDB(std::string_view argument);
    void parseDC(std::string_view argument);
    void parseDY(std::string_view argument);

    // True when `text` is a colour triple r,g,b with each part in 0..255.
    bool CheckRgb(std::string_view text);

    // Scratch lists: record fields and coordinate fields (views into the
    // argument text being checked, valid while it is), colour components.
    FieldList ParamList;
    FieldList CoordList;
    StringList RgbList;

private:
    friend struct ValidatorTable;

    template <typename Load>
    void Run(std::string_view titlePath, Load&& load);
    void ResultLine(std::int32_t lineNumber, std::string_view text, bool ok);

    // The non-throwing cores behind the validators. A check that fails
    // returns false and leaves its message, and the kind of failure it
    // stands for, in failure_; the run turns that into an error item without
    // raising anything, and the public operations raise it.
    enum class FormResult { NoShape, Valid, Invalid };
    enum class Form { Dms, Dm, Dd };
    using Checker = bool (Engine::*)(std::string_view argument);

    bool Fail(FailureKind kind, std::string message);
    bool FailValidation(const char* message);
    // Prefixes failure_ with "<record> data is in unkown format (" and
    // closes it with ")."; returns false.
    bool Wrap(const char* record);
    [[noreturn]] void RaiseFailure() const;
    bool IntegerField(std::string_view field, std::int32_t upper, const char* message);
    bool RealField(std::string_view field, float upper, const char* message);
    bool LetterField(std::string_view field);
    FormResult CheckForm(std::string_view text, Form form);
    bool RaiseForm(FormResult result);
    bool CheckPoint(std::string_view text);
    friend bool ReadPoint(std::string_view text, GeoPoint& point);

    bool CheckAC(std::string_view argument);
    bool CheckAN(std::string_view argument);
    bool CheckAH(std::string_view argument);
    bool CheckAL(std::string_view argument);
    bool CheckAT(std::string_view argument);
    bool CheckTO(std::string_view argument);
    bool CheckTC(std::string_view argument);
    bool CheckSP(std::string_view argument);
    bool CheckSB(std::string_view argument);
    bool CheckV(std::string_view argument);
    bool CheckDP(std::string_view argument);
    bool CheckDA(std::string_view argument);
    bool CheckDB(std::string_view argument);
    bool CheckDC(std::string_view argument);
    bool CheckDY(std::string_view argument);

    std::string failure_;
    FailureKind failureKind_ = FailureKind::Validation;

    ResultSink& sink_;
    RunHost& host_;
    int runDepth_ = 0;
    std::uint64_t runSerial_ = 0;
};

}  // namespace corvala
