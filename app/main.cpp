// Quillmark: browse the replay sites, download a replay with its map, play it.
#include "app/form1.h"
#include "app/singlewindow.h"
#include "app/startup.h"
#include "platform/termination.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <memory>

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmark"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quillmark.Quillmark"));
    LoadQtChinese(&app);

    // A window already running on these page files comes to the front instead.
    const QString pageFolder = PageFiles::defaultFolder();
    SingleWindow single(pageFolder);
    if (!single.Claim())
        return 0;

    std::unique_ptr<DemoSite> demo;
    const QString appDir = QCoreApplication::applicationDirPath();
    const QString iniPath = SiteIniPath(appDir);
    const SiteRoots roots = StartSites(iniPath, demo);
    // Installed and on its own demo replay sites: "设置魔兽" opens in the demo game folder.
    const bool onDemoSite = demo && (roots.melee == demo->roots().melee || roots.dota == demo->roots().dota);
    if (const QString dir = InstalledDemoGameDir(appDir, onDemoSite);
        !dir.isEmpty() && qEnvironmentVariableIsEmpty("QUILLMARK_GAME_DIALOG_DIR"))
        qputenv("QUILLMARK_GAME_DIALOG_DIR", QFile::encodeName(dir));

    PageFiles pages(pageFolder);
    Form1 window(roots, &pages, DesktopPlatform());
    window.UseSettingsFile(iniPath);
    QObject::connect(&single, &SingleWindow::Wanted, &window, [&window] { BringToFront(&window); });
    TerminationRequests termination;
    QObject::connect(&termination, &TerminationRequests::Requested, &window, &QWidget::close);
    single.Serve();
    window.show();
    return app.exec();
}
