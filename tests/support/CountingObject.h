// Test support for everything above the runtime: a callable object that counts through the
// ordinary addRef/release protocol, logs its calls and its destruction, and answers a call with
// 700 + argc and status 3 (every other op is refused); the text of a value; long repeated texts.
#pragma once

#include <script/runtime/ScriptString.h>
#include <script/runtime/ScriptValue.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace nimbolt::test {

struct ObjectLog {
    int32_t destroyed { 0 };
    int32_t calls { 0 };
    int32_t lastArgc { -1 };
    ScriptObject* lastSelf { nullptr };
};

class CountingObject final : public CallableObject {
public:
    // A new object with count 1 for the caller.
    static CountingObject* create(ObjectLog& log) { return new CountingObject(log); }

    Status invoke(Atom, InvokeOp, int32_t, const ScriptValue*, ScriptValue*) override { return Status::SomeError; }

    Status call(ScriptObject* self, int32_t argc, const ScriptValue*, ScriptValue* result) override
    {
        ++m_log.calls;
        m_log.lastSelf = self;
        m_log.lastArgc = argc;
        *result = ScriptValue::integer(700 + argc);
        return Status { 3 };
    }

private:
    explicit CountingObject(ObjectLog& log)
        : m_log(log)
    {
    }
    ~CountingObject() override { ++m_log.destroyed; }

    ObjectLog& m_log;
};

inline ScriptValue objectValue(CountingObject* object) { return ScriptValue::object(object); }
inline ScriptValue functionValue(CountingObject* object) { return ScriptValue::function(object); }

// The text of a value as toString gives it; the value is left as it was.
inline std::string textOf(const ScriptValue& value)
{
    ScriptString* string = valueToString(value).leakRef();
    if (!string)
        return "<no text>";
    std::string text(string->view());
    string->release();
    return text;
}

inline std::string repeat(std::string_view piece, int32_t count)
{
    std::string text;
    for (int32_t i = 0; i < count; ++i)
        text += piece;
    return text;
}

}
