// "本地录像 / 已下载录像": the replays in the game's replay folder, listed and shown
// from their own files, in the real window with a copy of the demo game folder.
#include "app/layoutmath.h"
#include "app/splitterbar.h"
#include "app/webpane.h"
#include "demo/demofiles.h"
#include "support/testwindow.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {
const QString kWrongVersion = QStringLiteral("当前魔兽版本不对应录像版本！");
const QString kUnreadable = QStringLiteral("无法读取该录像文件！");

QDateTime at(const char *text)
{
    return QDateTime::fromString(QLatin1String(text), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

class LocalWindow : public ::testing::Test {
protected:
    TestWindow w;
    QTemporaryDir game;

    void SetUp() override
    {
        w->Timer4->stop();
        for (const char *name : {"Game.dll", "War3.exe"})
            ASSERT_TRUE(QFile::copy(QDir(QStringLiteral(QUILLMARK_DEMO_GAME_DIR)).filePath(QLatin1String(name)),
                                    game.filePath(QLatin1String(name))));
        // The folder as the game names it, spelt otherwise on disk: found case-free.
        ASSERT_TRUE(QDir(game.path()).mkpath(QStringLiteral("Replay/x.w3g")));  // a folder, never listed
        // 1.20 with an observer; 1.24b; 1.24 (same time as the 1.24b, later by name).
        put(QStringLiteral("10：0：0 _Grubby VS xiaOt.W3G"), DemoReplayFile(1006), "2024-05-02 08:30:59");
        put(QStringLiteral("8：0：0 _b.w3g"), DemoReplayFile(1028), "2024-05-01 10:00:00");
        put(QStringLiteral("9：5：7 _月神 VS 小鬼.w3g"), DemoReplayFile(1021), "2024-05-01 10:00:00");
        const QByteArray good = DemoReplayFile(1021);
        put(QStringLiteral("cut.w3g"), good.left(good.size() / 2), "2024-04-30 12:00:00");
        QByteArray noInflate = good;
        noInflate[0x4C] = char(0xFF);  // the first block's zlib header
        noInflate[0x4D] = char(0xFF);
        put(QStringLiteral("blocks.w3g"), noInflate, "2024-04-29 12:00:00");
        put(QStringLiteral("notes.w3g"), "not a replay at all", "2024-04-28 12:00:00");
        put(QStringLiteral("README.txt"), "readme", "2024-06-01 12:00:00");
    }

    void put(const QString &name, const QByteArray &bytes, const char *modified)
    {
        QFile f(replay(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.flush();  // a later write would set the time again
        ASSERT_TRUE(f.setFileTime(at(modified), QFileDevice::FileModificationTime));
    }
    QString replay(const QString &name) const { return game.filePath(QStringLiteral("Replay/") + name); }
    QString exe() const { return game.filePath(QStringLiteral("War3.exe")); }
    void setGamePath()
    {
        w.dialogs.openFileAnswers.push_back(exe());
        w->Command2_Click();
        ASSERT_EQ(w->Text12->text(), QStringLiteral("1.24.4.6387"));
        w.dialogs.messages.clear();
    }
    void list() { w->findChild<QAction *>(QStringLiteral("localreplays"))->trigger(); }
    void clickRow(int index)
    {
        QTreeWidgetItem *item = w->ListView1->topLevelItem(index - 1);
        w->ListView1->scrollToItem(item);
        QCoreApplication::processEvents();
        QTest::mouseClick(w->ListView1->viewport(), Qt::LeftButton, {}, w->ListView1->visualItemRect(item).center());
        QCoreApplication::processEvents();
    }
    QStringList row(int index) const
    {
        QStringList cells;
        for (int c = 0; c < 5; ++c)
            cells << w.form->ListView1->topLevelItem(index)->text(c);
        return cells;
    }
    QStringList messages() const
    {
        QStringList out;
        for (const ShownMessage &m : w.dialogs.messages)
            out << m.text;
        return out;
    }
    static bool sameEmblem(const QLabel *a, const QLabel *b) { return a->pixmap().toImage() == b->pixmap().toImage(); }
};
} // namespace

TEST_F(LocalWindow, ListsTheReplayFilesNewestFirstFromTheirContents)
{
    setGamePath();
    w->dotanew_Click();  // the DotA layout before: the local list takes the melee one
    ASSERT_TRUE(w->WebBrowser2->isVisible());
    w->Command1->setEnabled(false);

    const auto *menu = w->findChild<QMenu *>(QStringLiteral("local"));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), QStringLiteral("本地录像"));
    EXPECT_EQ(w->findChild<QAction *>(QStringLiteral("localreplays"))->text(), QStringLiteral("已下载录像"));
    list();

    EXPECT_EQ(w->SiteMode, QStringLiteral("local"));
    const QList<QStringList> expected = {
        {"0", "暗夜精灵 VS 不死", "Grubby VS xiaOt", "(2)EchoIsles.w3x", "2024-05-02 08:30"},
        {"1", "兽族 VS 不死", "Grubby VS 月神", "(4)TwistedMeadows.w3x", "2024-05-01 10:00"},
        {"2", "人族 VS 暗夜精灵", "月神 VS 小鬼", "(4)TwistedMeadows.w3x", "2024-05-01 10:00"},
        {"3", "", "cut.w3g（无法读取）", "", ""},
        {"4", "", "blocks.w3g（无法读取）", "", ""},
        {"5", "", "notes.w3g（无法读取）", "", ""},
    };
    const QStringList files = {QStringLiteral("10：0：0 _Grubby VS xiaOt.W3G"), QStringLiteral("8：0：0 _b.w3g"),
                               QStringLiteral("9：5：7 _月神 VS 小鬼.w3g"), QStringLiteral("cut.w3g"),
                               QStringLiteral("blocks.w3g"), QStringLiteral("notes.w3g")};
    ASSERT_EQ(w->ListView1->topLevelItemCount(), expected.size());
    ASSERT_EQ(w->List1->count(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(row(i), expected[i]) << i;
        EXPECT_EQ(w->List1->item(i)->text(), replay(files[i])) << i;
    }

    // The melee layout, nothing paged, the download button as it was.
    EXPECT_FALSE(w->WebBrowser2->isVisible());
    EXPECT_FALSE(w->Picture7->isVisible());
    EXPECT_EQ(w->ListView1->width(), Px(w->WindowWidth() - 100));
    for (int c : {0, 1, 2, 3})
        EXPECT_EQ(w->ListView1->columnWidth(c), Px(QList<int>{1000, 2000, 6000, 2500}[c])) << c;
    EXPECT_EQ(w->PageNumber, 1);
    EXPECT_EQ(w->LastItemIndex, 0);
    EXPECT_FALSE(w->Command1->isEnabled());
    w->resize(w->width() + 60, w->height());
    QCoreApplication::processEvents();
    EXPECT_EQ(w->ListView1->width(), Px(w->WindowWidth() - 100));

    // Scrolling down with the last row in view asks for no page here.
    QWheelEvent wheel(QPointF(10, 10), w->ListView1->viewport()->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(w->ListView1->viewport(), &wheel);
    QCoreApplication::processEvents();
    w->Timer2_Timer();
    EXPECT_FALSE(w->Frame3->isVisible());
    EXPECT_FALSE(w->Timer2->isActive());
    EXPECT_EQ(w->PageNumber, 1);
    EXPECT_EQ(w->ListView1->topLevelItemCount(), expected.size());
    EXPECT_TRUE(w.dialogs.messages.isEmpty());
}

TEST_F(LocalWindow, ARowShowsItsFileAndPlaysIt)
{
    setGamePath();
    list();
    ASSERT_EQ(w->ListView1->topLevelItemCount(), 6);

    // 1.20 with an observer: shown, but the 1.24 game does not play it.
    clickRow(1);
    EXPECT_EQ(w->Text2->text(), QStringLiteral("(2)EchoIsles"));
    EXPECT_EQ(w->Text4->text(), QStringLiteral("2"));
    EXPECT_EQ(w->Text5->text(), QStringLiteral("1.20"));
    EXPECT_EQ(w->Text6->toPlainText(), QStringLiteral("游戏名称：Grubby VS xiaOt\nGrubby  暗夜精灵  队伍 1\n"
                                                     "xiaOt  不死  队伍 2\nInfi  观察者"));
    EXPECT_TRUE(sameEmblem(w->Picture5, w->Picture2));
    EXPECT_TRUE(sameEmblem(w->Picture6, w->Picture4));
    ASSERT_TRUE(w->Command3->isEnabled());
    w->Command3->click();
    EXPECT_EQ(messages(), QStringList{kWrongVersion});
    EXPECT_TRUE(w.launcher.started.isEmpty());

    // 1.24: every field from the file, the download fields emptied, then played.
    w.dialogs.messages.clear();
    w->Label10->setText(QStringLiteral("stale"));
    w->Text8->setText(QStringLiteral("http://127.0.0.1:1/old"));
    w->Label17->show();
    clickRow(3);
    EXPECT_EQ(w->Text2->text(), QStringLiteral("(4)TwistedMeadows"));
    EXPECT_EQ(w->Text3->text(), QStringLiteral("41:57"));
    EXPECT_EQ(w->Text4->text(), QStringLiteral("2"));
    EXPECT_EQ(w->Text5->text(), QStringLiteral("1.24"));
    EXPECT_EQ(w->Text6->toPlainText(), QStringLiteral("游戏名称：月神 VS 小鬼\n月神  人族  队伍 1\n小鬼  暗夜精灵  队伍 2"));
    EXPECT_TRUE(sameEmblem(w->Picture5, w->Picture1));
    EXPECT_TRUE(sameEmblem(w->Picture6, w->Picture2));
    const QStringList names = {w->Label1->text(), w->Label10->text(), w->Label11->text(),
                               w->Label12->text(), w->Label13->text(), w->Label14->text()};
    EXPECT_EQ(names, (QStringList{"月神", "", "", "小鬼", "", ""}));
    for (const QLineEdit *box : {w->Text8, w->Text9, w->Text10})
        EXPECT_TRUE(box->text().isEmpty()) << box->objectName().toStdString();
    EXPECT_FALSE(w->Label17->isVisible());
    EXPECT_EQ(w->ReplayPath, replay(QStringLiteral("9：5：7 _月神 VS 小鬼.w3g")));
    ASSERT_TRUE(w->Command3->isEnabled());
    SaveScreenshot(w.form.get(), QStringLiteral("local-replays.png"));

    w->Command3->click();
    EXPECT_TRUE(w.dialogs.messages.isEmpty());
    ASSERT_EQ(w.launcher.started.size(), 1);
    EXPECT_EQ(w.launcher.started[0].program, exe());
    EXPECT_EQ(w.launcher.started[0].arguments, (QStringList{QStringLiteral("-loadfile"), w->ReplayPath}));

    // The same row again: nothing is read, play stays as it is.
    clickRow(3);
    EXPECT_TRUE(w->Command3->isEnabled());
    EXPECT_TRUE(w.dialogs.messages.isEmpty());
}

TEST_F(LocalWindow, AFileThatCannotBeReadShowsNothing)
{
    setGamePath();
    list();
    clickRow(2);
    ASSERT_TRUE(w->Command3->isEnabled());

    // Listed unreadable; then a listed replay deleted before its click.
    ASSERT_TRUE(QFile::remove(replay(QStringLiteral("9：5：7 _月神 VS 小鬼.w3g"))));
    for (int index : {5, 3}) {
        w.dialogs.messages.clear();
        clickRow(index);
        EXPECT_EQ(messages(), QStringList{kUnreadable}) << index;
        EXPECT_FALSE(w->Command3->isEnabled()) << index;
        for (const QLineEdit *box : {w->Text2, w->Text3, w->Text4, w->Text5})
            EXPECT_TRUE(box->text().isEmpty()) << index;
        EXPECT_TRUE(w->Text6->toPlainText().isEmpty()) << index;
        EXPECT_TRUE(w->Label1->text().isEmpty()) << index;
    }
}

TEST_F(LocalWindow, WithoutAGamePathNothingChanges)
{
    w->all_Click();
    const int rows = w->ListView1->topLevelItemCount();
    ASSERT_GT(rows, 0);
    list();
    ASSERT_EQ(w.dialogs.messages.size(), 1);
    EXPECT_EQ(w.dialogs.messages[0].text, QStringLiteral("请先设置 魔兽路径 ！"));
    EXPECT_EQ(w.dialogs.messages[0].title, QString());
    EXPECT_EQ(w->SiteMode, QStringLiteral("War3"));
    EXPECT_EQ(w->ListView1->topLevelItemCount(), rows);
    EXPECT_EQ(w->List1->count(), rows);
    EXPECT_TRUE(w->List1->item(0)->text().startsWith(w->Roots().melee));
}
