// The property table as a map and as a stack: newest definitions win, pops unshadow, pushed
// entries are reachable only by pop, chunks come and go at 16-entry boundaries (one emptied chunk
// kept spare), and the table owns exactly one reference per stored counted value.
#include <support/CountingObject.h>

#include <script/runtime/PropertyTable.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
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

// A binding that opens a scope ends popThroughMarker as a marker does, after being popped and
// released itself; a slot it leaves behind opens nothing once it is reused.
TEST(PropertyTableTest, ABindingOpeningAScopeIsWhereItsCloseStops)
{
    ObjectLog log;
    CountingObject* object = CountingObject::create(log);
    TableHolder holder;
    PropertyTable& table = *holder.table;
    ScriptValue out;
    EXPECT_EQ(table.define(1, ScriptValue::integer(10)), Status::Ok);
    EXPECT_EQ(table.defineOpeningScope(2, objectValue(object)), Status::Ok);
    EXPECT_EQ(table.define(3, ScriptValue::integer(30)), Status::Ok);
    EXPECT_EQ(table.push(ScriptValue::scopeMarker()), Status::Ok);
    EXPECT_EQ(table.define(2, ScriptValue::integer(99)), Status::Ok);

    table.popThroughMarker();
    EXPECT_EQ(table.entryCount(), 3) << "the inner scope ends at its marker";
    EXPECT_EQ(table.get(2, out), Status::Ok);
    EXPECT_EQ(out.payload.object, object);
    releaseValue(out);

    table.popThroughMarker();
    EXPECT_EQ(table.entryCount(), 1) << "the outer scope ends with its opening binding";
    EXPECT_EQ(object->refCount(), 1);
    EXPECT_EQ(table.get(2, out), Status::Failed);
    EXPECT_EQ(table.get(1, out), Status::Ok);
    EXPECT_TRUE(isInteger(out, 10));

    EXPECT_EQ(table.define(4, ScriptValue::integer(40)), Status::Ok);
    table.popThroughMarker();
    EXPECT_EQ(table.entryCount(), 0) << "without an opener the close empties the table";
    object->release();
    EXPECT_EQ(log.destroyed, 1);
}

// get retains, find lends, a value replaced through find is released, pop hands the table's
// reference over, and the hidden older definition is never touched.
TEST(PropertyTableTest, ReferencesThroughGetFindReplaceAndPop)
{
    ObjectLog oldLog;
    ObjectLog newLog;
    CountingObject* oldObject = CountingObject::create(oldLog);
    CountingObject* newObject = CountingObject::create(newLog);
    {
        TableHolder holder;
        PropertyTable& table = *holder.table;
        ScriptValue got = ScriptValue::integer(4);
        EXPECT_EQ(table.pop(got), Status::Ok);
        EXPECT_TRUE(isUndefined(got)) << "an empty table pops undefined";
        ScriptValue* slot = &got;
        EXPECT_EQ(table.find(9, slot), Status::Failed);
        EXPECT_EQ(slot, nullptr);
        EXPECT_EQ(table.define(9, ScriptValue::integer(1)), Status::Ok);
        EXPECT_EQ(table.define(9, objectValue(oldObject)), Status::Ok);
        EXPECT_EQ(oldObject->refCount(), 2);
        EXPECT_EQ(table.get(9, got), Status::Ok);
        EXPECT_EQ(got.payload.object, oldObject);
        EXPECT_EQ(oldObject->refCount(), 3);
        releaseValue(got);

        ASSERT_EQ(table.find(9, slot), Status::Ok);
        EXPECT_EQ(oldObject->refCount(), 2);
        replaceValue(*slot, objectValue(newObject));
        EXPECT_EQ(oldObject->refCount(), 1);
        EXPECT_EQ(newObject->refCount(), 2);
        EXPECT_EQ(table.entryCount(), 2);

        ScriptValue popped;
        EXPECT_EQ(table.pop(popped), Status::Ok);
        EXPECT_EQ(popped.payload.object, newObject);
        EXPECT_EQ(newObject->refCount(), 2);
        releaseValue(popped);
        EXPECT_EQ(newObject->refCount(), 1);
        EXPECT_EQ(table.get(9, got), Status::Ok);
        EXPECT_TRUE(isInteger(got, 1));
    }
    oldObject->release();
    newObject->release();
    EXPECT_EQ(oldLog.destroyed, 1);
    EXPECT_EQ(newLog.destroyed, 1);
}

