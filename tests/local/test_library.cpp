// The local library without the window: the index on disk (first open, second
// open, touched, deleted, damaged, locked, read-only, newer, on a full disk), the
// watched folder,
// the copies of LastReplay.w3g, search and duplicates, in a temporary replay folder
// with a temporary data folder (QStandardPaths' test mode). Real replays from
// tests/data/real-replays, with the facts its README names.
#include "demo/replaywriter.h"
#include "local/lastreplay.h"
#include "local/library.h"
#include "local/librarysearch.h"
#include "support/testfiles.h"
#include "web/siteconfig.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

// A full disk for the files whose path holds this text while it is set: every
// write the database makes to them fails as the system says when no block is left.
static std::atomic<const char *> g_diskFullFor{nullptr};
extern "C" ssize_t pwrite64(int fd, const void *buf, size_t n, off_t offset)
{
    static const auto real = reinterpret_cast<ssize_t (*)(int, const void *, size_t, off_t)>(dlsym(RTLD_NEXT, "pwrite64"));
    if (const char *full = g_diskFullFor) {
        char path[4096];
        const ssize_t len = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path - 1);
        if (len > 0 && std::string_view(path, len).find(full) != std::string_view::npos) {
            errno = ENOSPC;
            return -1;
        }
    }
    return real(fd, buf, n, offset);
}

namespace {
const ReplayRace H = ReplayRace::Human, O = ReplayRace::Orc, N = ReplayRace::NightElf, U = ReplayRace::Undead,
                 R = ReplayRace::Random;

bool WaitUntil(const std::function<bool()> &done, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return done();
}

QByteArray Game(const char *game, const char *map, QList<DemoReplayPlayer> players, quint32 seed, qint64 lengthMs = 600000,
                qint64 filler = 0)
{
    DemoReplayDescription d{u8s(game), u8s(map)};
    d.players = std::move(players);
    d.seed = seed;
    d.lengthMs = lengthMs;
    d.fillerBytes = filler;
    return WriteDemoReplay(d);
}

const QByteArray kSkyMoon = Game("Sky vs Moon", "Maps\\FrozenThrone\\(4)TwistedMeadows.w3x", {{u8s("Sky"), 0, H}, {u8s("Moon"), 1, N}}, 7);
const QByteArray kGrubby = Game("练习", "Maps\\(2)EchoIsles.w3x", {{u8s("Grubby"), 0, O}, {u8s("月神"), 1, U}}, 8);
const QByteArray kTeams = Game("2v2", "Maps\\(4)LostTemple.w3m", {{u8s("Fly"), 0, O}, {u8s("TH000"), 0, H}, {u8s("Lyn"), 1, O}, {u8s("Ted"), 1, R}}, 9);
// Moon's copy of the Sky game: the same game, other bytes, a longer game (Sky left first).
const QByteArray kSkyMoonLonger = Game("Sky vs Moon", "Maps\\FrozenThrone\\(4)TwistedMeadows.w3x", {{u8s("Sky"), 0, H}, {u8s("Moon"), 1, N}}, 7, 660000, 3000);

QDateTime At(const char *text) { return QDateTime::fromString(QLatin1String(text), "yyyy-MM-dd HH:mm:ss"); }
} // namespace

