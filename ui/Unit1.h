// The Corvala window: the results log, the error list, the progress panel,
// the File menu and the two context menus. The window owns the engine,
// hosts its runs and shows what they report: it is the run's FindingSink
// and RunHost, and formats the values with the texts it shares with
// corvala-check (engine/texts.h). The log and the list are classes of their
// own (ResultsLog, ErrorList); this class holds the commands and the layout.
#pragma once

#include <QMainWindow>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/engine.h"
#include "engine/findings.h"
#include "engine/run.h"
#include "engine/texts.h"

class QAction;
class QCloseEvent;
class QFileDialog;
class QFrame;
class QListWidget;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace corvala::ui {

class ErrorList;
class ResultsLog;

class TForm1 final : public QMainWindow, public FindingSink, public RunHost {
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // --- Test seams --------------------------------------------------------
    // Shows a file dialog offering `initialName` and returns the name the
    // user chose, or nothing when the dialog was cancelled. The default runs
    // the dialog modally; tests put a function that answers at once.
    using FilePicker = std::function<std::optional<QString>(QFileDialog& dialog, const QString& initialName)>;
    FilePicker PickFile;
    // Shows a failure that left a command handler. The default is a modal
    // message box titled "Corvala"; tests record the message instead.
    std::function<void(const QString& message)> ReportFailure;

    // --- Controls ----------------------------------------------------------
    QPlainTextEdit* RichEdit1 = nullptr;
    QFrame* Panel1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* Button5 = nullptr;
    QListWidget* ListBox1 = nullptr;
    QFileDialog* OpenDialog1 = nullptr;
    QFileDialog* SaveDialog1 = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    QMenu* File1 = nullptr;
    QAction* Open1 = nullptr;
    QAction* Saveresults1 = nullptr;
    QAction* Saveerrors1 = nullptr;
    QAction* N2 = nullptr;
    QAction* Revalidate1 = nullptr;
    QAction* N1 = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Copy1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QAction* Copy2 = nullptr;

    // The engine state the window owns: ErrorCount, Cancelled, the scratch
    // lists and the run itself.
    Engine& engine() noexcept { return engine_; }

    // The names the two dialogs keep between uses ("" until first chosen).
    const QString& OpenDialogFileName() const noexcept { return openFileName_; }
    const QString& SaveDialogFileName() const noexcept { return saveFileName_; }

    // The attached integer of item `index` of the error list.
    int ItemPosition(int index) const;
    // The log's length as the next append will see it (L).
    std::int64_t LogLength() const noexcept;
    // True when a close was asked for during a run and waits for its end.
    bool CloseRequested() const noexcept { return closeRequested_; }

    // --- The log and the list ------------------------------------------------
    // Appends a log line for file line `lineNumber`; with ok false it counts
    // an error and attaches the new line's position to the newest item.
    void AddResultLine(std::int32_t lineNumber, std::string_view text, bool ok);
    // Appends an item with the position 0.
    void AddError(std::string_view message);

    // --- FindingSink ----------------------------------------------------------
    void RunStarted(const RunStart& start) override;
    void Reported(const Finding& finding) override;
    void LineChecked(const LineVerdict& verdict) override;
    void RunFinished(const RunEnd& end) override;

    // --- RunHost -----------------------------------------------------------
    void ShowProgressPanel(bool visible) override;
    void SetProgress(int percent) override;
    void SuspendLogPainting(bool suspended) override;
    void ProcessEvents() override;

public slots:
    void FormCreate();
    void FormDestroy();
    void Open1Click();
    void Revalidate1Click();
    void Exit1Click();
    void Button5Click();
    void ListBox1Click();
    void Copy1Click();
    void Copy2Click();
    void Saveresults1Click();
    void Saveerrors1Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void CreateMenus();
    void CreateDialogs();
    // Runs a command body, turning any failure that leaves it into the
    // failure report.
    template <typename Body>
    void Guarded(Body&& body);
    void Validate(const QString& path);
    // Asks the save dialog for a name; nothing when cancelled.
    std::optional<QString> AskSaveName();
    // Appends a log line and attaches its position to the items that wait
    // for it.
    void AppendLine(Verdict verdict, std::int64_t number, std::string_view text);
    void AddItem(std::string_view text, Severity severity, bool waitsForLine);

    Engine engine_;
    std::unique_ptr<ResultsLog> log_;
    std::unique_ptr<ErrorList> list_;
    QString openFileName_;
    QString saveFileName_;
    TextStyle style_ = TextStyle::Classic;
    std::vector<int> itemsAwaitingLine_;  // items that take the next log line's position
    bool jumpedOnPress_ = false;
    bool closeRequested_ = false;
};

// The one window of the program (null before it is created and after it
// is destroyed).
extern TForm1* Form1;

// `name` with "." + `suffix` appended when its file-name part has no ".",
// the rule by which the file dialogs complete a name typed without one.
QString WithDefaultSuffix(const QString& name, const QString& suffix);

}  // namespace corvala::ui
