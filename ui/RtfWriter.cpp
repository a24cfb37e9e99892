#include "ui/RtfWriter.h"

#include "engine/values/display.h"
#include "ui/LineDecoding.h"

#include <QGuiApplication>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace corvala::ui {

namespace {

// Used when the window's font is unknown and named as the alternative of any
// other font, for readers that lack the window's font.
constexpr char kFallbackFamily[] = "Arial";

// Colour table entries: 0 is the reader's normal text colour.
constexpr char kOkOn[] = "\\b\\cf1 ";
constexpr char kErrOn[] = "\\b\\cf2 ";
constexpr char kWarningOn[] = "\\b\\cf3 ";
constexpr char kColours[] = "{\\colortbl ;\\red0\\green128\\blue0;\\red255\\green0\\blue0;}\n";
constexpr char kColoursWithWarning[] =
    "{\\colortbl ;\\red0\\green128\\blue0;\\red255\\green0\\blue0;\\red255\\green128\\blue0;}\n";
constexpr char kMarkerOff[] = "\\b0\\cf0 ";
constexpr char kParagraphEnd[] = "\\par\n";

// The most bytes one UTF-16 unit can take in the document: "\u-32768\'3f"
// is eleven.
constexpr qsizetype kMaxBytesPerUnit = 12;

constexpr char kHexDigits[] = "0123456789abcdef";

// Characters of U+0100 and above that code page 1252 has a byte for.
struct CodePageEntry {
    char16_t ch;
    unsigned char byte;
};

const std::array<CodePageEntry, 32>& CodePageHighTable() {
    static const std::array<CodePageEntry, 32> table = [] {
        std::array<CodePageEntry, 32> entries{};
        for (int byte = 0x80; byte < 0xA0; ++byte)
            entries[byte - 0x80] = {Windows1252Char(static_cast<unsigned char>(byte)),
                                    static_cast<unsigned char>(byte)};
        return entries;
    }();
    return table;
}

// The byte code page 1252 has for ch, or 0 when it has none. The undefined
// bytes (and so U+0080..U+009F) have no character a reader would show.
unsigned char CodePageByte(char16_t ch) {
    if (ch >= 0xA0 && ch <= 0xFF) return static_cast<unsigned char>(ch);
    if (ch < 0x100) return 0;
    for (const CodePageEntry& entry : CodePageHighTable())
        if (entry.ch == ch) return entry.byte;
    return 0;
}

char* Put(char* d, const char* text) {
    while (*text) *d++ = *text++;
    return d;
}

char* PutHexByte(char* d, unsigned char byte) {
    *d++ = '\\';
    *d++ = '\'';
    *d++ = kHexDigits[byte >> 4];
    *d++ = kHexDigits[byte & 0x0F];
    return d;
}

// \uN with N the unit as a signed 16-bit value, then the fallback character
// for readers that do not know \u (one character, as \uc1 announces). The
// fallback is always written as a \'XX escape, "?" too: a literal fallback
// glued to the letters that follow makes some readers skip the whole word.
char* PutUnicode(char* d, char16_t unit) {
    *d++ = '\\';
    *d++ = 'u';
    int value = static_cast<std::int16_t>(unit);
    if (value < 0) {
        *d++ = '-';
        value = -value;
    }
    char digits[5];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) *d++ = digits[--count];
    const unsigned char fallback = CodePageByte(unit);
    return PutHexByte(d, fallback != 0 ? fallback : static_cast<unsigned char>('?'));
}

// Writes the units [s, end) as RTF text.
char* PutText(char* d, const char16_t* s, const char16_t* end) {
    bool afterBlank = false;
    for (; s != end; ++s) {
        const char16_t c = *s;
        if (c == ' ') {
            // The second and later blanks of a run go as \'20: readers that
            // collapse runs of blanks in the source still keep those, and
            // "err 2  errors found." keeps its two blanks.
            if (afterBlank)
                d = PutHexByte(d, ' ');
            else
                *d++ = ' ';
            afterBlank = true;
            continue;
        }
        afterBlank = false;
        if (c > 0x20 && c < 0x80) {
            if (c == '\\' || c == '{' || c == '}') *d++ = '\\';
            *d++ = static_cast<char>(c);
        } else if (c == '\t') {
            d = Put(d, "\\tab ");
        } else if (BreaksDisplayLine(c)) {
            // Shown as the log shows it: a reader would break the paragraph.
            d = PutUnicode(d, kLineBreakStandIn);
        } else if (c < 0x20) {
            // Other control bytes pass as themselves; a raw byte below 32
            // would be taken for layout in the RTF source.
            d = PutHexByte(d, static_cast<unsigned char>(c));
        } else {
            // Characters outside the BMP arrive as a surrogate pair and
            // leave as two \u codes.
            d = PutUnicode(d, c);
        }
    }
    return d;
}

