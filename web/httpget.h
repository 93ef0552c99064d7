#pragma once
// The two roads by which pages reach the tool.
//  - BlockingGet: the file road's transfer. It runs on a worker thread of its own
//    and the calling thread waits for it, so no handler of the window runs in the
//    middle of a page fetch (and a server on the window's thread would deadlock).
//  - HttpGetText: the memory road. It waits in a local event loop, so timers and
//    clicks go on while the feed is read.
#include <QByteArray>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

// The outcome of every transfer: page fetches and file downloads alike.
struct FetchResult {
    enum class Status {
        Ok,
        HttpError,       // the server answered, but not with success
        NetworkError,    // no answer, or the connection broke
        TimedOut,        // no complete answer within the time limit
        Refused,         // not a web address, or not sendable in code page 936
        TooLarge,        // the answer passed the size bound
        StoreFailed,     // the answer could not be written where it belongs
        ShortBody,       // the body ended before its announced length
        WrongContent,    // the file is not what it claims to be
    };
    Status status = Status::NetworkError;
    int httpStatus = 0;
    QByteArray body;   // what arrived, also for an error status (empty on the file road)
    QString error;     // human-readable reason when not Ok
    bool ok() const { return status == Status::Ok; }
};

// The one check that an address is a web address: http or https with a host.
// Everything the tool fetches, opens or lets a pane navigate to passes it.
bool IsWebAddress(const QUrl &url);

// URL text as the tool holds it -> the URL that goes on the wire. Characters
// travel as their code-page-936 bytes, percent-encoded where they are not ASCII.
// Only http and https are fetched; anything else, or a character that code page
// cannot hold, gives nullopt and the reason in *error.
std::optional<QUrl> RequestUrl(const QString &urlText, QString *error = nullptr);

// The most a page may hold: a larger answer is a failed fetch (TooLarge), so a
// hostile server can neither fill the memory nor hold the window for long.
inline constexpr qint64 kMaxPageBytes = 16 * 1024 * 1024;

// GET `url`, handing each piece of the body to `sink` as it arrives (sink returns
// false to give up). Gives up after `timeoutMs` in all, checked on every piece too,
// so a server that floods cannot stretch the limit. An answer that announces or
// delivers more than `maxBytes` is cut off at once as TooLarge; the sink never gets
// more than that in all. The status is Ok only for a complete 2xx answer.
FetchResult BlockingGet(const QString &urlText, int timeoutMs,
                        const std::function<bool(const QByteArray &)> &sink,
                        qint64 maxBytes = kMaxPageBytes);

// The memory road. GET with "If-Modified-Since: 0"; the body comes back whatever
// the HTTP status. Stops waiting once the whole-second reading of a monotonic clock
// has advanced by 4 (between 3 and 4 seconds) and then gives the empty result.
// Yields to the message loop while waiting (blocking on events, not spinning).
// An answer larger than kMaxPageBytes gives the empty result too.
QString HttpGetText(const QString &url, const QString &charset);

// Decodes bytes in the named charset ("utf-8" and "UTF-8" alike; GBK family too).
QString BytesToText(const QByteArray &bytes, const QString &charset);
