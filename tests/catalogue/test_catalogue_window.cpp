// The listing commands in the real window against the demo site.
#include "app/splitterbar.h"
#include "support/testwindow.h"

namespace {
class CatalogueWindow : public ::testing::Test {
protected:
    TestWindow w;
    void SetUp() override { w->Timer4->stop(); }
    void menu(const char *name) { TriggerMenu(w, name); }
    QByteArray lastTarget(const char *site) { return Targets(w, site).value(Targets(w, site).size() - 1); }
};
} // namespace

TEST_F(CatalogueWindow, EveryCommandLoadsPageOneOfItsListing)
{
    // GameRace is the sum of the race codes: Human 1, NightElf 2, Orc 4, Undead 8.
    const std::pair<const char *, int> matchups[] = {
        {"rvr", 2}, {"fasd", 3}, {"awe", 5}, {"asdc", 9}, {"vvz", 4}, {"asdss", 3}, {"asd23", 6}, {"zxc", 10},
        {"qwebb", 8}, {"vxcvx", 5}, {"asdasdee", 6}, {"xcvzxc", 12}, {"ffasd", 16}, {"asdasd", 9}, {"qwe", 12}, {"asd", 10}};
    for (const auto &[name, race] : matchups) {
        w->PageNumber = 7;  // a new listing always starts at page 1
        menu(name);  // the target, the page, the mode and the rows
        EXPECT_EQ(std::tuple(lastTarget("melee"), w->PageNumber, w->SiteMode, w->List1->count()),
                  std::tuple("/ReplayList.aspx?GameRace=" + QByteArray::number(race) + "&PageNo=1", 1, QStringLiteral("War3"), 20)) << name;
    }
    // The cells and detail URLs of these pages are the parser's part, the row positions the details window's.
    menu("all");
    EXPECT_EQ(lastTarget("melee"), "/Default.aspx?a=3&PageNo=1");
    EXPECT_EQ(w->ListView1->topLevelItem(19)->text(0), QStringLiteral("19"));
    EXPECT_TRUE(w->Command1->isEnabled() && w->Timer2->isActive());
    SaveScreenshot(w, "melee-listing.png");

    menu("dotanew");
    EXPECT_EQ(lastTarget("dota"), "/DotaList.aspx?&PageNo=1");
    EXPECT_EQ(w->ListView1->topLevelItem(0)->text(1), QStringLiteral("近卫军团 VS 天灾军团"));
    SaveScreenshot(w, "dota-listing.png");

    // The searches: keywords go out as code-page-936 bytes, "#", "&", "%", "+" and
    // blanks percent-encoded, so that "&PageNo=1" is still what ends the URL.
    const char *const searches[][3] = {{"search", "melee", "/Search.aspx?"}, {"zd", "dota", "/search.aspx?type=1&"},
                                       {"sxdasd", "dota", "/search.aspx?type=2&"}, {"sais", "dota", "/search.aspx?type=3&"}};
    for (const auto &s : searches) {
        w.dialogs.answers.push_back(QStringLiteral("人皇 #1&x%+"));
        menu(s[0]);
        EXPECT_EQ(lastTarget(s[1]), QByteArray(s[2]) + "str=%C8%CB%BB%CA%20%231%26x%25%2B&PageNo=1");
        EXPECT_EQ(w.dialogs.prompts.last(), Form1::BoxText(w->Text11));
    }
    EXPECT_TRUE(w.dialogs.messages.isEmpty());
}

