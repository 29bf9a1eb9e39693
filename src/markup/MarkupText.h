// A counted run of bytes held in one allocation: the tag names, texts and attribute values of a
// markup tree. Texts made from tokens carry no terminating zero; texts made from zero-terminated
// strings have one after the counted bytes. One shared empty text stands for every empty or absent
// string made that way; it is never freed.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace nimbolt {

class MarkupText;

struct MarkupTextDeleter {
    void operator()(MarkupText* text) const;
};
using OwnedMarkupText = std::unique_ptr<MarkupText, MarkupTextDeleter>;

class MarkupText {
public:
    // A new text holding a copy of length bytes, or null when memory runs out.
    static OwnedMarkupText create(const char* bytes, int32_t length);
    // A copy of a zero-terminated string, followed by a zero; the shared empty text for a null or
    // empty string. Null when memory runs out.
    static OwnedMarkupText fromString(const char* string);
    static MarkupText* sharedEmpty();
    // Frees a text; null and the shared empty text are ignored.
    static void destroy(MarkupText* text);

    int32_t length() const { return m_length; }
    const char* bytes() const { return m_bytes; }
    std::string_view view() const { return { m_bytes, static_cast<size_t>(m_length) }; }

private:
    MarkupText() = default;
    static MarkupText* allocate(int32_t length, int32_t extra);

    static MarkupText s_sharedEmpty;

    int32_t m_length { 0 };
    char m_bytes[1] {};
};

inline void MarkupTextDeleter::operator()(MarkupText* text) const { MarkupText::destroy(text); }

// Copies min(length, capacity - 1) bytes and a zero into buffer; returns the bytes copied. A null
// text copies as empty; a capacity below 1 writes nothing and returns 0.
int32_t copyMarkupText(const MarkupText* text, char* buffer, int32_t capacity);

// 0 when the text equals the zero-terminated name. The bytes are compared over the shorter length
// (memcmp's result when they differ); when they agree the result is the text's length minus the
// name's. A null text compares as empty.
int32_t compareMarkupName(const MarkupText* text, const char* name);

}
