// The local replay list: a replay folder of 1,000 demo replays (and the real ones
// of the tests) listed through the window's "已下载录像" command, against reading
// the first 4 KB of each of the same files (the least any listing of them must
// do); and the longest the window's event loop stalls meanwhile and while the
// largest replay is clicked and shown.
#include "bench/bench.h"

#include "demo/demofiles.h"
#include "demo/demosite.h"
#include "local/localreplays.h"
#include "web/pagefiles.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QListWidget>
#include <QTimer>
#include <QWebEngineView>
#include "app/webpane.h"
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstdio>

void FigureLocal()
{
    constexpr int kFiles = 1000;
    constexpr int kRounds = 3;
    DemoSite site;
    QTemporaryDir pageDir, gameDir;
    if (!site.ok() || !pageDir.isValid() || !gameDir.isValid())
        return;

    // The demo replays, again and again, under time-prefixed names.
    QList<QByteArray> replays;
    for (const DemoMeleeReplay &r : DemoData::instance().melee)
        replays << DemoReplayFile(r.id);
    for (const DemoDotaReplay &r : DemoData::instance().dota)
        replays << DemoReplayFile(r.id);
    const QString folder = gameDir.filePath(QStringLiteral("replay"));
    QDir().mkpath(folder);
    QStringList paths;
    qint64 bytes = 0;
    const QDateTime base = QDateTime::currentDateTime().addDays(-1);
    for (int i = 0; i < kFiles; ++i) {
        const QString path = QDir(folder).filePath(
            QStringLiteral("%1：%2：%3 _replay %4.w3g").arg(i / 3600).arg(i / 60 % 60).arg(i % 60).arg(i));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return;
        const QByteArray &replay = replays.at(i % replays.size());
        f.write(replay);
        f.flush();
        f.setFileTime(base.addSecs(i), QFileDevice::FileModificationTime);
        bytes += replay.size();
        paths << path;
    }

    // The real replays too: the largest file in the folder is the one clicked.
    QDirIterator real(QStringLiteral(QUILLMARK_SOURCE_DIR "/tests/data/real-replays"),
                      {QStringLiteral("*.w3g"), QStringLiteral("*.nwg")}, QDir::Files, QDirIterator::Subdirectories);
    QString largest;
    qint64 largestSize = 0;
    for (const QString &path : std::as_const(paths))
        if (QFileInfo(path).size() > largestSize)
            largestSize = QFileInfo(path).size(), largest = path;
    while (real.hasNext()) {
        const QFileInfo source(real.next());
        const QString path = QDir(folder).filePath(source.fileName());
        if (!QFile::copy(source.filePath(), path))
            return;
        bytes += source.size();
        if (source.size() > largestSize)
            largestSize = source.size(), largest = path;
    }

    PageFiles pages(pageDir.path());
    QuietPlatform quiet;
    Form1 form(site.roots(), &pages, quiet.platform());
    form.Timer2->stop();
    form.Timer4->stop();
    form.show();
    form.Text7->setText(gameDir.filePath(QStringLiteral("War3.exe")));
    form.GameFolder = gameDir.path() + QLatin1Char('/');
    QAction *command = form.findChild<QAction *>(QStringLiteral("localreplays"));
    const int files = int(QDir(folder).entryList(QDir::Files).size());
    Idle(500);  // the panes' engine up

    // The event loop's stalls: a timer asks for a tick every millisecond, and the
    // longest time between two ticks is the longest the window was not answering.
    QTimer watch;
    watch.setTimerType(Qt::PreciseTimer);
    watch.setInterval(1);
    BenchClock::time_point last = BenchClock::now();
    double stall = 0;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        stall = qMax(stall, MsSince(last));
        last = BenchClock::now();
    });

    double bestList = -1, bestRead = -1, worstStall = 0, clickMs = -1;
    int listed = 0;
    QObject::connect(&form, &Form1::LocalListingDone, [&](int rows) { listed = rows; });
    for (int round = 0; round < kRounds; ++round) {
        listed = -1;
        stall = 0;
        last = BenchClock::now();
        watch.start();
        auto start = BenchClock::now();
        QTimer::singleShot(0, command, &QAction::trigger);  // from the event loop, so the watch sees it
        if (!SpinUntil([&] { return listed >= 0; }, 60000) || listed != files || !quiet.dialogs.messages.isEmpty()) {
            std::fprintf(stderr, "listed %d rows of %d\n", listed, files);
            return;
        }
        const double list = MsSince(start);
        // The largest replay clicked: read whole, shown, its analysis loaded in the pane.
        const int row = form.List1->findItems(largest, Qt::MatchExactly).isEmpty()
            ? -1 : form.List1->row(form.List1->findItems(largest, Qt::MatchExactly).constFirst());
        bool shown = false, loaded = false;
        const auto readConnection = QObject::connect(&form, &Form1::LocalReplayRead, [&](const QString &, bool s) { shown = s; });
        const auto loadConnection = QObject::connect(form.WebBrowser2, &QWebEngineView::loadFinished, [&] { loaded = shown; });
        start = BenchClock::now();
        QTimer::singleShot(0, &form, [&] {
            form.ListView1->setCurrentItem(form.ListView1->topLevelItem(row));
            form.ListView1_ItemClick();
        });
        const bool clicked = row >= 0 && SpinUntil([&] { return shown && loaded; }, 30000);
        const double click = MsSince(start);
        QObject::disconnect(readConnection);
        QObject::disconnect(loadConnection);
        Idle(50);
        watch.stop();
        if (!clicked) {
            std::fprintf(stderr, "the largest replay was not shown\n");
            return;
        }
        worstStall = qMax(worstStall, stall);
        clickMs = clickMs < 0 ? click : qMin(clickMs, click);

        start = BenchClock::now();
        qint64 read = 0;
        for (const QString &path : std::as_const(paths)) {
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
    EmitRow({QStringLiteral("local replay list \"已下载录像\", %1 files (%2 MiB), all rows read (on a worker)").arg(files).arg(bytes / 1048576.0, 0, 'f', 1),
             Ms(bestList), Ms(bestRead) + QStringLiteral(" reading 4 KB of each"), Ratio(bestList / bestRead),
             QStringLiteral("—"), -1});
    EmitRow({QStringLiteral("  longest stall of the window's event loop while they are listed and the largest (%1 KiB) is clicked, read whole and its analysis loaded (%2 ms; worst of %3)")
                 .arg(largestSize / 1024).arg(clickMs, 0, 'f', 1).arg(kRounds),
             Ms(worstStall), QStringLiteral("50 ms"), Ratio(worstStall / 50.0), QStringLiteral("< 50 ms"), worstStall < 50 ? 1 : 0});
}
