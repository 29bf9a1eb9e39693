// Arrays as hosts use them: positions and names share one chain of 16-entry chunks, a growth by
// index moves the append point past the new last position, a host may append a second entry of
// a name that then hides the first, and every stored value is retained exactly once.
#include <support/CountingObject.h>

#include <script/runtime/ScriptArray.h>

#include <gtest/gtest.h>

#include <string_view>

namespace nimbolt::test {
namespace {

class ArrayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_atoms = AtomTable::create();
        ASSERT_TRUE(m_atoms && internFixedAtoms(*m_atoms));
        m_array = createArray(nullptr, m_atoms);
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

TEST_F(ArrayTest, GrowingByIndexMovesTheAppendPoint)
{
    ASSERT_EQ(m_array->setItem(40, nullptr, ScriptValue::integer(40)), Status::Ok);
    EXPECT_EQ(m_array->count(), 41);
    EXPECT_EQ(at(20), -999) << "a position never written holds undefined";
    EXPECT_EQ(at(40), 40);
    EXPECT_EQ(at(41), -1000) << "beyond the count nothing is found";
    ASSERT_EQ(m_array->appendItem(0, nullptr, ScriptValue::integer(41)), Status::Ok);
    EXPECT_EQ(m_array->count(), 42);
    EXPECT_EQ(at(41), 41);
    ASSERT_EQ(m_array->setItem(100, nullptr, ScriptValue::integer(100)), Status::Ok);
    ASSERT_EQ(m_array->appendItem(0, nullptr, ScriptValue::integer(101)), Status::Ok);
    EXPECT_EQ(m_array->count(), 102);
    EXPECT_EQ(at(101), 101);
    EXPECT_EQ(at(41), 41);
    ASSERT_EQ(m_array->setItem(15, nullptr, ScriptValue::integer(15)), Status::Ok) << "replacing inside the count";
    EXPECT_EQ(m_array->count(), 102);
    EXPECT_EQ(at(15), 15);
}

TEST_F(ArrayTest, HostAppendOfASecondNameHidesTheFirst)
{
    ASSERT_EQ(m_array->setItem(1, "x", ScriptValue::integer(1)), Status::Ok);
    EXPECT_EQ(m_array->count(), 1);
    EXPECT_EQ(at(0), 1);
    ASSERT_EQ(m_array->setItem(1, "x", ScriptValue::integer(2)), Status::Ok);
    EXPECT_EQ(m_array->count(), 1) << "storing a name again replaces it";
    EXPECT_EQ(at(0), 2);
    ASSERT_EQ(m_array->appendItem(1, "x", ScriptValue::integer(3)), Status::Ok);
    EXPECT_EQ(m_array->count(), 2);
    EXPECT_EQ(at("x"), 3);
    EXPECT_EQ(at(0), 2);
    EXPECT_EQ(at(1), 3);
    ASSERT_EQ(m_array->setItem(1, "x", ScriptValue::integer(4)), Status::Ok);
    EXPECT_EQ(at(1), 4) << "the newest entry of the name is the one replaced";
    EXPECT_EQ(at(0), 2);
}

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
    ScriptValue out = UndefinedValue;
    ASSERT_EQ(m_array->getItem(30, nullptr, out), Status::Ok);
    EXPECT_EQ(object->refCount(), 5) << "a read hands out its own reference";
    releaseValue(out);
    ASSERT_EQ(m_array->setItem(30, nullptr, ScriptValue::integer(0)), Status::Ok);
    EXPECT_EQ(object->refCount(), 3) << "a replaced value is released";
    ScriptValue result = ScriptValue::integer(5);
    EXPECT_EQ(m_array->invoke(0, InvokeOp::Apply, 1, &value, &result), Status::Ok);
    EXPECT_EQ(result.tag, ValueTag::Undefined) << "an object key is the name object, never stored";
    EXPECT_EQ(object->refCount(), 3);
    m_array->release();
    m_array = nullptr;
    EXPECT_EQ(object->refCount(), 1);
    EXPECT_EQ(log.destroyed, 0);
    object->release();
    EXPECT_EQ(log.destroyed, 1);
}

// Hosts may make arrays without atoms (no members at all), and an empty array made from another
// shares its member table, which outlives the array it came from.
TEST_F(ArrayTest, MemberTablesOfHostMadeArrays)
{
    ScriptValue result = UndefinedValue;
    ScriptArray* bare = createArray(nullptr, nullptr);
    EXPECT_EQ(bare->invoke(fixedAtoms().length, InvokeOp::GetMember, 0, nullptr, &result), Status::NotAMember);
    bare->release();
    ScriptArray* other = nullptr;
    ASSERT_EQ(m_array->newEmpty(other), Status::Ok);
    m_array->release();
    m_array = nullptr;
    ASSERT_EQ(other->appendItem(0, nullptr, ScriptValue::integer(1)), Status::Ok);
    EXPECT_EQ(other->invoke(fixedAtoms().length, InvokeOp::GetMember, 0, nullptr, &result), Status::Ok);
    EXPECT_EQ(integerOf(result), 1);
    other->release();
}

TEST_F(ArrayTest, StoresBeyondTheGrowthLimitAreRefusedLikeNegativeIndexes)
{
    ScriptValue seven = ScriptValue::integer(7);
    EXPECT_FALSE(m_array->setItem(-1, nullptr, seven).ok());
    EXPECT_FALSE(m_array->setItem(ScriptArray::MaxGrowthIndex + 1, nullptr, seven).ok());
    EXPECT_FALSE(m_array->setItem(2000000000, nullptr, seven).ok());
    EXPECT_EQ(m_array->count(), 0);
    // A store below the limit still grows the array to it.
    ASSERT_TRUE(m_array->setItem(1000, nullptr, seven).ok());
    EXPECT_EQ(m_array->count(), 1001);
}

}
}
