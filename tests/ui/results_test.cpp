// The results log and the error list: line format and markers, attached
// positions, the jump, the two copies and the two saves, the log's
// capacity, characters that would break a line, long items, the keyboard's
// context menus.
#include <QApplication>
#include <QClipboard>
#include <QHelpEvent>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTextLayout>
#include <QToolTip>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include "ui/Application.h"
#include "ui/LineDecoding.h"
#include "ui/ResultsLog.h"
#include "window_fixture.h"

using corvala::test::FileSizeLimit;
using corvala::ui::testing::Harness;
using corvala::ui::testing::ScratchDir;

namespace {

struct CharLook {
    bool bold;
    QColor colour;  // invalid: the normal text colour
};

CharLook LookAt(QTextDocument* document, int position) {
    QTextCursor cursor(document);
    cursor.setPosition(position + 1);  // the format of the character before
    const QTextCharFormat format = cursor.charFormat();
    return {format.fontWeight() >= QFont::Bold,
            format.hasProperty(QTextFormat::ForegroundBrush) ? format.foreground().color() : QColor()};
}

// The text of the log line starting at `position`, or "<not a line start>".
QString LineAt(QTextDocument* document, int position) {
    const QTextBlock block = document->findBlock(position);
    if (!block.isValid() || block.position() != position) return QStringLiteral("<not a line start>");
    return block.text();
}

// True when the caret's line is in the middle of the log's view, or as near
// to it as the ends of the log let it be.
bool Centred(QPlainTextEdit* log) {
    const QScrollBar* bar = log->verticalScrollBar();
    const QRect caret = log->cursorRect();
    const int middle = log->viewport()->height() / 2;
    if (std::abs(caret.center().y() - middle) <= caret.height()) return true;
    return (bar->value() == bar->maximum() && caret.center().y() > middle) ||
           (bar->value() == 0 && caret.center().y() < middle);
}

QString RunUnrtf(const QString& format, const QString& file) {
    QProcess unrtf;
    unrtf.start(QStringLiteral("unrtf"), {QStringLiteral("--nopict"), QStringLiteral("--") + format, file});
    if (!unrtf.waitForFinished(30000) || unrtf.exitCode() != 0) return QStringLiteral("<unrtf failed>");
    // unrtf writes its text output in Latin-1, its HTML in ASCII.
    const QByteArray output = unrtf.readAllStandardOutput();
    return corvala::ui::DecodeLine(std::string_view(output.constData(), output.size()));
}

}  // namespace

class ResultsTest : public QObject {
    Q_OBJECT

private slots:
    void markers_data();
    void markers();
    void positions_data();
    void positions();
    void largeLogHasNoCapacityLimit();
    void twoErrorsBeforeOneFailingLine();
    void errorLineWithEmptyListAttachesNothing();
    void summaryItems_data();
    void summaryItems();
    void caretAfterRunAtNewestLine();
    void jumpCentresAndSelectsTheLine_data();
    void jumpCentresAndSelectsTheLine();
    void selectionTakesAByteSpan_data();
    void selectionTakesAByteSpan();
    void jumpByKeyboardAndMouse();
    void copyListItem_data();
    void copyListItem();
    void copyLogSelection();
    void saveErrors_data();
    void saveErrors();
    void saveNamesGetDefaultSuffixAndAreShared();
    void saveFailures_data();
    void saveFailures();
    void savedResultsReadBack();
    void failedWriteKeepsTheOldFile_data();
    void failedWriteKeepsTheOldFile();
    void saveNeverWritesOverTheOpenFile_data();
    void saveNeverWritesOverTheOpenFile();
    void fullLogEndsTheRunAndStaysUsable_data();
    void fullLogEndsTheRunAndStaysUsable();
    void lineBreakingCharactersStayInTheirLine_data();
    void lineBreakingCharactersStayInTheirLine();
    void largeSelectionIsCopiedAsPlainText_data();
    void largeSelectionIsCopiedAsPlainText();
    void longItemsScrollAndShowTheirText();
    void contextMenusFromTheKeyboard_data();
    void contextMenusFromTheKeyboard();
};

void ResultsTest::markers_data() {
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("ok") << true << " ok 7 AN Zone" << QColor(0, 128, 0);
    QTest::newRow("err") << false << "err 8 XY 1" << QColor(255, 0, 0);
}

