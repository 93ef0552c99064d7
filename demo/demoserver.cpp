#include "demo/demoserver.h"

#include <QHostAddress>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

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

void writeResponse(QTcpSocket *socket, const DemoResponse &r)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(r.status) + ' ' + reasonPhrase(r.status) + "\r\n";
    if (!r.contentType.isEmpty())
        out += "Content-Type: " + r.contentType + "\r\n";
    if (r.announcedLength >= 0)
        out += "Content-Length: " + QByteArray::number(r.announcedLength) + "\r\n";
    else if (r.contentLength)
        out += "Content-Length: " + QByteArray::number(r.body.size()) + "\r\n";
    for (const auto &h : r.headers)
        out += h.first + ": " + h.second + "\r\n";
    out += "Connection: close\r\n\r\n";
    out += r.body;
    socket->write(out);
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
    QMetaObject::invokeMethod(m_context, [this] { qDeleteAll(m_context->children()); }, Qt::BlockingQueuedConnection);
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

void DemoServer::clearOverrides()
{
    QMutexLocker lock(&m_mutex);
    m_overrides.clear();
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
