// The game walk: time slots and their command blocks, chat, leave records.
#include "details/replaygame.h"

#include "details/replaybytes.h"

#include <map>
#include <set>

namespace {
// Top-level records after the slot table.
constexpr int kLeave = 0x17;
constexpr int kTimeSlotOld = 0x1E;
constexpr int kTimeSlot = 0x1F;
constexpr int kChat = 0x20;
constexpr int kChecksum = 0x22;
// Before 1.07 replays held no chat, and their checksum records had the id 0x20.
constexpr int kFirstChatVersion = 7;

// Leave reasons and results.
constexpr quint32 kClosedByLocalGame = 0x0C;
constexpr quint32 kResultLost = 0x08;
constexpr quint32 kResultWon = 0x09;
constexpr quint32 kResultDraw = 0x0A;

// A game played at normal speed: its time slots count real milliseconds, while the
// game's clock, the header's length among them, runs at four fifths of that (a 2.0
// game: 56.9 s of slots, 45.5 s long). Leave times, chat times and APM follow the
// game's clock, like the length beside them. No slow game was seen: its slots are
// taken as they are.
constexpr int kNormalSpeed = 1;

constexpr qint64 kMinute = 60 * 1000;
constexpr qint64 kShortestLastMinute = 10 * 1000;
// Most minutes kept in a series (a day; the game clock of a hostile file may run on).
constexpr qint64 kMaxMinutes = 24 * 60;

// The length of the action at the start of `a` (its id included), or -1 when the
// id is unknown or the action runs past the block. `version` is the header's.
qsizetype actionLength(QByteArrayView a, int id, int version)
{
    const bool modern = version >= 10000;
    const int v = modern ? 100 : version;
    const qsizetype order = 1 + (v >= 13 ? 2 : 1) + 4 + (v >= 7 ? 8 : 0);
    const auto withString = [&](qsizetype fixed, int strings) -> qsizetype {
        qsizetype at = fixed;
        for (int k = 0; k < strings; ++k) {
            const qsizetype end = a.indexOf('\0', at);
            if (end < 0)
                return -1;
            at = end + 1;
        }
        return at;
    };
    switch (id) {
    case 0x01: case 0x02: case 0x04: case 0x05: return 1;
    case 0x03: return 2;
    case 0x06: return withString(1, 1);
    case 0x07: return 5;
    case 0x10: return order;
    case 0x11: return order + 8;
    case 0x12: return order + 16;
    case 0x13: return order + 24;
    case 0x14: return order + 8 + 4 + 9 + 8;
    case 0x16: case 0x17:
        return a.size() < 4 ? -1 : 4 + 8 * (quint8(a[2]) | quint8(a[3]) << 8);
    case 0x18: return 3;
    case 0x19: return v >= 14 ? 13 : 2;
    case 0x1A: return 1;
    case 0x1B: return 10;
    case 0x1C: return 10;
    case 0x1D: return 9;
    case 0x1E: return 6;
    case 0x21: return 9;
    case 0x20: case 0x22: case 0x23: case 0x24: case 0x25: case 0x26: case 0x29: case 0x2A:
    case 0x2B: case 0x2C: case 0x2F: case 0x30: case 0x31: case 0x32:
        return 1;  // cheats without a value
    case 0x27: case 0x28: case 0x2D: return 6;
    case 0x2E: return 5;
    case 0x50: return 6;
    case 0x51: return 10;
    case 0x60: return withString(9, 1);
    case 0x61: return 1;
    case 0x62: return 13;
    case 0x66: case 0x67: return 1;
    case 0x68: return 13;
    case 0x69: case 0x6A: return 17;
    case 0x6B: {
        const qsizetype strings = withString(1, 3);
        return strings < 0 ? -1 : strings + 4;
    }
    case 0x65: return 1;  // old files: a menu opened
    case 0x75: return 2;
    case 0x7B: return 17;  // 1.32 on: an object, an order and a unit type, sent with orders
    default: return -1;
    }
}

// Before 1.14b the game had no pre-subselection and no 0x1B: its ground item,
// revival and queue actions had the ids 0x1A-0x1C.
int currentId(int id, int version)
{
    const bool before114b = version < 14;
    return before114b && id >= 0x1A && id <= 0x1C ? id + 2 : id;
}

// Whether an action counts (see the APM rule in replaygame.h).
bool counts(int id, int previous)
{
    switch (id) {
    case 0x10: case 0x11: case 0x12: case 0x13: case 0x14:
    case 0x16: case 0x17: case 0x18:
    case 0x1C: case 0x1D: case 0x1E:
    case 0x50: case 0x51: case 0x61: case 0x66: case 0x67: case 0x68:
        return true;
    case 0x19:
        return previous != 0x1A;
    default:
        return false;
    }
}

struct PlayerWalk {
    int index = -1;                // in info.players
    qint64 leftAt = -1;
    std::map<qint64, int> perMinute;
    qint64 actions = 0;
};

class Walk {
public:
    explicit Walk(ReplayInfo &info) : m_info(info)
    {
        for (int i = 0; i < info.players.size(); ++i) {
            const ReplayPlayer &p = info.players.at(i);
            if (!p.computer)
                m_players[p.id].index = i;
        }
    }