TEST_F(CatalogueWindow, LayoutFollowsTheSiteMode)
{
    menu("all");
    const int meleeWidth = w->ListView1->width();
    EXPECT_FALSE(w->WebBrowser2->isVisible() || w->Picture7->isVisible());
    menu("dotanew");
    EXPECT_TRUE(w->WebBrowser2->isVisible() && w->Picture7->isVisible());
    const int dotaWidths[] = {67, 0, 267, 0, 167};  // 1000, 0, 4000, 0, 2500 twips
    for (int i = 0; i < 5; ++i)  // the list's own width is the layout's part
        EXPECT_EQ(w->ListView1->columnWidth(i), dotaWidths[i]) << i;
    w.dialogs.answers = {QStringLiteral("WE"), QStringLiteral("Sky")};
    menu("sxdasd");  // the player search shows the bar too
    EXPECT_EQ(w->ListView1->width(), 400);  // 6000 twips
    EXPECT_TRUE(w->Picture7->isVisible());
    menu("search");  // a melee search after DotA lays out a melee page
    EXPECT_EQ(w->SiteMode, QStringLiteral("War3"));
    EXPECT_FALSE(w->WebBrowser2->isVisible() || w->Picture7->isVisible());
    EXPECT_EQ(w->ListView1->width(), meleeWidth);
    EXPECT_TRUE(w->ListView1->columnWidth(1) == 133 && w->ListView1->columnWidth(3) == 167);
    ASSERT_GT(w->ListView1->topLevelItemCount(), 0);
    EXPECT_TRUE(w->ListView1->topLevelItem(0)->text(2).contains(QStringLiteral("Sky"), Qt::CaseInsensitive));
}

TEST_F(CatalogueWindow, CancelledBlankOrUnsendableSearchChangesNothing)
{
    menu("dotanew");
    const int requests = int(w.server().requests().size());
    w.dialogs.answers = {std::nullopt, QStringLiteral("   "), QStringLiteral("한국"), std::nullopt};
    for (const char *name : {"search", "zd", "sais", "sxdasd"})
        menu(name);
    EXPECT_EQ(w->SiteMode, QStringLiteral("dota"));
    EXPECT_EQ(w->ListView1->topLevelItemCount(), 20);
    ASSERT_EQ(w.dialogs.texts(), QStringList{QStringLiteral("关键字中含有无法搜索的字符，请重新输入！")});  // only this one aloud
    w->SiteMode = QStringLiteral("WAR3");  // modes compare exactly: nothing happens
    w->LoadReplayList(w->Roots().melee + QStringLiteral("/Default.aspx?a=3"));
    EXPECT_EQ(int(w.server().requests().size()), requests);
}

TEST_F(CatalogueWindow, AHugeCellIsCutAndItsRowStillOpens)
{
    // The first row's players cell holds 1 MiB of text.
    w->StartListing(QStringLiteral("War3"), w->Roots().melee + QStringLiteral("/_test/longcell?"));
    ASSERT_EQ(w->ListView1->topLevelItemCount(), 20);
    const QString cell = w->ListView1->topLevelItem(0)->text(2);
    EXPECT_EQ(cell.size(), 256);
    EXPECT_TRUE(cell.startsWith(QStringLiteral("LongName ")) && cell.endsWith(QChar(0x2026)));
    EXPECT_EQ(w->List1->item(0)->text(),
              w->Roots().melee + QStringLiteral("/ReplayDetail.aspx?ReplayID=%1").arg(DemoData::instance().melee.first().id));
    SaveScreenshot(w, "long-cell.png");  // painting the row must not hang
}

TEST_F(CatalogueWindow, CrownsAnimateAndRepaintOnlyTheirOwnCells)
{
    menu("all");  // the newest listing has gold and silver crowns in view
    Idle(300);
    struct Paints : QObject {
        QRegion painted;
        int count = 0;
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::Paint)
                painted += static_cast<QPaintEvent *>(e)->region(), ++count;
            return false;
        }
    } paints;
    w->ListView1->viewport()->installEventFilter(&paints);
    const int frame = w->ImageList1.first()->currentFrameNumber();
    const int watched = 2 * Form1::kCrownStepMs + 200;
    Idle(watched);
    ASSERT_GT(paints.count, 0);  // the crowns move on screen
    EXPECT_NE(w->ImageList1.first()->currentFrameNumber(), frame);
    // ... one step at a time, not at their pictures' rate: an idle window stays idle.
    EXPECT_LE(paints.count, watched / Form1::kCrownStepMs + 1);
    QRegion crowns;
    for (int i = 0; i < w->ListView1->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = w->ListView1->topLevelItem(i);
        if (item->data(0, Qt::UserRole).toInt() > 0)
            crowns += w->ListView1->visualRect(w->ListView1->model()->index(i, 0));
    }
    EXPECT_FALSE(crowns.isEmpty());
    EXPECT_EQ(paints.painted.subtracted(crowns), QRegion()) << "an idle list repaints more than its crowns";
}

