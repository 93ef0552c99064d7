// Paths below the game folder: what is refused, how "\" paths land on a
// case-sensitive file system, and the wildcard search of earlier downloads.
#include "download/gamepath.h"
#include "support/testfiles.h"

#include <QTemporaryDir>

TEST(GamePath, GameFolderOfExecutable)
{
    const QPair<QString, QString> rows[] = {
        {u8s("C:\\Games\\War3\\War3.exe"), u8s("C:\\Games\\War3\\")},
        {u8s("D:/War3\\War3.exe"), u8s("D:/War3\\")},
        {u8s("War3.exe"), QString()},
    };
    for (const auto &[exe, folder] : rows)
        EXPECT_EQ(GameFolderOf(exe), folder) << exe.toStdString();
}

TEST(GamePath, NamesAndRelativePathsRefusedOrAccepted)
{
    const QString accepted[] = {
        u8s("replay\\9：5：7 _Sky VS 风神 (1003).w3g"),  // full-width colon is a letter
        u8s("Maps/Download/(2)古老之地.w3x"), u8s("Maps\\a..b.w3x"), u8s("replay\\COM10.w3g"),
        u8s("replay\\CONSOLE.w3g"), QString(85, QChar(0x98CE)),  // 255 bytes in UTF-8
    };
    const QString refused[] = {
        QString(), u8s(".."), u8s("Maps\\..\\..\\boot.ini"), u8s("Maps/../x.w3x"), u8s("."), u8s("Maps\\...\\x.w3x"),
        u8s("\\Windows\\x.w3x"), u8s("/etc/passwd"), u8s("\\\\server\\share\\x.w3x"), u8s("C:\\x.w3x"), u8s("C:x.w3x"),
        u8s("Maps\\\\x.w3x"), u8s("Maps\\"), QStringLiteral("Maps\\a") + QChar(u'\0') + QStringLiteral(".w3x"),
        u8s("replay\\CON"), u8s("replay\\con.w3g"), u8s("Maps\\Lpt9.w3x"), u8s("Aux"), u8s("COM1 .w3g"),
        u8s("a<b.w3g"), u8s("a>b.w3g"), u8s("Maps\\C:\\x.w3x"), u8s("a\"b.w3g"), u8s("a|b.w3g"), u8s("a?b.w3g"),
        u8s("replay\\*x.w3g"), u8s("a\tb.w3g"), u8s("a\x1f" "b.w3g"), QString(256, u'x'), QString(86, QChar(0x98CE)),
    };
    const auto check = [](const QString &path, bool ok) {
        const QString reason = CheckRelativePath(path);
        EXPECT_EQ(reason.isEmpty(), ok) << path.toStdString() << " " << reason.toStdString();
        const ResolvedPath r = ResolveInGameFolder(QStringLiteral("/nonexistent-game/"), path);
        EXPECT_EQ(r.ok(), ok) << path.toStdString();
        EXPECT_EQ(r.path.isEmpty(), !ok) << path.toStdString();
    };
    for (const QString &p : accepted)
        check(p, true);
    for (const QString &p : refused)
        check(p, false);
    // A single name: no separator, never only dots.
    for (const char *name : {"..", ".", "...", "a\\b.w3g", "a/b.w3g", ""})
        EXPECT_FALSE(CheckFileName(u8s(name)).isEmpty()) << name;
    EXPECT_TRUE(CheckFileName(u8s("a..b.w3g")).isEmpty());
    // No game folder: nothing resolves.
    EXPECT_FALSE(ResolveInGameFolder(QString(), u8s("replay\\a.w3g")).ok());
}

