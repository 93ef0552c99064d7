// The replay file reader on real replays of every version, on the demo replays,
// on hand-made replays and on damaged files.
#include "demo/demofiles.h"
#include "demo/demosite.h"
#include "demo/replaywriter.h"
#include "details/replayanalysis.h"
#include "details/replayfile.h"
#include "details/replaygame.h"
#include "download/gamepath.h"

#include "support/testfiles.h"

#include <QRegularExpression>
#include <QtEndian>
#include <zlib.h>

static const ReplayRace H = ReplayRace::Human, O = ReplayRace::Orc, N = ReplayRace::NightElf, U = ReplayRace::Undead, R = ReplayRace::Random;

static QByteArray RealReplay(const char *path)
{
    return ReadBytes(QStringLiteral(QUILLMARK_TEST_DATA "/real-replays/") + QString::fromLatin1(path));
}

// One player as "name:team:race", " observer" and " computer" behind.
static QString playerText(const ReplayPlayer &p)
{
    return QStringLiteral("%1:%2:%3%4%5").arg(p.name).arg(p.team).arg(RaceText(p.race), p.observer ? u8s(" observer") : QString(), p.computer ? u8s(" computer") : QString());
}

static const ReplayPlayer *playerById(const ReplayInfo &info, int id)
{
    for (const ReplayPlayer &p : info.players)
        if (p.id == id && !p.computer)
            return &p;
    return nullptr;
}

static QStringList winners(const ReplayInfo &info)
{
    QStringList names;
    for (const ReplayPlayer &p : info.players)
        if (p.result == ReplayResult::Won)
            names << p.name;
    return names;
}

