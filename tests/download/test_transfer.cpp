// File transfers against the real demo site on 127.0.0.1, into real folders.
#include "demo/demofiles.h"
#include "demo/demosite.h"
#include "download/transfer.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {
using Status = FetchResult::Status;
using Kind = FileTransfer::Kind;

struct Outcome {
    FetchResult result;
    int finishedCount = 0;
    QList<QPair<qint64, qint64>> progress;
};

// Runs the event loop until the transfer reports (or a generous guard against a hang).
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
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    guard.start(60 * 1000);
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

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// What a demo site serves under `target` (path and query), as the transfer should store it.
QByteArray served(const QByteArray &target, DemoFileSite site = DemoFileSite::Melee)
{
    DemoRequest r;
    r.target = target;
    const std::optional<DemoResponse> answer = DemoFileRoute(r, site);
    return answer ? answer->body : QByteArray();
}

class Transfer : public ::testing::Test {
protected:
    DemoSite site;
    QTemporaryDir dir;
    QString melee() const { return site.roots().melee; }
    QString replayFolder() const { return dir.path() + QStringLiteral("/replay"); }
    QString replayTarget() const { return replayFolder() + QStringLiteral("/9：5：7 _Sky VS 风神 (1003).w3g"); }
    QStringList filesIn(const QString &folder) const
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
};
} // namespace

TEST_F(Transfer, ReplayOf2048BytesIsWrittenInTwoChunksWithProgress)
{
    FileTransfer t(melee() + QStringLiteral("/_files/replay/2048"), replayTarget(), Kind::Replay);
    const Outcome run = runTransfer(t);
    ASSERT_EQ(run.result.status, Status::Ok) << run.result.error.toStdString();
    EXPECT_EQ(run.finishedCount, 1);
    const QList<QPair<qint64, qint64>> expected = {{0, 2048}, {1024, 2048}, {2048, 2048}};
    EXPECT_EQ(run.progress, expected);
    const QByteArray onDisk = readAll(replayTarget());
    EXPECT_EQ(onDisk.size(), 2048);
    EXPECT_EQ(onDisk, served("/_files/replay/2048"));
    EXPECT_EQ(filesIn(replayFolder()), QStringList{QStringLiteral("9：5：7 _Sky VS 风神 (1003).w3g")});
}

TEST_F(Transfer, DemoReplaysAndMapsArriveWholeAtTheirPaths)
{
    const SiteRoots roots = site.roots();
    struct Case {
        QString url;
        Kind kind;
        QByteArray expected;
        QString target;
    } cases[] = {
        {roots.melee + QStringLiteral("/Download.aspx?ReplayID=1003&file=/replay/Sky%20VS%20%B7%E7%C9%F1%20(1003).w3g"),
         Kind::Replay, DemoReplayFile(1003), QStringLiteral("replay/a.w3g")},
        {roots.dota + QStringLiteral("/Download.aspx?ReplayID=5000&file=x"), Kind::Replay, DemoReplayFile(5000),
         QStringLiteral("replay/b.w3g")},
        {roots.melee + QStringLiteral("/ReplayMap/download/gl/(2)古老之地.w3x"), Kind::Map,
         DemoMapFile(QStringLiteral("gl"), QStringLiteral("(2)古老之地.w3x")), QStringLiteral("Maps/Download/(2)古老之地.w3x")},
        {roots.dotaMap + QStringLiteral("d4e5f6/DotA%20Allstars%20v6.64.w3x"), Kind::Map,
         DemoMapFile(QStringLiteral("d4e5f6"), QStringLiteral("DotA Allstars v6.64.w3x")),
         QStringLiteral("Maps/DotA/DotA Allstars v6.64.w3x")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.url.toStdString());
        ASSERT_FALSE(c.expected.isEmpty());
        const QString target = dir.filePath(c.target);
        FileTransfer t(c.url, target, c.kind);
        const Outcome run = runTransfer(t);
        EXPECT_EQ(run.result.status, Status::Ok) << run.result.error.toStdString();
        EXPECT_TRUE(readAll(target) == c.expected);
    }
}

