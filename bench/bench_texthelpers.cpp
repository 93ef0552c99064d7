// Timings of the listing parsers and of HtmlToText on large pages.
// HtmlToText targets: at least 100 MB/s (a "MB" here is a million characters of
// HTML, the smallest honest measure of a page) and linear growth, i.e. 10 MB in
// no more than 10.5 times the time of 1 MB. The 1 MB time is taken on ten
// different 1 MB pages in turn, so that they come from memory as the 10 MB page
// does and the ratio shows how the work grows, not how well 1 MB fits in the
// processor cache (that figure is printed too). Each figure is the best of a few
// runs, so another process on the machine disturbs it as little as possible.
#include "catalogue/listingparser.h"
#include "web/texthelpers.h"

#include <QString>

#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double microsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

QString meleePage(int items)
{
    QString page = QString::fromUtf8("<html><head><title>录像列表</title></head><body><div id=\"list\">\n");
    for (int i = 0; i < items; ++i) {
        page += QString::fromUtf8(
                    "<ul class=\"replayitem\">"
                    "<li class=\"c_r\"><a href=\"ReplayList.aspx?GameRace=3\">人族 VS 暗夜精灵</a></li>"
                    "<li class=\"c_p\"><a href=\"http://melee.example/ReplayView.aspx?ReplayID=%1\" "
                    "target=\"_blank\">天空 VS 月神 %1</a><img src=\"images/%2.gif\" /></li>"
                    "<li class=\"c_m\">Turtle Rock</li><li class=\"c_t\">2008-05-12</li></ul>\n")
                    .arg(10000 + i)
                    .arg(i % 3);
    }
    page += QString::fromUtf8("</div><div class=\"pager\">第 1 页</div></body></html>");
    return page;
}

QString dotaPage(int items)
{
    QString page = QString::fromUtf8("<html><body><div class='dotalist'>\n");
    for (int i = 0; i < items; ++i) {
        page += QString::fromUtf8(
                    "<ul class='dotaitem'><a title=\" 天灾 全场超神 %1 \" "
                    "onclick=\"window.open('/DotaView.aspx?id=%1')\"><li class='it_title'>天灾 全场超神</li></a>"
                    "<li class='it_icon'><img src='images/%2.gif' /></li>"
                    "<li class='it_time'>2009-03-01</li><li class='it_down'><a href='#'>下载</a></li></ul>\n")
                    .arg(5000 + i)
                    .arg(i % 3);
    }
    page += QString::fromUtf8("</div><span id=\"labPage\">1/35</span></body></html>");
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

// Best time of `reps` runs over all `pages`, in milliseconds per page.
double timeHtmlToText(const std::vector<QString> &pages, int reps)
{
    qsizetype sink = 0;
    double best = 0;
    for (int r = 0; r < reps; ++r) {
        const auto start = Clock::now();
        for (const QString &page : pages)
            sink += HtmlToText(page).size();
        const double ms = microsSince(start) / 1000.0 / double(pages.size());
        if (r == 0 || ms < best)
            best = ms;
    }
    if (sink == 0)
        std::printf("(empty result)\n");
    return best;
}

const char *verdict(bool met)
{
    return met ? "met" : "NOT met";
}

} // namespace

int main()
{
    const QString root = QStringLiteral("http://dota.example.net");

    {
        const QString page = meleePage(100);
        const int reps = 2000;
        qsizetype rows = 0;
        const auto start = Clock::now();
        for (int r = 0; r < reps; ++r)
            rows += ParseMeleeListing(page).size();
        std::printf("melee listing, 100 items (%lld chars): %.1f us per page (%lld rows)\n",
                    (long long)page.size(), microsSince(start) / reps, (long long)(rows / reps));
    }
    {
        const QString page = dotaPage(100);
        const int reps = 2000;
        qsizetype rows = 0;
        const auto start = Clock::now();
        for (int r = 0; r < reps; ++r)
            rows += ParseDotaListing(page, root).size();
        std::printf("DotA listing, 100 items (%lld chars): %.1f us per page (%lld rows)\n",
                    (long long)page.size(), microsSince(start) / reps, (long long)(rows / reps));
    }

    std::vector<QString> smalls;
    for (int i = 0; i < 10; ++i)
        smalls.push_back(bulkHtml(1000 * 1000));  // ten pages, each in memory of its own
    const std::vector<QString> large{bulkHtml(10 * 1000 * 1000)};
    const std::vector<QString> oneSmall{smalls.front()};
    timeHtmlToText(smalls, 1); // warm-up
    const double msSmall = timeHtmlToText(smalls, 10);
    const double msLarge = timeHtmlToText(large, 10);
    const double msCached = timeHtmlToText(oneSmall, 20);
    const double chars = double(smalls.front().size());
    const double mbpsSmall = chars / 1e6 / (msSmall / 1000.0);
    const double mbpsLarge = large.front().size() / 1e6 / (msLarge / 1000.0);
    const double ratio = msLarge / msSmall;
    std::printf("HtmlToText  1 MB (%lld chars): %8.2f ms  %6.1f MB/s\n", (long long)chars, msSmall, mbpsSmall);
    std::printf("HtmlToText 10 MB (%lld chars): %8.2f ms  %6.1f MB/s\n", (long long)large.front().size(), msLarge,
                mbpsLarge);
    std::printf("HtmlToText speed: %.1f MB/s, target >= 100 MB/s: %s\n", qMin(mbpsSmall, mbpsLarge),
                verdict(qMin(mbpsSmall, mbpsLarge) >= 100.0));
    std::printf("HtmlToText ratio 10 MB / 1 MB: %.2f, target <= 10.5: %s\n", ratio, verdict(ratio <= 10.5));
    std::printf("  (1 MB page left in the cache: %.2f ms, ratio %.2f)\n", msCached, msLarge / msCached);
    return 0;
}
