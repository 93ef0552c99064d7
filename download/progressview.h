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
// few frames, and on an X server every paint composes the whole window, which
// costs more than the transfer of many chunks. So the values go into the bar and
// the box at once for the answer's start, the first chunk after it or after a
// frame's end, and the last chunk; the others wait for the frame's end. Both
// paint only when a frame ends (never more than kFrameMs after a change) and
// when the download is over: a fast transfer is shown by a paint or two, a slow
// or stalled one still shows its last value within a frame. A text that another
// handler put into the box meanwhile (a row's commentary) is never covered by an
// older progress text.
class ProgressView : public QObject {
public:
    ProgressView(QProgressBar *bar, QPlainTextEdit *box, QObject *parent = nullptr);
    ~ProgressView() override;

    // An answer starts: put at once. `announced` is its length, -1 when unknown.
    void start(qint64 announced);
    // After a chunk: put at once when it is the first of a frame or after the
    // start, the last one, or the box changed since; otherwise when the frame ends.
    void step(qint64 written, qint64 announced);
    // Ends the frame: the newest value is put and everything paints now.
    void settle();
    // The download is over: the bar ends full on success and empty otherwise,
    // never busy (a bar without a length would animate on for good).
    void end(bool ok);

private:
    void hold();
    void letGo(bool paintNow);
    void put(bool text);

    static constexpr int kFrameMs = 15;
    QPointer<QProgressBar> m_bar;
    QPointer<QPlainTextEdit> m_box;
    QTimer m_frame;
    QElapsedTimer m_frameClock;  // since the frame began
    bool m_holding = false;
    bool m_pending = false;     // a value arrived within the frame and is not put yet
    bool m_started = false;     // the start was put and no chunk since
    bool m_boxChanged = false;  // another handler wrote the box since our last text
    qint64 m_written = 0;
    qint64 m_announced = -1;
};
