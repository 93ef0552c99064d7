#pragma once
// Turns the text of one replay listing page into list rows. No widgets here:
// the window appends the rows (and their detail URLs) itself.
#include <QList>
#include <QString>

struct ListingRow {
    QString matchup;   // race matchup (melee) or the fixed DotA team text
    QString players;   // players (melee) or title (DotA)
    QString map;       // map name; always empty for DotA
    QString time;
    int icon = 0;      // 0 none, 1 gold crown, 2 silver crown
    QString detailUrl; // address of the replay's detail page
    bool hasDetailUrl = false;  // the page named one (a DotA row without its path gets the bare root)
};
// Strings and plain values only: a growing row list may move its rows as bytes.
Q_DECLARE_TYPEINFO(ListingRow, Q_RELOCATABLE_TYPE);

// Rows of a melee listing page, in page order; a page without items gives none.
QList<ListingRow> ParseMeleeListing(const QString &page);

// Rows of a DotA listing page, in page order. The page's detail paths are
// relative; `dotaSiteRoot` (no trailing slash) is put in front of them.
QList<ListingRow> ParseDotaListing(const QString &page, const QString &dotaSiteRoot);
