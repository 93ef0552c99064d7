// The row click and the melee detail pane.
#include "app/form1.h"

#include "app/webpane.h"
#include "details/meleedetail.h"
#include "download/gamepath.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPersistentModelIndex>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

void Form1::ListView1_ItemClick()
{
    QTreeWidgetItem *item = ListView1->currentItem();
    if (!item)
        return;
    const int index = ListView1->indexOfTopLevelItem(item) + 1;
    // The row already shown: nothing to fetch, and play stays as it is.
    if (index == LastItemIndex)
        return;
    Command3->setEnabled(false);
    LastItemIndex = index;
    const bool dota = SiteMode == u"dota";
    const bool local = SiteMode == u"local";
    if ((!dota && !local && SiteMode != u"War3") || index > List1->count())
        return;
    const QString url = List1->item(index - 1)->text();

    // A click queued behind this one runs in the yield; it is the one the user
    // sees selected afterwards, so this one then stops.
    const QPersistentModelIndex clicked = ListView1->currentIndex();
    const quint64 serial = m_listingSerial;
    QCoreApplication::processEvents();
    if (m_unloaded || serial != m_listingSerial || !clicked.isValid() || ListView1->currentIndex() != clicked)
        return;
    if (local) {
        ShowLocalReplayDetail(url);  // the row's file path
        return;
    }

    FetchResult outcome;
    const QString page = m_pages->FetchPage(url, kPageFile, &outcome);
    if (!outcome.ok()) {
        ClearReplayDetail();  // never the previous replay's details under this row
        LastItemIndex = 0;    // nothing shown: a second click tries again
        return;
    }
    if (dota) {
        ShowDotaReplayDetail(page);
        return;
    }
    ShowMeleeReplayDetail(page);

    // A replay downloaded earlier (under any time prefix) plays at once when its
    // map is there too.
    const QString replayName = ReplayNameOf(Text8->text());
    TargetPath = ReplaySearchPattern(GameFolder, replayName);
    const DownloadedReplay onDisk = FindDownloadedReplay(GameFolder, replayName, Text10->text());
    if (!onDisk.onDisk)
        return;
    ReplayPath = onDisk.replayPath;
    Command3->setEnabled(true);
}

void Form1::ShowMeleeReplayDetail(const QString &page)
{
    if (SiteMode != u"War3")
        return;
    const MeleeDetail d = ParseMeleeDetail(page, m_roots.melee);

    WebBrowser1->Navigate(QStringLiteral("about:blank"));
    WebBrowser1->WriteDocument(MeleeMinimapDocument(BoxText(Text13), d.minimapUrl));
    Text2->setText(d.mapName);
    Text3->setText(d.time);
    Text4->setText(d.players);
    Text5->setText(d.version);
    Text6->setPlainText(d.commentary);

    QLabel *const sources[] = {Picture1, Picture2, Picture3, Picture4};
    QLabel *const emblems[] = {Picture5, Picture6};
    QLabel *const nameSlots[2][3] = {{Label1, Label10, Label11}, {Label12, Label13, Label14}};
    for (int team = 0; team < 2; ++team) {
        const MeleeTeam &t = d.teams.at(team);
        if (t.emblem != RaceEmblem::Keep)
            emblems[team]->setPixmap(sources[int(t.emblem) - 1]->pixmap());
        for (int slot = 0; slot < 3; ++slot)
            if (t.names.at(slot))
                nameSlots[team][slot]->setText(*t.names.at(slot));
    }

    Text8->setText(d.replayUrl);
    Text9->setText(d.mapUrl);
    Text10->setText(d.mapPath);
}

void Form1::ClearReplayDetail()
{
    for (QLineEdit *box : {Text2, Text3, Text4, Text5, Text8, Text9, Text10})
        box->clear();
    Text6->clear();
    Label17->hide();  // also when Text10 was empty already: no map to miss
    for (QLabel *l : {Picture5, Picture6, Label1, Label10, Label11, Label12, Label13, Label14})
        l->clear();
    WebBrowser1->Navigate(QStringLiteral("about:blank"));
    WebBrowser1->WriteDocument(BoxText(Text13));
    if (SiteMode == u"dota")
        WebBrowser2->Navigate(QStringLiteral("about:blank"));
}
