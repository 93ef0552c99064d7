// The replays already in the game folder: the "已下载录像" listing and the detail
// pane of a local row, both read from the replay files themselves.
#include "app/form1.h"

#include "details/detailpane.h"
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

    const QList<LocalReplayFile> files = LocalReplayFiles(GameFolder);
    QList<QTreeWidgetItem *> items;
    items.reserve(files.size());
    for (const LocalReplayFile &file : files) {
        const LocalReplayRow row = LocalReplayRowOf(file, ReadLocalReplay(file.path));
        auto *item = new QTreeWidgetItem;
        item->setText(0, QString::number(items.size()));
        item->setText(1, row.matchup);
        item->setText(2, row.players);
        item->setText(3, row.map);
        item->setText(4, row.time);
        items.append(item);
        List1->addItem(file.path);
    }
    ListView1->addTopLevelItems(items);
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
