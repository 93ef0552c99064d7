// The pure parts of the local replays that the window tests do not reach: teams
// beyond two players, computers, a single team, map names, the size bound and name ties.
#include "demo/replaywriter.h"
#include "download/gamepath.h"
#include "local/localreplays.h"
#include "local/replayrecord.h"
#include "support/testfiles.h"

#include <QTemporaryDir>

TEST(LocalReplays, TeamsComputersObserversAndMapNames)
{
    const ReplayRace H = ReplayRace::Human, O = ReplayRace::Orc, N = ReplayRace::NightElf, U = ReplayRace::Undead, R = ReplayRace::Random;
    DemoReplayDescription d{u8s("4v4"), u8s("Maps/FrozenThrone/(8)Sanctuary.w3m")};
    // Team numbers 3 and 1: the lower one is the first side; four on it, three slots.
    d.players = {{u8s("Sky"), 3, R}, {u8s("风神"), 1, U}, {QString(), 1, O, false, true}, {u8s("Moon"), 1, N}, {u8s("Fly"), 1, H}, {u8s("Tod"), 12, H, true}};
    const LocalReplayDetail detail = LocalReplayDetailOf(ReadReplay(WriteDemoReplay(d)));
    EXPECT_EQ(detail.mapName, QStringLiteral("(8)Sanctuary"));
    EXPECT_EQ(detail.playerCount, QStringLiteral("5"));
    EXPECT_TRUE(detail.teams[0].present && detail.teams[0].race == U && detail.teams[1].race == R);
    EXPECT_EQ(detail.teams[0].names, (std::array<QString, 3>{u8s("风神"), u8s("电脑"), u8s("Moon")}));
    EXPECT_EQ(detail.teams[1].names, (std::array<QString, 3>{u8s("Sky"), QString(), QString()}));
    EXPECT_EQ(detail.summary, u8s("游戏名称：4v4\nSky  随机  队伍 2\n风神  不死  队伍 1\n电脑  兽族  队伍 1\nMoon  暗夜精灵  队伍 1\nFly  人族  队伍 1\nTod  观察者"));
    d.players = {{u8s("Sky"), 0, H}, {u8s("Moon"), 0, O}};
    const LocalReplayDetail alone = LocalReplayDetailOf(ReadReplay(WriteDemoReplay(d)));
    EXPECT_TRUE(alone.teams[0].present && !alone.teams[1].present);
    EXPECT_EQ(LastPartOf(u8s("Maps/x/DotA v6.59d.w3x")), u8s("DotA v6.59d.w3x"));
    EXPECT_EQ(MapNameOf(u8s("Maps\\x\\DotA v6.59d.w3x")), u8s("DotA v6.59d"));
    EXPECT_EQ(MapNameOf(u8s("Maps\\.w3x")), u8s(".w3x"));
}

TEST(LocalReplays, TiesByNameThenSizeBound)
{
    const QDateTime t(QDate(2024, 5, 1), QTime(10, 0));
    QList<LocalReplayFile> files = {{"", "b.w3g", t}, {"", "B.w3g", t}, {"", "a.w3g", t.addSecs(-1)}, {"", "C.w3g", t}, {"", "z.w3g", t.addSecs(1)}};
    SortNewestFirst(files);
    QStringList names;
    for (const LocalReplayFile &f : files)
        names << f.fileName;
    EXPECT_EQ(names, (QStringList{"z.w3g", "B.w3g", "b.w3g", "C.w3g", "a.w3g"}));
    // Over the bound: unreadable without reading (a sparse file, valid header).
    QTemporaryDir dir;
    DemoReplayDescription d;
    d.players = {{u8s("Sky"), 0, ReplayRace::Human}, {u8s("Moon"), 1, ReplayRace::Orc}};
    const QString big = dir.filePath(QStringLiteral("big.w3g"));
    WriteBytes(big, WriteDemoReplay(d) + QByteArray(100, 'x'));
    EXPECT_TRUE(ReadLocalReplay(big).readable);  // what follows the replay is not read
    ASSERT_TRUE(QFile(big).resize(kLocalReplayMaxBytes + 1));
    EXPECT_FALSE(ReadLocalReplay(big).readable);
    EXPECT_FALSE(ReadLocalReplay(dir.filePath(QStringLiteral("gone.w3g"))).readable || ReadLocalReplay(dir.path()).readable);
}

