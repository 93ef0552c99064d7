// The download and play commands of the window: the buttons, the step timer and
// the file transfer, bound to the pure steps, names and checks of the download
// folder's GUI-free code.
#include "app/form1.h"

#include "download/gamepath.h"
#include "download/playback.h"
#include "download/transfer.h"
#include "download/versionresource.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QPointer>
#include <QStandardPaths>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <climits>
#include <memory>

namespace {
const QString kNoGamePath = QStringLiteral("请先设置 魔兽路径 ！");

// A game file that starts with "MZ" is a Windows program.
bool IsWindowsExecutable(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(2) == "MZ";
}

// The progress text of an answer that announced no length: what has arrived.
QString ProgressTextWithoutLength(qint64 written)
{
    return QStringLiteral("下载 ") + QString::number(double(written) / 1024.0, 'f', 3) + QStringLiteral(" KB");
}

// The progress line takes the place of the box's text within its document: a
// new document for every 1 KiB chunk (setPlainText) would cost more than the
// transfer itself. The box is read-only, so it keeps no undo steps.
void ShowProgressLine(QPlainTextEdit *box, const QString &text)
{
    QTextDocument *document = box->document();
    document->setUndoRedoEnabled(false);
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    cursor.setPosition(0);  // by position: select(Document) would lay the old text out first
    cursor.setPosition(document->characterCount() - 1, QTextCursor::KeepAnchor);
    cursor.insertText(text);
    cursor.endEditBlock();
}

// Chunks come far faster than the screen changes: 8 MiB are 8192 chunks within a
// few frames, and moving the bar or editing the box costs more than a chunk's
// whole transfer. So within a frame the bar and the box take the first chunk's
// value at once and the newest one when the frame ends (or with the last chunk),
// and both paint once a frame: left to themselves the bar would repaint on every
// step it grows, and the box would wait behind the transfer's own events to paint
// at all. A frame never outlasts kFrameMs, so a slow or stalled answer still shows
// its last value; a text that another handler put into the box meanwhile (a row's
// commentary) is never covered by an older progress text.
class ProgressView {
public:
    ProgressView(QProgressBar *bar, QPlainTextEdit *box) : m_bar(bar), m_box(box)
    {
        m_frame.setSingleShot(true);
        m_frame.setInterval(kFrameMs);
        QObject::connect(&m_frame, &QTimer::timeout, [this] { settle(); });
        if (box)
            QObject::connect(box->document(), &QTextDocument::contentsChanged, &m_frame, [this] { m_boxChanged = true; });
    }
    ~ProgressView() { settle(); }

    // A success answer starts: shown now.
    void start(qint64 announced)
    {
        m_written = 0;
        m_announced = announced;
        if (m_bar && announced >= 0)
            m_bar->setRange(0, int(qMin<qint64>(announced, INT_MAX)));
        put(true);
        settle();
    }
    // After a chunk: shown at once when it is the first of a frame, the last one,
    // or the box changed since; otherwise when the frame ends.
    void step(qint64 written, qint64 announced)
    {
        m_written = written;
        m_announced = announced;
        const bool last = announced >= 0 && written >= announced;
        if (m_holding && !m_boxChanged && !last) {
            m_pending = true;
            return;
        }
        hold();
        put(true);
        if (last)
            settle();
    }
    // Ends the frame: the newest value is shown and everything paints now.
    void settle()
    {
        m_frame.stop();
        if (m_pending)
            put(!m_boxChanged);
        if (!m_holding)
            return;
        m_holding = false;
        if (m_bar) {
            m_bar->setUpdatesEnabled(true);
            m_bar->repaint();
        }
        if (m_box) {
            m_box->viewport()->setUpdatesEnabled(true);
            m_box->viewport()->repaint();
        }
    }

private:
    void hold()
    {
        if (m_holding || !m_bar || !m_box)
            return;
        m_holding = true;
        m_bar->setUpdatesEnabled(false);
        m_box->viewport()->setUpdatesEnabled(false);
        m_frame.start();
    }
    // The text only when it is newer than what the box shows. The text goes first,
    // so whoever watches the bar move finds the box already saying the same.
    void put(bool text)
    {
        m_pending = false;
        if (m_box && text) {
            ShowProgressLine(m_box, m_announced < 0 ? ProgressTextWithoutLength(m_written)
                                     : m_written == 0 ? ProgressStartText(m_announced)
                                                      : ProgressText(m_written, m_announced));
            m_boxChanged = false;
        }
        if (!m_bar)
            return;
        if (m_announced < 0)
            m_bar->setRange(0, 0);  // no length: the bar only shows that data flows
        else
            m_bar->setValue(int(qMin<qint64>(m_written, INT_MAX)));
    }

