#include "download/versionresource.h"

#include "web/codepage.h"

#include <QFile>
#include <QFileInfo>

namespace {

// Little-endian reads over a byte range; every read is bounds-checked, so a
// hostile file can only make a read fail, never reach outside the data.
class Bytes
{
public:
    Bytes(const uchar *data, qint64 size) : p(data), n(size) {}

    qint64 size() const { return n; }
    const uchar *data() const { return p; }

    bool u16(qint64 at, quint32 &v) const
    {
        if (at < 0 || at > n - 2)
            return false;
        v = quint32(p[at]) | quint32(p[at + 1]) << 8;
        return true;
    }
    bool u32(qint64 at, quint32 &v) const
    {
        if (at < 0 || at > n - 4)
            return false;
        v = quint32(p[at]) | quint32(p[at + 1]) << 8 | quint32(p[at + 2]) << 16
            | quint32(p[at + 3]) << 24;
        return true;
    }
    Bytes slice(qint64 at, qint64 length) const { return Bytes(p + at, length); }

private:
    const uchar *p;
    qint64 n;
};

struct Section
{
    quint32 virtualAddress = 0;
    qint64 extent = 0; // bytes of the section present in the file and in the image
    qint64 fileOffset = 0;
};

// The sections of a PE image and where its resource directory lies.
struct PeLayout
{
    QList<Section> sections;
    quint32 resourceRva = 0;
};

std::optional<PeLayout> readLayout(const Bytes &f)
{
    quint32 v = 0;
    if (f.size() < 64 || f.data()[0] != 'M' || f.data()[1] != 'Z')
        return std::nullopt;
    quint32 peAt = 0;
    if (!f.u32(0x3C, peAt) || !f.u32(peAt, v) || v != 0x00004550) // "PE\0\0"
        return std::nullopt;
    const qint64 coff = qint64(peAt) + 4;
    quint32 sectionCount = 0, optionalSize = 0, magic = 0;
    if (!f.u16(coff + 2, sectionCount) || !f.u16(coff + 16, optionalSize))
        return std::nullopt;
    const qint64 optional = coff + 20;
    if (!f.u16(optional, magic))
        return std::nullopt;
    qint64 countAt = 0, directoriesAt = 0;
    if (magic == 0x10B) { // PE32
        countAt = 92;
        directoriesAt = 96;
    } else if (magic == 0x20B) { // PE32+
        countAt = 108;
        directoriesAt = 112;
    } else {
        return std::nullopt;
    }
    quint32 directoryCount = 0;
    // The resource directory is entry 2; it must lie inside the optional header.
    if (!f.u32(optional + countAt, directoryCount) || directoryCount < 3
        || directoriesAt + 3 * 8 > qint64(optionalSize))
        return std::nullopt;
    PeLayout layout;
    quint32 resourceSize = 0;
    if (!f.u32(optional + directoriesAt + 16, layout.resourceRva)
        || !f.u32(optional + directoriesAt + 20, resourceSize) || layout.resourceRva == 0
        || resourceSize == 0)
        return std::nullopt;

    const qint64 table = optional + optionalSize;
    if (table + qint64(sectionCount) * 40 > f.size())
        return std::nullopt;
    for (quint32 i = 0; i < sectionCount; ++i) {
        const qint64 s = table + qint64(i) * 40;
        quint32 virtualSize = 0, rawSize = 0, rawAt = 0;
        Section section;
        if (!f.u32(s + 8, virtualSize) || !f.u32(s + 12, section.virtualAddress)
            || !f.u32(s + 16, rawSize) || !f.u32(s + 20, rawAt))
            return std::nullopt;
        // Bytes behind the virtual size are not part of the loaded image.
        qint64 extent = rawSize;
        if (virtualSize != 0 && virtualSize < rawSize)
            extent = virtualSize;
        if (qint64(rawAt) >= f.size())
            extent = 0;
        else
            extent = std::min(extent, f.size() - qint64(rawAt));
        section.extent = extent;
        section.fileOffset = rawAt;
        layout.sections.append(section);
    }
    return layout;
}

// The bytes of the image from `rva` to the end of its section, or nullopt when
// no section holds that address in the file.
std::optional<Bytes> atRva(const Bytes &f, const PeLayout &layout, quint32 rva)
{
    for (const Section &s : layout.sections) {
        if (rva < s.virtualAddress)
            continue;
        const qint64 delta = qint64(rva) - s.virtualAddress;
        if (delta < s.extent)
            return f.slice(s.fileOffset + delta, s.extent - delta);
    }
    return std::nullopt;
}

constexpr quint32 HighBit = 0x80000000u;
constexpr quint32 RtVersion = 16;

// The entry `index` of the resource directory at `dir`: its name word and its offset word.
bool directoryEntry(const Bytes &rsrc, qint64 dir, quint32 index, quint32 &name, quint32 &offset)
{
    const qint64 at = dir + 16 + qint64(index) * 8;
    return rsrc.u32(at, name) && rsrc.u32(at + 4, offset);
}

bool entryCount(const Bytes &rsrc, qint64 dir, quint32 &count)
{
    quint32 named = 0, ids = 0;
    if (!rsrc.u16(dir + 12, named) || !rsrc.u16(dir + 14, ids))
        return false;
    count = named + ids;
    return true;
}

// The VS_VERSIONINFO bytes: type 16, its first name, the first language of that.
// The walk has a fixed depth of three levels and insists on a subdirectory at the
// first two and a data entry at the third, so a directory pointing back at
// itself ends it instead of looping.
std::optional<Bytes> versionBlock(const Bytes &f)
{
    const std::optional<PeLayout> layout = readLayout(f);
    if (!layout)
        return std::nullopt;
    const std::optional<Bytes> rsrc = atRva(f, *layout, layout->resourceRva);
    if (!rsrc)
        return std::nullopt;

    quint32 count = 0, name = 0, offset = 0;
    if (!entryCount(*rsrc, 0, count))
        return std::nullopt;
    bool found = false;
    for (quint32 i = 0; i < count && !found; ++i) {
        if (!directoryEntry(*rsrc, 0, i, name, offset))
            return std::nullopt;
        found = name == RtVersion;
    }
    if (!found || !(offset & HighBit))
        return std::nullopt;

    const qint64 names = offset & ~HighBit;
    if (!entryCount(*rsrc, names, count) || count == 0
        || !directoryEntry(*rsrc, names, 0, name, offset) || !(offset & HighBit))
        return std::nullopt;

    const qint64 languages = offset & ~HighBit;
    if (!entryCount(*rsrc, languages, count) || count == 0
        || !directoryEntry(*rsrc, languages, 0, name, offset) || (offset & HighBit))
        return std::nullopt;

    quint32 dataRva = 0, dataSize = 0;
    if (!rsrc->u32(offset, dataRva) || !rsrc->u32(qint64(offset) + 4, dataSize))
        return std::nullopt;
    const std::optional<Bytes> data = atRva(f, *layout, dataRva);
    if (!data || qint64(dataSize) > data->size())
        return std::nullopt;
    return data->slice(0, dataSize);
}

qint64 align4(qint64 at) { return (at + 3) & ~qint64(3); }

// One node of the version information: a length, a value length, a type, a
// UTF-16 key, the value and the children, each part aligned to 32 bits from the
// start of the block.
struct Node
{
    qint64 end = 0;
    QString key;
    qint64 valueAt = 0;
    qint64 valueBytes = 0;
    qint64 childrenAt = 0;
};

// `valueInUnits`: the value length counts 16-bit units (strings) instead of bytes.
bool readNode(const Bytes &b, qint64 at, qint64 limit, bool valueInUnits, Node &node)
{
    quint32 length = 0, valueLength = 0, unit = 0;
    if (!b.u16(at, length) || !b.u16(at + 2, valueLength) || length < 6 || at + length > limit)
        return false;
    node.end = at + length;
    node.key.clear();
    qint64 p = at + 6;
    for (;;) {
        if (p + 2 > node.end || !b.u16(p, unit))
            return false;
        p += 2;
        if (unit == 0)
            break;
        node.key.append(QChar(char16_t(unit)));
    }
    node.valueAt = std::min(align4(p), node.end);
    // Some tools count string values in bytes; a value is never taken beyond its node.
    const qint64 declared = valueInUnits ? qint64(valueLength) * 2 : qint64(valueLength);
    node.valueBytes = std::min(declared, node.end - node.valueAt);
    node.childrenAt = align4(node.valueAt + node.valueBytes);
    return true;
}

// The first child of `parent` whose key equals `key` without regard to case.
bool findChild(const Bytes &b, const Node &parent, const QString &key, bool valueInUnits,
               Node &child)
{
    qint64 at = parent.childrenAt;
    while (at + 6 <= parent.end) {
        quint32 length = 0;
        if (!b.u16(at, length) || length == 0) // zero padding ends the list
            return false;
        if (!readNode(b, at, parent.end, valueInUnits, child))
            return false;
        if (child.key.compare(key, Qt::CaseInsensitive) == 0)
            return true;
        at = align4(child.end); // length >= 6, so the walk always moves on
    }
    return false;
}

QString stringValue(const Bytes &b, const Node &node)
{
    QString text;
    quint32 unit = 0;
    for (qint64 p = node.valueAt; p + 2 <= node.valueAt + node.valueBytes; p += 2) {
        if (!b.u16(p, unit) || unit == 0)
            break;
        text.append(QChar(char16_t(unit)));
    }
    return text;
}

// What an ANSI program receives: the text in code page 936 ("?" for a character
// it lacks), cut to 255 bytes at a character boundary, and back to Unicode.
QString asAnsiLimited(const QString &text)
{
    constexpr qsizetype Limit = 255;
    QByteArray narrow;
    for (qsizetype i = 0; i < text.size(); ++i) {
        std::optional<QByteArray> bytes;
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i; // outside the code page: one "?" for the pair
        else if (!text.at(i).isSurrogate())
            bytes = codepage::toNarrow(QString(text.at(i)));
        if (!bytes || bytes->isEmpty() || bytes->size() > 2)
            bytes = QByteArray("?");
        if (narrow.size() + bytes->size() > Limit)
            break;
        narrow.append(*bytes);
    }
    return codepage::bytesToText(narrow, QStringLiteral("cp936"));
}

} // namespace