// A replay folder as players keep it today: Reforged and NetEase files beside
// damaged ones. Both kinds are listed; the damaged ones keep their row, marked.
TEST(LocalReplays, NetEaseAndReforgedFilesListedDamagedOnesMarked)
{
    QTemporaryDir game;
    const QString folder = game.filePath(QStringLiteral("replay"));
    const auto real = [](const char *path) { return ReadBytes(QStringLiteral(QUILLMARK_TEST_DATA "/real-replays/") + QString::fromLatin1(path)); };
    const QByteArray netease = real("w3gjs/129/netease_129_obs.nwg"), reforged = real("w3gjs/132/reforged_release.w3g");
    WriteBytes(folder + QStringLiteral("/a.NWG"), netease);
    WriteBytes(folder + QStringLiteral("/b.w3g"), reforged);
    WriteBytes(folder + QStringLiteral("/c.nwg"), netease.first(netease.size() / 2));
    QByteArray flipped = reforged;
    flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 1);
    WriteBytes(folder + QStringLiteral("/d.w3g"), flipped);
    WriteBytes(folder + QStringLiteral("/e.txt"), reforged);

    QStringList names, players;
    for (const LocalReplayFile &f : LocalReplayFiles(game.path())) {
        names << f.fileName;
        players << LocalReplayRowOf(ReplayRecordOf(f.fileName, 0, 0, ReadLocalReplay(f.path))).players;
    }
    names.sort();
    EXPECT_EQ(names, (QStringList{"a.NWG", "b.w3g", "c.nwg", "d.w3g"}));
    EXPECT_TRUE(players.contains(u8s("Headshot！ VS rudan")) && players.contains(u8s("anXieTy#2932 VS IroNSoul#22724")));
    EXPECT_TRUE(players.contains(u8s("c.nwg（无法读取）")));
    // The list reads the opening only; the whole read finds the damage further in.
    EXPECT_EQ(ReadLocalReplay(folder + QStringLiteral("/d.w3g"), ReplayDepth::Whole).status, ReplayStatus::Corrupt);

    const ReplayInfo whole = ReadLocalReplay(folder + QStringLiteral("/a.NWG"), ReplayDepth::Whole);
    ASSERT_TRUE(whole.whole);
    const QStringList summary = LocalReplaySummary(whole).split(u'\n');
    EXPECT_EQ(summary.last(), u8s("胜方：队伍 1（Headshot！）"));
    EXPECT_TRUE(summary.at(1).startsWith(u8s("Headshot！  暗夜精灵  队伍 1  APM ")));
    EXPECT_EQ(LocalReplayDetailOf(whole).version, u8s("1.29"));

    // A file gone before its read, or shorter than its header says (cut while it was read).
    QFile::remove(folder + QStringLiteral("/b.w3g"));
    EXPECT_FALSE(ReadLocalReplay(folder + QStringLiteral("/b.w3g"), ReplayDepth::Whole).readable);
    WriteBytes(folder + QStringLiteral("/f.w3g"), reforged.chopped(100));
    EXPECT_FALSE(ReadLocalReplay(folder + QStringLiteral("/f.w3g")).readable);
}

// Local replays against the game's version resource: numbers, not text.
TEST(LocalReplays, VersionFitByNumbers)
{
    const struct { int replay; const char *game; bool fits; } cases[] = {
        {10030, "1.30.2.11065", true}, {10030, "1.30.4.11274", true}, {10030, "1.30.1.10211", false}, {30, "1.30.1.10211", true},
        {30, "1.30.2.11065", false}, {24, "1, 24, 4, 6387", true}, {24, "1.26.0.6401", false}, {26, "Version 1.26.0.6401", true},
        {10032, "1.32.10.18820", true}, {10031, "1.32.10.18820", false}, {10100, "2.0.2.22796", true}, {10100, "1.36.2.21230", false},
        {26, "", false}, {0, "1.26.0", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(LocalReplayFitsGame(c.replay, QString::fromLatin1(c.game)), c.fits) << c.replay << " " << c.game;
    EXPECT_EQ(LocalReplayVersionMessage(10030, u8s("1.29.2.9231")), u8s("录像版本 1.30.2+ 与当前魔兽版本 1.29.2 不对应！"));
    EXPECT_EQ(LocalReplayVersionMessage(10100, QString()), u8s("录像版本 2.00 与当前魔兽版本 未知 不对应！"));
}
