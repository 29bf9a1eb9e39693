// Interns names into atoms: each distinct name gets one 32-bit atom, atom = bucket + 16 x serial,
// where the bucket is the signed byte sum of the name modulo 11 and the serial counts the atoms
// made so far (1 for the first). Atoms are never 0 and a name keeps its atom for the table's life.
// Entries are kept in serial order, so an atom finds its name at once; names find their entries
// through an open-addressing index (a power-of-two number of slots, at most half of them used).
#pragma once

#include <base/Ref.h>
#include <base/RefCounted.h>
#include <base/StatusOr.h>
#include <script/runtime/ScriptObject.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace nimbolt {

class AtomTable final : public RefCounted {
public:
    static constexpr int BucketCount = 11;

    // A new empty table with count 1, or null when memory runs out.
    static RefPtr<AtomTable> create();

    // The name's atom, made on first use; 0 only when memory runs out.
    Atom intern(const char* name, size_t length);
    Atom intern(std::string_view name) { return intern(name.data(), name.size()); }

    // Copies min(length, capacity - 1) bytes and a zero; returns that count, or Failed for an
    // atom this table never made or a capacity below 1 (the buffer untouched).
    StatusOr<int32_t> nameOf(Atom atom, char* buffer, int32_t capacity) const;

    int32_t atomCount() const { return m_serial; }

    static constexpr int bucketOf(const char* name, size_t length)
    {
        int32_t sum = 0;
        for (size_t i = 0; i < length; ++i)
            sum += static_cast<signed char>(name[i]);
        // Names are ASCII; a non-ASCII name still lands in a valid bucket.
        return (sum % BucketCount + BucketCount) % BucketCount;
    }

private:
    struct Entry {
        uint32_t hash;
        Atom atom;
        int32_t length;
        char name[1];
    };

    AtomTable() = default;
    ~AtomTable() override;

    // The index slot of the name: its entry's serial, or the empty slot (0) where it would go.
    int32_t* slotOf(uint32_t hash, const char* name, size_t length) const;
    // Room for one more entry in the serial list and the index; false when memory runs out.
    bool reserve();

    int32_t m_serial { 0 };
    // Entry of serial s at m_entries[s - 1].
    Entry** m_entries { nullptr };
    int32_t m_entryCapacity { 0 };
    int32_t* m_index { nullptr };
    uint32_t m_indexMask { 0 };
};

// The three atoms every engine interns first, in this order, so they are equal in every
// engine. They hold their values before any engine exists, and engine creation stores them
// again from its own table.
struct FixedAtoms {
    Atom prototype;
    Atom length;
    Atom charAt;
};

inline constexpr FixedAtoms InitialFixedAtoms {
    AtomTable::bucketOf("prototype", 9) + 16 * 1,
    AtomTable::bucketOf("length", 6) + 16 * 2,
    AtomTable::bucketOf("charAt", 6) + 16 * 3,
};

const FixedAtoms& fixedAtoms();

// Interns prototype, length and charAt into a new table and records their atoms process-wide.
// Returns false when memory runs out.
bool internFixedAtoms(AtomTable& table);

}
