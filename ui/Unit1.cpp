#include "ui/Unit1.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCompleter>
#include <QDir>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <span>

#include "engine/block_lines.h"
#include "engine/blocks.h"
#include "engine/failures.h"
#include "engine/io.h"
#include "engine/lines.h"
#include "engine/text.h"
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

// The client area: lays its children out by their anchors. The log keeps
// its distance to all four edges, the list its height and its distance to
// the bottom; the progress panel does not move.
class ClientArea final : public QWidget {
public:
    using QWidget::QWidget;
    QWidget* log = nullptr;
    QWidget* list = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        const int grow = height() - ClientHeight;
        if (log) log->setGeometry(0, 0, width(), LogHeight + grow);
        if (list) list->setGeometry(0, ListTop + grow, width(), ListHeight);
    }
};

std::string ToBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The keys of what the window remembers between sessions.
const QString kBlockChecksKey = QStringLiteral("checks/blocks");
const QString kExtendedRecordsKey = QStringLiteral("checks/extended");
const QString kOutlineKey = QStringLiteral("view/outline");
const QString kRecentFilesKey = QStringLiteral("files/recent");
const QString kOpenFolderKey = QStringLiteral("files/openFolder");

// The local file a drag carries, or "" when it carries none.
QString DroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    const QList<QUrl> urls = data->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) return {};
    return urls.first().toLocalFile();
}

// Saves `pieces` as the whole file at `path` (engine/io.h): a failure
// leaves a file that was there as it was, and the airspace file that is
// open, `openFile`, is never written over, whatever name leads to it (the
// next Revalidate would check the saved text instead). A file that cannot
// be created or is refused raises the create message with the full path
// and the cause; a failed write raises `writeFailure`.
void SaveWholeFile(const QString& path, std::span<const QByteArrayView> pieces, const char* writeFailure,
                   const QString& openFile) {
    std::vector<std::string_view> views;
    views.reserve(pieces.size());
    for (const QByteArrayView piece : pieces) views.emplace_back(piece.data(), static_cast<std::size_t>(piece.size()));
    SaveFileAtomically(ToBytes(path), views, writeFailure, openFile.isEmpty() ? std::string() : ToBytes(openFile));
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

    CreateControls();
    CreateMenus();
    CreateChecksMenu();
    CreateOutlineView();
    CreateDialogs();
    setAcceptDrops(true);
    engine_.ReadableKinds = FileKinds::RegularOnly;

    move(339, 114);
    resize(ClientWidth, ClientHeight + menuBar()->sizeHint().height());

    FormCreate();
}

TForm1::~TForm1() {
    // The controls go after this object's members: nothing they signal
    // while they go may reach it.
    for (QObject* control : std::initializer_list<QObject*>{RichEdit1, ListBox1, Outline, Outline1})
        control->disconnect(this);
    FormDestroy();
    if (Form1 == this) Form1 = nullptr;
}

void TForm1::CreateControls() {
    auto* client = new ClientArea(this);
    client->setMinimumSize(ClientWidth, ClientHeight);
    setCentralWidget(client);

    log_ = std::make_unique<ResultsLog>(client);
    RichEdit1 = log_->widget();
    RichEdit1->setGeometry(0, 0, ClientWidth, LogHeight);
    RichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);

    list_ = std::make_unique<ErrorList>(client);
    ListBox1 = list_->widget();
    ListBox1->setGeometry(0, ListTop, ClientWidth, ListHeight);
    ListBox1->setContextMenuPolicy(Qt::CustomContextMenu);

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

    client->log = RichEdit1;
    client->list = ListBox1;
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
    Open1 = item(File1, "Open1", QStringLiteral("&Open"), &TForm1::Open1Click);
    Openrecent1 = File1->addMenu(QStringLiteral("Open &Recent"));
    Openrecent1->setObjectName(QStringLiteral("Openrecent1"));
    FillRecentMenu();
    Saveresults1 = item(File1, "Saveresults1", QStringLiteral("&Save results"), &TForm1::Saveresults1Click);
    Saveerrors1 = item(File1, "Saveerrors1", QStringLiteral("Save errors"), &TForm1::Saveerrors1Click);
    N2 = File1->addSeparator();
    N2->setObjectName(QStringLiteral("N2"));
    Revalidate1 = item(File1, "Revalidate1", QStringLiteral("&Revalidate"), &TForm1::Revalidate1Click);
    N1 = File1->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    Exit1 = item(File1, "Exit1", QStringLiteral("E&xit"), &TForm1::Exit1Click);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Copy1 = item(PopupMenu1, "Copy1", QStringLiteral("&Copy"), &TForm1::Copy1Click);
    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    Copy2 = item(PopupMenu2, "Copy2", QStringLiteral("&Copy"), &TForm1::Copy2Click);

    // Scroll areas report context-menu positions in their viewport.
    connect(RichEdit1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(RichEdit1->viewport()->mapToGlobal(at)); });
    connect(ListBox1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu2->popup(ListBox1->viewport()->mapToGlobal(at)); });
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
    Extendedrecords1 = check("Extendedrecords1", QStringLiteral("&Extended records"), kExtendedRecordsKey,
                             &TForm1::Extendedrecords1Click);
    engine_.Settings.blocks = Blockchecks1->isChecked();
    engine_.Settings.extended = Extendedrecords1->isChecked();
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
    Guarded([&] { engine_.ValidateFile(ToBytes(path)); });
    if (closeRequested_ && !engine_.Running()) close();
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
    settings_->setValue(kBlockChecksKey, engine_.Settings.blocks);
    settings_->setValue(kExtendedRecordsKey, engine_.Settings.extended);
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

