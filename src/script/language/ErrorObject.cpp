#include <script/language/ErrorObject.h>

#include <new>

namespace nimbolt {

const char* errorMessage(Status status)
{
    static const char* const messages[] = {
        "some error",
        "stack overflow",
        "stack underflow",
        "not a object",
        "invalid lvalue",
        "unknown object name",
        "not support operator",
        "read-only member",
        "not a member",
        "invalid token",
        "parse",
        "continue mismatch",
        "break mismatch",
        "script ran too long",
        "out of memory",
    };
    int32_t code = status.code();
    if (code > static_cast<int32_t>(ErrorCode::SomeError) || code < static_cast<int32_t>(ErrorCode::OutOfMemory))
        return messages[0];
    return messages[static_cast<int32_t>(ErrorCode::SomeError) - code];
}

RefPtr<ErrorObject> makeError(int32_t line, int32_t column, Status code)
{
    return adoptRef(new (std::nothrow) ErrorObject(line, column, code, errorMessage(code)));
}

}
