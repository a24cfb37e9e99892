#include "engine/input/record_line.h"

#include "engine/values/text.h"

namespace corvala {

bool WithoutByteOrderMark(std::string_view& command, std::string_view& argument) noexcept {
    if (command.substr(0, kByteOrderMark.size()) != kByteOrderMark) return true;
    command.remove_prefix(kByteOrderMark.size());
    if (!command.empty()) return true;
    // The mark stood alone before the first blank: the command word is the
    // first word of the rest.
    const std::string_view rest = TrimText(argument);
    const std::size_t blank = rest.find(' ');
    command = rest.substr(0, blank);
    argument = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
    return !command.empty();
}

bool ReadRecordLine(std::string_view raw, std::int32_t number, bool withoutMark, RecordText& out) noexcept {
    const std::string_view text = TrimText(raw.substr(0, raw.find('*')));
    if (text.empty()) return false;
    const std::size_t blank = text.find(' ');
    out.command = text.substr(0, blank);
    out.argument = blank == std::string_view::npos ? std::string_view() : text.substr(blank + 1);
    return !(withoutMark && number == 1 && !WithoutByteOrderMark(out.command, out.argument));
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
