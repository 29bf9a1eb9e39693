// The whole document path on arbitrary bytes: read as a document (UTF-8 detection included) into
// a window without a display, then clicks and moves at a few points, a few seconds of clock and
// interval ticks, a paint, and the document's release. Scripts that never end are stopped by the
// run limit.
#include <document/Document.h>
#include <document/DocumentFile.h>
#include <document/HeadlessWindowSystem.h>
#include <platform/GuiSession.h>

#include <cstdint>
#include <string>

using namespace nimbolt;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static GuiSession session(*argc, *argv, GuiDisplay::None);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    HeadlessWindowSystem system(std::tm {}, { 640, 480 }, size % 2 ? 16 : 24);
    RefPtr<Document> document = Document::create(system, system);
    if (!document)
        return 0;
    document->setRunLimit(20);
    std::string text = documentText(std::string(reinterpret_cast<const char*>(data), size), "fuzz.nbm");
    (void)document->loadText(text, "/tmp/nimbolt-fuzz/fuzz.nbm");
    static const Point points[] = { { 5, 5 }, { 20, 12 }, { 100, 60 }, { 0, 0 } };
    for (const Point& point : points) {
        if (auto* window = static_cast<HeadlessWindow*>(document->window())) {
            window->events().windowMouseMove(point.x, point.y);
            window->events().windowMouseButton(MouseButtonEvent::Down, point.x, point.y);
        }
        if (auto* window = static_cast<HeadlessWindow*>(document->window()))
            window->events().windowMouseButton(MouseButtonEvent::Up, point.x, point.y);
    }
    system.advance(2500);
    if (auto* window = static_cast<HeadlessWindow*>(document->window()))
        (void)window->paintAll();
    document->shutdown();
    return 0;
}
