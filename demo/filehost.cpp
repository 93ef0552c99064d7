// The demo file host: DotA maps and the announcement feed.
#include "demo/demosite.h"

#include "demo/demofiles.h"
#include "demo/demopages.h"

#include <QFile>

DemoResponse DemoSite::files(const DemoRequest &r) const
{
    if (auto f = DemoFileRoute(r, DemoFileSite::MapHost))
        return *f;
    if (auto t = DemoTestRoute(r))
        return *t;
    if (r.path() == "/feed/announce.xml") {
        QFile f(QStringLiteral(":/demo/feed/announce.xml"));
        f.open(QIODevice::ReadOnly);
        return DemoResponse::bytes(f.readAll(), "application/rss+xml; charset=utf-8");
    }
    return DemoResponse::notFound();
}
