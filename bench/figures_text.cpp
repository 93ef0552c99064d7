// HtmlToText and the listing parsers on large pages: speed, and growth from 1 MB
// to 10 MB, which must stay linear (10 MB in at most 10.5 times the time of 1 MB).
// A "MB" is a million characters of HTML. The 1 MB time is taken on ten different
// 1 MB pages in turn, so that they come from memory as the 10 MB page does and the
// ratio shows how the work grows, not how well 1 MB fits in the processor cache.
// For the same reason the rows of the ten 1 MB listing pages are kept to the end of
// the run, as the list keeps every page it appends, rather than freed page by page
// into memory the next page would find still in the cache. Each figure is the best
// of a few runs after one run of each size.
#include "bench/bench.h"

#include "catalogue/listingparser.h"
#include "web/texthelpers.h"

#include <vector>

namespace {

QString meleeItem(int i)
{
    return QString::fromUtf8("<ul class=\"replayitem\">"
                             "<li class=\"c_r\"><a href=\"ReplayList.aspx?GameRace=3\">人族 VS 暗夜精灵</a></li>"
                             "<li class=\"c_p\"><a href=\"http://melee.example/ReplayView.aspx?ReplayID=%1\" "
                             "target=\"_blank\">天空 VS 月神 %1</a><img src=\"images/%2.gif\" /></li>"
                             "<li class=\"c_m\">Turtle Rock</li><li class=\"c_t\">2008-05-12</li></ul>\n")
        .arg(10000 + i)
        .arg(i % 3);
}

QString dotaItem(int i)
{
    return QString::fromUtf8("<ul class='dotaitem'><a title=\" 天灾 全场超神 %1 \" "
                             "onclick=\"window.open('/DotaView.aspx?id=%1')\"><li class='it_title'>天灾 全场超神</li></a>"
                             "<li class='it_icon'><img src='images/%2.gif' /></li>"
                             "<li class='it_time'>2009-03-01</li><li class='it_down'><a href='#'>下载</a></li></ul>\n")
        .arg(5000 + i)
        .arg(i % 3);
}

// A listing page of about `chars` characters.
QString listingPage(bool dota, qsizetype chars)
{
    QString page = dota ? QString::fromUtf8("<html><body><div class='dotalist'>\n")
                        : QString::fromUtf8("<html><head><title>录像列表</title></head><body><div id=\"list\">\n");
    page.reserve(chars + 1024);
    for (int i = 0; page.size() < chars; ++i)
        page += dota ? dotaItem(i) : meleeItem(i);
    page += dota ? QString::fromUtf8("</div><span id=\"labPage\">1/35</span></body></html>")
                 : QString::fromUtf8("</div><div class=\"pager\">第 1 页</div></body></html>");
    return page;
}

// Detail-page-like HTML: listed and unlisted tags, block elements, comments,
// entities, stray "<" and Chinese text, repeated up to about `chars` code units.
QString bulkHtml(qsizetype chars)
{
    const QString unit = QString::fromUtf8(
        "<div class=\"memo\"><p>解说：<b>人族</b>速科技，APM < 200 时&nbsp;难以操作。</p>\n"
        "<table><tr><td>玩家</td><td>Sky</td></tr></table><br/><br />\n"
        "<script type=\"text/javascript\">var s = '<b>' + x;</SCRIPT >"
        "<!-- note --><!--raw--><legend>Box</legend><span style=\"color:red\">Moon</span>\n"
        "<style>p{color:red}</style><img src=\"images/1.gif\"><FONT size=2>Turtle Rock</FONT></div>\n");
    QString html;
    html.reserve(chars + unit.size());
    while (html.size() < chars)
        html += unit;
    return html;
}

// Best time of `reps` runs over all `pages`, in milliseconds per page. `endOfRun`
// (when given) runs inside the timed part after each run's last page: it lets go of
// what the run kept.
double bestMsPerPage(const std::vector<QString> &pages, int reps, const std::function<qsizetype(const QString &)> &work,
                     const std::function<void()> &endOfRun)
{
    qsizetype sink = 0;
    double best = -1;
    for (int r = 0; r < reps; ++r) {
        const auto start = BenchClock::now();
        for (const QString &page : pages)
            sink += work(page);
        if (endOfRun)
            endOfRun();
        const double ms = MsSince(start) / double(pages.size());
        if (best < 0 || ms < best)
            best = ms;
    }
    if (sink == 0)
        std::fprintf(stderr, "(empty results)\n");
    return best;
}

void growthRows(const QString &name, const std::function<QString(qsizetype)> &make,
                const std::function<qsizetype(const QString &)> &work, int reps, double minMBps,
                const std::function<void()> &endOfRun = {})
{
    std::vector<QString> smalls;
    for (int i = 0; i < 10; ++i)
        smalls.push_back(make(1000 * 1000));  // ten pages, each in memory of its own
    const std::vector<QString> large{make(10 * 1000 * 1000)};
    bestMsPerPage(smalls, 1, work, endOfRun);  // warm-up, for both sizes alike
    bestMsPerPage(large, 1, work, endOfRun);
    const double small = bestMsPerPage(smalls, reps, work, endOfRun);
    const double big = bestMsPerPage(large, reps, work, endOfRun);
    const double mbps = qMin(smalls.front().size() / 1e6 / (small / 1000.0), large.front().size() / 1e6 / (big / 1000.0));
    const double ratio = big / small;
    EmitRow({name + QStringLiteral(" 10 MB against 1 MB (linear)"), Ms(big), Ms(small) + QStringLiteral(" at 1 MB"),
             Ratio(ratio), QStringLiteral("≤ 10.50×"), int(ratio <= 10.5)});
    const QString speed = QStringLiteral("%1 MB/s").arg(mbps, 0, 'f', 0);
    if (minMBps > 0)
        EmitRow({name + QStringLiteral(" speed (slower of 1 MB and 10 MB)"), speed,
                 QStringLiteral("%1 MB/s").arg(minMBps, 0, 'f', 0), Ratio(mbps / minMBps), QStringLiteral("≥ 1.00×"),
                 int(mbps >= minMBps)});
    else
        EmitRow({name + QStringLiteral(" speed (slower of 1 MB and 10 MB)"), speed, QString(), QString(),
                 QStringLiteral("—"), -1});
}

} // namespace

void FigureText()
{
    growthRows(QStringLiteral("HtmlToText"), bulkHtml, [](const QString &p) { return HtmlToText(p).size(); }, 8, 100);
    const QString root = QStringLiteral("http://dota.example.net");
    // Rows are kept to the end of each run, as the list keeps those of every page.
    std::vector<QList<ListingRow>> kept;
    const auto keep = [&kept](QList<ListingRow> rows) {
        kept.push_back(std::move(rows));
        return kept.back().size();
    };
    const auto release = [&kept] { kept.clear(); };
    growthRows(QStringLiteral("melee listing parser"), [](qsizetype n) { return listingPage(false, n); },
               [&](const QString &p) { return keep(ParseMeleeListing(p)); }, 8, 0, release);
    growthRows(QStringLiteral("DotA listing parser"), [](qsizetype n) { return listingPage(true, n); },
               [&](const QString &p) { return keep(ParseDotaListing(p, root)); }, 8, 0, release);
}
