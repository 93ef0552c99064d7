// File transfers against the real demo site on 127.0.0.1, into real folders.
#include "demo/demosite.h"
#include "download/transfer.h"
#include "support/testfiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

// Every fsync of this process: the file's path and size when it was synced.
static QList<QPair<QString, qint64>> g_synced;
extern "C" int fsync(int fd)
{
    static const auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"));
    char path[4096];
    const ssize_t n = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path - 1);
    struct stat st{};
    if (n > 0 && ::fstat(fd, &st) == 0)
        g_synced.append({QString::fromLocal8Bit(path, n), qint64(st.st_size)});
    return real(fd);
}

using Status = FetchResult::Status;
using Kind = FileTransfer::Kind;
struct Outcome { FetchResult result; int finished = 0; };

class Transfer : public ::testing::Test {
protected:
    DemoSite site;
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("replay")), target = folder + u8s("/9：5：7 _Sky VS 风神 (1003).w3g");
    QString melee(const char *path) const { return site.roots().melee + QLatin1String(path); }
    // A map of 64 KiB that takes about half a second to come.
    static DemoResponse slowMap()
    {
        DemoResponse r = DemoResponse::streamed(QByteArray("HM3W"), "m", QByteArray(), 64 * 1024);
        r.streamPieceBytes = 4096;
        r.streamIntervalMs = 30;
        return r;
    }
    // Runs one transfer until it reports, `stop` returns true after a chunk, or a
    // minute passes; then deletes it, running or not, and lets late signals come.
    Outcome run(const QString &url, const QString &to, Kind kind = Kind::Replay, int stallMs = FileTransfer::kDefaultStallMs,
                qint64 limit = FileTransfer::kDefaultSizeLimit, const std::function<bool(FileTransfer &)> &stop = {})
    {
        Outcome run;
        QEventLoop loop;
        auto t = std::make_unique<FileTransfer>(url, to, kind);
        t->setStallTimeout(stallMs);
        t->setSizeLimit(limit);
        QObject::connect(t.get(), &FileTransfer::progress, &loop, [&] {
            if (stop && stop(*t))
                loop.quit();
        });
        QObject::connect(t.get(), &FileTransfer::finished, &loop, [&](const FetchResult &r) { run.result = r; ++run.finished; loop.quit(); });
        QTimer::singleShot(60 * 1000, &loop, &QEventLoop::quit);
        t->start();
        loop.exec();
        t.reset();
        QTimer::singleShot(stop ? 300 : 0, &loop, &QEventLoop::quit);
        loop.exec();
        return run;
    }
};

// Whole answers, with and without a length, are the download window's part.
TEST_F(Transfer, ALongerOldMapIsReplacedAndOnlyOurTemporaryFilesGo)
{
    const QString map = dir.filePath(QStringLiteral("Maps/(4)TurtleRock.w3x"));
    WriteBytes(map, QByteArray(10000, 'x'));
    WriteBytes(TransferPartPath(map + u'x'), "half a map");
    WriteBytes(dir.filePath(QStringLiteral("Maps/notes.part")), "not ours");
    g_synced.clear();
    ASSERT_EQ(run(melee("/_files/map/3000"), map, Kind::Map).result.status, Status::Ok);
    EXPECT_EQ(ReadBytes(map), FetchBody(melee("/_files/map/3000")));
    // The whole new map was on the disk under its temporary name before it took the old one's.
    EXPECT_TRUE(g_synced.contains(qMakePair(TransferPartPath(QFileInfo(map).canonicalFilePath()), qint64(3000)))) << g_synced.size();
    EXPECT_EQ(FilesBelow(dir.filePath(QStringLiteral("Maps"))), (QStringList{QStringLiteral("(4)TurtleRock.w3x"), QStringLiteral("notes.part")}));
}

