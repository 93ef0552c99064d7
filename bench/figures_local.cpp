// The local replay list: a replay folder of 1,000 demo replays listed through the
// window's "已下载录像" command (from the index, once it holds them), against
// reading the first 4 KB of each of the same files (the least any listing of them
// must do); and the library of 10,000 replays: the first index, the second open,
// a search and the index's size. Also the longest the window's event loop stalls
// while the folder (with the real replays of the tests) is listed, the first time
// and from the index, and its largest replay is clicked, read whole and shown.
#include "bench/bench.h"

#include "demo/demofiles.h"
#include "demo/demosite.h"
#include "demo/replaywriter.h"
#include "local/library.h"
#include "local/localreplays.h"
#include "web/pagefiles.h"
#include "app/webpane.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QListWidget>
#include <QTimer>
#include <QWebEngineView>
#include <QFile>
#include <QLineEdit>
#include <QLabel>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstdio>
#include <ctime>

namespace {
// The index goes to a data folder of the figure's own: QStandardPaths' test mode
// below a temporary home.
struct TemporaryDataFolder {
    QTemporaryDir home;
    TemporaryDataFolder()
    {
        qputenv("HOME", home.path().toLocal8Bit());
        QStandardPaths::setTestModeEnabled(true);
    }
};

// CPU time of the calling thread so far, in ms.
double ThreadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

// The melee and DotA demo replays.
QList<DemoReplayDescription> DemoGames()
{
    QList<DemoReplayDescription> games;
    for (const DemoMeleeReplay &r : DemoData::instance().melee)
        games << DemoReplayDescriptionOf(r);
    for (const DemoDotaReplay &r : DemoData::instance().dota)
        games << DemoReplayDescriptionOf(r);
    return games;
}

// Writes `files` replays into `folder` under time-prefixed names, one second
// apart in modified time: the melee and DotA demo replays over and over, real
// files from the demo writer, each its own game (its own random seed), or the
// copies of one game would be one row. `maxFiller` >= 0 bounds their filler.
// Their paths (none on failure), their bytes added to `bytes`.
QStringList WriteReplayFolder(const QString &folder, int files, qint64 maxFiller, qint64 *bytes)
{
    const QList<DemoReplayDescription> games = DemoGames();
    QDir().mkpath(folder);
    QStringList paths;
    const QDateTime base = QDateTime::currentDateTime().addDays(-30);
    for (int i = 0; i < files; ++i) {
        const QString path = QDir(folder).filePath(
            QStringLiteral("%1：%2：%3 _replay %4.w3g").arg(i / 3600).arg(i / 60 % 60).arg(i % 60).arg(i));
        DemoReplayDescription d = games.at(i % games.size());
        d.seed = quint32(i + 1);
        if (maxFiller >= 0)
            d.fillerBytes = qMin(d.fillerBytes, maxFiller);
        const QByteArray replay = WriteDemoReplay(d);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(replay) != replay.size())
            return {};
        f.flush();
        f.setFileTime(base.addSecs(i), QFileDevice::FileModificationTime);
        *bytes += replay.size();
        paths << path;
    }
    return paths;
}

// A temporary data folder, the demo site, a page folder and a game folder whose
// replay folder holds `files` replays (WriteReplayFolder).
struct LocalBench {
    TemporaryDataFolder data;
    DemoSite site;
    QTemporaryDir pageDir, gameDir;
    qint64 bytes = 0;
    QStringList paths;
    LocalBench(int files, qint64 maxFiller)
    {
        if (site.ok() && pageDir.isValid() && gameDir.isValid())
            paths = WriteReplayFolder(gameDir.filePath(QStringLiteral("replay")), files, maxFiller, &bytes);
    }
    bool ok() const { return !paths.isEmpty(); }
};

