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
    EXPECT_TRUE(f->SiteMode.isEmpty() && f->Text7->text().isEmpty());  // no game path at a fresh start

    const char *headers[] = {"热度", "种族", "玩家 VS 玩家", "地图", "时间"};
    const char *keys[] = {"id", "name", "do", "Said", "Stat"};
    const int widths[] = {67, 133, 400, 133, 167};  // 1000, 2000, 6000, 2000, 2500 twips
    ASSERT_EQ(f->ListView1->columnCount(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(f->ListView1->headerItem()->text(i), QString::fromUtf8(headers[i]));
        EXPECT_EQ(f->ListView1->headerItem()->data(i, Qt::UserRole).toString(), QString::fromLatin1(keys[i]));
        EXPECT_EQ(f->ListView1->columnWidth(i), widths[i]);
    }
    for (const char *name : {"Picture7", "WebBrowser2", "Timer3", "Frame3", "Label15", "Timer2", "Inet1", "Frame2", "Text8",
                             "Text9", "Dota_css", "List1", "Text13", "Timer4", "Text11", "Text1", "Picture1", "Picture4",
                             "Frame1", "Frame4", "Command1", "Command2", "Command3", "Picture5", "Picture6", "ProgressBar1",
                             "Timer1", "CommonDialog1", "Text6", "WebBrowser1", "Label14", "Text2", "Text12", "Text10",
                             "Label17", "Option1", "Option2", "Check1", "ListView1"})
        EXPECT_NE(f->findChild<QObject *>(QLatin1String(name)), nullptr) << name;
    EXPECT_FALSE(f->WebBrowser2->isVisible() || f->Picture7->isVisible() || f->Frame3->isVisible()
                 || f->Frame2->isVisible() || f->Label17->isVisible());
    EXPECT_TRUE(f->WebBrowser1->isVisible());
    EXPECT_FALSE(f->Command1->isEnabled());
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
