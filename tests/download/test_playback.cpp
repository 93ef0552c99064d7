#include "download/playback.h"
#include "support/testfiles.h"

TEST(Playback, TimePrefixes)
{
    EXPECT_EQ(TimePrefix(QTime(9, 5, 7)), u8s("9：5：7 _"));
    EXPECT_EQ(TimePrefix(QTime(14, 30, 0)), u8s("14：30：0 _"));
    EXPECT_EQ(TimePrefix(QTime(0, 0, 0)), u8s("0：0：0 _"));
}

TEST(Playback, ProgressTexts)
{
    QLocale::setDefault(QLocale(QLocale::German));  // decimal comma; must not show
    EXPECT_EQ(ProgressStartText(2048), u8s("下载 0 / 2.000 KB"));
    EXPECT_EQ(ProgressText(1024, 2048), u8s("下载 1.000 / 2.000 KB"));
    EXPECT_EQ(ProgressText(1536, 100), u8s("下载 1.500 / 0.098 KB"));
    EXPECT_EQ(ProgressText(5 * 1024 * 1024 + 512, 5 * 1024 * 1024 + 512), u8s("下载 5120.500 / 5120.500 KB"));
    EXPECT_EQ(ProgressStartText(0), u8s("下载 0 / 0.000 KB"));
    QLocale::setDefault(QLocale::c());
}

TEST(Playback, DownloadSteps)
{
    const struct {
        quint8 step;
        bool smart, mapOnDisk;
        StepAction action;
        quint8 next;
    } cases[] = {
        {0, true, true, StepAction::FetchReplay, 1}, {1, true, true, StepAction::Finish, 1},
        {1, true, false, StepAction::FetchMap, 2},   {1, false, true, StepAction::FetchMap, 2},
        {2, true, true, StepAction::Finish, 2},      {2, false, false, StepAction::Finish, 2},
    };
    for (const auto &c : cases) {
        const StepPlan plan = PlanStep(c.step, c.smart, c.mapOnDisk);
        EXPECT_EQ(plan.action, c.action) << int(c.step) << c.smart << c.mapOnDisk;
        EXPECT_EQ(plan.nextStep, c.next) << int(c.step) << c.smart << c.mapOnDisk;
    }
}

TEST(Playback, VersionCheck)
{
    EXPECT_EQ(GameVersionText(QStringLiteral("Version 1.24")), QStringLiteral("1.24"));
    EXPECT_EQ(GameVersionText(QStringLiteral("Version1.24")), QStringLiteral("Version1.24"));
    EXPECT_EQ(GameVersionText(QStringLiteral("version 1.24")), QStringLiteral("version 1.24"));
    EXPECT_EQ(GameVersionText(QStringLiteral("Version 1.24 Version 2")), QStringLiteral("1.24 2"));

    const struct {
        const char *replay, *game;
        bool fits;
    } cases[] = {
        {"1.24", "1.24.4.6387", true}, {"24.4", "1.24.4.6387", true},   {"1.24", "1, 24, 4, 6387", false},
        {"", "1.24.4.6387", true},     {"", "", false},                 {"1.24", "", false},
        {"1.24b", "1.24B", false},     {"1.24.4.6387", "1.24", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(VersionsFit(u8s(c.replay), u8s(c.game)), c.fits) << '"' << c.replay << "\" in \"" << c.game << '"';
}

TEST(Playback, Launch)
{
    const QString game = QStringLiteral("/home/u/Warcraft III/War3.exe");
    const QString replay = u8s("/home/u/Warcraft III/replay/9：5：7 _a b.w3g");
    EXPECT_EQ(GameCommandLine(game, replay),
              u8s("\"/home/u/Warcraft III/War3.exe\" -loadfile \"/home/u/Warcraft III/replay/9：5：7 _a b.w3g\""));
    EXPECT_EQ(GameCommandLine(QStringLiteral("C:\\Games\\War3.exe"), QString()),
              QStringLiteral("\"C:\\Games\\War3.exe\" -loadfile \"\""));

    const QStringList native = {QStringLiteral("-loadfile"), replay};
    const struct {
        const char *name;
        bool windowsExe;
        QString wine, program;
        QStringList arguments;
    } cases[] = {
#ifdef Q_OS_WIN
        {"Windows", true, QString(), game, native},
#else
        {"a program of this system", false, QStringLiteral("/usr/bin/wine"), game, native},
        {"a Windows executable through wine", true, QStringLiteral("/usr/bin/wine"), QStringLiteral("/usr/bin/wine"),
         {game, QStringLiteral("-loadfile"), u8s("Z:\\home\\u\\Warcraft III\\replay\\9：5：7 _a b.w3g")}},
        {"a Windows executable without wine", true, QString(), game, native},
#endif
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const LaunchPlan plan = PlanLaunch(game, replay, c.windowsExe, c.wine);
        EXPECT_EQ(plan.program, c.program);
        EXPECT_EQ(plan.arguments, c.arguments);
    }
    EXPECT_EQ(WinePathOf(QStringLiteral("replay/r.w3g")), QStringLiteral("replay\\r.w3g"));
}
