// The cursor list against a plain vector model, with one free callback per node that leaves it.
#include <base/CursorList.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <utility>
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

std::vector<int32_t> idsOf(const std::vector<ListNode*>& nodes)
{
    std::vector<int32_t> ids;
    for (ListNode* node : nodes)
        ids.push_back(idOf(node));
    return ids;
}

// The whole list against the model: both links of every node, the cursor, and nodeAt for every
// index (which must not move the cursor).
void expectMatchesModel(CursorList& list, const std::vector<ListNode*>& model, int32_t cursorIndex)
{
    const auto count = static_cast<int32_t>(model.size());
    ASSERT_EQ(list.count(), count);
    ASSERT_EQ(list.firstNode(), count ? model.front() : nullptr);
    ListNode* tail = list.nodeAt(count);
    ASSERT_TRUE(tail && !tail->next && tail->previous);
    for (int32_t i = 0; i < count; ++i) {
        ListNode* node = model[static_cast<size_t>(i)];
        ASSERT_EQ(node->next, i + 1 < count ? model[static_cast<size_t>(i + 1)] : tail);
        ASSERT_EQ(node->next->previous, node);
        ASSERT_EQ(list.nodeAt(i), node) << "index " << i;
    }
    ASSERT_EQ(list.nodeAt(-1), nullptr);
    ASSERT_EQ(list.nodeAt(count + 1), nullptr);
    ASSERT_EQ(list.cursorIndex(), cursorIndex);
    ASSERT_EQ(list.cursorNode(), cursorIndex < count ? model[static_cast<size_t>(cursorIndex)] : nullptr);
}

// A deterministic mix of every operation, indexes one outside the range included: the list grows
// to a few hundred nodes, is cleared, and shrinks back. Unlinked nodes go back in. Nodes the list
// must refuse, freeing nothing: null, its header nodes, a loose node and another list's node.
TEST(CursorListTest, RandomOperationsMatchTheModel)
{
    OwnedCursorList list = CursorList::createList(recordingFree), other = CursorList::createList(recordingFree);
    std::vector<ListNode*> model;
    ListNode* loose = makeNode();
    ListNode* elsewhere = makeNode();
    ASSERT_TRUE(other->append(elsewhere));
    ListNode* tail = list->nodeAt(0);
    ListNode* const foreign[] = { nullptr, tail, tail->previous, loose, elsewhere };
    ListNode* spare = nullptr;
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
        if (step == 2000) { // clearList frees from the front
            std::vector<int32_t> ids = idsOf(model);
            list->clearList();
            ASSERT_EQ(s_freed, ids);
            s_freed.clear();
            model.clear();
            cursor = 0;
        }
        const auto count = static_cast<int32_t>(model.size());
        const int32_t roll = next(10);
        const int32_t how = next(4);
        if (roll == 8) {
            int32_t index = next(count + 5) - 2;
            cursor = std::clamp(index, 0, count);
            ASSERT_EQ(list->seekCursor(index), cursor);
        } else if (roll == 9) {
            ListNode* node = list->advance();
            cursor = std::min(cursor + 1, count);
            ASSERT_EQ(node, list->nodeAt(cursor));
        } else if (roll < (step < 2000 ? 6 : 3)) {
            // insertAtCursor, append, or insertAt anywhere (null refused too).
            int32_t index = how == 0 ? cursor : how == 1 ? count : next(count + 3) - 1;
            bool valid = index >= 0 && index <= count;
            ListNode* node = spare ? std::exchange(spare, nullptr) : makeNode();
            ASSERT_FALSE(list->insertAt(nullptr, index));
            bool inserted = how == 0 ? list->insertAtCursor(node)
                : how == 1           ? list->append(node)
                                     : list->insertAt(node, index);
            ASSERT_EQ(inserted, valid);
            if (!valid) {
                freeListNode(node);
            } else {
                model.insert(model.begin() + index, node);
                cursor += index < cursor;
            }
        } else {
            // removeAt anywhere, removeAtCursor, removeNode or unlinkNode (which frees nothing).
            int32_t index = how == 1 ? cursor : next(count + 2) - 1;
            bool valid = index >= 0 && index < count;
            ListNode* node = valid ? model[static_cast<size_t>(index)] : foreign[next(5)];
            const int32_t id = valid ? idOf(node) : -1;
            bool removed = how == 0 ? list->removeAt(index)
                : how == 1          ? list->removeAtCursor()
                : how == 2          ? list->removeNode(node)
                                    : list->unlinkNode(node) == node && node;
            ASSERT_EQ(removed, valid);
            ASSERT_EQ(s_freed, valid && how != 3 ? std::vector<int32_t> { id } : std::vector<int32_t> {});
            if (valid) {
                model.erase(model.begin() + index);
                cursor -= index < cursor;
            }
            if (valid && how == 3) {
                ASSERT_TRUE(node->next == nullptr && node->previous == nullptr);
                freeListNode(std::exchange(spare, node));
            }
        }
        expectMatchesModel(*list, model, cursor);
        largest = std::max(largest, model.size());
    }
    EXPECT_GT(largest, 100u);
    freeListNode(spare);
    freeListNode(loose);
    const int32_t elsewhereId = idOf(elsewhere);
    s_freed.clear();
    other.reset();
    EXPECT_EQ(s_freed, std::vector<int32_t> { elsewhereId });
    std::vector<int32_t> ids = idsOf(model); // destroyList frees what is left from the front
    s_freed.clear();
    list.reset();
    EXPECT_EQ(s_freed, ids);
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
