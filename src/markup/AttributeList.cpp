#include <markup/AttributeList.h>

#include <cstddef>
#include <cstring>
#include <new>

namespace nimbolt {

AttributeList::Chunk* AttributeList::newChunk()
{
    return new (std::nothrow) Chunk {};
}

AttributeList* AttributeList::create()
{
    auto* list = new (std::nothrow) AttributeList;
    if (!list)
        return nullptr;
    list->m_first = list->m_current = newChunk();
    if (!list->m_first) {
        delete list;
        return nullptr;
    }
    return list;
}

AttributeList::~AttributeList()
{
    int32_t left = m_count;
    Chunk* chunk = m_first;
    while (chunk) {
        for (int i = 0; i < ChunkSize && left > 0; ++i, --left) {
            MarkupText::destroy(chunk->entries[i]->value);
            ::operator delete(chunk->entries[i]);
        }
        Chunk* next = chunk->next;
        delete chunk;
        chunk = next;
    }
}

Status AttributeList::addAttribute(std::string_view name, MarkupText* value)
{
    if (m_fill == ChunkSize) {
        Chunk* chunk = newChunk();
        if (!chunk) {
            MarkupText::destroy(value);
            return Status::Failed;
        }
        m_current->next = chunk;
        m_current = chunk;
        m_fill = 0;
    }
    void* memory = name.size() < INT32_MAX
        ? ::operator new(offsetof(Entry, name) + name.size() + 1, std::nothrow)
        : nullptr;
    if (!memory) {
        MarkupText::destroy(value);
        return Status::Failed;
    }
    auto* entry = static_cast<Entry*>(memory);
    entry->value = value;
    entry->nameLength = static_cast<int32_t>(name.size());
    if (!name.empty())
        std::memcpy(entry->name, name.data(), name.size());
    entry->name[name.size()] = 0;

    m_current->entries[m_fill++] = entry;
    ++m_count;
    // The next chunk is made as soon as this one fills; if that fails the next append retries.
    if (m_fill == ChunkSize) {
        if (Chunk* chunk = newChunk()) {
            m_current->next = chunk;
            m_current = chunk;
            m_fill = 0;
        }
    }
    return Status::Ok;
}

const AttributeList::Entry* AttributeList::entryAt(int32_t index) const
{
    if (index < 0 || index >= m_count)
        return nullptr;
    const Chunk* chunk = m_first;
    for (int32_t skip = index / ChunkSize; skip > 0; --skip)
        chunk = chunk->next;
    return chunk->entries[index % ChunkSize];
}

Status AttributeList::findAttribute(std::string_view name, MarkupText*& value) const
{
    value = nullptr;
    int32_t index = 0;
    for (const Chunk* chunk = m_first; chunk; chunk = chunk->next) {
        for (int i = 0; i < ChunkSize && index < m_count; ++i, ++index) {
            const Entry* entry = chunk->entries[i];
            if (static_cast<size_t>(entry->nameLength) == name.size()
                && (name.empty() || std::memcmp(entry->name, name.data(), name.size()) == 0)) {
                value = entry->value;
                return Status::Ok;
            }
        }
    }
    return Status::Failed;
}

Status AttributeList::attributeName(int32_t index, int32_t capacity, char* buffer) const
{
    const Entry* entry = entryAt(index);
    if (!entry)
        return Status::Failed;
    if (capacity < 1)
        return Status::Ok;
    int32_t count = entry->nameLength < capacity - 1 ? entry->nameLength : capacity - 1;
    std::memcpy(buffer, entry->name, static_cast<size_t>(count));
    buffer[count] = 0;
    return Status::Ok;
}

Status AttributeList::attributeValue(int32_t index, MarkupText*& value) const
{
    const Entry* entry = entryAt(index);
    value = entry ? entry->value : nullptr;
    return entry ? Status::Ok : Status::Failed;
}

}
