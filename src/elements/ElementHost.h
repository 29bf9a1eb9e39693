// What an element needs of the document that shows it, and of the pictures it shows. The
// document implements ElementHost; its Image objects implement ElementPicture. Elements reach
// their document through an ElementHostLink, which the document cuts when it goes, so an element
// that a script keeps past its document's life finds no host instead of a freed one.
#pragma once

#include <base/Ref.h>
#include <base/RefCounted.h>
#include <base/Status.h>
#include <imaging/Surface.h>
#include <platform/DeviceContext.h>
#include <platform/Rect.h>
#include <platform/Region.h>
#include <script/runtime/AtomTable.h>
#include <script/runtime/PropertyTable.h>
#include <script/runtime/ScriptObject.h>
#include <script/runtime/ScriptString.h>

#include <algorithm>
#include <ctime>
#include <optional>
#include <vector>

namespace nimbolt {

class Element;

// A picture object as elements use it: a surface loaded from a file named by its source text.
class ElementPicture : public ScriptObject {
public:
    // The picture, or null when there is none.
    virtual RefPtr<Surface> surface() const = 0;
    // Sets the source text and loads that file at once (null: no source, no picture).
    virtual void setSource(ScriptString* source) = 0;
    // The source text, or null when none was given.
    virtual RefPtr<ScriptString> source() const = 0;

    // The elements that show the picture register while they do (without a count); a new
    // picture repaints them.
    void addViewer(Element& element) { m_viewers.push_back(&element); }
    void removeViewer(Element& element)
    {
        auto found = std::find(m_viewers.begin(), m_viewers.end(), &element);
        if (found != m_viewers.end())
            m_viewers.erase(found);
    }

protected:
    // Asks every visible element that shows the picture for a repaint.
    void repaintViewers();

private:
    std::vector<Element*> m_viewers;
};

// Where the clocks read the local time.
class TimeSource {
public:
    virtual std::tm localTime() = 0;

protected:
    ~TimeSource() = default;
};

class ElementHost {
public:
    // Asks for a repaint of the rectangle (the whole window when null); never draws at once.
    virtual void invalidate(const Rect* rect) = 0;
    // Runs script text in a new scope with self as this; the value it leaves goes to result.
    // Errors are reported to the user by the document, never returned to the element.
    virtual Status evaluate(ScriptObject* self, ScriptString& code, ScriptValue* result) = 0;
    // The member table all elements of the document share: built by the first element that
    // needs it, then kept by the document.
    virtual RefPtr<PropertyTable> elementMembers() = 0;
    virtual void setElementMembers(PropertyTable* members) = 0;
    // The script engine's atom table; null when there is none.
    virtual RefPtr<AtomTable> atomTable() = 0;
    // A new picture object of that size and depth (0 x 0: without picture); null when it cannot
    // be made.
    virtual RefPtr<ElementPicture> createImage(int32_t width, int32_t height, int32_t depth) = 0;
    // The back buffer's pixels, locked for direct writing; -1 when there is no back buffer.
    virtual Status lockBackBuffer(SurfaceInfo& info) = 0;
    virtual Status unlockBackBuffer(const SurfaceInfo& info) = 0;
    // A device context for measuring text; give it back with releaseDC.
    virtual DeviceContext* getDC() = 0;
    virtual void releaseDC(DeviceContext* context) = 0;
    // The window's client size, or its outer size grown by the offsets.
    virtual void resizeTo(int32_t width, int32_t height) = 0;
    virtual void resizeBy(int32_t dw, int32_t dh) = 0;
    // The window's shape (none: the whole rectangle); the window owns it from then on.
    virtual void setRegion(std::optional<Region> region) = 0;
    virtual TimeSource& timeSource() = 0;

protected:
    ~ElementHost() = default;
};

class ElementHostLink final : public RefCounted {
public:
    static Ref<ElementHostLink> create(ElementHost& host) { return adoptRef(*new ElementHostLink(host)); }
    ElementHost* host() const { return m_host; }
    void cut() { m_host = nullptr; }

private:
    explicit ElementHostLink(ElementHost& host)
        : m_host(&host)
    {
    }
    ~ElementHostLink() override = default;

    ElementHost* m_host;
};

}
