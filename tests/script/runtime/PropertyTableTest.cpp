// The property table as a map and as a stack, run against a plain model: newest definitions win,
// pops unshadow, pushed entries are reachable only by pop, scopes close at their marker or at the
// binding that opened them, chunks come and go at 16-entry boundaries, the buckets grow with the
// names, and the table owns exactly one reference per stored counted value.
#include <support/CountingObject.h>

#include <script/runtime/MemoryBudget.h>
#include <script/runtime/PropertyTable.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

namespace nimbolt::test {
namespace {

// What the model stores for a value: an integer, or one of these.
constexpr int32_t CountedObject = -1;
constexpr int32_t Marker = -2;

// A deterministic mix of every operation, checked after each step. The table grows past 4,000
// entries (so the buckets double several times while scopes open and close) and then shrinks to
// nothing and pops from the empty table.
TEST(PropertyTableTest, EveryOperationMatchesAStackModel)
{
    ObjectLog log;
    CountingObject* object = CountingObject::create(log);
    PropertyTable* table = PropertyTable::create().leakRef();
    ASSERT_NE(table, nullptr);
    struct Entry {
        Atom key; // 0 for pushed values and markers
        int32_t value;
        bool opens;
    };
    std::vector<Entry> model;
    // Per atom, the model positions of its bindings, oldest first.
    std::map<Atom, std::vector<size_t>> bindings;
    int32_t objects = 0;
    // The buckets double as soon as there are more than two bindings per bucket; they never shrink.
    int32_t keyed = 0;
    int32_t buckets = 16;
    constexpr int32_t Names = 3000;
    auto atomOf = [](uint32_t serial) { return static_cast<Atom>(serial % 11 + 16 * serial); };
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % range;
    };
    auto valueFor = [&](int32_t value) {
        return value == CountedObject ? objectValue(object)
            : value == Marker         ? ScriptValue::scopeMarker()
                                      : ScriptValue::integer(value);
    };
    auto expectNewest = [&](Atom atom) {
        auto found = bindings.find(atom);
        const Entry* newest = found == bindings.end() || found->second.empty() ? nullptr : &model[found->second.back()];
        ASSERT_EQ(table->find(atom) != nullptr, newest != nullptr) << "atom " << atom;
        ScriptValue out = ScriptValue::integer(-7);
        Status status = table->get(atom, out);
        if (!newest) {
            ASSERT_EQ(status, Status::Failed) << "atom " << atom;
            ASSERT_EQ(out.tag, ValueTag::Undefined);
            return;
        }
        ASSERT_EQ(status, Status::Ok) << "atom " << atom;
        if (newest->value == CountedObject) {
            ASSERT_EQ(out.payload.object, object) << "atom " << atom;
        } else {
            ASSERT_TRUE(out.tag == ValueTag::Integer && out.payload.integer == newest->value) << "atom " << atom;
        }
        // get hands out a reference of its own: the release below must leave the table's.
        releaseValue(out);
    };
    // Removes the model's newest entry.
    auto popModel = [&] {
        Entry top = model.back();
        model.pop_back();
        if (top.key) {
            bindings[top.key].pop_back();
            --keyed;
        }
        objects -= top.value == CountedObject;
        return top;
    };

