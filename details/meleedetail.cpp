#include "details/meleedetail.h"

#include "web/texthelpers.h"

#include <QList>

namespace {

QString bounded(const QString &s, int limit = kMeleeFieldLimit)
{
    return s.size() > limit ? s.left(limit) : s;
}

// The first `count` items of a team list cut at ";" (fewer when the list is
// shorter). The rest of a long list is never needed.
QList<QString> listItems(const QString &list, int count)
{
    QList<QString> items;
    qsizetype from = 0;
    while (items.size() < count) {
        const qsizetype semi = list.indexOf(u';', from);
        if (semi < 0) {
            items.append(list.mid(from));  // the last item, empty behind a final ";"
            break;
        }
        items.append(list.mid(from, semi - from));
        from = semi + 1;
    }
    return items;
}

RaceEmblem emblemOf(const QString &raceWord)
{
    if (raceWord == u"Human")
        return RaceEmblem::Human;
    if (raceWord == u"NightElf")
        return RaceEmblem::NightElf;
    if (raceWord == u"Orc")
        return RaceEmblem::Orc;
    if (raceWord == u"Undead")
        return RaceEmblem::Undead;
    return RaceEmblem::Keep;
}

// A player item names a player when "/" + item holds "/h"; the name is what
// follows its last ",". Any other item clears the slot.
QString playerName(const QString &item)
{
    if (!(QStringLiteral("/") + item).contains(u"/h"))
        return QString();
    return bounded(item.mid(item.lastIndexOf(u',') + 1));
}

MeleeTeam parseTeam(const QString &value)
{
    QString list = value;
    list.remove(QStringLiteral("<li>"));
    list.replace(QStringLiteral("</li>"), QStringLiteral(";"));
    const QList<QString> items = listItems(list, 10);
    MeleeTeam team;
    if (items.size() > 2)
        team.emblem = emblemOf(items.at(2));
    for (int slot = 0; slot < 3; ++slot)
        if (items.size() > 7 + slot)
            team.names[slot] = playerName(items.at(7 + slot));
    return team;
}

} // namespace

MeleeDetail ParseMeleeDetail(const QString &page, const QString &meleeSiteRoot)
{
    MeleeDetail d;
    d.minimapUrl = bounded(meleeSiteRoot + find(page, QStringLiteral("<img id=\"replaymapimage\" src=\""), QStringLiteral("\" width=\"168\"")));
    d.mapName = bounded(find(page, QStringLiteral("<span id=\"ctl00_Content_labUsemap\">"), QStringLiteral("<a id='downmap'")));
    d.time = bounded(find(page, QStringLiteral("ctl00_Content_labTime\">"), QStringLiteral("</span></li><li>游戏人数")));
    d.players = bounded(find(page, QStringLiteral("ctl00_Content_labUserno\">"), QStringLiteral("</span></li><li>游戏版本")));
    d.version = bounded(find(page, QStringLiteral("ctl00_Content_labVer\">"), QStringLiteral("</span></li><li>更新时间")));
    d.commentary = bounded(HtmlToText(find(page, QStringLiteral("<div class=\"pcontent\">"), QStringLiteral("<div style=\"clear:both\">"))),
                           kMeleeCommentaryLimit);
    d.teams[0] = parseTeam(find(page, QStringLiteral("class='dis'>"), QStringLiteral("<ul id='playerdata2")));
    d.teams[1] = parseTeam(find(page, QStringLiteral("<ul id='playerdata2' class='dis'>"), QStringLiteral("<div id=\"pagepart3\"")));
    d.replayUrl = bounded(meleeSiteRoot + QStringLiteral("/Download.aspx?")
                          + find(page, QStringLiteral("/Download.aspx?"), QStringLiteral("\">Download REP")));
    // The arguments of the page's map-download call: id, map folder, map name.
    const QString mapCall = find(page, QStringLiteral("downmap' href=\"javascript:getreplaymap("), QStringLiteral("class='rnmap'"));
    d.mapPath = bounded(QStringLiteral("Maps\\") + find(page, QStringLiteral(">Maps\\"), QStringLiteral("</span></li><li>")));
    const QString mapFile = d.mapPath.mid(d.mapPath.lastIndexOf(u'\\') + 1);
    d.mapUrl = bounded(meleeSiteRoot + QStringLiteral("/ReplayMap/download/") + find(mapCall, QStringLiteral(",'"), QStringLiteral("',"))
                       + QStringLiteral("/") + mapFile);
    return d;
}

QString MeleeMinimapDocument(const QString &script, const QString &pictureUrl)
{
    // toHtmlEscaped leaves the single quote alone, and the attribute is single-quoted.
    const QString attribute = pictureUrl.toHtmlEscaped().replace(u'\'', QStringLiteral("&#39;"));
    return QStringLiteral("<body style='margin:0px;'>") + script + QStringLiteral("<img width='168' height='168' src='") + attribute
        + QStringLiteral("' /></body>");
}
