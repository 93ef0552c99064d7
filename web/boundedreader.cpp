#include "web/boundedreader.h"

#include <QNetworkReply>
#include <QTimer>

QNetworkRequest MakeRequest(const QUrl &url, bool compressed)
{
    QNetworkRequest req(url);
    req.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    req.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    req.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    if (!compressed)
        req.setRawHeader("Accept-Encoding", "identity");
    return req;
}

BoundedReader::BoundedReader(QNetworkReply *reply, qint64 maxBytes, qint64 readBufferBytes, Sink sink,
                             QDeadlineTimer deadline)
    : m_reply(reply), m_maxBytes(maxBytes), m_sink(std::move(sink)), m_deadline(deadline)
{
    reply->setReadBufferSize(readBufferBytes);
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] { checkHead(); });
    // The deadline is checked on every piece: under a flood the event loop may
    // not get round to a timer for a long time.
    connect(reply, &QNetworkReply::readyRead, this, [this] { drain(true); });
    connect(reply, &QNetworkReply::finished, this, [this] { end(); });
    connect(reply, &QNetworkReply::errorOccurred, this, [this] {
        QTimer::singleShot(kEndAfterErrorMs, this, [this] { end(); });
    });
}

void BoundedReader::stop(Cut why)
{
    if (m_cut == Cut::None)
        m_cut = why;
    // A reply that failed on its own is over already (aborting it again only
    // makes Qt complain); its owner deletes it.
    if (m_reply && !m_reply->isFinished() && m_reply->error() == QNetworkReply::NoError)
        m_reply->abort();
    end();
}

bool BoundedReader::failed() const
{
    return m_cut == Cut::None && m_reply && (m_reply->error() != QNetworkReply::NoError || !m_reply->isFinished());
}

// One drain at a time: a sink that runs an event loop (a message box, a progress
// listener that paints) lets readyRead and finished in while a piece is half
// written. The outer drain goes on with what arrived meanwhile, and the end waits
// for it, so the pieces reach the sink whole and in order.
void BoundedReader::drain(bool withDeadline)
{
    if (m_draining)
        return;
    m_draining = true;
    const QPointer<BoundedReader> self(this);
    drainNow(withDeadline);
    if (!self)
        return;
    m_draining = false;
    if (m_endPending) {
        m_endPending = false;
        end();
    }
}

void BoundedReader::drainNow(bool withDeadline)
{
    checkHead();
    while (m_cut == Cut::None && m_reply && m_reply->isOpen() && m_reply->bytesAvailable() > 0) {
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
        const QPointer<BoundedReader> self(this);
        const bool goOn = m_sink(piece);
        if (!self)
            return;
        if (!goOn) {
            stop(Cut::SinkRefused);
            return;
        }
    }
}

// An answer that announces more than the bound is refused before its body.
void BoundedReader::checkHead()
{
    if (m_headSeen || m_cut != Cut::None || !m_reply
        || !m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid())
        return;
    m_headSeen = true;
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    bool ok = false;
    const qint64 n = length.isValid() ? length.toLongLong(&ok) : -1;
    if (ok && n > m_maxBytes) {
        stop(Cut::TooLarge);
        return;
    }
    if (onHead) {
        const QPointer<BoundedReader> self(this);
        const bool goOn = onHead();
        if (self && !goOn)
            stop(Cut::HeadRefused);
    }
}

void BoundedReader::end()
{
    if (m_ended)
        return;
    if (m_draining) {
        m_endPending = true;
        return;
    }
    m_ended = true;
    if (onEnded)
        onEnded();
}
