// Making control bytes visible before text reaches a terminal (see
// cli/escape.h).
#include "cli/escape.h"

#include "engine/values/display.h"

namespace corvala::cli {

namespace {

constexpr char kDigits[] = "0123456789abcdef";

void AppendEscape(std::string& out, unsigned char byte) {
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 15];
}

// The characters that end a line in some viewers (U+2028, U+2029) or make
// text read in another order than it is stored (the bidirectional
// embeddings, overrides and isolates U+202A to U+202E, U+2066 to U+2069).
// Each is three bytes of UTF-8 from E2 80 A8 to E2 81 A9.
bool IsInvisibleFormatter(std::string_view sequence) {
    if (sequence.size() != 3 || static_cast<unsigned char>(sequence[0]) != 0xE2) return false;
    const auto second = static_cast<unsigned char>(sequence[1]);
    const auto third = static_cast<unsigned char>(sequence[2]);
    return (second == 0x80 && third >= 0xA8 && third <= 0xAE) || (second == 0x81 && third >= 0xA6 && third <= 0xA9);
}

void AppendCodePointEscape(std::string& out, std::string_view sequence) {
    const unsigned code = (static_cast<unsigned>(sequence[0]) & 0x0F) << 12 |
                          (static_cast<unsigned>(sequence[1]) & 0x3F) << 6 | (static_cast<unsigned>(sequence[2]) & 0x3F);
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kDigits[(code >> shift) & 15];
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
            } else if (byte == '\\') {
                // So that a backslash in the text cannot pass for an escape.
                out += "\\\\";
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
            } else if (IsInvisibleFormatter(bytes.substr(i, length))) {
                AppendCodePointEscape(out, bytes.substr(i, length));
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
