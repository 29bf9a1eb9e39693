// Reference counts through Ref and RefPtr: each holder owns exactly one count, adoption takes
// over the creator's, and the object dies exactly once when the last holder lets go.
#include <base/DeferredRelease.h>
#include <base/Ref.h>
#include <base/RefCounted.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace nimbolt::test {
namespace {

class Counted final : public RefCounted {
public:
    explicit Counted(int& destroyed)
        : m_destroyed(destroyed)
    {
    }

private:
    ~Counted() override { ++m_destroyed; }
    int& m_destroyed;
};

TEST(RefTest, CopyMoveWrapAndAssignKeepExactCounts)
{
    int destroyed = 0;
    int otherDestroyed = 0;
    {
        Ref<Counted> first = adoptRef(*new Counted(destroyed));
        EXPECT_EQ(first->refCount(), 1);
        {
            Ref<Counted> copy = first;
            EXPECT_EQ(first->refCount(), 2);
            EXPECT_EQ(copy.ptr(), first.ptr());
        }
        EXPECT_EQ(first->refCount(), 1);
        Ref<Counted> moved = std::move(first);
        EXPECT_EQ(moved->refCount(), 1);

        // Wrapping a borrowed reference takes a count of its own.
        Ref<Counted> wrapped(*moved);
        EXPECT_EQ(moved->refCount(), 2);

        // Self-assignment must not drop the object on the way.
        Ref<Counted>& alias = moved;
        moved = alias;
        EXPECT_EQ(moved->refCount(), 2);

        // Assigning another object releases the old one once.
        Ref<Counted> other = adoptRef(*new Counted(otherDestroyed));
        wrapped = other;
        moved = other;
        EXPECT_EQ(destroyed, 1);
        EXPECT_EQ(other->refCount(), 3);
        moved = std::move(other);
        EXPECT_EQ(moved->refCount(), 2);
        EXPECT_EQ(otherDestroyed, 0);
    }
    EXPECT_EQ(otherDestroyed, 1);
}

TEST(RefTest, RefPtrNullCopyMoveClearAndLeak)
{
    int destroyed = 0;
    RefPtr<Counted> empty;
    EXPECT_FALSE(empty);
    EXPECT_TRUE(!empty);
    EXPECT_EQ(RefPtr<Counted>(static_cast<Counted*>(nullptr)).ptr(), nullptr);
    EXPECT_EQ(adoptRef(static_cast<Counted*>(nullptr)).ptr(), nullptr);

    RefPtr<Counted> owner = adoptRef(new Counted(destroyed));
    ASSERT_TRUE(owner);
    EXPECT_EQ(owner->refCount(), 1);
    RefPtr<Counted> copy = owner;
    EXPECT_EQ(owner->refCount(), 2);
    RefPtr<Counted>& alias = copy;
    copy = alias;
    EXPECT_EQ(owner->refCount(), 2);
    RefPtr<Counted> moved = std::move(copy);
    EXPECT_EQ(copy.ptr(), nullptr);
    EXPECT_EQ(owner->refCount(), 2);
    moved = nullptr;
    EXPECT_EQ(owner->refCount(), 1);
    moved.clear();
    EXPECT_EQ(owner->refCount(), 1);

    Counted* leaked = owner.leakRef();
    EXPECT_EQ(owner.ptr(), nullptr);
    EXPECT_EQ(leaked->refCount(), 1);
    // A Ref handed to a RefPtr passes its count on without adding one.
    RefPtr<Counted> fromRef = adoptRef(*leaked);
    EXPECT_EQ(fromRef->refCount(), 1);
    EXPECT_EQ(destroyed, 0);
    fromRef.clear();
    EXPECT_EQ(destroyed, 1);
}

// A link of a chain whose destructor lets go of the next link, and notes when it finishes.
class Link final : private DeferredRelease {
public:
    Link(int id, Link* next, std::vector<int>& finished)
        : m_id(id)
        , m_next(next)
        , m_finished(finished)
    {
    }
    void release() { destroyDeferred(); }

private:
    ~Link() override
    {
        if (m_next)
            m_next->release();
        m_finished.push_back(m_id);
    }
    int m_id;
    Link* m_next;
    std::vector<int>& m_finished;
};

// Up to MaxNesting destructions run inside each other, so the innermost finishes first; the rest
// wait and are destroyed once the outermost is over, each again with the full depth.
TEST(DeferredReleaseTest, DestructionsNestUpToTheLimitThenWait)
{
    constexpr int length = DeferredRelease::MaxNesting * 2 + 10;
    std::vector<int> finished;
    Link* head = nullptr;
    for (int id = length - 1; id >= 0; --id)
        head = new Link(id, head, finished);
    head->release();
    ASSERT_EQ(finished.size(), size_t { length });
    std::vector<int> expected;
    for (int start = 0; start < length; start += DeferredRelease::MaxNesting) {
        int end = std::min(start + DeferredRelease::MaxNesting, length);
        for (int id = end - 1; id >= start; --id)
            expected.push_back(id);
    }
    EXPECT_EQ(finished, expected);
}

}
}
