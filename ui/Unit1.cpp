#include "ui/Unit1.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCompleter>
#include <QDir>
#include <QDesktopServices>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFrame>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <span>

#include <sys/stat.h>

#include "engine/rules/block/blocks.h"
#include "engine/model/failures.h"
#include "engine/input/io.h"
#include "engine/input/lines.h"
#include "engine/values/position.h"
#include "engine/values/text.h"
#include "engine/present/map_writer.h"
#include "ui/ErrorList.h"
#include "ui/LineDecoding.h"
#include "ui/OutlineView.h"
#include "ui/ResultsLog.h"
#include "ui/RtfWriter.h"

namespace corvala::ui {

TForm1* Form1 = nullptr;

namespace {

// Design sizes at 96 dpi.
constexpr int ClientWidth = 425;
constexpr int ClientHeight = 309;
constexpr int LogHeight = 193;
constexpr int ListTop = 196;
constexpr int ListHeight = 109;
constexpr int SplitterHandle = ListTop - LogHeight;
// The smallest the log and the list are made by the splitter.
constexpr int PaneMinimum = 40;

// The client area: the splitter of the log and the list fills it; the
// progress panel stays where it is, above them.
class ClientArea final : public QWidget {
public:
    using QWidget::QWidget;
    QWidget* splitter = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        if (splitter) splitter->setGeometry(rect());
    }
};

std::string ToBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The keys of what the window remembers between sessions.
const QString kBlockChecksKey = QStringLiteral("checks/blocks");
const QString kExtendedRecordsKey = QStringLiteral("checks/extended");  // before the record set was a choice
const QString kRecordSetKey = QStringLiteral("checks/records");
const QString kOutlineKey = QStringLiteral("view/outline");
const QString kRecentFilesKey = QStringLiteral("files/recent");
const QString kOpenFolderKey = QStringLiteral("files/openFolder");
const QString kFollowKey = QStringLiteral("files/follow");
const QString kEditorKey = QStringLiteral("editor/command");
const QString kGeometryKey = QStringLiteral("window/geometry");
const QString kStateKey = QStringLiteral("window/state");
const QString kSplitterKey = QStringLiteral("window/splitter");

// Editors known to take a line on their command line: the arguments after
// the program, and whether it needs a terminal.
struct KnownEditor {
    const char* program;
    const char* arguments;
    bool terminal;
};
constexpr KnownEditor kKnownEditors[] = {
    {"vi", "+%l %f", true},          {"vim", "+%l %f", true},         {"nvim", "+%l %f", true},
    {"nano", "+%l %f", true},        {"micro", "+%l %f", true},       {"joe", "+%l %f", true},
    {"kak", "+%l %f", true},         {"hx", "%f:%l", true},           {"mcedit", "+%l %f", true},
    {"emacs", "+%l %f", false},      {"gvim", "+%l %f", false},       {"gedit", "+%l %f", false},
    {"gnome-text-editor", "+%l %f", false}, {"xed", "+%l %f", false},  {"pluma", "+%l %f", false},
    {"geany", "+%l %f", false},      {"kate", "--line %l %f", false}, {"kwrite", "--line %l %f", false},
    {"code", "--goto %f:%l", false}, {"codium", "--goto %f:%l", false}, {"subl", "%f:%l", false},
};


// The local file a drag carries, or "" when it carries none.
QString DroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    const QList<QUrl> urls = data->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) return {};
    return urls.first().toLocalFile();
}

// Saves `pieces` as the whole file at `path` (engine/input/io.h): a failure
// leaves a file that was there as it was, and the airspace file that is
// open, `openFile`, is never written over, whatever name leads to it (the
// next Revalidate would check the saved text instead). A file that cannot
// be created or is refused raises the create message with the full path
// and the cause; a failed write raises `writeFailure`.
void SaveWholeFile(const QString& path, std::span<const QByteArrayView> pieces, const std::string& writeFailure,
                   const QString& openFile) {
    std::vector<std::string_view> views;
    views.reserve(pieces.size());
    for (const QByteArrayView piece : pieces) views.emplace_back(piece.data(), static_cast<std::size_t>(piece.size()));
    SaveFileAtomically(ToBytes(path), views, writeFailure, openFile.isEmpty() ? std::string() : ToBytes(openFile));
}

// The map of the airspace file at `path` (its bytes), checked by its own
// engine with `checks`, the window's run and lists untouched. A file that
// cannot be read raises its failure, as a run of the window would.
std::string MapOfFile(MapFormat format, const std::string& path, const CheckSettings& checks) {
    std::string text;
    const std::unique_ptr<MapWriter> writer =
        MapWriter::Make(format, [&text](std::string_view piece) { text.append(piece); }, checks);
    RunHost quiet;
    Engine engine(*writer, quiet);
    engine.Settings = checks;
    engine.ReadableKinds = FileKinds::RegularOnly;
    writer->FollowFileChecks(&engine.FileSettings);
    writer->BeginFile(path);
    engine.ValidateFile(path);
    writer->Finish();
    return text;
}

}  // namespace

QString WithDefaultSuffix(const QString& name, const QString& suffix) {
    if (name.isEmpty() || suffix.isEmpty() || QFileInfo(name).fileName().contains(u'.')) return name;
    return name + u'.' + suffix;
}

TForm1::TForm1(QWidget* parent) : QMainWindow(parent), engine_(*this, *this), settings_(std::make_unique<QSettings>()) {
    Form1 = this;
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Corvala"));

    PickFile = [this](QFileDialog& dialog, const QString& initialName) -> std::optional<QString> {
        if (!initialName.isEmpty()) dialog.selectFile(initialName);
        for (;;) {
            const int answer = dialog.exec();
            // The name completion's list is a window of its own, which the
            // dialog leaves on screen when it closes.
            for (QCompleter* completer : dialog.findChildren<QCompleter*>())
                if (QWidget* popup = completer->popup()) popup->hide();
            if (answer != QDialog::Accepted) return std::nullopt;
            const QStringList files = dialog.selectedFiles();
            if (files.isEmpty()) return std::nullopt;
            // The dialog takes a name in a folder that does not exist; the
            // save would only fail afterwards. Said now, and the dialog is
            // shown again as the user left it, to correct the name.
            const QString folder = QFileInfo(files.first()).absolutePath();
            if (dialog.acceptMode() != QFileDialog::AcceptSave || QFileInfo(folder).isDir()) return files.first();
            ReportFailure(DecodeLine("Cannot create file \"" + FullPath(ToBytes(files.first())) + "\". " +
                                     SystemErrorText(QFileInfo::exists(folder) ? ENOTDIR : ENOENT)));
        }
    };
    ReportFailure = [this](const QString& message) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Corvala"), message, QMessageBox::Ok, this);
        box.exec();
    };
    AskEditorCommand = [this](const QString& suggested) -> std::optional<QString> {
        bool ok = false;
        const QString command = QInputDialog::getText(
            this, tr("Editor command"),
            tr("The command that opens a file at a line: %f stands for the file, %l for the line.\n"
               "Leave it empty to open the file with the desktop's handler."),
            QLineEdit::Normal, suggested, &ok);
        if (!ok) return std::nullopt;
        return command.trimmed();
    };
    OpenWithDesktop = [](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    ShowInformation = [this](const QString& title, const QString& text) {
        QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, this);
        box.setTextFormat(Qt::RichText);
        box.setTextInteractionFlags(Qt::TextBrowserInteraction);
        box.exec();
    };

    CreateControls();
    CreateMenus();
    CreateChecksMenu();
    CreateOutlineView();
    CreateHelpMenu();
    CreateStatusBar();
    CreateDialogs();
    setAcceptDrops(true);
    engine_.ReadableKinds = FileKinds::RegularOnly;
    // The run keeps its blocks' analyses for the outline view, in up to half
    // of what the log may take at most.
    engine_.KeepBlocks = &runBlocks_;
    runBlocks_.Budget = static_cast<std::size_t>(ResultsLog::DefaultCapacity() * ResultsLog::BytesPerLine / 2);

    watcher_ = new QFileSystemWatcher(this);
    quietTimer_ = new QTimer(this);
    quietTimer_->setSingleShot(true);
    quietTimer_->setInterval(QuietMilliseconds);
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, &TForm1::FileMayHaveChanged);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &TForm1::FileMayHaveChanged);
    connect(quietTimer_, &QTimer::timeout, this, &TForm1::CheckChangedFile);

    // The design size: the status bar takes its height from the log, so
    // that the window's least size stays 425 x 309 below the menu bar.
    const int below = menuBar()->sizeHint().height();
    centralWidget()->setMinimumSize(ClientWidth, ClientHeight - StatusBar1->sizeHint().height());
    move(339, 114);
    resize(ClientWidth, ClientHeight + below);

    FormCreate();
}

