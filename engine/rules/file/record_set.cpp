#include "engine/rules/file/record_set.h"

#include <deque>

#include "engine/rules/extended/values.h"
#include "engine/input/record_line.h"
#include "engine/values/text.h"

namespace corvala {

bool HeaderValue(std::string_view raw, std::string_view key, std::string_view& value) noexcept {
    std::string_view text = TrimText(raw);
    if (text.empty() || text[0] != '*') return false;
    text = TrimText(text.substr(1));
    if (text.substr(0, key.size()) != key) return false;
    value = TrimText(text.substr(key.size()));
    return true;
}

bool IsVersion2(std::string_view value) noexcept {
    if (value.size() < 3 || value[0] != '2' || value[1] != '.') return false;
    bool digit = false;
    for (const char c : value.substr(2)) {
        if (c == '.') {
            if (!digit) return false;
            digit = false;
        } else if (c >= '0' && c <= '9') {
            digit = true;
        } else {
            return false;
        }
    }
    return digit;
}

void DeclarationScan::Line(std::int32_t number, std::string_view raw, std::string_view command) {
    if (Extended()) return;
    if (command.empty()) {
        std::string_view value;
        if (inHeader_ && HeaderValue(raw, "VERSION:", value) && IsVersion2(value)) {
            line_ = number;
            byVersion_ = true;
            version_ = value;
        }
        return;
    }
    inHeader_ = false;
    if (StartsBlock(command)) ++blocks_;
    if (extended::RecordKey(command) == extended::RecordKey("AY")) line_ = number;
}

void DeclarationScan::Decide(CheckSettings& settings, bool whole) const {
    settings.extended = Extended();
    settings.classicFile = !Extended();
    if (Extended()) {
        settings.declaration = "judged as a file of the extended record set: line " + std::to_string(line_) +
                               (byVersion_ ? " declares version " + version_ : std::string(" is an AY record"));
    } else {
        settings.declaration = whole ? "judged as a file of the classic record set: no *VERSION: 2.x among its "
                                       "leading comments and no AY record"
                                     : "judged as a file of the classic record set: no *VERSION: 2.x among its "
                                       "leading comments and no AY record in its first airspace (the input is read "
                                       "only once)";
    }
}

namespace {

// The lines read ahead, then the rest of the source.
class ReplaySource final : public LineSource {
public:
    explicit ReplaySource(LineSource& source) : source_(source) {}
    std::deque<std::string> ahead;

    bool Next(std::string_view& line) override {
        if (!ahead.empty()) {
            current_ = std::move(ahead.front());
            ahead.pop_front();
            line = current_;
            return true;
        }
        return source_.Next(line);
    }

private:
    LineSource& source_;
    std::string current_;
};

// What a stream that cannot be read twice may hold back at most.
constexpr std::size_t kMostBytesAhead = std::size_t{16} << 20;

// The command word of a line as the run splits it, read without a
// byte-order mark; empty for an empty line.
std::string_view CommandWord(std::string_view raw, std::int32_t number) {
    RecordText record;
    return ReadRecordLine(raw, number, true, record) ? record.command : std::string_view();
}

}  // namespace

LineSource& DecideRecordSet(LineSource& source, CheckSettings& settings, std::unique_ptr<LineSource>& replay) {
    DeclarationScan scan;
    std::string_view line;
    std::int32_t number = 0;
    if (source.Rewind()) {
        while (!scan.Extended() && source.Next(line)) {
            ++number;
            scan.Line(number, line, CommandWord(line, number));
        }
        source.Rewind();
        scan.Decide(settings, true);
        return source;
    }
    auto ahead = std::make_unique<ReplaySource>(source);
    std::size_t bytes = 0;
    bool whole = false;
    while (!scan.Extended() && !scan.FirstBlockEnded() && bytes <= kMostBytesAhead) {
        if (!source.Next(line)) {
            whole = true;
            break;
        }
        ++number;
        bytes += line.size() + 32;
        ahead->ahead.emplace_back(line);
        scan.Line(number, line, CommandWord(line, number));
    }
    scan.Decide(settings, whole);
    replay = std::move(ahead);
    return *replay;
}

}  // namespace corvala
