#include "local/localview.h"

#include "details/replayanalysis.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>

LocalReplayView ReadLocalReplayView(const QString &path, const QString &gameFolder)
{
    LocalReplayView view;
    view.path = path;
    const ReplayInfo info = ReadLocalReplay(path, ReplayDepth::Whole);
    view.status = info.status;
    view.readable = info.readable;
    if (!info.readable) {
        // Listed a moment ago and gone now, or a file that is not a whole replay.
        view.fileMissing = !QFileInfo::exists(path);
        const QString why = view.fileMissing ? QStringLiteral("找不到该录像文件。") : ReplayStatusText(info.status);
        view.analysis = LocalReplayProblemHtml(why);
        view.detail.summary = why;
        return view;
    }
    view.version = info.version;
    view.mapPath = info.mapPath;
    view.detail = LocalReplayDetailOf(info);
    view.analysis = ReplayAnalysisHtml(info);
    const ReplayMap map = FindReplayMap(gameFolder, info.mapPath);
    view.mapState = map.state;
    view.detail.summary = LocalSummaryWithMap(view.detail.summary, ReplayMapSummary(map, info.mapPath));
    if (map.state == ReplayMap::State::Readable)
        view.minimapUrl = MinimapDataUrl(map.map.minimap);
    return view;
}

QString LocalSummaryWithMap(const QString &summary, const QString &mapSummary)
{
    const qsizetype firstLineEnd = summary.indexOf(u'\n');
    if (firstLineEnd < 0)
        return summary.isEmpty() ? mapSummary : summary + u'\n' + mapSummary;
    return summary.left(firstLineEnd + 1) + mapSummary + summary.mid(firstLineEnd);
}

QString LocalReplayProblemHtml(const QString &text)
{
    return QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"></head>"
                          "<body style=\"font-family:sans-serif;font-size:14px;margin:16px\"><p>")
        + text.toHtmlEscaped() + QStringLiteral("</p></body></html>\n");
}

QString MinimapDataUrl(const QImage &image, int side)
{
    if (image.isNull() || side < 1)
        return QString();
    // The pane shows the picture as a square of that side, as it shows a site's.
    const QImage scaled = image.width() == side && image.height() == side
        ? image
        : image.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // JPEG: a twentieth of a strong PNG's time and a few KB; what the map leaves
    // transparent is black, as the game shows it.
    QImage opaque(scaled.size(), QImage::Format_RGB32);
    opaque.fill(Qt::black);
    {
        QPainter painter(&opaque);
        painter.drawImage(0, 0, scaled);
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(90);
    if (!writer.write(opaque))
        return QString();
    return QStringLiteral("data:image/jpeg;base64,") + QString::fromLatin1(jpeg.toBase64());
}
