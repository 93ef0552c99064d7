// Both roads of page fetch against the real demo server on 127.0.0.1.
#include "demo/demosite.h"
#include "support/testfiles.h"
#include "web/pagefiles.h"
#include "web/siteconfig.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

namespace {
// Counts the ticks of a timer of `ms` while a fetch runs, and times the fetch.
struct Watch {
    int ticks = 0;
    QTimer ticker;
    QElapsedTimer clock;
    explicit Watch(int ms)
    {
        QObject::connect(&ticker, &QTimer::timeout, [this] { ++ticks; });
        ticker.start(ms);
        clock.start();
    }
};

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
    Watch watch(100);
    const QString text = HttpGetText(melee() + QStringLiteral("/_test/silent"), QStringLiteral("utf-8"));
    const qint64 ms = watch.clock.elapsed();
    EXPECT_TRUE(text.isEmpty());
    EXPECT_GE(ms, 2900);
    EXPECT_LE(ms, 4300);
    EXPECT_GE(watch.ticks, 20);  // the message loop ran while the request waited
}

TEST_F(PageFetch, FileRoadGivesUpOnSilentAndSlowServersWithoutRunningHandlers)
{
    pages.setTimeoutMs(1500);
    for (const char *route : {"/_test/silent", "/_test/slow"}) {
        Watch watch(10);
        FetchResult outcome;
        const QString text = pages.FetchPage(melee() + QString::fromLatin1(route), kPageFile, &outcome);
        const qint64 ms = watch.clock.elapsed();
        EXPECT_TRUE(text.isEmpty()) << route;
        EXPECT_EQ(outcome.status, FetchResult::Status::TimedOut) << route;
        EXPECT_GE(ms, 1400) << route;
        EXPECT_LE(ms, 5000) << route;
        EXPECT_EQ(watch.ticks, 0) << route;  // nothing of the window's ran in the middle of the fetch
    }
}

