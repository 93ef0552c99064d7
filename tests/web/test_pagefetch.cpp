// Both roads of page fetch against the real demo server on 127.0.0.1.
#include "demo/demosite.h"
#include "support/testwindow.h"
#include "web/codepage.h"
#include "web/httpget.h"
#include "web/pagefiles.h"
#include "web/siteconfig.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
class PageFetch : public ::testing::Test {
protected:
    DemoSite site;
    QTemporaryDir dir;
    PageFiles pages{dir.path()};
    QString melee() const { return site.roots().melee; }
};
} // namespace

TEST_F(PageFetch, FileRoadKeepsChineseTextIntact)
{
    const QString text = pages.FetchPage(melee() + QStringLiteral("/ReplayList.aspx?GameRace=3&PageNo=1"), kPageFile);
    EXPECT_TRUE(text.contains(QStringLiteral("人族 VS 暗夜精灵")));
    EXPECT_TRUE(QFile::exists(pages.path(kPageFile)));
    EXPECT_EQ(pages.ReadFile(kPageFile), text);
}

TEST_F(PageFetch, MemoryRoadDecodesInTheNamedCharset)
{
    const QString feed = HttpGetText(site.roots().feed, QStringLiteral("utf-8"));
    EXPECT_TRUE(feed.contains(QStringLiteral("欢迎使用")));
    EXPECT_EQ(HttpGetText(site.roots().feed, QStringLiteral("UTF-8")), feed);
    const QString gbk = HttpGetText(melee() + QStringLiteral("/_test/gbk"), QStringLiteral("GBK"));
    EXPECT_TRUE(gbk.contains(QStringLiteral("魔兽争霸录像 GBK")));
    EXPECT_EQ(HttpGetText(melee() + QStringLiteral("/_test/gbk"), QStringLiteral("gb2312")), gbk);
}

TEST_F(PageFetch, MemoryRoadSendsIfModifiedSinceAndReturnsErrorPages)
{
    const QString page = HttpGetText(melee() + QStringLiteral("/_test/status/500"), QStringLiteral("utf-8"));
    EXPECT_TRUE(page.contains(QStringLiteral("错误 500")));
    const QList<DemoRequest> seen = site.server().requests(QStringLiteral("melee"));
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_EQ(seen.last().headers.value("if-modified-since"), QByteArray("0"));
    EXPECT_FALSE(seen.last().headers.contains("cookie"));
}

TEST_F(PageFetch, MemoryRoadGivesUpOnASilentServerWithinFourSecondsAndKeepsTimersRunning)
{
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(100);
    QElapsedTimer clock;
    clock.start();
    const QString text = HttpGetText(melee() + QStringLiteral("/_test/silent"), QStringLiteral("utf-8"));
    const qint64 ms = clock.elapsed();
    EXPECT_TRUE(text.isEmpty());
    EXPECT_GE(ms, 2900);
    EXPECT_LE(ms, 4300);
    EXPECT_GE(ticks, 20);  // the message loop ran while the request waited
}

TEST_F(PageFetch, FileRoadGivesUpOnASilentServerWithoutRunningHandlers)
{
    pages.setTimeoutMs(1500);
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    QElapsedTimer clock;
    clock.start();
    FetchResult outcome;
    const QString text = pages.FetchPage(melee() + QStringLiteral("/_test/silent"), kPageFile, &outcome);
    const qint64 ms = clock.elapsed();
    EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(outcome.status, FetchResult::Status::TimedOut);
    EXPECT_GE(ms, 1400);
    EXPECT_LE(ms, 5000);
    EXPECT_EQ(ticks, 0);  // nothing of the window's ran in the middle of the fetch
}

TEST_F(PageFetch, FailedFetchKeepsTheOldPageFileButHandsBackNothing)
{
    const QString first = pages.FetchPage(melee() + QStringLiteral("/Default.aspx?a=3&PageNo=1"), kPageFile);
    ASSERT_FALSE(first.isEmpty());
    for (const char *bad : {"/_test/status/404", "/_test/status/500", "/_test/cut"}) {
        FetchResult outcome;
        EXPECT_TRUE(pages.FetchPage(melee() + QString::fromLatin1(bad), kPageFile, &outcome).isEmpty()) << bad;
        EXPECT_FALSE(outcome.ok()) << bad;
        EXPECT_EQ(pages.ReadFile(kPageFile), first) << bad;
    }
    // A closed port: no connection at all.
    QTemporaryDir other;
    PageFiles fresh(other.path());
    EXPECT_TRUE(fresh.FetchPage(QStringLiteral("http://127.0.0.1:1/x"), kPageFile).isEmpty());
    EXPECT_FALSE(fresh.exists(kPageFile));
}

