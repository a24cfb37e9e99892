// The classic line checks: the record validators found by command name,
// the coordinate validator and their scratch lists. The Engine object
// (engine/run/engine.h) is one; the extended line rules run the checks of
// the records they keep with their classic syntax through it.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/model/findings.h"
#include "engine/model/outcome.h"
#include "engine/model/rules.h"
#include "engine/values/coordinates.h"
#include "engine/values/pattern.h"
#include "engine/values/position.h"
#include "engine/values/text.h"

namespace corvala {

// The maintainer's contact address quoted in the W and Z messages.
std::string_view ContactEmail() noexcept;

// The ten class codes an AC record accepts, in their fixed order.
extern const std::string_view AirspaceClasses[10];

class RecordChecks {
public:
    using Validator = void (RecordChecks::*)(std::string_view argument);

    RecordChecks() = default;
    RecordChecks(const RecordChecks&) = delete;
    RecordChecks& operator=(const RecordChecks&) = delete;

    // The line check of one command without reporting anything: the
    // validator's outcome, or NotImplemented with the message
    // "CMD not implemented." when the command has none. Never raises
    // (except when memory runs out).
    Outcome ScanLine(std::string_view command, std::string_view argument);
    // The rule of a command's line check: the validator's command in upper
    // case (RuleId::AC for "ac"), or RuleId::NotImplemented.
    static RuleId LineRule(std::string_view command) noexcept;
    // The finding of one line's check, if any, appended to `out`, unless
    // `settings` disable its rule.
    void CheckLine(std::int32_t lineNumber, std::string_view command, std::string_view argument, std::int32_t blockLine,
                   const CheckSettings& settings, std::vector<Finding>& out);
    // The positions the line check of the last line read, in order.
    const std::vector<GeoPoint>& LinePositions() const noexcept { return linePositions_; }

    // --- The validator table --------------------------------------------
    // The validator named "parse" + command, letters compared regardless of
    // case (characters whose codes differ at most in the bit of value 32);
    // nullptr when there is none.
    static Validator FindValidator(std::string_view command) noexcept;

    // --- Coordinates ------------------------------------------------------
    // Raises ValidationError "Not a coordinate: ..." unless `text` is one
    // valid point in DMS, DM or DD form. Uses only CoordList.
    void CheckCoordinate(std::string_view text);
    // One form: false when the text does not have the form's shape, true
    // when it has and every value is valid; raises when a value is not.
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
    // Never raises.
    bool CheckRgb(std::string_view text);

    // Scratch lists: record fields and coordinate fields (views into the
    // argument text being checked, valid while it is), colour components.
    FieldList ParamList;
    FieldList CoordList;
    StringList RgbList;

protected:
    // The positions the line check of the current line read, in order.
    std::vector<GeoPoint> linePositions_;

private:
    friend struct ValidatorTable;

    // The single implementations behind the validators: the outcome of one
    // argument text as a value. The parseXX operations raise it.
    using Scanner = Outcome (RecordChecks::*)(std::string_view argument);
    Outcome ScanAC(std::string_view argument);
    Outcome ScanAN(std::string_view argument);
    Outcome ScanAH(std::string_view argument);
    Outcome ScanAL(std::string_view argument);
    Outcome ScanAT(std::string_view argument);
    Outcome ScanTO(std::string_view argument);
    Outcome ScanTC(std::string_view argument);
    Outcome ScanSP(std::string_view argument);
    Outcome ScanSB(std::string_view argument);
    Outcome ScanV(std::string_view argument);
    Outcome ScanDP(std::string_view argument);
    Outcome ScanDA(std::string_view argument);
    Outcome ScanDB(std::string_view argument);
    Outcome ScanDC(std::string_view argument);
    Outcome ScanDY(std::string_view argument);
    bool FormOrRaise(CoordinateForm form, std::string_view text);
    // ScanCoordinate into CoordList that also keeps the position of a valid
    // coordinate for the checks beyond single lines (linePositions_).
    Outcome ScanPosition(std::string_view text);
};

}  // namespace corvala
