#include "app/startup.h"

#include <QDir>
#include <QFileInfo>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QStandardPaths>
#include <QTranslator>

SiteRoots StartSites(const QString &iniPath, std::unique_ptr<DemoSite> &demo)
{
    SiteRoots roots = ConfiguredSiteRoots(iniPath);
    if (roots.complete())
        return roots;
    demo = std::make_unique<DemoSite>();
    if (demo->ok())
        return MergeSiteRoots(roots, demo->roots());
    qWarning("the demo site could not be started");
    demo.reset();
    return roots;
}

QString SiteIniPath(const QString &appDir)
{
    const QString beside = QDir(appDir).filePath(QStringLiteral("quillmark.ini"));
    if (QFileInfo::exists(beside))
        return beside;
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return config.isEmpty() ? beside : QDir(config).filePath(QStringLiteral("Quillmark/quillmark.ini"));
}

QString InstalledDemoGameDir(const QString &appDir, bool onDemoSite)
{
    if (!onDemoSite || appDir.isEmpty())
        return {};
    const QFileInfo dir(QDir(appDir).filePath(QStringLiteral("../share/quillmark/demo-game")));
    if (!dir.isDir() || !dir.isWritable())
        return {};
    return QDir::cleanPath(dir.absoluteFilePath());
}

bool LoadQtChinese(QCoreApplication *app)
{
    auto *qt = new QTranslator(app);
    if (!qt->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete qt;
        return false;
    }
    QCoreApplication::installTranslator(qt);
    return true;
}
