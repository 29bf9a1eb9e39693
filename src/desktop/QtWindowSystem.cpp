#include <desktop/QtWindowSystem.h>

#include <platform/FileAccess.h>
#include <platform/ShiftJisText.h>
#include <desktop/DesktopTarget.h>
#include <desktop/WindowWidget.h>
#include <desktop/X11Compositor.h>

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>
#include <QUrl>
#include <algorithm>
#include <utility>

namespace nimbolt {

namespace {

// The document's handle on its widget. Destroying it releases the widget, which goes away once
// none of its own events is running (see WindowWidget).
class QtNativeWindow final : public NativeWindow {
public:
    explicit QtNativeWindow(WindowWidget& widget)
        : m_widget(&widget)
    {
    }
    ~QtNativeWindow() override
    {
        if (m_widget)
            m_widget->release();
    }

    WindowWidget* widget() const { return m_widget; }

    void setVisible(bool visible) override
    {
        if (m_widget)
            m_widget->setShown(visible);
    }
    bool isVisible() const override { return m_widget && m_widget->isVisible(); }
    Point position() const override { return m_widget ? m_widget->framePosition() : Point {}; }
    void moveTo(int32_t x, int32_t y) override
    {
        if (m_widget)
            m_widget->moveFrameTo(x, y);
    }
    Size clientSize() const override { return m_widget ? Size { m_widget->width(), m_widget->height() } : Size {}; }
    Size outerSize() const override { return m_widget ? m_widget->frameSize() : Size {}; }
    void setOuterSize(int32_t width, int32_t height) override
    {
        if (m_widget)
            m_widget->setFrameSize(width, height);
    }
    void setTitle(std::string_view shiftJis) override
    {
        if (m_widget)
            m_widget->setCaption(shiftJis);
    }
    std::string title() const override { return m_widget ? m_widget->caption() : std::string(); }
    void setShape(std::optional<Region> shape) override
    {
        if (m_widget)
            m_widget->setShape(shape);
    }
    bool isShaped() const override { return m_widget && m_widget->isShaped(); }
    bool showsOpacity() const override { return m_widget && m_widget->showsOpacity(); }
    void setOpacity(std::shared_ptr<const OpacityMap> opacity) override
    {
        if (m_widget)
            m_widget->setOpacity(std::move(opacity));
    }
    void invalidate(const Rect* rect) override
    {
        if (!m_widget)
            return;
        if (rect)
            m_widget->update(QRect(rect->left, rect->top, rect->width(), rect->height()));
        else
            m_widget->update();
    }
    void startTimer(int32_t id, int32_t milliseconds) override
    {
        if (m_widget)
            m_widget->startPeriodicTimer(id, milliseconds);
    }
    void stopTimer(int32_t id) override
    {
        if (m_widget)
            m_widget->stopPeriodicTimer(id);
    }

private:
    QPointer<WindowWidget> m_widget;
};

}

static std::function<void()>& firstPaintObserver()
{
    static std::function<void()> observer;
    return observer;
}

void QtWindowSystem::setFirstPaintObserver(std::function<void()> observer)
{
    firstPaintObserver() = std::move(observer);
}

struct QtWindowSystem::Widgets {
    std::vector<QPointer<WindowWidget>> list;
};

QtWindowSystem::QtWindowSystem()
    : m_widgets(std::make_unique<Widgets>())
{
    QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb")) {
        m_alphaWindows = x11HasAlphaVisual();
        m_composited = x11CompositorRuns();
        if (m_alphaWindows)
            m_compositorWatch = std::make_unique<X11CompositorWatch>([this] { setComposited(x11CompositorRuns()); });
    } else if (platform.startsWith(QLatin1String("wayland"))) {
        // Every Wayland compositor composites.
        m_alphaWindows = true;
        m_composited = true;
    } else if (platform == QLatin1String("offscreen")) {
        // Offscreen windows keep their alpha, but nothing composites them.
        m_alphaWindows = true;
    }
}

void QtWindowSystem::setComposited(bool composited)
{
    if (composited == m_composited)
        return;
    m_composited = composited;
    for (QPointer<WindowWidget>& widget : m_widgets->list) {
        if (widget && !widget->isReleased())
            widget->setComposited(composited);
    }
}

QtWindowSystem::~QtWindowSystem()
{
    for (QPointer<WindowWidget>& widget : m_widgets->list)
        delete widget.data();
}