// The facts the source projects' tests and the headers state, file by file.
// `players`: "id=name:team:race[ observer]" for the players the facts name
// (team -1 and race "" where the facts say nothing of them).
TEST(RealReplays, EveryVersionAndLayout)
{
    const struct {
        const char *path, *version; int build; qint64 lengthMs; quint32 headerVersion;
        const char *host, *gameName, *mapStart, *mapEnd; int slotCount, observers;
        std::vector<std::tuple<int, const char *, int, const char *, bool>> players;
        const char *winners;
    } cases[] = {
        {"gowarcraft3/test_102.w3g", "1.02", 4531, 441925, 0, "Go4WC3.Sapor", "final", "Maps\\(4)LostTemple.w3m", "", 12, -1,
         {{2, "Go4WC3.Desann", 12, "随机", true}}, nullptr},
        {"gowarcraft3/test_130.w3g", "1.30.2+", 6061, 640650, 1, "niels", "Local Game", "Maps/FrozenThrone//(2)EchoIsles.w3x", "", -1, 0, {}, nullptr},
        {"gowarcraft3/test_132.w3g", "1.32", 6105, 503575, 1, "TheBiGsLeeP#220", nullptr, "Maps/Download/ddee38", "/(2)Amazonia.w3x", -1, -1,
         {{3, "Серник#2653", -1, "", false}}, nullptr},
        {"w3gjs/126/999.w3g", "1.26", 6059, 193850, 1, "", nullptr, "", "w3arena__maelstrom__v2.w3x", -1, 0,
         {{2, nullptr, 0, "", false}, {4, nullptr, 0, "", false}, {3, nullptr, 1, "", false}, {5, nullptr, 1, "", false}}, nullptr},
        {"w3gjs/129/standard_129_obs.w3g", "1.29", 6060, 797920, 1, "", nullptr, "", "w3arena__twistedmeadows__v3.w3x", -1, 4,
         {{6, "Stormhoof", 0, "兽族", false}, {4, "S.o.K.o.L", 3, "兽族", false}}, "Stormhoof"},
        {"w3gjs/129/netease_129_obs.nwg", "1.29", 6060, 1477400, 1, "", nullptr, "Maps/1.29\\(4)TurtleRock.w3x", "", -1, 1, {}, "Headshot！"},
        {"w3gjs/130/standard_1304.w3g", "1.30.2+", 6061, 1144375, 1, "", nullptr, "", "", -1, 0, {}, "buffMyKotg"},
        {"w3gjs/132/reforged_release.w3g", "1.32", 6105, 1091850, 1, "", nullptr, "", "", -1, 1,
         {}, "anXieTy#2932"},
        {"w3gjs/200/2.0.2-Melee.w3g", "2.00", 6115, 45500, 1, "", nullptr, "", "", -1, -1, {}, "BogdanW4"},
    };
    for (const auto &c : cases) {
        const QByteArray file = RealReplay(c.path);
        ASSERT_FALSE(file.isEmpty()) << c.path;
        const ReplayInfo head = ReadReplay(file);
        const ReplayInfo info = ReadReplay(file, ReplayDepth::Whole);
        ASSERT_TRUE(head.readable && info.readable && info.whole && info.walkComplete) << c.path << " " << int(info.status);
        EXPECT_EQ(info.status, ReplayStatus::Read);
        EXPECT_EQ(std::vector<qint64>({info.build, info.lengthMs, info.headerVersion}), std::vector<qint64>({c.build, c.lengthMs, c.headerVersion})) << c.path;
        EXPECT_EQ(ReplayVersionText(info.version), QString::fromLatin1(c.version)) << c.path;
        // The opening read sees the same players as the whole one.
        QStringList opening, whole;
        for (int i = 0; i < info.players.size(); ++i)
            opening << playerText(head.players.value(i)), whole << playerText(info.players.at(i));
        EXPECT_EQ(opening, whole) << c.path;
        EXPECT_TRUE(info.hostName.startsWith(u8s(c.host))) << c.path << " " << info.hostName.toStdString();
        if (c.gameName)
            EXPECT_EQ(info.gameName, u8s(c.gameName)) << c.path;
        EXPECT_TRUE(info.mapPath.startsWith(u8s(c.mapStart)) && info.mapPath.endsWith(u8s(c.mapEnd))) << c.path << " " << info.mapPath.toStdString();
        if (c.slotCount >= 0)
            EXPECT_EQ(info.slotTable.size(), c.slotCount) << c.path;
        if (c.observers >= 0)
            EXPECT_EQ(std::count_if(info.players.begin(), info.players.end(), [](const ReplayPlayer &p) { return p.observer; }), c.observers) << c.path;
        for (const auto &[id, name, team, race, observer] : c.players) {
            const ReplayPlayer *p = playerById(info, id);
            ASSERT_TRUE(p) << c.path << " id " << id;
            if (name)
                EXPECT_EQ(p->name, u8s(name)) << c.path;
            if (team >= 0)
                EXPECT_EQ(p->team, team) << c.path << " id " << id;
            if (*race)
                EXPECT_EQ(RaceText(p->race), u8s(race)) << c.path;
            EXPECT_EQ(p->observer, observer) << c.path << " id " << id;
        }
        // Stated winners are read from the leave records; the others stay unknown or are not checked.
        if (c.winners)
            EXPECT_EQ(winners(info), QStringList{u8s(c.winners)}) << c.path;
        // Everyone counted actions while in the game, none after leaving.
        for (const ReplayPlayer &p : info.players) {
            if (p.observer || p.computer)
                continue;
            EXPECT_GT(p.actions, 0) << c.path;
            const qint64 inGame = p.leftAtMs >= 0 ? p.leftAtMs : info.endMs;
            EXPECT_NEAR(p.apmPerMinute.size(), inGame / 60000.0, 1.0) << c.path;
        }
    }
}

