#pragma once
// One window per page folder. Two windows on the same page files would delete
// each other's pages at close; a second start brings the running window to the
// front instead, as players expect of a single-window tool. Windows on other
// page folders (QUILLMARK_PAGE_DIR) run side by side.
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

class SingleWindow final : public QObject {
    Q_OBJECT
public:
    explicit SingleWindow(const QString &pageFolder, QObject *parent = nullptr);
    ~SingleWindow() override;

    // True: this process is the window on the page folder. False: another window
    // runs on it and has been asked to come to the front (a window still starting
    // is waited for); this process has nothing more to do.
    bool Claim();
    // From now on later starts are answered with Wanted: called once the window is
    // there to come forward.
    void Serve();

    // The local socket name of the window on `pageFolder`.
    static QString SocketName(const QString &pageFolder);

signals:
    // A later start asked for the window.
    void Wanted();

private:
    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer m_server;
};

// Brings the window to the front: restored when minimised, raised, active.
void BringToFront(QWidget *window);
