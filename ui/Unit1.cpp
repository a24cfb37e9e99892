#include "ui/Unit1.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <span>
#include <fcntl.h>
#include <unistd.h>

#include "engine/failures.h"
#include "engine/lines.h"
#include "engine/text.h"
#include "ui/ErrorList.h"
#include "ui/LineDecoding.h"
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

// Creates or replaces the file at `path` and writes `bytes` into it. A
// file that cannot be created raises the create message with the full
// path and the system's cause; a short or failed write raises
// `writeFailure`.
void WriteWholeFile(const QString& path, std::span<const QByteArrayView> pieces, const char* writeFailure) {
    const std::string native = ToBytes(path);
    const int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        throw Failure("Cannot create file \"" + FullPath(native) + "\". " + SystemErrorText(errno));
    }
    for (const QByteArrayView piece : pieces) {
        const char* data = piece.data();
        qsizetype left = piece.size();
        while (left > 0) {
            const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) {
                ::close(fd);
                throw Failure(writeFailure);
            }
            data += written;
            left -= written;
        }
    }
    if (::close(fd) != 0) throw Failure(writeFailure);
}

}  // namespace

QString WithDefaultSuffix(const QString& name, const QString& suffix) {
    if (name.isEmpty() || suffix.isEmpty() || QFileInfo(name).fileName().contains(u'.')) return name;
    return name + u'.' + suffix;
}

TForm1::TForm1(QWidget* parent) : QMainWindow(parent), engine_(*this, *this) {
    Form1 = this;
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Corvala"));

    PickFile = [](QFileDialog& dialog, const QString& initialName) -> std::optional<QString> {
        if (!initialName.isEmpty()) dialog.selectFile(initialName);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        const QStringList files = dialog.selectedFiles();
        if (files.isEmpty()) return std::nullopt;
        return files.first();
    };
    ReportFailure = [this](const QString& message) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Corvala"), message, QMessageBox::Ok, this);
        box.exec();
    };

    CreateControls();
    CreateMenus();
    CreateDialogs();
    engine_.ReadableKinds = FileKinds::RegularOnly;

    move(339, 114);
    resize(ClientWidth, ClientHeight + menuBar()->sizeHint().height());

    FormCreate();
}

TForm1::~TForm1() {
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
    });
    connect(ListBox1, &QListWidget::itemClicked, this, [this] {
        if (jumpedOnPress_)
            jumpedOnPress_ = false;
        else
            ListBox1Click();
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
    OpenDialog1->setNameFilters({QStringLiteral("Airspace Files(*.txt)"), QStringLiteral("All Files(*.*)")});

    SaveDialog1 = new QFileDialog(this);
    SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1->setFileMode(QFileDialog::AnyFile);
    SaveDialog1->setDefaultSuffix(QStringLiteral("rtf"));
    SaveDialog1->setNameFilter(QStringLiteral("Rich Text Format (*.rtf)"));
    SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite, false);
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
    if (engine_.Running()) {
        closeRequested_ = true;
        event->ignore();
        return;
    }
    closeRequested_ = false;
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
    Guarded([&] { chosen = PickFile(*OpenDialog1, openFileName_); });
    if (!chosen) return;
    openFileName_ = *chosen;
    Validate(openFileName_);
}

void TForm1::Revalidate1Click() { Validate(openFileName_); }

void TForm1::Exit1Click() { close(); }

void TForm1::Button5Click() { engine_.Cancelled = true; }

std::optional<QString> TForm1::AskSaveName() {
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
        WriteWholeFile(*name, writer.parts(), "Failed to Save Stream");
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
        WriteWholeFile(*name, {&whole, 1}, "Stream write error");
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

void TForm1::AddError(std::string_view message) { list_->Add(message); }

void TForm1::AddItem(std::string_view text, Severity severity, bool waitsForLine) {
    QIcon icon;
    if (style_ == TextStyle::Detailed) {
        static constexpr QStyle::StandardPixmap kIcons[] = {QStyle::SP_MessageBoxCritical, QStyle::SP_MessageBoxWarning,
                                                            QStyle::SP_MessageBoxInformation};
        icon = style()->standardIcon(kIcons[static_cast<int>(severity)]);
    }
    list_->Add(text, icon);
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
}

void TForm1::Reported(const Finding& finding) {
    // A finding comes before the verdict of its line, which it then points
    // at; a finding about the whole file points at the top of the log.
    AddItem(ErrorItemText(finding, style_), finding.severity, finding.line > 0);
}

void TForm1::LineChecked(const LineVerdict& verdict) { AppendLine(verdict.verdict, verdict.line, verdict.raw); }

void TForm1::RunFinished(const RunEnd& end) {
    itemsAwaitingLine_.clear();
    if (end.cancelled) AddItem(kCancelledItem, Severity::Note, false);
    const SummaryLine summary = SummaryLogLine(end, style_);
    // The closing item points at the closing line when that line is marked.
    AddItem(SummaryItemText(end, style_), Severity::Note, summary.verdict != Verdict::Ok);
    // The run counted its error lines; a marked closing line counts as well.
    if (summary.verdict == Verdict::Error) ++engine_.ErrorCount;
    AppendLine(summary.verdict, summary.number, summary.text);
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
