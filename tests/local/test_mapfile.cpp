// The map reader on the demo maps (every picture variant, texts through the string
// table) and on damaged copies of them: each is unreadable or bounded, never a crash.
#include "demo/demofiles.h"
#include "demo/mapwriter.h"
#include "download/transfer.h"
#include "local/blpimage.h"
#include "local/mapfile.h"
#include "support/testfiles.h"

#include <QTemporaryDir>
#include <QtEndian>

#include <fcntl.h>
#include <unistd.h>

namespace {
enum class Look { Jpeg, Exact, Alpha };

struct DemoMapCase {
    const char *folder, *file, *name, *author, *players;
    int seats;
    Look look;
};

// The stated facts of the demo maps (demo/demofiles.h).
const DemoMapCase kDemoMaps[] = {
    {"tr", "(4)TurtleRock.w3x", "TurtleRock", "演示地图工坊", "4 人", 4, Look::Jpeg},
    {"lt", "(4)LostTemple.w3x", "LostTemple", "演示地图工坊", "4 人", 4, Look::Exact},
    {"tm", "(4)TwistedMeadows.w3x", "TwistedMeadows", "演示地图工坊", "4 人", 4, Look::Alpha},
    {"ts", "(2)TerenasStand_LV.w3x", "TerenasStand", "演示地图工坊", "2 人", 2, Look::Exact},  // TGA only
    {"gl", "(2)古老之地.w3x", "古老之地", "演示地图工坊", "2 人", 2, Look::Alpha},  // texts in war3map.wts
    {"g7h8i9", "DotA Allstars v6.66.w3x", "DotA Allstars v6.66", "DotA 演示作者", "5v5", 12, Look::Jpeg},
};

// The demo minimap: lake in the middle, field left of it, the circle's corners
// transparent in the alpha variant.
bool blueish(QRgb c) { return qBlue(c) > qRed(c) + 60 && qBlue(c) > qGreen(c) + 60; }
bool greenish(QRgb c) { return qGreen(c) > qRed(c) + 30 && qGreen(c) > qBlue(c) + 30; }

QString writeTemp(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    WriteBytes(path, bytes);
    return path;
}
} // namespace

TEST(MapFile, DemoMapsGiveTheirFactsAndMinimaps)
{
    QTemporaryDir dir;
    for (const DemoMapCase &c : kDemoMaps) {
        SCOPED_TRACE(c.file);
        const QByteArray bytes = DemoMapFile(u8s(c.folder), u8s(c.file));
        ASSERT_FALSE(bytes.isEmpty());
        EXPECT_TRUE(LooksLikeMap(bytes.left(4)));  // the download's check still holds
        const MapFile map = ReadMapFile(writeTemp(dir, u8s(c.file), bytes));
        ASSERT_TRUE(map.readable);
        EXPECT_EQ(map.facts.name, u8s(c.name));
        EXPECT_EQ(map.facts.author, u8s(c.author));
        EXPECT_EQ(map.facts.suggestedPlayers, u8s(c.players));
        EXPECT_EQ(map.facts.playerSlots, c.seats);
        EXPECT_FALSE(map.facts.description.isEmpty());
        ASSERT_EQ(map.minimap.size(), QSize(256, 256));
        EXPECT_TRUE(blueish(map.minimap.pixel(128, 128)));
        EXPECT_TRUE(greenish(map.minimap.pixel(40, 128)));
        if (c.look != Look::Jpeg) {  // paletted and TGA pictures come out exactly
            EXPECT_EQ(map.minimap.pixel(128, 128), qRgb(30, 60, 170));
            EXPECT_EQ(map.minimap.pixel(100, 100), qRgb(140, 100, 60));
        }
        if (c.look == Look::Alpha) {
            EXPECT_EQ(qAlpha(map.minimap.pixel(1, 1)), 0);
            EXPECT_EQ(qAlpha(map.minimap.pixel(128, 128)), 255);
        }
    }
    // The map of the download figure keeps its size.
    EXPECT_EQ(DemoMapFile(u8s("g7h8i9"), u8s("DotA Allstars v6.66.w3x")).size(), 8 * 1024 * 1024);
}

