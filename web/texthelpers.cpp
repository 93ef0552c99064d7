#include "web/texthelpers.h"

#include "web/codepage.h"

#include <QStringView>

#include <algorithm>
#include <cstring>
#include <iterator>

QString find(const QString &neir, const QString &lside, const QString &rside)
{
    return findView(neir, lside, rside).toString();
}

QStringView findView(QStringView neir, QStringView lside, QStringView rside)
{
    if (rside.isEmpty())
        return {};
    const qsizetype a = neir.indexOf(lside, 0, Qt::CaseSensitive);
    if (a < 0)
        return {};
    // The right marker is looked for from the start of the left one, so a right
    // marker that lies inside the left marker is "found" there and gives nothing.
    const qsizetype b = neir.indexOf(rside, a, Qt::CaseSensitive);
    if (b < 0)
        return {};
    const qsizetype start = a + lside.size();
    const qsizetype length = b - start;
    if (length <= 0)
        return {};
    return neir.sliced(start, length);
}

namespace {

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// The byte written as two hex digits at `at`, or -1 when there are no two digits.
int hexPair(const QString &s, qsizetype at)
{
    if (at < 0 || at + 1 >= s.size())
        return -1;
    const int hi = hexValue(s.at(at));
    const int lo = hexValue(s.at(at + 1));
    if (hi < 0 || lo < 0)
        return -1;
    return hi * 16 + lo;
}

} // namespace

QString URLDecode(const QString &strURL)
{
    if (!strURL.contains(u'%'))
        return strURL;

    const qsizetype n = strURL.size();
    QString out;
    out.reserve(n);
    qsizetype i = 0;
    while (i < n) {
        const QChar c = strURL.at(i);
        if (c != u'%') {
            out.append(c);
            ++i;
            continue;
        }
        const int first = hexPair(strURL, i + 1);
        if (first < 0) {
            // Not an escape: keep the "%" and read on behind it.
            out.append(c);
            ++i;
            continue;
        }
        if (first <= 0x7F) {
            out.append(QChar(char16_t(first)));
            i += 3;
            continue;
        }
        // A lead byte: the next escape (its "%" at i+3, whatever it is) holds the
        // trail byte of one code-page-936 character.
        const int second = (i + 3 < n) ? hexPair(strURL, i + 4) : -1;
        if (second < 0) {
            // No trail byte: keep this escape as written and read on behind it.
            out.append(QStringView(strURL).mid(i, 3));
            i += 3;
            continue;
        }
        if (const auto ch = codepage::doubleByteChar(unsigned(first) << 8 | unsigned(second)))
            out.append(*ch);
        else
            // The pair is no character: both escapes stay as written, so a broken
            // pair never lets its trail byte out as "/" or NUL on its own.
            out.append(QStringView(strURL).mid(i, 6));
        i += 6;
    }
    return out;
}

namespace {

// The removed tags, in the order of the tag list ";!--;!DOCTYPE;A;...;XMP;".
// LAGEND is written that way on purpose (there is no LEGEND).
constexpr const char *kTagNames[] = {
    "!--", "!DOCTYPE", "A", "ACRONYM", "ADDRESS", "APPLET", "AREA", "B", "BASE", "BASEFONT",
    "BGSOUND", "BIG", "BLOCKQUOTE", "BODY", "BR", "BUTTON", "CAPTION", "CENTER", "CITE", "CODE",
    "COL", "COLGROUP", "COMMENT", "DD", "DEL", "DFN", "DIR", "DIV", "DL", "DT",
    "EM", "EMBED", "FIELDSET", "FONT", "FORM", "FRAME", "FRAMESET", "HEAD", "H1", "H2",
    "H3", "H4", "H5", "H6", "HR", "HTML", "I", "IFRAME", "IMG", "INPUT",
    "INS", "ISINDEX", "KBD", "LABEL", "LAYER", "LAGEND", "LI", "LINK", "LISTING", "MAP",
    "MARQUEE", "MENU", "META", "NOBR", "NOFRAMES", "NOSCRIPT", "OBJECT", "OL", "OPTION", "P",
    "PARAM", "PLAINTEXT", "PRE", "Q", "S", "SAMP", "SCRIPT", "SELECT", "SMALL", "SPAN",
    "STRIKE", "STRONG", "STYLE", "SUB", "SUP", "TABLE", "TBODY", "TD", "TEXTAREA", "TFOOT",
    "TH", "THEAD", "TITLE", "TR", "TT", "U", "UL", "VAR", "WBR", "XMP",
};

// Tags whose whole element (content and closing tag) goes, in the order of
// ";APPLET;EMBED;FRAMESET;HEAD;NOFRAMES;NOSCRIPT;OBJECT;SCRIPT;STYLE;".
constexpr const char *kBlockNames[] = {
    "APPLET", "EMBED", "FRAMESET", "HEAD", "NOFRAMES", "NOSCRIPT", "OBJECT", "SCRIPT", "STYLE",
};

// A listed name is at most ten characters of A-Z, 0-9, "!" and "-"; six bits a
// character pack it into one number, compared without building any string.
constexpr int kMaxNameLength = 10;

// The longest tag name that can be found in the tag list: neighbours joined by
// ";" match as one name, so at most the whole list between its outer ";".
constexpr qsizetype longestListedRun()
{
    qsizetype length = -1;
    for (const char *name : kTagNames) {
        qsizetype k = 0;
        while (name[k])
            ++k;
        length += k + 1;
    }
    return length;
}
constexpr qsizetype kLongestTagName = longestListedRun();

int nameCode(char16_t c)
{
    if (c >= u'a' && c <= u'z')
        return c - u'a' + 1;  // compared without letter case
    if (c >= u'A' && c <= u'Z')
        return c - u'A' + 1;
    if (c >= u'0' && c <= u'9')
        return c - u'0' + 27;
    if (c == u'!')
        return 37;
    if (c == u'-')
        return 38;
    return 0;
}

struct ListedName {
    quint64 key = 0;   // 0: empty slot
    int tagIndex = -1;
    int blockIndex = -1;
};

// Open-addressing set of the listed names, built once.
class TagTable {
public:
    TagTable()
    {
        for (int i = 0; i < int(std::size(kTagNames)); ++i)
            slot(keyOf(kTagNames[i])).tagIndex = i;
        for (int i = 0; i < int(std::size(kBlockNames)); ++i)
            slot(keyOf(kBlockNames[i])).blockIndex = i;
    }

