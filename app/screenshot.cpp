// Renders the picture of the window that the README and the software
// centres show: a checked file with the block checks on, a finding selected
// and its airspace in the outline view. Runs on the offscreen platform and
// keeps its settings in a folder of its own, never the user's.
// Usage: corvala-screenshot FILE ITEM OUTPUT.png
#include <QDockWidget>
#include <QImage>
#include <QListWidget>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

#include "ui/Application.h"
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
    window.resize(980, 600);
    window.show();
    window.Blockchecks1->trigger();
    window.Outline1->trigger();
    window.OpenFile(QString::fromLocal8Bit(argv[1]));
    window.ListBox1->setCurrentRow(QString::fromLocal8Bit(argv[2]).toInt());
    QApplication::processEvents();
    if (!window.grab().toImage().save(QString::fromLocal8Bit(argv[3]))) {
        std::fprintf(stderr, "corvala-screenshot: cannot write %s\n", argv[3]);
        return 2;
    }
    return 0;
}