TEST_F(PageFetch, ChineseUrlTravelsAsItsCodePage936Bytes)
{
    site.server().clearLog();
    pages.FetchPage(melee() + QStringLiteral("/Search.aspx?str=人皇 Sky&PageNo=1"), kPageFile);
    const QList<QByteArray> lines = site.server().requestLines(QStringLiteral("melee"));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines.first(), QByteArray("GET /Search.aspx?str=%C8%CB%BB%CA%20Sky&PageNo=1 HTTP/1.1"));
}

TEST_F(PageFetch, OnlyWebAddressesAreFetched)
{
    QFile local(dir.filePath(QStringLiteral("secret.txt")));
    ASSERT_TRUE(local.open(QIODevice::WriteOnly));
    local.write("secret");
    local.close();
    for (const QString &url : {QStringLiteral("file://") + local.fileName(), QStringLiteral("ftp://127.0.0.1/x"),
                               QStringLiteral("javascript:alert(1)"), QStringLiteral("/etc/passwd"), QString()}) {
        FetchResult outcome;
        EXPECT_TRUE(pages.FetchPage(url, kPageFile, &outcome).isEmpty()) << qPrintable(url);
        EXPECT_EQ(outcome.status, FetchResult::Status::Refused) << qPrintable(url);
        EXPECT_TRUE(HttpGetText(url, QStringLiteral("utf-8")).isEmpty());
    }
    // A character that code page 936 cannot hold is refused, not sent as "?".
    EXPECT_FALSE(RequestUrl(melee() + QStringLiteral("/Search.aspx?str=한국")).has_value());
}

TEST_F(PageFetch, ReadFileOfMissingOrEmptyFileIsEmptyText)
{
    EXPECT_TRUE(pages.ReadFile(QStringLiteral("nothing.Dat")).isEmpty());
    QFile empty(pages.path(QStringLiteral("empty.Dat")));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    EXPECT_TRUE(pages.ReadFile(QStringLiteral("empty.Dat")).isEmpty());
}

TEST_F(PageFetch, RawFilesCarryTheirLength)
{
    QByteArray got;
    const FetchResult r = BlockingGet(melee() + QStringLiteral("/_test/bytes/2048"), 3000,
                                      [&](const QByteArray &piece) { got += piece; return true; });
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(got.size(), 2048);
    const QList<DemoRequest> seen = site.server().requests(QStringLiteral("melee"));
    EXPECT_FALSE(seen.last().headers.contains("if-modified-since"));  // plain GET on the file road
}

TEST_F(PageFetch, RemovePageFilesDeletesOnlyTheTwoPageFiles)
{
    for (const char *name : {"FD.dat", "FDx.Dat", "keep.txt"}) {
        QFile f(pages.path(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    pages.RemovePageFiles();
    EXPECT_FALSE(QFile::exists(pages.path(QStringLiteral("FD.dat"))));
    EXPECT_FALSE(QFile::exists(pages.path(QStringLiteral("FDx.Dat"))));
    EXPECT_TRUE(QFile::exists(pages.path(QStringLiteral("keep.txt"))));
}

TEST(SiteSettings, IniBesideTheProgramAndEnvironmentWhichWins)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("quillmark.ini"));
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[sites]\nmelee=http://melee.example/\ndota=http://dota.example\ndotamap=http://maps.example/dota\n");
    f.close();
    qputenv("QUILLMARK_FEED_URL", "http://feed.example/rss.xml");
    qputenv("QUILLMARK_DOTA_ROOT", "http://other.example//");
    const SiteRoots r = ConfiguredSiteRoots(ini);
    qunsetenv("QUILLMARK_FEED_URL");
    qunsetenv("QUILLMARK_DOTA_ROOT");
    EXPECT_EQ(r.melee, QStringLiteral("http://melee.example"));
    EXPECT_EQ(r.dota, QStringLiteral("http://other.example"));
    EXPECT_EQ(r.dotaMap, QStringLiteral("http://maps.example/dota/"));
    EXPECT_EQ(r.feed, QStringLiteral("http://feed.example/rss.xml"));
    EXPECT_TRUE(r.complete());

    // Nothing configured: the demo site fills every gap.
    const SiteRoots none = ConfiguredSiteRoots(dir.filePath(QStringLiteral("missing.ini")));
    EXPECT_TRUE(none.empty());
    SiteRoots demo;
    demo.melee = QStringLiteral("a");
    demo.dota = QStringLiteral("b");
    demo.dotaMap = QStringLiteral("c/");
    demo.feed = QStringLiteral("d");
    const SiteRoots merged = MergeSiteRoots(r, demo);
    EXPECT_EQ(merged.melee, r.melee);
    EXPECT_EQ(MergeSiteRoots(none, demo).feed, QStringLiteral("d"));
}