// A deterministic mix of defines, pushes and pops over many chunks, checked after every step
// against a plain vector of (key, value) pairs: the newest pair of a key is what get must find,
// pops come back newest first (undefined from an empty table), chunks are added and dropped at
// every 16-entry boundary, and the table holds one reference per stored object until released.
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
                model.push_back({ -1, value });
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
        // Atom 0 is the key pushed entries carry; get must never find them.
        for (Atom atom = 0; atom <= 30; ++atom) {
            const Pair* newest = nullptr;
            for (auto it = model.rbegin(); it != model.rend(); ++it) {
                if (it->key == atom) {
                    newest = &*it;
                    break;
                }
            }
            ASSERT_EQ(table.find(atom) != nullptr, newest != nullptr) << "atom " << atom;
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


// A scope table with thousands of names, as a script with many variables makes it: definitions
// that shadow, scopes that open and close, checked against a model of one stack of values per
// atom. The buckets grow with the names, and shadowed and popped bindings still come out right.
TEST(PropertyTableTest, ThousandsOfNamesShadowAndPopLikeAModel)
{
    TableHolder holder;
    PropertyTable& table = *holder.table;
    constexpr int32_t Names = 3000;
    auto atomOf = [](int32_t serial) { return static_cast<Atom>(serial % 11 + 16 * serial); };
    std::map<Atom, std::vector<int32_t>> bindings;
    // Each open scope lists the atoms it defined, in order.
    std::vector<std::vector<Atom>> scopes(1);
    uint32_t seed = 99;
    auto next = [&seed](uint32_t range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % range;
    };
    int32_t largestBuckets = 0;
    for (int32_t step = 0; step < 40000; ++step) {
        uint32_t roll = next(100);
        if (roll < 2 && scopes.size() < 40) {
            ASSERT_EQ(table.push(ScriptValue::scopeMarker()), Status::Ok);
            scopes.emplace_back();
        } else if (roll < 4 && scopes.size() > 1) {
            table.popThroughMarker();
            for (Atom atom : scopes.back())
                bindings[atom].pop_back();
            scopes.pop_back();
        } else {
            Atom atom = atomOf(1 + static_cast<int32_t>(next(Names)));
            ASSERT_EQ(table.define(atom, ScriptValue::integer(step)), Status::Ok);
            bindings[atom].push_back(step);
            scopes.back().push_back(atom);
        }
        largestBuckets = std::max(largestBuckets, table.bucketCount());
        if (step % 4000 != 3999)
            continue;
        for (int32_t serial = 1; serial <= Names + 1; ++serial) {
            Atom atom = atomOf(serial);
            auto found = bindings.find(atom);
            ScriptValue out;
            if (found == bindings.end() || found->second.empty()) {
                ASSERT_EQ(table.get(atom, out), Status::Failed) << "atom " << atom;
                continue;
            }
            ASSERT_EQ(table.get(atom, out), Status::Ok) << "atom " << atom;
            ASSERT_TRUE(isInteger(out, found->second.back())) << "atom " << atom;
        }
    }
    EXPECT_GT(largestBuckets, 1024) << "the buckets grew with the names";
    while (scopes.size() > 1) {
        table.popThroughMarker();
        scopes.pop_back();
    }
    for (Atom atom : scopes.back()) {
        ScriptValue out;
        EXPECT_EQ(table.get(atom, out), Status::Ok);
    }
}

}
}
