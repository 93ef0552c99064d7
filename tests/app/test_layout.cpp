// The pane layout: resizing, the splitter bar and the loading banner.
#include "app/layoutmath.h"
#include "app/splitterbar.h"
#include "app/webpane.h"
#include "support/testwindow.h"

#include <QFrame>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {
class Layout : public ::testing::Test {
protected:
    TestWindow w;
    void SetUp() override
    {
        w->Timer4->stop();
        w->Timer2->setInterval(3600 * 1000);  // paging is driven by hand here
    }
    void resizeTo(int width, int height)
    {
        w->resize(width, height);
        WaitFor([&] { return w->size() == QSize(width, qMax(height, w->minimumHeight())); }, 2000);
        QCoreApplication::processEvents();
    }
    static int near(int a, int b) { return std::abs(a - b) <= 1; }
};
} // namespace

TEST_F(Layout, TooLowAWindowIsLaidOutAtTheMinimumHeight)
{
    resizeTo(w->width(), 50);
    EXPECT_GE(w->WindowHeight(), 4990);
    EXPECT_TRUE(near(w->ListView1->height(), Px(805))) << w->ListView1->height();
    EXPECT_TRUE(near(w->Frame3->y(), Px(430))) << w->Frame3->y();
    EXPECT_TRUE(near(w->Frame1->y(), Px(805)));
    EXPECT_EQ(w->Frame1->size(), QSize(Px(15255), Px(3495)));  // the detail area keeps its size
    EXPECT_EQ(w->WebBrowser2->height(), w->ListView1->height());
    EXPECT_EQ(w->Picture7->height(), w->ListView1->height());
}

TEST_F(Layout, MeleeListFollowsTheWidthDotaListDoesNot)
{
    w->all_Click();
    resizeTo(1200, 700);
    EXPECT_EQ(w->ListView1->width(), Px(w->WindowWidth() - 100));
    EXPECT_EQ(w->Frame3->width(), w->ListView1->width());
    EXPECT_EQ(w->Label15->x(), Px(int(Twips(w->ListView1->width()) / 2.0 * 0.4)));
    EXPECT_EQ(w->Frame1->y() + w->Frame1->height(), w->centralWidget()->height());  // flush with the bottom

    w->dotanew_Click();
    const int listWidth = w->ListView1->width();
    const int paneWidth = w->WebBrowser2->width();
    resizeTo(1400, 800);
    EXPECT_EQ(w->ListView1->width(), listWidth);
    EXPECT_EQ(w->WebBrowser2->width(), paneWidth);
    EXPECT_EQ(w->ListView1->height(), w->Frame1->y());
}

TEST_F(Layout, DropsMoveTheBarAndResizeListPaneAndBanner)
{
    w->dotanew_Click();
    w->ListView1_DragDrop(0);
    EXPECT_EQ(w->ListView1->width(), 0);
    EXPECT_EQ(w->Picture7->x(), 0);
    EXPECT_EQ(w->WebBrowser2->x(), Px(50));
    EXPECT_EQ(w->Frame3->width(), 0);

    w->ListView1_DragDrop(6000);
    EXPECT_EQ(w->ListView1->width(), Px(6000));
    EXPECT_EQ(w->WebBrowser2->width(), Px(w->WindowWidth() - 6000));
    // Centred over the list after a drop on it ...
    EXPECT_TRUE(near(w->Label15->x(), Px(6000 / 2.0 - Twips(w->Label15->width()) / 2.0)));

    // ... at one fifth after a drop on the window's surface, the pane 150 shorter.
    w->Form_DragDrop(5000);
    EXPECT_EQ(w->ListView1->width(), Px(5000));
    EXPECT_TRUE(near(w->WebBrowser2->width(), Px(w->WindowWidth() - 5050 - 100)));
    EXPECT_EQ(w->Label15->x(), Px(1000));

    // Near the right edge the pane's width would be below zero: it keeps its width.
    const int paneWidth = w->WebBrowser2->width();
    w->Form_DragDrop(w->WindowWidth());
    EXPECT_EQ(w->WebBrowser2->width(), paneWidth);
    EXPECT_EQ(w->ListView1->width(), Px(w->WindowWidth()));
    EXPECT_EQ(w->Picture7->x(), Px(w->WindowWidth()));

    // A drop on the DotA pane counts from the pane's left edge.
    w->ListView1_DragDrop(6000);
    w->WebBrowser2_DragDrop(1500);
    EXPECT_EQ(w->Picture7->x(), Px(6050 + 1500));
}

TEST_F(Layout, DraggingTheBarWithTheMouse)
{
    w->dotanew_Click();
    WaitFor([&] { return w->Picture7->isVisible(); }, 2000);
    const QPoint grab(2, 20);
    QTest::mousePress(w->Picture7, Qt::LeftButton, {}, grab);
    ASSERT_TRUE(w->Picture7->Dragging());
    const int barBefore = w->Picture7->x();
    // While dragged the bar stays where it is.
    QMouseEvent move(QEvent::MouseMove, QPointF(grab + QPoint(-100, 0)), QPointF(w->Picture7->mapToGlobal(grab + QPoint(-100, 0))),
                     Qt::NoButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(w->Picture7, &move);
    EXPECT_EQ(w->Picture7->x(), barBefore);
    // Released over the list: the list's drop handler runs with X inside the list.
    const QPoint overList = w->ListView1->mapTo(w->centralWidget(), QPoint(250, 40));
    const QPoint local = w->Picture7->mapFrom(w->centralWidget(), overList);
    QTest::mouseRelease(w->Picture7, Qt::LeftButton, {}, local);
    EXPECT_FALSE(w->Picture7->Dragging());
    EXPECT_EQ(w->Picture7->x(), 250);
    EXPECT_EQ(w->ListView1->width(), 250);
    EXPECT_EQ(w->WebBrowser2->x(), 250 + Px(50));
    SaveScreenshot(w.form.get(), QStringLiteral("dota-splitter.png"));

    // Released over the detail area: nothing changes.
    QTest::mousePress(w->Picture7, Qt::LeftButton, {}, grab);
    const QPoint overDetail = w->Picture7->mapFrom(w->centralWidget(), w->Frame1->geometry().center());
    QTest::mouseRelease(w->Picture7, Qt::LeftButton, {}, overDetail);
    EXPECT_EQ(w->Picture7->x(), 250);
    EXPECT_EQ(w->ListView1->width(), 250);
}

TEST_F(Layout, BannerTimerHidesTheBannerAndStopsItself)
{
    w->Timer3->start();
    w->Timer3_Timer();  // started while the banner is hidden: stops at its first tick
    EXPECT_FALSE(w->Timer3->isActive());

    w->Frame3->show();
    w->Timer3->start();
    w->Timer3_Timer();
    EXPECT_TRUE(w->Frame3->isHidden());
    EXPECT_TRUE(w->Timer3->isActive());
    w->Timer3_Timer();
    EXPECT_FALSE(w->Timer3->isActive());
}
