// "本地录像 / 已下载录像": the replays in the game's replay folder, listed from the
// library, read whole off the window's thread when clicked, shown with the analysis
// beside the list and their map's minimap, in the real window with a copy of the
// demo game folder, real replays and a demo map.
#include "app/splitterbar.h"
#include "demo/demofiles.h"
#include "download/pebuilder.h"
#include "local/library.h"
#include "web/siteconfig.h"
#include "support/testwindow.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QStandardPaths>

#include <atomic>

namespace {
const QString kRealReplays = QStringLiteral(QUILLMARK_TEST_DATA "/real-replays/");

// A "Warcraft III.exe" (from 1.28 on the game has no Game.dll) of product version `version`.
QByteArray GameExecutable(const QString &version)
{
    pebuilder::VersionContent c;
    for (const char *key : {"CompanyName", "FileDescription", "FileVersion", "InternalName", "LegalCopyright",
                            "OriginalFileName", "ProductName"})
        c.strings.append({QLatin1String(key), QStringLiteral("Warcraft III")});
    c.strings.append({QStringLiteral("ProductVersion"), version});
    return pebuilder::image(pebuilder::versionInfo(c));
}
} // namespace

// The index goes to a temporary data folder: QStandardPaths' test mode below a temporary home.
class TemporaryDataFolder {
public:
    TemporaryDataFolder()
    {
        qputenv("HOME", home.path().toLocal8Bit());
        QStandardPaths::setTestModeEnabled(true);
    }
    ~TemporaryDataFolder()
    {
        QStandardPaths::setTestModeEnabled(false);
        qputenv("HOME", oldHome);
    }
    QTemporaryDir home;
    QByteArray oldHome = qgetenv("HOME");
};

class LocalWindow : public ::testing::Test {
protected:
    TemporaryDataFolder data;
    TestWindow w;
    QTemporaryDir game;
    void SetUp() override
    {
        w->Timer4->stop();
        // The folder as the game names it, spelt otherwise on disk: found case-free.
        ASSERT_TRUE(QDir(game.path()).mkpath(QStringLiteral("Replay/x.w3g")));  // a folder, never listed
        // 1.20 with an observer; 1.24b; 1.24 (same time as the 1.24b, later by name); no replay at all.
        const struct { const char *name; QByteArray bytes; const char *modified; } files[] = {
            {"10：0：0 _Grubby VS xiaOt.W3G", DemoReplayFile(1006), "2024-05-02 08:30:59"}, {"8：0：0 _b.w3g", DemoReplayFile(1028), "2024-05-01 10:00:00"},
            {"9：5：7 _月神 VS 小鬼.w3g", DemoReplayFile(1021), "2024-05-01 10:00:00"}, {"notes.w3g", "not a replay at all", "2024-04-28 12:00:00"},
            {"README.txt", "readme", "2024-06-01 12:00:00"}};
        for (const auto &f : files) {
            WriteBytes(replay(f.name), f.bytes);
            QFile file(replay(f.name));
            const QDateTime modified = QDateTime::fromString(QLatin1String(f.modified), "yyyy-MM-dd HH:mm:ss");
            ASSERT_TRUE(file.open(QIODevice::Append) && file.setFileTime(modified, QFileDevice::FileModificationTime)) << f.name;
        }
    }
    // The real replays (rows 4 to 7 after the four above: 1.32, 2.0, 1.30.2+, and one
    // whose header checksum no longer fits) and the map of the TwistedMeadows replays,
    // below "Maps\Download\" spelt otherwise.
    void addRealReplaysAndMap()
    {
        QByteArray damaged = ReadBytes(kRealReplays + QStringLiteral("w3gjs/132/reforged_release.w3g"));
        ASSERT_GT(damaged.size(), 0x44);
        damaged[0x3C] = char(damaged[0x3C] ^ 0x01);  // the replay's length
        const struct { const char *name; QByteArray bytes; const char *modified; } files[] = {
            {"test_132.w3g", ReadBytes(kRealReplays + QStringLiteral("gowarcraft3/test_132.w3g")), "2024-04-27 12:00:00"},
            {"2.0.2-Melee.w3g", ReadBytes(kRealReplays + QStringLiteral("w3gjs/200/2.0.2-Melee.w3g")), "2024-04-26 12:00:00"},
            {"standard_1304.w3g", ReadBytes(kRealReplays + QStringLiteral("w3gjs/130/standard_1304.w3g")), "2024-04-25 12:00:00"},
            {"damaged.w3g", damaged, "2024-04-24 12:00:00"}};
        for (const auto &f : files) {
            ASSERT_FALSE(f.bytes.isEmpty()) << f.name;
            WriteBytes(replay(f.name), f.bytes);
            QFile file(replay(f.name));
            const QDateTime modified = QDateTime::fromString(QLatin1String(f.modified), "yyyy-MM-dd HH:mm:ss");
            ASSERT_TRUE(file.open(QIODevice::Append) && file.setFileTime(modified, QFileDevice::FileModificationTime)) << f.name;
        }
        WriteBytes(twistedMeadows(), DemoMapFile(QStringLiteral("tm"), QStringLiteral("(4)TwistedMeadows.w3x")));
    }
    QString twistedMeadows() const { return game.filePath(QStringLiteral("maps/DOWNLOAD/(4)twistedmeadows.w3x")); }
    // "已下载录像", and the rows listed.
    void listLocal()
    {
        TriggerMenu(w, "localreplays");
        ASSERT_TRUE(WaitFor([&] { return !w->Library()->Busy(); }));
    }
    // Clicks the row and waits until the pane has taken its read.
    bool show(int index)
    {
        QSignalSpy read(w.form.get(), &Form1::LocalReplayRead);
        const QString path = w->List1->item(index)->text();
        ClickRow(w, w->ListView1->topLevelItem(index));
        return WaitFor([&] {
            for (const QList<QVariant> &r : std::as_const(read))
                if (r.at(0).toString() == path && r.at(1).toBool())
                    return true;
            return false;
        });
    }
    // What `script` makes of a pane's document once it has loaded and says anything.
    QString paneText(WebPane *pane, const QString &script = QStringLiteral("document.body ? document.body.innerText : ''"))
    {
        QString text;
        WaitFor([&] { return !pane->Loading() && !(text = RunJs(pane, script).toString()).isEmpty(); }, 10000);
        return text;
    }
    QString replay(const char *name) const { return game.filePath(QStringLiteral("Replay/") + QString::fromUtf8(name)); }
    // Map, length, players, version, summary, first name.
    QStringList shown() { return Texts({w->Text2, w->Text3, w->Text4, w->Text5, w->Text6, w->Label1}); }
    static bool sameEmblem(const QLabel *a, const QLabel *b) { return a->pixmap().toImage() == b->pixmap().toImage(); }
};

