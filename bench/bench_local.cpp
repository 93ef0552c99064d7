// Lists a replay folder of 1,000 demo replays through the window's "已下载录像"
// command (offscreen) and, as the floor, reads the first 4 KB of each of the same
// files; a few rounds each, and prints the best times and their ratio (and, for
// the split, the time of reading the replays alone).
#include "app/form1.h"
#include "demo/demofiles.h"
#include "demo/demosite.h"
#include "local/localreplays.h"
#include "web/pagefiles.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

namespace {
class QuietDialogs final : public Dialogs {
public:
    QStringList messages;
    void MsgBox(QWidget *, const QString &text, const QString &) override { messages << text; }
    std::optional<QString> InputBox(QWidget *, const QString &, const QString &) override { return std::nullopt; }
    std::optional<QString> OpenFile(QWidget *, const QString &, const QString &) override { return std::nullopt; }
};
class NoOpener final : public UrlOpener {
public:
    bool Open(const QUrl &) override { return false; }
};
class NoExit final : public ProgramExit {
public:
    void ExitNow(int) override {}
};
class NoLaunch final : public GameLauncher {
public:
    bool Start(const LaunchPlan &, QString *) override { return true; }
};

constexpr int kFiles = 1000;
constexpr int kRounds = 3;
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);

    DemoSite site;
    QTemporaryDir pageDir, gameDir;
    if (!site.ok() || !pageDir.isValid() || !gameDir.isValid()) {
        std::fprintf(stderr, "cannot start the demo site or make temporary folders\n");
        return 1;
    }

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
        if (!f.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        const QByteArray &replay = replays.at(i % replays.size());
        f.write(replay);
        f.flush();
        f.setFileTime(base.addSecs(i), QFileDevice::FileModificationTime);
        bytes += replay.size();
        paths << path;
    }

    PageFiles pages(pageDir.path());
    QuietDialogs dialogs;
    NoOpener opener;
    NoExit exit;
    NoLaunch launcher;
    Form1 form(site.roots(), &pages, Platform{&dialogs, &opener, &exit, &launcher});
    form.Timer2->stop();
    form.Timer4->stop();
    form.show();
    form.Text7->setText(gameDir.filePath(QStringLiteral("War3.exe")));
    form.GameFolder = gameDir.path() + QLatin1Char('/');
    QAction *command = form.findChild<QAction *>(QStringLiteral("localreplays"));

    qint64 bestList = -1, bestRead = -1, bestParse = -1;
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer t;
        t.start();
        command->trigger();
        QCoreApplication::processEvents();  // the rows painted
        const qint64 listNs = t.nsecsElapsed();
        if (form.ListView1->topLevelItemCount() != kFiles || !dialogs.messages.isEmpty()) {
            std::fprintf(stderr, "listed %d rows, %lld messages\n", form.ListView1->topLevelItemCount(),
                         qlonglong(dialogs.messages.size()));
            return 1;
        }
        if (form.ListView1->topLevelItem(0)->text(1).isEmpty()) {
            std::fprintf(stderr, "the newest replay was not read\n");
            return 1;
        }
        t.restart();
        qint64 read = 0;
        for (const QString &path : std::as_const(paths)) {
            QFile f(path);
            if (f.open(QIODevice::ReadOnly))
                read += f.read(4096).size();
        }
        const qint64 readNs = t.nsecsElapsed();
        if (read == 0)
            return 1;
        // The replays alone, without the window: how much of the listing is reading.
        t.restart();
        int readable = 0;
        for (const QString &path : std::as_const(paths))
            readable += ReadLocalReplay(path).readable ? 1 : 0;
        const qint64 parseNs = t.nsecsElapsed();
        if (readable != kFiles)
            return 1;
        bestParse = bestParse < 0 ? parseNs : qMin(bestParse, parseNs);
        bestList = bestList < 0 ? listNs : qMin(bestList, listNs);
        bestRead = bestRead < 0 ? readNs : qMin(bestRead, readNs);
    }

    std::printf("replay folder: %d files, %.1f MiB\n", kFiles, bytes / 1048576.0);
    std::printf("listing through the window: %.1f ms\n", bestList / 1e6);
    std::printf("reading the first 4 KB of each file: %.1f ms\n", bestRead / 1e6);
    std::printf("(of the listing, reading the whole replays: %.1f ms)\n", bestParse / 1e6);
    std::printf("ratio: %.1f\n", double(bestList) / double(qMax<qint64>(bestRead, 1)));
    return 0;
}
