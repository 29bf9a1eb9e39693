#include <desktop/X11WindowState.h>

#include <QGuiApplication>
#include <QPointF>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <vector>
#include <xcb/xcb.h>

namespace nimbolt {

namespace {

enum class StateChange : uint32_t {
    Remove = 0,
    Add = 1,
};

// The X window of a widget with the connection and the root window it lives on.
struct X11Window {
    xcb_connection_t* connection;
    xcb_window_t id;
    xcb_window_t root;
    bool shown;

    xcb_atom_t atom(const char* name) const
    {
        xcb_intern_atom_cookie_t cookie
            = xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
        if (!reply)
            return XCB_ATOM_NONE;
        xcb_atom_t atom = reply->atom;
        std::free(reply);
        return atom;
    }

    // The 32-bit items of a property of window (empty when it has none).
    std::vector<uint32_t> property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type) const
    {
        xcb_get_property_reply_t* reply = xcb_get_property_reply(connection,
            xcb_get_property(connection, 0, window, name, type, 0, 1024), nullptr);
        std::vector<uint32_t> items;
        if (reply && reply->format == 32) {
            auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply));
            items.assign(data, data + xcb_get_property_value_length(reply) / 4);
        }
        std::free(reply);
        return items;
    }

    // A request to the window manager about this window, as a client message to the root window.
    void ask(xcb_atom_t type, std::initializer_list<uint32_t> data) const
    {
        xcb_client_message_event_t message {};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = id;
        message.type = type;
        std::copy(data.begin(), data.end(), message.data.data32);
        xcb_send_event(connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
            reinterpret_cast<const char*>(&message));
    }
};

// A window manager's requests carry who makes them: 1 is an application.
constexpr uint32_t FromApplication = 1;

std::optional<X11Window> x11Window(QWidget& window)
{
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return std::nullopt;
    auto id = static_cast<xcb_window_t>(window.winId());
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!id || !screen)
        return std::nullopt;
    return X11Window { connection, id, screen->root, window.isVisible() };
}

// Adds and removes states of _NET_WM_STATE; the states Qt writes at the first show are kept, as
// Qt keeps those it finds there.
void changeStates(QWidget& widget, std::initializer_list<const char*> added, std::initializer_list<const char*> removed)
{
    std::optional<X11Window> window = x11Window(widget);
    xcb_atom_t state = window ? window->atom("_NET_WM_STATE") : xcb_atom_t(XCB_ATOM_NONE);
    if (!state)
        return;
    std::vector<uint32_t> states = window->shown ? std::vector<uint32_t>() : window->property(window->id, state, XCB_ATOM_ATOM);
    auto change = [&](const char* name, StateChange how) {
        xcb_atom_t atom = window->atom(name);
        if (!atom)
            return;
        if (window->shown) {
            window->ask(state, { static_cast<uint32_t>(how), atom, 0, FromApplication });
            return;
        }
        std::erase(states, atom);
        if (how == StateChange::Add)
            states.push_back(atom);
    };
    for (const char* name : removed)
        change(name, StateChange::Remove);
    for (const char* name : added)
        change(name, StateChange::Add);
    if (!window->shown)
        xcb_change_property(window->connection, XCB_PROP_MODE_REPLACE, window->id, state, XCB_ATOM_ATOM, 32,
            static_cast<uint32_t>(states.size()), states.data());
    xcb_flush(window->connection);
}

}

void setSkipTaskbar(QWidget& window)
{
    changeStates(window, { "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER" }, {});
}

void setStacking(QWidget& window, WindowStacking stacking)
{
    switch (stacking) {
    case WindowStacking::Above:
        changeStates(window, { "_NET_WM_STATE_ABOVE" }, { "_NET_WM_STATE_BELOW" });
        break;
    case WindowStacking::Below:
        changeStates(window, { "_NET_WM_STATE_BELOW" }, { "_NET_WM_STATE_ABOVE" });
        break;
    case WindowStacking::Normal:
        changeStates(window, {}, { "_NET_WM_STATE_ABOVE", "_NET_WM_STATE_BELOW" });
        break;
    }
}

void setOnAllWorkspaces(QWidget& widget, bool all)
{
    static constexpr uint32_t AllWorkspaces = 0xFFFFFFFF;
    std::optional<X11Window> window = x11Window(widget);
    xcb_atom_t desktop = window ? window->atom("_NET_WM_DESKTOP") : xcb_atom_t(XCB_ATOM_NONE);
    if (!desktop)
        return;
    if (window->shown) {
        // Back from every workspace to the one the desktop shows now (0 when no one says).
        uint32_t workspace = AllWorkspaces;
        if (!all) {
            std::vector<uint32_t> current
                = window->property(window->root, window->atom("_NET_CURRENT_DESKTOP"), XCB_ATOM_CARDINAL);
            workspace = current.empty() ? 0 : current.front();
        }
        window->ask(desktop, { workspace, FromApplication });
    } else if (all) {
        xcb_change_property(window->connection, XCB_PROP_MODE_REPLACE, window->id, desktop, XCB_ATOM_CARDINAL, 32, 1,
            &AllWorkspaces);
    } else {
        // Without the property the window manager puts the window on the current workspace.
        xcb_delete_property(window->connection, window->id, desktop);
    }
    xcb_flush(window->connection);
}


bool startWindowManagerMove(QWidget& widget, const QPointF& pressPosition)
{
    std::optional<X11Window> window = widget.windowHandle() ? x11Window(widget) : std::nullopt;
    xcb_atom_t moveResize = window ? window->atom("_NET_WM_MOVERESIZE") : xcb_atom_t(XCB_ATOM_NONE);
    if (!moveResize)
        return false;
    std::vector<uint32_t> supported = window->property(window->root, window->atom("_NET_SUPPORTED"), XCB_ATOM_ATOM);
    if (std::find(supported.begin(), supported.end(), moveResize) == supported.end())
        return false;
    static constexpr uint32_t Move = 8;
    static constexpr uint32_t LeftButton = 1;
    QPointF native = pressPosition * widget.windowHandle()->devicePixelRatio();
    // The window manager takes the pointer over: the button's implicit grab must end first.
    xcb_ungrab_pointer(window->connection, XCB_CURRENT_TIME);
    window->ask(moveResize,
        { static_cast<uint32_t>(qRound(native.x())), static_cast<uint32_t>(qRound(native.y())), Move, LeftButton,
            FromApplication });
    xcb_flush(window->connection);
    return true;
}

}
