#include "cli/lsp/protocol.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <stdexcept>
#include <map>

#include "cli/lsp/document.h"
#include "cli/lsp/server.h"
#include "engine/values/display.h"
#include "engine/input/io.h"
#include "engine/model/fixes.h"

namespace corvala::lsp {

namespace {

// The headings of docs/rules.md as written ("#### `frequency` (error) ..."),
// taken from the file when the build is configured.
constexpr std::string_view kRuleHeadings[] = {
#include "rule_headings.inc"
};

bool IsWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

bool HeadingNames(std::string_view heading, std::string_view rule) {
    std::size_t at = 0;
    while (at < heading.size()) {
        while (at < heading.size() && !IsWordChar(heading[at])) ++at;
        std::size_t end = at;
        while (end < heading.size() && IsWordChar(heading[end])) ++end;
        if (heading.substr(at, end - at) == rule) return true;
        at = end;
    }
    return false;
}

int Severity(corvala::Severity severity) {
    switch (severity) {
    case corvala::Severity::Error:
        return 1;
    case corvala::Severity::Warning:
        return 2;
    case corvala::Severity::Note:
        break;
    }
    return 3;
}

}  // namespace

std::string HeadingSlug(std::string_view heading) {
    // GitHub's rule: the text after the "#"s, lowercased; everything but
    // letters, digits, blanks, "-" and "_" dropped; blanks made "-".
    std::size_t hashes = 0;
    while (hashes < heading.size() && heading[hashes] == '#') ++hashes;
    std::string_view text = heading.substr(hashes);
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    std::string slug;
    for (const char c : text) {
        if (c >= 'A' && c <= 'Z') {
            slug += static_cast<char>(c + 32);
        } else if (IsWordChar(c) || static_cast<unsigned char>(c) >= 0x80) {
            slug += c;
        } else if (c == ' ') {
            slug += '-';
        }
    }
    return slug;
}

std::string RuleAnchor(std::string_view rule) {
    std::map<std::string, int> seen;
    for (const std::string_view heading : kRuleHeadings) {
        std::string slug = HeadingSlug(heading);
        const int count = seen[slug]++;
        if (count > 0) slug += "-" + std::to_string(count);
        if (HeadingNames(heading.substr(heading.find_first_not_of('#')), rule)) return slug;
    }
    return {};
}

std::vector<std::int32_t> NamedLines(std::string_view message, std::int32_t own) {
    std::vector<std::int32_t> lines;
    auto add = [&](std::int64_t n) {
        if (n > 0 && n <= 2147483647 && n != own && std::find(lines.begin(), lines.end(), n) == lines.end())
            lines.push_back(static_cast<std::int32_t>(n));
    };
    // A number at `at`, and where it ends.
    auto number = [&](std::size_t at, std::size_t& end) -> std::int64_t {
        std::int64_t n = 0;
        end = at;
        while (end < message.size() && message[end] >= '0' && message[end] <= '9' && n < (std::int64_t(1) << 40))
            n = n * 10 + (message[end++] - '0');
        return end == at ? -1 : n;
    };
    for (std::size_t at = message.find("line"); at != std::string_view::npos; at = message.find("line", at + 4)) {
        if (at > 0 && IsWordChar(message[at - 1])) continue;
        std::size_t p = at + 4;
        if (p < message.size() && message[p] == 's') ++p;
        if (p >= message.size() || message[p] != ' ') continue;
        std::size_t end;
        const std::int64_t first = number(p + 1, end);
        if (first < 0) continue;
        add(first);
        if (message.compare(end, 4, " to ") == 0) {
            std::size_t last;
            const std::int64_t second = number(end + 4, last);
            if (second >= 0) add(second);
        }
    }
    return lines;
}

std::int64_t IntegerOf(const nlohmann::json& value) {
    if (value.is_number_unsigned()) {
        const auto n = value.get<std::uint64_t>();
        if (n > std::uint64_t(INT64_MAX)) throw std::invalid_argument("an integer out of range");
        return static_cast<std::int64_t>(n);
    }
    if (!value.is_number_integer()) throw std::invalid_argument("an integer expected");
    return value.get<std::int64_t>();
}

std::int64_t IntegerOr(const nlohmann::json& object, const char* key, std::int64_t fallback) {
    if (!object.is_object()) return fallback;
    const auto it = object.find(key);
    return it == object.end() || it->is_null() ? fallback : IntegerOf(*it);
}

void AppendJsonString(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20) {
            out += "\\u00";
            out += kHex[b >> 4];
            out += kHex[b & 15];
        } else {
            out += c;
        }
    }
    out += '"';
}

