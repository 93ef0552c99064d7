// The pure parts of the local replays that the window tests do not reach: teams
// beyond two players, computers, a single team, the size bound and name ties.
#include "demo/replaywriter.h"
#include "local/localreplays.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QString u8s(const char *utf8) { return QString::fromUtf8(utf8); }
const ReplayRace H = ReplayRace::Human, O = ReplayRace::Orc, N = ReplayRace::NightElf,
                 U = ReplayRace::Undead, R = ReplayRace::Random;

ReplayInfo written(const QList<DemoReplayPlayer> &players)
{
    DemoReplayDescription d;
    d.gameName = QStringLiteral("4v4");
    d.mapPath = QStringLiteral("Maps/FrozenThrone/(8)Sanctuary.w3m");
    d.players = players;
    const ReplayInfo info = ReadReplay(WriteDemoReplay(d));
    EXPECT_TRUE(info.readable);
    return info;
}
} // namespace

TEST(LocalReplayDetail, TeamsComputersAndObservers)
{
    // Team numbers 3 and 1: the lower one is the first side; four on it, three slots.
    const ReplayInfo info = written({{u8s("Sky"), 3, R}, {u8s("风神"), 1, U}, {QString(), 1, O, false, true},
                                     {u8s("Moon"), 1, N}, {u8s("Fly"), 1, H}, {u8s("Tod"), 12, H, true}});
    const LocalReplayDetail d = LocalReplayDetailOf(info);
    EXPECT_EQ(d.mapName, QStringLiteral("(8)Sanctuary"));
    EXPECT_EQ(d.playerCount, QStringLiteral("5"));
    EXPECT_TRUE(d.teams[0].present);
    EXPECT_EQ(d.teams[0].race, U);
    EXPECT_EQ(d.teams[0].names, (std::array<QString, 3>{u8s("风神"), u8s("电脑"), u8s("Moon")}));
    EXPECT_EQ(d.teams[1].race, R);
    EXPECT_EQ(d.teams[1].names, (std::array<QString, 3>{u8s("Sky"), QString(), QString()}));
    EXPECT_EQ(d.summary, u8s("游戏名称：4v4\nSky  随机  队伍 2\n风神  不死  队伍 1\n电脑  兽族  队伍 1\n"
                             "Moon  暗夜精灵  队伍 1\nFly  人族  队伍 1\nTod  观察者"));

    const LocalReplayDetail alone = LocalReplayDetailOf(written({{u8s("Sky"), 0, H}, {u8s("Moon"), 0, O}}));
    EXPECT_TRUE(alone.teams[0].present);
    EXPECT_FALSE(alone.teams[1].present);
}

TEST(LocalReplayNames, MapNames)
{
    struct Case {
        const char *path, *file, *name;
    } cases[] = {
        {"Maps/x/DotA v6.59d.w3x", "DotA v6.59d.w3x", "DotA v6.59d"},
        {"NoFolder", "NoFolder", "NoFolder"},
        {"Maps\\.w3x", ".w3x", ".w3x"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(MapFileNameOf(u8s(c.path)), u8s(c.file)) << c.path;
        EXPECT_EQ(MapNameOf(u8s(c.path)), u8s(c.name)) << c.path;
    }
}

TEST(LocalReplayFiles, TiesByNameThenBound)
{
    const QDateTime t(QDate(2024, 5, 1), QTime(10, 0));
    QList<LocalReplayFile> files = {{"", "b.w3g", t}, {"", "B.w3g", t}, {"", "a.w3g", t.addSecs(-1)},
                                    {"", "C.w3g", t}, {"", "z.w3g", t.addSecs(1)}};
    SortNewestFirst(files);
    QStringList names;
    for (const LocalReplayFile &f : files)
        names << f.fileName;
    EXPECT_EQ(names, (QStringList{"z.w3g", "B.w3g", "b.w3g", "C.w3g", "a.w3g"}));

    // Over the bound: unreadable without reading (a sparse file, valid header).
    QTemporaryDir dir;
    QFile big(dir.filePath(QStringLiteral("big.w3g")));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    DemoReplayDescription d;
    d.players = {{u8s("Sky"), 0, H}, {u8s("Moon"), 1, O}};
    const QByteArray replay = WriteDemoReplay(d);
    big.write(replay);
    big.close();
    ASSERT_TRUE(big.resize(replay.size() + 100));
    EXPECT_TRUE(ReadLocalReplay(big.fileName()).readable);  // what follows the replay is not read
    ASSERT_TRUE(big.resize(kLocalReplayMaxBytes + 1));
    EXPECT_FALSE(ReadLocalReplay(big.fileName()).readable);
    EXPECT_FALSE(ReadLocalReplay(dir.filePath(QStringLiteral("gone.w3g"))).readable);
    EXPECT_FALSE(ReadLocalReplay(dir.path()).readable);
}
