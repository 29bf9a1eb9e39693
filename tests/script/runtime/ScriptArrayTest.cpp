// Arrays as hosts use them: positions and names share one chain of 16-entry chunks, a growth by
// index moves the append point past the new last position, a host may append a second entry of
// a name that then hides the first, and every stored value is retained exactly once.
#include <support/CountingObject.h>

#include <script/runtime/ScriptArray.h>
#include <script/runtime/ScriptString.h>

#include <gtest/gtest.h>

#include <string>

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
    Status store(const ScriptValue& key, int32_t value, ScriptValue& result)
    {
        ScriptValue args[] = { key, ScriptValue::integer(value) };
        result = UndefinedValue;
        return m_array->invoke(0, InvokeOp::StoreItem, 2, args, &result);
    }
    int32_t read(const ScriptValue& key)
    {
        ScriptValue result = ScriptValue::integer(-1000);
        EXPECT_EQ(m_array->invoke(0, InvokeOp::Apply, 1, &key, &result), Status::Ok);
        return integerOf(result);
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

TEST_F(ArrayTest, AppendsAcrossChunks)
{
    for (int32_t i = 0; i < 50; ++i)
        ASSERT_EQ(m_array->appendItem(0, nullptr, ScriptValue::integer(i * 2)), Status::Ok);
    EXPECT_EQ(m_array->count(), 50);
    for (int32_t i = 0; i < 50; ++i)
        EXPECT_EQ(at(i), i * 2) << "position " << i;
    for (int32_t i = 0; i < 20; ++i) {
        std::string name = "name" + std::to_string(i);
        ASSERT_EQ(m_array->setItem(static_cast<int32_t>(name.size()), name.data(), ScriptValue::integer(i)),
            Status::Ok);
    }
    EXPECT_EQ(m_array->count(), 70);
    EXPECT_EQ(at("name0"), 0);
    EXPECT_EQ(at("name19"), 19);
    EXPECT_EQ(at(50), 0) << "named entries take the next positions";
    EXPECT_EQ(at(69), 19);
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

TEST_F(ArrayTest, NameHashIsTheSignedByteSumShiftedAndTheLength)
{
    struct Row {
        const char* what;
        std::string_view name;
        uint32_t hash;
    };
    const Row rows[] = {
        { "one letter: 120 << 12 | 1", "x", 491521u },
        { "two letters: (97 + 98) << 12 | 2", "ab", 798722u },
        { "same bytes in another order", "ba", 798722u },
        { "empty name", "", 0u },
        // -126 + -96 = -222 = 0xFFFFFF22; shifted by 12 and cut to 32 bits: 0xFFF22000.
        { "bytes above 127 count negative", "\x82\xa0", 0xFFF22002u },
    };
    for (const Row& row : rows)
        EXPECT_EQ(ScriptArray::nameHash(row.name.data(), static_cast<int32_t>(row.name.size())), row.hash) << row.what;
}

TEST_F(ArrayTest, NamesThatShareAHashAreTellApartByTheirBytes)
{
    ASSERT_EQ(m_array->setItem(2, "ab", ScriptValue::integer(1)), Status::Ok);
    ASSERT_EQ(m_array->setItem(2, "ba", ScriptValue::integer(2)), Status::Ok);
    ASSERT_EQ(m_array->setItem(2, "\x82\xa0", ScriptValue::integer(3)), Status::Ok);
    ASSERT_EQ(m_array->setItem(0, "", ScriptValue::integer(4)), Status::Ok);
    EXPECT_EQ(at("ab"), 1);
    EXPECT_EQ(at("ba"), 2);
    EXPECT_EQ(at("\x82\xa0"), 3);
    EXPECT_EQ(at(""), 4);
    EXPECT_EQ(at("a"), -1000);
    EXPECT_EQ(at("abc"), -1000);
    EXPECT_EQ(m_array->count(), 4);
}

TEST_F(ArrayTest, NegativeIndexStoresNothing)
{
    EXPECT_EQ(m_array->setItem(-1, nullptr, ScriptValue::integer(1)), Status::Failed);
    EXPECT_EQ(m_array->count(), 0);
    ScriptValue result;
    EXPECT_EQ(store(ScriptValue::integer(-1), 9, result), Status::Ok);
    EXPECT_EQ(integerOf(result), 9) << "the store still yields the value";
    EXPECT_EQ(m_array->count(), 0);
    EXPECT_EQ(read(ScriptValue::integer(-1)), -999);
}

// How invoke turns a key value into a position or a name.
TEST_F(ArrayTest, KeysFromValues)
{
    ScriptValue result;
    ASSERT_EQ(store(ScriptValue::integer(5), 50, result), Status::Ok);
    ScriptValue five = makeStringValue(createString("5"));
    ASSERT_EQ(store(five, 55, result), Status::Ok);
    EXPECT_EQ(m_array->count(), 7);
    EXPECT_EQ(read(ScriptValue::integer(5)), 50);
    EXPECT_EQ(read(five), 55) << "the digit as text is a name";
    EXPECT_EQ(at(6), 55);
    EXPECT_EQ(read(ScriptValue::real(5.9)), 50) << "a real is truncated";
    ASSERT_EQ(store(ScriptValue::integer(0), 7, result), Status::Ok);
    EXPECT_EQ(read(ScriptValue::real(-0.5)), 7) << "toward zero";
    EXPECT_EQ(read(UndefinedValue), -999) << "undefined is the name undefined, never stored";
    ASSERT_EQ(store(UndefinedValue, 8, result), Status::Ok);
    EXPECT_EQ(at("undefined"), 8);
    releaseValue(five);

    // Names are cut to 1023 bytes: two keys that differ only after that are one entry.
    std::string first(1100, 'k');
    std::string second = first;
    second[1050] = 'z';
    ScriptValue a = makeStringValue(createString(first));
    ScriptValue b = makeStringValue(createString(second));
    int32_t before = m_array->count();
    ASSERT_EQ(store(a, 1, result), Status::Ok);
    ASSERT_EQ(store(b, 2, result), Status::Ok);
    EXPECT_EQ(m_array->count(), before + 1);
    EXPECT_EQ(read(a), 2);
    EXPECT_EQ(at(std::string(1023, 'k')), 2);
    releaseValue(a);
    releaseValue(b);
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

TEST_F(ArrayTest, ConstructAppendsOnlyFromTwoArguments)
{
    ScriptValue args[] = { ScriptValue::integer(7), ScriptValue::integer(8), ScriptValue::integer(9) };
    for (int32_t argc = 0; argc <= 3; ++argc) {
        ScriptValue result = UndefinedValue;
        ASSERT_EQ(m_array->invoke(0, InvokeOp::Construct, argc, args, &result), Status::Ok);
        ASSERT_EQ(result.tag, ValueTag::Object);
        auto* made = static_cast<ScriptArray*>(result.payload.object);
        EXPECT_EQ(made->count(), argc >= 2 ? argc : 0) << argc << " arguments";
        EXPECT_EQ(made->refCount(), 1);
        ScriptValue length = UndefinedValue;
        EXPECT_EQ(made->invoke(fixedAtoms().length, InvokeOp::GetMember, 0, nullptr, &length), Status::Ok)
            << "the new array shares the member table";
        EXPECT_EQ(integerOf(length), made->count());
        releaseValue(result);
    }
    EXPECT_EQ(m_array->count(), 0) << "construction leaves the maker alone";
}

TEST_F(ArrayTest, LengthIsTheOnlyMemberAndReadOnly)
{
    ASSERT_EQ(m_array->appendItem(0, nullptr, ScriptValue::integer(1)), Status::Ok);
    ScriptValue value = ScriptValue::integer(3);
    ScriptValue result = UndefinedValue;
    EXPECT_EQ(m_array->invoke(fixedAtoms().length, InvokeOp::GetMember, 0, nullptr, &result), Status::Ok);
    EXPECT_EQ(integerOf(result), 1);
    EXPECT_EQ(m_array->invoke(fixedAtoms().length, InvokeOp::PutMember, 1, &value, &result), Status::SomeError);
    EXPECT_EQ(m_array->invoke(fixedAtoms().length, InvokeOp::CallMember, 0, nullptr, &result), Status::SomeError);
    EXPECT_EQ(m_array->count(), 1);
    EXPECT_EQ(m_array->invoke(m_atoms->intern("foo"), InvokeOp::GetMember, 0, nullptr, &result), Status::NotAMember);

    ScriptArray* bare = createArray(nullptr, nullptr);
    EXPECT_EQ(bare->invoke(fixedAtoms().length, InvokeOp::GetMember, 0, nullptr, &result), Status::NotAMember)
        << "an array made without atoms has no members";
    bare->release();
}

TEST_F(ArrayTest, NewEmptySharesTheMemberTable)
{
    ScriptArray* other = nullptr;
    ASSERT_EQ(m_array->newEmpty(other), Status::Ok);
    EXPECT_EQ(other->count(), 0);
    ScriptValue result = UndefinedValue;
    EXPECT_EQ(other->invoke(fixedAtoms().length, InvokeOp::GetMember, 0, nullptr, &result), Status::Ok);
    m_array->release();
    m_array = nullptr;
    EXPECT_EQ(other->invoke(fixedAtoms().length, InvokeOp::GetMember, 0, nullptr, &result), Status::Ok)
        << "the table outlives the array it came from";
    other->release();
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

TEST_F(ArrayTest, DeeplyNestedArraysAreReleasedWithoutRecursion)
{
    ScriptArray* outer = m_array;
    m_array = nullptr;
    for (int32_t i = 0; i < 200000; ++i) {
        ScriptArray* next = createArray(outer, nullptr);
        ASSERT_NE(next, nullptr);
        ASSERT_EQ(next->appendItem(0, nullptr, ScriptValue::object(outer)), Status::Ok);
        outer->release();
        outer = next;
    }
    EXPECT_EQ(outer->release(), 0);
}

TEST(ArrayGlobal, IsAnEmptyArrayThatHoldsItems)
{
    AtomTable* atoms = AtomTable::create();
    ASSERT_TRUE(atoms && internFixedAtoms(*atoms));
    int32_t strings = ScriptString::liveCount();
    ScriptObject* global = createArrayGlobal(*atoms);
    ASSERT_NE(global, nullptr);
    ScriptValue result = UndefinedValue;
    EXPECT_EQ(global->invoke(fixedAtoms().length, InvokeOp::GetMember, 0, nullptr, &result), Status::Ok);
    EXPECT_EQ(result.payload.integer, 0);
    ScriptValue args[] = { ScriptValue::integer(0), makeStringValue(createString("held")) };
    EXPECT_EQ(global->invoke(0, InvokeOp::StoreItem, 2, args, &result), Status::Ok);
    releaseValue(result);
    releaseValue(args[1]);
    EXPECT_EQ(static_cast<ScriptArray*>(global)->count(), 1);
    EXPECT_EQ(ScriptString::liveCount(), strings + 1);
    global->release();
    EXPECT_EQ(ScriptString::liveCount(), strings);
    atoms->release();
}

}
}

namespace nimbolt::test {
namespace {

TEST_F(ArrayTest, StoresBeyondTheGrowthLimitAreRefusedLikeNegativeIndexes)
{
    ScriptValue seven = ScriptValue::integer(7);
    EXPECT_FALSE(m_array->setItem(ScriptArray::MaxGrowthIndex + 1, nullptr, seven).ok());
    EXPECT_FALSE(m_array->setItem(2000000000, nullptr, seven).ok());
    EXPECT_EQ(m_array->count(), 0);
    // A store below the limit still grows the array to it.
    ASSERT_TRUE(m_array->setItem(1000, nullptr, seven).ok());
    EXPECT_EQ(m_array->count(), 1001);
}

}
}
