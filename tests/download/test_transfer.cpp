// File transfers against the real demo site on 127.0.0.1, into real folders.
#include "demo/demofiles.h"
#include "demo/demosite.h"
#include "download/transfer.h"
#include "support/testfiles.h"

#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

namespace {
using Status = FetchResult::Status;
using Kind = FileTransfer::Kind;
using Steps = QList<QPair<qint64, qint64>>;

struct Outcome {
    FetchResult result;
    int finished = 0;
    Steps progress;
};

// Runs the event loop until the transfer reports, or `onProgress` returns true
// (after an abort nothing more comes), or a minute passes.
Outcome runTransfer(FileTransfer &t, const std::function<bool(FileTransfer &)> &onProgress = {})
{
    Outcome run;
    QEventLoop loop;
    QObject::connect(&t, &FileTransfer::progress, &loop, [&](qint64 written, qint64 announced) {
        run.progress.append({written, announced});
        if (onProgress && onProgress(t))
            loop.quit();
    });
    QObject::connect(&t, &FileTransfer::finished, &loop, [&](const FetchResult &r) {
        run.result = r;
        ++run.finished;
        loop.quit();
    });
    QTimer::singleShot(60 * 1000, &loop, &QEventLoop::quit);
    t.start();
    loop.exec();
    return run;
}

// Lets queued work (a late signal, deferred deletes) run.
void settle()
{
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
}

// What the melee demo site serves under `target`, as the transfer should store it.
QByteArray served(const QByteArray &target)
{
    DemoRequest r;
    r.target = target;
    const std::optional<DemoResponse> answer = DemoFileRoute(r, DemoFileSite::Melee);
    return answer ? answer->body : QByteArray();
}

class Transfer : public ::testing::Test {
protected:
    DemoSite site;
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("replay")), target = folder + u8s("/9：5：7 _Sky VS 风神 (1003).w3g");
    QString melee(const char *path) const { return site.roots().melee + QLatin1String(path); }
    static QStringList filesIn(const QString &f) { return QDir(f).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name); }
    Outcome run(const char *path, const QString &to, Kind kind = Kind::Replay, int stallMs = 30000, qint64 limit = 1 << 20)
    {
        FileTransfer t(melee(path), to, kind);
        t.setStallTimeout(stallMs);
        t.setSizeLimit(limit);
        return runTransfer(t);
    }
};
} // namespace

TEST_F(Transfer, WholeAnswersReplaceTheTargetExactly)
{
    Outcome r = run("/_files/replay/2048", target);
    ASSERT_EQ(r.result.status, Status::Ok) << r.result.error.toStdString();
    EXPECT_EQ(r.finished, 1);
    EXPECT_EQ(r.progress, (Steps{{0, 2048}, {1024, 2048}, {2048, 2048}}));
    EXPECT_EQ(ReadBytes(target).size(), 2048);
    EXPECT_EQ(ReadBytes(target), served("/_files/replay/2048"));

    r = run("/_files/nolength/5000", target);  // no length: written to its end
    ASSERT_EQ(r.result.status, Status::Ok) << r.result.error.toStdString();
    EXPECT_EQ(ReadBytes(target), served("/_files/nolength/5000"));
    EXPECT_EQ(r.progress.value(r.progress.size() - 1), (QPair<qint64, qint64>(5000, -1)));

    // A longer old map is replaced, not overwritten in place; stale temporary files
    // of an earlier run go, other files stay.
    const QString map = dir.filePath(QStringLiteral("Maps/(4)TurtleRock.w3x")), stale = TransferPartPath(map + u'x');
    WriteBytes(map, QByteArray(10000, 'x'));
    WriteBytes(stale, "half a map");
    WriteBytes(dir.filePath(QStringLiteral("Maps/notes.part")), "not ours");
    ASSERT_EQ(run("/_files/map/3000", map, Kind::Map).result.status, Status::Ok);
    EXPECT_EQ(ReadBytes(map), served("/_files/map/3000"));
    EXPECT_EQ(filesIn(dir.filePath(QStringLiteral("Maps"))), (QStringList{QStringLiteral("(4)TurtleRock.w3x"), QStringLiteral("notes.part")}));
    EXPECT_EQ(filesIn(folder), QStringList{QFileInfo(target).fileName()});
}

