// The cursor list against a plain vector model: node order, the cursor's index and node after
// every insertion and removal, positional lookup from every cursor position, and exactly one
// free callback per node that leaves the list through a removal.
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
        CursorList::destroyList(m_list);
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

    // The whole list against the model: order and both links of every node, the cursor, and
    // nodeAt for every index (which must not move the cursor).
    void expectMatchesModel(int32_t cursorIndex)
    {
        const auto count = static_cast<int32_t>(m_model.size());
        ASSERT_EQ(m_list->count(), count);
        ListNode* node = m_list->firstNode();
        ASSERT_EQ(node, count ? m_model.front() : nullptr);
        for (int32_t i = 0; i < count; ++i) {
            ASSERT_EQ(m_model[static_cast<size_t>(i)]->next->previous, m_model[static_cast<size_t>(i)]);
            if (i + 1 < count) {
                ASSERT_EQ(m_model[static_cast<size_t>(i)]->next, m_model[static_cast<size_t>(i + 1)]);
            } else {
                ASSERT_TRUE(isTail(m_model[static_cast<size_t>(i)]->next));
            }
        }
        ASSERT_EQ(m_list->cursorIndex(), cursorIndex);
        ListNode* expectedCursor = cursorIndex < count ? m_model[static_cast<size_t>(cursorIndex)] : nullptr;
        ASSERT_EQ(m_list->cursorNode(), expectedCursor);
        for (int32_t i = 0; i < count; ++i) {
            ASSERT_EQ(m_list->nodeAt(i), m_model[static_cast<size_t>(i)]) << "index " << i;
        }
        ListNode* tail = m_list->nodeAt(count);
        ASSERT_TRUE(isTail(tail));
        ASSERT_EQ(tail->previous, count ? m_model.back() : tail->previous);
        ASSERT_EQ(m_list->nodeAt(-1), nullptr);
        ASSERT_EQ(m_list->nodeAt(count + 1), nullptr);
        ASSERT_EQ(m_list->cursorIndex(), cursorIndex);
        ASSERT_EQ(m_list->cursorNode(), expectedCursor);
    }

    CursorList* m_list { nullptr };
    std::vector<ListNode*> m_model;
};

TEST_F(CursorListTest, EmptyList)
{
    ListNode* tail = m_list->nodeAt(0);
    ASSERT_TRUE(isTail(tail));
    EXPECT_EQ(tail->previous->previous, nullptr);
    EXPECT_EQ(m_list->firstNode(), nullptr);
    EXPECT_EQ(m_list->cursorNode(), nullptr);
    EXPECT_EQ(m_list->cursorIndex(), 0);
    EXPECT_EQ(m_list->count(), 0);
    EXPECT_FALSE(m_list->removeAt(0));
    EXPECT_FALSE(m_list->removeFirst());
    EXPECT_FALSE(m_list->removeAtCursor());
    EXPECT_EQ(m_list->nodeAt(1), nullptr);
    EXPECT_EQ(m_list->nodeAt(-1), nullptr);
    EXPECT_EQ(m_list->advance(), tail);
    EXPECT_EQ(m_list->cursorIndex(), 0);
    EXPECT_EQ(m_list->seekCursor(3), 0);
    EXPECT_EQ(m_list->unlinkNode(tail), nullptr);
    EXPECT_EQ(m_list->unlinkNode(tail->previous), nullptr);
    EXPECT_FALSE(m_list->removeNode(tail));
    EXPECT_TRUE(s_freed.empty());
    m_list->clearList();
    EXPECT_TRUE(s_freed.empty());
}

// What the list must refuse: null, a loose node, the tail header, a node of another list and a
// node already unlinked; and what it must free: each node once, from the front.
TEST_F(CursorListTest, RefusesForeignNodesAndFreesEachNodeOnce)
{
    fill(4);
    m_list->seekCursor(3);
    ListNode* loose = makeNode();
    EXPECT_FALSE(m_list->insertAt(nullptr, 0));
    EXPECT_FALSE(m_list->removeNode(loose));
    EXPECT_FALSE(m_list->removeNode(nullptr));
    EXPECT_FALSE(m_list->removeNode(m_list->nodeAt(m_list->count())));
    CursorList* other = CursorList::createList(recordingFree);
    ASSERT_TRUE(other->append(loose));
    EXPECT_FALSE(m_list->removeNode(loose));
    EXPECT_EQ(m_list->unlinkNode(loose), nullptr);
    EXPECT_EQ(other->firstNode(), loose);
    EXPECT_TRUE(s_freed.empty());
    expectMatchesModel(3);

    // Unlinked, a node is no longer anyone's, frees nothing, and can go back in.
    ListNode* node = m_model[1];
    EXPECT_EQ(m_list->unlinkNode(node), node);
    EXPECT_EQ(node->next, nullptr);
    EXPECT_EQ(node->previous, nullptr);
    EXPECT_EQ(m_list->unlinkNode(node), nullptr);
    EXPECT_FALSE(m_list->removeNode(node));
    EXPECT_TRUE(s_freed.empty());
    m_model.erase(m_model.begin() + 1);
    expectMatchesModel(2);
    EXPECT_TRUE(m_list->append(node));
    m_model.push_back(node);
    expectMatchesModel(2);

    const int32_t looseId = idOf(loose);
    CursorList::destroyList(other);
    EXPECT_EQ(s_freed, std::vector<int32_t> { looseId });
    s_freed.clear();
    m_list->clearList();
    EXPECT_EQ(s_freed, (std::vector<int32_t> { 0, 2, 3, 1 }));
    m_model.clear();
    expectMatchesModel(0);
    // The fixture's TearDown checks that destroyList frees what is left, each node once.
    fill(40);
    m_list->seekCursor(17);
    s_freed.clear();
}

