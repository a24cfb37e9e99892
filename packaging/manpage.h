// The manual page of corvala-check, made from its --help text.
//
// The page is a troff template written by hand (name, longer description,
// examples, see also) with placeholder lines that take the parts of the help
// text: the usage line, the description under it, and the sections under each
// "Heading:" line. The options, formats and exit status therefore exist in one
// place only, and a help text this code cannot read stops the build instead of
// giving a page that has drifted.
//
// Placeholder lines, each alone on its line in the template:
//   @help usage@         the "Usage: " line(s), for the SYNOPSIS
//   @help description@   the text between the usage and the first heading
//   @help list NAME@     the section "NAME:" as a list of terms ("-f, --format=
//                        FORMAT", "0") with their descriptions; deeper
//                        indented term lines become a nested list
//   @help text NAME@     the section "NAME:" as paragraphs; deeper indented
//                        lines are kept as they are, in an indented block
// and anywhere in a line, @PROJECT_VERSION@ for the version.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace corvala::packaging {

// The help text or the template is not in a form the page can be made from.
class ManPageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Text lines (joined by line feeds) as they go into troff text lines:
// backslashes and minus signs escaped, a "." or "'" that starts a line kept
// from being read as a request, and the blanks of a quoted text made
// unbreakable when the quote is short or its blanks matter (" ok ",
// "err 2  errors found."), so that no line break falls inside it.
std::string EscapeTroff(std::string_view text);

// A term of a list, in bold; in an option ("--format=FORMAT", "-o FILE",
// "--color[=WHEN]") only the option name is bold and its argument is italic.
// Terms separated by ", " are formatted one by one.
std::string FormatTerm(std::string_view term);

// A usage line without its "Usage: " prefix: the program name in bold, the
// upper-case argument names in italic, the rest as it is.
std::string FormatUsage(std::string_view usage);

// The help text taken apart: the usage lines (without "Usage: " and
// "  or: "), the description lines, then each section by its heading (without
// the colon) with its lines, blank lines included, trailing ones dropped.
struct HelpSection {
    std::string heading;
    std::vector<std::string> lines;
};
struct HelpParts {
    std::vector<std::string> usage;
    std::vector<std::string> description;
    std::vector<HelpSection> sections;
};
HelpParts SplitHelp(std::string_view help);

// Lines of a help section rendered as troff, see the placeholders above.
std::string RenderList(const std::vector<std::string>& lines);
std::string RenderText(const std::vector<std::string>& lines);

// The whole page. Every section of the help text must be used by the
// template, and every placeholder must name a section of the help text.
std::string RenderManPage(std::string_view pageTemplate, std::string_view help, std::string_view version);

}  // namespace corvala::packaging
