// The road of a typical request, walked as a user walks it in the real window on
// the demo site: a category, the wheel to page 2, a row, the game path, "下载",
// "播放录像" with the stand-in game, then a DotA replay, then closing the window.
#include "app/webpane.h"
#include "demo/demofiles.h"
#include "support/testfiles.h"
#include "support/testwindow.h"

#include <QTest>
#include <QWebEnginePage>
#include <QtWidgets>

TEST(EndToEnd, MeleeAndDotaReplaysFromTheListToTheGame)
{
    TestWindow w;
    w->Timer4->stop();  // the announcement has a road of its own
    QTemporaryDir game;
    CopyDemoGame(game.path());
    w->TimeOfDay = [] { return QTime(21, 4, 9); };
    const QString replays = game.filePath(u8s("replay/21：4：9 _"));  // the time prefix of every stored replay
    auto shot = [&](const char *name) { SaveScreenshot(w.form.get(), QLatin1String(name)); };
    auto menu = [&](const char *name) { TriggerMenu(w, name), Idle(100); };  // the rows laid out, as they long are when a user looks
    auto clickReplay = [&](int id) {  // the row whose detail address names replay `id`
        const QList<QListWidgetItem *> hits = w->List1->findItems(QStringLiteral("ReplayID=%1").arg(id), Qt::MatchEndsWith);
        ASSERT_FALSE(hits.isEmpty()) << id;
        QTreeWidgetItem *item = w->ListView1->topLevelItem(w->List1->row(hits.first()));
        w->ListView1->scrollToItem(item);
        QCoreApplication::processEvents();
        QTest::mouseClick(w->ListView1->viewport(), Qt::LeftButton, {}, w->ListView1->visualItemRect(item).center());
        QCoreApplication::processEvents();
    };
    auto download = [&] {  // presses "下载"; the message that ends the sequence
        w.dialogs.messages.clear();
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        WaitFor([&] { return !w.dialogs.messages.isEmpty(); }, 60000);
        return w.dialogs.messages.value(0).text;
    };
    auto inGame = [&](const QString &relative) { return QFileInfo::exists(game.filePath(QString(relative).replace(u'\\', u'/'))); };

    // 1. A matchup: its first page.
    menu("fasd");
    ASSERT_EQ(w->ListView1->topLevelItemCount(), 20);
    shot("e2e-1-listing.png");

    // 2. The wheel down to the last row; the paging timer's own tick appends page 2.
    QWidget *vp = w->ListView1->viewport();
    const QPointF mid(vp->width() / 2.0, vp->height() / 2.0);
    for (int i = 0; i < 10; ++i) {
        QWheelEvent e(mid, vp->mapToGlobal(mid), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(vp, &e);
    }
    ASSERT_TRUE(WaitFor([&] { return w->ListView1->topLevelItemCount() == 40; }));
    EXPECT_FALSE(w->Frame3->isHidden());  // the loading banner
    shot("e2e-2-page2.png");
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
    shot("e2e-3-detail.png");

    // 4. "设置魔兽": the dialog's answer is the copied War3.exe.
    w.dialogs.openFileAnswers.push_back(game.filePath(QStringLiteral("War3.exe")));
    QTest::mouseClick(w->Command2, Qt::LeftButton);

    // 5. "下载": the replay, then its map, with progress; a picture halfway through the map.
    const qsizetype mapSize = DemoMapFile(r.mapFolder(), r.mapFile).size();
    bool halfway = false;
    auto progress = QObject::connect(w->ProgressBar1, &QProgressBar::valueChanged, [&](int value) {
        if (!halfway && w->ProgressBar1->maximum() == mapSize && value >= mapSize / 2) {
            halfway = true;
            // Between two frames the window holds back the bar's and the box's painting;
            // a picture is a frame of its own.
            w->ProgressBar1->setUpdatesEnabled(true);
            w->Text6->viewport()->setUpdatesEnabled(true);
            shot("e2e-4-progress.png");
        }
    });
    w.dialogs.onMessage = [&](const ShownMessage &) { shot("e2e-5-done.png"); };
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
    menu("dotanew");
    ASSERT_EQ(w->ListView1->topLevelItemCount(), 20);
    QStringList indexed;
    for (const DemoDotaMap &m : DemoDotaMaps())
        indexed << m.name;
    const QList<DemoDotaReplay> &dota = DemoData::instance().dota;
    const auto dpick = std::find_if(dota.begin(), dota.begin() + 20, [&](const DemoDotaReplay &d) { return !d.brokenItem && indexed.contains(DemoDotaDetailMap(d)); });
    ASSERT_NE(dpick, dota.begin() + 20);
    const DemoDotaReplay &d = *dpick;
    clickReplay(d.id);
    auto templateRan = [&] {  // once the commendation counter has its title
        std::optional<bool> ran;
        w->WebBrowser2->page()->runJavaScript(u8s("!!document.getElementById('commendno') && document.getElementById('commendno').title != ''"),
                                              [&](const QVariant &v) { ran = v.toBool(); });
        WaitFor([&] { return ran.has_value(); }, 10000);
        return ran.value_or(false);
    };
    ASSERT_TRUE(WaitFor([&] { return !w->WebBrowser2->Loading() && templateRan(); }, 15000));
    Idle(800);  // the hero pictures arrive
    shot("e2e-6-dota.png");

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
