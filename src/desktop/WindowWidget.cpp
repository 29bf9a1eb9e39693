#include <desktop/WindowWidget.h>

#include <platform/QtDeviceContext.h>
#include <platform/ShiftJisText.h>
#include <desktop/QtWindowSystem.h>
#include <desktop/X11Compositor.h>
#include <desktop/X11WindowState.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace nimbolt {

static Qt::WindowFlags windowFlagsOf(WindowKind kind)
{
    if (kind == WindowKind::ScreenWindow)
        return Qt::Window;
    // A frameless Qt::Window rather than Qt::Tool: tool windows may keep a stale position for a
    // while and still show in some taskbars.
    return Qt::Window | Qt::FramelessWindowHint;
}

// A point of the client area as the document counts it (whole logical pixels).
static Point clientPoint(const QPointF& position)
{
    return { static_cast<int32_t>(std::floor(position.x())), static_cast<int32_t>(std::floor(position.y())) };
}

WindowWidget::Dispatch::Dispatch(WindowWidget& widget)
    : m_widget(widget)
{
    ++m_widget.m_dispatchDepth;
}

WindowWidget::Dispatch::~Dispatch()
{
    if (--m_widget.m_dispatchDepth == 0 && m_widget.m_deletePending) {
        m_widget.m_deletePending = false;
        m_widget.deleteLater();
    }
}

WindowWidget::WindowWidget(WindowKind kind, WindowEvents& events, QtWindowSystem& system)
    : QWidget(nullptr, windowFlagsOf(kind))
    , m_kind(kind)
    , m_events(&events)
    , m_system(system)
    , m_withAlpha(kind == WindowKind::Mascot && system.hasAlphaWindows())
    , m_translucent(m_withAlpha && system.isComposited())
{
    // Every paint copies the whole rectangle it is asked for from the back buffer.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    // Only before the native window exists: it is made with an alpha channel then.
    if (m_withAlpha)
        setAttribute(Qt::WA_TranslucentBackground);
    setAcceptDrops(true);
    setMouseTracking(kind != WindowKind::Mascot);
    setWindowTitle(QStringLiteral("Nimbolt"));
    resize(0, 0);
}

WindowWidget::~WindowWidget() = default;

void WindowWidget::release()
{
    m_events = nullptr;
    for (auto& [id, timer] : m_timers)
        timer->stop();
    m_dragging = false;
    m_pressed = false;
    hide();
    if (m_dispatchDepth > 0)
        m_deletePending = true;
    else
        deleteLater();
}

void WindowWidget::setShown(bool shown)
{
    // A window manager reads the hints when a window is mapped and may drop them when it is
    // withdrawn, so they are written before every show.
    if (shown && !isVisible()) {
        if (m_kind != WindowKind::ScreenWindow)
            setSkipTaskbar(*this);
        writeWindowOptions();
    }
    setVisible(shown);
}

void WindowWidget::applyWindowOptions()
{
    if (isVisible())
        writeWindowOptions();
}

// Written as hints rather than as Qt's stay-on-top flags: Qt makes a new native window when those
// change, which would lose the other hints.
void WindowWidget::writeWindowOptions()
{
    const DesktopWindowOptions& options = m_system.windowOptions();
    setStacking(*this, options.stacking);
    setOnAllWorkspaces(*this, options.allWorkspaces);
}

Point WindowWidget::framePosition() const
{
    QPoint position = pos();
    return { position.x(), position.y() };
}

void WindowWidget::moveFrameTo(int32_t x, int32_t y)
{
    m_dragging = false;
    m_placedAt = QPoint(x, y);
    move(x, y);
}

Size WindowWidget::frameSize() const
{
    QSize size = frameGeometry().size();
    return { size.width(), size.height() };
}

void WindowWidget::setFrameSize(int32_t width, int32_t height)
{
    // The frame is what the window manager adds around the client area; it is known once the
    // window has been shown, and none before.
    QSize frame = frameGeometry().size() - size();
    int32_t clientWidth = std::max(width - frame.width(), 0);
    int32_t clientHeight = std::max(height - frame.height(), 0);
    resize(clientWidth, clientHeight);
    reportSize();
}

void WindowWidget::setCaption(std::string_view shiftJis)
{
    m_caption = shiftJis;
    setWindowTitle(ShiftJisText::decode(shiftJis.data(), static_cast<int32_t>(shiftJis.size())));
}

