#include "demo/demoserver.h"

#include <QHostAddress>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <memory>

QByteArray DemoRequest::path() const
{
    const qsizetype q = target.indexOf('?');
    return q < 0 ? target : target.left(q);
}

QByteArray DemoRequest::query() const
{
    const qsizetype q = target.indexOf('?');
    return q < 0 ? QByteArray() : target.mid(q + 1);
}

QByteArray DemoRequest::queryValue(const QByteArray &key) const
{
    const QList<QByteArray> pairs = query().split('&');
    for (const QByteArray &pair : pairs) {
        const qsizetype eq = pair.indexOf('=');
        const QByteArray k = eq < 0 ? pair : pair.left(eq);
        if (k == key)
            return QByteArray::fromPercentEncoding(eq < 0 ? QByteArray() : pair.mid(eq + 1));
    }
    return QByteArray();
}

DemoResponse DemoResponse::html(const QString &page, int status)
{
    DemoResponse r;
    r.status = status;
    r.body = page.toUtf8();
    return r;
}

DemoResponse DemoResponse::bytes(const QByteArray &data, const QByteArray &type)
{
    DemoResponse r;
    r.contentType = type;
    r.body = data;
    return r;
}

DemoResponse DemoResponse::notFound()
{
    return html(QStringLiteral("<html><head><title>404</title></head><body>找不到该页面</body></html>"), 404);
}

DemoResponse DemoResponse::streamed(const QByteArray &head, const QByteArray &filler, const QByteArray &tail,
                                    qint64 length)
{
    DemoResponse r;
    r.announcedLength = length;
    const bool endless = length < 0;
    // The tail takes the last bytes; a length too short for head and tail has none.
    const QByteArray end = (!endless && length >= head.size() + tail.size()) ? tail : QByteArray();
    const qint64 tailStart = endless ? -1 : length - end.size();
    r.stream = [head, filler, end, length, endless, tailStart](qint64 offset, qint64 maxBytes) {
        qint64 want = maxBytes;
        if (!endless)
            want = qMin(want, length - offset);
        QByteArray out;
        if (want <= 0)
            return out;
        out.reserve(want);
        qint64 pos = offset;
        while (out.size() < want) {
            const qint64 left = want - out.size();
            qint64 take = 0;
            if (pos < head.size()) {
                take = qMin(head.size() - pos, left);
                out.append(head.constData() + pos, take);
            } else if (!endless && pos >= tailStart) {
                take = qMin(length - pos, left);
                out.append(end.constData() + (pos - tailStart), take);
            } else if (filler.isEmpty()) {
                break;  // nothing to repeat: the body ends behind the head
            } else {
                const qint64 at = (pos - head.size()) % filler.size();
                take = qMin(filler.size() - at, left);
                if (!endless)
                    take = qMin(take, tailStart - pos);
                out.append(filler.constData() + at, take);
            }
            pos += take;
        }
        return out;
    };
    return r;
}

struct DemoServer::Listener {
    QString site;
    DemoHandler handler;
    QTcpServer *server = nullptr;  // on the server thread
    quint16 port = 0;
};

namespace {
QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

bool parseHead(const QByteArray &head, DemoRequest &req)
{
    const QList<QByteArray> lines = head.split('\n');
    if (lines.isEmpty())
        return false;
    req.requestLine = lines.first().trimmed();
    const QList<QByteArray> parts = req.requestLine.split(' ');
    if (parts.size() < 2)
        return false;
    req.method = parts.at(0);
    req.target = parts.at(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            req.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    return true;
}

QByteArray responseHead(const DemoResponse &r, qint64 length)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(r.status) + ' ' + reasonPhrase(r.status) + "\r\n";
    if (!r.contentType.isEmpty())
        out += "Content-Type: " + r.contentType + "\r\n";
    if (length >= 0)
        out += "Content-Length: " + QByteArray::number(length) + "\r\n";
    for (const auto &h : r.headers)
        out += h.first + ": " + h.second + "\r\n";
    out += "Connection: close\r\n\r\n";
    return out;
}

// What a stream keeps queued in its socket at most before it waits for bytesWritten.
constexpr qint64 kStreamQueueBytes = 1024 * 1024;
// Pieces written in one go at most, so other sockets get their turn.
constexpr int kPiecesPerTurn = 32;

// Writes a streamed body as the socket takes it. Everything hangs on the socket:
// when it goes (client gone, server destroyed), the stream goes with it.
void startStream(QTcpSocket *socket, const DemoResponse &r)
{
    socket->write(responseHead(r, r.announcedLength));
    struct State {
        DemoStream next;
        qint64 length;
        qint64 pieceBytes;
        qint64 offset = 0;
        bool ended = false;
    };
    auto st = std::make_shared<State>(State{r.stream, r.announcedLength, qMax<qint64>(1, r.streamPieceBytes)});
    auto finish = [socket, st] {
        if (st->ended)
            return;
        st->ended = true;
        socket->disconnectFromHost();
    };
    // Writes the next piece; false when the body has ended or the socket is gone.
    auto writeNext = [socket, st, finish] {
        if (st->ended || socket->state() != QAbstractSocket::ConnectedState)
            return false;
        qint64 want = st->pieceBytes;
        if (st->length >= 0)
            want = qMin(want, st->length - st->offset);
        const QByteArray piece = want > 0 ? st->next(st->offset, want) : QByteArray();
        if (piece.isEmpty()) {
            finish();
            return false;
        }
        const QByteArray capped = piece.size() > want ? piece.left(want) : piece;
        if (socket->write(capped) != capped.size()) {
            socket->abort();
            return false;
        }
        st->offset += capped.size();
        return true;
    };
    if (r.streamIntervalMs > 0) {
        auto *tick = new QTimer(socket);
        QObject::connect(tick, &QTimer::timeout, socket, [tick, writeNext] {
            if (!writeNext())
                tick->stop();
        });
        tick->start(r.streamIntervalMs);
    } else {
        auto pump = [socket, writeNext] {
            for (int i = 0; i < kPiecesPerTurn && socket->bytesToWrite() < kStreamQueueBytes; ++i)
                if (!writeNext())
                    return;
        };
        QObject::connect(socket, &QTcpSocket::bytesWritten, socket, pump);
        pump();
    }
    QTimer::singleShot(qMax(0, r.streamLimitMs), socket, finish);
}

void writeResponse(QTcpSocket *socket, const DemoResponse &r)
{
    if (r.stream) {
        startStream(socket, r);
        return;
    }
    const qint64 length = r.announcedLength >= 0 ? r.announcedLength : r.contentLength ? r.body.size() : -1;
    socket->write(responseHead(r, length) + r.body);
    socket->disconnectFromHost();
}
} // namespace

