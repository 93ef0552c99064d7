// Setting the game path, downloading a replay and its map, and starting the game,
// in the real window against the demo site, with a copy of the demo game folder.
#include "download/transfer.h"
#include "support/testwindow.h"

const QString kDone = QStringLiteral("下载完毕！"), kMapPath = QStringLiteral("Maps\\Download\\(2)Test.w3x");
QTime g_now;  // the window's clock in these tests

// A streamed answer of `length` bytes after `head`, 4 KiB every 20 ms, cut off after `limitMs`.
DemoResponse slowAnswer(const QByteArray &head, qint64 length, int limitMs = 120 * 1000)
{
    DemoResponse r = DemoResponse::streamed(head, QByteArray(4096, 'm'), QByteArray(), length);
    r.streamPieceBytes = 4096;
    r.streamIntervalMs = 20;
    r.streamLimitMs = limitMs;
    return r;
}

class DownloadWindow : public ::testing::Test {
protected:
    TestWindow w;
    QTemporaryDir game;
    const QString exe = file("War3.exe"), mapFile = file("Maps/Download/(2)Test.w3x");
    void SetUp() override
    {
        w->Timer4->stop();
        w->Timer2->stop();
        ChooseDemoGame(w, game.path());
        g_now = QTime(9, 5, 7);
        w->TimeOfDay = [] { return g_now; };
        w->Command1->setEnabled(true);  // as a loaded listing leaves it
    }
    QString file(const char *relative) const { return game.filePath(QString::fromUtf8(relative)); }
    QString site(const char *path) { return w->Roots().melee + QLatin1String(path); }
    // Fills the download fields as a detail page does and presses "下载"; with
    // `wait`, returns the message that ends the sequence.
    QString download(const QString &replayUrl, const QString &mapUrl, const QString &mapPath = kMapPath, bool wait = true)
    {
        w->Text8->setText(replayUrl);
        w->Text9->setText(mapUrl);
        w->Text10->setText(mapPath);
        const qsizetype before = w.dialogs.messages.size();
        w->Command1->click();
        return wait && WaitFor([&] { return w.dialogs.messages.size() > before; }, 30000) ? w.dialogs.messages.last().text : QString();
    }
    int fileRequests()
    {
        const QList<DemoRequest> all = w.server().requests();
        return int(std::count_if(all.begin(), all.end(), [](const DemoRequest &r) { return r.path().startsWith("/_files/"); }));
    }
};

TEST_F(DownloadWindow, ReplayAndMapInSmartAndOverwriteModeThenPlay)
{
    WriteBytes(mapFile, QByteArray(9000, 'o'));
    QStringList texts;
    QObject::connect(w->Text6, &QPlainTextEdit::textChanged, [&] { texts << w->Text6->toPlainText(); });
    w->Command3->setEnabled(false);
    w->Text5->setText(QStringLiteral("1.24"));
    w->Check1->setChecked(true);  // play once the done message is closed
    qsizetype startedDuringMessage = -1;
    w.dialogs.onMessage = [&](const ShownMessage &) {
        startedDuringMessage = w.launcher.started.size();
        SaveScreenshot(w, "download-done.png");
        w.dialogs.onMessage = nullptr;
    };
    EXPECT_EQ(download(site("/_files/replay/2048"), site("/_files/map/3000")), kDone);
    EXPECT_EQ(texts, (QStringList{QStringLiteral("下载 0 / 2.000 KB"), QStringLiteral("下载 1.000 / 2.000 KB"),
                                  QStringLiteral("下载 2.000 / 2.000 KB"), QString()}));
    EXPECT_EQ(fileRequests(), 1);  // the map on disk is not asked for
    EXPECT_EQ(w->ReplayPath, file("replay/9：5：7 _2048"));
    EXPECT_EQ(ReadBytes(w->ReplayPath).size(), 2048);
    EXPECT_EQ(ReadBytes(w->ReplayPath), FetchBody(site("/_files/replay/2048")));
    EXPECT_EQ(ReadBytes(mapFile), QByteArray(9000, 'o'));
    EXPECT_TRUE(w->Command3->isEnabled() && w->Label17->isHidden() && !w->Timer1->isActive());
    EXPECT_EQ(startedDuringMessage, 0);  // what the game is given is the end-to-end road's part
    EXPECT_EQ(w.launcher.started.size(), 1);

    // Overwrite mode, later, an answer without a length: a new name, written to
    // its end; the longer old map is replaced exactly.
    w->Option2->click();
    g_now = QTime(14, 30, 0);
    EXPECT_EQ(download(site("/_files/nolength/2048"), site("/_files/map/3000")), kDone);
    EXPECT_EQ(FilesBelow(file("replay")), (QStringList{QStringLiteral("14：30：0 _2048"), QStringLiteral("9：5：7 _2048")}));
    EXPECT_EQ(ReadBytes(mapFile).size(), 3000);
    EXPECT_EQ(ReadBytes(mapFile), FetchBody(site("/_files/map/3000")));
    w->Option1->click();
    EXPECT_EQ(w.dialogs.texts(true), (QStringList{"OK|" + kDone, "|录像和地图一并覆盖原来的！", "OK|" + kDone, "|当以存在相应地图时忽略下载！"}));
}

