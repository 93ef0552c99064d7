#include "app/webpane.h"

#include <QLoggingCategory>
#include "platform/platform.h"
#include "web/httpget.h"

#include <QChildEvent>
#include <QShowEvent>
#include <QTimer>
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
        Q_UNUSED(securityOrigin);
        emit m_pane->AlertShown(msg);
        // The tool's own message box: the engine's would be titled in English.
        if (m_pane->AlertDialogs() && m_pane->TakeUserDialog())
            DesktopPlatform().dialogs->MsgBox(m_pane, msg, QString());
    }
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &msg) override
    {
        return m_pane->TakeUserDialog() && QWebEnginePage::javaScriptConfirm(securityOrigin, msg);
    }
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &msg, const QString &defaultValue, QString *result) override
    {
        return m_pane->TakeUserDialog() && QWebEnginePage::javaScriptPrompt(securityOrigin, msg, defaultValue, result);
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
    setContextMenuPolicy(Qt::NoContextMenu);
    connect(this, &QWebEngineView::loadStarted, this, [this] { m_loading = true; });
    connect(this, &QWebEngineView::loadFinished, this, [this](bool) {
        if (m_largePending) {
            m_largePending = false;
            writeLarge();
            return;
        }
        documentDone();
    });
}

// A document has finished: what was written meanwhile goes in, else it is complete.
void WebPane::documentDone()
{
    m_loading = false;
    if (m_pendingWrite) {
        flush();
        return;
    }
    emit DocumentComplete();
}

void WebPane::StartEngine()
{
    if (m_started)
        return;
    m_started = true;
    auto *page = new SilentPage(this);
    page->silent = m_silent;
    setPage(page);
    settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    // No page icons: asking a site for "/favicon.ico" is a request the user never caused.
    settings()->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    settings()->setAttribute(QWebEngineSettings::TouchIconsEnabled, false);
    settings()->setAttribute(QWebEngineSettings::ShowScrollBars, m_scrollBars);
    if (!m_startUrl.isEmpty()) {
        const QUrl target = m_startUrl;
        m_startUrl.clear();
        load(target);  // a write asked for meanwhile follows when it has loaded
    } else if (m_pendingWrite) {
        flush();
    }
}

// The engine's own show and hide handling makes a page, which would start the
// engine with the window's first show; until StartEngine the pane is a plain
// widget (the page it gets then learns from the pane whether it is on screen).
void WebPane::showEvent(QShowEvent *event)
{
    if (m_started)
        QWebEngineView::showEvent(event);
    else
        QWidget::showEvent(event);
}

void WebPane::hideEvent(QHideEvent *event)
{
    if (m_started)
        QWebEngineView::hideEvent(event);
    else
        QWidget::hideEvent(event);
}

void WebPane::Navigate(const QString &url)
{
    m_written.clear();
    m_pendingWrite = false;
    m_largePending = false;
    m_ownWrite = false;
    m_blankDue = false;
    ++m_serial;
    const QUrl target(url);
    if (url != u"about:blank" && !IsWebAddress(target))
        return;
    m_loading = true;
    if (!m_started) {
        m_startUrl = target;
        return;
    }
    if (url == u"about:blank") {
        // A blank document that a write follows at once would never be seen: the
        // write takes its place. Only a blank left alone is loaded.
        m_blankDue = true;
        QTimer::singleShot(0, this, [this, serial = m_serial] {
            if (m_blankDue && serial == m_serial) {
                m_blankDue = false;
                load(QUrl(QStringLiteral("about:blank")));
            }
        });
        return;
    }
    load(target);
}

void WebPane::WriteDocument(const QString &html)
{
    m_written += html;
    if (m_blankDue) {
        m_blankDue = false;
        flush();
        return;
    }
    if (m_loading) {
        m_pendingWrite = true;
        return;
    }
    flush();
}

void WebPane::flush()
{
    if (!m_started) {
        m_pendingWrite = true;  // written once the engine is up
        m_loading = true;
        return;
    }
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
        documentDone();
    });
}

bool WebPane::TakeUserDialog()
{
    const bool allowed = m_userInput;
    m_userInput = false;
    return allowed;
}

// The engine's surface is a child widget: presses reach it, not the pane.
void WebPane::childEvent(QChildEvent *event)
{
    if (event->added())
        event->child()->installEventFilter(this);
    QWebEngineView::childEvent(event);
}

bool WebPane::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::KeyPress)
        m_userInput = true;
    return QWebEngineView::eventFilter(watched, event);
}

void WebPane::SetSilent(bool silent)
{
    m_silent = silent;
    if (m_started)
        static_cast<SilentPage *>(page())->silent = silent;
}

void WebPane::SetScrollBars(bool shown)
{
    m_scrollBars = shown;
    if (m_started)
        settings()->setAttribute(QWebEngineSettings::ShowScrollBars, shown);
}
