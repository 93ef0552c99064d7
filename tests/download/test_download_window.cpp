// Setting the game path, downloading a replay and its map, and starting the game,
// in the real window against the demo site, with a copy of the demo game folder.
#include "download/transfer.h"
#include "support/testfiles.h"
#include "support/testwindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

namespace {
const QString kDone = QStringLiteral("下载完毕！");
const QString kMapPath = QStringLiteral("Maps\\Download\\(2)Test.w3x");
QTime g_now;  // the window's clock in these tests

// A streamed answer of `length` bytes after `head`, a piece every 20 ms; the
// server hangs up after `limitMs`.
DemoResponse slowAnswer(const QByteArray &head, qint64 length, int limitMs = 120 * 1000)
{
    DemoResponse r = DemoResponse::streamed(head, QByteArray(4096, 'm'), QByteArray(), length);
    r.contentType = "application/octet-stream";
    r.streamPieceBytes = 4096;
    r.streamIntervalMs = 20;
    r.streamLimitMs = limitMs;
    return r;
}

class DownloadWindow : public ::testing::Test {
protected:
    TestWindow w;
    QTemporaryDir game;

    void SetUp() override
    {
        w->Timer4->stop();
        w->Timer2->stop();
        CopyDemoGame(game.path());
        w.dialogs.openFileAnswers.push_back(exe());
        w->Command2_Click();
        ASSERT_EQ(w->Text12->text(), QStringLiteral("1.24.4.6387"));
        g_now = QTime(9, 5, 7);
        w->TimeOfDay = [] { return g_now; };
        w->Command1->setEnabled(true);  // as a loaded listing leaves it
        w.dialogs.messages.clear();
    }

    QString exe() const { return game.filePath(QStringLiteral("War3.exe")); }
    QString file(const QString &relative) const { return game.filePath(relative); }
    QString melee(const char *path) { return w->Roots().melee + QLatin1String(path); }

    // What a detail page leaves in the download fields.
    void select(const QString &replayUrl, const QString &mapUrl, const QString &mapPath = kMapPath)
    {
        w->Text8->setText(replayUrl);
        w->Text9->setText(mapUrl);
        w->Text10->setText(mapPath);
    }
    // Presses "下载" and waits for the message that ends the sequence.
    ShownMessage download()
    {
        const qsizetype before = w.dialogs.messages.size();
        w->Command1->click();
        WaitFor([&] { return w.dialogs.messages.size() > before; }, 30000);
        return w.dialogs.messages.size() > before ? w.dialogs.messages.last() : ShownMessage{};
    }
    QStringList texts() const
    {
        QStringList out;
        for (const ShownMessage &m : w.dialogs.messages)
            out << m.text;
        return out;
    }
    int fileRequests()
    {
        int n = 0;
        for (const DemoRequest &r : w.server().requests())
            n += r.path().startsWith("/_files/") || r.path().startsWith("/dota/") ? 1 : 0;
        return n;
    }
};
} // namespace

TEST_F(DownloadWindow, ReplaysShowEachChunkGetTheirOwnTimePrefixAndSkipAMapOnDisk)
{
    WriteBytes(file(QStringLiteral("Maps/Download/(2)Test.w3x")), "old map");
    select(melee("/_files/replay/2048"), melee("/_files/map/4096"));
    QStringList texts;
    QObject::connect(w->Text6, &QPlainTextEdit::textChanged, [&] { texts << w->Text6->toPlainText(); });
    w->Command3->setEnabled(false);

    const ShownMessage end = download();
    EXPECT_EQ(end.text, kDone);
    EXPECT_EQ(end.title, QStringLiteral("OK"));
    EXPECT_EQ(texts, (QStringList{QStringLiteral("下载 0 / 2.000 KB"), QStringLiteral("下载 1.000 / 2.000 KB"),
                                  QStringLiteral("下载 2.000 / 2.000 KB"), QString()}));
    EXPECT_EQ(fileRequests(), 1);  // the replay only
    const QString stored = file(QStringLiteral("replay/9：5：7 _2048"));
    EXPECT_EQ(ReadBytes(stored), FetchBody(melee("/_files/replay/2048")));
    EXPECT_EQ(ReadBytes(stored).size(), 2048);
    EXPECT_EQ(w->ReplayPath, stored);
    EXPECT_EQ(ReadBytes(file(QStringLiteral("Maps/Download/(2)Test.w3x"))), "old map");
    EXPECT_TRUE(w->Command3->isEnabled());
    EXPECT_TRUE(w->Label17->isHidden());
    EXPECT_FALSE(w->Timer1->isActive());

    // The same name again, later, from an answer without a length: written to its end.
    g_now = QTime(14, 30, 0);
    w->Text8->setText(melee("/_files/nolength/2048"));
    EXPECT_EQ(download().text, kDone);
    EXPECT_EQ(FilesBelow(file(QStringLiteral("replay"))),
              (QStringList{QStringLiteral("14：30：0 _2048"), QStringLiteral("9：5：7 _2048")}));
    EXPECT_EQ(ReadBytes(file(QStringLiteral("replay/14：30：0 _2048"))).size(), 2048);
    EXPECT_EQ(w->ReplayPath, file(QStringLiteral("replay/14：30：0 _2048")));
}

