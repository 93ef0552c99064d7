// The pane layout: resizing, the splitter bar and the loading banner.
#include "app/layoutmath.h"
#include "app/splitterbar.h"
#include "app/webpane.h"
#include "support/testwindow.h"

#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {
class Layout : public ::testing::Test {
protected:
    TestWindow w;
    void SetUp() override { w->Timer4->stop(); w->Timer2->setInterval(3600 * 1000); }  // no paging by itself here
    void resizeTo(int width, int height)
    {
        w->resize(width, height);
        WaitFor([&] { return w->size() == QSize(width, qMax(height, w->minimumHeight())); }, 2000);
        QCoreApplication::processEvents();
    }
    void dragBarTo(QPoint inSurface)  // with the mouse, let go at a point of the window's surface
    {
        QTest::mousePress(w->Picture7, Qt::LeftButton, {}, QPoint(2, 20));
        QTest::mouseRelease(w->Picture7, Qt::LeftButton, {}, w->Picture7->mapFrom(w->centralWidget(), inSurface));
    }
    static bool near(int a, int b) { return std::abs(a - b) <= 1; }
};
} // namespace

// The designed client area is 1016 x 576 pixels (15240 x 8640 twips); with the
// designed frame the window is 15340 x 9340 twips. At 15 twips a pixel:
// detail area top 9340 - 3495 - 700 = 5145 (343 px), banner top 4770 (318 px).
TEST_F(Layout, DesignedSizeAndTheMinimumHeight)
{
    ASSERT_EQ(w->centralWidget()->size(), QSize(1016, 576));
    EXPECT_EQ(w->Frame1->geometry(), QRect(0, 343, 1017, 233));  // flush with the bottom
    EXPECT_EQ(w->ListView1->height(), 343);
    EXPECT_EQ(w->Frame3->y(), 318);
    // Too low a window is laid out at 5000: list 805 (54 px), banner top 430 (29 px).
    resizeTo(w->width(), 50);
    EXPECT_EQ(w->ListView1->height(), 54);
    EXPECT_EQ(w->Frame3->y(), 29);
    EXPECT_EQ(w->Frame1->geometry(), QRect(0, 54, 1017, 233));  // the detail area keeps its size
    EXPECT_TRUE(w->WebBrowser2->height() == 54 && w->Picture7->height() == 54);
}

TEST_F(Layout, MeleeListFollowsTheWidthOtherModesDoNot)
{
    resizeTo(1300, 700);  // before any listing only heights follow the window
    EXPECT_EQ(w->ListView1->width(), 1018);  // design width 15275
    EXPECT_EQ(w->ListView1->height(), 700 - w->menuBar()->height() - 233);
    w->all_Click();
    resizeTo(1200, 700);
    // List = window width - 100 = the client width: 1200 px; banner text at a fifth.
    EXPECT_EQ(w->ListView1->width(), 1200);
    EXPECT_EQ(w->Frame3->width(), 1200);
    EXPECT_EQ(w->Label15->x(), 240);
    w->dotanew_Click();
    for (QSize size : {QSize(1200, 700), QSize(1400, 800)}) {
        resizeTo(size.width(), size.height());
        EXPECT_EQ(w->ListView1->width(), 407);    // 6100 twips
        EXPECT_EQ(w->WebBrowser2->width(), 609);  // 9135 twips
    }
    // Minimised, nothing is laid out; restored, the layout follows the size again.
    w->showMinimized();
    QCoreApplication::processEvents();
    w->showNormal();
    resizeTo(1400, 600);
    EXPECT_EQ(w->Frame1->y() + w->Frame1->height(), w->centralWidget()->height());
    EXPECT_EQ(w->ListView1->height(), w->Frame1->y());
}

