// The road of a typical request, walked as a user walks it in the real window on
// the demo site: a category, the wheel to page 2, a row, the game path, "下载",
// "播放录像" with the stand-in game, then a DotA replay, then closing the window.
#include "demo/demofiles.h"
#include "support/testwindow.h"

TEST(EndToEnd, MeleeAndDotaReplaysFromTheListToTheGame)
{
    TestWindow w;
    w->Timer4->stop();  // the announcement has a road of its own
    QTemporaryDir game;
    CopyDemoGame(game.path());
    w->TimeOfDay = [] { return QTime(21, 4, 9); };
    const QString replays = game.filePath(u8s("replay/21：4：9 _"));  // the time prefix of every stored replay
    auto clickReplay = [&](int id) {  // the row whose detail address names replay `id`
        const QList<QListWidgetItem *> hits = w->List1->findItems(QStringLiteral("ReplayID=%1").arg(id), Qt::MatchEndsWith);
        ASSERT_FALSE(hits.isEmpty()) << id;
        ClickRow(w, w->ListView1->topLevelItem(w->List1->row(hits.first())));
    };
    auto download = [&] {  // presses "下载"; the message that ends the sequence
        w.dialogs.messages.clear();
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        WaitFor([&] { return !w.dialogs.messages.isEmpty(); }, 60000);
        return w.dialogs.messages.value(0).text;
    };
    auto inGame = [&](const QString &relative) { return QFileInfo::exists(game.filePath(QString(relative).replace(u'\\', u'/'))); };

    // 1. A matchup: its first page.
    ChooseListing(w, "fasd");
    ASSERT_EQ(w->ListView1->topLevelItemCount(), 20);
    SaveScreenshot(w, "e2e-1-listing.png");

    // 2. The wheel down to the last row; the paging timer's own tick appends page 2.
    Wheel(w, -10);
    ASSERT_TRUE(WaitFor([&] { return w->ListView1->topLevelItemCount() == 40; }));
    EXPECT_FALSE(w->Frame3->isHidden());  // the loading banner
    SaveScreenshot(w, "e2e-2-page2.png");
    WaitFor([&] { return w->Frame3->isHidden(); });  // its timer takes it down

    // 3. A replay of page 2 of version "1.24", which the demo Game.dll (1.24.4.6387) plays.
    QList<DemoMeleeReplay> hits;
    for (const DemoMeleeReplay &r : DemoData::instance().melee)
        if (r.gameRace() == 3)
            hits.append(r);
    const auto pick = std::find_if(hits.begin() + 20, hits.begin() + 40, [](const DemoMeleeReplay &r) { return r.version == u"1.24"; });
    ASSERT_NE(pick, hits.begin() + 40);
    const DemoMeleeReplay &r = *pick;
    clickReplay(r.id);  // the fields it fills are the detail tests' part
    WaitFor([&] { return !w->WebBrowser1->Loading(); });
    Idle(500);  // the minimap picture arrives
    SaveScreenshot(w, "e2e-3-detail.png");

    // 4. "设置魔兽": the dialog's answer is the copied War3.exe.
    w.dialogs.openFileAnswers.push_back(game.filePath(QStringLiteral("War3.exe")));
    QTest::mouseClick(w->Command2, Qt::LeftButton);

    // 5. "下载": the replay, then its map, with progress; a picture once the map's bar
    // passes half (the window is told of the map in bursts: that may be its last chunk).
    const qsizetype mapSize = DemoMapFile(r.mapFolder(), r.mapFile).size();
    bool halfway = false;
    auto progress = QObject::connect(w->ProgressBar1, &QProgressBar::valueChanged, [&](int value) {
        if (!halfway && w->ProgressBar1->maximum() == mapSize && value >= mapSize / 2) {
            halfway = true;
            SaveScreenshot(w, "e2e-4-progress.png");
            // The picture's bar and text tell the same amount (taking the picture lets
            // further chunks in, so the bar is read as the picture shows it).
            const int shown = w->ProgressBar1->value();
            EXPECT_EQ(w->Text6->toPlainText(), QStringLiteral("下载 %1 / %2 KB").arg(shown / 1024.0, 0, 'f', 3).arg(mapSize / 1024.0, 0, 'f', 3));
        }
    });
    w.dialogs.onMessage = [&](const ShownMessage &) { SaveScreenshot(w, "e2e-5-done.png"); };
    EXPECT_EQ(download(), QStringLiteral("下载完毕！"));
    QObject::disconnect(progress);
    w.dialogs.onMessage = nullptr;
    EXPECT_TRUE(halfway);
    EXPECT_TRUE(inGame(r.mapPath())) << qPrintable(r.mapPath());  // what the files hold is the download tests' part

    // 6. "播放录像": the stand-in game writes down what it was started with: the stored replay.
    const QString stored = replays + r.replayFileName();
    w.launcher.real = true;
    QTest::mouseClick(w->Command3, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return QFileInfo::exists(game.filePath(QStringLiteral("last-launch.txt"))); }, 10000));
    EXPECT_EQ(QString::fromUtf8(ReadBytes(game.filePath(QStringLiteral("last-launch.txt")))), u8s("-loadfile\n") + stored + u'\n');

    // 7. DotA: the newest replays, a row whose map is in the map host's index.
    ChooseListing(w, "dotanew");
    ASSERT_EQ(w->ListView1->topLevelItemCount(), 20);
    QStringList indexed;
    for (const DemoDotaMap &m : DemoDotaMaps())
        indexed << m.name;
    const QList<DemoDotaReplay> &dota = DemoData::instance().dota;
    const auto dpick = std::find_if(dota.begin(), dota.begin() + 20, [&](const DemoDotaReplay &d) { return !d.brokenItem && indexed.contains(DemoDotaDetailMap(d)); });
    ASSERT_NE(dpick, dota.begin() + 20);
    const DemoDotaReplay &d = *dpick;
    clickReplay(d.id);
    ASSERT_TRUE(DotaTemplateRan(w));
    Idle(800);  // the hero pictures arrive
    SaveScreenshot(w, "e2e-6-dota.png");

    // "下载": the replay from the DotA site, the map from its folder on the map host.
    w.server().clearLog();
    EXPECT_EQ(download(), QStringLiteral("下载完毕！"));
    EXPECT_TRUE(QFileInfo::exists(replays + d.replayFileName()) && inGame(u8s("Maps\\Download\\") + d.map + u8s(".w3x")));
    const DemoDotaMap &dmap = DemoDotaMaps().at(indexed.indexOf(d.map));
    EXPECT_EQ(Targets(w, "files"), QList<QByteArray>({"/dota/" + dmap.folder.toUtf8() + '/' + QString(d.map).replace(u' ', u8s("%20")).toUtf8() + ".w3x"}));

    // 8. Closing the window takes both page files with it.
    EXPECT_TRUE(w.pages->exists(QStringLiteral("FD.Dat")) && w.pages->exists(QStringLiteral("FDx.Dat")));
    w->close();
    Idle(100);
    EXPECT_FALSE(w.pages->exists(QStringLiteral("FD.Dat")) || w.pages->exists(QStringLiteral("FDx.Dat")));
}
