#pragma once
// Reads the details of a Warcraft III replay file (.w3g) from its bytes: the
// header, the compressed data blocks and, from the start of the decompressed
// data, the game name, the map path, the players and the slot table. Pure: no
// file access, no widgets. Replay files come from the web, so every size in them
// is checked against the bytes really there and against fixed limits.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// Longest decompressed data read from one replay (a real one is a few MB at most).
constexpr qint64 kReplayMaxDecompressed = 16 * 1024 * 1024;
// Longest name kept, in bytes of the file, before decoding.
constexpr int kReplayMaxNameBytes = 64;
// Longest game name and map path kept, in bytes of the file.
constexpr int kReplayMaxTextBytes = 260;

enum class ReplayRace { Unknown, Human, Orc, NightElf, Undead, Random };

// The race of a slot's race flags (0x01 human, 0x02 orc, 0x04 night elf,
// 0x08 undead, 0x20 random; 0x40 "fixed" is ignored).
ReplayRace ReplayRaceFromFlags(int flags);

struct ReplaySlot {
    int playerId = 0;
    int downloadPercent = 0;
    int status = 0;      // 0 empty, 1 closed, 2 used
    bool computer = false;
    int team = 0;        // raw value; observers have 12 (24 from version 1.29 on)
    int colour = 0;
    int raceFlags = 0;
    int aiStrength = 0;  // 0 from files before 1.03
    int handicap = 100;  // 100 from files before 1.03
};

struct ReplayPlayer {
    int id = 0;          // player id; 0 for computers
    QString name;        // empty for computers
    int team = 0;        // raw team number of the slot
    ReplayRace race = ReplayRace::Unknown;
    bool observer = false;
    bool computer = false;
};

struct ReplayInfo {
    bool readable = false;

    // Header
    quint32 headerSize = 0;
    quint32 compressedSize = 0;    // the whole file as the header announces it
    quint32 headerVersion = 0;     // 0 up to 1.06, 1 from 1.07 on
    quint32 decompressedSize = 0;
    quint32 blockCount = 0;
    QByteArray product;            // "WAR3" or "W3XP" (header version 1), else empty
    int version = 0;               // 24 for 1.24
    int build = 0;
    int flags = 0;                 // 0x8000 multiplayer
    qint64 lengthMs = 0;
    quint32 crc = 0;               // as stored, not checked

    // Decompressed data
    QString hostName;
    QString gameName;
    QString mapPath;               // as the file names it, with "\"; untrusted text
    int slotRecordCount = 0;       // "player count" field before the player list
    quint32 gameType = 0;
    quint32 languageId = 0;
    QList<ReplaySlot> slotTable;
    quint32 randomSeed = 0;
    int selectMode = 0;
    int startSpotCount = 0;

    // Slots that are used (status 2), in slot order, with their names.
    QList<ReplayPlayer> players;
};

// Never fails: anything that is not a whole, well-formed replay (truncated, not a
// replay, blocks that do not inflate, sizes beyond the file or the limits) gives
// an info with readable == false. Time and memory are bounded by the input's size
// and kReplayMaxDecompressed.
ReplayInfo ReadReplay(QByteArrayView bytes);

// The "encoded string" of the game settings: a mask byte before each group of up
// to seven bytes; a byte whose mask bit is clear was stored one higher.
QByteArray DecodeReplayString(QByteArrayView encoded);
QByteArray EncodeReplayString(QByteArrayView plain);  // never yields a 0 byte

// "1.24" for 24, "1.07" for 7.
QString ReplayVersionText(int version);
// "m:ss" below an hour, "h:mm:ss" from an hour on; negative lengths count as 0.
QString ReplayLengthText(qint64 ms);
// "人族", "兽族", "暗夜精灵", "不死", "随机"; empty for Unknown.
QString RaceText(ReplayRace race);
// "人族 VS 兽族": the teams in order of their team number, the players of a team
// joined by " & "; observers and empty slots are left out.
QString MatchupText(const ReplayInfo &info);
// "Sky VS Moon", grouped like MatchupText.
QString PlayersText(const ReplayInfo &info);
