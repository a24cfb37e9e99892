// The Corvala window: the results log, the error list, the progress panel,
// the File menu and the two context menus. The window owns the engine,
// hosts its runs and shows what they report: it is the run's FindingSink
// and RunHost, and formats the values with the texts it shares with
// corvala-check (engine/present/report_texts.h). The log and the list are classes of their
// own (ResultsLog, ErrorList); this class holds the commands and the layout:
// the log above the list in a splitter, the outline view in a dock, a status
// bar. It follows the open file on disk and checks it again when it changes,
// and opens the user's editor at a line.
#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run/engine.h"
#include "engine/model/findings.h"
#include "engine/run/run.h"
#include "engine/present/report_texts.h"
#include "ui/OutlineView.h"

class QAction;
class QFileSystemWatcher;
class QSplitter;
class QStatusBar;
class QTimer;
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
    // Asks the user for the editor command, offering `suggested`; nothing
    // when cancelled. The default is a modal input dialog.
    std::function<std::optional<QString>(const QString& suggested)> AskEditorCommand;
    // Hands a file to the desktop (the rules document, a file to edit when
    // no editor command is set); false when nothing took it.
    std::function<bool(const QString& path)> OpenWithDesktop;
    // Shows a text in a modal box titled `title` (About, the shortcuts).
    std::function<void(const QString& title, const QString& text)> ShowInformation;

    // --- Controls ----------------------------------------------------------
    QPlainTextEdit* RichEdit1 = nullptr;
    QFrame* Panel1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* Button5 = nullptr;
    QLabel* Label1 = nullptr;  // in Panel1 once a close waits for the run's end
    QListWidget* ListBox1 = nullptr;
    QFileDialog* OpenDialog1 = nullptr;
    QFileDialog* SaveDialog1 = nullptr;
    QFileDialog* ExportDialog1 = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    QMenu* File1 = nullptr;
    QAction* Open1 = nullptr;
    QMenu* Openrecent1 = nullptr;
    QAction* Saveresults1 = nullptr;
    QAction* Saveerrors1 = nullptr;
    QAction* Exportmap1 = nullptr;  // the open file as GeoJSON or KML
    QAction* N2 = nullptr;
    QAction* Revalidate1 = nullptr;
    QAction* N1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* Followfile1 = nullptr;  // check again when the file changes
    QAction* Editorcommand1 = nullptr;
    QAction* Cancel1 = nullptr;  // Esc: Button5's command, in no menu
    QAction* Openrecentkey1 = nullptr;  // Ctrl+Shift+O: shows Openrecent1
    QAction* Nextpane1 = nullptr;  // F6: log, list, outline
    QAction* Previouspane1 = nullptr;  // Shift+F6
    QMenu* Checks1 = nullptr;
    QAction* Blockchecks1 = nullptr;
    // The record set, one of three: classic (the classic line checks), the
    // extended record set for every file, or each file by what it declares.
    QAction* Classicrecords1 = nullptr;
    QAction* Extendedrecords1 = nullptr;
    QAction* Recordsbythefile1 = nullptr;
    QMenu* View1 = nullptr;
    QAction* Outline1 = nullptr;
    QDockWidget* OutlineDock = nullptr;
    OutlineView* Outline = nullptr;
    QMenu* Help1 = nullptr;
    QAction* About1 = nullptr;
    QAction* Rules1 = nullptr;
    QAction* Shortcuts1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Copy1 = nullptr;
    QAction* Openineditor1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QAction* Copy2 = nullptr;
    QAction* Openineditor2 = nullptr;
    QSplitter* Splitter1 = nullptr;  // the log above, the list below
    QStatusBar* StatusBar1 = nullptr;
    QLabel* StatusFile = nullptr;
    QLabel* StatusLines = nullptr;
    QLabel* StatusCounts = nullptr;

    // The engine state the window owns: ErrorCount, Cancelled, the scratch
    // lists and the run itself.
    Engine& engine() noexcept { return engine_; }
    // The blocks of the last run as the outline view draws them.
    const KeptBlocks& RunBlocks() const noexcept { return runBlocks_; }
    // The results log behind RichEdit1 (its capacity, for tests).
    ResultsLog& Log() noexcept { return *log_; }

    // The names the two dialogs keep between uses ("" until first chosen).
    const QString& OpenDialogFileName() const noexcept { return openFileName_; }
    const QString& SaveDialogFileName() const noexcept { return saveFileName_; }
    const QString& ExportDialogFileName() const noexcept { return exportFileName_; }

    // Part of a file line, in bytes from its start: [begin, end).
    struct ByteSpan {
        std::size_t begin = 0;
        std::size_t end = 0;
    };
    // Selects file line `line` in the log (its log line starts at
    // `position`) and brings it to the middle of the view: the bytes `span`
    // of the line when given, otherwise the whole log line.
    void SelectLine(int position, std::int32_t line, std::optional<ByteSpan> span = std::nullopt);

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

    // --- Window state ---------------------------------------------------------
    // Puts the window where it was when last closed: size, position, docks
    // and the splitter. The first time, a good share of the screen, with the
    // list at a quarter of the height. The program calls it before showing
    // the window; closing the window saves what it restores.
    void RestoreWindowState();
    void SaveWindowState();

    // --- Following the file ------------------------------------------------------
    // Changes of the open file are checked again after this long without
    // a further change.
    static constexpr int QuietMilliseconds = 300;
    // The path followed (the file of the last run; "" for none).
    const QString& FollowedFile() const noexcept { return followedPath_; }

    // --- The editor --------------------------------------------------------------
    // The command the user set ("" for the desktop's handler), and whether
    // one was set at all.
    QString EditorCommand() const;
    bool EditorCommandSet() const;
    void SetEditorCommand(const QString& command);
    // The command offered the first time: from $VISUAL or $EDITOR when that
    // is an editor known to take a line ("vim +%l %f"; a terminal editor in
    // x-terminal-emulator), otherwise "" (the desktop's handler).
    static QString SuggestedEditorCommand(const QString& visual, const QString& editor);
    // The program and its arguments of `command` for file `path` at `line`:
    // %f and %l replaced in each argument, the path appended when no
    // argument names it. Empty for an empty command.
    static QStringList EditorArguments(const QString& command, const QString& path, int line);
    // Opens `path` at `line` in the editor, asking for the command first
    // when none was ever set; false when nothing was started.
    bool OpenInEditor(const QString& path, int line);
    // The file line of log line `index` (0-based) and of list item `index`;
    // 0 when it has none (a closing line, an item about the whole file).
    int LogLineFileLine(int index) const;
    int ItemFileLine(int index) const;

    // --- Help ----------------------------------------------------------------------
    // The rules document as installed (share/corvala/rules.md beside the
    // program's prefix or in the data folders); "" when there is none.
    static QString RulesDocument();
    QString AboutText() const;
    QString ShortcutsText() const;

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
    // File › Export map: the open file, checked again with the Checks
    // menu's settings, as a map of its airspaces, GeoJSON or KML by the
    // name's extension (.geojson or .json, .kml), saved as the results are.
    void Exportmap1Click();
    void Blockchecks1Click();
    void Extendedrecords1Click();
    void Editorcommand1Click();
    void Openineditor1Click();
    void Openineditor2Click();
    void About1Click();
    void Rules1Click();
    void Shortcuts1Click();
    // Moves the keyboard focus to the next (or previous) of the log, the
    // list and the outline view when it is shown.
    void FocusNextPane(bool forward = true);
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
    void CreateHelpMenu();
    void CreateStatusBar();
    // The file the next run checks, watched: the file itself and its
    // folder, since most editors save by writing a new file and renaming it
    // over the old one.
    void Follow(const QString& path);
    void FileMayHaveChanged();
    void CheckChangedFile();
    void ShowCounts(const RunEnd& end);
    // The checks of the Checks menu, as the engine's settings and remembered.
    void ApplyChecks();
    void RememberRecent(const QString& path);
    void FillRecentMenu();
    // Draws the block that holds file line `line`, marking the finding of
    // rule `rule` there (all of the block's findings when none).
    void ShowOutlineOfLine(std::int32_t line, std::optional<RuleId> rule = std::nullopt);