void ResultsTest::markers() {
    QFETCH(bool, ok);
    QFETCH(QString, line);
    QFETCH(QColor, colour);
    Harness h;
    h.form->AddResultLine(1, "AC R", true);  // the line under test starts at 11
    h.form->AddError("message");
    h.form->AddResultLine(ok ? 7 : 8, ok ? "AN Zone" : "XY 1", ok);
    QTextDocument* document = h.form->RichEdit1->document();
    QCOMPARE(LineAt(document, 11), line);
    for (int i = 0; i < 3; ++i) {
        const CharLook look = LookAt(document, 11 + i);
        QVERIFY2(look.bold, qPrintable(QString::number(i)));
        QCOMPARE(look.colour, colour);
    }
    for (int i = 3; i < line.size(); ++i) {
        const CharLook look = LookAt(document, 11 + i);
        QVERIFY2(!look.bold, qPrintable(QString::number(i)));
        QVERIFY(!look.colour.isValid());
    }
    QCOMPARE(h.form->ItemPosition(0), ok ? 0 : 11);
}

void ResultsTest::positions_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("expected");  // the log's lines
    QTest::newRow("LF") << QByteArray("AC R\nXY 1\nAN Zone\nXY 2\n")
                        << QStringList{" ok 1 AC R", "err 2 XY 1", " ok 3 AN Zone", "err 4 XY 2",
                                       "err 2  errors found."};
    QTest::newRow("CR LF") << QByteArray("AC R\r\nXY 1\r\n\r\nXY 2\r\n")
                           << QStringList{" ok 1 AC R", "err 2 XY 1", " ok 3 ", "err 4 XY 2", "err 2  errors found."};
    QTest::newRow("CR") << QByteArray("XY 1\rAC R\rXY 3")
                        << QStringList{"err 1 XY 1", " ok 2 AC R", "err 3 XY 3", "err 2  errors found."};
    QTest::newRow("UTF-8") << QByteArray(
                                  "AN Z\xc3\xbcrich \xc3\x85lesund\nXY \xc3\xa9\xc3\xa9\nAN \xf0\x9f\x9b\xa9 x\nXY 4\n")
                           << QStringList{" ok 1 AN Zürich Ålesund", "err 2 XY éé",
                                          QString(" ok 3 AN ") + QChar(0xD83D) + QChar(0xDEE9) + " x", "err 4 XY 4",
                                          "err 2  errors found."};
    QTest::newRow("Windows-1252") << QByteArray("AN Z\xfcrich\nXY \xe9t\xe9\nAN \x80 5\nXY 4\n")
                                  << QStringList{" ok 1 AN Zürich", "err 2 XY été", " ok 3 AN € 5", "err 4 XY 4",
                                                 "err 2  errors found."};
}

void ResultsTest::positions() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, expected);
    ScratchDir dir;
    Harness h;
    h.open(dir.write("f.txt", file));
    QCOMPARE(h.logLines(), expected);
    // Each line start counts every earlier line and one position per line end.
    QList<int> errorStarts;
    int start = 0;
    for (const QString& line : expected) {
        if (line.startsWith(u"err")) errorStarts << start;
        start += line.size() + 1;
    }
    QCOMPARE(h.form->LogLength(), start);
    QList<int> attached;
    for (int i = 0; i < h.form->ListBox1->count(); ++i) attached << h.form->ItemPosition(i);
    QCOMPARE(attached, errorStarts);
}

void ResultsTest::largeLogHasNoCapacityLimit() {
    // Far beyond 64K characters: every line and every position is kept.
    QByteArray file;
    for (int i = 1; i <= 5000; ++i)
        file += i % 100 == 0 ? "XY 1 padding padding padding padding\n" : "AN Zone with a long enough name\n";
    ScratchDir dir;
    Harness h;
    h.open(dir.write("big.txt", file));
    QVERIFY(h.failures.isEmpty());
    QCOMPARE(h.form->ListBox1->count(), 51);
    QTextDocument* document = h.form->RichEdit1->document();
    QCOMPARE(document->blockCount(), 5002);
    QCOMPARE(LineAt(document, h.form->ItemPosition(49)), QString("err 5000 XY 1 padding padding padding padding"));
    QCOMPARE(LineAt(document, h.form->ItemPosition(50)), QString("err 50  errors found."));
    QVERIFY(h.form->LogLength() > 65536);
}

void ResultsTest::twoErrorsBeforeOneFailingLine() {
    Harness h;
    h.form->AddResultLine(1, "AC R", true);
    h.form->AddError("first");
    h.form->AddError("second");
    h.form->AddResultLine(2, "XY 1", false);
    QCOMPARE(h.form->ItemPosition(0), 0);
    QCOMPARE(h.form->ItemPosition(1), 11);
}

void ResultsTest::errorLineWithEmptyListAttachesNothing() {
    Harness h;
    h.form->AddResultLine(1, "XY 1", false);
    QCOMPARE(h.form->ListBox1->count(), 0);
    QCOMPARE(h.logLines(), QStringList{"err 1 XY 1"});
    QCOMPARE(LookAt(h.form->RichEdit1->document(), 0).colour, QColor(255, 0, 0));
}

