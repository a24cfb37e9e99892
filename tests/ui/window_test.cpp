// The window and its commands: start-up state, Open, Revalidate, Cancel,
// Exit during a run, the failure report, the geometry, painting during a
// run, the file dialogs.
#include <QAction>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "engine/model/failures.h"
#include "engine/values/text.h"
#include "ui/Application.h"
#include "window_fixture.h"

using corvala::ui::testing::Harness;
using corvala::ui::testing::ScratchDir;

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void controlsAndCaptions_data();
    void controlsAndCaptions();
    void openShowsTheResult();
    void openCancelledDoesNothing();
    void revalidateRereadsTheFile();
    void revalidateBeforeOpenReportsAndStaysUsable();
    void cancelDuringRunEndsWithSummary();
    void cancelOutsideRunDoesNotReachNextRun();
    void progressPanelOnlyDuringRun();
    void exitDuringRunClosesAfterTheSummary();
    void openDuringRunSupersedesIt();
    void geometryAndMinimumSize();
    void regionalCommaStillReadsPointReals();
    void uncaughtFailureInEventIsReported();
    void resizeDuringRunRepaints();
    void closeDuringRunSaysWhenTheWindowCloses_data();
    void closeDuringRunSaysWhenTheWindowCloses();
    void saveDialogRefusesAMissingFolder();
    void fileDialogTakesItsCompletionAlong();
};

void WindowTest::controlsAndCaptions_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("keys");  // the platform's standard keys
    QTest::newRow("File1") << "File1Action"
                           << "&File"
                           << "";
    QTest::newRow("Open1") << "Open1"
                           << "&Open"
                           << "Ctrl+O";
    QTest::newRow("Saveresults1") << "Saveresults1"
                                  << "&Save results"
                                  << "";
    QTest::newRow("Saveerrors1") << "Saveerrors1"
                                 << "Save errors"
                                 << "";
    QTest::newRow("Exportmap1") << "Exportmap1"
                                << "Export &map..."
                                << "";
    QTest::newRow("Revalidate1") << "Revalidate1"
                                 << "&Revalidate"
                                 << "F5; Ctrl+R";
    QTest::newRow("Exit1") << "Exit1"
                           << "E&xit"
                           << "Ctrl+Q";
    QTest::newRow("Copy1") << "Copy1"
                           << "&Copy"
                           << "";
    QTest::newRow("Copy2") << "Copy2"
                           << "&Copy"
                           << "";
    QTest::newRow("Cancel1") << "Cancel1"
                             << "Cancel the check"
                             << "Esc";
    QTest::newRow("Openrecentkey1") << "Openrecentkey1"
                                    << "Open a recent file"
                                    << "Ctrl+Shift+O";
    QTest::newRow("Nextpane1") << "Nextpane1"
                               << "Next pane"
                               << "F6";
}

void WindowTest::controlsAndCaptions() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, keys);
    Harness h;
    auto* action = h.form->findChild<QAction*>(name);
    QVERIFY2(action, qPrintable(name));
    QCOMPARE(action->text(), caption);
    QCOMPARE(QKeySequence::listToString(action->shortcuts(), QKeySequence::PortableText), keys);
    QVERIFY(action->isEnabled());
}

void WindowTest::openShowsTheResult() {
    ScratchDir dir;
    const QString file = dir.write("zone.txt", "AC R\nXY 1\n");
    Harness h;
    h.open(file);
    QCOMPARE(h.dialogNames, QStringList{"OpenDialog1"});
    QCOMPARE(h.form->windowTitle(), QString("Corvala - zone.txt"));  // "/" separates the parts of a path
    QCOMPARE(h.logLines(), (QStringList{" ok 1 AC R", "err 2 XY 1", "err 1  errors found."}));
    QCOMPARE(h.items(), (QStringList{"Line 2: XY not implemented.", "   *** 1 errors found"}));
    QCOMPARE(h.form->engine().ErrorCount, 2);  // the summary line counts too
    QVERIFY(h.failures.isEmpty());
    QCOMPARE(h.form->OpenDialogFileName(), file);

    // The next Open offers the name chosen last.
    h.answers.push_back(std::nullopt);
    h.form->Open1Click();
    QCOMPARE(h.offeredNames.last(), file);
}

void WindowTest::openCancelledDoesNothing() {
    ScratchDir dir;
    const QString file = dir.write("a.txt", "AC R\n");
    Harness h;
    h.open(file);
    const QStringList before = h.logLines();
    h.answers.push_back(std::nullopt);
    h.form->Open1Click();
    QCOMPARE(h.logLines(), before);
    QCOMPARE(h.form->OpenDialogFileName(), file);
}

