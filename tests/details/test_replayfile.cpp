// The replay file reader on the demo replays, on hand-made replays and on damaged files.
#include "demo/demofiles.h"
#include "demo/replaywriter.h"
#include "details/replayfile.h"

#include "support/testfiles.h"

#include <QtEndian>

static const ReplayRace H = ReplayRace::Human, O = ReplayRace::Orc, N = ReplayRace::NightElf, U = ReplayRace::Undead, R = ReplayRace::Random;

// One player as "name:team:race", " observer" and " computer" behind.
static QString playerText(const ReplayPlayer &p)
{
    return QStringLiteral("%1:%2:%3%4%5").arg(p.name).arg(p.team).arg(RaceText(p.race), p.observer ? u8s(" observer") : QString(), p.computer ? u8s(" computer") : QString());
}

// Two demo replays of 1.20: names in code page 936; two teams of two. (The local
// replay window shows others from their files.)
TEST(ReplayReader, EveryFieldOfTheDemoReplays)
{
    const struct { int id; const char *gameName, *mapPath; qint64 lengthMs; const char *players, *matchup, *playersText; } cases[] = {
        {1001, "Remind VS 人皇", "Maps\\Download\\(2)SecretValley.w3x", 1297037, "Remind:0:人族|人皇:1:暗夜精灵", "人族 VS 暗夜精灵", "Remind VS 人皇"},
        {1004, "Sweet VS Remind", "Maps\\Download\\(2)TerenasStand_LV.w3x", 1228148, "Sweet:0:暗夜精灵|Grubby:0:暗夜精灵|Remind:1:暗夜精灵|Lyn:1:暗夜精灵",
         "暗夜精灵 & 暗夜精灵 VS 暗夜精灵 & 暗夜精灵", "Sweet & Grubby VS Remind & Lyn"},
    };
    for (const auto &c : cases) {
        const QByteArray file = DemoReplayFile(c.id);
        const ReplayInfo info = ReadReplay(file);
        ASSERT_TRUE(info.readable) << c.id;
        EXPECT_EQ(std::vector<qint64>({info.headerSize, info.headerVersion, info.compressedSize, info.version, info.build, info.lengthMs}),
                  std::vector<qint64>({0x44, 1, file.size(), 20, 6040, c.lengthMs})) << c.id;
        QStringList players;
        for (const ReplayPlayer &p : info.players)
            players << playerText(p);
        EXPECT_EQ(QStringList({QString::fromLatin1(info.product), info.gameName, info.mapPath, info.hostName, players.join(u'|'), MatchupText(info), PlayersText(info)}),
                  QStringList({u8s("W3XP"), u8s(c.gameName), u8s(c.mapPath), u8s(c.players).section(u':', 0, 0),  // the host: the first player, no computer before
                               u8s(c.players), u8s(c.matchup), u8s(c.playersText)}));
        EXPECT_TRUE(info.slotTable.size() == info.players.size()
                    && std::all_of(info.slotTable.begin(), info.slotTable.end(), [](const ReplaySlot &s) { return s.status == 2; }));
    }
}

