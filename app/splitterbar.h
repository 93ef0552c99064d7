#pragma once
// The bar between the replay list and the DotA pane. Pressing on it starts a drag
// that shows the bar's outline under the pointer; the bar itself stays where it is
// until the drop. The window decides what a drop at a point means.
#include <QFrame>
#include <QPoint>

class QRubberBand;

class SplitterBar : public QFrame {
    Q_OBJECT
public:
    explicit SplitterBar(QWidget *parent = nullptr);
    bool Dragging() const { return m_outline != nullptr; }

signals:
    void Dropped(QPoint globalPos);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void moveOutline(QPoint globalPos);
    QRubberBand *m_outline = nullptr;
    QPoint m_grab;  // where on the bar it was taken
};