namespace {
// The archive's own table encryption, enough to damage a block table the way a
// broken or hostile file would (the algorithm is the archive format's public one).
struct MpqCrypt {
    quint32 table[0x500];
    MpqCrypt()
    {
        quint32 seed = 0x00100001;
        for (int i = 0; i < 0x100; ++i)
            for (int k = 0, at = i; k < 5; ++k, at += 0x100) {
                seed = (seed * 125 + 3) % 0x2AAAAB;
                const quint32 high = (seed & 0xFFFF) << 16;
                seed = (seed * 125 + 3) % 0x2AAAAB;
                table[at] = high | (seed & 0xFFFF);
            }
    }
    quint32 hash(const char *text, int type) const
    {
        quint32 a = 0x7FED7FED, b = 0xEEEEEEEE;
        for (; *text; ++text) {
            const quint32 ch = quint32(toupper(uchar(*text)));
            a = table[type * 0x100 + ch] ^ (a + b);
            b = ch + a + b + (b << 5) + 3;
        }
        return a;
    }
    void run(quint32 *data, int count, quint32 key, bool encrypt) const
    {
        quint32 seed = 0xEEEEEEEE;
        for (int i = 0; i < count; ++i) {
            seed += table[0x400 + (key & 0xFF)];
            const quint32 plain = encrypt ? data[i] : data[i] ^ (key + seed);
            data[i] = encrypt ? data[i] ^ (key + seed) : plain;
            key = ((~key << 0x15) + 0x11111111) | (key >> 0x0B);
            seed = plain + seed + (seed << 5) + 3;
        }
    }
};

// MPQ header fields, from the archive's start (behind the 512-byte map header).
constexpr int kMpq = 512, kHashPos = kMpq + 16, kBlockPos = kMpq + 20, kHashCount = kMpq + 24, kBlockCount = kMpq + 28;

quint32 u32(const QByteArray &b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }
QByteArray withU32(QByteArray b, int at, quint32 v)
{
    qToLittleEndian(v, b.data() + at);
    return b;
}

// Every block entry claims a file of `size` bytes, `size` packed.
QByteArray hugeBlockSizes(QByteArray b, quint32 size)
{
    static const MpqCrypt crypt;
    const int count = int(u32(b, kBlockCount));
    quint32 *table = reinterpret_cast<quint32 *>(b.data() + kMpq + u32(b, kBlockPos));
    const quint32 key = crypt.hash("(block table)", 3);
    crypt.run(table, count * 4, key, false);
    for (int i = 0; i < count; ++i)
        table[4 * i + 1] = table[4 * i + 2] = size;  // packed, unpacked size
    crypt.run(table, count * 4, key, true);
    return b;
}

// A readable result must still be within the bounds.
void expectBounded(const MapFile &m)
{
    if (!m.readable)
        return;
    EXPECT_LE(m.facts.name.size(), kMapLineMaxChars);
    EXPECT_LE(m.facts.description.size(), kMapDescriptionMaxChars);
    EXPECT_LE(m.minimap.width(), kMapPictureMaxSide);
    EXPECT_LE(m.minimap.height(), kMapPictureMaxSide);
}
} // namespace