// What single files show beyond the table: a computer slot, the random race, a
// NetEase wrapper and its colours, the observers' chat, the chat of 2.0.
TEST(RealReplays, ComputersRandomChatAndColours)
{
    const ReplayInfo vsComputer = ReadReplay(RealReplay("gowarcraft3/test_130.w3g"), ReplayDepth::Whole);
    ASSERT_EQ(vsComputer.slotTable.size(), 2);
    EXPECT_TRUE(vsComputer.slotTable.at(1).computer);
    EXPECT_EQ(ReplayRaceFromFlags(vsComputer.slotTable.at(1).raceFlags), R);
    EXPECT_EQ(PlayersText(vsComputer), u8s("niels VS 电脑"));
    EXPECT_EQ(vsComputer.winningTeam, -1);  // only the recording player's own leave: no result

    const ReplayInfo teams = ReadReplay(RealReplay("w3gjs/126/999.w3g"), ReplayDepth::Whole);
    EXPECT_EQ(std::count_if(teams.players.begin(), teams.players.end(), [](const ReplayPlayer &p) { return p.race == R; }), 1);
    EXPECT_EQ(teams.winningTeam, -1);  // all four leave as the recording ends
    EXPECT_EQ(LastPartOf(teams.mapPath), u8s("w3arena__maelstrom__v2.w3x"));

    const ReplayInfo netease = ReadReplay(RealReplay("w3gjs/129/netease_129_obs.nwg"), ReplayDepth::Whole);
    EXPECT_TRUE(netease.wrapped);
    EXPECT_EQ(PlayersText(netease), u8s("Headshot！ VS rudan"));
    EXPECT_EQ(MatchupText(netease), u8s("暗夜精灵 VS 暗夜精灵"));
    const ReplayPlayer *rudan = std::find_if(netease.players.begin(), netease.players.end(), [](const ReplayPlayer &p) { return p.name == u8s("rudan"); });
    ASSERT_NE(rudan, netease.players.end());
    EXPECT_EQ(ReplayColourHex(rudan->colour), u8s("#282828"));

    const ReplayInfo observed = ReadReplay(RealReplay("w3gjs/129/standard_129_obs.w3g"), ReplayDepth::Whole);
    EXPECT_GT(observed.chat.size(), 2);

    const ReplayInfo lan = ReadReplay(RealReplay("w3gjs/200/2.0.2-Melee.w3g"), ReplayDepth::Whole);
    QStringList chat;
    for (const ReplayChatLine &line : lan.chat)
        chat << QStringLiteral("%1 %2").arg(line.playerId).arg(line.text);
    EXPECT_EQ(chat, QStringList({u8s("1 don't hurt me"), u8s("2 no more")}));
    EXPECT_EQ(lan.chat.value(0).sender, u8s("BogdanW4"));
    // A game at normal speed: its leaves and its end fall within its 45 500 ms, not
    // at the time slots' real 56.9 s.
    EXPECT_LE(lan.endMs, 45500 + 100);
    for (const ReplayPlayer &p : lan.players)
        EXPECT_TRUE(p.leftAtMs >= 0 && p.leftAtMs <= 45500 + 100) << p.leftAtMs;
}

// Damaged copies of real files, classic and Reforged blocks: a flipped byte is
// corrupt, a cut file is no replay, an unknown layout is unsupported; none crashes or takes long.
TEST(ReplayReader, DamagedFilesAreCorruptOrUnreadable)
{
    for (const char *path : {"w3gjs/130/standard_1304.w3g", "w3gjs/132/reforged_release.w3g"}) {
        const QByteArray good = RealReplay(path);
        const auto flipped = [&](qsizetype at) {
            QByteArray b = good;
            b[at] = char(b[at] ^ 0x10);
            return b;
        };
        const auto patched = [&](qsizetype at, quint32 value, bool fixCrc) {
            QByteArray b = good;
            qToLittleEndian<quint32>(value, b.data() + at);
            if (fixCrc)
                qToLittleEndian<quint32>(ReplayHeaderChecksum(QByteArrayView(b).first(0x44)), b.data() + 0x40);
            return b;
        };
        // `beyondOpening`: damage past the blocks a list row reads, which only a whole read sees.
        const struct { const char *what; QByteArray bytes; ReplayStatus status; bool beyondOpening; } cases[] = {
            {"byte in the first block", flipped(0x44 + 40), ReplayStatus::Corrupt, false},
            {"byte in the last block", flipped(good.size() - 3), ReplayStatus::Corrupt, true},
            {"byte of the game length", flipped(0x3C), ReplayStatus::Corrupt, false},
            {"cut by one byte", good.chopped(1), ReplayStatus::NotReplay, false},
            {"half", good.first(good.size() / 2), ReplayStatus::NotReplay, false},
            {"no magic", QByteArray(good).replace(0, 4, "Worc"), ReplayStatus::NotReplay, false},
            {"empty", QByteArray(), ReplayStatus::NotReplay, false},
            {"header version 7", patched(0x24, 7, true), ReplayStatus::Unsupported, false},
            {"block count 4 G", patched(0x2C, 0xFFFFFFFFu, true), ReplayStatus::Corrupt, false},
            {"block count one more", patched(0x2C, qFromLittleEndian<quint32>(good.constData() + 0x2C) + 1, true), ReplayStatus::Corrupt, true},
            {"decompressed size 4 GB", patched(0x28, 0xFFFFFFFFu, true), ReplayStatus::Corrupt, false},
        };
        for (const auto &c : cases) {
            EXPECT_EQ(ReadReplay(c.bytes, ReplayDepth::Whole).status, c.status) << path << ": " << c.what;
            EXPECT_EQ(ReadReplay(c.bytes).readable, c.beyondOpening) << path << ": " << c.what;
        }
    }
}

