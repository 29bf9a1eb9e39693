#include <app/SingleInstance.h>

#include <QDir>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

namespace nimbolt {

// How long a later program waits for the running one to take its request, in milliseconds.
static constexpr int HandOverTimeout = 3000;

SingleInstance::SingleInstance(RequestHandler handler)
    : m_handler(std::move(handler))
{
    QObject::connect(&m_server, &QLocalServer::newConnection, &m_server, [this] { accept(); });
}

// "nimbolt-:1" for X display :1 (its screen number left out: one program serves all its screens),
// "nimbolt-wayland-0" for a Wayland display; a slash in a name would make a folder.
QString SingleInstance::socketPath()
{
    QString display = qEnvironmentVariable("DISPLAY");
    if (int colon = display.lastIndexOf(QLatin1Char(':')); colon >= 0) {
        if (int dot = display.indexOf(QLatin1Char('.'), colon); dot >= 0)
            display.truncate(dot);
    }
    if (display.isEmpty())
        display = qEnvironmentVariable("WAYLAND_DISPLAY", QStringLiteral("none"));
    display.replace(QLatin1Char('/'), QLatin1Char('_'));
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/nimbolt-") + display;
}

static bool handOver(const QString& path, const QByteArray& document)
{
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(HandOverTimeout))
        return false;
    socket.write(document);
    socket.disconnectFromServer();
    return socket.state() == QLocalSocket::UnconnectedState || socket.waitForDisconnected(HandOverTimeout);
}

SingleInstance::Role SingleInstance::claim(const QByteArray& document)
{
    QString path = socketPath();
    QLockFile lock(path + QStringLiteral(".lock"));
    // A lock whose program is gone is taken over; one held longer than this is taken anyway.
    lock.setStaleLockTime(HandOverTimeout * 2);
    bool locked = lock.tryLock(HandOverTimeout * 2);
    if (handOver(path, document))
        return Role::HandedOver;
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(path);
    bool listening = m_server.listen(path);
    if (locked)
        lock.unlock();
    return listening ? Role::First : Role::Alone;
}

void SingleInstance::accept()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        // The request is all the socket carries until the other program closes it.
        auto finish = [this, socket] {
            QByteArray document = socket->readAll();
            socket->deleteLater();
            m_handler(document);
        };
        QObject::connect(socket, &QLocalSocket::disconnected, socket, finish);
        if (socket->state() != QLocalSocket::ConnectedState)
            finish();
    }
}

}
