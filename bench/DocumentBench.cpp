// Documents measured as the desktop program uses them, in a window without a display:
//   paint  a 400 x 400 document (a picture background, a blended picture, three hands and a
//          digital clock): a full repaint, and the repaint one clock tick asks for;
//   load   a generated document of 1,000 nested and sibling elements with ids;
//   data   createDocument of a 5 MB data document;
//   memory 1,000 successive loads into one document: resident memory after the first ten and at
//          the end;
//   big    (only when named) createDocument of a 50 MB data document (refused unread), of the
//          largest data document read (16 MiB) and a load of 100,000 nested elements that is
//          painted, clicked and released: the time and the peak of resident memory each takes.
// Prints each figure (processor time of the measuring thread) beside its goal.
// Usage: document-bench [repetitions] [paint | load | data | memory | big ...]
// (no case names: all but big)
#include <document/Document.h>
#include <headless/HeadlessWindowSystem.h>
#include <platform/GuiSession.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <string>
#include <string_view>
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

// The high-water mark of resident memory, and its reset to the present.
long peakKilobytes()
{
    long peak = 0;
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return 0;
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
        if (std::sscanf(line, "VmHWM: %ld", &peak) == 1)
            break;
    }
    std::fclose(status);
    return peak;
}

void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

void report(const char* what, double value, const char* unit, double goal)
{
    std::fprintf(stderr, "%-44s %10.3f %-3s goal %8.3f  %s\n", what, value, unit, goal, value <= goal ? "met" : "MISSED");
}

// A data document of at least size bytes: one list of items with ids, attributes and text.
std::string dataDocument(size_t size)
{
    std::string data = "<items>";
    for (int i = 0; data.size() < size; ++i)
        data += "<item id=\"i" + std::to_string(i) + "\" kind=\"plain\" size=\"" + std::to_string(i % 97)
            + "\">an item of the list</item>\n";
    data += "</items>";
    return data;
}

void runScript(Document& document, const std::string& script)
{
    (void)document.runner()->runText(script.data(), static_cast<int32_t>(script.size()));
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
    std::vector<std::string> chosen(argv + std::min(argc, 2), argv + argc);
    auto runs = [&](const char* name) {
        return (chosen.empty() && std::string_view(name) != "big")
            || std::find(chosen.begin(), chosen.end(), name) != chosen.end();
    };
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
    Clock::time_point start;
    if (runs("paint")) {
        (void)document->load(paintDocument);
        auto* window = static_cast<HeadlessWindow*>(document->window());
        if (!window || window->clientSize() != Size { 400, 400 }) {
            std::fprintf(stderr, "document-bench: the paint document did not load\n");
            return 1;
        }
        (void)window->paintAll();
        start = Clock::now();
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
    }

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
    if (runs("load")) {
        double loading = 1e9;
        for (int i = 0; i < 10; ++i) {
            start = Clock::now();
            (void)document->loadText(elements, elementsPath);
            loading = std::min(loading, millisecondsSince(start));
        }
        report("load of 1,000 elements (best of 10)", loading, "ms", 20.0);
    }

    // createDocument of 5 MB: the data is read, built, then dropped again by the script.
    if (runs("data")) {
        write(folder, "data.nbm", dataDocument(5u << 20));
        (void)document->loadText("<nbml><body type=\"screen\"></body></nbml>", (folder / "small.nbm").string());
        double reading = 1e9;
        for (int i = 0; i < 3; ++i) {
            start = Clock::now();
            runScript(*document, "var data = window.createDocument(\"data.nbm\"); data = 0;");
            reading = std::min(reading, millisecondsSince(start));
        }
        report("createDocument of 5 MB (best of 3)", reading, "ms", 200.0);
        // The collections are made when first read: reading every node's all once costs this.
        reading = 1e9;
        for (int i = 0; i < 3; ++i) {
            start = Clock::now();
            runScript(*document,
                "var data = window.createDocument(\"data.nbm\"); var n = data.all.length;"
                "for (var i = 0; i < n; i++) data.all[i].all; data = 0;");
            reading = std::min(reading, millisecondsSince(start));
        }
        std::fprintf(stderr, "%-44s %10.3f ms\n", "the same, then every node's all read", reading);
    }

    // 1,000 successive loads.
    if (runs("memory")) {
        long afterTen = 0;
        for (int i = 0; i < 1000; ++i) {
            (void)document->load(i % 2 ? paintDocument : elementsPath);
            if (i == 9)
                afterTen = residentKilobytes();
        }
        long atEnd = residentKilobytes();
        std::fprintf(stderr, "%-44s %10ld KiB after 10, %ld KiB after 1000\n", "resident memory over 1,000 loads",
            afterTen, atEnd);
        report("growth after the first ten loads", static_cast<double>(atEnd - afterTen) / 1024, "MiB", 1.0);
    }

    // Hostile sizes: peaks of resident memory are read from the kernel's high-water mark, reset
    // before each case.
    if (runs("big")) {
        write(folder, "big.nbm", dataDocument(50u << 20));
        write(folder, "largest.nbm", dataDocument((16u << 20) - 200));
        (void)document->loadText("<nbml><body type=\"screen\"></body></nbml>", (folder / "small.nbm").string());
        long before = 0;
        for (const char* name : { "big.nbm", "largest.nbm" }) {
            ::malloc_trim(0);
            before = residentKilobytes();
            resetPeak();
            start = Clock::now();
            runScript(*document,
                "var data = window.createDocument(\"" + std::string(name) + "\"); count = data ? data.all.length : -1;"
                "data = 0;");
            double took = millisecondsSince(start);
            std::fprintf(stderr, "%-44s %10.3f ms, peak %ld MiB above the %ld MiB before\n",
                ("createDocument of " + std::string(name)).c_str(), took, (peakKilobytes() - before) / 1024,
                before / 1024);
        }

        std::string nested = "<nbml><body type=\"screen\" width=\"100\" height=\"100\">";
        for (int i = 0; i < 100000; ++i)
            nested += "<div>";
        nested += "<div width=\"10\" height=\"10\" bgcolor=\"#ff0000\" onmousedown=\"hit = 1;\">x</div>";
        nested += "</body></nbml>";
        std::string nestedPath = write(folder, "nested.nbm", nested);
        ::malloc_trim(0);
        before = residentKilobytes();
        resetPeak();
        start = Clock::now();
        (void)document->load(nestedPath);
        double loaded = millisecondsSince(start);
        auto* window = static_cast<HeadlessWindow*>(document->window());
        start = Clock::now();
        (void)window->paintAll();
        double painted = millisecondsSince(start);
        start = Clock::now();
        window->events().windowMouseButton(MouseButtonEvent::Down, 5, 5);
        double clicked = millisecondsSince(start);
        start = Clock::now();
        (void)document->loadText("<nbml><body type=\"screen\"></body></nbml>", (folder / "small.nbm").string());
        double released = millisecondsSince(start);
        std::fprintf(stderr, "%-44s load %.1f ms, paint %.1f ms, click %.1f ms, release %.1f ms, peak %ld MiB\n",
            "100,000 nested elements", loaded, painted, clicked, released, (peakKilobytes() - before) / 1024);
    }

    document->shutdown();
    document = nullptr;
    fs::remove_all(folder);
    return 0;
}