TForm1::~TForm1() {
    // The controls go after this object's members: nothing they signal
    // while they go may reach it.
    for (QObject* control :
         std::initializer_list<QObject*>{RichEdit1, ListBox1, Outline, Outline1, watcher_, quietTimer_})
        control->disconnect(this);
    FormDestroy();
    if (Form1 == this) Form1 = nullptr;
}

void TForm1::CreateControls() {
    auto* client = new ClientArea(this);
    setCentralWidget(client);

    // The log takes what the window grows by; the list keeps the height the
    // splitter gave it.
    Splitter1 = new QSplitter(Qt::Vertical, client);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(SplitterHandle);
    Splitter1->setChildrenCollapsible(false);
    client->splitter = Splitter1;

    log_ = std::make_unique<ResultsLog>(Splitter1);
    RichEdit1 = log_->widget();
    RichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);
    RichEdit1->setMinimumHeight(PaneMinimum);
    RichEdit1->setPlaceholderText(tr("Open an airspace file to check it:\n"
                                     "  File \u203A Open (Ctrl+O),\n"
                                     "  drop a file here,\n"
                                     "  or pick one from File \u203A Open Recent (Ctrl+Shift+O)."));

    list_ = std::make_unique<ErrorList>(Splitter1);
    ListBox1 = list_->widget();
    ListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    ListBox1->setMinimumHeight(PaneMinimum);

    Splitter1->addWidget(RichEdit1);
    Splitter1->addWidget(ListBox1);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setSizes({LogHeight, ListHeight});

    Panel1 = new QFrame(client);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::NoFrame);
    Panel1->setAutoFillBackground(true);
    Panel1->setGeometry(64, 64, 289, 41);
    Panel1->hide();

    ProgressBar1 = new QProgressBar(Panel1);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(8, 13, 193, 17);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    Button5 = new QPushButton(QStringLiteral("Cancel"), Panel1);
    Button5->setObjectName(QStringLiteral("Button5"));
    Button5->setGeometry(208, 8, 75, 25);

    Panel1->raise();

    setTabOrder(RichEdit1, Button5);
    setTabOrder(Button5, ListBox1);

    connect(Button5, &QPushButton::clicked, this, &TForm1::Button5Click);
    // The user's selection runs ListBox1Click, by the mouse or the keyboard;
    // list changes made by the run do not. A mouse press that changed the
    // selection has jumped already, so its release does not jump again.
    connect(ListBox1, &QListWidget::itemSelectionChanged, this, [this] {
        if (list_->Filling()) return;
        jumpedOnPress_ = QGuiApplication::mouseButtons() != Qt::NoButton;
        ListBox1Click();
        ShowOutlineOfItem();
    });
    connect(ListBox1, &QListWidget::itemClicked, this, [this] {
        if (jumpedOnPress_) {
            jumpedOnPress_ = false;
        } else {
            ListBox1Click();
            ShowOutlineOfItem();
        }
    });
}

void TForm1::CreateMenus() {
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    File1 = MainMenu1->addMenu(QStringLiteral("&File"));
    File1->setObjectName(QStringLiteral("File1"));
    File1->menuAction()->setObjectName(QStringLiteral("File1Action"));

    auto item = [this](QMenu* menu, const char* name, const QString& caption, void (TForm1::*handler)()) {
        auto* action = new QAction(caption, this);
        action->setObjectName(QString::fromLatin1(name));
        menu->addAction(action);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    // The File menu's access keys are O, E, S, M, R, C, D and X: each item
    // has its own ("Save errors" has none).
    Open1 = item(File1, "Open1", QStringLiteral("&Open"), &TForm1::Open1Click);
    Openrecent1 = File1->addMenu(QStringLiteral("Open Rec&ent"));
    Openrecent1->setObjectName(QStringLiteral("Openrecent1"));
    FillRecentMenu();
    Saveresults1 = item(File1, "Saveresults1", QStringLiteral("&Save results"), &TForm1::Saveresults1Click);
    Saveerrors1 = item(File1, "Saveerrors1", QStringLiteral("Save errors"), &TForm1::Saveerrors1Click);
    Exportmap1 = item(File1, "Exportmap1", tr("Export &map..."), &TForm1::Exportmap1Click);
    N2 = File1->addSeparator();
    N2->setObjectName(QStringLiteral("N2"));
    Revalidate1 = item(File1, "Revalidate1", QStringLiteral("&Revalidate"), &TForm1::Revalidate1Click);
    Followfile1 = new QAction(tr("&Check again when the file changes"), this);
    Followfile1->setObjectName(QStringLiteral("Followfile1"));
    Followfile1->setCheckable(true);
    Followfile1->setChecked(settings_->value(kFollowKey, true).toBool());
    File1->addAction(Followfile1);
    connect(Followfile1, &QAction::triggered, this, [this](bool on) {
        settings_->setValue(kFollowKey, on);
        if (on) {
            FileMayHaveChanged();
        } else {
            quietTimer_->stop();
        }
    });
    Editorcommand1 = item(File1, "Editorcommand1", tr("E&ditor command..."), &TForm1::Editorcommand1Click);
    N1 = File1->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    Exit1 = item(File1, "Exit1", QStringLiteral("E&xit"), &TForm1::Exit1Click);

    // The platform's keys: Ctrl+O, F5 and Ctrl+R, Ctrl+Q.
    Open1->setShortcuts(QKeySequence::Open);
    Revalidate1->setShortcuts({QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_R)});
    Exit1->setShortcuts(QKeySequence::Quit);
    if (Exit1->shortcuts().isEmpty()) Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    // Keys without a menu item of their own.
    auto key = [this](const char* name, const QString& text, const QKeySequence& sequence) {
        auto* action = new QAction(text, this);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(sequence);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        return action;
    };
    Cancel1 = key("Cancel1", tr("Cancel the check"), QKeySequence(Qt::Key_Escape));
    connect(Cancel1, &QAction::triggered, this, [this] {
        if (engine_.Running()) Button5Click();
    });
    Openrecentkey1 = key("Openrecentkey1", tr("Open a recent file"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    connect(Openrecentkey1, &QAction::triggered, this, [this] {
        if (!Openrecent1->isEnabled()) return;
        Openrecent1->popup(centralWidget()->mapToGlobal(QPoint(8, 8)));
    });
    Nextpane1 = key("Nextpane1", tr("Next pane"), QKeySequence(Qt::Key_F6));
    connect(Nextpane1, &QAction::triggered, this, [this] { FocusNextPane(true); });
    Previouspane1 = key("Previouspane1", tr("Previous pane"), QKeySequence(Qt::SHIFT | Qt::Key_F6));
    connect(Previouspane1, &QAction::triggered, this, [this] { FocusNextPane(false); });

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Copy1 = item(PopupMenu1, "Copy1", QStringLiteral("&Copy"), &TForm1::Copy1Click);
    Openineditor1 = item(PopupMenu1, "Openineditor1", tr("Open in &editor at this line"), &TForm1::Openineditor1Click);
    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    Copy2 = item(PopupMenu2, "Copy2", QStringLiteral("&Copy"), &TForm1::Copy2Click);
    Openineditor2 = item(PopupMenu2, "Openineditor2", tr("Open in &editor at this line"), &TForm1::Openineditor2Click);

    // Scroll areas report context-menu positions in their viewport. The
    // line the menu is about: under the mouse, or at the caret and the
    // current item when the keyboard opened it.
    connect(RichEdit1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        logMenuLine_ = LogLineFileLine(RichEdit1->cursorForPosition(at).blockNumber());
        Openineditor1->setEnabled(logMenuLine_ > 0);
        PopupMenu1->popup(RichEdit1->viewport()->mapToGlobal(at));
    });
    connect(ListBox1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        list_->Flush();
        const QListWidgetItem* under = ListBox1->itemAt(at);
        listMenuLine_ = ItemFileLine(under ? ListBox1->row(under) : ListBox1->currentRow());
        Openineditor2->setEnabled(listMenuLine_ > 0);
        PopupMenu2->popup(ListBox1->viewport()->mapToGlobal(at));
    });
}

