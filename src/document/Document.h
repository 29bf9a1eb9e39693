// A Document stands for the one shown NBML file. It owns the script runner (whose globals outlive
// every load), the window of the shown file, its back buffer, the tree of document nodes built from
// the body, the screen object and the setInterval callback. Loading a file closes what was shown,
// builds and shows the body, then runs the head's scripts and titles in document order. Scripts
// reach it through the global window (a WindowObject); the mouse reaches its elements through a
// MouseDispatch.
//
// Everything runs on one thread, but message boxes are modal: timers, mouse handlers and even a
// new load can run while a script waits in one. Every path that calls into scripts therefore
// holds what it walks (the document, the nodes, the elements) until the call returns.
//
// The runner counts on the document through its site, and the window global reaches it through
// the window object, so the owner ends the cycle document -> runner -> global -> document with
// shutdown() before it lets go.
#pragma once

#include <document/DocObj.h>
#include <document/ImageObject.h>
#include <document/MouseDispatch.h>
#include <document/ScreenObject.h>
#include <document/ShellObject.h>
#include <document/SourceLines.h>
#include <document/WindowSystem.h>
#include <elements/ElementHostLink.h>
#include <script/language/ScriptRunner.h>
#include <script/runtime/MemberTable.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace nimbolt {

class WindowObject;

// The local time of the machine.
class SystemTimeSource final : public TimeSource {
public:
    std::tm localTime() override;
};

