// The main window as it starts and closes.
#include "app/splitterbar.h"
#include "app/webpane.h"
#include "support/testwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

TEST(Form1Start, CaptionColumnsAndFirstStates)
{
    TestWindow w;
    Form1 *f = w.form.get();
    f->Timer4->stop();
    EXPECT_EQ(f->windowTitle(), QStringLiteral("Quillmark 【Warcraft III】1.4"));
    EXPECT_EQ(f->PageNumber, 1);
    EXPECT_TRUE(f->SiteMode.isEmpty() && f->Text7->text().isEmpty());  // no game path at a fresh start
    const char *const columns[][2] = {{"热度", "id"}, {"种族", "name"}, {"玩家 VS 玩家", "do"}, {"地图", "Said"}, {"时间", "Stat"}};
    const int widths[] = {67, 133, 400, 133, 167};  // 1000, 2000, 6000, 2000, 2500 twips
    ASSERT_EQ(f->ListView1->columnCount(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(f->ListView1->headerItem()->text(i), QString::fromUtf8(columns[i][0]));
        EXPECT_EQ(f->ListView1->headerItem()->data(i, Qt::UserRole).toString(), QString::fromLatin1(columns[i][1]));
        EXPECT_EQ(f->ListView1->columnWidth(i), widths[i]);
    }
    EXPECT_FALSE(f->WebBrowser2->isVisible() || f->Picture7->isVisible() || f->Frame3->isVisible()
                 || f->Frame2->isVisible() || f->Label17->isVisible());
    EXPECT_TRUE(f->WebBrowser1->isVisible() && !f->Command1->isEnabled());
    EXPECT_TRUE(f->Command3->isEnabled() && f->Option1->isChecked() && !f->Check1->isChecked());
    EXPECT_TRUE(f->Timer2->isActive() && !f->Timer1->isActive() && !f->Timer3->isActive());

    // The minimap script, four lines each ended by CR LF, is the pane's first document.
    const QString script = QStringLiteral("<script language=\"JavaScript\">\r\n"
                                          "document.oncontextmenu=new Function(\"event.returnValue=false;\");\r\n"
                                          "document.onselectstart=new Function(\"event.returnValue=false;\");\r\n"
                                          "</script>\r\n");
    EXPECT_EQ(Form1::BoxText(f->Text13), script);
    EXPECT_EQ(Form1::BoxText(f->Text11).split(QStringLiteral("\r\n")).size(), 10);  // nine lines, each ended
    EXPECT_TRUE(WaitFor([&] { return !f->WebBrowser1->Loading(); }, 10000));
    EXPECT_EQ(f->WebBrowser1->WrittenText(), script);
    SaveScreenshot(f, QStringLiteral("started-window.png"));
}

TEST(Form1Start, MenuTreeWithExactCaptions)
{
    TestWindow w(false);
    w->Timer4->stop();
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
        {"localreplays", "已下载录像", "local"},
    };
    QStringList top;
    for (QAction *a : w->menuBar()->actions())
        top << a->text();
    EXPECT_EQ(top, (QStringList{QStringLiteral("对战录像"), QStringLiteral("DOTA"), QStringLiteral("本地录像")}));
    for (const auto &e : entries) {
        QMenu *menu = w->findChild<QMenu *>(QLatin1String(e[2]));
        ASSERT_NE(menu, nullptr) << e[2];
        const QList<QAction *> actions = menu->actions();
        const auto it = std::find_if(actions.begin(), actions.end(), [&](QAction *a) { return a->objectName() == QLatin1String(e[0]); });
        ASSERT_NE(it, actions.end()) << e[0];
        EXPECT_EQ((*it)->text(), QString::fromUtf8(e[1])) << e[0];
    }
}

TEST(Form1Close, ClosingWithoutPagesRaisesNothingAndAfterFetchesRemovesPageFiles)
{
    {
        TestWindow fresh;
        fresh->Timer4->stop();
        EXPECT_TRUE(fresh->close());
    }
    TestWindow w;
    w->Timer4->stop();
    w->all_Click();
    ASSERT_TRUE(w.pages->exists(kPageFile));
    ASSERT_TRUE(QFile(w.pages->path(kIndexPageFile)).open(QIODevice::WriteOnly));
    EXPECT_TRUE(w->close());
    EXPECT_FALSE(w.pages->exists(kPageFile) || w.pages->exists(kIndexPageFile));
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