std::string DiagnosticsArray(const std::string& uri, std::string_view bytes, const std::vector<std::size_t>& starts,
                             const std::vector<Finding>& findings, TextUnit unit, const std::string& rulesDocument) {
    // Written as text: a large file can have tens of thousands of findings,
    // and building them as JSON values first costs more than the check.
    const std::size_t lineCount = starts.size() - 1;
    std::string out;
    out.reserve(findings.size() * 320 + 2);
    auto position = [&](std::size_t line, std::size_t character) {
        out += "{\"line\":";
        out += std::to_string(line);
        out += ",\"character\":";
        out += std::to_string(character);
        out += '}';
    };
    auto range = [&](std::size_t line, std::size_t start, std::size_t end) {
        out += "{\"start\":";
        position(line, start);
        out += ",\"end\":";
        position(line, end);
        out += '}';
    };
    auto wholeLine = [&](std::size_t index) {
        const std::string_view line = LineAt(bytes, starts, index);
        range(index, 0, DisplayOffset(line, line.size(), unit));
    };
    std::string quotedUri;
    AppendJsonString(quotedUri, uri);
    std::map<std::string_view, std::string> links;
    out += '[';
    bool first = true;
    for (const Finding& finding : findings) {
        if (!first) out += ',';
        first = false;
        out += "{\"range\":";
        if (finding.line <= 0 || static_cast<std::size_t>(finding.line) > lineCount) {
            range(0, 0, 0);
        } else {
            const std::size_t index = static_cast<std::size_t>(finding.line) - 1;
            const std::string_view line = LineAt(bytes, starts, index);
            if (finding.HasSpan() && static_cast<std::size_t>(finding.endColumn) <= line.size()) {
                range(index, DisplayOffset(line, static_cast<std::size_t>(finding.column), unit),
                      DisplayOffset(line, static_cast<std::size_t>(finding.endColumn), unit, true));
            } else {
                wholeLine(index);
            }
        }
        const std::string_view rule = IdOf(finding.rule);
        auto link = links.find(rule);
        if (link == links.end()) {
            const std::string anchor = RuleAnchor(rule);
            std::string quoted;
            AppendJsonString(quoted, anchor.empty() ? rulesDocument : rulesDocument + "#" + anchor);
            link = links.emplace(rule, std::move(quoted)).first;
        }
        out += ",\"severity\":";
        out += static_cast<char>('0' + Severity(finding.severity));
        out += ",\"code\":";
        AppendJsonString(out, rule);
        out += ",\"codeDescription\":{\"href\":";
        out += link->second;
        out += "},\"source\":\"corvala\",\"message\":";
        AppendJsonString(out, DecodeForDisplay(finding.message));
        bool anyRelated = false;
        for (const std::int32_t named : NamedLines(finding.message, finding.line)) {
            if (static_cast<std::size_t>(named) > lineCount) continue;
            out += anyRelated ? "," : ",\"relatedInformation\":[";
            anyRelated = true;
            out += "{\"location\":{\"uri\":";
            out += quotedUri;
            out += ",\"range\":";
            wholeLine(static_cast<std::size_t>(named) - 1);
            out += "},\"message\":\"line ";
            out += std::to_string(named);
            out += "\"}";
        }
        if (anyRelated) out += ']';
        if (finding.fix) {
            // The fix travels with the diagnostic, as the edits of the text
            // it was found in; the code action hands them back.
            if (const std::string edits = FixEdits(bytes, starts, *finding.fix, unit); !edits.empty()) {
                out += ",\"data\":{\"fix\":{\"title\":";
                AppendJsonString(out, DecodeForDisplay(finding.fix->title));
                out += ",\"safety\":\"";
                out += FixSafetyName(finding.fix->safety);
                out += "\",\"edits\":";
                out += edits;
                out += "}}";
            }
        }
        out += '}';
    }
    out += ']';
    return out;
}

