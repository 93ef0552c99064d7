#include "app/webpane.h"

#include <QLoggingCategory>
#include <QWebEnginePage>

Q_LOGGING_CATEGORY(lcPane, "quillmark.pane")

namespace {
class SilentPage final : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;
    bool silent = false;

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int line,
                                  const QString &source) override
    {
        if (level == ErrorMessageLevel || !silent)
            qCInfo(lcPane, "%s:%d: %s", qPrintable(source), line, qPrintable(message));
    }
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override
    {
        // Pages from the web never lead the pane to local files.
        const QString scheme = url.scheme().toLower();
        if (scheme == u"file" || scheme == u"qrc")
            return false;
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    }
};
} // namespace

WebPane::WebPane(QWidget *parent) : QWebEngineView(parent)
{
    setPage(new SilentPage(this));
    setContextMenuPolicy(Qt::NoContextMenu);
    connect(this, &QWebEngineView::loadStarted, this, [this] { m_loading = true; });
    connect(this, &QWebEngineView::loadFinished, this, [this](bool) {
        m_loading = false;
        if (m_pendingWrite) {
            flush();
            return;
        }
        emit DocumentComplete();
    });
}

void WebPane::Navigate(const QString &url)
{
    m_written.clear();
    m_pendingWrite = false;
    const QUrl target(url);
    const QString scheme = target.scheme().toLower();
    if (url != u"about:blank" && scheme != u"http" && scheme != u"https")
        return;
    m_loading = true;
    load(target);
}

void WebPane::WriteDocument(const QString &html)
{
    m_written += html;
    if (m_loading) {
        m_pendingWrite = true;
        return;
    }
    flush();
}

void WebPane::flush()
{
    m_pendingWrite = false;
    m_loading = true;
    setHtml(m_written, m_base);
}

void WebPane::SetSilent(bool silent)
{
    static_cast<SilentPage *>(page())->silent = silent;
}