    void run(QByteArrayView data)
    {
        ReplayCursor c(data);
        bool known = true;
        while (known && c.left() > 0) {
            const int record = c.u8();
            switch (record) {
            case 0x1A: case 0x1B: case 0x1C:
                c.take(4);
                break;
            case kTimeSlotOld:
            case kTimeSlot: {
                QByteArrayView slot;
                c.take(c.u16(), &slot);
                timeSlot(slot);
                break;
            }
            case kLeave: {
                const quint32 reason = c.u32();
                const int id = c.u8();
                const quint32 result = c.u32();
                c.u32();
                if (!c.failed())
                    leave(reason, id, result);
                break;
            }
            case kChat: {
                if (m_info.version < kFirstChatVersion) {
                    c.take(c.u8());
                    break;
                }
                const int id = c.u8();
                QByteArrayView body;
                c.take(c.u16(), &body);
                if (!c.failed())
                    chat(id, body);
                break;
            }
            case kChecksum:
                c.take(c.u8());
                break;
            case 0x23:
                c.take(10);
                break;
            case 0x2F:
                c.take(8);
                break;
            case 0x00:
                // The last block is padded with zeros: the game's records end here.
                m_info.walkComplete = true;
                known = false;
                break;
            default:
                known = false;
                break;
            }
        }
        if (known && !c.failed())
            m_info.walkComplete = true;
        finish();
    }

private:
    void timeSlot(QByteArrayView slot)
    {
        ReplayCursor c(slot);
        m_slotTime += c.u16();
        m_time = m_info.gameSpeed == kNormalSpeed ? m_slotTime * 4 / 5 : m_slotTime;
        while (c.left() > 0) {
            const int id = c.u8();
            QByteArrayView actions;
            c.take(c.u16(), &actions);
            if (c.failed())
                break;
            const auto it = m_players.find(id);
            if (it != m_players.end() && it->second.leftAt < 0)
                commands(it->second, actions);
        }
    }

    void commands(PlayerWalk &p, QByteArrayView block)
    {
        qsizetype at = 0;
        int previous = -1;
        while (at < block.size()) {
            const QByteArrayView rest = block.sliced(at);
            const int id = currentId(quint8(rest[0]), m_info.version);
            const qsizetype length = actionLength(rest, quint8(rest[0]), m_info.version);
            if (length <= 0 || length > rest.size())
                return;  // an action this reader does not know: the rest of the block is skipped
            if (counts(id, previous)) {
                ++p.actions;
                const qint64 minute = m_time / kMinute;
                if (minute < kMaxMinutes)
                    ++p.perMinute[minute];
            }
            previous = id;
            at += length;
        }
    }