TEST_F(Transfer, NewFileReplacesALongerOldOneExactly)
{
    const QString target = dir.filePath(QStringLiteral("Maps/Download/(4)TurtleRock.w3x"));
    writeFile(target, QByteArray(10000, 'x'));
    FileTransfer t(melee() + QStringLiteral("/_files/map/3000"), target, Kind::Map);
    const Outcome run = runTransfer(t);
    ASSERT_EQ(run.result.status, Status::Ok) << run.result.error.toStdString();
    EXPECT_EQ(readAll(target), served("/_files/map/3000"));
    EXPECT_EQ(filesIn(QFileInfo(target).absolutePath()), QStringList{QStringLiteral("(4)TurtleRock.w3x")});
}

TEST_F(Transfer, FailedAnswersLeaveTheOldFileAndNoTemporaryFile)
{
    struct Case {
        const char *path;
        Kind kind;
        Status status;
        int stallMs;
        qint64 sizeLimit;
    } cases[] = {
        {"/_files/404", Kind::Replay, Status::HttpError, 30000, 1 << 20},
        {"/_files/cut/3000", Kind::Replay, Status::ShortBody, 30000, 1 << 20},     // cut mid-body
        {"/_files/cut/10", Kind::Replay, Status::ShortBody, 30000, 1 << 20},       // cut inside the header
        {"/_files/htmlreplay", Kind::Replay, Status::WrongContent, 30000, 1 << 20},
        {"/_files/replay/2048", Kind::Map, Status::WrongContent, 30000, 1 << 20},  // a replay is no map
        {"/_files/map/8192", Kind::Map, Status::TooLarge, 30000, 4096},
        {"/_test/silent", Kind::Replay, Status::TimedOut, 300, 1 << 20},
    };
    const QByteArray old = QByteArray("Warcraft III recorded game\x1A\x00", 28) + QByteArray(5000, 'o');
    for (const Case &c : cases) {
        for (const bool hadOld : {true, false}) {
            SCOPED_TRACE(std::string(c.path) + (hadOld ? " over an old file" : " into an empty folder"));
            QDir(replayFolder()).removeRecursively();
            QDir().mkpath(replayFolder());
            if (hadOld)
                writeFile(replayTarget(), old);
            FileTransfer t(melee() + QString::fromLatin1(c.path), replayTarget(), c.kind);
            t.setStallTimeout(c.stallMs);
            t.setSizeLimit(c.sizeLimit);
            const Outcome run = runTransfer(t);
            EXPECT_EQ(run.result.status, c.status) << run.result.error.toStdString();
            EXPECT_EQ(run.finishedCount, 1);
            EXPECT_FALSE(run.result.error.isEmpty());
            if (hadOld) {
                EXPECT_TRUE(readAll(replayTarget()) == old);
                EXPECT_EQ(filesIn(replayFolder()).size(), 1);
            } else {
                EXPECT_TRUE(filesIn(replayFolder()).isEmpty());
            }
        }
    }
}

TEST_F(Transfer, AnswerWithoutLengthIsWrittenToItsEnd)
{
    FileTransfer t(melee() + QStringLiteral("/_files/nolength/5000"), replayTarget(), Kind::Replay);
    const Outcome run = runTransfer(t);
    ASSERT_EQ(run.result.status, Status::Ok) << run.result.error.toStdString();
    EXPECT_EQ(readAll(replayTarget()), served("/_files/nolength/5000"));
    ASSERT_FALSE(run.progress.isEmpty());
    EXPECT_EQ(run.progress.last(), (QPair<qint64, qint64>(5000, -1)));
}

TEST_F(Transfer, UnwritableTargetsAreStoreFailed)
{
    writeFile(dir.filePath(QStringLiteral("blocker")), "a file where a folder should be");
    QDir().mkpath(dir.filePath(QStringLiteral("replay/taken.w3g")));
    for (const QString &target : {dir.filePath(QStringLiteral("blocker/replay/a.w3g")), dir.filePath(QStringLiteral("replay/taken.w3g"))}) {
        SCOPED_TRACE(target.toStdString());
        FileTransfer t(melee() + QStringLiteral("/_files/replay/2048"), target, Kind::Replay);
        const Outcome run = runTransfer(t);
        EXPECT_EQ(run.result.status, Status::StoreFailed);
        EXPECT_FALSE(run.result.error.isEmpty());
    }
    EXPECT_TRUE(site.server().requests().isEmpty());  // nothing was fetched for nowhere
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("blocker"))), QByteArray("a file where a folder should be"));
}

