// An atom -> value table that is also a stack. Every definition is appended; a newer definition
// of an atom hides the older one until it is popped. Entries live in chunks of 16 linked both
// ways; defined entries are also chained, newest first, in buckets by atom (the atom's serial, its
// bits above the low four, picks the bucket). The newest entry of the table is always the head of
// its chain, so a pop unlinks it at once. The bucket array starts with 16 buckets inside the table
// and doubles whenever the table holds more than two keyed entries per bucket, so lookups stay
// short however many names a script defines. All chunks but the newest are full, and the table
// owns one reference per counted value of an entry in use; a popped entry's slot is left as it
// was until it is reused. A scope begins at a pushed scope marker or at a binding that opens it
// (a function's first parameter), whichever the opener chose. A table made while an engine runs
// charges its chunks and buckets to that engine's memory budget.
#pragma once

#include <base/Ref.h>
#include <base/RefCounted.h>
#include <script/runtime/MemoryBudget.h>
#include <script/runtime/ScriptValue.h>

#include <cstddef>

namespace nimbolt {

class PropertyTable final : public RefCounted {
public:
    static constexpr int ChunkSize = 16;
    static constexpr int InitialBucketCount = 16;

    // A new empty table with count 1 and one chunk, or null when memory runs out.
    static RefPtr<PropertyTable> create();

    // Appends the value (retained) with no key; reachable only by pop. "out of memory" when no
    // room could be made, in which case nothing changed.
    Status push(const ScriptValue& value)
    {
        // A pushed entry is in no chain, so its link is never read.
        return append(0, value, Scope::Continues) ? Status::Ok : Status::OutOfMemory;
    }
    // Moves the newest entry's value to out, handing over the table's reference. An empty table
    // gives undefined and 0.
    Status pop(ScriptValue& out)
    {
        if (m_fill == 0 && !dropNewestChunk()) {
            out = UndefinedValue;
            return Status::Ok;
        }
        out = takeNewest();
        return Status::Ok;
    }
    // Appends a binding of atom to the value (retained), hiding older ones. "out of memory" when
    // no room could be made, in which case nothing changed.
    Status define(Atom atom, const ScriptValue& value) { return define(atom, value, Scope::Continues); }
    // The same binding as the first of a new scope: popThroughMarker stops after it as after a
    // scope marker, and no marker entry is needed.
    Status defineOpeningScope(Atom atom, const ScriptValue& value) { return define(atom, value, Scope::Opens); }
    // The newest binding's value, retained, and 0; undefined and -1 when absent.
    Status get(Atom atom, ScriptValue& out) const
    {
        if (const Entry* entry = lookup(atom)) {
            out = entry->value;
            retainValue(out);
            return Status::Ok;
        }
        out = UndefinedValue;
        return Status::Failed;
    }
    // A pointer to the newest binding's stored value (no reference taken), or null and -1.
    Status find(Atom atom, ScriptValue*& out)
    {
        Entry* entry = lookup(atom);
        out = entry ? &entry->value : nullptr;
        return entry ? Status::Ok : Status::Failed;
    }
    ScriptValue* find(Atom atom)
    {
        Entry* entry = lookup(atom);
        return entry ? &entry->value : nullptr;
    }

    // Pops and releases entries down to and including the newest one that opens a scope (a scope
    // marker or a binding defined as opening one), or until the table is empty.
    void popThroughMarker()
    {
        for (;;) {
            if (m_fill == 0 && !dropNewestChunk())
                return;
            bool opens = m_newest->entries[m_fill - 1].scope == Scope::Opens;
            ScriptValue value = takeNewest();
            if (value.tag == ValueTag::ScopeMarker)
                return;
            releaseValue(value);
            if (opens)
                return;
        }
    }

    bool isEmpty() const { return m_fill == 0 && !m_newest->older; }

    // Calls visit(value) for every entry in use, hidden and pushed ones included, oldest first.
    // visit may release the value it is given (leaving undefined behind) but must not change the
    // table otherwise.
    template <typename Visit>
    void forEachValue(Visit&& visit)
    {
        for (Chunk* chunk = m_oldest; chunk; chunk = chunk->newer) {
            int32_t used = chunk == m_newest ? m_fill : ChunkSize;
            for (int32_t index = 0; index < used; ++index)
                visit(chunk->entries[index].value);
            if (chunk == m_newest)
                return;
        }
    }