void ResultsTest::summaryItems_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("lastItem");
    QTest::addColumn<bool>("tiedToLastLine");
    QTest::newRow("no errors") << QByteArray("AC R\n") << "   *** 0 errors found" << false;
    QTest::newRow("errors") << QByteArray("XY 1\nAC R\nXY 2\n") << "   *** 2 errors found" << true;
    QTest::newRow("empty file") << QByteArray("") << "   *** 0 errors found" << false;
}

void ResultsTest::summaryItems() {
    QFETCH(QByteArray, file);
    QFETCH(QString, lastItem);
    QFETCH(bool, tiedToLastLine);
    ScratchDir dir;
    Harness h;
    h.open(dir.write("f.txt", file));
    const int last = h.form->ListBox1->count() - 1;
    QCOMPARE(h.form->ListBox1->item(last)->text(), lastItem);
    const QTextBlock lastLine = h.form->RichEdit1->document()->lastBlock().previous();
    QCOMPARE(h.form->ItemPosition(last), tiedToLastLine ? lastLine.position() : 0);
}

void ResultsTest::caretAfterRunAtNewestLine() {
    QByteArray file;
    for (int i = 0; i < 300; ++i) file += "AC R\n";
    ScratchDir dir;
    Harness h;
    h.form->show();
    h.open(dir.write("f.txt", file));
    const QTextCursor caret = h.form->RichEdit1->textCursor();
    QCOMPARE(caret.block().text(), QString(" ok 0 No errors found."));
    QCOMPARE(caret.positionInBlock(), 0);
    QVERIFY(!caret.hasSelection());
    // The newest line is in view.
    QVERIFY(h.form->RichEdit1->viewport()->rect().contains(h.form->RichEdit1->cursorRect()));
    QVERIFY(h.form->RichEdit1->verticalScrollBar()->value() > 250);
}

// A finding's line is selected and brought to the middle of the view; an
// item about no line (the closing item) only brings its place into view.
void ResultsTest::jumpCentresAndSelectsTheLine_data() {
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("selected");  // the selected text, "" for none
    // The part at fault: the command word that has no check.
    QTest::newRow("early error") << 0 << "XY";
    QTest::newRow("middle error") << 1 << "XY";
    QTest::newRow("error in the last screenful") << 2 << "XY";
    QTest::newRow("summary item") << 3 << "";
}

void ResultsTest::jumpCentresAndSelectsTheLine() {
    QFETCH(int, item);
    QFETCH(QString, selected);
    QByteArray file;
    for (int i = 1; i <= 1000; ++i) file += (i == 10 || i == 500 || i == 998) ? "XY 1\n" : "AC R\n";
    ScratchDir dir;
    Harness h;
    h.form->show();
    h.open(dir.write("f.txt", file));
    const int position = h.form->ItemPosition(item);

    h.form->ListBox1->setCurrentRow(item);
    h.form->ListBox1Click();
    const QTextCursor caret = h.form->RichEdit1->textCursor();
    QCOMPARE(caret.block().position(), position);  // the caret in the item's line
    QCOMPARE(caret.selectedText(), selected);
    QVERIFY(Centred(h.form->RichEdit1));
    QCOMPARE(h.form->ListBox1->currentRow(), item);  // the selection stays in the list
}

// The part of a line at fault, in bytes of the file's line, is selected in
// the log's characters (a two-byte character before it counts once).
void ResultsTest::selectionTakesAByteSpan_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("begin");
    QTest::addColumn<int>("end");
    QTest::addColumn<QString>("selected");
    QTest::newRow("argument") << QByteArray("AN Zone X") << 3 << 7 << "Zone";
    QTest::newRow("after a two-byte character") << QByteArray("AN \xC3\xA9t\xC3\xA9 1") << 3 << 8 << QString::fromUtf8("\xC3\xA9t\xC3\xA9");
    QTest::newRow("past the end is cut") << QByteArray("AN Zone") << 5 << 99 << "ne";
    QTest::newRow("empty span: the caret only") << QByteArray("AN Zone") << 3 << 3 << "";
}

void ResultsTest::selectionTakesAByteSpan() {
    QFETCH(QByteArray, line);
    QFETCH(int, begin);
    QFETCH(int, end);
    QFETCH(QString, selected);
    ScratchDir dir;
    Harness h;
    h.form->show();
    h.open(dir.write("f.txt", "AC R\n" + line + "\n"));
    const int position = static_cast<int>(h.form->RichEdit1->document()->findBlockByNumber(1).position());
    h.form->SelectLine(position, 2, corvala::ui::TForm1::ByteSpan{std::size_t(begin), std::size_t(end)});
    QCOMPARE(h.form->RichEdit1->textCursor().selectedText(), selected);
    // Without a span, the whole log line.
    h.form->SelectLine(position, 2);
    QCOMPARE(h.form->RichEdit1->textCursor().selectedText(), h.form->RichEdit1->document()->findBlockByNumber(1).text());
}

