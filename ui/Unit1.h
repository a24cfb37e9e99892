// The Corvala window: the results log, the error list, the progress panel,
// the File menu and the two context menus. The window owns the engine and
// is both the run's result sink and its host.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QString>
#include <QTextCharFormat>
#include <QTextCursor>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"
#include "engine/run.h"

class QAction;
class QCloseEvent;
class QFileDialog;
class QFrame;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace corvala::ui {

class TForm1 final : public QMainWindow, public ResultSink, public RunHost {
    Q_OBJECT

public:
    // The log groups its inserts during a run into edit blocks of this many
    // lines; layout work is done once per block instead of once per line.
    static constexpr int LinesPerEditBlock = 1000;
    // During a run the error list is repainted at most this often.
    static constexpr int ListRepaintMilliseconds = 100;

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

    // Item data roles of ListBox1: the attached log position (int) and the
    // message's own bytes (QByteArray).
    static constexpr int PositionRole = Qt::UserRole;
    static constexpr int BytesRole = Qt::UserRole + 1;

    // The attached integer of item `index` of the error list.
    int ItemPosition(int index) const;
    // The log's length as the next append will see it (L).
    std::int64_t LogLength() const noexcept { return logLength_; }
    // True when a close was asked for during a run and waits for its end.
    bool CloseRequested() const noexcept { return closeRequested_; }

    // --- ResultSink --------------------------------------------------------
    void Clear() override;
    void AddResultLine(std::int32_t lineNumber, std::string_view text, bool ok) override;
    void AddError(std::string_view message) override;

    // --- RunHost -----------------------------------------------------------
    void SetTitle(std::string_view title) override;
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
    // Closes the open edit block, so the document is laid out and
    // consistent before anything reads or moves through it.
    void FlushLog();
    // Moves the items added during a run into the list.
    void FlushList();
    // Puts the widget's caret at `position` and scrolls it into view.
    void MoveCaret(int position);

    Engine engine_;
    QString openFileName_;
    QString saveFileName_;

    QTextCursor appendCursor_;  // kept at the end of the log
    QTextCharFormat okFormat_;
    QTextCharFormat errFormat_;
    QTextCharFormat plainFormat_;
    std::int64_t logLength_ = 0;  // L: positions taken by the log so far
    std::int64_t newestLineStart_ = -1;
    std::vector<QListWidgetItem*> pendingItems_;  // not yet in the list
    QElapsedTimer listShown_;  // the list's last repaint during a run
    int linesInEditBlock_ = 0;
    bool editBlockOpen_ = false;
    bool paintingSuspended_ = false;
    bool fillingList_ = false;  // list changes that are not the user's
    bool jumpedOnPress_ = false;
    bool ensureVisiblePending_ = false;
    bool closeRequested_ = false;
};

// The one window of the program (null before it is created and after it
// is destroyed).
extern TForm1* Form1;

// `name` with "." + `suffix` appended when its file-name part has no ".",
// the rule by which the file dialogs complete a name typed without one.
QString WithDefaultSuffix(const QString& name, const QString& suffix);

}  // namespace corvala::ui
