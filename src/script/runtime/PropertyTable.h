// An atom -> value table that is also a stack. Every definition is appended; a newer definition
// of an atom hides the older one until it is popped. Entries live in chunks of 16 linked both
// ways; defined entries are also chained, newest first, in one of 11 buckets (atom mod 11).
// All chunks but the newest are full, and the table owns one reference per counted value.
#pragma once

#include "RefCounted.h"
#include "ScriptValue.h"

namespace nimbolt {

class PropertyTable final : public RefCounted {
public:
    static constexpr int ChunkSize = 16;
    static constexpr int BucketCount = 11;

    // A new empty table with count 1 and one chunk, or null when memory runs out.
    static PropertyTable* create();

    // Appends the value (retained) with no key; reachable only by pop. -1 when no room could be
    // made, in which case nothing changed.
    Status push(const ScriptValue& value);
    // Moves the newest entry's value to out, handing over the table's reference. An empty table
    // gives undefined and 0.
    Status pop(ScriptValue& out);
    // Appends a binding of atom to the value (retained), hiding older ones. -1 when no room could
    // be made, in which case nothing changed.
    Status define(Atom atom, const ScriptValue& value);
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

    // Entries in use and chunks allocated, for inspection.
    int32_t entryCount() const;
    int32_t chunkCount() const;

private:
    struct Entry {
        Entry* next;
        Atom key;
        ScriptValue value;
    };
    struct Chunk {
        Chunk* newer;
        Chunk* older;
        Entry entries[ChunkSize];
    };

    PropertyTable() = default;
    ~PropertyTable() override;

    Entry* lookup(Atom atom) const
    {
        for (Entry* entry = m_buckets[static_cast<uint32_t>(atom) % BucketCount]; entry; entry = entry->next) {
            if (entry->key == atom)
                return entry;
        }
        return nullptr;
    }
    static Chunk* newChunk();
    bool makeRoom();
    Entry* append(Atom key, const ScriptValue& value);

    int32_t m_fill { 0 };
    Chunk* m_oldest { nullptr };
    Chunk* m_newest { nullptr };
    Entry* m_buckets[BucketCount] {};
};

}