void WindowTest::revalidateRereadsTheFile() {
    ScratchDir dir;
    const QString file = dir.write("zone.txt", "AC R\n");
    Harness h;
    h.open(file);
    QCOMPARE(h.logLines(), (QStringList{" ok 1 AC R", " ok 0 No errors found."}));
    dir.write("zone.txt", "AC R\nAC Z\n");
    h.form->Revalidate1Click();
    QCOMPARE(h.dialogNames.size(), 1);  // no dialog
    QCOMPARE(h.logLines(), (QStringList{" ok 1 AC R", "err 2 AC Z", "err 1  errors found."}));
    QCOMPARE(h.items(), (QStringList{"Line 2: AC returned error: Class type \"Z\" unkown.", "   *** 1 errors found"}));
}

void WindowTest::revalidateBeforeOpenReportsAndStaysUsable() {
    Harness h;
    h.form->Revalidate1Click();
    QCOMPARE(h.failures, QStringList{"Cannot open file \"\". No such file or directory"});
    QCOMPARE(h.form->windowTitle(), QString("Corvala - "));
    QVERIFY(h.logLines().isEmpty());
    QCOMPARE(h.form->ListBox1->count(), 0);
    QVERIFY(h.form->Panel1->isHidden());

    ScratchDir dir;
    h.open(dir.write("next.txt", "TO x\n"));
    QCOMPARE(h.logLines(), (QStringList{" ok 1 TO x", " ok 0 No errors found."}));
    QCOMPARE(h.failures.size(), 1);
}

void WindowTest::cancelDuringRunEndsWithSummary() {
    ScratchDir dir;
    const QString file = dir.write("long.txt", "XY 1\n\nAC R\nAC R\nAC R\n");
    Harness h;
    // Arrives with the first event processing, after line 1.
    QMetaObject::invokeMethod(h.form.get(), "Button5Click", Qt::QueuedConnection);
    h.open(file);
    QCOMPARE(h.logLines(), (QStringList{"err 1 XY 1", "err 1  errors found."}));
    QCOMPARE(h.items(),
             (QStringList{"Line 1: XY not implemented.", "*** Validation CANCELLED ***", "   *** 1 errors found"}));
    QCOMPARE(h.form->ItemPosition(1), 0);  // the cancellation item keeps 0
}

void WindowTest::cancelOutsideRunDoesNotReachNextRun() {
    ScratchDir dir;
    const QString file = dir.write("a.txt", "AC R\nAC Q\n");
    Harness h;
    h.form->Button5Click();
    h.open(file);
    QCOMPARE(h.items(), QStringList{"   *** 0 errors found"});
    QCOMPARE(h.logLines(), (QStringList{" ok 1 AC R", " ok 2 AC Q", " ok 0 No errors found."}));
}

void WindowTest::progressPanelOnlyDuringRun() {
    ScratchDir dir;
    const QString file = dir.write("a.txt", "AC R\nAC Q\nAC P\n");
    Harness h;
    h.form->show();
    QVERIFY(h.form->Panel1->isHidden());
    QList<std::pair<bool, int>> seen;
    QTimer probe;
    probe.setInterval(0);
    connect(&probe, &QTimer::timeout, this, [&] {
        seen.append({h.form->Panel1->isVisible(), h.form->ProgressBar1->value()});
    });
    probe.start();
    h.open(file);
    probe.stop();
    QVERIFY(!seen.isEmpty());
    QCOMPARE(seen.first(), std::make_pair(true, 33));
    QCOMPARE(seen.last().first, true);
    QVERIFY(h.form->Panel1->isHidden());
    QCOMPARE(h.form->ProgressBar1->value(), 100);
}

void WindowTest::exitDuringRunClosesAfterTheSummary() {
    ScratchDir dir;
    const QString file = dir.write("a.txt", "AC R\nAC Q\nAC X\n");
    Harness h;
    h.form->show();
    QMetaObject::invokeMethod(h.form.get(), "Exit1Click", Qt::QueuedConnection);
    h.open(file);
    QCOMPARE(h.logLines(), (QStringList{" ok 1 AC R", " ok 2 AC Q", "err 3 AC X", "err 1  errors found."}));
    QVERIFY(!h.form->isVisible());
    QVERIFY(!h.form->CloseRequested());
}

