// Setting the game path, downloading a replay and its map, and starting the game,
// in the real window against the demo site, with a copy of the demo game folder.
#include "demo/demofiles.h"
#include "download/downloadsequence.h"
#include "local/library.h"
#include "support/testwindow.h"

#include <QScopeGuard>
#include <QStandardPaths>

const QString kDone = QStringLiteral("下载完毕！"), kMapPath = QStringLiteral("Maps\\Download\\(2)Test.w3x");
const QByteArray kReplayHead("Warcraft III recorded game\x1A\x00", 28);
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
    // The bar after a download: full on success, empty on failure, never busy.
    bool barEnded(bool full)
    {
        const QProgressBar *bar = w->ProgressBar1;
        return bar->maximum() > 0 && bar->value() == (full ? bar->maximum() : bar->minimum());
    }
    QStringList partFiles() const { return FilesBelow(game.path()).filter(FileTransfer::kPartSuffix); }
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
    ASSERT_EQ(w.launcher.started.size(), 1);
    EXPECT_EQ(w.launcher.started[0].workingDirectory, game.path() + u'/');  // the game folder, whatever program starts

    // Overwrite mode, later, an answer without a length: a new name, written to
    // its end; the longer old map is replaced exactly.
    w->Option2->click();
    g_now = QTime(14, 30, 0);
    EXPECT_EQ(download(site("/_files/nolength/2048"), site("/_files/map/3000")), kDone);
    EXPECT_TRUE(barEnded(true)) << w->ProgressBar1->maximum();
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
    EXPECT_EQ(download(site("/_files/replay/2048"), site("/_files/slowmap")), u8s("下载失败：地图文件，文件不完整。录像已保存。"));
    EXPECT_TRUE(barEnded(false));
    EXPECT_EQ(ReadBytes(mapFile), "old map");
    EXPECT_EQ(w->ReplayPath, file("replay/9：5：7 _2048"));
    EXPECT_EQ(ReadBytes(w->ReplayPath).size(), 2048);
    EXPECT_FALSE(w->Command3->isEnabled() || w->Timer1->isActive());
    EXPECT_TRUE(partFiles().isEmpty());
}

TEST_F(DownloadWindow, ATrickleShowsEveryByteFailsOnItsRateAndASecondPressCancelsIt)
{
    // A replay of 4 KiB, one byte every 50 ms.
    DemoResponse trickle = DemoResponse::streamed(kReplayHead, "r", QByteArray(), 4096);
    trickle.streamPieceBytes = 1;
    trickle.streamIntervalMs = 50;
    w.server().setOverride(QStringLiteral("melee"), "/_files/trickle", trickle);
    download(site("/_files/trickle"), site("/_files/map/3000"), kMapPath, false);
    // The text and the bar move with the bytes, long before a whole KiB is in.
    ASSERT_TRUE(WaitFor([&] { return w->ProgressBar1->value() >= 3 && w->Text6->toPlainText().startsWith(u8s("下载 0.00")); }, 3000))
        << qPrintable(w->Text6->toPlainText());
    // A second press offers to cancel; yes removes the partial file.
    w.dialogs.questionAnswers = {true};
    w->Command1->click();
    EXPECT_EQ(w.dialogs.questions, QStringList{u8s("取消当前下载？")});
    EXPECT_EQ(w.dialogs.texts(), QStringList{u8s("下载已取消")});
    EXPECT_FALSE(w->Download->isRunning());
    EXPECT_TRUE(partFiles().isEmpty() && FilesBelow(file("replay")).isEmpty());
    EXPECT_TRUE(barEnded(false));
    Idle(300);
    EXPECT_EQ(w.dialogs.texts(), QStringList{u8s("下载已取消")});

    // Under its least rate over a window (shortened here from 1 KiB/s over 60 s) the transfer fails.
    w->Download->setTransferSetup([](FileTransfer &t) { t.setRateLimit(1024, 500); });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(download(site("/_files/trickle"), site("/_files/map/3000")), u8s("下载失败：录像文件，连接超时"));
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_TRUE(partFiles().isEmpty() && FilesBelow(file("replay")).isEmpty() && barEnded(false));
}

