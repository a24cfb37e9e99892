// Helpers shared by the engine tests: a scoped decimal separator, a scratch
// directory, and readable names for byte strings in test output.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

#include "engine/text.h"

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

// A fresh directory under the system's temporary directory, removed with
// everything in it at the end of the scope.
class ScratchDir {
public:
    ScratchDir() {
        std::random_device rd;
        for (;;) {
            path_ = std::filesystem::temp_directory_path() / ("corvala-engine-test-" + std::to_string(rd()));
            if (std::filesystem::create_directory(path_)) break;
        }
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Writes `bytes` unchanged to `name` inside the directory; returns the path.
    std::string Write(const std::string& name, std::string_view bytes) const {
        const auto file = path_ / name;
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return file.string();
    }

private:
    std::filesystem::path path_;
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
