// Paths below the game folder: what is refused, how "\" paths land on a
// case-sensitive file system, and the wildcard search of earlier downloads.
#include "download/gamepath.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QString u8s(const char *utf8) { return QString::fromUtf8(utf8); }

struct PathRow {
    QString path;
    bool accepted;
};

void touch(const QString &path, const QByteArray &data = "w3g")
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(data);
}
} // namespace

TEST(GamePath, GameFolderOfExecutable)
{
    const QPair<QString, QString> rows[] = {
        {u8s("C:\\Games\\War3\\War3.exe"), u8s("C:\\Games\\War3\\")},
        {u8s("/home/user/War3/War3.exe"), u8s("/home/user/War3/")},
        {u8s("D:/War3\\War3.exe"), u8s("D:/War3\\")},
        {u8s("War3.exe"), QString()},
        {QString(), QString()},
    };
    for (const auto &[exe, folder] : rows)
        EXPECT_EQ(GameFolderOf(exe), folder) << exe.toStdString();
}

TEST(GamePath, RelativePathsRefusedOrAccepted)
{
    const PathRow rows[] = {
        {u8s("replay\\Sky VS Moon (1003).w3g"), true},
        {u8s("replay\\9：5：7 _Sky VS 风神 (1003).w3g"), true},  // full-width colon is a letter
        {u8s("Maps\\Download\\(4)TurtleRock.w3x"), true},
        {u8s("Maps/Download/(2)古老之地.w3x"), true},
        {u8s("Maps\\a..b.w3x"), true},
        {u8s("replay\\COM10.w3g"), true},
        {u8s("replay\\CONSOLE.w3g"), true},
        {QString(), false},
        {u8s(".."), false},
        {u8s("..\\War3.exe"), false},
        {u8s("Maps\\..\\..\\boot.ini"), false},
        {u8s("Maps/../x.w3x"), false},
        {u8s("."), false},
        {u8s("Maps\\...\\x.w3x"), false},
        {u8s("\\Windows\\x.w3x"), false},
        {u8s("/etc/passwd"), false},
        {u8s("\\\\server\\share\\x.w3x"), false},
        {u8s("C:\\x.w3x"), false},
        {u8s("C:x.w3x"), false},
        {u8s("Maps\\C:\\x.w3x"), false},
        {u8s("Maps\\\\x.w3x"), false},
        {u8s("Maps\\"), false},
        {QStringLiteral("Maps\\a") + QChar(u'\0') + QStringLiteral(".w3x"), false},
        {u8s("replay\\CON"), false},
        {u8s("replay\\con.w3g"), false},
        {u8s("Maps\\Lpt9.w3x"), false},
        {u8s("NUL.txt"), false},
        {u8s("Aux"), false},
        {u8s("COM1 .w3g"), false},
        {u8s("a<b.w3g"), false},
        {u8s("a>b.w3g"), false},
        {u8s("a\"b.w3g"), false},
        {u8s("a|b.w3g"), false},
        {u8s("a?b.w3g"), false},
        {u8s("replay\\*x.w3g"), false},
        {u8s("a\tb.w3g"), false},
        {u8s("a\x1f" "b.w3g"), false},
        {QString(256, u'x'), false},
        {QString(85, QChar(0x98CE)), true},   // 255 bytes in UTF-8
        {QString(86, QChar(0x98CE)), false},  // 258 bytes
    };
    for (const PathRow &row : rows) {
        const QString reason = CheckRelativePath(row.path);
        EXPECT_EQ(reason.isEmpty(), row.accepted) << row.path.toStdString() << " " << reason.toStdString();
        const ResolvedPath r = ResolveInGameFolder(QStringLiteral("/nonexistent-game/"), row.path);
        EXPECT_EQ(r.ok(), row.accepted) << row.path.toStdString();
        EXPECT_EQ(r.path.isEmpty(), !row.accepted) << row.path.toStdString();
    }
    // No game folder: nothing resolves.
    EXPECT_FALSE(ResolveInGameFolder(QString(), u8s("replay\\a.w3g")).ok());
}

TEST(GamePath, WildcardIsOnlyStarAndQuestionMark)
{
    struct Row {
        const char *pattern, *name;
        bool match;
    } rows[] = {
        {"*Sky VS Moon.w3g", "9：5：7 _Sky VS Moon.w3g", true},
        {"*sky vs moon.W3G", "9：5：7 _Sky VS Moon.w3g", true},
        {"*Sky VS Moon.w3g", "Sky VS Moon.w3g", true},
        {"*Sky VS Moon.w3g", "Sky VS Moon.w3g.bak", false},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"a*b*c", "aXXbYc", true},
        {"a*b", "aXbYc", false},
        {"*", "", true},
        {"[ab]*", "a.w3g", false},
        {"[ab]*", "[ab] x.w3g", true},
        {".*", "abc", false},
        {"*风神*", "Sky VS 风神 (1003).w3g", true},
    };
    for (const Row &r : rows)
        EXPECT_EQ(WildcardMatch(u8s(r.pattern), u8s(r.name)), r.match) << r.pattern << " / " << r.name;
}

