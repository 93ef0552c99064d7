// The replay file reader: header, zlib blocks, and the game's opening records.
#include "details/replayfile.h"

#include "web/codepage.h"

#include <QtEndian>

#include <map>
#include <zlib.h>

namespace {
const QByteArray kMagic("Warcraft III recorded game\x1A\x00", 28);
constexpr qsizetype kHeaderFixed = 0x30;      // magic and the five header fields
constexpr qsizetype kSubHeaderV0 = 16;
constexpr qsizetype kSubHeaderV1 = 20;
constexpr qsizetype kBlockHeader = 8;         // compressed, decompressed size, checksum
constexpr int kMaxSlots = 24;

// Reads little-endian values from a byte range; any read past the end sets
// `failed` and yields zeros, so a parse can run to its end and check once.
class Cursor {
public:
    explicit Cursor(QByteArrayView data) : m_data(data) {}
    bool failed() const { return m_failed; }
    qsizetype pos() const { return m_pos; }
    qsizetype left() const { return m_data.size() - m_pos; }
    bool take(qsizetype n, QByteArrayView *out = nullptr)
    {
        if (m_failed || n < 0 || n > left()) {
            m_failed = true;
            return false;
        }
        if (out)
            *out = m_data.sliced(m_pos, n);
        m_pos += n;
        return true;
    }
    quint8 u8()
    {
        QByteArrayView v;
        return take(1, &v) ? quint8(v[0]) : 0;
    }
    quint16 u16()
    {
        QByteArrayView v;
        return take(2, &v) ? qFromLittleEndian<quint16>(v.data()) : 0;
    }
    quint32 u32()
    {
        QByteArrayView v;
        return take(4, &v) ? qFromLittleEndian<quint32>(v.data()) : 0;
    }
    int peek() const { return (!m_failed && left() > 0) ? quint8(m_data[m_pos]) : -1; }
    // The bytes up to the next NUL, which is passed over; fails without a NUL.
    QByteArrayView cString()
    {
        if (m_failed)
            return {};
        const qsizetype end = m_data.indexOf('\0', m_pos);
        if (end < 0) {
            m_failed = true;
            return {};
        }
        const QByteArrayView s = m_data.sliced(m_pos, end - m_pos);
        m_pos = end + 1;
        return s;
    }

private:
    QByteArrayView m_data;
    qsizetype m_pos = 0;
    bool m_failed = false;
};

// Valid UTF-8 comes back unchanged from a decode and encode; anything invalid
// turns into replacement characters on the way.
bool isUtf8(QByteArrayView bytes)
{
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

// UTF-8 where the bytes are valid UTF-8, otherwise code page 936; at most
// `maxBytes` bytes, and no control characters (the text only ever is shown).
QString decodeText(QByteArrayView raw, int maxBytes)
{
    QByteArrayView bytes = raw.first(qMin<qsizetype>(raw.size(), maxBytes));
    QString text;
    if (isUtf8(bytes)) {
        text = QString::fromUtf8(bytes);
    } else {
        // A cut through a multi-byte character leaves an incomplete tail.
        bool done = false;
        for (int chop = 1; chop <= 3 && raw.size() > bytes.size() && chop < bytes.size(); ++chop) {
            if (isUtf8(bytes.chopped(chop))) {
                text = QString::fromUtf8(bytes.chopped(chop));
                done = true;
                break;
            }
        }
        if (!done) {
            text = codepage::bytesToText(bytes.toByteArray(), QStringLiteral("GBK"));
            if (raw.size() > bytes.size() && text.endsWith(QChar(0xFFFD)))
                text.chop(1);
        }
    }
    text.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
    return text;
}

struct Names {
    std::map<int, QString> byId;
};

// A player record: id byte (already checked by the caller), player id, name, and
// a length byte followed by that many bytes of extra data.
void readPlayerRecord(Cursor &c, Names &names, int *playerId = nullptr, QString *name = nullptr)
{
    c.u8();
    const int id = c.u8();
    const QString n = decodeText(c.cString(), kReplayMaxNameBytes);
    c.take(c.u8());
    if (c.failed())
        return;
    names.byId[id] = n;
    if (playerId)
        *playerId = id;
    if (name)
        *name = n;
}

// Inflates one block into `out` (appended); false when it does not give exactly
// `size` bytes.
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

bool readHeader(QByteArrayView bytes, ReplayInfo &info)
{
    if (bytes.size() < kHeaderFixed || !bytes.startsWith(kMagic))
        return false;
    Cursor c(bytes);
    c.take(kMagic.size());
    info.headerSize = c.u32();
    info.compressedSize = c.u32();
    info.headerVersion = c.u32();
    info.decompressedSize = c.u32();
    info.blockCount = c.u32();
    if (info.headerVersion == 0) {
        c.u16();
        info.version = c.u16();
        info.build = c.u16();
        info.flags = c.u16();
    } else if (info.headerVersion == 1) {
        QByteArrayView product;
        c.take(4, &product);
        info.product = product.toByteArray();
        std::reverse(info.product.begin(), info.product.end());
        info.version = int(qMin<quint32>(c.u32(), 1u << 30));
        info.build = c.u16();
        info.flags = c.u16();
    } else {
        return false;
    }
    info.lengthMs = c.u32();
    info.crc = c.u32();
    if (c.failed() || info.headerSize < quint32(c.pos()) || info.headerSize > info.compressedSize
        || info.compressedSize > quint64(bytes.size()) || info.decompressedSize > kReplayMaxDecompressed)
        return false;
    // Each block takes at least its header and one byte: a count beyond that
    // cannot be true, whatever the blocks hold.
    return info.blockCount <= (info.compressedSize - info.headerSize) / (kBlockHeader + 1);
}

bool readBlocks(QByteArrayView bytes, const ReplayInfo &info, QByteArray &data)
{
    Cursor c(bytes.first(info.compressedSize));
    c.take(info.headerSize);
    for (quint32 i = 0; i < info.blockCount; ++i) {
        // Only the last block may reach past the announced size (padding).
        if (data.size() >= qsizetype(info.decompressedSize))
            return false;
        const quint16 packed = c.u16();
        const quint16 size = c.u16();
        c.u32();
        QByteArrayView block;
        if (packed == 0 || size == 0 || !c.take(packed, &block))
            return false;
        if (data.size() + size > kReplayMaxDecompressed || !inflateBlock(block, size, data))
            return false;
    }
    if (data.size() < qsizetype(info.decompressedSize))
        return false;
    data.truncate(info.decompressedSize);  // the last block may be padded
    return true;
}

bool readGame(QByteArrayView data, ReplayInfo &info)
{
    Cursor c(data);
    Names names;
    c.u32();  // unknown, 0x00000110
    if (c.peek() != 0x00)
        return false;
    readPlayerRecord(c, names, nullptr, &info.hostName);
    info.gameName = decodeText(c.cString(), kReplayMaxTextBytes);
    c.u8();
    const QByteArray settings = DecodeReplayString(c.cString());
    if (c.failed() || settings.size() < 13)
        return false;
    Cursor s(settings);
    s.take(13);  // speed, visibility, teams, flags, map size, map checksum
    info.mapPath = decodeText(s.cString(), kReplayMaxTextBytes);
    if (s.failed())
        return false;
    info.slotRecordCount = int(qMin<quint32>(c.u32(), 1u << 16));
    info.gameType = c.u32();
    info.languageId = c.u32();
    while (c.peek() == 0x16) {
        readPlayerRecord(c, names);
        c.u32();
    }
    if (c.u8() != 0x19)
        return false;
    c.u16();  // length of what follows
    const int slotCount = c.u8();
    if (c.failed() || slotCount > kMaxSlots)
        return false;
    const bool longSlots = info.version >= 3;
    for (int i = 0; i < slotCount; ++i) {
        ReplaySlot slot;
        slot.playerId = c.u8();
        slot.downloadPercent = c.u8();
        slot.status = c.u8();
        slot.computer = c.u8() != 0;
        slot.team = c.u8();
        slot.colour = c.u8();
        slot.raceFlags = c.u8();
        if (longSlots) {
            slot.aiStrength = c.u8();
            slot.handicap = c.u8();
        }
        info.slotTable.append(slot);
    }
    info.randomSeed = c.u32();
    info.selectMode = c.u8();
    info.startSpotCount = c.u8();
    if (c.failed())
        return false;

    const int observerTeam = info.version >= 29 ? 24 : 12;
    for (const ReplaySlot &slot : std::as_const(info.slotTable)) {
        if (slot.status != 2)
            continue;
        ReplayPlayer p;
        p.computer = slot.computer;
        p.id = slot.computer ? 0 : slot.playerId;
        if (!p.computer) {
            const auto it = names.byId.find(slot.playerId);
            if (it != names.byId.end())
                p.name = it->second;
        }
        p.team = slot.team;
        p.race = ReplayRaceFromFlags(slot.raceFlags);
        p.observer = slot.team == observerTeam;
        info.players.append(p);
    }
    return true;
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

ReplayInfo ReadReplay(QByteArrayView bytes)
{
    ReplayInfo info;
    QByteArray data;
    if (!readHeader(bytes, info) || !readBlocks(bytes, info, data) || !readGame(data, info)) {
        ReplayInfo none;
        return none;
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

QString ReplayVersionText(int version)
{
    return QStringLiteral("1.%1").arg(version, 2, 10, QChar(u'0'));
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

QString MatchupText(const ReplayInfo &info)
{
    return teamsText(info, [](const ReplayPlayer &p) { return RaceText(p.race); });
}

QString PlayersText(const ReplayInfo &info)
{
    return teamsText(info, [](const ReplayPlayer &p) { return p.computer ? QStringLiteral("电脑") : p.name; });
}
