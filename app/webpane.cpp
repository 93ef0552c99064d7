#include "app/webpane.h"

#include <QLoggingCategory>
#include "web/httpget.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QWebEnginePage>
#include <QWebEngineSettings>

Q_LOGGING_CATEGORY(lcPane, "quillmark.pane")

namespace {
class SilentPage final : public QWebEnginePage {
public:
    explicit SilentPage(WebPane *pane) : QWebEnginePage(pane), m_pane(pane) {}
    bool silent = false;

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int line,
                                  const QString &source) override
    {
        if (level == ErrorMessageLevel || !silent)
            qCInfo(lcPane, "%s:%d: %s", qPrintable(source), line, qPrintable(message));
        emit m_pane->ConsoleMessage(int(level), message, line, source);
    }
    void javaScriptAlert(const QUrl &securityOrigin, const QString &msg) override
    {
        emit m_pane->AlertShown(msg);
        if (m_pane->AlertDialogs())
            QWebEnginePage::javaScriptAlert(securityOrigin, msg);
    }
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override
    {
        // The written document arrives as a data: address; only the one the pane
        // itself is loading gets through.
        if (url.scheme() == u"data")
            return m_pane->TakeOwnWrite() && isMainFrame && type == NavigationTypeTyped;
        // Pages from the web never lead the pane to local files or other schemes.
        if (url != QUrl(QStringLiteral("about:blank")) && !IsWebAddress(url))
            return false;
        // A pane that keeps its document loads only what the tool itself gives it.
        if (isMainFrame && m_pane->StaysOnDocument() && type != NavigationTypeTyped)
            return false;
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    }

private:
    WebPane *m_pane;
};
} // namespace

WebPane::WebPane(QWidget *parent) : QWebEngineView(parent)
{
    setPage(new SilentPage(this));
    setContextMenuPolicy(Qt::NoContextMenu);
    settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    // No page icons: asking a site for "/favicon.ico" is a request the user never caused.
    settings()->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    settings()->setAttribute(QWebEngineSettings::TouchIconsEnabled, false);
    connect(this, &QWebEngineView::loadStarted, this, [this] { m_loading = true; });
    connect(this, &QWebEngineView::loadFinished, this, [this](bool) {
        if (m_largePending) {
            m_largePending = false;
            writeLarge();
            return;
        }
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
    m_largePending = false;
    m_ownWrite = false;
    ++m_serial;
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
    ++m_serial;
    m_ownWrite = true;
    if (fitsOneAddress(m_written)) {
        m_largePending = false;
        setHtml(m_written, m_base);
        return;
    }
    // Too large for one piece: a blank document at the same base address first.
    m_largePending = true;
    setHtml(QString(), m_base);
}

bool WebPane::fitsOneAddress(const QString &html)
{
    // The engine carries the text percent-encoded in one address: at most three
    // characters per UTF-8 byte.
    if (html.size() <= kDirectWriteBytes / 9)
        return true;
    return html.toUtf8().toPercentEncoding().size() <= kDirectWriteBytes;
}

bool WebPane::TakeOwnWrite()
{
    const bool own = m_ownWrite;
    m_ownWrite = false;
    return own;
}

void WebPane::writeLarge()
{
    // The text travels as a JSON string literal, so nothing in it can end the script.
    const QByteArray literal = QJsonDocument(QJsonArray{m_written}).toJson(QJsonDocument::Compact);
    const QString script = QStringLiteral("(function(){var t=") + QString::fromUtf8(literal)
        + QStringLiteral("[0];document.open();document.write(t);document.close();})();");
    const quint64 serial = m_serial;
    page()->runJavaScript(script, [this, serial](const QVariant &) {
        if (serial != m_serial)
            return;  // the pane has moved on to another document
        m_loading = false;
        if (m_pendingWrite) {
            flush();
            return;
        }
        emit DocumentComplete();
    });
}

void WebPane::SetSilent(bool silent)
{
    static_cast<SilentPage *>(page())->silent = silent;
}
