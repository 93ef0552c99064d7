// The replay file reader on the demo replays, on hand-made replays and on damaged files.
#include "demo/demofiles.h"
#include "demo/replaywriter.h"
#include "details/replayfile.h"

#include "support/testfiles.h"

#include <QtEndian>
#include <zlib.h>

namespace {

// The decompressed bytes of the first block of a replay with a version-1 header.
QByteArray firstBlock(const QByteArray &file)
{
    const quint16 packed = qFromLittleEndian<quint16>(file.constData() + 0x44);
    const quint16 size = qFromLittleEndian<quint16>(file.constData() + 0x46);
    QByteArray out(size, '\0');
    uLongf outSize = size;
    uncompress(reinterpret_cast<Bytef *>(out.data()), &outSize,
               reinterpret_cast<const Bytef *>(file.constData() + 0x4C), packed);
    return out.left(qsizetype(outSize));
}

struct PlayerRow {
    const char *name;
    int team;
    ReplayRace race;
    bool observer;
};

struct DemoCase {
    int id;
    int version, build;
    const char *gameName, *mapPath;
    qint64 lengthMs;
    std::vector<PlayerRow> players;
    const char *matchup, *playersText;
    QByteArray nameBytes;  // the first Chinese name as the file holds it
};

class DemoReplays : public ::testing::TestWithParam<DemoCase> {};

TEST_P(DemoReplays, ReadsEveryField)
{
    const DemoCase &c = GetParam();
    const QByteArray file = DemoReplayFile(c.id);
    ASSERT_GE(file.size(), 4 * 1024);
    ASSERT_LE(file.size(), 110 * 1024);
    const ReplayInfo info = ReadReplay(file);
    ASSERT_TRUE(info.readable);
    EXPECT_EQ(info.headerSize, 0x44u);
    EXPECT_EQ(info.headerVersion, 1u);
    EXPECT_EQ(info.compressedSize, quint32(file.size()));
    EXPECT_EQ(info.blockCount, (info.decompressedSize + 8191) / 8192);
    EXPECT_EQ(info.product, QByteArray("W3XP"));
    EXPECT_EQ(info.version, c.version);
    EXPECT_EQ(info.build, c.build);
    EXPECT_EQ(info.lengthMs, c.lengthMs);
    EXPECT_EQ(info.gameName, u8s(c.gameName));
    EXPECT_EQ(info.mapPath, u8s(c.mapPath));
    EXPECT_EQ(info.hostName, u8s(c.players.front().name));
    EXPECT_EQ(info.slotTable.size(), qsizetype(c.players.size()));
    ASSERT_EQ(info.players.size(), qsizetype(c.players.size()));
    for (size_t i = 0; i < c.players.size(); ++i) {
        const ReplayPlayer &p = info.players.at(qsizetype(i));
        EXPECT_EQ(p.name, u8s(c.players[i].name)) << i;
        EXPECT_EQ(p.team, c.players[i].team) << i;
        EXPECT_EQ(p.race, c.players[i].race) << i;
        EXPECT_EQ(p.observer, c.players[i].observer) << i;
        EXPECT_FALSE(p.computer);
        EXPECT_EQ(info.slotTable.at(qsizetype(i)).status, 2);
    }
    EXPECT_EQ(MatchupText(info), u8s(c.matchup));
    EXPECT_EQ(PlayersText(info), u8s(c.playersText));
    if (!c.nameBytes.isEmpty())
        EXPECT_TRUE(firstBlock(file).contains(c.nameBytes));
}

const ReplayRace H = ReplayRace::Human, O = ReplayRace::Orc, N = ReplayRace::NightElf,
                 U = ReplayRace::Undead, R = ReplayRace::Random;

INSTANTIATE_TEST_SUITE_P(
    Table, DemoReplays,
    ::testing::Values(
        // 1.20, names in code page 936
        DemoCase{1001, 20, 6040, "Remind VS 人皇", "Maps\\Download\\(2)SecretValley.w3x", 1297037,
                 {{"Remind", 0, H, false}, {"人皇", 1, N, false}}, "人族 VS 暗夜精灵", "Remind VS 人皇",
                 QByteArray("\xC8\xCB\xBB\xCA")},
        // team 1 random; a Chinese map file name in code page 936
        DemoCase{1002, 20, 6040, "人皇 VS Lyn", "Maps\\Download\\(2)古老之地.w3x", 2054074,
                 {{"人皇", 0, R, false}, {"Lyn", 1, O, false}}, "随机 VS 兽族", "人皇 VS Lyn", {}},
        // 2v2
        DemoCase{1004, 20, 6040, "Sweet VS Remind", "Maps\\Download\\(2)TerenasStand_LV.w3x", 1228148,
                 {{"Sweet", 0, N, false}, {"Grubby", 0, N, false}, {"Remind", 1, N, false}, {"Lyn", 1, N, false}},
                 "暗夜精灵 & 暗夜精灵 VS 暗夜精灵 & 暗夜精灵", "Sweet & Grubby VS Remind & Lyn", {}},
        // an observer (id % 13 == 5), left out of the texts
        DemoCase{1006, 20, 6040, "Grubby VS xiaOt", "Maps\\Download\\(2)EchoIsles.w3x", 2802222,
                 {{"Grubby", 0, N, false}, {"xiaOt", 1, U, false}, {"Infi", 12, R, true}},
                 "暗夜精灵 VS 不死", "Grubby VS xiaOt", {}},
        // 1.24, names in UTF-8
        DemoCase{1021, 24, 6048, "月神 VS 小鬼", "Maps\\Download\\(4)TwistedMeadows.w3x", 2517777,
                 {{"月神", 0, H, false}, {"小鬼", 1, N, false}}, "人族 VS 暗夜精灵", "月神 VS 小鬼",
                 QByteArray("\xE6\x9C\x88\xE7\xA5\x9E")}));

TEST(DemoReplayFiles, AllReadable)
{
    for (const DemoMeleeReplay &r : DemoData::instance().melee)
        ASSERT_TRUE(ReadReplay(DemoReplayFile(r.id)).readable) << r.id;
    for (const DemoDotaReplay &r : DemoData::instance().dota)
        ASSERT_TRUE(ReadReplay(DemoReplayFile(r.id)).readable) << r.id;
    EXPECT_TRUE(DemoReplayFile(999).isEmpty());
}

// Hand-made descriptions through the writer and back: both header versions, the
// short slots of the oldest files, computers and free-for-all teams.
TEST(ReplayWriter, RoundTrip)
{
    struct Case {
        int version;
        bool expansion, codePage936;
        quint32 headerSize;
        QByteArray product;
        std::vector<DemoReplayPlayer> players;
        const char *matchup, *playersText;
    };
    const std::vector<Case> cases = {
        {26, false, true, 0x44, "WAR3",
         {{u8s("风神"), 0, H}, {QString(), 1, U, false, true}, {u8s("Moon"), 2, N}, {u8s("Sky"), 12, R, true}},
         "人族 VS 不死 VS 暗夜精灵", "风神 VS 电脑 VS Moon"},
        {6, true, false, 0x40, "", {{u8s("Fly100%"), 0, O}, {u8s("TeD"), 1, U}}, "兽族 VS 不死", "Fly100% VS TeD"},
        {2, false, false, 0x40, "", {{u8s("a"), 1, O}, {u8s("b"), 0, R}}, "随机 VS 兽族", "b VS a"},
    };
    for (const Case &c : cases) {
        DemoReplayDescription d;
        d.gameName = u8s("我的游戏");
        d.mapPath = u8s("Maps\\Download\\(2)古老之地.w3x");
        d.version = c.version;
        d.build = 6031;
        d.expansion = c.expansion;
        d.lengthMs = 3725500;
        d.codePage936 = c.codePage936;
        d.players = QList<DemoReplayPlayer>(c.players.begin(), c.players.end());
        d.fillerBytes = 40000;
        const ReplayInfo info = ReadReplay(WriteDemoReplay(d));
        ASSERT_TRUE(info.readable) << c.version;
        EXPECT_EQ(info.headerSize, c.headerSize);
        EXPECT_EQ(info.product, c.product);
        EXPECT_EQ(info.version, c.version);
        EXPECT_EQ(info.build, 6031);
        EXPECT_EQ(info.lengthMs, 3725500);
        EXPECT_GE(info.blockCount, 5u);
        EXPECT_EQ(info.gameName, d.gameName);
        EXPECT_EQ(info.mapPath, d.mapPath);
        EXPECT_EQ(info.slotTable.at(0).handicap, 100);
        EXPECT_EQ(MatchupText(info), u8s(c.matchup)) << c.version;
        EXPECT_EQ(PlayersText(info), u8s(c.playersText)) << c.version;
        EXPECT_EQ(ReplayLengthText(info.lengthMs), QStringLiteral("1:02:05"));
    }
}

TEST(ReplayReader, LongNamesAreBounded)
{
    DemoReplayDescription d;
    d.mapPath = QStringLiteral("Maps\\x.w3x");
    d.players = {{QString(100, u'x'), 0, H}, {QString(40, QChar(0x9B54)), 1, O}};  // 魔 x 40: 120 bytes of UTF-8
    const ReplayInfo info = ReadReplay(WriteDemoReplay(d));
    ASSERT_TRUE(info.readable);
    EXPECT_EQ(info.players.at(0).name, QString(64, u'x'));
    EXPECT_EQ(info.players.at(1).name, QString(21, QChar(0x9B54)));
}

// Damaged files: all unreadable, none crashes or takes long.
TEST(ReplayReader, DamagedFilesAreUnreadable)
{
    const QByteArray good = DemoReplayFile(1001);
    ASSERT_TRUE(ReadReplay(good).readable);
    const auto patched = [&](qsizetype at, quint32 value) {
        QByteArray b = good;
        qToLittleEndian<quint32>(value, b.data() + at);
        return b;
    };
    QByteArray badMagic = good;
    badMagic[10] = 'x';
    QByteArray badBlock = good;
    for (int i = 0x4C + 2; i < 0x4C + 40; ++i)
        badBlock[i] = char(0xFF);
    const quint32 blocks = qFromLittleEndian<quint32>(good.constData() + 0x2C);
    QByteArray garbage = good.left(0x44);
    for (qsizetype i = garbage.size(); i < good.size(); ++i)
        garbage.append(char(i * 7919 % 251));

    const std::vector<std::pair<const char *, QByteArray>> cases = {
        {"empty", QByteArray()},
        {"magic only", good.left(28)},
        {"cut after the header", good.left(0x44)},
        {"cut in the first block", good.left(0x60)},
        {"cut before the end", good.chopped(1)},
        {"wrong magic", badMagic},
        {"block does not inflate", badBlock},
        {"decompressed size 4 GB", patched(0x28, 0xFFFFFFFFu)},
        {"decompressed size beyond the blocks", patched(0x28, blocks * 8192 + 1)},
        {"blocks beyond the decompressed size", patched(0x28, 8192)},
        {"block count 4 G", patched(0x2C, 0xFFFFFFFFu)},
        {"one block more than there are", patched(0x2C, blocks + 1)},
        {"file size beyond the end", patched(0x20, quint32(good.size()) + 1)},
        {"header size beyond the end", patched(0x1C, quint32(good.size()) + 1)},
        {"header version 7", patched(0x24, 7)},
        {"garbage after a valid header", garbage},
    };
    for (const auto &[what, bytes] : cases)
        EXPECT_FALSE(ReadReplay(bytes).readable) << what;
}

TEST(ReplayReader, EncodedString)
{
    // Even bytes are stored one higher with their mask bit clear; no 0 byte remains.
    EXPECT_EQ(EncodeReplayString(QByteArray("\x02\x03\x00", 3)), QByteArray("\x05\x03\x03\x01", 4));
    EXPECT_EQ(DecodeReplayString(QByteArray("\x05\x03\x03\x01", 4)), QByteArray("\x02\x03\x00", 3));
    const QByteArray plain("Maps\\Download\\(2)EchoIsles.w3x\0Sky\0", 35);
    EXPECT_FALSE(EncodeReplayString(plain).contains('\0'));
    EXPECT_EQ(EncodeReplayString(plain).size(), 35 + 5);
}

TEST(ReplayTexts, VersionLengthRace)
{
    EXPECT_EQ(ReplayVersionText(24), QStringLiteral("1.24"));
    EXPECT_EQ(ReplayVersionText(7), QStringLiteral("1.07"));
    const std::vector<std::pair<qint64, const char *>> lengths = {
        {59999, "0:59"}, {754000, "12:34"}, {3599999, "59:59"}, {3600000, "1:00:00"}, {-5, "0:00"}};
    for (const auto &[ms, text] : lengths)
        EXPECT_EQ(ReplayLengthText(ms), QString::fromLatin1(text)) << ms;
    const std::vector<std::pair<int, const char *>> races = {
        {0x01, "人族"}, {0x02, "兽族"}, {0x04, "暗夜精灵"}, {0x08, "不死"}, {0x60, "随机"}, {0x41, "人族"}, {0x00, ""}};
    for (const auto &[flags, text] : races)
        EXPECT_EQ(RaceText(ReplayRaceFromFlags(flags)), u8s(text)) << flags;
}
} // namespace