TEST_F(LocalWindow, ListsShowsEachFileAndPlaysOnlyWhatCanPlay)
{
    addRealReplaysAndMap();
    ChooseDemoGame(w, game.path());
    listLocal();
    EXPECT_EQ(w->SiteMode, QStringLiteral("local"));
    const QList<QStringList> rows = {
        {"0", "暗夜精灵 VS 不死", "Grubby VS xiaOt", "(2)EchoIsles.w3x", "2024-05-02 08:30"},
        {"1", "兽族 VS 不死", "Grubby VS 月神", "(4)TwistedMeadows.w3x", "2024-05-01 10:00"},
        {"2", "人族 VS 暗夜精灵", "月神 VS 小鬼", "(4)TwistedMeadows.w3x", "2024-05-01 10:00"}, {"3", "", "notes.w3g（无法读取）", "", ""},
        {"4", "", "", "(2)Amazonia.w3x", "2024-04-27 12:00"}, {"5"}, {"6"}, {"7", "", "damaged.w3g（无法读取）", "", ""}};
    ASSERT_TRUE(w->ListView1->topLevelItemCount() == rows.size() && w->List1->count() == rows.size());
    for (int i = 0; i < rows.size(); ++i)
        for (int c = 0; c < rows[i].size(); ++c)
            if (!(i == 4 && c < 3 && c > 0))
                EXPECT_EQ(w->ListView1->topLevelItem(i)->text(c), rows[i][c]) << i << ", " << c;
    // The DotA layout: the list on the left, the analysis pane beside it.
    EXPECT_TRUE(w->WebBrowser2->isVisible() && w->Picture7->isVisible());
    EXPECT_LT(w->ListView1->geometry().right(), w->WebBrowser2->geometry().left());

    // 1.20 with an observer, its map not in the game folder: said in the summary, the
    // minimap pane blank; the 1.24 game does not play it, and the message names both.
    ASSERT_TRUE(show(0));
    QStringList fields = shown();
    fields.removeAt(1);  // the length
    ASSERT_EQ(fields.size(), 5);
    const QStringList summary = fields[3].split(u'\n');
    EXPECT_EQ(summary.mid(0, 2), (QStringList{"游戏名称：Grubby VS xiaOt", "缺少地图"}));
    fields.removeAt(3);
    EXPECT_EQ(fields, (QStringList{"(2)EchoIsles", "2", "1.20", "Grubby"}));
    EXPECT_FALSE(w->WebBrowser1->WrittenText().contains(QStringLiteral("<img")));
    EXPECT_TRUE(sameEmblem(w->Picture5, w->Picture2) && sameEmblem(w->Picture6, w->Picture4));
    w->Command3->click();
    EXPECT_EQ(w.dialogs.texts(), QStringList{QStringLiteral("录像版本 1.20 与当前魔兽版本 1.24.4 不对应！")});

    // 1.24 with its map: the map's name and author in the summary, its minimap in the
    // left pane (the demo map's blue lake in the middle), the analysis beside the list.
    w->Label10->setText(QStringLiteral("stale"));
    w->Text8->setText(QStringLiteral("http://127.0.0.1:1/old"));
    ASSERT_TRUE(show(2));
    fields = shown();
    EXPECT_EQ(fields[4].split(u'\n').mid(0, 3), (QStringList{"游戏名称：月神 VS 小鬼", "地图：TwistedMeadows", "作者：演示地图工坊"}));
    fields.removeAt(4);
    EXPECT_EQ(fields, (QStringList{"(4)TwistedMeadows", "41:57", "2", "1.24", "月神"}));
    EXPECT_TRUE(sameEmblem(w->Picture5, w->Picture1) && sameEmblem(w->Picture6, w->Picture2));
    EXPECT_EQ(Texts({w->Label10, w->Label11, w->Label12, w->Label13, w->Label14, w->Text8, w->Text9, w->Text10}),
              (QStringList{"", "", "小鬼", "", "", "", "", ""}));
    EXPECT_EQ(w->ReplayPath, replay("9：5：7 _月神 VS 小鬼.w3g"));
    EXPECT_EQ(paneText(w->WebBrowser1, QStringLiteral("(function(){var i=document.images[0];return i&&i.complete?i.naturalWidth+'x'+i.naturalHeight+' '+i.src.split(',')[0]:'';})()")),
              QStringLiteral("168x168 data:image/jpeg;base64"));
    EXPECT_TRUE(paneText(w->WebBrowser2).contains(QStringLiteral("月神")));
    Idle(300);
    const QImage minimap = w->WebBrowser1->grab().toImage();
    const QColor middle = minimap.pixelColor(minimap.width() / 2 + 1, minimap.height() / 2 + 1);  // beside the road
    EXPECT_TRUE(qAbs(middle.red() - 30) < 30 && qAbs(middle.green() - 60) < 30 && qAbs(middle.blue() - 170) < 30) << qPrintable(middle.name());
    SaveScreenshot(w, "local-minimap.png");
    w->Command3->click();
    ASSERT_EQ(w.launcher.started.size(), 1);
    EXPECT_EQ(QStringList{w.launcher.started[0].program} + w.launcher.started[0].arguments,
              (QStringList{game.filePath(QStringLiteral("War3.exe")), QStringLiteral("-loadfile"), w->ReplayPath}));

    // The map gone before the next press: said, and nothing starts.
    ASSERT_TRUE(QFile::remove(twistedMeadows()));
    w->Command3->click();
    EXPECT_EQ(w.dialogs.texts().last(), QStringLiteral("缺少地图：Maps\\Download\\(4)TwistedMeadows.w3x"));
    EXPECT_EQ(w.launcher.started.size(), 1);

    // Files that cannot be shown: the pane says why, in Chinese, with no box; no play.
    // A listed replay deleted before its click; not a replay; a checksum that does not fit.
    ASSERT_TRUE(QFile::remove(replay("8：0：0 _b.w3g")));
    const int messages = w.dialogs.messages.size();
    const QList<std::pair<int, QString>> problems = {
        {1, "找不到该录像文件。"}, {3, "这不是一个完整的录像文件。"}, {7, "录像文件已损坏：校验和不符。"}};
    for (const auto &[index, why] : problems) {
        ASSERT_TRUE(show(index)) << index;
        EXPECT_EQ(std::tuple(shown(), w->Command3->isEnabled(), paneText(w->WebBrowser2).trimmed()),
                  std::tuple(QStringList{"", "", "", "", why, ""}, false, why)) << index;
        EXPECT_TRUE(w->Picture5->pixmap().isNull() && w->Picture6->pixmap().isNull());
    }
    EXPECT_EQ(w.dialogs.messages.size(), messages);
}

