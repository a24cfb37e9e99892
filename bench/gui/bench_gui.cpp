// Times the window on large files, on the offscreen platform unless another
// is asked for:
//   bench_gui [--lines N]... [FILE]...     (default: --lines 100000)
// For each input: the run until the log is shown (validate, fill the log and
// the list, one repaint), the jump to errors spread over the list (worst
// case), Save results and Save errors, Select All and Copy in the log, and
// the process's peak memory.
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/airspace_gen.h"
#include "ui/Application.h"
#include "ui/Unit1.h"

namespace {

long StatusKilobytes(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(static_cast<qsizetype>(std::strlen(field))).trimmed().split(' ').first().toLong();
    return -1;
}

// The process's CPU time (user and system), which other work on a shared
// machine does not inflate the way it inflates the wall clock.
double CpuMilliseconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

double Milliseconds(const QElapsedTimer& timer) { return static_cast<double>(timer.nsecsElapsed()) / 1e6; }

void Measure(corvala::ui::TForm1& form, const QString& path, const QString& label, const QTemporaryDir& scratch) {
    form.PickFile = [&](QFileDialog&, const QString&) -> std::optional<QString> { return path; };
    QElapsedTimer timer;
    const double cpuBefore = CpuMilliseconds();
    timer.start();
    form.Open1Click();
    form.RichEdit1->viewport()->repaint();
    const double run = Milliseconds(timer);
    const double runCpu = CpuMilliseconds() - cpuBefore;
    const long runPeak = StatusKilobytes("VmHWM:") / 1024;

    const int items = form.ListBox1->count();
    double worstJump = 0;
    int jumps = 0;
    for (int i = 0; i < items; i += std::max(1, items / 20), ++jumps) {
        timer.restart();
        form.ListBox1->setCurrentRow(i);  // runs ListBox1Click
        form.RichEdit1->viewport()->repaint();
        worstJump = std::max(worstJump, Milliseconds(timer));
    }

    form.PickFile = [&](QFileDialog&, const QString&) -> std::optional<QString> {
        return scratch.filePath(QStringLiteral("results.rtf"));
    };
    timer.restart();
    form.Saveresults1Click();
    const double saveResults = Milliseconds(timer);
    timer.restart();
    form.Saveerrors1Click();
    const double saveErrors = Milliseconds(timer);

    // Select All as the keyboard gives it (where the system has a
    // selection, the selection is offered to other programs too), then
    // Copy, and what the copy holds on to.
    const long beforeCopy = StatusKilobytes("VmRSS:");
    form.RichEdit1->setFocus();
    timer.restart();
    QKeyEvent selectAll(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, QStringLiteral("a"));
    QCoreApplication::sendEvent(form.RichEdit1, &selectAll);
    form.RichEdit1->viewport()->repaint();
    const double selectAllTime = Milliseconds(timer);
    timer.restart();
    form.Copy1Click();
    const double copy = Milliseconds(timer);
    const long copyGrowth = (StatusKilobytes("VmRSS:") - beforeCopy) / 1024;
    QGuiApplication::clipboard()->clear();

    std::printf("%-28s lines %8d  errors %6d  run+show %8.1f ms (cpu %8.1f ms)  worst jump (%d) %6.2f ms  "
                "save results %7.1f ms  save errors %6.1f ms  select all %7.1f ms  copy %7.1f ms (+%ld MB)  "
                "peak after run %5ld MB  rss %5ld MB  peak %5ld MB\n",
                qPrintable(label), form.RichEdit1->document()->blockCount() - 1, items - 1, run, runCpu, jumps,
                worstJump, saveResults, saveErrors, selectAllTime, copy, copyGrowth, runPeak,
                StatusKilobytes("VmRSS:") / 1024, StatusKilobytes("VmHWM:") / 1024);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    corvala::ui::TApplication application(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty()) arguments = {QStringLiteral("--lines"), QStringLiteral("100000")};

    QTemporaryDir scratch;
    corvala::ui::TForm1 form;
    form.ReportFailure = [](const QString& message) { std::fprintf(stderr, "failure: %s\n", qPrintable(message)); };
    form.show();
    QCoreApplication::processEvents();

    for (int i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--lines") && i + 1 < arguments.size()) {
            const std::size_t lines = arguments[++i].toULong();
            const QString path = scratch.filePath(QStringLiteral("generated-%1.txt").arg(lines));
            {
                const std::string bytes = corvala::bench::GenerateAirspace(lines);
                QFile out(path);
                if (!out.open(QIODevice::WriteOnly) || out.write(bytes.data(), static_cast<qint64>(bytes.size())) < 0)
                    return 1;
            }
            Measure(form, path, QStringLiteral("generated %1").arg(lines), scratch);
        } else {
            Measure(form, arguments[i], QFileInfo(arguments[i]).fileName(), scratch);
        }
    }
    return 0;
}