void WindowWidget::setShape(const std::optional<Region>& shape)
{
    m_shape.reset();
    if (shape) {
        std::vector<QRect> rects;
        rects.reserve(shape->rects.size());
        for (const Rect& rect : shape->rects) {
            if (!rect.isEmpty())
                rects.emplace_back(rect.left, rect.top, rect.width(), rect.height());
        }
        m_shape.emplace();
        m_shape->setRects(rects.data(), static_cast<int>(rects.size()));
    }
    m_alphaStale = true;
    applyShape();
}

void WindowWidget::setOpacity(std::shared_ptr<const OpacityMap> opacity)
{
    m_opacity = std::move(opacity);
    m_alphaStale = true;
    if (m_translucent)
        update();
}

void WindowWidget::setComposited(bool composited)
{
    bool translucent = m_withAlpha && composited;
    if (translucent == m_translucent)
        return;
    m_translucent = translucent;
    applyShape();
    // The document paints alpha pictures differently where their alpha shows.
    update();
}

// Cut: the shape is the window's X shape (elsewhere its mask), which is also where the pointer
// reaches it. Translucent: the paint clears what lies outside the shape, and the shape is only
// where the pointer reaches the window (on Wayland, a window's mask is its input region and no
// more).
void WindowWidget::applyShape()
{
    // Qt takes an empty mask for no mask at all; a pixel outside the window shows nothing of it.
    QRegion region = m_shape && !m_shape->isEmpty() ? *m_shape : QRegion(-1, -1, 1, 1);
    QString platform = QGuiApplication::platformName();
    bool onX11 = platform == QLatin1String("xcb");
    if (!m_translucent) {
        if (onX11) {
            // The X server cuts the window itself: a widget mask of one rectangle per run would
            // make Qt clip every paint to it, which costs more than drawing the few pixels the
            // server leaves out.
            if (m_shape || testAttribute(Qt::WA_WState_Created))
                setX11BoundingShape(*this, m_shape ? &region : nullptr);
            if (m_withAlpha)
                setX11InputShape(*this, nullptr);
        } else if (m_shape) {
            setMask(region);
        } else {
            clearMask();
        }
        return;
    }
    clearMask();
    if (onX11) {
        if (testAttribute(Qt::WA_WState_Created))
            setX11BoundingShape(*this, nullptr);
        setX11InputShape(*this, m_shape ? &*m_shape : nullptr);
    } else if (platform.startsWith(QLatin1String("wayland"))) {
        create();
        if (QWindow* window = windowHandle())
            window->setMask(m_shape ? region : QRegion());
    }
    update();
}

const QImage& WindowWidget::alphaMask()
{
    if (!m_alphaStale && m_alpha.size() == size())
        return m_alpha;
    m_alphaStale = false;
    m_alpha = QImage(size(), QImage::Format_Alpha8);
    if (m_alpha.isNull())
        return m_alpha;
    m_alpha.fill(m_shape ? 0 : 255);
    if (m_shape) {
        for (const QRect& rect : m_shape->intersected(m_alpha.rect())) {
            for (int y = rect.top(); y <= rect.bottom(); ++y)
                std::memset(m_alpha.scanLine(y) + rect.left(), 255, static_cast<size_t>(rect.width()));
        }
    }
    if (m_opacity && m_opacity->width > 0 && m_opacity->height > 0
        && m_opacity->values.size() >= static_cast<size_t>(m_opacity->width) * static_cast<size_t>(m_opacity->height)) {
        int width = std::min(m_opacity->width, m_alpha.width());
        for (int y = 0; y < std::min(m_opacity->height, m_alpha.height()); ++y)
            std::memcpy(m_alpha.scanLine(y), m_opacity->values.data() + static_cast<size_t>(y) * m_opacity->width,
                static_cast<size_t>(width));
    }
    return m_alpha;
}

void WindowWidget::startPeriodicTimer(int32_t id, int32_t milliseconds)
{
    if (!m_events)
        return;
    QTimer*& timer = m_timers[id];
    if (!timer) {
        timer = new QTimer(this);
        timer->setTimerType(Qt::PreciseTimer);
        connect(timer, &QTimer::timeout, this, [this, id] {
            if (!m_events)
                return;
            Dispatch dispatch(*this);
            m_events->windowTimer(id);
        });
    }
    timer->start(std::max(milliseconds, 1));
}

void WindowWidget::stopPeriodicTimer(int32_t id)
{
    auto found = m_timers.find(id);
    if (found != m_timers.end())
        found->second->stop();
}

void WindowWidget::reportSize()
{
    Size current { width(), height() };
    if (!m_events || current == m_reportedSize)
        return;
    m_reportedSize = current;
    Dispatch dispatch(*this);
    m_events->windowSized(current.width, current.height);
}