// Hostile names and failed replay fetches are the fault suite's rows.
TEST_F(DownloadWindow, AMapCutOffInOverwriteModeKeepsTheOldMapAndTheWholeReplay)
{
    w.server().setOverride(QStringLiteral("melee"), "/_files/slowmap", slowAnswer("HM3W", 1024 * 1024, 300));
    w->Option2->setChecked(true);
    WriteBytes(mapFile, "old map");
    w->Command3->setEnabled(false);
    EXPECT_TRUE(download(site("/_files/replay/2048"), site("/_files/slowmap")).startsWith(u8s("下载失败：")));
    EXPECT_EQ(ReadBytes(mapFile), "old map");
    EXPECT_EQ(w->ReplayPath, file("replay/9：5：7 _2048"));
    EXPECT_EQ(ReadBytes(w->ReplayPath).size(), 2048);
    EXPECT_FALSE(w->Command3->isEnabled() || w->Timer1->isActive());
    EXPECT_TRUE(FilesBelow(game.path()).filter(FileTransfer::kPartSuffix).isEmpty());
}

TEST_F(DownloadWindow, ATextPutIntoTheBoxMidTransferIsNotCoveredByAnOlderProgressText)
{
    // Two bursts of four chunks, a second apart.
    DemoResponse map = slowAnswer("HM3W", 8192);
    map.streamIntervalMs = 1000;
    w.server().setOverride(QStringLiteral("melee"), "/_files/burstmap", map);
    w->Option2->setChecked(true);
    bool written = false;
    // Another handler writes the box right behind the last chunk of the first burst.
    QObject::connect(w->Timer1, &QTimer::timeout, [&] {
        if (w->Transfer && w->Transfer->kind() == FileTransfer::Kind::Map)
            QObject::connect(w->Transfer, &FileTransfer::progress, [&](qint64 bytes, qint64) {
                if (bytes == 4096 && !written) {
                    w->Text6->setPlainText(u8s("另一个录像的评论"));
                    written = true;
                }
            });
    });
    download(site("/_files/replay/2048"), site("/_files/burstmap"), kMapPath, false);
    ASSERT_TRUE(WaitFor([&] { return written; }));
    Idle(100);  // the frame has ended; the next burst is not due yet
    EXPECT_EQ(w->Text6->toPlainText(), u8s("另一个录像的评论"));
    EXPECT_TRUE(WaitFor([&] { return w.dialogs.texts().contains(kDone); }));
}

