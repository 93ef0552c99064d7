#pragma once
// The rows the local library shows: its records grouped by game (the copies of
// one game saved by several players are one row), filtered by a search, newest
// first; and the fewest edits that turn the rows shown into new ones, so the
// list keeps its place and selection while files come and go.
#include "local/librarysearch.h"
#include "local/replayrecord.h"

#include <QHash>
#include <QList>
#include <QString>

struct LibraryRow {
    QString id;          // the game key, or the file name of a record without one
    QString name;        // the file name of the copy shown: the longest game
    qint64 modifiedMs = 0;
    int copies = 1;
    LocalReplayRow cells;
};

// Rows of `records` that match `search`: one per game key (unreadable files each
// their own), showing the copy with the longest game (then the larger file, then
// the first name), ordered by that copy's modified time, newest first, then by
// name (letter case aside, then exactly). `cells` caches the cells of a
// single copy per file name; missing ones are added.
QList<LibraryRow> LibraryRows(const QHash<QString, ReplayRecord> &records, const LibrarySearch &search,
                              QHash<QString, LocalReplayRow> &cells);

struct ListEdit {
    enum Kind { Remove, Insert, Change } kind;
    int index;  // in the list as it is when the edit is made
    int row;    // Insert, Change: the index in `next`
};

// Removals (highest index first), then inserts and changes (lowest first): made
// in this order, they turn `shown` into `next`.
QList<ListEdit> ListEdits(const QList<LibraryRow> &shown, const QList<LibraryRow> &next);
