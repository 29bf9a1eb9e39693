// Documents measured as the desktop program uses them, in a window without a display:
//   paint  a 400 x 400 document (a picture background, a blended picture, three hands and a
//          digital clock): a full repaint, and the repaint one clock tick asks for;
//   load   a generated document of 1,000 nested and sibling elements with ids;
//   data   createDocument of a 5 MB data document;
//   memory 1,000 successive loads into one document: resident memory after the first ten and at
//          the end.
// Prints each figure (processor time of the measuring thread) beside its goal.
// Usage: document-bench [repetitions]
#include <document/Document.h>
#include <document/HeadlessWindowSystem.h>
#include <platform/GuiSession.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace nimbolt;
namespace fs = std::filesystem;

namespace {

// Processor time of this thread: the machine may be busy with other work, and what a paint or
// a load costs is the processor time it takes.
struct Clock {
    using time_point = double;
    static double now()
    {
        timespec time {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
        return static_cast<double>(time.tv_sec) * 1000.0 + static_cast<double>(time.tv_nsec) / 1e6;
    }
};

double millisecondsSince(Clock::time_point start)
{
    return Clock::now() - start;
}

// A 24-bit BMP of size x size, bottom-up, with a gradient and every seventh pixel pure green.
std::string bmp24(int32_t size)
{
    int32_t stride = (size * 3 + 3) / 4 * 4;
    std::string file(static_cast<size_t>(54 + stride * size), '\0');
    auto put32 = [&](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            file[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(size));
    put32(22, static_cast<uint32_t>(size));
    file[26] = 1;
    file[28] = 24;
    for (int32_t y = 0; y < size; ++y) {
        for (int32_t x = 0; x < size; ++x) {
            char* pixel = &file[static_cast<size_t>(54 + y * stride + x * 3)];
            bool key = (x + y) % 7 == 0;
            pixel[0] = static_cast<char>(key ? 0 : x);
            pixel[1] = static_cast<char>(key ? 255 : y);
            pixel[2] = static_cast<char>(key ? 0 : x + y);
        }
    }
    return file;
}

long residentKilobytes()
{
    long pages = 0, resident = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm)
        return 0;
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
        resident = 0;
    std::fclose(statm);
    return resident * sysconf(_SC_PAGESIZE) / 1024;
}

void report(const char* what, double value, const char* unit, double goal)
{
    std::fprintf(stderr, "%-44s %10.3f %-3s goal %8.3f  %s\n", what, value, unit, goal, value <= goal ? "met" : "MISSED");
}

std::string write(const fs::path& folder, const std::string& name, const std::string& text)
{
    std::ofstream(folder / name, std::ios::binary) << text;
    return (folder / name).string();
}

}

int main(int argc, char** argv)
{
    int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    GuiSession session(argc, argv, GuiDisplay::None);
    // The documents' traces would drown the figures.
    (void)std::freopen("/dev/null", "w", stdout);
    fs::path folder = fs::temp_directory_path() / ("nimbolt-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    write(folder, "face.bmp", bmp24(400));
    write(folder, "leaf.bmp", bmp24(150));

    std::tm time {};
    time.tm_hour = 10;
    time.tm_min = 8;
    time.tm_sec = 30;
    HeadlessWindowSystem system(time);
    RefPtr<Document> document = Document::create(system, system);

    // Paint.
    std::string paintDocument = write(folder, "paint.nbm",
        "<nbml><body type=\"screen\" width=\"400\" height=\"400\" background=\"face.bmp\">"
        "<div left=\"120\" top=\"120\" width=\"150\" height=\"150\" background=\"leaf.bmp\"></div>"
        "<clock hand=\"hour\" size=\"120\" lineWidth=\"8\" width=\"400\" height=\"400\" color=\"#202020\"></clock>"
        "<clock hand=\"min\" size=\"170\" lineWidth=\"5\" width=\"400\" height=\"400\" color=\"#202020\" "
        "handBgcolor=\"#ffffff\"></clock>"
        "<clock hand=\"sec\" size=\"180\" lineWidth=\"2\" width=\"400\" height=\"400\" color=\"#ff0000\"></clock>"
        "<clock left=\"150\" top=\"300\" fmt=\"%H:%M:%S\" locale=\"C\" color=\"#000000\" fontSize=\"24\"></clock>"
        "</body><head><script>window.document.all[0].filterAlphaOpacity = 60;</script></head></nbml>");
    (void)document->load(paintDocument);
    auto* window = static_cast<HeadlessWindow*>(document->window());
    if (!window || window->clientSize() != Size { 400, 400 }) {
        std::fprintf(stderr, "document-bench: the paint document did not load\n");
        return 1;
    }
    (void)window->paintAll();
    Clock::time_point start = Clock::now();
    for (int i = 0; i < repetitions; ++i)
        (void)window->paintAll();
    report("full repaint of 400 x 400", millisecondsSince(start) / repetitions, "ms", 1.0);
    double ticking = 0;
    for (int i = 0; i < repetitions; ++i) {
        system.advance(1000);
        start = Clock::now();
        (void)window->paint();
        ticking += millisecondsSince(start);
    }
    report("repaint after one tick", ticking / repetitions, "ms", 0.2);

    // Load of 1,000 elements: ten levels of ten siblings holding ten more, with ids.
    std::string elements = "<nbml><body type=\"screen\" width=\"300\" height=\"300\">";
    for (int i = 0; i < 100; ++i) {
        elements += "<div id=\"g" + std::to_string(i) + "\" left=\"" + std::to_string(i) + "\">";
        for (int k = 0; k < 9; ++k)
            elements += "<div id=\"e" + std::to_string(i * 9 + k) + "\" top=\"" + std::to_string(k) + "\">x</div>";
        elements += "</div>";
    }
    elements += "</body></nbml>";
    std::string elementsPath = write(folder, "elements.nbm", elements);
    double loading = 1e9;
    for (int i = 0; i < 10; ++i) {
        start = Clock::now();
        (void)document->loadText(elements, elementsPath);
        loading = std::min(loading, millisecondsSince(start));
    }
    report("load of 1,000 elements (best of 10)", loading, "ms", 20.0);

    // createDocument of 5 MB.
    std::string data = "<items>";
    for (int i = 0; data.size() < 5u << 20; ++i)
        data += "<item id=\"i" + std::to_string(i) + "\" kind=\"plain\" size=\"" + std::to_string(i % 97)
            + "\">an item of the list</item>\n";
    data += "</items>";
    write(folder, "data.nbm", data);
    (void)document->loadText("<nbml><body type=\"screen\"></body></nbml>", (folder / "small.nbm").string());
    double reading = 1e9;
    for (int i = 0; i < 3; ++i) {
        std::string script = "var data = window.createDocument(\"data.nbm\"); data = 0;";
        start = Clock::now();
        (void)document->runner()->runText(script.data(), static_cast<int32_t>(script.size()));
        reading = std::min(reading, millisecondsSince(start));
    }
    report("createDocument of 5 MB (best of 3)", reading, "ms", 200.0);

    // 1,000 successive loads.
    long afterTen = 0;
    for (int i = 0; i < 1000; ++i) {
        (void)document->load(i % 2 ? paintDocument : elementsPath);
        if (i == 9)
            afterTen = residentKilobytes();
    }
    long atEnd = residentKilobytes();
    std::fprintf(stderr, "%-44s %10ld KiB after 10, %ld KiB after 1000\n", "resident memory over 1,000 loads", afterTen,
        atEnd);
    report("growth after the first ten loads", static_cast<double>(atEnd - afterTen) / 1024, "MiB", 1.0);

    document->shutdown();
    document = nullptr;
    fs::remove_all(folder);
    return 0;
}