TEST_F(LocalWindow, ReforgedReplaysShowTheirWholeGame)
{
    addRealReplaysAndMap();
    ChooseDemoGame(w, game.path());
    listLocal();
    // 2.0: the chat and the winner; the chart drawn in the document, a line a player.
    ASSERT_TRUE(show(5));
    const QString game20 = paneText(w->WebBrowser2);
    for (const char *text : {"don't hurt me", "no more", "BogdanW4"})
        EXPECT_TRUE(game20.contains(QLatin1String(text))) << text << "\n" << qPrintable(game20);
    EXPECT_EQ(RunJs(w->WebBrowser2, QStringLiteral("document.querySelectorAll('svg polyline').length")).toInt(), 2);
    EXPECT_EQ(w->Text5->text(), QStringLiteral("2.00"));
    // 1.32: the name the classic record cuts short ("Серник#26") whole from the profile record.
    ASSERT_TRUE(show(4));
    const QString players = paneText(w->WebBrowser2);
    EXPECT_TRUE(players.contains(QStringLiteral("Серник#2653")) && players.contains(QStringLiteral("TheBiGsLeeP#220"))) << qPrintable(players);
    EXPECT_TRUE(w->Text6->toPlainText().contains(QStringLiteral("Серник#2653")));
    EXPECT_GE(RunJs(w->WebBrowser2, QStringLiteral("document.querySelectorAll('svg.chart polyline').length")).toInt(), 2);
    Idle(300);
    SaveScreenshot(w, "local-analysis.png");
    // Maximised on a larger screen: the list and the pane keep their places, the pane
    // reaching the window's right edge, both down to the detail area.
    w->resize(1600, 1000);
    Idle(300);
    SaveScreenshot(w, "local-analysis-large.png");
    EXPECT_EQ(w->WebBrowser2->geometry().bottom(), w->ListView1->geometry().bottom());
    EXPECT_NEAR(w->WebBrowser2->geometry().right(), w->centralWidget()->width() - 1, 2);
}

