// The coordinate validator of the line checks: the forms of
// engine/values/coordinates.h raised as the validators raise, and the
// positions kept for the checks beyond single lines.
#include "engine/model/failures.h"
#include "engine/rules/line/record_checks.h"
#include "engine/values/coordinates.h"
#include "engine/values/position.h"

namespace corvala {

bool RecordChecks::FormOrRaise(CoordinateForm form, std::string_view text) {
    const Outcome outcome = ScanForm(text, form, CoordList);
    if (outcome.kind == FailureKind::Pattern) return false;
    if (!outcome.ok()) Raise(outcome);
    return true;
}

bool RecordChecks::TryDms(std::string_view text) { return FormOrRaise(CoordinateForm::Dms, text); }

bool RecordChecks::TryDm(std::string_view text) { return FormOrRaise(CoordinateForm::Dm, text); }

bool RecordChecks::TryDd(std::string_view text) { return FormOrRaise(CoordinateForm::Dd, text); }

void RecordChecks::CheckCoordinate(std::string_view text) {
    const Outcome outcome = ScanCoordinate(text, CoordList);
    if (!outcome.ok()) Raise(outcome);
}

Outcome RecordChecks::ScanPosition(std::string_view text) {
    Angles angles;
    Outcome outcome = ScanCoordinate(text, CoordList, &angles);
    GeoPoint point;
    if (outcome.ok() && PositionOf(angles, point)) linePositions_.push_back(point);
    return outcome;
}

}  // namespace corvala
