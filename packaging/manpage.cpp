#include "packaging/manpage.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <set>

namespace corvala::packaging {

namespace {

constexpr std::string_view kUsagePrefix = "Usage: ";
constexpr std::string_view kUsageMore = "  or: ";

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool IsBlank(std::string_view line) { return line.find_first_not_of(' ') == std::string_view::npos; }

std::size_t Indent(std::string_view line) {
    std::size_t n = line.find_first_not_of(' ');
    return n == std::string_view::npos ? line.size() : n;
}

void DropTrailingBlanks(std::vector<std::string>& lines) {
    while (!lines.empty() && IsBlank(lines.back())) lines.pop_back();
}

// A term and its description share a line when two or more blanks part them.
struct TermLine {
    std::string term;
    std::string description;  // empty when the description starts on the next line
    std::size_t descriptionColumn = 0;  // 0 when unknown yet
};

TermLine SplitTermLine(std::string_view line) {
    std::size_t indent = Indent(line);
    std::string_view content = line.substr(indent);
    TermLine result;
    std::size_t gap = content.find("  ");
    std::size_t text = gap == std::string_view::npos ? gap : content.find_first_not_of(' ', gap);
    if (text == std::string_view::npos) {
        result.term = std::string(content.substr(0, gap));
        return result;
    }
    result.term = std::string(content.substr(0, gap));
    result.description = std::string(content.substr(text));
    result.descriptionColumn = indent + text;
    return result;
}

// Backslashes and minus signs escaped; for text that is not at the start of
// a line.
std::string EscapeInLine(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else {
            out += c;
        }
    }
    return out;
}

std::string Bold(std::string_view text) { return "\\fB" + EscapeInLine(text) + "\\fR"; }
std::string Italic(std::string_view text) { return "\\fI" + EscapeInLine(text) + "\\fR"; }

// A quoted text is kept on one output line when it is short or when its
// blanks are part of what it quotes (" ok ", "err 2  errors found.").
constexpr std::size_t kShortQuote = 32;

bool KeepTogether(std::string_view quoted) {
    if (quoted.size() <= kShortQuote) return true;
    auto blank = [](char c) { return c == ' ' || c == '\n'; };
    if (blank(quoted.front()) || blank(quoted.back())) return true;
    for (std::size_t i = 1; i < quoted.size(); ++i)
        if (blank(quoted[i - 1]) && blank(quoted[i])) return true;
    return false;
}

std::string FormatOption(std::string_view option) {
    // The option name ends at "=", "[" or a blank; what follows is its argument.
    std::size_t end = option.find_first_of("=[ ");
    if (end == std::string_view::npos) return Bold(option);
    std::string result = Bold(option.substr(0, end));
    std::string_view rest = option.substr(end);
    bool optional = rest.front() == '[' && rest.back() == ']';
    if (optional) rest = rest.substr(1, rest.size() - 2);
    if (!rest.empty() && (rest.front() == '=' || rest.front() == ' ')) {
        if (optional) result += '[';
        result += rest.front();
        result += Italic(rest.substr(1));
        if (optional) result += ']';
    } else {
        result += EscapeInLine(optional ? "[" + std::string(rest) + "]" : std::string(rest));
    }
    return result;
}

std::string TrimLeft(std::string_view line) { return std::string(line.substr(Indent(line))); }

std::string Join(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
    return text;
}

// One item of a list section with the items nested under it.
struct ListItem {
    std::string term;
    std::vector<std::string> text;
    std::vector<ListItem> nested;
    std::vector<std::string> after;  // text that follows the nested items
};

std::string RenderItems(const std::vector<ListItem>& items, bool nested) {
    std::size_t width = 0;
    for (const ListItem& item : items) width = std::max(width, item.term.size());
    // A nested list is short words; its descriptions line up just after the
    // longest. The top level keeps the usual indent, long terms get a line
    // of their own.
    std::string tp = nested ? ".TP " + std::to_string(width + 2) + "\n" : ".TP\n";
    std::string out;
    for (const ListItem& item : items) {
        out += tp + FormatTerm(item.term) + "\n";
        if (!item.text.empty()) out += EscapeTroff(Join(item.text)) + "\n";
        if (!item.nested.empty()) out += ".RS\n" + RenderItems(item.nested, true) + ".RE\n";
        if (!item.after.empty()) {
            out += ".IP\n";
            out += EscapeTroff(Join(item.after)) + "\n";
        }
    }
    return out;
}

}  // namespace