void WindowTest::openDuringRunSupersedesIt() {
    ScratchDir dir;
    const QString first = dir.write("first.txt", "XY 1\nXY 2\nXY 3\n");
    const QString second = dir.write("second.txt", "AC R\n");
    Harness h;
    h.answers.push_back(first);
    h.answers.push_back(second);
    QMetaObject::invokeMethod(h.form.get(), "Open1Click", Qt::QueuedConnection);
    h.form->Open1Click();
    QCOMPARE(h.form->windowTitle(), QString("Corvala - ") + QFileInfo(second).fileName());
    QCOMPARE(h.logLines(), (QStringList{" ok 1 AC R", " ok 0 No errors found."}));
    QCOMPARE(h.items(), QStringList{"   *** 0 errors found"});
    QVERIFY(h.form->Panel1->isHidden());
}

void WindowTest::geometryAndMinimumSize() {
    Harness h;
    h.form->show();
    // Below the menu bar 425 x 309: the log, the list and the status bar.
    QWidget* client = h.form->centralWidget();
    const int status = h.form->StatusBar1->height();
    const QSize design(425, 309 - status);
    QCOMPARE(client->size(), design);
    // The list keeps its design height at the bottom, the log takes the rest
    // above the splitter's handle (3 pixels, the design's gap).
    const int list = 309 - status - 109;
    QCOMPARE(h.form->RichEdit1->geometry(), QRect(0, 0, 425, list - 3));
    QCOMPARE(h.form->ListBox1->geometry(), QRect(0, list, 425, 109));
    QCOMPARE(h.form->Panel1->geometry(), QRect(64, 64, 289, 41));
    QCOMPARE(h.form->ProgressBar1->geometry(), QRect(8, 13, 193, 17));
    QCOMPARE(h.form->Button5->geometry(), QRect(208, 8, 75, 25));
    const QSize window = h.form->size();

    // Smaller than the design size is refused.
    h.form->resize(200, 150);
    QCOMPARE(h.form->size(), window);
    QCOMPARE(client->size(), design);

    // Larger: the log grows, the list keeps its height at the bottom, the
    // panel stays where it is.
    h.form->resize(h.form->width() + 175, h.form->height() + 91);
    QCOMPARE(client->size(), design + QSize(175, 91));
    QCOMPARE(h.form->RichEdit1->geometry(), QRect(0, 0, 600, list + 91 - 3));
    QCOMPARE(h.form->ListBox1->geometry(), QRect(0, list + 91, 600, 109));
    QCOMPARE(h.form->Panel1->geometry(), QRect(64, 64, 289, 41));

    // The splitter moves the boundary; the list keeps what it was given.
    h.form->Splitter1->setSizes({client->height() - 3 - 200, 200});
    QCOMPARE(h.form->ListBox1->height(), 200);
    h.form->resize(h.form->width(), h.form->height() + 50);
    QCOMPARE(h.form->ListBox1->height(), 200);
}

void WindowTest::regionalCommaStillReadsPointReals() {
    corvala::SetDecimalSeparator(',');
    ScratchDir dir;
    const QString file = dir.write("reals.txt", "DC 1.5\nV W=2.5\nDC 1,5\n");
    Harness h;
    QCOMPARE(corvala::DecimalSeparator(), '.');
    h.open(file);
    QCOMPARE(h.logLines(), (QStringList{" ok 1 DC 1.5", " ok 2 V W=2.5", "err 3 DC 1,5", "err 1  errors found."}));
}

void WindowTest::uncaughtFailureInEventIsReported() {
    Harness h;
    QTimer::singleShot(0, h.form.get(), [] { throw corvala::Failure("Something broke"); });
    QTimer::singleShot(0, h.form.get(), [] { throw std::runtime_error("plain failure"); });
    QCoreApplication::processEvents();
    QCOMPARE(h.failures, (QStringList{"Something broke", "plain failure"}));

    // The window still works afterwards.
    ScratchDir dir;
    h.open(dir.write("a.txt", "TC\n"));
    QCOMPARE(h.logLines(), (QStringList{" ok 1 TC", " ok 0 No errors found."}));
}

namespace {

// Counts the paint events a widget gets.
class PaintCounter final : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

}  // namespace

// A resize during a run repaints the log and the list at once: the run
// keeps their content from being laid out line by line, not their painting.
void WindowTest::resizeDuringRunRepaints() {
    QByteArray file;
    for (int i = 0; i < 2000; ++i) file += i % 50 == 0 ? "XY 1\n" : "AC R\n";
    ScratchDir dir;
    Harness h;
    h.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(h.form.get()));
    PaintCounter log(h.form->RichEdit1->viewport());
    PaintCounter list(h.form->ListBox1->viewport());
    bool resized = false;
    bool logPainted = false;
    bool listPainted = false;
    QTimer probe;
    probe.setInterval(0);
    connect(&probe, &QTimer::timeout, this, [&] {
        if (!h.form->engine().Running()) return;
        if (!resized) {
            resized = true;
            h.form->resize(h.form->width() + 80, h.form->height() + 60);
            log.paints = list.paints = 0;
            return;
        }
        logPainted = logPainted || log.paints > 0;
        listPainted = listPainted || list.paints > 0;
    });
    probe.start();
    h.open(dir.write("f.txt", file));
    probe.stop();
    QVERIFY(resized);
    QVERIFY(logPainted);
    QVERIFY(listPainted);
}

