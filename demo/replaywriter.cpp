// Replay files of the demo data, in the layout the game itself writes.
#include "demo/replaywriter.h"

#include "demo/demopages.h"

#include <QRegularExpression>
#include <QtEndian>

#include <algorithm>
#include <zlib.h>

namespace {
constexpr int kBlockData = 8192;
constexpr int kObserverTeam = 12;

class Out {
public:
    QByteArray bytes;
    void u8(quint32 v) { bytes.append(char(v & 0xFF)); }
    void u16(quint32 v)
    {
        u8(v);
        u8(v >> 8);
    }
    void u32(quint32 v)
    {
        u16(v);
        u16(v >> 16);
    }
    void cString(const QByteArray &s)
    {
        bytes.append(s.left(s.indexOf('\0') < 0 ? s.size() : s.indexOf('\0')));
        u8(0);
    }
};

int raceFlags(ReplayRace race)
{
    switch (race) {
    case ReplayRace::Human: return 0x01;
    case ReplayRace::Orc: return 0x02;
    case ReplayRace::NightElf: return 0x04;
    case ReplayRace::Undead: return 0x08;
    case ReplayRace::Random:
    case ReplayRace::Unknown: break;
    }
    return 0x20;
}

quint32 crc(const QByteArray &b)
{
    return quint32(crc32(0, reinterpret_cast<const Bytef *>(b.constData()), uInt(b.size())));
}


void playerRecord(Out &o, int recordId, int playerId, const QByteArray &name)
{
    o.u8(recordId);
    o.u8(playerId);
    o.cString(name);
    o.u8(1);  // custom game: one byte of extra data
    o.u8(0);
}

void varint(QByteArray &out, quint64 v)
{
    do {
        out.append(char((v & 0x7F) | (v > 0x7F ? 0x80 : 0)));
        v >>= 7;
    } while (v);
}

// One length-delimited protobuf field.
void protoBytes(QByteArray &out, int field, const QByteArray &bytes)
{
    varint(out, quint64(field) << 3 | 2);
    varint(out, quint64(bytes.size()));
    out.append(bytes);
}

// From 1.32 on the classic records keep 15 bytes of a name (whole UTF-8
// characters), the profile record behind them the whole BattleTag.
constexpr int kClassicNameBytes = 15;
constexpr int kFirstProfileVersion = 10032;

QByteArray classicName(const QByteArray &name)
{
    if (name.size() <= kClassicNameBytes)
        return name;
    qsizetype n = kClassicNameBytes;
    while (n > 0 && (quint8(name[n]) & 0xC0) == 0x80)
        --n;  // not through a character
    return name.first(n);
}

// The decompressed stream: opening records, slot table, time timeSlots, leave records.
QByteArray gameData(const DemoReplayDescription &d)
{
    Out o;
    QList<int> ids;
    int host = -1;
    for (int i = 0; i < d.players.size(); ++i) {
        ids.append(i + 1);
        if (host < 0 && !d.players.at(i).computer)
            host = i;
    }
    const bool profiles = d.version >= kFirstProfileVersion;
    const auto fullName = [&](int i) { return EncodeReplayText(d.players.at(i).name, d.version); };
    const auto name = [&](int i) { return profiles ? classicName(fullName(i)) : fullName(i); };
    const QByteArray hostName = host >= 0 ? name(host) : QByteArray();

    o.u32(0x110);
    playerRecord(o, 0x00, host >= 0 ? ids.at(host) : 1, hostName);
    o.cString(EncodeReplayText(d.gameName, d.version));
    o.u8(0);

    const QByteArray mapPath = EncodeReplayText(d.mapPath, d.version);
    Out settings;
    for (int b : {0x02, 0x49, 0x06, 0x40, 0x00})  // speed, visibility, teams, flags
        settings.u8(b);
    settings.u16(116);  // map width and height
    settings.u16(116);
    settings.u32(crc(mapPath) | 1u);  // map checksum
    settings.cString(mapPath);
    settings.cString(hostName);
    settings.u8(0);
    o.cString(EncodeReplayString(settings.bytes));

    o.u32(quint32(d.players.size()));
    o.u32(0x09);  // custom game
    o.u32(0);
    for (int i = 0; i < d.players.size(); ++i) {
        if (i == host || d.players.at(i).computer)
            continue;
        playerRecord(o, 0x16, ids.at(i), name(i));
        o.u32(0);
    }
    if (profiles) {
        // The players' profiles: each its id, whole name, clan and portrait, in field 1.
        QByteArray list;
        for (int i = 0; i < d.players.size(); ++i) {
            if (d.players.at(i).computer)
                continue;
            QByteArray profile;
            varint(profile, 1 << 3);
            varint(profile, quint64(ids.at(i)));
            protoBytes(profile, 2, fullName(i));
            protoBytes(profile, 3, QByteArray());
            protoBytes(profile, 4, QByteArray("p001"));
            protoBytes(list, 1, profile);
        }
        o.u8(0x39);
        o.u8(0x03);
        o.u32(quint32(list.size()));
        o.bytes.append(list);
    }

    const bool longSlots = d.version >= 3;
    const int observerTeam = d.version >= 29 ? 24 : kObserverTeam;
    o.u8(0x19);
    o.u16(quint32(1 + d.players.size() * (longSlots ? 9 : 7) + 6));
    o.u8(quint32(d.players.size()));
    for (int i = 0; i < d.players.size(); ++i) {
        const DemoReplayPlayer &p = d.players.at(i);
        o.u8(ids.at(i));
        o.u8(p.computer ? 0xFF : 100);
        o.u8(2);
        o.u8(p.computer ? 1 : 0);
        o.u8(p.observer ? observerTeam : quint32(p.team));
        o.u8(p.observer ? observerTeam : quint32(i));
        o.u8(p.observer ? 0x60 : raceFlags(p.race));
        if (longSlots) {
            o.u8(p.computer ? 1 : 0);
            o.u8(100);
        }
    }
    o.u32(demopage::mixBits(d.seed));
    o.u8(0);
    o.u8(quint32(d.players.size()));

    for (int k : {0x1A, 0x1B, 0x1C}) {
        o.u8(k);
        o.u32(1);
    }

    // Time slots, each with one player selecting a few units: the object ids make
    // it incompressible, so the file has about the size asked for.
    constexpr int kUnits = 8;
    constexpr int kSlotSize = 1 + 2 + 2 + 1 + 2 + 1 + 1 + 2 + kUnits * 8;
    const qint64 timeSlots = std::clamp<qint64>(d.fillerBytes / kSlotSize, 0, 100000);
    const quint32 step = timeSlots > 0 ? quint32(std::clamp<qint64>(d.lengthMs / timeSlots, 1, 0xFFFF)) : 0;
    quint32 state = demopage::mixBits(d.seed) | 1u;
    QList<int> actors;
    for (int i = 0; i < d.players.size(); ++i)
        if (!d.players.at(i).computer && !d.players.at(i).observer)
            actors.append(ids.at(i));
    for (qint64 s = 0; s < timeSlots && !actors.isEmpty(); ++s) {
        o.u8(0x1F);
        o.u16(kSlotSize - 3);
        o.u16(step);
        o.u8(actors.at(int(s % actors.size())));
        o.u16(1 + 1 + 2 + kUnits * 8);
        o.u8(0x16);  // change selection
        o.u8(1);
        o.u16(kUnits);
        for (int u = 0; u < kUnits * 2; ++u) {
            demopage::xorshift(state);
            o.u32(state);
        }
    }
    for (int i = 0; i < d.players.size(); ++i) {
        if (d.players.at(i).computer)
            continue;
        o.u8(0x17);
        o.u32(0x01);
        o.u8(ids.at(i));
        o.u32(0x08);
        o.u32(0);
    }
    return o.bytes;
}
} // namespace

