// The replay file reader: header, checksums, zlib blocks, and the game's opening records.
#include "details/replayfile.h"

#include "details/replaybytes.h"
#include "details/replaygame.h"
#include "web/codepage.h"

#include <QtEndian>

#include <algorithm>
#include <map>
#include <zlib.h>

namespace {
const QByteArray kMagic("Warcraft III recorded game\x1A\x00", 28);
const QByteArray kNetEaseMagic("GRBN");
constexpr qsizetype kHeaderFixed = 0x30;      // magic and the five header fields
constexpr quint32 kHeaderSizeV0 = 0x40;
constexpr quint32 kHeaderSizeV1 = 0x44;
constexpr int kMaxSlots = 24;
// From 1.32 on a block's sizes are 32-bit: its header grows from 8 to 12 bytes.
constexpr int kFirstWideBlockVersion = 10032;
// Profile records of 1.32 and later: an id, a kind and a 32-bit length.
constexpr int kProfileRecordA = 0x38;
constexpr int kProfileRecordB = 0x39;
constexpr int kProfileKindPlayers = 3;

enum class Parse { Ok, NeedMore, Bad };

struct Opening {
    std::map<int, QString> names;        // from the classic player records
    std::map<int, QString> profileNames;  // from the profile records
    qsizetype gameStart = 0;              // where the records after the slot table start
    int hostId = -1;
};

quint16 crcFold(quint32 c) { return quint16(c ^ (c >> 16)); }

quint32 crcOf(QByteArrayView b, quint32 seed = 0)
{
    return quint32(crc32(seed, reinterpret_cast<const Bytef *>(b.data()), uInt(b.size())));
}

// Decodes one protobuf varint; false when cut short or longer than ten bytes.
bool varint(ReplayCursor &c, quint64 &value)
{
    value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        const int b = c.peek();
        if (b < 0)
            return false;
        c.u8();
        value |= quint64(b & 0x7F) << shift;
        if (!(b & 0x80))
            return true;
    }
    return false;
}

// Walks one protobuf message: calls `field(number, wireType, varintValue, bytes)`
// for each field; stops at the first field it cannot read.
template <typename F>
void protoFields(QByteArrayView message, F field)
{
    ReplayCursor c(message);
    while (c.left() > 0) {
        quint64 key = 0, value = 0;
        if (!varint(c, key))
            return;
        const int number = int(key >> 3), wire = int(key & 7);
        QByteArrayView bytes;
        if (wire == 0) {
            if (!varint(c, value))
                return;
        } else if (wire == 2) {
            if (!varint(c, value) || value > quint64(c.left()) || !c.take(qsizetype(value), &bytes))
                return;
        } else if (wire == 1 || wire == 5) {
            if (!c.take(wire == 1 ? 8 : 4))
                return;
        } else {
            return;
        }
        field(number, wire, value, bytes);
    }
}

// A player profile: field 1 the player id, field 2 the full name (BattleTag).
void readProfile(QByteArrayView message, Opening &o)
{
    int id = -1;
    QByteArrayView name;
    protoFields(message, [&](int number, int wire, quint64 value, QByteArrayView bytes) {
        if (number == 1 && wire == 0)
            id = int(qMin<quint64>(value, 255));
        else if (number == 2 && wire == 2)
            name = bytes;
    });
    if (id >= 0 && !name.isEmpty())
        o.profileNames[id] = DecodeReplayText(name, kFirstWideBlockVersion, kReplayMaxNameBytes);
}

// The players' profiles: one profile (1.33 and 2.0), or a list of them, each in field 1 (1.32).
void readProfiles(QByteArrayView record, Opening &o)
{
    bool nested = false;
    protoFields(record, [&](int number, int wire, quint64, QByteArrayView bytes) {
        if (number == 1 && wire == 2) {
            nested = true;
            readProfile(bytes, o);
        }
    });
    if (!nested)
        readProfile(record, o);
}

// A player record: id byte (already checked by the caller), player id, name, and
// a length byte followed by that many bytes of extra data.
int readPlayerRecord(ReplayCursor &c, int version, Opening &o)
{
    c.u8();
    const int id = c.u8();
    const QString n = DecodeReplayText(c.cString(), version, kReplayMaxNameBytes);
    c.take(c.u8());
    if (c.failed())
        return -1;
    o.names[id] = n;
    return id;
}

