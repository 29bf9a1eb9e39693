#include <desktop/X11WindowState.h>

#include <QGuiApplication>
#include <QWidget>
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

void setSkipTaskbar(QWidget& window)
{
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
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

}