TEST_F(Transfer, FailedAnswersLeaveTheOldFileAndNoTemporaryFile)
{
    const struct { const char *path; Kind kind; Status status; int stallMs; qint64 limit; } rows[] = {
        {"/_files/404", Kind::Replay, Status::HttpError, 30000, 1 << 20},
        {"/_files/cut/3000", Kind::Replay, Status::ShortBody, 30000, 1 << 20},
        {"/_files/htmlreplay", Kind::Replay, Status::WrongContent, 30000, 1 << 20},
        {"/_files/map/8192", Kind::Map, Status::TooLarge, 30000, 4096},
        {"/_test/silent", Kind::Replay, Status::TimedOut, 300, 1 << 20}};
    const QByteArray old = QByteArray("Warcraft III recorded game\x1A\x00", 28) + QByteArray(5000, 'o');
    for (const auto &c : rows) {
        for (const bool hadOld : {true, false}) {
            SCOPED_TRACE(std::string(c.path) + (hadOld ? " over an old file" : " into an empty folder"));
            QDir(folder).removeRecursively();
            QDir().mkpath(folder);
            if (hadOld)
                WriteBytes(target, old);
            const Outcome r = run(c.path, target, c.kind, c.stallMs, c.limit);
            EXPECT_EQ(r.result.status, c.status) << r.result.error.toStdString();
            EXPECT_TRUE(r.finished == 1 && !r.result.error.isEmpty());
            EXPECT_EQ(filesIn(folder), hadOld ? QStringList{QFileInfo(target).fileName()} : QStringList());
            EXPECT_TRUE(!hadOld || ReadBytes(target) == old);
        }
    }
}

TEST_F(Transfer, UnwritableTargetsAndForeignAddressesFetchNothing)
{
    WriteBytes(dir.filePath(QStringLiteral("blocker")), "a file where a folder should be");
    QDir().mkpath(dir.filePath(QStringLiteral("replay/taken.w3g")));
    for (const char *to : {"blocker/replay/a.w3g", "replay/taken.w3g"})
        EXPECT_EQ(run("/_files/replay/2048", dir.filePath(QLatin1String(to))).result.status, Status::StoreFailed) << to;
    EXPECT_TRUE(site.server().requests().isEmpty());
    EXPECT_EQ(ReadBytes(dir.filePath(QStringLiteral("blocker"))), QByteArray("a file where a folder should be"));
    for (const char *url : {"file:///etc/passwd", "ftp://127.0.0.1/x.w3g", "replay/x.w3g"}) {
        FileTransfer t(QLatin1String(url), dir.filePath(QStringLiteral("new/x.w3g")), Kind::Replay);
        EXPECT_EQ(runTransfer(t).result.status, Status::Refused) << url;
    }
    EXPECT_FALSE(QDir(dir.filePath(QStringLiteral("new"))).exists());

    // The target turns into a folder while the file comes in: it cannot take its place.
    const QString late = dir.filePath(QStringLiteral("Maps/late.w3x"));
    FileTransfer t(melee("/_files/map/1048576"), late, Kind::Map);
    EXPECT_EQ(runTransfer(t, [&](FileTransfer &) { WriteBytes(late + QStringLiteral("/inside"), "x"); return false; }).result.status,
              Status::StoreFailed);
    EXPECT_EQ(filesIn(dir.filePath(QStringLiteral("Maps"))), QStringList());
}

TEST_F(Transfer, AbortAndDeleteMidTransferLeaveNothing)
{
    const QString url = melee("/_files/map/1048576"), big = dir.filePath(QStringLiteral("Maps/big.w3x")),
                  kept = dir.filePath(QStringLiteral("Maps/kept.w3x"));
    WriteBytes(kept, "HM3W old map");
    FileTransfer aborted(url, big, Kind::Map), keptOne(url, kept, Kind::Map);
    const Outcome r = runTransfer(aborted, [](FileTransfer &t) {
        if (t.bytesWritten() > 0)
            t.abort();
        return !t.isRunning();
    });
    runTransfer(keptOne, [](FileTransfer &t) { t.abort(); return true; });
    auto *deleted = new FileTransfer(url, big, Kind::Map);
    runTransfer(*deleted, [](FileTransfer &t) { return t.bytesWritten() > 0; });
    delete deleted;
    settle();
    EXPECT_EQ(r.finished, 0);
    EXPECT_FALSE(aborted.isRunning());
    EXPECT_EQ(filesIn(dir.filePath(QStringLiteral("Maps"))), QStringList{QStringLiteral("kept.w3x")});
    EXPECT_EQ(ReadBytes(kept), QByteArray("HM3W old map"));
}

TEST(TransferHead, ReplayAndMapHeadersAreRecognised)
{
    const QByteArray replay("Warcraft III recorded game\x1A\x00\x01\x02", 30);
    EXPECT_TRUE(LooksLikeReplay(replay) && LooksLikeMap(QByteArray("HM3W\0\0\0\0", 8)));
    for (const QByteArray &bad : {replay.left(27), QByteArray("Warcraft III recorded game\x1A!", 28)})
        EXPECT_FALSE(LooksLikeReplay(bad));
    for (const QByteArray &bad : {QByteArray("hm3w"), QByteArray("HM3"), replay})
        EXPECT_FALSE(LooksLikeMap(bad));
}
