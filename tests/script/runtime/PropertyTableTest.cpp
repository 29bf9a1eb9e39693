// The property table as a map and as a stack: newest definitions win, pops unshadow, pushed
// entries are reachable only by pop, chunks come and go at 16-entry boundaries, and the table
// owns exactly one reference per stored counted value.
#include <support/CountingObject.h>

#include <script/runtime/PropertyTable.h>
#include <script/runtime/ScriptString.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace nimbolt::test {
namespace {

struct TableHolder {
    PropertyTable* table { PropertyTable::create() };
    ~TableHolder()
    {
        if (table)
            table->release();
    }
};

bool isInteger(const ScriptValue& value, int32_t expected)
{
    return value.tag == ValueTag::Integer && value.payload.integer == expected;
}

bool isUndefined(const ScriptValue& value)
{
    return value.tag == ValueTag::Undefined && value.payload.bits == 0;
}

TEST(PropertyTableTest, NewTableIsEmpty)
{
    TableHolder holder;
    ASSERT_NE(holder.table, nullptr);
    EXPECT_EQ(holder.table->refCount(), 1);
    EXPECT_EQ(holder.table->entryCount(), 0);
    EXPECT_EQ(holder.table->chunkCount(), 1);
}

TEST(PropertyTableTest, AbsentAtomsGiveUndefinedOrNull)
{
    TableHolder holder;
    PropertyTable& table = *holder.table;
    EXPECT_EQ(table.define(3, ScriptValue::integer(1)), Status::Ok);

    for (Atom atom : { 1, 14, 25, 0, -3 }) {
        SCOPED_TRACE(atom);
        ScriptValue out = ScriptValue::integer(99);
        EXPECT_EQ(table.get(atom, out), Status::Failed);
        EXPECT_TRUE(isUndefined(out));

        ScriptValue dummy = ScriptValue::null();
        ScriptValue* found = &dummy;
        EXPECT_EQ(table.find(atom, found), Status::Failed);
        EXPECT_EQ(found, nullptr);
        EXPECT_EQ(table.find(atom), nullptr);
    }
}

TEST(PropertyTableTest, DefineShadowsAndPopUnshadows)
{
    TableHolder holder;
    PropertyTable& table = *holder.table;
    EXPECT_EQ(table.define(40, ScriptValue::integer(1)), Status::Ok);
    EXPECT_EQ(table.define(40, ScriptValue::integer(2)), Status::Ok);
    EXPECT_EQ(table.entryCount(), 2);

    ScriptValue out;
    EXPECT_EQ(table.get(40, out), Status::Ok);
    EXPECT_TRUE(isInteger(out, 2));

    EXPECT_EQ(table.pop(out), Status::Ok);
    EXPECT_TRUE(isInteger(out, 2));
    EXPECT_EQ(table.get(40, out), Status::Ok);
    EXPECT_TRUE(isInteger(out, 1));

    EXPECT_EQ(table.pop(out), Status::Ok);
    EXPECT_TRUE(isInteger(out, 1));
    EXPECT_EQ(table.get(40, out), Status::Failed);
    EXPECT_TRUE(isUndefined(out));
}

TEST(PropertyTableTest, PushedValuesAreNeverFoundByGet)
{
    TableHolder holder;
    PropertyTable& table = *holder.table;
    // Atom 17 (0x11) shares bucket 0 with the key 0 that pushed entries carry.
    EXPECT_EQ(table.define(17, ScriptValue::integer(170)), Status::Ok);
    EXPECT_EQ(table.push(ScriptValue::integer(1)), Status::Ok);
    EXPECT_EQ(table.push(ScriptValue::scopeMarker()), Status::Ok);
    EXPECT_EQ(table.entryCount(), 3);

    for (Atom atom : { 0, 1, 2, 5, 10, 34, 51 }) {
        SCOPED_TRACE(atom);
        ScriptValue out;
        EXPECT_EQ(table.get(atom, out), Status::Failed);
        EXPECT_EQ(table.find(atom), nullptr);
    }
    ScriptValue out;
    EXPECT_EQ(table.pop(out), Status::Ok);
    EXPECT_EQ(out.tag, ValueTag::ScopeMarker);
    EXPECT_EQ(table.pop(out), Status::Ok);
    EXPECT_TRUE(isInteger(out, 1));
    // Popping the pushed entries left the chain of bucket 0 intact.
    EXPECT_EQ(table.get(17, out), Status::Ok);
    EXPECT_TRUE(isInteger(out, 170));
}

TEST(PropertyTableTest, PushAndPopAcrossTheChunkBoundary)
{
    TableHolder holder;
    PropertyTable& table = *holder.table;
    for (int32_t i = 1; i <= 15; ++i) {
        EXPECT_EQ(table.push(ScriptValue::integer(i)), Status::Ok);
    }
    EXPECT_EQ(table.chunkCount(), 1);
    // The second chunk is made as soon as the first is full.
    EXPECT_EQ(table.push(ScriptValue::integer(16)), Status::Ok);
    EXPECT_EQ(table.chunkCount(), 2);
    EXPECT_EQ(table.entryCount(), 16);

    for (int32_t expected = 16; expected >= 1; --expected) {
        SCOPED_TRACE(expected);
        ScriptValue out = ScriptValue::null();
        EXPECT_EQ(table.pop(out), Status::Ok);
        EXPECT_TRUE(isInteger(out, expected));
        EXPECT_EQ(table.entryCount(), expected - 1);
        EXPECT_EQ(table.chunkCount(), 1);
    }
    ScriptValue out = ScriptValue::integer(8);
    EXPECT_EQ(table.pop(out), Status::Ok);
    EXPECT_TRUE(isUndefined(out));
    EXPECT_EQ(table.entryCount(), 0);
    EXPECT_EQ(table.pop(out), Status::Ok);
    EXPECT_TRUE(isUndefined(out));

    // The emptied table grows again from its first chunk.
    for (int32_t i = 1; i <= 33; ++i) {
        EXPECT_EQ(table.define(i, ScriptValue::integer(i * 10)), Status::Ok);
    }
    EXPECT_EQ(table.chunkCount(), 3);
    for (int32_t i = 1; i <= 33; ++i) {
        EXPECT_EQ(table.get(i, out), Status::Ok);
        EXPECT_TRUE(isInteger(out, i * 10));
    }
}

// A scope opened and closed again and again right at a chunk boundary: the chunk that empties
// may be kept for the next time, but nothing stored before may leak into it or out of it.
TEST(PropertyTableTest, ScopesOpeningAndClosingAtAChunkBoundary)
{
    ObjectLog log;
    CountingObject* object = CountingObject::create(log);
    {
        TableHolder holder;
        PropertyTable& table = *holder.table;
        for (Atom atom = 1; atom <= 15; ++atom)
            EXPECT_EQ(table.define(atom, ScriptValue::integer(atom)), Status::Ok);
        for (int round = 0; round < 5; ++round) {
            SCOPED_TRACE(round);
            EXPECT_EQ(table.push(ScriptValue::scopeMarker()), Status::Ok);
            EXPECT_EQ(table.chunkCount(), 2);
            EXPECT_EQ(table.define(16, objectValue(object)), Status::Ok);
            EXPECT_EQ(table.define(3, ScriptValue::integer(300 + round)), Status::Ok);
            EXPECT_EQ(object->refCount(), 2);

            ScriptValue out;
            EXPECT_EQ(table.get(3, out), Status::Ok);
            EXPECT_TRUE(isInteger(out, 300 + round));
            for (int32_t expectedPops = 3; expectedPops > 0; --expectedPops) {
                EXPECT_EQ(table.pop(out), Status::Ok);
                releaseValue(out);
            }
            EXPECT_EQ(out.tag, ValueTag::ScopeMarker);
            EXPECT_EQ(table.chunkCount(), 1);
            EXPECT_EQ(table.entryCount(), 15);
            EXPECT_EQ(object->refCount(), 1);
            EXPECT_EQ(table.get(16, out), Status::Failed);
            EXPECT_EQ(table.get(3, out), Status::Ok);
            EXPECT_TRUE(isInteger(out, 3));
        }
        // The last round leaves the object stored across the boundary for the release.
        EXPECT_EQ(table.define(16, objectValue(object)), Status::Ok);
        EXPECT_EQ(table.define(17, objectValue(object)), Status::Ok);
        EXPECT_EQ(object->refCount(), 3);
    }
    EXPECT_EQ(object->refCount(), 1);
    object->release();
    EXPECT_EQ(log.destroyed, 1);
}

TEST(PropertyTableTest, AtomsOfOneBucketAreToldApart)
{
    TableHolder holder;
    PropertyTable& table = *holder.table;
    // 5, 0x14, 0x27 and 0x36 all fold to bucket 5 (low four bits xor the next four).
    EXPECT_EQ(table.define(5, ScriptValue::integer(50)), Status::Ok);
    EXPECT_EQ(table.define(0x14, ScriptValue::integer(200)), Status::Ok);
    EXPECT_EQ(table.define(0x27, ScriptValue::integer(390)), Status::Ok);

    const std::pair<Atom, int32_t> expected[] = { { 5, 50 }, { 0x14, 200 }, { 0x27, 390 } };
    for (auto [atom, value] : expected) {
        SCOPED_TRACE(atom);
        ScriptValue out;
        EXPECT_EQ(table.get(atom, out), Status::Ok);
        EXPECT_TRUE(isInteger(out, value));
        ScriptValue* found = table.find(atom);
        ASSERT_NE(found, nullptr);
        EXPECT_TRUE(isInteger(*found, value));
    }
    ScriptValue out;
    EXPECT_EQ(table.get(0x36, out), Status::Failed);

    EXPECT_EQ(table.pop(out), Status::Ok);
    EXPECT_TRUE(isInteger(out, 390));
    EXPECT_EQ(table.get(0x27, out), Status::Failed);
    EXPECT_EQ(table.get(5, out), Status::Ok);
    EXPECT_TRUE(isInteger(out, 50));
    EXPECT_EQ(table.get(0x14, out), Status::Ok);
    EXPECT_TRUE(isInteger(out, 200));
}

TEST(PropertyTableTest, GetRetainsAndPopHandsOverTheReference)
{
    ObjectLog log;
    CountingObject* object = CountingObject::create(log);
    TableHolder holder;
    PropertyTable& table = *holder.table;
    EXPECT_EQ(table.define(7, objectValue(object)), Status::Ok);
    EXPECT_EQ(object->refCount(), 2);

    ScriptValue got;
    EXPECT_EQ(table.get(7, got), Status::Ok);
    EXPECT_EQ(got.payload.object, object);
    EXPECT_EQ(object->refCount(), 3);
    releaseValue(got);

    // find lends the stored value without a reference.
    ScriptValue* found = table.find(7);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(object->refCount(), 2);

    ScriptValue popped;
    EXPECT_EQ(table.pop(popped), Status::Ok);
    EXPECT_EQ(popped.payload.object, object);
    EXPECT_EQ(object->refCount(), 2);
    releaseValue(popped);
    EXPECT_EQ(object->refCount(), 1);
    object->release();
    EXPECT_EQ(log.destroyed, 1);
}

TEST(PropertyTableTest, ReplacingThroughFindChangesTheNextGet)
{
    ObjectLog oldLog;
    ObjectLog newLog;
    CountingObject* oldObject = CountingObject::create(oldLog);
    CountingObject* newObject = CountingObject::create(newLog);
    {
        TableHolder holder;
        PropertyTable& table = *holder.table;
        EXPECT_EQ(table.define(9, ScriptValue::integer(1)), Status::Ok);
        EXPECT_EQ(table.define(9, objectValue(oldObject)), Status::Ok);
        EXPECT_EQ(oldObject->refCount(), 2);

        ScriptValue* slot = nullptr;
        ASSERT_EQ(table.find(9, slot), Status::Ok);
        ASSERT_NE(slot, nullptr);
        replaceValue(*slot, objectValue(newObject));
        EXPECT_EQ(oldObject->refCount(), 1);
        EXPECT_EQ(newObject->refCount(), 2);
        EXPECT_EQ(table.entryCount(), 2);

        ScriptValue out;
        EXPECT_EQ(table.get(9, out), Status::Ok);
        EXPECT_EQ(out.payload.object, newObject);
        releaseValue(out);

        // The hidden older definition was not touched.
        EXPECT_EQ(table.pop(out), Status::Ok);
        releaseValue(out);
        EXPECT_EQ(table.get(9, out), Status::Ok);
        EXPECT_TRUE(isInteger(out, 1));
    }
    EXPECT_EQ(newObject->refCount(), 1);
    oldObject->release();
    newObject->release();
    EXPECT_EQ(oldLog.destroyed, 1);
    EXPECT_EQ(newLog.destroyed, 1);
}

TEST(PropertyTableTest, ReleasingTheTableReleasesEachValueOnce)
{
    ObjectLog objectLog;
    ObjectLog functionLog;
    CountingObject* object = CountingObject::create(objectLog);
    CountingObject* function = CountingObject::create(functionLog);
    ScriptString* string = createString("kept");

    PropertyTable* table = PropertyTable::create();
    ASSERT_NE(table, nullptr);
    // 40 entries spread over three chunks, with one shadowed definition and pushed values.
    for (int32_t i = 0; i < 40; ++i) {
        switch (i % 4) {
        case 0:
            EXPECT_EQ(table->define(100 + i, objectValue(object)), Status::Ok);
            break;
        case 1:
            EXPECT_EQ(table->push(makeStringValue(string)), Status::Ok);
            break;
        case 2:
            EXPECT_EQ(table->define(3, functionValue(function)), Status::Ok);
            break;
        default:
            EXPECT_EQ(table->define(4, ScriptValue::real(i)), Status::Ok);
            break;
        }
    }
    EXPECT_EQ(table->chunkCount(), 3);
    EXPECT_EQ(object->refCount(), 11);
    EXPECT_EQ(string->refCount(), 11);
    EXPECT_EQ(function->refCount(), 11);

    EXPECT_EQ(table->release(), 0);
    EXPECT_EQ(object->refCount(), 1);
    EXPECT_EQ(string->refCount(), 1);
    EXPECT_EQ(function->refCount(), 1);
    object->release();
    function->release();
    string->release();
    EXPECT_EQ(objectLog.destroyed, 1);
    EXPECT_EQ(functionLog.destroyed, 1);
}

// A deterministic mix of defines, pushes and pops over several chunks, checked after every step
// against a plain vector of (key, value) pairs: the newest pair of a key is what get must find.
TEST(PropertyTableTest, InterleavedDefineAndPopMatchAStackModel)
{
    ObjectLog log;
    CountingObject* object = CountingObject::create(log);
    TableHolder holder;
    PropertyTable& table = *holder.table;
    struct Pair {
        Atom key;
        int32_t value;
    };
    std::vector<Pair> model;
    int32_t modelObjects = 0;
    int32_t largest = 0;
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % range;
    };
    // Values below zero stand for the counted object, so the table's references are checked too.
    auto valueFor = [&](int32_t value) {
        return value < 0 ? objectValue(object) : ScriptValue::integer(value);
    };

