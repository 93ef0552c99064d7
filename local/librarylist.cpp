#include "local/librarylist.h"

#include <algorithm>

namespace {
bool newerFirst(const LibraryRow &a, const LibraryRow &b)
{
    if (a.modifiedMs != b.modifiedMs)
        return a.modifiedMs > b.modifiedMs;
    const int folded = a.name.compare(b.name, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a.name < b.name;
}

// The copy to show of one game: the longest game, then the larger file, then by name.
bool better(const ReplayRecord &a, const ReplayRecord &b)
{
    if (a.lengthMs != b.lengthMs)
        return a.lengthMs > b.lengthMs;
    if (a.size != b.size)
        return a.size > b.size;
    return a.name < b.name;
}

bool sameRow(const LibraryRow &a, const LibraryRow &b)
{
    return a.name == b.name && a.copies == b.copies && a.cells.matchup == b.cells.matchup
        && a.cells.players == b.cells.players && a.cells.map == b.cells.map && a.cells.time == b.cells.time;
}
} // namespace

QList<LibraryRow> LibraryRows(const QHash<QString, ReplayRecord> &records, const LibrarySearch &search,
                              QHash<QString, LocalReplayRow> &cells)
{
    struct Group {
        const ReplayRecord *best = nullptr;
        int copies = 0;
    };
    QHash<QString, Group> groups;
    groups.reserve(records.size());
    for (const ReplayRecord &r : records) {
        if (!search.empty() && (!r.readable || !MatchesLibrarySearch(r, search)))
            continue;
        Group &g = groups[r.gameKey.isEmpty() ? QStringLiteral("\x01") + r.name : r.gameKey];
        ++g.copies;
        if (!g.best || better(r, *g.best))
            g.best = &r;
    }
    QList<LibraryRow> rows;
    rows.reserve(groups.size());
    for (auto g = groups.cbegin(); g != groups.cend(); ++g) {
        const ReplayRecord &best = *g->best;
        if (g->copies > 1) {
            rows.append({g.key(), best.name, best.modifiedMs, g->copies, LocalReplayRowOf(best, g->copies)});
            continue;
        }
        auto cell = cells.constFind(best.name);
        if (cell == cells.cend())
            cell = cells.insert(best.name, LocalReplayRowOf(best, 1));
        rows.append({g.key(), best.name, best.modifiedMs, 1, *cell});
    }
    std::sort(rows.begin(), rows.end(), newerFirst);
    return rows;
}

QList<ListEdit> ListEdits(const QList<LibraryRow> &shown, const QList<LibraryRow> &next)
{
    QHash<QString, int> nextAt;
    nextAt.reserve(next.size());
    for (int i = 0; i < next.size(); ++i)
        nextAt.insert(next.at(i).id, i);
    // A row stays where its game and its place in the order stay: the rows kept
    // are then in the same order in both lists.
    QList<ListEdit> edits;
    QHash<QString, int> kept;  // id -> index in `shown`
    for (int i = int(shown.size()) - 1; i >= 0; --i) {
        const LibraryRow &row = shown.at(i);
        const auto at = nextAt.constFind(row.id);
        if (at != nextAt.cend() && next.at(*at).modifiedMs == row.modifiedMs && next.at(*at).name == row.name)
            kept.insert(row.id, i);
        else
            edits.append({ListEdit::Remove, i, -1});
    }
    for (int j = 0; j < next.size(); ++j) {
        const auto at = kept.constFind(next.at(j).id);
        if (at == kept.cend())
            edits.append({ListEdit::Insert, j, j});
        else if (!sameRow(shown.at(*at), next.at(j)))
            edits.append({ListEdit::Change, j, j});
    }
    return edits;
}
