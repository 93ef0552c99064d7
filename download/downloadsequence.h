#pragma once
// The download of a selected replay and, when needed, its map: a short run of
// steps, one per tick of the step timer. Each step reads the detail fields as
// they are when it runs, starts at most one transfer, and the end of that
// transfer arms the timer for the next step. The sequence says what happens
// through its signals; the window only shows them.
#include "download/transfer.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTime>
#include <functional>

class QTimer;

// What a step reads of the window: the game folder and the download fields.
struct DownloadFields {
    QString gameFolder;   // ends in a separator; empty while no game path is set
    QString replayUrl;    // Text8
    QString mapUrl;       // Text9; empty when the site's index does not know the map
    QString mapPath;      // Text10, relative to the game folder, "\" between parts
    QString mapName;      // Text2
    bool smartMode = true;  // Option1: a map already on disk is not fetched again
};

// "下载失败：录像文件，服务器返回 404": what failed and why; a failed map adds
// that the replay is kept.
QString DownloadFailedText(FileTransfer::Kind what, const QString &reason);

class DownloadSequence : public QObject {
    Q_OBJECT
public:
    using FieldReader = std::function<DownloadFields()>;

    // `stepTimer` runs the steps (the window's Timer1, 10 ms); none: a timer of
    // the sequence's own.
    explicit DownloadSequence(FieldReader fields, QTimer *stepTimer = nullptr, QObject *parent = nullptr);
    ~DownloadSequence() override;

    // Begins again at the replay step, on the next tick. A map path that could
    // never be stored is refused here, before the replay is written: failed() is
    // emitted before start() returns, and false returned. Does nothing while a
    // transfer runs (false): one request at a time.
    bool start();
    // Stops at once: a running transfer is dropped with its partial file, no step
    // follows and nothing is signalled.
    void cancel();

    // A step is due or a transfer runs.
    bool isRunning() const;
    // The transfer running now, if any: it keeps its own address and target file.
    FileTransfer *transfer() const { return m_transfer; }
    // 0 replay, 1 map, 2 finish: the step the next tick runs.
    quint8 step() const { return m_step; }

    // The clock of the replay names' time prefix; none: the local time of day.
    void setClock(std::function<QTime()> clock) { m_clock = std::move(clock); }
    // Applied to every transfer before it starts (limits).
    void setTransferSetup(std::function<void(FileTransfer &)> setup) { m_setup = std::move(setup); }

signals:
    // A transfer began (for whoever wants to watch it).
    void transferStarted(FileTransfer *transfer);
    // As FileTransfer::progress: (0, announced) when an answer starts, then after
    // every chunk written; announced is -1 without a length.
    void progress(qint64 written, qint64 announced);
    // The replay is stored whole at `path`: the one to play.
    void replayStored(const QString &path);
    // The sequence ended with the replay stored. `notice`, when not empty, is a
    // text the user reads first (a map that could not be fetched).
    void finished(const QString &notice);
    // The sequence stopped; `reason` is the full text the user reads.
    void failed(const QString &reason);

private:
    void runStep();
    void startTransfer(const QString &url, const QString &target, FileTransfer::Kind kind);
    void finish(const QString &notice);
    void stopWith(const QString &reason);

    FieldReader m_fields;
    QPointer<QTimer> m_timer;  // the window's may go first when the window closes
    std::function<QTime()> m_clock;
    std::function<void(FileTransfer &)> m_setup;
    QPointer<FileTransfer> m_transfer;
    quint8 m_step = 0;
};