    // Entries in use, chunks allocated and buckets, for inspection.
    int32_t entryCount() const;
    int32_t chunkCount() const;
    int32_t bucketCount() const { return static_cast<int32_t>(m_bucketMask + 1); }

private:
    enum class Scope : int32_t { Continues, Opens };
    struct Entry {
        Entry* next;
        Atom key;
        Scope scope;
        ScriptValue value;
    };
    struct Chunk {
        Chunk* newer;
        Chunk* older;
        Entry entries[ChunkSize];
    };

    explicit PropertyTable(MemoryBudget* budget)
        : m_budget(budget)
    {
    }
    ~PropertyTable() override;

    Entry*& bucketOf(Atom atom) const { return m_buckets[(static_cast<uint32_t>(atom) >> 4) & m_bucketMask]; }
    // Doubles the buckets and rechains every keyed entry, oldest first so that chains stay
    // newest first; keeps the old buckets when memory runs out.
    void growBuckets();

    // Inlined into optimised builds: binding a call's parameters is on the hottest path.
#if defined(__OPTIMIZE__) && !defined(__SANITIZE_ADDRESS__)
    [[gnu::always_inline]]
#endif
    Status define(Atom atom, const ScriptValue& value, Scope scope)
    {
        NIMBOLT_ASSERT(atom != 0);
        Entry* entry = append(atom, value, scope);
        if (!entry)
            return Status::OutOfMemory;
        Entry*& head = bucketOf(atom);
        entry->next = head;
        head = entry;
        // A table that cannot grow its buckets keeps working with longer chains.
        if (++m_keyedCount > 2 * (m_bucketMask + 1)) [[unlikely]]
            growBuckets();
        return Status::Ok;
    }

    // Removes the newest entry of a non-empty newest chunk and hands over its value. Nothing
    // reaches the slot any more (the chains start at the buckets, and only entries in use are
    // released or rechained), so it is not cleared.
    ScriptValue takeNewest()
    {
        NIMBOLT_ASSERT(m_fill > 0);
        Entry* entry = &m_newest->entries[--m_fill];
        if (entry->key) {
            Entry*& head = bucketOf(entry->key);
            NIMBOLT_ASSERT(head == entry);
            head = entry->next;
            --m_keyedCount;
        }
        return entry->value;
    }
    Entry* lookup(Atom atom) const
    {
        for (Entry* entry = bucketOf(atom); entry; entry = entry->next) {
            if (entry->key == atom)
                return entry;
        }
        return nullptr;
    }
    Chunk* newChunk();
    void freeChunk(Chunk* chunk);
    // Links a fresh chunk after the full newest one; false when memory runs out.
    bool addChunk();
    // Makes the next older chunk the newest when the newest is empty; false when there is none.
    bool dropNewestChunk();
    Entry* append(Atom key, const ScriptValue& value, Scope scope)
    {
        // A chunk is normally added as soon as the previous one fills; this only retries when
        // that allocation failed, and then nothing is stored.
        NIMBOLT_ASSERT(m_fill >= 0 && m_fill <= ChunkSize);
        if (m_fill == ChunkSize && !addChunk())
            return nullptr;
        Entry* entry = &m_newest->entries[m_fill];
        entry->key = key;
        entry->scope = scope;
        entry->value = value;
        retainValue(entry->value);
        // A chunk that cannot be added now is retried by the next append.
        if (++m_fill == ChunkSize)
            addChunk();
        return entry;
    }

    int32_t m_fill { 0 };
    Chunk* m_oldest { nullptr };
    Chunk* m_newest { nullptr };
    // One emptied chunk kept back, so that a scope opening and closing at a chunk boundary does
    // not allocate every time.
    Chunk* m_spare { nullptr };
    // The budget charged for this table, or null.
    RefPtr<MemoryBudget> m_budget;
    Entry** m_buckets { m_inlineBuckets };
    uint32_t m_bucketMask { InitialBucketCount - 1 };
    // Entries made by define and not popped yet.
    uint32_t m_keyedCount { 0 };
    Entry* m_inlineBuckets[InitialBucketCount] {};
};

}
