// Making control bytes visible before text reaches a terminal (see
// cli/escape.h).
#include "cli/escape.h"

#include "engine/display.h"

namespace corvala::cli {

namespace {

void AppendEscape(std::string& out, unsigned char byte) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 15];
}

}  // namespace

std::string EscapeControls(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80) {
            if ((byte < 0x20 && byte != '\t') || byte == 0x7F) {
                AppendEscape(out, byte);
            } else {
                out += static_cast<char>(byte);
            }
            ++i;
            continue;
        }
        if (const std::size_t length = Utf8SequenceLength(bytes.substr(i)); length > 0) {
            // U+0080 to U+009F: a terminal acts on these as on ESC sequences.
            if (byte == 0xC2 && static_cast<unsigned char>(bytes[i + 1]) <= 0x9F) {
                AppendEscape(out, byte);
                AppendEscape(out, static_cast<unsigned char>(bytes[i + 1]));
            } else {
                out.append(bytes.substr(i, length));
            }
            i += length;
            continue;
        }
        // A stray byte: a terminal that does not read UTF-8 takes 0x80 to
        // 0x9F as C1 controls (0x9B opens a control sequence).
        if (byte <= 0x9F) {
            AppendEscape(out, byte);
        } else {
            out += static_cast<char>(byte);
        }
        ++i;
    }
    return out;
}

}  // namespace corvala::cli
