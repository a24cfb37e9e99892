// The window beyond the line checks: the Checks menu and its findings in the
// list and the log, the outline dock, and opening files the way desktops
// do (the command line, a drop, the recent files, the dialogs' folders).
#include <QAction>
#include <QDockWidget>
#include <QDropEvent>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSettings>
#include <QUrl>
#include <QtTest>

#include "engine/input/lines.h"
#include "engine/run/block_at_line.h"
#include "ui/Application.h"
#include "ui/OutlineView.h"
#include "window_fixture.h"

using corvala::ui::TForm1;
using corvala::ui::testing::Harness;
using corvala::ui::testing::ScratchDir;

namespace {

QString CliData(const QString& name) { return QStringLiteral(CORVALA_CLI_DATA_DIR "/") + name; }

// The lines of a golden output of corvala-check.
QStringList Golden(const QString& name) {
    QByteArray bytes = ScratchDir::read(QStringLiteral(CORVALA_CLI_GOLDEN_DIR "/") + name);
    if (bytes.endsWith('\n')) bytes.chop(1);
    return QString::fromUtf8(bytes).split(u'\n');
}

QAction* Recent(TForm1& form, int index) { return form.Openrecent1->actions().value(index); }

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT

private slots:
    void init() { QSettings().clear(); }

    void menusInOrder();
    void checksGiveTheCheckersFindings_data();
    void checksGiveTheCheckersFindings();
    void checksAreRememberedAndOffLeaveTheClassicOutput();
    void warningLinesAreMarkedOrange();
    void outlineDockIsHiddenAtFirstAndRemembered();
    void outlineFollowsTheSelectionAndJumpsBack();
    void outlineShowsTheBlockAsTheRunAnalysedIt();
    void opensTheFileNamedAtStart();
    void opensADroppedFile();
    void recentFilesKeepTheLastTen();
    void dialogsStartInTheRightFolders();
};

void DesktopTest::menusInOrder() {
    Harness h;
    QStringList menus;
    for (QAction* action : h.form->MainMenu1->actions()) menus << action->text();
    QCOMPARE(menus, (QStringList{"&File", "&Checks", "&View", "&Help"}));
    QCOMPARE(h.form->Blockchecks1->text(), QString("&Block checks"));
    QCOMPARE(h.form->Extendedrecords1->text(), QString("&Extended records"));
    QCOMPARE(h.form->Classicrecords1->text(), QString("&Classic records"));
    QCOMPARE(h.form->Recordsbythefile1->text(), QString("Records by the &file"));
    for (QAction* check : {h.form->Blockchecks1, h.form->Extendedrecords1, h.form->Recordsbythefile1}) {
        QVERIFY(check->isCheckable());
        QVERIFY(!check->isChecked());
    }
    QVERIFY(h.form->Classicrecords1->isChecked());
    QVERIFY(h.form->File1->actions().contains(h.form->Openrecent1->menuAction()));
    QVERIFY(!h.form->Openrecent1->isEnabled());  // nothing opened yet
}

// With a check turned on the list holds, item for item, what corvala-check
// prints in its errors format, and the log what it prints in its log format.
void DesktopTest::checksGiveTheCheckersFindings_data() {
    QTest::addColumn<bool>("blocks");
    QTest::addColumn<bool>("extended");
    QTest::addColumn<QString>("errors");
    QTest::addColumn<QString>("log");
    QTest::newRow("block checks") << true << false << "blocks.errors"
                                  << "blocks.log";
    QTest::newRow("extended records") << false << true << "blocks-extended.errors"
                                      << "";
}

void DesktopTest::checksGiveTheCheckersFindings() {
    QFETCH(bool, blocks);
    QFETCH(bool, extended);
    QFETCH(QString, errors);
    QFETCH(QString, log);
    Harness h;
    h.open(CliData("blocks.txt"));
    const QStringList classic = h.items();
    // Turning a check on checks the open file again.
    (blocks ? h.form->Blockchecks1 : h.form->Extendedrecords1)->trigger();
    QCOMPARE(h.form->engine().Settings.blocks, blocks);
    QCOMPARE(h.form->engine().Settings.extended, extended);
    QCOMPARE(h.items(), Golden(errors));
    if (!log.isEmpty()) QCOMPARE(h.logLines(), Golden(log));
    // Each finding has the icon of its severity; turned off again, the
    // classic list comes back.
    for (int i = 0; i + 1 < h.form->ListBox1->count(); ++i)
        QVERIFY2(!h.form->ListBox1->item(i)->icon().isNull(), qPrintable(h.items()[i]));
    (blocks ? h.form->Blockchecks1 : h.form->Classicrecords1)->trigger();
    QCOMPARE(h.items(), classic);
    QVERIFY(h.form->ListBox1->item(0)->icon().isNull());
}

