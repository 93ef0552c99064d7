#pragma once
// An HTML pane of the window. "Writing into the document" waits until the blank
// page has loaded, then sets the written text as the document, based at a site
// address (never a file: or qrc: one). In silent mode script errors go to the log,
// never to the user. The pane makes its page (and so starts the web engine) only
// when StartEngine is called; what it is told before is done then.
#include <QUrl>
#include <QWebEngineView>

class WebPane : public QWebEngineView {
    Q_OBJECT
public:
    explicit WebPane(QWidget *parent = nullptr);

    // Makes the pane's page and carries out the navigation and the writing asked
    // for until now. Only the first call does anything.
    void StartEngine();
    bool EngineStarted() const { return m_started; }

    void Navigate(const QString &url);          // "about:blank" or an http(s) address
    void WriteDocument(const QString &html);   // appends to what was written since the last navigation
    void SetSilent(bool silent);
    void SetScrollBars(bool shown);
    void SetBaseUrl(const QUrl &base) { m_base = base; }
    QString WrittenText() const { return m_written; }
    bool Loading() const { return m_loading; }
    // The pane keeps the document it was given: links, forms, scripts and reloads
    // never lead it elsewhere (only Navigate and WriteDocument change it).
    void SetStayOnDocument(bool stay) { m_stayOnDocument = stay; }
    bool StaysOnDocument() const { return m_stayOnDocument; }
    // Whether a script's alert shows a message box (AlertShown is emitted either way).
    void SetAlertDialogs(bool show) { m_alertDialogs = show; }
    bool AlertDialogs() const { return m_alertDialogs; }
    // A script's dialog box (alert, confirm, prompt) shows only in answer to a
    // click or key press in the pane, one box per press: a page never holds the
    // window with boxes of its own accord.
    bool TakeUserDialog();

    // A written text whose address form (percent-encoded UTF-8) fits in this many
    // characters becomes the document at once; a larger one (the engine takes at
    // most 2 MB in one address) is written by a script into a blank document at
    // the same base address.
    static constexpr qsizetype kDirectWriteBytes = 2000 * 1000;
    static bool fitsOneAddress(const QString &html);

    // For the pane's page: true once for the document load the pane started itself.
    bool TakeOwnWrite();

signals:
    void DocumentComplete();
    void ConsoleMessage(int level, const QString &message, int line, const QString &source);
    void AlertShown(const QString &text);

protected:
    void childEvent(QChildEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_userInput = false;  // a press in the pane not yet answered by a dialog box
    void flush();
    void writeLarge();
    void documentDone();
    QUrl m_base;
    QUrl m_startUrl;              // navigation asked for before the engine started
    bool m_started = false;
    bool m_silent = false;
    bool m_scrollBars = true;
    QString m_written;
    bool m_loading = false;
    bool m_pendingWrite = false;
    bool m_stayOnDocument = false;
    bool m_alertDialogs = true;
    bool m_ownWrite = false;      // the next data: document is the one the pane writes
    bool m_largePending = false;  // a blank document is loading for a large write
    bool m_blankDue = false;      // a blank document is asked for and not yet loading
    quint64 m_serial = 0;         // counts documents begun, so a late script result is dropped
};
