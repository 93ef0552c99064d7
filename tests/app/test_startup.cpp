// Start-up as a user meets it: where the sites and the page files come from,
// and the program ended by the desktop rather than by its close box.
#include "app/singlewindow.h"
#include "app/startup.h"
#include "app/webpane.h"
#include "support/testfiles.h"
#include "support/testwindow.h"
#include "web/pagefiles.h"

#include <QDir>
#include <QEvent>
#include <QLocalSocket>
#include <QProcess>
#include <QStandardPaths>
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
// The web engine's helper processes that process `pid` has started so far.
static int EngineProcesses(const QString &pid = u8s("self"))
{
    int n = 0;
    for (const QString &task : QDir(u8s("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        for (const QByteArray &child : ReadBytes(u8s("/proc/%1/task/%2/children").arg(pid, task)).split(' '))
            n += !child.trimmed().isEmpty() && ReadBytes(u8s("/proc/%1/cmdline").arg(QString::fromLatin1(child.trimmed()))).contains("QtWebEngineProcess");
    return n;
}

#endif

#ifdef Q_OS_UNIX
// The real program, started on `env` (the test's own, with the page folder and
// whatever else is named).
static void StartTool(QProcess &tool, const QMap<QString, QString> &vars)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (auto it = vars.begin(); it != vars.end(); ++it)
        env.insert(it.key(), it.value());
    tool.setProcessEnvironment(env);
    tool.start(QStringLiteral(QUILLMARK_EXECUTABLE), {});
    ASSERT_TRUE(tool.waitForStarted(10000));
}

// Ends the program as the desktop does at log-out; it closes its window.
static void EndTool(QProcess &tool)
{
    ::kill(pid_t(tool.processId()), SIGTERM);
    ASSERT_TRUE(tool.waitForFinished(20000));
}

// Waits until a window runs on the page folder `pages` (it answers later starts).
static bool WindowAnswers(const QString &pages, int ms = 20000)
{
    return WaitFor([&] {
        QLocalSocket probe;
        probe.connectToServer(SingleWindow::SocketName(pages));
        return probe.waitForConnected(200);
    }, ms);
}

TEST(Startup, ASecondStartBringsTheRunningWindowForwardAndLeavesItsPageFiles)
{
    QTemporaryDir pages;
    QProcess first, second;
    StartTool(first, {{u8s("QUILLMARK_PAGE_DIR"), pages.path()}});
    ASSERT_TRUE(WindowAnswers(pages.path()));
    for (const char *name : {"FD.Dat", "FDx.Dat"})  // the first window's pages
        WriteBytes(pages.filePath(QLatin1String(name)), "page");
    // The second start ends by itself, at once, and takes nothing with it.
    StartTool(second, {{u8s("QUILLMARK_PAGE_DIR"), pages.path()}});
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(FilesBelow(pages.path()), (QStringList{u8s("FD.Dat"), u8s("FDx.Dat")}));
    EXPECT_EQ(first.state(), QProcess::Running);
    EndTool(first);
    EXPECT_EQ(FilesBelow(pages.path()), QStringList());
}

TEST(Startup, ALaterStartAsksTheWindowToComeForward)
{
    QTemporaryDir pages;
    SingleWindow window(pages.path());
    ASSERT_TRUE(window.Claim());
    int wanted = 0;
    QObject::connect(&window, &SingleWindow::Wanted, [&] { ++wanted; });
    window.Serve();
    // A start from another process: it reaches the window and ends.
    QProcess later;
    StartTool(later, {{u8s("QUILLMARK_PAGE_DIR"), pages.path()}});
    EXPECT_TRUE(WaitFor([&] { return later.state() == QProcess::NotRunning; }, 15000));
    EXPECT_EQ(later.exitCode(), 0);
    EXPECT_EQ(wanted, 1);
    // Another page folder is another window's.
    QTemporaryDir other;
    SingleWindow beside(other.path());
    EXPECT_TRUE(beside.Claim());
    beside.Serve();
    // A raised window comes back from the task bar.
    TestWindow w;
    w->showMinimized();
    BringToFront(w.form.get());
    EXPECT_FALSE(w->isMinimized());
    EXPECT_TRUE(w->isVisible());
}

TEST(Startup, TheCacheFolderTheToolMadeGoesWithItsPageFiles)
{
    QTemporaryDir home;
    QProcess tool;
    const QMap<QString, QString> vars{{u8s("HOME"), home.path()}, {u8s("XDG_CACHE_HOME"), QString()},
                                      {u8s("QUILLMARK_PAGE_DIR"), QString()}};
    StartTool(tool, vars);
    const QString cache = home.filePath(u8s(".cache/Quillmark"));
    ASSERT_TRUE(WindowAnswers(cache));
    WriteBytes(cache + u8s("/FD.Dat"), "page");  // the folder as a fetch makes it
    EndTool(tool);
    EXPECT_FALSE(QFileInfo::exists(cache));
    // A folder that was there before the run stays, and what else is in it.
    WriteBytes(cache + u8s("/notes.txt"), "mine");
    StartTool(tool, vars);
    ASSERT_TRUE(WindowAnswers(cache));
    WriteBytes(cache + u8s("/FDx.Dat"), "page");
    EndTool(tool);
    EXPECT_EQ(FilesBelow(cache), QStringList{u8s("notes.txt")});
}

#endif

#ifdef Q_OS_LINUX
// A private X server, for what only a real display shows.
class XServer {
public:
    XServer()
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            return;
        m_server.setStandardErrorFile(QProcess::nullDevice());
        m_server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                              QStringLiteral("1600x1000x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (m_server.waitForStarted(5000) && WaitFor([&] { return m_server.canReadLine(); }, 10000))
            display = u':' + QString::fromLatin1(m_server.readLine().trimmed());
    }
    ~XServer()
    {
        m_server.terminate();
        m_server.waitForFinished(5000);
    }
    QString display;  // empty: no X server

private:
    QProcess m_server;
};

TEST(Startup, OneWindowMappedOnceOnARealXServer)
{
    XServer x;
    const QString xev = QStandardPaths::findExecutable(QStringLiteral("xev"));
    if (x.display.isEmpty() || xev.isEmpty())
        GTEST_SKIP() << "needs Xvfb and xev (packages xvfb, x11-utils)";
    // Every window put on the screen (mapped) at the top level, as the X server tells it.
    // Line by line (stdbuf): into a pipe xev would hold its lines back.
    QProcess watch;
    watch.start(QStandardPaths::findExecutable(QStringLiteral("stdbuf")),
                {QStringLiteral("-oL"), xev, QStringLiteral("-display"), x.display, QStringLiteral("-root"),
                 QStringLiteral("-event"), QStringLiteral("substructure")});
    ASSERT_TRUE(watch.waitForStarted(5000));
    QThread::msleep(500);  // it listens
    QTemporaryDir pages;
    QProcess tool;
    // As a user starts it: the web engine draws with the graphics card (here Mesa's
    // software OpenGL), not with the tests' --disable-gpu.
    StartTool(tool, {{u8s("DISPLAY"), x.display}, {u8s("QT_QPA_PLATFORM"), u8s("xcb")}, {u8s("QUILLMARK_PAGE_DIR"), pages.path()},
                     {u8s("QTWEBENGINE_CHROMIUM_FLAGS"), QString()}});
    ASSERT_TRUE(WindowAnswers(pages.path()));
    // The web engine up (its helper processes run), its surfaces in the window.
    EXPECT_TRUE(WaitFor([&] { return EngineProcesses(QString::number(tool.processId())) > 0; }, 30000));
    Idle(2000);  // the pipes read meanwhile: a program whose output is not read stalls
    QByteArray events = watch.readAllStandardOutput();
    EndTool(tool);
    watch.kill();
    watch.waitForFinished(5000);
    EXPECT_EQ(events.count("\nMapNotify"), 1);
    EXPECT_EQ(events.count("\nUnmapNotify"), 0) << "the window blinked";
}
#endif

#ifdef Q_OS_LINUX
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
