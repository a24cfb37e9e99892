#include "engine/record_line.h"

#include "engine/extended_values.h"
#include "engine/text.h"

namespace corvala {

bool ReadRecordLine(std::string_view raw, std::int32_t number, bool withoutMark, RecordText& out) noexcept {
    const std::string_view text = TrimText(raw.substr(0, raw.find('*')));
    if (text.empty()) return false;
    const std::size_t blank = text.find(' ');
    out.command = text.substr(0, blank);
    out.argument = blank == std::string_view::npos ? std::string_view() : text.substr(blank + 1);
    return !(withoutMark && number == 1 && !extended::WithoutByteOrderMark(out.command, out.argument));
}

}  // namespace corvala
