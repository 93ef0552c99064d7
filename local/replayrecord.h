#pragma once
// What the local library keeps of one replay file: the few facts its list, its
// search and its duplicate check need, taken once from the reader's result.
#include "details/replayfile.h"
#include "local/localreplays.h"

#include <QString>

// Raised whenever ReplayRecordOf takes more from the reader: rows kept by an
// older one are read again on the next open. 2: the chat of a whole read.
constexpr int kReplayRecordVersion = 2;

// Longest chat text kept per replay, in characters.
constexpr int kRecordMaxChat = 64 * 1024;

struct ReplayRecord {
    QString name;             // file name in the replay folder; never a path
    qint64 size = 0;          // bytes of the file when it was read
    qint64 modifiedMs = 0;    // its modified time, ms since the epoch
    int recordVersion = kReplayRecordVersion;
    bool readable = false;
    QString matchup;          // "人族 VS 兽族" (MatchupText)
    QString players;          // "Sky VS Moon" (PlayersText)
    QString map;              // the map's file name, "(4)TwistedMeadows.w3x"
    QString gameName;
    QString names;            // every named player, observers too, one per line, slot order
    QString teamRaces;        // race letters (H O N U R, ? unknown) of each team, teams in order, "|" between
    QString chat;             // the chat messages' text, one per line
    quint32 seed = 0;
    qint64 lengthMs = 0;
    int version = 0;
    QString gameKey;          // the same game in every player's copy; empty when unreadable

    bool sameStamp(qint64 bytes, qint64 modified) const { return size == bytes && modifiedMs == modified; }
};

// The one place that reads the reader's result: the record of the file `name`
// of `size` bytes modified at `modifiedMs`, from a whole read (ReplayDepth::Whole:
// the chat; a damaged file is unreadable).
ReplayRecord ReplayRecordOf(const QString &name, qint64 size, qint64 modifiedMs, const ReplayInfo &info);

// The row the list shows of a record; `copies` > 1 adds the count of the game's
// copies to the players' cell: "Sky VS Moon（2 份）".
LocalReplayRow LocalReplayRowOf(const ReplayRecord &record, int copies = 1);

// The letter of a race in teamRaces: H O N U R, '?' for an unknown race.
QChar RaceLetter(ReplayRace race);
