// The results log (RichEdit1): a read-only text view that repeats every
// file line behind its marker and line number. It owns the control, the
// running count of positions, each line's verdict (kept as the user state
// of its text block, so that nothing reads colours back), and the export as
// RTF.
#pragma once

#include <QString>
#include <QTextCharFormat>
#include <QTextCursor>

#include <cstdint>
#include <string_view>

#include "engine/findings.h"

class QPlainTextEdit;
class QWidget;

namespace corvala::ui {

class RtfWriter;

class ResultsLog {
public:
    // Inserts during a run are grouped into edit blocks of this many lines;
    // layout work is done once per block instead of once per line.
    static constexpr int LinesPerEditBlock = 1000;

    explicit ResultsLog(QWidget* parent);
    ResultsLog(const ResultsLog&) = delete;
    ResultsLog& operator=(const ResultsLog&) = delete;

    QPlainTextEdit* widget() const noexcept { return edit_; }

    // Empties the log.
    void Clear();
    // Appends one line: the marker of `verdict` in bold and its colour, then
    // a blank, `number`, a blank and `text` plain. Returns the position at
    // which the line starts. Raises "RichEdit line insertion error" when the
    // log cannot take the line; what it took before stays.
    std::int64_t Append(Verdict verdict, std::int64_t number, const QString& text);
    // The position the next line will start at (L).
    std::int64_t Length() const noexcept { return length_; }
    // The verdict of log line `index` (0-based), Ok for none.
    Verdict VerdictOf(int index) const;

    // While painting is suspended (a run), the caret is not moved after
    // each line; it is put at the newest line when painting resumes.
    void SetPaintingSuspended(bool suspended);
    bool PaintingSuspended() const noexcept { return paintingSuspended_; }
    // Ends the open edit block, so that the document is laid out before
    // anything reads or moves through it.
    void Flush();
    // Puts the caret at `position` and scrolls it into view.
    void MoveCaret(int position);
    // The jump of the error list: the end of the log first, then the line,
    // so that the line comes to the top unless it lies in the last screenful.
    void JumpTo(int position);

    // Every log line as a paragraph of `writer`, markers by verdict.
    void WriteRtf(RtfWriter& writer);

private:
    QPlainTextEdit* edit_;
    QTextCursor appendCursor_;  // kept at the end of the log
    QTextCharFormat markerFormats_[3];
    QTextCharFormat plainFormat_;
    std::int64_t length_ = 0;  // L: positions taken by the log so far
    std::int64_t newestLineStart_ = -1;
    int linesInEditBlock_ = 0;
    bool editBlockOpen_ = false;
    bool paintingSuspended_ = false;
    bool ensureVisiblePending_ = false;
};

}  // namespace corvala::ui
