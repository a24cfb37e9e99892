// The window as a place to work on a file: following it on disk, opening
// the editor at a line, the keyboard, the saved window state, the status
// bar and the empty window's hint, the closing line of a cancelled run, the
// Help menu.
#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QTextDocumentFragment>
#include <QMenu>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

#include <cstdio>

#include <sys/stat.h>

#include "ui/Application.h"
#include "ui/OutlineView.h"
#include "window_fixture.h"

using corvala::ui::TForm1;
using corvala::ui::testing::Harness;
using corvala::ui::testing::ScratchDir;

namespace {

// Waits long enough for the watcher and the quiet period.
constexpr int kFollowWait = 5000;

QString Message(const Harness& h) { return h.form->StatusBar1->currentMessage(); }

// A program that writes each of its arguments on a line of `out`.
QString ArgumentRecorder(const ScratchDir& dir, const QString& out) {
    const QString path = dir.write("record-arguments",
                                   "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + out.toUtf8() + "'\n");
    ::chmod(QFile::encodeName(path).constData(), 0755);
    return path;
}

void ActivateWindow(Harness& h) {
    h.form->show();
    h.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
}

}  // namespace

class WorkbenchTest : public QObject {
    Q_OBJECT

private slots:
    void init() { QSettings().clear(); }

    void followsTheFileOnDisk_data();
    void followsTheFileOnDisk();
    void followingKeepsTheLogWhereItWas();
    void editorArguments_data();
    void editorArguments();
    void suggestedEditorCommand_data();
    void suggestedEditorCommand();
    void opensTheEditorAtTheLine_data();
    void opensTheEditorAtTheLine();
    void editorCommandIsAskedOnce();
    void keys();
    void escapeCancelsARun();
    void windowStateIsRestored();
    void statusBarAndEmptyWindow();
    void cancelledRunSaysWhereItStopped_data();
    void cancelledRunSaysWhereItStopped();
    void helpMenu();
};

// A file changed on disk is checked again after a quiet period, whether
// written in place or replaced by rename; a removed file leaves the results.
void WorkbenchTest::followsTheFileOnDisk_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("following");
    QTest::addColumn<QString>("lastLine");
    QTest::addColumn<QString>("message");
    QTest::newRow("written in place") << "write" << true << "err 1  errors found." << "Checked again: the file changed.";
    QTest::newRow("replaced by rename") << "rename" << true << "err 1  errors found."
                                        << "Checked again: the file changed.";
    QTest::newRow("replaced twice") << "rename twice" << true << "err 1  errors found."
                                    << "Checked again: the file changed.";
    QTest::newRow("removed") << "remove" << true << " ok 0 No errors found."
                             << "The file zone.txt is gone; the results shown are those of the last check.";
    QTest::newRow("following turned off") << "write" << false << " ok 0 No errors found." << "";
}

void WorkbenchTest::followsTheFileOnDisk() {
    QFETCH(QString, change);
    QFETCH(bool, following);
    QFETCH(QString, lastLine);
    QFETCH(QString, message);
    ScratchDir dir;
    const QString file = dir.write("zone.txt", "AC R\n");
    Harness h;
    QVERIFY(h.form->Followfile1->isChecked());  // on at first
    if (!following) h.form->Followfile1->trigger();
    h.open(file);
    QCOMPARE(h.logLines().last(), QString(" ok 0 No errors found."));

    auto replace = [&](const QByteArray& bytes) {
        const QString temporary = dir.write("zone.txt.new", bytes);
        QCOMPARE(std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(file).constData()), 0);
    };
    if (change == "write") {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write("AC R\nAC Z\n");
    } else if (change == "rename") {
        replace("AC R\nAC Z\n");
    } else if (change == "rename twice") {
        // The second save goes to the file that replaced the first.
        replace("AC R\nAC Q\n");
        QTRY_COMPARE_WITH_TIMEOUT(h.logLines().size(), 3, kFollowWait);
        h.form->StatusBar1->clearMessage();
        replace("AC R\nAC Z\n");
    } else {
        QVERIFY(QFile::remove(file));
    }
    if (following) {
        QTRY_COMPARE_WITH_TIMEOUT(Message(h), message, kFollowWait);
    } else {
        QTest::qWait(3 * TForm1::QuietMilliseconds);
    }
    QCOMPARE(h.logLines().last(), lastLine);
    QVERIFY(h.failures.isEmpty());
    QCOMPARE(h.dialogNames.size(), 1);  // no dialog
}

