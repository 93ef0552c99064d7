#include "web/siteconfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>

namespace {
QString siteRoot(QString s)
{
    s = s.trimmed();
    while (s.endsWith(u'/'))
        s.chop(1);
    return s;
}
QString folderRoot(QString s)
{
    s = s.trimmed();
    if (!s.isEmpty() && !s.endsWith(u'/'))
        s += u'/';
    return s;
}
} // namespace

SiteRoots ConfiguredSiteRoots(const QString &iniPath)
{
    SiteRoots r;
    if (!iniPath.isEmpty() && QFile::exists(iniPath)) {
        QSettings ini(iniPath, QSettings::IniFormat);
        ini.beginGroup(QStringLiteral("sites"));
        r.melee = ini.value(QStringLiteral("melee")).toString();
        r.dota = ini.value(QStringLiteral("dota")).toString();
        r.dotaMap = ini.value(QStringLiteral("dotamap")).toString();
        r.feed = ini.value(QStringLiteral("feed")).toString();
    }
    auto env = [](const char *name, QString &field) {
        const QString v = qEnvironmentVariable(name);
        if (!v.isEmpty())
            field = v;
    };
    env("QUILLMARK_MELEE_ROOT", r.melee);
    env("QUILLMARK_DOTA_ROOT", r.dota);
    env("QUILLMARK_DOTA_MAP_ROOT", r.dotaMap);
    env("QUILLMARK_FEED_URL", r.feed);
    r.melee = siteRoot(r.melee);
    r.dota = siteRoot(r.dota);
    r.dotaMap = folderRoot(r.dotaMap);
    r.feed = r.feed.trimmed();
    return r;
}

SiteRoots MergeSiteRoots(const SiteRoots &configured, const SiteRoots &fallback)
{
    SiteRoots r = configured;
    if (r.melee.isEmpty()) r.melee = fallback.melee;
    if (r.dota.isEmpty()) r.dota = fallback.dota;
    if (r.dotaMap.isEmpty()) r.dotaMap = fallback.dotaMap;
    if (r.feed.isEmpty()) r.feed = fallback.feed;
    return r;
}

bool ConfiguredAutoSave(const QString &iniPath)
{
    if (iniPath.isEmpty() || !QFile::exists(iniPath))
        return false;
    QSettings ini(iniPath, QSettings::IniFormat);
    return ini.value(QStringLiteral("local/autosave"), false).toBool();
}

bool SaveAutoSave(const QString &iniPath, bool on)
{
    if (iniPath.isEmpty())
        return false;
    QString text;
    if (QFile in(iniPath); in.exists()) {
        if (!in.open(QIODevice::ReadOnly))
            return false;
        text = QString::fromUtf8(in.readAll());
    }
    QDir().mkpath(QFileInfo(iniPath).absolutePath());
    QSaveFile out(iniPath);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(SetIniValue(text, QStringLiteral("local"), QStringLiteral("autosave"),
                          on ? QStringLiteral("true") : QStringLiteral("false")).toUtf8());
    return out.commit();
}

QString SetIniValue(const QString &text, const QString &section, const QString &key, const QString &value)
{
    const QString eol = text.contains(QLatin1String("\r\n")) ? QStringLiteral("\r\n") : QStringLiteral("\n");
    QStringList lines = text.isEmpty() ? QStringList() : text.split(eol);
    const bool endsWithBreak = !text.isEmpty() && lines.last().isEmpty();
    if (endsWithBreak)
        lines.removeLast();
    const QString header = u'[' + section + u']';
    const QString line = key + u'=' + value;
    qsizetype start = -1;
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines.at(i).trimmed() == header) {
            start = i;
            break;
        }
    if (start < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines << QString();
        lines << header << line;
    } else {
        qsizetype end = start + 1;  // the first line after the section
        while (end < lines.size() && !lines.at(end).trimmed().startsWith(u'['))
            ++end;
        qsizetype at = -1, lastFilled = start;
        for (qsizetype i = start + 1; i < end; ++i) {
            const QString l = lines.at(i).trimmed();
            if (!l.isEmpty())
                lastFilled = i;
            if (l.section(u'=', 0, 0).trimmed() == key && l.contains(u'='))
                at = i;
        }
        if (at >= 0)
            lines[at] = line;
        else
            lines.insert(lastFilled + 1, line);
    }
    return lines.join(eol) + eol;
}
