// The pane layout: the list, the DotA pane and the splitter bar above the detail
// area; the loading banner over the bottom of the list.
#include "app/form1.h"

#include "app/layoutmath.h"
#include "app/splitterbar.h"
#include "app/webpane.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>

namespace {
constexpr int kDetailHeight = 3495;
constexpr int kBannerHeight = 375;
constexpr int kMinWindowHeight = 5000;
constexpr int kBarWidth = 50;
} // namespace

// The outer size that the layout formulas work with. The window was designed for
// a frame (caption, menu bar and borders) of 700 twips in height and 100 in width;
// frames differ between desktops (and the offscreen platform has none), so the
// outer size is derived from the client size with that frame, which keeps the
// detail area flush with the bottom of the window everywhere.
int Form1::WindowWidth() const
{
    return Twips(m_surface->width()) + 100;
}

int Form1::WindowHeight() const
{
    return Twips(m_surface->height()) + 700;
}

void Form1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void Form1::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    // Nobody sees the crowns of a minimised window: they rest meanwhile.
    if (m_crownClock && isMinimized())
        m_crownClock->stop();
    else if (m_crownClock)
        m_crownClock->start();
    if (!isMinimized())
        Form_Resize();
}

void Form1::Form_Resize()
{
    if (isMinimized())
        return;
    // The window cannot be made lower than 5000; a lower report is laid out as 5000.
    const int extra = WindowHeight() - Twips(height());
    setMinimumHeight(Px(kMinWindowHeight - extra));
    const int windowHeight = qMax(WindowHeight(), kMinWindowHeight);

    const int detailTop = windowHeight - kDetailHeight - 700;
    setTopTw(Frame1, detailTop);
    if (SiteMode == u"War3")
        setWidthTw(ListView1, WindowWidth() - 100);
    // The local analysis pane takes what a larger window gives, beside the list.
    if (SiteMode == u"local")
        setWidthTw(WebBrowser2, qMax(0, WindowWidth() - leftTw(WebBrowser2) - 100));
    const int listHeight = detailTop;
    setHeightTw(ListView1, listHeight);
    setHeightTw(WebBrowser2, listHeight);
    setHeightTw(Picture7, listHeight);
    setTopTw(Frame3, listHeight - kBannerHeight);
    setWidthTw(Frame3, widthTw(ListView1));
    setLeftTw(Label15, int(widthTw(ListView1) / 2.0 * 0.4));
}

void Form1::SplitterDropped(QPoint globalPos)
{
    // Hit-test the drop point against what lies there, topmost first; the web
    // pane takes drag-and-drop events itself, so the bar tracks the drop instead.
    const QPoint p = m_surface->mapFromGlobal(globalPos);
    if (!m_surface->rect().contains(p))
        return;
    auto over = [&](const QWidget *w) { return w->isVisible() && w->geometry().contains(p); };
    if (over(Frame3) || over(Picture7) || over(Frame1))
        return;
    if (over(WebBrowser2))
        WebBrowser2_DragDrop(Twips(p.x() - WebBrowser2->x()));
    else if (over(ListView1))
        ListView1_DragDrop(Twips(p.x() - ListView1->x()));
    else
        Form_DragDrop(Twips(p.x()));
}

// The three drop targets share their steps; they differ in the reference of the
// drop point, the reach of the DotA pane and where the banner text stands.
void Form1::PlaceSplitter(int barLeft, bool onSurface)
{
    setLeftTw(Picture7, barLeft);
    setWidthTw(ListView1, leftTw(Picture7));
    setLeftTw(WebBrowser2, leftTw(Picture7) + kBarWidth);
    setWidthTw(WebBrowser2, onSurface ? WindowWidth() - leftTw(WebBrowser2) - 100 : WindowWidth() - leftTw(Picture7));
    setWidthTw(Frame3, widthTw(ListView1));
    setLeftTw(Label15, onSurface ? int(widthTw(ListView1) / 2.0 * 0.4)
                                 : int(widthTw(ListView1) / 2.0 - widthTw(Label15) / 2.0));
}

void Form1::Form_DragDrop(int x)
{
    PlaceSplitter(leftTw(ListView1) + x, true);
}

void Form1::ListView1_DragDrop(int x)
{
    PlaceSplitter(leftTw(ListView1) + x, false);
}

void Form1::WebBrowser2_DragDrop(int x)
{
    PlaceSplitter(leftTw(WebBrowser2) + x, false);
}

void Form1::Timer3_Timer()
{
    if (Frame3->isHidden())
        Timer3->stop();
    Frame3->hide();
}
