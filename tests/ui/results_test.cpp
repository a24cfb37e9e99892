// The results log and the error list: line format and markers, attached
// positions, the jump, the two copies and the two saves.
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QtTest>

#include "ui/Application.h"
#include "ui/LineDecoding.h"
#include "window_fixture.h"

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
    void jumpBringsLineToTop_data();
    void jumpBringsLineToTop();
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

void ResultsTest::jumpBringsLineToTop_data() {
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("expectedTopLine");  // 0-based line at the top, -1: the view stays at the end
    QTest::newRow("early error") << 0 << 9;
    QTest::newRow("middle error") << 1 << 499;
    QTest::newRow("error in the last screenful") << 2 << -1;
    QTest::newRow("summary item") << 3 << -1;
}

void ResultsTest::jumpBringsLineToTop() {
    QFETCH(int, item);
    QFETCH(int, expectedTopLine);
    QByteArray file;
    for (int i = 1; i <= 1000; ++i) file += (i == 10 || i == 500 || i == 998) ? "XY 1\n" : "AC R\n";
    ScratchDir dir;
    Harness h;
    h.form->show();
    h.open(dir.write("f.txt", file));
    QScrollBar* bar = h.form->RichEdit1->verticalScrollBar();
    const int position = h.form->ItemPosition(item);

    h.form->ListBox1->setCurrentRow(item);
    h.form->ListBox1Click();
    const QTextCursor caret = h.form->RichEdit1->textCursor();
    QCOMPARE(caret.position(), position);
    QVERIFY(!caret.hasSelection());
    QCOMPARE(bar->value(), expectedTopLine < 0 ? bar->maximum() : expectedTopLine);
    QCOMPARE(h.form->ListBox1->currentRow(), item);  // the selection stays in the list
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
    QCOMPARE(h.form->RichEdit1->textCursor().position(), h.form->ItemPosition(0));
    QCOMPARE(h.form->RichEdit1->verticalScrollBar()->value(), 19);
    QCOMPARE(QApplication::focusWidget(), list);  // the focus stays in the list

    // The arrow key selects the next item and jumps to its line.
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(list->currentRow(), 1);
    QCOMPARE(h.form->RichEdit1->textCursor().position(), h.form->ItemPosition(1));
    QCOMPARE(h.form->RichEdit1->verticalScrollBar()->value(), 199);

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
    // "@/full.rtf" is a link to /dev/full: created fine, every write fails.
    QTest::newRow("results, full device") << true << "@/full.rtf"
                                          << "Failed to Save Stream";
    QTest::newRow("errors, full device") << false << "@/full.rtf"
                                         << "Stream write error";
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

CORVALA_UI_TEST_MAIN(ResultsTest)
#include "results_test.moc"
