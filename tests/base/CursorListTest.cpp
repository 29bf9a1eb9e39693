// The cursor list against a plain vector model, with one free callback per node that leaves it.
#include <base/CursorList.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace nimbolt::test {
namespace {

struct TestNode {
    ListNode link;
    int32_t id;
};

std::vector<int32_t> s_freed;
int32_t s_nextId = 0;

int32_t recordingFree(CursorList*, ListOperation operation, ListNode* node)
{
    if (operation != ListOperation::FreeNode)
        return -1;
    s_freed.push_back(reinterpret_cast<TestNode*>(node)->id);
    freeListNode(node);
    return 1;
}

ListNode* makeNode()
{
    ListNode* node = newListNode(sizeof(TestNode));
    reinterpret_cast<TestNode*>(node)->id = s_nextId++;
    return node;
}

int32_t idOf(const ListNode* node) { return node ? reinterpret_cast<const TestNode*>(node)->id : -1; }

bool isTail(const ListNode* node) { return node && !node->next && node->previous; }

class CursorListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        s_freed.clear();
        s_nextId = 0;
        m_list = CursorList::createList(recordingFree);
        ASSERT_NE(m_list, nullptr);
    }
    void TearDown() override
    {
        // Whatever is still in the list is freed, each node once, from the front.
        std::vector<int32_t> expected;
        for (ListNode* node : m_model)
            expected.push_back(idOf(node));
        s_freed.clear();
        m_list.reset();
        EXPECT_EQ(s_freed, expected);
    }

    void fill(int32_t count)
    {
        for (int32_t i = 0; i < count; ++i) {
            ListNode* node = makeNode();
            ASSERT_TRUE(m_list->append(node));
            m_model.push_back(node);
        }
    }

    // The whole list against the model: both links of every node, the cursor, and nodeAt for
    // every index (which must not move the cursor).
    void expectMatchesModel(int32_t cursorIndex)
    {
        const auto count = static_cast<int32_t>(m_model.size());
        ASSERT_EQ(m_list->count(), count);
        ASSERT_EQ(m_list->firstNode(), count ? m_model.front() : nullptr);
        ListNode* tail = m_list->nodeAt(count);
        ASSERT_TRUE(isTail(tail));
        for (int32_t i = 0; i < count; ++i) {
            ListNode* node = m_model[static_cast<size_t>(i)];
            ASSERT_EQ(node->next, i + 1 < count ? m_model[static_cast<size_t>(i + 1)] : tail);
            ASSERT_EQ(node->next->previous, node);
            ASSERT_EQ(m_list->nodeAt(i), node) << "index " << i;
        }
        ASSERT_EQ(m_list->nodeAt(-1), nullptr);
        ASSERT_EQ(m_list->nodeAt(count + 1), nullptr);
        ASSERT_EQ(m_list->cursorIndex(), cursorIndex);
        ASSERT_EQ(m_list->cursorNode(), cursorIndex < count ? m_model[static_cast<size_t>(cursorIndex)] : nullptr);
    }

    OwnedCursorList m_list;
    std::vector<ListNode*> m_model;
};

// The list refuses null, loose nodes, its header nodes, another list's nodes and unlinked ones,
// and frees nothing for them; an unlinked node can go back in.
TEST_F(CursorListTest, RefusesForeignNodesAndFreesEachNodeOnce)
{
    ListNode* tail = m_list->nodeAt(0);
    EXPECT_EQ(m_list->advance(), tail) << "an empty list's cursor stays on the tail";
    EXPECT_EQ(m_list->unlinkNode(tail->previous), nullptr);
    EXPECT_FALSE(m_list->removeNode(tail));
    EXPECT_FALSE(m_list->removeFirst());
    fill(4);
    m_list->seekCursor(3);
    ListNode* loose = makeNode();
    EXPECT_FALSE(m_list->insertAt(nullptr, 0));
    EXPECT_FALSE(m_list->removeNode(loose));
    OwnedCursorList other = CursorList::createList(recordingFree);
    ASSERT_TRUE(other->append(loose));
    EXPECT_FALSE(m_list->removeNode(loose));
    EXPECT_EQ(m_list->unlinkNode(loose), nullptr);

    ListNode* node = m_model[1];
    EXPECT_EQ(m_list->unlinkNode(node), node);
    EXPECT_TRUE(node->next == nullptr && node->previous == nullptr);
    EXPECT_FALSE(m_list->removeNode(node));
    EXPECT_TRUE(s_freed.empty());
    m_model.erase(m_model.begin() + 1);
    EXPECT_TRUE(m_list->append(node));
    m_model.push_back(node);
    expectMatchesModel(2);

    const int32_t looseId = idOf(loose);
    other.reset();
    EXPECT_EQ(s_freed, std::vector<int32_t> { looseId });
    s_freed.clear();
    m_list->clearList();
    EXPECT_EQ(s_freed, (std::vector<int32_t> { 0, 2, 3, 1 }));
    m_model.clear();
    expectMatchesModel(0);
    // TearDown checks that destroyList frees what is left, each node once.
    fill(40);
    s_freed.clear();
}

