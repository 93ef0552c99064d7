// The demo DotA replay site: the latest replays and the three searches.
#include "demo/demosite.h"

#include "demo/demofiles.h"
#include "demo/demopages.h"

using namespace demopage;

QString DemoSite::dotaListingPage(const QList<DemoDotaReplay> &all, int page)
{
    QString items;
    const int first = (page - 1) * kDemoPageSize;
    for (int i = first; i < all.size() && i < first + kDemoPageSize; ++i) {
        const DemoDotaReplay &r = all.at(i);
        const QString icon = r.icon ? QStringLiteral("<img src='images/%1.gif' alt='' />").arg(r.icon) : QString();
        // A few items lack their time cell, as on the real site.
        const QString timeCell = r.brokenItem ? QStringLiteral("<li class='it_date'>") : QStringLiteral("<li class='it_time'>");
        items += QStringLiteral("<ul class='dotaitem' title=\" %1 \" onclick=\"window.open('/ReplayShow.aspx?ReplayID=%2')\">"
                                "<li class='it_title'>%3%1</li>%4%5</li><li class='it_down'>下载</li></ul>\r\n")
                     .arg(esc(r.title), QString::number(r.id), icon, timeCell, r.time);
    }
    const int pages = int((all.size() + kDemoPageSize - 1) / kDemoPageSize);
    const QString body = QStringLiteral("<div id=\"list\">\r\n%1</div>\r\n<span id=\"labPage\">第 %2 / %3 页</span>")
                             .arg(items, QString::number(page), QString::number(pages));
    return pageShell(QStringLiteral("DotA 录像"), body);
}

DemoResponse DemoSite::dota(const DemoRequest &r) const
{
    if (auto f = DemoFileRoute(r, DemoFileSite::Dota)) return *f;
    if (auto t = DemoTestRoute(r))
        return *t;
    const DemoData &data = DemoData::instance();
    const QByteArray path = r.path();
    const int page = pageNumber(r);
    if (path == "/DotaList.aspx" || path == "/")
        return DemoResponse::html(dotaListingPage(data.dota, page));
    if (path == "/search.aspx")
        return DemoResponse::html(dotaListingPage(data.searchDota(r.queryValue("type").toInt(), keywordText(r)), page));
    if (path == "/ReplayShow.aspx") {
        const int id = r.queryValue("ReplayID").toInt();
        for (const DemoDotaReplay &replay : data.dota)
            if (replay.id == id)
                return DemoResponse::html(dotaDetailPage(replay));
        return DemoResponse::notFound();
    }
    if (path == "/download/")
        return DemoResponse::html(dotaMapIndexPage());
    if (auto asset = DemoDotaAssetRoute(r))
        return *asset;
    return DemoResponse::notFound();
}

