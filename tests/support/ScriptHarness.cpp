#include <support/ScriptHarness.h>

#include <script/language/MathObject.h>
#include <script/language/Natives.h>
#include <script/runtime/MemberTable.h>
#include <script/runtime/ScriptArray.h>
#include <script/runtime/ScriptString.h>

#include <cstdlib>

namespace nimbolt::test {

ScriptHarness::ScriptHarness(Globals globals)
    : m_site(RecordingSite::create())
    , m_runner(createRunner())
    , m_echo(std::tmpfile())
{
    if (!m_runner || !m_echo)
        std::abort();
    setEchoOutput(m_echo);
    if (!m_runner->setSite(m_site).ok() || !m_runner->toggleOpen().ok())
        std::abort();
    if (globals == Globals::None)
        return;
    AtomTable* atoms = nullptr;
    if (!m_runner->getAtomTable(atoms).ok())
        std::abort();
    static const GlobalConstructorRow rows[] = {
        { "Array", createArrayGlobal },
        { "Math", createMathGlobal },
        { nullptr, nullptr },
    };
    for (const GlobalConstructorRow* row = rows; row->name; ++row) {
        ScriptObject* object = row->factory(*atoms);
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
    setEchoOutput(nullptr);
    std::fclose(m_echo);
}

Status ScriptHarness::eval(ScriptObject* self, std::string_view text, ScriptValue& result)
{
    ScriptString* string = createString(text);
    result = UndefinedValue;
    Status status = m_runner->evalString(self, *string, &result);
    string->release();
    return status;
}

std::string ScriptHarness::echoed()
{
    std::fflush(m_echo);
    std::rewind(m_echo);
    std::string text;
    char buffer[4096];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, m_echo)) > 0)
        text.append(buffer, count);
    std::fclose(m_echo);
    m_echo = std::tmpfile();
    if (!m_echo)
        std::abort();
    setEchoOutput(m_echo);
    return text;
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

std::string textOf(const ScriptValue& value)
{
    ScriptString* string = valueToString(value);
    if (!string)
        return "<no text>";
    std::string text(string->view());
    string->release();
    return text;
}

}
