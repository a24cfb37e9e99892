// Start-up: the application, the one window, the file named on the command
// line (the desktop entry passes the file chosen to open with), the event
// loop.
#include <QCommandLineParser>

#include "ui/Application.h"
#include "ui/Unit1.h"

int main(int argc, char** argv) {
    corvala::ui::TApplication application(argc, argv);
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Checks airspace description files in a window."));
    options.addHelpOption();
    options.addVersionOption();
    options.addPositionalArgument(QStringLiteral("FILE"),
                                  QStringLiteral("The airspace file to open and check at start."),
                                  QStringLiteral("[FILE]"));
    options.process(application);

    corvala::ui::TForm1 window;
    window.RestoreWindowState();
    window.show();
    window.OpenAtStart(options.positionalArguments());
    return application.exec();
}
