#include "catalogue/listingparser.h"

#include "web/texthelpers.h"

#include <QStringList>

QList<ListingRow> ParseMeleeListing(const QString &page)
{
    const QString marker = QStringLiteral("<ul class=\"replayitem\">");
    QStringList items = page.split(marker, Qt::KeepEmptyParts, Qt::CaseSensitive);
    // Whatever stands before the first item is page head, not a replay.
    items.removeFirst();

    QList<ListingRow> rows;
    rows.reserve(items.size());
    for (const QString &item : std::as_const(items)) {
        ListingRow row;
        const QString firstLink = find(item, QStringLiteral("<a href=\""), QStringLiteral("</li>"));
        row.matchup = find(firstLink, QStringLiteral("\">"), QStringLiteral("</a>"));

        const QString playersCell =
            find(item, QStringLiteral("<li class=\"c_p\">"), QStringLiteral("<li class=\"c_m\">"));
        row.detailUrl =
            find(playersCell, QStringLiteral("<a href=\""), QStringLiteral("\" target=\"_blank"));
        row.hasDetailUrl = !row.detailUrl.isEmpty();
        QString players =
            find(playersCell, QStringLiteral("target=\"_blank\">"), QStringLiteral("</li>"));

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

        row.map = find(item, QStringLiteral("<li class=\"c_m\">"), QStringLiteral("<li class=\"c_t\">"));
        row.map.remove(QStringLiteral("</li>"));
        row.time = find(item, QStringLiteral("<li class=\"c_t\">"), QStringLiteral("</ul>"));
        row.time.remove(QStringLiteral("</li>"));
        rows.append(row);
    }
    return rows;
}

QList<ListingRow> ParseDotaListing(const QString &page, const QString &dotaSiteRoot)
{
    const QString marker = QStringLiteral("<ul class='dotaitem'");
    // The section starts behind the first item marker, so its first piece is
    // already the first item.
    const QString section = find(page, marker, QStringLiteral("<span id=\"labPage\""));
    if (section.isEmpty())
        return {};

    const QStringList items = section.split(marker, Qt::KeepEmptyParts, Qt::CaseSensitive);
    const QString teams = QString::fromUtf8("近卫军团 VS 天灾军团");

    QList<ListingRow> rows;
    rows.reserve(items.size());
    for (const QString &item : items) {
        ListingRow row;
        row.matchup = teams;
        row.players = TrimBlanks(find(item, QStringLiteral(" title=\""), QStringLiteral("\" onclick=\"")));
        const QString path = find(item, QStringLiteral("onclick=\"window.open('"), QStringLiteral("')\"><li class='"));
        row.detailUrl = dotaSiteRoot + path;
        row.hasDetailUrl = !path.isEmpty();
        row.time = find(item, QStringLiteral("it_time'>"), QStringLiteral("</li><li class='it_down'>"));
        if (item.contains(QStringLiteral("images/2.gif")))
            row.icon = 2;
        else if (item.contains(QStringLiteral("images/1.gif")))
            row.icon = 1;
        rows.append(row);
    }
    return rows;
}

QString ListCellText(const QString &text)
{
    constexpr qsizetype kMaxCell = 256;
    if (text.size() <= kMaxCell)
        return text;
    qsizetype keep = kMaxCell - 1;
    if (text.at(keep - 1).isHighSurrogate())
        --keep;  // never half a character
    return text.left(keep) + QChar(0x2026);
}
