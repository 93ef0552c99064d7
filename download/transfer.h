#pragma once
// One file download into the game folder: a replay or a map, fetched and written
// in chunks on a thread of its own, so that the window's painting never holds the
// transfer up. Its signals come on the thread that made it, from the event loop.
//
// The body goes into a temporary file beside the target and replaces the target
// only when the whole, right file has arrived and is synced to the disk; a failed
// or cancelled transfer leaves an existing file under the target name exactly as
// it was.
#include "web/httpget.h"

#include <QByteArrayView>
#include <QObject>
#include <QString>

#include <memory>

class QThread;

// The first bytes of a replay file: "Warcraft III recorded game" 0x1A 0x00.
bool LooksLikeReplay(QByteArrayView head);
// The first bytes of a map file: "HM3W".
bool LooksLikeMap(QByteArrayView head);

// Where a transfer into `targetPath` writes until it is complete.
QString TransferPartPath(const QString &targetPath);

struct TransferMailbox;
class TransferWork;

class FileTransfer : public QObject {
    Q_OBJECT
public:
    enum class Kind { Replay, Map, Any };

    static constexpr qint64 kChunkBytes = 1024;                  // progress is told per chunk
    // Held by the reply at most, and written at a time: a smaller buffer wakes
    // the transfer's thread for every few KiB and halves the rate on two cores.
    static constexpr qint64 kReadBufferBytes = 1024 * 1024;
    static constexpr int kDefaultStallMs = 30 * 1000;            // no byte for this long: TimedOut
    static constexpr qint64 kDefaultMinRate = 1024;              // bytes a second, at least ...
    static constexpr int kDefaultRateWindowMs = 60 * 1000;       // ... over any window this long: else TimedOut
    static constexpr qint64 kDefaultSizeLimit = 512LL * 1024 * 1024;  // larger: TooLarge
    static inline const QString kPartSuffix = QStringLiteral(".quillmark-part");

    // Both the address and the file are fixed here; nothing moves them later.
    // `targetPath` is a local path with "/" or native separators; targetPath()
    // gives it back absolute and cleaned.
    FileTransfer(const QString &urlText, const QString &targetPath, Kind kind, QObject *parent = nullptr);
    // Deleting a running transfer cancels it like abort().
    ~FileTransfer() override;

    // Limits; set them before start().
    void setStallTimeout(int ms) { m_stallMs = ms; }
    void setSizeLimit(qint64 bytes) { m_sizeLimit = bytes; }
    // Fewer than bytesPerSecond * windowMs / 1000 bytes within any windowMs after
    // the request went out: TimedOut. One byte now and then does not hold the tool.
    void setRateLimit(qint64 bytesPerSecond, int windowMs)
    {
        m_minRate = bytesPerSecond;
        m_rateWindowMs = windowMs;
    }

    // Creates the target's folder, clears temporary files that an interrupted
    // earlier run left there, opens the temporary file and sends the request.
    // Returns at once; even an address or folder refused here is reported through
    // finished(), after start() has returned. Only the first call does anything.
    void start();

    // Cancels a running transfer: the request is dropped, the temporary file is
    // removed before abort() returns and no further signal is emitted (no
    // finished() at all). A file that has arrived whole and is being synced into
    // place ends there, unreported. Harmless when the transfer has not started or
    // is already over; safe from a slot of this object's own signals.
    void abort();

    QString urlText() const { return m_urlText; }
    QString targetPath() const { return m_targetPath; }
    Kind kind() const { return m_kind; }
    bool isRunning() const { return m_state == State::Running; }
    bool isOver() const { return m_state == State::Over; }
    qint64 bytesWritten() const { return m_written; }
    qint64 announcedLength() const { return m_announced; }

signals:
    // Once with (0, announced) when a success answer starts, then once for every
    // chunk written, in order (chunks written meanwhile come one after another).
    // `announced` is the Content-Length, -1 when there is none.
    void progress(qint64 written, qint64 announced);
    // Exactly once per started transfer unless abort() came first, always from the
    // event loop (never from inside start() or abort()). Ok means the target now
    // holds the downloaded file, synced to the disk. To delete this object from a slot of its own
    // signals, use deleteLater(); elsewhere a plain delete is fine.
    void finished(const FetchResult &result);

private:
    friend class TransferWork;
    enum class State { Idle, Running, Over };
    // Hands on what the transfer's thread reported since the last call.
    void deliver();
    void stopWork();  // the transfer's thread is over when this returns

    const QString m_urlText;
    const QString m_targetPath;
    const Kind m_kind;
    int m_stallMs = kDefaultStallMs;
    qint64 m_sizeLimit = kDefaultSizeLimit;
    qint64 m_minRate = kDefaultMinRate;
    int m_rateWindowMs = kDefaultRateWindowMs;

    State m_state = State::Idle;
    bool m_delivering = false;
    bool m_headShown = false;
    qint64 m_announced = -1;
    qint64 m_written = 0;
    std::shared_ptr<TransferMailbox> m_box;
    QThread *m_thread = nullptr;
    TransferWork *m_work = nullptr;  // lives on m_thread
};

// Why a transfer failed, as the user reads it: a fixed Chinese text for each
// status ("服务器返回 404", "连接超时", "文件不完整", "不是录像文件", ...).
QString TransferFailureReason(const FetchResult &result, FileTransfer::Kind kind);
