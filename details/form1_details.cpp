// The row click and the melee detail pane.
#include "app/form1.h"

#include "details/detailpane.h"
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

namespace {
const QString kDetailNotFetched = QStringLiteral("未能取得该录像的详细信息！");
}

void Form1::ListView1_ItemClick()
{
    QTreeWidgetItem *item = ListView1->currentItem();
    if (!item)
        return;
    const int index = ListView1->indexOfTopLevelItem(item) + 1;
    // A second click on the row already shown fetches nothing and leaves play as
    // the first click left it: a replay found on disk stays playable, rather than
    // losing its play button to a click that shows the same replay again.
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
    if (!outcome.ok() || page.isEmpty()) {
        LastItemIndex = 0;  // nothing shown: a second click tries again
        ReplayDetailNotFetched();
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
    const DownloadedReplay onDisk = FindDownloadedReplay(GameFolder, replayName, Text10->text());
    if (!onDisk.onDisk)
        return;
    ReplayPath = onDisk.replayPath;
    Command3->setEnabled(true);
}

void Form1::ReplayDetailNotFetched()
{
    // Never the previous replay's details under this row, and a word why.
    m_details->clear();
    m_platform.dialogs->MsgBox(this, kDetailNotFetched, QString());
}

void Form1::ShowMeleeReplayDetail(const QString &page)
{
    if (SiteMode != u"War3")
        return;
    m_details->showMelee(ParseMeleeDetail(page, m_roots.melee), BoxText(Text13));
}

QString Form1::MapFetchUrl() const
{
    return m_details->mapFetchUrl();
}