// Inflates one block into `out` (appended); false when it does not give exactly
// `size` bytes. A stream that would give more stops at `size`: no bomb gets further.
bool inflateBlock(QByteArrayView compressed, qsizetype size, QByteArray &out)
{
    const qsizetype start = out.size();
    out.resize(start + size);
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return false;
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(compressed.data()));
    z.avail_in = uInt(compressed.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data() + start);
    z.avail_out = uInt(size);
    const int rc = inflate(&z, Z_FINISH);
    const bool whole = z.avail_out == 0;
    inflateEnd(&z);
    // Blocks may end with a flush instead of the stream's end; what counts is
    // that the announced bytes came out without an error.
    return whole && (rc == Z_STREAM_END || rc == Z_OK || rc == Z_BUF_ERROR);
}

ReplayStatus readHeader(QByteArrayView bytes, ReplayInfo &info)
{
    if (bytes.size() < kHeaderFixed || !bytes.startsWith(kMagic))
        return ReplayStatus::NotReplay;
    ReplayCursor c(bytes);
    c.take(kMagic.size());
    info.headerSize = c.u32();
    info.compressedSize = c.u32();
    info.headerVersion = c.u32();
    info.decompressedSize = c.u32();
    info.blockCount = c.u32();
    if (info.compressedSize > quint64(bytes.size()))
        return ReplayStatus::NotReplay;  // cut short
    const quint32 expectedSize = info.headerVersion == 0 ? kHeaderSizeV0 : kHeaderSizeV1;
    if (info.headerVersion > 1 || info.headerSize != expectedSize)
        return info.headerSize >= kHeaderFixed && info.headerSize <= info.compressedSize ? ReplayStatus::Unsupported
                                                                                         : ReplayStatus::Corrupt;
    if (info.headerSize > info.compressedSize)
        return ReplayStatus::Corrupt;
    if (info.headerVersion == 0) {
        c.u16();
        info.version = c.u16();
        info.build = c.u16();
        info.flags = c.u16();
    } else {
        QByteArrayView product;
        c.take(4, &product);
        info.product = product.toByteArray();
        std::reverse(info.product.begin(), info.product.end());
        info.version = int(qMin<quint32>(c.u32(), 1u << 30));
        info.build = c.u16();
        info.flags = c.u16();
    }
    info.lengthMs = c.u32();
    info.crc = c.u32();
    if (c.failed())
        return ReplayStatus::NotReplay;
    if (ReplayHeaderChecksum(bytes.first(info.headerSize)) != info.crc)
        return ReplayStatus::Corrupt;
    const quint32 blockHeader = info.version >= kFirstWideBlockVersion ? 12 : 8;
    // Each block takes at least its header and one byte: a count beyond that
    // cannot be true, whatever the blocks hold.
    if (info.decompressedSize > kReplayMaxDecompressed
        || info.blockCount > (info.compressedSize - info.headerSize) / (blockHeader + 1))
        return ReplayStatus::Corrupt;
    return ReplayStatus::Read;
}

// Inflates blocks one after the other, each checked against its checksum; `more`
// says after each (told whether it was the last) whether another is wanted.
template <typename More>
ReplayStatus readBlocks(QByteArrayView bytes, const ReplayInfo &info, bool whole, QByteArray &data, More more)
{
    const bool wide = info.version >= kFirstWideBlockVersion;
    const qsizetype headerBytes = wide ? 12 : 8;
    ReplayCursor c(bytes.first(info.compressedSize));
    c.take(info.headerSize);
    if (whole)
        data.reserve(qMin<qsizetype>(info.decompressedSize + 8192, kReplayMaxDecompressed));
    for (quint32 i = 0; i < info.blockCount; ++i) {
        // Only the last block may reach past the announced size (padding).
        if (data.size() >= qsizetype(info.decompressedSize))
            return ReplayStatus::Corrupt;
        QByteArrayView header;
        if (!c.take(headerBytes, &header))
            return ReplayStatus::Corrupt;
        ReplayCursor h(header);
        const quint32 packed = wide ? h.u32() : h.u16();
        const quint32 size = wide ? h.u32() : h.u16();
        const quint32 check = h.u32();
        QByteArrayView block;
        if (packed == 0 || size == 0 || !c.take(packed, &block))
            return ReplayStatus::Corrupt;
        if (check != ReplayBlockChecksum(header, block))
            return ReplayStatus::Corrupt;
        if (data.size() + qint64(size) > kReplayMaxDecompressed || !inflateBlock(block, size, data))
            return ReplayStatus::Corrupt;
        if (!more(i + 1 == info.blockCount))
            return ReplayStatus::Read;
    }
    if (data.size() < qsizetype(info.decompressedSize))
        return ReplayStatus::Corrupt;
    data.truncate(info.decompressedSize);  // the last block may be padded
    return ReplayStatus::Read;
}