class Library : public ::testing::Test {
protected:
    QTemporaryDir home, game;
    QByteArray oldHome = qgetenv("HOME");
    void SetUp() override
    {
        // The data folder: test mode puts it below the home folder, a temporary one here.
        qputenv("HOME", home.path().toLocal8Bit());
        QStandardPaths::setTestModeEnabled(true);
        ASSERT_TRUE(DefaultIndexPath().startsWith(home.path()));
        QDir(game.path()).mkpath(QStringLiteral("replay"));
    }
    void TearDown() override
    {
        QStandardPaths::setTestModeEnabled(false);
        qputenv("HOME", oldHome);
    }
    QString replay(const QString &name) const { return game.filePath(QStringLiteral("replay/") + name); }
    void put(const QString &name, const QByteArray &bytes, const QDateTime &modified)
    {
        WriteBytes(replay(name), bytes);
        QFile f(replay(name));
        ASSERT_TRUE(f.open(QIODevice::Append) && f.setFileTime(modified, QFileDevice::FileModificationTime));
    }
    void putThree()
    {
        put(u8s("a.w3g"), kSkyMoon, At("2026-12-01 20:15:00"));
        put(u8s("b.w3g"), kGrubby, At("2026-12-02 10:00:00"));
        put(u8s("c.w3g"), kTeams, At("2026-12-03 09:30:00"));
    }
    QString folder() const { return game.path() + u'/'; }
    static bool Settle(LocalLibrary &lib) { return WaitUntil([&] { return !lib.Busy(); }, 15000); }
    // Players' cells of the rows, top to bottom.
    static QStringList Players(const LocalLibrary &lib)
    {
        QStringList out;
        for (const LibraryRow &r : lib.Rows())
            out << r.cells.players;
        return out;
    }
    QStringList open(LocalLibrary &lib, const QString &search = QString())
    {
        lib.Open(folder(), search);
        EXPECT_TRUE(Settle(lib));
        return Players(lib);
    }
};

TEST_F(Library, FirstOpenIndexesSecondReadsNothingTouchedAndDeletedFilesFollow)
{
    putThree();
    const QStringList three = {u8s("Fly & TH000 VS Lyn & Ted"), u8s("Grubby VS 月神"), u8s("Sky VS Moon")};
    {
        LocalLibrary lib;
        EXPECT_EQ(open(lib), three);
        EXPECT_EQ(lib.FileReads(), 3);
        EXPECT_EQ(lib.Status(), u8s("共 3 个录像"));
        EXPECT_EQ(lib.Rows()[2].cells.time, u8s("2026-12-01 20:15"));
        EXPECT_EQ(lib.PathOf(1), QFileInfo(replay(u8s("b.w3g"))).canonicalFilePath());
    }
    LocalLibrary lib;
    lib.Open(folder());
    EXPECT_EQ(Players(lib), three);  // at once, from the index
    ASSERT_TRUE(Settle(lib));
    EXPECT_EQ(lib.FileReads(), 0);

    // Touched: read again, at its new place; deleted: its row goes, also from the index.
    put(u8s("a.w3g"), kSkyMoon, At("2026-12-04 08:00:00"));
    ASSERT_TRUE(QFile::remove(replay(u8s("b.w3g"))));
    EXPECT_EQ(open(lib), (QStringList{u8s("Sky VS Moon"), u8s("Fly & TH000 VS Lyn & Ted")}));
    EXPECT_EQ(lib.FileReads(), 1);
    LocalLibrary again;
    again.Open(folder());
    EXPECT_EQ(Players(again).size(), 2);
    ASSERT_TRUE(Settle(again));
    EXPECT_EQ(again.FileReads(), 0);
}

