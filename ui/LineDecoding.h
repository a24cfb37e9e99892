// A file's bytes as display text for the window, by the one rule that
// corvala-check follows too (engine/display.h).
#pragma once

#include <QString>

#include <string_view>

namespace corvala::ui {

QString DecodeLine(std::string_view bytes);

}  // namespace corvala::ui
