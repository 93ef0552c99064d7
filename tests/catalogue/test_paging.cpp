// Paging on scroll, driven as a user drives it: the wheel, the keys and the
// paging timer's own ticks, at the window's designed size and a tall one.
#include "catalogue/categories.h"
#include "support/testwindow.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QListWidget>
#include <QScrollBar>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWheelEvent>
#include <gtest/gtest.h>

TEST(PagingThreshold, NextPageIsDueNearTheEnd)
{
    EXPECT_FALSE(NextPageDue(0, 3));  // an unscrolled list never pages by position
    EXPECT_FALSE(NextPageDue(11, 20));
    EXPECT_TRUE(NextPageDue(12, 20));
    EXPECT_FALSE(NextPageDue(27, 40));
    EXPECT_TRUE(NextPageDue(28, 40));
    EXPECT_FALSE(NextPageDue(75, 100));
    EXPECT_TRUE(NextPageDue(76, 100));
    EXPECT_TRUE(NextPageDue(1, 7));  // seven rows or fewer: any scrolled position
}

namespace {
class Paging : public ::testing::Test {
protected:
    TestWindow w;
    void SetUp() override { w->Timer4->stop(); }

    void menu(const char *name)
    {
        w->findChild<QAction *>(QLatin1String(name))->trigger();
        idle(100);  // the list lays its rows out, as it has long done when a user scrolls
    }
    void wheel(int notches)  // negative: down
    {
        idle(100);  // rows just appended are laid out first, as for a user
        QWidget *vp = w->ListView1->viewport();
        const QPointF at(vp->width() / 2.0, vp->height() / 2.0);
        for (int i = 0; i < std::abs(notches); ++i) {
            QWheelEvent e(at, vp->mapToGlobal(at), QPoint(), QPoint(0, notches < 0 ? -120 : 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(vp, &e);
        }
        QCoreApplication::processEvents();
    }
    void key(Qt::Key k)
    {
        w->ListView1->setFocus();
        QTest::keyClick(w->ListView1, k);
        QCoreApplication::processEvents();
    }
    QList<QByteArray> targets(const char *site)
    {
        QList<QByteArray> out;
        for (const DemoRequest &r : w.server().requests(QLatin1String(site)))
            out.append(r.target);
        return out;
    }
    // Lets the paging timer tick on its own (once a second).
    bool pagedTo(const char *site, const QByteArray &target, int ms = 3500)
    {
        return WaitFor([&] { return targets(site).contains(target); }, ms);
    }
    void idle(int ms) { WaitFor([] { return false; }, ms); }
};
} // namespace

TEST_F(Paging, AtTheDesignedSizeTheWheelAndTheKeysReachTheNextPages)
{
    menu("all");
    ASSERT_EQ(w->ListView1->topLevelItemCount(), 20);
    w.server().clearLog();
    idle(1300);
    EXPECT_TRUE(targets("melee").isEmpty());  // not scrolled: no page by itself

    wheel(-10);  // down to the last row
    ASSERT_TRUE(pagedTo("melee", "/Default.aspx?a=3&PageNo=2"));
    EXPECT_EQ(w->ListView1->topLevelItemCount(), 40);
    EXPECT_EQ(w->ListView1->topLevelItem(20)->text(0), QStringLiteral("20"));  // numbering goes on
    EXPECT_EQ(w->List1->count(), 40);
    EXPECT_FALSE(w->Frame3->isHidden());
    SaveScreenshot(w.form.get(), QStringLiteral("paging-banner.png"));
    EXPECT_TRUE(WaitFor([&] { return w->Frame3->isHidden(); }, 3000));  // the banner timer takes it down

    idle(1300);
    EXPECT_EQ(targets("melee").size(), 1);  // quiet until the user scrolls further
    key(Qt::Key_End);
    ASSERT_TRUE(pagedTo("melee", "/Default.aspx?a=3&PageNo=3"));
    EXPECT_EQ(w->ListView1->topLevelItemCount(), 60);
}

TEST_F(Paging, ATallWindowWhoseRowsFitWithoutScrollingStillPages)
{
    w->resize(w->width(), 1400);  // as maximised on a tall screen: 20 rows fit
    WaitFor([&] { return w->ListView1->height() > 900; }, 2000);
    w.dialogs.answers.push_back(QStringLiteral("WE"));
    menu("zd");
    ASSERT_EQ(w->ListView1->topLevelItemCount(), 20);
    ASSERT_EQ(w->ListView1->verticalScrollBar()->maximum(), 0);
    w.server().clearLog();
    idle(1300);
    EXPECT_TRUE(targets("dota").isEmpty());

    wheel(-1);
    ASSERT_TRUE(pagedTo("dota", "/search.aspx?type=1&str=WE&PageNo=2"));
    EXPECT_EQ(w->ListView1->topLevelItemCount(), 40);
    key(Qt::Key_Down);
    key(Qt::Key_End);
    ASSERT_TRUE(pagedTo("dota", "/search.aspx?type=1&str=WE&PageNo=3"));
    SaveScreenshot(w.form.get(), QStringLiteral("paging-tall.png"));
}

TEST_F(Paging, ScrollingUpAgainCancelsThePage)
{
    menu("zxc");
    w.server().clearLog();
    w->Timer2->stop();  // the ticks come by hand here
    wheel(-10);
    wheel(3);
    w->Timer2_Timer();
    EXPECT_TRUE(targets("melee").isEmpty());
}

TEST_F(Paging, OverlappingAndEmptyPagesAddOnlyNewRowsThenPagingEnds)
{
    menu("zxc");  // 45 replays of this matchup
    QList<DemoMeleeReplay> hits;
    for (const DemoMeleeReplay &r : DemoData::instance().melee)
        if (r.gameRace() == 10)
            hits.append(r);
    // Five new replays were posted meanwhile: page 2 now starts with the last
    // five rows of page 1.
    QList<DemoMeleeReplay> shifted = DemoData::instance().melee.mid(0, 5);
    for (DemoMeleeReplay &r : shifted)
        r.id += 90000;
    shifted += hits;
    for (DemoMeleeReplay &r : shifted)
        r.brokenItem = false;  // a row without a URL would never count as a repeat
    w.server().setOverride(QStringLiteral("melee"), "/ReplayList.aspx",
                           DemoResponse::html(DemoSite::meleeListingPage(shifted, 2, w->Roots().melee)));
    w->Timer2->stop();
    wheel(-10);
    w->Timer2_Timer();
    ASSERT_EQ(w->ListView1->topLevelItemCount(), 35);
    EXPECT_EQ(w->ListView1->topLevelItem(20)->text(0), QStringLiteral("20"));
    QSet<QString> urls;
    for (int i = 0; i < w->List1->count(); ++i)
        urls.insert(w->List1->item(i)->text());
    EXPECT_EQ(urls.size(), 35);  // no replay twice

    // The same page again adds nothing: the end of the listing.
    w.server().clearLog();
    wheel(-10);
    w->Timer2_Timer();
    EXPECT_EQ(targets("melee"), QList<QByteArray>{"/ReplayList.aspx?GameRace=10&PageNo=3"});
    EXPECT_EQ(w->ListView1->topLevelItemCount(), 35);
    wheel(-10);
    w->Timer2_Timer();
    EXPECT_EQ(targets("melee").size(), 1);

    // A new listing pages again.
    w.server().clearOverrides();
    menu("all");
    w.server().clearLog();
    wheel(-10);
    w->Timer2_Timer();
    EXPECT_EQ(targets("melee"), QList<QByteArray>{"/Default.aspx?a=3&PageNo=2"});
}

TEST_F(Paging, AFailedPageAddsNothingAndIsTriedAgainOnlyAfterFurtherScrolling)
{
    menu("all");
    w->Timer2->stop();
    w.server().setOverride(QStringLiteral("melee"), "/Default.aspx", DemoResponse::html(QStringLiteral("busy"), 503));
    w.server().clearLog();
    wheel(-10);
    w->Timer2_Timer();
    w->Timer2_Timer();
    EXPECT_EQ(targets("melee").size(), 1);  // a dead site costs no blocked fetch every second
    EXPECT_EQ(w->PageNumber, 1);
    EXPECT_EQ(w->ListView1->topLevelItemCount(), 20);

    w.server().clearOverrides();
    wheel(-1);
    w->Timer2_Timer();
    EXPECT_EQ(targets("melee").last(), QByteArray("/Default.aspx?a=3&PageNo=2"));
    EXPECT_EQ(w->ListView1->topLevelItemCount(), 40);
}

TEST_F(Paging, ANewListingDuringTheYieldIsNotPagedAndTheBannerStillGoes)
{
    menu("all");
    w->Timer2->stop();
    wheel(-10);
    w.server().clearLog();
    QTimer::singleShot(0, w.form.get(), [&] { w->dotanew_Click(); });  // runs in the paging check's yield
    w->Timer2_Timer();
    EXPECT_EQ(targets("dota"), QList<QByteArray>{"/DotaList.aspx?&PageNo=1"});
    EXPECT_TRUE(targets("melee").isEmpty());
    EXPECT_EQ(w->PageNumber, 1);
    EXPECT_TRUE(w->Timer3->isActive());
    EXPECT_TRUE(WaitFor([&] { return w->Frame3->isHidden(); }, 3000));
}

TEST_F(Paging, AWindowClosedDuringTheYieldFetchesNothingMore)
{
    menu("all");
    w->Timer2->stop();
    wheel(-10);
    w.server().clearLog();
    QTimer::singleShot(0, w.form.get(), [&] { w->close(); });
    w->Timer2_Timer();
    EXPECT_TRUE(targets("melee").isEmpty());
    EXPECT_FALSE(QFileInfo::exists(QDir(w.pageDir.path()).filePath(QStringLiteral("FD.Dat"))));
}

TEST_F(Paging, PagingStopsAtPage255)
{
    w->StartListing(QStringLiteral("War3"), w->Roots().melee + QStringLiteral("/_test/endless?"));
    idle(100);
    w->Timer2->stop();
    w->PageNumber = 254;  // as after 253 pages of scrolling
    w.server().clearLog();
    wheel(-10);
    w->Timer2_Timer();
    EXPECT_EQ(targets("melee"), QList<QByteArray>{"/_test/endless?&PageNo=255"});
    EXPECT_EQ(w->PageNumber, 255);
    wheel(-10);
    w->Timer2_Timer();
    EXPECT_EQ(targets("melee").size(), 1);
    EXPECT_EQ(w->PageNumber, 255);
    EXPECT_EQ(w->ListView1->topLevelItemCount(), 40);
}