TEST_F(DownloadWindow, MapIsFetchedWhenMissingOrInOverwriteMode)
{
    const struct {
        bool overwrite;
        QByteArray oldMap;  // empty: no map on disk
    } cases[] = {{false, {}}, {true, QByteArray(9000, 'o')}};
    const QString mapFile = file(QStringLiteral("Maps/Download/(2)Test.w3x"));
    const QByteArray fresh = FetchBody(melee("/_files/map/3000"));
    for (const auto &c : cases) {
        QFile::remove(mapFile);
        if (!c.oldMap.isEmpty())
            WriteBytes(mapFile, c.oldMap);
        (c.overwrite ? w->Option2 : w->Option1)->setChecked(true);
        select(melee("/_files/replay/2048"), melee("/_files/map/3000"));
        EXPECT_EQ(download().text, kDone);
        EXPECT_EQ(ReadBytes(mapFile), fresh) << c.overwrite << c.oldMap.size();
    }
    EXPECT_EQ(fresh.size(), 3000);
    EXPECT_EQ(texts(), QStringList(2, kDone));
}

TEST_F(DownloadWindow, FailedTransfersLeaveOldFilesAndStopTheSequence)
{
    // The first two fail in the replay step, the last in the map step (overwrite
    // mode, an old map on disk), cut off mid-body.
    const struct {
        const char *replay;
        const char *map;
    } cases[] = {{"/_files/404", "/_files/map/3000"}, {"/_files/htmlreplay", "/_files/map/3000"},
                 {"/_files/replay/2048", "/_files/slowmap"}};
    w.server().setOverride(QStringLiteral("melee"), "/_files/slowmap", slowAnswer("HM3W", 1024 * 1024, 300));
    w->Option2->setChecked(true);
    const QString mapFile = file(QStringLiteral("Maps/Download/(2)Test.w3x"));
    int minute = 0;
    for (const auto &c : cases) {
        WriteBytes(mapFile, "old map");
        g_now = QTime(10, ++minute, 0);
        const QString replay =
            file(QStringLiteral("replay/10：%1：0 _").arg(minute)) + QString::fromLatin1(c.replay).section(u'/', -1);
        w->Command3->setEnabled(false);
        select(melee(c.replay), melee(c.map));
        const ShownMessage end = download();
        const bool mapStep = !QByteArray(c.map).startsWith("/_files/map/");
        EXPECT_TRUE(end.text.startsWith(QStringLiteral("下载失败："))) << c.replay << c.map << qPrintable(end.text);
        EXPECT_EQ(ReadBytes(mapFile), "old map") << c.map;
        EXPECT_EQ(QFileInfo::exists(replay), mapStep) << c.replay;
        if (mapStep)
            EXPECT_EQ(w->ReplayPath, replay);
        EXPECT_FALSE(w->Command3->isEnabled());
        EXPECT_FALSE(w->Timer1->isActive());
        EXPECT_TRUE(FilesBelow(game.path()).filter(FileTransfer::kPartSuffix).isEmpty());
    }
    EXPECT_FALSE(texts().contains(kDone));
}