std::string EscapeTroff(std::string_view text) {
    // Where the quoted texts to keep together start and end.
    std::vector<bool> together(text.size(), false);
    for (std::size_t open = text.find('"'); open != std::string_view::npos;) {
        std::size_t close = text.find('"', open + 1);
        if (close == std::string_view::npos) break;
        if (close > open + 1 && KeepTogether(text.substr(open + 1, close - open - 1)))
            std::fill(together.begin() + open, together.begin() + close, true);
        open = text.find('"', close + 1);
    }

    std::string out;
    out.reserve(text.size() + 16);
    bool lineStart = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (lineStart && (c == '.' || c == '\'')) out += "\\&";
        lineStart = false;
        if ((c == ' ' || c == '\n') && together[i]) {
            out += "\\ ";  // a blank that neither breaks nor stretches
        } else if (c == '\n') {
            out += c;
            lineStart = true;
        } else {
            out += EscapeInLine(std::string_view(&c, 1));
        }
    }
    return out;
}

std::string FormatTerm(std::string_view term) {
    std::string out;
    std::size_t start = 0;
    while (true) {
        std::size_t comma = term.find(", ", start);
        std::string_view part =
            term.substr(start, comma == std::string_view::npos ? term.size() - start : comma - start);
        out += part.starts_with('-') ? FormatOption(part) : Bold(part);
        if (comma == std::string_view::npos) break;
        out += ", ";
        start = comma + 2;
    }
    return out;
}

std::string FormatUsage(std::string_view usage) {
    std::size_t nameEnd = std::min(usage.find(' '), usage.size());
    std::string out = Bold(usage.substr(0, nameEnd));
    std::string_view rest = usage.substr(nameEnd);
    // Runs of two or more capitals are argument names; the rest is kept.
    std::size_t plain = 0;
    std::size_t i = 0;
    while (i < rest.size()) {
        std::size_t j = i;
        while (j < rest.size() && std::isupper(static_cast<unsigned char>(rest[j]))) ++j;
        if (j - i >= 2) {
            out += EscapeInLine(rest.substr(plain, i - plain)) + Italic(rest.substr(i, j - i));
            plain = j;
        }
        i = std::max(j, i + 1);
    }
    return out + EscapeInLine(rest.substr(plain));
}

HelpParts SplitHelp(std::string_view help) {
    std::vector<std::string> lines = SplitLines(help);
    if (lines.empty() || !std::string_view(lines[0]).starts_with(kUsagePrefix))
        throw ManPageError("the help text does not start with \"Usage: \"");
    HelpParts parts;
    std::size_t i = 0;
    parts.usage.push_back(lines[i++].substr(kUsagePrefix.size()));
    while (i < lines.size() && std::string_view(lines[i]).starts_with(kUsageMore))
        parts.usage.push_back(TrimLeft(std::string_view(lines[i++]).substr(kUsageMore.size())));

    // A heading is a line "Name:" at the left margin after a blank line; the
    // description may be written at the left margin, the sections not.
    std::vector<std::string>* current = &parts.description;
    for (; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (!line.empty() && line[0] != ' ') {
            bool heading = line.back() == ':' && line.size() >= 2 && (current->empty() || IsBlank(current->back()));
            if (!heading && current == &parts.description) {
                current->push_back(line);
                continue;
            }
            if (!heading)
                throw ManPageError("line " + std::to_string(i + 1) +
                                   " of the help text is neither indented nor a heading: " + line);
            DropTrailingBlanks(*current);
            parts.sections.push_back({line.substr(0, line.size() - 1), {}});
            current = &parts.sections.back().lines;
            continue;
        }
        if (current->empty() && IsBlank(line)) continue;
        current->push_back(line);
    }
    DropTrailingBlanks(*current);
    return parts;
}