// The window on a game folder, its game path set, and its "已下载录像" command.
struct LocalWindow {
    PageFiles pages;
    QuietPlatform quiet;
    Form1 form;
    QAction *command;
    LocalWindow(const DemoSite &site, const QString &pageDir, const QString &gameDir)
        : pages(pageDir), form(site.roots(), &pages, quiet.platform()),
          command(form.findChild<QAction *>(QStringLiteral("localreplays")))
    {
        form.Timer2->stop();
        form.Timer4->stop();
        form.show();
        form.Text7->setText(QDir(gameDir).filePath(QStringLiteral("War3.exe")));
        form.GameFolder = gameDir + QLatin1Char('/');
    }
    // The command, to its rows painted: milliseconds, or -1 when the rows are not `rows`.
    double Open(int rows)
    {
        const auto start = BenchClock::now();
        command->trigger();
        QCoreApplication::processEvents();  // the rows painted
        const double ms = MsSince(start);
        if (form.ListView1->topLevelItemCount() != rows || !quiet.dialogs.messages.isEmpty()) {
            std::fprintf(stderr, "listed %d rows\n", form.ListView1->topLevelItemCount());
            return -1;
        }
        return ms;
    }
    bool Settle() { return SpinUntil([&] { return !form.Library()->Busy(); }, 600000); }
};

// The event loop's stalls: a timer asks for a tick every millisecond, and the
// longest time between two ticks is the longest the window was not answering.
// From the command (the first open reads every file, the later ones list from the
// index) to the largest replay clicked, read whole and its analysis loaded.
void StallRow()
{
    constexpr int kFiles = 1000;
    constexpr int kRounds = 3;
    LocalBench b(kFiles, -1);
    if (!b.ok())
        return;
    const QString folder = b.gameDir.filePath(QStringLiteral("replay"));
    QString largest;
    qint64 largestSize = 0;
    for (const QString &path : std::as_const(b.paths))
        if (QFileInfo(path).size() > largestSize)
            largestSize = QFileInfo(path).size(), largest = path;
    QDirIterator real(QStringLiteral(QUILLMARK_SOURCE_DIR "/tests/data/real-replays"),
                      {QStringLiteral("*.w3g"), QStringLiteral("*.nwg")}, QDir::Files, QDirIterator::Subdirectories);
    int files = kFiles;
    while (real.hasNext()) {
        const QFileInfo source(real.next());
        const QString path = QDir(folder).filePath(source.fileName());
        if (!QFile::copy(source.filePath(), path))
            return;
        ++files;
        if (source.size() > largestSize)
            largestSize = source.size(), largest = QFileInfo(path).canonicalFilePath();
    }
    LocalWindow w(b.site, b.pageDir.path(), b.gameDir.path());
    Idle(500);  // the panes' engine up

    QTimer watch;
    watch.setTimerType(Qt::PreciseTimer);
    watch.setInterval(1);
    BenchClock::time_point last = BenchClock::now();
    double stall = 0;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        stall = qMax(stall, MsSince(last));
        last = BenchClock::now();
    });
    double worst = 0, firstOpen = 0, clickMs = -1;
    for (int round = 0; round < kRounds; ++round) {
        stall = 0;
        last = BenchClock::now();
        watch.start();
        QTimer::singleShot(0, w.command, &QAction::trigger);  // from the event loop, so the watch sees it
        Idle(20);
        if (!w.Settle() || w.form.ListView1->topLevelItemCount() != files) {
            std::fprintf(stderr, "listed %d rows of %d\n", w.form.ListView1->topLevelItemCount(), files);
            return;
        }
        if (round == 0)
            firstOpen = stall;
        int row = -1;
        for (int i = 0; i < w.form.List1->count(); ++i)
            if (QFileInfo(w.form.List1->item(i)->text()).canonicalFilePath() == QFileInfo(largest).canonicalFilePath())
                row = i;
        bool shown = false, loaded = false;
        const auto read = QObject::connect(&w.form, &Form1::LocalReplayRead, [&](const QString &, bool s) { shown = s; });
        const auto load = QObject::connect(w.form.WebBrowser2, &QWebEngineView::loadFinished, [&] { loaded = shown; });
        const auto start = BenchClock::now();
        QTimer::singleShot(0, &w.form, [&] {
            w.form.ListView1->setCurrentItem(w.form.ListView1->topLevelItem(row));
            w.form.ListView1_ItemClick();
        });
        const bool clicked = row >= 0 && SpinUntil([&] { return shown && loaded; }, 30000);
        const double click = MsSince(start);
        QObject::disconnect(read);
        QObject::disconnect(load);
        Idle(50);
        watch.stop();
        if (!clicked) {
            std::fprintf(stderr, "the largest replay was not shown\n");
            return;
        }
        worst = qMax(worst, stall);
        clickMs = clickMs < 0 ? click : qMin(clickMs, click);
    }
    EmitRow({QStringLiteral("  longest stall of the window's event loop while %1 replays are listed (the first time and from the index) and the largest (%2 KiB) is clicked, read whole and its analysis loaded (%3 ms; worst of %4; the first open's own %5 ms)")
                 .arg(files).arg(largestSize / 1024).arg(clickMs, 0, 'f', 1).arg(kRounds).arg(firstOpen, 0, 'f', 1),
             Ms(worst), QStringLiteral("50 ms"), Ratio(worst / 50.0), QStringLiteral("< 50 ms"), worst < 50 ? 1 : 0});
}
} // namespace