TEST_F(DownloadWindow, HostileNamesWriteNothing)
{
    const QStringList before = FilesBelow(game.path());
    const QString replay = melee("/_files/replay/2048");
    const QStringList cases[] = {
        {replay, QStringLiteral("..\\x.w3x"), QStringLiteral("无法保存地图：")},
        {replay, QStringLiteral("C:\\x.w3x"), QStringLiteral("无法保存地图：")},
        {melee("/x/..%5C..%5Cevil.w3g"), kMapPath, QStringLiteral("无法保存录像：")},
        {melee("/x/"), kMapPath, QStringLiteral("无法保存录像：")},
    };
    for (const QStringList &c : cases) {
        select(c[0], melee("/_files/map/3000"), c[1]);
        EXPECT_TRUE(download().text.startsWith(c[2])) << qPrintable(c[0] + u' ' + c[1]);
    }
    EXPECT_EQ(FilesBelow(game.path()), before);
    EXPECT_EQ(fileRequests(), 0);
}

TEST_F(DownloadWindow, DownloadNeedsAGamePathAndAReplay)
{
    w->Command1_Click();  // the fixture has a game path, no replay selected
    w->Text7->clear();
    w->GameFolder.clear();
    select(melee("/_files/replay/2048"), melee("/_files/map/3000"));
    w->Command1_Click();
    w->Command3_Click();
    ASSERT_EQ(w.dialogs.messages.size(), 3);
    EXPECT_EQ(w.dialogs.messages[0].text, QStringLiteral("请先选择一个录像！"));
    EXPECT_EQ(w.dialogs.messages[1].text, QStringLiteral("请先设置 魔兽路径 ！"));
    EXPECT_EQ(w.dialogs.messages[2].text, QStringLiteral("请先设置 魔兽路径 ！"));
    EXPECT_EQ(w.dialogs.messages[2].title, QString());
    EXPECT_FALSE(w->Timer1->isActive());
    EXPECT_TRUE(w.launcher.started.isEmpty());
}

TEST_F(DownloadWindow, BigMapShowsProgressAndAPressMidTransferStartsNoSecondRequest)
{
    const QString mapUrl = w->Roots().dotaMap + QStringLiteral("g7h8i9/DotA%20Allstars%20v6.66.w3x");
    select(melee("/_files/replay/2048"), mapUrl, QStringLiteral("Maps\\DotA\\DotA Allstars v6.66.w3x"));
    bool pressed = false;
    int requestsAtPress = 0;
    QObject::connect(w->ProgressBar1, &QProgressBar::valueChanged, [&](int value) {
        if (pressed || w->ProgressBar1->maximum() < 8 * 1024 * 1024 || value < w->ProgressBar1->maximum() / 3)
            return;
        pressed = true;
        QTimer::singleShot(0, [&] {
            SaveScreenshot(w.form.get(), QStringLiteral("download-progress.png"));
            requestsAtPress = fileRequests();
            w->Command1->click();
        });
    });
    EXPECT_EQ(download().text, kDone);
    EXPECT_TRUE(pressed);
    EXPECT_EQ(requestsAtPress, 2);
    EXPECT_EQ(fileRequests(), 2);
    const QByteArray map = ReadBytes(file(QStringLiteral("Maps/DotA/DotA Allstars v6.66.w3x")));
    EXPECT_EQ(map.size(), 8 * 1024 * 1024);
    EXPECT_EQ(map, FetchBody(mapUrl));
}

TEST_F(DownloadWindow, ANewSelectionDuringATransferDoesNotMoveIt)
{
    // A replay that takes about a third of a second to arrive.
    w.server().setOverride(QStringLiteral("melee"), "/_files/slowreplay",
                           slowAnswer(QByteArray("Warcraft III recorded game\x1A\x00", 28), 64 * 1024));
    select(melee("/_files/slowreplay"), melee("/_files/map/3000"));
    w->Command1->click();
    ASSERT_TRUE(WaitFor([&] { return w->ProgressBar1->value() > 0; }, 10000));
    // What a row click leaves: its search pattern in TargetPath, another replay's fields.
    w->TargetPath = file(QStringLiteral("replay\\*other.w3g"));
    select(melee("/_files/replay/2048"), melee("/_files/map/5000"), QStringLiteral("Maps\\Other.w3x"));
    EXPECT_EQ(download().text, kDone);
    EXPECT_EQ(FilesBelow(file(QStringLiteral("replay"))), QStringList{QStringLiteral("9：5：7 _slowreplay")});
    EXPECT_EQ(ReadBytes(file(QStringLiteral("replay/9：5：7 _slowreplay"))).size(), 64 * 1024);
    // The map step reads the fields as they are when it runs.
    EXPECT_EQ(ReadBytes(file(QStringLiteral("Maps/Other.w3x"))).size(), 5000);
}