void TForm1::ListBox1Click() {
    list_->Flush();
    const int selected = list_->Selected();
    if (selected < 0) return;
    log_->JumpTo(list_->Position(selected));
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
    style_ = engine_.Settings.blocks || engine_.Settings.extended ? TextStyle::Detailed : TextStyle::Classic;
    log_->Clear();
    list_->Clear();
    itemsAwaitingLine_.clear();
    itemSources_.clear();
    runText_.clear();
    runLineStarts_.clear();
    runLines_.clear();
    shownBlock_ = {};
    if (Outline) Outline->Clear();
}

void TForm1::Reported(const Finding& finding) {
    // A finding comes before the verdict of its line, which it then points
    // at; a finding about the whole file points at the top of the log.
    AddItem(ErrorItemText(finding, style_), finding.severity, finding.line > 0);
    itemSources_.back() = {finding.line, std::string(finding.rule)};
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
}

// --- The outline view ----------------------------------------------------------------

void TForm1::ShowOutlineOfItem() {
    const int selected = list_->Selected();
    if (selected < 0 || selected >= static_cast<int>(itemSources_.size())) return;
    const ItemSource& source = itemSources_[static_cast<std::size_t>(selected)];
    if (source.line > 0) ShowOutlineOfLine(source.line, source.rule);
}

void TForm1::ShowOutlineOfCaret() {
    if (!OutlineDock || !OutlineDock->isVisible() || engine_.Running()) return;
    const int line = RichEdit1->textCursor().blockNumber() + 1;
    ShowOutlineOfLine(line);
}

void TForm1::ShowOutlineOfLine(std::int32_t line, std::string_view rule) {
    if (!OutlineDock->isVisible() || engine_.Running() || runLines_.empty()) return;
    if (line < 1 || static_cast<std::size_t>(line) > runLines_.size()) return;
    const std::span<const std::string_view> lines(runLines_);
    const BlockRange range = FindBlockRange(lines, line);
    // Moving the caret within the block shown changes nothing.
    if (rule.empty() && shownBlock_.first == range.first && shownBlock_.rule.empty()) return;
    shownBlock_ = {range.first, std::string(rule)};

    // The settings of the run that made the list; its findings are marked
    // only when the block checks made them.
    const CheckSettings& settings = engine_.Settings;
    auto analyse = [&](BlockRange r) {
        BlockAnalysis a = AnalyseBlockLines(
            lines.subspan(static_cast<std::size_t>(r.first - 1), static_cast<std::size_t>(r.last - r.first + 1)),
            r.first, settings);
        if (!settings.blocks) a.findings.clear();
        return a;
    };
    const BlockAnalysis block = analyse(range);
    std::vector<BlockAnalysis> neighbours;
    if (range.first > 1) neighbours.push_back(analyse(FindBlockRange(lines, range.first - 1)));
    if (static_cast<std::size_t>(range.last) < lines.size())
        neighbours.push_back(analyse(FindBlockRange(lines, range.last + 1)));
    int marked = -1;
    for (std::size_t i = 0; i < block.findings.size() && !rule.empty(); ++i) {
        const Finding& f = block.findings[i].finding;
        if (f.line == line && f.rule == rule) {
            marked = static_cast<int>(i);
            break;
        }
    }
    Outline->SetBlock(block, std::move(neighbours), marked);
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