public:
    // The geometry of `block` (of the file's `lines`) after the line where
    // its analysis stopped, for the outline view.
    static OutlineView::Unread UnreadGeometry(const BlockAnalysis& block, std::span<const std::string_view> lines);

private:
    // Runs a command body, turning any failure that leaves it into the
    // failure report.
    template <typename Body>
    void Guarded(Body&& body);
    void Validate(const QString& path);
    // Draws nothing in the outline view.
    void ClearOutline();
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
    // The analyses of the blocks of the last run that reached its end, for
    // the outline view: the run keeps them (Engine::KeepBlocks).
    KeptBlocks runBlocks_;
    // The file line and rule of each list item (0 and none for an item
    // about the whole file or the run).
    struct ItemSource {
        std::int32_t line = 0;
        std::optional<RuleId> rule;
        std::optional<ByteSpan> span;  // the part of the line at fault, when known
    };
    std::vector<ItemSource> itemSources_;
    // The block the outline view shows (its first line), and the rule of
    // the finding marked there.
    struct ShownBlock {
        std::int32_t first = -1;  // none; 0 is the preamble
        std::optional<RuleId> rule;
    };
    ShownBlock shownBlock_;
    std::unique_ptr<ResultsLog> log_;
    std::unique_ptr<ErrorList> list_;
    QString openFileName_;
    QString saveFileName_;
    QString exportFileName_;
    TextStyle style_ = TextStyle::Classic;
    std::vector<int> itemsAwaitingLine_;  // items that take the next log line's position
    bool jumpedOnPress_ = false;
    bool closeRequested_ = false;

    // Following the file: the watcher, the quiet period, and what the file
    // looked like when it was last read (device, inode, size, times).
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer* quietTimer_ = nullptr;
    QString followedPath_;
    struct FileStamp {
        bool exists = false;
        std::uint64_t device = 0, inode = 0;
        std::int64_t size = 0, modified = 0, changed = 0;  // times in ns
        bool operator==(const FileStamp&) const = default;
    };
    static FileStamp StampOf(const QString& path);
    FileStamp followedStamp_;
    // The path of the run shown (absolute), for the editor.
    QString runPath_;
    // The file line of the log's context menu, and of the list's.
    int logMenuLine_ = 0;
    int listMenuLine_ = 0;
};

// The one window of the program (null before it is created and after it
// is destroyed).
extern TForm1* Form1;

// `name` with "." + `suffix` appended when its file-name part has no ".",
// the rule by which the file dialogs complete a name typed without one.
QString WithDefaultSuffix(const QString& name, const QString& suffix);

}  // namespace corvala::ui
