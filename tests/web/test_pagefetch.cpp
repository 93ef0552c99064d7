// Both roads of page fetch against the real demo server on 127.0.0.1.
#include "demo/demosite.h"
#include "support/testfiles.h"
#include "web/pagefiles.h"
#include "web/siteconfig.h"

#include <QElapsedTimer>
#include <QTimer>

// Counts the ticks of a timer of `ms` while a fetch runs, and times the fetch.
struct Watch {
    int ticks = 0;
    QTimer ticker;
    QElapsedTimer clock;
    explicit Watch(int ms) { QObject::connect(&ticker, &QTimer::timeout, [this] { ++ticks; }), ticker.start(ms), clock.start(); }
    bool took(qint64 from, qint64 to) const { return clock.elapsed() >= from && clock.elapsed() <= to; }
};

// Peak resident memory of this process in kB, after resetting the peak when the
// system allows it; -1 when unknown.
static qint64 peakRssKb(bool reset)
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (reset && clear.open(QIODevice::WriteOnly))
        clear.write("5");
    const QByteArray status = ReadBytes(QStringLiteral("/proc/self/status"));
    const qsizetype at = status.indexOf("VmHWM:");
    return at < 0 ? -1 : status.mid(at + 6, status.indexOf('\n', at) - at - 6).trimmed().split(' ').first().toLongLong();
}

class PageFetch : public ::testing::Test {
protected:
    DemoSite site;
    QTemporaryDir dir;
    PageFiles pages{dir.path()};
    QString melee(const char *path) const { return site.roots().melee + QString::fromUtf8(path); }
    QString memory(const char *path, const char *charset = "utf-8") const { return HttpGetText(melee(path), QString::fromLatin1(charset)); }
};

TEST_F(PageFetch, FileRoad)
{
    const QString text = pages.FetchPage(melee("/ReplayList.aspx?GameRace=3&PageNo=1"), kPageFile);
    EXPECT_TRUE(text.contains(u8s("人族 VS 暗夜精灵")));
    EXPECT_EQ(pages.ReadFile(kPageFile), text);
    EXPECT_FALSE(site.server().requests(QStringLiteral("melee")).last().headers.contains("if-modified-since"));  // a plain GET
    WriteBytes(pages.path(QStringLiteral("empty.Dat")), QByteArray());  // missing and empty files read as empty text
    EXPECT_TRUE(pages.ReadFile(QStringLiteral("nothing.Dat")).isEmpty() && pages.ReadFile(QStringLiteral("empty.Dat")).isEmpty());


    WriteBytes(dir.filePath(QStringLiteral("secret.txt")), "secret");
    for (const QString &url : {QStringLiteral("file://") + dir.filePath(QStringLiteral("secret.txt")), QStringLiteral("ftp://127.0.0.1/x"),
                               QStringLiteral("javascript:alert(1)"), QStringLiteral("/etc/passwd"), QString()}) {
        FetchResult outcome;
        EXPECT_TRUE(pages.FetchPage(url, kPageFile, &outcome).isEmpty() && HttpGetText(url, QStringLiteral("utf-8")).isEmpty()) << qPrintable(url);
        EXPECT_EQ(outcome.status, FetchResult::Status::Refused) << qPrintable(url);
    }

    for (const char *name : {"FD.dat", "FDx.Dat", "keep.txt"})
        WriteBytes(pages.path(QString::fromLatin1(name)), "x");
    pages.RemovePageFiles();
    EXPECT_EQ(FilesBelow(dir.path()), QStringList({u8s("empty.Dat"), u8s("keep.txt"), u8s("secret.txt")}));
}

TEST_F(PageFetch, TheFolderARunMadeGoesAtShutDownWhenEmpty)
{
    // Made by this run's first fetch: removed with the page files; a folder that was
    // there before stays, and so does one that holds other files.
    const QString made = dir.filePath(u8s("made")), before = dir.filePath(u8s("before")), shared = dir.filePath(u8s("shared"));
    QDir().mkpath(before);
    for (const QString &folder : {made, before, shared}) {
        PageFiles run(folder);
        ASSERT_FALSE(run.FetchPage(melee("/Default.aspx?a=3&PageNo=1"), kPageFile).isEmpty());
        if (folder == shared)
            WriteBytes(QDir(folder).filePath(u8s("notes.txt")), "mine");
        run.RemovePageFiles();
    }
    EXPECT_EQ(std::tuple(QFileInfo::exists(made), QFileInfo::exists(before), FilesBelow(shared)),
              std::tuple(false, true, QStringList{u8s("notes.txt")}));
}

TEST_F(PageFetch, FailedFetchKeepsTheOldPageFileAndAllAnswersAreBounded)
{
    const QString first = pages.FetchPage(melee("/Default.aspx?a=3&PageNo=1"), kPageFile);
    ASSERT_FALSE(first.isEmpty());
    using S = FetchResult::Status;
    const std::pair<const char *, S> cases[] = {
        {"/_test/status/404", S::HttpError}, {"/_test/cut", S::NetworkError},
        {"/_test/huge/17", S::TooLarge},  // refused on its announced length
        {"/_test/flood", S::TooLarge},    // no length: cut off at the bound
    };
    peakRssKb(true);
    for (const auto &[route, status] : cases) {
        FetchResult outcome;
        const QString got = pages.FetchPage(melee(route), kPageFile, &outcome);
        EXPECT_TRUE(got.isEmpty() && outcome.status == status && pages.ReadFile(kPageFile) == first) << route;
    }
    EXPECT_TRUE(memory("/_test/huge/17").isEmpty() && memory("/_test/flood").isEmpty());
    // Nothing held more than a bound's worth of any answer (the demo server included).
    EXPECT_LT(peakRssKb(false), 200 * 1024);  // -1 where unknown
    // A page just under the bound still comes in whole.
    EXPECT_EQ(pages.FetchPage(melee("/_test/huge/15"), kPageFile).size(), 15 * 1024 * 1024);

    // A closed port: no connection at all, no page file.
    const QTemporaryDir other;
    const PageFiles fresh(other.path());
    EXPECT_TRUE(fresh.FetchPage(QStringLiteral("http://127.0.0.1:1/x"), kPageFile).isEmpty() && !fresh.exists(kPageFile));
}