void ResultsTest::jumpByKeyboardAndMouse() {
    QByteArray file;
    for (int i = 1; i <= 400; ++i) file += (i == 20 || i == 200) ? "XY 1\n" : "AC R\n";
    ScratchDir dir;
    Harness h;
    h.form->show();
    h.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
    h.open(dir.write("f.txt", file));
    QListWidget* list = h.form->ListBox1;
    QCOMPARE(h.form->RichEdit1->textCursor().block().text(), QString("err 2  errors found."));

    // A mouse click on the first item.
    list->setFocus();
    const QRect first = list->visualItemRect(list->item(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first.center());
    QCOMPARE(h.form->RichEdit1->textCursor().block().position(), h.form->ItemPosition(0));
    QVERIFY(Centred(h.form->RichEdit1));
    QCOMPARE(QApplication::focusWidget(), list);  // the focus stays in the list

    // The arrow key selects the next item and jumps to its line.
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(list->currentRow(), 1);
    QCOMPARE(h.form->RichEdit1->textCursor().block().position(), h.form->ItemPosition(1));
    QCOMPARE(h.form->RichEdit1->textCursor().selectedText(), QString("XY"));  // the part at fault
    QVERIFY(Centred(h.form->RichEdit1));

    // A new run fills the list without jumping: the caret ends at the last line.
    h.form->Revalidate1Click();
    QCOMPARE(h.form->RichEdit1->textCursor().block().text(), QString("err 2  errors found."));

    // Nothing selected: nothing moves.
    list->clearSelection();
    h.form->RichEdit1->moveCursor(QTextCursor::Start);
    h.form->ListBox1Click();
    QCOMPARE(h.form->RichEdit1->textCursor().position(), 0);
}

void ResultsTest::copyListItem_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("clipboard");
    QTest::newRow("error item") << 0 << "Line 3: XY not implemented.";
    QTest::newRow("summary item") << 1 << "   *** 1 errors found";
    QTest::newRow("nothing selected") << -1 << "left alone";
}

void ResultsTest::copyListItem() {
    QFETCH(int, row);
    QFETCH(QString, clipboard);
    ScratchDir dir;
    Harness h;
    h.open(dir.write("f.txt", "AC R\nAC Q\nXY 1\n"));
    QGuiApplication::clipboard()->setText(QStringLiteral("left alone"));
    h.form->ListBox1->setCurrentRow(row);
    h.form->Copy2Click();
    QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
}

void ResultsTest::copyLogSelection() {
    ScratchDir dir;
    Harness h;
    h.open(dir.write("f.txt", "AC R\nXY 1\n"));
    QTextCursor selection(h.form->RichEdit1->document());
    selection.setPosition(11);
    selection.setPosition(21, QTextCursor::KeepAnchor);
    h.form->RichEdit1->setTextCursor(selection);
    h.form->Copy1Click();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QCOMPARE(data->text(), QString("err 2 XY 1"));
    QVERIFY(data->hasHtml());
    QVERIFY2(data->html().contains("color:#ff0000"), qPrintable(data->html()));
}

void ResultsTest::saveErrors_data() {
    QTest::addColumn<QList<QByteArray>>("messages");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("no items") << QList<QByteArray>{} << QByteArray();
    QTest::newRow("a, b") << QList<QByteArray>{"a", "b"} << QByteArray("a\r\nb\r\n");
    // The message's own bytes, not the text the list shows.
    QTest::newRow("Windows-1252 bytes") << QList<QByteArray>{"Line 1: X\xfc not implemented."}
                                        << QByteArray("Line 1: X\xfc not implemented.\r\n");
    QTest::newRow("UTF-8 bytes") << QList<QByteArray>{"Line 2: \xc3\xa9 not implemented."}
                                 << QByteArray("Line 2: \xc3\xa9 not implemented.\r\n");
}

void ResultsTest::saveErrors() {
    QFETCH(QList<QByteArray>, messages);
    QFETCH(QByteArray, written);
    ScratchDir dir;
    Harness h;
    for (const QByteArray& message : messages) h.form->AddError(std::string_view(message.constData(), message.size()));
    const QString file = dir.write("errors.rtf", "old content");
    h.answers.push_back(file);
    h.form->Saveerrors1Click();
    QVERIFY(h.failures.isEmpty());
    QCOMPARE(ScratchDir::read(file), written);
}

