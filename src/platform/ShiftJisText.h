// The one place where the document's Shift-JIS bytes become Unicode. A text is cut into
// characters of one or two bytes (a byte 0x81-0x9F or 0xE0-0xFF starts a two-byte character when
// another byte follows it); each character is decoded on its own, so a damaged pair never swallows
// the character after it, and the character boundaries in bytes stay known for measuring.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

namespace nimbolt {

constexpr bool isShiftJisLeadByte(uint8_t byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0;
}

class ShiftJisText {
public:
    struct Character {
        int32_t byteOffset;
        int32_t byteLength;
        int32_t textOffset; // in UTF-16 code units of text()
        int32_t textLength;
    };

    ShiftJisText(const char* bytes, int32_t length);

    const QString& text() const { return m_text; }
    const std::vector<Character>& characters() const { return m_characters; }
    // The Unicode text of one character; empty when the bytes decode to nothing.
    QStringView characterText(const Character& character) const
    {
        return QStringView(m_text).mid(character.textOffset, character.textLength);
    }
    // The character's bytes as one number: the byte itself, or lead << 8 | trail.
    static uint32_t characterCode(const char* bytes, const Character& character);

    // The whole byte text as Unicode, decoded character by character.
    static QString decode(const char* bytes, int32_t length);

private:
    QString m_text;
    std::vector<Character> m_characters;
};

}