TEST_F(DownloadWindow, ClosingTheWindowMidTransferLeavesNothing)
{
    w.server().setOverride(QStringLiteral("melee"), "/_files/slowmap", slowAnswer("HM3W", 1024 * 1024, 20000));
    select(melee("/_files/replay/2048"), melee("/_files/slowmap"));
    w->Command1->click();
    ASSERT_TRUE(WaitFor([&] { return w->ProgressBar1->maximum() == 1024 * 1024 && w->ProgressBar1->value() > 0; }, 10000));
    w->close();
    WaitFor([] { return false; }, 500);
    EXPECT_TRUE(w.dialogs.messages.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(file(QStringLiteral("Maps/Download/(2)Test.w3x"))));
    EXPECT_TRUE(FilesBelow(game.path()).filter(FileTransfer::kPartSuffix).isEmpty());
}

TEST_F(DownloadWindow, TickedCheckPlaysAfterTheDoneMessageIsClosed)
{
    WriteBytes(file(QStringLiteral("Maps/Download/(2)Test.w3x")), "map");
    select(melee("/_files/replay/2048"), melee("/_files/map/3000"));
    w->Text5->setText(QStringLiteral("1.24"));
    w->Check1->setChecked(true);
    qsizetype startedDuringMessage = -1;
    w.dialogs.onMessage = [&](const ShownMessage &m) {
        if (m.text != kDone)
            return;
        startedDuringMessage = w.launcher.started.size();
        SaveScreenshot(w.form.get(), QStringLiteral("download-done.png"));
    };
    EXPECT_EQ(download().text, kDone);
    EXPECT_EQ(startedDuringMessage, 0);
    ASSERT_EQ(w.launcher.started.size(), 1);
    EXPECT_EQ(w.launcher.started[0].program, exe());
    EXPECT_EQ(w.launcher.started[0].arguments,
              (QStringList{QStringLiteral("-loadfile"), file(QStringLiteral("replay/9：5：7 _2048"))}));
}

TEST_F(DownloadWindow, TheGameStandInReceivesTheReplayPath)
{
    w.launcher.real = true;
    w->Text5->setText(QStringLiteral("1.24"));
    w->ReplayPath = file(QStringLiteral("replay/14：3：9 _Sky VS 风神 (1003).w3g"));
    w->Command3->click();
    EXPECT_EQ(w->Text1->text(), u'"' + exe() + QStringLiteral("\" -loadfile \"") + w->ReplayPath + u'"');
    const QString record = file(QStringLiteral("last-launch.txt"));
    ASSERT_TRUE(WaitFor([&] { return QFileInfo::exists(record); }, 10000));
    EXPECT_EQ(QString::fromUtf8(ReadBytes(record)), QStringLiteral("-loadfile\n") + w->ReplayPath + u'\n');
    EXPECT_EQ(w->property("WindowState").toInt(), 1);
    EXPECT_TRUE(w.dialogs.messages.isEmpty());

    // A game that is gone cannot start: the tool says so and goes on.
    QFile::remove(exe());
    w->Command3_Click();
    ASSERT_EQ(w.dialogs.messages.size(), 1);
    EXPECT_TRUE(w.dialogs.messages[0].text.startsWith(QStringLiteral("无法启动魔兽："))) << qPrintable(w.dialogs.messages[0].text);
}

TEST_F(DownloadWindow, ReplayVersionMustOccurInTheGameVersion)
{
    // The demo Game.dll is version 1.24.4.6387; the fit itself is the playback tests' part.
    for (const auto &[replay, plays] : {std::pair{"24.4", true}, std::pair{"1.24b", false}}) {
        w.launcher.started.clear();
        w.dialogs.messages.clear();
        w->Text5->setText(QString::fromUtf8(replay));
        w->Command3_Click();
        EXPECT_EQ(w.launcher.started.size(), plays ? 1 : 0) << replay;
        EXPECT_EQ(w.dialogs.messages.size(), plays ? 0 : 1) << replay;
        if (!plays && !w.dialogs.messages.isEmpty())
            EXPECT_EQ(w.dialogs.messages[0].text, QStringLiteral("当前魔兽版本不对应录像版本！"));
    }
}