namespace {
// Peak resident memory of this process in kB, after resetting the peak when the
// system allows it; -1 when unknown.
qint64 peakRssKb(bool reset)
{
    if (reset) {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5");
    }
    for (const QByteArray &line : ReadBytes(QStringLiteral("/proc/self/status")).split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}
} // namespace

TEST_F(PageFetch, FailedFetchKeepsTheOldPageFileButHandsBackNothing)
{
    const QString first = pages.FetchPage(melee() + QStringLiteral("/Default.aspx?a=3&PageNo=1"), kPageFile);
    ASSERT_FALSE(first.isEmpty());
    using S = FetchResult::Status;
    const struct {
        const char *route;
        S status;
    } cases[] = {
        {"/_test/status/404", S::HttpError},
        {"/_test/status/500", S::HttpError},
        {"/_test/cut", S::NetworkError},
        {"/_test/huge/1024", S::TooLarge},  // refused on its announced length
        {"/_test/huge/17", S::TooLarge},
        {"/_test/flood", S::TooLarge},      // no length: cut off at the bound
    };
    peakRssKb(true);
    for (const auto &c : cases) {
        FetchResult outcome;
        EXPECT_TRUE(pages.FetchPage(melee() + QString::fromLatin1(c.route), kPageFile, &outcome).isEmpty()) << c.route;
        EXPECT_EQ(outcome.status, c.status) << c.route;
        EXPECT_EQ(pages.ReadFile(kPageFile), first) << c.route;
    }
    // Oversize answers on the memory road: the empty result.
    for (const char *route : {"/_test/huge/1024", "/_test/flood"})
        EXPECT_TRUE(HttpGetText(melee() + QString::fromLatin1(route), QStringLiteral("utf-8")).isEmpty()) << route;
    // Nothing held more than a bound's worth of any answer (the demo server included).
    const qint64 peak = peakRssKb(false);
    if (peak > 0)
        EXPECT_LT(peak, 200 * 1024);
    // A page just under the bound still comes in whole.
    EXPECT_EQ(pages.FetchPage(melee() + QStringLiteral("/_test/huge/15"), kPageFile).size(), 15 * 1024 * 1024);

    // A closed port: no connection at all.
    QTemporaryDir other;
    PageFiles fresh(other.path());
    EXPECT_TRUE(fresh.FetchPage(QStringLiteral("http://127.0.0.1:1/x"), kPageFile).isEmpty());
    EXPECT_FALSE(fresh.exists(kPageFile));
}

TEST_F(PageFetch, TimeLimitHoldsUnderAFlood)
{
    // With the size bound lifted, only the time limit can end it.
    qint64 received = 0;
    QElapsedTimer clock;
    clock.start();
    const FetchResult r = BlockingGet(melee() + QStringLiteral("/_test/flood"), 1000,
                                      [&](const QByteArray &piece) { received += piece.size(); return true; },
                                      qint64(1) << 40);
    EXPECT_EQ(r.status, FetchResult::Status::TimedOut);
    EXPECT_GT(received, 0);
    EXPECT_LT(clock.elapsed(), 3000);
    // With the bound, the flood on the file road hits it long before a 2 s limit.
    pages.setTimeoutMs(2000);
    clock.restart();
    FetchResult outcome;
    pages.FetchPage(melee() + QStringLiteral("/_test/flood"), kPageFile, &outcome);
    EXPECT_EQ(outcome.status, FetchResult::Status::TooLarge);
    EXPECT_LT(clock.elapsed(), 6000);
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
    WriteBytes(dir.filePath(QStringLiteral("secret.txt")), "secret");
    for (const QString &url : {QStringLiteral("file://") + dir.filePath(QStringLiteral("secret.txt")), QStringLiteral("ftp://127.0.0.1/x"),
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
    WriteBytes(pages.path(QStringLiteral("empty.Dat")), QByteArray());
    EXPECT_TRUE(pages.ReadFile(QStringLiteral("empty.Dat")).isEmpty());
}

TEST_F(PageFetch, RawFilesCarryTheirLength)
{
    FetchResult r;
    const QByteArray got = FetchBody(melee() + QStringLiteral("/_test/bytes/2048"), &r);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(got.size(), 2048);
    const QList<DemoRequest> seen = site.server().requests(QStringLiteral("melee"));
    EXPECT_FALSE(seen.last().headers.contains("if-modified-since"));  // plain GET on the file road
}

TEST(DemoServerLife, EndsOpenStreamsWhenDestroyed)
{
    for (const char *route : {"/_test/flood", "/_test/slow", "/_test/silent"}) {
        QTcpSocket client;
        {
            DemoSite site;
            const QUrl root(site.roots().melee);
            client.connectToHost(QHostAddress::LocalHost, quint16(root.port()));
            ASSERT_TRUE(client.waitForConnected(3000));
            client.write(QByteArray("GET ") + route + " HTTP/1.1\r\nHost: x\r\n\r\n");
            ASSERT_TRUE(client.waitForBytesWritten(3000));
            if (QByteArray(route) != "/_test/silent")
                EXPECT_TRUE(client.waitForReadyRead(3000)) << route;
        }  // the server goes while its answer is still running
        for (int i = 0; i < 100 && client.state() != QAbstractSocket::UnconnectedState; ++i) {
            client.readAll();
            client.waitForReadyRead(50);
        }
        EXPECT_EQ(client.state(), QAbstractSocket::UnconnectedState) << route;
    }
}

TEST_F(PageFetch, RemovePageFilesDeletesOnlyTheTwoPageFiles)
{
    for (const char *name : {"FD.dat", "FDx.Dat", "keep.txt"})
        WriteBytes(pages.path(QString::fromLatin1(name)), "x");
    pages.RemovePageFiles();
    EXPECT_FALSE(QFile::exists(pages.path(QStringLiteral("FD.dat"))));
    EXPECT_FALSE(QFile::exists(pages.path(QStringLiteral("FDx.Dat"))));
    EXPECT_TRUE(QFile::exists(pages.path(QStringLiteral("keep.txt"))));
}

TEST(SiteSettings, IniBesideTheProgramAndEnvironmentWhichWins)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("quillmark.ini"));
    WriteBytes(ini, "[sites]\nmelee=http://melee.example/\ndota=http://dota.example\ndotamap=http://maps.example/dota\n");
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
    demo.feed = QStringLiteral("d");
    const SiteRoots merged = MergeSiteRoots(r, demo);
    EXPECT_EQ(merged.melee, r.melee);
    EXPECT_EQ(MergeSiteRoots(none, demo).feed, QStringLiteral("d"));
}