void DesktopTest::checksAreRememberedAndOffLeaveTheClassicOutput() {
    {
        Harness h;
        h.form->Blockchecks1->trigger();  // no file open: nothing to check
        QVERIFY(h.failures.isEmpty());
        QCOMPARE(h.form->ListBox1->count(), 0);
    }
    Harness h;
    QVERIFY(h.form->Blockchecks1->isChecked());
    QVERIFY(!h.form->Extendedrecords1->isChecked());
    QVERIFY(h.form->engine().Settings.blocks);
    h.form->Blockchecks1->trigger();
    h.form->Recordsbythefile1->trigger();
    {
        // The record set chosen comes back, and the file is judged by what
        // it declares: blocks.txt declares version 2.1.
        Harness byFile;
        QVERIFY(byFile.form->Recordsbythefile1->isChecked());
        QVERIFY(byFile.form->engine().Settings.byFile);
        byFile.open(CliData("blocks.txt"));
        QVERIFY(byFile.form->engine().FileSettings.extended);
        QVERIFY(byFile.items().join('\n').contains("[record-set]"));
        byFile.form->Classicrecords1->trigger();
    }
    Harness next;
    QVERIFY(!next.form->engine().Settings.blocks);
    QVERIFY(!next.form->engine().Settings.byFile);
    next.open(CliData("blocks.txt"));
    QCOMPARE(next.items().last(), QString("   *** 3 errors found"));
}

void DesktopTest::warningLinesAreMarkedOrange() {
    Harness h;
    h.form->Blockchecks1->trigger();
    h.open(CliData("blocks.txt"));
    QTextDocument* document = h.form->RichEdit1->document();
    // Line 29 has a warning only, line 4 an error; the markers keep their
    // three characters.
    const struct {
        int line;
        QString marker;
        QColor colour;
    } cases[] = {{29, "wrn", QColor(255, 128, 0)}, {4, "err", QColor(255, 0, 0)}, {5, " ok", QColor(0, 128, 0)}};
    for (const auto& c : cases) {
        const QTextBlock block = document->findBlockByNumber(c.line - 1);
        QCOMPARE(block.text().left(3), c.marker);
        QTextCursor cursor(block);
        cursor.setPosition(block.position() + 1);
        QVERIFY(cursor.charFormat().fontWeight() >= QFont::Bold);
        QCOMPARE(cursor.charFormat().foreground().color(), c.colour);
    }
}

void DesktopTest::outlineDockIsHiddenAtFirstAndRemembered() {
    {
        Harness h;
        QVERIFY(h.form->OutlineDock->isHidden());
        QCOMPARE(h.form->Outline1->text(), QString("&Outline"));
        QVERIFY(h.form->View1->actions().contains(h.form->Outline1));
        h.form->show();
        h.form->Outline1->trigger();
        QVERIFY(h.form->OutlineDock->isVisible());
    }
    Harness h;
    h.form->show();
    QVERIFY(h.form->OutlineDock->isVisible());
}

void DesktopTest::outlineFollowsTheSelectionAndJumpsBack() {
    Harness h;
    h.form->show();
    h.form->Blockchecks1->trigger();
    h.form->Outline1->trigger();
    h.open(CliData("blocks.txt"));
    // The second item is the two-point outline of the block at line 4.
    h.form->ListBox1->setCurrentRow(1);
    QCOMPARE(h.form->Outline->Block().firstLine, 4);
    QCOMPARE(h.form->Outline->MarkedFinding(), 0);
    // The caret on a line of another block shows that block.
    QTextCursor caret(h.form->RichEdit1->document()->findBlockByNumber(14 - 1));
    h.form->RichEdit1->setTextCursor(caret);
    QCOMPARE(h.form->Outline->Block().firstLine, 10);
    // A point clicked in the outline brings its line to the caret.
    emit h.form->Outline->lineActivated(8);
    QCOMPARE(h.form->RichEdit1->textCursor().blockNumber(), 8 - 1);
    QCOMPARE(h.form->Outline->Block().firstLine, 4);
    // The closing item is about no airspace: the view is empty.
    h.form->ListBox1->setCurrentRow(h.form->ListBox1->count() - 1);
    QVERIFY(!h.form->Outline->HasBlock());
}

