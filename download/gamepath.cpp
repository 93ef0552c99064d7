#include "download/gamepath.h"

#include "web/texthelpers.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace {

constexpr int kMaxNameBytes = 255;  // the longest file name most file systems take

bool isSeparator(QChar c)
{
    return c == u'\\' || c == u'/';
}

qsizetype lastSeparator(const QString &s)
{
    return std::max(s.lastIndexOf(u'\\'), s.lastIndexOf(u'/'));
}

QStringList components(const QString &relative)
{
    QStringList parts;
    QString part;
    for (QChar c : relative) {
        if (isSeparator(c)) {
            parts.append(part);
            part.clear();
        } else {
            part.append(c);
        }
    }
    parts.append(part);
    return parts;
}

bool isDeviceName(const QString &name)
{
    // Windows opens the device also for "con.txt" or "CON " with trailing blanks.
    QString base = name.section(u'.', 0, 0);
    while (base.endsWith(u' '))
        base.chop(1);
    base = base.toUpper();
    static const QStringList fixed = {QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"), QStringLiteral("NUL")};
    if (fixed.contains(base))
        return true;
    return base.size() == 4 && (base.startsWith(u"COM") || base.startsWith(u"LPT")) && base.at(3) >= u'1' && base.at(3) <= u'9';
}

bool byName(const QString &a, const QString &b)
{
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a.compare(b, Qt::CaseSensitive) < 0;
}

QString withSeparator(const QString &folder)
{
    return folder.isEmpty() || isSeparator(folder.back()) ? folder : folder + u'/';
}

// The entry of `folder` whose name is `name` letter case aside; the exact spelling
// wins, otherwise the first by name. Empty text when there is none.
QString lookUp(const QString &folder, const QString &name, bool folderOnly)
{
    const QFileInfo exact(folder + name);
    if (exact.exists() && (!folderOnly || exact.isDir()))
        return name;
    const QDir dir(folder);
    QDir::Filters filters = QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;
    filters |= folderOnly ? QDir::Dirs : (QDir::AllEntries);
    QStringList hits;
    for (const QString &entry : dir.entryList(filters))
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            hits.append(entry);
    if (hits.isEmpty())
        return QString();
    std::sort(hits.begin(), hits.end(), byName);
    return hits.first();
}

} // namespace

QString GameFolderOf(const QString &executablePath)
{
    const qsizetype at = lastSeparator(executablePath);
    return at < 0 ? QString() : executablePath.left(at + 1);
}

QString GameVersionFile(const QString &gameFolder, const QString &executablePath)
{
    const QString dll = QStringLiteral("Game.dll");
    if (IsRegularFile(gameFolder, dll) || executablePath.isEmpty())
        return ResolveInGameFolder(gameFolder, dll).path;
    return executablePath;
}

QString LastPartOf(const QString &path)
{
    return path.mid(lastSeparator(path) + 1);
}

QString CheckFileName(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("名称为空");
    if (name.contains(QChar(u'\0')))
        return QStringLiteral("名称含有 NUL 字符");
    if (std::all_of(name.begin(), name.end(), [](QChar c) { return c == u'.'; }))
        return QStringLiteral("名称只有点");
    for (QChar c : name) {
        if (isSeparator(c))
            return QStringLiteral("名称含有路径分隔符");
        if (c.unicode() < 0x20)
            return QStringLiteral("名称含有控制字符");
        if (QStringView(u"<>:\"|?*").contains(c))
            return QStringLiteral("名称含有不允许的字符 ") + c;
    }
    if (isDeviceName(name))
        return QStringLiteral("名称是设备名");
    if (name.toUtf8().size() > kMaxNameBytes)
        return QStringLiteral("名称过长");
    return QString();
}

QString CheckRelativePath(const QString &relative)
{
    if (relative.isEmpty())
        return QStringLiteral("路径为空");
    if (relative.contains(QChar(u'\0')))
        return QStringLiteral("路径含有 NUL 字符");
    if (isSeparator(relative.front()))
        return QStringLiteral("路径是绝对路径");
    if (relative.size() >= 2 && relative.at(1) == u':' && relative.at(0).isLetter())
        return QStringLiteral("路径含有盘符");
    for (const QString &part : components(relative)) {
        if (part.isEmpty())
            return QStringLiteral("路径含有空的部分");
        if (part == u"..")
            return QStringLiteral("路径离开魔兽目录");
        const QString reason = CheckFileName(part);
        if (!reason.isEmpty())
            return reason;
    }
    return QString();
}

