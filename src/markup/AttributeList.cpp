#include <markup/AttributeList.h>

#include <cstddef>
#include <cstring>
#include <new>
#include <utility>

namespace nimbolt {

AttributeList::Chunk* AttributeList::newChunk()
{
    return new (std::nothrow) Chunk {};
}

RefPtr<AttributeList> AttributeList::create()
{
    return adoptRef(new (std::nothrow) AttributeList);
}

AttributeList::~AttributeList()
{
    int32_t left = m_count;
    Chunk* chunk = &m_first;
    while (chunk) {
        for (int i = 0; i < ChunkSize && left > 0; ++i, --left) {
            MarkupText::destroy(chunk->entries[i].name);
            MarkupText::destroy(chunk->entries[i].value);
        }
        Chunk* next = chunk->next;
        if (chunk != &m_first)
            delete chunk;
        chunk = next;
    }
}

Status AttributeList::addAttribute(std::string_view name, OwnedMarkupText value)
{
    OwnedMarkupText text = name.size() < INT32_MAX ? MarkupText::create(name.data(), static_cast<int32_t>(name.size()))
                                                   : nullptr;
    if (!text)
        return Status::Failed;
    return addAttribute(std::move(text), std::move(value));
}

Status AttributeList::addAttribute(OwnedMarkupText name, OwnedMarkupText value)
{
    if (m_fill == ChunkSize) {
        Chunk* chunk = newChunk();
        if (!chunk)
            return Status::Failed;
        m_current->next = chunk;
        m_current = chunk;
        m_fill = 0;
    }
    m_current->entries[m_fill++] = { name ? name.release() : MarkupText::sharedEmpty(), value.release() };
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
    const Chunk* chunk = &m_first;
    for (int32_t skip = index / ChunkSize; skip > 0; --skip)
        chunk = chunk->next;
    return &chunk->entries[index % ChunkSize];
}

Status AttributeList::findAttribute(std::string_view name, MarkupText*& value) const
{
    value = nullptr;
    int32_t index = 0;
    for (const Chunk* chunk = &m_first; chunk; chunk = chunk->next) {
        for (int i = 0; i < ChunkSize && index < m_count; ++i, ++index) {
            const Entry& entry = chunk->entries[i];
            if (entry.name->view() == name) {
                value = entry.value;
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
    copyMarkupText(entry->name, buffer, capacity);
    return Status::Ok;
}

Status AttributeList::attributeValue(int32_t index, MarkupText*& value) const
{
    const Entry* entry = entryAt(index);
    value = entry ? entry->value : nullptr;
    return entry ? Status::Ok : Status::Failed;
}

}
