// A picture object as elements use it: a surface loaded from a file named by its source text. The
// document's Image objects implement it.
#pragma once

#include <base/Ref.h>
#include <imaging/Surface.h>
#include <script/runtime/ScriptObject.h>
#include <script/runtime/ScriptString.h>

#include <algorithm>
#include <vector>

namespace nimbolt {

class Element;

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

}
