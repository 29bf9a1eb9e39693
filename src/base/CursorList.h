// An intrusive doubly linked list of caller-allocated nodes that remembers a cursor (a node and
// its index). Positional lookups walk from whichever of the first node, the cursor or the last
// node is nearest. The list sits between a head and a tail header: a real node has both links,
// the head has no previous link and the tail no next link. Nodes that leave the list through a
// removal are disposed of by the free callback chosen at creation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace nimbolt {

// The first member of every node that can be put in a list. Out of a list both links are null.
struct ListNode {
    ListNode* next;
    ListNode* previous;
};

class CursorList;

// An owned list: destroyList removes its nodes and frees it.
struct CursorListDeleter {
    void operator()(CursorList* list) const;
};
using OwnedCursorList = std::unique_ptr<CursorList, CursorListDeleter>;

enum class ListOperation : int32_t {
    FreeNode = 1,
};

// Disposes of a node that leaves the list (operation FreeNode); other operations return -1.
using ListFreeCallback = int32_t (*)(CursorList* list, ListOperation operation, ListNode* node);

class CursorList {
public:
    // A new empty list, or null when memory runs out. A null callback frees nodes with
    // freeListNode.
    static OwnedCursorList createList(ListFreeCallback callback);
    // Removes every node through the callback, then frees the list. A null list is ignored.
    static void destroyList(CursorList* list);

    void clearList();

    int32_t count() const { return m_count; }

    // The node at index for 0 <= index <= count (count gives the tail header); null otherwise.
    ListNode* nodeAt(int32_t index);

    // Inserts the node before the node at index; false when the index is outside 0 ... count.
    bool insertAt(ListNode* node, int32_t index);
    bool append(ListNode* node) { return insertAt(node, m_count); }
    bool insertAtCursor(ListNode* node) { return insertAt(node, m_cursorIndex); }

    // Unlinks the node at index and hands it to the free callback; false when out of range.
    bool removeAt(int32_t index);
    bool removeFirst() { return removeAt(0); }
    bool removeAtCursor() { return removeAt(m_cursorIndex); }
    // Unlinks a real node of this list and hands it to the callback; false for anything else.
    bool removeNode(ListNode* node);
    // Unlinks a real node without freeing it; null when the node is not a real node.
    ListNode* unlinkNode(ListNode* node);

    ListNode* firstNode() const { return isRealNode(m_head.next) ? m_head.next : nullptr; }
    ListNode* cursorNode() const { return isRealNode(m_cursorNode) ? m_cursorNode : nullptr; }
    // Clamps index to 0 ... count, moves the cursor there and returns the index.
    int32_t seekCursor(int32_t index);
    int32_t cursorIndex() const { return m_cursorIndex; }
    // Moves the cursor one node on unless it is at the end; returns the cursor node (the tail
    // header at the end).
    ListNode* advance();

    void setListUser(void* user) { m_user = user; }
    void* getListUser() const { return m_user; }

private:
    explicit CursorList(ListFreeCallback callback);

    static bool isRealNode(const ListNode* node) { return node && node->next && node->previous; }
    int32_t indexOf(const ListNode* node) const;
    void disposeNode(ListNode* node);
    void unlink(ListNode* node);

    ListNode m_head { nullptr, nullptr };
    ListNode m_tail { nullptr, nullptr };
    ListNode* m_cursorNode;
    int32_t m_cursorIndex { 0 };
    int32_t m_count { 0 };
    ListFreeCallback m_callback;
    void* m_user { nullptr };
};

inline void CursorListDeleter::operator()(CursorList* list) const { CursorList::destroyList(list); }

// A node of size bytes (at least a ListNode) with null links, or null. Allocated with malloc.
ListNode* newListNode(size_t size);
void freeListNode(ListNode* node);

}