// Hand-made game data: a zlib bomb, hostile counts and lengths in the records and
// actions, an unknown layout. Every read ends, bounded by the data.
TEST(ReplayReader, HostileDataStaysBounded)
{
    DemoReplayDescription d;
    d.players = {{u8s("Sky"), 0, H}, {u8s("Moon"), 1, O}};
    const QByteArray plain = WriteDemoReplay(d);

    // A block whose stream inflates to 64 MiB while it announces 8 KiB: read as 8 KiB.
    {
        QByteArray zeros(64 * 1024 * 1024, '\0');
        QByteArray packed(int(compressBound(uLong(zeros.size()))), Qt::Uninitialized);
        uLongf size = uLongf(packed.size());
        compress2(reinterpret_cast<Bytef *>(packed.data()), &size, reinterpret_cast<const Bytef *>(zeros.constData()), uLong(zeros.size()), 9);
        packed.truncate(qsizetype(size));
        QByteArray header(8, '\0');
        qToLittleEndian<quint16>(quint16(packed.size()), header.data());
        qToLittleEndian<quint16>(8192, header.data() + 2);
        qToLittleEndian<quint32>(ReplayBlockChecksum(header, packed), header.data() + 4);
        QByteArray bomb = plain.first(0x44) + header + packed;
        qToLittleEndian<quint32>(quint32(bomb.size()), bomb.data() + 0x20);
        qToLittleEndian<quint32>(8192, bomb.data() + 0x28);
        qToLittleEndian<quint32>(1, bomb.data() + 0x2C);
        qToLittleEndian<quint32>(ReplayHeaderChecksum(QByteArrayView(bomb).first(0x44)), bomb.data() + 0x40);
        const ReplayInfo info = ReadReplay(bomb, ReplayDepth::Whole);
        EXPECT_EQ(info.status, ReplayStatus::Unsupported);  // zeros where the opening records belong
    }

    // Game data after the slot table: records whose lengths run past the end, a
    // time slot claiming 64 KiB, an action block claiming more than its slot, a
    // selection of 65535 units, a cut leave record, an unknown record, 100,000
    // records of five bytes. The walk ends in each; what it read stays.
    DemoReplayDescription one{u8s("g"), u8s("Maps\\x.w3x")};
    one.version = 26;
    one.lengthMs = 600000;
    one.fillerBytes = 20000;
    one.players = {{u8s("Sky"), 0, H}, {u8s("Moon"), 1, O}};
    const QByteArray data = DemoReplayData(one);
    const auto read = [&](const QByteArray &tail) { return ReadReplay(PackDemoReplay(data + tail, 26, 6059, true, 0), ReplayDepth::Whole); };
    const ReplayInfo whole = read(QByteArray());
    ASSERT_TRUE(whole.walkComplete && whole.players.size() == 2 && whole.players.at(0).actions > 0);
    const std::pair<QByteArray, bool> tails[] = {
        {QByteArray("\x1F\xFF\xFF\x10\x00", 5), false}, {QByteArray("\x1F\x07\x00\x64\x00\x01\xFF\xFF\x16\x01", 10), true},
        {QByteArray("\x1F\x09\x00\x64\x00\x01\x04\x00\x16\x01\xFF\xFF", 12), true}, {QByteArray("\x20\x01\xFF\xFF\x20", 5), false},
        {QByteArray("\x17\x01\x00", 3), false}, {QByteArray("\x99\x1F", 2), false}, {QByteArray(100000, '\x1A'), true},
        // Esc pressed by Sky after everyone left: not counted.
        {QByteArray("\x1F\x06\x00\x64\x00\x01\x01\x00\x61", 9), true},
    };
    for (const auto &[tail, complete] : tails) {
        const ReplayInfo info = read(tail);
        EXPECT_TRUE(info.readable && info.whole) << tail.first(8).toHex().constData();
        EXPECT_EQ(info.walkComplete, complete) << tail.first(8).toHex().constData();
        EXPECT_EQ(info.players.at(0).actions, whole.players.at(0).actions) << tail.first(8).toHex().constData();
    }
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

// Names by the one rule of reader and writer: code page 936 before 1.24, UTF-8 from
// then on. "夜魔" in code page 936 (D2 B9 C4 A7) is valid UTF-8 as well ("ҹħ").
TEST(ReplayReader, OneTextRuleForReaderAndWriter)
{
    const QByteArray gbk("\xD2\xB9\xC4\xA7", 4);
    EXPECT_EQ(DecodeReplayText(gbk, 20), u8s("夜魔"));
    EXPECT_EQ(DecodeReplayText(gbk, 24), u8s("ҹħ"));
    EXPECT_EQ(DecodeReplayText(u8s("夜魔").toUtf8(), 10032), u8s("夜魔"));
    EXPECT_EQ(EncodeReplayText(u8s("夜魔"), 23), gbk);
    // Every demo replay reads back the names it was written with, "夜魔" among them.
    int yemo = 0;
    for (const DemoMeleeReplay &r : DemoData::instance().melee) {
        const DemoReplayDescription d = DemoReplayDescriptionOf(r);
        const ReplayInfo info = ReadReplay(WriteDemoReplay(d));
        ASSERT_EQ(info.players.size(), d.players.size()) << r.id;
        for (int i = 0; i < d.players.size(); ++i)
            ASSERT_EQ(info.players.at(i).name, d.players.at(i).name) << r.id;
        yemo += PlayersText(info).contains(u8s("夜魔")) ? 1 : 0;
    }
    EXPECT_GT(yemo, 0);
}

// Hand-made descriptions through the writer and back: both header versions, the
// short slots of the oldest files, computers and free-for-all teams.
TEST(ReplayReader, WrittenReplaysAndLongNames)
{
    const struct {
        int version; bool expansion; quint32 headerSize; QByteArray product;
        std::vector<DemoReplayPlayer> players; const char *matchup, *playersText;
    } cases[] = {
        {26, false, 0x44, "WAR3", {{u8s("风神"), 0, H}, {QString(), 1, U, false, true}, {u8s("Moon"), 2, N}, {u8s("Sky"), 12, R, true}},
         "人族 VS 不死 VS 暗夜精灵", "风神 VS 电脑 VS Moon"},
        {20, true, 0x44, "W3XP", {{u8s("夜魔"), 0, O}, {u8s("TeD"), 1, U}}, "兽族 VS 不死", "夜魔 VS TeD"},
        {6, true, 0x40, "", {{u8s("Fly100%"), 0, O}, {u8s("TeD"), 1, U}}, "兽族 VS 不死", "Fly100% VS TeD"},
        {2, false, 0x40, "", {{u8s("a"), 1, O}, {u8s("b"), 0, R}}, "随机 VS 兽族", "b VS a"},
        // Names beyond 15 bytes: cut in the player records, whole in the profiles.
        {10032, true, 0x44, "W3XP", {{u8s("Серник#2653"), 0, U}, {u8s("LongBattleTagName#12345"), 1, N}, {u8s("Obs"), 24, R, true}},
         "不死 VS 暗夜精灵", "Серник#2653 VS LongBattleTagName#12345"},
    };
    DemoReplayDescription d{.gameName = u8s("我的游戏"), .mapPath = u8s("Maps\\Download\\(2)古老之地.w3x"), .build = 6031,
                            .lengthMs = 3725500, .fillerBytes = 40000};
    for (const auto &c : cases) {
        d.version = c.version, d.expansion = c.expansion;
        d.players = QList<DemoReplayPlayer>(c.players.begin(), c.players.end());
        const QByteArray file = WriteDemoReplay(d);
        const ReplayInfo info = ReadReplay(file, ReplayDepth::Whole);
        ASSERT_TRUE(info.readable && info.walkComplete) << c.version;
        EXPECT_EQ(info.hostName, c.players.front().name) << c.version;
        if (c.version >= 10032)  // the player record holds the name cut short, as the real 1.32 file does
            EXPECT_TRUE(DemoReplayData(d).contains(u8s("Серник#26").toUtf8() + QByteArray(1, '\0')));
        EXPECT_EQ(std::vector<qint64>({info.headerSize, info.version, info.build, info.lengthMs, info.slotTable.at(0).handicap, info.blockCount >= 5}),
                  std::vector<qint64>({c.headerSize, c.version, 6031, 3725500, 100, true})) << c.version;
        EXPECT_EQ(QStringList({QString::fromLatin1(info.product), info.gameName, info.mapPath, MatchupText(info), PlayersText(info)}),
                  QStringList({QString::fromLatin1(c.product), d.gameName, d.mapPath, u8s(c.matchup), u8s(c.playersText)}));
    }
    d.version = 26;
    d.players = {{QString(100, u'x'), 0, H}, {QString(40, QChar(0x9B54)), 1, O}};  // 魔 x 40: 120 bytes of UTF-8
    const ReplayInfo info = ReadReplay(WriteDemoReplay(d));
    ASSERT_EQ(info.players.size(), 2);
    EXPECT_EQ(QStringList({info.players.at(0).name, info.players.at(1).name}), QStringList({QString(64, u'x'), QString(21, QChar(0x9B54))}));
    // Opening records over several blocks of 8 KiB: the list's read finds the slot table all the same.
    d.players = {{QString(30000, u'y'), 0, H}, {u8s("Moon"), 1, O}};
    const QByteArray longOpening = WriteDemoReplay(d);
    EXPECT_EQ(PlayersText(ReadReplay(longOpening)), QString(64, u'y') + u8s(" VS Moon"));
    EXPECT_EQ(ReadReplay(longOpening.first(0x44 + 8 + 1000)).status, ReplayStatus::NotReplay);
}

// The analysis document of a real 2.0 replay with a hostile name and chat line put in.
TEST(ReplayAnalysis, EscapesEverythingAndLoadsNothing)
{
    ReplayInfo info = ReadReplay(RealReplay("w3gjs/200/2.0.2-Melee.w3g"), ReplayDepth::Whole);
    ASSERT_TRUE(info.whole && info.players.size() == 2 && info.chat.size() == 2);
    info.players[1].name = u8s("<img src=\"http://example.invalid/x.png\">&");
    info.chat[0].text = u8s("</td><script>alert('x')</script>");
    info.gameName = u8s("<iframe src=//example.invalid>");
    const QString html = ReplayAnalysisHtml(info);
    // Only tags of the document's own making, none with an address or a script.
    static const QStringList kTags{"!DOCTYPE", "html", "head", "meta", "style", "body", "h1", "h2", "p", "table", "tr", "th", "td",
                                   "span", "svg", "rect", "line", "text", "g", "title", "polyline", "circle"};
    static const QRegularExpression tag(QStringLiteral("<(/?)([^\\s>/]+)([^>]*)>"));
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        EXPECT_TRUE(kTags.contains(m.captured(2))) << m.captured(0).toStdString();
        static const QRegularExpression loads(QStringLiteral("\\s(src|href|xlink:href|on\\w+)\\s*=|url\\("), QRegularExpression::CaseInsensitiveOption);
        EXPECT_FALSE(loads.match(m.captured(3)).hasMatch()) << m.captured(0).toStdString();
    }
    EXPECT_FALSE(html.contains(u8s("@import")) || html.contains(u8s("url(")));
    for (const char *present : {"&lt;img src=&quot;http://example.invalid/x.png&quot;&gt;&amp;", "&lt;/td&gt;&lt;script&gt;", "&lt;iframe", "<svg", "<polyline", "stroke=\"#FF0303\"",
                                "BogdanW4", "胜", "负", "分钟", "APM", "0:21", "所有人", "no more"})
        EXPECT_TRUE(html.contains(u8s(present))) << present;
    // Without a whole read: the players only.
    const QString head = ReplayAnalysisHtml(ReadReplay(RealReplay("w3gjs/200/2.0.2-Melee.w3g")));
    EXPECT_TRUE(head.contains(u8s("BogdanW4")) && !head.contains(u8s("<svg")) && !head.contains(u8s("聊天记录")));
}