TEST_F(Transfer, FailedAnswersLeaveTheOldFileAndNoTemporaryFile)
{
    const struct { const char *path; Kind kind; Status status; int stallMs; qint64 limit; } rows[] = {
        {"/_files/404", Kind::Replay, Status::HttpError, 30000, 1 << 20}, {"/_files/cut/3000", Kind::Replay, Status::ShortBody, 30000, 1 << 20},
        {"/_files/htmlreplay", Kind::Replay, Status::WrongContent, 30000, 1 << 20}, {"/_files/map/8192", Kind::Map, Status::TooLarge, 30000, 4096},
        {"/_test/silent", Kind::Replay, Status::TimedOut, 300, 1 << 20}};
    const QByteArray old = QByteArray("Warcraft III recorded game\x1A\x00", 28) + QByteArray(5000, 'o');
    for (const auto &c : rows) {
        for (const bool hadOld : {true, false}) {
            SCOPED_TRACE(std::string(c.path) + (hadOld ? " over an old file" : " into an empty folder"));
            QDir(folder).removeRecursively();
            if (hadOld)
                WriteBytes(target, old);
            const Outcome r = run(melee(c.path), target, c.kind, c.stallMs, c.limit);
            EXPECT_EQ(r.result.status, c.status) << r.result.error.toStdString();
            EXPECT_TRUE(r.finished == 1 && !r.result.error.isEmpty());
            using Files = QMap<QString, QByteArray>;
            EXPECT_EQ(FileBytesBelow(folder), (hadOld ? Files{{QFileInfo(target).fileName(), old}} : Files()));  // the old file whole
        }
    }
}

TEST_F(Transfer, ATrickleFailsOnItsRateThoughEveryByteRestartsTheStall)
{
    // A replay of 4 KiB, one byte every 50 ms: 20 bytes a second.
    DemoResponse trickle = DemoResponse::streamed(QByteArray("Warcraft III recorded game\x1A\x00", 28), "r", QByteArray(), 4096);
    trickle.streamPieceBytes = 1;
    trickle.streamIntervalMs = 50;
    site.server().setOverride(QStringLiteral("melee"), "/trickle", trickle);
    QEventLoop loop;
    FileTransfer t(melee("/trickle"), target, Kind::Replay);
    t.setStallTimeout(300);
    t.setRateLimit(1024, 600);  // at least 1 KiB a second over any 0.6 s
    std::optional<FetchResult> result;
    qint64 shown = 0;  // bytes the last progress told of
    QObject::connect(&t, &FileTransfer::progress, [&](qint64 written, qint64) { shown = written; });
    QObject::connect(&t, &FileTransfer::finished, &loop, [&](const FetchResult &r) { result = r; loop.quit(); });
    QTimer::singleShot(10 * 1000, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    t.start();
    loop.exec();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, Status::TimedOut);
    EXPECT_TRUE(clock.elapsed() >= 600 && clock.elapsed() < 3000) << clock.elapsed();
    EXPECT_TRUE(shown > 0 && shown < 1024) << shown;  // each byte told as it came
    EXPECT_TRUE(FilesBelow(folder).isEmpty());
}

TEST_F(Transfer, UnwritableTargetsAndForeignAddressesFetchNothing)
{
    WriteBytes(dir.filePath(QStringLiteral("blocker")), "a file where a folder should be");
    QDir().mkpath(dir.filePath(QStringLiteral("replay/taken.w3g")));
    for (const char *to : {"blocker/replay/a.w3g", "replay/taken.w3g"})
        EXPECT_EQ(run(melee("/_files/replay/2048"), dir.filePath(QLatin1String(to))).result.status, Status::StoreFailed) << to;
    EXPECT_TRUE(site.server().requests().isEmpty());
    EXPECT_EQ(ReadBytes(dir.filePath(QStringLiteral("blocker"))), QByteArray("a file where a folder should be"));
    for (const char *url : {"file:///etc/passwd", "ftp://127.0.0.1/x.w3g", "replay/x.w3g"})
        EXPECT_EQ(run(QLatin1String(url), dir.filePath(QStringLiteral("new/x.w3g"))).result.status, Status::Refused) << url;
    EXPECT_FALSE(QDir(dir.filePath(QStringLiteral("new"))).exists());

    // The target turns into a folder while the file comes in: it cannot take its place.
    site.server().setOverride(QStringLiteral("melee"), "/slowmap", slowMap());
    const QString late = dir.filePath(QStringLiteral("Maps/late.w3x"));
    const auto block = [&](FileTransfer &) { WriteBytes(late + QStringLiteral("/inside"), "x"); return false; };
    EXPECT_EQ(run(melee("/slowmap"), late, Kind::Map, 30000, FileTransfer::kDefaultSizeLimit, block).result.status, Status::StoreFailed);
    EXPECT_EQ(FilesBelow(dir.filePath(QStringLiteral("Maps"))), QStringList{QStringLiteral("late.w3x/inside")});
}