TEST_F(LocalWindow, TheGameVersionComesFromTheExecutableAndIsComparedByNumber)
{
    // From 1.28 on: no Game.dll, the version in "Warcraft III.exe" itself.
    const QString exe = game.filePath(QStringLiteral("Warcraft III.exe"));
    WriteBytes(exe, GameExecutable(QStringLiteral("1.30.4.11274")));
    w.dialogs.openFileAnswers.push_back(exe);
    w->Command2_Click();
    EXPECT_EQ(w->Text12->text(), QStringLiteral("1.30.4.11274"));
    EXPECT_TRUE(w.dialogs.messages.isEmpty());
    addRealReplaysAndMap();
    listLocal();

    // "1.30.2+" plays on 1.30.4: the only check left is its map, which is missing.
    ASSERT_TRUE(show(6));
    EXPECT_EQ(w->Text5->text(), QStringLiteral("1.30.2+"));
    w->Command3->click();
    ASSERT_EQ(w.dialogs.messages.size(), 1);
    const QString missing = w.dialogs.texts().last();
    ASSERT_TRUE(missing.startsWith(QStringLiteral("缺少地图：Maps")) && missing.endsWith(QStringLiteral(".w3x")))
        << qPrintable(missing);
    EXPECT_TRUE(w.launcher.started.isEmpty());
    // The map put where the replay names it: now it plays.
    QString mapPath = missing.mid(5);
    WriteBytes(game.filePath(mapPath.replace(u'\\', u'/')), DemoMapFile(QStringLiteral("tm"), QStringLiteral("(4)TwistedMeadows.w3x")));
    w->Command3->click();
    EXPECT_EQ(w.launcher.started.size(), 1);
    EXPECT_EQ(w.dialogs.messages.size(), 1);

    // A 1.29 game: the message names both versions, and nothing starts.
    WriteBytes(exe, GameExecutable(QStringLiteral("1.29.2.7782")));
    w.dialogs.openFileAnswers.push_back(exe);
    w->Command2_Click();
    w->Command3->click();
    EXPECT_EQ(w.dialogs.texts().last(), QStringLiteral("录像版本 1.30.2+ 与当前魔兽版本 1.29.2 不对应！"));
    EXPECT_EQ(w.launcher.started.size(), 1);
}