std::string FixEdits(std::string_view bytes, const std::vector<std::size_t>& starts, const Fix& fix, TextUnit unit) {
    const std::size_t lineCount = starts.size() - 1;
    auto line = [&](std::size_t index) { return LineAt(bytes, starts, index); };
    // The line end after line `index` ("" for a last line without one).
    auto endOf = [&](std::size_t index) {
        const std::size_t from = starts[index] + line(index).size();
        return bytes.substr(from, starts[index + 1] - from);
    };
    auto usualEnd = [&](std::size_t near) -> std::string_view {
        if (near < lineCount && !endOf(near).empty()) return endOf(near);
        for (std::size_t i = 0; i < lineCount; ++i)
            if (!endOf(i).empty()) return endOf(i);
        return "\n";
    };
    std::string out = "[";
    auto position = [&](std::size_t index, std::size_t byte) {
        const std::size_t character = index < lineCount ? DisplayOffset(line(index), byte, unit) : 0;
        out += "{\"line\":" + std::to_string(index) + ",\"character\":" + std::to_string(character) + "}";
    };
    auto edit = [&](std::size_t fromLine, std::size_t fromByte, std::size_t toLine, std::size_t toByte,
                    std::string_view text) {
        if (out.size() > 1) out += ',';
        out += "{\"range\":{\"start\":";
        position(fromLine, fromByte);
        out += ",\"end\":";
        position(toLine, toByte);
        out += "},\"newText\":";
        AppendJsonString(out, DecodeForDisplay(text));
        out += '}';
    };
    for (const Edit& e : fix.edits) {
        if (e.line < 1) return {};
        const auto index = static_cast<std::size_t>(e.line) - 1;
        switch (e.kind) {
        case Edit::Kind::Replace:
            if (index >= lineCount || e.column < 0 || e.endColumn < e.column ||
                static_cast<std::size_t>(e.endColumn) > line(index).size())
                return {};
            edit(index, static_cast<std::size_t>(e.column), index, static_cast<std::size_t>(e.endColumn), e.text);
            break;
        case Edit::Kind::RemoveLine:
            if (index >= lineCount) return {};
            if (index + 1 < lineCount || !endOf(index).empty()) edit(index, 0, index + 1, 0, "");
            else if (index > 0) edit(index - 1, line(index - 1).size(), index, line(index).size(), "");
            else edit(index, 0, index, line(index).size(), "");
            break;
        case Edit::Kind::InsertLine:
            if (index > lineCount) return {};
            if (index < lineCount) {
                edit(index, 0, index, 0, e.text + std::string(usualEnd(index > 0 ? index - 1 : 0)));
            } else if (lineCount > 0 && endOf(lineCount - 1).empty()) {
                const std::size_t last = lineCount - 1;
                edit(last, line(last).size(), last, line(last).size(), std::string(usualEnd(last)) + e.text);
            } else {
                edit(lineCount, 0, lineCount, 0, e.text + std::string(usualEnd(lineCount - 1)));
            }
            break;
        }
    }
    out += ']';
    return out;
}

std::string PathOfUri(std::string_view uri) {
    constexpr std::string_view kScheme = "file://";
    if (uri.substr(0, kScheme.size()) != kScheme) return {};
    uri.remove_prefix(kScheme.size());
    if (uri.substr(0, 9) == "localhost") uri.remove_prefix(9);
    if (uri.empty() || uri.front() != '/') return {};
    std::string path;
    for (std::size_t i = 0; i < uri.size(); ++i) {
        auto hex = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            return -1;
        };
        if (uri[i] == '%' && i + 2 < uri.size() && hex(uri[i + 1]) >= 0 && hex(uri[i + 2]) >= 0) {
            path += static_cast<char>(hex(uri[i + 1]) * 16 + hex(uri[i + 2]));
            i += 2;
        } else if (uri[i] == '?' || uri[i] == '#') {
            break;
        } else {
            path += uri[i];
        }
    }
    if (path.find('\0') != std::string::npos) return {};
    return path;
}

bool ReadFileBehind(std::string_view uri, std::string& bytes) {
    const std::string path = PathOfUri(uri);
    if (path.empty()) return false;
    struct stat info;
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > (off_t(256) << 20)) return false;
    try {
        bytes = ReadWholeFile(path, FileKinds::RegularOnly);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

}  // namespace corvala::lsp
