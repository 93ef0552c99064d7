#include "local/replayrecord.h"

#include "web/texthelpers.h"
#include "download/gamepath.h"

#include <algorithm>
#include <ctime>

namespace {
// One line per name: a line break in a hostile name must not make two names.
QString oneLine(QString s)
{
    for (QChar &c : s)
        if (c.unicode() < 0x20)
            c = u' ';
    return s;
}
} // namespace

QChar RaceLetter(ReplayRace race)
{
    switch (race) {
    case ReplayRace::Human: return u'H';
    case ReplayRace::Orc: return u'O';
    case ReplayRace::NightElf: return u'N';
    case ReplayRace::Undead: return u'U';
    case ReplayRace::Random: return u'R';
    case ReplayRace::Unknown: break;
    }
    return u'?';
}

ReplayRecord ReplayRecordOf(const QString &name, qint64 size, qint64 modifiedMs, const ReplayInfo &info)
{
    ReplayRecord r;
    r.name = name;
    r.size = size;
    r.modifiedMs = modifiedMs;
    r.readable = info.readable;
    if (!info.readable)
        return r;
    r.matchup = MatchupText(info);
    r.players = PlayersText(info);
    r.map = LastPartOf(info.mapPath);
    r.gameName = oneLine(info.gameName);
    r.seed = info.randomSeed;
    r.lengthMs = info.lengthMs;
    r.version = info.version;

    QStringList names;
    QList<int> teams;
    for (const ReplayPlayer &p : info.players) {
        if (!p.computer)
            names << oneLine(p.name);
        if (!p.observer && !teams.contains(p.team))
            teams.append(p.team);
    }
    std::sort(teams.begin(), teams.end());
    QStringList races(teams.size());
    for (const ReplayPlayer &p : info.players)
        if (!p.observer)
            races[teams.indexOf(p.team)] += RaceLetter(p.race);
    r.names = names.join(u'\n');
    r.teamRaces = races.join(u'|');
    // The chat of a whole read: each message's text on a line, up to kRecordMaxChat.
    QStringList chat;
    qsizetype chatSize = 0;
    for (const ReplayChatLine &line : info.chat) {
        chatSize += line.text.size() + 1;
        if (chatSize > kRecordMaxChat)
            break;
        chat << oneLine(line.text);
    }
    r.chat = chat.join(u'\n');

    // What every player's copy of one game shares; the file's own bytes differ.
    r.gameKey = QString::number(info.randomSeed) + u'\n' + r.gameName + u'\n' + r.names;
    return r;
}

LocalReplayRow LocalReplayRowOf(const ReplayRecord &record, int copies)
{
    LocalReplayRow row;
    if (!record.readable) {
        row.players = ListCellText(record.name + kUnreadableMarker);
        return row;
    }
    row.matchup = ListCellText(record.matchup);
    row.players = ListCellText(record.players);
    if (copies > 1)
        row.players += QStringLiteral("（%1 份）").arg(copies);
    row.map = ListCellText(record.map);
    // "yyyy-MM-dd HH:mm" in local time, through the C library: QDateTime's local
    // time costs twenty times as much, which a list of 10,000 replays feels.
    const time_t seconds = time_t(record.modifiedMs / 1000 - (record.modifiedMs % 1000 < 0 ? 1 : 0));
    tm local{};
#ifdef Q_OS_WIN
    const bool ok = localtime_s(&local, &seconds) == 0;
#else
    const bool ok = localtime_r(&seconds, &local) != nullptr;
#endif
    if (ok)
        row.time = QString::asprintf("%04d-%02d-%02d %02d:%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                     local.tm_hour, local.tm_min);
    return row;
}
