#include <script/runtime/ScriptArray.h>

#include <base/Assert.h>
#include <base/ByteHash.h>

#include <script/runtime/MemberTable.h>
#include <script/runtime/MemoryBudget.h>
#include <script/runtime/ScriptString.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

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

void* ScriptArray::allocate(size_t bytes)
{
    if (!chargeBudget(m_budget, bytes))
        return nullptr;
    void* memory = std::malloc(bytes);
    if (!memory)
        creditBudget(m_budget, bytes);
    return memory;
}

void* ScriptArray::allocateZeroed(size_t count, size_t size)
{
    if (!chargeBudget(m_budget, count * size))
        return nullptr;
    void* memory = std::calloc(count, size);
    if (!memory)
        creditBudget(m_budget, count * size);
    return memory;
}

void ScriptArray::deallocate(void* memory, size_t bytes)
{
    if (!memory)
        return;
    std::free(memory);
    creditBudget(m_budget, bytes);
}

RefPtr<ScriptArray> createArray(const ScriptArray* arrayTemplate, AtomTable* atoms)
{
    MemoryBudget* budget = MemoryBudget::current();
    if (!chargeBudget(budget, sizeof(ScriptArray)))
        return nullptr;
    RefPtr<ScriptArray> array = adoptRef(new (std::nothrow) ScriptArray(budget));
    if (!array) {
        creditBudget(budget, sizeof(ScriptArray));
        return nullptr;
    }
    array->listWith(budget);
    if (arrayTemplate && arrayTemplate->m_members) {
        array->m_members = arrayTemplate->m_members;
    } else if (atoms) {
        array->m_members = buildMemberTable(*atoms, arrayMembers);
        if (!array->m_members)
            return nullptr;
    }
    return array;
}

RefPtr<ScriptObject> createArrayGlobal(AtomTable& atoms) { return createArray(nullptr, &atoms); }

ScriptArray::~ScriptArray()
{
    for (int32_t block = 0; block < m_blockCount; ++block) {
        ChunkBlock* chunks = m_blocks[block];
        if (!chunks)
            continue;
        for (int32_t slot = 0; slot < chunks->capacity; ++slot) {
            Chunk* chunk = chunks->chunks[slot];
            if (!chunk)
                continue;
            for (Entry& entry : chunk->entries) {
                if (entry.name)
                    deallocate(entry.name, recordSize(entry.name->length));
                releaseValue(entry.value);
            }
            deallocate(chunk, sizeof(Chunk));
        }
        deallocate(chunks, blockSize(chunks->capacity));
    }
    deallocate(m_blocks, sizeof(ChunkBlock*) * static_cast<size_t>(m_blockCount));
    if (m_names)
        deallocate(m_names, sizeof(Entry*) * (m_nameMask + 1));
    m_members.clear();
    creditBudget(m_budget, sizeof(ScriptArray));
}

template <typename F>
void ScriptArray::forEachEntry(F&& f)
{
    for (int32_t block = 0; block < m_blockCount; ++block) {
        ChunkBlock* chunks = m_blocks[block];
        if (!chunks)
            continue;
        for (int32_t slot = 0; slot < chunks->capacity; ++slot) {
            if (Chunk* chunk = chunks->chunks[slot]) {
                for (Entry& entry : chunk->entries)
                    f(entry);
            }
        }
    }
}

void ScriptArray::visitHeld(Visitor visit, void* context)
{
    forEachEntry([&](Entry& entry) { visitValue(entry.value, visit, context); });
}

void ScriptArray::dropHeld()
{
    forEachEntry([](Entry& entry) { releaseValue(entry.value); });
}

ScriptArray::Chunk* ScriptArray::buildChunk(int32_t k)
{
    int32_t block = k / ChunksPerBlock;
    if (block >= m_blockCount) {
        int32_t count = m_blockCount ? m_blockCount * 2 : 1;
        if (count <= block)
            count = block + 1;
        auto* blocks = static_cast<ChunkBlock**>(allocateZeroed(static_cast<size_t>(count), sizeof(ChunkBlock*)));
        if (!blocks)
            return nullptr;
        if (m_blocks)
            std::memcpy(blocks, m_blocks, sizeof(ChunkBlock*) * static_cast<size_t>(m_blockCount));
        deallocate(m_blocks, sizeof(ChunkBlock*) * static_cast<size_t>(m_blockCount));
        m_blocks = blocks;
        m_blockCount = count;
    }
    int32_t slot = k % ChunksPerBlock;
    ChunkBlock* chunks = m_blocks[block];
    if (!chunks || slot >= chunks->capacity) {
        int32_t capacity = chunks ? chunks->capacity * 2 : 4;
        while (capacity <= slot)
            capacity *= 2;
        if (capacity > ChunksPerBlock)
            capacity = ChunksPerBlock;
        auto* grown = static_cast<ChunkBlock*>(allocateZeroed(1, blockSize(capacity)));
        if (!grown)
            return nullptr;
        grown->capacity = capacity;
        if (chunks) {
            std::memcpy(grown->chunks, chunks->chunks, sizeof(Chunk*) * static_cast<size_t>(chunks->capacity));
            deallocate(chunks, blockSize(chunks->capacity));
        }
        m_blocks[block] = chunks = grown;
    }
    Chunk*& chunk = chunks->chunks[slot];
    if (!chunk) {
        chunk = static_cast<Chunk*>(allocate(sizeof(Chunk)));
        if (!chunk)
            return nullptr;
        for (Entry& entry : chunk->entries)
            entry = { nullptr, UndefinedValue };
        ++m_chunkCount;
    }
    return chunk;
}

