// The pane layout: resizing, the splitter bar and the loading banner.
#include "app/splitterbar.h"
#include "app/webpane.h"
#include "support/testwindow.h"

#include <QTest>
#include <QtWidgets>
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
    // {bar left, list width, pane left, pane width, banner width} in pixels.
    QList<int> edges() { return {w->Picture7->x(), w->ListView1->width(), w->WebBrowser2->x(), w->WebBrowser2->width(), w->Frame3->width()}; }
};
} // namespace

// The designed client area is 1016 x 576 pixels (15240 x 8640 twips); with the
// designed frame the window is 15340 x 9340 twips. At 15 twips a pixel:
// detail area top 9340 - 3495 - 700 = 5145 (343 px), banner top 4770 (318 px).
TEST_F(Layout, DesignedSizeAndTheMinimumHeight)
{
    ASSERT_EQ(w->centralWidget()->size(), QSize(1016, 576));
    EXPECT_EQ(w->Frame1->geometry(), QRect(0, 343, 1017, 233));  // flush with the bottom
    EXPECT_EQ(QList<int>({w->ListView1->height(), w->Frame3->y()}), QList<int>({343, 318}));
    // Too low a window is laid out at 5000: list, pane and bar 805 (54 px), banner top 430 (29 px).
    resizeTo(w->width(), 50);
    EXPECT_EQ(QList<int>({w->ListView1->height(), w->WebBrowser2->height(), w->Picture7->height(), w->Frame3->y()}), QList<int>({54, 54, 54, 29}));
    EXPECT_EQ(w->Frame1->geometry(), QRect(0, 54, 1017, 233));  // the detail area keeps its size
}

TEST_F(Layout, MeleeListFollowsTheWidthOtherModesDoNot)
{
    resizeTo(1300, 700);  // before any listing only heights follow the window
    EXPECT_EQ(w->ListView1->size(), QSize(1018, 700 - w->menuBar()->height() - 233));  // design width 15275
    w->all_Click();
    resizeTo(1200, 700);
    // List and banner = window width - 100 = the client width: 1200 px; banner text at a fifth.
    EXPECT_EQ(QList<int>({w->ListView1->width(), w->Frame3->width(), w->Label15->x()}), QList<int>({1200, 1200, 240}));
    w->dotanew_Click();
    for (QSize size : {QSize(1200, 700), QSize(1400, 800)}) {
        resizeTo(size.width(), size.height());
        EXPECT_EQ(QList<int>({w->ListView1->width(), w->WebBrowser2->width()}), QList<int>({407, 609}));  // 6100, 9135 twips
    }
    // Minimised, nothing is laid out; restored, the layout follows the size again.
    w->showMinimized();
    QCoreApplication::processEvents();
    w->showNormal();
    resizeTo(1400, 600);
    EXPECT_EQ(w->Frame1->y() + w->Frame1->height(), w->centralWidget()->height());
    EXPECT_EQ(w->ListView1->height(), w->Frame1->y());
}

// The bar dragged with the mouse and dropped, one drop after another. A drop on the
// list or on the pane gives the pane the window width - bar left, one on the window's
// surface 100 twips less than what lies right of the pane's left edge (50 twips right
// of the bar); the banner takes the list's width. The window is 100 twips wider than
// its client area.
TEST_F(Layout, DropsOnTheListThePaneTheSurfaceAndElsewhere)
{
    w->dotanew_Click();
    WaitFor([&] { return w->Picture7->isVisible(); }, 2000);
    // The window's width, the drop point, edges() then, the banner text's left edge (-1: centred over the list).
    const struct { int width; QPoint at; QList<int> edges; int label; } drops[] = {
        {1016, {400, 40}, {400, 400, 403, 623, 400}, -1},       // on the list: bar 6000, pane 15340 - 6000 twips
        {1016, {500, 450}, {400, 400, 403, 623, 400}, -1},      // over the detail area: nothing changes
        {1016, {0, 40}, {0, 0, 3, 1023, 0}, -1},                // at the list's left edge: list and banner 0 wide
        {1300, {508, 40}, {508, 508, 511, 799, 508}, -1},       // on the pane: 19600 - 7620 twips
        {1600, {1500, 40}, {1500, 1500, 1503, 97, 1500}, 300},  // on the strip a wider window leaves: 24100 - 22545 - 100; text at a fifth
        {1700, {1698, 40}, {1698, 1698, 1701, 97, 1698}, 340},  // near the right edge the pane would be below 0 wide: it keeps its width
    };
    for (const auto &d : drops) {
        resizeTo(d.width, w->height());
        dragBarTo(d.at);
        EXPECT_FALSE(w->Picture7->Dragging());
        EXPECT_EQ(edges(), d.edges) << d.at.x() << "," << d.at.y();
        EXPECT_TRUE(d.label < 0 ? std::abs(w->Label15->x() - (d.edges[1] / 2 - w->Label15->width() / 2)) <= 1 : w->Label15->x() == d.label) << w->Label15->x();
        if (&d == drops)
            SaveScreenshot(w.form.get(), QStringLiteral("dota-splitter.png"));
    }
}

TEST_F(Layout, BannerTimerHidesTheBannerAndStopsItself)
{
    w->Timer3->start();
    w->Timer3_Timer();  // started while the banner is hidden: stops at its first tick
    EXPECT_FALSE(w->Timer3->isActive());
    w->Frame3->show(), w->Timer3->start();
    w->Timer3_Timer();  // started while it shows: hides it at the first tick, stops at the second
    EXPECT_TRUE(w->Frame3->isHidden() && w->Timer3->isActive());
    w->Timer3_Timer();
    EXPECT_FALSE(w->Timer3->isActive());
}
