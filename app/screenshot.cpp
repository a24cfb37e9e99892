// Renders the picture of the window that the README and the software
// centres show: a checked file with the block checks on, a finding selected
// and its airspace in the outline view. Runs on the offscreen platform and
// keeps its settings in a folder of its own, never the user's.
// Usage: corvala-screenshot FILE ITEM OUTPUT.png
// ITEM is a row of the error list, or @LINE for the first finding of file
// line LINE.
#include <QDockWidget>
#include <QImage>
#include <QListWidget>
#include <QSettings>
#include <QSplitter>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

#include "ui/Application.h"
#include "ui/OutlineView.h"
#include "ui/Unit1.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: corvala-screenshot FILE ITEM OUTPUT.png\n");
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());

    corvala::ui::TApplication application(argc, argv);
    corvala::ui::TForm1 window;
    window.resize(1100, 680);
    window.show();
    window.Splitter1->setSizes({window.Splitter1->height() * 3 / 4, window.Splitter1->height() / 4});
    window.Blockchecks1->trigger();
    window.Outline1->trigger();
    window.OpenFile(QString::fromLocal8Bit(argv[1]));
    const QString item = QString::fromLocal8Bit(argv[2]);
    int row = item.toInt();
    if (item.startsWith(u'@')) {
        const int line = item.mid(1).toInt();
        for (row = 0; row < window.ListBox1->count() && window.ItemFileLine(row) != line; ++row) {
        }
    }
    window.ListBox1->setCurrentRow(row);
    QApplication::processEvents();
    // Closer to the place of the finding, when it has one.
    const corvala::ui::OutlineView& outline = *window.Outline;
    const int marked = outline.MarkedFinding();
    if (outline.HasBlock() && marked >= 0 && static_cast<std::size_t>(marked) < outline.Block().findings.size()) {
        const auto& markers = outline.Block().findings[static_cast<std::size_t>(marked)].markers;
        if (!markers.empty()) window.Outline->ZoomBy(6, outline.Project(markers.front()));
        QApplication::processEvents();
    }
    if (!window.grab().toImage().save(QString::fromLocal8Bit(argv[3]))) {
        std::fprintf(stderr, "corvala-screenshot: cannot write %s\n", argv[3]);
        return 2;
    }
    return 0;
}
