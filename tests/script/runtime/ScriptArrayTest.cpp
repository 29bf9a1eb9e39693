// Arrays as hosts use them: positions and names share one chain of 16-entry chunks.
#include <support/CountingObject.h>

#include <script/runtime/MemoryBudget.h>
#include <script/runtime/ScriptArray.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace nimbolt::test {
namespace {

class ArrayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_atoms = AtomTable::create().leakRef();
        ASSERT_TRUE(m_atoms && internFixedAtoms(*m_atoms));
        m_array = createArray(nullptr, m_atoms).leakRef();
        ASSERT_NE(m_array, nullptr);
    }
    void TearDown() override
    {
        if (m_array)
            m_array->release();
        m_atoms->release();
    }

    // The item at a position or name: its integer, or -999 for undefined, -1000 when absent.
    int32_t at(int32_t index)
    {
        ScriptValue out = ScriptValue::integer(-1000);
        (void)m_array->getItem(index, nullptr, out);
        return integerOf(out);
    }
    int32_t at(std::string_view name)
    {
        ScriptValue out = ScriptValue::integer(-1000);
        (void)m_array->getItem(name, out);
        return integerOf(out);
    }
    static int32_t integerOf(const ScriptValue& value)
    {
        return value.tag == ValueTag::Integer ? value.payload.integer : -999;
    }

    AtomTable* m_atoms { nullptr };
    ScriptArray* m_array { nullptr };
};

TEST_F(ArrayTest, InvokeChecksItsArguments)
{
    ScriptValue args[] = { ScriptValue::integer(0), ScriptValue::integer(1), ScriptValue::integer(2) };
    ScriptValue result = ScriptValue::integer(77);
    EXPECT_EQ(m_array->invoke(0, InvokeOp::StoreItem, 1, args, &result), Status::SomeError);
    EXPECT_EQ(m_array->invoke(0, InvokeOp::Apply, 0, args, &result), Status::SomeError);
    EXPECT_EQ(integerOf(result), 77);
    EXPECT_EQ(m_array->count(), 0);
    EXPECT_EQ(m_array->invoke(0, InvokeOp::StoreItem, 3, args, &result), Status::Ok);
    EXPECT_EQ(integerOf(result), 2) << "the value is the last argument";
    EXPECT_EQ(at(0), 2);
    EXPECT_EQ(m_array->count(), 1);
}

TEST_F(ArrayTest, StoredValuesAreRetainedOnceAndReleasedWithTheArray)
{
    ObjectLog log;
    CountingObject* object = CountingObject::create(log);
    ScriptValue value = objectValue(object);
    ASSERT_EQ(m_array->appendItem(0, nullptr, value), Status::Ok);
    ASSERT_EQ(m_array->setItem(1, "n", value), Status::Ok);
    ASSERT_EQ(m_array->setItem(30, nullptr, value), Status::Ok);
    EXPECT_EQ(object->refCount(), 4);
    ASSERT_EQ(m_array->setItem(30, nullptr, ScriptValue::integer(0)), Status::Ok);
    EXPECT_EQ(object->refCount(), 3) << "a replaced value is released";
    ScriptValue result = ScriptValue::integer(5);
    EXPECT_EQ(m_array->invoke(0, InvokeOp::Apply, 1, &value, &result), Status::Ok);
    EXPECT_EQ(result.tag, ValueTag::Undefined) << "an object key is the name object, never stored";
    EXPECT_EQ(object->refCount(), 3);
    m_array->release();
    m_array = nullptr;
    EXPECT_EQ(object->release(), 0);
}

// An array without atoms has no members; one made from another shares its member table.
TEST_F(ArrayTest, MemberTablesOfHostMadeArrays)
{
    ScriptValue result = UndefinedValue;
    ScriptArray* bare = createArray(nullptr, nullptr).leakRef();
    EXPECT_EQ(bare->invoke(fixedAtoms().length, InvokeOp::GetMember, 0, nullptr, &result), Status::NotAMember);
    bare->release();
    StatusOr<Ref<ScriptArray>> made = m_array->newEmpty();
    ASSERT_TRUE(made.ok());
    ScriptArray* other = made.releaseValue().leakRef();
    m_array->release();
    m_array = nullptr;
    ASSERT_EQ(other->appendItem(0, nullptr, ScriptValue::integer(1)), Status::Ok);
    EXPECT_EQ(other->invoke(fixedAtoms().length, InvokeOp::GetMember, 0, nullptr, &result), Status::Ok);
    EXPECT_EQ(integerOf(result), 1);
    other->release();
}