// The end of the first three characters of [s, end); a surrogate pair is one
// character.
const char16_t* MarkerEnd(const char16_t* s, const char16_t* end) {
    for (int characters = 0; characters < 3 && s != end; ++characters) {
        const bool pair = (*s & 0xFC00) == 0xD800 && s + 1 != end && (s[1] & 0xFC00) == 0xDC00;
        s += pair ? 2 : 1;
    }
    return s;
}

// A font name as the font table can hold it: ";" ends a name, so it goes.
QByteArray FontTableName(const QString& family) {
    QString name = family;
    name.remove(QLatin1Char(';'));
    name = name.trimmed();
    if (name.isEmpty()) name = QString::fromLatin1(kFallbackFamily);
    QByteArray out(name.size() * kMaxBytesPerUnit, Qt::Uninitialized);
    const auto* s = reinterpret_cast<const char16_t*>(name.utf16());
    char* end = PutText(out.data(), s, s + name.size());
    out.truncate(end - out.data());
    return out;
}

int HalfPoints(qreal pointSize) {
    if (pointSize <= 0) return 20;
    return std::clamp(static_cast<int>(std::lround(pointSize * 2)), 2, 3276);
}

QByteArray FontHeader(const QString& family) {
    const QByteArray name = FontTableName(family);
    QByteArray header;
    header += "{\\rtf1\\ansi\\ansicpg1252\\deff0\n";
    header += "{\\fonttbl{\\f0\\fswiss\\fcharset0 ";
    header += name;
    if (name != kFallbackFamily) {
        header += "{\\*\\falt ";
        header += kFallbackFamily;
        header += '}';
    }
    header += ";}}\n";
    return header;
}

QByteArray PlainHeader(qreal pointSize) {
    return "\\viewkind4\\uc1\\pard\\plain\\f0\\fs" + QByteArray::number(HalfPoints(pointSize)) + '\n';
}

}  // namespace

RtfWriter::RtfWriter() {
    if (qGuiApp != nullptr) {
        setFont(QGuiApplication::font());
    } else {
        fontHeader_ = FontHeader(QString::fromLatin1(kFallbackFamily));
        plainHeader_ = PlainHeader(10);
    }
}

void RtfWriter::setFont(const QFont& font) {
    fontHeader_ = FontHeader(font.family());
    plainHeader_ = PlainHeader(font.pointSizeF());
}

void RtfWriter::reserve(qsizetype bytes) { body_.reserve(bytes); }

void RtfWriter::addLine(const QString& text, Marker marker) {
    const auto* s = reinterpret_cast<const char16_t*>(text.utf16());
    const char16_t* end = s + text.size();

    // Room for the worst case, written through a pointer and cut back to
    // what was used; resize grows the buffer geometrically.
    const qsizetype start = body_.size();
    body_.resize(start + text.size() * kMaxBytesPerUnit + 32);
    char* const base = body_.data();
    char* d = base + start;

    if (marker == Marker::None) {
        d = PutText(d, s, end);
    } else {
        const char16_t* markerEnd = MarkerEnd(s, end);
        d = Put(d, marker == Marker::Ok ? kOkOn : marker == Marker::Err ? kErrOn : kWarningOn);
        if (marker == Marker::Warning) hasWarning_ = true;
        d = PutText(d, s, markerEnd);
        d = Put(d, kMarkerOff);
        d = PutText(d, markerEnd, end);
    }
    d = Put(d, kParagraphEnd);
    body_.truncate(d - base);
}

namespace {
constexpr char kTrailer[] = "}\n";
}

QByteArray RtfWriter::document() const {
    QByteArray document;
    document.reserve(fontHeader_.size() + plainHeader_.size() + body_.size() + 128);
    for (const QByteArrayView part : parts()) document += part;
    return document;
}

std::array<QByteArrayView, 5> RtfWriter::parts() const {
    return {QByteArrayView(fontHeader_), QByteArrayView(hasWarning_ ? kColoursWithWarning : kColours),
            QByteArrayView(plainHeader_), QByteArrayView(body_), QByteArrayView(kTrailer)};
}

}  // namespace corvala::ui