TEST(GamePath, WildcardIsOnlyStarAndQuestionMark)
{
    const struct {
        const char *pattern, *name;
        bool match;
    } rows[] = {
        {"*sky vs moon.W3G", "9：5：7 _Sky VS Moon.w3g", true},
        {"*Sky VS Moon.w3g", "Sky VS Moon.w3g", true},
        {"*Sky VS Moon.w3g", "Sky VS Moon.w3g.bak", false},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"a*b*c", "aXXbYc", true},
        {"[ab]*", "a.w3g", false},
        {"[ab]*", "[ab] x.w3g", true},
        {".*", "abc", false},
    };
    for (const auto &r : rows)
        EXPECT_EQ(WildcardMatch(u8s(r.pattern), u8s(r.name)), r.match) << r.pattern << " / " << r.name;
}

class GameFolderOnDisk : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString game;  // the game folder, with its trailing separator
    QString replays;
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        game = dir.path() + u'/';
        replays = game + QStringLiteral("Replay/");
        QDir(game).mkpath(QStringLiteral("Replay"));
        WriteBytes(game + QStringLiteral("maps/Download/(4)TurtleRock.w3x"), "w3x");
        WriteBytes(game + QStringLiteral("maps/loose.w3x"), "w3x");
    }
};

TEST_F(GameFolderOnDisk, ExistingPartsAreFoundWithoutLetterCase)
{
    const QPair<QString, QString> rows[] = {
        {u8s("replay\\a.w3g"), u8s("Replay/a.w3g")},
        {u8s("MAPS\\download\\(4)turtlerock.W3X"), u8s("maps/Download/(4)TurtleRock.w3x")},
        {u8s("Maps\\Download\\New\\x.w3x"), u8s("maps/Download/New/x.w3x")},  // new parts keep their spelling
        {u8s("Missing\\Download\\x.w3x"), u8s("Missing/Download/x.w3x")},
    };
    for (const auto &[relative, expected] : rows) {
        const ResolvedPath r = ResolveInGameFolder(game, relative);
        ASSERT_TRUE(r.ok()) << relative.toStdString();
        EXPECT_EQ(r.path, game + expected) << relative.toStdString();
    }
    EXPECT_TRUE(IsRegularFile(game, u8s("Maps\\Download\\(4)turtlerock.w3x")));
    EXPECT_FALSE(IsRegularFile(game, u8s("Maps\\Download")));  // a folder
    EXPECT_FALSE(IsRegularFile(game, u8s("Maps\\")));
    EXPECT_FALSE(IsRegularFile(game, u8s("Maps\\Download\\*.w3x")));  // never a pattern
    EXPECT_FALSE(IsRegularFile(QString(), u8s("Maps\\loose.w3x")));

    EXPECT_EQ(ResolveMapFolder(game, u8s("Maps\\Download\\(4)TurtleRock.w3x")).path, game + u8s("maps/Download"));
    EXPECT_EQ(ResolveMapFolder(game, u8s("(4)TurtleRock.w3x")).path, game);
    EXPECT_FALSE(ResolveMapFolder(game, u8s("Maps\\..\\x.w3x")).ok());
    EXPECT_FALSE(ResolveMapFolder(game, u8s("Maps\\Download\\")).ok());

    // The exact spelling wins over another letter case.
    QDir(game).mkpath(QStringLiteral("replay"));
    EXPECT_EQ(ResolveInGameFolder(game, u8s("replay\\a.w3g")).path, game + u8s("replay/a.w3g"));
    EXPECT_EQ(ResolveInGameFolder(game, u8s("Replay\\a.w3g")).path, game + u8s("Replay/a.w3g"));
}

