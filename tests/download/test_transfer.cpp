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

struct Outcome {
    FetchResult result;
    int finishedCount = 0;
    QList<QPair<qint64, qint64>> progress;
};

// Runs the event loop until the transfer reports (or a guard against a hang).
// `onProgress` returns true to stop waiting (after an abort, nothing more comes).
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
        ++run.finishedCount;
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
    QString melee(const char *path) const { return site.roots().melee + QLatin1String(path); }
    QString replayFolder() const { return dir.filePath(QStringLiteral("replay")); }
    QString replayTarget() const { return replayFolder() + QStringLiteral("/9：5：7 _Sky VS 风神 (1003).w3g"); }
    QStringList filesIn(const QString &folder) const
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    Outcome run(const char *path, const QString &target, Kind kind)
    {
        FileTransfer t(melee(path), target, kind);
        return runTransfer(t);
    }
};
} // namespace

TEST_F(Transfer, ReplayOf2048BytesIsWrittenInTwoChunksWithProgress)
{
    const Outcome run = this->run("/_files/replay/2048", replayTarget(), Kind::Replay);
    ASSERT_EQ(run.result.status, Status::Ok) << run.result.error.toStdString();
    EXPECT_EQ(run.finishedCount, 1);
    const QList<QPair<qint64, qint64>> expected = {{0, 2048}, {1024, 2048}, {2048, 2048}};
    EXPECT_EQ(run.progress, expected);
    const QByteArray onDisk = ReadBytes(replayTarget());
    EXPECT_EQ(onDisk.size(), 2048);
    EXPECT_EQ(onDisk, served("/_files/replay/2048"));
    EXPECT_EQ(filesIn(replayFolder()), QStringList{QStringLiteral("9：5：7 _Sky VS 风神 (1003).w3g")});
}

TEST_F(Transfer, MapWithAChineseUrlArrivesWhole)
{
    const QString target = dir.filePath(QStringLiteral("Maps/Download/(2)古老之地.w3x"));
    FileTransfer t(site.roots().melee + QStringLiteral("/ReplayMap/download/gl/(2)古老之地.w3x"), target, Kind::Map);
    EXPECT_EQ(runTransfer(t).result.status, Status::Ok);
    const QByteArray expected = DemoMapFile(QStringLiteral("gl"), QStringLiteral("(2)古老之地.w3x"));
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_TRUE(ReadBytes(target) == expected);
}

TEST_F(Transfer, NewFileReplacesALongerOldOneExactly)
{
    const QString target = dir.filePath(QStringLiteral("Maps/Download/(4)TurtleRock.w3x"));
    WriteBytes(target, QByteArray(10000, 'x'));
    const Outcome run = this->run("/_files/map/3000", target, Kind::Map);
    ASSERT_EQ(run.result.status, Status::Ok) << run.result.error.toStdString();
    EXPECT_EQ(ReadBytes(target), served("/_files/map/3000"));
    EXPECT_EQ(filesIn(QFileInfo(target).absolutePath()), QStringList{QStringLiteral("(4)TurtleRock.w3x")});
}

TEST_F(Transfer, FailedAnswersLeaveTheOldFileAndNoTemporaryFile)
{
    const struct {
        const char *path;
        Kind kind;
        Status status;
        int stallMs;
        qint64 sizeLimit;
    } cases[] = {
        {"/_files/404", Kind::Replay, Status::HttpError, 30000, 1 << 20},
        {"/_files/cut/3000", Kind::Replay, Status::ShortBody, 30000, 1 << 20},
        {"/_files/htmlreplay", Kind::Replay, Status::WrongContent, 30000, 1 << 20},
        {"/_files/replay/2048", Kind::Map, Status::WrongContent, 30000, 1 << 20},  // a replay is no map
        {"/_files/map/8192", Kind::Map, Status::TooLarge, 30000, 4096},
        {"/_test/silent", Kind::Replay, Status::TimedOut, 300, 1 << 20},
    };
    const QByteArray old = QByteArray("Warcraft III recorded game\x1A\x00", 28) + QByteArray(5000, 'o');
    for (const auto &c : cases) {
        for (const bool hadOld : {true, false}) {
            SCOPED_TRACE(std::string(c.path) + (hadOld ? " over an old file" : " into an empty folder"));
            QDir(replayFolder()).removeRecursively();
            QDir().mkpath(replayFolder());
            if (hadOld)
                WriteBytes(replayTarget(), old);
            FileTransfer t(melee(c.path), replayTarget(), c.kind);
            t.setStallTimeout(c.stallMs);
            t.setSizeLimit(c.sizeLimit);
            const Outcome run = runTransfer(t);
            EXPECT_EQ(run.result.status, c.status) << run.result.error.toStdString();
            EXPECT_EQ(run.finishedCount, 1);
            EXPECT_FALSE(run.result.error.isEmpty());
            EXPECT_EQ(filesIn(replayFolder()).size(), hadOld ? 1 : 0);
            if (hadOld)
                EXPECT_TRUE(ReadBytes(replayTarget()) == old);
        }
    }
}

TEST_F(Transfer, AnswerWithoutLengthIsWrittenToItsEnd)
{
    const Outcome run = this->run("/_files/nolength/5000", replayTarget(), Kind::Replay);
    ASSERT_EQ(run.result.status, Status::Ok) << run.result.error.toStdString();
    EXPECT_EQ(ReadBytes(replayTarget()), served("/_files/nolength/5000"));
    ASSERT_FALSE(run.progress.isEmpty());
    EXPECT_EQ(run.progress.last(), (QPair<qint64, qint64>(5000, -1)));
}

