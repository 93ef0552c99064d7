#include "web/httpget.h"

#include "web/codepage.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QThread>
#include <QTimer>

bool IsWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

std::optional<QUrl> RequestUrl(const QString &urlText, QString *error)
{
    auto fail = [&](const QString &why) -> std::optional<QUrl> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const std::optional<QByteArray> narrow = codepage::toNarrow(urlText);
    if (!narrow)
        return fail(QStringLiteral("URL holds characters outside code page 936"));
    QByteArray wire;
    wire.reserve(narrow->size());
    for (char c : *narrow) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 || b < 0x21) {
            static const char hex[] = "0123456789ABCDEF";
            wire += '%';
            wire += hex[b >> 4];
            wire += hex[b & 0xF];
        } else {
            wire += c;
        }
    }
    const QUrl url = QUrl::fromEncoded(wire, QUrl::TolerantMode);
    if (!IsWebAddress(url))
        return fail(QStringLiteral("only http and https addresses are fetched"));
    return url;
}

namespace {
QNetworkRequest makeRequest(const QUrl &url)
{
    QNetworkRequest req(url);
    req.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    req.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    req.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    return req;
}

// What the reply holds unread at most: the network layer stops reading from the
// socket beyond that, so a flood waits in the server's socket, not in our memory.
constexpr qint64 kReadBufferBytes = 256 * 1024;

// Reads one reply piece by piece into a sink and holds it to a deadline and a size
// bound. Whatever breaks a rule aborts the reply at once; the first reason counts.
class BoundedReader {
public:
    enum class Cut { None, TimedOut, TooLarge, SinkRefused };

    BoundedReader(QNetworkReply *reply, QDeadlineTimer deadline, qint64 maxBytes,
                  std::function<bool(const QByteArray &)> sink)
        : m_reply(reply), m_deadline(deadline), m_maxBytes(maxBytes), m_sink(std::move(sink))
    {
        reply->setReadBufferSize(kReadBufferBytes);
        QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [this] { checkLength(); });
        // The deadline is checked on every piece: under a flood the event loop may
        // not get round to a timer for a long time.
        QObject::connect(reply, &QNetworkReply::readyRead, reply, [this] { drain(true); });
    }

    void stop(Cut why)
    {
        if (m_cut == Cut::None)
            m_cut = why;
        if (!m_reply->isFinished())
            m_reply->abort();
    }

    // Takes what is still buffered; `withDeadline` false once the reply has finished.
    void drain(bool withDeadline)
    {
        checkLength();
        while (m_cut == Cut::None && m_reply->isOpen() && m_reply->bytesAvailable() > 0) {
            if (withDeadline && m_deadline.hasExpired()) {
                stop(Cut::TimedOut);
                return;
            }
            // One byte past the room is enough to tell that the answer is too large.
            const qint64 room = m_maxBytes - m_received;
            const qint64 available = m_reply->bytesAvailable();
            const QByteArray piece = m_reply->read(available > room ? room + 1 : available);
            if (piece.isEmpty())
                return;
            if (piece.size() > room) {
                stop(Cut::TooLarge);
                return;
            }
            m_received += piece.size();
            if (!m_sink(piece)) {
                stop(Cut::SinkRefused);
                return;
            }
        }
    }

    Cut cut() const { return m_cut; }

private:
    // An answer that announces more than the bound is refused before its body.
    void checkLength()
    {
        if (m_lengthChecked || m_cut != Cut::None)
            return;
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        if (!length.isValid())
            return;
        m_lengthChecked = true;
        bool ok = false;
        const qint64 n = length.toLongLong(&ok);
        if (ok && n > m_maxBytes)
            stop(Cut::TooLarge);
    }

    QNetworkReply *m_reply;
    QDeadlineTimer m_deadline;
    qint64 m_maxBytes;
    std::function<bool(const QByteArray &)> m_sink;
    Cut m_cut = Cut::None;
    qint64 m_received = 0;
    bool m_lengthChecked = false;
};
} // namespace

