#include "download/pebuilder.h"

#include <QtEndian>

namespace pebuilder {
namespace {

template <typename T> void put(QByteArray &b, quint32 v)
{
    char bytes[sizeof(T)];
    qToLittleEndian<T>(T(v), bytes);
    b.append(bytes, sizeof(T));
}
template <typename T> void set(QByteArray &b, qsizetype at, quint32 v) { qToLittleEndian<T>(T(v), b.data() + at); }
const auto put16 = put<quint16>, put32 = put<quint32>;
const auto set16 = set<quint16>, set32 = set<quint32>;

void pad(QByteArray &b, qsizetype align)
{
    while (b.size() % align)
        b.append('\0');
}
QByteArray utf16z(const QString &s)
{
    QByteArray b;
    for (QChar c : s + QChar(0))
        put16(b, c.unicode());
    return b;
}

// wLength, wValueLength, wType, key, value, children; parts aligned to 32 bits.
QByteArray node(const QString &key, const QByteArray &value, quint16 valueLength, quint16 type,
                const QList<QByteArray> &children = {})
{
    QByteArray b;
    for (quint32 v : {0u, quint32(valueLength), quint32(type)})
        put16(b, v);
    b.append(utf16z(key));
    pad(b, 4);
    b.append(value);
    for (const QByteArray &child : children) {
        pad(b, 4);
        b.append(child);
    }
    set16(b, 0, quint32(b.size()));
    return b;
}

} // namespace

QList<QPair<QString, QString>> standardStrings(const QString &productVersion)
{
    return {
        {QStringLiteral("CompanyName"), QStringLiteral("Demo Company")},
        {QStringLiteral("FileDescription"), QStringLiteral("Game Library")},
        {QStringLiteral("FileVersion"), productVersion},
        {QStringLiteral("InternalName"), QStringLiteral("Game")},
        {QStringLiteral("LegalCopyright"), QStringLiteral("Copyright demo")},
        {QStringLiteral("OriginalFilename"), QStringLiteral("Game.dll")},
        {QStringLiteral("ProductName"), QStringLiteral("Warcraft III")},
        {QStringLiteral("ProductVersion"), productVersion},
    };
}

QByteArray versionInfo(const VersionContent &content)
{
    QList<QByteArray> strings;
    for (const auto &[key, value] : content.strings)
        strings.append(node(key, utf16z(value), quint16(value.size() + 1), 1));
    QList<QByteArray> groups = {node(QStringLiteral("StringFileInfo"), {}, 0, 1, {node(content.tableKey, {}, 0, 1, strings)})};
    if (!content.translations.isEmpty()) {
        QByteArray pairs;
        for (const auto &[language, codePage] : content.translations) {
            put16(pairs, language);
            put16(pairs, codePage);
        }
        const QByteArray var = node(QStringLiteral("Translation"), pairs, quint16(pairs.size()), 0);
        groups.append(node(QStringLiteral("VarFileInfo"), {}, 0, 1, {var}));
    }
    QByteArray fixed;
    put32(fixed, 0xFEEF04BD);
    put32(fixed, 0x00010000);
    fixed.resize(52, '\0');
    return node(QStringLiteral("VS_VERSION_INFO"), fixed, 52, 0, groups);
}

QByteArray image(const QByteArray &versionInfo, const ImageOptions &options)
{
    constexpr quint32 FileAlign = 0x200, RsrcRva = 0x1000;

    // Resource section: root (type 16) at 0x00, names (id 1) at 0x18,
    // languages (0x0409) at 0x30, data entry at 0x48, version block at 0x58.
    QByteArray rsrc;
    auto directory = [&rsrc](quint32 id, quint32 offset) {
        rsrc.append(14, '\0');
        put16(rsrc, 1);  // one entry with an id
        put32(rsrc, id);
        put32(rsrc, offset);
    };
    directory(16, 0x80000000u | 0x18);
    directory(1, 0x80000000u | (options.loopingDirectory ? 0x00 : 0x30));
    directory(0x0409, 0x48);
    for (quint32 v : {RsrcRva + 0x58, quint32(versionInfo.size()), 0u, 0u})
        put32(rsrc, v);
    rsrc.append(versionInfo);
    const quint32 virtualSize = quint32(rsrc.size());
    pad(rsrc, FileAlign);

    const quint16 optionalSize = options.pe32plus ? 240 : 224;
    QByteArray pe(0x40, '\0');
    pe[0] = 'M';
    pe[1] = 'Z';
    set32(pe, 0x3C, 0x40);
    pe.append("PE\0\0", 4);
    put16(pe, options.pe32plus ? 0x8664 : 0x014C);  // machine
    put16(pe, 1);                                    // sections
    pe.append(12, '\0');
    put16(pe, optionalSize);
    put16(pe, 0x2102);  // DLL, executable
    const qsizetype optional = pe.size();
    pe.append(QByteArray(optionalSize, '\0'));
    set16(pe, optional, options.pe32plus ? 0x20B : 0x10B);
    set32(pe, optional + 32, 0x1000);                         // section alignment
    set32(pe, optional + 36, FileAlign);                      // file alignment
    set32(pe, optional + (options.pe32plus ? 108 : 92), 16);  // directory count
    const qsizetype directories = optional + (options.pe32plus ? 112 : 96);
    set32(pe, directories + 16, RsrcRva);
    set32(pe, directories + 20, virtualSize);

    QByteArray section(40, '\0');
    section.replace(0, 5, ".rsrc");
    set32(section, 8, virtualSize);
    set32(section, 12, RsrcRva);
    set32(section, 16, quint32(rsrc.size()));
    set32(section, 20, FileAlign);
    set32(section, 36, 0x40000040);  // initialised data, readable
    pe.append(section);
    pad(pe, FileAlign);
    return pe + rsrc;
}

} // namespace pebuilder
