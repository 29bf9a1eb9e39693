#include <script/language/MemoryStream.h>

#include <cstring>
#include <new>

namespace nimbolt {

RefPtr<MemoryStream> createMemoryStream(const char* text, int32_t size)
{
    return adoptRef(new (std::nothrow) MemoryStream(text, nullptr, size > 0 ? size : 0));
}

RefPtr<MemoryStream> createMemoryStream(char* text, int32_t size)
{
    return adoptRef(new (std::nothrow) MemoryStream(text, text, size > 0 ? size : 0));
}

int32_t MemoryStream::read(void* destination, int32_t count)
{
    int32_t available = m_size - m_position;
    if (count > available)
        count = available;
    if (count <= 0)
        return 0;
    std::memcpy(destination, m_text + m_position, static_cast<size_t>(count));
    m_position += count;
    return count;
}

int32_t MemoryStream::write(const void* source, int32_t count)
{
    int32_t available = m_size - m_position;
    if (count > available)
        count = available;
    if (count <= 0 || !m_writableText)
        return 0;
    std::memcpy(m_writableText + m_position, source, static_cast<size_t>(count));
    m_position += count;
    return count;
}

int32_t MemoryStream::seek(int32_t offset, SeekOrigin origin)
{
    int64_t base = 0;
    if (origin == SeekOrigin::Current)
        base = m_position;
    else if (origin == SeekOrigin::End)
        base = m_size;
    int64_t target = base + offset;
    if (target < 0)
        target = 0;
    if (target > m_size)
        target = m_size;
    m_position = static_cast<int32_t>(target);
    return m_position;
}

}