class Document final : public RefCounted,
                       private ElementCanvas,
                       private ElementScripting,
                       private ElementWindow,
                       private WindowEvents {
public:
    static constexpr int32_t TitleCapacity = 256;

    // A new document (count 1) with its runner, engine and globals (Array, Math, Image, Shell,
    // window), or null when the script engine cannot be made. The window system and the time
    // source must outlive it.
    static RefPtr<Document> create(WindowSystem& system, TimeSource& time);
    // Closes the content, destroys the window and closes the runner, which drops every value the
    // scripts held (the window global among them). The document answers nothing afterwards.
    void shutdown();

    // Loads an NBML file (a file system path): -1 when it cannot be read or is refused, else 0,
    // whether or not a window came of it. A file that is not a document (empty, binary, or
    // without any markup element) is refused with a box that names it and says why, and the
    // shown document stays as it was.
    Status load(const std::string& path);
    // Loads a document's bytes as if read from the file at path (whose folder becomes the
    // current directory) and converted from origin: what load does once it has read the file,
    // refusal included.
    Status loadText(const std::string& bytes, const std::string& path, TextOrigin origin = TextOrigin::ShiftJis);
    // The longest a script run may take before it is stopped as running too long, in
    // milliseconds (0: no limit).
    void setRunLimit(int32_t milliseconds);
    // A message box owned by the document's window; the script waiting for it does not count the
    // time against its run limit.
    MessageBoxResult messageBox(std::string_view shiftJisText, const char* caption, MessageBoxButtons buttons);
    // Runs script text in a new scope with self as this; the value it leaves goes to result.
    Status evaluate(ScriptObject* self, ScriptString& code, ScriptValue* result) override;
    // The script engine's atom table; null when there is none.
    RefPtr<AtomTable> atomTable();

    // The window operations; nothing happens without a window.
    void moveTo(int32_t x, int32_t y);
    void moveBy(int32_t dx, int32_t dy);
    void resizeTo(int32_t width, int32_t height) override;
    void resizeBy(int32_t dw, int32_t dh) override;
    // The caption, cut to 255 bytes.
    void setTitle(std::string_view shiftJis);
    std::string title() const;
    // Replaces the one periodic callback (a function value) and its period, at least 10 ms.
    void setInterval(const ScriptValue& function, int32_t milliseconds);
    // The document drawn into a new image of the client's size; the image keeps a fresh
    // surface's contents when there is no back buffer. Null when the image cannot be made.
    RefPtr<ImageObject> captureImage();

    // For the programs that show the document and for tests.
    NativeWindow* window() const { return m_window.get(); }
    WindowKind windowKind() const { return m_windowKind; }
    DocObj* root() const { return m_root.ptr(); }
    ScreenObject* screen() const { return m_screen.ptr(); }
    Surface* backBuffer() const { return m_backBuffer.ptr(); }
    ScriptRunner* runner() const { return m_runner.ptr(); }
    WindowEvents& windowEvents() { return *this; }

    // Draws the tree into the context, clipped: what a paint of the window shows.
    void drawTree(DeviceContext& context, const Rect& clip);

private:
    Document(WindowSystem& system, TimeSource& time);
    ~Document() override;

    // Reports script errors as a "ScriptError" box; it counts on the document it belongs to.
    class Site final : public ScriptSite {
    public:
        explicit Site(Document& document)
            : m_document(document)
        {
        }
        int32_t addRef() override { return m_document.addRef(); }
        int32_t release() override { return m_document.release(); }
        Status reportError(ErrorObject& error) override;

    private:
        Document& m_document;
    };

    bool initialize();
    void closeContent();
    void destroyWindow();
    // Tells the user that the file at path is not shown, and why.
    void refuse(const std::string& path, const std::string& reason);
    void warnAboutNames(MarkupNode& body);
    void createElements(DocObj& top, SourceLines& lines);
    void runHead(MarkupNode& head, const SourceLines& lines);
    // Shows a script error: "(line) message" as its first line, then where it happened and what
    // was missing, as far as known. At most one box for the same first line is open at a time.
    // A setInterval callback stopped for running too long is cleared first.
    void reportScriptError(ErrorObject& error);
    // The origin number (see ScriptEngine::origin) of a text: what runs it (a label such as
    // "<div id=\"x\"> onclick") and the line of the shown file its first line is on (0: unknown).
    int32_t originOf(std::string label, int32_t fileLine);
    // The origin of a handler text run with node as this.
    int32_t handlerOrigin(ScriptObject* node, const ScriptString& code);

    // ElementCanvas.
    void invalidate(const Rect* rect) override;
    Status lockBackBuffer(SurfaceInfo& info) override;
    Status unlockBackBuffer(const SurfaceInfo& info) override;
    DeviceContext* getDC() override;
    void releaseDC(DeviceContext* context) override;
    RefPtr<ElementPicture> createImage(int32_t width, int32_t height, int32_t depth) override;
    // ElementScripting.
    PropertyTable* elementMembers() override { return m_elementMembers.ptr(); }
    // ElementWindow.
    void setRegion(std::optional<Region> region, const Surface* opacityPicture) override;
    bool showsOpacity() const override;

    // WindowEvents.
    void windowSized(int32_t width, int32_t height) override;
    void windowMoved() override;
    void windowPaint(DeviceContext& target, const Rect& clip) override;
    void windowMouseButton(MouseButtonEvent event, int32_t x, int32_t y) override;
    void windowMouseMove(int32_t x, int32_t y) override;
    void windowContextMenu() override;
    void windowTimer(int32_t id) override;
    void windowFileDropped(const std::string& path) override;
    void tickElements();
    void callInterval();
    int32_t backBufferDepth() const;

    WindowSystem& m_system;
    Site m_site { *this };
    Ref<ElementHostLink> m_link;
    RefPtr<ScriptRunner> m_runner;
    RefPtr<WindowObject> m_windowObject;
    RefPtr<PropertyTable> m_imageMembers;
    RefPtr<PropertyTable> m_elementMembers;
    RefPtr<ScreenObject> m_screen;
    std::unique_ptr<NativeWindow> m_window;
    WindowKind m_windowKind { WindowKind::Mascot };
    RefPtr<Surface> m_backBuffer;
    RefPtr<Surface> m_measureSurface;
    RefPtr<DocObj> m_root;
    ScriptValue m_interval;
    MouseDispatch m_mouse;
    // The rectangles of the shape given to the window (none: unshaped): a button pressed outside
    // them does not reach the elements.
    std::optional<std::vector<Rect>> m_shape;
    bool m_shutDown { false };

    struct Origin {
        std::string label;
        int32_t fileLine;
        std::string fileName;
    };
    // Origin n is m_origins[n - 1]; one entry for each distinct text, kept as long as the
    // document, since functions outlive the document that defined them.
    std::vector<Origin> m_origins;
    std::map<std::string, int32_t> m_originNumbers;
    // The shown file's name, in the document's Shift-JIS.
    std::string m_fileName;
    // The handler attributes of the shown body's nodes, with their lines in the file.
    std::unordered_map<const DocObj*, SourceLines::Handlers> m_handlerSources;
    int32_t m_intervalCalls { 0 };
    std::set<std::string> m_openErrorBoxes;
};

// The window kind a body's type names (exact): "screen", "screenwindow", else Mascot.
WindowKind windowKindOf(std::string_view type);

}
