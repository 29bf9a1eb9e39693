#include <desktop/DisplayCheck.h>

#include <QDir>
#include <QLibraryInfo>
#include <QString>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace nimbolt {

static std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

static bool canOpenX11Display()
{
    if (environment("DISPLAY").empty())
        return false;
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    bool open = !xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    return open;
}

// The compositor's socket: WAYLAND_DISPLAY as a path, or a name in XDG_RUNTIME_DIR ("wayland-0"
// when unset, as the Wayland library takes it).
static bool canReachWaylandCompositor()
{
    std::string name = environment("WAYLAND_DISPLAY");
    std::string runtime = environment("XDG_RUNTIME_DIR");
    if (name.empty())
        name = "wayland-0";
    std::string path = name[0] == '/' ? name : runtime.empty() ? std::string() : runtime + "/" + name;
    sockaddr_un address {};
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size());
    int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return false;
    bool reached = ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(socket);
    return reached;
}

static bool hasQtWaylandPlugin()
{
    QStringList folders { QLibraryInfo::path(QLibraryInfo::PluginsPath) };
    for (const QString& folder : QString::fromLocal8Bit(environment("QT_PLUGIN_PATH").c_str()).split(QLatin1Char(':')))
        folders.append(folder);
    for (const QString& folder : folders) {
        if (!folder.isEmpty()
            && !QDir(folder + QStringLiteral("/platforms")).entryList({ QStringLiteral("libqwayland*") }, QDir::Files).isEmpty())
            return true;
    }
    return false;
}

std::optional<std::string> displayProblem()
{
    std::string platforms = environment("QT_QPA_PLATFORM");
    if (platforms.empty())
        platforms = "xcb;wayland";
    bool waylandWithoutPlugin = false;
    bool triedX11 = false;
    size_t start = 0;
    while (start <= platforms.size()) {
        size_t end = platforms.find(';', start);
        std::string entry = platforms.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? platforms.size() + 1 : end + 1;
        std::string_view name = std::string_view(entry).substr(0, entry.find(':'));
        if (name == "xcb") {
            triedX11 = true;
            if (canOpenX11Display())
                return std::nullopt;
        } else if (name.substr(0, 7) == "wayland") {
            if (canReachWaylandCompositor()) {
                if (hasQtWaylandPlugin())
                    return std::nullopt;
                waylandWithoutPlugin = true;
            }
        } else if (!name.empty()) {
            return std::nullopt;
        }
    }
    if (waylandWithoutPlugin)
        return "nimbolt: this Wayland session has no X11 display, and Qt's Wayland support is not installed "
               "(the package qt6-wayland)";
    std::string display = environment("DISPLAY");
    if (triedX11 && !display.empty())
        return "nimbolt: cannot open the display " + display;
    return "nimbolt: no display to show windows on (neither DISPLAY nor WAYLAND_DISPLAY leads to one)";
}

}
