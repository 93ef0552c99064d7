// Paths below the game folder: what is refused, how "\" paths land on a
// case-sensitive file system, and the wildcard search of earlier downloads (which
// replay and map count as on disk is the details window's part).
#include "download/gamepath.h"
#include "support/testfiles.h"

#include <QTemporaryDir>

TEST(GamePath, FolderNamesAndPattern)
{
    EXPECT_EQ(GameFolderOf(u8s("D:/War3\\War3.exe")), u8s("D:/War3\\"));
    EXPECT_EQ(GameFolderOf(u8s("War3.exe")), QString());
    EXPECT_EQ(ReplayNameOf(u8s("http://h/Download.aspx?ReplayID=1003&file=/replay/Sky%20VS%20%B7%E7%C9%F1%20%281003%29.w3g")),
              u8s("Sky VS 风神 (1003).w3g"));
    EXPECT_EQ(ReplayNameOf(u8s("http://h/x/")), QString());
}

TEST(GamePath, HostilePathsAreRefused)
{
    const QString accepted[] = {u8s("replay\\9：5：7 _Sky VS 风神 (1003).w3g"), u8s("Maps/Download/(2)古老之地.w3x"),
                                u8s("Maps\\a..b.w3x"), u8s("replay\\COM10.w3g"), QString(85, QChar(0x98CE))};  // 255 bytes
    const QString refused[] = {
        QString(), QStringLiteral("Maps\\a") + QChar(u'\0') + QStringLiteral(".w3x"), u8s("\\\\server\\share\\x.w3x"),
        u8s("C:x.w3x"), u8s("Maps\\\\x.w3x"), u8s("Maps\\..\\..\\boot.ini"), u8s("Maps\\...\\x.w3x"), u8s("a\x1f" "b.w3g"),
        u8s("replay\\*x.w3g"), u8s("Maps\\C:\\x.w3x"), u8s("replay\\con.w3g"), u8s("Maps\\Lpt9.w3x"), u8s("COM1 .w3g"),
        QString(86, QChar(0x98CE))};
    const auto check = [](const QString &path, bool ok) {
        EXPECT_EQ(CheckRelativePath(path).isEmpty(), ok) << path.toStdString();
        const ResolvedPath r = ResolveInGameFolder(QStringLiteral("/nonexistent-game/"), path);
        EXPECT_EQ(r.ok() && !r.path.isEmpty(), ok) << path.toStdString();
    };
    for (const QString &p : accepted)
        check(p, true);
    for (const QString &p : refused)
        check(p, false);
    for (const char *name : {"..", "a/b.w3g"})  // a single name: no separator, never only dots
        EXPECT_FALSE(CheckFileName(u8s(name)).isEmpty()) << name;
    EXPECT_FALSE(ResolveInGameFolder(QString(), u8s("replay\\a.w3g")).ok());
}

TEST(GamePath, WildcardIsOnlyStarAndQuestionMark)
{
    const struct { const char *pattern, *name; bool match; } rows[] = {
        {"*sky vs moon.W3G", "9：5：7 _Sky VS Moon.w3g", true}, {"*Moon.w3g", "Moon.w3g.bak", false},
        {"a?c", "abc", true}, {"a?c", "ac", false}, {"a*b*c", "aXXbYc", true}, {"[ab]*", "a.w3g", false},
        {"[ab]*", "[ab] x.w3g", true}, {".*", "abc", false}};
    for (const auto &r : rows)
        EXPECT_EQ(WildcardMatch(u8s(r.pattern), u8s(r.name)), r.match) << r.pattern << " / " << r.name;
}

TEST(GamePath, OnDiskCaseFreeRegularFilesInOrder)
{
    QTemporaryDir dir;
    const QString game = dir.path() + u'/', replays = game + QStringLiteral("Replay/");
    WriteBytes(game + QStringLiteral("maps/Download/(4)TurtleRock.w3x"), "w3x");
    for (const char *name : {"9：5：7 _Sky VS Moon (1003).w3g", "1：2：3 _Sky VS Moon (1003).w3g",
                             "14：30：0 _sky vs moon (1003).W3G", "Sky VS Moon (1003).w3g.part"})
        WriteBytes(replays + u8s(name), "w3g");
    QDir(replays).mkpath(u8s("0：0：0 _Sky VS Moon (1003).w3g"));  // a folder that fits
    QFile::link(replays + u8s("0：0：0 _Sky VS Moon (1003).w3g"), replays + u8s("0：0：1 _Sky VS Moon (1003).w3g"));

    EXPECT_EQ(ResolveInGameFolder(game, u8s("MAPS\\download\\(4)turtlerock.W3X")).path, game + u8s("maps/Download/(4)TurtleRock.w3x"));
    EXPECT_EQ(ResolveInGameFolder(game, u8s("Maps\\Download\\New\\x.w3x")).path, game + u8s("maps/Download/New/x.w3x"));
    EXPECT_TRUE(IsRegularFile(game, u8s("Maps\\Download\\(4)turtlerock.w3x")));
    for (const char *notFile : {"Maps\\Download", "Maps\\Download\\*.w3x"})  // a folder; never a pattern
        EXPECT_FALSE(IsRegularFile(game, u8s(notFile))) << notFile;

    // "4" (U+0034) sorts before the full-width colon (U+FF1A).
    const QStringList expected = {replays + u8s("14：30：0 _sky vs moon (1003).W3G"),
                                  replays + u8s("1：2：3 _Sky VS Moon (1003).w3g"), replays + u8s("9：5：7 _Sky VS Moon (1003).w3g")};
    EXPECT_EQ(FindMatches(replays, u8s("*Sky VS Moon (1003).w3g")), expected);
    EXPECT_TRUE(FindFirstMatch(game, u8s("..\\*")).isEmpty());

    // The exact spelling wins over another letter case.
    QDir(game).mkpath(QStringLiteral("replay"));
    EXPECT_EQ(ResolveInGameFolder(game, u8s("replay\\a.w3g")).path, game + u8s("replay/a.w3g"));
    EXPECT_EQ(ResolveInGameFolder(game, u8s("Replay\\a.w3g")).path, game + u8s("Replay/a.w3g"));
}

TEST(GamePath, TheGameVersionIsReadFromGameDllElseTheExecutable)
{
    QTemporaryDir older, newer;
    WriteBytes(older.filePath(QStringLiteral("game.DLL")), "x");  // found case-free
    const QString exe = newer.filePath(QStringLiteral("Warcraft III.exe"));
    EXPECT_EQ(GameVersionFile(older.path() + u'/', older.filePath(QStringLiteral("War3.exe"))), older.filePath(QStringLiteral("game.DLL")));
    EXPECT_EQ(GameVersionFile(newer.path() + u'/', exe), exe);  // from 1.28 on: no Game.dll
    EXPECT_EQ(GameVersionFile(QString(), QString()), QString());
}
