#include "engine/present/report_texts.h"

#include "engine/model/rules.h"

#include <charconv>

namespace corvala {

namespace {

void AppendNumber(std::string& out, std::int64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

// "1 error", "2 errors", "0 notes".
void AppendCount(std::string& out, std::int64_t count, std::string_view noun) {
    AppendNumber(out, count);
    out += ' ';
    out += noun;
    if (count != 1) out += 's';
}

void AppendCounts(std::string& out, const RunEnd& end) {
    AppendCount(out, end.errors, "error");
    out += ", ";
    AppendCount(out, end.warnings, "warning");
    out += ", ";
    AppendCount(out, end.notes, "note");
    out += " found";
}

}  // namespace

std::string RunTitle(std::string_view path) {
    const std::size_t cut = path.find_last_of("\\:/");
    const std::string_view name = cut == std::string_view::npos ? path : path.substr(cut + 1);
    std::string title = "Corvala - ";
    title += name;
    return title;
}

std::string_view MarkerText(Verdict verdict) noexcept {
    switch (verdict) {
    case Verdict::Error:
        return "err";
    case Verdict::Warning:
        return "wrn";
    case Verdict::Ok:
        break;
    }
    return " ok";
}

std::string LogLineText(Verdict verdict, std::int64_t number, std::string_view text) {
    std::string line;
    line.reserve(text.size() + 16);
    line += MarkerText(verdict);
    line += ' ';
    AppendNumber(line, number);
    line += ' ';
    line += text;
    return line;
}

std::string ErrorItemText(const Finding& finding, TextStyle style) {
    std::string item;
    item.reserve(finding.message.size() + finding.command.size() + 40);
    if (finding.line > 0) {
        item += "Line ";
        AppendNumber(item, finding.line);
    } else {
        item += "File";
    }
    item += ": ";
    if (style == TextStyle::Classic) {
        // The not-implemented message already names the command.
        if (finding.rule != RuleId::NotImplemented) {
            item += finding.command;
            item += " returned error: ";
        }
        item += finding.message;
        return item;
    }
    item += SeverityName(finding.severity);
    item += ": ";
    item += finding.message;
    item += " [";
    item += IdOf(finding.rule);
    item += ']';
    return item;
}

std::string SummaryItemText(const RunEnd& end, TextStyle style) {
    std::string item = "   *** ";
    if (style == TextStyle::Classic) {
        AppendNumber(item, end.errors);
        item += " errors found";
    } else {
        AppendCounts(item, end);
    }
    return item;
}

SummaryLine SummaryLogLine(const RunEnd& end, TextStyle style) {
    if (style == TextStyle::Classic) {
        if (end.errors > 0) return {Verdict::Error, end.errors, " errors found."};
        return {Verdict::Ok, 0, "No errors found."};
    }
    SummaryLine line{Verdict::Ok, 0, {}};
    if (end.errors > 0) {
        line.verdict = Verdict::Error;
    } else if (end.warnings > 0 || end.cancelled) {
        // A partial result never closes with " ok".
        line.verdict = Verdict::Warning;
    }
    if (end.cancelled) {
        line.text = "Cancelled at line ";
        AppendNumber(line.text, end.lineCount);
        line.text += ": ";
    }
    AppendCounts(line.text, end);
    line.text += end.cancelled ? " so far." : ".";
    return line;
}

}  // namespace corvala
