#pragma once
// What every request of the tool shares: how a request is set up, and one reader
// that takes a reply's body piece by piece under a size bound and an optional
// deadline. The page fetch (both roads) and the file transfer build on it.
#include <QByteArray>
#include <QDeadlineTimer>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <functional>

class QNetworkReply;

// A GET of `url`: always from the network, no cookies kept or sent. `compressed`
// false asks for the body as it is stored (a file whose length is checked
// against Content-Length must not arrive compressed).
QNetworkRequest MakeRequest(const QUrl &url, bool compressed = true);

class BoundedReader : public QObject {
    Q_OBJECT
public:
    enum class Cut {
        None,
        TimedOut,      // the deadline passed
        TooLarge,      // the answer announced or delivered more than the bound
        SinkRefused,   // the sink gave up
        HeadRefused,   // the head callback gave up
    };
    // Takes each piece of the body; false gives up.
    using Sink = std::function<bool(const QByteArray &piece)>;

    // Reads `reply` (which it neither owns nor deletes) into `sink`. The reply holds
    // at most `readBufferBytes` unread: beyond that the network layer stops reading
    // from the socket, so a flood waits in the server's socket, not in our memory.
    BoundedReader(QNetworkReply *reply, qint64 maxBytes, qint64 readBufferBytes, Sink sink,
                  QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever));

    // Called once, before the first piece, when the status and headers are known;
    // false gives up (HeadRefused). Set it before the event loop runs.
    std::function<bool()> onHead;
    // Called once when the reply is over: finished, or failed without finishing
    // (Qt's reply reports a failed decompression through errorOccurred and never
    // finishes), or cut by this reader. Whoever waits for the reply waits for this.
    std::function<void()> onEnded;

    // Cuts the reply off; the first reason counts.
    void stop(Cut why);
    // Takes what is buffered now; `withDeadline` false once the reply is over.
    void drain(bool withDeadline);

    Cut cut() const { return m_cut; }
    bool ended() const { return m_ended; }
    // The reply ended on an error of its own, not on a cut of ours.
    bool failed() const;
    qint64 received() const { return m_received; }

private:
    void checkHead();
    void drainNow(bool withDeadline);
    void end();

    // A reply that reports an error finishes right behind it; one that does not
    // finish within this time never will.
    static constexpr int kEndAfterErrorMs = 50;

    QPointer<QNetworkReply> m_reply;
    qint64 m_maxBytes;
    Sink m_sink;
    QDeadlineTimer m_deadline;
    Cut m_cut = Cut::None;
    qint64 m_received = 0;
    bool m_headSeen = false;
    bool m_ended = false;
    bool m_draining = false;
    bool m_endPending = false;
};