// A store at the largest index builds only the chunk it writes to, and so do later stores.
TEST_F(ArrayTest, AStoreFarOutBuildsOnlyItsOwnChunk)
{
    ASSERT_EQ(m_array->setItem(ScriptArray::MaxGrowthIndex, nullptr, ScriptValue::integer(1)), Status::Ok);
    EXPECT_EQ(m_array->count(), 16777216);
    EXPECT_EQ(m_array->chunkCount(), 1);
    EXPECT_EQ(at(16777215), 1);
    EXPECT_EQ(at(16777200), -999) << "the same chunk, never written";
    EXPECT_EQ(at(8000000), -999);
    EXPECT_EQ(at(16777216), -1000);
    ASSERT_EQ(m_array->appendItem(0, nullptr, ScriptValue::integer(2)), Status::Ok);
    // A name is its first length bytes, whatever follows them.
    ASSERT_EQ(m_array->setItem(3, "abcd", ScriptValue::integer(3)), Status::Ok);
    EXPECT_EQ(at("abc"), 3);
    EXPECT_EQ(m_array->count(), 16777218);
    EXPECT_EQ(at(16777216), 2);
    EXPECT_EQ(at(16777217), 3) << "a name takes the next position";
    EXPECT_EQ(m_array->chunkCount(), 2);
    ASSERT_EQ(m_array->setItem(20, nullptr, ScriptValue::integer(20)), Status::Ok) << "inside the count";
    EXPECT_EQ(m_array->chunkCount(), 3);
    EXPECT_EQ(at(20), 20);
    EXPECT_EQ(m_array->count(), 16777218);
}

// Thousands of names, some appended again by a host to hide the older entry, against a model.
TEST_F(ArrayTest, ManyNamesMatchAModel)
{
    std::map<std::string, int32_t> newestPosition;
    std::vector<int32_t> valueAt;
    uint32_t seed = 777;
    auto next = [&seed](uint32_t range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % range;
    };
    for (int32_t step = 0; step < 20000; ++step) {
        std::string name = "n" + std::to_string(next(6000));
        int32_t value = step;
        int32_t length = static_cast<int32_t>(name.size());
        uint32_t roll = next(10);
        if (roll == 0) {
            ASSERT_EQ(m_array->appendItem(length, name.c_str(), ScriptValue::integer(value)), Status::Ok);
            newestPosition[name] = static_cast<int32_t>(valueAt.size());
            valueAt.push_back(value);
        } else if (roll == 1) {
            ASSERT_EQ(m_array->appendItem(0, nullptr, ScriptValue::integer(value)), Status::Ok);
            valueAt.push_back(value);
        } else {
            ASSERT_EQ(m_array->setItem(length, name.c_str(), ScriptValue::integer(value)), Status::Ok);
            auto found = newestPosition.find(name);
            if (found != newestPosition.end()) {
                valueAt[static_cast<size_t>(found->second)] = value;
            } else {
                newestPosition[name] = static_cast<int32_t>(valueAt.size());
                valueAt.push_back(value);
            }
        }
    }
    ASSERT_EQ(m_array->count(), static_cast<int32_t>(valueAt.size()));
    for (size_t i = 0; i < valueAt.size(); ++i)
        ASSERT_EQ(at(static_cast<int32_t>(i)), valueAt[i]) << "position " << i;
    for (const auto& [name, position] : newestPosition)
        ASSERT_EQ(at(name), valueAt[static_cast<size_t>(position)]) << name;
    EXPECT_EQ(at("n6000"), -1000) << "a name never stored";
    EXPECT_EQ(at("n"), -1000);
}

// An array made under a budget charges it: a refused name fails with "out of memory" and takes no
// position, and the release gives every byte back. The memory limit script shows refused stores.
TEST_F(ArrayTest, GrowthIsChargedToTheBudgetAndRefusedPastIt)
{
    MemoryBudget* budget = MemoryBudget::create(64 * 1024).leakRef();
    ASSERT_NE(budget, nullptr);
    {
        CurrentBudget charging(budget);
        StatusOr<Ref<ScriptArray>> made = m_array->newEmpty();
        ASSERT_TRUE(made.ok());
        ScriptArray* array = made.releaseValue().leakRef();
        EXPECT_GT(budget->used(), 0u);
        ASSERT_EQ(array->setItem(ScriptArray::MaxGrowthIndex, nullptr, ScriptValue::integer(1)), Status::Ok);
        Status status = Status::Ok;
        int32_t stored = 0;
        while (status.ok()) {
            std::string name = "entry" + std::to_string(stored);
            status = array->setItem(static_cast<int32_t>(name.size()), name.c_str(), ScriptValue::integer(stored));
            if (status.ok())
                ++stored;
        }
        EXPECT_EQ(status, Status::OutOfMemory);
        EXPECT_GT(stored, 200);
        EXPECT_EQ(array->count(), 16777216 + stored) << "the refused name took no position";
        EXPECT_LE(budget->used(), budget->limit());
        budget->setLimit(budget->used());
        ASSERT_EQ(array->setItem(ScriptArray::MaxGrowthIndex, nullptr, ScriptValue::integer(2)), Status::Ok)
            << "a built chunk takes new values without charge";
        array->release();
        EXPECT_EQ(budget->used(), 0u);
    }
    EXPECT_EQ(MemoryBudget::current(), nullptr);
    budget->release();
}

}
}
