#include "engine/model/failures.h"

namespace corvala {

void Raise(const Outcome& outcome) {
    switch (outcome.kind) {
    case FailureKind::Conversion:
        throw ConversionError(outcome.message);
    case FailureKind::Overflow:
        throw FloatOverflow();
    case FailureKind::Pattern:
        throw PatternMismatch(outcome.message);
    case FailureKind::Validation:
    case FailureKind::None:
        break;
    case FailureKind::NotImplemented:
        throw Failure(outcome.message);
    }
    throw ValidationError(outcome.message);
}

}  // namespace corvala