void TForm1::CreateHelpMenu() {
    Help1 = MainMenu1->addMenu(tr("&Help"));
    Help1->setObjectName(QStringLiteral("Help1"));
    auto item = [this](const char* name, const QString& caption, void (TForm1::*handler)()) {
        auto* action = new QAction(caption, this);
        action->setObjectName(QString::fromLatin1(name));
        Help1->addAction(action);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    Rules1 = item("Rules1", tr("The &rules"), &TForm1::Rules1Click);
    Shortcuts1 = item("Shortcuts1", tr("&Keyboard shortcuts"), &TForm1::Shortcuts1Click);
    Help1->addSeparator();
    About1 = item("About1", tr("&About Corvala"), &TForm1::About1Click);
    Rules1->setShortcuts(QKeySequence::HelpContents);
}

void TForm1::CreateStatusBar() {
    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    auto label = [this](const char* name) {
        auto* l = new QLabel(StatusBar1);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    // The file, its lines and the counts stay; notices (the file changed,
    // a cancelled run) take the space to the left of them.
    StatusFile = label("StatusFile");
    StatusLines = label("StatusLines");
    StatusCounts = label("StatusCounts");
    StatusBar1->addPermanentWidget(StatusFile);
    StatusBar1->addPermanentWidget(StatusLines);
    StatusBar1->addPermanentWidget(StatusCounts);
}

void TForm1::FocusNextPane(bool forward) {
    std::vector<QWidget*> panes{RichEdit1, ListBox1};
    if (OutlineDock->isVisible()) panes.push_back(Outline);
    QWidget* focus = QApplication::focusWidget();
    std::size_t at = panes.size();
    for (std::size_t i = 0; i < panes.size(); ++i)
        if (focus && (focus == panes[i] || panes[i]->isAncestorOf(focus))) at = i;
    std::size_t next = 0;
    if (at == panes.size()) {
        next = forward ? 0 : panes.size() - 1;
    } else {
        next = (at + (forward ? 1 : panes.size() - 1)) % panes.size();
    }
    panes[next]->setFocus(Qt::ShortcutFocusReason);
}

void TForm1::CreateDialogs() {
    OpenDialog1 = new QFileDialog(this);
    OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog1->setFileMode(QFileDialog::ExistingFile);
    OpenDialog1->setDefaultSuffix(QStringLiteral("txt"));
    // "*": on this platform many files have no dot in their names.
    OpenDialog1->setNameFilters({QStringLiteral("Airspace Files(*.txt)"), QStringLiteral("All Files(*)")});

    SaveDialog1 = new QFileDialog(this);
    SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1->setFileMode(QFileDialog::AnyFile);
    SaveDialog1->setDefaultSuffix(QStringLiteral("rtf"));
    SaveDialog1->setNameFilter(QStringLiteral("Rich Text Format (*.rtf)"));
    SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite, false);

    // The filter chosen gives its extension to a name typed without one.
    ExportDialog1 = new QFileDialog(this);
    ExportDialog1->setObjectName(QStringLiteral("ExportDialog1"));
    ExportDialog1->setAcceptMode(QFileDialog::AcceptSave);
    ExportDialog1->setFileMode(QFileDialog::AnyFile);
    ExportDialog1->setWindowTitle(tr("Export map"));
    const QString geoJson = QStringLiteral("GeoJSON (*.geojson *.json)");
    ExportDialog1->setNameFilters({geoJson, QStringLiteral("KML (*.kml)")});
    ExportDialog1->setDefaultSuffix(QStringLiteral("geojson"));
    ExportDialog1->setOption(QFileDialog::DontConfirmOverwrite, false);
    connect(ExportDialog1, &QFileDialog::filterSelected, this, [this, geoJson](const QString& filter) {
        ExportDialog1->setDefaultSuffix(filter == geoJson ? QStringLiteral("geojson") : QStringLiteral("kml"));
    });
}

void TForm1::CreateChecksMenu() {
    Checks1 = MainMenu1->addMenu(QStringLiteral("&Checks"));
    Checks1->setObjectName(QStringLiteral("Checks1"));
    auto check = [this](const char* name, const QString& caption, const QString& key, void (TForm1::*handler)()) {
        auto* action = new QAction(caption, this);
        action->setObjectName(QString::fromLatin1(name));
        action->setCheckable(true);
        action->setChecked(settings_->value(key, false).toBool());
        Checks1->addAction(action);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    Blockchecks1 = check("Blockchecks1", QStringLiteral("&Block checks"), kBlockChecksKey, &TForm1::Blockchecks1Click);
    Checks1->addSeparator();
    // The record set: remembered by name; a setting of the time when it was
    // one check box (on: extended) still counts.
    auto* recordSets = new QActionGroup(this);
    auto choice = [&](const char* name, const QString& caption) {
        auto* action = new QAction(caption, recordSets);
        action->setObjectName(QString::fromLatin1(name));
        action->setCheckable(true);
        Checks1->addAction(action);
        connect(action, &QAction::triggered, this, &TForm1::Extendedrecords1Click);
        return action;
    };
    Classicrecords1 = choice("Classicrecords1", QStringLiteral("&Classic records"));
    Extendedrecords1 = choice("Extendedrecords1", QStringLiteral("&Extended records"));
    Recordsbythefile1 = choice("Recordsbythefile1", QStringLiteral("Records by the &file"));
    const QString recordSet =
        settings_->value(kRecordSetKey, settings_->value(kExtendedRecordsKey, false).toBool() ? "extended" : "classic")
            .toString();
    (recordSet == "extended" ? Extendedrecords1 : recordSet == "auto" ? Recordsbythefile1 : Classicrecords1)
        ->setChecked(true);
    engine_.Settings.blocks = Blockchecks1->isChecked();
    engine_.Settings.extended = Extendedrecords1->isChecked();
    engine_.Settings.byFile = Recordsbythefile1->isChecked();
}

void TForm1::CreateOutlineView() {
    Outline = new OutlineView;
    Outline->setObjectName(QStringLiteral("Outline"));
    OutlineDock = new QDockWidget(QStringLiteral("Outline"), this);
    OutlineDock->setObjectName(QStringLiteral("OutlineDock"));
    OutlineDock->setWidget(Outline);
    addDockWidget(Qt::RightDockWidgetArea, OutlineDock);
    OutlineDock->setVisible(settings_->value(kOutlineKey, false).toBool());

    View1 = MainMenu1->addMenu(QStringLiteral("&View"));
    View1->setObjectName(QStringLiteral("View1"));
    Outline1 = OutlineDock->toggleViewAction();
    Outline1->setObjectName(QStringLiteral("Outline1"));
    Outline1->setText(QStringLiteral("&Outline"));
    View1->addAction(Outline1);
    // Only the user's choice is remembered: the dock also hides and shows
    // with the window.
    connect(Outline1, &QAction::triggered, this, [this](bool shown) { settings_->setValue(kOutlineKey, shown); });
    connect(Outline1, &QAction::toggled, this, [this](bool shown) {
        if (shown) ShowOutlineOfCaret();
    });
    connect(RichEdit1, &QPlainTextEdit::cursorPositionChanged, this, &TForm1::ShowOutlineOfCaret);
    // A click on a point of the outline brings its line into view.
    connect(Outline, &OutlineView::lineActivated, this, [this](int line) {
        if (line < 1 || engine_.Running()) return;
        log_->Flush();
        const QTextBlock block = RichEdit1->document()->findBlockByNumber(line - 1);
        if (block.isValid()) log_->JumpTo(block.position());
    });
}

// --- Life cycle ---------------------------------------------------------------

void TForm1::FormCreate() {
    engine_.ParamList.clear();
    engine_.CoordList.clear();
    engine_.RgbList.clear();
    SetDecimalSeparator('.');
}

void TForm1::FormDestroy() {
    auto release = [](auto& list) { std::remove_reference_t<decltype(list)>().swap(list); };
    release(engine_.ParamList);
    release(engine_.CoordList);
    release(engine_.RgbList);
}

void TForm1::closeEvent(QCloseEvent* event) {
    // The window must outlive a run on the stack: during a run, closing
    // only records the request, and the command that started the run
    // closes the window when the run has returned.
    // The progress panel says so, below the bar, and Cancel stays to end
    // the run sooner.
    constexpr int kPanelHeight = 41;
    constexpr int kNoticeHeight = 17;
    if (engine_.Running()) {
        closeRequested_ = true;
        if (!Label1) {
            Label1 = new QLabel(QStringLiteral("The window closes when the check ends."), Panel1);
            Label1->setObjectName(QStringLiteral("Label1"));
            Label1->setGeometry(8, kPanelHeight - 4, Panel1->width() - 16, kNoticeHeight);
        }
        Panel1->resize(Panel1->width(), kPanelHeight + kNoticeHeight);
        Label1->show();
        event->ignore();
        return;
    }
    closeRequested_ = false;
    SaveWindowState();
    if (Label1) {
        Label1->hide();
        Panel1->resize(Panel1->width(), kPanelHeight);
    }
    event->accept();
}

template <typename Body>
void TForm1::Guarded(Body&& body) {
    try {
        body();
    } catch (const std::exception& failure) {
        ReportFailure(DecodeLine(failure.what()));
    }
}

// --- Commands -------------------------------------------------------------------

void TForm1::Validate(const QString& path) {
    Follow(path);
    Guarded([&] { engine_.ValidateFile(ToBytes(path)); });
    if (closeRequested_ && !engine_.Running()) close();
}

// --- Window state ------------------------------------------------------------------

void TForm1::RestoreWindowState() {
    const QByteArray geometry = settings_->value(kGeometryKey).toByteArray();
    if (geometry.isEmpty() || !restoreGeometry(geometry)) {
        // The first start: two thirds of the screen's width and three
        // quarters of its height, in its middle; the list a quarter.
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            const QSize size(std::max(minimumSizeHint().width(), std::min(area.width() * 2 / 3, 1200)),
                             std::max(minimumSizeHint().height(), std::min(area.height() * 3 / 4, 900)));
            resize(size);
            move(area.center() - QPoint(size.width() / 2, size.height() / 2));
        }
        const int total = std::max(Splitter1->height(), centralWidget()->height());
        const int estimate = height() - menuBar()->sizeHint().height() - StatusBar1->sizeHint().height();
        const int client = std::max(total, estimate);
        Splitter1->setSizes({client - client / 4 - SplitterHandle, client / 4});
    }
    const QByteArray state = settings_->value(kStateKey).toByteArray();
    if (!state.isEmpty()) restoreState(state);
    const QByteArray splitter = settings_->value(kSplitterKey).toByteArray();
    if (!splitter.isEmpty()) Splitter1->restoreState(splitter);
}

void TForm1::SaveWindowState() {
    settings_->setValue(kGeometryKey, saveGeometry());
    settings_->setValue(kStateKey, saveState());
    settings_->setValue(kSplitterKey, Splitter1->saveState());
}

// --- Following the file --------------------------------------------------------------

TForm1::FileStamp TForm1::StampOf(const QString& path) {
    FileStamp stamp;
    struct stat info {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0) return stamp;
    stamp.exists = true;
    stamp.device = static_cast<std::uint64_t>(info.st_dev);
    stamp.inode = static_cast<std::uint64_t>(info.st_ino);
    stamp.size = static_cast<std::int64_t>(info.st_size);
    stamp.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.changed = static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    return stamp;
}

void TForm1::Follow(const QString& path) {
    // What the file is now: a change from here on is a change to check.
    followedStamp_ = StampOf(path);
    if (path != followedPath_) {
        if (!watcher_->files().isEmpty()) watcher_->removePaths(watcher_->files());
        if (!watcher_->directories().isEmpty()) watcher_->removePaths(watcher_->directories());
        followedPath_ = path;
    }
    if (path.isEmpty()) return;
    const QFileInfo file(path);
    const QString folder = file.absolutePath();
    if (QFileInfo(folder).isDir() && !watcher_->directories().contains(folder)) watcher_->addPath(folder);
    // A file replaced by a rename is a new file: its watch went with the old one.
    if (followedStamp_.exists && !watcher_->files().contains(path)) watcher_->addPath(path);
}

void TForm1::FileMayHaveChanged() {
    if (Followfile1->isChecked() && !followedPath_.isEmpty()) quietTimer_->start();
}

void TForm1::CheckChangedFile() {
    if (!Followfile1->isChecked() || followedPath_.isEmpty()) return;
    // A run on the way (the user's, or one this started) is let finish, and
    // a dialog answered first: a save would otherwise take the new results.
    if (engine_.Running() || QApplication::activeModalWidget()) {
        quietTimer_->start();
        return;
    }
    const FileStamp now = StampOf(followedPath_);
    if (now == followedStamp_) {
        Follow(followedPath_);
        return;
    }
    if (!now.exists) {
        followedStamp_ = now;
        StatusBar1->showMessage(tr("The file %1 is gone; the results shown are those of the last check.")
                                    .arg(QFileInfo(followedPath_).fileName()));
        return;
    }
    // The log comes back to the lines the user was looking at.
    log_->Flush();
    QScrollBar* bar = RichEdit1->verticalScrollBar();
    const int top = bar->value();
    const int pageLines = std::max(1, bar->pageStep());
    const int caretLine = RichEdit1->textCursor().blockNumber();
    const int horizontal = RichEdit1->horizontalScrollBar()->value();
    Validate(followedPath_);
    if (engine_.Running()) return;
    log_->Flush();
    const int lines = RichEdit1->document()->blockCount();
    const int line = std::clamp(caretLine >= top && caretLine < top + pageLines ? caretLine : top, 0,
                                std::max(0, lines - 1));
    log_->MoveCaret(RichEdit1->document()->findBlockByNumber(line).position());
    bar->setValue(std::min(top, bar->maximum()));
    RichEdit1->horizontalScrollBar()->setValue(horizontal);
    StatusBar1->showMessage(tr("Checked again: the file changed."));
}

// --- The editor -------------------------------------------------------------------------

QString TForm1::EditorCommand() const { return settings_->value(kEditorKey).toString(); }

bool TForm1::EditorCommandSet() const { return settings_->contains(kEditorKey); }

void TForm1::SetEditorCommand(const QString& command) { settings_->setValue(kEditorKey, command.trimmed()); }

QString TForm1::SuggestedEditorCommand(const QString& visual, const QString& editor) {
    for (const QString& variable : {visual, editor}) {
        QStringList words = QProcess::splitCommand(variable);
        if (words.isEmpty()) continue;
        const QString program = QFileInfo(words.first()).fileName();
        for (const KnownEditor& known : kKnownEditors) {
            if (program != QLatin1String(known.program)) continue;
            const QString command = words.join(u' ') + u' ' + QLatin1String(known.arguments);
            return known.terminal ? QStringLiteral("x-terminal-emulator -e ") + command : command;
        }
    }
    return {};
}

QStringList TForm1::EditorArguments(const QString& command, const QString& path, int line) {
    QStringList words = QProcess::splitCommand(command);
    if (words.isEmpty()) return {};
    bool named = false;
    for (QString& word : words) {
        // %% stands for a percent sign.
        QString out;
        for (qsizetype i = 0; i < word.size(); ++i) {
            if (word[i] != u'%' || i + 1 == word.size()) {
                out += word[i];
                continue;
            }
            const QChar next = word[++i];
            if (next == u'f') {
                out += path;
                named = true;
            } else if (next == u'l') {
                out += QString::number(line);
            } else if (next == u'%') {
                out += u'%';
            } else {
                out += u'%';
                out += next;
            }
        }
        word = out;
    }
    if (!named) words << path;
    return words;
}

bool TForm1::OpenInEditor(const QString& path, int line) {
    if (!EditorCommandSet()) {
        const std::optional<QString> chosen = AskEditorCommand(
            SuggestedEditorCommand(qEnvironmentVariable("VISUAL"), qEnvironmentVariable("EDITOR")));
        if (!chosen) return false;
        SetEditorCommand(*chosen);
    }
    const QStringList arguments = EditorArguments(EditorCommand(), path, line);
    if (arguments.isEmpty()) {
        if (OpenWithDesktop(path)) return true;
        ReportFailure(tr("No program of the desktop opens \"%1\". Set an editor command in File \u203A Editor command.")
                          .arg(path));
        return false;
    }
    if (QProcess::startDetached(arguments.first(), arguments.mid(1))) {
        StatusBar1->showMessage(tr("Opened %1 at line %2 in the editor.").arg(QFileInfo(path).fileName()).arg(line));
        return true;
    }
    ReportFailure(tr("The editor command \"%1\" could not be started.").arg(EditorCommand()));
    return false;
}

int TForm1::LogLineFileLine(int index) const {
    // Log line n is file line n + 1, up to the last line of the run; the
    // closing line is about no line.
    const std::size_t lines = engine_.Running() ? runLineStarts_.size() : runLines_.size();
    return index >= 0 && static_cast<std::size_t>(index) < lines ? index + 1 : 0;
}

int TForm1::ItemFileLine(int index) const {
    if (index < 0 || index >= static_cast<int>(itemSources_.size())) return 0;
    return itemSources_[static_cast<std::size_t>(index)].line;
}

void TForm1::Editorcommand1Click() {
    const QString current = EditorCommandSet()
                                ? EditorCommand()
                                : SuggestedEditorCommand(qEnvironmentVariable("VISUAL"), qEnvironmentVariable("EDITOR"));
    const std::optional<QString> chosen = AskEditorCommand(current);
    if (chosen) SetEditorCommand(*chosen);
}

void TForm1::Openineditor1Click() {
    if (logMenuLine_ > 0 && !runPath_.isEmpty()) OpenInEditor(runPath_, logMenuLine_);
}

void TForm1::Openineditor2Click() {
    if (listMenuLine_ > 0 && !runPath_.isEmpty()) OpenInEditor(runPath_, listMenuLine_);
}

// --- Help ----------------------------------------------------------------------------------

QString TForm1::RulesDocument() {
    const QString name = QStringLiteral("corvala/rules.md");
    // Beside the program's own prefix first (bin/../share), then the data folders.
    const QString besides = QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("../share/") + name);
    if (QFileInfo(besides).isFile()) return QDir::cleanPath(besides);
    return QStandardPaths::locate(QStandardPaths::GenericDataLocation, name);
}

