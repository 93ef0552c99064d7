#include "download/transfer.h"

#include "web/boundedreader.h"

#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QPair>
#include <QPointer>
#include <optional>

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSet>
#include <QThread>
#include <QTimer>

#include <filesystem>
#include <system_error>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {
const QByteArray kReplayMagic("Warcraft III recorded game\x1A\x00", 28);
const QByteArray kMapMagic("HM3W");

// Temporary files of transfers running now: the clean-up of a folder spares them.
QMutex g_activeMutex;
QSet<QString> &activeParts()
{
    static QSet<QString> parts;
    return parts;
}

void setActive(const QString &partPath, bool active)
{
    QMutexLocker lock(&g_activeMutex);
    if (active)
        activeParts().insert(partPath);
    else
        activeParts().remove(partPath);
}

// Temporary files that an interrupted earlier run left in `folder`.
void clearStaleParts(const QString &folder)
{
    const QDir dir(folder);
    const QStringList names = dir.entryList({QStringLiteral("*") + FileTransfer::kPartSuffix},
                                            QDir::Files | QDir::Hidden | QDir::System | QDir::CaseSensitive);
    QMutexLocker lock(&g_activeMutex);
    for (const QString &name : names) {
        const QString path = dir.absoluteFilePath(name);
        if (!activeParts().contains(path))
            QFile::remove(path);
    }
}