TEST(MapFile, DamagedArchivesAreUnreadable)
{
    QTemporaryDir dir;
    const QByteArray good = DemoMapFile(u8s("lt"), u8s("(4)LostTemple.w3x"));
    ASSERT_TRUE(good.mid(kMpq, 4) == QByteArray("MPQ\x1A"));
    ASSERT_TRUE(ReadMapFile(writeTemp(dir, u8s("good.w3x"), good)).readable);
    const struct {
        const char *what;
        QByteArray bytes;
    } cases[] = {
        {"empty", QByteArray()},
        {"only the map header", good.left(kMpq)},
        {"cut inside the archive header", good.left(kMpq + 20)},
        {"cut in the middle", good.left(good.size() / 2)},
        {"no archive: the download check's header and noise", DemoMapBytes(200000, 3)},
        {"hash table past the end", withU32(good, kHashPos, 0x7FFFFF00)},
        {"block table past the end", withU32(good, kBlockPos, 0x7FFFFF00)},
        {"hash table of 2^28 entries", withU32(good, kHashCount, 0x10000000)},
        {"block table of 2^28 entries", withU32(good, kBlockCount, 0x10000000)},
        {"block table with 4 GiB files", hugeBlockSizes(good, 0xFFFFFFF0)},
        {"block table with 100 MiB files", hugeBlockSizes(good, 100 * 1024 * 1024)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(ReadMapFile(writeTemp(dir, u8s("bad.w3x"), c.bytes)).readable);
    }
    // A small map (no filler): every byte of its archive header at its extremes (a
    // sector size of 512 << 255 once made StormLib divide by zero), then one byte at a
    // time all through its archive.
    DemoMapDescription small{u8s("Small"), u8s("A"), u8s("D"), u8s("2"), 2, true, DemoMinimap::BlpJpeg};
    const QByteArray smallMap = WriteDemoMap(small);
    ASSERT_TRUE(ReadMapFile(writeTemp(dir, u8s("small.w3x"), smallMap)).readable);
    expectBounded(ReadMapFile(writeTemp(dir, u8s("cut.w3x"), smallMap.chopped(1))));  // block table cut short
    for (int at = kMpq; at < kMpq + 32; ++at)
        for (char v : {'\0', '\xFF', '\x7F'}) {
            QByteArray b = smallMap;
            b[at] = v;
            expectBounded(ReadMapFile(writeTemp(dir, u8s("byte.w3x"), b)));
        }
    for (qsizetype at = kMpq; at < smallMap.size(); at += 29) {
        QByteArray b = smallMap;
        b[at] = char(b[at] ^ 0x5A);
        expectBounded(ReadMapFile(writeTemp(dir, u8s("flip.w3x"), b)));
    }
    EXPECT_FALSE(ReadMapFile(dir.filePath(u8s("missing.w3x"))).readable);
    EXPECT_FALSE(ReadMapFile(dir.path()).readable) << "a folder is no map";
}

TEST(MapFile, BlpVariantsAndDamagedPictures)
{
    const QImage alpha = DemoMinimapAlpha(DemoMinimapPicture(9, 64));
    // Paletted with 1, 4 and 8 bits of alpha: colours exact, alpha to its depth.
    for (int bits : {1, 4, 8}) {
        SCOPED_TRACE(bits);
        const QImage image = DecodeBlp(WriteDemoBlp(alpha, false, bits));
        ASSERT_EQ(image.size(), QSize(64, 64));
        EXPECT_EQ(image.pixel(32, 32), qRgba(30, 60, 170, 255));
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(image.pixel(63, 0)), 0);
    }
    const QByteArray paletted = WriteDemoBlp(DemoMinimapPicture(9), false);
    const QByteArray jpeg = WriteDemoBlp(DemoMinimapPicture(9), true);
    ASSERT_EQ(DecodeBlp(paletted).size(), QSize(256, 256));
    ASSERT_EQ(DecodeBlp(jpeg).size(), QSize(256, 256));
    const QImage one(1, 1, QImage::Format_RGB32);
    QImage red = one;
    red.fill(qRgb(200, 0, 0));
    EXPECT_EQ(DecodeBlp(WriteDemoBlp(red, false)).pixel(0, 0), qRgb(200, 0, 0)) << "a real 1 x 1 picture";

    // Header: "BLP1", compression 4, alpha bits 8, width 12, height 16, offsets 28, sizes 92.
    const struct {
        const char *what;
        QByteArray bytes;
        bool sizeBounded;  // may decode, within the bounds; else null
    } cases[] = {
        {"paletted: first mipmap offset past the end", withU32(paletted, 28, quint32(paletted.size()) + 1), false},
        {"paletted: first mipmap offset at 2^32 - 1", withU32(paletted, 28, 0xFFFFFFFF), false},
        {"paletted: first mipmap size short of the picture", withU32(paletted, 92, 1000), false},
        {"paletted: offset plus size wraps", withU32(withU32(paletted, 28, 0xFFFFFF00), 92, 0x200), false},
        {"jpeg: first mipmap offset past the end", withU32(jpeg, 28, quint32(jpeg.size()) + 1), false},
        {"jpeg: first mipmap size past the end", withU32(jpeg, 92, 0xFFFFFFF0), false},
        {"jpeg: shared header size past the end", withU32(jpeg, 156, 0x7FFFFFFF), false},
        {"paletted: claims 65536 x 65536", withU32(withU32(paletted, 12, 65536), 16, 65536), false},
        {"jpeg: claims 65536 x 65536", withU32(withU32(jpeg, 12, 65536), 16, 65536), false},
        {"paletted: claims 0 x 256", withU32(paletted, 12, 0), false},
        {"paletted: alpha of 3 bits", withU32(paletted, 8, 3), false},
        {"compression 2", withU32(paletted, 4, 2), false},
        {"cut inside the header", paletted.left(100), false},
        {"cut inside the palette", paletted.left(400), false},
        {"cut inside the picture", paletted.left(paletted.size() / 2), false},
        {"not BLP1", QByteArray("BLP2") + paletted.mid(4), false},
        {"paletted: claims 1 x 1", withU32(withU32(paletted, 12, 1), 16, 1), true},
        {"jpeg: claims 1 x 1", withU32(withU32(jpeg, 12, 1), 16, 1), true},
        {"jpeg: picture data cut", withU32(jpeg, 92, 40), true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QImage image = DecodeBlp(c.bytes);
        if (!c.sizeBounded)
            EXPECT_TRUE(image.isNull());
        EXPECT_LE(image.width(), kMapPictureMaxSide);
        EXPECT_LE(image.height(), kMapPictureMaxSide);
    }
    // A TGA that claims 65535 x 65535 over a few bytes, and one cut short.
    const QByteArray tga = WriteDemoTga(DemoMinimapPicture(9, 16));
    EXPECT_EQ(DecodeTga(tga).pixel(8, 8), qRgb(30, 60, 170));
    QByteArray huge = tga.left(18);
    huge[12] = huge[13] = huge[14] = huge[15] = char(0xFF);
    EXPECT_TRUE(DecodeTga(huge + QByteArray(64, '\x10')).isNull());
    EXPECT_LE(DecodeTga(tga.left(200)).width(), 16);
}

TEST(MapFile, InfoFileVersionsStringTableAndTexts)
{
    const QByteArray wts = "\xEF\xBB\xBFSTRING 1\r\n// the name\r\n{\r\n|cffff0000Red|r Map\r\n}\r\n\r\n"
                           "STRING 7\n{\nline one|nline two\n\n}\n"
                           "STRING 8\r\n// comment\r\n// more\r\n{\r\n作者\r\n}\r\n"
                           "STRING 9\r\nnot a brace\r\n{\r\nskipped\r\n}\r\n"
                           "STRING 10\r\n{\r\nnever ends\r\n";
    const QHash<int, QString> strings = ParseWts(wts);
    EXPECT_EQ(strings.value(1), u8s("|cffff0000Red|r Map"));
    EXPECT_EQ(strings.value(7), u8s("line one|nline two\n"));
    EXPECT_EQ(strings.value(8), u8s("作者"));
    EXPECT_FALSE(strings.contains(9) || strings.contains(10));
    EXPECT_EQ(ResolveTrigStr(u8s("TRIGSTR_008"), strings), u8s("作者")) << "leading zeros";
    EXPECT_EQ(ResolveTrigStr(u8s("TRIGSTR_2"), strings), u8s("TRIGSTR_2")) << "unknown: as it is";
    EXPECT_EQ(ResolveTrigStr(u8s("TRIGSTR_"), strings), u8s("TRIGSTR_"));
    EXPECT_EQ(ResolveTrigStr(u8s("Map TRIGSTR_1"), strings), u8s("Map TRIGSTR_1"));

    // Every format version: texts resolved and plain, the player slots counted.
    for (int version : {18, 25, 28, 31}) {
        SCOPED_TRACE(version);
        const auto facts = ParseW3i(WriteDemoW3i("TRIGSTR_001", "TRIGSTR_8", "TRIGSTR_007", "1v1\x01", 3, version), strings);
        ASSERT_TRUE(facts.has_value());
        EXPECT_EQ(facts->name, u8s("Red Map"));
        EXPECT_EQ(facts->author, u8s("作者"));
        EXPECT_EQ(facts->description, u8s("line one\nline two"));
        EXPECT_EQ(facts->suggestedPlayers, u8s("1v1"));
        EXPECT_EQ(facts->playerSlots, 3);
    }
    const QByteArray v25 = WriteDemoW3i("Name", "Author", "Text", "2", 2);
    const QByteArray longName(5000, 'n');
    EXPECT_EQ(ParseW3i(WriteDemoW3i(longName, "", "", "", 2), {})->name.size(), kMapLineMaxChars);
    EXPECT_FALSE(ParseW3i(v25.left(12 + 5 + 7 + 5), {})) << "breaks off in the fourth text";
    EXPECT_EQ(ParseW3i(v25.left(12 + 5 + 7 + 5 + 2), {})->playerSlots, 0) << "breaks off after the texts";
    EXPECT_FALSE(ParseW3i(withU32(v25, 0, 99), {})) << "unknown format version";
    EXPECT_FALSE(ParseW3i(QByteArray(), {}));
}

TEST(MapFile, ReplayMapFoundCaseFreeInTheGameFolder)
{
    QTemporaryDir game;
    const QString folder = game.path() + u'/';
    WriteBytes(game.filePath(u8s("Maps/Download/(2)古老之地.w3x")), DemoMapFile(u8s("gl"), u8s("(2)古老之地.w3x")));
    WriteBytes(game.filePath(u8s("Maps/Download/Broken.w3x")), DemoMapBytes(8192, 7));

    const ReplayMap found = FindReplayMap(folder, u8s("MAPS\\download\\(2)古老之地.W3X"));
    EXPECT_EQ(found.state, ReplayMap::State::Readable);
    EXPECT_EQ(found.path, game.filePath(u8s("Maps/Download/(2)古老之地.w3x")));
    EXPECT_EQ(found.map.facts.name, u8s("古老之地"));
    EXPECT_FALSE(found.map.minimap.isNull());

    EXPECT_EQ(FindReplayMap(folder, u8s("Maps\\Download\\broken.w3x")).state, ReplayMap::State::Unreadable);
    const ReplayMap missing = FindReplayMap(folder, u8s("Maps\\Download\\(4)TurtleRock.w3x"));
    EXPECT_EQ(missing.state, ReplayMap::State::Missing);
    EXPECT_EQ(missing.path, game.filePath(u8s("Maps/Download/(4)TurtleRock.w3x")));
    EXPECT_EQ(FindReplayMap(folder, u8s("Maps\\Download")).state, ReplayMap::State::Missing) << "a folder";
    for (const char *refused : {"..\\outside.w3x", "C:\\Maps\\x.w3x", "", "Maps\\"}) {
        const ReplayMap r = FindReplayMap(folder, u8s(refused));
        EXPECT_EQ(r.state, ReplayMap::State::Missing) << refused;
        EXPECT_TRUE(r.path.isEmpty()) << refused;
    }
    EXPECT_EQ(FindReplayMap(QString(), u8s("Maps\\Download\\(2)古老之地.w3x")).state, ReplayMap::State::Missing);

    // What the summary and the play button say of them.
    EXPECT_EQ(ReplayMapSummary(found, u8s("x")), u8s("地图：古老之地\n作者：演示地图工坊"));
    EXPECT_EQ(ReplayMapSummary(missing, u8s("Maps\\Download\\(4)TurtleRock.w3x")), u8s("缺少地图"));
    EXPECT_EQ(ReplayMapSummary(FindReplayMap(folder, u8s("Maps\\Download\\Broken.w3x")), u8s("Maps\\Download\\Broken.w3x")),
              u8s("地图：Broken（无法读取）"));
    ReplayMap unnamed = found;
    unnamed.map.facts.name.clear();
    unnamed.map.facts.author.clear();
    EXPECT_EQ(ReplayMapSummary(unnamed, u8s("Maps\\(2)Old.w3x")), u8s("地图：(2)Old"));
    EXPECT_EQ(MissingMapMessage(u8s("Maps\\Download\\(4)TurtleRock.w3x")), u8s("缺少地图：Maps\\Download\\(4)TurtleRock.w3x"));
}

// StormLib closes descriptor 0 when it fails to open a file; the reader and the
// demo writer never let it fail so, as descriptor 0 may be any file of the process
// (a download's part file once lost its descriptor so).
TEST(MapFile, DescriptorZeroSurvives)
{
    if (fcntl(0, F_GETFD) == -1)
        ASSERT_EQ(open("/dev/null", O_RDONLY), 0);
    QTemporaryDir dir;
    const QString path = writeTemp(dir, u8s("m.w3x"), WriteDemoMap({u8s("M"), u8s("A"), u8s("D"), u8s("2")}));
    EXPECT_TRUE(ReadMapFile(path).readable);
    EXPECT_FALSE(ReadMapFile(dir.filePath(u8s("missing.w3x"))).readable);
    EXPECT_FALSE(ReadMapFile(writeTemp(dir, u8s("noise.w3x"), DemoMapBytes(4096, 2))).readable);
    EXPECT_NE(fcntl(0, F_GETFD), -1);
}