QString TForm1::AboutText() const {
    return tr("<h3>Corvala %1</h3>"
              "<p>Checks airspace description files line by line, and each airspace as a whole.</p>"
              "<p>MIT License. Copyright (c) 2026 The Corvala authors.</p>"
              "<p>Built with Qt %2 (running on Qt %3), GeographicLib, Boost.Geometry and xxHash.</p>")
        .arg(QCoreApplication::applicationVersion(), QStringLiteral(QT_VERSION_STR), QString::fromLatin1(qVersion()));
}

QString TForm1::ShortcutsText() const {
    struct Row {
        QString what;
        QList<QKeySequence> keys;
    };
    auto caption = [](const QAction* action) {
        QString text = action->text();
        text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
        return text.replace(QStringLiteral("..."), QString());
    };
    const std::vector<Row> rows{
        {caption(Open1), Open1->shortcuts()},
        {tr("Open Recent"), Openrecentkey1->shortcuts()},
        {caption(Revalidate1), Revalidate1->shortcuts()},
        {tr("Cancel a check"), Cancel1->shortcuts()},
        {caption(Exit1), Exit1->shortcuts()},
        {tr("Next pane: log, list, outline"), Nextpane1->shortcuts()},
        {tr("Previous pane"), Previouspane1->shortcuts()},
        {tr("Context menu of the log or the list"), {QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)}},
        {tr("Outline: zoom in, out"), {QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Minus)}},
        {tr("Outline: pan"), {QKeySequence(Qt::Key_Left), QKeySequence(Qt::Key_Right), QKeySequence(Qt::Key_Up),
                              QKeySequence(Qt::Key_Down)}},
        {tr("Outline: fit the airspace (or a double click)"), {QKeySequence(Qt::Key_Home)}},
        {caption(Rules1), Rules1->shortcuts()},
    };
    QString html = QStringLiteral("<table cellspacing=\"4\">");
    for (const Row& row : rows) {
        QStringList keys;
        for (const QKeySequence& key : row.keys) keys << key.toString(QKeySequence::NativeText).toHtmlEscaped();
        html += QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>").arg(keys.join(QStringLiteral(", ")),
                                                                          row.what.toHtmlEscaped());
    }
    return html + QStringLiteral("</table>");
}