TEST_F(PageFetch, MemoryRoad)
{
    const QString feed = HttpGetText(site.roots().feed, QStringLiteral("utf-8")), gbk = memory("/_test/gbk", "GBK");
    EXPECT_TRUE(feed.contains(u8s("欢迎使用")) && gbk.contains(u8s("魔兽争霸录像 GBK")));
    EXPECT_EQ(HttpGetText(site.roots().feed, QStringLiteral("UTF-8")), feed);
    EXPECT_EQ(memory("/_test/gbk", "gb2312"), gbk);
    // Error pages come back; the request asks for a fresh page and sends no cookie.
    EXPECT_TRUE(memory("/_test/status/500").contains(u8s("错误 500")));
    const DemoRequest last = site.server().requests(QStringLiteral("melee")).last();
    EXPECT_TRUE(last.headers.value("if-modified-since") == "0" && !last.headers.contains("cookie"));
}

TEST_F(PageFetch, TimeLimits)
{
    // The memory road gives up on a silent server within four seconds; the message loop runs meanwhile.
    Watch silent(100);
    EXPECT_TRUE(memory("/_test/silent").isEmpty());
    EXPECT_TRUE(silent.took(2900, 4300) && silent.ticks >= 20) << silent.clock.elapsed() << " " << silent.ticks;
    pages.setTimeoutMs(1500);
    for (const char *route : {"/_test/silent", "/_test/slow"}) {
        Watch watch(10);
        FetchResult outcome;
        EXPECT_TRUE(pages.FetchPage(melee(route), kPageFile, &outcome).isEmpty() && outcome.status == FetchResult::Status::TimedOut) << route;
        // Nothing of the window's ran in the middle of the fetch.
        EXPECT_TRUE(watch.took(1400, 5000) && watch.ticks == 0) << route << " " << watch.clock.elapsed() << " " << watch.ticks;
    }
    // With the size bound lifted, only the time limit ends a flood.
    qint64 received = 0;
    Watch flood(1000);
    const FetchResult r = BlockingGet(melee("/_test/flood"), 1000, [&](const QByteArray &piece) { received += piece.size(); return true; },
                                      qint64(1) << 40);
    EXPECT_TRUE(r.status == FetchResult::Status::TimedOut && received > 0 && flood.took(0, 3000)) << flood.clock.elapsed();
}

// A page of 1 MiB sent gzip-compressed that inflates to 1 GiB: the reply gives
// up on it ("decompression failed") and never finishes. Both roads fail it at
// once, not at their time limits.
TEST_F(PageFetch, ACompressedBombFailsAtOnce)
{
    pages.setTimeoutMs(20000);
    FetchResult outcome;
    Watch file(1000);
    EXPECT_TRUE(pages.FetchPage(melee("/_test/gzipbomb/1024"), kPageFile, &outcome).isEmpty());
    EXPECT_EQ(outcome.status, FetchResult::Status::NetworkError);
    EXPECT_TRUE(file.took(0, 2000)) << file.clock.elapsed();
    EXPECT_FALSE(pages.exists(kPageFile));
    Watch memoryRoad(1000);
    EXPECT_TRUE(memory("/_test/gzipbomb/1024").isEmpty());
    EXPECT_TRUE(memoryRoad.took(0, 2000)) << memoryRoad.clock.elapsed();  // its own limit is 3 to 4 s
}

TEST(SiteSettings, IniBesideTheProgramAndEnvironmentWhichWins)
{
    const QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("quillmark.ini"));
    WriteBytes(ini, "[sites]\nmelee=http://melee.example/\ndota=http://dota.example\ndotamap=http://maps.example/dota\n");
    qputenv("QUILLMARK_FEED_URL", "http://feed.example/rss.xml");
    qputenv("QUILLMARK_DOTA_ROOT", "http://other.example//");
    const SiteRoots r = ConfiguredSiteRoots(ini);
    qunsetenv("QUILLMARK_FEED_URL");
    qunsetenv("QUILLMARK_DOTA_ROOT");
    EXPECT_EQ(QStringList({r.melee, r.dota, r.dotaMap, r.feed}), QStringList({u8s("http://melee.example"), u8s("http://other.example"),
                                                                              u8s("http://maps.example/dota/"), u8s("http://feed.example/rss.xml")}));
    // Set only in part, the demo site fills the gaps.
    const SiteRoots part = MergeSiteRoots(SiteRoots{.melee = u8s("http://melee.example")}, SiteRoots{.melee = u8s("a"), .feed = u8s("d")});
    EXPECT_TRUE(part.melee == u8s("http://melee.example") && part.feed == u8s("d"));
}
