#include <script/runtime/ScriptArray.h>

#include <base/Assert.h>

#include <script/runtime/MemberTable.h>
#include <script/runtime/ScriptString.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace nimbolt {

static Status lengthMember(ScriptObject* self, InvokeOp op, int32_t, const ScriptValue*, ScriptValue* result)
{
    if (op != InvokeOp::GetMember)
        return Status::SomeError;
    *result = ScriptValue::integer(static_cast<ScriptArray*>(self)->count());
    return Status::Ok;
}

static const MemberTableRow arrayMembers[] = {
    { "length", lengthMember },
    { nullptr, nullptr },
};

uint32_t ScriptArray::nameHash(const char* name, int32_t length)
{
    int32_t sum = 0;
    for (int32_t i = 0; i < length; ++i)
        sum += static_cast<signed char>(name[i]);
    return static_cast<uint32_t>(sum) << 12 | static_cast<uint32_t>(length);
}

ScriptArray::Chunk* ScriptArray::newChunk()
{
    auto* chunk = new (std::nothrow) Chunk;
    if (!chunk)
        return nullptr;
    chunk->next = nullptr;
    for (Entry& entry : chunk->entries)
        entry = { nullptr, nullptr, UndefinedValue };
    return chunk;
}

ScriptArray* createArray(const ScriptArray* arrayTemplate, AtomTable* atoms)
{
    auto* array = new (std::nothrow) ScriptArray;
    if (!array)
        return nullptr;
    array->m_first = array->m_current = array->chunkAt(0, true);
    if (!array->m_first) {
        delete array;
        return nullptr;
    }
    if (arrayTemplate && arrayTemplate->m_members) {
        array->m_members = arrayTemplate->m_members;
        array->m_members->addRef();
    } else if (atoms) {
        array->m_members = buildMemberTable(*atoms, arrayMembers);
        if (!array->m_members) {
            delete array;
            return nullptr;
        }
    }
    return array;
}

ScriptObject* createArrayGlobal(AtomTable& atoms) { return createArray(nullptr, &atoms); }

ScriptArray::~ScriptArray()
{
    Chunk* chunk = m_first;
    while (chunk) {
        for (Entry& entry : chunk->entries) {
            std::free(entry.name);
            releaseValue(entry.value);
        }
        Chunk* next = chunk->next;
        delete chunk;
        chunk = next;
    }
    if (m_members)
        m_members->release();
    std::free(m_chunks);
}

ScriptArray::Chunk* ScriptArray::chunkAt(int32_t k, bool create)
{
    if (k < m_chunkCount)
        return m_chunks[k];
    if (!create)
        return nullptr;
    while (m_chunkCount <= k) {
        if (m_chunkCount == m_chunkCapacity) {
            int32_t capacity = m_chunkCapacity ? m_chunkCapacity * 2 : 4;
            auto* grown = static_cast<Chunk**>(std::realloc(m_chunks, sizeof(Chunk*) * static_cast<size_t>(capacity)));
            if (!grown)
                return nullptr;
            m_chunks = grown;
            m_chunkCapacity = capacity;
        }
        Chunk* chunk = newChunk();
        if (!chunk)
            return nullptr;
        if (m_chunkCount > 0)
            m_chunks[m_chunkCount - 1]->next = chunk;
        m_chunks[m_chunkCount++] = chunk;
    }
    return m_chunks[k];
}

int32_t ScriptArray::release()
{
    int32_t count = --m_refCount;
    NIMBOLT_ASSERT(count >= 0);
    if (count == 0)
        destroyDeferred();
    return count;
}

Status ScriptArray::newEmpty(ScriptArray*& out)
{
    out = createArray(this, nullptr);
    return out ? Status::Ok : Status::Failed;
}

ScriptArray::Entry* ScriptArray::findNamed(const char* name, int32_t length) const
{
    uint32_t hash = nameHash(name, length);
    for (Entry* entry = m_buckets[hash % BucketCount]; entry; entry = entry->nextNamed) {
        if (entry->name->hash == hash && entry->name->length == length
            && std::memcmp(entry->name->bytes, name, static_cast<size_t>(length)) == 0)
            return entry;
    }
    return nullptr;
}

ScriptArray::Entry* ScriptArray::findIndex(int32_t index) const
{
    if (index < 0 || index >= m_count)
        return nullptr;
    return &m_chunks[index / ChunkSize]->entries[index % ChunkSize];
}