    size_t largest = 0;
    int32_t largestBuckets = 0;
    int32_t emptyPops = 0;
    for (int32_t step = 0; step < 40000; ++step) {
        SCOPED_TRACE(step);
        const bool growing = step < 20000;
        const uint32_t roll = next(100);
        Atom touched = atomOf(1 + next(Names));
        if (roll < (growing ? 80u : 30u)) {
            // define, now and then as the binding that opens a scope, or push a value or a marker.
            const uint32_t kind = next(20);
            const int32_t value = next(5) == 0 ? CountedObject : kind == 19 ? Marker : step;
            if (kind >= 17) {
                ASSERT_EQ(table->push(valueFor(value)), Status::Ok);
                model.push_back({ 0, value, value == Marker });
            } else {
                const bool opens = kind == 0;
                ASSERT_EQ(opens ? table->defineOpeningScope(touched, valueFor(value)) : table->define(touched, valueFor(value)),
                    Status::Ok);
                bindings[touched].push_back(model.size());
                model.push_back({ touched, value, opens });
                if (++keyed > 2 * buckets)
                    buckets *= 2;
            }
            objects += value == CountedObject;
        } else if (roll < (growing ? 84u : 34u)) {
            // Replace the newest binding through find: the old value is released, the new retained.
            ScriptValue* slot = table->find(touched);
            auto found = bindings.find(touched);
            if (found == bindings.end() || found->second.empty()) {
                ASSERT_EQ(slot, nullptr);
            } else {
                ASSERT_NE(slot, nullptr);
                Entry& entry = model[found->second.back()];
                const int32_t value = entry.value == CountedObject ? step : CountedObject;
                replaceValue(*slot, valueFor(value));
                objects += value == CountedObject ? 1 : -1;
                entry.value = value;
            }
        } else if (roll < (growing ? 98u : 80u)) {
            ScriptValue out = ScriptValue::integer(-7);
            ASSERT_EQ(table->pop(out), Status::Ok);
            if (model.empty()) {
                EXPECT_TRUE(out.tag == ValueTag::Undefined && out.payload.bits == 0) << "an empty table pops undefined";
                ++emptyPops;
            } else {
                const Entry top = popModel();
                touched = top.key;
                if (top.value == CountedObject) {
                    EXPECT_EQ(out.payload.object, object);
                } else if (top.value == Marker) {
                    EXPECT_EQ(out.tag, ValueTag::ScopeMarker);
                } else {
                    EXPECT_TRUE(out.tag == ValueTag::Integer && out.payload.integer == top.value);
                }
                // pop hands the table's reference over.
                releaseValue(out);
            }
        } else {
            // Close a scope: down to and including the newest marker or opening binding, or all.
            table->popThroughMarker();
            while (!model.empty() && !popModel().opens) {
            }
        }

        largest = std::max(largest, model.size());
        ASSERT_EQ(table->bucketCount(), buckets);
        const auto size = static_cast<int32_t>(model.size());
        ASSERT_EQ(table->entryCount(), size);
        ASSERT_EQ(table->chunkCount(), size / 16 + 1);
        ASSERT_EQ(table->isEmpty(), size == 0);
        ASSERT_EQ(object->refCount(), 1 + objects);
        // Atom 0 is the key pushed entries carry; get must never find them.
        expectNewest(0);
        expectNewest(touched);
        expectNewest(atomOf(1 + next(Names)));
        // Everything after the buckets grew (the entries were rechained) and now and then.
        if (step % 2000 == 1999 || buckets > largestBuckets) {
            largestBuckets = buckets;
            for (uint32_t serial = 1; serial <= Names + 1; ++serial)
                expectNewest(atomOf(serial));
        }
    }
    EXPECT_GT(largest, 4000u);
    EXPECT_GE(largestBuckets, 2048) << "the buckets grew with the names";
    EXPECT_GT(emptyPops, 0);
    // Fill again across chunks for the release.
    for (Atom atom = 1; atom <= 40; ++atom)
        ASSERT_EQ(table->define(atom, objectValue(object)), Status::Ok);
    EXPECT_EQ(object->refCount(), 41);
    table->release();
    EXPECT_EQ(object->refCount(), 1);
    object->release();
    EXPECT_EQ(log.destroyed, 1);
}

// Popped slots are left as they were. Here the growth of the buckets (at the 33rd binding) comes
// while two popped bindings still sit above the fill of the newest chunk: they must not be chained
// again.
TEST(PropertyTableTest, GrowingBucketsSkipsPoppedSlots)
{
    PropertyTable* table = PropertyTable::create().leakRef();
    auto define = [table](int32_t serial) { return table->define(16 * serial, ScriptValue::integer(serial)); };
    ScriptValue out;
    for (int32_t serial = 1; serial <= 28; ++serial)
        ASSERT_EQ(define(serial), Status::Ok);
    for (int32_t i = 0; i < 11; ++i)
        ASSERT_EQ(table->push(ScriptValue::integer(0)), Status::Ok);
    ASSERT_TRUE(define(29).ok() && define(30).ok());
    for (int32_t i = 0; i < 7; ++i)
        ASSERT_EQ(table->pop(out), Status::Ok);
    for (int32_t serial = 31; serial <= 35; ++serial)
        ASSERT_EQ(define(serial), Status::Ok);
    EXPECT_EQ(table->bucketCount(), 32);
    EXPECT_EQ(table->get(16 * 29, out), Status::Failed);
    EXPECT_EQ(table->get(16 * 30, out), Status::Failed);
    EXPECT_EQ(table->get(16 * 35, out), Status::Ok);
    table->release();
}

// A table made under a budget gives back every byte it took, its grown buckets included, both
// when they grow again and when the table goes.
TEST(PropertyTableTest, GrownBucketsAreCreditedBackToTheBudget)
{
    MemoryBudget* budget = MemoryBudget::create().leakRef();
    PropertyTable* table = nullptr;
    {
        CurrentBudget charging(budget);
        table = PropertyTable::create().leakRef();
    }
    ASSERT_NE(table, nullptr);
    size_t empty = budget->used();
    for (Atom atom = 16; atom <= 16 * 200; atom += 16)
        ASSERT_TRUE(table->define(atom, ScriptValue::integer(atom)).ok());
    ASSERT_EQ(table->bucketCount(), 128) << "grown three times";
    EXPECT_GT(budget->used(), empty + 128 * sizeof(void*));
    table->release();
    EXPECT_EQ(budget->used(), 0u);
    budget->release();
}

}
}
