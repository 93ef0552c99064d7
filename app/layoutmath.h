#pragma once
// Sizes of the window are kept in twips (1/1440 inch); the screen has 15 twips a pixel.
#include <QWidget>
#include <cmath>

constexpr int kTwipsPerPixel = 15;
inline int Px(double twips) { return int(std::lround(twips / kTwipsPerPixel)); }
inline int Twips(int pixels) { return pixels * kTwipsPerPixel; }

// Qt would clamp a negative size to 0; such a step is skipped and the element
// keeps its size.
inline void setWidthTw(QWidget *w, int twips)
{
    if (twips >= 0)
        w->resize(Px(twips), w->height());
}
inline void setHeightTw(QWidget *w, int twips)
{
    if (twips >= 0)
        w->resize(w->width(), Px(twips));
}
inline void setLeftTw(QWidget *w, int twips) { w->move(Px(twips), w->y()); }
inline void setTopTw(QWidget *w, int twips) { w->move(w->x(), Px(twips)); }
inline int widthTw(const QWidget *w) { return Twips(w->width()); }
inline int heightTw(const QWidget *w) { return Twips(w->height()); }
inline int leftTw(const QWidget *w) { return Twips(w->x()); }
