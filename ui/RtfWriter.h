#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFont>
#include <QString>

#include <array>

namespace corvala::ui {

// The marker of a log line; the order follows the verdicts (Ok, Warning,
// Error) after None.
enum class Marker { None, Ok, Warning, Err };

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

    // One paragraph per line; with a marker, the first three characters of
    // the line are bold and coloured: green (0,128,0) for Ok, orange
    // (255,128,0) for Warning, red (255,0,0) for Err; the rest of the line
    // (its fourth character included) plain. A character that would break
    // the paragraph in a reader (BreaksDisplayLine) is written as U+FFFD.
    void addLine(const QString& text, Marker marker);

    // The complete RTF document (an empty log: a valid document with no text).
    QByteArray document() const;

    // The same document as consecutive pieces, for writing a large log out
    // without joining a second copy of it in memory.
    std::array<QByteArrayView, 5> parts() const;

private:
    QByteArray fontHeader_;  // up to the font table
    QByteArray plainHeader_;  // after the colour table
    QByteArray body_;
    bool hasWarning_ = false;  // the colour table names orange only when used
};

}  // namespace corvala::ui