// A deterministic mix of every operation, indexes one outside the range included: the list grows
// to a few hundred nodes and shrinks back.
TEST_F(CursorListTest, RandomOperationsMatchTheModel)
{
    uint32_t seed = 2024;
    auto next = [&seed](int32_t range) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int32_t>((seed >> 16) % static_cast<uint32_t>(range));
    };
    int32_t cursor = 0;
    size_t largest = 0;
    for (int32_t step = 0; step < 4000; ++step) {
        SCOPED_TRACE(step);
        s_freed.clear();
        const auto count = static_cast<int32_t>(m_model.size());
        const int32_t roll = next(10);
        const int32_t how = next(4);
        if (roll == 8) {
            int32_t index = next(count + 5) - 2;
            cursor = std::clamp(index, 0, count);
            ASSERT_EQ(m_list->seekCursor(index), cursor);
        } else if (roll == 9) {
            ListNode* node = m_list->advance();
            cursor = std::min(cursor + 1, count);
            ASSERT_EQ(node, m_list->nodeAt(cursor));
        } else if (roll < (step < 2000 ? 6 : 3)) {
            // insertAtCursor, append, or insertAt anywhere.
            int32_t index = how == 0 ? cursor : how == 1 ? count : next(count + 3) - 1;
            bool valid = index >= 0 && index <= count;
            ListNode* node = makeNode();
            bool inserted = how == 0 ? m_list->insertAtCursor(node)
                : how == 1           ? m_list->append(node)
                                     : m_list->insertAt(node, index);
            ASSERT_EQ(inserted, valid);
            if (!valid) {
                freeListNode(node);
            } else {
                m_model.insert(m_model.begin() + index, node);
                cursor += index < cursor;
            }
        } else {
            // removeAt anywhere, removeAtCursor, removeNode or unlinkNode (which frees nothing).
            int32_t index = how == 0 ? next(count + 2) - 1 : how == 1 ? cursor : count ? next(count) : -1;
            bool valid = index >= 0 && index < count;
            ListNode* node = valid ? m_model[static_cast<size_t>(index)] : nullptr;
            const int32_t id = idOf(node);
            bool removed = how == 0 ? m_list->removeAt(index)
                : how == 1          ? m_list->removeAtCursor()
                : how == 2          ? m_list->removeNode(node)
                                    : m_list->unlinkNode(node) == node && node;
            ASSERT_EQ(removed, valid);
            ASSERT_EQ(s_freed, valid && how != 3 ? std::vector<int32_t> { id } : std::vector<int32_t> {});
            if (how == 3)
                freeListNode(node);
            if (valid) {
                m_model.erase(m_model.begin() + index);
                cursor -= index < cursor;
            }
        }
        expectMatchesModel(cursor);
        largest = std::max(largest, m_model.size());
    }
    EXPECT_GT(largest, 100u);
    s_freed.clear();
}

// Without a callback nodes are freed with freeListNode (the leak checker sees them all go).
TEST(CursorListBasicsTest, DefaultCallbackAndUserWord)
{
    OwnedCursorList list = CursorList::createList(nullptr);
    for (size_t size : { size_t { 0 }, sizeof(ListNode), size_t { 64 } })
        EXPECT_TRUE(list->append(newListNode(size)));
    EXPECT_TRUE(list->removeAt(1));
    EXPECT_EQ(list->getListUser(), nullptr);
    int owner = 0;
    list->setListUser(&owner);
    EXPECT_EQ(list->getListUser(), &owner);
    list.reset();
    CursorList::destroyList(nullptr);
}

}
}
