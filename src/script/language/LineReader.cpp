#include <script/language/LineReader.h>

#include <new>

namespace nimbolt {

std::unique_ptr<LineReader> createLineReader(MemoryStream& stream)
{
    std::unique_ptr<LineReader> reader(new (std::nothrow) LineReader(stream));
    if (reader)
        reader->readBlock();
    return reader;
}

void LineReader::readBlock()
{
    m_available = m_stream->read(m_block, BlockSize);
    m_read = m_block;
}

char* LineReader::readLine(char* destination, int32_t capacity)
{
    if (m_available == 0) {
        readBlock();
        if (m_available == 0)
            return nullptr;
    }
    if (capacity <= 0)
        return destination;
    char* out = destination;
    while (capacity > 0) {
        char byte = *m_read++;
        --m_available;
        *out++ = byte;
        --capacity;
        if (m_available == 0) {
            readBlock();
            if (m_available == 0) {
                if (capacity > 0)
                    *out = 0;
                return destination;
            }
        }
        if (byte == '\n') {
            if (capacity > 0)
                *out = 0;
            return destination;
        }
    }
    return destination;
}

}
