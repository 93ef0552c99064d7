// What a local replay's click hands the pane, made off the window's thread: the
// cases the window tests do not reach (the picture's bytes, hostile texts, the
// replays that cannot be read).
#include "demo/demofiles.h"
#include "demo/mapwriter.h"
#include "local/localview.h"
#include "support/testfiles.h"

#include <QImage>
#include <QTemporaryDir>

namespace {
const QString kRealReplays = QStringLiteral(QUILLMARK_TEST_DATA "/real-replays/");

QImage PictureOf(const QString &dataUrl)
{
    const qsizetype comma = dataUrl.indexOf(u',');
    return QImage::fromData(QByteArray::fromBase64(dataUrl.mid(comma + 1).toLatin1()), "JPEG");
}

bool Near(QColor c, int r, int g, int b) { return qAbs(c.red() - r) < 24 && qAbs(c.green() - g) < 24 && qAbs(c.blue() - b) < 24; }
} // namespace

TEST(LocalView, ReplayWithItsMapAndWithout)
{
    QTemporaryDir game;
    const QString withMap = game.filePath(QStringLiteral("replay/a.w3g")), without = game.filePath(QStringLiteral("replay/b.w3g"));
    WriteBytes(withMap, DemoReplayFile(1021));  // 1.24, Maps\Download\(4)TwistedMeadows.w3x
    WriteBytes(without, ReadBytes(kRealReplays + QStringLiteral("w3gjs/200/2.0.2-Melee.w3g")));
    WriteBytes(game.filePath(QStringLiteral("MAPS/download/(4)TWISTEDMEADOWS.w3x")),
               DemoMapFile(QStringLiteral("tm"), QStringLiteral("(4)TwistedMeadows.w3x")));

    const LocalReplayView a = ReadLocalReplayView(withMap, game.path() + u'/');
    ASSERT_TRUE(a.readable);
    EXPECT_EQ(std::tuple(a.version, a.mapPath, a.mapState), std::tuple(24, u8s("Maps\\Download\\(4)TwistedMeadows.w3x"), ReplayMap::State::Readable));
    EXPECT_EQ(a.detail.summary.split(u'\n').mid(0, 3), (QStringList{u8s("游戏名称：月神 VS 小鬼"), u8s("地图：TwistedMeadows"), u8s("作者：演示地图工坊")}));
    // The demo picture: a blue lake in the middle; outside the circle the map leaves
    // transparent, black.
    ASSERT_TRUE(a.minimapUrl.startsWith(QStringLiteral("data:image/jpeg;base64,")));
    const QImage picture = PictureOf(a.minimapUrl);
    ASSERT_EQ(picture.size(), QSize(kMinimapSide, kMinimapSide));
    EXPECT_TRUE(Near(picture.pixelColor(kMinimapSide / 2 + 2, kMinimapSide / 2 + 2), 30, 60, 170));
    EXPECT_TRUE(Near(picture.pixelColor(2, kMinimapSide - 3), 0, 0, 0));

    // 2.0, no map in the folder: said, no picture; the whole game in the analysis.
    const LocalReplayView b = ReadLocalReplayView(without, game.path() + u'/');
    ASSERT_TRUE(b.readable);
    EXPECT_EQ(std::tuple(b.version, b.mapState, b.minimapUrl), std::tuple(10100, ReplayMap::State::Missing, QString()));
    EXPECT_EQ(b.detail.summary.split(u'\n').value(1), u8s("缺少地图"));
    EXPECT_TRUE(b.analysis.contains(QStringLiteral("don't hurt me")) && b.analysis.contains(QStringLiteral("<svg")));
    // Without a game folder no map is found.
    EXPECT_EQ(ReadLocalReplayView(withMap, QString()).mapState, ReplayMap::State::Missing);
}

TEST(LocalView, UnreadableFilesSayWhy)
{
    QTemporaryDir game;
    QByteArray flipped = ReadBytes(kRealReplays + QStringLiteral("gowarcraft3/test_132.w3g"));
    flipped[flipped.size() - 10] = char(flipped[flipped.size() - 10] ^ 0x40);  // in the last block
    WriteBytes(game.filePath(QStringLiteral("flipped.w3g")), flipped);
    WriteBytes(game.filePath(QStringLiteral("text.w3g")), "Warcraft III recorded game, or so it says");
    const struct { const char *file; QString why; } cases[] = {
        {"flipped.w3g", u8s("录像文件已损坏：校验和不符。")}, {"text.w3g", u8s("这不是一个完整的录像文件。")}, {"gone.w3g", u8s("找不到该录像文件。")}};
    for (const auto &c : cases) {
        const LocalReplayView v = ReadLocalReplayView(game.filePath(QLatin1String(c.file)), game.path());
        EXPECT_EQ(std::tuple(v.readable, v.detail.summary, v.minimapUrl), std::tuple(false, c.why, QString())) << c.file;
        EXPECT_TRUE(v.analysis.contains(c.why)) << c.file;
    }
    // Whatever the text, the document holds it only as text.
    EXPECT_TRUE(LocalReplayProblemHtml(QStringLiteral("<img src=x>")).contains(QStringLiteral("&lt;img src=x&gt;")));
    EXPECT_FALSE(LocalReplayProblemHtml(QStringLiteral("<img src=x>")).contains(QStringLiteral("<img")));
    EXPECT_TRUE(MinimapDataUrl(QImage()).isEmpty());
    // The map's lines go after the game name's line, whatever the summary holds.
    EXPECT_EQ(LocalSummaryWithMap(u8s("游戏名称：x\na"), u8s("缺少地图")), u8s("游戏名称：x\n缺少地图\na"));
    EXPECT_EQ(LocalSummaryWithMap(u8s("游戏名称：x"), u8s("缺少地图")), u8s("游戏名称：x\n缺少地图"));
}
