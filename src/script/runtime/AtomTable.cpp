#include <script/runtime/AtomTable.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace nimbolt {

static FixedAtoms s_fixedAtoms = InitialFixedAtoms;

const FixedAtoms& fixedAtoms() { return s_fixedAtoms; }

bool internFixedAtoms(AtomTable& table)
{
    FixedAtoms atoms { table.intern("prototype"), table.intern("length"), table.intern("charAt") };
    if (!atoms.prototype || !atoms.length || !atoms.charAt)
        return false;
    s_fixedAtoms = atoms;
    return true;
}

AtomTable* AtomTable::create() { return new (std::nothrow) AtomTable; }

AtomTable::~AtomTable()
{
    for (Entry* head : m_buckets) {
        while (head) {
            Entry* next = head->next;
            std::free(head);
            head = next;
        }
    }
}

Atom AtomTable::intern(const char* name, size_t length)
{
    int bucket = bucketOf(name, length);
    for (Entry* entry = m_buckets[bucket]; entry; entry = entry->next) {
        if (static_cast<size_t>(entry->length) == length
            && (length == 0 || std::memcmp(entry->name, name, length) == 0))
            return entry->atom;
    }
    auto* entry = static_cast<Entry*>(std::malloc(offsetof(Entry, name) + length + 1));
    if (!entry)
        return 0;
    entry->length = static_cast<int32_t>(length);
    // An empty name may come without any bytes at all (a null pointer).
    if (length)
        std::memcpy(entry->name, name, length);
    entry->name[length] = 0;
    entry->atom = bucket + 16 * ++m_serial;
    entry->next = m_buckets[bucket];
    m_buckets[bucket] = entry;
    return entry->atom;
}

int32_t AtomTable::nameOf(Atom atom, char* buffer, int32_t capacity) const
{
    int bucket = atom & 15;
    if (bucket >= BucketCount || capacity <= 0)
        return -1;
    for (const Entry* entry = m_buckets[bucket]; entry; entry = entry->next) {
        if (entry->atom != atom)
            continue;
        int32_t count = entry->length < capacity - 1 ? entry->length : capacity - 1;
        std::memcpy(buffer, entry->name, static_cast<size_t>(count));
        buffer[count] = 0;
        return count;
    }
    return -1;
}

}
