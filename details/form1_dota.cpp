// The DotA detail pane: fields, map lookup in the site's download index, the
// minimap and the player data in the DotA pane's template.
#include "app/form1.h"

#include "details/detailpane.h"
#include "details/dotadetail.h"

#include <QPlainTextEdit>

void Form1::ShowDotaReplayDetail(const QString &page)
{
    if (page.isEmpty()) {
        ReplayDetailNotFetched();
        return;
    }
    const DotaDetail d = ParseDotaDetail(page, m_roots.dota);

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
    const bool located = !folder.isEmpty();
    m_details->showDota(d, located ? DotaMapUrl(m_roots.dotaMap, folder, d.mapName) : QString(),
                        located ? DotaMapWireUrl(m_roots.dotaMap, folder, d.mapName) : QString(),
                        DotaMinimapDocument(m_roots.dota), FillDotaTemplate(BoxText(Dota_css), d.playerData));
    Text10_Change();  // the same map path as before sends no change, but the map may have come or gone

    if (!located)
        m_platform.dialogs->MsgBox(this, DotaMapMissingMessage(d.mapName), QString());
}
