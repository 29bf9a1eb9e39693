#include <markup/MarkupText.h>

#include <cstddef>
#include <cstring>
#include <new>

namespace nimbolt {

constinit MarkupText MarkupText::s_sharedEmpty;

MarkupText* MarkupText::sharedEmpty()
{
    return &s_sharedEmpty;
}

MarkupText* MarkupText::allocate(int32_t length, int32_t extra)
{
    if (length < 0)
        return nullptr;
    size_t size = offsetof(MarkupText, m_bytes) + static_cast<size_t>(length) + static_cast<size_t>(extra);
    if (size < sizeof(MarkupText))
        size = sizeof(MarkupText);
    void* memory = ::operator new(size, std::nothrow);
    if (!memory)
        return nullptr;
    auto* text = new (memory) MarkupText;
    text->m_length = length;
    return text;
}

OwnedMarkupText MarkupText::create(const char* bytes, int32_t length)
{
    OwnedMarkupText text(allocate(length, 0));
    if (text && length > 0)
        std::memcpy(text->m_bytes, bytes, static_cast<size_t>(length));
    return text;
}

OwnedMarkupText MarkupText::fromString(const char* string)
{
    if (!string || !*string)
        return OwnedMarkupText(sharedEmpty());
    size_t length = std::strlen(string);
    if (length > INT32_MAX - 1)
        return nullptr;
    OwnedMarkupText text(allocate(static_cast<int32_t>(length), 1));
    if (text)
        std::memcpy(text->m_bytes, string, length + 1);
    return text;
}

void MarkupText::destroy(MarkupText* text)
{
    if (text && text != sharedEmpty())
        ::operator delete(text);
}

int32_t copyMarkupText(const MarkupText* text, char* buffer, int32_t capacity)
{
    if (capacity < 1)
        return 0;
    int32_t length = text ? text->length() : 0;
    int32_t count = length < capacity - 1 ? length : capacity - 1;
    if (count > 0)
        std::memcpy(buffer, text->bytes(), static_cast<size_t>(count));
    buffer[count] = 0;
    return count;
}

int32_t compareMarkupName(const MarkupText* text, const char* name)
{
    size_t textLength = text ? static_cast<size_t>(text->length()) : 0;
    size_t nameLength = name ? std::strlen(name) : 0;
    size_t shorter = textLength < nameLength ? textLength : nameLength;
    if (shorter > 0) {
        if (int result = std::memcmp(text->bytes(), name, shorter))
            return result;
    }
    return static_cast<int32_t>(textLength) - static_cast<int32_t>(nameLength);
}

}
