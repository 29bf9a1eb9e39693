#include <desktop/X11Compositor.h>

#include <QByteArray>
#include <QGuiApplication>
#include <QRegion>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <xcb/shape.h>
#include <xcb/xcb.h>

namespace nimbolt {

namespace {

xcb_connection_t* qtConnection()
{
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// The number of the screen that DISPLAY names (":0.1" is screen 1), which Qt shows its windows on.
int screenNumber()
{
    char* host = nullptr;
    int display = 0;
    int screen = 0;
    if (!xcb_parse_display(nullptr, &host, &display, &screen))
        return 0;
    std::free(host);
    return screen;
}

xcb_screen_t* screenOf(xcb_connection_t* connection)
{
    xcb_screen_iterator_t roots = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int skipped = screenNumber(); roots.rem > 0 && skipped > 0; --skipped)
        xcb_screen_next(&roots);
    return roots.rem > 0 ? roots.data : nullptr;
}

xcb_atom_t selectionAtom(xcb_connection_t* connection)
{
    std::string name = "_NET_WM_CM_S" + std::to_string(screenNumber());
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection,
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(name.size()), name.c_str()), nullptr);
    xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// The XFIXES notice of a changed selection owner, as the extension's protocol lays it out.
struct SelectionNotify {
    uint8_t responseType;
    uint8_t subtype;
    uint16_t sequence;
    uint32_t window;
    uint32_t owner;
    uint32_t selection;
    uint32_t timestamp;
    uint32_t selectionTimestamp;
};

}

bool x11HasAlphaVisual()
{
    xcb_connection_t* connection = qtConnection();
    xcb_screen_t* screen = connection ? screenOf(connection) : nullptr;
    if (!screen)
        return false;
    for (xcb_depth_iterator_t depths = xcb_screen_allowed_depths_iterator(screen); depths.rem > 0;
         xcb_depth_next(&depths)) {
        if (depths.data->depth != 32)
            continue;
        for (xcb_visualtype_iterator_t visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem > 0;
             xcb_visualtype_next(&visuals)) {
            if (visuals.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR)
                return true;
        }
    }
    return false;
}

bool x11CompositorRuns()
{
    xcb_connection_t* connection = qtConnection();
    xcb_atom_t selection = connection ? selectionAtom(connection) : xcb_atom_t(XCB_ATOM_NONE);
    if (!selection)
        return false;
    xcb_get_selection_owner_reply_t* reply
        = xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
    bool owned = reply && reply->owner != XCB_WINDOW_NONE;
    std::free(reply);
    return owned && x11HasAlphaVisual();
}

namespace {

void setX11Shape(QWidget& widget, const QRegion* shape, xcb_shape_kind_t kind)
{
    xcb_connection_t* connection = qtConnection();
    if (!connection)
        return;
    auto window = static_cast<xcb_window_t>(widget.winId());
    if (!shape) {
        xcb_shape_mask(connection, XCB_SHAPE_SO_SET, kind, window, 0, 0, XCB_PIXMAP_NONE);
        xcb_flush(connection);
        return;
    }
    // X counts in device pixels; the program's scale factors are whole numbers.
    int scale = widget.windowHandle() ? qRound(widget.windowHandle()->devicePixelRatio()) : 1;
    std::vector<xcb_rectangle_t> rects;
    rects.reserve(static_cast<size_t>(shape->rectCount()));
    for (const QRect& rect : *shape) {
        rects.push_back({ static_cast<int16_t>(rect.x() * scale), static_cast<int16_t>(rect.y() * scale),
            static_cast<uint16_t>(rect.width() * scale), static_cast<uint16_t>(rect.height() * scale) });
    }
    xcb_shape_rectangles(connection, XCB_SHAPE_SO_SET, kind, XCB_CLIP_ORDERING_UNSORTED, window, 0, 0,
        static_cast<uint32_t>(rects.size()), rects.data());
    xcb_flush(connection);
}

}

void setX11InputShape(QWidget& widget, const QRegion* shape)
{
    setX11Shape(widget, shape, XCB_SHAPE_SK_INPUT);
}

void setX11BoundingShape(QWidget& widget, const QRegion* shape)
{
    setX11Shape(widget, shape, XCB_SHAPE_SK_BOUNDING);
}

X11CompositorWatch::X11CompositorWatch(std::function<void()> changed)
    : m_changed(std::move(changed))
{
    xcb_connection_t* connection = qtConnection();
    if (!connection)
        return;
    static constexpr char Name[] = "XFIXES";
    xcb_query_extension_reply_t* reply = xcb_query_extension_reply(connection,
        xcb_query_extension(connection, static_cast<uint16_t>(std::strlen(Name)), Name), nullptr);
    if (reply && reply->present) {
        m_selectionNotify = reply->first_event; // the extension's event 0
        m_selection = selectionAtom(connection);
    }
    std::free(reply);
    if (m_selectionNotify && m_selection)
        QCoreApplication::instance()->installNativeEventFilter(this);
}

X11CompositorWatch::~X11CompositorWatch()
{
    if (QCoreApplication* application = QCoreApplication::instance())
        application->removeNativeEventFilter(this);
}

bool X11CompositorWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != m_selectionNotify)
        return false;
    SelectionNotify notice;
    std::memcpy(&notice, event, sizeof notice);
    // Qt hears of it too: the event goes on.
    if (notice.selection == m_selection && m_changed)
        m_changed();
    return false;
}

}
