// Start-up as a user meets it: where the sites and the page files come from,
// and the program ended by the desktop rather than by its close box.
#include "app/startup.h"
#include "web/httpget.h"
#include "web/pagefiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <csignal>

namespace {
const char *const kSiteVariables[] = {"QUILLMARK_MELEE_ROOT", "QUILLMARK_DOTA_ROOT", "QUILLMARK_DOTA_MAP_ROOT",
                                      "QUILLMARK_FEED_URL"};
void clearSiteVariables()
{
    for (const char *v : kSiteVariables)
        qunsetenv(v);
}
} // namespace

TEST(Startup, NothingConfiguredStartsTheDemoSiteOnLoopback)
{
    clearSiteVariables();
    std::unique_ptr<DemoSite> demo;
    const SiteRoots roots = StartSites(QString(), demo);
    ASSERT_NE(demo, nullptr);
    EXPECT_TRUE(roots.melee.startsWith(QStringLiteral("http://127.0.0.1:")));
    EXPECT_TRUE(roots.dotaMap.endsWith(QStringLiteral("/dota/")));
    QByteArray page;
    const FetchResult r = BlockingGet(roots.melee + QStringLiteral("/Default.aspx?a=3&PageNo=1"), 5000,
                                      [&](const QByteArray &piece) { page += piece; return true; });
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(page.contains("replayitem"));
}

TEST(Startup, FullyConfiguredSitesStartNoDemoSite)
{
    const char *const values[] = {"http://melee.example", "http://dota.example", "http://maps.example/dota/",
                                  "http://feed.example/rss.xml"};
    for (int i = 0; i < 4; ++i)
        qputenv(kSiteVariables[i], values[i]);
    std::unique_ptr<DemoSite> demo;
    const SiteRoots roots = StartSites(QString(), demo);
    clearSiteVariables();
    EXPECT_EQ(demo, nullptr);
    EXPECT_EQ(roots.melee, QStringLiteral("http://melee.example"));
}

TEST(Startup, PageFilesLiveInTheCacheFolderUnlessNamed)
{
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME"), oldCache = qgetenv("XDG_CACHE_HOME"), oldDir = qgetenv("QUILLMARK_PAGE_DIR");
    qputenv("HOME", home.path().toUtf8());
    qunsetenv("XDG_CACHE_HOME");
    qunsetenv("QUILLMARK_PAGE_DIR");
    EXPECT_EQ(PageFiles::defaultFolder(), home.filePath(QStringLiteral(".cache/Quillmark")));
    qputenv("QUILLMARK_PAGE_DIR", "/tmp/quillmark-pages");
    EXPECT_EQ(PageFiles::defaultFolder(), QStringLiteral("/tmp/quillmark-pages"));
    qputenv("HOME", oldHome);
    oldCache.isEmpty() ? qunsetenv("XDG_CACHE_HOME") : qputenv("XDG_CACHE_HOME", oldCache);
    oldDir.isEmpty() ? qunsetenv("QUILLMARK_PAGE_DIR") : qputenv("QUILLMARK_PAGE_DIR", oldDir);
}

#ifdef Q_OS_UNIX
TEST(Startup, TerminatedLikeClosedThePageFilesGo)
{
    for (int sig : {SIGTERM, SIGINT}) {
        QTemporaryDir pages;
        for (const char *name : {"FD.Dat", "FDx.Dat"}) {
            QFile f(pages.filePath(QLatin1String(name)));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUILLMARK_PAGE_DIR"), pages.path());
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral(QUILLMARK_EXECUTABLE), {});
        ASSERT_TRUE(tool.waitForStarted(10000));
        QThread::msleep(3000);  // the window is up
        ::kill(pid_t(tool.processId()), sig);
        ASSERT_TRUE(tool.waitForFinished(20000)) << sig;
        EXPECT_EQ(tool.exitStatus(), QProcess::NormalExit) << sig;
        EXPECT_FALSE(QFile::exists(pages.filePath(QStringLiteral("FD.Dat")))) << sig;
        EXPECT_FALSE(QFile::exists(pages.filePath(QStringLiteral("FDx.Dat")))) << sig;
    }
}
#endif