int32_t ScriptArray::release()
{
    int32_t count = --m_refCount;
    NIMBOLT_ASSERT(count >= 0);
    if (count == 0)
        destroyDeferred();
    return count;
}

StatusOr<Ref<ScriptArray>> ScriptArray::newEmpty()
{
    RefPtr<ScriptArray> array = createArray(this, nullptr);
    if (!array)
        return Status::OutOfMemory;
    return array.releaseNonNull();
}

ScriptArray::Entry** ScriptArray::nameSlot(uint32_t hash, const char* name, int32_t length) const
{
    NIMBOLT_ASSERT(m_names);
    for (uint32_t i = hash & m_nameMask;; i = (i + 1) & m_nameMask) {
        Entry** slot = &m_names[i];
        const Entry* entry = *slot;
        if (!entry)
            return slot;
        if (entry->name->hash == hash && entry->name->length == length
            && std::memcmp(entry->name->bytes, name, static_cast<size_t>(length)) == 0)
            return slot;
    }
}

ScriptArray::Entry* ScriptArray::findNamed(const char* name, int32_t length) const
{
    if (!m_names)
        return nullptr;
    return *nameSlot(byteHash(name, static_cast<size_t>(length)), name, length);
}

bool ScriptArray::reserveName()
{
    uint32_t capacity = m_names ? m_nameMask + 1 : 0;
    if (2 * (static_cast<uint32_t>(m_nameCount) + 1) <= capacity)
        return true;
    uint32_t grown = capacity ? capacity * 2 : 16;
    auto* names = static_cast<Entry**>(allocateZeroed(grown, sizeof(Entry*)));
    if (!names)
        return false;
    Entry** old = m_names;
    m_names = names;
    m_nameMask = grown - 1;
    for (uint32_t i = 0; i < capacity; ++i) {
        if (Entry* entry = old[i])
            *nameSlot(entry->name->hash, entry->name->bytes, entry->name->length) = entry;
    }
    deallocate(old, sizeof(Entry*) * capacity);
    return true;
}

Status ScriptArray::getItem(int32_t number, const char* name, ScriptValue& out) const
{
    if (name) {
        Entry* entry = findNamed(name, number);
        if (!entry)
            return Status::Failed;
        out = entry->value;
    } else {
        if (number < 0 || number >= m_count)
            return Status::Failed;
        Chunk* chunk = chunkAt(number / ChunkSize);
        out = chunk ? chunk->entries[number % ChunkSize].value : UndefinedValue;
    }
    retainValue(out);
    return Status::Ok;
}

// Makes the entry at position count, linking a name when given.
Status ScriptArray::newEntry(const char* name, int32_t length, const ScriptValue& value)
{
    NameRecord* record = nullptr;
    if (name) {
        if (!reserveName())
            return Status::OutOfMemory;
        record = static_cast<NameRecord*>(allocate(recordSize(length)));
        if (!record)
            return Status::OutOfMemory;
        record->hash = byteHash(name, static_cast<size_t>(length));
        record->length = length;
        std::memcpy(record->bytes, name, static_cast<size_t>(length));
        record->bytes[length] = 0;
    }
    Chunk* chunk = m_count < INT32_MAX ? buildChunk(m_count / ChunkSize) : nullptr;
    if (!chunk) {
        if (record)
            deallocate(record, recordSize(length));
        return Status::OutOfMemory;
    }
    Entry* entry = &chunk->entries[m_count % ChunkSize];
    if (record) {
        entry->name = record;
        Entry** slot = nameSlot(record->hash, name, length);
        if (!*slot)
            ++m_nameCount;
        *slot = entry;
    }
    ++m_count;
    entry->value = value;
    retainValue(entry->value);
    return Status::Ok;
}

Status ScriptArray::appendItem(int32_t number, const char* name, const ScriptValue& value)
{
    if (name && number < 0)
        return Status::Failed;
    return newEntry(name, number, value);
}

Status ScriptArray::setItem(int32_t number, const char* name, const ScriptValue& value)
{
    if (name) {
        if (number < 0)
            return Status::Failed;
        if (Entry* entry = findNamed(name, number)) {
            replaceValue(entry->value, value);
            return Status::Ok;
        }
        return newEntry(name, number, value);
    }
    if (number < 0 || (number >= m_count && number > MaxGrowthIndex))
        return Status::Failed;
    Chunk* chunk = buildChunk(number / ChunkSize);
    if (!chunk)
        return Status::OutOfMemory;
    if (number >= m_count)
        m_count = number + 1;
    replaceValue(chunk->entries[number % ChunkSize].value, value);
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
        // A key that cannot be stored at (a negative index) is ignored; memory running out is not.
        if (setItem(key.number, key.name, args[argc - 1]) == Status::OutOfMemory)
            return Status::OutOfMemory;
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
        Ref<ScriptArray> array = NIMBOLT_TRY_VALUE(newEmpty());
        if (argc >= 2) {
            for (int32_t i = 0; i < argc; ++i)
                NIMBOLT_TRY(array->appendItem(0, nullptr, args[i]));
        }
        *result = ScriptValue::object(std::move(array));
        return Status::Ok;
    }
    }
    *result = UndefinedValue;
    return Status::SomeError;
}

}