void WindowWidget::paintEvent(QPaintEvent* event)
{
    if (!m_events)
        return;
    {
        Dispatch dispatch(*this);
        QRect area = event->rect();
        {
            std::unique_ptr<DeviceContext> context = createDeviceContext(*this);
            m_events->windowPaint(*context, { area.left(), area.top(), area.left() + area.width(), area.top() + area.height() });
        }
        // The document paints opaque pixels; their alpha (premultiplied) comes from the mask.
        if (m_translucent && (m_shape || m_opacity)) {
            QPainter painter(this);
            painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
            painter.drawImage(area, alphaMask(), area);
        }
    }
    if (m_paintObserver)
        m_paintObserver();
}

void WindowWidget::resizeEvent(QResizeEvent*)
{
    reportSize();
}

void WindowWidget::moveEvent(QMoveEvent*)
{
    if (!m_events)
        return;
    if (DesktopEvents* desktop = m_system.desktopEvents(); desktop && isVisible() && pos() != m_placedAt) {
        m_placedAt = pos();
        desktop->windowDragged({ m_placedAt.x(), m_placedAt.y() });
        if (!m_events)
            return;
    }
    Dispatch dispatch(*this);
    m_events->windowMoved();
}

void WindowWidget::mousePressEvent(QMouseEvent* event)
{
    if (!m_events)
        return;
    Dispatch dispatch(*this);
    if (event->button() == Qt::RightButton) {
        m_events->windowContextMenu();
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = true;
    m_pressPosition = event->position();
    m_pressGlobalPosition = event->globalPosition();
    Point point = clientPoint(m_pressPosition);
    m_events->windowMouseButton(MouseButtonEvent::Down, point.x, point.y);
}

// A press becomes a drag once the pointer has gone the platform's drag distance with the button
// still down; until then the press may still end as a click.
bool WindowWidget::pastDragDistance(const QPointF& globalPosition) const
{
    return (globalPosition - m_pressGlobalPosition).manhattanLength() >= QApplication::startDragDistance();
}

// The window follows the pointer from the pressed point on: through the window manager where
// there is one, by itself otherwise.
void WindowWidget::startMascotDrag(const QPointF& globalPosition)
{
    m_pressed = false;
    if (startWindowManagerMove(*this, m_pressGlobalPosition))
        return;
    if (QWindow* window = windowHandle(); window && window->startSystemMove())
        return;
    m_dragging = true;
    m_dragOffset = m_pressPosition;
    move((globalPosition - m_dragOffset).toPoint());
}

void WindowWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    bool click = std::exchange(m_pressed, false);
    if (!m_events)
        return;
    Dispatch dispatch(*this);
    Point point = clientPoint(event->position());
    if (m_kind != WindowKind::Mascot)
        m_events->windowMouseButton(MouseButtonEvent::Up, point.x, point.y);
    if (click && m_events)
        m_events->windowMouseButton(MouseButtonEvent::Click, point.x, point.y);
}

void WindowWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (m_pressed && (!(event->buttons() & Qt::LeftButton) || pastDragDistance(event->globalPosition()))) {
        m_pressed = false;
        if (m_kind == WindowKind::Mascot && m_events && (event->buttons() & Qt::LeftButton)) {
            startMascotDrag(event->globalPosition());
            return;
        }
    }
    if (m_dragging) {
        if (!(event->buttons() & Qt::LeftButton)) {
            m_dragging = false;
            return;
        }
        move((event->globalPosition() - m_dragOffset).toPoint());
        return;
    }
    if (!m_events || m_kind == WindowKind::Mascot)
        return;
    Dispatch dispatch(*this);
    Point point = clientPoint(event->position());
    m_events->windowMouseMove(point.x, point.y);
}

// Closed through the window manager: with a tray, the window only hides and the tray's icon
// shows the document again; without one, nothing would be left on screen, so the program ends.
void WindowWidget::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        QCoreApplication::exit(0);
}

static QString firstLocalFile(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            return url.toLocalFile();
    }
    return {};
}

void WindowWidget::dragEnterEvent(QDragEnterEvent* event)
{
    if (m_events && !firstLocalFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void WindowWidget::dropEvent(QDropEvent* event)
{
    QString path = firstLocalFile(event->mimeData());
    if (!m_events || path.isEmpty())
        return;
    event->acceptProposedAction();
    Dispatch dispatch(*this);
    QByteArray name = QFile::encodeName(path);
    std::string file(name.constData(), static_cast<size_t>(name.size()));
    if (DesktopEvents* desktop = m_system.desktopEvents())
        desktop->fileDropped(file);
    else
        m_events->windowFileDropped(file);
}

}
