// Helpers shared by the window tests: a window whose dialogs and failure
// report are answered by the test, scratch files, and readers of the log.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QListWidget>
#include <QString>
#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

#include <csignal>
#include <deque>
#include <memory>
#include <optional>

#include <sys/resource.h>

#include "tests/support/scratch.h"
#include "ui/Unit1.h"

namespace corvala::ui::testing {

// A window that never shows a modal dialog: file dialogs take their answers
// from `answers` (nothing = cancelled) and failure reports are recorded.
struct Harness {
    std::unique_ptr<TForm1> form = std::make_unique<TForm1>();
    std::deque<std::optional<QString>> answers;
    QStringList offeredNames;  // initial names the dialogs were shown with
    QStringList dialogNames;  // objectName of each dialog asked
    QStringList failures;

    Harness() {
        form->PickFile = [this](QFileDialog& dialog, const QString& initial) -> std::optional<QString> {
            dialogNames << dialog.objectName();
            offeredNames << initial;
            if (answers.empty()) return std::nullopt;
            std::optional<QString> answer = answers.front();
            answers.pop_front();
            return answer;
        };
        form->ReportFailure = [this](const QString& message) { failures << message; };
    }

    void open(const QString& path) {
        answers.push_back(path);
        form->Open1Click();
    }

    QStringList items() const {
        QStringList texts;
        for (int i = 0; i < form->ListBox1->count(); ++i) texts << form->ListBox1->item(i)->text();
        return texts;
    }

    // The log's lines (the empty line after the last line end left out).
    QStringList logLines() const {
        QStringList lines = form->RichEdit1->document()->toPlainText().split(u'\n');
        if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
        return lines;
    }
};

// The shared scratch folder, with the names the window tests use.
class ScratchDir {
public:
    QString folder() const { return QString::fromStdString(dir_.path()); }
    QString path(const QString& name) const { return folder() + u'/' + name; }
    QString write(const QString& name, const QByteArray& bytes) const {
        return QString::fromStdString(dir_.Write(name.toStdString(), std::string_view(bytes.data(), bytes.size())));
    }
    static QByteArray read(const QString& file) {
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly)) return QByteArray("<missing>");
        return in.readAll();
    }
    // The names in the folder, hidden ones (a save's temporary file) too.
    QStringList entries() const {
        return QDir(folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                        QDir::Name);
    }

private:
    corvala::test::ScratchDir dir_;
};

}  // namespace corvala::ui::testing

// A test main on the window program's own application object, so that the
// guarded event dispatch is part of what is tested. What the window
// remembers goes to a folder of the test's own, never the user's settings.
#define CORVALA_UI_TEST_MAIN(TestClass)                                                                                \
    int main(int argc, char** argv) {                                                                                  \
        QTemporaryDir settingsFolder;                                                                                  \
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());                      \
        corvala::ui::TApplication application(argc, argv);                                                             \
        application.setQuitOnLastWindowClosed(false);                                                                  \
        TestClass test;                                                                                                \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }
