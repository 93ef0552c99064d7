// "本地录像 / 已下载录像": the replays in the game's replay folder, listed and shown
// from their own files, in the real window with a copy of the demo game folder.
#include "demo/demofiles.h"
#include "local/library.h"
#include "web/siteconfig.h"
#include "support/testwindow.h"

#include <QStandardPaths>

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
    QString replay(const char *name) const { return game.filePath(QStringLiteral("Replay/") + QString::fromUtf8(name)); }
    void clickRow(int index) { ClickRow(w, w->ListView1->topLevelItem(index)); }
    // Map, length, players, version, summary, first name.
    QStringList shown() { return Texts({w->Text2, w->Text3, w->Text4, w->Text5, w->Text6, w->Label1}); }
    static bool sameEmblem(const QLabel *a, const QLabel *b) { return a->pixmap().toImage() == b->pixmap().toImage(); }
};

TEST_F(LocalWindow, ListsNewestFirstShowsAndPlaysEachFile)
{
    ChooseDemoGame(w, game.path());
    w->dotanew_Click();  // the DotA layout before: the local list takes the melee one
    TriggerMenu(w, "localreplays");
    EXPECT_EQ(w->SiteMode, QStringLiteral("local"));
    ASSERT_TRUE(WaitFor([&] { return !w->Library()->Busy(); }));
    const QList<QStringList> rows = {
        {"0", "暗夜精灵 VS 不死", "Grubby VS xiaOt", "(2)EchoIsles.w3x", "2024-05-02 08:30"},
        {"1", "兽族 VS 不死", "Grubby VS 月神", "(4)TwistedMeadows.w3x", "2024-05-01 10:00"},
        {"2", "人族 VS 暗夜精灵", "月神 VS 小鬼", "(4)TwistedMeadows.w3x", "2024-05-01 10:00"}, {"3", "", "notes.w3g（无法读取）", "", ""}};
    ASSERT_TRUE(w->ListView1->topLevelItemCount() == rows.size() && w->List1->count() == rows.size());
    for (int i = 0; i < rows.size(); ++i)
        for (int c = 0; c < 5; ++c)
            EXPECT_EQ(w->ListView1->topLevelItem(i)->text(c), rows[i][c]) << i << ", " << c;
    EXPECT_FALSE(w->WebBrowser2->isVisible());

    // 1.20 with an observer: shown, but the 1.24 game does not play it.
    clickRow(0);
    QStringList fields = shown();
    fields.removeAt(1);  // the length
    EXPECT_EQ(fields, (QStringList{"(2)EchoIsles", "2", "1.20", "游戏名称：Grubby VS xiaOt\nGrubby  暗夜精灵  队伍 1\nxiaOt  不死  队伍 2\nInfi  观察者", "Grubby"}));
    EXPECT_TRUE(sameEmblem(w->Picture5, w->Picture2) && sameEmblem(w->Picture6, w->Picture4));
    w->Command3->click();
    EXPECT_EQ(w.dialogs.texts(), QStringList{QStringLiteral("当前魔兽版本不对应录像版本！")});

    // 1.24: every field from the file, the download fields emptied, then played.
    w->Label10->setText(QStringLiteral("stale"));
    w->Text8->setText(QStringLiteral("http://127.0.0.1:1/old"));
    clickRow(2);
    EXPECT_EQ(shown(), (QStringList{"(4)TwistedMeadows", "41:57", "2", "1.24", "游戏名称：月神 VS 小鬼\n月神  人族  队伍 1\n小鬼  暗夜精灵  队伍 2", "月神"}));
    EXPECT_TRUE(sameEmblem(w->Picture5, w->Picture1) && sameEmblem(w->Picture6, w->Picture2));
    EXPECT_EQ(Texts({w->Label10, w->Label11, w->Label12, w->Label13, w->Label14, w->Text8, w->Text9, w->Text10}),
              (QStringList{"", "", "小鬼", "", "", "", "", ""}));
    EXPECT_EQ(w->ReplayPath, replay("9：5：7 _月神 VS 小鬼.w3g"));
    SaveScreenshot(w, "local-replays.png");
    w->Command3->click();
    ASSERT_EQ(w.launcher.started.size(), 1);
    EXPECT_EQ(QStringList{w.launcher.started[0].program} + w.launcher.started[0].arguments,
              (QStringList{game.filePath(QStringLiteral("War3.exe")), QStringLiteral("-loadfile"), w->ReplayPath}));

    // Listed unreadable; then a listed replay deleted before its click: nothing shown, no play.
    ASSERT_TRUE(QFile::remove(replay("8：0：0 _b.w3g")));
    for (int index : {3, 1}) {
        clickRow(index);
        EXPECT_EQ(std::tuple(w.dialogs.texts().last(), shown(), w->Command3->isEnabled()),
                  std::tuple(QStringLiteral("无法读取该录像文件！"), QStringList(6, QString()), false)) << index;
    }
    EXPECT_EQ(w.dialogs.messages.size(), 3);
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
    clickRow(2);
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

TEST_F(LocalWindow, ADamagedIndexStillListsAndSaysWhy)
{
    WriteBytes(DefaultIndexPath(), QByteArray(8192, 'x'));
    ChooseDemoGame(w, game.path());
    TriggerMenu(w, "localreplays");
    ASSERT_TRUE(WaitFor([&] { return !w->Library()->Busy(); }));
    EXPECT_EQ(w->ListView1->topLevelItemCount(), 4);
    EXPECT_TRUE(w->Frame3->isVisible());
    EXPECT_EQ(w->Label15->text(), u8s("录像索引已损坏，已直接读取录像文件；共 4 个录像"));
    // Back to a site listing: the banner is paging's again.
    w->all_Click();
    EXPECT_TRUE(!w->Frame3->isVisible() && w->Label15->text() == kPagingBannerText);
}
