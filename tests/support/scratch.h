// A fresh folder under the system's temporary folder for one test, removed
// with everything in it at the end of the scope.
#pragma once

#include <string>
#include <string_view>

namespace corvala::test {

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const noexcept { return path_; }
    // Writes `bytes` unchanged to the file `name` in the folder; returns its path.
    std::string Write(const std::string& name, std::string_view bytes) const;

private:
    std::string path_;
};

// The whole content of a file ("" when it cannot be read).
std::string ReadFile(const std::string& path);

}  // namespace corvala::test