int ReadVersionResourceBytes(const QByteArray &file, VersionStrings &out)
{
    out = VersionStrings();
    const Bytes f(reinterpret_cast<const uchar *>(file.constData()), file.size());
    const std::optional<Bytes> block = versionBlock(f);
    if (!block)
        return VersionResourceUnreadable;
    const Bytes &b = *block;

    Node root, group, var, table, entry;
    if (!readNode(b, 0, b.size(), false, root))
        return VersionResourceUnreadable;

    // The first translation names the string table.
    quint32 language = 0, codePage = 0;
    if (!findChild(b, root, QStringLiteral("VarFileInfo"), false, group)
        || !findChild(b, group, QStringLiteral("Translation"), false, var) || var.valueBytes < 4
        || !b.u16(var.valueAt, language) || !b.u16(var.valueAt + 2, codePage))
        return VersionResourceUnreadable;
    const QString tableKey =
        QStringLiteral("%1").arg(language << 16 | codePage, 8, 16, QChar(u'0')).toUpper();

    static const struct
    {
        const char *key;
        QString VersionStrings::*field;
    } keys[] = {
        {"CompanyName", &VersionStrings::CompanyName},
        {"FileDescription", &VersionStrings::FileDescription},
        {"FileVersion", &VersionStrings::FileVersion},
        {"InternalName", &VersionStrings::InternalName},
        {"LegalCopyright", &VersionStrings::LegalCopyright},
        {"OriginalFileName", &VersionStrings::OriginalFileName},
        {"ProductName", &VersionStrings::ProductName},
        {"ProductVersion", &VersionStrings::ProductVersion},
    };
    const bool haveTable = findChild(b, root, QStringLiteral("StringFileInfo"), false, group)
        && findChild(b, group, tableKey, false, table);
    for (const auto &k : keys) {
        if (!haveTable || !findChild(b, table, QLatin1String(k.key), true, entry))
            return VersionResourceUnreadable;
        out.*k.field = asAnsiLimited(stringValue(b, entry));
    }
    return VersionResourceRead;
}

int ReadVersionResource(const QString &path, VersionStrings &out)
{
    out = VersionStrings();
    QFile file(path);
    // Only a plain file: a device or a pipe has no size to bound the read by.
    if (path.isEmpty() || !QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly) || file.size() > MaxVersionFileSize)
        return VersionResourceUnreadable;
    // As much as the file holds (already checked against the bound), and one byte
    // more to see it grow meanwhile: never the bound's worth of memory up front.
    const qint64 size = file.size();
    const QByteArray bytes = file.read(size + 1);
    if (bytes.size() > size)
        return VersionResourceUnreadable;
    return ReadVersionResourceBytes(bytes, out);
}

std::optional<QString> ProductVersionOf(const QString &path)
{
    VersionStrings strings;
    if (ReadVersionResource(path, strings) != VersionResourceRead)
        return std::nullopt;
    return strings.ProductVersion;
}
