// The replays already in the game folder: the "已下载录像" listing and the detail
// pane of a local row, both read from the replay files themselves.
#include "app/form1.h"

#include "app/layoutmath.h"
#include "details/detailpane.h"
#include "local/library.h"
#include "local/localreplays.h"
#include "local/localview.h"

#include <QFutureWatcher>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QThreadPool>
#include <QTimer>
#include <QTreeWidget>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>

// The whole reads of local replays run here, off the window's thread; the window
// shows only the read of the newest click.
struct LocalReads {
    quint64 serial = 0;                // the newest click's read (window thread)
    std::atomic<quint64> newest{0};    // the same, for the workers: an older read not yet begun is skipped
    // The replay shown, as "播放录像" checks it.
    QString replayPath;                // empty: no local replay shown
    int version = 0;
    QString mapPath;
    QThreadPool pool;                  // last: its end waits for the reads running, which use `newest`

    LocalReads() { pool.setMaxThreadCount(2); }  // a newer click's read need not wait for an older one
};

LocalReads &Form1::Reads()
{
    if (!m_localReads)
        m_localReads = std::make_shared<LocalReads>();
    return *m_localReads;
}

// The DotA layout, the list beside the analysis pane, with the local list's columns.
void Form1::ApplyLocalLayout()
{
    ApplyDotaLayout(6100);
    const int widths[5] = {600, 1700, 2500, 2300, 2000};
    for (int i = 0; i < 5; ++i)
        ListView1->setColumnWidth(i, Px(widths[i]));
}

void Form1::localreplays_Click()
{
    if (Text7->text().isEmpty()) {
        m_platform.dialogs->MsgBox(this, QStringLiteral("请先设置 魔兽路径 ！"), QString());
        return;
    }
    // A new listing like any other (cleared lists, row 1 clickable again), but
    // nothing to fetch and nothing to page.
    StartListing(QStringLiteral("local"), QString());
    Timer2->stop();
    Reads().replayPath.clear();
    ApplyLocalLayout();
    Details().clear();  // the analysis pane too: nothing of another listing beside this one
    Form_Resize();
    Library()->Open(GameFolder);  // the rows come from the library (local/form1_library.cpp)
}

namespace {
RaceEmblem EmblemOf(ReplayRace race)
{
    switch (race) {
    case ReplayRace::Human: return RaceEmblem::Human;
    case ReplayRace::NightElf: return RaceEmblem::NightElf;
    case ReplayRace::Orc: return RaceEmblem::Orc;
    case ReplayRace::Undead: return RaceEmblem::Undead;
    case ReplayRace::Random:
    case ReplayRace::Unknown: break;
    }
    return RaceEmblem::Keep;  // the emblem shown stays, as for site replays
}
} // namespace

void Form1::ShowLocalReplayDetail(const QString &path)
{
    // Read again, whole: the file may have changed or gone since it was listed.
    LocalReads &reads = Reads();
    const quint64 serial = ++reads.serial;
    reads.newest.store(serial);
    reads.replayPath.clear();  // nothing of this row is playable before it is shown
    const quint64 listing = m_listingSerial;
    auto *watcher = new QFutureWatcher<LocalReplayView>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, serial, listing, path] {
        watcher->deleteLater();
        const bool current = !m_unloaded && serial == Reads().serial && listing == m_listingSerial;
        if (current)
            ShowLocalReplayView(watcher->result());
        emit LocalReplayRead(path, current);
    });
    watcher->setFuture(QtConcurrent::run(
        &reads.pool, [path, serial, folder = GameFolder, hook = LocalReadStarting, newest = &reads.newest] {
            if (newest->load() != serial)
                return LocalReplayView{};  // a newer click came first: never shown, so never read
            if (hook)
                hook(path);
            return ReadLocalReplayView(path, folder);
        }));
}

void Form1::ShowLocalReplayView(const LocalReplayView &view)
{
    const LocalReplayDetail &d = view.detail;
    LocalPaneDetail shown{d.mapName, d.length, d.playerCount, d.version, d.summary, {}, view.minimapUrl, view.analysis};
    for (size_t side = 0; side < 2; ++side)
        shown.teams[side] = {d.teams[side].present, EmblemOf(d.teams[side].race), d.teams[side].names};
    Details().showLocal(shown);
    if (!view.readable) {
        LastItemIndex = 0;  // a second click reads again
        return;
    }
    LocalReads &reads = Reads();
    reads.replayPath = view.path;
    reads.version = view.version;
    reads.mapPath = view.mapPath;
    ReplayPath = view.path;
    Command3->setEnabled(true);
}

bool Form1::LocalReplayChosen() const
{
    return SiteMode == u"local" && m_localReads && !m_localReads->replayPath.isEmpty()
        && m_localReads->replayPath == ReplayPath;
}

bool Form1::LocalReplayPlays()
{
    const LocalReads &reads = Reads();
    // By number: "1.30.2+" plays on 1.30.2 to 1.30.4, which no text check tells.
    if (!LocalReplayFitsGame(reads.version, Text12->text())) {
        m_platform.dialogs->MsgBox(this, LocalReplayVersionMessage(reads.version, Text12->text()), QString());
        return false;
    }
    // Looked for again: the map may have come or gone since the click. The game
    // would stop with an error of its own without it.
    if (FindReplayMap(GameFolder, reads.mapPath).state == ReplayMap::State::Missing) {
        m_platform.dialogs->MsgBox(this, MissingMapMessage(reads.mapPath), QString());
        return false;
    }
    return true;
}
