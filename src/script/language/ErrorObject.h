// A script error as the host receives it: code, message and line (column is always 0). Counted;
// an Error value holds one reference, which the generic value operations never take or drop:
// whoever moves an Error value hands that reference on, and the final receiver releases it.
#pragma once

#include <base/Ref.h>
#include <base/RefCounted.h>
#include <base/Status.h>
#include <script/runtime/ScriptValue.h>

#include <cstdint>
#include <string>
#include <utility>

namespace nimbolt {

class ErrorObject final : public RefCounted {
public:
    void getPosition(int32_t& line, int32_t& column) const
    {
        line = m_line;
        column = m_column;
    }
    void getError(int32_t& code, const char*& message) const
    {
        code = m_code;
        message = m_message;
    }
    int32_t line() const { return m_line; }
    int32_t code() const { return m_code; }
    const char* message() const { return m_message; }

    // Where the failing code came from: the origin (see ScriptEngine) of the function it failed
    // in, set by the first function call it leaves; -1 for the text run at the top.
    int32_t origin() const { return m_origin; }
    void markOrigin(int32_t origin)
    {
        if (m_origin < 0)
            m_origin = origin;
    }
    // What the message leaves out, when known: the name that was not found or the member that is
    // missing, and the line of the failure where the error itself says line 0.
    const std::string& detail() const { return m_detail; }
    int32_t detailLine() const { return m_detailLine; }
    void setDetail(std::string detail, int32_t line = 0)
    {
        m_detail = std::move(detail);
        m_detailLine = line;
    }

private:
    friend RefPtr<ErrorObject> makeError(int32_t, int32_t, Status);
    ErrorObject(int32_t line, int32_t column, Status code, const char* message)
        : m_code(code.code())
        , m_message(message)
        , m_line(line)
        , m_column(column)
    {
    }

    int32_t m_code;
    const char* m_message;
    int32_t m_line;
    int32_t m_column;
    int32_t m_origin { -1 };
    std::string m_detail;
    int32_t m_detailLine { 0 };
};

// The message of an error code; any code outside -1000 ... -1014 gives "some error".
const char* errorMessage(Status code);

// A new error with count 1, or null when memory runs out.
RefPtr<ErrorObject> makeError(int32_t line, int32_t column, Status code);

// An Error value holding the error's count, or undefined when there is no error (memory ran out).
inline ScriptValue errorValue(RefPtr<ErrorObject> error)
{
    return error ? ScriptValue::error(error.releaseNonNull()) : UndefinedValue;
}
// Moves the error object out of an Error value; the tag stays, with no object behind it.
inline RefPtr<ErrorObject> takeErrorObject(ScriptValue& value)
{
    NIMBOLT_ASSERT(value.tag == ValueTag::Error);
    return adoptRef(std::exchange(value.payload.error, nullptr));
}

}
