#include "app/singlewindow.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>
#include <QWidget>

namespace {
const QByteArray kWanted = "front\n";
}

SingleWindow::SingleWindow(const QString &pageFolder, QObject *parent)
    : QObject(parent), m_name(SocketName(pageFolder))
{
    // The lock decides which start is the window, also for two starts at once; it
    // lives beside the socket, never among the pages.
    m_lock = std::make_unique<QLockFile>(QDir(QDir::tempPath()).filePath(m_name + QStringLiteral(".lock")));
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *peer = m_server.nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                if (!peer->canReadLine()) {
                    if (peer->bytesAvailable() > kWanted.size())
                        peer->abort();  // not a start of this tool
                    return;
                }
                if (peer->readLine(kWanted.size() + 1) == kWanted)
                    emit Wanted();
                peer->disconnectFromServer();
            });
        }
    });
}

SingleWindow::~SingleWindow()
{
    m_server.close();
    if (m_lock->isLocked())
        m_lock->unlock();
}

QString SingleWindow::SocketName(const QString &pageFolder)
{
    const QString folder = QDir::cleanPath(QFileInfo(pageFolder).absoluteFilePath());
    const QByteArray hash = QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("quillmark-") + QString::fromLatin1(hash);
}

bool SingleWindow::Claim()
{
    // The window that holds the lock may still be starting: ask it for a while.
    const QDeadlineTimer deadline(10000);
    do {
        if (m_lock->tryLock(0))
            return true;
        QLocalSocket socket;
        socket.connectToServer(m_name);
        if (socket.waitForConnected(500)) {
            socket.write(kWanted);
            socket.waitForBytesWritten(1000);
            socket.waitForDisconnected(1000);
            return false;
        }
        QThread::msleep(100);
    } while (!deadline.hasExpired());
    // A window holds the lock but does not answer: it is not this start's to end.
    return false;
}

void SingleWindow::Serve()
{
    if (!m_lock->isLocked() || m_server.isListening())
        return;
    QLocalServer::removeServer(m_name);  // left behind by a window that did not end
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(m_name))
        qWarning("a later start cannot reach this window: %s", qPrintable(m_server.errorString()));
}

void BringToFront(QWidget *window)
{
    if (window->isMinimized())
        window->showNormal();
    window->show();
    window->raise();
    window->activateWindow();
}
