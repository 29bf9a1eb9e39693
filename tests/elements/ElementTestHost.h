// A document for element tests: it records what elements ask of it, owns a back buffer, and
// makes pictures of its own.
#pragma once

#include <elements/Element.h>
#include <script/runtime/ScriptArray.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace nimbolt::test {

// Pictures by file name, as the test put them there.
using PictureFiles = std::map<std::string, RefPtr<Surface>>;

class TestPicture final : public ElementPicture {
public:
    explicit TestPicture(const PictureFiles& files, RefPtr<Surface> surface = nullptr)
        : m_files(files)
        , m_surface(std::move(surface))
    {
    }
    Status invoke(Atom, InvokeOp, int32_t, const ScriptValue*, ScriptValue*) override { return Status::SomeError; }
    RefPtr<Surface> surface() const override { return m_surface; }
    void setSource(ScriptString* source) override
    {
        m_source = source;
        auto found = source ? m_files.find(std::string(source->view())) : m_files.end();
        m_surface = found != m_files.end() ? found->second : nullptr;
    }
    RefPtr<ScriptString> source() const override { return m_source; }

    const PictureFiles& m_files;
    RefPtr<Surface> m_surface;
    RefPtr<ScriptString> m_source;
};

class TestHost final : public ElementHost, public TimeSource {
public:
    TestHost()
        : m_link(ElementHostLink::create(*this))
        , m_atoms(adoptRef(AtomTable::create()))
        , m_backBuffer(createSurface(200, 200, 24))
        , m_measure(createSurface(1, 1, 24))
    {
    }
    ~TestHost() { m_link->cut(); }

    void invalidate(const Rect* rect) override { invalidations.push_back(rect ? *rect : Rect { -1, -1, -1, -1 }); }
    Status evaluate(ScriptObject* self, ScriptString& code, ScriptValue* result) override
    {
        evaluated.push_back(std::string(code.view()));
        evaluatedThis.push_back(self);
        *result = UndefinedValue;
        return Status::Ok;
    }
    RefPtr<PropertyTable> elementMembers() override { return m_members; }
    void setElementMembers(PropertyTable* members) override { m_members = members; }
    RefPtr<AtomTable> atomTable() override { return m_atoms; }
    RefPtr<ElementPicture> createImage(int32_t, int32_t, int32_t) override
    {
        return adoptRef(static_cast<ElementPicture*>(new TestPicture(pictures)));
    }
    Status lockBackBuffer(SurfaceInfo& info) override { return m_backBuffer->lock(info); }
    Status unlockBackBuffer(const SurfaceInfo& info) override { return m_backBuffer->unlock(info); }
    DeviceContext* getDC() override
    {
        DeviceContext* context = nullptr;
        (void)m_measure->getDC(context);
        return context;
    }
    void releaseDC(DeviceContext* context) override { (void)m_measure->releaseDC(context); }
    void resizeTo(int32_t width, int32_t height) override { clientSize = { width, height }; }
    void resizeBy(int32_t dw, int32_t dh) override { grownBy = { dw, dh }; }
    void setRegion(std::optional<Region> region) override
    {
        ++regionsSet;
        shape = std::move(region);
    }
    TimeSource& timeSource() override { return *this; }
    std::tm localTime() override { return time; }

    Ref<ElementHostLink>& link() { return m_link; }
    Surface& backBuffer() { return *m_backBuffer; }
    Atom atom(const char* name) { return m_atoms->intern(name); }

    PictureFiles pictures;
    std::vector<Rect> invalidations;
    std::vector<std::string> evaluated;
    std::vector<ScriptObject*> evaluatedThis;
    Size clientSize { -1, -1 };
    Size grownBy;
    std::optional<Region> shape;
    int regionsSet { 0 };
    std::tm time {};

private:
    Ref<ElementHostLink> m_link;
    RefPtr<AtomTable> m_atoms;
    RefPtr<PropertyTable> m_members;
    RefPtr<Surface> m_backBuffer;
    RefPtr<Surface> m_measure;
};

// An attribute array as a document node carries it: string values named by attribute name.
inline Ref<ScriptArray> attributesOf(std::initializer_list<std::pair<const char*, const char*>> pairs)
{
    Ref<ScriptArray> array = adoptRef(*createArray(nullptr, nullptr));
    for (const auto& [name, value] : pairs) {
        RefPtr<ScriptString> text = adoptRef(createString(value));
        (void)array->appendItem(static_cast<int32_t>(std::strlen(name)), name, makeStringValue(text.ptr()));
    }
    return array;
}

}