TEST_F(DownloadWindow, AnEmptyAnswerAndAMapTheIndexDoesNotKnow)
{
    // "Content-Length: 0" where the replay belongs: a failure, and the bar is not left busy.
    w.server().setOverride(QStringLiteral("melee"), "/_files/empty", DemoResponse::bytes(QByteArray()));
    EXPECT_EQ(download(site("/_files/empty"), site("/_files/map/3000")), u8s("下载失败：录像文件，不是录像文件"));
    EXPECT_TRUE(barEnded(false)) << w->ProgressBar1->maximum();

    // A DotA map the site's index does not know (no map address): the replay is
    // kept, the map skipped with the row click's text, and the download ends well.
    w->Command3->setEnabled(false);
    w->Text2->setText(u8s("DotA v9.99"));
    w.dialogs.messages.clear();
    download(site("/_files/replay/2048"), QString(), u8s("Maps\\Download\\DotA v9.99.w3x"));
    EXPECT_TRUE(WaitFor([&] { return w.dialogs.messages.size() == 2; }));
    EXPECT_EQ(w.dialogs.texts(), (QStringList{u8s("检获不到该地图：DotA v9.99"), kDone}));
    EXPECT_EQ(ReadBytes(file("replay/9：5：7 _2048")).size(), 2048);
    EXPECT_EQ(w->ReplayPath, file("replay/9：5：7 _2048"));
    EXPECT_TRUE(w->Command3->isEnabled() && barEnded(true));
    EXPECT_FALSE(QDir(file("Maps")).exists());
}

TEST_F(DownloadWindow, ARealMessageBoxBehindTheDoneMessageLetsTheWindowGoOn)
{
    // "下载完毕！" as a real modal box, closed by a timer once a second download,
    // started while it is up, has run to its end in its loop.
    w->Check1->setChecked(true);
    w->Text5->setText(u8s("1.24"));
    QStringList seen;  // what happened while the first box was up
    int depth = 0;
    w.dialogs.onMessage = [&](const ShownMessage &m) {
        if (m.text != kDone || depth > 0)
            return;
        ++depth;
        QTimer poll;
        poll.callOnTimeout([&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || box->text() != kDone)
                return;
            if (seen.isEmpty()) {
                seen << u8s("box up, %1 played").arg(w.launcher.started.size());
                g_now = QTime(9, 6, 0);
                download(site("/_files/replay/4096"), site("/_files/map/3000"), kMapPath, false);
            } else if (w.dialogs.messages.size() >= 2 && !w->Download->isRunning()) {
                seen << u8s("second done, %1 played").arg(w.launcher.started.size());
                SaveScreenshot(w, "download-done-real-box.png");
                box->done(QMessageBox::Ok);
            }
        });
        poll.start(20);
        DesktopPlatform().dialogs->MsgBox(w.form.get(), m.text, m.title);
        --depth;
    };
    QTimer::singleShot(20000, [] {  // never a hung test
        if (QWidget *m = QApplication::activeModalWidget())
            m->close();
    });
    download(site("/_files/replay/2048"), site("/_files/map/3000"));
    EXPECT_TRUE(WaitFor([&] { return w.launcher.started.size() == 2; }, 20000));
    // The second download ran and played inside the first box's loop; the first
    // plays only once its box is closed.
    EXPECT_EQ(seen, (QStringList{u8s("box up, 0 played"), u8s("second done, 1 played")}));
    EXPECT_EQ(w.dialogs.texts(), (QStringList{kDone, kDone}));
    EXPECT_EQ(FilesBelow(file("replay")), (QStringList{u8s("9：5：7 _2048"), u8s("9：6：0 _4096")}));
    ASSERT_EQ(w.launcher.started.size(), 2);
    EXPECT_EQ(w.launcher.started[0].arguments.last(), file("replay/9：6：0 _4096"));
    EXPECT_EQ(w.launcher.started[1].arguments.last(), file("replay/9：6：0 _4096"));  // ReplayPath: the last replay stored
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
    QObject::connect(w->Download, &DownloadSequence::transferStarted, [&](FileTransfer *t) {
        if (t->kind() == FileTransfer::Kind::Map)
            QObject::connect(t, &FileTransfer::progress, [&](qint64 bytes, qint64) {
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
    // Another replay's fields and a second press, whose offer to cancel is declined,
    // neither start nor move anything; the map step reads the fields as they are then.
    EXPECT_EQ(download(site("/_files/replay/2048"), site("/_files/map/5000"), QStringLiteral("Maps\\Other.w3x")), kDone);
    EXPECT_EQ(w.dialogs.questions, QStringList{u8s("取消当前下载？")});
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

TEST_F(DownloadWindow, InTheLocalListTheReplayIsAlreadyOnDisk)
{
    // The local list's index goes to Qt's test data folder, not the user's.
    QStandardPaths::setTestModeEnabled(true);
    const auto realPaths = qScopeGuard([] { QStandardPaths::setTestModeEnabled(false); });
    WriteBytes(file("replay/9：5：7 _a.w3g"), DemoReplayFile(1006));
    TriggerMenu(w, "localreplays");
    ASSERT_TRUE(WaitFor([&] { return !w->Library()->Busy(); }));
    ASSERT_EQ(w->ListView1->topLevelItemCount(), 1);
    ClickRow(w, w->ListView1->topLevelItem(0));
    w->Command1->click();
    EXPECT_EQ(w.dialogs.texts(), QStringList{u8s("该录像已在本地，无需下载！")});
    EXPECT_FALSE(w->Download->isRunning());
    EXPECT_EQ(fileRequests(), 0);
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
