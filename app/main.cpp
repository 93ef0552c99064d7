// Quillmark: browse the replay sites, download a replay with its map, play it.
#include "app/form1.h"
#include "demo/demosite.h"
#include "platform/termination.h"

#include <QApplication>
#include <QDir>
#include <QLoggingCategory>
#include <memory>

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmark"));

    // Configured sites, else the bundled demo site on 127.0.0.1.
    SiteRoots roots = ConfiguredSiteRoots(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("quillmark.ini")));
    std::unique_ptr<DemoSite> demo;
    if (!roots.complete()) {
        demo = std::make_unique<DemoSite>();
        if (demo->ok())
            roots = MergeSiteRoots(roots, demo->roots());
        else
            qWarning("the demo site could not be started");
    }

    PageFiles pages(PageFiles::defaultFolder());
    Form1 window(roots, &pages, DesktopPlatform());
    TerminationRequests termination;
    QObject::connect(&termination, &TerminationRequests::Requested, &window, &QWidget::close);
    window.show();
    return app.exec();
}
