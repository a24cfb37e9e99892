#pragma once

#include <QString>

#include <string_view>

namespace corvala::ui {

// Decodes one line of a file's bytes for display: as UTF-8 where the whole
// line is valid UTF-8, otherwise as Windows-1252 (bytes 0x81, 0x8D, 0x8F,
// 0x90, 0x9D, which that code page leaves undefined, map to U+0081 etc.).
//
// Valid UTF-8 is strict: no overlong forms, no encoded surrogates, nothing
// above U+10FFFF, no truncated sequence. A byte-order mark is not special:
// at the start of a line it stays a U+FEFF character.
QString DecodeLine(std::string_view bytes);

// The character Windows-1252 gives one byte; the five undefined bytes of
// 0x80..0x9F map to the code point of the same value.
char16_t Windows1252Char(unsigned char byte);

}  // namespace corvala::ui