// Hand-made descriptions through the writer and back: both header versions, the
// short slots of the oldest files, computers and free-for-all teams.
TEST(ReplayReader, WrittenReplaysAndLongNames)
{
    const struct {
        int version; bool expansion, codePage936; quint32 headerSize; QByteArray product;
        std::vector<DemoReplayPlayer> players; const char *matchup, *playersText;
    } cases[] = {
        {26, false, true, 0x44, "WAR3", {{u8s("风神"), 0, H}, {QString(), 1, U, false, true}, {u8s("Moon"), 2, N}, {u8s("Sky"), 12, R, true}},
         "人族 VS 不死 VS 暗夜精灵", "风神 VS 电脑 VS Moon"},
        {6, true, false, 0x40, "", {{u8s("Fly100%"), 0, O}, {u8s("TeD"), 1, U}}, "兽族 VS 不死", "Fly100% VS TeD"},
        {2, false, false, 0x40, "", {{u8s("a"), 1, O}, {u8s("b"), 0, R}}, "随机 VS 兽族", "b VS a"},
    };
    DemoReplayDescription d{.gameName = u8s("我的游戏"), .mapPath = u8s("Maps\\Download\\(2)古老之地.w3x"), .build = 6031,
                            .lengthMs = 3725500, .fillerBytes = 40000};
    for (const auto &c : cases) {
        d.version = c.version, d.expansion = c.expansion, d.codePage936 = c.codePage936;
        d.players = QList<DemoReplayPlayer>(c.players.begin(), c.players.end());
        const ReplayInfo info = ReadReplay(WriteDemoReplay(d));
        ASSERT_TRUE(info.readable) << c.version;
        EXPECT_EQ(std::vector<qint64>({info.headerSize, info.version, info.build, info.lengthMs, info.slotTable.at(0).handicap, info.blockCount >= 5}),
                  std::vector<qint64>({c.headerSize, c.version, 6031, 3725500, 100, true})) << c.version;
        EXPECT_EQ(QStringList({QString::fromLatin1(info.product), info.gameName, info.mapPath, MatchupText(info), PlayersText(info)}),
                  QStringList({QString::fromLatin1(c.product), d.gameName, d.mapPath, u8s(c.matchup), u8s(c.playersText)}));
    }
    d.players = {{QString(100, u'x'), 0, H}, {QString(40, QChar(0x9B54)), 1, O}};  // 魔 x 40: 120 bytes of UTF-8
    const ReplayInfo info = ReadReplay(WriteDemoReplay(d));
    ASSERT_EQ(info.players.size(), 2);
    EXPECT_EQ(QStringList({info.players.at(0).name, info.players.at(1).name}), QStringList({QString(64, u'x'), QString(21, QChar(0x9B54))}));
}

// Damaged files, one per check that refuses them: all unreadable, none crashes or takes long.
TEST(ReplayReader, DamagedFilesAreUnreadable)
{
    const QByteArray good = DemoReplayFile(1001);
    const auto patched = [&](qsizetype at, quint32 value) {
        QByteArray b = good;
        qToLittleEndian<quint32>(value, b.data() + at);
        return b;
    };
    const QByteArray badBlock = QByteArray(good).replace(0x4C + 2, 38, QByteArray(38, char(0xFF)));
    const quint32 blocks = qFromLittleEndian<quint32>(good.constData() + 0x2C);
    const std::pair<const char *, QByteArray> cases[] = {
        {"empty", QByteArray()}, {"cut before the end", good.chopped(1)}, {"wrong magic", patched(8, 0x78787878)},
        {"block does not inflate", badBlock}, {"decompressed size 4 GB", patched(0x28, 0xFFFFFFFFu)},
        {"decompressed size beyond the blocks", patched(0x28, blocks * 8192 + 1)},
        {"blocks beyond the decompressed size", patched(0x28, 8192)}, {"block count 4 G", patched(0x2C, 0xFFFFFFFFu)},
        {"header size beyond the end", patched(0x1C, quint32(good.size()) + 1)}, {"header version 7", patched(0x24, 7)},
    };
    for (const auto &[what, bytes] : cases)
        EXPECT_FALSE(ReadReplay(bytes).readable) << what;
}

TEST(ReplayTexts, EncodingVersionLengthRace)
{
    // Even bytes are stored one higher with their mask bit clear; no 0 byte remains.
    EXPECT_EQ(EncodeReplayString(QByteArray("\x02\x03\x00", 3)), QByteArray("\x05\x03\x03\x01", 4));
    EXPECT_EQ(DecodeReplayString(QByteArray("\x05\x03\x03\x01", 4)), QByteArray("\x02\x03\x00", 3));
    const QByteArray encoded = EncodeReplayString(QByteArray("Maps\\Download\\(2)EchoIsles.w3x\0Sky\0", 35));
    EXPECT_TRUE(!encoded.contains('\0') && encoded.size() == 35 + 5);
    EXPECT_EQ(QStringList({ReplayVersionText(24), ReplayVersionText(7)}), QStringList({u8s("1.24"), u8s("1.07")}));
    for (const auto &[ms, text] : std::vector<std::pair<qint64, const char *>>{{59999, "0:59"}, {3599999, "59:59"}, {3600000, "1:00:00"}, {-5, "0:00"}})
        EXPECT_EQ(ReplayLengthText(ms), QString::fromLatin1(text)) << ms;
    for (const auto &[flags, text] : std::vector<std::pair<int, const char *>>{{0x01, "人族"}, {0x02, "兽族"}, {0x04, "暗夜精灵"}, {0x08, "不死"}, {0x60, "随机"}, {0x41, "人族"}, {0x00, ""}})
        EXPECT_EQ(RaceText(ReplayRaceFromFlags(flags)), u8s(text)) << flags;
}