void ResultsTest::saveNamesGetDefaultSuffixAndAreShared() {
    ScratchDir dir;
    Harness h;
    h.form->AddResultLine(1, "AC R", true);
    h.form->AddError("a");
    h.answers.push_back(dir.path("results"));
    h.form->Saveresults1Click();
    QVERIFY(QFile::exists(dir.path("results.rtf")));
    QVERIFY(!QFile::exists(dir.path("results")));

    // Save errors offers the same name; a name with a dot keeps it.
    h.answers.push_back(dir.path("errors.txt"));
    h.form->Saveerrors1Click();
    QCOMPARE(h.offeredNames, (QStringList{"", dir.path("results.rtf")}));
    QCOMPARE(h.dialogNames, (QStringList{"SaveDialog1", "SaveDialog1"}));
    QCOMPARE(ScratchDir::read(dir.path("errors.txt")), QByteArray("a\r\n"));

    h.answers.push_back(dir.path("errors"));
    h.form->Saveerrors1Click();
    QCOMPARE(ScratchDir::read(dir.path("errors.rtf")), QByteArray("a\r\n"));

    // Cancelled: nothing written, nothing reported.
    h.form->Saveresults1Click();
    QCOMPARE(ScratchDir::read(dir.path("errors.rtf")), QByteArray("a\r\n"));
    QVERIFY(h.failures.isEmpty());
}

void ResultsTest::saveFailures_data() {
    QTest::addColumn<bool>("results");
    QTest::addColumn<QString>("target");  // "@" stands for the scratch folder
    QTest::addColumn<QString>("message");
    QTest::newRow("results, missing folder") << true << "@/missing/out.rtf"
                                             << "Cannot create file \"@/missing/out.rtf\". No such file or directory";
    QTest::newRow("errors, missing folder") << false << "@/missing/out"
                                            << "Cannot create file \"@/missing/out.rtf\". No such file or directory";
    // "@/full.rtf" is a link to /dev/full. A save replaces a regular file
    // only: nothing is written into a device (a failed write keeps its own
    // message, failedWriteKeepsTheOldFile).
    QTest::newRow("results, full device") << true << "@/full.rtf"
                                          << "Cannot create file \"@/full.rtf\". It is a character device, not a "
                                             "regular file";
    QTest::newRow("errors, full device") << false << "@/full.rtf"
                                         << "Cannot create file \"@/full.rtf\". It is a character device, not a "
                                            "regular file";
    // Opening a FIFO for writing would wait for a reader for ever.
    QTest::newRow("results, FIFO") << true << "@/fifo.rtf"
                                   << "Cannot create file \"@/fifo.rtf\". It is a FIFO, not a regular file";
    QTest::newRow("errors, FIFO") << false << "@/fifo.rtf"
                                  << "Cannot create file \"@/fifo.rtf\". It is a FIFO, not a regular file";
}

void ResultsTest::saveFailures() {
    QFETCH(bool, results);
    QFETCH(QString, target);
    QFETCH(QString, message);
    ScratchDir dir;
    const QString folder = dir.folder();
    target.replace(u'@', folder);
    message.replace(u'@', folder);
    QFile::link(QStringLiteral("/dev/full"), dir.path("full.rtf"));
    QCOMPARE(::mkfifo(QFile::encodeName(dir.path("fifo.rtf")).constData(), 0600), 0);
    Harness h;
    h.open(dir.write("f.txt", "XY 1\n"));
    h.answers.push_back(target);
    results ? h.form->Saveresults1Click() : h.form->Saveerrors1Click();
    QCOMPARE(h.failures, QStringList{message});

    // Still usable: the same command to a good name works.
    h.answers.push_back(dir.path("good.rtf"));
    results ? h.form->Saveresults1Click() : h.form->Saveerrors1Click();
    QCOMPARE(h.failures.size(), 1);
    QVERIFY(ScratchDir::read(dir.path("good.rtf")).size() > 0);
}

void ResultsTest::savedResultsReadBack() {
    if (QStandardPaths::findExecutable(QStringLiteral("unrtf")).isEmpty()) QSKIP("unrtf is not installed");
    ScratchDir dir;
    Harness h;
    h.open(dir.write("f.txt", "AN back\\slash {braces}\nXY \xc3\xa9t\xc3\xa9\nAN Z\xfcrich\n"));
    h.answers.push_back(dir.path("results.txt"));  // RTF whatever the extension
    h.form->Saveresults1Click();
    QVERIFY(h.failures.isEmpty());
    QVERIFY(ScratchDir::read(dir.path("results.txt")).startsWith("{\\rtf1"));

    const QString text = RunUnrtf(QStringLiteral("text"), dir.path("results.txt"));
    const QStringList expected{" ok 1 AN back\\slash {braces}", "err 2 XY été", " ok 3 AN Zürich",
                               "err 1  errors found."};
    QStringList lines;
    for (const QString& line : text.split(u'\n'))
        if (!line.isEmpty() && !line.startsWith(u'#') && !line.startsWith(u'-')) lines << line;
    QCOMPARE(lines, expected);

    const QString html = RunUnrtf(QStringLiteral("html"), dir.path("results.txt"));
    QVERIFY2(html.contains(QRegularExpression("<b><font color=\"#008000\"> ok</font></b>")) ||
                 html.contains(QRegularExpression("<font color=\"#008000\"><b> ok</b></font>")),
             qPrintable(html));
    QVERIFY2(html.contains(QRegularExpression("<b><font color=\"#ff0000\">err</font></b>")) ||
                 html.contains(QRegularExpression("<font color=\"#ff0000\"><b>err</b></font>")),
             qPrintable(html));
}

