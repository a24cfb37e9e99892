#include "ui/ResultsLog.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>

#include <sys/resource.h>
#include <unistd.h>

#include "engine/model/failures.h"
#include "engine/present/report_texts.h"
#include "ui/ContextMenuKey.h"
#include "ui/RtfWriter.h"

namespace corvala::ui {

namespace {

const QColor kMarkerColours[3] = {QColor(0, 128, 0), QColor(255, 128, 0), QColor(255, 0, 0)};

int Index(Verdict verdict) { return static_cast<int>(verdict); }

// The selected text as the formatted copy gives it as plain text: line ends
// as "\n", no-break spaces as blanks.
QString PlainSelection(const QTextCursor& cursor) {
    const QTextDocument* document = cursor.document();
    // The whole log: the document's own plain text is several times faster.
    if (cursor.selectionStart() == 0 && cursor.selectionEnd() >= document->characterCount() - 1)
        return document->toPlainText();
    QString text = cursor.selectedText();
    for (QChar& c : text) {
        if (c == QChar::ParagraphSeparator)
            c = u'\n';
        else if (c == QChar::Nbsp)
            c = u' ';
    }
    return text;
}

class LogEdit final : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    QMimeData* createMimeDataFromSelection() const override {
        // Copy and Select All (which offers the selection to other programs
        // where the system has one) take this copy.
        const QTextCursor cursor = textCursor();
        const QTextDocument* document = this->document();
        const int lines = document->findBlock(cursor.selectionEnd()).blockNumber() -
                          document->findBlock(cursor.selectionStart()).blockNumber();
        if (lines < ResultsLog::RichCopyLines) return QPlainTextEdit::createMimeDataFromSelection();
        auto* data = new QMimeData;
        data->setText(PlainSelection(cursor));
        return data;
    }

    void keyPressEvent(QKeyEvent* event) override {
        if (!OpenContextMenuByKey(*this, *event)) QPlainTextEdit::keyPressEvent(event);
    }
};

}  // namespace

std::int64_t ResultsLog::DefaultCapacity() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    std::int64_t budget =
        pages > 0 && pageSize > 0 ? static_cast<std::int64_t>(pages) * pageSize / 4 : std::int64_t(1) << 30;
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        budget = std::min(budget, static_cast<std::int64_t>(limit.rlim_cur / 2));
    return std::max<std::int64_t>(budget / BytesPerLine, 1);
}

ResultsLog::ResultsLog(QWidget* parent) : edit_(new LogEdit(parent)), capacity_(DefaultCapacity()) {
    edit_->setObjectName(QStringLiteral("RichEdit1"));
    edit_->setReadOnly(true);
    edit_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    edit_->setUndoRedoEnabled(false);
    edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    edit_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    for (const Verdict verdict : {Verdict::Ok, Verdict::Warning, Verdict::Error}) {
        QTextCharFormat& format = markerFormats_[Index(verdict)];
        format.setFontWeight(QFont::Bold);
        format.setForeground(kMarkerColours[Index(verdict)]);
    }
    appendCursor_ = QTextCursor(edit_->document());
}

void ResultsLog::Clear() {
    Flush();
    edit_->clear();
    edit_->setUndoRedoEnabled(false);
    appendCursor_ = QTextCursor(edit_->document());
    length_ = 0;
    lines_ = 0;
    newestLineStart_ = -1;
}

std::int64_t ResultsLog::Append(Verdict verdict, std::int64_t number, const QString& text) {
    if (lines_ >= capacity_) throw Failure("RichEdit line insertion error");
    // The marker's fourth character, the blank, is plain like the rest.
    QString rest = QString::number(number);
    rest.prepend(u' ');
    rest += u' ';
    rest += text;

    const std::int64_t start = length_;
    const std::int64_t length = 3 + rest.size();
    if (paintingSuspended_ && !editBlockOpen_) {
        appendCursor_.beginEditBlock();
        editBlockOpen_ = true;
        linesInEditBlock_ = 0;
        editBlockAge_.start();
    }
    // The append always goes to the end, wherever the user left the caret.
    const std::string_view marker = MarkerText(verdict);
    appendCursor_.insertText(QString::fromLatin1(marker.data(), static_cast<qsizetype>(marker.size())),
                             markerFormats_[Index(verdict)]);
    appendCursor_.insertText(rest, plainFormat_);
    appendCursor_.block().setUserState(Index(verdict));
    appendCursor_.insertBlock(QTextBlockFormat(), plainFormat_);
    if (appendCursor_.position() != start + length + 1) throw Failure("RichEdit line insertion error");
    length_ = start + length + 1;
    ++lines_;
    newestLineStart_ = start;

    // The document's layout, and so the log's repaint, follows a few times
    // a second, however fast the lines come.
    if (editBlockOpen_ && ++linesInEditBlock_ >= LinesPerEditBlock && editBlockAge_.elapsed() >= EditBlockMilliseconds)
        Flush();
    if (!paintingSuspended_) MoveCaret(static_cast<int>(start));
    return start;
}

Verdict ResultsLog::VerdictOf(int index) const {
    const int state = edit_->document()->findBlockByNumber(index).userState();
    return state < 0 || state > 2 ? Verdict::Ok : static_cast<Verdict>(state);
}

void ResultsLog::SetPaintingSuspended(bool suspended) {
    if (suspended == paintingSuspended_) return;
    paintingSuspended_ = suspended;
    if (suspended) return;
    Flush();
    if (newestLineStart_ >= 0) MoveCaret(static_cast<int>(newestLineStart_));
}

void ResultsLog::Flush() {
    if (!editBlockOpen_) return;
    editBlockOpen_ = false;
    linesInEditBlock_ = 0;
    appendCursor_.endEditBlock();
}

void ResultsLog::MoveCaret(int position) {
    QTextCursor cursor(edit_->document());
    cursor.setPosition(std::clamp(position, 0, edit_->document()->characterCount() - 1));
    edit_->setTextCursor(cursor);
    edit_->ensureCursorVisible();
    // A scroll bar that the last lines brought in shrinks the view only when
    // the pending layout is done; scroll once more after it.
    if (!ensureVisiblePending_) {
        ensureVisiblePending_ = true;
        QTimer::singleShot(0, edit_, [this] {
            ensureVisiblePending_ = false;
            edit_->ensureCursorVisible();
        });
    }
}

void ResultsLog::JumpTo(int position) {
    Flush();
    QTextCursor cursor(edit_->document());
    cursor.movePosition(QTextCursor::End);
    edit_->setTextCursor(cursor);
    edit_->ensureCursorVisible();
    MoveCaret(position);
}

void ResultsLog::SelectCentred(int begin, int end) {
    Flush();
    const int last = edit_->document()->characterCount() - 1;
    QTextCursor cursor(edit_->document());
    cursor.setPosition(std::clamp(end, 0, last));
    cursor.setPosition(std::clamp(begin, 0, last), QTextCursor::KeepAnchor);
    edit_->setTextCursor(cursor);
    edit_->centerCursor();
}

void ResultsLog::WriteRtf(RtfWriter& writer) {
    Flush();
    QTextDocument* document = edit_->document();
    // The log's text and about twenty bytes of control words a line, so
    // that the document is not copied while it grows.
    writer.reserve(static_cast<qsizetype>(length_) + 24 * document->blockCount());
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        // Every log line ends with a line end; the empty line after the last
        // one is not a log line.
        if (!block.next().isValid() && block.length() <= 1) break;
        const int state = block.userState();
        writer.addLine(block.text(), state < 0 || state > 2 ? Marker::None : static_cast<Marker>(state + 1));
    }
}

}  // namespace corvala::ui
