#include <platform/ShiftJisText.h>

#include <QStringDecoder>

namespace nimbolt {

static QStringDecoder& shiftJisDecoder()
{
    static QStringDecoder decoder("CP932", QStringDecoder::Flag::Stateless);
    return decoder;
}

static void appendCharacter(QString& text, const char* bytes, int32_t length)
{
    auto first = static_cast<uint8_t>(bytes[0]);
    if (length == 1 && first < 0x80) {
        text.append(QChar(first));
        return;
    }
    if (length == 1 && first >= 0xA1 && first <= 0xDF) {
        // Half-width katakana.
        text.append(QChar(static_cast<char16_t>(0xFF61 + (first - 0xA1))));
        return;
    }
    QStringDecoder& decoder = shiftJisDecoder();
    decoder.resetState();
    text.append(decoder.decode(QByteArrayView(bytes, length)));
}

ShiftJisText::ShiftJisText(const char* bytes, int32_t length)
{
    if (!bytes || length <= 0)
        return;
    m_characters.reserve(static_cast<size_t>(length));
    m_text.reserve(length);
    int32_t offset = 0;
    while (offset < length) {
        int32_t byteLength
            = isShiftJisLeadByte(static_cast<uint8_t>(bytes[offset])) && offset + 1 < length ? 2 : 1;
        auto textOffset = static_cast<int32_t>(m_text.size());
        appendCharacter(m_text, bytes + offset, byteLength);
        m_characters.push_back(
            { offset, byteLength, textOffset, static_cast<int32_t>(m_text.size()) - textOffset });
        offset += byteLength;
    }
}

uint32_t ShiftJisText::characterCode(const char* bytes, const Character& character)
{
    auto first = static_cast<uint8_t>(bytes[character.byteOffset]);
    if (character.byteLength == 1)
        return first;
    return static_cast<uint32_t>(first) << 8 | static_cast<uint8_t>(bytes[character.byteOffset + 1]);
}

QString ShiftJisText::decode(const char* bytes, int32_t length)
{
    return ShiftJisText(bytes, length).text();
}

}