// The opening records: host, game name, settings, the player list (with the
// profile records of 1.32 and later), the slot table. NeedMore when the data ends
// inside them.
Parse readOpening(QByteArrayView data, ReplayInfo &info, Opening &o)
{
    info.slotTable.clear();
    ReplayCursor c(data);
    c.u32();  // 0x00000110
    if (c.peek() != 0x00)
        return c.failed() ? Parse::NeedMore : Parse::Bad;
    o.hostId = readPlayerRecord(c, info.version, o);
    info.gameName = DecodeReplayText(c.cString(), info.version);
    c.u8();
    const QByteArray settings = DecodeReplayString(c.cString());
    if (c.failed())
        return Parse::NeedMore;
    if (settings.size() < 13)
        return Parse::Bad;
    info.gameSpeed = quint8(settings[0]);
    ReplayCursor s(settings);
    s.take(13);  // speed, visibility, teams, flags, map size, map checksum
    info.mapPath = DecodeReplayText(s.cString(), info.version);
    if (s.failed())
        return Parse::Bad;
    info.slotRecordCount = int(qMin<quint32>(c.u32(), 1u << 16));
    info.gameType = c.u32();
    info.languageId = c.u32();
    for (;;) {
        const int record = c.peek();
        if (record == 0x16) {
            readPlayerRecord(c, info.version, o);
            c.u32();
        } else if (record == kProfileRecordA || record == kProfileRecordB) {
            c.u8();
            const int kind = c.u8();
            QByteArrayView body;
            c.take(c.u32(), &body);
            if (!c.failed() && kind == kProfileKindPlayers)
                readProfiles(body, o);
        } else {
            break;
        }
    }
    if (c.peek() < 0)
        return Parse::NeedMore;
    if (c.u8() != 0x19)
        return Parse::Bad;
    const int length = c.u16();
    const int slotCount = c.u8();
    const int slotBytes = info.version >= 3 ? 9 : 7;
    if (c.failed())
        return Parse::NeedMore;
    // The record's length covers the count, the slots, the seed and two bytes.
    if (slotCount > kMaxSlots || length != 1 + slotCount * slotBytes + 6)
        return Parse::Bad;
    for (int i = 0; i < slotCount; ++i) {
        ReplaySlot slot;
        slot.playerId = c.u8();
        slot.downloadPercent = c.u8();
        slot.status = c.u8();
        slot.computer = c.u8() != 0;
        slot.team = c.u8();
        slot.colour = c.u8();
        slot.raceFlags = c.u8();
        if (slotBytes == 9) {
            slot.aiStrength = c.u8();
            slot.handicap = c.u8();
        }
        info.slotTable.append(slot);
    }
    info.randomSeed = c.u32();
    info.selectMode = c.u8();
    info.startSpotCount = c.u8();
    if (c.failed())
        return Parse::NeedMore;
    o.gameStart = c.pos();
    return Parse::Ok;
}

// The full name: the profile's where the classic record holds only its beginning.
QString nameOf(int id, const Opening &o)
{
    const auto classic = o.names.find(id);
    const QString name = classic != o.names.end() ? classic->second : QString();
    const auto profile = o.profileNames.find(id);
    if (profile != o.profileNames.end() && profile->second.startsWith(name))
        return profile->second;
    return name;
}

void fillPlayers(ReplayInfo &info, const Opening &o)
{
    const int observerTeam = info.version >= 29 ? 24 : 12;
    info.hostName = nameOf(o.hostId, o);
    info.players.clear();
    for (const ReplaySlot &slot : std::as_const(info.slotTable)) {
        if (slot.status != 2)
            continue;
        ReplayPlayer p;
        p.computer = slot.computer;
        p.id = slot.computer ? 0 : slot.playerId;
        if (!p.computer)
            p.name = nameOf(slot.playerId, o);
        p.team = slot.team;
        p.colour = slot.colour;
        p.race = ReplayRaceFromFlags(slot.raceFlags);
        p.observer = slot.team == observerTeam;
        info.players.append(p);
    }
}

