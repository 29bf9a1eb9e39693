#include <support/ScriptHarness.h>

#include <script/language/MathObject.h>
#include <script/language/Natives.h>
#include <script/runtime/MemberTable.h>
#include <script/runtime/ScriptArray.h>

#include <cstdlib>
#include <utility>

namespace nimbolt::test {

EchoCapture::EchoCapture()
    : m_file(open_memstream(&m_buffer, &m_size))
{
    if (!m_file)
        std::abort();
    setEchoOutput(m_file);
}

EchoCapture::~EchoCapture()
{
    setEchoOutput(nullptr);
    std::fclose(m_file);
    std::free(m_buffer);
}

std::string EchoCapture::take()
{
    std::fflush(m_file);
    size_t from = std::exchange(m_taken, m_size);
    return std::string(m_buffer + from, m_size - from);
}

ScriptHarness::ScriptHarness()
    : m_site(RecordingSite::create())
    , m_runner(createRunner().leakRef())
{
    if (!m_runner)
        std::abort();
    if (!m_runner->setSite(m_site).ok() || !m_runner->toggleOpen().ok())
        std::abort();
    static const GlobalConstructorRow rows[] = { { "Array", createArrayGlobal }, { "Math", createMathGlobal } };
    for (const GlobalConstructorRow& row : rows) {
        RefPtr<ScriptObject> object = row.factory(engine().atomTable());
        if (!object || !m_runner->defineGlobal(row.name, ScriptValue::object(object.ptr())).ok())
            std::abort();
    }
}

ScriptHarness::~ScriptHarness()
{
    m_runner->release();
    m_site->release();
}

Status ScriptHarness::eval(ScriptObject* self, std::string_view text, ScriptValue& result)
{
    ScriptString* string = createString(text).leakRef();
    result = UndefinedValue;
    Status status = m_runner->evalString(self, *string, &result);
    string->release();
    return status;
}

ScriptValue ScriptHarness::global(std::string_view name)
{
    ScriptValue value = UndefinedValue;
    (void)engine().invoke(engine().atomTable().intern(name), InvokeOp::GetMember, 0, nullptr, &value);
    return value;
}

ScriptFunction& ScriptHarness::function(std::string_view name)
{
    ScriptValue value = global(name);
    if (value.tag != ValueTag::Function)
        std::abort();
    auto* function = static_cast<ScriptFunction*>(value.payload.object);
    releaseValue(value);
    return *function;
}

std::string ScriptHarness::globalText(std::string_view name)
{
    ScriptValue value = global(name);
    std::string text = textOf(value);
    releaseValue(value);
    return text;
}

void ScriptHarness::defineGlobal(const char* name, const ScriptValue& value)
{
    if (!m_runner->defineGlobal(name, value).ok())
        std::abort();
}

CountingObject* ScriptHarness::defineProbe(const char* name, ObjectLog& log)
{
    CountingObject* object = CountingObject::create(log);
    defineGlobal(name, objectValue(object));
    object->release();
    return object;
}

}
