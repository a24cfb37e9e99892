// The results log (RichEdit1): a read-only text view that repeats every
// file line behind its marker and line number. It owns the control, the
// running count of positions, each line's verdict (kept as the user state
// of its text block, so that nothing reads colours back), and the export as
// RTF. It holds at most Capacity() lines, so that a huge file ends its run
// with a failure instead of the toolkit running out of memory; a large
// selection is copied as plain text only; the Menu key and Shift+F10 open
// the context menu at the caret.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTextCharFormat>
#include <QTextCursor>

#include <cstdint>
#include <string_view>

#include "engine/model/findings.h"

class QPlainTextEdit;
class QWidget;

namespace corvala::ui {

class RtfWriter;

class ResultsLog {
public:
    // Inserts during a run are grouped into edit blocks of at least this
    // many lines and this many milliseconds; layout work and the repaint it
    // brings are done once per block instead of once per line.
    static constexpr int LinesPerEditBlock = 1000;
    static constexpr int EditBlockMilliseconds = 100;
    // What one log line costs in memory. Measured with bench_gui over runs
    // of a million lines, the file's text and the run's own data included:
    // some 280 bytes a line of 10 characters, 380 of 40, 610 of 100.
    static constexpr std::int64_t BytesPerLine = 640;
    // A selection of this many lines or more is copied as plain text only:
    // the formatted copy duplicates the selected part of the document (for
    // a million lines 8 s and 260 MB, against 0.15 s and 70 MB).
    static constexpr int RichCopyLines = 10000;

    // The lines a log holds unless told otherwise: a quarter of the
    // machine's memory, and no more than half of an address-space limit of
    // the process, at BytesPerLine a line.
    static std::int64_t DefaultCapacity();

    explicit ResultsLog(QWidget* parent);
    ResultsLog(const ResultsLog&) = delete;
    ResultsLog& operator=(const ResultsLog&) = delete;

    QPlainTextEdit* widget() const noexcept { return edit_; }

    // Empties the log.
    void Clear();
    // Appends one line: the marker of `verdict` in bold and its colour, then
    // a blank, `number`, a blank and `text` plain. Returns the position at
    // which the line starts. Raises "RichEdit line insertion error" when the
    // log cannot take the line, also when it holds Capacity() lines; what it
    // took before stays.
    std::int64_t Append(Verdict verdict, std::int64_t number, const QString& text);
    // The most lines the log takes (DefaultCapacity() at first).
    std::int64_t Capacity() const noexcept { return capacity_; }
    void SetCapacity(std::int64_t lines) noexcept { capacity_ = lines; }
    // The lines it holds.
    std::int64_t LineCount() const noexcept { return lines_; }
    // The position the next line will start at (L).
    std::int64_t Length() const noexcept { return length_; }
    // The verdict of log line `index` (0-based), Ok for none.
    Verdict VerdictOf(int index) const;

    // While painting is suspended (a run), the caret is not moved after
    // each line; it is put at the newest line when painting resumes. What
    // is on screen is still painted when exposed (a resize): the edit
    // blocks are what keeps the document's layout from following each line.
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
    // Selects from `begin` to `end` with the caret at `begin`, and brings
    // the caret's line to the middle of the view (as near as the ends of
    // the log let it).
    void SelectCentred(int begin, int end);

    // Every log line as a paragraph of `writer`, markers by verdict.
    void WriteRtf(RtfWriter& writer);

private:
    QPlainTextEdit* edit_;
    QTextCursor appendCursor_;  // kept at the end of the log
    QTextCharFormat markerFormats_[3];
    QTextCharFormat plainFormat_;
    std::int64_t length_ = 0;  // L: positions taken by the log so far
    std::int64_t lines_ = 0;
    std::int64_t capacity_;
    std::int64_t newestLineStart_ = -1;
    int linesInEditBlock_ = 0;
    QElapsedTimer editBlockAge_;
    bool editBlockOpen_ = false;
    bool paintingSuspended_ = false;
    bool ensureVisiblePending_ = false;
};

}  // namespace corvala::ui
