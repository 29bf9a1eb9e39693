// Test support for everything above the runtime: a script object whose life and calls can be
// watched, the text of a value, and long texts made of one piece. The object counts through the ordinary addRef/release
// protocol, reports its destruction to a log the test owns, and records the last invoke and call
// it served. Apply answers with the integer 500 + argc and status 0, call with 700 + argc and
// status 3; every other op is refused with -1000.
#pragma once

#include <script/runtime/ScriptString.h>
#include <script/runtime/ScriptValue.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace nimbolt::test {

struct ObjectLog {
    int32_t destroyed { 0 };
    int32_t invokes { 0 };
    int32_t calls { 0 };
    Atom lastAtom { -1 };
    InvokeOp lastOp { InvokeOp::PutMember };
    int32_t lastArgc { -1 };
    const ScriptValue* lastArgs { nullptr };
    ScriptObject* lastSelf { nullptr };
};

class CountingObject final : public CallableObject {
public:
    // A new object with count 1 for the caller.
    static CountingObject* create(ObjectLog& log) { return new CountingObject(log); }

    Status invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result) override
    {
        ++m_log.invokes;
        m_log.lastAtom = atom;
        m_log.lastOp = op;
        m_log.lastArgc = argc;
        m_log.lastArgs = args;
        if (op != InvokeOp::Apply)
            return Status::SomeError;
        *result = ScriptValue::integer(500 + argc);
        return Status::Ok;
    }

    Status call(ScriptObject* self, int32_t argc, const ScriptValue* args, ScriptValue* result) override
    {
        ++m_log.calls;
        m_log.lastSelf = self;
        m_log.lastArgc = argc;
        m_log.lastArgs = args;
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
    text.reserve(piece.size() * static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i)
        text += piece;
    return text;
}

}