// Exit or the close box during a run: the progress panel says that the
// window closes when the check ends, Cancel stays and ends it sooner.
void WindowTest::closeDuringRunSaysWhenTheWindowCloses_data() {
    QTest::addColumn<bool>("exitCommand");
    QTest::newRow("Exit") << true;
    QTest::newRow("close box") << false;
}

void WindowTest::closeDuringRunSaysWhenTheWindowCloses() {
    QFETCH(bool, exitCommand);
    QByteArray file;
    for (int i = 0; i < 500; ++i) file += "AC R\n";
    ScratchDir dir;
    Harness h;
    h.form->show();
    QMetaObject::invokeMethod(h.form.get(), exitCommand ? "Exit1Click" : "close", Qt::QueuedConnection);
    QString notice;
    bool cancelShown = false;
    QTimer probe;
    probe.setInterval(0);
    connect(&probe, &QTimer::timeout, this, [&] {
        if (!h.form->engine().Running() || !h.form->CloseRequested() || !notice.isEmpty()) return;
        QLabel* label = h.form->Panel1->findChild<QLabel*>();
        if (label && label->isVisible() && h.form->Panel1->rect().contains(label->geometry())) notice = label->text();
        cancelShown = h.form->Button5->isVisible() && h.form->Button5->isEnabled();
        h.form->Button5->click();
    });
    probe.start();
    h.open(dir.write("f.txt", file));
    probe.stop();
    QCOMPARE(notice, QString("The window closes when the check ends."));
    QVERIFY(cancelShown);
    QVERIFY(h.items().contains("*** Validation CANCELLED ***"));
    QVERIFY(!h.form->isVisible());

    // Shown again, the window has its panel as before.
    h.form->show();
    QCOMPARE(h.form->Panel1->geometry(), QRect(64, 64, 289, 41));
    QVERIFY(!h.form->Panel1->findChild<QLabel*>()->isVisible());
}

// With the window's own dialog: a name in a folder that does not exist is
// refused while the dialog can still take another, which is then saved.
void WindowTest::saveDialogRefusesAMissingFolder() {
    ScratchDir dir;
    corvala::ui::TForm1 form;
    QStringList failures;
    form.ReportFailure = [&failures](const QString& message) { failures << message; };
    form.AddResultLine(1, "AC R", true);
    const QString missing = dir.path("no/such/x.rtf");
    int shown = 0;
    QTimer driver;
    driver.setInterval(10);
    connect(&driver, &QTimer::timeout, this, [&] {
        QFileDialog* dialog = form.SaveDialog1;
        if (!dialog->isVisible()) return;
        // As the user types a name: selectFile leaves alone a name field
        // that has the focus.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!name) return;
        name->setText(++shown == 1 ? missing : dir.path("good.rtf"));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    driver.start();
    form.Saveresults1Click();
    driver.stop();
    QCOMPARE(shown, 2);
    QCOMPARE(failures, QStringList{"Cannot create file \"" + missing + "\". No such file or directory"});
    QVERIFY(ScratchDir::read(dir.path("good.rtf")).startsWith("{\\rtf1"));
}

// The list of the Open dialog's name completion goes with the dialog.
void WindowTest::fileDialogTakesItsCompletionAlong() {
    corvala::ui::TForm1 form;
    form.ReportFailure = [](const QString& message) { QFAIL(qPrintable(message)); };
    QPointer<QWidget> popup;
    QTimer driver;
    driver.setInterval(10);
    connect(&driver, &QTimer::timeout, this, [&] {
        QFileDialog* dialog = form.OpenDialog1;
        if (!dialog->isVisible()) return;
        driver.stop();
        if (QCompleter* completer = dialog->findChild<QCompleter*>()) {
            popup = completer->popup();
            popup->show();
        }
        dialog->reject();
    });
    driver.start();
    form.Open1Click();
    QVERIFY(popup);
    QVERIFY(!popup->isVisible());
}

CORVALA_UI_TEST_MAIN(WindowTest)
#include "window_test.moc"