std::filesystem::path nativePath(const QString &path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(QDir::toNativeSeparators(path).toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

// The file's data on the disk itself, not only in the system's cache.
bool syncToDisk(QFile &file)
{
#ifdef Q_OS_WIN
    return _commit(file.handle()) == 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
}

// The folder's entry of a renamed file, on the disk too (a no-op where folders
// cannot be opened).
void syncFolder(const QString &folder)
{
#ifndef Q_OS_WIN
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(folder);
#endif
}

qsizetype headBytesNeeded(FileTransfer::Kind kind)
{
    switch (kind) {
    case FileTransfer::Kind::Replay: return kReplayMagic.size();
    case FileTransfer::Kind::Map: return kMapMagic.size();
    case FileTransfer::Kind::Any: return 0;
    }
    return 0;
}

} // namespace

bool LooksLikeReplay(QByteArrayView head)
{
    return head.startsWith(QByteArrayView(kReplayMagic));
}

bool LooksLikeMap(QByteArrayView head)
{
    return head.startsWith(QByteArrayView(kMapMagic));
}

QString TransferPartPath(const QString &targetPath)
{
    return targetPath + FileTransfer::kPartSuffix;
}

// What the transfer's thread tells the window's: written under the lock, taken
// by FileTransfer::deliver().
struct TransferMailbox {
    QMutex mutex;
    bool ownerGone = false;
    bool posted = false;       // a deliver() is on its way
    bool answered = false;     // a success answer started
    qint64 announced = -1;
    QList<qint64> written;     // each chunk's end, not handed on yet, oldest first
    std::optional<FetchResult> result;
};

// The transfer itself, on a thread of its own: request, reader, limits, the
// temporary file and its sync into place.
class TransferWork : public QObject {
public:
    TransferWork(FileTransfer *owner, std::shared_ptr<TransferMailbox> box)
        : m_owner(owner),
          m_box(std::move(box)),
          m_urlText(owner->m_urlText),
          m_targetPath(owner->m_targetPath),
          m_partPath(m_targetPath.isEmpty() ? QString() : TransferPartPath(m_targetPath)),
          m_kind(owner->m_kind),
          m_stallMs(owner->m_stallMs),
          m_sizeLimit(owner->m_sizeLimit),
          m_minRate(owner->m_minRate),
          m_rateWindowMs(owner->m_rateWindowMs)
    {
    }
    ~TransferWork() override { release(); }

    void start();
    // Drops the request and the temporary file; the thread ends.
    void cancel();

private:
    using Kind = FileTransfer::Kind;
    enum class State { Running, Over };
    template <typename Change> void report(Change change);
    void onEnded();
    bool acceptAnswer();                      // status and length known: may go on?
    bool writePiece(const QByteArray &piece); // false when the transfer ended
    bool headIsRight() const;
    void checkRate();
    void startWriteBack(bool all);
    void succeed();
    QString syncIntoPlace();  // why it failed, or empty
    void fail(FetchResult::Status status, const QString &why);
    void finishWith(const FetchResult &result);
    void release();       // drops the request and the temporary file
    void dropRequest();   // drops the request only

    FileTransfer *const m_owner;  // only to post deliver() to
    const std::shared_ptr<TransferMailbox> m_box;
    const QString m_urlText;
    const QString m_targetPath;
    const QString m_partPath;
    const Kind m_kind;
    const int m_stallMs;
    const qint64 m_sizeLimit;
    const qint64 m_minRate;
    const int m_rateWindowMs;

    State m_state = State::Running;
    bool m_answerAccepted = false;
    bool m_partOwned = false;  // the temporary file is ours to remove
    int m_httpStatus = 0;
    qint64 m_announced = -1;
    qint64 m_written = 0;
    qint64 m_writtenBack = 0;  // bytes handed to the disk's write-back so far
    static constexpr qint64 kWriteBackBytes = 1024 * 1024;
    QByteArray m_head;  // the first bytes, for the content check
    QFile m_part;
    QNetworkAccessManager *m_nam = nullptr;  // deleted later: it may be signalling
    QPointer<QNetworkReply> m_reply;
    QPointer<BoundedReader> m_reader;
    QTimer *m_stall = nullptr;
    QTimer *m_rate = nullptr;
    QElapsedTimer m_clock;                     // since the request went out
    QList<QPair<qint64, qint64>> m_samples;    // (ms, bytes written), oldest first
};

// One deliver() on its way at a time, however many chunks follow it.
template <typename Change>
void TransferWork::report(Change change)
{
    QMutexLocker lock(&m_box->mutex);
    change(*m_box);
    if (m_box->ownerGone || m_box->posted)
        return;
    m_box->posted = true;
    QMetaObject::invokeMethod(m_owner, &FileTransfer::deliver, Qt::QueuedConnection);
}

void TransferWork::start()
{
    QString why;
    const std::optional<QUrl> url = RequestUrl(m_urlText, &why);
    if (!url)
        return fail(FetchResult::Status::Refused, why);

    const QFileInfo target(m_targetPath);
    if (m_targetPath.isEmpty() || target.fileName().isEmpty())
        return fail(FetchResult::Status::StoreFailed, QStringLiteral("no target file"));
    const QString folder = target.absolutePath();
    if (!QDir().mkpath(folder))
        return fail(FetchResult::Status::StoreFailed, QStringLiteral("cannot create the folder %1").arg(folder));
    if (target.isDir())
        return fail(FetchResult::Status::StoreFailed, QStringLiteral("%1 is a folder").arg(m_targetPath));
    clearStaleParts(folder);

    setActive(m_partPath, true);
    m_partOwned = true;
    m_part.setFileName(m_partPath);
    if (!m_part.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return fail(FetchResult::Status::StoreFailed,
                    QStringLiteral("cannot write %1: %2").arg(m_partPath, m_part.errorString()));

    // No parent: it and its reply are deleted later, never under a running signal.
    m_nam = new QNetworkAccessManager;
    // The length check compares the bytes on disk with Content-Length: no compression.
    m_reply = m_nam->get(MakeRequest(*url, false));
    m_reader = new BoundedReader(m_reply, m_sizeLimit, FileTransfer::kReadBufferBytes,
                                 [this](const QByteArray &piece) { return writePiece(piece); });
    m_reader->setParent(this);
    m_reader->onHead = [this] { return acceptAnswer(); };
    m_reader->onEnded = [this] { onEnded(); };
    connect(m_reply, &QNetworkReply::readyRead, this, [this] {
        if (m_stall)
            m_stall->start(m_stallMs);
    });

    m_stall = new QTimer(this);
    m_stall->setSingleShot(true);
    connect(m_stall, &QTimer::timeout, this, [this] {
        fail(FetchResult::Status::TimedOut, QStringLiteral("no data for %1 s").arg(m_stallMs / 1000.0));
    });
    m_stall->start(m_stallMs);

    m_clock.start();
    m_samples = {{0, 0}};
    m_rate = new QTimer(this);
    m_rate->setInterval(qMax(10, m_rateWindowMs / 60));
    connect(m_rate, &QTimer::timeout, this, [this] { checkRate(); });
    m_rate->start();
}

void TransferWork::cancel()
{
    if (m_state == State::Running)
        release();
    m_state = State::Over;
    thread()->quit();
}

// The sample taken at or last before (now - window) tells what the last whole
// window brought.
void TransferWork::checkRate()
{
    if (m_state != State::Running)
        return;
    const qint64 now = m_clock.elapsed();
    m_samples.append({now, m_written});
    while (m_samples.size() > 1 && m_samples.at(1).first <= now - m_rateWindowMs)
        m_samples.removeFirst();
    const auto &[then, written] = m_samples.constFirst();
    if (then <= now - m_rateWindowMs && m_written - written < m_minRate * m_rateWindowMs / 1000)
        fail(FetchResult::Status::TimedOut, QStringLiteral("less than %1 bytes a second over %2 s")
                                                .arg(QString::number(m_minRate), QString::number(m_rateWindowMs / 1000.0)));
}

void TransferWork::onEnded()
{
    if (m_state != State::Running || !m_reply || !m_reader)
        return;
    m_stall->stop();
    switch (m_reader->cut()) {
    case BoundedReader::Cut::None:
        break;
    case BoundedReader::Cut::TooLarge:
        return fail(FetchResult::Status::TooLarge, QStringLiteral("the file is larger than %1 bytes").arg(QString::number(m_sizeLimit)));
    default:
        return;  // a refusal of ours, reported where it was made
    }
    if (m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 0)
        return fail(FetchResult::Status::NetworkError, m_reply->errorString());
    if (!m_answerAccepted && !acceptAnswer())
        return;
    m_reader->drain(false);
    if (m_state != State::Running)
        return;
    if (m_announced >= 0 && m_written < m_announced)
        return fail(FetchResult::Status::ShortBody,
                    QStringLiteral("the file ended after %1 of %2 bytes").arg(QString::number(m_written), QString::number(m_announced)));
    // A connection that broke after some of the file: the file is cut.
    if (m_reader->failed())
        return fail(m_written > 0 ? FetchResult::Status::ShortBody : FetchResult::Status::NetworkError, m_reply->errorString());
    if (!headIsRight())
        return fail(FetchResult::Status::WrongContent, QStringLiteral("the answer is not a %1 file")
                                                           .arg(m_kind == Kind::Replay ? u"replay" : u"map"));
    succeed();
}

bool TransferWork::acceptAnswer()
{
    if (m_answerAccepted)
        return true;
    m_httpStatus = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (m_httpStatus < 200 || m_httpStatus > 299) {
        fail(FetchResult::Status::HttpError, QStringLiteral("HTTP status %1").arg(m_httpStatus));
        return false;
    }
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    m_announced = length.isValid() ? length.toLongLong() : -1;
    m_answerAccepted = true;
    report([this](TransferMailbox &box) {
        box.answered = true;
        box.announced = m_announced;
    });
    return true;
}

// Each piece goes to the file as it comes, in one write (the file is unbuffered:
// a piece is up to kReadBufferBytes), and is told as the chunks of at most
// kChunkBytes it holds: a slow answer shows every byte that arrived.
bool TransferWork::writePiece(const QByteArray &piece)
{
    if (m_state != State::Running || (!m_answerAccepted && !acceptAnswer()))
        return false;
    const qsizetype headNeeded = headBytesNeeded(m_kind);
    if (m_head.size() < headNeeded) {
        m_head.append(piece.left(headNeeded - m_head.size()));
        // A page where a file belongs is refused as soon as it shows.
        if (m_head.size() == headNeeded && !headIsRight()) {
            fail(FetchResult::Status::WrongContent, QStringLiteral("the answer is not a %1 file")
                                                        .arg(m_kind == Kind::Replay ? u"replay" : u"map"));
            return false;
        }
    }
    if (m_part.write(piece) != piece.size()) {
        fail(FetchResult::Status::StoreFailed, QStringLiteral("cannot write %1: %2").arg(m_partPath, m_part.errorString()));
        return false;
    }
    QList<qint64> chunkEnds;
    chunkEnds.reserve(piece.size() / FileTransfer::kChunkBytes + 1);
    for (qsizetype at = 0; at < piece.size(); at += FileTransfer::kChunkBytes)
        chunkEnds.append(m_written + qMin<qint64>(at + FileTransfer::kChunkBytes, piece.size()));
    m_written += piece.size();
    startWriteBack(false);
    // Told once for the piece: a wake-up of the window's thread for every chunk
    // would cost more than writing it.
    report([&chunkEnds](TransferMailbox &box) { box.written.append(chunkEnds); });
    return true;
}

bool TransferWork::headIsRight() const
{
    switch (m_kind) {
    case Kind::Replay: return LooksLikeReplay(m_head);
    case Kind::Map: return LooksLikeMap(m_head);
    case Kind::Any: return true;
    }
    return false;
}

// The system starts writing each MiB to the disk as it comes, without waiting
// for it: the sync at the end then has little left to wait for.
void TransferWork::startWriteBack(bool all)
{
#ifdef Q_OS_LINUX
    const qint64 pending = m_written - m_writtenBack;
    if (pending <= 0 || (!all && pending < kWriteBackBytes) || !m_part.flush())
        return;
    ::sync_file_range(m_part.handle(), m_writtenBack, pending, SYNC_FILE_RANGE_WRITE);
    m_writtenBack = m_written;
#else
    Q_UNUSED(all);
#endif
}

void TransferWork::succeed()
{
    if (!m_part.flush())
        return fail(FetchResult::Status::StoreFailed, QStringLiteral("cannot write %1: %2").arg(m_partPath, m_part.errorString()));
    startWriteBack(true);
    dropRequest();
    if (const QString why = syncIntoPlace(); !why.isEmpty())
        return fail(FetchResult::Status::StoreFailed, why);
    // In place: no longer ours to remove.
    setActive(m_partPath, false);
    m_partOwned = false;
    FetchResult result;
    result.status = FetchResult::Status::Ok;
    result.httpStatus = m_httpStatus;
    finishWith(result);
}

// On the disk before it takes the target's name: after a power loss the target
// is the old file or the whole new one, never an empty or cut one.
QString TransferWork::syncIntoPlace()
{
    if (!syncToDisk(m_part))
        return QStringLiteral("cannot sync %1").arg(m_partPath);
    m_part.close();
    // Replaces an existing file in one step: it is either the old or the new one.
    std::error_code ec;
    std::filesystem::rename(nativePath(m_partPath), nativePath(m_targetPath), ec);
    if (ec)
        return QStringLiteral("cannot replace %1: %2").arg(m_targetPath, QString::fromLocal8Bit(ec.message()));
    syncFolder(QFileInfo(m_targetPath).absolutePath());
    return QString();
}

void TransferWork::fail(FetchResult::Status status, const QString &why)
{
    FetchResult result;
    result.status = status;
    result.httpStatus = m_httpStatus;
    result.error = why;
    finishWith(result);
}

// Reported behind every chunk written before it; the thread then ends.
void TransferWork::finishWith(const FetchResult &result)
{
    if (m_state != State::Running)
        return;
    release();
    m_state = State::Over;
    report([&result](TransferMailbox &box) { box.result = result; });
    thread()->quit();
}

void TransferWork::release()
{
    dropRequest();
    if (m_part.isOpen())
        m_part.close();
    if (m_partOwned) {
        QFile::remove(m_partPath);
        setActive(m_partPath, false);
        m_partOwned = false;
    }
}

void TransferWork::dropRequest()
{
    if (m_stall)
        m_stall->stop();
    if (m_rate)
        m_rate->stop();
    if (m_reader) {
        if (m_reply)
            disconnect(m_reply, nullptr, m_reader, nullptr);
        m_reader->onEnded = nullptr;
        m_reader->deleteLater();
        m_reader = nullptr;
    }
    if (m_reply) {
        // Deleting the reply ends its request. No abort() first: a reply whose
        // error status is on its way would then report two errors.
        disconnect(m_reply, nullptr, this, nullptr);
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    if (m_nam) {
        m_nam->deleteLater();
        m_nam = nullptr;
    }
}

FileTransfer::FileTransfer(const QString &urlText, const QString &targetPath, Kind kind, QObject *parent)
    : QObject(parent),
      m_urlText(urlText),
      m_targetPath(targetPath.isEmpty() ? QString()
                                        : QDir::cleanPath(QFileInfo(QDir::fromNativeSeparators(targetPath)).absoluteFilePath())),
      m_kind(kind)
{
}

FileTransfer::~FileTransfer()
{
    stopWork();
}

void FileTransfer::start()
{
    if (m_state != State::Idle)
        return;
    m_state = State::Running;
    m_box = std::make_shared<TransferMailbox>();
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("transfer"));
    m_work = new TransferWork(this, m_box);
    m_work->moveToThread(m_thread);
    connect(m_thread, &QThread::started, m_work, &TransferWork::start);
    m_thread->start();
}

void FileTransfer::abort()
{
    if (m_state == State::Running)
        stopWork();
    m_state = State::Over;
}

// The work is asked to stop and waited for: its temporary file is gone (a file
// already synced into place stays) and it reports nothing more.
void FileTransfer::stopWork()
{
    if (!m_thread)
        return;
    {
        QMutexLocker lock(&m_box->mutex);
        m_box->ownerGone = true;
    }
    QMetaObject::invokeMethod(m_work, &TransferWork::cancel, Qt::QueuedConnection);
    m_thread->wait();
    delete m_work;  // its thread is over: nothing of it runs any more
    m_work = nullptr;
    delete m_thread;
    m_thread = nullptr;
}

// A listener that runs an event loop (a message box) lets the next deliver() in
// while chunks are being handed on: that one returns, and this one goes on with
// whatever arrived, so every chunk is told once and in order.
void FileTransfer::deliver()
{
    if (m_delivering || m_state != State::Running)
        return;
    m_delivering = true;
    const QPointer<FileTransfer> self(this);
    for (;;) {
        bool head = false;
        QList<qint64> written;
        std::optional<FetchResult> result;
        {
            QMutexLocker lock(&m_box->mutex);
            m_box->posted = false;
            head = m_box->answered && !m_headShown;
            m_announced = m_box->announced;
            written.swap(m_box->written);
            result.swap(m_box->result);
        }
        if (head) {
            m_headShown = true;
            emit progress(0, m_announced);
            if (!self)
                return;
        }
        for (const qint64 w : std::as_const(written)) {
            if (m_state != State::Running)
                break;
            m_written = w;
            emit progress(w, m_announced);
            if (!self)
                return;
        }
        if (m_state != State::Running)
            break;
        if (result) {
            stopWork();  // the thread has reported its last: it is ending
            m_state = State::Over;
            m_delivering = false;
            emit finished(*result);
            return;
        }
        if (!head && written.isEmpty())
            break;
    }
    m_delivering = false;
}

QString TransferFailureReason(const FetchResult &result, FileTransfer::Kind kind)
{
    using Status = FetchResult::Status;
    switch (result.status) {
    case Status::Ok: return QString();
    case Status::HttpError: return QStringLiteral("服务器返回 %1").arg(result.httpStatus);
    case Status::NetworkError: return QStringLiteral("无法连接服务器");
    case Status::TimedOut: return QStringLiteral("连接超时");
    case Status::Refused: return QStringLiteral("下载地址无效");
    case Status::TooLarge: return QStringLiteral("文件过大");
    case Status::StoreFailed: return QStringLiteral("磁盘已满或无法写入");
    case Status::ShortBody: return QStringLiteral("文件不完整");
    case Status::WrongContent:
        return kind == FileTransfer::Kind::Map ? QStringLiteral("不是地图文件") : QStringLiteral("不是录像文件");
    }
    return QStringLiteral("下载出错");
}
