#pragma once
// An HTML pane of the window. "Writing into the document" waits until the blank
// page has loaded, then sets the written text as the document, based at a site
// address (never a file: or qrc: one). In silent mode script errors go to the log,
// never to the user.
#include <QUrl>
#include <QWebEngineView>

class WebPane : public QWebEngineView {
    Q_OBJECT
public:
    explicit WebPane(QWidget *parent = nullptr);

    void Navigate(const QString &url);          // "about:blank" or an http(s) address
    void WriteDocument(const QString &html);   // appends to what was written since the last navigation
    void SetSilent(bool silent);
    void SetBaseUrl(const QUrl &base) { m_base = base; }
    QString WrittenText() const { return m_written; }
    bool Loading() const { return m_loading; }

signals:
    void DocumentComplete();

private:
    void flush();
    QUrl m_base;
    QString m_written;
    bool m_loading = false;
    bool m_pendingWrite = false;
};
