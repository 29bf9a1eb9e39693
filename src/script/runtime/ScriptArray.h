// An ordered list of values whose entries may also carry a name. Named entries occupy positions
// too, in the order they were added. Entries live in chunks of 16 (positions 16k ... 16k+15 in the
// k-th chunk), and a chunk is built only when one of its positions is written: positions in a
// chunk never built read as undefined, so one store at a high index costs one chunk, not all the
// chunks below it. Chunks are found through blocks of up to 1024 chunk pointers (16384 positions
// each); a block holds pointers only up to the highest chunk built in it, doubling as needed, so
// that a small array needs no more than a few.
//
// Names are found through an open-addressing index from name to the newest entry of that name;
// an entry appended under a name already present hides the older one, which keeps its position.
// An array made while an engine runs charges its chunks, blocks, names and index to that engine's
// memory budget. Arrays made from one Array global share its member table (length).
#pragma once

#include <base/DeferredRelease.h>
#include <base/StatusOr.h>
#include <script/runtime/AtomTable.h>
#include <script/runtime/Collectable.h>
#include <script/runtime/PropertyTable.h>
#include <script/runtime/ScriptObject.h>
#include <script/runtime/ScriptValue.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace nimbolt {

class ScriptArray final : public ScriptObject, private DeferredRelease, private Collectable {
public:
    static constexpr int ChunkSize = 16;
    static constexpr int ChunksPerBlock = 1024;
    // Storing at an index grows the array to it; an index beyond this is refused like a negative
    // one.
    static constexpr int32_t MaxGrowthIndex = (1 << 24) - 1;

    // A key is a pair: with a null name the number is an index, otherwise the number is the
    // name's length in bytes.

    // A new empty array sharing this one's member table, or "out of memory".
    StatusOr<Ref<ScriptArray>> newEmpty();
    int32_t count() const { return m_count; }
    // 0 with a retained copy in out (undefined for a position never written); -1 when absent
    // (out untouched).
    Status getItem(int32_t number, const char* name, ScriptValue& out) const;
    Status getItem(std::string_view name, ScriptValue& out) const
    {
        return getItem(static_cast<int32_t>(name.size()), name.data(), out);
    }
    // Replaces a found entry, appends a new name, or grows the array to a new index. -1 for a
    // negative index without a name (or one past the growth limit); "out of memory" when memory or
    // the budget cannot hold the entry. Nothing changes on failure.
    Status setItem(int32_t number, const char* name, const ScriptValue& value);
    // A new entry at position count; a name already present is hidden, not looked for. Failures
    // as for setItem.
    Status appendItem(int32_t number, const char* name, const ScriptValue& value);

    // Chunks built so far, for inspection.
    int32_t chunkCount() const { return m_chunkCount; }

    // At zero the array is destroyed; an array that reaches zero while another one is being
    // destroyed waits in a queue, so releasing arrays nested however deep never recurses.
    int32_t release() override;
    Status invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result) override;
    Collectable* collectable() override { return this; }

private:
    friend RefPtr<ScriptArray> createArray(const ScriptArray*, AtomTable*);

    ScriptObject& countedObject() override { return *this; }
    void visitHeld(Visitor visit, void* context) override;
    void dropHeld() override;
    // Calls f with every entry of every chunk built.
    template <typename F>
    void forEachEntry(F&& f);

    struct NameRecord {
        uint32_t hash;
        int32_t length;
        char bytes[1];
    };
    struct Entry {
        NameRecord* name;
        ScriptValue value;
    };
    struct Chunk {
        Entry entries[ChunkSize];
    };
    struct ChunkBlock {
        int32_t capacity;
        Chunk* chunks[1];
    };
    static size_t blockSize(int32_t capacity)
    {
        return offsetof(ChunkBlock, chunks) + sizeof(Chunk*) * static_cast<size_t>(capacity);
    }

    explicit ScriptArray(MemoryBudget* budget)
        : m_budget(budget)
    {
    }
    ~ScriptArray() override;

    static size_t recordSize(int32_t length) { return offsetof(NameRecord, bytes) + static_cast<size_t>(length) + 1; }

    // The k-th chunk, or null when it was never built.
    Chunk* chunkAt(int32_t k) const
    {
        int32_t block = k / ChunksPerBlock;
        if (block >= m_blockCount)
            return nullptr;
        const ChunkBlock* chunks = m_blocks[block];
        int32_t slot = k % ChunksPerBlock;
        return chunks && slot < chunks->capacity ? chunks->chunks[slot] : nullptr;
    }
    // The k-th chunk, built (with its block) when missing; null when memory or the budget runs out.
    Chunk* buildChunk(int32_t k);
    Entry* findNamed(const char* name, int32_t length) const;
    // The slot of the name in the index: its newest entry's, or the empty slot where it would go.
    Entry** nameSlot(uint32_t hash, const char* name, int32_t length) const;
    // Room in the index for one more name; false when memory or the budget runs out.
    bool reserveName();
    Status newEntry(const char* name, int32_t length, const ScriptValue& value);

    void* allocate(size_t bytes);
    void* allocateZeroed(size_t count, size_t size);
    void deallocate(void* memory, size_t bytes);

    int32_t m_count { 0 };
    int32_t m_chunkCount { 0 };
    ChunkBlock** m_blocks { nullptr };
    int32_t m_blockCount { 0 };
    // The name index: a power-of-two number of slots, at most half of them used.
    Entry** m_names { nullptr };
    uint32_t m_nameMask { 0 };
    int32_t m_nameCount { 0 };
    RefPtr<PropertyTable> m_members;
    // The budget charged for this array, or null.
    RefPtr<MemoryBudget> m_budget;
};

// A new empty array with count 1 that shares the template's member table; without one, a table
// is built from the array rows when an atom table is given. Null when memory runs out.
RefPtr<ScriptArray> createArray(const ScriptArray* arrayTemplate, AtomTable* atoms);

// The factory of the Array global: an empty array with its own new member table.
RefPtr<ScriptObject> createArrayGlobal(AtomTable& atoms);

}
