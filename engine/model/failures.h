// The engine's failure kinds. Every failure the engine raises carries one
// message text; handlers catch the general kind `Failure` and read message().
#pragma once

#include <stdexcept>
#include <string>

#include "engine/model/outcome.h"

namespace corvala {

class Failure : public std::runtime_error {
public:
    explicit Failure(const std::string& message) : std::runtime_error(message), message_(message) {}
    // The whole message; what() stops at a byte 0 that a quoted text may hold.
    const std::string& message() const noexcept { return message_; }

private:
    std::string message_;
};

// A fixed message of the coordinate and record validators.
class ValidationError : public Failure {
public:
    using Failure::Failure;
};

// A text that TextToInt or TextToReal cannot read.
class ConversionError : public Failure {
public:
    using Failure::Failure;
};

// The field pattern matcher met a text that departs from its pattern.
class PatternMismatch : public Failure {
public:
    using Failure::Failure;
};

// A file that cannot be opened or read.
class FileOpenError : public Failure {
public:
    using Failure::Failure;
};

// Failures of real arithmetic: overflow, division by zero, invalid operation.
class FloatingPointError : public Failure {
public:
    using Failure::Failure;
};

class FloatOverflow : public FloatingPointError {
public:
    FloatOverflow() : FloatingPointError("Floating point overflow") {}
};

class FloatDivideByZero : public FloatingPointError {
public:
    FloatDivideByZero() : FloatingPointError("Floating point division by zero") {}
};

class FloatInvalidOperation : public FloatingPointError {
public:
    FloatInvalidOperation() : FloatingPointError("Invalid floating point operation") {}
};

// Raises the failure an outcome stands for: a ValidationError, a
// ConversionError, a PatternMismatch or a FloatOverflow with the outcome's
// message (a NotImplemented outcome raises a plain Failure).
[[noreturn]] void Raise(const Outcome& outcome);

}  // namespace corvala