// A long deterministic mix of every operation, checked against the model after each step.
TEST_F(CursorListTest, RandomOperationsMatchTheModel)
{
    uint32_t seed = 2024;
    auto next = [&seed](uint32_t range) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int32_t>((seed >> 16) % range);
    };
    int32_t cursor = 0;
    int32_t largest = 0;
    for (int32_t step = 0; step < 4000; ++step) {
        SCOPED_TRACE(step);
        s_freed.clear();
        const auto count = static_cast<int32_t>(m_model.size());
        // Extra appends early and extra removals late, so the list grows to a few hundred nodes
        // and shrinks back.
        static constexpr int32_t Removals[] = { 3, 4, 7, 8 };
        int32_t kind = next(14);
        if (kind >= 10)
            kind = step < 2000 ? 9 : Removals[kind - 10];
        switch (kind) {
        case 0:
        case 1: {
            int32_t index = next(static_cast<uint32_t>(count + 3)) - 1;
            ListNode* node = makeNode();
            bool valid = index >= 0 && index <= count;
            ASSERT_EQ(m_list->insertAt(node, index), valid);
            if (!valid) {
                freeListNode(node);
                break;
            }
            m_model.insert(m_model.begin() + index, node);
            if (index < cursor)
                ++cursor;
            break;
        }
        case 2: {
            ListNode* node = makeNode();
            ASSERT_TRUE(m_list->insertAtCursor(node));
            m_model.insert(m_model.begin() + cursor, node);
            ASSERT_EQ(m_list->cursorNode(), node);
            break;
        }
        case 3: {
            int32_t index = next(static_cast<uint32_t>(count + 2)) - 1;
            bool valid = index >= 0 && index < count;
            int32_t id = valid ? idOf(m_model[static_cast<size_t>(index)]) : -1;
            ASSERT_EQ(m_list->removeAt(index), valid);
            if (!valid) {
                ASSERT_TRUE(s_freed.empty());
                break;
            }
            ASSERT_EQ(s_freed, std::vector<int32_t> { id });
            m_model.erase(m_model.begin() + index);
            if (index < cursor)
                --cursor;
            break;
        }
        case 4: {
            bool valid = cursor < count;
            ASSERT_EQ(m_list->removeAtCursor(), valid);
            if (valid)
                m_model.erase(m_model.begin() + cursor);
            ASSERT_EQ(s_freed.size(), valid ? 1u : 0u);
            break;
        }
        case 5: {
            int32_t index = next(static_cast<uint32_t>(count + 5)) - 2;
            cursor = std::clamp(index, 0, count);
            ASSERT_EQ(m_list->seekCursor(index), cursor);
            break;
        }
        case 6: {
            ListNode* node = m_list->advance();
            if (cursor < count)
                ++cursor;
            ASSERT_EQ(node, cursor < count ? m_model[static_cast<size_t>(cursor)] : m_list->nodeAt(count));
            break;
        }
        case 7: {
            if (!count)
                break;
            int32_t index = next(static_cast<uint32_t>(count));
            ListNode* node = m_model[static_cast<size_t>(index)];
            ASSERT_EQ(m_list->unlinkNode(node), node);
            freeListNode(node);
            m_model.erase(m_model.begin() + index);
            if (index < cursor)
                --cursor;
            break;
        }
        case 8: {
            if (!count)
                break;
            int32_t index = next(static_cast<uint32_t>(count));
            ListNode* node = m_model[static_cast<size_t>(index)];
            int32_t id = idOf(node);
            ASSERT_TRUE(m_list->removeNode(node));
            ASSERT_EQ(s_freed, std::vector<int32_t> { id });
            m_model.erase(m_model.begin() + index);
            if (index < cursor)
                --cursor;
            break;
        }
        default: {
            ListNode* node = makeNode();
            ASSERT_TRUE(m_list->append(node));
            m_model.push_back(node);
            break;
        }
        }
        expectMatchesModel(cursor);
        largest = std::max(largest, static_cast<int32_t>(m_model.size()));
    }
    EXPECT_GT(largest, 100);
    s_freed.clear();
}

// Without a callback nodes are freed with freeListNode (leak checking shows they all are); the
// user word is the host's.
TEST(CursorListBasicsTest, DefaultCallbackAndUserWord)
{
    CursorList* list = CursorList::createList(nullptr);
    ASSERT_NE(list, nullptr);
    for (size_t size : { size_t { 0 }, sizeof(ListNode), size_t { 64 } }) {
        ListNode* node = newListNode(size);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->next, nullptr);
        EXPECT_EQ(node->previous, nullptr);
        EXPECT_TRUE(list->append(node));
    }
    EXPECT_TRUE(list->removeAt(1));
    EXPECT_EQ(list->count(), 2);
    EXPECT_EQ(list->getListUser(), nullptr);
    int owner = 0;
    list->setListUser(&owner);
    EXPECT_EQ(list->getListUser(), &owner);
    CursorList::destroyList(list);
    CursorList::destroyList(nullptr);
}

}
}
