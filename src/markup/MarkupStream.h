// The byte source of the markup reader: a block of memory, read one byte at a time with one byte
// of push-back. The byte 0xFF marks the end of input just as the real end does, and the end is
// final: once reached, every further read gives EndOfInput.
#pragma once

#include <cstddef>

namespace nimbolt {

class MarkupStream {
public:
    static constexpr int EndOfInput = -1;
    static constexpr int EndMarker = 0xFF;

    // Reads from size bytes that stay alive while the stream is in use.
    static MarkupStream fromMemory(const void* bytes, size_t size)
    {
        return MarkupStream(static_cast<const unsigned char*>(bytes), size);
    }

    // The next byte (0 ... 254) or EndOfInput.
    int readByte()
    {
        // Memory with nothing pushed back is the common case and stays inline.
        if (m_pushedBack == EndOfInput && !m_ended && m_position < m_size
            && m_bytes[m_position] != EndMarker)
            return m_bytes[m_position++];
        return readByteSlowly();
    }
    // Gives the byte back to the next readByte. At most one byte is held; EndOfInput is not held.
    void unreadByte(int byte);

private:
    int readByteSlowly();
    MarkupStream(const unsigned char* bytes, size_t size)
        : m_bytes(bytes)
        , m_size(size)
    {
    }

    const unsigned char* m_bytes;
    size_t m_size;
    size_t m_position { 0 };
    int m_pushedBack { EndOfInput };
    bool m_ended { false };
};

}
