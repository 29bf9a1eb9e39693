#include <support/ScriptHarness.h>

#include <script/language/MathObject.h>
#include <script/language/Natives.h>
#include <script/runtime/MemberTable.h>
#include <script/runtime/ScriptArray.h>

#include <cstdlib>

namespace nimbolt::test {

EchoCapture::EchoCapture()
    : m_file(std::tmpfile())
{
    if (!m_file)
        std::abort();
    setEchoOutput(m_file);
}

EchoCapture::~EchoCapture()
{
    setEchoOutput(nullptr);
    std::fclose(m_file);
}

std::string EchoCapture::take()
{
    std::fflush(m_file);
    std::fseek(m_file, m_taken, SEEK_SET);
    std::string text;
    char buffer[4096];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, m_file)) > 0)
        text.append(buffer, count);
    m_taken += static_cast<long>(text.size());
    // Echo writes on at the end.
    std::fseek(m_file, 0, SEEK_END);
    return text;
}

ScriptHarness::ScriptHarness()
    : m_site(RecordingSite::create())
    , m_runner(createRunner().leakRef())
{
    if (!m_runner)
        std::abort();
    if (!m_runner->setSite(m_site).ok() || !m_runner->toggleOpen().ok())
        std::abort();
    StatusOr<Ref<AtomTable>> table = m_runner->getAtomTable();
    if (!table.ok())
        std::abort();
    AtomTable* atoms = table.releaseValue().leakRef();
    static const GlobalConstructorRow rows[] = {
        { "Array", createArrayGlobal },
        { "Math", createMathGlobal },
        { nullptr, nullptr },
    };
    for (const GlobalConstructorRow* row = rows; row->name; ++row) {
        ScriptObject* object = row->factory(*atoms).leakRef();
        if (!object || !m_runner->defineGlobal(row->name, ScriptValue::object(object)).ok())
            std::abort();
        object->release();
    }
    atoms->release();
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

Atom ScriptHarness::atom(std::string_view name) { return engine().atomTable().intern(name); }

ScriptValue ScriptHarness::global(std::string_view name)
{
    ScriptValue value = UndefinedValue;
    (void)engine().invoke(atom(name), InvokeOp::GetMember, 0, nullptr, &value);
    return value;
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

CountingObject* ScriptHarness::defineProbe(const char* name, ObjectLog& log, bool asFunction)
{
    CountingObject* object = CountingObject::create(log);
    defineGlobal(name, asFunction ? functionValue(object) : objectValue(object));
    object->release();
    return object;
}

}
