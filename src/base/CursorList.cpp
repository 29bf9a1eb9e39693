#include <base/CursorList.h>

#include <cstdlib>
#include <new>

namespace nimbolt {

ListNode* newListNode(size_t size)
{
    if (size < sizeof(ListNode))
        size = sizeof(ListNode);
    auto* node = static_cast<ListNode*>(std::calloc(1, size));
    return node;
}

void freeListNode(ListNode* node) { std::free(node); }

static int32_t defaultFreeCallback(CursorList*, ListOperation operation, ListNode* node)
{
    if (operation != ListOperation::FreeNode)
        return -1;
    freeListNode(node);
    return 1;
}

CursorList::CursorList(ListFreeCallback callback)
    : m_cursorNode(&m_tail)
    , m_callback(callback ? callback : defaultFreeCallback)
{
    m_head.next = &m_tail;
    m_tail.previous = &m_head;
}

OwnedCursorList CursorList::createList(ListFreeCallback callback)
{
    return OwnedCursorList(new (std::nothrow) CursorList(callback));
}

void CursorList::destroyList(CursorList* list)
{
    if (!list)
        return;
    list->clearList();
    delete list;
}

void CursorList::clearList()
{
    while (m_count > 0)
        removeAt(0);
}

void CursorList::disposeNode(ListNode* node) { m_callback(this, ListOperation::FreeNode, node); }

ListNode* CursorList::nodeAt(int32_t index)
{
    if (index < 0 || index > m_count)
        return nullptr;
    ListNode* node;
    int32_t steps;
    int32_t mid = (m_cursorIndex + m_count) / 2;
    if (mid < index) {
        node = m_tail.previous;
        steps = index - (m_count - 1);
    } else if (m_cursorIndex < index || m_cursorIndex / 2 < index) {
        node = m_cursorNode;
        steps = index - m_cursorIndex;
    } else {
        node = m_head.next;
        steps = index;
    }
    for (; steps > 0; --steps)
        node = node->next;
    for (; steps < 0; ++steps)
        node = node->previous;
    return node;
}

bool CursorList::insertAt(ListNode* node, int32_t index)
{
    ListNode* before = nodeAt(index);
    if (!node || !before)
        return false;
    node->next = before;
    node->previous = before->previous;
    before->previous->next = node;
    before->previous = node;
    ++m_count;
    if (index < m_cursorIndex)
        ++m_cursorIndex;
    else if (index == m_cursorIndex)
        m_cursorNode = node;
    return true;
}

int32_t CursorList::indexOf(const ListNode* node) const
{
    int32_t index = 0;
    for (const ListNode* walk = m_head.next; walk != &m_tail; walk = walk->next, ++index) {
        if (walk == node)
            return index;
    }
    return -1;
}

bool CursorList::removeAt(int32_t index)
{
    if (index < 0 || index >= m_count)
        return false;
    ListNode* node = nodeAt(index);
    if (index < m_cursorIndex)
        --m_cursorIndex;
    unlink(node);
    disposeNode(node);
    return true;
}

ListNode* CursorList::unlinkNode(ListNode* node)
{
    if (!isRealNode(node))
        return nullptr;
    if (node != m_cursorNode) {
        // Keep the cursor index true when a node before it leaves, and never touch a node of
        // another list.
        int32_t index = indexOf(node);
        if (index < 0)
            return nullptr;
        if (index < m_cursorIndex)
            --m_cursorIndex;
    }
    unlink(node);
    return node;
}

void CursorList::unlink(ListNode* node)
{
    if (node == m_cursorNode)
        m_cursorNode = node->next;
    node->previous->next = node->next;
    node->next->previous = node->previous;
    node->next = nullptr;
    node->previous = nullptr;
    --m_count;
}

bool CursorList::removeNode(ListNode* node)
{
    if (!isRealNode(node))
        return false;
    int32_t index = indexOf(node);
    if (index < 0)
        return false;
    return removeAt(index);
}

int32_t CursorList::seekCursor(int32_t index)
{
    if (index < 0)
        index = 0;
    if (index > m_count)
        index = m_count;
    m_cursorNode = nodeAt(index);
    m_cursorIndex = index;
    return index;
}

ListNode* CursorList::advance()
{
    if (m_cursorIndex < m_count) {
        ++m_cursorIndex;
        m_cursorNode = m_cursorNode->next;
    }
    return m_cursorNode;
}

}
