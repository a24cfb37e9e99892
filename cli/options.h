// The command line of corvala-check: its options, their parsing and the help
// and version texts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/rules/checks_beyond_lines.h"
#include "engine/model/findings.h"

namespace corvala::cli {

enum class Format { Errors, Log, Gnu, Json, Sarif, GeoJson, Kml, Markdown };
enum class ColorMode { Auto, Always, Never };

struct Options {
    Format format = Format::Errors;
    ColorMode color = ColorMode::Auto;
    // The checks beyond the classic line checks, and the rules turned off.
    CheckSettings checks;
    // A finding of this severity or worse makes the exit status 1.
    Severity failOn = Severity::Error;
    std::vector<std::string> files;
    bool showHelp = false;
    bool showVersion = false;
    bool listRules = false;
    // Serve the language server protocol on standard input and output.
    bool lsp = false;
    // A count of the findings of each rule after the findings.
    bool statistics = false;
    // Apply the fixes and save each FILE (--fix); show them as a unified
    // diff and save nothing (--diff); the unsafe fixes too (--unsafe-fixes).
    bool fix = false;
    bool diff = false;
    bool unsafeFixes = false;
};

// The outcome of parsing: either options to act on, or a message for
// standard error (wrong options, exit status 2).
struct ParseResult {
    Options options;
    bool ok = true;
    std::string error;  // without the program name and without a line end
};

ParseResult ParseOptions(int argc, const char* const* argv);

// The whole --help text, ending with a line feed. Kept here in one piece: it
// is also the source of the manual page.
std::string_view HelpText() noexcept;

// "corvala-check " + the project version + line feed.
std::string VersionText();

// The --list-rules text: one line per rule, its id, default severity and
// summary in columns.
std::string RulesText();

// The hint printed after an option error.
inline constexpr std::string_view TryHelpText = "Try 'corvala-check --help' for more information.\n";

}  // namespace corvala::cli
