// Start-up as a user meets it: where the sites and the page files come from,
// and the program ended by the desktop rather than by its close box.
#include "app/startup.h"
#include "support/testfiles.h"
#include "web/pagefiles.h"

#include <QProcess>
#include <QThread>
#include <csignal>

TEST(Startup, TheDemoSiteOnLoopbackStartsOnlyWhenNoSiteIsConfigured)
{
    const char *const variables[][2] = {{"QUILLMARK_MELEE_ROOT", "http://melee.example"},
                                        {"QUILLMARK_DOTA_ROOT", "http://dota.example"},
                                        {"QUILLMARK_DOTA_MAP_ROOT", "http://maps.example/dota/"},
                                        {"QUILLMARK_FEED_URL", "http://feed.example/rss.xml"}};
    for (const auto &v : variables)
        qunsetenv(v[0]);
    std::unique_ptr<DemoSite> demo;
    SiteRoots roots = StartSites(QString(), demo);
    ASSERT_NE(demo, nullptr);
    EXPECT_TRUE(roots.melee.startsWith(QStringLiteral("http://127.0.0.1:")));
    EXPECT_TRUE(roots.dotaMap.endsWith(QStringLiteral("/dota/")));
    FetchResult r;
    EXPECT_TRUE(FetchBody(roots.melee + QStringLiteral("/Default.aspx?a=3&PageNo=1"), &r).contains("replayitem"));
    EXPECT_TRUE(r.ok());

    for (const auto &v : variables)
        qputenv(v[0], v[1]);
    demo.reset();
    roots = StartSites(QString(), demo);
    for (const auto &v : variables)
        qunsetenv(v[0]);
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
        for (const char *name : {"FD.Dat", "FDx.Dat"})
            WriteBytes(pages.filePath(QLatin1String(name)), "x");
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
        for (const char *name : {"FD.Dat", "FDx.Dat"})
            EXPECT_FALSE(QFile::exists(pages.filePath(QLatin1String(name)))) << sig << name;
    }
}
#endif
