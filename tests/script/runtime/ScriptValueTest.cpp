// Values from the host side: the counted tags own exactly one reference, releasing leaves
// undefined, conversions take over the reference they were given, and the value operations that
// hosts use on borrowed arguments leave those arguments exactly as they were. What scripts see of
// the conversions (texts, truth, integers of strings and reals) is checked by the script tests.
#include <support/CountingObject.h>

#include <script/runtime/ScriptString.h>
#include <script/runtime/ScriptValue.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace nimbolt::test {
namespace {

struct {
    int32_t calls;
    ScriptObject* self;
    int32_t argc;
    const ScriptValue* args;
} s_nativeLog;

Status recordingNative(ScriptObject* self, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    s_nativeLog = { s_nativeLog.calls + 1, self, argc, args };
    *result = ScriptValue::integer(900 + argc);
    return Status { 4 };
}

Status unusedHandler(ScriptObject*, InvokeOp, int32_t, const ScriptValue*, ScriptValue*)
{
    return Status::Ok;
}

ScriptValue stringValue(std::string_view text) { return makeStringValue(createString(text).releaseNonNull()); }

bool sameRecord(const ScriptValue& a, const ScriptValue& b)
{
    return a.tag == b.tag && a.payload.bits == b.payload.bits;
}

// Counted values: retain adds one, release drops one and leaves undefined, so a second release
// of the same slot does nothing. Uncounted values: retain and release change nothing at all (an
// error value holds its own reference, which the generic operations never touch).
TEST(ScriptValueTest, RetainAndReleaseByTag)
{
    ObjectLog objectLog;
    CountingObject* object = CountingObject::create(objectLog);
    ScriptString* string = createString("abc").leakRef();
    struct Row {
        const char* name;
        ScriptValue value;
        ScriptObject* counted;
    };
    const Row rows[] = {
        { "string", makeStringValue(string), string },
        { "object", objectValue(object), object },
        { "function", functionValue(object), object },
        { "integer", ScriptValue::integer(-1), nullptr },
        { "real", ScriptValue::real(2.5), nullptr },
        { "null", ScriptValue::null(), nullptr },
        { "undefined", ScriptValue::undefined(), nullptr },
        { "native function", ScriptValue::native(recordingNative), nullptr },
        { "scope marker", ScriptValue::scopeMarker(), nullptr },
        { "member handler", ScriptValue::memberHandler(unusedHandler), nullptr },
        { "error", { ValueTag::Error, { .object = object } }, nullptr },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptValue slot = row.value;
        retainValue(slot);
        retainValue(slot);
        if (!row.counted) {
            EXPECT_EQ(releaseValue(slot), 0);
            EXPECT_TRUE(sameRecord(slot, row.value));
            EXPECT_EQ(object->refCount(), 1);
            continue;
        }
        EXPECT_EQ(row.counted->refCount(), 3);
        EXPECT_EQ(releaseValue(slot), 2);
        EXPECT_TRUE(sameRecord(slot, ScriptValue::undefined()));
        EXPECT_EQ(releaseValue(slot), 0);
        EXPECT_EQ(row.counted->refCount(), 2);
        ScriptValue second = row.value;
        EXPECT_EQ(releaseValue(second), 1);
    }

    // replaceValue releases the old value and retains the new one, even when they are the same.
    ScriptValue slot = makeStringValue(string);
    retainValue(slot);
    replaceValue(slot, objectValue(object));
    EXPECT_TRUE(string->refCount() == 1 && object->refCount() == 2);
    replaceValue(slot, slot);
    EXPECT_EQ(object->refCount(), 2);
    releaseValue(slot);
    string->release();
    object->release();
    EXPECT_EQ(objectLog.destroyed, 1);
}

// toInteger and toString take over the reference they were given; tags with no integer meaning
// fail and stay as they were.
TEST(ScriptValueTest, ConversionsTakeOverTheReference)
{
    ScriptValue null = ScriptValue::null();
    EXPECT_EQ(toInteger(null), Status::Ok);
    EXPECT_TRUE(sameRecord(null, ScriptValue::integer(0)));
    ObjectLog log;
    CountingObject* object = CountingObject::create(log);
    for (ScriptValue value : { objectValue(object), functionValue(object) }) {
        object->addRef();
        EXPECT_EQ(toInteger(value), Status::Ok);
        EXPECT_TRUE(value.tag == ValueTag::Integer && value.payload.integer != 0);
        EXPECT_EQ(object->refCount(), 1);
    }

    const ScriptValue refused[] = {
        { ValueTag::Error, { .object = object } },
        ScriptValue::native(recordingNative),
        ScriptValue::scopeMarker(),
        ScriptValue::memberHandler(unusedHandler),
    };
    for (const ScriptValue& original : refused) {
        ScriptValue value = original;
        EXPECT_EQ(toInteger(value), Status::Failed);
        EXPECT_TRUE(sameRecord(value, original));
    }
    EXPECT_EQ(object->refCount(), 1);
    object->release();

    ScriptString* string = createString("same").leakRef();
    ScriptValue value = makeStringValue(string);
    EXPECT_EQ(toString(value), Status::Ok);
    EXPECT_EQ(value.payload.object, string);
    EXPECT_EQ(string->refCount(), 1);
    EXPECT_EQ(toInteger(value), Status::Ok);
    EXPECT_EQ(ScriptString::liveCount(), 0);
}

// Hosts read borrowed arguments; none of these may change the argument's tag or its count.
TEST(ScriptValueTest, ValueOperationsLeaveTheArgumentAlone)
{
    ObjectLog log;
    CountingObject* object = CountingObject::create(log);
    ScriptString* number = createString("42").leakRef();
    struct Row {
        const char* name;
        ScriptValue value;
        int32_t integer;
        double real;
        const char* text;
    };
    const Row rows[] = {
        { "numeric string", makeStringValue(number), 42, 42.0, "42" },
        { "object", objectValue(object), 0, 0.0, "object" },
        { "function", functionValue(object), 0, 0.0, "function" },
        { "real", ScriptValue::real(-2.5), -2, -2.5, "-2.500000" },
        { "integer", ScriptValue::integer(-9), -9, -9.0, "-9" },
        { "null", ScriptValue::null(), 0, 0.0, "null" },
        { "undefined", ScriptValue::undefined(), 0, 0.0, "undefined" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ScriptValue original = row.value;
        const int32_t count = original.isCounted() ? original.payload.object->refCount() : 0;
        auto unchanged = [&] {
            EXPECT_TRUE(sameRecord(row.value, original));
            if (original.isCounted()) {
                EXPECT_EQ(original.payload.object->refCount(), count);
            }
        };

        int32_t integer = valueToInteger(row.value);
        if (row.value.tag == ValueTag::Object || row.value.tag == ValueTag::Function) {
            EXPECT_NE(integer, 0);
        } else {
            EXPECT_EQ(integer, row.integer);
        }
        unchanged();

        double real = valueToReal(row.value);
        if (row.value.tag != ValueTag::Object && row.value.tag != ValueTag::Function) {
            EXPECT_EQ(real, row.real);
        }
        unchanged();

        ScriptString* string = valueToString(row.value).leakRef();
        ASSERT_NE(string, nullptr);
        EXPECT_EQ(string->view(), row.text);
        string->release();
        unchanged();

        // valueText writes at most capacity - 1 bytes and a zero, and nothing past it.
        const auto length = static_cast<int32_t>(std::strlen(row.text));
        for (int32_t capacity : { 1, length, length + 1, length + 2, 32 }) {
            char buffer[40];
            std::memset(buffer, 'X', sizeof buffer);
            const int32_t expected = std::min(length, capacity - 1);
            EXPECT_EQ(valueText(row.value, buffer, capacity), expected) << "capacity " << capacity;
            EXPECT_EQ(std::string(buffer), std::string(row.text, static_cast<size_t>(expected)));
            EXPECT_EQ(buffer[expected + 1], 'X');
            unchanged();
        }
    }
    number->release();
    object->release();
    EXPECT_EQ(log.destroyed, 1);
    EXPECT_EQ(ScriptString::liveCount(), 0);
}

TEST(ScriptValueTest, CallValueDispatchesByTag)
{
    ObjectLog objectLog;
    ObjectLog functionLog;
    CountingObject* object = CountingObject::create(objectLog);
    CountingObject* function = CountingObject::create(functionLog);
    CountingObject* self = CountingObject::create(objectLog);
    const ScriptValue args[] = { ScriptValue::integer(1), ScriptValue::integer(2) };

    ScriptValue result = ScriptValue::null();
    EXPECT_EQ(callValue(objectValue(object), self, 2, args, &result), Status::Ok);
    EXPECT_TRUE(sameRecord(result, ScriptValue::integer(502)));
    EXPECT_TRUE(objectLog.invokes == 1 && objectLog.lastAtom == 0 && objectLog.lastOp == InvokeOp::Apply);
    EXPECT_EQ(objectLog.lastArgs, args);

    s_nativeLog = {};
    EXPECT_EQ(callValue(ScriptValue::native(recordingNative), self, 1, args, &result), Status { 4 });
    EXPECT_TRUE(sameRecord(result, ScriptValue::integer(901)));
    EXPECT_TRUE(s_nativeLog.calls == 1 && s_nativeLog.self == self && s_nativeLog.argc == 1 && s_nativeLog.args == args);
    EXPECT_EQ(callValue(functionValue(function), self, 2, args, &result), Status { 3 });
    EXPECT_TRUE(sameRecord(result, ScriptValue::integer(702)));
    EXPECT_TRUE(functionLog.calls == 1 && functionLog.lastSelf == self && functionLog.invokes == 0);
    for (const ScriptValue& callee : { ScriptValue::integer(3), ScriptValue::null(), stringValue("f") }) {
        result = ScriptValue::integer(5);
        EXPECT_EQ(callValue(callee, self, 0, nullptr, &result), Status::Failed);
        EXPECT_TRUE(sameRecord(result, UndefinedValue));
        ScriptValue copy = callee;
        releaseValue(copy);
    }
    EXPECT_EQ(object->refCount(), 1);
    EXPECT_EQ(function->refCount(), 1);
    object->release();
    function->release();
    self->release();
    EXPECT_EQ(objectLog.destroyed, 2);
    EXPECT_EQ(functionLog.destroyed, 1);
}

}
}
