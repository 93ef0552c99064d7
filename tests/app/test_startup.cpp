// Start-up as a user meets it: where the sites and the page files come from,
// and the program ended by the desktop rather than by its close box.
#include "app/startup.h"
#include "app/webpane.h"
#include "support/testfiles.h"
#include "support/testwindow.h"
#include "web/pagefiles.h"

#include <QDir>
#include <QEvent>
#include <QProcess>
#include <QWebEnginePage>
#include <QThread>
#include <csignal>

TEST(Startup, TheDemoSiteOnLoopbackStartsOnlyWhenNoSiteIsConfigured)
{
    const char *const variables[][2] = {{"QUILLMARK_MELEE_ROOT", "http://melee.example"}, {"QUILLMARK_DOTA_ROOT", "http://dota.example"},
                                        {"QUILLMARK_DOTA_MAP_ROOT", "http://maps.example/dota/"}, {"QUILLMARK_FEED_URL", "http://feed.example/rss.xml"}};
    for (const auto &v : variables)
        qunsetenv(v[0]);
    std::unique_ptr<DemoSite> demo;
    SiteRoots roots = StartSites(QString(), demo);
    ASSERT_NE(demo, nullptr);
    EXPECT_TRUE(roots.melee.startsWith(u8s("http://127.0.0.1:")) && roots.dotaMap.endsWith(u8s("/dota/")));
    FetchResult r;
    EXPECT_TRUE(FetchBody(roots.melee + u8s("/Default.aspx?a=3&PageNo=1"), &r).contains("replayitem") && r.ok());
    for (const auto &v : variables)
        qputenv(v[0], v[1]);
    demo.reset();
    roots = StartSites(QString(), demo);
    for (const auto &v : variables)
        qunsetenv(v[0]);
    EXPECT_EQ(demo, nullptr);
    EXPECT_EQ(roots.melee, u8s("http://melee.example"));
}

TEST(Startup, PageFilesLiveInTheCacheFolderUnlessNamed)
{
    const QTemporaryDir home;
    const QByteArray old[] = {qgetenv("HOME"), qgetenv("XDG_CACHE_HOME"), qgetenv("QUILLMARK_PAGE_DIR")};
    qputenv("HOME", home.path().toUtf8()), qunsetenv("XDG_CACHE_HOME"), qunsetenv("QUILLMARK_PAGE_DIR");
    EXPECT_EQ(PageFiles::defaultFolder(), home.filePath(u8s(".cache/Quillmark")));
    qputenv("QUILLMARK_PAGE_DIR", "/tmp/quillmark-pages");
    EXPECT_EQ(PageFiles::defaultFolder(), u8s("/tmp/quillmark-pages"));
    for (int i = 0; const char *name : {"HOME", "XDG_CACHE_HOME", "QUILLMARK_PAGE_DIR"})
        old[i].isNull() ? qunsetenv(name) : qputenv(name, old[i]), ++i;
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
        env.insert(u8s("QUILLMARK_PAGE_DIR"), pages.path());
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral(QUILLMARK_EXECUTABLE), {});
        ASSERT_TRUE(tool.waitForStarted(10000));
        QThread::msleep(3000);  // the window is up
        ::kill(pid_t(tool.processId()), sig);
        ASSERT_TRUE(tool.waitForFinished(20000)) << sig;
        EXPECT_EQ(tool.exitStatus(), QProcess::NormalExit) << sig;
        EXPECT_EQ(FilesBelow(pages.path()), QStringList()) << sig;
    }
}
#endif

#ifdef Q_OS_LINUX
// The web engine's helper processes that this process has started so far.
static int EngineProcesses()
{
    int n = 0;
    for (const QString &task : QDir(u8s("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        for (const QByteArray &pid : ReadBytes(u8s("/proc/self/task/%1/children").arg(task)).split(' '))
            n += !pid.trimmed().isEmpty() && ReadBytes(u8s("/proc/%1/cmdline").arg(QString::fromLatin1(pid.trimmed()))).contains("QtWebEngineProcess");
    return n;
}

TEST(Startup, TheWindowPaintsBeforeTheWebEngineStartsThenTheEngineStartsByItself)
{
    TestWindow w(false);
    int enginesAtFirstPaint = -1;
    struct FirstPaint : QObject {
        std::function<void()> seen;
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::Paint && seen)
                std::exchange(seen, nullptr)();
            return false;
        }
    } filter;
    filter.seen = [&] { enginesAtFirstPaint = EngineProcesses(); };
    w->installEventFilter(&filter);
    w->show();
    ASSERT_TRUE(WaitFor([&] { return enginesAtFirstPaint >= 0; }));
    EXPECT_EQ(enginesAtFirstPaint, 0);
    EXPECT_TRUE(WaitFor([&] { return w->WebBrowser1->EngineStarted() && !w->WebBrowser1->Loading(); }, 20000));
    EXPECT_GT(EngineProcesses(), 0);
    // Each page knows whether its pane is on screen (the DotA pane starts hidden).
    ASSERT_TRUE(WaitFor([&] { return w->WebBrowser2->EngineStarted(); }));
    for (WebPane *pane : {w->WebBrowser1, w->WebBrowser2})
        EXPECT_EQ(pane->page()->isVisible(), pane->isVisible()) << qPrintable(pane->objectName());
}
#endif