TEST(ReplayTexts, EncodingVersionLengthRaceStatus)
{
    // Even bytes are stored one higher with their mask bit clear; no 0 byte remains.
    EXPECT_EQ(EncodeReplayString(QByteArray("\x02\x03\x00", 3)), QByteArray("\x05\x03\x03\x01", 4));
    EXPECT_EQ(DecodeReplayString(QByteArray("\x05\x03\x03\x01", 4)), QByteArray("\x02\x03\x00", 3));
    const QByteArray encoded = EncodeReplayString(QByteArray("Maps\\Download\\(2)EchoIsles.w3x\0Sky\0", 35));
    EXPECT_TRUE(!encoded.contains('\0') && encoded.size() == 35 + 5);
    QStringList versions;
    for (int v : {7, 24, 26, 30, 10030, 10031, 10032, 10100})
        versions << ReplayVersionText(v);
    EXPECT_EQ(versions, QStringList({"1.07", "1.24", "1.26", "1.30", "1.30.2+", "1.31", "1.32", "2.00"}));
    for (const auto &[ms, text] : std::vector<std::pair<qint64, const char *>>{{59999, "0:59"}, {3599999, "59:59"}, {3600000, "1:00:00"}, {-5, "0:00"}})
        EXPECT_EQ(ReplayLengthText(ms), QString::fromLatin1(text)) << ms;
    for (const auto &[flags, text] : std::vector<std::pair<int, const char *>>{{0x01, "人族"}, {0x02, "兽族"}, {0x04, "暗夜精灵"}, {0x08, "不死"}, {0x60, "随机"}, {0x41, "人族"}, {0x00, ""}})
        EXPECT_EQ(RaceText(ReplayRaceFromFlags(flags)), u8s(text)) << flags;
    // Each status says something different; a read says nothing.
    QStringList statusTexts{ReplayStatusText(ReplayStatus::NotReplay), ReplayStatusText(ReplayStatus::Corrupt), ReplayStatusText(ReplayStatus::Unsupported)};
    EXPECT_TRUE(ReplayStatusText(ReplayStatus::Read).isEmpty() && statusTexts.removeDuplicates() == 0 && !statusTexts.contains(QString()));
    EXPECT_TRUE(statusTexts.at(1).contains(u8s("损坏")) && statusTexts.at(2).contains(u8s("不支持")));
}

