#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFont>
#include <QString>

#include <array>

namespace corvala::ui {

enum class Marker { None, Ok, Err };

// Writes the results log as one RTF document (code page 1252, characters
// outside ASCII as \uN with a code-page fallback), built up line by line in a
// single buffer so that a log of a million lines stays fast.
class RtfWriter {
public:
    // Takes the application's default font when an application object
    // exists, else Arial.
    RtfWriter();

    // The font named in the document's font table and its size.
    void setFont(const QFont& font);

    // Makes room for about this many bytes of document text in advance.
    void reserve(qsizetype bytes);

    // One paragraph per line; with Ok or Err, the first three characters of
    // the line are bold and coloured: green (0,128,0) for Ok, red (255,0,0) for Err;
    // the rest of the line (its fourth character included) plain.
    void addLine(const QString& text, Marker marker);

    // The complete RTF document (an empty log: a valid document with no text).
    QByteArray document() const;

    // The same document as consecutive pieces, for writing a large log out
    // without joining a second copy of it in memory.
    std::array<QByteArrayView, 3> parts() const;

private:
    QByteArray header_;
    QByteArray body_;
};

}  // namespace corvala::ui
