#include "testwindow.h"

#include <QDeadlineTimer>
#include <QWebEnginePage>

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
    // A picture is a frame of its own: painting the window holds back between two
    // frames (the download's bar and text) is let go for it, or it shows black.
    for (QWidget *held : widget->findChildren<QWidget *>())
        if (!held->updatesEnabled() && held->isVisibleTo(widget))
            held->setUpdatesEnabled(true);
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

void ClickRow(TestWindow &w, QTreeWidgetItem *item)
{
    w->ListView1->scrollToItem(item);
    QCoreApplication::processEvents();
    QTest::mouseClick(w->ListView1->viewport(), Qt::LeftButton, {}, w->ListView1->visualItemRect(item).center());
    QCoreApplication::processEvents();
}

void Wheel(TestWindow &w, int notches)
{
    QWidget *vp = w->ListView1->viewport();
    const QPointF at(vp->width() / 2.0, vp->height() / 2.0);
    QWheelEvent e(at, vp->mapToGlobal(at), QPoint(), QPoint(0, notches * 120), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(vp, &e);
    QCoreApplication::processEvents();
}

QStringList Texts(std::initializer_list<const QWidget *> widgets)
{
    QStringList out;
    for (const QWidget *widget : widgets) {
        const auto *box = qobject_cast<const QPlainTextEdit *>(widget);
        out << (box ? box->toPlainText() : widget->property("text").toString());  // a line edit's or a label's
    }
    return out;
}

QVariant RunJs(WebPane *pane, const QString &script)
{
    // Shared with the callback: a result later than the wait still has somewhere to go.
    const auto result = std::make_shared<std::optional<QVariant>>();
    pane->page()->runJavaScript(script, [result](const QVariant &v) { *result = v; });
    WaitFor([&] { return result->has_value(); }, 10000);
    return result->value_or(QVariant());
}

bool DotaTemplateRan(TestWindow &w, int ms)
{
    const QString ran = QStringLiteral("document.readyState == 'complete' && !!document.getElementById('commendno')"
                                       " && document.getElementById('commendno').title != ''");
    return WaitFor([&] { return !w->WebBrowser2->Loading() && RunJs(w->WebBrowser2, ran).toBool(); }, ms);
}