FetchResult BlockingGet(const QString &urlText, int timeoutMs,
                        const std::function<bool(const QByteArray &)> &sink, qint64 maxBytes)
{
    FetchResult result;
    QString why;
    const std::optional<QUrl> url = RequestUrl(urlText, &why);
    if (!url) {
        result.status = FetchResult::Status::Refused;
        result.error = why;
        return result;
    }

    // The transfer lives entirely on its own thread; this thread only waits.
    QThread *worker = QThread::create([&] {
        using Cut = BoundedReader::Cut;
        const QDeadlineTimer deadline(timeoutMs);
        QNetworkAccessManager nam;
        QEventLoop loop;
        QNetworkReply *reply = nam.get(makeRequest(*url));
        BoundedReader reader(reply, deadline, maxBytes, sink);
        // For a server that sends nothing at all, no piece ever checks the deadline.
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, [&] { reader.stop(Cut::TimedOut); });
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        limit.start(timeoutMs);
        if (!reply->isFinished())
            loop.exec();
        reader.drain(false);
        result.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reader.cut() == Cut::TimedOut) {
            result.status = FetchResult::Status::TimedOut;
            result.error = QStringLiteral("no complete answer within %1 s").arg(timeoutMs / 1000.0);
        } else if (reader.cut() == Cut::TooLarge) {
            result.status = FetchResult::Status::TooLarge;
            result.error = QStringLiteral("the answer is larger than %1 bytes").arg(maxBytes);
        } else if (reader.cut() == Cut::SinkRefused) {
            result.status = FetchResult::Status::StoreFailed;
            result.error = QStringLiteral("the page could not be stored");
        } else if (reply->error() != QNetworkReply::NoError && result.httpStatus == 0) {
            result.status = FetchResult::Status::NetworkError;
            result.error = reply->errorString();
        } else if (result.httpStatus < 200 || result.httpStatus > 299) {
            result.status = FetchResult::Status::HttpError;
            result.error = QStringLiteral("HTTP status %1").arg(result.httpStatus);
        } else if (reply->error() != QNetworkReply::NoError) {
            // A body cut off before its announced length ends here.
            result.status = FetchResult::Status::NetworkError;
            result.error = reply->errorString();
        } else {
            result.status = FetchResult::Status::Ok;
        }
        delete reply;
    });
    worker->start();
    worker->wait();
    delete worker;
    return result;
}

QString BytesToText(const QByteArray &bytes, const QString &charset)
{
    return codepage::bytesToText(bytes, charset);
}

QString HttpGetText(const QString &urlText, const QString &charset)
{
    // Whole-second readings of a monotonic clock: stop once the reading has
    // advanced by more than 3, i.e. between 3 and 4 seconds after sending.
    const qint64 startMs = QDeadlineTimer::current().deadline();
    const qint64 stopAtMs = (startMs / 1000 + 4) * 1000;

    const std::optional<QUrl> url = RequestUrl(urlText);
    if (!url)
        return QString();

    QNetworkAccessManager nam;
    QNetworkRequest req = makeRequest(*url);
    req.setRawHeader("If-Modified-Since", "0");
    QPointer<QNetworkReply> reply = nam.get(req);
    QByteArray body;
    BoundedReader reader(reply, QDeadlineTimer(qMax<qint64>(0, stopAtMs - startMs)), kMaxPageBytes,
                         [&body](const QByteArray &piece) {
                             body += piece;
                             return true;
                         });
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    limit.start(int(qMax<qint64>(0, stopAtMs - startMs)));
    if (!reply->isFinished())
        loop.exec();
    if (!reply || !reply->isFinished() || reader.cut() != BoundedReader::Cut::None) {
        if (reply)
            reply->abort();
        delete reply;
        return QString();
    }
    reader.drain(false);
    QString text;
    // A reply that never reached the server (refused, unknown host) carries no
    // answer at all; an error status does carry one and is returned like any page.
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 0 && reader.cut() == BoundedReader::Cut::None)
        text = BytesToText(body, charset);
    delete reply;
    return text;
}
