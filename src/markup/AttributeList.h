// The ordered, counted list of an element's attributes: (name, value) pairs in the order of the
// markup, duplicates kept. A name is a MarkupText owned by the list; a value is a MarkupText owned
// by the list, or null for an attribute written without "=". Entries sit in chunks of 8 linked
// from the first, which is part of the list itself; the current chunk always has a free entry
// unless the last chunk allocation failed (the next append retries it).
#pragma once

#include <markup/MarkupText.h>
#include <base/Ref.h>
#include <base/RefCounted.h>
#include <base/Status.h>

#include <cstdint>
#include <string_view>

namespace nimbolt {

class AttributeList final : public RefCounted {
public:
    static constexpr int ChunkSize = 8;

    // A new empty list with count 1 and one chunk, or null when memory runs out.
    static RefPtr<AttributeList> create();

    int32_t attributeCount() const { return m_count; }
    // Appends (name, value). The list takes the value over, also when it fails (-1, out of
    // memory), in which case the value is freed and the list is unchanged.
    Status addAttribute(std::string_view name, OwnedMarkupText value);
    // The same with a name the list takes over as well (a null name is empty).
    Status addAttribute(OwnedMarkupText name, OwnedMarkupText value);
    // The value of the first entry with exactly this name (borrowed, null for a valueless one)
    // and 0; -1 and null when there is none.
    Status findAttribute(std::string_view name, MarkupText*& value) const;
    // Copies min(name length, capacity - 1) bytes and a zero into buffer (nothing when capacity
    // is below 1); -1 when the index is outside 0 ... count - 1.
    Status attributeName(int32_t index, int32_t capacity, char* buffer) const;
    // The value at index (borrowed, null for a valueless attribute); -1 and null when out of range.
    Status attributeValue(int32_t index, MarkupText*& value) const;

private:
    struct Entry {
        MarkupText* name;
        MarkupText* value;
    };
    struct Chunk {
        Chunk* next;
        Entry entries[ChunkSize];
    };

    AttributeList() = default;
    ~AttributeList() override;

    static Chunk* newChunk();
    const Entry* entryAt(int32_t index) const;

    Chunk m_first {};
    Chunk* m_current { &m_first };
    int32_t m_count { 0 };
    int32_t m_fill { 0 };
};

}
