// The download and play commands of the window: the buttons bound to the
// download sequence, whose signals the window shows, and to the pure names and
// checks of the download folder's GUI-free code.
#include "app/form1.h"

#include "download/downloadsequence.h"
#include "download/gamepath.h"
#include "download/playback.h"
#include "download/progressview.h"
#include "download/versionresource.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTimer>

namespace {
const QString kNoGamePath = QStringLiteral("请先设置 魔兽路径 ！");

// A game file that starts with "MZ" is a Windows program.
bool IsWindowsExecutable(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(2) == "MZ";
}

GameLauncher *LauncherOf(const Platform &platform)
{
    return platform.launcher ? platform.launcher : DesktopPlatform().launcher;
}
} // namespace

// ------------------------------------------------------------ download sequence

void Form1::BindDownload()
{
    // The sequence reads the fields at each step, as they are then.
    Download = new DownloadSequence([this] {
        return DownloadFields{GameFolder, Text8->text(), MapFetchUrl(), Text10->text(), Text2->text(), Option1->isChecked()};
    }, Timer1, this);
    Download->setClock([this] { return TimeOfDay ? TimeOfDay() : QTime::currentTime(); });
    auto *view = new ProgressView(ProgressBar1, Text6, this);
    connect(Download, &DownloadSequence::progress, this, [this, view](qint64 written, qint64 announced) {
        if (m_unloaded)
            return;
        if (written == 0)
            view->start(announced);
        else
            view->step(written, announced);
    });
    connect(Download, &DownloadSequence::replayStored, this, [this](const QString &path) { ReplayPath = path; });
    connect(Download, &DownloadSequence::failed, this, [this, view](const QString &reason) {
        view->end(false);
        if (m_unloaded)
            return;
        // The file under the target name is as it was; the progress text stays.
        m_platform.dialogs->MsgBox(this, reason, QString());
    });
    connect(Download, &DownloadSequence::finished, this, [this, view](const QString &notice) {
        view->end(true);
        if (m_unloaded)
            return;
        Command3->setEnabled(true);
        Text6->clear();
        Label17->hide();
        if (!notice.isEmpty()) {
            m_platform.dialogs->MsgBox(this, notice, QString());
            if (m_unloaded)
                return;
        }
        m_platform.dialogs->MsgBox(this, QStringLiteral("下载完毕！"), QStringLiteral("OK"));
        if (m_unloaded)
            return;
        if (Check1->isChecked())
            Command3_Click();
    });
    m_downloadView = view;
}

void Form1::Command1_Click()
{
    if (Text7->text().isEmpty()) {
        m_platform.dialogs->MsgBox(this, kNoGamePath, QString());
        return;
    }
    // The local list shows replays that are already in the game folder.
    if (SiteMode == u"local") {
        m_platform.dialogs->MsgBox(this, QStringLiteral("该录像已在本地，无需下载！"), QString());
        return;
    }
    // One request at a time: a press while a file is coming in offers to cancel it.
    if (Download->transfer()) {
        if (!m_platform.dialogs->Question(this, QStringLiteral("取消当前下载？")) || m_unloaded)
            return;
        // The transfer may have ended while the question was up.
        if (!Download->isRunning())
            return;
        Download->cancel();
        m_downloadView->end(false);
        m_platform.dialogs->MsgBox(this, QStringLiteral("下载已取消"), QString());
        return;
    }
    if (Text8->text().isEmpty()) {
        m_platform.dialogs->MsgBox(this, QStringLiteral("请先选择一个录像！"), QString());
        return;
    }
    Download->start();
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
