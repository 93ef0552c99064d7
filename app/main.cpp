// Quillmark: browse the replay sites, download a replay with its map, play it.
#include "app/form1.h"
#include "app/startup.h"
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

    std::unique_ptr<DemoSite> demo;
    const SiteRoots roots =
        StartSites(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("quillmark.ini")), demo);

    PageFiles pages(PageFiles::defaultFolder());
    Form1 window(roots, &pages, DesktopPlatform());
    TerminationRequests termination;
    QObject::connect(&termination, &TerminationRequests::Requested, &window, &QWidget::close);
    window.show();
    return app.exec();
}
