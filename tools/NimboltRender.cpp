// nimbolt-render: loads a document as the desktop program does, but into a window without a
// display on a virtual clock, runs the events given on the command line, and writes the window's
// client area as a PNG. The window is painted where the desktop's event loop would paint it (after
// loading, after every event and every timer tick), only where something asked for a repaint, and
// the PNG is the picture the window holds at the end. Standard output gets what the document writes there; standard error gets
// one line for every message box, Shell.run and Shell.exit, then one describing the window.
#include <document/Document.h>
#include <document/DocumentWarning.h>
#include <headless/HeadlessWindowSystem.h>
#include <platform/GuiSession.h>
#include <platform/PngWriter.h>
#include <platform/TextConversion.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace nimbolt;

namespace {

const char Usage[] = "usage: nimbolt-render DOCUMENT.nbm [-o OUT.png] [--time \"YYYY-MM-DD HH:MM:SS\"]\n"
                     "                      [--screen WxHxDEPTH] [--confirm ok|cancel[,ok|cancel...]]\n"
                     "                      [--script-limit MS] [EVENT...]\n"
                     "       nimbolt-render --help | --version\n"
                     "EVENT:  --click X,Y | --down X,Y | --up X,Y | --move X,Y | --advance MS | --open FILE\n";

enum class EventKind { Click, Down, Up, Move, Advance, Open };

struct Event {
    EventKind kind;
    int32_t x { 0 };
    int32_t y { 0 };
    int64_t milliseconds { 0 };
    std::string path;
};

struct Options {
    std::string document;
    std::string output;
    std::tm time {};
    bool timeGiven { false };
    Size screen { 1024, 768 };
    int32_t depth { 24 };
    std::vector<MessageBoxResult> answers;
    int32_t scriptLimit { 10000 };
    std::vector<Event> events;
    bool help { false };
    bool version { false };
};

bool parsePoint(const char* text, int32_t& x, int32_t& y)
{
    char rest = 0;
    return std::sscanf(text, "%d,%d%c", &x, &y, &rest) == 2;
}

bool parseTime(const char* text, std::tm& time)
{
    int year, month, day, hour, minute, second;
    char rest = 0;
    if (std::sscanf(text, "%d-%d-%d %d:%d:%d%c", &year, &month, &day, &hour, &minute, &second, &rest) != 6)
        return false;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 || minute > 59
        || second < 0 || second > 60)
        return false;
    std::tm fields {};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    std::time_t seconds = timegm(&fields);
    return gmtime_r(&seconds, &time) != nullptr;
}

bool parseAnswers(const char* text, std::vector<MessageBoxResult>& answers)
{
    std::string list(text);
    size_t start = 0;
    for (;;) {
        size_t comma = list.find(',', start);
        std::string word = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (word == "ok")
            answers.push_back(MessageBoxResult::Ok);
        else if (word == "cancel")
            answers.push_back(MessageBoxResult::Cancel);
        else
            return false;
        if (comma == std::string::npos)
            return true;
        start = comma + 1;
    }
}

std::string absolutePath(const char* path)
{
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? std::string(path) : absolute.string();
}

// False on wrong usage, with what was refused in complaint.
bool parseOptions(int argc, char** argv, Options& options, std::string& complaint)
{
    auto refuse = [&](std::string text) {
        complaint = std::move(text);
        return false;
    };
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        bool hasValue = i + 1 < argc;
        auto value = [&]() { return argv[++i]; };
        auto badValue = [&]() { return refuse("bad value for " + word + ": " + argv[i]); };
        Event event { EventKind::Click };
        if (word == "--help") {
            options.help = true;
        } else if (word == "--version") {
            options.version = true;
        } else if (word == "-o" && hasValue) {
            options.output = absolutePath(value());
        } else if (word == "--time" && hasValue) {
            if (!parseTime(value(), options.time))
                return badValue();
            options.timeGiven = true;
        } else if (word == "--screen" && hasValue) {
            char rest = 0;
            if (std::sscanf(value(), "%dx%dx%d%c", &options.screen.width, &options.screen.height, &options.depth, &rest)
                    != 3
                || options.screen.width <= 0 || options.screen.height <= 0 || options.depth <= 0)
                return badValue();
        } else if (word == "--script-limit" && hasValue) {
            char* end = nullptr;
            const char* text = value();
            long limit = std::strtol(text, &end, 10);
            if (end == text || *end || limit < 0 || limit > INT32_MAX)
                return badValue();
            options.scriptLimit = static_cast<int32_t>(limit);
        } else if (word == "--confirm" && hasValue) {
            options.answers.clear();
            if (!parseAnswers(value(), options.answers))
                return badValue();
        } else if ((word == "--click" || word == "--down" || word == "--up" || word == "--move") && hasValue) {
            event.kind = word == "--click" ? EventKind::Click
                : word == "--down"         ? EventKind::Down
                : word == "--up"           ? EventKind::Up
                                           : EventKind::Move;
            if (!parsePoint(value(), event.x, event.y))
                return badValue();
            options.events.push_back(event);
        } else if (word == "--advance" && hasValue) {
            char* end = nullptr;
            const char* text = value();
            event.kind = EventKind::Advance;
            event.milliseconds = std::strtoll(text, &end, 10);
            if (end == text || *end || event.milliseconds < 0)
                return badValue();
            options.events.push_back(event);
        } else if (word == "--open" && hasValue) {
            event.kind = EventKind::Open;
            event.path = absolutePath(value());
            options.events.push_back(event);
        } else if (!word.empty() && word[0] == '-') {
            const char* const withValue[] = { "-o", "--time", "--screen", "--script-limit", "--confirm",
                "--click", "--down", "--up", "--move", "--advance", "--open" };
            for (const char* option : withValue) {
                if (word == option)
                    return refuse(word + " needs a value");
            }
            return refuse("unknown option " + word);
        } else if (word.empty()) {
            return refuse("empty argument");
        } else if (!options.document.empty()) {
            return refuse("more than one document: " + word);
        } else {
            options.document = word;
        }
    }
    return options.help || options.version || !options.document.empty() || refuse("no document given");
}