TEST_F(Transfer, UnwritableTargetsAreStoreFailed)
{
    WriteBytes(dir.filePath(QStringLiteral("blocker")), "a file where a folder should be");
    QDir().mkpath(dir.filePath(QStringLiteral("replay/taken.w3g")));
    for (const char *target : {"blocker/replay/a.w3g", "replay/taken.w3g"}) {
        SCOPED_TRACE(target);
        const Outcome run = this->run("/_files/replay/2048", dir.filePath(QLatin1String(target)), Kind::Replay);
        EXPECT_EQ(run.result.status, Status::StoreFailed);
        EXPECT_FALSE(run.result.error.isEmpty());
    }
    EXPECT_TRUE(site.server().requests().isEmpty());  // nothing was fetched for nowhere
    EXPECT_EQ(ReadBytes(dir.filePath(QStringLiteral("blocker"))), QByteArray("a file where a folder should be"));

    // The target turns into a folder while the file comes in: it cannot take its place.
    const QString late = dir.filePath(QStringLiteral("Maps/late.w3x"));
    FileTransfer t(melee("/_files/map/1048576"), late, Kind::Map);
    const Outcome run = runTransfer(t, [&](FileTransfer &) {
        WriteBytes(late + QStringLiteral("/inside"), "x");
        return false;
    });
    EXPECT_EQ(run.result.status, Status::StoreFailed);
    EXPECT_EQ(filesIn(dir.filePath(QStringLiteral("Maps"))), QStringList());
}

TEST_F(Transfer, CreatesTheFolderAndClearsTemporaryFilesOfAnEarlierRun)
{
    const QString folder = dir.filePath(QStringLiteral("War3/replay"));
    ASSERT_EQ(run("/_files/replay/2048", folder + QStringLiteral("/first.w3g"), Kind::Replay).result.status, Status::Ok);
    const QString stale = TransferPartPath(folder + QStringLiteral("/left over.w3g"));
    WriteBytes(stale, "half a replay");
    WriteBytes(folder + QStringLiteral("/notes.part"), "not ours");
    ASSERT_EQ(run("/_files/replay/2048", folder + QStringLiteral("/next.w3g"), Kind::Replay).result.status, Status::Ok);
    EXPECT_FALSE(QFile::exists(stale));
    EXPECT_EQ(filesIn(folder), (QStringList{QStringLiteral("first.w3g"), QStringLiteral("next.w3g"), QStringLiteral("notes.part")}));
}

TEST_F(Transfer, AbortAndDeleteMidTransferLeaveNothing)
{
    const QString url = melee("/_files/map/1048576");
    const QString target = dir.filePath(QStringLiteral("Maps/big.w3x"));
    const QString kept = dir.filePath(QStringLiteral("Maps/kept.w3x"));
    WriteBytes(kept, "HM3W old map");

    FileTransfer aborted(url, target, Kind::Map);
    const Outcome run = runTransfer(aborted, [](FileTransfer &t) {
        if (t.bytesWritten() > 0)
            t.abort();
        return !t.isRunning();
    });
    FileTransfer keptOne(url, kept, Kind::Map);
    runTransfer(keptOne, [](FileTransfer &t) {
        t.abort();
        return true;
    });
    settle();
    EXPECT_EQ(run.finishedCount, 0);
    EXPECT_FALSE(aborted.isRunning());
    EXPECT_EQ(ReadBytes(kept), QByteArray("HM3W old map"));

    auto *deleted = new FileTransfer(url, target, Kind::Map);
    runTransfer(*deleted, [](FileTransfer &t) { return t.bytesWritten() > 0; });
    delete deleted;
    settle();
    EXPECT_EQ(filesIn(dir.filePath(QStringLiteral("Maps"))), QStringList{QStringLiteral("kept.w3x")});
}

TEST_F(Transfer, OnlyWebAddressesAreFetched)
{
    for (const char *url : {"file:///etc/passwd", "ftp://127.0.0.1/x.w3g", "replay/x.w3g"}) {
        SCOPED_TRACE(url);
        FileTransfer t(QLatin1String(url), replayTarget(), Kind::Replay);
        EXPECT_EQ(runTransfer(t).result.status, Status::Refused);
        EXPECT_FALSE(QDir(replayFolder()).exists());
    }
}

TEST(TransferHead, ReplayAndMapHeadersAreRecognised)
{
    const QByteArray replay("Warcraft III recorded game\x1A\x00\x01\x02", 30);
    EXPECT_TRUE(LooksLikeReplay(replay));
    EXPECT_FALSE(LooksLikeReplay(replay.left(27)));  // header cut short
    EXPECT_FALSE(LooksLikeReplay(QByteArray("Warcraft III recorded game\x1A!", 28)));
    EXPECT_TRUE(LooksLikeMap(QByteArray("HM3W\0\0\0\0", 8)));
    EXPECT_FALSE(LooksLikeMap(QByteArray("hm3w")));
    EXPECT_FALSE(LooksLikeMap(QByteArray("HM3")));
    EXPECT_FALSE(LooksLikeMap(replay));
}
