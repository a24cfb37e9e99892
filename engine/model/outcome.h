// The result of a check that does not raise: nothing wrong, or the kind of
// failure and its message.
#pragma once

#include <cstdint>
#include <string>

namespace corvala {

enum class FailureKind : std::uint8_t {
    None,  // the text passed
    Validation,  // a fixed message of the validators
    Conversion,  // a number that does not convert
    Overflow,  // a value beyond the single-precision range
    Pattern,  // a text that departs from a field pattern
    NotImplemented,  // a command word without a validator
};

struct Outcome {
    FailureKind kind = FailureKind::None;
    std::string message;

    bool ok() const noexcept { return kind == FailureKind::None; }
};

}  // namespace corvala
