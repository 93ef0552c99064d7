// The local replay list: a replay folder of 1,000 demo replays listed through the
// window's "已下载录像" command, against reading the first 4 KB of each of the
// same files (the least any listing of them must do).
#include "bench/bench.h"

#include "demo/demofiles.h"
#include "demo/demosite.h"
#include "local/localreplays.h"
#include "web/pagefiles.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
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

    PageFiles pages(pageDir.path());
    QuietPlatform quiet;
    Form1 form(site.roots(), &pages, quiet.platform());
    form.Timer2->stop();
    form.Timer4->stop();
    form.show();
    form.Text7->setText(gameDir.filePath(QStringLiteral("War3.exe")));
    form.GameFolder = gameDir.path() + QLatin1Char('/');
    QAction *command = form.findChild<QAction *>(QStringLiteral("localreplays"));

    double bestList = -1, bestRead = -1;
    for (int round = 0; round < kRounds; ++round) {
        auto start = BenchClock::now();
        command->trigger();
        QCoreApplication::processEvents();  // the rows painted
        const double list = MsSince(start);
        if (form.ListView1->topLevelItemCount() != kFiles || !quiet.dialogs.messages.isEmpty()) {
            std::fprintf(stderr, "listed %d rows\n", form.ListView1->topLevelItemCount());
            return;
        }
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
    EmitRow({QStringLiteral("local replay list \"已下载录像\", %1 files (%2 MiB)").arg(kFiles).arg(bytes / 1048576.0, 0, 'f', 1),
             Ms(bestList), Ms(bestRead) + QStringLiteral(" reading 4 KB of each"), Ratio(bestList / bestRead),
             QStringLiteral("—"), -1});
}
