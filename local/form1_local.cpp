// The replays already in the game folder: the "已下载录像" listing and the detail
// pane of a local row, both read from the replay files themselves.
#include "app/form1.h"

#include "app/webpane.h"
#include "local/library.h"
#include "local/localreplays.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
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

void Form1::ShowLocalReplayDetail(const QString &path)
{
    // Read again: the file may have changed or gone since it was listed.
    const ReplayInfo info = ReadLocalReplay(path);
    if (!info.readable) {
        ClearReplayDetail();
        LastItemIndex = 0;  // nothing shown: a second click reads again
        m_platform.dialogs->MsgBox(this, QStringLiteral("无法读取该录像文件！"), QString());
        return;
    }
    const LocalReplayDetail d = LocalReplayDetailOf(info);

    WebBrowser1->Navigate(QStringLiteral("about:blank"));
    WebBrowser1->WriteDocument(BoxText(Text13));
    Text2->setText(d.mapName);
    Text3->setText(d.length);
    Text4->setText(d.playerCount);
    Text5->setText(d.version);
    Text6->setPlainText(d.summary);

    QLabel *const emblems[] = {Picture5, Picture6};
    QLabel *const nameSlots[2][3] = {{Label1, Label10, Label11}, {Label12, Label13, Label14}};
    for (int side = 0; side < 2; ++side) {
        const LocalTeam &t = d.teams[size_t(side)];
        QLabel *source = nullptr;
        switch (t.race) {
        case ReplayRace::Human: source = Picture1; break;
        case ReplayRace::NightElf: source = Picture2; break;
        case ReplayRace::Orc: source = Picture3; break;
        case ReplayRace::Undead: source = Picture4; break;
        case ReplayRace::Random:
        case ReplayRace::Unknown: break;  // the emblem shown stays, as for site replays
        }
        if (source)
            emblems[side]->setPixmap(source->pixmap());
        else if (!t.present)
            emblems[side]->clear();  // no such team: no emblem of another replay beside no names
        for (int slot = 0; slot < 3; ++slot)
            nameSlots[side][slot]->setText(t.names[size_t(slot)]);
    }

    // Nothing to download for a replay on disk.
    for (QLineEdit *box : {Text8, Text9, Text10})
        box->clear();
    Label17->hide();  // also when Text10 was empty already: no map to miss
    ReplayPath = path;
    Command3->setEnabled(true);
}
