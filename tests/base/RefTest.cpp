// Reference counts through Ref and RefPtr: each holder owns exactly one count, adoption takes
// over the creator's, and the object dies exactly once when the last holder lets go.
#include <support/CountingObject.h>

#include <base/Ref.h>

#include <gtest/gtest.h>

#include <utility>

namespace nimbolt::test {
namespace {

TEST(RefTest, AdoptCopyMoveAndDestroyKeepExactCounts)
{
    ObjectLog log;
    {
        Ref<CountingObject> first = adoptRef(*CountingObject::create(log));
        EXPECT_EQ(first->refCount(), 1);
        {
            Ref<CountingObject> copy = first;
            EXPECT_EQ(first->refCount(), 2);
            EXPECT_EQ(copy.ptr(), first.ptr());
        }
        EXPECT_EQ(first->refCount(), 1);

        Ref<CountingObject> moved = std::move(first);
        EXPECT_EQ(moved->refCount(), 1);
        EXPECT_EQ(log.destroyed, 0);

        // Wrapping a borrowed reference takes a count of its own.
        Ref<CountingObject> wrapped(*moved);
        EXPECT_EQ(moved->refCount(), 2);
    }
    EXPECT_EQ(log.destroyed, 1);
}

TEST(RefTest, SelfAssignmentKeepsTheCount)
{
    ObjectLog log;
    {
        Ref<CountingObject> ref = adoptRef(*CountingObject::create(log));
        Ref<CountingObject>& alias = ref;
        ref = alias;
        EXPECT_EQ(ref->refCount(), 1);

        RefPtr<CountingObject> pointer = ref.ptr();
        EXPECT_EQ(ref->refCount(), 2);
        RefPtr<CountingObject>& pointerAlias = pointer;
        pointer = pointerAlias;
        EXPECT_EQ(ref->refCount(), 2);
        pointer = std::move(pointerAlias);
        EXPECT_EQ(ref->refCount(), 2);
        EXPECT_EQ(pointer.ptr(), ref.ptr());
    }
    EXPECT_EQ(log.destroyed, 1);
}

TEST(RefTest, AssignmentReleasesTheOldObjectOnce)
{
    ObjectLog firstLog;
    ObjectLog secondLog;
    Ref<CountingObject> ref = adoptRef(*CountingObject::create(firstLog));
    Ref<CountingObject> other = adoptRef(*CountingObject::create(secondLog));
    ref = other;
    EXPECT_EQ(firstLog.destroyed, 1);
    EXPECT_EQ(other->refCount(), 2);
    ref = std::move(other);
    EXPECT_EQ(ref->refCount(), 1);
    EXPECT_EQ(secondLog.destroyed, 0);
}

TEST(RefTest, RefPtrCopyMoveClearAndNull)
{
    ObjectLog log;
    RefPtr<CountingObject> empty;
    EXPECT_FALSE(empty);
    EXPECT_TRUE(!empty);
    RefPtr<CountingObject> fromNull(static_cast<CountingObject*>(nullptr));
    EXPECT_EQ(fromNull.ptr(), nullptr);
    EXPECT_EQ(adoptRef(static_cast<CountingObject*>(nullptr)).ptr(), nullptr);

    RefPtr<CountingObject> owner = adoptRef(CountingObject::create(log));
    ASSERT_TRUE(owner);
    EXPECT_EQ(owner->refCount(), 1);

    RefPtr<CountingObject> copy = owner;
    EXPECT_EQ(owner->refCount(), 2);
    RefPtr<CountingObject> moved = std::move(copy);
    EXPECT_EQ(copy.ptr(), nullptr);
    EXPECT_EQ(owner->refCount(), 2);

    moved = nullptr;
    EXPECT_EQ(owner->refCount(), 1);
    moved.clear();
    EXPECT_EQ(owner->refCount(), 1);

    CountingObject* leaked = owner.leakRef();
    EXPECT_EQ(owner.ptr(), nullptr);
    EXPECT_EQ(leaked->refCount(), 1);
    EXPECT_EQ(log.destroyed, 0);

    // A Ref handed to a RefPtr passes its count on without adding one.
    RefPtr<CountingObject> fromRef = adoptRef(*leaked);
    EXPECT_EQ(fromRef->refCount(), 1);
    fromRef.clear();
    EXPECT_EQ(log.destroyed, 1);
}

}
}