// A disk that fills up during a save: the caller's message, the file saved
// before byte for byte as it was, and no temporary file left beside it.
void ResultsTest::failedWriteKeepsTheOldFile_data() {
    QTest::addColumn<bool>("results");
    QTest::addColumn<QString>("message");
    QTest::newRow("results") << true << "Failed to Save Stream";
    QTest::newRow("errors") << false << "Stream write error";
}

void ResultsTest::failedWriteKeepsTheOldFile() {
    QFETCH(bool, results);
    QFETCH(QString, message);
    QByteArray file;
    for (int i = 0; i < 300; ++i) file += "XY 1\n";
    ScratchDir dir;
    Harness h;
    h.open(dir.write("f.txt", file));
    const QByteArray old("{\\rtf1 the results saved before}");
    const QString target = dir.write("results.rtf", old);
    const QStringList before = dir.entries();
    {
        const FileSizeLimit full(1024);  // both saves write several times that
        h.answers.push_back(target);
        results ? h.form->Saveresults1Click() : h.form->Saveerrors1Click();
    }
    QCOMPARE(h.failures, QStringList{message});
    QCOMPARE(ScratchDir::read(target), old);
    QCOMPARE(dir.entries(), before);
}

// Saving over the airspace file that is open, by its name or another that
// leads to it, is refused before anything is written: the next Revalidate
// would check the saved results instead.
void ResultsTest::saveNeverWritesOverTheOpenFile_data() {
    QTest::addColumn<bool>("results");
    QTest::addColumn<QString>("name");  // the name the save is given
    for (const bool results : {true, false}) {
        const char* command = results ? "results" : "errors";
        QTest::addRow("%s, its own name", command) << results << "zone.txt";
        QTest::addRow("%s, a hard link", command) << results << "hard.txt";
        QTest::addRow("%s, a symbolic link", command) << results << "link.txt";
    }
}

void ResultsTest::saveNeverWritesOverTheOpenFile() {
    QFETCH(bool, results);
    QFETCH(QString, name);
    ScratchDir dir;
    const QByteArray text("AC R\nXY 1\n");
    const QString file = dir.write("zone.txt", text);
    QCOMPARE(::link(QFile::encodeName(file).constData(), QFile::encodeName(dir.path("hard.txt")).constData()), 0);
    QVERIFY(QFile::link(file, dir.path("link.txt")));
    Harness h;
    h.open(file);
    const QStringList log = h.logLines();
    const QStringList before = dir.entries();

    h.answers.push_back(dir.path(name));
    results ? h.form->Saveresults1Click() : h.form->Saveerrors1Click();
    QCOMPARE(h.failures,
             QStringList{"Cannot create file \"" + dir.path(name) + "\". It is the airspace file that is open"});
    QCOMPARE(ScratchDir::read(file), text);
    QCOMPARE(dir.entries(), before);
    QVERIFY(QFileInfo(dir.path("link.txt")).isSymLink());
    h.form->Revalidate1Click();
    QCOMPARE(h.logLines(), log);

    // Any other name is saved as before.
    h.answers.push_back(dir.path("other.rtf"));
    results ? h.form->Saveresults1Click() : h.form->Saveerrors1Click();
    QCOMPARE(h.failures.size(), 1);
    QVERIFY(!ScratchDir::read(dir.path("other.rtf")).isEmpty());
}

// The log holds a bounded number of lines: the line past it ends the run
// with the insertion failure, what came before stays, and the next run
// starts afresh.
void ResultsTest::fullLogEndsTheRunAndStaysUsable_data() {
    QTest::addColumn<int>("capacity");
    QTest::addColumn<QStringList>("kept");
    const QStringList lines{" ok 1 AC R", " ok 2 AC Q", "err 3 XY 1", " ok 4 AC P"};
    QTest::newRow("full among the file's lines") << 3 << lines.mid(0, 3);
    QTest::newRow("full before the closing line") << 4 << lines;
}

void ResultsTest::fullLogEndsTheRunAndStaysUsable() {
    QFETCH(int, capacity);
    QFETCH(QStringList, kept);
    ScratchDir dir;
    Harness h;
    h.form->Log().SetCapacity(capacity);
    h.open(dir.write("long.txt", "AC R\nAC Q\nXY 1\nAC P\n"));
    QCOMPARE(h.failures, QStringList{"RichEdit line insertion error"});
    QCOMPARE(h.logLines(), kept);
    QCOMPARE(h.form->ItemPosition(0), 22);  // the error item still points at its line
    QVERIFY(h.form->Panel1->isHidden());
    QVERIFY(!h.form->engine().Running());

    h.open(dir.write("short.txt", "AC R\nXY 2\n"));
    QCOMPARE(h.logLines(), (QStringList{" ok 1 AC R", "err 2 XY 2", "err 1  errors found."}));
    QCOMPARE(h.items(), (QStringList{"Line 2: XY not implemented.", "   *** 1 errors found"}));
    QCOMPARE(h.failures.size(), 1);
    h.answers.push_back(dir.path("results.rtf"));
    h.form->Saveresults1Click();
    QCOMPARE(h.failures.size(), 1);
    QCOMPARE(ScratchDir::read(dir.path("results.rtf")).count("\\par\n"), 3);
}

