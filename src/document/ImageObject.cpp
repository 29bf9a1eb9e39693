#include <document/ImageObject.h>

#include <base/Trace.h>
#include <document/DocumentWarning.h>
#include <imaging/ImageLoading.h>
#include <platform/TextConversion.h>

#include <cstdio>
#include <new>

namespace nimbolt {

const MemberTableRow ImageObject::s_members[] = {
    { "src", property<&ImageObject::getSrc, &ImageObject::putSrc> },
    { nullptr, nullptr },
};

RefPtr<PropertyTable> ImageObject::buildMembers(AtomTable& atoms)
{
    return buildMemberTable(atoms, s_members);
}

static int32_t surfaceDepth(int32_t depth)
{
    if (depth < 8)
        return 8;
    return depth < 16 ? 16 : 24;
}

Ref<ImageObject> ImageObject::create(int32_t width, int32_t height, int32_t depth, PropertyTable& members)
{
    return createAtDepth(width, height, surfaceDepth(depth), members);
}

Ref<ImageObject> ImageObject::createAtDepth(int32_t width, int32_t height, int32_t bitsPerPixel, PropertyTable& members)
{
    Ref<ImageObject> image = adoptRef(*new ImageObject(members));
    if (width > 0 && height > 0)
        image->m_surface = createSurface(width, height, bitsPerPixel);
    return image;
}

RefPtr<ScriptObject> createImageGlobal(AtomTable& atoms)
{
    RefPtr<PropertyTable> members = ImageObject::buildMembers(atoms);
    if (!members)
        return nullptr;
    return ImageObject::create(0, 0, 0, *members);
}

ImageObject::~ImageObject()
{
    if (m_surface) {
        int32_t count = m_surface.leakRef()->release();
        traceFormat("releaseImgBuf(%d)\n", count);
    }
}

int32_t ImageObject::release()
{
    traceFormat("ImageObject Release(%d)\n", m_refCount - 1);
    return RefCounted::release();
}

Status ImageObject::invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    switch (op) {
    case InvokeOp::PutMember:
    case InvokeOp::GetMember:
    case InvokeOp::CallMember:
        return dispatchMember(*m_members, this, atom, op, argc, args, result);
    case InvokeOp::Construct: {
        int32_t width = argc >= 1 ? valueToInteger(args[0]) : 0;
        int32_t height = argc >= 2 ? valueToInteger(args[1]) : 0;
        int32_t depth = argc >= 3 ? valueToInteger(args[2]) : 16;
        *result = ScriptValue::object(create(width, height, depth, *m_members));
        return Status::Ok;
    }
    default:
        return Status::SomeError;
    }
}

void ImageObject::setSource(ScriptString* source)
{
    m_surface = nullptr;
    m_source = source;
    if (source) {
        char path[1024];
        int32_t length = source->copyText(path, sizeof path);
        m_surface = loadImageFile(std::string_view(path, static_cast<size_t>(length)));
        if (!m_surface && length > 0)
            warnDocument("the picture " + shiftJisToUtf8(std::string_view(path, static_cast<size_t>(length)))
                + " cannot be loaded");
    }
    // Every element that shows the image shows the new picture.
    repaintViewers();
}

Status ImageObject::getSrc(ScriptValue* result)
{
    if (m_source)
        *result = makeStringValue(Ref<ScriptString>(*m_source));
    return Status::Ok;
}

Status ImageObject::putSrc(const ScriptValue& value, ScriptValue*)
{
    RefPtr<ScriptString> text = valueToString(value);
    setSource(text.ptr());
    return Status::Ok;
}

}
