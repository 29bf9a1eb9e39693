// Values from the host side: the counted tags own exactly one reference.
#include <support/CountingObject.h>

#include <script/runtime/ScriptString.h>
#include <script/runtime/ScriptValue.h>

#include <gtest/gtest.h>

namespace nimbolt::test {
namespace {

Status unusedNative(ScriptObject*, int32_t, const ScriptValue*, ScriptValue*) { return Status::Ok; }
Status unusedHandler(ScriptObject*, InvokeOp, int32_t, const ScriptValue*, ScriptValue*) { return Status::Ok; }

bool sameRecord(const ScriptValue& a, const ScriptValue& b)
{
    return a.tag == b.tag && a.payload.bits == b.payload.bits;
}

// Releasing a counted value leaves undefined, so a second release does nothing; retain and release
// leave every other value alone (an error value's own reference included).
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
        { "native function", ScriptValue::native(unusedNative), nullptr },
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

}
}
