#include "PropertyTable.h"

#include <new>

namespace nimbolt {

PropertyTable::Chunk* PropertyTable::newChunk()
{
    auto* chunk = new (std::nothrow) Chunk;
    if (!chunk)
        return nullptr;
    chunk->newer = nullptr;
    chunk->older = nullptr;
    for (Entry& entry : chunk->entries)
        entry = { nullptr, 0, UndefinedValue };
    return chunk;
}

PropertyTable* PropertyTable::create()
{
    auto* table = new (std::nothrow) PropertyTable;
    if (!table)
        return nullptr;
    table->m_oldest = table->m_newest = newChunk();
    if (!table->m_oldest) {
        delete table;
        return nullptr;
    }
    return table;
}

PropertyTable::~PropertyTable()
{
    Chunk* chunk = m_oldest;
    while (chunk) {
        for (Entry& entry : chunk->entries)
            releaseValue(entry.value);
        Chunk* newer = chunk->newer;
        delete chunk;
        chunk = newer;
    }
}

// Makes sure the newest chunk has a free entry. A chunk is normally added as soon as the
// previous one fills; this only retries when that allocation failed.
bool PropertyTable::makeRoom()
{
    if (m_fill < ChunkSize)
        return true;
    Chunk* chunk = newChunk();
    if (!chunk)
        return false;
    chunk->older = m_newest;
    m_newest->newer = chunk;
    m_newest = chunk;
    m_fill = 0;
    return true;
}

PropertyTable::Entry* PropertyTable::append(Atom key, const ScriptValue& value)
{
    if (!makeRoom())
        return nullptr;
    Entry* entry = &m_newest->entries[m_fill];
    entry->key = key;
    entry->value = value;
    retainValue(entry->value);
    ++m_fill;
    makeRoom();
    return entry;
}

Status PropertyTable::push(const ScriptValue& value)
{
    Entry* entry = append(0, value);
    if (!entry)
        return Status::Failed;
    entry->next = nullptr;
    return Status::Ok;
}

Status PropertyTable::define(Atom atom, const ScriptValue& value)
{
    Entry* entry = append(atom, value);
    if (!entry)
        return Status::Failed;
    Entry*& head = m_buckets[static_cast<uint32_t>(atom) % BucketCount];
    entry->next = head;
    head = entry;
    return Status::Ok;
}

Status PropertyTable::pop(ScriptValue& out)
{
    if (m_fill == 0) {
        if (!m_newest->older) {
            out = UndefinedValue;
            return Status::Ok;
        }
        Chunk* empty = m_newest;
        m_newest = empty->older;
        m_newest->newer = nullptr;
        delete empty;
        m_fill = ChunkSize;
    }
    Entry* entry = &m_newest->entries[--m_fill];
    out = entry->value;
    Entry*& head = m_buckets[static_cast<uint32_t>(entry->key) % BucketCount];
    if (head == entry)
        head = entry->next;
    *entry = { nullptr, 0, UndefinedValue };
    return Status::Ok;
}

int32_t PropertyTable::chunkCount() const
{
    int32_t count = 0;
    for (const Chunk* chunk = m_oldest; chunk; chunk = chunk->newer)
        ++count;
    return count;
}

int32_t PropertyTable::entryCount() const { return (chunkCount() - 1) * ChunkSize + m_fill; }

}
