#include "ui/Application.h"

#include <QIcon>
#include <QMessageBox>

#include <clocale>
#include <exception>

#include "engine/values/text.h"
#include "ui/LineDecoding.h"
#include "ui/Unit1.h"

namespace corvala::ui {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The toolkit switches the C library to the user's locale; number
    // conversions must not follow the regional decimal separator that way.
    std::setlocale(LC_NUMERIC, "C");
    // One floating-point environment for the whole run of the program.
    InitializeFloatingPoint();
    // The icon and menu entry that an installation puts in place.
    setWindowIcon(QIcon::fromTheme(QStringLiteral("corvala")));
    // The names under which the window's settings are kept
    // (~/.config/Corvala/corvala.conf).
    setOrganizationName(QStringLiteral("Corvala"));
    setApplicationName(QStringLiteral("corvala"));
    setApplicationVersion(QStringLiteral(CORVALA_VERSION));
    setDesktopFileName(QStringLiteral("io.github.corvala.Corvala"));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& failure) {
        ShowFailureReport(DecodeLine(failure.what()));
    } catch (...) {
        ShowFailureReport(QStringLiteral("Unknown failure"));
    }
    return false;
}

void ShowFailureReport(const QString& message) {
    if (Form1 && Form1->ReportFailure) {
        Form1->ReportFailure(message);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Corvala"), message, QMessageBox::Ok);
    box.exec();
}

}  // namespace corvala::ui