    for (int32_t step = 0; step < 3000; ++step) {
        SCOPED_TRACE(step);
        // Grow for the first half and shrink for the second, so chunks are added and freed.
        uint32_t growWeight = step < 1500 ? 7 : 3;
        uint32_t roll = next(10);
        if (roll < growWeight) {
            int32_t value = next(5) == 0 ? -1 : static_cast<int32_t>(step);
            if (next(4) == 0) {
                EXPECT_EQ(table.push(valueFor(value)), Status::Ok);
                model.push_back({ 0, value });
            } else {
                Atom atom = static_cast<Atom>(1 + next(30));
                EXPECT_EQ(table.define(atom, valueFor(value)), Status::Ok);
                model.push_back({ atom, value });
            }
            if (value < 0)
                ++modelObjects;
        } else {
            ScriptValue out = ScriptValue::null();
            EXPECT_EQ(table.pop(out), Status::Ok);
            if (model.empty()) {
                EXPECT_TRUE(isUndefined(out));
            } else {
                Pair top = model.back();
                model.pop_back();
                if (top.value < 0) {
                    EXPECT_EQ(out.tag, ValueTag::Object);
                    EXPECT_EQ(out.payload.object, object);
                    --modelObjects;
                } else {
                    EXPECT_TRUE(isInteger(out, top.value));
                }
                releaseValue(out);
            }
        }

        const auto size = static_cast<int32_t>(model.size());
        largest = std::max(largest, size);
        ASSERT_EQ(table.entryCount(), size);
        ASSERT_EQ(table.chunkCount(), size / 16 + 1);
        ASSERT_EQ(object->refCount(), 1 + modelObjects);
        for (Atom atom = 1; atom <= 30; ++atom) {
            const Pair* newest = nullptr;
            for (auto it = model.rbegin(); it != model.rend(); ++it) {
                if (it->key == atom) {
                    newest = &*it;
                    break;
                }
            }
            ScriptValue out;
            Status status = table.get(atom, out);
            if (!newest) {
                ASSERT_EQ(status, Status::Failed) << "atom " << atom;
                continue;
            }
            ASSERT_EQ(status, Status::Ok) << "atom " << atom;
            if (newest->value < 0) {
                ASSERT_EQ(out.payload.object, object) << "atom " << atom;
            } else {
                ASSERT_TRUE(isInteger(out, newest->value)) << "atom " << atom;
            }
            releaseValue(out);
        }
    }
    EXPECT_GT(largest, 100);
    holder.table->release();
    holder.table = nullptr;
    EXPECT_EQ(object->refCount(), 1);
    object->release();
    EXPECT_EQ(log.destroyed, 1);
}

}
}