// Characters at which the text document, the RTF readers or the places a
// copy is pasted into would start a new line: each file line stays one log
// line and one RTF paragraph, the character shown as U+FFFD in both, so
// that nothing after it can pass for a result line of its own.
void ResultsTest::lineBreakingCharactersStayInTheirLine_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("U+2029 paragraph separator") << QByteArray("\xe2\x80\xa9");
    QTest::newRow("U+2028 line separator") << QByteArray("\xe2\x80\xa8");
    QTest::newRow("U+FDD0 noncharacter") << QByteArray("\xef\xb7\x90");
    QTest::newRow("U+FDD1 noncharacter") << QByteArray("\xef\xb7\x91");
    QTest::newRow("U+FDEF noncharacter") << QByteArray("\xef\xb7\xaf");
    QTest::newRow("U+FFFE noncharacter") << QByteArray("\xef\xbf\xbe");
    QTest::newRow("U+FFFF noncharacter") << QByteArray("\xef\xbf\xbf");
    QTest::newRow("U+10FFFF noncharacter") << QByteArray("\xf4\x8f\xbf\xbf");
    QTest::newRow("U+0085 next line") << QByteArray("\xc2\x85");
    QTest::newRow("vertical tab") << QByteArray("\x0b");
    QTest::newRow("form feed") << QByteArray("\x0c");
}

void ResultsTest::lineBreakingCharactersStayInTheirLine() {
    QFETCH(QByteArray, bytes);
    ScratchDir dir;
    Harness h;
    h.open(dir.write("f.txt", "AN a" + bytes + "err 9 XY 1\nXY 2\n"));
    const QString shown = QString(" ok 1 AN a") + QChar(0xFFFD) + "err 9 XY 1";
    QCOMPARE(h.logLines(), (QStringList{shown, "err 2 XY 2", "err 1  errors found."}));
    QTextDocument* document = h.form->RichEdit1->document();
    QCOMPARE(document->blockCount(), 4);
    QCOMPARE(document->firstBlock().layout()->lineCount(), 1);
    QCOMPARE(h.form->ItemPosition(0), shown.size() + 1);

    h.answers.push_back(dir.path("results.rtf"));
    h.form->Saveresults1Click();
    QVERIFY(h.failures.isEmpty());
    const QByteArray rtf = ScratchDir::read(dir.path("results.rtf"));
    QCOMPARE(rtf.count("\\par\n"), 3);
    QVERIFY2(rtf.contains("AN a\\u-3\\'3ferr 9 XY 1\\par\n"), rtf.constData());
}

// Copying a large part of the log gives its plain text only: the formatted
// copy of a million lines took half a minute and some 650 MB.
void ResultsTest::largeSelectionIsCopiedAsPlainText_data() {
    QTest::addColumn<int>("from");  // first selected line, -1: Select All
    QTest::addColumn<int>("to");  // the line whose end ends the selection
    constexpr int large = corvala::ui::ResultsLog::RichCopyLines;
    QTest::newRow("Select All") << -1 << 0;
    QTest::newRow("from the second line") << 1 << large + 1;
}

void ResultsTest::largeSelectionIsCopiedAsPlainText() {
    QFETCH(int, from);
    QFETCH(int, to);
    constexpr int count = corvala::ui::ResultsLog::RichCopyLines + 5;
    Harness h;
    h.form->SuspendLogPainting(true);  // as a run does: far faster
    QStringList lines;
    for (int i = 1; i <= count; ++i) {
        const bool ok = i % 7 != 0;
        h.form->AddResultLine(i, ok ? "AN Zone\xa0x" : "XY 1", ok);  // a no-break space, as a blank
        lines << QStringLiteral("%1 %2 %3").arg(ok ? " ok" : "err").arg(i).arg(ok ? "AN Zone x" : "XY 1");
    }
    h.form->SuspendLogPainting(false);
    QPlainTextEdit* log = h.form->RichEdit1;
    QString expected;
    if (from < 0) {
        log->selectAll();
        expected = lines.join(u'\n') + u'\n';
    } else {
        QTextCursor selection(log->document());
        selection.setPosition(log->document()->findBlockByNumber(from).position());
        const QTextBlock last = log->document()->findBlockByNumber(to);
        selection.setPosition(last.position() + last.length() - 1, QTextCursor::KeepAnchor);
        log->setTextCursor(selection);
        expected = lines.mid(from, to - from + 1).join(u'\n');
    }
    h.form->Copy1Click();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QCOMPARE(data->formats(), QStringList{"text/plain"});
    QCOMPARE(data->text(), expected);
}