TEST_F(DownloadWindow, PressesSelectionsAndCloseMidTransfer)
{
    w.server().setOverride(QStringLiteral("melee"), "/_files/slowreplay", slowAnswer(QByteArray("Warcraft III recorded game\x1A\x00", 28), 256 * 1024));
    const auto midway = [&] {
        download(site("/_files/slowreplay"), site("/_files/map/3000"), kMapPath, false);
        return WaitFor([&] { return w->ProgressBar1->maximum() == 256 * 1024 && w->ProgressBar1->value() > 0 && w->ProgressBar1->value() < 256 * 1024; });
    };
    ASSERT_TRUE(midway());
    SaveScreenshot(w, "download-progress.png");
    // A row clicked meanwhile (its search pattern in TargetPath, another replay's
    // fields) and a second press neither start nor move anything; the map step
    // reads the fields as they are then.
    w->TargetPath = file("replay\\*other.w3g");
    EXPECT_EQ(download(site("/_files/replay/2048"), site("/_files/map/5000"), QStringLiteral("Maps\\Other.w3x")), kDone);
    EXPECT_EQ(fileRequests(), 2);
    EXPECT_EQ(FilesBelow(file("replay")), QStringList{QStringLiteral("9：5：7 _slowreplay")});
    EXPECT_EQ(ReadBytes(file("replay/9：5：7 _slowreplay")).size(), 256 * 1024);
    EXPECT_EQ(ReadBytes(file("Maps/Other.w3x")).size(), 5000);

    // Closing the window mid-transfer says nothing and leaves the earlier file whole.
    w.dialogs.messages.clear();
    ASSERT_TRUE(midway());
    w->close();
    Idle(500);
    EXPECT_TRUE(w.dialogs.messages.isEmpty());
    EXPECT_EQ(FilesBelow(file("replay")), QStringList{QStringLiteral("9：5：7 _slowreplay")});
    EXPECT_EQ(ReadBytes(file("replay/9：5：7 _slowreplay")).size(), 256 * 1024);
    EXPECT_EQ(fileRequests(), 3);
}

TEST_F(DownloadWindow, GamePathAndPlay)
{
    EXPECT_EQ(w.dialogs.openFileFilters, QStringList{QStringLiteral("War3(War3.exe;Warcraft III.exe)|War3.exe|Warcraft III.exe")});
    // A cancelled dialog keeps the path chosen before, and reads the version again.
    w->Text12->clear();
    w->Command2_Click();
    EXPECT_EQ(QStringList({w->Text7->text(), w->GameFolder, w->Text12->text()}), QStringList({exe, game.path() + u'/', "1.24.4.6387"}));
    // A version that fits ("24.4" is in 1.24.4.6387), but the game is gone: the desktop cannot start it.
    w.launcher.real = true;
    w->Text5->setText(QStringLiteral("24.4"));
    QFile::remove(exe);
    w->Command3_Click();
    // No replay chosen yet: a message, no request.
    w->Text8->clear();
    w->Command1_Click();
    // An unreadable Game.dll (cut short) gives no version; without a game path nothing starts.
    ASSERT_TRUE(QFile(file("Game.dll")).resize(300));
    w->Command2_Click();
    EXPECT_EQ(w->Text12->text(), QString());
    w->Text7->clear();
    w->GameFolder.clear();
    w->Text8->setText(site("/_files/replay/2048"));
    w->Command1_Click();
    w->Command3_Click();
    ASSERT_EQ(w.dialogs.messages.size(), 5);
    EXPECT_TRUE(w.dialogs.messages[0].text.startsWith(QStringLiteral("无法启动魔兽："))) << qPrintable(w.dialogs.messages[0].text);
    EXPECT_EQ(w.dialogs.texts(true).mid(1),
              (QStringList{"|请先选择一个录像！", "Quillmark|未能取得信息!", "|请先设置 魔兽路径 ！", "|请先设置 魔兽路径 ！"}));
    EXPECT_FALSE(w->Timer1->isActive());

    // The dialog's filter finds either game file in any letter case.
    QTemporaryDir names;
    for (const char *n : {"war3.exe", "WAR3.EXE", "War3.exe.bak", "xWar3.exe", "warcraft iii.exe", "Warcraft III.exe.lnk", "Warcraft.exe"})
        WriteBytes(names.filePath(QLatin1String(n)), "x");
    EXPECT_EQ(QDir(names.path()).entryList({CaseFreePattern(QStringLiteral("War3.exe")), CaseFreePattern(QStringLiteral("Warcraft III.exe"))},
                                           QDir::Files | QDir::CaseSensitive, QDir::Name),
              (QStringList{QStringLiteral("WAR3.EXE"), QStringLiteral("war3.exe"), QStringLiteral("warcraft iii.exe")}));
}
