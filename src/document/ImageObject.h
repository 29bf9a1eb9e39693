// The script's picture object: the Image global, new Image(width, height, depth), the result of
// captureImage and the background pictures of elements. It holds a surface loaded from the file
// its src names (relative names against the shown document's folder) or made blank of a size;
// assigning src again drops the old picture first, so a failed load leaves no picture but keeps
// the new source text. Its count changes are traced on standard output.
#pragma once

#include <elements/ElementPicture.h>
#include <script/runtime/MemberTable.h>

namespace nimbolt {

class ImageObject final : public ElementPicture {
public:
    // A new image (count 1) sharing the src member table; with a positive width and height it
    // holds a blank surface of the depth (below 8 gives 8 bits, 8 to 15 gives 16, more 24).
    static Ref<ImageObject> create(int32_t width, int32_t height, int32_t depth, PropertyTable& members);
    // The same with a surface of exactly bitsPerPixel (8, 16 or 24): a capture keeps the depth
    // of the back buffer it copies.
    static Ref<ImageObject> createAtDepth(int32_t width, int32_t height, int32_t bitsPerPixel, PropertyTable& members);
    // The src member table (count 1), or null when memory runs out.
    static RefPtr<PropertyTable> buildMembers(AtomTable& atoms);

    int32_t release() override;
    Status invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result) override;

    RefPtr<Surface> surface() const override { return m_surface; }
    void setSource(ScriptString* source) override;
    RefPtr<ScriptString> source() const override { return m_source; }

private:
    explicit ImageObject(PropertyTable& members)
        : m_members(members)
    {
    }
    ~ImageObject() override;

    Status getSrc(ScriptValue* result);
    Status putSrc(const ScriptValue& value, ScriptValue* result);
    static const MemberTableRow s_members[];

    RefPtr<Surface> m_surface;
    RefPtr<ScriptString> m_source;
    Ref<PropertyTable> m_members;
};

// The factory of the Image global: an image without picture and with its own member table (count
// 1); null when memory runs out.
RefPtr<ScriptObject> createImageGlobal(AtomTable& atoms);

}