class GameFolderOnDisk : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString game;  // the game folder, with its trailing separator
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        game = dir.path() + u'/';
        QDir(game).mkpath(QStringLiteral("Replay"));
        touch(game + QStringLiteral("maps/Download/(4)TurtleRock.w3x"));
        touch(game + QStringLiteral("maps/loose.w3x"));
    }
};

TEST_F(GameFolderOnDisk, ExistingPartsAreFoundWithoutLetterCase)
{
    const QPair<QString, QString> rows[] = {
        {u8s("replay\\a.w3g"), u8s("Replay/a.w3g")},
        {u8s("REPLAY/a.w3g"), u8s("Replay/a.w3g")},
        {u8s("Maps\\Download\\(4)TurtleRock.w3x"), u8s("maps/Download/(4)TurtleRock.w3x")},
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
}

TEST_F(GameFolderOnDisk, ExactSpellingWinsOverOtherCase)
{
    QDir(game).mkpath(QStringLiteral("replay"));
    EXPECT_EQ(ResolveInGameFolder(game, u8s("replay\\a.w3g")).path, game + u8s("replay/a.w3g"));
    EXPECT_EQ(ResolveInGameFolder(game, u8s("Replay\\a.w3g")).path, game + u8s("Replay/a.w3g"));
}

TEST_F(GameFolderOnDisk, SearchGivesRegularFilesInNameOrder)
{
    const QString replays = game + QStringLiteral("Replay/");
    touch(replays + u8s("9：5：7 _Sky VS Moon (1003).w3g"));
    touch(replays + u8s("1：2：3 _Sky VS Moon (1003).w3g"));
    touch(replays + u8s("14：30：0 _sky vs moon (1003).W3G"));
    touch(replays + u8s("Sky VS Moon (1003).w3g.part"));
    QDir(replays).mkpath(u8s("0：0：0 _Sky VS Moon (1003).w3g"));  // a folder that fits
    QFile::link(replays + u8s("0：0：0 _Sky VS Moon (1003).w3g"), replays + u8s("0：0：1 _Sky VS Moon (1003).w3g"));
    touch(replays + u8s("[1] x.w3g"));
    touch(replays + u8s("1 x.w3g"));

    // "4" (U+0034) sorts before the full-width colon (U+FF1A).
    const QStringList expected = {
        replays + u8s("14：30：0 _sky vs moon (1003).W3G"),
        replays + u8s("1：2：3 _Sky VS Moon (1003).w3g"),
        replays + u8s("9：5：7 _Sky VS Moon (1003).w3g"),
    };
    for (int run = 0; run < 2; ++run)
        EXPECT_EQ(FindMatches(replays, u8s("*Sky VS Moon (1003).w3g")), expected);
    EXPECT_EQ(FindFirstMatch(game, u8s("replay\\*Sky VS Moon (1003).w3g")), expected.first());
    EXPECT_EQ(FindMatches(replays, u8s("[1]*")), QStringList{replays + u8s("[1] x.w3g")});
    EXPECT_TRUE(FindFirstMatch(game, u8s("replay\\*nothing.w3g")).isEmpty());
    EXPECT_TRUE(FindFirstMatch(game, u8s("..\\*")).isEmpty());
    EXPECT_TRUE(FindFirstMatch(QString(), u8s("replay\\*")).isEmpty());
}

TEST_F(GameFolderOnDisk, DownloadedReplayNeedsReplayAndExactMap)
{
    const QString replays = game + QStringLiteral("Replay/");
    touch(replays + u8s("9：5：7 _Sky VS 风神 (1003).w3g"));
    touch(replays + u8s("10：0：0 _Sky VS 风神 (1003).w3g"));
    const QString name = u8s("Sky VS 风神 (1003).w3g");
    const QString map = u8s("Maps\\Download\\(4)TurtleRock.w3x");

    const DownloadedReplay found = FindDownloadedReplay(game, name, map);
    EXPECT_TRUE(found.onDisk);
    EXPECT_EQ(found.replayPath, replays + u8s("10：0：0 _Sky VS 风神 (1003).w3g"));
    EXPECT_EQ(found.mapFile, game + u8s("maps/Download/(4)TurtleRock.w3x"));

    struct Row {
        QString game, name, map;
    } notOnDisk[] = {
        {QString(), name, map},                                     // no game path
        {game, name, u8s("Maps\\Download\\(4)LostTemple.w3x")},   // map missing
        {game, name, u8s("Maps\\Download\\*.w3x")},               // the map is a file, not a pattern
        {game, name, u8s("Maps\\")},                              // no map file name (a file lies in Maps)
        {game, name, u8s("Maps\\Download")},                      // a folder
        {game, name, u8s("Maps\\..\\maps\\loose.w3x")},
        {game, u8s("Other (1).w3g"), map},
        {game, QString(), map},
        {game, u8s("*"), map},
        {game, u8s("*.w3g"), map},
        {game, u8s("Sky VS ?? (1003).w3g"), map},
        {game, u8s("x/Sky VS 风神 (1003).w3g"), map},
        {game, u8s("..\\Sky VS 风神 (1003).w3g"), map},
        {game, u8s("a..b"), map},
    };
    for (const Row &r : notOnDisk) {
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