// Teams in order of their number, each a list of the texts `of` gives its players.
template <typename F>
QString teamsText(const ReplayInfo &info, F of)
{
    std::map<int, QStringList> teams;
    for (const ReplayPlayer &p : info.players)
        if (!p.observer)
            teams[p.team].append(of(p));
    QStringList parts;
    for (const auto &t : teams)
        parts.append(t.second.join(QStringLiteral(" & ")));
    return parts.join(QStringLiteral(" VS "));
}

// The longest prefix of `bytes` that is whole UTF-8 characters, as far as their
// first byte tells.
QByteArrayView wholeUtf8(QByteArrayView bytes)
{
    qsizetype i = bytes.size();
    for (int back = 1; back <= 4 && back <= bytes.size(); ++back) {
        const quint8 b = quint8(bytes[bytes.size() - back]);
        if ((b & 0xC0) == 0x80)
            continue;  // a continuation byte: look further back for the lead
        const int need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        if (need > back)
            i = bytes.size() - back;
        break;
    }
    return bytes.first(i);
}
} // namespace

ReplayRace ReplayRaceFromFlags(int flags)
{
    if (flags & 0x20)
        return ReplayRace::Random;
    switch (flags & 0x0F) {
    case 0x01: return ReplayRace::Human;
    case 0x02: return ReplayRace::Orc;
    case 0x04: return ReplayRace::NightElf;
    case 0x08: return ReplayRace::Undead;
    default: return ReplayRace::Unknown;
    }
}

QString ReplayStatusText(ReplayStatus status)
{
    switch (status) {
    case ReplayStatus::Read: return QString();
    case ReplayStatus::NotReplay: return QStringLiteral("这不是一个完整的录像文件。");
    case ReplayStatus::Corrupt: return QStringLiteral("录像文件已损坏：校验和不符。");
    case ReplayStatus::Unsupported: return QStringLiteral("录像文件完好，但其格式暂不支持。");
    }
    return QString();
}

qsizetype ReplayStartIn(QByteArrayView bytes)
{
    if (bytes.startsWith(kMagic))
        return 0;
    if (!IsNetEaseReplay(bytes))
        return -1;
    return bytes.first(qMin(bytes.size(), kReplayMaxWrapperBytes)).indexOf(kMagic);
}

quint32 ReplayHeaderChecksum(QByteArrayView header)
{
    if (header.size() < 4)
        return 0;
    return crcOf(QByteArrayView("\0\0\0\0", 4), crcOf(header.first(header.size() - 4)));
}

quint32 ReplayBlockChecksum(QByteArrayView blockHeader, QByteArrayView compressed)
{
    return quint32(crcFold(ReplayHeaderChecksum(blockHeader))) | quint32(crcFold(crcOf(compressed))) << 16;
}

bool IsNetEaseReplay(QByteArrayView head) { return head.startsWith(kNetEaseMagic); }

ReplayInfo ReadReplay(QByteArrayView bytes, ReplayDepth depth)
{
    ReplayInfo info;
    const qsizetype start = ReplayStartIn(bytes);
    if (start < 0)
        return info;
    const QByteArrayView replay = bytes.sliced(start);
    info.wrapped = start > 0;
    info.status = readHeader(replay, info);
    if (info.status != ReplayStatus::Read)
        return info;

    QByteArray data;
    Opening o;
    Parse opening = Parse::NeedMore;
    const bool whole = depth == ReplayDepth::Whole;
    // The opening records are tried again only once the data has doubled (or all
    // is there): records that span many blocks cost a few passes, not one per block.
    qsizetype tryAt = 0;
    info.status = readBlocks(replay, info, whole, data, [&](bool last) {
        if (opening == Parse::NeedMore && (data.size() >= tryAt || last)) {
            o = Opening();
            // The last block may be padded: the opening stops at the announced size.
            opening = readOpening(QByteArrayView(data).first(qMin<qsizetype>(data.size(), info.decompressedSize)), info, o);
            tryAt = 2 * data.size();
        }
        return whole || opening == Parse::NeedMore;
    });
    if (info.status != ReplayStatus::Read)
        return info;
    if (opening != Parse::Ok) {
        info.status = ReplayStatus::Unsupported;
        return info;
    }
    fillPlayers(info, o);
    if (whole) {
        WalkReplayGame(QByteArrayView(data).sliced(o.gameStart), info);
        info.whole = true;
    }
    info.readable = true;
    return info;
}

QByteArray DecodeReplayString(QByteArrayView encoded)
{
    QByteArray out;
    out.reserve(encoded.size());
    quint8 mask = 0;
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        const quint8 b = quint8(encoded[i]);
        if (i % 8 == 0)
            mask = b;
        else
            out.append(char((mask & (1u << (i % 8))) ? b : quint8(b - 1)));
    }
    return out;
}