QByteArray WriteDemoReplay(const DemoReplayDescription &d)
{
    return PackDemoReplay(gameData(d), d.version, d.build, d.expansion, d.lengthMs);
}

QByteArray DemoReplayData(const DemoReplayDescription &d) { return gameData(d); }

QByteArray PackDemoReplay(const QByteArray &data, int version, int build, bool expansion, qint64 lengthMs)
{
    // From 1.32 on block sizes are 32-bit: 12-byte block headers.
    const bool wide = version >= 10032;
    QByteArray blocks;
    int count = 0;
    for (qsizetype at = 0; at < data.size(); at += kBlockData, ++count) {
        const QByteArray plain = data.mid(at, kBlockData);
        QByteArray packed(int(compressBound(uLong(plain.size()))), Qt::Uninitialized);
        uLongf packedSize = uLongf(packed.size());
        compress2(reinterpret_cast<Bytef *>(packed.data()), &packedSize,
                  reinterpret_cast<const Bytef *>(plain.constData()), uLong(plain.size()), 6);
        packed.truncate(qsizetype(packedSize));
        Out h;
        if (wide) {
            h.u32(quint32(packed.size()));
            h.u32(quint32(plain.size()));
        } else {
            h.u16(quint32(packed.size()));
            h.u16(quint32(plain.size()));
        }
        h.u32(0);
        qToLittleEndian<quint32>(ReplayBlockChecksum(h.bytes, packed), h.bytes.data() + h.bytes.size() - 4);
        blocks += h.bytes + packed;
    }

    const bool newHeader = version >= 7;
    const quint32 headerSize = newHeader ? 0x44 : 0x40;
    Out h;
    h.bytes = QByteArray("Warcraft III recorded game\x1A\x00", 28);
    h.u32(headerSize);
    h.u32(headerSize + quint32(blocks.size()));
    h.u32(newHeader ? 1 : 0);
    h.u32(quint32(data.size()));
    h.u32(quint32(count));
    if (newHeader) {
        h.bytes.append(expansion ? "PX3W" : "3RAW");
        h.u32(quint32(version));
    } else {
        h.u16(0);
        h.u16(quint32(version));
    }
    h.u16(quint32(build));
    h.u16(0x8000);  // multiplayer
    h.u32(quint32(std::clamp<qint64>(lengthMs, 0, 0xFFFFFFFF)));
    h.u32(0);
    qToLittleEndian<quint32>(ReplayHeaderChecksum(h.bytes), h.bytes.data() + h.bytes.size() - 4);
    return h.bytes + blocks;
}