    void leave(quint32 reason, int id, quint32 result)
    {
        const auto it = m_players.find(id);
        if (it == m_players.end() || it->second.leftAt >= 0)
            return;
        it->second.leftAt = m_time;
        const ReplayPlayer &p = m_info.players.at(it->second.index);
        if (p.observer || m_decided)
            return;
        if (result == kResultDraw) {
            m_decided = true;  // no winner
            return;
        }
        if (result == kResultWon) {
            m_info.winningTeam = p.team;
            m_decided = true;
            return;
        }
        // The recording player's game closing ends the recording for everyone:
        // those leaves tell nothing of who won, unless the record says lost.
        if (reason == kClosedByLocalGame && result != kResultLost) {
            m_recordingEnded = true;
            return;
        }
        if (m_recordingEnded)
            return;
        m_out.insert(id);
        decideByTeamsLeft();
    }

    void decideByTeamsLeft()
    {
        std::set<int> teams, teamsIn;
        for (const ReplayPlayer &p : std::as_const(m_info.players)) {
            if (p.observer)
                continue;
            teams.insert(p.team);
            if (p.computer || !m_out.count(p.id))
                teamsIn.insert(p.team);
        }
        if (teams.size() >= 2 && teamsIn.size() == 1) {
            m_info.winningTeam = *teamsIn.begin();
            m_decided = true;
        }
    }

    void chat(int id, QByteArrayView body)
    {
        ReplayCursor c(body);
        const int flags = c.u8();
        ReplayChatLine line;
        if (flags == 0x20) {
            const quint32 mode = c.u32();
            line.channel = mode == 0 ? ReplayChannel::All
                         : mode == 1 ? ReplayChannel::Allies
                         : mode == 2 ? ReplayChannel::Observers
                                     : ReplayChannel::Private;
            if (line.channel == ReplayChannel::Private)
                line.toSlot = int(qMin<quint32>(mode - 3, 255));
        } else if (flags != 0x10) {
            return;  // not a message
        }
        const QByteArrayView text = c.cString();
        if (c.failed() || m_info.chat.size() >= kReplayMaxChatLines)
            return;
        line.timeMs = m_time;
        line.playerId = id;
        const auto it = m_players.find(id);
        line.sender = it != m_players.end() ? m_info.players.at(it->second.index).name : QString();
        line.text = DecodeReplayText(text, m_info.version);
        m_info.chat.append(line);
    }

    void finish()
    {
        m_info.endMs = m_time;
        for (auto &[id, w] : m_players) {
            ReplayPlayer &p = m_info.players[w.index];
            p.leftAtMs = w.leftAt;
            p.actions = w.actions;
            const qint64 inGame = qMin(w.leftAt >= 0 ? w.leftAt : m_time, kMaxMinutes * kMinute);
            p.apm = inGame >= 1000 ? int((w.actions * kMinute + inGame / 2) / inGame) : 0;
            const qint64 whole = inGame / kMinute, partial = inGame % kMinute;
            for (qint64 m = 0; m < whole; ++m)
                p.apmPerMinute.append(w.perMinute.count(m) ? w.perMinute.at(m) : 0);
            if (partial >= kShortestLastMinute) {
                const qint64 last = w.perMinute.count(whole) ? w.perMinute.at(whole) : 0;
                p.apmPerMinute.append(int((last * kMinute + partial / 2) / partial));
            }
        }
        for (ReplayPlayer &p : m_info.players) {
            if (p.observer || m_info.winningTeam < 0)
                continue;
            p.result = p.team == m_info.winningTeam ? ReplayResult::Won : ReplayResult::Lost;
        }
    }

    ReplayInfo &m_info;
    std::map<int, PlayerWalk> m_players;  // by player id; computers have none
    std::set<int> m_out;
    qint64 m_slotTime = 0;  // the time slots' own milliseconds
    qint64 m_time = 0;      // the game's clock, as the header's length counts it
    bool m_decided = false;
    bool m_recordingEnded = false;
};
} // namespace

void WalkReplayGame(QByteArrayView data, ReplayInfo &info)
{
    Walk(info).run(data);
}
