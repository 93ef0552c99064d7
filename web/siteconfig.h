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
