// The main window as it starts, and closed before any page was fetched.
#include "app/splitterbar.h"
#include "app/webpane.h"
#include "support/testfiles.h"
#include "support/testwindow.h"

#include <QtWidgets>

TEST(Form1Start, CaptionColumnsMenusAndFirstStates)
{
    TestWindow w;
    Form1 *f = w.form.get();
    f->Timer4->stop();
    EXPECT_EQ(f->windowTitle(), u8s("Quillmark 【Warcraft III】1.4"));
    EXPECT_EQ(f->PageNumber, 1);
    EXPECT_TRUE(f->SiteMode.isEmpty() && f->Text7->text().isEmpty());  // no game path at a fresh start
    const char *const columns[][2] = {{"热度", "id"}, {"种族", "name"}, {"玩家 VS 玩家", "do"}, {"地图", "Said"}, {"时间", "Stat"}};
    const int widths[] = {67, 133, 400, 133, 167};  // 1000, 2000, 6000, 2000, 2500 twips
    ASSERT_EQ(f->ListView1->columnCount(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(f->ListView1->headerItem()->text(i), u8s(columns[i][0]));
        EXPECT_EQ(f->ListView1->headerItem()->data(i, Qt::UserRole).toString(), QLatin1String(columns[i][1]));
        EXPECT_EQ(f->ListView1->columnWidth(i), widths[i]);
    }
    EXPECT_FALSE(f->WebBrowser2->isVisible() || f->Picture7->isVisible() || f->Frame3->isVisible() || f->Frame2->isVisible() || f->Label17->isVisible());
    EXPECT_TRUE(f->WebBrowser1->isVisible() && !f->Command1->isEnabled());
    EXPECT_TRUE(f->Command3->isEnabled() && f->Option1->isChecked() && !f->Check1->isChecked());
    EXPECT_TRUE(f->Timer2->isActive() && !f->Timer1->isActive() && !f->Timer3->isActive());

    // The minimap script, four lines each ended by CR LF, is the pane's first document.
    const QString script = u8s("<script language=\"JavaScript\">\r\ndocument.oncontextmenu=new Function(\"event.returnValue=false;\");\r\n"
                               "document.onselectstart=new Function(\"event.returnValue=false;\");\r\n</script>\r\n");
    EXPECT_EQ(Form1::BoxText(f->Text13), script);
    EXPECT_EQ(Form1::BoxText(f->Text11).split(u8s("\r\n")).size(), 10);  // nine lines, each ended
    EXPECT_TRUE(WaitFor([&] { return !f->WebBrowser1->Loading(); }, 10000));
    EXPECT_EQ(f->WebBrowser1->WrittenText(), script);
    SaveScreenshot(f, QStringLiteral("started-window.png"));

    const char *const entries[][3] = {  // {name, caption, menu}
        {"all", "最新录像 ", "War"}, {"ren", " 人  族  ", "War"}, {"rvr", "人族 VS 人族", "ren"},
        {"fasd", "人族 VS 暗夜精灵", "ren"}, {"awe", "人族 VS 兽族", "ren"}, {"asdc", "人族 VS 不死", "ren"},
        {"nig", "暗夜精灵 ", "War"}, {"vvz", "暗夜精灵 VS 暗夜精灵", "nig"}, {"asdss", "暗夜精灵 VS 人族", "nig"},
        {"asd23", "暗夜精灵 VS 兽族", "nig"}, {"zxc", "暗夜精灵 VS 不死", "nig"}, {"orc", " 兽  族  ", "War"},
        {"qwebb", "兽族 VS 兽族", "orc"}, {"vxcvx", "兽族 VS 人族", "orc"}, {"asdasdee", "兽族 VS 暗夜精灵", "orc"},
        {"xcvzxc", "兽族 VS 不死", "orc"}, {"ud", " 不  死  ", "War"}, {"ffasd", "不死 VS 不死", "ud"},
        {"asdasd", "不死 VS 人族", "ud"}, {"qwe", "不死 VS 兽族", "ud"}, {"asd", "不死 VS 暗夜精灵", "ud"},
        {"search", "搜索录像 ", "War"}, {"dotanew", "最新录像", "dota"}, {"ser", "搜索", "dota"},
        {"zd", "战队", "ser"}, {"sxdasd", "选手", "ser"}, {"sais", "赛事", "ser"},
        {"localreplays", "已下载录像", "local"}, {"localsearch", "搜索本地录像", "local"},
        {"autosave", "自动保存最近录像", "local"},
    };
    QStringList top;
    for (QAction *a : f->menuBar()->actions())
        top << a->text();
    EXPECT_EQ(top, (QStringList{u8s("对战录像"), u8s("DOTA"), u8s("本地录像")}));
    for (const auto &[name, caption, menu] : entries) {
        const QMenu *in = f->findChild<QMenu *>(QLatin1String(menu));
        const QList<QAction *> actions = in ? in->actions() : QList<QAction *>();
        const auto it = std::find_if(actions.begin(), actions.end(), [&](QAction *a) { return a->objectName() == QLatin1String(name); });
        ASSERT_NE(it, actions.end()) << name << " in " << menu;
        EXPECT_EQ((*it)->text(), u8s(caption)) << name;
    }
    EXPECT_TRUE(f->close());  // before any page was fetched: nothing to remove, nothing raised
}

TEST(Form1Start, WithoutItsSkinTheWindowStillWorks)
{
    qputenv("QUILLMARK_SKIN", "/nonexistent/skin.qss");
    qApp->setStyleSheet(QString());
    {
        TestWindow w;
        w->Timer4->stop();
        EXPECT_TRUE(qApp->styleSheet().isEmpty());
        w->all_Click();
        EXPECT_EQ(w->ListView1->topLevelItemCount(), 20);
    }
    qunsetenv("QUILLMARK_SKIN");
}

TEST(Form1Start, TheSearchHelpNamesOnlyCommandsTheWindowHas)
{
    TestWindow w(false);
    const QString help = Form1::BoxText(w->Text11);
    EXPECT_EQ(help.split(u8s("\r\n")).size(), 10);  // nine lines, each ended
    EXPECT_FALSE(help.contains(u8s("提交意见")));
    // Every name in quotes is a menu of the window.
    QStringList menus;
    for (QAction *a : w->menuBar()->actions())
        menus << a->text().trimmed();
    const QRegularExpression quoted(u8s("“([^”]+)”"));
    int named = 0;
    for (const QRegularExpressionMatch &m : quoted.globalMatch(help)) {
        EXPECT_TRUE(menus.contains(m.captured(1))) << m.captured(1).toStdString();
        ++named;
    }
    EXPECT_GT(named, 0);
}