// One line of standard error: line breaks in the text are written as \n. A script error's box
// gives two: its first line, then what it says beyond that, indented, its lines joined by spaces.
void printLine(const std::string& caption, const std::string& shiftJis)
{
    if (size_t end = shiftJis.find('\n'); caption == "ScriptError" && end != std::string::npos) {
        std::string context = shiftJisToUtf8(shiftJis.substr(end + 1));
        std::replace(context.begin(), context.end(), '\n', ' ');
        printLine(caption, shiftJis.substr(0, end));
        std::fprintf(stderr, "  %s\n", context.c_str());
        std::fflush(stderr);
        return;
    }
    std::string text;
    for (char c : shiftJisToUtf8(shiftJis)) {
        if (c == '\n')
            text += "\\n";
        else if (c == '\r')
            text += "\\r";
        else
            text += c;
    }
    std::fflush(stdout);
    if (caption == "exit")
        std::fprintf(stderr, "exit\n");
    else
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
}

const char* kindName(WindowKind kind)
{
    switch (kind) {
    case WindowKind::Screen:
        return "screen";
    case WindowKind::ScreenWindow:
        return "screenwindow";
    case WindowKind::Mascot:
        break;
    }
    return "mascot";
}

bool insideShape(const Region& shape, int32_t x, int32_t y)
{
    return shape.contains(x, y);
}

bool writePicture(const std::string& path, HeadlessWindow& window, Surface& picture)
{
    SurfaceInfo info;
    if (!picture.getInfo(info).ok() || !info.bits)
        return false;
    std::vector<uint8_t> rgba(static_cast<size_t>(info.width) * static_cast<size_t>(info.height) * 4, 0);
    // What a compositing desktop shows: the pixels as opaque as the window's opacity says, else
    // opaque inside the shape and nothing outside it.
    const std::optional<Region>& shape = window.shape();
    const OpacityMap* opacity = window.opacity().get();
    for (int32_t y = 0; y < info.height; ++y) {
        const uint8_t* row = info.bits + static_cast<size_t>(y) * static_cast<size_t>(info.stride);
        for (int32_t x = 0; x < info.width; ++x) {
            uint8_t alpha = 255;
            if (opacity)
                alpha = x < opacity->width && y < opacity->height
                    ? opacity->values[static_cast<size_t>(y) * static_cast<size_t>(opacity->width) + static_cast<size_t>(x)]
                    : 0;
            else if (shape && !insideShape(*shape, x, y))
                alpha = 0;
            if (alpha == 0)
                continue;
            uint8_t* pixel = &rgba[(static_cast<size_t>(y) * static_cast<size_t>(info.width) + static_cast<size_t>(x)) * 4];
            pixel[0] = row[x * 3 + 2];
            pixel[1] = row[x * 3 + 1];
            pixel[2] = row[x * 3];
            pixel[3] = alpha;
        }
    }
    return writeRgbaPng(path, info.width, info.height, rgba);
}

HeadlessWindow* headlessWindow(Document& document)
{
    return static_cast<HeadlessWindow*>(document.window());
}

// A point of a shaped window outside its shape belongs to whatever lies below the window.
bool reaches(HeadlessWindow* window, int32_t x, int32_t y)
{
    return window && (!window->shape() || insideShape(*window->shape(), x, y));
}