TEST_F(Transfer, CreatesTheFolderAndClearsTemporaryFilesOfAnEarlierRun)
{
    const QString folder = dir.filePath(QStringLiteral("War3/replay"));
    FileTransfer first(melee() + QStringLiteral("/_files/replay/2048"), folder + QStringLiteral("/first.w3g"), Kind::Replay);
    ASSERT_EQ(runTransfer(first).result.status, Status::Ok);

    const QString stale = TransferPartPath(folder + QStringLiteral("/left over.w3g"));
    writeFile(stale, "half a replay");
    writeFile(folder + QStringLiteral("/notes.part"), "not ours");
    FileTransfer next(melee() + QStringLiteral("/_files/replay/2048"), folder + QStringLiteral("/next.w3g"), Kind::Replay);
    ASSERT_EQ(runTransfer(next).result.status, Status::Ok);
    EXPECT_FALSE(QFile::exists(stale));
    EXPECT_EQ(filesIn(folder), (QStringList{QStringLiteral("first.w3g"), QStringLiteral("next.w3g"), QStringLiteral("notes.part")}));
}

TEST_F(Transfer, AbortAndDeleteMidTransferLeaveNothing)
{
    const QString url = melee() + QStringLiteral("/_files/map/1048576");
    const QString target = dir.filePath(QStringLiteral("Maps/big.w3x"));
    const QString kept = dir.filePath(QStringLiteral("Maps/kept.w3x"));
    writeFile(kept, "HM3W old map");

    FileTransfer aborted(url, target, Kind::Map);
    const Outcome run = runTransfer(aborted, [](FileTransfer &t) {
        if (t.bytesWritten() > 0)
            t.abort();
        return !t.isRunning();
    });
    settle();
    EXPECT_EQ(run.finishedCount, 0);
    EXPECT_FALSE(aborted.isRunning());

    FileTransfer keptOne(url, kept, Kind::Map);
    runTransfer(keptOne, [](FileTransfer &t) {
        t.abort();
        return true;
    });
    settle();
    EXPECT_EQ(readAll(kept), QByteArray("HM3W old map"));

    auto *deleted = new FileTransfer(url, target, Kind::Map);
    QEventLoop loop;
    QObject::connect(deleted, &FileTransfer::progress, &loop, [&](qint64 written) {
        if (written > 0)
            loop.quit();
    });
    QTimer::singleShot(60 * 1000, &loop, &QEventLoop::quit);
    deleted->start();
    loop.exec();
    delete deleted;
    settle();

    EXPECT_EQ(filesIn(dir.filePath(QStringLiteral("Maps"))), QStringList{QStringLiteral("kept.w3x")});
}

TEST_F(Transfer, OnlyWebAddressesAreFetched)
{
    for (const QString &url : {QStringLiteral("file:///etc/passwd"), QStringLiteral("ftp://127.0.0.1/x.w3g"),
                               QStringLiteral("replay/x.w3g")}) {
        SCOPED_TRACE(url.toStdString());
        FileTransfer t(url, replayTarget(), Kind::Replay);
        const Outcome run = runTransfer(t);
        EXPECT_EQ(run.result.status, Status::Refused);
        EXPECT_FALSE(QDir(replayFolder()).exists());
    }
}

TEST(TransferHead, ReplayAndMapHeadersAreRecognised)
{
    const QByteArray replay("Warcraft III recorded game\x1A\x00\x01\x02", 30);
    EXPECT_TRUE(LooksLikeReplay(replay));
    EXPECT_FALSE(LooksLikeReplay(replay.left(27)));                    // header cut short
    EXPECT_FALSE(LooksLikeReplay(QByteArray("Warcraft III recorded game\x1A!", 28)));
    EXPECT_FALSE(LooksLikeReplay(QByteArray("<!DOCTYPE html><html>")));
    EXPECT_TRUE(LooksLikeMap(QByteArray("HM3W\0\0\0\0", 8)));
    EXPECT_FALSE(LooksLikeMap(QByteArray("hm3w")));
    EXPECT_FALSE(LooksLikeMap(QByteArray("HM3")));
    EXPECT_FALSE(LooksLikeMap(replay));
}