std::string RenderList(const std::vector<std::string>& lines) {
    std::vector<ListItem> items;
    std::size_t termIndent = 0;
    std::size_t column = 0;  // where the open item's description lines start
    std::size_t nestedColumn = 0;  // the same for the open nested item
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (IsBlank(line)) continue;
        std::size_t indent = Indent(line);
        if (items.empty() || indent <= termIndent || (column != 0 && indent < column)) {
            TermLine t = SplitTermLine(line);
            items.push_back({t.term, {}, {}, {}});
            if (!t.description.empty()) items.back().text.push_back(t.description);
            termIndent = indent;
            column = t.descriptionColumn;
            nestedColumn = 0;
            continue;
        }
        ListItem& item = items.back();
        if (column == 0) column = indent;  // the description started on this line
        if (indent == column) {
            (item.nested.empty() ? item.text : item.after).push_back(TrimLeft(line));
            continue;
        }
        // Deeper than the description: a nested term, or its continuation.
        if (!item.after.empty()) throw ManPageError("a nested term follows the text after a nested list: " + line);
        if (nestedColumn != 0 && indent == nestedColumn) {
            item.nested.back().text.push_back(TrimLeft(line));
            continue;
        }
        if (nestedColumn != 0 && indent > nestedColumn)
            throw ManPageError("the help text is indented deeper than a nested list allows: " + line);
        TermLine t = SplitTermLine(line);
        if (t.description.empty()) throw ManPageError("a nested term has no description on its line: " + line);
        item.nested.push_back({t.term, {t.description}, {}, {}});
        nestedColumn = t.descriptionColumn;
    }
    return RenderItems(items, false);
}

std::string RenderText(const std::vector<std::string>& lines) {
    std::size_t base = std::string::npos;
    for (const std::string& line : lines)
        if (!IsBlank(line)) base = std::min(base, Indent(line));

    std::string out;
    bool started = false;
    std::size_t i = 0;
    while (i < lines.size()) {
        if (IsBlank(lines[i])) {
            ++i;
            continue;
        }
        if (started) out += ".PP\n";
        started = true;
        if (Indent(lines[i]) == base) {
            // A paragraph: the lines at the base indent up to a blank line or
            // a deeper block.
            std::vector<std::string> paragraph;
            for (; i < lines.size() && !IsBlank(lines[i]) && Indent(lines[i]) == base; ++i)
                paragraph.push_back(TrimLeft(lines[i]));
            out += EscapeTroff(Join(paragraph)) + "\n";
            continue;
        }
        // A block kept line for line, with its own indentation.
        std::size_t end = i;
        std::size_t blockIndent = std::string::npos;
        for (; end < lines.size() && !IsBlank(lines[end]) && Indent(lines[end]) > base; ++end)
            blockIndent = std::min(blockIndent, Indent(lines[end]));
        out += ".RS 4\n.nf\n";
        for (; i < end; ++i) {
            std::string_view line = std::string_view(lines[i]).substr(blockIndent);
            if (line.starts_with('.') || line.starts_with('\'')) out += "\\&";
            out += EscapeInLine(line) + "\n";
        }
        out += ".fi\n.RE\n";
    }
    return out;
}

std::string RenderManPage(std::string_view pageTemplate, std::string_view help, std::string_view version) {
    const HelpParts parts = SplitHelp(help);
    std::set<std::string> unused;
    for (const HelpSection& section : parts.sections) unused.insert(section.heading);

    auto findSection = [&](std::string_view heading) -> const HelpSection& {
        for (const HelpSection& section : parts.sections)
            if (section.heading == heading) {
                unused.erase(section.heading);
                return section;
            }
        throw ManPageError("the help text has no section \"" + std::string(heading) + ":\"");
    };

    std::string out;
    for (std::string line : SplitLines(pageTemplate)) {
        for (std::size_t at; (at = line.find("@PROJECT_VERSION@")) != std::string::npos;)
            line.replace(at, std::string_view("@PROJECT_VERSION@").size(), version);
        std::string_view view = line;
        if (!view.starts_with("@help ")) {
            out += line + "\n";
            continue;
        }
        if (!view.ends_with('@') || view.size() < 8)
            throw ManPageError("malformed placeholder in the template: " + line);
        std::string_view what = view.substr(6, view.size() - 7);
        if (what == "usage") {
            for (std::size_t i = 0; i < parts.usage.size(); ++i)
                out += (i ? ".br\n" : "") + FormatUsage(parts.usage[i]) + "\n";
        } else if (what == "description") {
            out += RenderText(parts.description);
        } else if (what.starts_with("list ")) {
            out += RenderList(findSection(what.substr(5)).lines);
        } else if (what.starts_with("text ")) {
            out += RenderText(findSection(what.substr(5)).lines);
        } else {
            throw ManPageError("unknown placeholder in the template: " + line);
        }
    }
    if (!unused.empty()) throw ManPageError("the template does not use the help section \"" + *unused.begin() + ":\"");
    return out;
}

}  // namespace corvala::packaging
