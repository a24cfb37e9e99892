// Helpers shared by the engine tests: a scoped decimal separator, a scratch
// directory, and readable names for byte strings in test output.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

#include "engine/values/text.h"
#include "tests/support/scratch.h"

namespace corvala::test {

// Puts `separator` in force for the scope and restores the previous one.
class ScopedSeparator {
public:
    explicit ScopedSeparator(char separator) : saved_(DecimalSeparator()) { SetDecimalSeparator(separator); }
    ~ScopedSeparator() { SetDecimalSeparator(saved_); }
    ScopedSeparator(const ScopedSeparator&) = delete;
    ScopedSeparator& operator=(const ScopedSeparator&) = delete;

private:
    char saved_;
};

// The bytes of `text` with control and non-ASCII bytes written as \xNN, for
// case names in failure output.
inline std::string Visible(std::string_view text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (c >= 32 && c < 127 && c != '\\') {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out;
}

}  // namespace corvala::test
