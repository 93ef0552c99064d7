// An installed program finds its files from its own folder: the user's
// quillmark.ini when none lies beside it, and the demo game folder installed with it.
#include "app/startup.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
void touch(const QString &path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}
} // namespace

TEST(InstalledPaths, IniBesideTheProgramWinsOverTheUsersOwn)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", (root.path() + QStringLiteral("/config")).toUtf8());
    QDir(root.path()).mkpath(QStringLiteral("bin"));
    const QString bin = root.filePath(QStringLiteral("bin"));

    EXPECT_EQ(SiteIniPath(bin).toStdString(), root.filePath(QStringLiteral("config/Quillmark/quillmark.ini")).toStdString());
    touch(root.filePath(QStringLiteral("bin/quillmark.ini")));
    EXPECT_EQ(SiteIniPath(bin).toStdString(), root.filePath(QStringLiteral("bin/quillmark.ini")).toStdString());

    if (oldConfig.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", oldConfig);
}

TEST(InstalledPaths, GameDialogOpensInTheInstalledDemoGameFolderOnlyOnTheDemoSite)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    QDir(root.path()).mkpath(QStringLiteral("bin"));
    QDir(root.path()).mkpath(QStringLiteral("share/quillmark/demo-game"));
    QDir(root.path()).mkpath(QStringLiteral("elsewhere/bin"));
    const QString installed = QDir::cleanPath(root.filePath(QStringLiteral("share/quillmark/demo-game")));

    const struct {
        const char *appDir;
        bool onDemoSite;
        bool expectFolder;
    } cases[] = {
        {"bin", true, true},
        {"bin", false, false},    // other sites: the demo game has nothing to play
        {"elsewhere/bin", true, false},  // no demo game folder installed beside it
    };
    for (const auto &c : cases) {
        const QString got = InstalledDemoGameDir(root.filePath(QString::fromLatin1(c.appDir)), c.onDemoSite);
        EXPECT_EQ(got.toStdString(), (c.expectFolder ? installed : QString()).toStdString())
            << c.appDir << " " << c.onDemoSite;
    }
}
