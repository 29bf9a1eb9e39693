#include <script/runtime/PropertyTable.h>

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
        entry = { nullptr, 0, Scope::Continues, UndefinedValue };
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
        int32_t used = chunk == m_newest ? m_fill : ChunkSize;
        for (int32_t i = 0; i < used; ++i)
            releaseValue(chunk->entries[i].value);
        Chunk* newer = chunk->newer;
        delete chunk;
        chunk = newer;
    }
    delete m_spare;
}

bool PropertyTable::addChunk()
{
    Chunk* chunk = m_spare ? m_spare : newChunk();
    if (!chunk)
        return false;
    m_spare = nullptr;
    chunk->older = m_newest;
    chunk->newer = nullptr;
    m_newest->newer = chunk;
    m_newest = chunk;
    m_fill = 0;
    return true;
}

bool PropertyTable::dropNewestChunk()
{
    if (!m_newest->older)
        return false;
    Chunk* empty = m_newest;
    m_newest = empty->older;
    m_newest->newer = nullptr;
    if (m_spare)
        delete empty;
    else
        m_spare = empty;
    m_fill = ChunkSize;
    return true;
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
