#include <script/runtime/PropertyTable.h>

#include <script/runtime/MemoryBudget.h>

#include <cstdlib>
#include <new>

namespace nimbolt {

PropertyTable::Chunk* PropertyTable::newChunk()
{
    if (!chargeBudget(m_budget, sizeof(Chunk)))
        return nullptr;
    auto* chunk = new (std::nothrow) Chunk;
    if (!chunk) {
        creditBudget(m_budget, sizeof(Chunk));
        return nullptr;
    }
    chunk->newer = nullptr;
    chunk->older = nullptr;
    for (Entry& entry : chunk->entries)
        entry = { nullptr, 0, Scope::Continues, UndefinedValue };
    return chunk;
}

void PropertyTable::freeChunk(Chunk* chunk)
{
    if (!chunk)
        return;
    delete chunk;
    creditBudget(m_budget, sizeof(Chunk));
}

RefPtr<PropertyTable> PropertyTable::create()
{
    MemoryBudget* budget = MemoryBudget::current();
    if (!chargeBudget(budget, sizeof(PropertyTable)))
        return nullptr;
    RefPtr<PropertyTable> table = adoptRef(new (std::nothrow) PropertyTable(budget));
    if (!table) {
        creditBudget(budget, sizeof(PropertyTable));
        return nullptr;
    }
    table->m_oldest = table->m_newest = table->newChunk();
    if (!table->m_oldest)
        return nullptr;
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
        freeChunk(chunk);
        chunk = newer;
    }
    freeChunk(m_spare);
    if (m_buckets != m_inlineBuckets) {
        std::free(m_buckets);
        creditBudget(m_budget, sizeof(Entry*) * (m_bucketMask + 1));
    }
    creditBudget(m_budget, sizeof(PropertyTable));
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
        freeChunk(empty);
    else
        m_spare = empty;
    m_fill = ChunkSize;
    return true;
}

void PropertyTable::growBuckets()
{
    uint32_t count = 2 * (m_bucketMask + 1);
    size_t bytes = sizeof(Entry*) * count;
    if (!chargeBudget(m_budget, bytes))
        return;
    auto* buckets = static_cast<Entry**>(std::calloc(count, sizeof(Entry*)));
    if (!buckets) {
        creditBudget(m_budget, bytes);
        return;
    }
    if (m_buckets != m_inlineBuckets) {
        std::free(m_buckets);
        creditBudget(m_budget, sizeof(Entry*) * (m_bucketMask + 1));
    }
    m_buckets = buckets;
    m_bucketMask = count - 1;
    for (Chunk* chunk = m_oldest; chunk; chunk = chunk->newer) {
        int32_t used = chunk == m_newest ? m_fill : ChunkSize;
        for (int32_t i = 0; i < used; ++i) {
            Entry& entry = chunk->entries[i];
            if (!entry.key)
                continue;
            Entry*& head = bucketOf(entry.key);
            entry.next = head;
            head = &entry;
        }
    }
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