ResolvedPath ResolveInGameFolder(const QString &gameFolder, const QString &relative)
{
    if (gameFolder.isEmpty())
        return {QString(), QStringLiteral("未设置魔兽路径")};
    const QString reason = CheckRelativePath(relative);
    if (!reason.isEmpty())
        return {QString(), reason};
    const QStringList parts = components(relative);
    QString path = withSeparator(gameFolder);
    bool onDisk = true;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        QString part = parts.at(i);
        if (onDisk) {
            const QString found = lookUp(path, part, !last);
            if (found.isEmpty())
                onDisk = false;  // nothing below a missing part exists either
            else
                part = found;
        }
        path += part;
        if (!last)
            path += u'/';
    }
    return {path, QString()};
}

bool WildcardMatch(const QString &pattern, const QString &name)
{
    // Linear scan with one back-up point: the last "*" seen.
    qsizetype p = 0, n = 0, star = -1, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern.at(p) == u'*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size()
                   && (pattern.at(p) == u'?' || pattern.at(p).toCaseFolded() == name.at(n).toCaseFolded())) {
            ++p;
            ++n;
        } else if (star >= 0) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern.at(p) == u'*')
        ++p;
    return p == pattern.size();
}

QStringList FindMatches(const QString &folder, const QString &pattern)
{
    if (folder.isEmpty() || pattern.isEmpty())
        return {};
    // Files: regular files and links to them; broken links, sockets and the
    // like would need System.
    const QDir dir(folder);
    QStringList names;
    for (const QFileInfo &info : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::NoSort))
        if (info.isFile() && WildcardMatch(pattern, info.fileName()))
            names.append(info.fileName());
    std::sort(names.begin(), names.end(), byName);
    const QString base = withSeparator(folder);
    for (QString &n : names)
        n.prepend(base);
    return names;
}

QString FindFirstMatch(const QString &gameFolder, const QString &relativePattern)
{
    if (gameFolder.isEmpty())
        return QString();
    const qsizetype at = lastSeparator(relativePattern);
    const QString pattern = relativePattern.mid(at + 1);
    if (pattern.isEmpty() || pattern.contains(QChar(u'\0')))
        return QString();
    QString folder = withSeparator(gameFolder);
    if (at >= 0) {
        const ResolvedPath resolved = ResolveInGameFolder(gameFolder, relativePattern.left(at));
        if (!resolved.ok())
            return QString();
        folder = resolved.path;
    }
    const QStringList matches = FindMatches(folder, pattern);
    return matches.isEmpty() ? QString() : matches.first();
}

bool IsRegularFile(const QString &gameFolder, const QString &relative)
{
    const ResolvedPath resolved = ResolveInGameFolder(gameFolder, relative);
    return resolved.ok() && QFileInfo(resolved.path).isFile();
}

QString ReplayNameOf(const QString &replayUrl)
{
    const QString decoded = URLDecode(replayUrl);
    return decoded.mid(decoded.lastIndexOf(u'/') + 1);
}

DownloadedReplay FindDownloadedReplay(const QString &gameFolder, const QString &replayName,
                                      const QString &mapPath)
{
    DownloadedReplay out;
    if (gameFolder.isEmpty())
        return out;
    // A name with wildcards or path parts would find another replay.
    if (replayName.contains(u"..") || !CheckFileName(replayName).isEmpty())
        return out;
    const QString replay = FindFirstMatch(gameFolder, QStringLiteral("replay\\*") + replayName);
    if (replay.isEmpty())
        return out;
    const ResolvedPath map = ResolveInGameFolder(gameFolder, mapPath);
    if (!map.ok() || !QFileInfo(map.path).isFile())
        return out;
    out.onDisk = true;
    out.replayPath = replay;
    out.mapFile = map.path;
    return out;
}