TEST_F(Layout, DropsMoveTheBarAndResizeListPaneAndBanner)
{
    w->dotanew_Click();
    w->ListView1_DragDrop(0);
    EXPECT_EQ(w->ListView1->width(), 0);
    EXPECT_EQ(w->Picture7->x(), 0);
    EXPECT_EQ(w->WebBrowser2->x(), 3);  // 50 twips
    EXPECT_EQ(w->Frame3->width(), 0);
    // On the list: pane = 15340 - 6000 = 9340 twips; banner text centred.
    w->ListView1_DragDrop(6000);
    EXPECT_EQ(w->ListView1->width(), 400);
    EXPECT_EQ(w->WebBrowser2->width(), 623);
    EXPECT_TRUE(near(w->Label15->x(), 200 - w->Label15->width() / 2));
    // On the window's surface: pane = 15340 - 5050 - 100 = 10190 twips, 150 shorter; banner text at a fifth of 5000.
    w->Form_DragDrop(5000);
    EXPECT_EQ(w->ListView1->width(), 333);
    EXPECT_TRUE(near(w->WebBrowser2->width(), 679));  // positions are whole pixels
    EXPECT_EQ(w->Label15->x(), 67);
    // Near the right edge the pane's width would be below zero: it keeps its width.
    const int paneWidth = w->WebBrowser2->width();
    w->Form_DragDrop(15340);
    EXPECT_EQ(w->WebBrowser2->width(), paneWidth);
    EXPECT_TRUE(w->ListView1->width() == 1023 && w->Picture7->x() == 1023);
}

TEST_F(Layout, DraggingTheBarWithTheMouseOnTheListTheDetailAreaThePaneAndTheEmptyStrip)
{
    w->dotanew_Click();
    WaitFor([&] { return w->Picture7->isVisible(); }, 2000);
    dragBarTo(w->ListView1->mapTo(w->centralWidget(), QPoint(250, 40)));  // on the list: X inside the list
    EXPECT_FALSE(w->Picture7->Dragging());
    EXPECT_EQ(w->Picture7->x(), 250);
    EXPECT_EQ(w->ListView1->width(), 250);
    EXPECT_EQ(w->WebBrowser2->x(), 250 + Px(50));
    SaveScreenshot(w.form.get(), QStringLiteral("dota-splitter.png"));
    dragBarTo(w->Frame1->geometry().center());  // over the detail area: nothing changes
    EXPECT_TRUE(w->Picture7->x() == 250 && w->ListView1->width() == 250);

    w->dotanew_Click();
    resizeTo(1300, 700);  // a wider window leaves a strip of the surface on the right
    dragBarTo(QPoint(508, 40));  // on the pane, 100 px from its left edge (408)
    EXPECT_EQ(w->Picture7->x(), 508);
    EXPECT_EQ(w->ListView1->width(), 508);
    EXPECT_EQ(w->WebBrowser2->x(), 511);
    EXPECT_EQ(w->WebBrowser2->width(), 799);  // window width - bar left: 19600 - 7620 twips
    resizeTo(1600, 700);
    ASSERT_LT(w->WebBrowser2->geometry().right(), 1500);
    dragBarTo(QPoint(1500, 40));  // into the strip right of the pane: a drop on the window's own surface
    EXPECT_EQ(w->Picture7->x(), 1500);
    EXPECT_EQ(w->ListView1->width(), 1500);
    EXPECT_EQ(w->WebBrowser2->width(), 97);  // 24100 - 22550 - 100 = 1450 twips
}

TEST_F(Layout, BannerTimerHidesTheBannerAndStopsItself)
{
    w->Timer3->start();
    w->Timer3_Timer();  // started while the banner is hidden: stops at its first tick
    EXPECT_FALSE(w->Timer3->isActive());
    w->Frame3->show();
    w->Timer3->start();
    w->Timer3_Timer();
    EXPECT_TRUE(w->Frame3->isHidden() && w->Timer3->isActive());
    w->Timer3_Timer();
    EXPECT_FALSE(w->Timer3->isActive());
}