    static constexpr int kFrameMs = 15;
    QPointer<QProgressBar> m_bar;
    QPointer<QPlainTextEdit> m_box;
    QTimer m_frame;
    bool m_holding = false;
    bool m_pending = false;     // a value arrived within the frame and is not shown yet
    bool m_boxChanged = false;  // another handler wrote the box since our last text
    qint64 m_written = 0;
    qint64 m_announced = -1;
};

GameLauncher *LauncherOf(const Platform &platform)
{
    return platform.launcher ? platform.launcher : DesktopPlatform().launcher;
}
} // namespace

// ------------------------------------------------------------ download sequence

void Form1::Command1_Click()
{
    if (Text7->text().isEmpty()) {
        m_platform.dialogs->MsgBox(this, kNoGamePath, QString());
        return;
    }
    // One request at a time: a press while a file is coming in changes nothing.
    if (Transfer)
        return;
    if (Text8->text().isEmpty()) {
        m_platform.dialogs->MsgBox(this, QStringLiteral("请先选择一个录像！"), QString());
        return;
    }
    // A map path that could never be stored stops the download before the
    // replay is written.
    const QString mapPath = Text10->text();
    const QString why = mapPath.isEmpty() ? QString() : CheckRelativePath(mapPath);
    if (!why.isEmpty()) {
        m_platform.dialogs->MsgBox(this, QStringLiteral("无法保存地图：") + why, QString());
        return;
    }
    DownloadStep = 0;
    Timer1->start();
}

void Form1::Timer1_Timer()
{
    Timer1->stop();  // each arming runs exactly one step
    if (Transfer)
        return;
    // Every step reads the detail fields and the mode as they are now.
    const bool smartMode = Option1->isChecked();
    const QString mapPath = Text10->text();
    const StepPlan plan = PlanStep(DownloadStep, smartMode, smartMode && IsRegularFile(GameFolder, mapPath));

    if (plan.action == StepAction::FetchReplay) {
        const QString replayName = ReplayNameOf(Text8->text());
        const QTime now = TimeOfDay ? TimeOfDay() : QTime::currentTime();
        QString why = CheckFileName(replayName);
        ResolvedPath target;
        if (why.isEmpty()) {
            target = ResolveInGameFolder(GameFolder, QStringLiteral("replay\\") + TimePrefix(now) + replayName);
            why = target.error;
        }
        if (!why.isEmpty()) {
            m_platform.dialogs->MsgBox(this, QStringLiteral("无法保存录像：") + why, QString());
            return;
        }
        TargetPath = QDir::toNativeSeparators(target.path);
        StartInetGet(Text8->text());
        DownloadStep = plan.nextStep;
        return;
    }
    if (plan.action == StepAction::FetchMap) {
        const ResolvedPath target = ResolveInGameFolder(GameFolder, mapPath);
        if (!target.ok()) {
            m_platform.dialogs->MsgBox(this, QStringLiteral("无法保存地图：") + target.error, QString());
            return;
        }
        TargetPath = QDir::toNativeSeparators(target.path);
        StartInetGet(Text9->text());
        DownloadStep = plan.nextStep;
        return;
    }

    DownloadStep = plan.nextStep;
    Command3->setEnabled(true);
    Timer1->stop();
    Text6->clear();
    Label17->hide();
    m_platform.dialogs->MsgBox(this, QStringLiteral("下载完毕！"), QStringLiteral("OK"));
    if (m_unloaded)
        return;
    if (Check1->isChecked())
        Command3_Click();
}

