// The DotA detail pane: fields, map lookup in the site's download index, the
// minimap and the player data in the DotA pane's template.
#include "app/form1.h"

#include "app/webpane.h"
#include "details/dotadetail.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

void Form1::ShowDotaReplayDetail(const QString &page)
{
    WebBrowser2->SetSilent(true);
    WebBrowser2->SetStayOnDocument(true);
    WebBrowser2->Navigate(QStringLiteral("about:blank"));

    // No page (the fetch failed): empty fields and a blank pane, never the previous replay.
    if (page.isEmpty()) {
        for (QLineEdit *box : {Text2, Text3, Text4, Text5, Text8, Text9, Text10})
            box->clear();
        Text6->clear();
        Text10_Change();
        return;
    }

    const DotaDetail d = ParseDotaDetail(page, m_roots.dota);
    // A DotA replay has no melee teams: emblems and names shown before are not its own.
    for (QLabel *l : {Picture5, Picture6, Label1, Label10, Label11, Label12, Label13, Label14})
        l->clear();
    Text10->setText(d.mapPath);
    Text10_Change();
    Text2->setText(d.mapName);
    Text3->setText(d.time);
    Text4->setText(d.players);
    Text5->setText(d.version);
    Text8->setText(d.replayUrl);

    // The index is fetched once per run; a failed fetch leaves no file, so the
    // next DotA detail tries again.
    QString folder;
    if (!d.mapName.isEmpty()) {
        if (!m_pages->exists(kIndexPageFile))
            m_pages->URLDownloadToFile(m_roots.dota + QStringLiteral("/download/"), kIndexPageFile);
        folder = DotaMapFolder(m_pages->ReadFile(kIndexPageFile), d.mapName);
    }
    // Without a folder there is no address to fetch the map from (the download
    // refuses an empty field); the map path stays, a copy on disk may serve.
    Text9->setText(folder.isEmpty() ? QString() : DotaMapUrl(m_roots.dotaMap, folder, d.mapName));

    WebBrowser1->Navigate(QStringLiteral("about:blank"));
    WebBrowser1->WriteDocument(DotaMinimapDocument(m_roots.dota));
    Text6->setPlainText(d.commentary);
    WebBrowser2->WriteDocument(FillDotaTemplate(BoxText(Dota_css), d.playerData));

    if (folder.isEmpty())
        m_platform.dialogs->MsgBox(this, DotaMapMissingMessage(d.mapName), QString());
}
