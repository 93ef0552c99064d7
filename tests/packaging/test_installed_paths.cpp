// An installed program finds its files from its own folder: the user's
// quillmark.ini when none lies beside it, and the demo game folder installed with it.
#include "app/startup.h"
#include "support/testfiles.h"

TEST(InstalledPaths, IniBesideTheProgramWinsOverTheUsersOwn)
{
    const QTemporaryDir root;
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", root.filePath(u8s("config")).toUtf8());
    const QString bin = root.filePath(u8s("bin"));
    QDir().mkpath(bin);
    EXPECT_EQ(SiteIniPath(bin), root.filePath(u8s("config/Quillmark/quillmark.ini")));
    WriteBytes(root.filePath(u8s("bin/quillmark.ini")), QByteArray());
    EXPECT_EQ(SiteIniPath(bin), root.filePath(u8s("bin/quillmark.ini")));
    oldConfig.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", oldConfig);
}

TEST(InstalledPaths, GameDialogOpensInTheInstalledDemoGameFolderOnlyOnTheDemoSite)
{
    const QTemporaryDir root;
    for (const char *folder : {"bin", "share/quillmark/demo-game", "elsewhere/bin"})
        QDir(root.path()).mkpath(QLatin1String(folder));
    const QString installed = QDir::cleanPath(root.filePath(u8s("share/quillmark/demo-game")));
    EXPECT_EQ(InstalledDemoGameDir(root.filePath(u8s("bin")), true), installed);
    EXPECT_EQ(InstalledDemoGameDir(root.filePath(u8s("bin")), false), QString());  // other sites: the demo game has nothing to play
    EXPECT_EQ(InstalledDemoGameDir(root.filePath(u8s("elsewhere/bin")), true), QString());  // no demo game folder installed beside it
}
