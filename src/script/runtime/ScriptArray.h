// An ordered list of values whose entries may also carry a name. Entries live in chunks of 16
// (positions 16k ... 16k+15 in the k-th chunk); named entries are also chained, newest first, in
// one of 13 buckets by name hash. Named entries occupy positions too, in the order they were
// added. Arrays made from one Array global share its member table (length).
#pragma once

#include <base/DeferredRelease.h>
#include <script/runtime/AtomTable.h>
#include <script/runtime/PropertyTable.h>
#include <script/runtime/ScriptObject.h>
#include <script/runtime/ScriptValue.h>

#include <cstdint>
#include <string_view>

namespace nimbolt {

class ScriptArray final : public ScriptObject, private DeferredRelease {
public:
    static constexpr int ChunkSize = 16;
    static constexpr int BucketCount = 13;
    // Storing at an index grows the array to it; an index beyond this is refused like a negative
    // one, so that a single store cannot ask for gigabytes.
    static constexpr int32_t MaxGrowthIndex = (1 << 24) - 1;

    // A key is a pair: with a null name the number is an index, otherwise the number is the
    // name's length in bytes.

    // A new empty array sharing this one's member table, or -1.
    Status newEmpty(ScriptArray*& out);
    int32_t count() const { return m_count; }
    // 0 with a retained copy in out; -1 when absent (out untouched).
    Status getItem(int32_t number, const char* name, ScriptValue& out) const;
    Status getItem(std::string_view name, ScriptValue& out) const
    {
        return getItem(static_cast<int32_t>(name.size()), name.data(), out);
    }
    // Replaces a found entry, appends a new name, or grows the array to a new index. -1 for a
    // negative index without a name (or when memory runs out).
    Status setItem(int32_t number, const char* name, const ScriptValue& value);
    // A new entry at position count; a name already present is hidden, not looked for.
    Status appendItem(int32_t number, const char* name, const ScriptValue& value);

    // At zero the array is destroyed; an array that reaches zero while another one is being
    // destroyed waits in a queue, so releasing arrays nested however deep never recurses.
    int32_t release() override;
    Status invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result) override;

    // The name hash: signed byte sum shifted left by 12, OR the length.
    static uint32_t nameHash(const char* name, int32_t length);

private:
    friend ScriptArray* createArray(const ScriptArray*, AtomTable*);

    struct NameRecord {
        uint32_t hash;
        // Kept besides the hash so that names of 4096 bytes or more never compare past an end.
        int32_t length;
        char bytes[1];
    };
    struct Entry {
        Entry* nextNamed;
        NameRecord* name;
        ScriptValue value;
    };
    struct Chunk {
        Chunk* next;
        Entry entries[ChunkSize];
    };

    ScriptArray() = default;
    ~ScriptArray() override;

    static Chunk* newChunk();
    // The k-th chunk, allocating the missing ones up to it when create is set; null when it does
    // not exist (or memory runs out).
    Chunk* chunkAt(int32_t k, bool create);
    Entry* findNamed(const char* name, int32_t length) const;
    Entry* findIndex(int32_t index) const;
    Entry* newEntry(const char* name, int32_t length);

    int32_t m_count { 0 };
    int32_t m_fill { 0 };
    Chunk* m_first { nullptr };
    Chunk* m_current { nullptr };
    Entry* m_buckets[BucketCount] {};
    PropertyTable* m_members { nullptr };
    // Every chunk of the chain in order, so that an index finds its chunk without walking.
    Chunk** m_chunks { nullptr };
    int32_t m_chunkCount { 0 };
    int32_t m_chunkCapacity { 0 };
};

// A new empty array with count 1 that shares the template's member table; without one, a table
// is built from the array rows when an atom table is given. Null when memory runs out.
ScriptArray* createArray(const ScriptArray* arrayTemplate, AtomTable* atoms);

// The factory of the Array global: an empty array with its own new member table.
ScriptObject* createArrayGlobal(AtomTable& atoms);

}
