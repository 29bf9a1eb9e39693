// Composes a 400 x 400 frame into a back buffer of 24 and of 16 bits, the way a document window
// does on a full repaint: a background fill and a few boxes, twelve lines of text (half of them
// Shift-JIS), three clock hands with wide pens (one outlined), an 8-bit picture scaled up, and a
// 24-bit picture blended with the green key. Prints the time per frame and per part.
#include <elements/ClockHand.h>
#include <imaging/Blend.h>
#include <imaging/Surface.h>
#include <platform/GuiSession.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace nimbolt;

namespace {

using Clock = std::chrono::steady_clock;

struct Pictures {
    RefPtr<Surface> indexed; // 100 x 100, 8 bits
    RefPtr<Surface> trueColour; // 200 x 200, 24 bits, every fifth pixel the green key
};

Pictures makePictures()
{
    Pictures pictures { createSurface(100, 100, 8), createSurface(200, 200, 24) };
    ColorTableEntry table[256];
    for (int i = 0; i < 256; ++i)
        table[i] = { static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 3), 0 };
    (void)pictures.indexed->setPalette(0, 256, table);
    SurfaceInfo info;
    (void)pictures.indexed->getInfo(info);
    for (int y = 0; y < info.height; ++y) {
        for (int x = 0; x < info.width; ++x)
            info.bits[y * info.stride + x] = static_cast<uint8_t>(x * y);
    }
    (void)pictures.trueColour->getInfo(info);
    for (int y = 0; y < info.height; ++y) {
        for (int x = 0; x < info.width; ++x) {
            uint8_t* pixel = info.bits + y * info.stride + x * 3;
            bool key = (x + y) % 5 == 0;
            pixel[0] = key ? 0 : static_cast<uint8_t>(x);
            pixel[1] = key ? 255 : static_cast<uint8_t>(y);
            pixel[2] = key ? 0 : static_cast<uint8_t>(x + y);
        }
    }
    return pictures;
}

struct Timings {
    double fills { 0 };
    double text { 0 };
    double hands { 0 };
    double scaled { 0 };
    double blended { 0 };
    double total() const { return fills + text + hands + scaled + blended; }
};

double since(Clock::time_point start)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

void drawFrame(Surface& frame, const Pictures& pictures, const Font& font, Timings& timings)
{
    DeviceContext* context = nullptr;
    (void)frame.getDC(context);
    context->saveDC();

    auto start = Clock::now();
    context->fillRect({ 0, 0, 400, 400 }, Brush::solid(0x00403020));
    for (int i = 0; i < 8; ++i)
        context->fillRect({ 10 + i * 45, 10, 50 + i * 45, 60 }, Brush::solid(0x00102030u * static_cast<uint32_t>(i + 1)));
    timings.fills += since(start);

    start = Clock::now();
    context->selectFont(font);
    context->setTextColor(0x00FFFFFF);
    static const char ascii[] = "12:34:56 Nimbolt clock";
    static const char japanese[] = "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x95\xb6\x8e\x9a\x97\xf1 ABC"; // 日本語の文字列
    for (int line = 0; line < 12; ++line) {
        const char* text = line % 2 ? japanese : ascii;
        context->setBkMode(line % 3 ? BackgroundMode::Transparent : BackgroundMode::Opaque);
        context->textOut(12, 70 + line * 20, text, static_cast<int32_t>(std::strlen(text)));
    }
    timings.text += since(start);

    start = Clock::now();
    Rect dial { 200, 200, 400, 400 };
    std::tm time {};
    time.tm_hour = 10;
    time.tm_min = 8;
    time.tm_sec = 37;
    drawHand(*context, handGeometry(dial, 80, 8, handAngle(HandKind::Hour, time)), 8, 0x000000FF, NoColor);
    drawHand(*context, handGeometry(dial, 95, 5, handAngle(HandKind::Minute, time)), 5, 0x0000FF00, 0x00FFFFFF);
    drawHand(*context, handGeometry(dial, 98, 2, handAngle(HandKind::Second, time)), 2, 0x00FF0000, NoColor);
    timings.hands += since(start);

    start = Clock::now();
    (void)pictures.indexed->stretchDraw(*context, { 200, 10, 380, 190 }, { 0, 0, 100, 100 });
    timings.scaled += since(start);

    start = Clock::now();
    SurfaceInfo target, source;
    (void)frame.lock(target);
    (void)pictures.trueColour->lock(source);
    blendRect(target, 10, 190, source, { 0, 0, 200, 200 }, 0x00FF00, 128);
    (void)pictures.trueColour->unlock(source);
    (void)frame.unlock(target);
    timings.blended += since(start);

    context->restoreDC(-1);
    (void)frame.releaseDC(context);
}

}

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    GuiSession session(argc, argv);
    int frames = argc > 1 ? std::atoi(argv[1]) : 300;
    if (frames <= 0)
        frames = 300;
    Pictures pictures = makePictures();
    Font font = Font::create({ 16, 0, 400, 0, 0, 0 });

    std::printf("%d frames of 400 x 400 (times in microseconds per frame)\n", frames);
    std::printf("depth   total   fills    text   hands  scaled blended\n");
    for (int depth : { 24, 16 }) {
        RefPtr<Surface> frame = createSurface(400, 400, depth);
        Timings warmUp;
        drawFrame(*frame, pictures, font, warmUp);
        Timings timings;
        for (int i = 0; i < frames; ++i)
            drawFrame(*frame, pictures, font, timings);
        auto perFrame = [&](double micros) { return micros / frames; };
        std::printf("%5d %7.0f %7.0f %7.0f %7.0f %7.0f %7.0f\n", depth, perFrame(timings.total()), perFrame(timings.fills),
            perFrame(timings.text), perFrame(timings.hands), perFrame(timings.scaled), perFrame(timings.blended));
    }
    return 0;
}
