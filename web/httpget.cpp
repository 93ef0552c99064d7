#include "web/httpget.h"

#include "web/boundedreader.h"
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
// What the reply holds unread at most.
constexpr qint64 kPageReadBufferBytes = 256 * 1024;
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
        QNetworkReply *reply = nam.get(MakeRequest(*url));
        BoundedReader reader(reply, maxBytes, kPageReadBufferBytes, sink, deadline);
        reader.onEnded = [&loop] { loop.quit(); };
        // For a server that sends nothing at all, no piece ever checks the deadline.
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, [&] { reader.stop(Cut::TimedOut); });
        limit.start(timeoutMs);
        if (!reader.ended())
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
        } else if (reader.failed() && result.httpStatus == 0) {
            result.status = FetchResult::Status::NetworkError;
            result.error = reply->errorString();
        } else if (result.httpStatus < 200 || result.httpStatus > 299) {
            result.status = FetchResult::Status::HttpError;
            result.error = QStringLiteral("HTTP status %1").arg(result.httpStatus);
        } else if (reader.failed()) {
            // A body cut off before its announced length ends here, and one that
            // could not be decompressed.
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
    QNetworkRequest req = MakeRequest(*url);
    req.setRawHeader("If-Modified-Since", "0");
    QNetworkReply *reply = nam.get(req);
    QByteArray body;
    BoundedReader reader(reply, kMaxPageBytes, kPageReadBufferBytes,
                         [&body](const QByteArray &piece) {
                             body += piece;
                             return true;
                         },
                         QDeadlineTimer(qMax<qint64>(0, stopAtMs - startMs)));
    QEventLoop loop;
    reader.onEnded = [&loop] { loop.quit(); };
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    limit.start(int(qMax<qint64>(0, stopAtMs - startMs)));
    if (!reader.ended())
        loop.exec();
    reader.drain(false);
    QString text;
    // A reply that never reached the server (refused, unknown host), ran out of
    // time or broke on the way (a body that could not be decompressed) carries no
    // answer; an error status does carry one and is returned like any page.
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool broken = reader.failed() && status < 300;
    if (reply->isFinished() && reader.cut() == BoundedReader::Cut::None && status != 0 && !broken)
        text = BytesToText(body, charset);
    if (!reply->isFinished())
        reply->abort();
    delete reply;
    return text;
}
