#include <script/runtime/ScriptValue.h>

#include <script/runtime/ScriptString.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace nimbolt {

int32_t parseIntegerText(const char* text, size_t length)
{
    char buffer[128];
    size_t count = length < sizeof buffer - 1 ? length : sizeof buffer - 1;
    std::memcpy(buffer, text, count);
    buffer[count] = 0;
    long value = std::strtol(buffer, nullptr, 0);
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

int32_t truncateReal(double real)
{
    if (!(real > -9223372036854775808.0 && real < 9223372036854775808.0))
        return 0;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(real))));
}

static int32_t objectIdentity(const ScriptObject* object)
{
    auto bits = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(object));
    return bits ? static_cast<int32_t>(bits) : 1;
}

Status toInteger(ScriptValue& value)
{
    switch (value.tag) {
    case ValueTag::Integer:
        return Status::Ok;
    case ValueTag::Real:
        value = ScriptValue::integer(truncateReal(value.payload.real));
        return Status::Ok;
    case ValueTag::String: {
        ScriptString* string = stringOf(value);
        int32_t number = parseIntegerText(string->view().data(), static_cast<size_t>(string->length()));
        string->release();
        value = ScriptValue::integer(number);
        return Status::Ok;
    }
    case ValueTag::Object:
    case ValueTag::Function: {
        int32_t identity = objectIdentity(value.payload.object);
        value.payload.object->release();
        value = ScriptValue::integer(identity);
        return Status::Ok;
    }
    case ValueTag::Null:
    case ValueTag::Undefined:
        value = ScriptValue::integer(0);
        return Status::Ok;
    default:
        return Status::Failed;
    }
}

Status toNumber(ScriptValue& value)
{
    if (value.isNumber())
        return Status::Ok;
    return toInteger(value);
}

void toBoolean(ScriptValue& value)
{
    int32_t truth;
    switch (value.tag) {
    case ValueTag::Integer:
        truth = value.payload.integer != 0;
        break;
    case ValueTag::Real:
    case ValueTag::Null:
    case ValueTag::Undefined:
        truth = 0;
        break;
    case ValueTag::String:
        truth = stringOf(value)->length() > 0;
        releaseValue(value);
        break;
    case ValueTag::Object:
    case ValueTag::Function:
        truth = 1;
        releaseValue(value);
        break;
    default:
        truth = 1;
        break;
    }
    value = ScriptValue::integer(truth);
}

// The "%f" text of a real, whatever its length.
static RefPtr<ScriptString> realToString(double real)
{
    char buffer[64];
    int length = std::snprintf(buffer, sizeof buffer, "%f", real);
    if (length < 0)
        return nullptr;
    if (static_cast<size_t>(length) < sizeof buffer)
        return createString(buffer, length);
    std::unique_ptr<char[]> large(new (std::nothrow) char[static_cast<size_t>(length) + 1]);
    if (!large)
        return nullptr;
    std::snprintf(large.get(), static_cast<size_t>(length) + 1, "%f", real);
    return createString(large.get(), length);
}

static RefPtr<ScriptString> integerToString(int32_t integer)
{
    char buffer[16];
    int length = std::snprintf(buffer, sizeof buffer, "%d", integer);
    return createString(buffer, length);
}

Status toString(ScriptValue& value)
{
    RefPtr<ScriptString> string;
    switch (value.tag) {
    case ValueTag::String:
        return Status::Ok;
    case ValueTag::Integer:
        string = integerToString(value.payload.integer);
        break;
    case ValueTag::Real:
        string = realToString(value.payload.real);
        break;
    case ValueTag::Object:
        string = createString("object");
        break;
    case ValueTag::Function:
        string = createString("function");
        break;
    case ValueTag::Null:
        string = createString("null");
        break;
    case ValueTag::Undefined:
        string = createString("undefined");
        break;
    default:
        string = createString("", 0);
        break;
    }
    if (!string)
        return Status::OutOfMemory;
    releaseValue(value);
    value = makeStringValue(string.releaseNonNull());
    return Status::Ok;
}

int32_t valueToInteger(const ScriptValue& value)
{
    ScriptValue copy = value;
    retainValue(copy);
    if (!toInteger(copy).ok())
        return 0;
    return copy.payload.integer;
}

double valueToReal(const ScriptValue& value)
{
    if (value.tag == ValueTag::Real)
        return value.payload.real;
    return valueToInteger(value);
}

RefPtr<ScriptString> valueToString(const ScriptValue& value)
{
    ScriptValue copy = value;
    retainValue(copy);
    if (!toString(copy).ok()) {
        releaseValue(copy);
        return nullptr;
    }
    return takeString(copy);
}

int32_t valueText(const ScriptValue& value, char* buffer, int32_t capacity)
{
    if (capacity <= 0)
        return 0;
    if (value.tag == ValueTag::String)
        return stringOf(value)->copyText(buffer, capacity);
    RefPtr<ScriptString> string = valueToString(value);
    if (!string) {
        buffer[0] = 0;
        return 0;
    }
    return string->copyText(buffer, capacity);
}

Status callValue(const ScriptValue& callee, ScriptObject* self, int32_t argc, const ScriptValue* args,
    ScriptValue* result)
{
    switch (callee.tag) {
    case ValueTag::Object:
        return callee.payload.object->invoke(0, InvokeOp::Apply, argc, args, result);
    case ValueTag::NativeFunction:
        return callee.payload.native(self, argc, args, result);
    case ValueTag::Function:
        return static_cast<CallableObject*>(callee.payload.object)->call(self, argc, args, result);
    default:
        *result = UndefinedValue;
        return Status::Failed;
    }
}

}
