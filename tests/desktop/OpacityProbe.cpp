// opacity-probe: one mascot window of the desktop window system, 40 x 30 pixels of the colour
// (200, 100, 40) at (100, 80), in four bands of ten columns whose opacity is 255, 128, 64 and 0;
// its shape is the two left bands. It runs until it is ended, for the desktop tests to look at
// under a compositing manager.
#include <platform/Brush.h>
#include <desktop/QtWindowSystem.h>

#include <QApplication>
#include <memory>

using namespace nimbolt;

namespace {

class OneColour final : public WindowEvents {
public:
    void windowSized(int32_t, int32_t) override {}
    void windowMoved() override {}
    void windowPaint(DeviceContext& target, const Rect& clip) override
    {
        target.fillRect(clip, Brush::solid(makeColor(200, 100, 40)));
    }
    void windowMouseButton(MouseButtonEvent, int32_t, int32_t) override {}
    void windowMouseMove(int32_t, int32_t) override {}
    void windowContextMenu() override {}
    void windowTimer(int32_t) override {}
    void windowFileDropped(const std::string&) override {}
};

}

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QtWindowSystem system;
    OneColour events;
    std::unique_ptr<NativeWindow> window = system.createWindow(WindowKind::Mascot, events);
    window->setOuterSize(40, 30);
    window->moveTo(100, 80);
    Region shape;
    if (!shape.rects.reserve(1) || !shape.rects.append({ 0, 0, 20, 30 }))
        return 1;
    shape.bounds = { 0, 0, 20, 30 };
    window->setShape(std::move(shape));
    auto opacity = std::make_shared<OpacityMap>();
    opacity->width = 40;
    opacity->height = 30;
    for (int32_t y = 0; y < 30; ++y) {
        for (uint8_t band : { 255, 128, 64, 0 })
            opacity->values.insert(opacity->values.end(), 10, band);
    }
    window->setOpacity(opacity);
    window->setVisible(true);
    return QApplication::exec();
}
