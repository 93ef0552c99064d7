#include "testwindow.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QTimer>
#include <QThread>

TestWindow::TestWindow(bool show, const SiteRoots &override)
{
    pages = std::make_unique<PageFiles>(pageDir.path());
    pages->setTimeoutMs(3000);
    const SiteRoots roots = MergeSiteRoots(override, site.roots());
    form = std::make_unique<Form1>(roots, pages.get(), Platform{&dialogs, &opener, &exit, &launcher});
    if (show) {
        form->show();
        WaitFor([&] { return form->isVisible(); }, 2000);
    }
}

TestWindow::~TestWindow()
{
    form.reset();
}

void SaveScreenshot(QWidget *widget, const QString &name)
{
    QString dir = qEnvironmentVariable("QUILLMARK_SCREENSHOTS");
    if (dir.isEmpty())
        dir = QStringLiteral(QUILLMARK_DEFAULT_SCREENSHOTS);
    QDir().mkpath(dir);
    QCoreApplication::processEvents();
    widget->grab().save(QDir(dir).filePath(name));
}

bool WaitFor(const std::function<bool()> &done, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(5);
    }
    return true;
}
