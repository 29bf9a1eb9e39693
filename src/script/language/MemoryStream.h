// A counted stream over bytes in memory: reads and writes move a position that always stays
// within 0 ... size. The stream borrows the text; whoever made it keeps the text alive while the
// stream is used. A stream made over read-only text refuses every write.
#pragma once

#include <base/Ref.h>
#include <base/RefCounted.h>

#include <cstdint>

namespace nimbolt {

enum class SeekOrigin : int32_t {
    Start = 0,
    Current = 1,
    End = 2,
};

class MemoryStream final : public RefCounted {
public:
    // Copies min(count, size - position) bytes to destination and advances; returns the count
    // copied, 0 at the end.
    int32_t read(void* destination, int32_t count);
    // Copies min(count, size - position) bytes from source into the text and advances; returns
    // the count copied. A read-only stream copies nothing and returns 0.
    int32_t write(const void* source, int32_t count);
    // Moves to offset from the origin, clamped to 0 ... size; returns the new position.
    int32_t seek(int32_t offset, SeekOrigin origin);

    int32_t position() const { return m_position; }
    int32_t size() const { return m_size; }

private:
    friend RefPtr<MemoryStream> createMemoryStream(const char*, int32_t);
    friend RefPtr<MemoryStream> createMemoryStream(char*, int32_t);
    MemoryStream(const char* text, char* writableText, int32_t size)
        : m_text(text)
        , m_writableText(writableText)
        , m_size(size)
    {
    }

    int32_t m_position { 0 };
    const char* m_text;
    char* m_writableText;
    int32_t m_size;
};

// A stream with count 1 over size bytes of text, or null when memory runs out. A negative size
// counts as 0.
RefPtr<MemoryStream> createMemoryStream(const char* text, int32_t size);
RefPtr<MemoryStream> createMemoryStream(char* text, int32_t size);

}
