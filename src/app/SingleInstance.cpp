#include <app/SingleInstance.h>

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace nimbolt {

// How long a later program waits for the running one to take its request, in milliseconds.
static constexpr int HandOverTimeout = 3000;

SingleInstance::SingleInstance(RequestHandler handler)
    : m_handler(std::move(handler))
{
}

SingleInstance::~SingleInstance()
{
    for (auto& [socket, connection] : m_connections)
        ::close(socket);
    m_connections.clear();
    m_listenerNotifier.reset();
    if (m_listener >= 0) {
        ::close(m_listener);
        ::unlink(m_listeningPath.constData());
    }
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

// The socket's address; false when the path is too long for one.
static bool addressOf(const QByteArray& path, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || static_cast<size_t>(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    return true;
}

// Waits until the socket can take more bytes; false on a timeout or an error.
static bool waitWritable(int socket)
{
    pollfd watched { socket, POLLOUT, 0 };
    int ready;
    do {
        ready = ::poll(&watched, 1, HandOverTimeout);
    } while (ready < 0 && errno == EINTR);
    return ready > 0 && (watched.revents & POLLOUT);
}

static bool handOver(const QByteArray& path, const QByteArray& document)
{
    sockaddr_un address;
    if (!addressOf(path, address))
        return false;
    int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (socket < 0)
        return false;
    bool sent = ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0
        || (errno == EAGAIN && waitWritable(socket));
    const char* bytes = document.constData();
    qsizetype left = document.size();
    while (sent && left > 0) {
        ssize_t written = ::send(socket, bytes, static_cast<size_t>(left), MSG_NOSIGNAL);
        if (written > 0) {
            bytes += written;
            left -= written;
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else {
            sent = written < 0 && errno == EAGAIN && waitWritable(socket);
        }
    }
    ::close(socket);
    return sent;
}

SingleInstance::Role SingleInstance::claim(const QByteArray& document)
{
    QString path = socketPath();
    QByteArray nativePath = QFile::encodeName(path);
    QLockFile lock(path + QStringLiteral(".lock"));
    // A lock whose program is gone is taken over; one held longer than this is taken anyway.
    lock.setStaleLockTime(HandOverTimeout * 2);
    bool locked = lock.tryLock(HandOverTimeout * 2);
    if (handOver(nativePath, document))
        return Role::HandedOver;
    sockaddr_un address;
    int listener = addressOf(nativePath, address) ? ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0) : -1;
    if (listener >= 0) {
        ::unlink(nativePath.constData());
        // Only the user may connect: the socket is made without rights for anyone else.
        mode_t previous = ::umask(0077);
        bool bound = ::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        ::umask(previous);
        if (bound && ::listen(listener, SOMAXCONN) == 0) {
            m_listener = listener;
            m_listeningPath = nativePath;
            m_listenerNotifier = std::make_unique<QSocketNotifier>(listener, QSocketNotifier::Read);
            QObject::connect(m_listenerNotifier.get(), &QSocketNotifier::activated, m_listenerNotifier.get(), [this] { accept(); });
        } else {
            ::close(listener);
        }
    }
    if (locked)
        lock.unlock();
    return m_listener >= 0 ? Role::First : Role::Alone;
}

void SingleInstance::accept()
{
    while (true) {
        int socket = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (socket < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        Connection& connection = m_connections[socket];
        connection.notifier = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Read);
        QObject::connect(connection.notifier.get(), &QSocketNotifier::activated, connection.notifier.get(), [this, socket] { read(socket); });
    }
}

// The request is all the socket carries until the other program closes it.
void SingleInstance::read(int socket)
{
    auto found = m_connections.find(socket);
    if (found == m_connections.end())
        return;
    char buffer[4096];
    while (true) {
        ssize_t count = ::recv(socket, buffer, sizeof buffer, 0);
        if (count > 0) {
            found->second.document.append(buffer, static_cast<qsizetype>(count));
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        break;
    }
    // The other end closed (or failed): the request is complete. The notifier goes later, as it
    // is the sender of the signal running now.
    QByteArray document = std::move(found->second.document);
    found->second.notifier->setEnabled(false);
    found->second.notifier.release()->deleteLater();
    m_connections.erase(found);
    ::close(socket);
    m_handler(document);
}

}
