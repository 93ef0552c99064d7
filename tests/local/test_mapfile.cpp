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