TEST_F(CatalogueWindow, EveryNewListingOpensAtItsTop)
{
    auto topRow = [&] { return w->ListView1->indexOfTopLevelItem(w->ListView1->itemAt(2, 2)); };
    // The wheel down past page 1 (page 2 comes in) to row 20 or further.
    ChooseListing(w, "fasd");
    Wheel(w, -10);
    ASSERT_TRUE(WaitFor([&] { return w->ListView1->topLevelItemCount() == 40; }));
    Wheel(w, -5);
    ASSERT_GE(topRow(), 20);
    ChooseListing(w, "awe");
    EXPECT_EQ(topRow(), 0);
    EXPECT_EQ(w->ListView1->verticalScrollBar()->value(), 0);
    // The keys down to the last row of a DotA listing, then the newest melee replays.
    ChooseListing(w, "dotanew");
    w->ListView1->setFocus();
    for (int i = 0; i < 20; ++i)
        QTest::keyClick(w->ListView1, Qt::Key_Down);
    Idle(100);
    ASSERT_GT(topRow(), 0);
    ChooseListing(w, "all");
    EXPECT_EQ(topRow(), 0);
    SaveScreenshot(w, "new-listing-at-top.png");
}

TEST_F(CatalogueWindow, CutCellsShowTheirWholeTextAsATip)
{
    auto tipAt = [&](int row, int column) {
        QToolTip::hideText();
        WaitFor([] { return !QToolTip::isVisible(); }, 2000);
        QWidget *vp = w->ListView1->viewport();
        // The middle of what the list shows of the cell.
        const QRect cell = w->ListView1->visualRect(w->ListView1->model()->index(row, column)).intersected(vp->rect());
        QHelpEvent tip(QEvent::ToolTip, cell.center(), vp->mapToGlobal(cell.center()));
        QCoreApplication::sendEvent(vp, &tip);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    // The narrow DotA layout at the designed size: the 时间 column reaches past the list's edge.
    ChooseListing(w, "dotanew");
    for (int row : {0, 5, 13})
        EXPECT_EQ(tipAt(row, 4), w->ListView1->topLevelItem(row)->text(4)) << row;
    EXPECT_EQ(tipAt(0, 0), QString());  // the row number fits: no tip
    EXPECT_EQ(tipAt(0, 2), QString());  // so does this title
    // A cell cut short with "…".
    w->StartListing(QStringLiteral("War3"), w->Roots().melee + QStringLiteral("/_test/longcell?"));
    Idle(100);
    EXPECT_EQ(tipAt(0, 2), w->ListView1->topLevelItem(0)->text(2));
    QToolTip::hideText();
}

TEST_F(CatalogueWindow, TheNewestDemoReplayPlaysWithTheDemoGame)
{
    // The demo game of the README (1.24.4.6387), the first row of "最新录像 ".
    QTemporaryDir game;
    ChooseDemoGame(w, game.path());
    ChooseListing(w, "all");
    ClickRow(w, w->ListView1->topLevelItem(0));
    ASSERT_FALSE(w->Text5->text().isEmpty());
    QTest::mouseClick(w->Command1, Qt::LeftButton);  // "下载"
    ASSERT_TRUE(WaitFor([&] { return !w.dialogs.messages.isEmpty(); }, 60000));
    ASSERT_EQ(w.dialogs.texts(), QStringList{QStringLiteral("下载完毕！")});
    w.dialogs.messages.clear();
    QTest::mouseClick(w->Command3, Qt::LeftButton);  // "播放录像"
    EXPECT_EQ(w.dialogs.texts(), QStringList());  // not "当前魔兽版本不对应录像版本！"
    EXPECT_EQ(w.launcher.started.size(), 1);
}
