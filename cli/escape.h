// Text on its way to a terminal: control bytes in a file's lines or names
// could move the cursor, erase earlier output, set the window title or
// write the clipboard, and bidirectional controls could make a line read
// other than it is. Shown as visible escapes they can do none of that.
#pragma once

#include <string>
#include <string_view>

namespace corvala::cli {

// `bytes` with every control byte other than tab written as a visible
// escape in lower-case hex, as compilers show them ("\x1b"): the bytes
// 0x00 to 0x1F but tab, 0x7F, both bytes of each UTF-8-encoded C1 control
// (C2 80 to C2 9F), and each byte 0x80 to 0x9F that is not part of a
// well-formed UTF-8 sequence. The line and paragraph separators and the
// bidirectional controls (U+2028 to U+202E, U+2066 to U+2069), which make
// text look other than it is, become "\u2028" and so on, and the backslash
// itself "\\", so that no text can pass for an escape. Everything else
// passes unchanged: well-formed UTF-8 and other stray bytes such as the
// Latin-1 letter 0xFC.
std::string EscapeControls(std::string_view bytes);

}  // namespace corvala::cli
