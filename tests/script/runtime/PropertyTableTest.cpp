// The property table as a map and a stack against a model, owning one count per counted value.
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
constexpr int32_t Unbound = -3;

// A deterministic mix of every operation, checked after each step: the table grows past 4,000
// entries, then shrinks to nothing and pops from the empty table.
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
    // The model's value for a value out of the table; Unbound for undefined.
    auto modelOf = [&](const ScriptValue& value) {
        return value.tag == ValueTag::Integer   ? value.payload.integer
            : value.tag == ValueTag::ScopeMarker ? Marker
            : value.tag == ValueTag::Undefined   ? Unbound
            : value.payload.object == object     ? CountedObject
                                                 : -99;
    };
    auto expectNewest = [&](Atom atom) {
        auto found = bindings.find(atom);
        const bool bound = found != bindings.end() && !found->second.empty();
        ASSERT_EQ(table->find(atom) != nullptr, bound) << "atom " << atom;
        ScriptValue out = ScriptValue::integer(-7);
        ASSERT_EQ(table->get(atom, out), bound ? Status::Ok : Status::Failed) << "atom " << atom;
        ASSERT_EQ(modelOf(out), bound ? model[found->second.back()].value : Unbound) << "atom " << atom;
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
        } else if (roll < (growing ? 98u : 80u)) {
            ScriptValue out = ScriptValue::integer(-7);
            ASSERT_EQ(table->pop(out), Status::Ok);
            if (model.empty()) {
                EXPECT_TRUE(out.tag == ValueTag::Undefined && out.payload.bits == 0) << "an empty table pops undefined";
                ++emptyPops;
            } else {
                const Entry top = popModel();
                touched = top.key;
                EXPECT_EQ(modelOf(out), top.value);
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
        // Everything after the buckets grew and now and then.
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
    EXPECT_EQ(object->release(), 0);
}

// The buckets grow at the 33rd binding while two popped bindings sit above the fill of the newest
// chunk: they must not be chained again.
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

// A table made under a budget gives back every byte it took, its grown buckets included.
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
