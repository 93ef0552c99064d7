// Paging on scroll, driven as a user drives it: the wheel, the keys and the
// paging timer's own ticks, at the window's designed size and a tall one.
#include "catalogue/categories.h"
#include "support/testwindow.h"

TEST(PagingThreshold, NextPageIsDueNearTheEnd)
{
    // {top row, rows, due}: an unscrolled list never pages; seven rows or fewer page once scrolled at all.
    const int cases[][3] = {{0, 3, 0}, {11, 20, 0}, {12, 20, 1}, {27, 40, 0}, {28, 40, 1}, {75, 100, 0}, {76, 100, 1}, {1, 7, 1}};
    for (const auto &c : cases)
        EXPECT_EQ(NextPageDue(c[0], c[1]), c[2] == 1) << c[0] << " of " << c[1];
}

namespace {
class Paging : public ::testing::Test {
protected:
    TestWindow w;
    void SetUp() override { w->Timer4->stop(); }
    void menu(const char *name, bool byHand = false)  // byHand: the test ticks the paging timer itself
    {
        TriggerMenu(w, name);
        if (byHand)
            w->Timer2->stop();
        Idle(100);  // the list lays its rows out, as it has long done when a user scrolls
    }
    void wheel(int notches)  // negative: down
    {
        Idle(100);  // rows just appended are laid out first, as for a user
        Wheel(w, notches);
    }
    void tick(int notches = -10) { wheel(notches); w->Timer2_Timer(); }
    void key(Qt::Key k)
    {
        w->ListView1->setFocus();
        QTest::keyClick(w->ListView1, k);
        QCoreApplication::processEvents();
    }
    bool pagedTo(const char *site, const QByteArray &target)  // by the paging timer's own ticks
    {
        return WaitFor([&] { return Targets(w, site).contains(target); }, 3500);
    }
    // The targets asked of `site` since the log was cleared, the page number, the rows.
    using Paged = std::tuple<QList<QByteArray>, int, int>;
    Paged paged(const char *site) { return {Targets(w, site), w->PageNumber, w->ListView1->topLevelItemCount()}; }
    // Scrolled to the end of a new listing, the paging check runs with `meanwhile` queued for its yield.
    void tickWith(const std::function<void()> &meanwhile)
    {
        menu("all", true);
        wheel(-10);
        w.server().clearLog();
        QTimer::singleShot(0, w.form.get(), meanwhile);
        w->Timer2_Timer();
    }
};
} // namespace

TEST_F(Paging, AtTheDesignedSizeTheWheelAndTheKeysReachTheNextPages)
{
    menu("all");
    w.server().clearLog();
    Idle(1300);
    EXPECT_TRUE(Targets(w, "melee").isEmpty());  // not scrolled: no page by itself
    wheel(-10);  // down to the last row
    ASSERT_TRUE(pagedTo("melee", "/Default.aspx?a=3&PageNo=2"));  // its rows and banner: the end-to-end road's part
    SaveScreenshot(w, "paging-banner.png");
    Idle(1300);
    EXPECT_EQ(Targets(w, "melee").size(), 1);  // quiet until the user scrolls further
    key(Qt::Key_End);
    EXPECT_TRUE(pagedTo("melee", "/Default.aspx?a=3&PageNo=3"));
}

TEST_F(Paging, ATallWindowWhoseRowsFitWithoutScrollingStillPages)
{
    w->resize(w->width(), 1400);  // as maximised on a tall screen: 20 rows fit
    WaitFor([&] { return w->ListView1->height() > 900; }, 2000);
    w.dialogs.answers.push_back(QStringLiteral("WE"));
    menu("zd");
    ASSERT_EQ(w->ListView1->verticalScrollBar()->maximum(), 0);
    w.server().clearLog();
    Idle(1300);
    EXPECT_TRUE(Targets(w, "dota").isEmpty());
    wheel(-1);
    ASSERT_TRUE(pagedTo("dota", "/search.aspx?type=1&str=WE&PageNo=2"));
    key(Qt::Key_Down);
    key(Qt::Key_End);
    ASSERT_TRUE(pagedTo("dota", "/search.aspx?type=1&str=WE&PageNo=3"));
    SaveScreenshot(w, "paging-tall.png");
}