TEST_F(GameFolderOnDisk, SearchGivesRegularFilesInNameOrder)
{
    for (const char *name : {"9：5：7 _Sky VS Moon (1003).w3g", "1：2：3 _Sky VS Moon (1003).w3g",
                             "14：30：0 _sky vs moon (1003).W3G", "Sky VS Moon (1003).w3g.part", "[1] x.w3g", "1 x.w3g"})
        WriteBytes(replays + u8s(name), "w3g");
    QDir(replays).mkpath(u8s("0：0：0 _Sky VS Moon (1003).w3g"));  // a folder that fits
    QFile::link(replays + u8s("0：0：0 _Sky VS Moon (1003).w3g"), replays + u8s("0：0：1 _Sky VS Moon (1003).w3g"));

    // "4" (U+0034) sorts before the full-width colon (U+FF1A).
    const QStringList expected = {
        replays + u8s("14：30：0 _sky vs moon (1003).W3G"),
        replays + u8s("1：2：3 _Sky VS Moon (1003).w3g"),
        replays + u8s("9：5：7 _Sky VS Moon (1003).w3g"),
    };
    EXPECT_EQ(FindMatches(replays, u8s("*Sky VS Moon (1003).w3g")), expected);
    EXPECT_EQ(FindFirstMatch(game, u8s("replay\\*Sky VS Moon (1003).w3g")), expected.first());
    EXPECT_EQ(FindMatches(replays, u8s("[1]*")), QStringList{replays + u8s("[1] x.w3g")});
    EXPECT_TRUE(FindFirstMatch(game, u8s("replay\\*nothing.w3g")).isEmpty());
    EXPECT_TRUE(FindFirstMatch(game, u8s("..\\*")).isEmpty());
    EXPECT_TRUE(FindFirstMatch(QString(), u8s("replay\\*")).isEmpty());
}

TEST_F(GameFolderOnDisk, DownloadedReplayNeedsReplayAndExactMap)
{
    WriteBytes(replays + u8s("9：5：7 _Sky VS 风神 (1003).w3g"), "w3g");
    WriteBytes(replays + u8s("10：0：0 _Sky VS 风神 (1003).w3g"), "w3g");
    const QString name = u8s("Sky VS 风神 (1003).w3g");
    const QString map = u8s("Maps\\Download\\(4)TurtleRock.w3x");

    const DownloadedReplay found = FindDownloadedReplay(game, name, map);
    EXPECT_TRUE(found.onDisk);
    EXPECT_EQ(found.replayPath, replays + u8s("10：0：0 _Sky VS 风神 (1003).w3g"));
    EXPECT_EQ(found.mapFile, game + u8s("maps/Download/(4)TurtleRock.w3x"));

    const struct {
        QString game, name, map;
    } notOnDisk[] = {
        {QString(), name, map},                                    // no game path
        {game, name, u8s("Maps\\Download\\(4)LostTemple.w3x")},  // map missing
        {game, name, u8s("Maps\\Download\\*.w3x")},              // the map is a file, not a pattern
        {game, name, u8s("Maps\\")},                             // no map file name
        {game, name, u8s("Maps\\Download")},                     // a folder
        {game, name, u8s("Maps\\..\\maps\\loose.w3x")},
        {game, QString(), map},
        {game, u8s("*.w3g"), map},
        {game, u8s("Sky VS ?? (1003).w3g"), map},
        {game, u8s("x/Sky VS 风神 (1003).w3g"), map},
        {game, u8s("a..b"), map},
    };
    for (const auto &r : notOnDisk) {
        const DownloadedReplay d = FindDownloadedReplay(r.game, r.name, r.map);
        EXPECT_FALSE(d.onDisk) << r.name.toStdString() << " " << r.map.toStdString();
        EXPECT_TRUE(d.replayPath.isEmpty());
    }
}

TEST(GamePath, ReplayNameAndSearchPattern)
{
    EXPECT_EQ(ReplayNameOf(u8s("http://h/Download.aspx?ReplayID=1003&file=/replay/Sky%20VS%20%B7%E7%C9%F1%20%281003%29.w3g")),
              u8s("Sky VS 风神 (1003).w3g"));
    EXPECT_EQ(ReplayNameOf(u8s("a%20b.w3g")), u8s("a b.w3g"));
    EXPECT_EQ(ReplayNameOf(u8s("http://h/x/")), QString());
    EXPECT_EQ(ReplaySearchPattern(u8s("C:\\War3\\"), u8s("a b.w3g")), u8s("C:\\War3\\replay\\*a b.w3g"));
    EXPECT_EQ(ReplaySearchPattern(QString(), u8s("a.w3g")), u8s("replay\\*a.w3g"));
}
