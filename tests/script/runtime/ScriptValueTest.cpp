// Values and their conversions: the counted tags own exactly one reference, releasing leaves
// undefined, conversions take over the reference they were given, and the value operations that
// hosts use on borrowed arguments leave those arguments exactly as they were.
#include <support/CountingObject.h>

#include <script/runtime/ScriptString.h>
#include <script/runtime/ScriptValue.h>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace nimbolt::test {
namespace {

struct NativeLog {
    int32_t calls { 0 };
    ScriptObject* self { nullptr };
    int32_t argc { -1 };
    const ScriptValue* args { nullptr };
};
NativeLog s_nativeLog;

Status recordingNative(ScriptObject* self, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    ++s_nativeLog.calls;
    s_nativeLog.self = self;
    s_nativeLog.argc = argc;
    s_nativeLog.args = args;
    *result = ScriptValue::integer(900 + argc);
    return Status { 4 };
}

Status unusedHandler(ScriptObject*, InvokeOp, int32_t, const ScriptValue*, ScriptValue*)
{
    return Status::Ok;
}

std::string textOf(const ScriptValue& value)
{
    EXPECT_EQ(value.tag, ValueTag::String);
    if (value.tag != ValueTag::String)
        return {};
    return std::string(stringOf(value)->view());
}

ScriptValue stringValue(std::string_view text) { return makeStringValue(createString(text)); }

bool sameRecord(const ScriptValue& a, const ScriptValue& b)
{
    return a.tag == b.tag && a.payload.bits == b.payload.bits;
}

// Uncounted values: retaining and releasing them changes nothing at all.
TEST(ScriptValueTest, ReleasingUncountedTagsChangesNothing)
{
    ObjectLog log;
    CountingObject* object = CountingObject::create(log);
    struct Row {
        const char* name;
        ScriptValue value;
    };
    const Row rows[] = {
        { "integer", ScriptValue::integer(7) },
        { "negative integer", ScriptValue::integer(-1) },
        { "real", ScriptValue::real(2.5) },
        { "null", ScriptValue::null() },
        { "undefined", ScriptValue::undefined() },
        { "native function", ScriptValue::native(recordingNative) },
        { "scope marker", ScriptValue::scopeMarker() },
        { "member handler", ScriptValue::memberHandler(unusedHandler) },
        // An error value holds its own reference, which the generic operations never touch.
        { "error", { ValueTag::Error, { .object = object } } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptValue value = row.value;
        retainValue(value);
        EXPECT_EQ(releaseValue(value), 0);
        EXPECT_TRUE(sameRecord(value, row.value));
        EXPECT_EQ(releaseValue(value), 0);
        EXPECT_TRUE(sameRecord(value, row.value));
    }
    EXPECT_EQ(object->refCount(), 1);
    object->release();
    EXPECT_EQ(log.destroyed, 1);
}

// Counted values: retain adds one, release drops one and leaves undefined, so a second release
// of the same slot does nothing.
TEST(ScriptValueTest, ReleasingCountedTagsLeavesUndefinedOnce)
{
    ObjectLog objectLog;
    ObjectLog functionLog;
    CountingObject* object = CountingObject::create(objectLog);
    CountingObject* function = CountingObject::create(functionLog);
    ScriptString* string = createString("abc");
    ASSERT_NE(string, nullptr);
    struct Row {
        const char* name;
        ScriptValue value;
        ScriptObject* payload;
    };
    const Row rows[] = {
        { "string", makeStringValue(string), string },
        { "object", objectValue(object), object },
        { "function", functionValue(function), function },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptValue slot = row.value;
        retainValue(slot);
        EXPECT_EQ(row.payload->refCount(), 2);
        retainValue(slot);
        EXPECT_EQ(row.payload->refCount(), 3);

        EXPECT_EQ(releaseValue(slot), 2);
        EXPECT_EQ(slot.tag, ValueTag::Undefined);
        EXPECT_EQ(slot.payload.bits, 0u);
        EXPECT_EQ(releaseValue(slot), 0);
        EXPECT_EQ(row.payload->refCount(), 2);

        ScriptValue second = row.value;
        EXPECT_EQ(releaseValue(second), 1);
        EXPECT_EQ(row.payload->refCount(), 1);
    }
    string->release();
    object->release();
    function->release();
    EXPECT_EQ(objectLog.destroyed, 1);
    EXPECT_EQ(functionLog.destroyed, 1);
}

TEST(ScriptValueTest, ReplaceValueReleasesOldAndRetainsNew)
{
    ObjectLog oldLog;
    ObjectLog newLog;
    CountingObject* oldObject = CountingObject::create(oldLog);
    CountingObject* newObject = CountingObject::create(newLog);
    ScriptValue slot = objectValue(oldObject);
    retainValue(slot);

    replaceValue(slot, objectValue(newObject));
    EXPECT_EQ(oldObject->refCount(), 1);
    EXPECT_EQ(newObject->refCount(), 2);
    EXPECT_EQ(slot.payload.object, newObject);

    // Replacing a value with itself must not free it on the way.
    replaceValue(slot, slot);
    EXPECT_EQ(newObject->refCount(), 2);

    releaseValue(slot);
    oldObject->release();
    newObject->release();
    EXPECT_EQ(oldLog.destroyed, 1);
    EXPECT_EQ(newLog.destroyed, 1);
}

TEST(ScriptValueTest, ToIntegerOfStringsFollowsStrtolBaseZeroAndSaturates)
{
    struct Row {
        const char* name;
        std::string text;
        int32_t expected;
    };
    const std::vector<Row> rows = {
        { "hexadecimal with 0x", "0x1F", 31 },
        { "hexadecimal with 0X", "0X1f", 31 },
        { "negative hexadecimal", "-0x10", -16 },
        { "leading zero is octal", "017", 15 },
        { "octal stops at the digit 8", "08", 0 },
        { "leading blanks, sign, trailing junk", "  -12abc", -12 },
        { "tabs and newlines are blanks", "\t\n 42", 42 },
        { "plus sign", "+7", 7 },
        { "no digits", "abc", 0 },
        { "bare 0x prefix", "0x", 0 },
        { "empty text", "", 0 },
        { "a real's text stops at the point", "1.5", 1 },
        { "largest integer", "2147483647", 2147483647 },
        { "smallest integer", "-2147483648", INT32_MIN },
        { "one above the largest saturates", "2147483648", INT32_MAX },
        { "far above saturates", "99999999999", INT32_MAX },
        { "far below saturates", "-99999999999", INT32_MIN },
        { "beyond the C long range saturates", "999999999999999999999999", INT32_MAX },
        { "only the first 127 bytes count", std::string(126, ' ') + "12", 1 },
        { "digits after byte 127 are ignored", std::string(127, ' ') + "5", 0 },
        { "127 bytes are all read", std::string(125, ' ') + "34", 34 },
        { "embedded zero ends the text", std::string("9\0" "9", 3), 9 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptString* string = createString(row.text);
        ASSERT_NE(string, nullptr);
        string->addRef();
        ScriptValue value = makeStringValue(string);
        EXPECT_EQ(toInteger(value), Status::Ok);
        EXPECT_EQ(value.tag, ValueTag::Integer);
        EXPECT_EQ(value.payload.integer, row.expected);
        EXPECT_EQ(string->refCount(), 1);
        string->release();
    }
    EXPECT_EQ(ScriptString::liveCount(), 0);
}

TEST(ScriptValueTest, ToIntegerOfRealsKeepsLow32BitsOfTruncation)
{
    struct Row {
        const char* name;
        double real;
        int32_t expected;
    };
    const Row rows[] = {
        { "positive fraction truncates down", 1.9, 1 },
        { "negative fraction truncates up", -1.9, -1 },
        { "below one is zero", 0.5, 0 },
        { "above minus one is zero", -0.5, 0 },
        { "2^32 + 1 keeps the low word", 4294967297.0, 1 },
        { "2^32 is zero in the low word", 4294967296.0, 0 },
        { "2^31 wraps to the smallest integer", 2147483648.0, INT32_MIN },
        { "-2^31 - 1 wraps to the largest integer", -2147483649.0, INT32_MAX },
        { "ten thousand million", 1e10, 1410065408 },
        { "largest integer exactly", 2147483647.0, INT32_MAX },
        // Beyond the 64-bit range the truncation has no value; the low word is taken as 0, as
        // the processor's "integer indefinite" 0x8000000000000000 has it.
        { "far above the 64-bit range", 1e20, 0 },
        { "far below the 64-bit range", -1e20, 0 },
        { "infinity", HUGE_VAL, 0 },
        { "not a number", std::nan(""), 0 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptValue value = ScriptValue::real(row.real);
        EXPECT_EQ(toInteger(value), Status::Ok);
        EXPECT_EQ(value.tag, ValueTag::Integer);
        EXPECT_EQ(value.payload.integer, row.expected);
    }
}

TEST(ScriptValueTest, ToIntegerOfOtherTags)
{
    ScriptValue integer = ScriptValue::integer(-77);
    EXPECT_EQ(toInteger(integer), Status::Ok);
    EXPECT_TRUE(sameRecord(integer, ScriptValue::integer(-77)));

    for (ScriptValue value : { ScriptValue::null(), ScriptValue::undefined() }) {
        EXPECT_EQ(toInteger(value), Status::Ok);
        EXPECT_EQ(value.tag, ValueTag::Integer);
        EXPECT_EQ(value.payload.integer, 0);
    }

    ObjectLog log;
    CountingObject* object = CountingObject::create(log);
    for (ScriptValue value : { objectValue(object), functionValue(object) }) {
        object->addRef();
        EXPECT_EQ(toInteger(value), Status::Ok);
        EXPECT_EQ(value.tag, ValueTag::Integer);
        EXPECT_NE(value.payload.integer, 0);
        EXPECT_EQ(object->refCount(), 1);
    }

    // Tags with no integer meaning fail and stay as they were.
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
}

TEST(ScriptValueTest, ToNumberKeepsRealsButNeverMakesOne)
{
    ScriptValue real = ScriptValue::real(2.75);
    EXPECT_EQ(toNumber(real), Status::Ok);
    EXPECT_EQ(real.tag, ValueTag::Real);
    EXPECT_EQ(real.payload.real, 2.75);

    ScriptValue integer = ScriptValue::integer(12);
    EXPECT_EQ(toNumber(integer), Status::Ok);
    EXPECT_TRUE(sameRecord(integer, ScriptValue::integer(12)));

    ScriptValue text = stringValue("1.5");
    EXPECT_EQ(toNumber(text), Status::Ok);
    EXPECT_EQ(text.tag, ValueTag::Integer);
    EXPECT_EQ(text.payload.integer, 1);

    ScriptValue null = ScriptValue::null();
    EXPECT_EQ(toNumber(null), Status::Ok);
    EXPECT_EQ(null.tag, ValueTag::Integer);
    EXPECT_EQ(null.payload.integer, 0);

    ScriptValue marker = ScriptValue::scopeMarker();
    EXPECT_EQ(toNumber(marker), Status::Failed);
    EXPECT_EQ(marker.tag, ValueTag::ScopeMarker);
    EXPECT_EQ(ScriptString::liveCount(), 0);
}

TEST(ScriptValueTest, ToBoolean)
{
    ObjectLog log;
    CountingObject* object = CountingObject::create(log);
    struct Row {
        const char* name;
        ScriptValue value;
        int32_t expected;
    };
    const Row rows[] = {
        { "zero", ScriptValue::integer(0), 0 },
        { "nonzero", ScriptValue::integer(5), 1 },
        { "minus one", ScriptValue::integer(-1), 1 },
        { "real zero", ScriptValue::real(0.0), 0 },
        { "real one is false too", ScriptValue::real(1.0), 0 },
        { "negative real is false", ScriptValue::real(-0.5), 0 },
        { "null", ScriptValue::null(), 0 },
        { "undefined", ScriptValue::undefined(), 0 },
        { "empty string", stringValue(""), 0 },
        { "the string 0 has a byte", stringValue("0"), 1 },
        { "a blank has a byte", stringValue(" "), 1 },
        { "object", objectValue(object), 1 },
        { "function", functionValue(object), 1 },
        { "native function", ScriptValue::native(recordingNative), 1 },
        { "scope marker", ScriptValue::scopeMarker(), 1 },
        { "member handler", ScriptValue::memberHandler(unusedHandler), 1 },
        { "error", { ValueTag::Error, { .object = object } }, 1 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.value.isCounted() && row.value.payload.object == object)
            object->addRef();
        ScriptValue value = row.value;
        toBoolean(value);
        EXPECT_EQ(value.tag, ValueTag::Integer);
        EXPECT_EQ(value.payload.integer, row.expected);
        EXPECT_EQ(object->refCount(), 1);
    }
    EXPECT_EQ(ScriptString::liveCount(), 0);
    object->release();
}

TEST(ScriptValueTest, ToStringTexts)
{
    ObjectLog log;
    CountingObject* object = CountingObject::create(log);
    struct Row {
        const char* name;
        ScriptValue value;
        const char* expected;
    };
    const Row rows[] = {
        { "zero", ScriptValue::integer(0), "0" },
        { "negative integer", ScriptValue::integer(-42), "-42" },
        { "smallest integer", ScriptValue::integer(INT32_MIN), "-2147483648" },
        { "real with six decimals", ScriptValue::real(1.5), "1.500000" },
        { "negative whole real", ScriptValue::real(-2.0), "-2.000000" },
        { "negative zero", ScriptValue::real(-0.0), "-0.000000" },
        { "rounded at the sixth decimal", ScriptValue::real(0.1234567), "0.123457" },
        { "large real in fixed notation", ScriptValue::real(1e20), "100000000000000000000.000000" },
        { "object", objectValue(object), "object" },
        { "function", functionValue(object), "function" },
        { "null", ScriptValue::null(), "null" },
        { "undefined", ScriptValue::undefined(), "undefined" },
        { "native function is empty", ScriptValue::native(recordingNative), "" },
        { "scope marker is empty", ScriptValue::scopeMarker(), "" },
        { "member handler is empty", ScriptValue::memberHandler(unusedHandler), "" },
        { "error is empty and untouched", { ValueTag::Error, { .object = object } }, "" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.value.isCounted())
            object->addRef();
        ScriptValue value = row.value;
        EXPECT_EQ(toString(value), Status::Ok);
        EXPECT_EQ(textOf(value), row.expected);
        EXPECT_EQ(object->refCount(), 1);
        releaseValue(value);
    }
    EXPECT_EQ(ScriptString::liveCount(), 0);
    object->release();
}

TEST(ScriptValueTest, ToStringOfAStringKeepsTheSameString)
{
    ScriptString* string = createString("same");
    ScriptValue value = makeStringValue(string);
    EXPECT_EQ(toString(value), Status::Ok);
    EXPECT_EQ(value.payload.object, string);
    EXPECT_EQ(string->refCount(), 1);
    releaseValue(value);
    EXPECT_EQ(ScriptString::liveCount(), 0);
}

// A real whose fixed text does not fit 63 characters still converts in full.
TEST(ScriptValueTest, ToStringOfAHugeRealGivesTheWholeFixedText)
{
    for (double real : { 1e300, -1e56, 1.7976931348623157e308 }) {
        char expected[400];
        int length = std::snprintf(expected, sizeof expected, "%f", real);
        ASSERT_GT(length, 63);
        ASSERT_LT(length, static_cast<int>(sizeof expected));
        ScriptValue value = ScriptValue::real(real);
        EXPECT_EQ(toString(value), Status::Ok);
        EXPECT_EQ(textOf(value), std::string(expected, static_cast<size_t>(length)));
        releaseValue(value);
    }
}

// Hosts read borrowed arguments; none of these may change the argument's tag or its count.
TEST(ScriptValueTest, ValueOperationsLeaveTheArgumentAlone)
{
    ObjectLog log;
    CountingObject* object = CountingObject::create(log);
    ScriptString* number = createString("42");
    ScriptString* word = createString("hello");
    struct Row {
        const char* name;
        ScriptValue value;
        int32_t integer;
        double real;
        const char* text;
    };
    const Row rows[] = {
        { "numeric string", makeStringValue(number), 42, 42.0, "42" },
        { "word", makeStringValue(word), 0, 0.0, "hello" },
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

        ScriptString* string = valueToString(row.value);
        ASSERT_NE(string, nullptr);
        EXPECT_EQ(string->view(), row.text);
        string->release();
        unchanged();

        char buffer[32];
        EXPECT_EQ(valueText(row.value, buffer, sizeof buffer), static_cast<int32_t>(std::strlen(row.text)));
        EXPECT_STREQ(buffer, row.text);
        unchanged();
    }
    number->release();
    word->release();
    object->release();
    EXPECT_EQ(log.destroyed, 1);
    EXPECT_EQ(ScriptString::liveCount(), 0);
}

TEST(ScriptValueTest, ValueToRealOfAStringIsAnInteger)
{
    ScriptValue value = stringValue("1.5");
    EXPECT_EQ(valueToReal(value), 1.0);
    releaseValue(value);
}

TEST(ScriptValueTest, ValueTextTruncatesToCapacityMinusOne)
{
    struct Row {
        const char* name;
        ScriptValue value;
        int32_t capacity;
        const char* expected;
    };
    const Row rows[] = {
        { "integer cut to three digits", ScriptValue::integer(123456), 4, "123" },
        { "integer that just fits", ScriptValue::integer(123456), 7, "123456" },
        { "integer one byte short", ScriptValue::integer(123456), 6, "12345" },
        { "capacity one writes only the zero", ScriptValue::integer(5), 1, "" },
        { "real cut inside the decimals", ScriptValue::real(1.5), 5, "1.50" },
        { "string cut", stringValue("hello"), 3, "he" },
        { "string with room to spare", stringValue("hello"), 20, "hello" },
        { "null cut", ScriptValue::null(), 3, "nu" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        char buffer[24];
        std::memset(buffer, 'X', sizeof buffer);
        const auto expectedLength = static_cast<int32_t>(std::strlen(row.expected));
        EXPECT_EQ(valueText(row.value, buffer, row.capacity), expectedLength);
        EXPECT_EQ(std::string(buffer, static_cast<size_t>(expectedLength)), row.expected);
        EXPECT_EQ(buffer[expectedLength], 0);
        // Nothing is written past the terminating zero.
        EXPECT_EQ(buffer[expectedLength + 1], 'X');
        ScriptValue value = row.value;
        releaseValue(value);
    }
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
    EXPECT_EQ(objectLog.invokes, 1);
    EXPECT_EQ(objectLog.lastAtom, 0);
    EXPECT_EQ(objectLog.lastOp, InvokeOp::Apply);
    EXPECT_EQ(objectLog.lastArgs, args);

    s_nativeLog = {};
    EXPECT_EQ(callValue(ScriptValue::native(recordingNative), self, 1, args, &result), Status { 4 });
    EXPECT_TRUE(sameRecord(result, ScriptValue::integer(901)));
    EXPECT_EQ(s_nativeLog.calls, 1);
    EXPECT_EQ(s_nativeLog.self, self);
    EXPECT_EQ(s_nativeLog.argc, 1);
    EXPECT_EQ(s_nativeLog.args, args);

    EXPECT_EQ(callValue(functionValue(function), self, 2, args, &result), Status { 3 });
    EXPECT_TRUE(sameRecord(result, ScriptValue::integer(702)));
    EXPECT_EQ(functionLog.calls, 1);
    EXPECT_EQ(functionLog.lastSelf, self);
    EXPECT_EQ(functionLog.invokes, 0);

    ScriptString* string = createString("f");
    const ScriptValue notCallable[] = {
        ScriptValue::integer(3),
        ScriptValue::real(1.0),
        ScriptValue::null(),
        ScriptValue::undefined(),
        makeStringValue(string),
    };
    for (const ScriptValue& callee : notCallable) {
        result = ScriptValue::integer(5);
        EXPECT_EQ(callValue(callee, self, 0, nullptr, &result), Status::Failed);
        EXPECT_TRUE(sameRecord(result, UndefinedValue));
    }
    EXPECT_EQ(string->refCount(), 1);
    string->release();

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
