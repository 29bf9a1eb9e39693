#include <markup/MarkupStream.h>

namespace nimbolt {

int MarkupStream::readByteSlowly()
{
    if (m_pushedBack != EndOfInput) {
        int byte = m_pushedBack;
        m_pushedBack = EndOfInput;
        return byte;
    }
    if (m_ended)
        return EndOfInput;
    int byte = m_position < m_size ? m_bytes[m_position++] : EndOfInput;
    if (byte == EndOfInput || byte == EndMarker) {
        m_ended = true;
        return EndOfInput;
    }
    return byte;
}

void MarkupStream::unreadByte(int byte)
{
    if (byte != EndOfInput)
        m_pushedBack = byte;
}

}
