// A file's bytes as display text for the window, by the one rule that
// corvala-check follows too (engine/values/display.h), with one addition for the
// window: a file line is always one line of the log, of its RTF and of what
// is copied from it.
#pragma once

#include <QString>

#include <string_view>

namespace corvala::ui {

// The bytes as text by the display rule, with every character that
// BreaksDisplayLine shown as U+FFFD.
QString DecodeLine(std::string_view bytes);

// True for a character that ends a line or paragraph in some view of the
// text although the file's line goes on: the vertical tab, the form feed,
// U+0085, U+2028 and U+2029 (the text document splits its paragraphs at
// U+2029 and lays out U+2028 as a second line; RTF readers and editors
// break at all of them), and the noncharacters U+FDD0..U+FDEF and
// U+xFFFE/U+xFFFF, which are for a program's own use (the text document
// takes U+FDD0 and U+FDD1 as frame marks and starts a paragraph there).
bool BreaksDisplayLine(char32_t character) noexcept;

// What the log shows for such a character.
inline constexpr char16_t kLineBreakStandIn = u'\uFFFD';

}  // namespace corvala::ui
