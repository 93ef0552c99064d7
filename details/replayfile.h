#pragma once
// Reads a Warcraft III replay file (.w3g, or a NetEase .nwg that carries one) from
// its bytes: the header, the compressed data blocks and, from the decompressed
// data, the game name, the map path, the players and the slot table; a whole read
// also walks the game itself (actions, chat, leaves; see replaygame.h). Pure: no
// file access, no widgets. Replay files come from anywhere, so every size and
// count in them is checked against the bytes really there and fixed limits.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// Longest decompressed data read from one replay (a real one is a few MB at most).
constexpr qint64 kReplayMaxDecompressed = 16 * 1024 * 1024;
// Longest name kept, in bytes of the file, before decoding.
constexpr int kReplayMaxNameBytes = 64;
// Longest game name, map path and chat line kept, in bytes of the file.
constexpr int kReplayMaxTextBytes = 260;
// Most chat lines kept of one game.
constexpr int kReplayMaxChatLines = 5000;
// Longest stretch of leading bytes searched for the replay inside a NetEase file.
constexpr qsizetype kReplayMaxWrapperBytes = 4 * 1024 * 1024;

enum class ReplayRace { Unknown, Human, Orc, NightElf, Undead, Random };

// The race of a slot's race flags (0x01 human, 0x02 orc, 0x04 night elf,
// 0x08 undead, 0x20 random; 0x40 "fixed" is ignored).
ReplayRace ReplayRaceFromFlags(int flags);

// What became of a read.
enum class ReplayStatus {
    Read,         // read
    NotReplay,    // no replay in the bytes, or cut short
    Corrupt,      // a checksum that does not match, a block that does not inflate, sizes that contradict
    Unsupported,  // whole and intact, but laid out in a way this reader does not know
};
// What the pane says of a status: "" for Read, otherwise a Chinese sentence.
QString ReplayStatusText(ReplayStatus status);

enum class ReplayResult { Unknown, Won, Lost };
enum class ReplayChannel { All, Allies, Observers, Private };

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
    QString name;        // empty for computers; the full BattleTag where the file has it
    int team = 0;        // raw team number of the slot
    int colour = 0;      // the slot's colour number (ReplayColourHex)
    ReplayRace race = ReplayRace::Unknown;
    bool observer = false;
    bool computer = false;

    // Filled by a whole read only.
    qint64 actions = 0;        // counted actions while in the game (replaygame.h)
    int apm = 0;               // actions per minute over the time in the game
    QList<int> apmPerMinute;   // actions in each minute of that time
    qint64 leftAtMs = -1;      // game time of the leave record; -1 without one
    ReplayResult result = ReplayResult::Unknown;
};

struct ReplayChatLine {
    qint64 timeMs = 0;
    int playerId = 0;
    QString sender;      // the player's name at the time of the read
    ReplayChannel channel = ReplayChannel::All;
    int toSlot = -1;     // the addressee's slot for Private
    QString text;        // as the file holds it: untrusted text
};

struct ReplayInfo {
    ReplayStatus status = ReplayStatus::NotReplay;
    bool readable = false;         // status == Read
    bool wrapped = false;          // found inside a NetEase wrapper ("GRBN")

    // Header
    quint32 headerSize = 0;
    quint32 compressedSize = 0;    // the whole replay as the header announces it
    quint32 headerVersion = 0;     // 0 up to 1.06, 1 from 1.07 on
    quint32 decompressedSize = 0;
    quint32 blockCount = 0;
    QByteArray product;            // "WAR3" or "W3XP" (header version 1), else empty
    int version = 0;               // 24 for 1.24; 10032 for 1.32 (ReplayVersionText)
    int build = 0;
    int flags = 0;                 // 0x8000 multiplayer
    qint64 lengthMs = 0;
    quint32 crc = 0;               // as stored; checked