// A listener of the progress that runs an event loop of its own (a message box, a
// picture of the window) while the file is coming in: the rest of the answer and
// its end arrive inside that loop, and the file must still be whole and in order.
TEST_F(Transfer, AnEventLoopInsideTheProgressKeepsTheFileWholeAndInOrder)
{
    const QString map = dir.filePath(QStringLiteral("Maps/nested.w3x"));
    int nested = 0;
    const auto spin = [&](FileTransfer &t) {
        if (t.bytesWritten() > 0 && nested < 20) {
            ++nested;
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < 30)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return false;
    };
    const Outcome r = run(melee("/_files/map/1048576"), map, Kind::Map, 30000, FileTransfer::kDefaultSizeLimit, spin);
    EXPECT_EQ(r.result.status, Status::Ok) << r.result.error.toStdString();
    EXPECT_TRUE(ReadBytes(map) == FetchBody(melee("/_files/map/1048576")));
    EXPECT_GT(nested, 0);
}

// An abort (the window's close) is the download window's part; a transfer deleted
// while it runs leaves nothing either.
TEST_F(Transfer, DeletedMidTransferLeavesNothing)
{
    site.server().setOverride(QStringLiteral("melee"), "/slowmap", slowMap());
    const QString big = dir.filePath(QStringLiteral("Maps/big.w3x"));
    run(melee("/slowmap"), big, Kind::Map, 30000, FileTransfer::kDefaultSizeLimit, [](FileTransfer &t) { return t.bytesWritten() > 0; });
    EXPECT_EQ(FilesBelow(dir.path()), QStringList());
}

// The window's thread held up (a long paint, a slow handler) does not hold the
// transfer up: the file comes in and takes its place meanwhile, and the progress
// then tells every chunk, in order, before the end.
TEST_F(Transfer, AWindowThreadHeldUpDoesNotHoldTheFileUp)
{
    const QString map = dir.filePath(QStringLiteral("Maps/held.w3x"));
    constexpr qint64 kBytes = 1048576;
    QList<qint64> told;
    qint64 onDiskAfterHold = -1;
    const auto hold = [&](FileTransfer &t) {
        told.append(t.bytesWritten());
        if (onDiskAfterHold < 0 && t.bytesWritten() > 0) {
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < 5000 && QFileInfo(map).size() < kBytes)
                QThread::msleep(10);  // no event loop: the thread is simply busy
            onDiskAfterHold = QFileInfo(map).size();
        }
        return false;
    };
    const Outcome r = run(melee("/_files/map/1048576"), map, Kind::Map, 30000, FileTransfer::kDefaultSizeLimit, hold);
    EXPECT_EQ(r.result.status, Status::Ok);
    EXPECT_EQ(onDiskAfterHold, kBytes);
    // The answer's start, then every chunk of at most 1 KiB as it was written.
    ASSERT_FALSE(told.isEmpty());
    EXPECT_EQ(told.first(), 0);
    EXPECT_EQ(told.last(), kBytes);
    for (qsizetype i = 1; i < told.size(); ++i)
        ASSERT_TRUE(told[i] > told[i - 1] && told[i] - told[i - 1] <= 1024) << i << ": " << told[i - 1] << " -> " << told[i];
    EXPECT_GE(told.size(), kBytes / 1024 + 1);
}

TEST(TransferHead, ReplayAndMapHeadersAreRecognised)
{
    const QByteArray replay("Warcraft III recorded game\x1A\x00\x01\x02", 30);
    EXPECT_TRUE(LooksLikeReplay(replay) && LooksLikeMap(QByteArray("HM3W\0\0\0\0", 8)));
    EXPECT_FALSE(LooksLikeReplay(replay.left(27)) || LooksLikeReplay(QByteArray("Warcraft III recorded game\x1A!", 28)));
    EXPECT_FALSE(LooksLikeMap(QByteArray("hm3w")) || LooksLikeMap(QByteArray("HM3")) || LooksLikeMap(replay));
}
