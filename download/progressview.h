#pragma once
// How a download shows on the window: the progress bar and the progress text in
// the commentary box, kept to about one change a frame however fast the chunks
// come.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QPlainTextEdit;
class QProgressBar;

// Chunks come far faster than the screen changes: 8 MiB are 8192 chunks within a
// few frames, and moving the bar or editing the box costs more than a chunk's
// whole transfer. So within a frame the bar and the box take the first chunk's
// value at once and the newest one when the frame ends (or with the last chunk),
// and both paint once a frame: left to themselves the bar would repaint on every
// step it grows, and the box would wait behind the transfer's own events to paint
// at all. A frame never outlasts kFrameMs, so a slow or stalled answer still shows
// its last value; a text that another handler put into the box meanwhile (a row's
// commentary) is never covered by an older progress text.
class ProgressView : public QObject {
public:
    ProgressView(QProgressBar *bar, QPlainTextEdit *box, QObject *parent = nullptr);
    ~ProgressView() override;

    // An answer starts: shown now. `announced` is its length, -1 when unknown.
    void start(qint64 announced);
    // After a chunk: shown at once when it is the first of a frame, the last one,
    // or the box changed since; otherwise when the frame ends.
    void step(qint64 written, qint64 announced);
    // Ends the frame: the newest value is shown and everything paints now.
    void settle();
    // The download is over: the bar ends full on success and empty otherwise,
    // never busy (a bar without a length would animate on for good).
    void end(bool ok);

private:
    void hold();
    void put(bool text);

    static constexpr int kFrameMs = 15;
    QPointer<QProgressBar> m_bar;
    QPointer<QPlainTextEdit> m_box;
    QTimer m_frame;
    QElapsedTimer m_frameClock;  // since the frame began
    bool m_holding = false;
    bool m_pending = false;     // a value arrived within the frame and is not shown yet
    bool m_boxChanged = false;  // another handler wrote the box since our last text
    qint64 m_written = 0;
    qint64 m_announced = -1;
};