DemoServer::DemoServer()
{
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("demo-site"));
    m_context = new QObject;
    m_context->moveToThread(m_thread);
    m_thread->start();
}

DemoServer::~DemoServer()
{
    // Everything on the server thread is a child of m_context: its listeners and
    // sockets go on that thread; the context itself once the thread has ended.
    QMetaObject::invokeMethod(m_context, [this] {
        const QObjectList children = m_context->children();
        // Sockets first, cut loose from their handlers so that no stream or
        // request handler runs while they go.
        for (QObject *child : children) {
            if (auto *socket = qobject_cast<QTcpSocket *>(child)) {
                QObject::disconnect(socket, nullptr, nullptr, nullptr);
                socket->abort();
            }
        }
        qDeleteAll(children);
    }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_context;
    delete m_thread;
    qDeleteAll(m_listeners);
}

quint16 DemoServer::listen(const QString &site, DemoHandler handler, quint16 port)
{
    auto *listener = new Listener{site, std::move(handler)};
    QMetaObject::invokeMethod(m_context, [this, listener, port] {
        auto *server = new QTcpServer(m_context);
        if (!server->listen(QHostAddress::LocalHost, port)) {
            delete server;
            return;
        }
        listener->server = server;
        listener->port = server->serverPort();
        QObject::connect(server, &QTcpServer::newConnection, server, [this, listener, server] {
            while (QTcpSocket *socket = server->nextPendingConnection()) {
                socket->setParent(m_context);
                auto buffer = std::make_shared<QByteArray>();
                auto done = std::make_shared<bool>(false);
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, listener, socket, buffer, done] {
                    if (*done) {
                        socket->readAll();
                        return;
                    }
                    *buffer += socket->readAll();
                    const qsizetype end = buffer->indexOf("\r\n\r\n");
                    if (end < 0) {
                        if (buffer->size() > 64 * 1024)
                            socket->abort();
                        return;
                    }
                    *done = true;
                    DemoRequest req;
                    if (!parseHead(buffer->left(end), req)) {
                        writeResponse(socket, DemoResponse::html(QStringLiteral("bad request"), 400));
                        return;
                    }
                    DemoResponse resp;
                    handle(listener, req, resp);
                    if (resp.silent)
                        return;  // the socket stays open until the client or the server gives up
                    writeResponse(socket, resp);
                });
            }
        });
    }, Qt::BlockingQueuedConnection);
    if (!listener->server) {
        delete listener;
        return 0;
    }
    QMutexLocker lock(&m_mutex);
    m_listeners.append(listener);
    return listener->port;
}

QString DemoServer::root(const QString &site) const
{
    QMutexLocker lock(&m_mutex);
    for (const Listener *l : m_listeners)
        if (l->site == site)
            return QStringLiteral("http://127.0.0.1:%1").arg(l->port);
    return QString();
}

void DemoServer::handle(Listener *listener, const DemoRequest &request, DemoResponse &out)
{
    {
        QMutexLocker lock(&m_mutex);
        m_log.append({listener->site, request});
        for (qsizetype i = 0; i < m_oneShots.size(); ++i) {
            if (m_oneShots.at(i).first == qMakePair(listener->site, request.target)) {
                out = m_oneShots.takeAt(i).second;
                return;
            }
        }
        const auto it = m_overrides.constFind({listener->site, request.path()});
        if (it != m_overrides.constEnd()) {
            out = it.value();
            return;
        }
    }
    out = listener->handler ? listener->handler(request) : DemoResponse::notFound();
}

void DemoServer::setOverride(const QString &site, const QByteArray &path, const DemoResponse &response)
{
    QMutexLocker lock(&m_mutex);
    m_overrides.insert({site, path}, response);
}

void DemoServer::failOnce(const QString &site, const QByteArray &target, const DemoResponse &response)
{
    QMutexLocker lock(&m_mutex);
    m_oneShots.append({{site, target}, response});
}

void DemoServer::clearOverrides()
{
    QMutexLocker lock(&m_mutex);
    m_overrides.clear();
    m_oneShots.clear();
}

QList<QByteArray> DemoServer::requestLines(const QString &site) const
{
    QList<QByteArray> out;
    for (const DemoRequest &r : requests(site))
        out.append(r.requestLine);
    return out;
}

QList<DemoRequest> DemoServer::requests(const QString &site) const
{
    QMutexLocker lock(&m_mutex);
    QList<DemoRequest> out;
    for (const auto &entry : m_log)
        if (site.isEmpty() || entry.first == site)
            out.append(entry.second);
    return out;
}

void DemoServer::clearLog()
{
    QMutexLocker lock(&m_mutex);
    m_log.clear();
}