TEST_F(DownloadWindow, GamePathFromTheDialog)
{
    EXPECT_EQ(w.dialogs.openFileFilters, QStringList{QStringLiteral("War3(War3.exe)|War3.exe")});
    EXPECT_EQ(w->Text7->text(), exe());
    EXPECT_EQ(w->GameFolder, game.path() + u'/');

    // A cancelled dialog keeps the path chosen before, and reads the version again.
    w->Text12->clear();
    w->Command2_Click();
    EXPECT_EQ(w->Text7->text(), exe());
    EXPECT_EQ(w->GameFolder, game.path() + u'/');
    EXPECT_EQ(w->Text12->text(), QStringLiteral("1.24.4.6387"));
    EXPECT_TRUE(w.dialogs.messages.isEmpty());

    // An unreadable Game.dll (cut short) gives no version.
    QFile dll(file(QStringLiteral("Game.dll")));
    ASSERT_TRUE(dll.resize(300));
    w->Command2_Click();
    ASSERT_EQ(w.dialogs.messages.size(), 1);
    EXPECT_EQ(w.dialogs.messages[0].text, QStringLiteral("未能取得信息!"));
    EXPECT_EQ(w.dialogs.messages[0].title, QCoreApplication::applicationName());
    EXPECT_FALSE(QCoreApplication::applicationName().isEmpty());
    EXPECT_EQ(w->Text12->text(), QString());

    // The dialog's filter finds the game file in any letter case.
    QTemporaryDir names;
    for (const char *n : {"war3.exe", "WAR3.EXE", "War3.exe.bak", "War3xexe", "xWar3.exe"})
        WriteBytes(names.filePath(QLatin1String(n)), "x");
    QStringList found =
        QDir(names.path()).entryList({CaseFreePattern(QStringLiteral("War3.exe"))}, QDir::Files | QDir::CaseSensitive);
    found.sort();
    EXPECT_EQ(found, (QStringList{QStringLiteral("WAR3.EXE"), QStringLiteral("war3.exe")}));
}

TEST_F(DownloadWindow, ModeButtonsSpeakOnlyWhenClicked)
{
    w->Option2->setChecked(true);
    w->Option1->setChecked(true);
    EXPECT_TRUE(w.dialogs.messages.isEmpty());
    QTest::mouseClick(w->Option2, Qt::LeftButton);
    QTest::mouseClick(w->Option1, Qt::LeftButton);
    ASSERT_EQ(w.dialogs.messages.size(), 2);
    EXPECT_EQ(w.dialogs.messages[0].text, QStringLiteral("录像和地图一并覆盖原来的！"));
    EXPECT_EQ(w.dialogs.messages[1].text, QStringLiteral("当以存在相应地图时忽略下载！"));
    EXPECT_TRUE(w->Option1->isChecked());
}

TEST_F(DownloadWindow, MapNoteFollowsTheMapFile)
{
    WriteBytes(file(QStringLiteral("Maps/Download/(2)Here.w3x")), "map");
    // Which paths count as a map file is the game-path tests' part.
    const struct {
        bool gamePath, shownBefore;
        const char *mapPath;
        bool shownAfter;
    } cases[] = {
        {true, false, "Maps\\Download\\(2)Missing.w3x", true},
        {true, true, "maps\\download\\(2)here.w3x", false},
        {false, true, "Maps\\Download\\(2)Missing.w3x", true},
        {false, false, "Maps\\Download\\(2)Missing.w3x", false},
    };
    for (const auto &c : cases) {
        w->Text7->setText(c.gamePath ? exe() : QString());
        w->Label17->setVisible(c.shownBefore);
        w->Text10->setText(QString::fromUtf8(c.mapPath));
        EXPECT_EQ(!w->Label17->isHidden(), c.shownAfter) << c.mapPath << c.gamePath;
        w->Text10->clear();
    }
}