void TForm1::About1Click() { ShowInformation(tr("About Corvala"), AboutText()); }

void TForm1::Shortcuts1Click() { ShowInformation(tr("Keyboard shortcuts"), ShortcutsText()); }

void TForm1::Rules1Click() {
    const QString document = RulesDocument();
    if (document.isEmpty()) {
        ReportFailure(tr("The rules document (share/corvala/rules.md) is not installed."));
        return;
    }
    if (!OpenWithDesktop(document)) ReportFailure(tr("No program of the desktop opens \"%1\".").arg(document));
}

void TForm1::Open1Click() {
    std::optional<QString> chosen;
    const QString folder = settings_->value(kOpenFolderKey).toString();
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) OpenDialog1->setDirectory(folder);
    Guarded([&] { chosen = PickFile(*OpenDialog1, openFileName_); });
    if (!chosen) return;
    OpenFile(*chosen);
}

void TForm1::OpenFile(const QString& path) {
    openFileName_ = path;
    const QFileInfo file(path);
    if (file.isFile()) {
        settings_->setValue(kOpenFolderKey, file.absolutePath());
        RememberRecent(file.absoluteFilePath());
    }
    Validate(openFileName_);
}

void TForm1::OpenAtStart(const QStringList& files) {
    if (files.isEmpty()) return;
    QTimer::singleShot(0, this, [this, file = files.first()] { OpenFile(file); });
}