// A clicked finding's block is the run's analysis, markers and all, not the
// block analysed again on its own: there the blocks before it would not
// lend it the arc points it needs (2 a byte, corvala::block_checks), and
// its geometry would go unchecked.
void DesktopTest::outlineShowsTheBlockAsTheRunAnalysedIt() {
    std::string points = "AC R\nAN Points\nAH FL95\nAL GND\n";
    for (int i = 0; i <= 40; ++i)
        points += "DP 45:" + std::to_string(i % 2 * 10 + 10) + ":00 N 009:" + std::to_string(i + 10) + ":00 E\n";
    std::string arcs = "AC R\nAN Arcs\nAH FL95\nAL GND\nV X=45:00:00 N 009:00:00 E\n";
    for (int i = 0; i < 13; ++i) arcs += "DA 1000,0,359\n";
    ScratchDir dir;
    Harness h;
    h.form->show();
    h.form->Blockchecks1->trigger();
    h.form->Outline1->trigger();
    h.open(dir.write("arcs.txt", QByteArray::fromStdString(points + arcs)));
    const int arcsAt = 4 + 41 + 1;
    const int item = static_cast<int>(h.items().indexOf(QRegularExpression("Line 52: .*self-touching.*")));
    QVERIFY(item >= 0);
    h.form->ListBox1->setCurrentRow(item);
    const corvala::BlockAnalysis& shown = h.form->Outline->Block();
    QCOMPARE(shown.firstLine, arcsAt);
    QVERIFY(shown.geometryChecked);
    const corvala::BlockAnalysis& run = h.form->RunBlocks()[h.form->RunBlocks().Find(52)];
    QCOMPARE(shown.outline.size(), run.outline.size());
    QCOMPARE(h.form->Outline->MarkedFinding(), 0);
    QCOMPARE(shown.findings.size(), run.findings.size());
    QCOMPARE(shown.findings[0].finding.line, 52);
    QCOMPARE(shown.findings[0].markers, run.findings[0].markers);
    QVERIFY(!shown.findings[0].markers.empty());

    const corvala::Lines lines(arcs);
    corvala::CheckSettings settings;
    settings.blocks = true;
    QVERIFY(!corvala::AnalyseBlockLines(std::vector<std::string_view>(lines.begin(), lines.end()), arcsAt, settings)
                 .geometryChecked);
}

void DesktopTest::opensTheFileNamedAtStart() {
    ScratchDir dir;
    const QString file = dir.write("start.txt", "AC X\n");
    Harness h;
    h.form->OpenAtStart({file, dir.write("other.txt", "AC Q\n")});
    QCOMPARE(h.form->ListBox1->count(), 0);  // once the event loop runs
    QTRY_COMPARE(h.form->windowTitle(), QString("Corvala - start.txt"));
    QCOMPARE(h.items().first(), QString("Line 1: AC returned error: Class type \"X\" unkown."));
    QCOMPARE(h.form->OpenDialogFileName(), file);
    QCOMPARE(h.form->RecentFiles(), QStringList{file});
}

void DesktopTest::opensADroppedFile() {
    ScratchDir dir;
    const QString file = dir.write("dropped.txt", "AC Q\n");
    Harness h;
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(file)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(h.form.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(h.form.get(), &drop);
    QTRY_COMPARE(h.form->windowTitle(), QString("Corvala - dropped.txt"));
    // Text without a file is not taken.
    QMimeData text;
    text.setText(QStringLiteral("AC Q"));
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    refused.setAccepted(false);
    QApplication::sendEvent(h.form.get(), &refused);
    QVERIFY(!refused.isAccepted());
}

void DesktopTest::recentFilesKeepTheLastTen() {
    ScratchDir dir;
    QStringList files;
    for (int i = 0; i < 12; ++i) files << dir.write(QStringLiteral("f%1.txt").arg(i), "AC Q\n");
    {
        Harness h;
        for (const QString& file : files) h.open(file);
        h.open(files[5]);  // opened again: moves to the top, once
        QStringList expected{files[5], files[11], files[10], files[9], files[8],
                             files[7], files[6],  files[4],  files[3], files[2]};
        QCOMPARE(h.form->RecentFiles(), expected);
        QCOMPARE(h.form->Openrecent1->actions().size(), 10);
        QCOMPARE(Recent(*h.form, 0)->text(), "&1 " + files[5]);
        QCOMPARE(Recent(*h.form, 9)->text(), "1&0 " + files[2]);
        // A file that cannot be opened is not remembered.
        h.open(dir.path("missing.txt"));
        QCOMPARE(h.failures.size(), 1);
        QCOMPARE(h.form->RecentFiles(), expected);
    }
    Harness h;
    QCOMPARE(h.form->RecentFiles().first(), files[5]);
    Recent(*h.form, 1)->trigger();
    QCOMPARE(h.form->windowTitle(), QString("Corvala - f11.txt"));
    QCOMPARE(h.form->RecentFiles().first(), files[11]);
}

void DesktopTest::dialogsStartInTheRightFolders() {
    ScratchDir dir;
    QVERIFY(QDir(dir.folder()).mkpath("data"));
    const QString file = dir.write("data/zone.txt", "AC Q\n");
    {
        Harness h;
        QVERIFY(h.form->OpenDialog1->nameFilters().contains("All Files(*)"));
        h.open(file);
        h.form->Saveerrors1Click();  // cancelled
        QCOMPARE(QDir(h.form->SaveDialog1->directory()).canonicalPath(), QDir(dir.folder() + "/data").canonicalPath());
    }
    Harness h;
    h.form->Open1Click();  // cancelled
    QCOMPARE(QDir(h.form->OpenDialog1->directory()).canonicalPath(), QDir(dir.folder() + "/data").canonicalPath());
}

CORVALA_UI_TEST_MAIN(DesktopTest)
#include "desktop_test.moc"