// The game walk over hand-made records, by the rules written down in replaygame.h:
// two teams of two, the first with a computer beside, and an observer.
namespace {
struct Records {
    QByteArray bytes;
    Records &slot(quint16 ms, int id = 0, const QByteArray &actions = {})
    {
        QByteArray body;
        body.append(char(ms & 0xFF)).append(char(ms >> 8));
        if (id) {
            body.append(char(id)).append(char(actions.size() & 0xFF)).append(char(actions.size() >> 8));
            body.append(actions);
        }
        bytes.append('\x1F').append(char(body.size() & 0xFF)).append(char(body.size() >> 8)).append(body);
        return *this;
    }
    Records &leave(quint32 reason, int id, quint32 result)
    {
        QByteArray b(14, '\0');
        b[0] = 0x17;
        qToLittleEndian<quint32>(reason, b.data() + 1);
        b[5] = char(id);
        qToLittleEndian<quint32>(result, b.data() + 6);
        bytes.append(b);
        return *this;
    }
    Records &chat(int id, int flags, quint32 mode, const QByteArray &text)
    {
        QByteArray body(1, char(flags));
        if (flags == 0x20)
            body.append(QByteArray(4, '\0')), qToLittleEndian<quint32>(mode, body.data() + 1);
        body.append(text).append('\0');
        bytes.append('\x20').append(char(id)).append(char(body.size() & 0xFF)).append(char(body.size() >> 8)).append(body);
        return *this;
    }
};

ReplayInfo walked(const Records &r)
{
    ReplayInfo info;
    info.version = 26;
    for (int id = 1; id <= 4; ++id)
        info.players.append(ReplayPlayer{.id = id, .name = QStringLiteral("p%1").arg(id), .team = id <= 2 ? 0 : 1});
    info.players.append(ReplayPlayer{.id = 5, .name = QStringLiteral("obs"), .team = 12, .observer = true});
    info.players.append(ReplayPlayer{.team = 0, .computer = true});
    info.slotTable.resize(6);
    for (int i = 0; i < 5; ++i)
        info.slotTable[i].playerId = i + 1;
    WalkReplayGame(r.bytes, info);
    info.whole = true;
    return info;
}
} // namespace