    // Decompressed data
    QString hostName;
    QString gameName;
    QString mapPath;               // as the file names it, with "\"; untrusted text
    int slotRecordCount = 0;       // "player count" field before the player list
    quint32 gameType = 0;
    quint32 languageId = 0;
    QList<ReplaySlot> slotTable;
    quint32 randomSeed = 0;
    int gameSpeed = 2;             // the settings' first byte: 0 slow, 1 normal, 2 fast
    int selectMode = 0;
    int startSpotCount = 0;

    // Slots that are used (status 2), in slot order, with their names.
    QList<ReplayPlayer> players;

    // Filled by a whole read only.
    bool whole = false;            // every block inflated and the game walked
    bool walkComplete = false;     // the walk reached the end of the data without an unknown record
    qint64 endMs = 0;              // game time of the last time slot
    int winningTeam = -1;          // raw team number; -1 unknown (never guessed)
    QList<ReplayChatLine> chat;
};

enum class ReplayDepth {
    Opening,  // header and the blocks up to the slot table: what a list row needs
    Whole,    // every block, and the game walked
};

// Never fails: anything that is not a whole, intact replay gives an info with
// readable == false and a status saying why. Time and memory are bounded by the
// input's size and kReplayMaxDecompressed.
ReplayInfo ReadReplay(QByteArrayView bytes, ReplayDepth depth = ReplayDepth::Opening);

// Where the replay starts in `bytes`: 0 for a plain .w3g, further in for a
// NetEase file; -1 when there is none.
qsizetype ReplayStartIn(QByteArrayView bytes);
// Whether `head` (the first bytes of a file) starts a NetEase file ("GRBN"),
// whose replay sits further in.
bool IsNetEaseReplay(QByteArrayView head);

// The checksums a replay carries. The header's: the CRC-32 of the header with its
// last four bytes (the checksum's own place) as zeros. A block's: in its low half
// the folded CRC-32 of the block's header (checksum as zeros), in its high half
// that of its compressed bytes.
quint32 ReplayHeaderChecksum(QByteArrayView header);
quint32 ReplayBlockChecksum(QByteArrayView blockHeader, QByteArrayView compressed);

// The "encoded string" of the game settings: a mask byte before each group of up
// to seven bytes; a byte whose mask bit is clear was stored one higher.
QByteArray DecodeReplayString(QByteArrayView encoded);
QByteArray EncodeReplayString(QByteArrayView plain);  // never yields a 0 byte

// The one rule for the texts of a replay (names, game name, map path, chat), for
// the reader and the demo writer alike: before 1.24 the game wrote them in the
// system's code page, which for the Chinese players these replays come from is
// code page 936; from 1.24 on it wrote UTF-8.
bool ReplayTextsInCodePage936(int version);
// Decodes at most `maxBytes` bytes by that rule; a character cut by the limit is
// dropped, control characters are removed (the text is only ever shown).
QString DecodeReplayText(QByteArrayView raw, int version, int maxBytes = kReplayMaxTextBytes);
QByteArray EncodeReplayText(const QString &text, int version);

// The version as players write it: "1.24" for 24, "1.07" for 7; from 10030 on the
// header holds 10000 + the minor number: "1.30.2+" for 10030, "1.31", "1.32",
// "2.00" for 10100.
QString ReplayVersionText(int version);
// The game version of a replay version: major, minor and the lowest patch it
// needs ({1, 30, 2} for 10030, {1, 24, 0} for 24, {2, 0, 0} for 10100).
struct ReplayGameVersion {
    int major = 0, minor = 0, patch = 0;
};
ReplayGameVersion ReplayGameVersionOf(int version);
// "m:ss" below an hour, "h:mm:ss" from an hour on; negative lengths count as 0.
QString ReplayLengthText(qint64 ms);
// "人族", "兽族", "暗夜精灵", "不死", "随机"; empty for Unknown.
QString RaceText(ReplayRace race);
// "#FF0303" for colour 0 (red) ... the game's 24 player colours; grey beyond.
QString ReplayColourHex(int colour);
// "人族 VS 兽族": the teams in order of their team number, the players of a team
// joined by " & "; observers and empty slots are left out.
QString MatchupText(const ReplayInfo &info);
// "Sky VS Moon", grouped like MatchupText.
QString PlayersText(const ReplayInfo &info);
