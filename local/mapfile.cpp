#include "local/mapfile.h"

#include "download/gamepath.h"
#include "local/blpimage.h"
#include "local/localreplays.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtEndian>

#include <StormLib.h>

namespace {
// A reader over the info file: every read checks the bytes left; after the first
// that fails, all fail.
class Cursor {
public:
    explicit Cursor(QByteArrayView bytes) : m_bytes(bytes) {}
    bool ok() const { return m_ok; }
    quint32 u32()
    {
        if (!take(4))
            return 0;
        return qFromLittleEndian<quint32>(m_bytes.data() + m_at - 4);
    }
    void skip(qsizetype n) { take(n); }
    // A NUL-ended text; the NUL must be there.
    QByteArray text()
    {
        if (!m_ok)
            return QByteArray();
        const qsizetype end = m_bytes.indexOf('\0', m_at);
        if (end < 0) {
            m_ok = false;
            return QByteArray();
        }
        const QByteArray out = m_bytes.sliced(m_at, end - m_at).toByteArray();
        m_at = end + 1;
        return out;
    }

private:
    bool take(qsizetype n)
    {
        if (!m_ok || n > m_bytes.size() - m_at) {
            m_ok = false;
            return false;
        }
        m_at += n;
        return true;
    }
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
    bool m_ok = true;
};

// Format versions of the info file: 18 and 19 (the first release), 25 (the
// expansion), 28 and 31 on (later patches add fields behind the ones read here).
bool knownVersion(quint32 v)
{
    return v == 18 || v == 19 || (v >= 25 && v <= 40);
}

// A map's text as plain text: colour codes out, "|n" a line break, no control
// characters but line breaks (and none at all in a one-line text), cut to `max`.
QString plainMapText(const QString &text, qsizetype max, bool oneLine)
{
    QString out;
    out.reserve(qMin(text.size(), max));
    for (qsizetype i = 0; i < text.size() && out.size() < max; ++i) {
        const QChar c = text.at(i);
        if (c == u'|' && i + 1 < text.size()) {
            const QChar k = text.at(i + 1).toLower();
            if (k == u'c' && i + 9 < text.size()) {
                bool hex = true;
                for (qsizetype j = i + 2; j < i + 10; ++j) {
                    const char16_t h = text.at(j).unicode();
                    hex = hex && ((h >= u'0' && h <= u'9') || (h >= u'a' && h <= u'f') || (h >= u'A' && h <= u'F'));
                }
                if (hex) {
                    i += 9;
                    continue;
                }
            }
            if (k == u'r') {
                ++i;
                continue;
            }
            if (k == u'n') {
                out += oneLine ? u' ' : u'\n';
                ++i;
                continue;
            }
        }
        if (c == u'\n')
            out += oneLine ? u' ' : u'\n';
        else if (c == u'\t')
            out += u' ';
        else if (c.unicode() >= 0x20 && c.unicode() != 0x7F)
            out += c;
    }
    return oneLine ? out.simplified() : out.trimmed();
}

QString factText(const QByteArray &raw, const QHash<int, QString> &strings, qsizetype max, bool oneLine)
{
    return plainMapText(ResolveTrigStr(QString::fromUtf8(raw), strings), max, oneLine);
}

// The archive header that StormLib will take (the first "MPQ\x1A" at a multiple
// of 512 bytes whose header is at least 32 bytes long), checked before StormLib
// sees it: StormLib trusts the sector size and the table counts of a header, and
// a hostile one makes it divide by zero or allocate gigabytes. The sector size
// must be at most 512 KiB (maps use 4 KiB), each table at most 2^20 entries and
// begin inside the file.
constexpr quint32 kMaxSectorShift = 10;
constexpr quint32 kMaxTableEntries = 1u << 20;

// The offset of the header that was checked, or -1 when there is none or it is
// out of bounds.
qint64 checkedArchiveHeader(QFile &file)
{
    const qint64 size = file.size();
    constexpr qint64 kChunk = 256 * 1024;  // a multiple of 512
    for (qint64 chunkAt = 0; chunkAt < size; chunkAt += kChunk) {
        if (!file.seek(chunkAt))
            return -1;
        const QByteArray chunk = file.read(kChunk + 32);  // a header may run past the chunk
        for (qsizetype at = 0; at < qMin<qsizetype>(chunk.size(), kChunk); at += 512) {
            if (chunk.size() - at < 32 || !QByteArrayView(chunk).sliced(at).startsWith("MPQ\x1A"))
                continue;
            const char *h = chunk.constData() + at;
            if (qFromLittleEndian<quint32>(h + 4) < 32)
                continue;  // not taken as a header: the search goes on
            const qint64 left = size - (chunkAt + at);
            const quint32 shift = qFromLittleEndian<quint16>(h + 14);
            const quint32 hashPos = qFromLittleEndian<quint32>(h + 16), blockPos = qFromLittleEndian<quint32>(h + 20);
            const quint32 hashCount = qFromLittleEndian<quint32>(h + 24), blockCount = qFromLittleEndian<quint32>(h + 28);
            const bool ok = shift <= kMaxSectorShift && hashCount <= kMaxTableEntries && blockCount <= kMaxTableEntries
                            && qint64(hashPos) < left && qint64(blockPos) < left;
            return ok ? chunkAt + at : -1;
        }
    }
    return -1;
}

// Reads the archived file `name` into memory, whole; nullopt when it is missing,
// larger than `max` or cannot be read to its end.
std::optional<QByteArray> archivedFile(HANDLE mpq, const char *name, qsizetype max)
{
    HANDLE file = nullptr;
    if (!SFileOpenFileEx(mpq, name, SFILE_OPEN_FROM_MPQ, &file))
        return std::nullopt;
    std::optional<QByteArray> out;
    DWORD high = 0;
    const DWORD size = SFileGetFileSize(file, &high);
    if (size != SFILE_INVALID_SIZE && high == 0 && qint64(size) <= max) {
        QByteArray bytes(qsizetype(size), Qt::Uninitialized);
        DWORD read = 0;
        if (size == 0 || (SFileReadFile(file, bytes.data(), size, &read, nullptr) && read == size))
            out = bytes;
    }
    SFileCloseFile(file);
    return out;
}
} // namespace

