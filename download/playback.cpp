#include "download/playback.h"

#include "download/gamepath.h"

QString TimePrefix(QTime t)
{
    return QStringLiteral("%1\uFF1A%2\uFF1A%3 _").arg(t.hour()).arg(t.minute()).arg(t.second());
}

namespace {
// QString::number does not follow the locale: "." and no group separators.
QString kilobytes(qint64 bytes) { return QString::number(double(bytes) / 1024.0, 'f', 3); }
} // namespace

QString ProgressStartText(qint64 maximum)
{
    return QStringLiteral("下载 0 / ") + kilobytes(maximum) + QStringLiteral(" KB");
}

QString ProgressText(qint64 written, qint64 maximum)
{
    return QStringLiteral("下载 ") + kilobytes(written) + QStringLiteral(" / ") + kilobytes(maximum)
        + QStringLiteral(" KB");
}

QString ProgressTextWithoutLength(qint64 written)
{
    return QStringLiteral("下载 ") + kilobytes(written) + QStringLiteral(" KB");
}

QString MapNotFoundText(const QString &mapName)
{
    return QStringLiteral("检获不到该地图：") + mapName;
}

StepPlan PlanStep(quint8 downloadStep, bool smartMode, bool mapOnDisk)
{
    switch (downloadStep) {
    case 0:
        return {StepAction::FetchReplay, 1};
    case 1:
        // A skipped map finishes in the same tick; the step stays 1 until the next start.
        if (smartMode && mapOnDisk)
            return {StepAction::Finish, 1};
        return {StepAction::FetchMap, 2};
    default:
        // The sequence never goes past 2; any other value can only finish.
        return {StepAction::Finish, downloadStep};
    }
}

QString GameVersionText(const QString &productVersion)
{
    QString text = productVersion;
    return text.remove(QStringLiteral("Version "), Qt::CaseSensitive);
}

bool VersionsFit(const QString &replayVersion, const QString &gameVersion)
{
    return !gameVersion.isEmpty() && gameVersion.contains(replayVersion, Qt::CaseSensitive);
}

QString GameCommandLine(const QString &gamePath, const QString &replayPath)
{
    return u'"' + gamePath + u'"' + QStringLiteral(" -loadfile ") + u'"' + replayPath + u'"';
}

QString WinePathOf(const QString &path)
{
    QString windows = path;
    windows.replace(u'/', u'\\');
    if (path.startsWith(u'/'))
        windows.prepend(QStringLiteral("Z:"));
    return windows;
}

LaunchPlan PlanLaunch(const QString &gamePath, const QString &replayPath, bool windowsExecutable,
                      const QString &winePath)
{
    const QString folder = GameFolderOf(gamePath);
#ifdef Q_OS_WIN
    Q_UNUSED(windowsExecutable);
    Q_UNUSED(winePath);
    return {gamePath, {QStringLiteral("-loadfile"), replayPath}, folder};
#else
    if (windowsExecutable && !winePath.isEmpty())
        return {winePath, {gamePath, QStringLiteral("-loadfile"), WinePathOf(replayPath)}, folder};
    return {gamePath, {QStringLiteral("-loadfile"), replayPath}, folder};
#endif
}
