// Each Ref holds exactly one count; adoption takes over the creator's. RefPtr's faults (a count
// not taken, not given back or given back twice) fail the script runtime's tests under the sanitizers.
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
            EXPECT_TRUE(first->refCount() == 2 && copy.ptr() == first.ptr());
        }
        Ref<Counted> moved = std::move(first);
        EXPECT_EQ(moved->refCount(), 1);
        Ref<Counted> wrapped(*moved);
        EXPECT_EQ(moved->refCount(), 2) << "wrapping a borrowed reference takes a count";
        Ref<Counted>& alias = moved;
        moved = alias;
        EXPECT_EQ(moved->refCount(), 2) << "self-assignment keeps the object";

        Ref<Counted> other = adoptRef(*new Counted(otherDestroyed));
        wrapped = other;
        moved = other;
        EXPECT_TRUE(destroyed == 1 && other->refCount() == 3);
        moved = std::move(other);
        EXPECT_TRUE(moved->refCount() == 2 && otherDestroyed == 0);
    }
    EXPECT_EQ(otherDestroyed, 1);
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

// Up to MaxNesting destructions nest, the innermost finishing first; the rest wait for the
// outermost to end and then nest as deep again.
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
