// The application object of the window program: guards the event dispatch
// so that a failure no handler caught is reported instead of ending the
// program.
#pragma once

#include <QApplication>
#include <QString>

namespace corvala::ui {

class TApplication final : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The top-level failure report: the window's report while it exists (a
// modal message box titled "Corvala"), otherwise a message box of its own.
void ShowFailureReport(const QString& message);

}  // namespace corvala::ui
