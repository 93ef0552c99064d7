// The replays already in the game folder: the "已下载录像" listing and the detail
// pane of a local row, both read from the replay files themselves.
#include "app/form1.h"

#include "details/detailpane.h"
#include "local/library.h"
#include "local/localreplays.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

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
    ApplyMeleeLayout();
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
    // Read again: the file may have changed or gone since it was listed.
    const ReplayInfo info = ReadLocalReplay(path);
    if (!info.readable) {
        Details().clear();
        LastItemIndex = 0;  // nothing shown: a second click reads again
        m_platform.dialogs->MsgBox(this, QStringLiteral("无法读取该录像文件！"), QString());
        return;
    }
    const LocalReplayDetail d = LocalReplayDetailOf(info);
    LocalPaneDetail shown{d.mapName, d.length, d.playerCount, d.version, d.summary, {}};
    for (size_t side = 0; side < 2; ++side)
        shown.teams[side] = {d.teams[side].present, EmblemOf(d.teams[side].race), d.teams[side].names};
    Details().showLocal(shown);
    ReplayPath = path;
    Command3->setEnabled(true);
}
