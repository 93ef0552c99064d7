#include "web/siteconfig.h"

#include <QFile>
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
