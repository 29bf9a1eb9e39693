// The whole document path on arbitrary bytes: read as a document (UTF-8 detection included) into
// a window without a display, then clicks and moves at a few points, a few seconds of clock and
// interval ticks, a paint, and the document's release. Scripts that never end are stopped by the
// run limit. The document's folder holds one generated picture under the names the example
// documents use, so backgrounds, images and window shapes get real pixels. Documents trace their
// objects' lives on standard output: run with -close_fd_mask=1 to keep the fuzzer's output readable.
#include <document/Document.h>
#include <document/DocumentFile.h>
#include <headless/HeadlessWindowSystem.h>
#include <platform/GuiSession.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

using namespace nimbolt;

namespace {

const char* const PictureFolder = "/tmp/nimbolt-fuzz";

void putLittleEndian(std::string& out, uint32_t value, int32_t bytes)
{
    for (int32_t i = 0; i < bytes; ++i)
        out += static_cast<char>(value >> (8 * i) & 0xFF);
}

// A 24-bit BMP: a shaded disc on magenta, so that the corner colour differs from the inside.
void writePicture(const std::string& path, int32_t width, int32_t height)
{
    int32_t stride = (width * 3 + 3) & ~3;
    uint32_t imageSize = static_cast<uint32_t>(stride * height);
    std::string bmp = "BM";
    putLittleEndian(bmp, 54 + imageSize, 4);
    putLittleEndian(bmp, 0, 4);
    putLittleEndian(bmp, 54, 4);
    putLittleEndian(bmp, 40, 4);
    putLittleEndian(bmp, static_cast<uint32_t>(width), 4);
    putLittleEndian(bmp, static_cast<uint32_t>(height), 4);
    putLittleEndian(bmp, 1, 2);
    putLittleEndian(bmp, 24, 2);
    putLittleEndian(bmp, 0, 4);
    putLittleEndian(bmp, imageSize, 4);
    putLittleEndian(bmp, 2835, 4);
    putLittleEndian(bmp, 2835, 4);
    putLittleEndian(bmp, 0, 4);
    putLittleEndian(bmp, 0, 4);
    for (int32_t y = 0; y < height; ++y) {
        std::string row;
        for (int32_t x = 0; x < width; ++x) {
            int32_t dx = 2 * x - width + 1, dy = 2 * y - height + 1;
            bool inside = int64_t { dx } * dx * height * height + int64_t { dy } * dy * width * width
                < int64_t { width } * width * height * height;
            row += static_cast<char>(inside ? 40 + 200 * x / width : 255);
            row += static_cast<char>(inside ? 40 + 200 * y / height : 0);
            row += static_cast<char>(inside ? 90 : 255);
        }
        row.resize(static_cast<size_t>(stride), '\0');
        bmp += row;
    }
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        (void)std::fwrite(bmp.data(), 1, bmp.size(), file);
        (void)std::fclose(file);
    }
}

}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static GuiSession session(*argc, *argv, GuiDisplay::None);
    std::error_code error;
    std::filesystem::create_directories(PictureFolder, error);
    for (const char* name : { "a.bmp", "button.bmp", "dial.bmp", "disc.bmp", "face.bmp", "nimbolt.bmp" })
        writePicture(std::string(PictureFolder) + "/" + name, 96, 64);
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
    (void)document->loadText(text, std::string(PictureFolder) + "/fuzz.nbm");
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
