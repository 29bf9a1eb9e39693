#include <script/runtime/AtomTable.h>

#include <base/ByteHash.h>

#include <cstddef>
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

RefPtr<AtomTable> AtomTable::create() { return adoptRef(new (std::nothrow) AtomTable); }

AtomTable::~AtomTable()
{
    for (int32_t i = 0; i < m_serial; ++i)
        std::free(m_entries[i]);
    std::free(m_entries);
    std::free(m_index);
}

int32_t* AtomTable::slotOf(uint32_t hash, const char* name, size_t length) const
{
    for (uint32_t i = hash & m_indexMask;; i = (i + 1) & m_indexMask) {
        int32_t* slot = &m_index[i];
        if (*slot == 0)
            return slot;
        const Entry* entry = m_entries[*slot - 1];
        if (entry->hash == hash && static_cast<size_t>(entry->length) == length
            && (length == 0 || std::memcmp(entry->name, name, length) == 0))
            return slot;
    }
}

bool AtomTable::reserve()
{
    if (m_serial == m_entryCapacity) {
        int32_t capacity = m_entryCapacity ? m_entryCapacity * 2 : 64;
        auto* entries = static_cast<Entry**>(std::realloc(m_entries, sizeof(Entry*) * static_cast<size_t>(capacity)));
        if (!entries)
            return false;
        m_entries = entries;
        m_entryCapacity = capacity;
    }
    uint32_t slots = m_index ? m_indexMask + 1 : 0;
    if (2 * (static_cast<uint32_t>(m_serial) + 1) <= slots)
        return true;
    uint32_t grown = slots ? slots * 2 : 128;
    auto* index = static_cast<int32_t*>(std::calloc(grown, sizeof(int32_t)));
    if (!index)
        return false;
    std::free(m_index);
    m_index = index;
    m_indexMask = grown - 1;
    for (int32_t serial = 1; serial <= m_serial; ++serial) {
        const Entry* entry = m_entries[serial - 1];
        *slotOf(entry->hash, entry->name, static_cast<size_t>(entry->length)) = serial;
    }
    return true;
}

Atom AtomTable::intern(const char* name, size_t length)
{
    uint32_t hash = byteHash(name, length);
    if (m_index) {
        if (int32_t serial = *slotOf(hash, name, length))
            return m_entries[serial - 1]->atom;
    }
    if (!reserve())
        return 0;
    auto* entry = static_cast<Entry*>(std::malloc(offsetof(Entry, name) + length + 1));
    if (!entry)
        return 0;
    entry->hash = hash;
    entry->length = static_cast<int32_t>(length);
    // An empty name may come without any bytes at all (a null pointer).
    if (length)
        std::memcpy(entry->name, name, length);
    entry->name[length] = 0;
    entry->atom = bucketOf(name, length) + 16 * ++m_serial;
    m_entries[m_serial - 1] = entry;
    *slotOf(hash, name, length) = m_serial;
    return entry->atom;
}

StatusOr<int32_t> AtomTable::nameOf(Atom atom, char* buffer, int32_t capacity) const
{
    int32_t serial = atom >> 4;
    if (serial < 1 || serial > m_serial || capacity <= 0)
        return Status::Failed;
    const Entry* entry = m_entries[serial - 1];
    if (entry->atom != atom)
        return Status::Failed;
    int32_t count = entry->length < capacity - 1 ? entry->length : capacity - 1;
    std::memcpy(buffer, entry->name, static_cast<size_t>(count));
    buffer[count] = 0;
    return count;
}

}