TEST_F(Paging, ScrollingBackCancelsRepeatsAreSkippedAnEmptyPageEndsAFailedPageWaits)
{
    menu("zxc", true);  // 45 replays of this matchup
    // Five new replays were posted meanwhile: page 2 now starts with the last five rows of page 1.
    QList<DemoMeleeReplay> shifted = DemoData::instance().melee.mid(0, 5);
    for (const DemoMeleeReplay &r : DemoData::instance().melee)
        if (r.gameRace() == 10)
            shifted.append(r);
    for (int i = 0; i < shifted.size(); ++i) {
        shifted[i].id += i < 5 ? 90000 : 0;
        shifted[i].brokenItem = false;  // a row without a URL would never count as a repeat
    }
    w.server().setOverride(QStringLiteral("melee"), "/ReplayList.aspx",
                           DemoResponse::html(DemoSite::meleeListingPage(shifted, 2, w->Roots().melee)));
    w.server().clearLog();
    wheel(-10);
    tick(3);  // scrolled up again before the tick
    EXPECT_TRUE(Targets(w, "melee").isEmpty());
    tick();
    ASSERT_EQ(w->ListView1->topLevelItemCount(), 35);
    EXPECT_EQ(w->ListView1->topLevelItem(20)->text(0), QStringLiteral("20"));  // numbering goes on
    QSet<QString> urls;
    for (int i = 0; i < w->List1->count(); ++i)
        urls.insert(w->List1->item(i)->text());
    EXPECT_EQ(urls.size(), 35);  // no replay twice
    tick();  // the same page again adds nothing: the end of the listing
    tick();
    EXPECT_EQ(Targets(w, "melee").mid(1), QList<QByteArray>{"/ReplayList.aspx?GameRace=10&PageNo=3"});
    EXPECT_EQ(w->ListView1->topLevelItemCount(), 35);

    // A new listing pages again. Its failed page adds nothing and is tried again
    // only after further scrolling: a dead site costs no blocked fetch every second.
    menu("all", true);
    w.server().setOverride(QStringLiteral("melee"), "/Default.aspx", DemoResponse::html(QStringLiteral("busy"), 503));
    w.server().clearLog();
    tick();
    w->Timer2_Timer();
    EXPECT_EQ(paged("melee"), Paged({"/Default.aspx?a=3&PageNo=2"}, 1, 20));
    w.server().clearOverrides();
    tick(-1);
    EXPECT_EQ(Targets(w, "melee").size(), 2);
    EXPECT_EQ(w->ListView1->topLevelItemCount(), 40);
}

TEST_F(Paging, ASiteRepeatingItsLastPageEndsWhereNoNewReplayComes)
{
    // Every page number gets the last page, whose last five rows link no detail page.
    const QList<DemoMeleeReplay> &all = DemoData::instance().melee;
    QString page = DemoSite::meleeListingPage(all.mid(0, 20), 1, w->Roots().melee);
    for (int i = 15; i < 20; ++i)
        page.replace(QStringLiteral("<a href=\"%1/ReplayDetail.aspx?ReplayID=%2\" target=\"_blank\">").arg(w->Roots().melee).arg(all[i].id), QString());
    w.server().setOverride(QStringLiteral("melee"), "/Default.aspx", DemoResponse::html(page));
    menu("all", true);
    auto withoutUrl = [&] { return int(w->List1->findItems(QString(), Qt::MatchExactly).size()); };
    ASSERT_EQ(std::pair(w->ListView1->topLevelItemCount(), withoutUrl()), std::pair(20, 5));
    w.server().clearLog();
    for (int i = 0; i < 4; ++i)
        tick();
    // The repeat lists its rows without a detail URL again and ends the paging.
    EXPECT_EQ(paged("melee"), Paged({"/Default.aspx?a=3&PageNo=2"}, 2, 25));
    EXPECT_EQ(withoutUrl(), 10);
}

TEST_F(Paging, DuringTheYieldsANewListingIsNotPagedAndAClosedWindowFetchesNothing)
{
    tickWith([&] { w->dotanew_Click(); });
    EXPECT_EQ(Targets(w, "dota"), QList<QByteArray>{"/DotaList.aspx?&PageNo=1"});
    EXPECT_TRUE(Targets(w, "melee").isEmpty());
    EXPECT_EQ(w->PageNumber, 1);
    EXPECT_TRUE(w->Timer3->isActive());  // the banner still goes
    EXPECT_TRUE(WaitFor([&] { return w->Frame3->isHidden(); }, 3000));

    tickWith([&] { w->close(); });
    EXPECT_TRUE(w.server().requests().isEmpty());
    EXPECT_FALSE(w.pages->exists(kPageFile));
}

TEST_F(Paging, PagingStopsAtPage255)
{
    w->StartListing(QStringLiteral("War3"), w->Roots().melee + QStringLiteral("/_test/endless?"));
    w->Timer2->stop();
    w->PageNumber = 254;  // as after 253 pages of scrolling
    w.server().clearLog();
    tick();
    tick();
    EXPECT_EQ(paged("melee"), Paged({"/_test/endless?&PageNo=255"}, 255, 40));
}