TEST(ReplayGame, ResultsFromTheLeaveRecordsOnly)
{
    constexpr quint32 remote = 0x01, local = 0x0C, left = 0x07, lost = 0x08, won = 0x09, draw = 0x0A, observerLeft = 0x0B;
    const struct { const char *what; Records records; int winner; } cases[] = {
        {"a team leaves one by one", Records().slot(100).leave(remote, 3, left).leave(remote, 5, observerLeft).leave(remote, 4, left).leave(local, 1, left), 0},
        {"one of a team left, then the recording ends", Records().leave(remote, 3, left).leave(local, 1, left).leave(local, 4, left), -1},
        {"the recording player won", Records().leave(local, 2, won), 0},
        {"a draw", Records().leave(remote, 1, draw).leave(remote, 3, left).leave(remote, 4, left), -1},
        {"everyone closed with the recording", Records().leave(local, 1, left).leave(local, 2, left).leave(local, 3, left).leave(local, 4, left), -1},
        {"a computer keeps its team in", Records().leave(remote, 1, left).leave(remote, 2, lost).leave(remote, 3, left).leave(remote, 4, left), 0},
        {"chat says nothing of it", Records().chat(3, 0x20, 0, "gg, I lost").leave(local, 1, left), -1},
    };
    for (const auto &c : cases) {
        const ReplayInfo info = walked(c.records);
        EXPECT_EQ(info.winningTeam, c.winner) << c.what;
        QStringList results;
        for (const ReplayPlayer &p : info.players)
            results << ReplayResultText(p.result);
        const QString humans = c.winner == 0 ? u8s("胜 胜 负 负") : u8s("未知 未知 未知 未知");
        EXPECT_EQ(results.mid(0, 4).join(u' '), humans) << c.what;
        EXPECT_EQ(info.players.at(4).result, ReplayResult::Unknown) << c.what;  // observers have none
    }
}