void FigureLocal()
{
    constexpr int kFiles = 1000;
    constexpr int kRounds = 3;
    LocalBench b(kFiles, -1);
    if (!b.ok())
        return;

    LocalWindow w(b.site, b.pageDir.path(), b.gameDir.path());
    // The first open reads the files into the index; the rounds list from it.
    w.command->trigger();
    if (!w.Settle())
        return;

    double bestList = -1, bestRead = -1;
    for (int round = 0; round < kRounds; ++round) {
        const double list = w.Open(kFiles);
        if (list < 0)
            return;
        auto start = BenchClock::now();
        qint64 read = 0;
        for (const QString &path : std::as_const(b.paths)) {
            QFile f(path);
            if (f.open(QIODevice::ReadOnly))
                read += f.read(4096).size();
        }
        const double readMs = MsSince(start);
        if (read == 0)
            return;
        bestList = bestList < 0 ? list : qMin(bestList, list);
        bestRead = bestRead < 0 ? readMs : qMin(bestRead, readMs);
    }
    EmitRow({QStringLiteral("local replay list \"已下载录像\", %1 files (%2 MiB), from the index").arg(kFiles).arg(b.bytes / 1048576.0, 0, 'f', 1),
             Ms(bestList), Ms(bestRead) + QStringLiteral(" reading 4 KB of each"), Ratio(bestList / bestRead),
             QStringLiteral("—"), -1});
    StallRow();
}