QByteArray EncodeReplayString(QByteArrayView plain)
{
    QByteArray out;
    for (qsizetype start = 0; start < plain.size(); start += 7) {
        const qsizetype n = qMin<qsizetype>(7, plain.size() - start);
        quint8 mask = 1;
        QByteArray group;
        for (qsizetype k = 0; k < n; ++k) {
            const quint8 b = quint8(plain[start + k]);
            if (b % 2 == 0) {
                group.append(char(b + 1));
            } else {
                mask |= quint8(1u << (k + 1));
                group.append(char(b));
            }
        }
        out.append(char(mask));
        out.append(group);
    }
    return out;
}

bool ReplayTextsInCodePage936(int version) { return version < 24; }

QString DecodeReplayText(QByteArrayView raw, int version, int maxBytes)
{
    const bool cut = raw.size() > maxBytes;
    QByteArrayView bytes = raw.first(qMin<qsizetype>(raw.size(), qMax(0, maxBytes)));
    QString text;
    if (ReplayTextsInCodePage936(version)) {
        text = codepage::bytesToText(bytes.toByteArray(), QStringLiteral("GBK"));
        // A cut through a two-byte character leaves a replacement character behind.
        if (cut && text.endsWith(QChar(0xFFFD)))
            text.chop(1);
    } else {
        text = QString::fromUtf8(cut ? wholeUtf8(bytes) : bytes);
    }
    text.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
    return text;
}

QByteArray EncodeReplayText(const QString &text, int version)
{
    if (ReplayTextsInCodePage936(version))
        if (const auto narrow = codepage::toNarrow(text))
            return *narrow;
    return text.toUtf8();
}

ReplayGameVersion ReplayGameVersionOf(int version)
{
    if (version < 10000)
        return {1, version, 0};
    const int minor = version - 10000;
    const ReplayGameVersion v{1 + minor / 100, minor % 100, 0};
    // 10030 is the number of 1.30.2 and later; 1.30.0 and 1.30.1 wrote 30.
    return v.major == 1 && v.minor == 30 ? ReplayGameVersion{1, 30, 2} : v;
}

QString ReplayVersionText(int version)
{
    const ReplayGameVersion v = ReplayGameVersionOf(version);
    QString text = QStringLiteral("%1.%2").arg(v.major).arg(v.minor, 2, 10, QChar(u'0'));
    if (v.patch > 0)
        text += QStringLiteral(".%1+").arg(v.patch);
    return text;
}

QString ReplayLengthText(qint64 ms)
{
    const qint64 total = qMax<qint64>(0, ms) / 1000;
    const qint64 h = total / 3600, m = total / 60 % 60, s = total % 60;
    if (h == 0)
        return QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QChar(u'0'));
    return QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QChar(u'0')).arg(s, 2, 10, QChar(u'0'));
}

QString RaceText(ReplayRace race)
{
    switch (race) {
    case ReplayRace::Human: return QStringLiteral("人族");
    case ReplayRace::Orc: return QStringLiteral("兽族");
    case ReplayRace::NightElf: return QStringLiteral("暗夜精灵");
    case ReplayRace::Undead: return QStringLiteral("不死");
    case ReplayRace::Random: return QStringLiteral("随机");
    case ReplayRace::Unknown: break;
    }
    return QString();
}

QString ReplayColourHex(int colour)
{
    static const char *const kColours[] = {
        "#FF0303", "#0042FF", "#1CE6B9", "#540081", "#FFFC00", "#FE8A0E", "#20C000", "#E55BB0",
        "#959697", "#7EBFF1", "#106246", "#4E2A04", "#9B0000", "#0000C3", "#00EAFF", "#BE00FE",
        "#EBCD87", "#F8A48B", "#BFFF80", "#DCB9EB", "#282828", "#EBF0FF", "#00781E", "#A46F33",
    };
    return QString::fromLatin1(colour >= 0 && colour < int(std::size(kColours)) ? kColours[colour] : "#808080");
}

QString MatchupText(const ReplayInfo &info)
{
    return teamsText(info, [](const ReplayPlayer &p) { return RaceText(p.race); });
}

QString PlayersText(const ReplayInfo &info)
{
    return teamsText(info, [](const ReplayPlayer &p) { return p.computer ? QStringLiteral("电脑") : p.name; });
}
