#include "download/pebuilder.h"

namespace pebuilder {
namespace {
// Little-endian, `bytes` wide.
void set(QByteArray &b, qsizetype at, quint32 v, int bytes = 4)
{
    for (int i = 0; i < bytes; ++i)
        b[at + i] = char(v >> 8 * i);
}
QByteArray utf16z(const QString &s)
{
    QByteArray b;
    for (QChar c : s + QChar(0))
        b.append(char(c.unicode())).append(char(c.unicode() >> 8));
    return b;
}

// wLength, wValueLength, wType, key, value, children; parts aligned to 32 bits.
QByteArray node(const QString &key, const QByteArray &value, quint32 valueLength, quint32 type, const QList<QByteArray> &children = {})
{
    QByteArray b(6, '\0');
    set(b, 2, valueLength, 2);
    set(b, 4, type, 2);
    b += utf16z(key);
    for (const QByteArray &part : QList<QByteArray>{value} + children)
        b += QByteArray(-b.size() & 3, '\0') + part;
    set(b, 0, quint32(b.size()), 2);
    return b;
}
} // namespace

QByteArray versionInfo(const VersionContent &content)
{
    QList<QByteArray> strings;
    for (const auto &[key, value] : content.strings)
        strings.append(node(key, utf16z(value), quint32(value.size() + 1), 1));
    QList<QByteArray> groups = {node(QStringLiteral("StringFileInfo"), {}, 0, 1, {node(content.tableKey, {}, 0, 1, strings)})};
    QByteArray pairs;
    for (const auto &[language, codePage] : content.translations)
        for (const quint16 v : {language, codePage})
            pairs.append(char(v)).append(char(v >> 8));
    if (!pairs.isEmpty())
        groups.append(node(QStringLiteral("VarFileInfo"), {}, 0, 1, {node(QStringLiteral("Translation"), pairs, quint32(pairs.size()), 0)}));
    QByteArray fixed(52, '\0');
    set(fixed, 0, 0xFEEF04BD);
    set(fixed, 4, 0x00010000);
    return node(QStringLiteral("VS_VERSION_INFO"), fixed, 52, 0, groups);
}

QByteArray image(const QByteArray &versionInfo, bool pe32plus, bool looping)
{
    // Resource section at file offset 0x200, RVA 0x1000: root (type 16) at 0x00,
    // names (id 1) at 0x18, languages (0x0409) at 0x30, data entry at 0x48,
    // version block at 0x58.
    QByteArray rsrc(0x58, '\0');
    const quint32 entries[3][2] = {{16, 0x80000018u}, {1, looping ? 0x80000000u : 0x80000030u}, {0x0409, 0x48}};
    for (int i = 0; i < 3; ++i) {
        set(rsrc, i * 0x18 + 14, 1, 2);  // one entry with an id
        set(rsrc, i * 0x18 + 16, entries[i][0]);
        set(rsrc, i * 0x18 + 20, entries[i][1]);
    }
    set(rsrc, 0x48, 0x1058);
    set(rsrc, 0x4C, quint32(versionInfo.size()));
    rsrc += versionInfo;
    const quint32 size = quint32(rsrc.size()), optionalSize = pe32plus ? 240 : 224;
    const int optional = 0x58, section = optional + optionalSize, directories = optional + (pe32plus ? 112 : 96);
    // "MZ", e_lfanew, "PE\0\0", one section, the optional header's size and magic,
    // 16 directories with the resources third, and the section's place.
    const QPair<int, quint32> fields[] = {{0, 0x5A4D}, {0x3C, 0x40}, {0x40, 0x4550}, {0x46, 1}, {0x54, optionalSize},
        {optional, pe32plus ? 0x20Bu : 0x10Bu}, {directories - 4, 16}, {directories + 16, 0x1000}, {directories + 20, size},
        {section + 8, size}, {section + 12, 0x1000}, {section + 16, size}, {section + 20, 0x200}};
    QByteArray pe(0x200, '\0');
    for (const auto &[at, value] : fields)
        set(pe, at, value);
    pe.replace(section, 5, ".rsrc");
    return pe + rsrc;
}
} // namespace pebuilder
