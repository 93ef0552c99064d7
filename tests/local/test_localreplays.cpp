// The pure parts of the local replays that the window tests do not reach: teams
// beyond two players, computers, a single team, map names, the size bound and name ties.
#include "demo/replaywriter.h"
#include "download/gamepath.h"
#include "local/localreplays.h"
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