void FigureLibrary()
{
    constexpr int kFiles = 10000;
    // A few KB each.
    LocalBench b(kFiles, 4096);
    if (!b.ok())
        return;
    const QString gameFolder = b.gameDir.path() + QLatin1Char('/');  // for the library alone

    // Reading the same files whole, the least the first index must do.
    auto start = BenchClock::now();
    qint64 read = 0;
    for (const QString &path : std::as_const(b.paths)) {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            read += f.readAll().size();
    }
    const double readMs = MsSince(start);

    // The first index: every file read and written to the index, off the window's thread.
    double indexMs = 0;
    {
        LocalLibrary library;
        start = BenchClock::now();
        library.Open(gameFolder);
        if (!SpinUntil([&] { return !library.Busy(); }, 600000) || library.Rows().size() != kFiles) {
            std::fprintf(stderr, "indexed %d rows\n", int(library.Rows().size()));
            return;
        }
        indexMs = MsSince(start);
    }
    const double perSecond = kFiles / (indexMs / 1000.0), readPerSecond = kFiles / (readMs / 1000.0);
    EmitRow({QStringLiteral("local library: first index of %1 replays (%2 MiB), replays per second").arg(kFiles).arg(b.bytes / 1048576.0, 0, 'f', 1),
             QString::number(perSecond, 'f', 0) + QStringLiteral("/s"),
             QString::number(readPerSecond, 'f', 0) + QStringLiteral("/s reading them whole"), Ratio(perSecond / readPerSecond),
             QStringLiteral("—"), -1});

    // The second open: a new window on the index the first one left, the command
    // to its rows painted; also the window thread's CPU time for it, which a busy
    // machine does not inflate.
    double openMs = -1, openCpu = -1;
    for (int round = 0; round < 3; ++round) {
        LocalWindow fresh(b.site, b.pageDir.path(), b.gameDir.path());
        const double cpu = ThreadCpuMs();
        const double ms = fresh.Open(kFiles);
        if (ms < 0)
            return;
        const double used = ThreadCpuMs() - cpu;
        openMs = openMs < 0 ? ms : qMin(openMs, ms);
        openCpu = openCpu < 0 ? used : qMin(openCpu, used);
        fresh.Settle();
    }
    EmitRow({QStringLiteral("local library: second open of %1 replays (new window) to rows painted (best of 3)").arg(kFiles),
             Ms(openMs), QStringLiteral("100 ms"), Ratio(openMs / 100.0), QStringLiteral("≤ 1.00×"), openMs <= 100.0 ? 1 : 0});
    EmitRow({QStringLiteral("  (the window thread's CPU time for it)"), Ms(openCpu), QStringLiteral("100 ms"), Ratio(openCpu / 100.0),
             QStringLiteral("—"), -1});

    // A search on the index: a player and a race; the first one after the open.
    LocalWindow w(b.site, b.pageDir.path(), b.gameDir.path());
    if (w.Open(kFiles) < 0 || !w.Settle())
        return;
    LocalLibrary *library = w.form.Library();
    double firstSearch = -1, search = -1, firstCpu = -1;
    for (int round = 0; round < 3; ++round) {
        const double cpu = ThreadCpuMs();
        start = BenchClock::now();
        library->Search(QStringLiteral("moon 暗夜精灵"));
        QCoreApplication::processEvents();
        const double ms = MsSince(start);
        if (round == 0) {
            firstSearch = ms;
            firstCpu = ThreadCpuMs() - cpu;
        } else {
            search = search < 0 ? ms : qMin(search, ms);
        }
    }
    const int found = int(library->Rows().size());
    EmitRow({QStringLiteral("local library: search \"moon 暗夜精灵\" in %1 replays, first (%2 found)").arg(kFiles).arg(found),
             Ms(firstSearch), QStringLiteral("20 ms"), Ratio(firstSearch / 20.0), QStringLiteral("≤ 1.00×"), firstSearch <= 20.0 ? 1 : 0});
    EmitRow({QStringLiteral("  (the window thread's CPU time for it)"), Ms(firstCpu), QStringLiteral("20 ms"), Ratio(firstCpu / 20.0),
             QStringLiteral("—"), -1});
    EmitRow({QStringLiteral("  (the same search again, best of 2)"), Ms(search), QStringLiteral("20 ms"), Ratio(search / 20.0),
             QStringLiteral("—"), -1});

    const QString db = DefaultIndexPath();
    const qint64 indexBytes = QFileInfo(db).size() + QFileInfo(db + QStringLiteral("-wal")).size();
    EmitRow({QStringLiteral("local library: index size per replay"), QString::number(indexBytes / double(kFiles), 'f', 0) + QStringLiteral(" B"),
             QString::number(b.bytes / double(kFiles), 'f', 0) + QStringLiteral(" B per replay file"),
             Ratio(indexBytes / double(b.bytes)), QStringLiteral("—"), -1});
}
