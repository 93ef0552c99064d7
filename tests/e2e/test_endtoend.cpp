// The road of a typical request, walked as a user walks it in the real window on
// the demo site: a category, the wheel to page 2, a row, the game path, "下载",
// "播放录像" with the stand-in game, then a DotA replay, then closing the window.
#include "app/webpane.h"
#include "demo/demofiles.h"
#include "support/testfiles.h"
#include "support/testwindow.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEnginePage>
#include <QWheelEvent>

TEST(EndToEnd, MeleeAndDotaReplaysFromTheListToTheGame)
{
    TestWindow w;
    w->Timer4->stop();  // the announcement has a road of its own
    QTemporaryDir game;
    CopyDemoGame(game.path());
    w->TimeOfDay = [] { return QTime(21, 4, 9); };
    const QString prefix = u8s("21：4：9 _");
    auto idle = [](int ms) { WaitFor([] { return false; }, ms); };
    auto shot = [&](const char *name) { SaveScreenshot(w.form.get(), QLatin1String(name)); };
    auto menu = [&](const char *name) {
        w->findChild<QAction *>(QLatin1String(name))->trigger();
        idle(100);  // the rows are laid out, as they long are when a user looks
    };
    // Clicks the row whose detail address names replay `id`.
    auto clickReplay = [&](int id) {
        const QString tail = QStringLiteral("ReplayID=%1").arg(id);
        int row = 0;
        while (row < w->List1->count() && !w->List1->item(row)->text().endsWith(tail))
            ++row;
        ASSERT_LT(row, w->List1->count()) << id;
        QTreeWidgetItem *item = w->ListView1->topLevelItem(row);
        w->ListView1->scrollToItem(item);
        QCoreApplication::processEvents();
        QTest::mouseClick(w->ListView1->viewport(), Qt::LeftButton, {}, w->ListView1->visualItemRect(item).center());
        QCoreApplication::processEvents();
    };
    QStringList said;  // progress texts
    QObject::connect(w->Text6, &QPlainTextEdit::textChanged, [&] { said << w->Text6->toPlainText(); });
    // Presses "下载" and returns the message that ends the sequence.
    auto download = [&] {
        said.clear();
        w.dialogs.messages.clear();
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        WaitFor([&] { return !w.dialogs.messages.isEmpty(); }, 60000);
        return w.dialogs.messages.value(0).text;
    };
    auto kb = [](qsizetype bytes) { return QString::number(bytes / 1024.0, 'f', 3); };
    auto inGame = [&](const QString &relative) { return game.filePath(QString(relative).replace(u'\\', u'/')); };
    auto holds = [](const QString &path, const QByteArray &bytes) { return ReadBytes(path) == bytes; };  // short output on failure

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
    const DemoMeleeReplay r = *pick;
    clickReplay(r.id);
    EXPECT_EQ(w->Text2->text(), r.map);
    EXPECT_EQ(w->Text5->text(), QStringLiteral("1.24"));
    EXPECT_EQ(w->Label1->text(), r.player1);
    EXPECT_EQ(w->Label12->text(), r.player2);
    EXPECT_EQ(w->Text10->text(), r.mapPath());
    EXPECT_FALSE(w->Command3->isEnabled());
    WaitFor([&] { return !w->WebBrowser1->Loading(); });
    idle(500);  // the minimap picture arrives
    shot("e2e-3-detail.png");

    // 4. "设置魔兽": the dialog's answer is the copied War3.exe.
    w.dialogs.openFileAnswers.push_back(game.filePath(QStringLiteral("War3.exe")));
    QTest::mouseClick(w->Command2, Qt::LeftButton);
    EXPECT_EQ(w->Text12->text(), QStringLiteral("1.24.4.6387"));

    // 5. "下载": the replay, then its map, with progress; a picture halfway through the map.
    const QByteArray replay = DemoReplayFile(r.id), map = DemoMapFile(r.mapFolder(), r.mapFile);
    ASSERT_FALSE(replay.isEmpty() || map.isEmpty());
    bool halfway = false;
    auto progress = QObject::connect(w->ProgressBar1, &QProgressBar::valueChanged, [&](int value) {
        if (!halfway && w->ProgressBar1->maximum() == map.size() && value >= map.size() / 2) {
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
    EXPECT_TRUE(said.contains(u8s("下载 0 / ") + kb(replay.size()) + u8s(" KB"))) << qPrintable(said.join(u'|'));
    EXPECT_TRUE(said.contains(u8s("下载 ") + kb(map.size()) + u8s(" / ") + kb(map.size()) + u8s(" KB"))) << qPrintable(said.join(u'|'));
    const QString stored = game.filePath(u8s("replay/") + prefix + r.replayFileName());
    EXPECT_EQ(w->ReplayPath, stored);
    EXPECT_TRUE(holds(stored, replay));
    EXPECT_TRUE(holds(inGame(r.mapPath()), map)) << qPrintable(r.mapPath());
    EXPECT_TRUE(w->Command3->isEnabled());

    // 6. "播放录像": the stand-in game writes down what it was started with.
    w.launcher.real = true;
    QTest::mouseClick(w->Command3, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return QFileInfo::exists(game.filePath(QStringLiteral("last-launch.txt"))); }, 10000));
    EXPECT_EQ(QString::fromUtf8(ReadBytes(game.filePath(QStringLiteral("last-launch.txt")))), u8s("-loadfile\n") + stored + u'\n');
    w.launcher.real = false;

    // 7. DotA: the newest replays, a row whose map is in the map host's index.
    menu("dotanew");
    ASSERT_EQ(w->ListView1->topLevelItemCount(), 20);
    QStringList indexed;
    for (const DemoDotaMap &m : DemoDotaMaps())
        indexed << m.name;
    const QList<DemoDotaReplay> &dota = DemoData::instance().dota;
    const auto dpick = std::find_if(dota.begin(), dota.begin() + 20, [&](const DemoDotaReplay &d) {
        return !d.brokenItem && indexed.contains(DemoDotaDetailMap(d));
    });
    ASSERT_NE(dpick, dota.begin() + 20);
    const DemoDotaReplay d = *dpick;
    const DemoDotaMap dmap = DemoDotaMaps().at(indexed.indexOf(d.map));
    w.dialogs.messages.clear();
    clickReplay(d.id);
    EXPECT_EQ(w->Text2->text(), d.map);
    EXPECT_EQ(w->Text10->text(), u8s("Maps\\Download\\") + d.map + u8s(".w3x"));
    EXPECT_TRUE(w.dialogs.messages.isEmpty());
    auto js = [&](const QString &script) {
        QVariant result;
        bool done = false;
        w->WebBrowser2->page()->runJavaScript(script, [&](const QVariant &v) { result = v, done = true; });
        WaitFor([&] { return done; }, 10000);
        return result;
    };
    // The template has run once the commendation counter has its title.
    ASSERT_TRUE(WaitFor([&] {
        return !w->WebBrowser2->Loading()
            && js(u8s("!!document.getElementById('commendno') && document.getElementById('commendno').title != ''")).toBool();
    }, 15000));
    auto names = [&](int team) {  // sorted as QStringList::sort sorts: by code unit
        return js(u8s("Array.from(document.querySelectorAll('#teamblock%1 .pname')).map(function(e){return e.textContent;}).sort()")
                      .arg(team)).toStringList();
    };
    auto sorted = [](QStringList l) { l.sort(); return l; };
    EXPECT_EQ(names(1), sorted(d.players.mid(0, 5)));
    EXPECT_EQ(names(2), sorted(d.players.mid(5)));
    idle(800);  // the hero pictures arrive
    shot("e2e-6-dota.png");

    // "下载": the replay from the DotA site, the map from its folder on the map host.
    const QByteArray dreplay = DemoReplayFile(d.id), dmapBytes = DemoMapFile(dmap.folder, d.map + u8s(".w3x"));
    w.server().clearLog();
    EXPECT_EQ(download(), QStringLiteral("下载完毕！"));
    EXPECT_TRUE(holds(game.filePath(u8s("replay/") + prefix + d.replayFileName()), dreplay));
    EXPECT_TRUE(holds(inGame(w->Text10->text()), dmapBytes)) << qPrintable(w->Text10->text());
    QStringList hostPaths;
    for (const DemoRequest &q : w.server().requests(QStringLiteral("files")))
        hostPaths << QString::fromLatin1(q.path());
    EXPECT_EQ(hostPaths, QStringList{u8s("/dota/") + dmap.folder + u8s("/") + QString(d.map).replace(u8s(" "), u8s("%20")) + u8s(".w3x")});

    // 8. Closing the window takes both page files with it.
    EXPECT_TRUE(w.pages->exists(QStringLiteral("FD.Dat")) && w.pages->exists(QStringLiteral("FDx.Dat")));
    w->close();
    idle(100);
    EXPECT_FALSE(w.pages->exists(QStringLiteral("FD.Dat")));
    EXPECT_FALSE(w.pages->exists(QStringLiteral("FDx.Dat")));
}
