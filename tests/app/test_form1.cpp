// The main window as it starts and closes.
#include "app/splitterbar.h"
#include "app/webpane.h"
#include "app/layoutmath.h"
#include "support/testwindow.h"

#include <QAction>
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

namespace {
template <typename T>
T *child(Form1 *f, const char *name)
{
    return f->findChild<T *>(QLatin1String(name));
}
} // namespace

TEST(Form1Start, CaptionColumnsAndFirstStates)
{
    TestWindow w;
    Form1 *f = w.form.get();
    f->Timer4->stop();
    EXPECT_EQ(f->windowTitle(), QStringLiteral("Quillmark 【Warcraft III】1.4"));
    EXPECT_EQ(f->PageNumber, 1);
    EXPECT_TRUE(f->SiteMode.isEmpty());

    auto *list = child<QTreeWidget>(f, "ListView1");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->topLevelItemCount(), 0);
    const char *headers[] = {"热度", "种族", "玩家 VS 玩家", "地图", "时间"};
    const char *keys[] = {"id", "name", "do", "Said", "Stat"};
    const int widths[] = {1000, 2000, 6000, 2000, 2500};
    ASSERT_EQ(list->columnCount(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(list->headerItem()->text(i), QString::fromUtf8(headers[i]));
        EXPECT_EQ(list->headerItem()->data(i, Qt::UserRole).toString(), QString::fromLatin1(keys[i]));
        EXPECT_EQ(list->columnWidth(i), Px(widths[i]));
    }
    EXPECT_FALSE(list->header()->stretchLastSection());

    EXPECT_FALSE(child<QPushButton>(f, "Command1")->isEnabled());
    EXPECT_TRUE(child<QPushButton>(f, "Command3")->isEnabled());
    EXPECT_FALSE(child<WebPane>(f, "WebBrowser2")->isVisible());
    EXPECT_TRUE(child<WebPane>(f, "WebBrowser1")->isVisible());
    EXPECT_FALSE(child<QWidget>(f, "Picture7")->isVisible());
    EXPECT_FALSE(child<QFrame>(f, "Frame3")->isVisible());
    EXPECT_FALSE(child<QGroupBox>(f, "Frame2")->isVisible());
    EXPECT_FALSE(child<QLabel>(f, "Label17")->isVisible());
    EXPECT_TRUE(child<QRadioButton>(f, "Option1")->isChecked());
    EXPECT_FALSE(child<QRadioButton>(f, "Option2")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(f, "Check1")->isChecked());
    EXPECT_TRUE(f->Text7->text().isEmpty());  // no game path at a fresh start

    // Timers: paging and announcement run, download step and banner do not.
    EXPECT_TRUE(child<QTimer>(f, "Timer2")->isActive());
    EXPECT_FALSE(child<QTimer>(f, "Timer1")->isActive());
    EXPECT_FALSE(child<QTimer>(f, "Timer3")->isActive());

    // The banner, the bar and the DotA pane are drawn above the list.
    const QObjectList order = f->centralWidget()->children();
    const auto pos = [&](QObject *o) { return order.indexOf(o); };
    EXPECT_GT(pos(f->Frame3), pos(f->ListView1));
    EXPECT_GT(pos(f->WebBrowser2), pos(f->ListView1));
    EXPECT_GT(pos(f->Picture7), pos(f->ListView1));


    // The minimap script, four lines each ended by CR LF.
    EXPECT_EQ(Form1::BoxText(f->Text13),
              QStringLiteral("<script language=\"JavaScript\">\r\n"
                             "document.oncontextmenu=new Function(\"event.returnValue=false;\");\r\n"
                             "document.onselectstart=new Function(\"event.returnValue=false;\");\r\n"
                             "</script>\r\n"));
    const QStringList help = Form1::BoxText(f->Text11).split(QStringLiteral("\r\n"));
    ASSERT_EQ(help.size(), 10);  // nine lines, the last one ended too
    EXPECT_EQ(help.first(), QStringLiteral("搜索关键说明： "));
    EXPECT_TRUE(help.at(8).startsWith(QStringLiteral("范例2：")));
    EXPECT_TRUE(Form1::BoxText(f->Dota_css).contains(QStringLiteral("{{0}}")));

    EXPECT_TRUE(WaitFor([&] { return !f->WebBrowser1->Loading(); }, 10000));
    EXPECT_EQ(f->WebBrowser1->WrittenText(), Form1::BoxText(f->Text13));
    SaveScreenshot(f, QStringLiteral("started-window.png"));
}

TEST(Form1Start, MenuTreeWithExactCaptions)
{
    TestWindow w(false);
    Form1 *f = w.form.get();
    f->Timer4->stop();
    struct Entry {
        const char *name, *caption, *parent;
    };
    const Entry entries[] = {
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
    const QList<QAction *> top = f->menuBar()->actions();
    ASSERT_EQ(top.size(), 3);
    EXPECT_EQ(top.at(0)->text(), QStringLiteral("对战录像"));
    EXPECT_EQ(top.at(1)->text(), QStringLiteral("DOTA"));
    EXPECT_EQ(top.at(2)->text(), QStringLiteral("本地录像"));
    for (const Entry &e : entries) {
        QMenu *parent = f->findChild<QMenu *>(QLatin1String(e.parent));
        ASSERT_NE(parent, nullptr) << e.parent;
        QAction *found = nullptr;
        for (QAction *a : parent->actions())
            if (a->objectName() == QLatin1String(e.name))
                found = a;
        ASSERT_NE(found, nullptr) << e.name;
        EXPECT_EQ(found->text(), QString::fromUtf8(e.caption)) << e.name;
    }
}

TEST(Form1Close, ClosingWithoutPagesRaisesNothingAndAfterFetchesRemovesPageFiles)
{
    {
        TestWindow w;
        w->Timer4->stop();
        EXPECT_TRUE(w->close());
    }
    TestWindow w;
    w->Timer4->stop();
    w->all_Click();
    ASSERT_TRUE(w.pages->exists(kPageFile));
    QFile index(w.pages->path(kIndexPageFile));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.close();
    EXPECT_TRUE(w->close());
    EXPECT_FALSE(w.pages->exists(kPageFile));
    EXPECT_FALSE(w.pages->exists(kIndexPageFile));
}

TEST(Form1Start, WithoutItsSkinTheWindowStillWorks)
{
    qputenv("QUILLMARK_SKIN", "/nonexistent/skin.qss");
    qApp->setStyleSheet(QString());
    {
        TestWindow w;
        w->Timer4->stop();
        EXPECT_TRUE(qApp->styleSheet().isEmpty());
        EXPECT_EQ(w->windowTitle(), QStringLiteral("Quillmark 【Warcraft III】1.4"));
        w->all_Click();
        EXPECT_EQ(w->ListView1->topLevelItemCount(), 20);
    }
    qunsetenv("QUILLMARK_SKIN");
}