// Every item shares one size; it is the widest item's, not the last one's,
// so that after a run the list scrolls to the end of a long message as it
// does during the run. An item the edge cuts off shows its text as a
// tooltip, one that fits shows none.
void ResultsTest::longItemsScrollAndShowTheirText() {
    ScratchDir dir;
    Harness h;
    h.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(h.form.get()));
    h.open(dir.write("f.txt", "AC " + QByteArray(200, 'Z') + "\nAC R\n"));
    QListWidget* list = h.form->ListBox1;
    QCOMPARE(list->count(), 2);
    const QString longText = list->item(0)->text();
    QVERIFY(longText.contains(QString(200, u'Z')));
    const int longWidth = list->fontMetrics().horizontalAdvance(longText);
    QVERIFY(longWidth > 2 * list->viewport()->width());
    QScrollBar* bar = list->horizontalScrollBar();
    QTRY_VERIFY(bar->maximum() > 0);
    QVERIFY2(
        bar->maximum() + list->viewport()->width() >= longWidth,
        qPrintable(QStringLiteral("%1 + %2 < %3").arg(bar->maximum()).arg(list->viewport()->width()).arg(longWidth)));

    for (int i = 0; i < list->count(); ++i)
        QCOMPARE(list->item(i)->data(Qt::ToolTipRole).toString(), list->item(i)->text());
    auto askTooltip = [list](int row) {
        const QPoint at = list->visualItemRect(list->item(row)).topLeft() + QPoint(20, 4);
        QHelpEvent help(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(list->viewport(), &help);
    };
    askTooltip(0);
    QVERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), longText);
    QToolTip::hideText();
    QTRY_VERIFY(!QToolTip::isVisible());  // it fades out
    askTooltip(1);  // "   *** 1 errors found" fits
    QVERIFY(!QToolTip::isVisible());
}

// The Menu key and Shift+F10 open the context menu of the log at the caret
// and that of the list at the current item.
void ResultsTest::contextMenusFromTheKeyboard_data() {
    QTest::addColumn<bool>("list");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("log, Shift+F10") << false << int(Qt::Key_F10) << int(Qt::ShiftModifier);
    QTest::newRow("log, Menu") << false << int(Qt::Key_Menu) << int(Qt::NoModifier);
    QTest::newRow("list, Shift+F10") << true << int(Qt::Key_F10) << int(Qt::ShiftModifier);
    QTest::newRow("list, Menu") << true << int(Qt::Key_Menu) << int(Qt::NoModifier);
}

void ResultsTest::contextMenusFromTheKeyboard() {
    QFETCH(bool, list);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QByteArray file;
    for (int i = 1; i <= 40; ++i) file += (i == 3 || i == 8) ? "XY 1\n" : "AC R\n";
    ScratchDir dir;
    Harness h;
    h.form->show();
    h.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
    h.open(dir.write("f.txt", file));

    QAbstractScrollArea* widget = list ? static_cast<QAbstractScrollArea*>(h.form->ListBox1) : h.form->RichEdit1;
    QMenu* menu = list ? h.form->PopupMenu2 : h.form->PopupMenu1;
    QRect target;  // where the menu must open, in the viewport
    if (list) {
        h.form->ListBox1->setCurrentRow(1);
        target = h.form->ListBox1->visualItemRect(h.form->ListBox1->item(1));
    } else {
        QTextCursor caret(h.form->RichEdit1->document());
        caret.setPosition(h.form->RichEdit1->document()->findBlockByNumber(4).position() + 3);
        h.form->RichEdit1->setTextCursor(caret);
        target = h.form->RichEdit1->cursorRect().adjusted(-2, 0, 2, 0);
    }
    target = target.intersected(widget->viewport()->rect());
    QVERIFY(!target.isEmpty());
    widget->setFocus();
    QVERIFY(!menu->isVisible());
    QTest::keyClick(widget, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QTRY_VERIFY(menu->isVisible());
    const QPoint at = widget->viewport()->mapFromGlobal(menu->pos());
    menu->hide();
    QVERIFY2(target.contains(at), qPrintable(QStringLiteral("(%1, %2) outside (%3, %4, %5 x %6)")
                                                 .arg(at.x())
                                                 .arg(at.y())
                                                 .arg(target.x())
                                                 .arg(target.y())
                                                 .arg(target.width())
                                                 .arg(target.height())));
}

CORVALA_UI_TEST_MAIN(ResultsTest)
#include "results_test.moc"
