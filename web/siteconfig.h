#pragma once
// Where the replay sites, the DotA map host and the announcement feed are.
#include <QString>

struct SiteRoots {
    QString melee;         // MeleeSiteRoot: scheme and host, no trailing slash
    QString dota;          // DotaSiteRoot: scheme and host, no trailing slash
    QString dotaMap;       // DotaMapRoot: ends in "/dota/"
    QString feed;          // AnnouncementFeedUrl
    bool complete() const { return !melee.isEmpty() && !dota.isEmpty() && !dotaMap.isEmpty() && !feed.isEmpty(); }
    bool empty() const { return melee.isEmpty() && dota.isEmpty() && dotaMap.isEmpty() && feed.isEmpty(); }
};

// Reads the configured roots: first "quillmark.ini" beside the executable
// (section [sites], keys melee, dota, dotamap, feed), then the environment
// variables QUILLMARK_MELEE_ROOT, QUILLMARK_DOTA_ROOT, QUILLMARK_DOTA_MAP_ROOT and
// QUILLMARK_FEED_URL, which win. Trailing slashes of the two site roots are dropped
// and "/" is added to the map root where missing.
SiteRoots ConfiguredSiteRoots(const QString &iniPath);

// Fills what `configured` leaves empty from `fallback`.
SiteRoots MergeSiteRoots(const SiteRoots &configured, const SiteRoots &fallback);

// "自动保存最近录像": key autosave of section [local] of the same "quillmark.ini";
// off when the file or the key is missing.
bool ConfiguredAutoSave(const QString &iniPath);
// Writes it into the file (made when missing), every other line kept as it was.
// False when the file cannot be written.
bool SaveAutoSave(const QString &iniPath, bool on);

// The ini text `text` with `key` in `[section]` set to `value`: the key's line
// replaced, or added at the end of its section, or the section added at the end.
// Every other line, comment and line ending stays as it was.
QString SetIniValue(const QString &text, const QString &section, const QString &key, const QString &value);