QHash<int, QString> ParseWts(QByteArrayView wts)
{
    QHash<int, QString> out;
    if (wts.size() > kMapStringsMaxBytes)
        return out;
    QString text = QString::fromUtf8(wts);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    const QStringList lines = text.split(u'\n');
    static const QRegularExpression head(QStringLiteral("^STRING\\s+(\\d{1,9})\\s*$"));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QRegularExpressionMatch m = head.match(lines.at(i).trimmed());
        if (!m.hasMatch())
            continue;
        const int number = m.captured(1).toInt();
        qsizetype j = i + 1;
        while (j < lines.size() && (lines.at(j).trimmed().startsWith(u"//") || lines.at(j).trimmed().isEmpty()))
            ++j;
        if (j >= lines.size() || lines.at(j).trimmed() != u"{")
            continue;
        QStringList body;
        qsizetype k = j + 1;
        for (; k < lines.size() && lines.at(k).trimmed() != u"}"; ++k) {
            QString line = lines.at(k);
            if (line.endsWith(u'\r'))
                line.chop(1);
            body << line;
        }
        if (k >= lines.size())
            break;  // a block that never ends: the rest is not a string table
        out.insert(number, body.join(u'\n'));
        i = k;
    }
    return out;
}

QString ResolveTrigStr(const QString &text, const QHash<int, QString> &strings)
{
    static const QString prefix = QStringLiteral("TRIGSTR_");
    if (!text.startsWith(prefix))
        return text;
    qsizetype end = prefix.size();
    while (end < text.size() && end < prefix.size() + 9 && text.at(end).isDigit() && text.at(end).unicode() < 128)
        ++end;
    if (end == prefix.size())
        return text;
    const auto found = strings.constFind(text.mid(prefix.size(), end - prefix.size()).toInt());
    return found == strings.constEnd() ? text : *found;
}

std::optional<MapFacts> ParseW3i(QByteArrayView w3i, const QHash<int, QString> &strings)
{
    if (w3i.size() > kMapInfoMaxBytes)
        return std::nullopt;
    Cursor c(w3i);
    const quint32 version = c.u32();
    if (!c.ok() || !knownVersion(version))
        return std::nullopt;
    c.skip(8);  // number of saves, editor version
    if (version >= 28)
        c.skip(16);  // game version: major, minor, patch, build
    const QByteArray name = c.text();
    const QByteArray author = c.text();
    const QByteArray description = c.text();
    const QByteArray players = c.text();
    if (!c.ok())
        return std::nullopt;
    MapFacts facts;
    facts.name = factText(name, strings, kMapLineMaxChars, true);
    facts.author = factText(author, strings, kMapLineMaxChars, true);
    facts.description = factText(description, strings, kMapDescriptionMaxChars, false);
    facts.suggestedPlayers = factText(players, strings, kMapLineMaxChars, true);

    // On to the player records: camera bounds (8 floats, 4 ints), playable width and
    // height, flags, tileset.
    c.skip(8 * 4 + 4 * 4 + 3 * 4 + 1);
    c.skip(4);  // loading screen number
    if (version >= 25)
        c.text();  // loading screen model
    c.text(), c.text(), c.text();  // loading screen text, title, subtitle
    c.skip(4);  // game data set (25 on), map loading screen number (18, 19)
    if (version >= 25)
        c.text();  // prologue screen model
    c.text(), c.text(), c.text();  // prologue text, title, subtitle
    if (version >= 25) {
        c.skip(4 + 3 * 4 + 4 + 4);  // fog style, start, end, density, colour; weather
        c.text();                   // sound environment
        c.skip(1 + 4);              // light tileset, water colour
        if (version >= 28)
            c.skip(4);  // script language
        if (version >= 31)
            c.skip(8);  // supported modes, game data version
    }
    const quint32 records = c.u32();
    if (c.ok() && records <= 32)
        facts.playerSlots = int(records);
    return facts;
}