QStringList TForm1::RecentFiles() const { return settings_->value(kRecentFilesKey).toStringList(); }

void TForm1::RememberRecent(const QString& path) {
    QStringList files = RecentFiles();
    files.removeAll(path);
    files.prepend(path);
    while (files.size() > RecentFileCount) files.removeLast();
    settings_->setValue(kRecentFilesKey, files);
    FillRecentMenu();
}

void TForm1::FillRecentMenu() {
    Openrecent1->clear();
    const QStringList files = RecentFiles();
    for (int i = 0; i < files.size(); ++i) {
        // "&1" to "&9", then "1&0": each entry has a key of its own.
        const QString number = i < 9 ? u'&' + QString::number(i + 1) : QStringLiteral("1&0");
        QString caption = files[i];
        caption.replace(u'&', QStringLiteral("&&"));
        QAction* action = Openrecent1->addAction(number + u' ' + caption);
        action->setData(files[i]);
        connect(action, &QAction::triggered, this, [this, path = files[i]] { OpenFile(path); });
    }
    Openrecent1->setEnabled(!files.isEmpty());
}

void TForm1::ApplyChecks() {
    engine_.Settings.blocks = Blockchecks1->isChecked();
    engine_.Settings.extended = Extendedrecords1->isChecked();
    engine_.Settings.byFile = Recordsbythefile1->isChecked();
    settings_->setValue(kBlockChecksKey, engine_.Settings.blocks);
    settings_->setValue(kRecordSetKey, engine_.Settings.extended ? "extended"
                                       : engine_.Settings.byFile ? "auto"
                                                                 : "classic");
    settings_->remove(kExtendedRecordsKey);
    // The open file is checked again by the new rules.
    if (!openFileName_.isEmpty()) Validate(openFileName_);
}

void TForm1::Blockchecks1Click() { ApplyChecks(); }

void TForm1::Extendedrecords1Click() { ApplyChecks(); }

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
    const QString path = DroppedFile(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    // The run starts once the drop has returned to the program that
    // dragged the file, so that it does not wait for the check.
    QTimer::singleShot(0, this, [this, path] { OpenFile(path); });
}

void TForm1::Revalidate1Click() { Validate(openFileName_); }

void TForm1::Exit1Click() { close(); }

void TForm1::Button5Click() { engine_.Cancelled = true; }

std::optional<QString> TForm1::AskSaveName() {
    // The results belong beside the file they are about.
    if (!openFileName_.isEmpty()) {
        const QString folder = QFileInfo(openFileName_).absolutePath();
        if (QFileInfo(folder).isDir()) SaveDialog1->setDirectory(folder);
    }
    std::optional<QString> chosen = PickFile(*SaveDialog1, saveFileName_);
    if (!chosen) return std::nullopt;
    saveFileName_ = WithDefaultSuffix(*chosen, SaveDialog1->defaultSuffix());
    return saveFileName_;
}

void TForm1::Saveresults1Click() {
    Guarded([&] {
        const std::optional<QString> name = AskSaveName();
        if (!name) return;
        RtfWriter writer;
        log_->WriteRtf(writer);
        SaveWholeFile(*name, writer.parts(), "Failed to Save Stream", openFileName_);
    });
}

void TForm1::Saveerrors1Click() {
    Guarded([&] {
        const std::optional<QString> name = AskSaveName();
        if (!name) return;
        list_->Flush();
        QByteArray bytes;
        for (int i = 0; i < list_->Count(); ++i) {
            bytes += list_->Bytes(i);
            bytes += "\r\n";
        }
        const QByteArrayView whole(bytes);
        SaveWholeFile(*name, {&whole, 1}, "Stream write error", openFileName_);
    });
}

void TForm1::Exportmap1Click() {
    Guarded([&] {
        // A run on the way (this command reached through its event
        // processing) is let finish first.
        if (engine_.Running()) return;
        if (openFileName_.isEmpty()) {
            ReportFailure(tr("Open an airspace file first: the map shows the airspaces of the open file."));
            return;
        }
        // The map belongs beside the file it shows, named after it.
        const QFileInfo open(openFileName_);
        QString offered = exportFileName_;
        if (offered.isEmpty()) {
            if (QFileInfo(open.absolutePath()).isDir()) ExportDialog1->setDirectory(open.absolutePath());
            offered = open.completeBaseName() + u'.' + ExportDialog1->defaultSuffix();
        }
        const std::optional<QString> chosen = PickFile(*ExportDialog1, offered);
        if (!chosen) return;
        const QString name = WithDefaultSuffix(*chosen, ExportDialog1->defaultSuffix());
        exportFileName_ = name;
        const std::optional<MapFormat> format = MapFormatOfName(ToBytes(QFileInfo(name).fileName()));
        if (!format) {
            ReportFailure(tr("Cannot tell the map's format from the name \"%1\": it must end in .geojson or .json "
                             "(GeoJSON) or in .kml (KML).")
                              .arg(name));
            return;
        }
        std::string text;
        {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            struct RestoreCursor {
                ~RestoreCursor() { QApplication::restoreOverrideCursor(); }
            } restore;
            text = MapOfFile(*format, ToBytes(openFileName_), engine_.Settings);
        }
        const QByteArrayView whole(text.data(), static_cast<qsizetype>(text.size()));
        SaveWholeFile(name, {&whole, 1}, "Cannot write the map to \"" + FullPath(ToBytes(name)) + "\".",
                      openFileName_);
        StatusBar1->showMessage(tr("Exported the map of %1 to %2.").arg(open.fileName(), QFileInfo(name).fileName()));
    });
}

