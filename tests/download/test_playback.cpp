// Names, texts, the version check and the game's command line of the download and play steps
// (which step follows which is the download window's part).
#include "download/playback.h"
#include "support/testfiles.h"

// The time prefix and the 2048-byte road are the download window's; here a decimal comma must not show.
TEST(Playback, ProgressTexts)
{
    QLocale::setDefault(QLocale(QLocale::German));
    EXPECT_EQ(ProgressStartText(2048), u8s("下载 0 / 2.000 KB"));
    EXPECT_EQ(ProgressText(1536, 100), u8s("下载 1.500 / 0.098 KB"));
    EXPECT_EQ(ProgressText(5 * 1024 * 1024 + 512, 5 * 1024 * 1024 + 512), u8s("下载 5120.500 / 5120.500 KB"));
    QLocale::setDefault(QLocale::c());
}

TEST(Playback, VersionCheck)
{
    EXPECT_EQ(GameVersionText(QStringLiteral("Version 1.24 Version 2")), QStringLiteral("1.24 2"));
    EXPECT_EQ(GameVersionText(QStringLiteral("version 1.24")), QStringLiteral("version 1.24"));
    const struct { const char *replay, *game; bool fits; } rows[] = {
        {"24.4", "1.24.4.6387", true}, {"1.24", "1, 24, 4, 6387", false}, {"", "1.24.4.6387", true},
        {"", "", false},               {"1.24b", "1.24B", false}};
    for (const auto &r : rows)
        EXPECT_EQ(VersionsFit(u8s(r.replay), u8s(r.game)), r.fits) << '"' << r.replay << "\" in \"" << r.game << '"';
}

TEST(Playback, Launch)
{
    const QString game = QStringLiteral("/home/u/Warcraft III/War3.exe"), replay = u8s("/home/u/Warcraft III/replay/9：5：7 _a b.w3g");
    EXPECT_EQ(GameCommandLine(game, replay),
              u8s("\"/home/u/Warcraft III/War3.exe\" -loadfile \"/home/u/Warcraft III/replay/9：5：7 _a b.w3g\""));
    const QStringList native = {QStringLiteral("-loadfile"), replay};
    const QString wine = QStringLiteral("/usr/bin/wine");
    const struct { bool windowsExe; QString wine, program; QStringList arguments; } rows[] = {
#ifdef Q_OS_WIN
        {true, wine, game, native},
#else
        {false, wine, game, native}, {true, QString(), game, native},
        {true, wine, wine, {game, QStringLiteral("-loadfile"), u8s("Z:\\home\\u\\Warcraft III\\replay\\9：5：7 _a b.w3g")}},
#endif
    };
    for (const auto &r : rows) {
        const LaunchPlan plan = PlanLaunch(game, replay, r.windowsExe, r.wine);
        EXPECT_EQ(plan.program, r.program) << r.windowsExe << r.wine.toStdString();
        EXPECT_EQ(plan.arguments, r.arguments) << r.windowsExe << r.wine.toStdString();
        // The game starts in its own folder, also when the program started is wine.
        EXPECT_EQ(plan.workingDirectory, QStringLiteral("/home/u/Warcraft III/")) << r.windowsExe << r.wine.toStdString();
    }
    EXPECT_EQ(WinePathOf(QStringLiteral("replay/r.w3g")), QStringLiteral("replay\\r.w3g"));
}