MapFile ReadMapFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMapFileMaxBytes)
        return MapFile();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return MapFile();
    const qint64 headerAt = checkedArchiveHeader(file);
    if (headerAt < 0)
        return MapFile();
    // StormLib opens the file that was checked, through the descriptor held open
    // here: a file put in its place meanwhile is not read, and the open cannot fail
    // for a file gone missing (StormLib, failing to open, closes descriptor 0, which
    // may be any other file of the process by then).
#ifdef Q_OS_LINUX
    const QByteArray native = "/proc/self/fd/" + QByteArray::number(file.handle());
#else
    const QByteArray native = QFile::encodeName(path);
#endif
    // Read-only: nothing is ever written into a map. No list or attribute file of
    // the archive is parsed, as only three files are opened by name, and the header
    // is taken in the first format, as the game takes a map's (no user data header).
    HANDLE mpq = nullptr;
    const DWORD flags = MPQ_OPEN_READ_ONLY | MPQ_OPEN_NO_LISTFILE | MPQ_OPEN_NO_ATTRIBUTES | MPQ_OPEN_FORCE_MPQ_V1;
    if (!SFileOpenArchive(native.constData(), 0, flags, &mpq))
        return MapFile();
    MapFile out;
    // StormLib must have taken the header that was checked, not one further on.
    ULONGLONG takenAt = 0;
    if (!SFileGetFileInfo(mpq, SFileMpqHeaderOffset, &takenAt, sizeof takenAt, nullptr) || takenAt != ULONGLONG(headerAt)) {
        SFileCloseArchive(mpq);
        return out;
    }
    const std::optional<QByteArray> w3i = archivedFile(mpq, "war3map.w3i", kMapInfoMaxBytes);
    if (w3i) {
        const std::optional<QByteArray> wts = archivedFile(mpq, "war3map.wts", kMapStringsMaxBytes);
        const std::optional<MapFacts> facts = ParseW3i(*w3i, wts ? ParseWts(*wts) : QHash<int, QString>());
        if (facts) {
            out.readable = true;
            out.facts = *facts;
            if (const auto blp = archivedFile(mpq, "war3mapMap.blp", kMapPictureMaxBytes))
                out.minimap = DecodeBlp(*blp);
            if (out.minimap.isNull())
                if (const auto tga = archivedFile(mpq, "war3mapPreview.tga", kMapPictureMaxBytes))
                    out.minimap = DecodeTga(*tga);
        }
    }
    SFileCloseArchive(mpq);
    return out;
}

ReplayMap FindReplayMap(const QString &gameFolder, const QString &mapPath)
{
    ReplayMap out;
    const ResolvedPath resolved = ResolveInGameFolder(gameFolder, mapPath);
    if (!resolved.ok() || LastPartOf(mapPath).isEmpty())
        return out;
    out.path = resolved.path;
    if (!QFileInfo(resolved.path).isFile())
        return out;
    out.map = ReadMapFile(resolved.path);
    out.state = out.map.readable ? ReplayMap::State::Readable : ReplayMap::State::Unreadable;
    return out;
}

QString ReplayMapSummary(const ReplayMap &map, const QString &mapPath)
{
    switch (map.state) {
    case ReplayMap::State::Missing: return QStringLiteral("缺少地图");
    case ReplayMap::State::Unreadable: return QStringLiteral("地图：") + MapNameOf(mapPath) + kUnreadableMarker;
    case ReplayMap::State::Readable: break;
    }
    const MapFacts &f = map.map.facts;
    QString out = QStringLiteral("地图：") + (f.name.isEmpty() ? MapNameOf(mapPath) : f.name);
    if (!f.author.isEmpty())
        out += QStringLiteral("\n作者：") + f.author;
    return out;
}

QString MissingMapMessage(const QString &mapPath)
{
    return QStringLiteral("缺少地图：") + mapPath;
}