void TForm1::ListBox1Click() {
    list_->Flush();
    const int selected = list_->Selected();
    if (selected < 0) return;
    const int line = ItemFileLine(selected);
    // An item about a line selects it; one about the run or the whole file
    // only brings its place into view.
    const int position = list_->Position(selected);
    if (line > 0) {
        SelectLine(position, line, itemSources_[static_cast<std::size_t>(selected)].span);
    } else {
        log_->SelectCentred(position, position);
    }
}

void TForm1::SelectLine(int position, std::int32_t line, std::optional<ByteSpan> span) {
    log_->Flush();
    const QTextBlock block = RichEdit1->document()->findBlock(position);
    if (!block.isValid()) return;
    int begin = block.position();
    int end = block.position() + block.length() - 1;
    const std::size_t index = static_cast<std::size_t>(line) - 1;
    const bool known = line > 0 && index < (engine_.Running() ? runLineStarts_.size() : runLines_.size());
    if (span && known && span->begin <= span->end) {
        // The file's text starts after the marker, the number and two blanks;
        // byte offsets become characters by decoding what comes before them.
        std::string_view raw;
        if (engine_.Running()) {
            const std::size_t start = runLineStarts_[index];
            const std::size_t stop = index + 1 < runLineStarts_.size() ? runLineStarts_[index + 1] : runText_.size();
            raw = std::string_view(runText_).substr(start, stop - start);
        } else {
            raw = runLines_[index];
        }
        const int text = block.position() + 3 + 1 + static_cast<int>(std::to_string(line).size()) + 1;
        const std::size_t from = std::min(span->begin, raw.size()), to = std::min(span->end, raw.size());
        begin = std::min(end, text + static_cast<int>(DecodeLine(raw.substr(0, from)).size()));
        end = std::min(end, text + static_cast<int>(DecodeLine(raw.substr(0, to)).size()));
    }
    log_->SelectCentred(begin, end);
}

void TForm1::Copy1Click() {
    log_->Flush();
    RichEdit1->copy();
}

void TForm1::Copy2Click() {
    list_->Flush();
    const int selected = list_->Selected();
    if (selected < 0) return;
    QGuiApplication::clipboard()->setText(ListBox1->item(selected)->text());
}

int TForm1::ItemPosition(int index) const { return list_->Position(index); }

std::int64_t TForm1::LogLength() const noexcept { return log_->Length(); }

// --- The log and the list ---------------------------------------------------------

void TForm1::AddResultLine(std::int32_t lineNumber, std::string_view text, bool ok) {
    if (!ok) ++engine_.ErrorCount;
    const std::int64_t start = log_->Append(ok ? Verdict::Ok : Verdict::Error, lineNumber, DecodeLine(text));
    if (!ok) list_->AttachToLast(static_cast<int>(start));
}

void TForm1::AddError(std::string_view message) {
    list_->Add(message);
    itemSources_.emplace_back();
}

void TForm1::AddItem(std::string_view text, Severity severity, bool waitsForLine) {
    QIcon icon;
    if (style_ == TextStyle::Detailed) {
        static constexpr QStyle::StandardPixmap kIcons[] = {QStyle::SP_MessageBoxCritical, QStyle::SP_MessageBoxWarning,
                                                            QStyle::SP_MessageBoxInformation};
        icon = style()->standardIcon(kIcons[static_cast<int>(severity)]);
    }
    list_->Add(text, icon);
    itemSources_.emplace_back();
    if (waitsForLine) itemsAwaitingLine_.push_back(list_->Count() - 1);
}

void TForm1::AppendLine(Verdict verdict, std::int64_t number, std::string_view text) {
    const std::int64_t start = log_->Append(verdict, number, DecodeLine(text));
    for (const int item : itemsAwaitingLine_) list_->Attach(item, static_cast<int>(start));
    itemsAwaitingLine_.clear();
}

// --- What a run reports ------------------------------------------------------------

void TForm1::RunStarted(const RunStart& start) {
    const std::string title = RunTitle(start.name);
    setWindowTitle(DecodeLine(title));
    runPath_ = start.name.empty() ? QString() : QFileInfo(QFile::decodeName(QByteArray(start.name.data(), static_cast<qsizetype>(start.name.size())))).absoluteFilePath();
    StatusFile->setText(QFileInfo(runPath_).fileName());
    StatusFile->setToolTip(runPath_);
    StatusLines->clear();
    StatusCounts->clear();
    StatusBar1->clearMessage();
    style_ = engine_.Settings.blocks || engine_.Settings.extended || engine_.Settings.byFile ? TextStyle::Detailed
                                                                                           : TextStyle::Classic;
    log_->Clear();
    list_->Clear();
    itemsAwaitingLine_.clear();
    itemSources_.clear();
    runText_.clear();
    runLineStarts_.clear();
    runLines_.clear();
    runBlocks_.Clear();
    shownBlock_ = {};
    if (Outline) Outline->Clear();
}

void TForm1::Reported(const Finding& finding) {
    // A finding comes before the verdict of its line, which it then points
    // at; a finding about the whole file points at the top of the log.
    AddItem(ErrorItemText(finding, style_), finding.severity, finding.line > 0);
    std::optional<ByteSpan> span;
    if (finding.HasSpan())
        span = ByteSpan{static_cast<std::size_t>(finding.column), static_cast<std::size_t>(finding.endColumn)};
    itemSources_.back() = {finding.line, finding.rule, span};
}

void TForm1::LineChecked(const LineVerdict& verdict) {
    AppendLine(verdict.verdict, verdict.line, verdict.raw);
    runLineStarts_.push_back(runText_.size());
    runText_.append(verdict.raw);
}

void TForm1::RunFinished(const RunEnd& end) {
    itemsAwaitingLine_.clear();
    if (end.cancelled) AddItem(kCancelledItem, Severity::Note, false);
    const SummaryLine summary = SummaryLogLine(end, style_);
    // The closing item points at the closing line when that line is marked.
    AddItem(SummaryItemText(end, style_), Severity::Note, summary.verdict != Verdict::Ok);
    // The run counted its error lines; a marked closing line counts as well.
    if (summary.verdict == Verdict::Error) ++engine_.ErrorCount;
    AppendLine(summary.verdict, summary.number, summary.text);
    // The lines stay for the outline view, which draws the blocks later.
    runLines_.reserve(runLineStarts_.size());
    for (std::size_t i = 0; i < runLineStarts_.size(); ++i) {
        const std::size_t end = i + 1 < runLineStarts_.size() ? runLineStarts_[i + 1] : runText_.size();
        runLines_.emplace_back(runText_.data() + runLineStarts_[i], end - runLineStarts_[i]);
    }
    std::vector<std::size_t>().swap(runLineStarts_);
    ShowCounts(end);
}

