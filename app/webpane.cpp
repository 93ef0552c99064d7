#include "app/webpane.h"

#include <QLoggingCategory>
#include "web/httpget.h"

#include <QWebEnginePage>
#include <QWebEngineSettings>

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
        // Pages from the web never lead the pane to local files or other schemes.
        if (url != QUrl(QStringLiteral("about:blank")) && !IsWebAddress(url))
            return false;
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    }
};
} // namespace

WebPane::WebPane(QWidget *parent) : QWebEngineView(parent)
{
    setPage(new SilentPage(this));
    setContextMenuPolicy(Qt::NoContextMenu);
    // No page icons: asking a site for "/favicon.ico" is a request the user never caused.
    settings()->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    settings()->setAttribute(QWebEngineSettings::TouchIconsEnabled, false);
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
    if (url != u"about:blank" && !IsWebAddress(target))
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