TEST_F(Library, ATroubledIndexStillLists)
{
    putThree();
    { LocalLibrary first; open(first); }
    const QString db = DefaultIndexPath();
    put(u8s("d.w3g"), kSkyMoonLonger, At("2026-11-01 10:00:00"));  // new since: read from its file

    struct Case { const char *what; std::function<void()> harm; std::function<void()> heal; const char *says; };
    QSqlDatabase holder;
    auto withHolder = [&](const QStringList &statements) {
        holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        holder.setDatabaseName(db);
        ASSERT_TRUE(holder.open());
        for (const QString &s : statements)
            ASSERT_TRUE(QSqlQuery(holder).exec(s)) << s.toStdString();
    };
    auto dropHolder = [&] {
        holder.close();
        holder = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    };
    int fd = -1;
    const Case cases[] = {
        {"locked", [&] { withHolder({"BEGIN EXCLUSIVE", "DELETE FROM replays"}); }, dropHolder, "录像索引被其他程序占用"},
        {"newer", [&] { withHolder({"PRAGMA user_version = 99"}); dropHolder(); },
         [&] { withHolder({"PRAGMA user_version = 1"}); dropHolder(); }, "录像索引来自更新版本的 Quillmark"},
        {"read-only", [&] {
             // Root writes through permissions: the file is made immutable instead where it can be.
             QFile::setPermissions(db, QFileDevice::ReadOwner);
             fd = ::open(QFile::encodeName(db).constData(), O_RDONLY);
             int flags = 0;
             if (geteuid() == 0 && fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
                 flags |= FS_IMMUTABLE_FL;
                 ioctl(fd, FS_IOC_SETFLAGS, &flags);
             }
         },
         [&] {
             int flags = 0;
             if (fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
                 flags &= ~FS_IMMUTABLE_FL;
                 ioctl(fd, FS_IOC_SETFLAGS, &flags);
             }
             if (fd >= 0)
                 ::close(fd);
             QFile::setPermissions(db, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
         },
         "录像索引不能写入"},
        // Full when the index opens (its shared-memory file cannot grow), and full
        // only when the new replay's row is written.
        {"full", [&] { g_diskFullFor = "library.sqlite"; }, [&] { g_diskFullFor = nullptr; }, "磁盘已满，录像索引未能保存"},
        {"full on write", [&] { g_diskFullFor = "library.sqlite-wal"; }, [&] { g_diskFullFor = nullptr; }, "磁盘已满，录像索引未能保存"},
    };
    for (const Case &c : cases) {
        QFile::remove(db + QStringLiteral("-wal"));
        QFile::remove(db + QStringLiteral("-shm"));
        c.harm();
        LocalLibrary lib;
        open(lib);
        EXPECT_EQ(Players(lib), (QStringList{u8s("Fly & TH000 VS Lyn & Ted"), u8s("Grubby VS 月神"), u8s("Sky VS Moon（2 份）")})) << c.what;
        EXPECT_TRUE(lib.Status().startsWith(u8s(c.says))) << c.what << " " << lib.Status().toStdString();
        EXPECT_TRUE(lib.Status().endsWith(u8s("共 3 个录像"))) << c.what;
        c.heal();
    }
}

TEST_F(Library, ADamagedIndexIsSetAsideAndMadeAnew)
{
    putThree();
    { LocalLibrary first; open(first); }
    const QString db = DefaultIndexPath();
    QFile::remove(db + QStringLiteral("-wal"));
    QFile::remove(db + QStringLiteral("-shm"));
    QFile f(db);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.write(QByteArray(4096, 'x'));  // the header page gone
    f.close();
    const QByteArray damaged = ReadBytes(db);

    const QStringList three = {u8s("Fly & TH000 VS Lyn & Ted"), u8s("Grubby VS 月神"), u8s("Sky VS Moon")};
    LocalLibrary lib;
    EXPECT_EQ(open(lib), three);
    EXPECT_EQ(lib.FileReads(), 3);
    EXPECT_EQ(lib.Status(), u8s("录像索引已损坏，已重新建立；共 3 个录像"));
    EXPECT_EQ(ReadBytes(db + QStringLiteral(".damaged")), damaged);  // kept, not deleted
    // The new index serves the next open: nothing read again, nothing to say.
    LocalLibrary again;
    EXPECT_EQ(open(again), three);
    EXPECT_EQ(again.FileReads(), 0);
    EXPECT_EQ(again.Status(), u8s("共 3 个录像"));
}

TEST_F(Library, NewerAndGrowingFilesAppearOnceWholeWithinTwoSeconds)
{
    putThree();
    LocalLibrary lib;
    open(lib);
    // Copied in: at its place in the order (between the 2nd and the 3rd), within 2 s.
    put(u8s("new.w3g"), kSkyMoon, At("2026-12-01 21:00:00"));
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(WaitUntil([&] { return lib.Rows().size() == 3 && lib.Rows()[2].copies == 2; }, 2000)) << t.elapsed();

    // Written slowly in pieces, less than the quiet time apart: never listed half-way.
    const QByteArray whole = Game("slow", "Maps\\(2)EchoIsles.w3x", {{u8s("Slow"), 0, H}, {u8s("Writer"), 1, O}}, 31, 900000, 60000);
    QFile f(replay(u8s("slow.w3g")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    const int pieces = 6;
    bool halfListed = false;
    for (int i = 0; i < pieces; ++i) {
        f.write(whole.mid(i * whole.size() / pieces, (i + 1) * whole.size() / pieces - i * whole.size() / pieces));
        f.flush();
        WaitUntil([&] {
            for (const LibraryRow &r : lib.Rows())
                halfListed = halfListed || r.name == u8s("slow.w3g");
            return false;
        }, 300);
    }
    f.close();
    t.restart();
    ASSERT_TRUE(WaitUntil([&] { return lib.Rows().first().cells.players == u8s("Slow VS Writer"); }, 2000)) << t.elapsed();
    EXPECT_FALSE(halfListed);

    // Removed: its row goes.
    ASSERT_TRUE(QFile::remove(replay(u8s("b.w3g"))));
    EXPECT_TRUE(WaitUntil([&] { return !Players(lib).contains(u8s("Grubby VS 月神")); }, 2000));
}

TEST_F(Library, LastReplayWrittenTwiceGivesTwoNamedCopies)
{
    LocalLibrary lib;
    lib.SetAutoSave(true, folder());
    QStringList saved;
    QObject::connect(&lib, &LocalLibrary::ReplaySaved, [&](const QString &name) { saved << name; });
    ASSERT_TRUE(Settle(lib));
    const QDateTime first = QDateTime::currentDateTime().addSecs(-120), second = first.addSecs(60);
    // Taken already by another game: the copy gets a number.
    put(u8s("%1 Sky VS Moon (4)TwistedMeadows.w3g").arg(first.toString("yyyy-MM-dd HHmm")), kGrubby, first);
    put(kLastReplayName, kSkyMoon, first);
    ASSERT_TRUE(WaitUntil([&] { return saved.size() == 1; }, 3000));
    put(kLastReplayName, kTeams, second);
    ASSERT_TRUE(WaitUntil([&] { return saved.size() == 2; }, 3000));
    EXPECT_EQ(saved, (QStringList{u8s("%1 Sky VS Moon (4)TwistedMeadows (2).w3g").arg(first.toString("yyyy-MM-dd HHmm")),
                                  u8s("%1 Fly & TH000 VS Lyn & Ted (4)LostTemple.w3g").arg(second.toString("yyyy-MM-dd HHmm"))}));
    EXPECT_EQ(ReadBytes(replay(saved[0])), kSkyMoon);
    EXPECT_EQ(ReadBytes(replay(saved[1])), kTeams);
    EXPECT_EQ(QFileInfo(replay(saved[1])).lastModified().toSecsSinceEpoch(), second.toSecsSinceEpoch());
    // Seen again (a new open): kept already, nothing written.
    LocalLibrary again;
    again.SetAutoSave(true, folder());
    ASSERT_TRUE(Settle(again));
    EXPECT_EQ(QDir(game.filePath("replay")).entryList(QDir::Files).size(), 4);
}

TEST_F(Library, SearchesPlayersMapsRacesMatchupsAndShowsDuplicatesOnce)
{
    putThree();
    put(u8s("moon's copy.w3g"), kSkyMoonLonger, At("2026-11-30 23:00:00"));
    LocalLibrary lib;
    // The duplicate pair is one row, with its count, showing the longer game.
    EXPECT_EQ(open(lib), (QStringList{u8s("Fly & TH000 VS Lyn & Ted"), u8s("Grubby VS 月神"), u8s("Sky VS Moon（2 份）")}));
    EXPECT_EQ(lib.Rows()[2].name, u8s("moon's copy.w3g"));

    auto names = [&] {
        QStringList out;
        for (const LibraryRow &r : lib.Rows())
            out << r.name;
        return out;
    };
    const struct { const char *words; QStringList names; } cases[] = {
        {"moon", {u8s("moon's copy.w3g")}},
        {"  SKY\u3000 twistedmeadows ", {u8s("moon's copy.w3g")}},  // blanks of every kind, letter case aside
        {"月神 练习", {u8s("b.w3g")}},                                 // player and game name
        {"lost", {u8s("c.w3g")}},
        {"暗夜精灵", {u8s("moon's copy.w3g")}},
        {"不死族", {u8s("b.w3g")}},
        {"H", {u8s("c.w3g"), u8s("moon's copy.w3g")}},
        {"r", {u8s("c.w3g")}},  // random, not the letter
        {"人族 VS 兽族", {u8s("c.w3g")}},
        {"兽族VS兽族", {u8s("c.w3g")}},
        {"o vs u", {u8s("b.w3g")}},
        {"Sky VS Moon", {u8s("moon's copy.w3g")}},
        {"sky grubby", {}},
    };
    for (const auto &c : cases) {
        lib.Search(u8s(c.words));
        EXPECT_EQ(names(), c.names) << c.words;
        EXPECT_EQ(lib.Status(), u8s("找到 %1 个录像").arg(c.names.size())) << c.words;
    }
    EXPECT_EQ(lib.FileReads(), 4);  // the search reads no file

    // Real files: a map, a name, teams 0 and 3 of one orc each, chat.
    for (const char *real : {"126/999.w3g", "129/standard_129_obs.w3g", "200/2.0.2-Melee.w3g"})
        put(QString::fromLatin1(real).section(u'/', 1), ReadBytes(QStringLiteral(QUILLMARK_TEST_DATA "/real-replays/w3gjs/") + QLatin1String(real)),
            At("2026-01-01 00:00:00"));
    const struct { const char *words; QStringList names; } real[] = {
        {"maelstrom", {u8s("999.w3g")}},
        {"s.o.k.o.l", {u8s("standard_129_obs.w3g")}},
        {"兽族 VS 兽族 stormhoof", {u8s("standard_129_obs.w3g")}},
        {"HURT", {u8s("2.0.2-Melee.w3g")}},
        {"no more", {u8s("2.0.2-Melee.w3g")}},
    };
    for (const auto &c : real) {
        open(lib, u8s(c.words));
        EXPECT_EQ(names(), c.names) << c.words;
    }
}

TEST(SavedReplayName, MadeSafeForEveryFileSystem)
{
    const QDateTime t = At("2026-12-07 20:15:42");
    const struct { QString players, map, name; } cases[] = {
        {u8s("Sky VS Moon"), u8s("(4)TwistedMeadows"), u8s("2026-12-07 2015 Sky VS Moon (4)TwistedMeadows.w3g")},
        // Forbidden on Windows, a control character, runs of blanks, trailing dots and blanks.
        {u8s("a<b>c:d\"e/f\\g|h?i*j\tk   l"), u8s("map. . "), u8s("2026-12-07 2015 a_b_c_d_e_f_g_h_i_j_k l map.w3g")},
        {QString(), QString(), u8s("2026-12-07 2015.w3g")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SavedReplayName(t, c.players, c.map), c.name);
    // Device names, whatever follows a dot, any case: never the whole name.
    for (const char *device : {"con", "NUL.txt", "Com1", "lpt9"})
        EXPECT_EQ(SavedReplayName(QDateTime(), u8s(device), QString()), u8s("_") + u8s(device) + u8s(".w3g"));
    EXPECT_EQ(SavedReplayName(QDateTime(), u8s("com10"), QString()), u8s("com10.w3g"));
    // Long names: cut within both bounds, never inside a character (𝄞 is two UTF-16 units).
    for (const QString &unit : {u8s("暗"), u8s("𝄞"), u8s("x")}) {
        const QString name = SavedReplayName(t, unit.repeated(300), QString());
        EXPECT_LE(name.size() - 4, kSavedNameMaxChars);
        EXPECT_LE(NumberedReplayName(name, 99).toUtf8().size(), kSavedNameMaxBytes);
        EXPECT_EQ(QString::fromUtf8(name.toUtf8()), name);  // no half surrogate
        EXPECT_TRUE(name.endsWith(unit + u8s(".w3g")));
    }
    EXPECT_EQ(NumberedReplayName(u8s("x.w3g"), 2), u8s("x (2).w3g"));
}

TEST(AutoSaveSetting, RememberedBesideTheSitesKeepingTheFile)
{
    const struct { const char *before, *after; } cases[] = {
        {"", "[local]\nautosave=true\n"},
        {"; mine\n[sites]\nmelee=http://a\n", "; mine\n[sites]\nmelee=http://a\n\n[local]\nautosave=true\n"},
        {"[local]\r\nautosave=false\r\n\r\n[sites]\r\nfeed=x\r\n", "[local]\r\nautosave=true\r\n\r\n[sites]\r\nfeed=x\r\n"},
        {"[local]\nother=1\n\n[sites]\n", "[local]\nother=1\nautosave=true\n\n[sites]\n"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SetIniValue(u8s(c.before), u8s("local"), u8s("autosave"), u8s("true")), u8s(c.after)) << c.before;
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("Quillmark/quillmark.ini"));
    EXPECT_FALSE(ConfiguredAutoSave(ini));
    ASSERT_TRUE(SaveAutoSave(ini, true));
    EXPECT_TRUE(ConfiguredAutoSave(ini));
    ASSERT_TRUE(SaveAutoSave(ini, false));
    EXPECT_FALSE(ConfiguredAutoSave(ini));
}

TEST_F(Library, FollowsNoLinkOutOfTheReplayFolder)
{
    putThree();
    QTemporaryDir outside;
    WriteBytes(outside.filePath(QStringLiteral("far.w3g")), kSkyMoonLonger);
    ASSERT_TRUE(QFile::link(outside.filePath(QStringLiteral("far.w3g")), replay(u8s("out.w3g"))));
    ASSERT_TRUE(QFile::link(replay(u8s("b.w3g")), replay(u8s("in.w3g"))));
    LocalLibrary lib;
    EXPECT_EQ(open(lib), (QStringList{u8s("Fly & TH000 VS Lyn & Ted"), u8s("Grubby VS 月神（2 份）"), u8s("Sky VS Moon")}));
    EXPECT_EQ(lib.FileReads(), 4);  // the link out is not read
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("look"));
    db.setDatabaseName(DefaultIndexPath());
    ASSERT_TRUE(db.open());
    QSqlQuery q(QStringLiteral("SELECT path FROM folders UNION ALL SELECT name FROM replays ORDER BY 1"), db);
    QStringList kept;
    while (q.next())
        kept << q.value(0).toString();
    EXPECT_EQ(kept, (QStringList{QFileInfo(game.filePath(QStringLiteral("replay"))).canonicalFilePath(), u8s("a.w3g"), u8s("b.w3g"),
                                 u8s("c.w3g"), u8s("in.w3g")}));
    q = QSqlQuery(QStringLiteral("PRAGMA user_version"), db);
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 1);  // the first schema
    q = QSqlQuery();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("look"));
}

TEST_F(Library, WatchesOnlyWhileShownOrKeepingLastReplay)
{
    putThree();
    LocalLibrary lib;
    bool shown = true;
    lib.Shown = [&] { return shown; };
    open(lib);
    shown = false;  // another listing in the window
    put(u8s("new.w3g"), kSkyMoonLonger, QDateTime::currentDateTime());
    WaitUntil([] { return false; }, 1500);
    EXPECT_EQ(lib.FileReads(), 3);
    EXPECT_FALSE(lib.Busy());
    shown = true;
    EXPECT_EQ(open(lib).size(), 3);  // the new copy joins its game
    EXPECT_EQ(lib.FileReads(), 4);
}

TEST(LibrarySearch, ChatWordsAndTheFieldsTheyAreLookedFor)
{
    ReplayRecord r;
    r.readable = true;
    r.names = u8s("Sky\nMoon");
    r.map = u8s("(4)TwistedMeadows.w3x");
    r.gameName = u8s("WCG 决赛");
    r.chat = u8s("gl hf\nGG");
    r.teamRaces = u8s("H|N");
    const struct { const char *words; bool found; } cases[] = {
        {"GL", true}, {"gg wcg", true}, {"决赛 moon", true}, {"meadows h", true}, {"matchup", false}, {"o", false}, {"人族 vs 暗夜", true},
        {"暗夜精灵 VS 人族", true}, {"人族 VS 人族", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(MatchesLibrarySearch(r, ParseLibrarySearch(u8s(c.words))), c.found) << c.words;
}
