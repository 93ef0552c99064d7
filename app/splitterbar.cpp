#include "app/splitterbar.h"

#include <QMouseEvent>
#include <QRubberBand>

SplitterBar::SplitterBar(QWidget *parent) : QFrame(parent)
{
    setCursor(Qt::SizeAllCursor);
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
    setStyleSheet(QStringLiteral("background-color: #9AA8B8;"));
}

void SplitterBar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_grab = event->position().toPoint();
    m_outline = new QRubberBand(QRubberBand::Rectangle, window());
    moveOutline(event->globalPosition().toPoint());
    m_outline->show();
}

void SplitterBar::mouseMoveEvent(QMouseEvent *event)
{
    if (m_outline)
        moveOutline(event->globalPosition().toPoint());
}

void SplitterBar::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_outline || event->button() != Qt::LeftButton)
        return;
    delete m_outline;
    m_outline = nullptr;
    emit Dropped(event->globalPosition().toPoint());
}

void SplitterBar::moveOutline(QPoint globalPos)
{
    QWidget *top = window();
    const QPoint topLeft = top->mapFromGlobal(globalPos - m_grab);
    m_outline->setGeometry(QRect(topLeft, size()));
}
