#include "details/dotadetail.h"

#include "download/playback.h"
#include "web/texthelpers.h"

#include <algorithm>

namespace {

QString bounded(const QString &s, qsizetype limit = kDotaFieldLimit)
{
    return s.size() > limit ? s.left(limit) : s;
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// An occurrence of the name at `at` is a whole entry when markup, a quote or a
// path separator stands before it (blanks aside) and markup, a quote or the map's
// extension follows it: "v6.6" then never matches inside "v6.66" or "New v6.6".
// The extension is ".w3x" or ".W3X", the two a map name is cut from; ".W3x" in
// mixed case stays part of another map's name ("v6.65.W3x" is not "v6.65").
bool wholeEntry(const QString &index, qsizetype at, qsizetype length)
{
    qsizetype before = at - 1;
    while (before >= 0 && isBlank(index.at(before)))
        --before;
    if (before >= 0) {
        const QChar c = index.at(before);
        if (c != u'>' && c != u'"' && c != u'\'' && c != u'/')
            return false;
    }
    const qsizetype end = at + length;
    const QStringView extension = QStringView(index).mid(end, 4);
    if (extension == u".w3x" || extension == u".W3X")
        return true;
    qsizetype after = end;
    while (after < index.size() && isBlank(index.at(after)))
        ++after;
    if (after >= index.size())
        return false;
    const QChar c = index.at(after);
    return c == u'<' || c == u'"' || c == u'\'';
}

bool folderChar(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' || c == u'-';
}

} // namespace

DotaDetail ParseDotaDetail(const QString &page, const QString &dotaSiteRoot)
{
    DotaDetail d;
    const QString value = find(page, QStringLiteral("labMapname\"><a href='/"), QStringLiteral(".w3x'>"));
    const QString path = bounded(value) + QStringLiteral(".w3x");
    QString name = path.mid(path.lastIndexOf(u'/') + 1);
    name.remove(QStringLiteral(".w3x"));
    name.remove(QStringLiteral(".W3X"));
    d.mapName = name;
    // Without a name there is no map to fetch: the fields stay empty instead of ".w3x".
    if (!name.isEmpty())
        d.mapPath = QString(path).replace(u'/', u'\\');

    d.time = bounded(find(page, QStringLiteral("<span id=\"labTime\">"), QStringLiteral("</span>")));
    d.players = bounded(find(page, QStringLiteral("labUserno\">"), QStringLiteral("</span>")));
    d.version = bounded(find(page, QStringLiteral("labVer\">"), QStringLiteral("</span>")));
    const QString content = find(page, QStringLiteral("<span id=\"labContent\" class=\"replaycon\">"), QStringLiteral("</span>"));
    // Markup is removed from a bounded piece, so the work stays bounded too.
    d.commentary = bounded(HtmlToText(bounded(content, 4 * kDotaCommentaryLimit)), kDotaCommentaryLimit);
    const QString download = find(page, QStringLiteral("/Download.aspx?"), QStringLiteral("' class='imgbtn'>Download"));
    d.replayUrl = bounded(dotaSiteRoot + QStringLiteral("/Download.aspx?") + download);
    const QString span = QStringLiteral("<span id=\"labPlayerdata\">");
    d.playerData = span + bounded(find(page, span, QStringLiteral("<ul id='itemdescription'")), kDotaPlayerDataLimit);
    return d;
}

QString DotaMapFolder(const QString &index, const QString &mapName)
{
    if (mapName.isEmpty())
        return QString();
    for (qsizetype at = index.indexOf(mapName); at >= 0; at = index.indexOf(mapName, at + 1)) {
        if (!wholeEntry(index, at, mapName.size()))
            continue;
        const QString a = find(index.mid(at), mapName, QStringLiteral(".html"));
        const QString b = find(a + QStringLiteral(">"), QStringLiteral("/page/"), QStringLiteral(">"));
        const QString folder = b.left(6);
        if (folder.isEmpty() || !std::all_of(folder.begin(), folder.end(), folderChar))
            return QString();
        return folder;
    }
    return QString();
}

QString DotaMapUrl(const QString &dotaMapRoot, const QString &folder, const QString &mapName)
{
    return dotaMapRoot + folder + QStringLiteral("/") + QString(mapName).replace(u' ', QStringLiteral("%20"))
        + QStringLiteral(".w3x");
}

QString DotaMapWireUrl(const QString &dotaMapRoot, const QString &folder, const QString &mapName)
{
    QString name;
    name.reserve(mapName.size() + 16);
    for (QChar c : mapName) {
        switch (c.unicode()) {
        case u' ': name += QStringLiteral("%20"); break;
        case u'%': name += QStringLiteral("%25"); break;
        case u'#': name += QStringLiteral("%23"); break;
        case u'?': name += QStringLiteral("%3F"); break;
        default: name += c;
        }
    }
    return dotaMapRoot + folder + QStringLiteral("/") + name + QStringLiteral(".w3x");
}

QString DotaMinimapDocument(const QString &dotaSiteRoot)
{
    return QStringLiteral("<body style='margin:0px;'><img width='168' height='168' src='") + dotaSiteRoot.toHtmlEscaped()
        + QStringLiteral("/main/minimaps/DotA%20Allstars%20v6.66.jpg' /></body>");
}

QString FillDotaTemplate(const QString &pageTemplate, const QString &playerData)
{
    return QString(pageTemplate).replace(QStringLiteral("{{0}}"), playerData);
}

QString DotaMapMissingMessage(const QString &mapName)
{
    return MapNotFoundText(mapName);  // the download skips such a map with the same words
}
