#include "ErrorObject.h"

#include <new>

namespace nimbolt {

const char* errorMessage(int32_t code)
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
    };
    if (code > -1000 || code < -1012)
        return messages[0];
    return messages[-1000 - code];
}

ErrorObject* makeError(int32_t line, int32_t column, int32_t code)
{
    return new (std::nothrow) ErrorObject(line, column, code, errorMessage(code));
}

}