// After the check again the log shows the lines it showed before.
void WorkbenchTest::followingKeepsTheLogWhereItWas() {
    QByteArray text;
    for (int i = 0; i < 600; ++i) text += "AC R\n";
    ScratchDir dir;
    const QString file = dir.write("long.txt", text);
    Harness h;
    h.form->show();
    h.open(file);
    QScrollBar* bar = h.form->RichEdit1->verticalScrollBar();
    QTest::qWait(50);  // the log's last scroll after the run
    bar->setValue(250);
    dir.write("long.txt", text + "AC Z\n");
    QTRY_COMPARE_WITH_TIMEOUT(h.logLines().size(), 602, kFollowWait);
    QCOMPARE(bar->value(), 250);
    QTest::qWait(50);  // what the log does after the run
    QCOMPARE(bar->value(), 250);
}

void WorkbenchTest::editorArguments_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("line and file") << "vim +%l %f" << QStringList{"vim", "+12", "/a b/z.txt"};
    QTest::newRow("joined") << "code --goto %f:%l" << QStringList{"code", "--goto", "/a b/z.txt:12"};
    QTest::newRow("no %f: the path appended") << "kate" << QStringList{"kate", "/a b/z.txt"};
    QTest::newRow("quoted program") << "\"/opt/my editor/ed\" -l %l %f"
                                    << QStringList{"/opt/my editor/ed", "-l", "12", "/a b/z.txt"};
    QTest::newRow("percent signs") << "ed %% %x %f" << QStringList{"ed", "%", "%x", "/a b/z.txt"};
    QTest::newRow("empty: the desktop") << "  " << QStringList{};
}

void WorkbenchTest::editorArguments() {
    QFETCH(QString, command);
    QFETCH(QStringList, arguments);
    QCOMPARE(TForm1::EditorArguments(command, "/a b/z.txt", 12), arguments);
}

void WorkbenchTest::suggestedEditorCommand_data() {
    QTest::addColumn<QString>("visual");
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QString>("command");
    QTest::newRow("terminal editor") << "" << "vim" << "x-terminal-emulator -e vim +%l %f";
    QTest::newRow("by path, with options") << "" << "/usr/bin/nano -w" << "x-terminal-emulator -e /usr/bin/nano -w +%l %f";
    QTest::newRow("VISUAL first") << "gedit" << "vim" << "gedit +%l %f";
    QTest::newRow("unknown VISUAL, known EDITOR") << "myedit" << "kate" << "kate --line %l %f";
    QTest::newRow("unknown: the desktop") << "myedit" << "" << "";
    QTest::newRow("none") << "" << "" << "";
}

void WorkbenchTest::suggestedEditorCommand() {
    QFETCH(QString, visual);
    QFETCH(QString, editor);
    QFETCH(QString, command);
    QCOMPARE(TForm1::SuggestedEditorCommand(visual, editor), command);
}

// The context-menu item of the log and of the list starts the command with
// the file and the line; an item about no line has it disabled.
void WorkbenchTest::opensTheEditorAtTheLine_data() {
    QTest::addColumn<bool>("fromList");
    QTest::addColumn<int>("row");  // log line or list item
    QTest::addColumn<QStringList>("arguments");  // empty: the item is disabled
    QTest::newRow("log line") << false << 1 << QStringList{"--line", "2"};
    QTest::newRow("list item") << true << 1 << QStringList{"--line", "3"};
    QTest::newRow("closing line") << false << 3 << QStringList{};
    QTest::newRow("closing item") << true << 2 << QStringList{};
}

