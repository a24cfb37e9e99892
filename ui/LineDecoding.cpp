#include "ui/LineDecoding.h"

#include "engine/display.h"

namespace corvala::ui {

QString DecodeLine(std::string_view bytes) {
    const std::string text = DecodeForDisplay(bytes);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace corvala::ui
