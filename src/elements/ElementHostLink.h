// How an element reaches the document that shows it: its canvas, its script side, its window and
// its clock. The document cuts the link when it goes, so an element that a script keeps past its
// document's life finds no host instead of a freed one.
#pragma once

#include <base/Badge.h>
#include <base/Ref.h>
#include <base/RefCounted.h>
#include <elements/ElementCanvas.h>
#include <elements/ElementScripting.h>
#include <elements/ElementWindow.h>
#include <elements/TimeSource.h>

namespace nimbolt {

class Document;

class ElementHostLink final : public RefCounted {
public:
    static Ref<ElementHostLink> create(ElementCanvas& canvas, ElementScripting& scripting, ElementWindow& window,
        TimeSource& time)
    {
        return adoptRef(*new ElementHostLink(canvas, scripting, window, time));
    }

    // Each is null once the link is cut.
    ElementCanvas* canvas() const { return m_canvas; }
    ElementScripting* scripting() const { return m_scripting; }
    ElementWindow* window() const { return m_window; }
    TimeSource* time() const { return m_time; }
    // Only the document that the link leads to ends it.
    void cut(Badge<Document>)
    {
        m_canvas = nullptr;
        m_scripting = nullptr;
        m_window = nullptr;
        m_time = nullptr;
    }

private:
    ElementHostLink(ElementCanvas& canvas, ElementScripting& scripting, ElementWindow& window, TimeSource& time)
        : m_canvas(&canvas)
        , m_scripting(&scripting)
        , m_window(&window)
        , m_time(&time)
    {
    }
    ~ElementHostLink() override = default;

    ElementCanvas* m_canvas;
    ElementScripting* m_scripting;
    ElementWindow* m_window;
    TimeSource* m_time;
};

}
