// One running program per user and display. The first program listens on a local socket in the
// user's runtime folder ($XDG_RUNTIME_DIR) whose name holds the display; a later one connects,
// hands over what it was asked to show and ends. A socket that a crashed program left behind
// answers no connection: the next program removes it and listens in its place. A lock file beside
// it keeps two programs that start at the same moment from both listening. The sockets are the
// system's own, watched by the event loop, so the program needs no network library.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <map>
#include <memory>

class QSocketNotifier;

namespace nimbolt {

class SingleInstance {
public:
    enum class Role {
        First, // no other program runs: this one listens now
        HandedOver, // the running program has the request
        Alone, // no socket could be made: this one runs without hearing of later ones
    };

    // A request is a document to show (a file system path, possibly empty for "show the current
    // document again").
    using RequestHandler = std::function<void(const QByteArray& document)>;

    explicit SingleInstance(RequestHandler handler);
    // Stops listening and removes the socket.
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Hands document to the running program, or becomes the running one.
    Role claim(const QByteArray& document);

    // The socket's path for the display that the environment names.
    static QString socketPath();

private:
    // A later program's connection: what it sent so far, until it closes its end.
    struct Connection {
        std::unique_ptr<QSocketNotifier> notifier;
        QByteArray document;
    };

    void accept();
    void read(int socket);

    RequestHandler m_handler;
    int m_listener { -1 };
    QByteArray m_listeningPath;
    std::unique_ptr<QSocketNotifier> m_listenerNotifier;
    std::map<int, Connection> m_connections;
};

}