void TForm1::ShowCounts(const RunEnd& end) {
    StatusLines->setText(end.lineCount == 1 ? tr("1 line") : tr("%1 lines").arg(end.lineCount));
    auto count = [](std::int64_t n, const QString& one, const QString& many) {
        return n == 1 ? one : many.arg(n);
    };
    const QString errors = count(end.errors, tr("1 error"), tr("%1 errors"));
    const QString warnings = count(end.warnings, tr("1 warning"), tr("%1 warnings"));
    const QString notes = count(end.notes, tr("1 note"), tr("%1 notes"));
    auto coloured = [](const QString& text, QRgb colour, bool any) {
        return any ? QStringLiteral("<span style=\"color:%1\">%2</span>").arg(QColor(colour).name(), text) : text;
    };
    StatusCounts->setText(coloured(errors, OutlineView::kErrorMarker, end.errors > 0) + QStringLiteral(", ") +
                          coloured(warnings, OutlineView::kWarningMarker, end.warnings > 0) + QStringLiteral(", ") +
                          coloured(notes, OutlineView::kNoteMarker, end.notes > 0));
    if (end.cancelled) StatusBar1->showMessage(tr("Cancelled at line %1: the results are not complete.").arg(end.lineCount));
}

// --- The outline view ----------------------------------------------------------------

void TForm1::ShowOutlineOfItem() {
    const int selected = list_->Selected();
    if (selected < 0 || selected >= static_cast<int>(itemSources_.size())) return;
    const ItemSource& source = itemSources_[static_cast<std::size_t>(selected)];
    // An item about no line (the closing items, the file as a whole) has
    // no airspace to show.
    if (source.line > 0) {
        ShowOutlineOfLine(source.line, source.rule);
    } else {
        ClearOutline();
    }
}

void TForm1::ClearOutline() {
    shownBlock_ = {};
    if (Outline) Outline->Clear();
}

void TForm1::ShowOutlineOfCaret() {
    if (!OutlineDock || !OutlineDock->isVisible() || engine_.Running()) return;
    const int line = RichEdit1->textCursor().blockNumber() + 1;
    ShowOutlineOfLine(line);
}

void TForm1::ShowOutlineOfLine(std::int32_t line, std::optional<RuleId> rule) {
    if (!OutlineDock->isVisible() || engine_.Running() || runLines_.empty()) return;
    // The run analysed every block of the file and kept the analyses: the
    // block around the line and those beside it are looked up, with the
    // markers of the findings the run reported (none when the block checks
    // were off). A line past the blocks kept (a cancelled run, the budget
    // spent) has none.
    const std::size_t index = runBlocks_.Find(line);
    if (index == KeptBlocks::kNone) return ClearOutline();
    const BlockAnalysis& block = runBlocks_[index];
    // Moving the caret within the block shown changes nothing.
    if (!rule && shownBlock_.first == block.firstLine && !shownBlock_.rule) return;
    shownBlock_ = {block.firstLine, rule};

    std::vector<BlockAnalysis> neighbours;
    if (index > 0) neighbours.push_back(runBlocks_[index - 1]);
    if (index + 1 < runBlocks_.Size()) neighbours.push_back(runBlocks_[index + 1]);
    int marked = -1;
    for (std::size_t i = 0; i < block.findings.size() && rule; ++i) {
        const Finding& f = block.findings[i].finding;
        if (f.line == line && f.rule == *rule) {
            marked = static_cast<int>(i);
            break;
        }
    }
    Outline->SetBlock(block, std::move(neighbours), marked);
    if (!block.geometryChecked) Outline->SetUnread(UnreadGeometry(block, runLines_));
}

OutlineView::Unread TForm1::UnreadGeometry(const BlockAnalysis& block, std::span<const std::string_view> lines) {
    // The analysis stops at the first geometry line it cannot read; what
    // comes after it is read here point by point, for the view alone.
    std::int32_t lastRead = block.firstLine;
    for (const OutlinePoint& p : block.outline) lastRead = std::max(lastRead, p.line);
    for (const AirwayPoint& p : block.airway) lastRead = std::max(lastRead, p.line);
    for (const Centre& c : block.centres) lastRead = std::max(lastRead, c.line);
    for (const CircleShape& c : block.circles) lastRead = std::max(lastRead, c.line);
    OutlineView::Unread unread;
    auto fail = [&](std::int32_t line) {
        if (unread.failedLine == 0) unread.failedLine = line;
    };
    for (std::int32_t line = lastRead + 1; line <= block.lastLine && static_cast<std::size_t>(line) <= lines.size(); ++line) {
        std::string_view text = lines[static_cast<std::size_t>(line) - 1];
        text = TrimText(text.substr(0, text.find('*')));
        const std::size_t blank = text.find(' ');
        const std::string_view command = text.substr(0, blank);
        const std::string_view argument = blank == std::string_view::npos ? std::string_view() : TrimText(text.substr(blank + 1));
        auto is = [&](std::string_view word) {
            return command.size() == word.size() &&
                   std::equal(command.begin(), command.end(), word.begin(),
                              [](char a, char b) { return (a | 0x20) == (b | 0x20); });
        };
        GeoPoint p;
        if (is("DP") || is("DY")) {
            if (ReadPoint(argument, p)) {
                unread.points.push_back({p, line, false});
            } else {
                fail(line);
            }
        } else if (is("DB")) {
            const std::size_t comma = argument.find(',');
            GeoPoint q;
            if (comma != std::string_view::npos && ReadPoint(TrimText(argument.substr(0, comma)), p) &&
                ReadPoint(TrimText(argument.substr(comma + 1)), q)) {
                unread.points.push_back({p, line, true});
                unread.points.push_back({q, line, true});
                unread.arcEnds.push_back(line);
            } else {
                fail(line);
            }
        } else if (is("V") && argument.size() >= 2 && (argument[0] | 0x20) == 'x' && argument[1] == '=') {
            if (!ReadPoint(TrimText(argument.substr(2)), p) && unread.centreLine == 0) {
                unread.centreLine = line;
                fail(line);
            }
        } else if (is("DA") || is("DC")) {
            fail(line);
        }
    }
    return unread;
}

// --- Run host -------------------------------------------------------------------

void TForm1::ShowProgressPanel(bool visible) {
    if (visible) Panel1->raise();
    Panel1->setVisible(visible);
}

void TForm1::SetProgress(int percent) { ProgressBar1->setValue(percent); }

void TForm1::SuspendLogPainting(bool suspended) {
    log_->SetPaintingSuspended(suspended);
    list_->SetPaintingSuspended(suspended);
}

void TForm1::ProcessEvents() {
    // Repainting the error list after every line would cost more than the
    // run itself; during a run it is shown a few times a second.
    const bool repaint = list_->RepaintDue();
    QCoreApplication::processEvents();
    if (repaint) list_->EndRepaint();
}

}  // namespace corvala::ui
