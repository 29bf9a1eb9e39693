// A ScriptValue is a tag and an 8-byte payload, copied whole. The tags String, Object and
// Function own one reference on their payload; an Error value holds one on its ErrorObject but
// the generic value operations leave it alone. Undefined (payload zero) is the state of every
// fresh or released value.
#pragma once

#include <base/Assert.h>
#include <base/Ref.h>
#include <script/runtime/ScriptObject.h>

#include <cstddef>
#include <cstdint>

namespace nimbolt {

class ScriptString;
class ErrorObject;

enum class ValueTag : int32_t {
    Error = 401,
    Integer = 402,
    Real = 403,
    String = 405,
    ScopeMarker = 410,
    Object = 411,
    NativeFunction = 412,
    Null = 501,
    Undefined = 502,
    Function = 512,
    MemberHandler = 10000,
};

// The low six bits of a tag, and the set of them that belong to counted values.
constexpr uint32_t lowTagBits(ValueTag tag) { return static_cast<uint32_t>(tag) & 63; }
constexpr uint64_t CountedTagBits = uint64_t { 1 } << lowTagBits(ValueTag::String)
    | uint64_t { 1 } << lowTagBits(ValueTag::Object) | uint64_t { 1 } << lowTagBits(ValueTag::Function);
static_assert([] {
    constexpr ValueTag tags[] = { ValueTag::Error, ValueTag::Integer, ValueTag::Real, ValueTag::String,
        ValueTag::ScopeMarker, ValueTag::Object, ValueTag::NativeFunction, ValueTag::Null, ValueTag::Undefined,
        ValueTag::Function, ValueTag::MemberHandler };
    uint64_t seen = 0;
    for (ValueTag tag : tags) {
        if (seen & uint64_t { 1 } << lowTagBits(tag))
            return false;
        seen |= uint64_t { 1 } << lowTagBits(tag);
    }
    return true;
}(), "every tag has low six bits of its own");

struct ScriptValue {
    ValueTag tag { ValueTag::Undefined };
    union Payload {
        int32_t integer;
        double real;
        ScriptObject* object;
        NativeFunction native;
        MemberHandler handler;
        ErrorObject* error;
        uint64_t bits;
    } payload { .bits = 0 };

    static constexpr ScriptValue undefined() { return { ValueTag::Undefined, { .bits = 0 } }; }
    static constexpr ScriptValue null() { return { ValueTag::Null, { .bits = 0 } }; }
    static constexpr ScriptValue scopeMarker() { return { ValueTag::ScopeMarker, { .bits = 0 } }; }
    static constexpr ScriptValue integer(int32_t value)
    {
        ScriptValue v { ValueTag::Integer, { .bits = 0 } };
        v.payload.integer = value;
        return v;
    }
    static constexpr ScriptValue real(double value) { return { ValueTag::Real, { .real = value } }; }
    // These wrap a pointer without taking a reference: the caller hands one over.
    static ScriptValue object(ScriptObject* object) { return { ValueTag::Object, { .object = object } }; }
    static ScriptValue function(CallableObject* function)
    {
        return { ValueTag::Function, { .object = function } };
    }
    static ScriptValue error(ErrorObject* error) { return { ValueTag::Error, { .error = error } }; }
    // These take over the count a holder had: the one way a count moves from a Ref into a value.
    template<typename T>
    static ScriptValue object(Ref<T> object)
    {
        return { ValueTag::Object, { .object = object.leakRef() } };
    }
    template<typename T>
    static ScriptValue function(Ref<T> function)
    {
        return { ValueTag::Function, { .object = function.leakRef() } };
    }
    template<typename T>
    static ScriptValue error(Ref<T> error)
    {
        return { ValueTag::Error, { .error = error.leakRef() } };
    }
    static constexpr ScriptValue native(NativeFunction function)
    {
        return { ValueTag::NativeFunction, { .native = function } };
    }
    static constexpr ScriptValue memberHandler(MemberHandler handler)
    {
        return { ValueTag::MemberHandler, { .handler = handler } };
    }

    bool isCounted() const
    {
        // The low six bits of the tags differ (see below), so one bit test decides for any tag.
        return (CountedTagBits >> (static_cast<uint32_t>(tag) & 63)) & 1;
    }
    bool isNumber() const { return tag == ValueTag::Integer || tag == ValueTag::Real; }

    // The object of a String, Object or Function value; reading it from any other tag is a bug.
    ScriptObject* objectPayload() const
    {
        NIMBOLT_ASSERT(isCounted());
        return payload.object;
    }
};

static_assert(sizeof(ScriptValue::Payload) == 8);

inline constexpr ScriptValue UndefinedValue = ScriptValue::undefined();

// Ownership operations; every stored or handed-on value follows them.
inline void retainValue(const ScriptValue& value)
{
    if (value.isCounted())
        value.payload.object->addRef();
}

// Drops a counted value's reference and leaves undefined behind; other tags are untouched.
// Returns the payload's new count, or 0.
inline int32_t releaseValue(ScriptValue& value)
{
    if (!value.isCounted())
        return 0;
    ScriptObject* object = value.payload.object;
    value = UndefinedValue;
    return object->release();
}

// Replaces a stored value: release the old contents, copy the new one in and retain it.
inline void replaceValue(ScriptValue& slot, const ScriptValue& value)
{
    ScriptValue old = slot;
    slot = value;
    retainValue(slot);
    releaseValue(old);
}

// Moves the object reference out of a String, Object or Function value, leaving it undefined.
inline Ref<ScriptObject> takeObject(ScriptValue& value)
{
    ScriptObject* object = value.objectPayload();
    value = UndefinedValue;
    return adoptRef(*object);
}

// The four conversions work in place and take over the reference the value held.
Status toInteger(ScriptValue& value);
Status toNumber(ScriptValue& value);
void toBoolean(ScriptValue& value);
Status toString(ScriptValue& value);

// The same conversions on a copy, for hosts reading their borrowed arguments.
int32_t valueToInteger(const ScriptValue& value);
double valueToReal(const ScriptValue& value);
// A new string owned by the caller, or null when memory runs out.
RefPtr<ScriptString> valueToString(const ScriptValue& value);
// Writes at most capacity - 1 bytes and a zero; returns the bytes written, without the zero.
int32_t valueText(const ScriptValue& value, char* buffer, int32_t capacity);

// A real truncated toward zero to 64 bits, keeping the low 32 (0 for NaN and outside the 64-bit
// range, as the hardware conversion's "integer indefinite" gives).
int32_t truncateReal(double real);

// The C library's strtol with base 0 over at most the first 127 bytes, saturating at the
// 32-bit limits.
int32_t parseIntegerText(const char* text, size_t length);

// Calls a stored value: Object through Apply, NativeFunction directly, Function through its
// call; any other tag gives undefined and -1.
Status callValue(const ScriptValue& callee, ScriptObject* self, int32_t argc, const ScriptValue* args,
    ScriptValue* result);

}