int DemoReplayVersionNumber(const QString &version)
{
    static const QRegularExpression re(QStringLiteral("^1\\.(\\d{2})[a-z]?$"));
    const auto m = re.match(version);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

namespace {
// Made-up build numbers of the demo: later patches, higher builds.
int demoBuild(const QString &version)
{
    const QChar letter = version.isEmpty() ? QChar() : version.back();
    return 6000 + 2 * DemoReplayVersionNumber(version) + (letter.isLetter() ? letter.unicode() - u'a' : 0);
}

qint64 lengthOf(const QString &mmss, int id)
{
    const QStringList parts = mmss.split(u':');
    const qint64 seconds = parts.size() == 2 ? parts.at(0).toInt() * 60 + parts.at(1).toInt() : 0;
    return seconds * 1000 + id * 37 % 1000;
}

// About 4 to 100 KiB once compressed: the filler is a sixth or so larger than
// what is left of it after compression.
qint64 fillerOf(int id) { return (4 * 1024 + qint64(demopage::mixBits(quint32(id)) % (96 * 1024 + 1))) * 7 / 6; }
} // namespace

DemoReplayDescription DemoReplayDescriptionOf(const DemoMeleeReplay &r)
{
    DemoReplayDescription d;
    d.gameName = r.player1 + QStringLiteral(" VS ") + r.player2;
    d.mapPath = r.mapPath();
    d.version = DemoReplayVersionNumber(r.version);
    d.build = demoBuild(r.version);
    d.lengthMs = lengthOf(r.length, r.id);
    d.fillerBytes = fillerOf(r.id);
    d.seed = quint32(r.id);
    const auto race = [](int code) {
        switch (code) {
        case 1: return ReplayRace::Human;
        case 2: return ReplayRace::NightElf;
        case 4: return ReplayRace::Orc;
        case 8: return ReplayRace::Undead;
        default: return ReplayRace::Random;
        }
    };
    const ReplayRace race1 = r.randomRace1 ? ReplayRace::Random : race(r.race1);
    QStringList taken;
    for (const QString &n : QStringList{r.player1} + r.mates1) {
        d.players.append({n, 0, race1});
        taken.append(n);
    }
    for (const QString &n : QStringList{r.player2} + r.mates2) {
        d.players.append({n, 1, race(r.race2)});
        taken.append(n);
    }
    if (r.id % 13 == 5) {
        const QStringList &all = DemoData::instance().meleePlayers;
        for (int k = 0; k < all.size(); ++k) {
            const QString &n = all.at((r.id + k) % all.size());
            if (!taken.contains(n)) {
                d.players.append({n, kObserverTeam, ReplayRace::Random, true});
                break;
            }
        }
    }
    return d;
}

DemoReplayDescription DemoReplayDescriptionOf(const DemoDotaReplay &r)
{
    DemoReplayDescription d;
    d.gameName = r.team1 + QStringLiteral(" VS ") + r.team2;
    d.mapPath = QStringLiteral("Maps\\Download\\") + r.map + QStringLiteral(".w3x");
    d.version = DemoReplayVersionNumber(r.version);
    d.build = demoBuild(r.version);
    d.lengthMs = (35 + r.id % 30) * 60 * 1000 + qint64(r.id) * 53 % 60000;
    d.fillerBytes = fillerOf(r.id);
    d.seed = quint32(r.id);
    for (int k = 0; k < r.players.size(); ++k)
        d.players.append({r.players.at(k), k < 5 ? 0 : 1, k < 5 ? ReplayRace::NightElf : ReplayRace::Undead});
    return d;
}