    const ListedName *lookup(quint64 key) const
    {
        for (unsigned h = hash(key);; h = (h + 1) % kSlots) {
            if (m_slots[h].key == key)
                return &m_slots[h];
            if (m_slots[h].key == 0)
                return nullptr;
        }
    }

private:
    static constexpr unsigned kSlots = 512;
    static unsigned hash(quint64 key) { return unsigned((key * 0x9E3779B97F4A7C15ull) >> 55) % kSlots; }
    static quint64 keyOf(const char *name)
    {
        quint64 key = 0;
        for (; *name; ++name)
            key = key << 6 | quint64(nameCode(char16_t(*name)));
        return key;
    }
    ListedName &slot(quint64 key)
    {
        unsigned h = hash(key);
        while (m_slots[h].key != 0 && m_slots[h].key != key)
            h = (h + 1) % kSlots;
        m_slots[h].key = key;
        return m_slots[h];
    }
    ListedName m_slots[kSlots];
};

const TagTable &tagTable()
{
    static const TagTable table;
    return table;
}

struct TagClass {
    bool removable = false;  // ";" + name + ";" occurs in the tag list
    bool block = false;      // ... and in the block tag list
};

// Looks `name` up as the lists do: ";" + name + ";" occurring in the list text,
// letters compared without case. A name holding ";" matches when its parts are
// neighbours in that order in the list.
TagClass classify(QStringView name)
{
    TagClass out;
    if (name.isEmpty())
        return out;
    const TagTable &table = tagTable();
    bool inTags = true;
    bool inBlocks = true;
    int prevTag = -2;
    int prevBlock = -2;
    qsizetype k = 0;
    const qsizetype n = name.size();
    while (k <= n) {
        // One part: up to the next ";" or the end.
        quint64 key = 0;
        int length = 0;
        for (; k < n && name[k] != u';'; ++k) {
            const int code = nameCode(name[k].unicode());
            if (code == 0 || ++length > kMaxNameLength)
                return out;
            key = key << 6 | quint64(code);
        }
        const ListedName *hit = length ? table.lookup(key) : nullptr;
        if (!hit)
            return out;  // an empty or unknown part, so no such run in either list
        inTags = inTags && hit->tagIndex >= 0 && (prevTag == -2 || hit->tagIndex == prevTag + 1);
        inBlocks = inBlocks && hit->blockIndex >= 0 && (prevBlock == -2 || hit->blockIndex == prevBlock + 1);
        if (!inTags)
            return out;
        prevTag = hit->tagIndex;
        prevBlock = hit->blockIndex;
        ++k;  // behind the ";" (or past the end)
    }
    out.removable = true;
    out.block = inBlocks;
    return out;
}

char16_t asciiUpper(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? char16_t(c - (u'a' - u'A')) : c;
}

// Position of the first "</" + name at or behind `from`, letters compared without
// case; -1 when there is none.
qsizetype findClosingTag(const QString &text, qsizetype from, QStringView name)
{
    const qsizetype n = text.size();
    const qsizetype m = name.size();
    const QChar *d = text.constData();
    // Single-character search: it is the fast one.
    for (qsizetype i = text.indexOf(u'<', from); i >= 0; i = text.indexOf(u'<', i + 1)) {
        if (i + 1 < n && d[i + 1] != u'/')
            continue;
        if (i + 2 + m > n)
            return -1;
        qsizetype k = 0;
        while (k < m && asciiUpper(d[i + 2 + k].unicode()) == asciiUpper(name[k].unicode()))
            ++k;
        if (k == m)
            return i;
    }
    return -1;
}

// Turns every "&nbsp" (exact) that starts at or behind `from` in `out` into one
// blank, in place. The replacement works on the output, so an "&nbsp" that removed
// tags have joined together counts too; a "&" too near the end to tell is left for
// the next call unless `final`. Returns where the next call has to start.
qsizetype replaceNbsp(QString &out, qsizetype from, bool final)
{
    QChar *d = out.data();
    const qsizetype n = out.size();
    qsizetype write = from;  // end of the finished part
    qsizetype keep = from;   // start of the part not yet moved down
    qsizetype next = n;      // where the next call starts (relative to the old text)
    for (qsizetype a = QStringView(d, n).indexOf(u'&', from); a >= 0; a = QStringView(d, n).indexOf(u'&', a + 1)) {
        if (a + 5 > n) {
            if (!final)
                next = a;
            break;
        }
        if (d[a + 1] != u'n' || d[a + 2] != u'b' || d[a + 3] != u's' || d[a + 4] != u'p')
            continue;
        if (write != keep)
            std::memmove(d + write, d + keep, size_t(a - keep) * sizeof(QChar));
        write += a - keep;
        d[write++] = QChar(u' ');
        keep = a + 5;
        a += 4;
    }
    if (write != keep)
        std::memmove(d + write, d + keep, size_t(n - keep) * sizeof(QChar));
    out.truncate(write + (n - keep));
    return next - (keep - write);
}

// Output is cleaned of "&nbsp" in blocks of this many characters, while still in the cache.
constexpr qsizetype kNbspBlock = 32 * 1024;

} // namespace

