// A picture object as elements use it: a surface loaded from a file named by its source text. The
// document's Image objects implement it.
#pragma once

#include <base/Ref.h>
#include <imaging/Surface.h>
#include <script/runtime/ScriptObject.h>
#include <script/runtime/ScriptString.h>

namespace nimbolt {

class ElementPicture : public ScriptObject {
public:
    // The picture, or null when there is none.
    virtual RefPtr<Surface> surface() const = 0;
    // Sets the source text and loads that file at once (null: no source, no picture).
    virtual void setSource(ScriptString* source) = 0;
    // The source text, or null when none was given.
    virtual RefPtr<ScriptString> source() const = 0;
};

}
