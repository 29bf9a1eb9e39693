#include <desktop/X11WindowState.h>

#include <QGuiApplication>
#include <QPointF>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <xcb/xcb.h>

namespace nimbolt {

static xcb_atom_t internAtom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

static xcb_connection_t* x11Connection()
{
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

void setSkipTaskbar(QWidget& window)
{
    xcb_connection_t* connection = x11Connection();
    if (!connection)
        return;
    auto id = static_cast<xcb_window_t>(window.winId());
    xcb_atom_t state = internAtom(connection, "_NET_WM_STATE");
    std::vector<xcb_atom_t> atoms;
    for (const char* name : { "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER" }) {
        if (xcb_atom_t atom = internAtom(connection, name))
            atoms.push_back(atom);
    }
    if (!id || !state || atoms.empty())
        return;
    // Qt keeps the atoms it finds here when it writes its own states at the first show.
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
        static_cast<uint32_t>(atoms.size()), atoms.data());
    xcb_flush(connection);
}

static bool windowManagerSupports(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t wanted)
{
    xcb_atom_t supported = internAtom(connection, "_NET_SUPPORTED");
    xcb_get_property_cookie_t cookie = xcb_get_property(connection, 0, root, supported, XCB_ATOM_ATOM, 0, 1024);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr);
    if (!reply)
        return false;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
    int count = xcb_get_property_value_length(reply) / static_cast<int>(sizeof(xcb_atom_t));
    bool found = wanted && std::find(atoms, atoms + count, wanted) != atoms + count;
    std::free(reply);
    return found;
}

bool startWindowManagerMove(QWidget& window, const QPointF& pressPosition)
{
    xcb_connection_t* connection = x11Connection();
    if (!connection || !window.windowHandle())
        return false;
    const xcb_setup_t* setup = xcb_get_setup(connection);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    if (!screens.rem)
        return false;
    xcb_window_t root = screens.data->root;
    xcb_atom_t moveResize = internAtom(connection, "_NET_WM_MOVERESIZE");
    if (!windowManagerSupports(connection, root, moveResize))
        return false;
    QPointF native = pressPosition * window.windowHandle()->devicePixelRatio();
    xcb_client_message_event_t message {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = static_cast<xcb_window_t>(window.winId());
    message.type = moveResize;
    message.data.data32[0] = static_cast<uint32_t>(qRound(native.x()));
    message.data.data32[1] = static_cast<uint32_t>(qRound(native.y()));
    message.data.data32[2] = 8; // _NET_WM_MOVERESIZE_MOVE
    message.data.data32[3] = 1; // the left button
    message.data.data32[4] = 1; // asked for by an application
    // The window manager takes the pointer over: the button's implicit grab must end first.
    xcb_ungrab_pointer(connection, XCB_CURRENT_TIME);
    xcb_send_event(connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
        reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
    return true;
}

}