TEST_F(LocalWindow, AnOlderClicksReadIsDroppedWhenANewerOneCame)
{
    addRealReplaysAndMap();
    ChooseDemoGame(w, game.path());
    // A listing chosen again before its rows came: the rows once, in order.
    TriggerMenu(w, "localreplays");
    listLocal();
    Idle(100);
    ASSERT_EQ(w->ListView1->topLevelItemCount(), 8);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(w->ListView1->topLevelItem(i)->text(0), QString::number(i));
    EXPECT_EQ(w->List1->count(), 8);
    // The read of the first click is held on its worker until the second one is shown.
    const QString first = w->List1->item(5)->text();
    QSemaphore release;
    std::atomic<bool> holding = false;
    w->LocalReadStarting = [&](const QString &path) {
        if (path != first)
            return;
        holding = true;
        release.acquire();
    };
    QSignalSpy read(w.form.get(), &Form1::LocalReplayRead);
    ClickRow(w, w->ListView1->topLevelItem(5));
    ASSERT_TRUE(WaitFor([&] { return holding.load(); }));
    ASSERT_TRUE(show(4));  // the window went on meanwhile
    EXPECT_EQ(w->Text5->text(), QStringLiteral("1.32"));
    release.release();
    ASSERT_TRUE(WaitFor([&] { return read.size() == 2; }));
    EXPECT_EQ(read.at(0), (QList<QVariant>{w->List1->item(4)->text(), true}));
    EXPECT_EQ(read.at(1), (QList<QVariant>{first, false}));
    Idle(100);
    EXPECT_EQ(w->Text5->text(), QStringLiteral("1.32"));
    EXPECT_EQ(w->ReplayPath, w->List1->item(4)->text());
    EXPECT_TRUE(paneText(w->WebBrowser2).contains(QStringLiteral("Серник#2653")));
}

TEST_F(LocalWindow, WithoutAGamePathNothingChanges)
{
    w->all_Click();
    const int rows = w->ListView1->topLevelItemCount();
    ASSERT_GT(rows, 0);
    TriggerMenu(w, "localreplays");
    ASSERT_EQ(w.dialogs.texts(true), QStringList{QStringLiteral("|请先设置 魔兽路径 ！")});  // no title
    EXPECT_EQ(w->SiteMode, QStringLiteral("War3"));
    EXPECT_TRUE(w->ListView1->topLevelItemCount() == rows && w->List1->count() == rows && w->List1->item(0)->text().startsWith(w->Roots().melee));
}

namespace {
// Opens the menu `menu` on the menu bar and clicks its command `name`, with the mouse.
void ClickMenuCommand(TestWindow &w, const char *menu, const char *name)
{
    QMenuBar *bar = w->menuBar();
    QMenu *m = w->findChild<QMenu *>(QLatin1String(menu));
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(m->menuAction()).center());
    ASSERT_TRUE(WaitFor([&] { return m->isVisible(); }, 2000));
    QAction *command = w->findChild<QAction *>(QLatin1String(name));
    QTest::mouseClick(m, Qt::LeftButton, {}, m->actionGeometry(command).center());
    ASSERT_TRUE(WaitFor([&] { return !m->isVisible(); }, 2000));
}

QStringList PlayersShown(TestWindow &w)
{
    QStringList out;
    for (int i = 0; i < w->ListView1->topLevelItemCount(); ++i)
        out << w->ListView1->topLevelItem(i)->text(2);
    return out;
}
} // namespace