void WorkbenchTest::opensTheEditorAtTheLine() {
    QFETCH(bool, fromList);
    QFETCH(int, row);
    QFETCH(QStringList, arguments);
    ScratchDir dir;
    const QString out = dir.path("arguments.txt");
    const QString file = dir.write("my zone.txt", "AC R\nAC Z\nAC Y\n");
    Harness h;
    h.form->show();
    h.form->SetEditorCommand('"' + ArgumentRecorder(dir, out) + "\" --line %l %f");
    h.open(file);
    QAction* item = fromList ? h.form->Openineditor2 : h.form->Openineditor1;
    QMenu* menu = fromList ? h.form->PopupMenu2 : h.form->PopupMenu1;
    if (fromList) {
        const QRect rect = h.form->ListBox1->visualItemRect(h.form->ListBox1->item(row));
        emit h.form->ListBox1->customContextMenuRequested(rect.center());
    } else {
        QTextCursor cursor(h.form->RichEdit1->document()->findBlockByNumber(row));
        h.form->RichEdit1->setTextCursor(cursor);
        emit h.form->RichEdit1->customContextMenuRequested(h.form->RichEdit1->cursorRect().center());
    }
    QVERIFY(menu->isVisible());
    menu->hide();
    QCOMPARE(item->isEnabled(), !arguments.isEmpty());
    if (arguments.isEmpty()) return;
    item->trigger();
    const QString expected = (arguments << file).join(u'\n') + u'\n';
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(ScratchDir::read(out)), expected, 5000);
    QVERIFY(h.failures.isEmpty());
}

// The first use asks for the command, offering what $VISUAL or $EDITOR
// suggest; an empty command hands the file to the desktop.
void WorkbenchTest::editorCommandIsAskedOnce() {
    qputenv("VISUAL", "");
    qputenv("EDITOR", "nvim");
    ScratchDir dir;
    Harness h;
    QStringList offered;
    std::optional<QString> answer;
    h.form->AskEditorCommand = [&](const QString& suggested) {
        offered << suggested;
        return answer;
    };
    QStringList handed;
    h.form->OpenWithDesktop = [&](const QString& path) {
        handed << path;
        return true;
    };
    const QString file = dir.write("z.txt", "AC R\n");
    QVERIFY(!h.form->OpenInEditor(file, 1));  // cancelled: nothing set, nothing started
    QVERIFY(!h.form->EditorCommandSet());
    answer = QString();
    QVERIFY(h.form->OpenInEditor(file, 1));
    QVERIFY(h.form->OpenInEditor(file, 1));  // not asked again
    QCOMPARE(offered, QStringList(2, "x-terminal-emulator -e nvim +%l %f"));
    QCOMPARE(handed, QStringList(2, file));
    // File > Editor command offers the command set.
    h.form->SetEditorCommand("gedit +%l %f");
    answer = std::nullopt;
    h.form->Editorcommand1->trigger();
    QCOMPARE(offered.last(), QString("gedit +%l %f"));
    QCOMPARE(h.form->EditorCommand(), QString("gedit +%l %f"));
    // A command that cannot start is reported.
    h.form->SetEditorCommand(dir.path("no-such-editor"));
    QVERIFY(!h.form->OpenInEditor(file, 1));
    QCOMPARE(h.failures.size(), 1);
}

