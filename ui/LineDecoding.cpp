#include "ui/LineDecoding.h"

#include "engine/values/display.h"

namespace corvala::ui {

namespace {

// The length of the text before the first character to replace.
qsizetype CleanPrefix(const QString& text) {
    const char16_t* units = reinterpret_cast<const char16_t*>(text.utf16());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = units[i];
        // Below U+2028 only three characters are replaced; the low
        // surrogate of a pair is looked at with its high one.
        if (unit < 0x2028 && unit != 0x0B && unit != 0x0C && unit != 0x85) continue;
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && QChar::isLowSurrogate(units[i + 1])) {
            if (BreaksDisplayLine(QChar::surrogateToUcs4(unit, units[i + 1]))) return i;
            ++i;
            continue;
        }
        if (BreaksDisplayLine(unit)) return i;
    }
    return text.size();
}

}  // namespace

bool BreaksDisplayLine(char32_t c) noexcept {
    return c == 0x0B || c == 0x0C || c == 0x85 || c == 0x2028 || c == 0x2029 || (c >= 0xFDD0 && c <= 0xFDEF) ||
           (c & 0xFFFE) == 0xFFFE;
}

QString DecodeLine(std::string_view bytes) {
    const std::string text = DecodeForDisplay(bytes);
    QString decoded = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    qsizetype i = CleanPrefix(decoded);
    if (i == decoded.size()) return decoded;

    // One stand-in per character, also for one outside the BMP.
    QString shown;
    shown.reserve(decoded.size());
    shown.append(QStringView(decoded).first(i));
    const char16_t* units = reinterpret_cast<const char16_t*>(decoded.utf16());
    while (i < decoded.size()) {
        char32_t character = units[i];
        qsizetype length = 1;
        if (QChar::isHighSurrogate(units[i]) && i + 1 < decoded.size() && QChar::isLowSurrogate(units[i + 1])) {
            character = QChar::surrogateToUcs4(units[i], units[i + 1]);
            length = 2;
        }
        if (BreaksDisplayLine(character))
            shown.append(QChar(kLineBreakStandIn));
        else
            shown.append(QStringView(decoded).sliced(i, length));
        i += length;
    }
    return shown;
}

}  // namespace corvala::ui
