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
} // namespace

FetchResult BlockingGet(const QString &urlText, int timeoutMs,
                        const std::function<bool(const QByteArray &)> &sink)
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
        QNetworkAccessManager nam;
        QEventLoop loop;
        QNetworkReply *reply = nam.get(makeRequest(*url));
        bool sinkRefused = false;
        bool timedOut = false;
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
            timedOut = true;
            reply->abort();
        });
        QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
            const QByteArray piece = reply->readAll();
            if (!sinkRefused && !piece.isEmpty() && !sink(piece)) {
                sinkRefused = true;
                reply->abort();
            }
        });
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        limit.start(timeoutMs);
        if (!reply->isFinished())
            loop.exec();
        const QByteArray rest = reply->isOpen() ? reply->readAll() : QByteArray();
        if (!sinkRefused && !rest.isEmpty() && !sink(rest))
            sinkRefused = true;
        result.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (timedOut) {
            result.status = FetchResult::Status::TimedOut;
            result.error = QStringLiteral("no complete answer within %1 s").arg(timeoutMs / 1000.0);
        } else if (sinkRefused) {
            result.status = FetchResult::Status::NetworkError;
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
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    limit.start(int(qMax<qint64>(0, stopAtMs - startMs)));
    if (!reply->isFinished())
        loop.exec();
    if (!reply || !reply->isFinished()) {
        if (reply)
            reply->abort();
        delete reply;
        return QString();
    }
    QString text;
    // A reply that never reached the server (refused, unknown host) carries no
    // answer at all; an error status does carry one and is returned like any page.
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 0)
        text = BytesToText(reply->readAll(), charset);
    delete reply;
    return text;
}