void WorkbenchTest::keys() {
    ScratchDir dir;
    const QString file = dir.write("zone.txt", "AC R\n");
    Harness h;
    ActivateWindow(h);
    // Ctrl+O asks the open dialog; F5 and Ctrl+R check again without one.
    h.answers.push_back(file);
    QTest::keyClick(h.form.get(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(h.dialogNames, QStringList{"OpenDialog1"});
    dir.write("zone.txt", "AC R\nAC Z\n");
    QTest::keyClick(h.form.get(), Qt::Key_F5);
    QCOMPARE(h.logLines().size(), 3);
    dir.write("zone.txt", "AC Z\n");
    QTest::keyClick(h.form.get(), Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(h.logLines().size(), 2);
    QCOMPARE(h.dialogNames.size(), 1);
    // Ctrl+Shift+O shows the recent files.
    QTest::keyClick(h.form.get(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    QTRY_VERIFY(h.form->Openrecent1->isVisible());
    h.form->Openrecent1->hide();
    // F6 goes round the log, the list and the outline (when shown), Shift+F6 back.
    h.form->Outline1->trigger();
    h.form->RichEdit1->setFocus();
    const QList<QWidget*> order{h.form->ListBox1, h.form->Outline, h.form->RichEdit1};
    for (QWidget* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), h.form->Outline);
    // Every File item has an access key of its own.
    QStringList keys;
    for (QAction* action : h.form->File1->actions()) {
        const qsizetype amp = action->text().indexOf(u'&');
        if (amp >= 0) keys << action->text().mid(amp + 1, 1).toLower();
    }
    QCOMPARE(keys.size(), 8);
    QCOMPARE(QSet<QString>(keys.begin(), keys.end()).size(), keys.size());
    // Ctrl+Q closes the window.
    QTest::keyClick(h.form.get(), Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!h.form->isVisible());
}

void WorkbenchTest::escapeCancelsARun() {
    QByteArray text;
    for (int i = 0; i < 3000; ++i) text += "AC R\n";
    ScratchDir dir;
    Harness h;
    ActivateWindow(h);
    QTimer::singleShot(0, h.form.get(), [&] { QTest::keyClick(h.form.get(), Qt::Key_Escape); });
    h.open(dir.write("long.txt", text));
    QVERIFY(h.items().contains("*** Validation CANCELLED ***"));
    // Outside a run Esc does nothing to the next one.
    QTest::keyClick(h.form.get(), Qt::Key_Escape);
    h.form->Revalidate1Click();
    QVERIFY(!h.items().contains("*** Validation CANCELLED ***"));
}

// Size, position, docks and splitter come back; the first start takes a
// good share of the screen with the list at a quarter.
void WorkbenchTest::windowStateIsRestored() {
    QSize size;
    int list = 0;
    {
        Harness h;
        h.form->RestoreWindowState();
        h.form->show();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(h.form->width() >= screen.width() / 2);
        QVERIFY(h.form->height() >= screen.height() / 2);
        const int panes = h.form->Splitter1->height();
        QVERIFY(std::abs(h.form->ListBox1->height() - panes / 4) <= 4);
        h.form->resize(700, 500);
        h.form->Outline1->trigger();
        h.form->Splitter1->setSizes({100, 1000});
        size = h.form->size();
        list = h.form->ListBox1->height();
        h.form->close();
    }
    Harness h;
    h.form->RestoreWindowState();
    h.form->show();
    QCOMPARE(h.form->size(), size);
    QCOMPARE(h.form->ListBox1->height(), list);
    QVERIFY(h.form->OutlineDock->isVisible());
}

void WorkbenchTest::statusBarAndEmptyWindow() {
    Harness h;
    QVERIFY(h.form->RichEdit1->document()->isEmpty());
    QVERIFY(h.form->RichEdit1->placeholderText().contains("Open"));
    QVERIFY(h.form->RichEdit1->placeholderText().contains("drop"));
    ScratchDir dir;
    h.form->Blockchecks1->trigger();
    h.open(dir.write("zone.txt", "AC X\nAN Zone\nAL 100\nAH FL50\n"));
    QCOMPARE(h.form->StatusFile->text(), QString("zone.txt"));
    QCOMPARE(h.form->StatusLines->text(), QString("4 lines"));
    QCOMPARE(QTextDocumentFragment::fromHtml(h.form->StatusCounts->text()).toPlainText(),
             QString("2 errors, 0 warnings, 1 note"));
    // Revalidate before any Open still reports and clears the counts.
    Harness fresh;
    fresh.form->Revalidate1Click();
    QCOMPARE(fresh.failures.size(), 1);
    QVERIFY(fresh.form->StatusCounts->text().isEmpty());
}

// With the new checks on, the closing line of a cancelled run says so and
// where it stopped; the classic closing line stays as it was.
void WorkbenchTest::cancelledRunSaysWhereItStopped_data() {
    QTest::addColumn<bool>("blocks");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("lastLine");
    QTest::newRow("block checks") << true << QByteArray("XY 1\n\nAC R\nAC R\nAC R\n")
                                  << "err 0 Cancelled at line 1: 1 error, 0 warnings, 0 notes found so far.";
    // Nothing found yet: the closing line is marked all the same. Empty
    // lines are not where a run stops.
    QTest::newRow("nothing found") << true << QByteArray("* a comment\n\nAC R\nAC R\nAC R\n")
                                   << "wrn 0 Cancelled at line 3: 0 errors, 0 warnings, 0 notes found so far.";
    QTest::newRow("classic") << false << QByteArray("XY 1\n\nAC R\nAC R\nAC R\n") << "err 1  errors found.";
}

void WorkbenchTest::cancelledRunSaysWhereItStopped() {
    QFETCH(bool, blocks);
    QFETCH(QByteArray, file);
    QFETCH(QString, lastLine);
    ScratchDir dir;
    Harness h;
    if (blocks) h.form->Blockchecks1->trigger();
    QMetaObject::invokeMethod(h.form.get(), "Button5Click", Qt::QueuedConnection);
    h.open(dir.write("long.txt", file));
    QCOMPARE(h.logLines().last(), lastLine);
    const int stopped = h.logLines().size() - 1;  // the file's lines read
    QCOMPARE(Message(h), QString("Cancelled at line %1: the results are not complete.").arg(stopped));
    if (lastLine.contains("Cancelled")) QVERIFY(lastLine.contains(QString("line %1:").arg(stopped)));
    // A run that completes closes as before.
    h.form->Revalidate1Click();
    QVERIFY(!h.logLines().last().contains("Cancelled"));
    QVERIFY(Message(h).isEmpty());
}

void WorkbenchTest::helpMenu() {
    Harness h;
    QStringList captions;
    for (QAction* action : h.form->Help1->actions())
        if (!action->isSeparator()) captions << action->text();
    QCOMPARE(captions, (QStringList{"The &rules", "&Keyboard shortcuts", "&About Corvala"}));
    QStringList shown;
    h.form->ShowInformation = [&](const QString& title, const QString& text) { shown << title << text; };
    h.form->About1->trigger();
    QCOMPARE(shown.value(0), QString("About Corvala"));
    for (const QString& part : {QCoreApplication::applicationVersion(), QString("MIT"), QString(qVersion())})
        QVERIFY2(shown.value(1).contains(part), qPrintable(part));
    h.form->Shortcuts1->trigger();
    for (const QString& key : {"Ctrl+O", "F5", "Ctrl+R", "Ctrl+Q", "Esc", "F6", "Ctrl+Shift+O", "Home"})
        QVERIFY2(shown.value(3).contains(key), qPrintable(key));

    // The rules: the installed document goes to the desktop.
    QStringList handed;
    h.form->OpenWithDesktop = [&](const QString& path) {
        handed << path;
        return true;
    };
    ScratchDir data;
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", data.folder().toUtf8());
    h.form->Rules1->trigger();
    QCOMPARE(h.failures.size(), TForm1::RulesDocument().isEmpty() ? 1 : 0);
    QVERIFY(QDir(data.folder()).mkpath("corvala"));
    const QString rules = data.write("corvala/rules.md", "# Rules\n");
    h.form->Rules1->trigger();
    qputenv("XDG_DATA_HOME", saved);
    QVERIFY(!handed.isEmpty());
    QCOMPARE(handed.last(), rules);
}

CORVALA_UI_TEST_MAIN(WorkbenchTest)
#include "workbench_test.moc"