Status ScriptArray::getItem(int32_t number, const char* name, ScriptValue& out) const
{
    Entry* entry = name ? findNamed(name, number) : findIndex(number);
    if (!entry)
        return Status::Failed;
    out = entry->value;
    retainValue(out);
    return Status::Ok;
}

// Makes the entry at position count (linking a name when given); null when memory runs out.
ScriptArray::Entry* ScriptArray::newEntry(const char* name, int32_t length)
{
    NameRecord* record = nullptr;
    if (name) {
        record = static_cast<NameRecord*>(std::malloc(sizeof(NameRecord) + static_cast<size_t>(length)));
        if (!record)
            return nullptr;
        record->hash = nameHash(name, length);
        record->length = length;
        std::memcpy(record->bytes, name, static_cast<size_t>(length));
        record->bytes[length] = 0;
    }
    if (m_fill == ChunkSize) {
        // A chunk left behind by a growth that ran out of memory is used before a new one.
        Chunk* next = chunkAt(m_count / ChunkSize, true);
        if (!next) {
            std::free(record);
            return nullptr;
        }
        m_current = next;
        m_fill = 0;
    }
    Entry* entry = &m_current->entries[m_fill];
    if (record) {
        entry->name = record;
        Entry*& head = m_buckets[record->hash % BucketCount];
        entry->nextNamed = head;
        head = entry;
    }
    ++m_count;
    ++m_fill;
    return entry;
}

Status ScriptArray::appendItem(int32_t number, const char* name, const ScriptValue& value)
{
    if (name && number < 0)
        return Status::Failed;
    Entry* entry = newEntry(name, number);
    if (!entry)
        return Status::Failed;
    entry->value = value;
    retainValue(entry->value);
    return Status::Ok;
}

Status ScriptArray::setItem(int32_t number, const char* name, const ScriptValue& value)
{
    if (name && number < 0)
        return Status::Failed;
    Entry* entry = name ? findNamed(name, number) : findIndex(number);
    if (entry) {
        replaceValue(entry->value, value);
        return Status::Ok;
    }
    if (name)
        return appendItem(number, name, value);
    if (number < 0 || number > MaxGrowthIndex)
        return Status::Failed;
    Chunk* chunk = chunkAt(number / ChunkSize, true);
    if (!chunk)
        return Status::Failed;
    m_current = chunk;
    m_fill = number % ChunkSize + 1;
    m_count = number + 1;
    entry = &chunk->entries[number % ChunkSize];
    entry->value = value;
    retainValue(entry->value);
    return Status::Ok;
}

// An Integer key is an index, a Real is truncated to one; any other value's text (at most 1023
// bytes) is a name.
struct ArrayKey {
    int32_t number;
    const char* name;
    char text[1024];
};

static void keyFromValue(const ScriptValue& value, ArrayKey& key)
{
    key.name = nullptr;
    if (value.tag == ValueTag::Integer || value.tag == ValueTag::Real) {
        key.number = valueToInteger(value);
        return;
    }
    key.number = valueText(value, key.text, sizeof key.text);
    key.name = key.text;
}

Status ScriptArray::invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    switch (op) {
    case InvokeOp::PutMember:
    case InvokeOp::GetMember:
    case InvokeOp::CallMember:
        if (!m_members) {
            *result = UndefinedValue;
            return Status::NotAMember;
        }
        return dispatchMember(*m_members, this, atom, op, argc, args, result);
    case InvokeOp::StoreItem: {
        if (argc < 2)
            return Status::SomeError;
        ArrayKey key;
        keyFromValue(args[0], key);
        (void)setItem(key.number, key.name, args[argc - 1]);
        *result = args[argc - 1];
        retainValue(*result);
        return Status::Ok;
    }
    case InvokeOp::Apply: {
        if (argc < 1)
            return Status::SomeError;
        ArrayKey key;
        keyFromValue(args[0], key);
        if (!getItem(key.number, key.name, *result).ok())
            *result = UndefinedValue;
        return Status::Ok;
    }
    case InvokeOp::Construct: {
        ScriptArray* array;
        if (!newEmpty(array).ok())
            return Status::Failed;
        if (argc >= 2) {
            for (int32_t i = 0; i < argc; ++i)
                (void)array->appendItem(0, nullptr, args[i]);
        }
        *result = ScriptValue::object(array);
        return Status::Ok;
    }
    }
    *result = UndefinedValue;
    return Status::SomeError;
}

}
