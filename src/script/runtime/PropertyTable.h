// An atom -> value table that is also a stack. Every definition is appended; a newer definition
// of an atom hides the older one until it is popped. Entries live in chunks of 16 linked both
// ways; defined entries are also chained, newest first, in one of 16 buckets (the low four bits
// of the atom folded with the next four, which for interned atoms are the name's byte-sum bucket
// and its serial). All chunks but the newest are full, and the table owns one reference per
// counted value of an entry in use; a popped entry's slot is left as it was until it is reused.
// A scope begins at a pushed scope marker or at a binding that opens it (a function's first
// parameter), whichever the opener chose.
#pragma once

#include <base/RefCounted.h>
#include <script/runtime/ScriptValue.h>

namespace nimbolt {

class PropertyTable final : public RefCounted {
public:
    static constexpr int ChunkSize = 16;
    static constexpr int BucketCount = 16;

    // A new empty table with count 1 and one chunk, or null when memory runs out.
    static PropertyTable* create();

    // Appends the value (retained) with no key; reachable only by pop. -1 when no room could be
    // made, in which case nothing changed.
    Status push(const ScriptValue& value)
    {
        // A pushed entry is in no chain, so its link is never read.
        return append(0, value, Scope::Continues) ? Status::Ok : Status::Failed;
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
    // Appends a binding of atom to the value (retained), hiding older ones. -1 when no room could
    // be made, in which case nothing changed.
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

    // Entries in use and chunks allocated, for inspection.
    int32_t entryCount() const;
    int32_t chunkCount() const;

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

    PropertyTable() = default;
    ~PropertyTable() override;

    Status define(Atom atom, const ScriptValue& value, Scope scope)
    {
        Entry* entry = append(atom, value, scope);
        if (!entry)
            return Status::Failed;
        Entry*& head = m_buckets[bucketOf(atom)];
        entry->next = head;
        head = entry;
        return Status::Ok;
    }
    static uint32_t bucketOf(Atom atom)
    {
        auto bits = static_cast<uint32_t>(atom);
        return (bits ^ (bits >> 4)) % BucketCount;
    }
    // Removes the newest entry of a non-empty newest chunk and hands over its value. Nothing
    // reaches the slot any more (the chains start at the buckets, and only entries in use are
    // released), so it is not cleared.
    ScriptValue takeNewest()
    {
        NIMBOLT_ASSERT(m_fill > 0);
        Entry* entry = &m_newest->entries[--m_fill];
        Entry*& head = m_buckets[bucketOf(entry->key)];
        if (head == entry)
            head = entry->next;
        return entry->value;
    }
    Entry* lookup(Atom atom) const
    {
        for (Entry* entry = m_buckets[bucketOf(atom)]; entry; entry = entry->next) {
            if (entry->key == atom)
                return entry;
        }
        return nullptr;
    }
    static Chunk* newChunk();
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
        // The fields are read into locals first: the stores below could otherwise alias them.
        int32_t fill = m_fill;
        Entry* entry = &m_newest->entries[fill];
        retainValue(value);
        entry->key = key;
        entry->scope = scope;
        entry->value = value;
        m_fill = ++fill;
        if (fill == ChunkSize)
            (void)addChunk();
        return entry;
    }

    int32_t m_fill { 0 };
    Chunk* m_oldest { nullptr };
    Chunk* m_newest { nullptr };
    // One emptied chunk kept back, so that a scope opening and closing at a chunk boundary does
    // not allocate every time.
    Chunk* m_spare { nullptr };
    Entry* m_buckets[BucketCount] {};
};

}