TEST_F(LocalWindow, SearchAndAutoSaveFromTheMenuWithTheMouse)
{
    ChooseDemoGame(w, game.path());
    const QString ini = game.filePath(QStringLiteral("settings/quillmark.ini"));
    w->UseSettingsFile(ini);
    QAction *autosave = w->findChild<QAction *>(QStringLiteral("autosave"));
    EXPECT_TRUE(autosave->isCheckable() && !autosave->isChecked());  // off by default

    // From another listing straight to the matches, in the site search's input box
    // but with a help of the words this search knows, not the site's "UD" or "at ei".
    w.dialogs.answers = {u8s("月神"), u8s("人族 VS 暗夜精灵")};
    ClickMenuCommand(w, "local", "localsearch");
    ASSERT_TRUE(WaitFor([&] { return !w->Library()->Busy(); }));
    ASSERT_EQ(w.dialogs.prompts.size(), 1);
    const QString help = w.dialogs.prompts[0];
    for (const char *word : {"人族", "兽族", "暗夜精灵", "不死族", "H、O、N、U、R", "人族 VS 兽族"})
        EXPECT_TRUE(help.contains(u8s(word))) << word;
    EXPECT_FALSE(help.contains(QStringLiteral("UD")) || help.contains(QStringLiteral(" at ")));
    EXPECT_EQ(PlayersShown(w), (QStringList{u8s("Grubby VS 月神"), u8s("月神 VS 小鬼")}));
    EXPECT_TRUE(w->Frame3->isVisible() && w->Label15->text() == u8s("找到 2 个录像"));
    ClickMenuCommand(w, "local", "localsearch");
    EXPECT_EQ(PlayersShown(w), QStringList{u8s("月神 VS 小鬼")});
    EXPECT_EQ(w->Label15->text(), u8s("找到 1 个录像"));

    // On, remembered; the game's LastReplay.w3g kept under its contents' name, and
    // the three copies of one game are one row.
    ClickMenuCommand(w, "local", "autosave");
    EXPECT_TRUE(autosave->isChecked() && ConfiguredAutoSave(ini));
    const QDateTime played = QDateTime::currentDateTime().addSecs(-30);
    WriteBytes(replay("LastReplay.w3g"), DemoReplayFile(1021));
    {
        QFile f(replay("LastReplay.w3g"));
        ASSERT_TRUE(f.open(QIODevice::Append) && f.setFileTime(played, QFileDevice::FileModificationTime));
    }
    const QString kept = replay(qPrintable(played.toString("yyyy-MM-dd HHmm") + u8s(" 月神 VS 小鬼 (4)TwistedMeadows.w3g")));
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(kept) && PlayersShown(w) == QStringList{u8s("月神 VS 小鬼（3 份）")}; }, 4000))
        << PlayersShown(w).join(u8s(", ")).toStdString();
    EXPECT_EQ(ReadBytes(kept), DemoReplayFile(1021));

    ClickMenuCommand(w, "local", "autosave");
    EXPECT_FALSE(autosave->isChecked() || ConfiguredAutoSave(ini));
    ASSERT_TRUE(SaveAutoSave(ini, true));
    w->UseSettingsFile(ini);
    EXPECT_TRUE(autosave->isChecked());
    EXPECT_TRUE(w.dialogs.messages.isEmpty());
}

TEST_F(LocalWindow, ANewReplayTakesItsPlaceAndTheRowShownStaysShown)
{
    ChooseDemoGame(w, game.path());
    TriggerMenu(w, "localreplays");
    ASSERT_TRUE(WaitFor([&] { return !w->Library()->Busy(); }));
    ASSERT_TRUE(show(2));
    ASSERT_EQ(w->Text2->text(), u8s("(4)TwistedMeadows"));
    const int shown = w->LastItemIndex;

    // Copied in, newest: the first row within 2 s; the row shown moves down with its replay.
    ASSERT_FALSE(DemoReplayFile(1007).isEmpty());
    WriteBytes(replay("new.w3g"), DemoReplayFile(1007));
    ASSERT_TRUE(WaitFor([&] { return w->ListView1->topLevelItemCount() == 5; }, 2000));
    EXPECT_EQ(w->List1->item(0)->text(), QFileInfo(replay("new.w3g")).canonicalFilePath());
    EXPECT_EQ(w->LastItemIndex, shown + 1);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(w->ListView1->topLevelItem(i)->text(0), QString::number(i));
    EXPECT_EQ(w->List1->count(), 5);
    SaveScreenshot(w, "local-library.png");

    // Removed: gone from the list within 2 s.
    ASSERT_TRUE(QFile::remove(replay("8：0：0 _b.w3g")));
    ASSERT_TRUE(WaitFor([&] { return w->ListView1->topLevelItemCount() == 4; }, 2000));
    EXPECT_FALSE(PlayersShown(w).contains(u8s("Grubby VS 月神")));
}

TEST_F(LocalWindow, ADamagedIndexIsMadeAnewAndSaysSo)
{
    WriteBytes(DefaultIndexPath(), QByteArray(8192, 'x'));
    ChooseDemoGame(w, game.path());
    TriggerMenu(w, "localreplays");
    ASSERT_TRUE(WaitFor([&] { return !w->Library()->Busy(); }));
    EXPECT_EQ(w->ListView1->topLevelItemCount(), 4);
    EXPECT_TRUE(w->Frame3->isVisible());
    EXPECT_EQ(w->Label15->text(), u8s("录像索引已损坏，已重新建立；共 4 个录像"));
    // Back to a site listing: the banner is paging's again.
    w->all_Click();
    EXPECT_TRUE(!w->Frame3->isVisible() && w->Label15->text() == kPagingBannerText);
}
