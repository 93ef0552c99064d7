// The demo melee replay site: listings, matchups and the keyword search.
#include "demo/demosite.h"

#include "demo/demofiles.h"
#include "demo/demopages.h"

using namespace demopage;

QString DemoSite::meleeListingPage(const QList<DemoMeleeReplay> &all, int page, const QString &selfRoot)
{
    QString items;
    const int first = (page - 1) * kDemoPageSize;
    for (int i = first; i < all.size() && i < first + kDemoPageSize; ++i) {
        const DemoMeleeReplay &r = all.at(i);
        const QString icon = r.icon ? QStringLiteral("<img src=\"/images/%1.gif\" alt=\"\" />").arg(r.icon) : QString();
        // One multi-argument arg() each: a replaced text is never scanned again for "%n".
        items += QStringLiteral("<ul class=\"replayitem\"><li class=\"c_r\"><a href=\"/ReplayList.aspx?GameRace=%1\">%2 VS %3</a></li>")
                     .arg(QString::number(r.gameRace()), RaceName(r.race1), RaceName(r.race2));
        items += QStringLiteral("<li class=\"c_p\"><a href=\"%1/ReplayDetail.aspx?ReplayID=%2\" target=\"_blank\">%3 VS %4</a>%5</li>")
                     .arg(selfRoot, QString::number(r.id), esc(r.player1), esc(r.player2), icon);
        if (!r.brokenItem)
            items += QStringLiteral("<li class=\"c_m\">") + esc(r.map) + QStringLiteral("</li>");
        items += QStringLiteral("<li class=\"c_t\">") + r.time + QStringLiteral("</li></ul>\r\n");
    }
    const int pages = int((all.size() + kDemoPageSize - 1) / kDemoPageSize);
    const QString body = QStringLiteral("<div id=\"nav\"><a href=\"/Default.aspx?a=3\">最新录像</a></div>\r\n<div id=\"list\">\r\n%1</div>\r\n"
                                        "<span id=\"labPage\">第 %2 / %3 页</span>")
                             .arg(items, QString::number(page), QString::number(pages));
    return pageShell(QStringLiteral("对战录像"), body);
}

DemoResponse DemoSite::melee(const DemoRequest &r) const
{
    if (auto f = DemoFileRoute(r, DemoFileSite::Melee)) return *f;
    if (auto t = DemoTestRoute(r))
        return *t;
    const DemoData &data = DemoData::instance();
    const QByteArray path = r.path();
    const int page = pageNumber(r);
    if (path == "/Default.aspx" || path == "/")
        return DemoResponse::html(meleeListingPage(data.melee, page, hostRoot(r)));
    if (path == "/ReplayList.aspx") {
        const int race = r.queryValue("GameRace").toInt();
        QList<DemoMeleeReplay> hits;
        for (const DemoMeleeReplay &m : data.melee)
            if (m.gameRace() == race)
                hits.append(m);
        return DemoResponse::html(meleeListingPage(hits, page, hostRoot(r)));
    }
    if (path == "/Search.aspx")
        return DemoResponse::html(meleeListingPage(data.searchMelee(keywordText(r)), page, hostRoot(r)));
    if (path == "/ReplayDetail.aspx") {
        bool ok = false;
        const int id = r.queryValue("ReplayID").toInt(&ok);
        for (const DemoMeleeReplay &m : data.melee)
            if (ok && m.id == id)
                return DemoResponse::html(meleeDetailPage(m));
        return DemoResponse::notFound();
    }
    if (path.startsWith("/minimap/") && path.endsWith(".jpg")) {
        const QByteArray picture = minimapPicture(QString::fromLatin1(path.mid(9, path.size() - 13)));
        if (picture.isEmpty())
            return DemoResponse::notFound();
        return DemoResponse::bytes(picture, picture.startsWith("\xFF\xD8") ? "image/jpeg" : "image/png");
    }
    return DemoResponse::notFound();
}

