// Cuts the bytes of a stream into lines through a 4096-byte block buffer. The reader holds one
// reference on its stream for its whole life; the unread part of the current block is always
// [m_read, m_read + m_available).
#pragma once

#include <script/language/MemoryStream.h>

#include <base/Ref.h>

#include <cstdint>
#include <memory>

namespace nimbolt {

class LineReader {
public:
    static constexpr int32_t BlockSize = 4096;

    // Copies one line, its line feed included, into destination and ends it with a zero byte
    // when capacity is left. A line longer than capacity is cut after capacity bytes, without a
    // terminator. Returns destination, or null at the end of the input.
    char* readLine(char* destination, int32_t capacity);

private:
    friend std::unique_ptr<LineReader> createLineReader(MemoryStream&);
    explicit LineReader(MemoryStream& stream)
        : m_stream(stream)
    {
    }
    void readBlock();

    Ref<MemoryStream> m_stream;
    char m_block[BlockSize];
    const char* m_read { m_block };
    int32_t m_available { 0 };
};

// A reader over the stream, holding its own reference on it, with the first block already read;
// null when memory runs out.
std::unique_ptr<LineReader> createLineReader(MemoryStream& stream);

}