QString HtmlToText(const QString &text)
{
    const qsizetype n = text.size();
    const QChar *d = text.constData();
    const QStringView view(text);

    QString out;
    out.reserve(n);

    qsizetype pos = 0;                   // start of the part not yet handled
    qsizetype p1 = text.indexOf(u'<', pos);
    qsizetype gt = -2;                   // first ">" behind the last search start; -1 none
    qsizetype nbspFrom = 0;              // output before this holds no "&nbsp" any more
    while (p1 >= 0) {
        // Starts only move forward, so a ">" found before still is the first one
        // behind p1 while it lies behind p1.
        if (gt != -1 && gt <= p1)
            gt = text.indexOf(u'>', p1 + 1);
        if (gt < 0)
            break;
        qsizetype p2 = gt;

        // Tag name: the tag text up to its first blank, line breaks counting as blanks.
        // The scan stops as soon as the name can no longer be a listed one (a
        // character no listed name has, a part longer than any listed name, more
        // than the whole list): scanning each "<" of "a<b a<b ..." on to a distant
        // ">" would cost the square of the text.
        qsizetype s = p1 + 1;
        bool closing = false;
        if (s < p2 && d[s] == u'/') {
            closing = true;
            ++s;
        }
        const qsizetype stop = std::min(p2, s + kLongestTagName + 1);
        qsizetype e = s;
        bool listable = true;
        for (int part = 0; e < stop && d[e] != u' ' && d[e] != u'\r' && d[e] != u'\n'; ++e) {
            if (d[e] == u';') {
                part = 0;
            } else if (nameCode(d[e].unicode()) == 0 || ++part > kMaxNameLength) {
                listable = false;
                break;
            }
        }
        listable = listable && e - s <= kLongestTagName;
        const QStringView name = view.sliced(s, e - s);
        const TagClass tag = listable ? classify(name) : TagClass{};
        if (tag.removable && tag.block && !closing) {
            // The whole element goes, up to the ">" of its closing tag or to the end.
            p2 = n - 1;
            const qsizetype p3 = findClosingTag(text, p1 + 1, name);
            if (p3 >= 0) {
                const qsizetype close = text.indexOf(u'>', p3 + 1);
                if (close >= 0)
                    p2 = close;
            }
        }

        if (tag.removable) {
            out.append(view.sliced(pos, p1 - pos));
            pos = p2 + 1;
        } else {
            // Keep the "<" and go on scanning right behind it.
            out.append(view.sliced(pos, p1 + 1 - pos));
            pos = p1 + 1;
        }
        if (out.size() - nbspFrom > kNbspBlock)
            nbspFrom = replaceNbsp(out, nbspFrom, false);
        p1 = pos < n ? text.indexOf(u'<', pos) : -1;
    }
    if (pos < n)
        out.append(view.sliced(pos));
    replaceNbsp(out, nbspFrom, true);

    return out;
}

QString TrimBlanks(const QString &s)
{
    qsizetype from = 0;
    qsizetype to = s.size();
    while (from < to && s.at(from) == u' ')
        ++from;
    while (to > from && s.at(to - 1) == u' ')
        --to;
    return s.mid(from, to - from);
}

QString ListCellText(const QString &text)
{
    constexpr qsizetype kMaxCell = 256;
    if (text.size() <= kMaxCell)
        return text;
    qsizetype keep = kMaxCell - 1;
    if (text.at(keep - 1).isHighSurrogate())
        --keep;  // never half a character
    return text.left(keep) + QChar(0x2026);
}
