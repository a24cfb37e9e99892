// The Corvala window: the results log, the error list, the progress panel,
// the File menu and the two context menus. The window owns the engine,
// hosts its runs and shows what they report: it is the run's FindingSink
// and RunHost, and formats the values with the texts it shares with
// corvala-check (engine/texts.h). The log and the list are classes of their
// own (ResultsLog, ErrorList); this class holds the commands and the layout.
#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"
#include "engine/findings.h"
#include "engine/run.h"
#include "engine/texts.h"

class QAction;
class QCloseEvent;
class QDockWidget;
class QDragEnterEvent;
class QDropEvent;
class QFileDialog;
class QFrame;
class QLabel;
class QListWidget;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSettings;

namespace corvala::ui {

class ErrorList;
class OutlineView;
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
    QLabel* Label1 = nullptr;  // in Panel1 once a close waits for the run's end
    QListWidget* ListBox1 = nullptr;
    QFileDialog* OpenDialog1 = nullptr;
    QFileDialog* SaveDialog1 = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    QMenu* File1 = nullptr;
    QAction* Open1 = nullptr;
    QMenu* Openrecent1 = nullptr;
    QAction* Saveresults1 = nullptr;
    QAction* Saveerrors1 = nullptr;
    QAction* N2 = nullptr;
    QAction* Revalidate1 = nullptr;
    QAction* N1 = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* Checks1 = nullptr;
    QAction* Blockchecks1 = nullptr;
    QAction* Extendedrecords1 = nullptr;
    QMenu* View1 = nullptr;
    QAction* Outline1 = nullptr;
    QDockWidget* OutlineDock = nullptr;
    OutlineView* Outline = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Copy1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QAction* Copy2 = nullptr;

    // The engine state the window owns: ErrorCount, Cancelled, the scratch
    // lists and the run itself.
    Engine& engine() noexcept { return engine_; }
    // The results log behind RichEdit1 (its capacity, for tests).
    ResultsLog& Log() noexcept { return *log_; }

    // The names the two dialogs keep between uses ("" until first chosen).
    const QString& OpenDialogFileName() const noexcept { return openFileName_; }
    const QString& SaveDialogFileName() const noexcept { return saveFileName_; }

    // The attached integer of item `index` of the error list.
    int ItemPosition(int index) const;
    // The log's length as the next append will see it (L).
    std::int64_t LogLength() const noexcept;
    // True when a close was asked for during a run and waits for its end.
    bool CloseRequested() const noexcept { return closeRequested_; }

    // Opens and checks `path`, as File › Open does with the name chosen:
    // from the command line, a drop or the recent files.
    void OpenFile(const QString& path);
    // Opens the first of `files` (those named on the command line) once the
    // event loop runs, so that the window is on screen during the run.
    void OpenAtStart(const QStringList& files);
    // The files opened last, newest first (at most RecentFileCount).
    static constexpr int RecentFileCount = 10;
    QStringList RecentFiles() const;

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
    void Blockchecks1Click();
    void Extendedrecords1Click();
    // Draws the block of the selected list item, or of the caret's log line.
    void ShowOutlineOfItem();
    void ShowOutlineOfCaret();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateControls();
    void CreateMenus();
    void CreateDialogs();
    void CreateChecksMenu();
    void CreateOutlineView();
    // The checks of the Checks menu, as the engine's settings and remembered.
    void ApplyChecks();
    void RememberRecent(const QString& path);
    void FillRecentMenu();
    // Draws the block that holds file line `line`, marking the finding of
    // rule `rule` there (all of the block's findings when none).
    void ShowOutlineOfLine(std::int32_t line, std::string_view rule = {});
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
    std::unique_ptr<QSettings> settings_;
    // The bytes of the lines of the last run, for the outline view: the
    // lines one after another, where each starts, and views into them once
    // the run has ended.
    std::string runText_;
    std::vector<std::size_t> runLineStarts_;
    std::vector<std::string_view> runLines_;
    // The file line and rule of each list item (0 and empty for an item
    // about the whole file or the run).
    struct ItemSource {
        std::int32_t line = 0;
        std::string rule;
    };
    std::vector<ItemSource> itemSources_;
    // The block the outline view shows (its first line), and the rule of
    // the finding marked there.
    struct ShownBlock {
        std::int32_t first = 0;
        std::string rule;
    };
    ShownBlock shownBlock_;
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
