#include "details/detailpane.h"

#include "app/form1.h"
#include "app/webpane.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

DetailPane::DetailPane(Form1 &form)
    : m_form(form), m_map(form.Text2), m_time(form.Text3), m_players(form.Text4), m_version(form.Text5),
      m_commentary(form.Text6), m_replayUrl(form.Text8), m_mapUrl(form.Text9), m_mapPath(form.Text10),
      m_mapMissing(form.Label17), m_emblemSources{form.Picture1, form.Picture2, form.Picture3, form.Picture4},
      m_emblems{form.Picture5, form.Picture6},
      m_names{{{form.Label1, form.Label10, form.Label11}, {form.Label12, form.Label13, form.Label14}}},
      m_minimap(form.WebBrowser1), m_dotaPane(form.WebBrowser2)
{
}

void DetailPane::setFields(const QString &map, const QString &time, const QString &players, const QString &version,
                           const QString &commentary)
{
    m_map->setText(map);
    m_time->setText(time);
    m_players->setText(players);
    m_version->setText(version);
    m_commentary->setPlainText(commentary);
}

void DetailPane::setDownloadFields(const QString &replayUrl, const QString &mapUrl, const QString &mapPath)
{
    m_replayUrl->setText(replayUrl);
    m_mapUrl->setText(mapUrl);
    m_mapPath->setText(mapPath);
    if (mapPath.isEmpty())
        m_mapMissing->hide();  // also when the path was empty already: no map to miss
}

void DetailPane::clearTeams()
{
    for (int team = 0; team < 2; ++team) {
        m_emblems[team]->clear();
        for (QLabel *name : m_names[team])
            name->clear();
    }
}

void DetailPane::showEmblem(int team, RaceEmblem emblem)
{
    if (emblem != RaceEmblem::Keep)
        m_emblems[team]->setPixmap(m_emblemSources[int(emblem) - 1]->pixmap());
}

void DetailPane::clear()
{
    m_mapShown.clear();
    m_mapWire.clear();
    setFields({}, {}, {}, {}, {});
    setDownloadFields({}, {}, {});
    clearTeams();
    m_minimap->Navigate(QStringLiteral("about:blank"));
    m_minimap->WriteDocument(Form1::BoxText(m_form.Text13));
    if (!m_dotaPane->isHidden())
        m_dotaPane->Navigate(QStringLiteral("about:blank"));
}

void DetailPane::showMelee(const MeleeDetail &d, const QString &minimapScript)
{
    m_mapShown.clear();
    m_mapWire.clear();
    m_minimap->Navigate(QStringLiteral("about:blank"));
    m_minimap->WriteDocument(MeleeMinimapDocument(minimapScript, d.minimapUrl));
    setFields(d.mapName, d.time, d.players, d.version, d.commentary);
    for (int team = 0; team < 2; ++team) {
        const MeleeTeam &t = d.teams.at(team);
        showEmblem(team, t.emblem);  // a race word none of the four keeps the emblem shown
        for (int slot = 0; slot < 3; ++slot)
            if (t.names.at(slot))  // a slot the page has no item for keeps its name
                m_names[team][slot]->setText(*t.names.at(slot));
    }
    setDownloadFields(d.replayUrl, d.mapUrl, d.mapPath);
}

void DetailPane::showDota(const DotaDetail &d, const QString &mapUrl, const QString &mapWireUrl,
                          const QString &minimapDocument, const QString &playerDocument)
{
    m_dotaPane->SetSilent(true);
    m_dotaPane->SetStayOnDocument(true);
    m_dotaPane->Navigate(QStringLiteral("about:blank"));
    clearTeams();
    m_mapShown = mapUrl;
    m_mapWire = mapWireUrl;
    setFields(d.mapName, d.time, d.players, d.version, d.commentary);
    setDownloadFields(d.replayUrl, mapUrl, d.mapPath);
    m_minimap->Navigate(QStringLiteral("about:blank"));
    m_minimap->WriteDocument(minimapDocument);
    m_dotaPane->WriteDocument(playerDocument);
}

void DetailPane::showLocal(const LocalPaneDetail &d)
{
    m_mapShown.clear();
    m_mapWire.clear();
    m_minimap->Navigate(QStringLiteral("about:blank"));
    // The map's own picture, inline: nothing is fetched for a replay on disk.
    const QString script = Form1::BoxText(m_form.Text13);
    m_minimap->WriteDocument(d.minimapUrl.isEmpty() ? script : MeleeMinimapDocument(script, d.minimapUrl));
    m_dotaPane->SetSilent(true);
    m_dotaPane->SetStayOnDocument(true);
    m_dotaPane->Navigate(QStringLiteral("about:blank"));
    m_dotaPane->WriteDocument(d.analysis);
    setFields(d.mapName, d.length, d.playerCount, d.version, d.summary);
    for (int team = 0; team < 2; ++team) {
        const LocalPaneTeam &t = d.teams[size_t(team)];
        if (t.emblem == RaceEmblem::Keep && !t.present)
            m_emblems[team]->clear();  // no such team: no emblem of another replay beside no names
        showEmblem(team, t.emblem);
        for (int slot = 0; slot < 3; ++slot)
            m_names[team][slot]->setText(t.names[size_t(slot)]);
    }
    setDownloadFields({}, {}, {});  // nothing to download for a replay on disk
}

QString DetailPane::mapFetchUrl() const
{
    const QString shown = m_mapUrl->text();
    return !m_mapWire.isEmpty() && shown == m_mapShown ? m_mapWire : shown;
}
