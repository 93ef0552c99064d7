#include "local/librarysearch.h"

#include <algorithm>

namespace {
bool isVs(const QString &word)
{
    return word.compare(QLatin1String("vs"), Qt::CaseInsensitive) == 0;
}

bool teamHas(const QString &team, QChar race)
{
    return team.contains(race);
}

bool hasMatchup(const QStringList &teams, QChar a, QChar b)
{
    for (qsizetype i = 0; i < teams.size(); ++i)
        for (qsizetype j = 0; j < teams.size(); ++j)
            if (i != j && teamHas(teams.at(i), a) && teamHas(teams.at(j), b))
                return true;
    return false;
}
} // namespace

QChar RaceOfWord(const QString &word)
{
    static const struct { const char *word; char16_t race; } races[] = {
        {"人族", u'H'}, {"兽族", u'O'}, {"暗夜精灵", u'N'}, {"暗夜", u'N'}, {"不死族", u'U'}, {"不死", u'U'}, {"随机", u'R'},
        {"h", u'H'}, {"o", u'O'}, {"n", u'N'}, {"u", u'U'}, {"r", u'R'}};
    for (const auto &r : races)
        if (word.compare(QString::fromUtf8(r.word), Qt::CaseInsensitive) == 0)
            return QChar(r.race);
    return {};
}

LibrarySearch ParseLibrarySearch(const QString &input)
{
    QString text = input;
    text.replace(QChar(0x3000), u' ');  // the ideographic blank of Chinese input
    QStringList tokens = text.simplified().split(u' ', Qt::SkipEmptyParts);
    // "人族VS兽族" in one word: split at its "VS" when both sides are races.
    QStringList split;
    for (const QString &t : std::as_const(tokens)) {
        const qsizetype at = t.indexOf(QLatin1String("vs"), 0, Qt::CaseInsensitive);
        if (at > 0 && at + 2 < t.size() && !RaceOfWord(t.left(at)).isNull() && !RaceOfWord(t.mid(at + 2)).isNull())
            split << t.left(at) << t.mid(at, 2) << t.mid(at + 2);
        else
            split << t;
    }
    LibrarySearch s;
    for (qsizetype i = 0; i < split.size(); ++i) {
        if (i + 2 < split.size() && isVs(split.at(i + 1))) {
            const QChar a = RaceOfWord(split.at(i)), b = RaceOfWord(split.at(i + 2));
            if (!a.isNull() && !b.isNull()) {
                s.matchups.append({a, b});
                i += 2;
                continue;
            }
        }
        if (!isVs(split.at(i)))  // "Sky VS Moon": both players, as the list writes them
            s.words.append({split.at(i), RaceOfWord(split.at(i))});
    }
    return s;
}

bool MatchesLibrarySearch(const ReplayRecord &record, const LibrarySearch &search)
{
    if (!search.matchups.isEmpty()) {
        const QStringList teams = record.teamRaces.split(u'|');
        for (const auto &m : search.matchups)
            if (!hasMatchup(teams, m.first, m.second))
                return false;
    }
    for (const LibrarySearch::Word &word : search.words) {
        if (!word.race.isNull() && record.teamRaces.contains(word.race))
            continue;
        // A single letter is a race and nothing else: "o" is in nearly every name.
        if (word.text.size() == 1 && !word.race.isNull())
            return false;
        const QString *fields[] = {&record.names, &record.map, &record.gameName, &record.chat};
        if (std::none_of(std::begin(fields), std::end(fields),
                         [&](const QString *f) { return f->contains(word.text, Qt::CaseInsensitive); }))
            return false;
    }
    return true;
}