std::unique_ptr<NativeWindow> QtWindowSystem::createWindow(WindowKind kind, WindowEvents& events)
{
    auto& list = m_widgets->list;
    list.erase(std::remove_if(list.begin(), list.end(), [](const QPointer<WindowWidget>& widget) { return !widget; }),
        list.end());
    auto* widget = new WindowWidget(kind, events, *this);
    if (firstPaintObserver() || m_firstPainted)
        widget->setPaintObserver([this] { firstPaintEnded(); });
    list.emplace_back(widget);
    return std::make_unique<QtNativeWindow>(*widget);
}

void QtWindowSystem::firstPaintEnded()
{
    if (std::function<void()> observer = std::exchange(firstPaintObserver(), nullptr))
        observer();
    if (std::function<void()> handler = std::exchange(m_firstPainted, nullptr))
        handler();
}

void QtWindowSystem::setWindowOptions(const DesktopWindowOptions& options)
{
    m_windowOptions = options;
    for (QPointer<WindowWidget>& widget : m_widgets->list) {
        if (widget && !widget->isReleased())
            widget->applyWindowOptions();
    }
}

void QtWindowSystem::raiseWindows()
{
    for (QPointer<WindowWidget>& widget : m_widgets->list) {
        if (widget && !widget->isReleased() && widget->isVisible()) {
            widget->raise();
            widget->activateWindow();
        }
    }
}

MessageBoxResult QtWindowSystem::messageBox(NativeWindow*, std::string_view shiftJisText, const char* caption,
    MessageBoxButtons buttons)
{
    // The box has no parent widget: the document may destroy its window while the box is open.
    QPointer<QMessageBox> box = new QMessageBox(QMessageBox::NoIcon, QString::fromUtf8(caption),
        ShiftJisText::decode(shiftJisText.data(), static_cast<int32_t>(shiftJisText.size())));
    QPushButton* ok = box->addButton(QMessageBox::Ok);
    QPushButton* cancel = buttons == MessageBoxButtons::OkCancel ? box->addButton(QMessageBox::Cancel) : nullptr;
    box->setDefaultButton(ok);
    // A box without an escape button would not close when the program quits.
    box->setEscapeButton(cancel ? cancel : ok);
    // The calling script waits in the box's own loop, but the box blocks no other window: the
    // document windows keep their mouse handlers and the tray its menu while it is open (a
    // window-modal box without a parent window has nothing to block).
    box->setWindowModality(Qt::WindowModal);
    // The text can be selected with the mouse, so that an error report can be copied.
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A box as narrow as a short text would cut its caption down to its first letter: a spacer
    // across the bottom keeps it wide enough for the caption and the frame's buttons.
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
        int width = QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(box->windowTitle()) + 160;
        grid->addItem(new QSpacerItem(std::max(width, 240), 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
            grid->rowCount(), 0, 1, grid->columnCount());
    }
    box->exec();
    bool confirmed = box && box->clickedButton() == ok;
    delete box.data();
    if (buttons == MessageBoxButtons::Ok || confirmed)
        return MessageBoxResult::Ok;
    return MessageBoxResult::Cancel;
}

void QtWindowSystem::popupMenu()
{
    if (QMenu* menu = m_menu ? m_menu() : nullptr)
        menu->popup(QCursor::pos());
}

Size QtWindowSystem::screenSize() const
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    QSize size = screen->size();
    return { size.width(), size.height() };
}

int32_t QtWindowSystem::screenDepth() const
{
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->depth() : 24;
}

void QtWindowSystem::openWithDesktop(std::string_view shiftJisTarget)
{
    if (shiftJisTarget.empty())
        return;
    QUrl url;
    if (desktopTargetKind(shiftJisTarget) == DesktopTargetKind::Address) {
        url = QUrl(ShiftJisText::decode(shiftJisTarget.data(), static_cast<int32_t>(shiftJisTarget.size())));
    } else {
        std::string path = resolveDocumentPath(shiftJisTarget).value_or(convertDocumentPath(shiftJisTarget));
        url = QUrl::fromLocalFile(QDir::current().absoluteFilePath(QFile::decodeName(path.c_str())));
    }
    // The desktop's opener runs as a process of its own; nothing here waits for it.
    if (url.isValid())
        QDesktopServices::openUrl(url);
}

void QtWindowSystem::quit()
{
    // exit() rather than quit(): it ends every running loop, those of open boxes and dialogs too.
    QCoreApplication::exit(0);
}

}