TEST(ReplayGame, ActionsWhileInTheGameAndChatChannels)
{
    // Player 1 at 30 s: a selection (1), the game's own pre-subselection and subgroup
    // (0), Tab (1), a trigger chat line (0), Esc (1); leaves at 90 s; Esc at 100 s (0).
    // 1.26: orders carry two-byte flags; 0x19 has its 12 bytes.
    const QByteArray select("\x16\x01\x01\x00\x01\x00\x00\x00\x01\x00\x00\x00", 12);
    const QByteArray subgroup = QByteArray("\x19", 1) + QByteArray(12, '\x01');
    const QByteArray trigger = QByteArray("\x60", 1) + QByteArray(8, '\x01') + QByteArray("-ap\0", 4);
    const QByteArray actions = select + QByteArray("\x1A", 1) + subgroup + subgroup + trigger + QByteArray("\x61", 1);
    Records r;
    r.slot(30000, 1, actions).slot(60000).leave(0x01, 1, 0x07).slot(10000, 1, QByteArray("\x61", 1)).slot(5000, 2, QByteArray("\x61", 1));
    r.chat(1, 0x20, 0, "all").chat(2, 0x20, 1, "allies").chat(5, 0x20, 2, "observers").chat(3, 0x20, 3 + 0, "to p1").chat(4, 0x10, 0, "loading");
    const ReplayInfo info = walked(r);
    const ReplayPlayer &p1 = info.players.at(0), &p2 = info.players.at(1);
    EXPECT_EQ(std::tuple(p1.actions, p1.leftAtMs, p1.apm, p1.apmPerMinute), std::tuple(qint64(3), qint64(90000), 2, QList<int>{3, 0}));
    // Player 2 never left: in the game to the end (105 s); one action in minute 2 of 45 s.
    EXPECT_EQ(std::tuple(p2.actions, p2.leftAtMs, p2.apm, p2.apmPerMinute), std::tuple(qint64(1), qint64(-1), 1, QList<int>{0, 1}));
    EXPECT_EQ(info.endMs, 105000);
    QStringList chat;
    for (const ReplayChatLine &line : info.chat)
        chat << QStringLiteral("%1 %2 %3 %4 %5").arg(line.timeMs).arg(line.sender, ReplayChannelText(line.channel)).arg(line.toSlot).arg(line.text);
    EXPECT_EQ(chat, QStringList({u8s("105000 p1 所有人 -1 all"), u8s("105000 p2 盟友 -1 allies"), u8s("105000 obs 观察者 -1 observers"),
                                 u8s("105000 p3 私聊 0 to p1"), u8s("105000 p4 所有人 -1 loading")}));
    EXPECT_TRUE(ReplayAnalysisHtml(info).contains(u8s("私聊 → p1")));
}
