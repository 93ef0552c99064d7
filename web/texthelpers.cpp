#include "web/texthelpers.h"

#include "web/codepage.h"

#include <QStringView>

QString find(const QString &neir, const QString &lside, const QString &rside)
{
    if (rside.isEmpty())
        return QString();
    const qsizetype a = neir.indexOf(lside, 0, Qt::CaseSensitive);
    if (a < 0)
        return QString();
    // The right marker is looked for from the start of the left one, so a right
    // marker that lies inside the left marker is "found" there and gives nothing.
    const qsizetype b = neir.indexOf(rside, a, Qt::CaseSensitive);
    if (b < 0)
        return QString();
    const qsizetype start = a + lside.size();
    const qsizetype length = b - start;
    if (length <= 0)
        return QString();
    return neir.mid(start, length);
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
        if (second >= 0) {
            if (const auto ch = codepage::doubleByteChar(unsigned(first) << 8 | unsigned(second))) {
                out.append(*ch);
                i += 6;
                continue;
            }
        }
        // No trail byte or no such character: keep this escape as written; what
        // follows is decoded on its own.
        out.append(QStringView(strURL).mid(i, 3));
        i += 3;
    }
    return out;
}

namespace {

// Every name stands between semicolons; LAGEND is written that way on purpose.
const QString &tagList()
{
    static const QString list = QStringLiteral(
        ";!--;!DOCTYPE;A;ACRONYM;ADDRESS;APPLET;AREA;B;BASE;BASEFONT;BGSOUND;BIG;BLOCKQUOTE;"
        "BODY;BR;BUTTON;CAPTION;CENTER;CITE;CODE;COL;COLGROUP;COMMENT;DD;DEL;DFN;DIR;DIV;DL;DT;"
        "EM;EMBED;FIELDSET;FONT;FORM;FRAME;FRAMESET;HEAD;H1;H2;H3;H4;H5;H6;HR;HTML;I;IFRAME;IMG;"
        "INPUT;INS;ISINDEX;KBD;LABEL;LAYER;LAGEND;LI;LINK;LISTING;MAP;MARQUEE;MENU;META;NOBR;"
        "NOFRAMES;NOSCRIPT;OBJECT;OL;OPTION;P;PARAM;PLAINTEXT;PRE;Q;S;SAMP;SCRIPT;SELECT;SMALL;"
        "SPAN;STRIKE;STRONG;STYLE;SUB;SUP;TABLE;TBODY;TD;TEXTAREA;TFOOT;TH;THEAD;TITLE;TR;TT;U;"
        "UL;VAR;WBR;XMP;");
    return list;
}

// Tags whose whole element (content and closing tag) goes.
const QString &blockTagList()
{
    static const QString list =
        QStringLiteral(";APPLET;EMBED;FRAMESET;HEAD;NOFRAMES;NOSCRIPT;OBJECT;SCRIPT;STYLE;");
    return list;
}

char16_t asciiUpper(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? char16_t(c - (u'a' - u'A')) : c;
}

// Characters that occur in the tag lists; a name holding any other character can
// never be listed, so its scan stops there.
bool canBeListed(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9')
        || c == u'!' || c == u'-' || c == u';';
}

bool isListed(const QString &list, const QString &upperName)
{
    if (upperName.isEmpty())
        return false;
    return list.indexOf(QLatin1Char(';') + upperName + QLatin1Char(';'), 0, Qt::CaseSensitive) >= 0;
}

// Position of the first "</" + name at or behind `from`, letters compared without
// case; -1 when there is none. `upperName` is upper-case ASCII.
qsizetype findClosingTag(const QString &text, qsizetype from, const QString &upperName)
{
    const qsizetype n = text.size();
    const qsizetype m = upperName.size();
    const QChar *d = text.constData();
    for (qsizetype i = text.indexOf(u"</", from); i >= 0; i = text.indexOf(u"</", i + 1)) {
        if (i + 2 + m > n)
            return -1;
        qsizetype k = 0;
        while (k < m && asciiUpper(d[i + 2 + k].unicode()) == upperName.at(k).unicode())
            ++k;
        if (k == m)
            return i;
    }
    return -1;
}

} // namespace

QString HtmlToText(const QString &text)
{
    const qsizetype n = text.size();
    const QChar *d = text.constData();
    const QStringView view(text);
    // No listed name is longer than the list itself.
    const qsizetype maxName = tagList().size();

    QString out;
    out.reserve(n);

    qsizetype pos = 0;                   // start of the part not yet handled
    qsizetype p1 = text.indexOf(u'<', pos);
    qsizetype gt = -2;                   // first ">" behind the last search start; -1 none
    while (p1 >= 0) {
        // Starts only move forward, so a ">" found before still is the first one
        // behind p1 while it lies behind p1.
        if (gt != -1 && gt <= p1)
            gt = text.indexOf(u'>', p1 + 1);
        if (gt < 0)
            break;
        qsizetype p2 = gt;

        // Tag name: the tag text up to its first blank, line breaks counting as blanks.
        qsizetype s = p1 + 1;
        bool closing = false;
        if (s < p2 && d[s] == u'/') {
            closing = true;
            ++s;
        }
        QString name;
        bool listable = true;
        for (qsizetype k = s; k < p2; ++k) {
            const char16_t c = d[k].unicode();
            if (c == u' ' || c == u'\r' || c == u'\n')
                break;
            if (!canBeListed(c) || name.size() >= maxName) {
                listable = false;
                break;
            }
            name.append(QChar(asciiUpper(c)));
        }

        const bool removable = listable && isListed(tagList(), name);
        if (removable && !closing && isListed(blockTagList(), name)) {
            // The whole element goes, up to the ">" of its closing tag or to the end.
            p2 = n - 1;
            const qsizetype p3 = findClosingTag(text, p1 + 1, name);
            if (p3 >= 0) {
                const qsizetype close = text.indexOf(u'>', p3 + 1);
                if (close >= 0)
                    p2 = close;
            }
        }

        if (removable) {
            out.append(view.mid(pos, p1 - pos));
            pos = p2 + 1;
        } else {
            // Keep the "<" and go on scanning right behind it.
            out.append(view.mid(pos, p1 + 1 - pos));
            pos = p1 + 1;
        }
        p1 = pos < n ? text.indexOf(u'<', pos) : -1;
    }
    if (pos < n)
        out.append(view.mid(pos));

    out.replace(QStringLiteral("&nbsp"), QStringLiteral(" "), Qt::CaseSensitive);
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
