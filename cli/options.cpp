#include "cli/options.h"

#include <CLI/CLI.hpp>

#include <map>

namespace corvala::cli {

namespace {

// The manual page is made from this text by help2man, which reads its layout:
// "Heading:" lines with indented paragraphs under them (each heading after
// Options becomes a section of the page); an option or a term, two or more
// blanks, its description, and continuation lines starting exactly in the
// description's column (a line indented differently starts a new paragraph).
constexpr std::string_view kHelp =
    R"(Usage: corvala-check [OPTION]... FILE...
Check airspace files line by line with the rules of the Corvala window and
write the results to standard output. A FILE of "-" reads standard input.

Options:
  -f, --format=FORMAT  what to write for each file: errors (the default), log,
                       gnu or json, as described under "Output formats" below
      --color=WHEN     colour the " ok" and "err" markers of the log format
                       bold green and bold red: auto (default) only when
                       standard output is a terminal and NO_COLOR is unset
                       or empty, always, or never
  -h, --help           show this help and exit
  -V, --version        show the version and exit

Output formats:
  errors  the error list: one item per line, each failing line's message
          ("Line 3: XY not implemented.") and the closing item
          ("   *** 2 errors found")
  log     the results log: one line per file line, " ok " or "err ", the line
          number, one blank and the line as read, then the closing line
          (" ok 0 No errors found." or "err 2  errors found.")
  gnu     "FILE:LINE: error: MESSAGE" for each failing line and nothing for a
          clean file, for editors and CI annotations; MESSAGE is the check's
          own message without the "Line N: CMD returned error: " prefix, or
          "CMD not implemented."
  json    one JSON document for all FILEs (below)

Output:
  The errors and log formats write every item or line as the bytes of the
  file, unchanged, each followed by a single line feed; with one FILE nothing
  else is written, so the output matches the window's error list or log byte
  for byte (with LF where the window's saved list has CR LF). With several
  FILEs each file's block is preceded by a line "==> FILE <==" (standard input
  shows as "==> standard input <==") and the blocks are separated by an empty
  line. The gnu and json formats name standard input "-".

  Lines end at CR, LF or CR LF; a byte 0 ends the file. Numbers are read with
  "." as the decimal separator, whatever the locale.

  The json format writes one document for all FILEs, always as valid UTF-8
  JSON: "files" lists each FILE read, with its "path", "line_count",
  "error_count" and "errors", each error with its "line", "command" and
  "message"; "unreadable" lists each FILE that cannot be read, with its "path"
  and "message".
  Texts that are valid UTF-8 are kept as they are; every byte that is not part
  of a valid UTF-8 sequence is decoded as the ISO-8859-1 (Latin-1) character
  of the same value (U+0080 to U+00FF), so no byte is lost and each can be
  recovered from its character.

Exit status:
  0  every FILE is free of errors
  1  at least one FILE has errors
  2  a FILE cannot be read ("corvala-check: Cannot open file ..." on standard
     error; the other FILEs are still checked), or the options are wrong
)";

}  // namespace

std::string_view HelpText() noexcept { return kHelp; }

std::string VersionText() { return std::string("corvala-check ") + CORVALA_VERSION + "\n"; }

ParseResult ParseOptions(int argc, const char* const* argv) {
    ParseResult result;
    Options& options = result.options;

    CLI::App app{"corvala-check"};
    app.set_help_flag();  // the help text is our own, printed by the caller
    app.add_flag("-h,--help", options.showHelp);
    app.add_flag("-V,--version", options.showVersion);

    std::string format = "errors";
    std::string color = "auto";
    app.add_option("-f,--format", format)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_option("--color", color)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_option("files", options.files);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        result.ok = false;
        result.error = e.what();
        return result;
    }

    static const std::map<std::string, Format, std::less<>> formats{
        {"errors", Format::Errors}, {"log", Format::Log}, {"gnu", Format::Gnu}, {"json", Format::Json}};
    static const std::map<std::string, ColorMode, std::less<>> colors{
        {"auto", ColorMode::Auto}, {"always", ColorMode::Always}, {"never", ColorMode::Never}};
    if (auto it = formats.find(format); it != formats.end()) {
        options.format = it->second;
    } else {
        result.ok = false;
        result.error = "unknown format '" + format + "' (use errors, log, gnu or json)";
        return result;
    }
    if (auto it = colors.find(color); it != colors.end()) {
        options.color = it->second;
    } else {
        result.ok = false;
        result.error = "unknown colour mode '" + color + "' (use auto, always or never)";
        return result;
    }
    if (!options.showHelp && !options.showVersion && options.files.empty()) {
        result.ok = false;
        result.error = "no FILE given";
    }
    return result;
}

}  // namespace corvala::cli
