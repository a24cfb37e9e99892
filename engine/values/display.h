// One rule for showing a file's bytes as text, in the window and in every
// output of corvala-check: each valid UTF-8 sequence is the character it
// encodes, and every byte that is not part of one is the Windows-1252
// character of that byte (the five bytes that code page leaves undefined,
// 0x81, 0x8D, 0x8F, 0x90 and 0x9D, are U+0081 and so on).
//
// Valid UTF-8 is strict: no overlong forms, no encoded surrogates, nothing
// above U+10FFFF, no truncated sequence. A byte-order mark is not special.
#pragma once

#include <string>
#include <string_view>

namespace corvala {

// The bytes as UTF-8 text by the rule above. The result is always valid
// UTF-8; text that is valid UTF-8 already comes back unchanged.
std::string DecodeForDisplay(std::string_view bytes);

// The length of the valid UTF-8 sequence at the start of `bytes` (1 for an
// ASCII byte), or 0 when the first byte does not start one.
std::size_t Utf8SequenceLength(std::string_view bytes) noexcept;

// The Windows-1252 character of one byte (bytes below 0x80 are ASCII).
char16_t Windows1252Char(unsigned char byte) noexcept;

// True when all of `bytes` is valid UTF-8.
bool IsValidUtf8(std::string_view bytes) noexcept;

}  // namespace corvala
