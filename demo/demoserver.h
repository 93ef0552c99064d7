#pragma once
// A small HTTP/1.1 server for the bundled demo site and the tests. It runs on a
// thread of its own (the window's page fetch blocks its own thread) and listens on
// 127.0.0.1 only. It keeps the raw request line of every request, so a test can
// see exactly which bytes the tool sent.
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QPair>
#include <QString>
#include <functional>

class QThread;
class QObject;

struct DemoRequest {
    QByteArray requestLine;  // e.g. "GET /ReplayList.aspx?GameRace=3&PageNo=1 HTTP/1.1"
    QByteArray method;
    QByteArray target;       // raw, as sent
    QMap<QByteArray, QByteArray> headers;  // names in lower case
    QByteArray path() const;   // target before "?", still percent-encoded
    QByteArray query() const;  // target behind the first "?"
    // The value of key=... in the query, percent-decoded to bytes (no "+" rule).
    QByteArray queryValue(const QByteArray &key) const;
};

// The body of a streamed answer, made as it is sent: the bytes that start at
// `offset`, at most `maxBytes` of them; an empty piece ends the body. Runs on the
// server thread; it should depend on `offset` only.
using DemoStream = std::function<QByteArray(qint64 offset, qint64 maxBytes)>;

struct DemoResponse {
    int status = 200;
    QByteArray contentType = "text/html; charset=utf-8";
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
    bool silent = false;          // accept the request and never answer
    bool contentLength = true;    // announce the body's length
    qint64 announcedLength = -1;  // >= 0: announce this length instead (a cut-off body)

    // Streamed instead of `body` when set: pieces are written as the socket drains,
    // so only a little is ever queued. With announcedLength >= 0 that length goes
    // out as Content-Length and the body ends there; otherwise no length is sent and
    // the end of the body closes the connection. Either way the stream ends when
    // the client goes, when the server is destroyed, and after streamLimitMs.
    DemoStream stream;
    qint64 streamPieceBytes = 64 * 1024;  // largest piece asked of `stream`
    int streamIntervalMs = 0;             // > 0: one piece per interval, not as fast as the socket drains
    int streamLimitMs = 120 * 1000;

    static DemoResponse html(const QString &page, int status = 200);
    static DemoResponse bytes(const QByteArray &data, const QByteArray &type = "application/octet-stream");
    static DemoResponse notFound();
    // A streamed body: `head`, then `filler` over and over, then `tail`, `length`
    // bytes in all (announced); length < 0: endless, without a length, no tail.
    static DemoResponse streamed(const QByteArray &head, const QByteArray &filler, const QByteArray &tail,
                                 qint64 length);
};

using DemoHandler = std::function<DemoResponse(const DemoRequest &)>;

class DemoServer {
public:
    DemoServer();
    ~DemoServer();
    DemoServer(const DemoServer &) = delete;
    DemoServer &operator=(const DemoServer &) = delete;

    // Starts a listener named `site` on 127.0.0.1:`port` (0: a free port) whose
    // requests go to `handler` on the server thread. Returns the port, 0 on failure.
    quint16 listen(const QString &site, DemoHandler handler, quint16 port = 0);
    QString root(const QString &site) const;  // "http://127.0.0.1:PORT"

    // Answers `path` (raw, before "?") of `site` with `response` instead of the handler.
    void setOverride(const QString &site, const QByteArray &path, const DemoResponse &response);
    // Answers the next request of `site` whose raw target (path and query, exactly
    // as sent) is `target` with `response`, once; later ones go to the handler (or
    // the next one-shot queued for that target). Comes before setOverride.
    void failOnce(const QString &site, const QByteArray &target, const DemoResponse &response);
    void clearOverrides();  // both kinds

    // Raw request lines seen, oldest first (of one site, or of all with an empty name).
    QList<QByteArray> requestLines(const QString &site = QString()) const;
    QList<DemoRequest> requests(const QString &site = QString()) const;
    void clearLog();

private:
    struct Listener;
    void handle(Listener *listener, const DemoRequest &request, DemoResponse &out);
    QThread *m_thread = nullptr;
    QObject *m_context = nullptr;  // lives on m_thread
    QList<Listener *> m_listeners;
    mutable QMutex m_mutex;
    QList<QPair<QString, DemoRequest>> m_log;
    QMap<QPair<QString, QByteArray>, DemoResponse> m_overrides;
    QList<QPair<QPair<QString, QByteArray>, DemoResponse>> m_oneShots;  // oldest first
};
