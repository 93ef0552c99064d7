#include "download/downloadsequence.h"

#include "download/gamepath.h"
#include "download/playback.h"

#include <QDir>
#include <QTimer>

QString DownloadFailedText(FileTransfer::Kind what, const QString &reason)
{
    if (what == FileTransfer::Kind::Map)
        return QStringLiteral("下载失败：地图文件，") + reason + QStringLiteral("。录像已保存。");
    return QStringLiteral("下载失败：录像文件，") + reason;
}

DownloadSequence::DownloadSequence(FieldReader fields, QTimer *stepTimer, QObject *parent)
    : QObject(parent), m_fields(std::move(fields)), m_timer(stepTimer)
{
    if (!m_timer) {
        m_timer = new QTimer(this);
        m_timer->setInterval(10);
    }
    connect(m_timer, &QTimer::timeout, this, &DownloadSequence::runStep);
}

DownloadSequence::~DownloadSequence()
{
    cancel();
}

bool DownloadSequence::start()
{
    if (m_transfer)
        return false;
    const QString mapPath = m_fields().mapPath;
    const QString why = mapPath.isEmpty() ? QString() : CheckRelativePath(mapPath);
    if (!why.isEmpty()) {
        m_timer->stop();
        emit failed(QStringLiteral("无法保存地图：") + why);
        return false;
    }
    m_step = 0;
    m_timer->start();
    return true;
}

void DownloadSequence::cancel()
{
    if (m_timer)
        m_timer->stop();
    if (FileTransfer *t = m_transfer) {
        m_transfer = nullptr;
        t->abort();  // its temporary file goes; it reports nothing
        t->deleteLater();
    }
}

bool DownloadSequence::isRunning() const
{
    return m_transfer || (m_timer && m_timer->isActive());
}

void DownloadSequence::runStep()
{
    m_timer->stop();  // each arming runs exactly one step
    if (m_transfer)
        return;
    // Every step reads the detail fields and the mode as they are now.
    const DownloadFields f = m_fields();
    const bool mapOnDisk = f.smartMode && IsRegularFile(f.gameFolder, f.mapPath);
    const StepPlan plan = PlanStep(m_step, f.smartMode, mapOnDisk);
    m_step = plan.nextStep;

    if (plan.action == StepAction::FetchReplay) {
        const QString replayName = ReplayNameOf(f.replayUrl);
        const QTime now = m_clock ? m_clock() : QTime::currentTime();
        QString why = CheckFileName(replayName);
        ResolvedPath target;
        if (why.isEmpty()) {
            target = ResolveInGameFolder(f.gameFolder, QStringLiteral("replay\\") + TimePrefix(now) + replayName);
            why = target.error;
        }
        if (!why.isEmpty())
            return stopWith(QStringLiteral("无法保存录像：") + why);
        return startTransfer(f.replayUrl, target.path, FileTransfer::Kind::Replay);
    }
    if (plan.action == StepAction::FetchMap) {
        // A replay without a map path has no map to fetch.
        if (f.mapPath.isEmpty())
            return finish(QString());
        // The site's index does not know the map: the replay stays, the map is
        // skipped with the text its row click gave.
        if (f.mapUrl.isEmpty())
            return finish(MapNotFoundText(f.mapName));
        const ResolvedPath target = ResolveInGameFolder(f.gameFolder, f.mapPath);
        if (!target.ok())
            return stopWith(QStringLiteral("无法保存地图：") + target.error);
        return startTransfer(f.mapUrl, target.path, FileTransfer::Kind::Map);
    }
    finish(QString());
}

void DownloadSequence::startTransfer(const QString &url, const QString &target, FileTransfer::Kind kind)
{
    auto *transfer = new FileTransfer(url, target, kind, this);
    m_transfer = transfer;
    if (m_setup)
        m_setup(*transfer);
    connect(transfer, &FileTransfer::progress, this, &DownloadSequence::progress);
    connect(transfer, &FileTransfer::finished, this, [this, transfer](const FetchResult &result) {
        transfer->deleteLater();
        if (m_transfer != transfer)
            return;
        m_transfer = nullptr;
        if (!result.ok())
            return stopWith(DownloadFailedText(transfer->kind(), TransferFailureReason(result, transfer->kind())));
        // Only a replay that arrived whole is the one to play.
        if (transfer->kind() == FileTransfer::Kind::Replay)
            emit replayStored(QDir::toNativeSeparators(transfer->targetPath()));
        m_timer->start();
    });
    emit transferStarted(transfer);
    transfer->start();
}

// The sequence is over before anyone hears of it: a handler that waits in a
// message box may start the next one.
void DownloadSequence::finish(const QString &notice)
{
    m_timer->stop();
    emit finished(notice);
}

void DownloadSequence::stopWith(const QString &reason)
{
    m_timer->stop();
    emit failed(reason);
}
