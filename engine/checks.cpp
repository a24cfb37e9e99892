#include "engine/checks.h"

namespace corvala {

std::string_view SeverityName(Severity severity) noexcept {
    switch (severity) {
    case Severity::Error:
        return "error";
    case Severity::Warning:
        return "warning";
    case Severity::Note:
        return "note";
    }
    return "error";
}

std::vector<std::unique_ptr<LineChecks>> MakeLineChecks(const CheckSettings& settings) {
    std::vector<std::unique_ptr<LineChecks>> checks;
    (void)settings;
    return checks;
}

bool StartsBlock(std::string_view command) noexcept {
    // Letters compare regardless of case: codes that differ at most in the
    // bit of value 32 are equal, as in the dispatch to the validators.
    if (command.size() != 2) return false;
    const char a = static_cast<char>(command[0] | 0x20);
    const char b = static_cast<char>(command[1] | 0x20);
    return (a == 'a' && b == 'c') || (a == 't' && (b == 'o' || b == 'c'));
}

}  // namespace corvala