void Form1::StartInetGet(const QString &url)
{
    if (Transfer)
        return;  // never a second request on the busy channel
    // The step running now: 0 fetches the replay, later steps the map. The target
    // is fixed here, in the transfer; a row click that rewrites TargetPath later
    // does not move it.
    const auto kind = DownloadStep == 0 ? FileTransfer::Kind::Replay : FileTransfer::Kind::Map;
    auto *transfer = new FileTransfer(url, TargetPath, kind, this);
    Transfer = transfer;
    auto view = std::make_shared<ProgressView>(ProgressBar1, Text6);
    connect(transfer, &FileTransfer::progress, this, [this, view](qint64 written, qint64 announced) {
        if (m_unloaded)
            return;
        if (written == 0)
            view->start(announced);
        else
            view->step(written, announced);
    });
    connect(transfer, &FileTransfer::finished, this, [this, transfer, view](const FetchResult &result) {
        view->settle();
        if (Transfer == transfer)
            Transfer = nullptr;
        transfer->deleteLater();
        if (m_unloaded)
            return;
        if (!result.ok()) {
            // The sequence stops here; the file under the target name is as it was.
            m_platform.dialogs->MsgBox(this, QStringLiteral("下载失败：") + result.error, QString());
            return;
        }
        // Only a replay that arrived whole is the one to play.
        if (transfer->kind() == FileTransfer::Kind::Replay)
            ReplayPath = QDir::toNativeSeparators(transfer->targetPath());
        Timer1->start();
    });
    transfer->start();
}

void Form1::Option1_Click()
{
    m_platform.dialogs->MsgBox(this, QStringLiteral("当以存在相应地图时忽略下载！"), QString());
}

void Form1::Option2_Click()
{
    m_platform.dialogs->MsgBox(this, QStringLiteral("录像和地图一并覆盖原来的！"), QString());
}

void Form1::Text10_Change()
{
    // No map path, no map to miss.
    if (Text10->text().isEmpty() || IsRegularFile(GameFolder, Text10->text()))
        Label17->hide();
    else if (!Text7->text().isEmpty())
        Label17->show();
}

// ------------------------------------------------------------ game path and play

void Form1::Command2_Click()
{
    // From 1.28 on the game's program is "Warcraft III.exe".
    const std::optional<QString> chosen =
        m_platform.dialogs->OpenFile(this, QStringLiteral("War3(War3.exe;Warcraft III.exe)"),
                                     {QStringLiteral("War3.exe"), QStringLiteral("Warcraft III.exe")});
    if (m_unloaded)
        return;
    // The dialog keeps the file name chosen before: a cancel leaves it as it was.
    if (chosen)
        CommonDialog1->setProperty("FileName", *chosen);
    Text7->setText(CommonDialog1->property("FileName").toString());
    GameFolder = GameFolderOf(Text7->text());
    Text12->setText(GameVersionText(GetDllVersion(GameVersionFile(GameFolder, Text7->text()))));
}

QString Form1::GetDllVersion(const QString &path)
{
    const std::optional<QString> version = ProductVersionOf(path);
    if (!version) {
        m_platform.dialogs->MsgBox(this, QStringLiteral("未能取得信息!"), QCoreApplication::applicationName());
        return QString();
    }
    return *version;
}

void Form1::Command3_Click()
{
    if (Text7->text().isEmpty()) {
        m_platform.dialogs->MsgBox(this, kNoGamePath, QString());
        return;
    }
    // A replay from the game folder has its own checks; a site replay the text check.
    if (LocalReplayChosen()) {
        if (!LocalReplayPlays())
            return;
    } else if (!VersionsFit(Text5->text(), Text12->text())) {
        m_platform.dialogs->MsgBox(this, QStringLiteral("当前魔兽版本不对应录像版本！"), QString());
        return;
    }
    const QString game = Text7->text();
    Text1->setText(GameCommandLine(game, ReplayPath));
    const bool windowsProgram = IsWindowsExecutable(game);
    const LaunchPlan plan = PlanLaunch(
        game, ReplayPath, windowsProgram,
        windowsProgram ? QStandardPaths::findExecutable(QStringLiteral("wine")) : QString());
    QString error;
    if (!LauncherOf(m_platform)->Start(plan, &error)) {
        m_platform.dialogs->MsgBox(this, QStringLiteral("无法启动魔兽：") + error, QString());
        return;
    }
    // The game takes the screen: the window steps aside, minimised (window state 1).
    setProperty("WindowState", 1);
    setWindowState(windowState() | Qt::WindowMinimized);
}
