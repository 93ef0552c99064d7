#include "catalogue/listingparser.h"

#include "web/texthelpers.h"

#include <QStringMatcher>
#include <QStringView>

// Both parsers walk the page once, item by item, and read each item as a view
// into the page. Cutting the page into copied items first (DotA: copying its
// section out before that) wrote the page out again and read it back after it
// had left the processor cache, so a large page cost more than its share.

QList<ListingRow> ParseMeleeListing(const QString &page)
{
    constexpr QStringView markerText = u"<ul class=\"replayitem\">";
    const QStringMatcher marker(markerText);
    const qsizetype markerSize = markerText.size();
    const QStringView text(page);
    QList<ListingRow> rows;
    // Whatever stands before the first item is page head, not a replay. Each item
    // runs to the next marker, the last one to the end of the page.
    qsizetype at = marker.indexIn(text);
    while (at >= 0) {
        const qsizetype start = at + markerSize;
        at = marker.indexIn(text, start);
        const QStringView item = text.sliced(start, (at < 0 ? text.size() : at) - start);

        ListingRow row;
        const QStringView firstLink = findView(item, u"<a href=\"", u"</li>");
        const QStringView matchup = findView(firstLink, u"\">", u"</a>");
        // The rows of a category page share their matchup: keep one copy of it.
        if (!rows.isEmpty() && rows.constLast().matchup == matchup)
            row.matchup = rows.constLast().matchup;
        else
            row.matchup = matchup.toString();

        const QStringView playersCell = findView(item, u"<li class=\"c_p\">", u"<li class=\"c_m\">");
        row.detailUrl = findView(playersCell, u"<a href=\"", u"\" target=\"_blank").toString();
        row.hasDetailUrl = !row.detailUrl.isEmpty();
        QString players = findView(playersCell, u"target=\"_blank\">", u"</li>").toString();

        // The crown image sits behind the players' link; look before cleaning it away.
        if (players.contains(QStringLiteral("2.gif")))
            row.icon = 2;
        else if (players.contains(QStringLiteral("1.gif")))
            row.icon = 1;
        players.remove(QStringLiteral("</a>"));
        const qsizetype img = players.indexOf(QStringLiteral("<img"));
        if (img >= 0)
            players.truncate(img);
        row.players = players;

        row.map = findView(item, u"<li class=\"c_m\">", u"<li class=\"c_t\">").toString();
        row.map.remove(QStringLiteral("</li>"));
        row.time = findView(item, u"<li class=\"c_t\">", u"</ul>").toString();
        row.time.remove(QStringLiteral("</li>"));
        rows.append(std::move(row));
    }
    return rows;
}

QList<ListingRow> ParseDotaListing(const QString &page, const QString &dotaSiteRoot)
{
    constexpr QStringView markerText = u"<ul class='dotaitem'";
    const QStringMatcher marker(markerText);
    const qsizetype markerSize = markerText.size();
    const QStringMatcher sectionEnd(u"<span id=\"labPage\"");
    const QStringView text(page);
    const QString teams = QString::fromUtf8("近卫军团 VS 天灾军团");

    // The section runs from behind the first item marker to the page-number
    // label; its pieces between markers are the items. The label is looked for
    // within each item as it comes rather than ahead through the whole page, so
    // the page is read once. Neither marker holds a "<" but at its start, so the
    // label never straddles an item marker.
    qsizetype at = marker.indexIn(text);
    if (at < 0)
        return {};
    const qsizetype sectionStart = at + markerSize;
    QList<ListingRow> rows;
    bool ended = false;
    while (!ended) {
        const qsizetype start = at + markerSize;
        at = marker.indexIn(text, start);
        qsizetype end = at < 0 ? text.size() : at;
        const qsizetype label = sectionEnd.indexIn(text.sliced(start, end - start));
        if (label >= 0) {
            end = start + label;
            ended = true;
        } else if (at < 0) {
            return {};  // no page-number label behind the items: no section
        }
        if (ended && end == sectionStart)
            return {};  // the label right behind the first marker: an empty section

        const QStringView item = text.sliced(start, end - start);
        ListingRow row;
        row.matchup = teams;
        row.players = TrimBlanks(findView(item, u" title=\"", u"\" onclick=\"").toString());
        const QStringView path = findView(item, u"onclick=\"window.open('", u"')\"><li class='");
        row.detailUrl = dotaSiteRoot;
        row.detailUrl.append(path);
        row.hasDetailUrl = !path.isEmpty();
        row.time = findView(item, u"it_time'>", u"</li><li class='it_down'>").toString();
        if (item.contains(u"images/2.gif"))
            row.icon = 2;
        else if (item.contains(u"images/1.gif"))
            row.icon = 1;
        rows.append(std::move(row));
    }
    return rows;
}

