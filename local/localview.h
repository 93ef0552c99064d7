#pragma once
// What the detail pane shows of a replay in the game folder, made in one go from
// its file and its map: the file read whole, the analysis document, the short
// summary with the map's name and author, and the map's minimap as an inline
// picture. Made on a worker thread (no widgets here), bound to the pane later.
#include "details/replayfile.h"
#include "local/localreplays.h"
#include "local/mapfile.h"

#include <QImage>
#include <QString>

// The side of the minimap pane's picture, in pixels (the same as a site's minimap).
constexpr int kMinimapSide = 168;

struct LocalReplayView {
    QString path;             // the replay file
    bool readable = false;
    ReplayStatus status = ReplayStatus::NotReplay;
    bool fileMissing = false; // the file was not there any more
    LocalReplayDetail detail; // readable only; its summary names the map (ReplayMapSummary)
    QString analysis;         // the big pane's document: the analysis, or what is wrong with the file
    int version = 0;          // the header's version number (LocalReplayFitsGame)
    QString mapPath;          // as the replay names it
    ReplayMap::State mapState = ReplayMap::State::Missing;
    QString minimapUrl;       // a data: address of the minimap (JPEG); empty without a picture
};

// Reads the replay at `path` whole and looks for its map below `gameFolder`.
// Never fails: an unreadable file gives readable == false and an analysis that
// says why, in Chinese.
LocalReplayView ReadLocalReplayView(const QString &path, const QString &gameFolder);

// The summary of a readable replay with the map's lines (`mapSummary`) after the
// game name's line.
QString LocalSummaryWithMap(const QString &summary, const QString &mapSummary);

// The document of a replay that cannot be shown: `text`, escaped, alone.
QString LocalReplayProblemHtml(const QString &text);

// A data: address of `image` as JPEG, scaled to a square of `side` pixels (minimaps
// are square), transparent parts black; empty for a null image.
QString MinimapDataUrl(const QImage &image, int side = kMinimapSide);