// pressed: where the button went down, while it is down. A release at that very point is a click.
void runEvent(const Event& event, Document& document, HeadlessWindowSystem& system, std::optional<Point>& pressed)
{
    HeadlessWindow* window = headlessWindow(document);
    if (event.kind != EventKind::Advance && event.kind != EventKind::Open && !reaches(window, event.x, event.y))
        return;
    bool mascot = window && window->kind() == WindowKind::Mascot;
    switch (event.kind) {
    case EventKind::Click:
    case EventKind::Down:
    case EventKind::Up:
        if (!window)
            return;
        if (event.kind != EventKind::Up) {
            pressed = Point { event.x, event.y };
            window->events().windowMouseButton(MouseButtonEvent::Down, event.x, event.y);
        }
        if (event.kind == EventKind::Down)
            return;
        window = headlessWindow(document);
        if (window && !mascot && !system.quitRequested())
            window->events().windowMouseButton(MouseButtonEvent::Up, event.x, event.y);
        window = headlessWindow(document);
        if (window && pressed == Point { event.x, event.y } && !system.quitRequested())
            window->events().windowMouseButton(MouseButtonEvent::Click, event.x, event.y);
        pressed.reset();
        return;
    case EventKind::Move:
        if (window && !mascot)
            window->events().windowMouseMove(event.x, event.y);
        return;
    case EventKind::Advance:
        system.advance(event.milliseconds);
        return;
    case EventKind::Open:
        ignoreStatus(document.load(event.path), "a file that cannot be read leaves no document, which the picture shows");
        return;
    }
}

}

int main(int argc, char** argv)
{
    Options options;
    std::string complaint;
    if (!parseOptions(argc, argv, options, complaint)) {
        std::fprintf(stderr, "nimbolt-render: %s\n", complaint.c_str());
        std::fputs(Usage, stderr);
        return 2;
    }
    if (options.help) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("nimbolt-render %s\n", NIMBOLT_VERSION);
        return 0;
    }
    if (std::FILE* file = std::fopen(options.document.c_str(), "rb")) {
        std::fclose(file);
    } else {
        std::fprintf(stderr, "nimbolt-render: cannot open %s\n", options.document.c_str());
        return 1;
    }
    std::string documentPath = absolutePath(options.document.c_str());
    if (!options.timeGiven) {
        std::time_t now = std::time(nullptr);
        localtime_r(&now, &options.time);
    }

    setWarningSink([](std::string_view text) {
        std::fflush(stdout);
        std::fprintf(stderr, "nimbolt-render: warning: %.*s\n", static_cast<int>(text.size()), text.data());
        std::fflush(stderr);
    });
    int sessionArgc = 1;
    GuiSession session(sessionArgc, argv, GuiDisplay::None);
    HeadlessWindowSystem system(options.time, options.screen, options.depth);
    system.setAnswers(options.answers);
    system.setRecordListener(
        [](const HeadlessWindowSystem::Record& record) { printLine(record.caption, record.text); });

    RefPtr<Document> document = Document::create(system, system);
    if (!document) {
        std::fprintf(stderr, "nimbolt-render: cannot start the script engine\n");
        return 2;
    }
    document->setRunLimit(options.scriptLimit);
    ignoreStatus(document->load(documentPath), "the file was opened above; a document it cannot load shows nothing");
    system.paintWindows();
    std::optional<Point> pressed;
    for (const Event& event : options.events) {
        if (system.quitRequested())
            break;
        runEvent(event, *document, system, pressed);
        // After Shell.exit the event loop ends without another paint.
        if (!system.quitRequested())
            system.paintWindows();
    }

    HeadlessWindow* window = headlessWindow(*document);
    // A window that was never shown holds no picture yet; it gets the one it would show.
    RefPtr<Surface> picture = window ? window->picture() : nullptr;
    if (window && !picture)
        picture = window->paint();
    if (!options.output.empty() && window && picture && !writePicture(options.output, *window, *picture))
        std::fprintf(stderr, "nimbolt-render: cannot write %s\n", options.output.c_str());
    std::fflush(stdout);
    if (window) {
        Point position = window->position();
        Size size = window->clientSize();
        std::fprintf(stderr, "window: kind=%s x=%d y=%d width=%d height=%d shaped=%s visible=%s title=%s\n",
            kindName(window->kind()), position.x, position.y, size.width, size.height,
            window->isShaped() ? "yes" : "no", window->isVisible() ? "yes" : "no",
            shiftJisToUtf8(window->title()).c_str());
    } else {
        std::fprintf(stderr, "window: none\n");
    }
    std::fflush(stderr);
    document->shutdown();
    return 0;
}
