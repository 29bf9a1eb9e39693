#include <platform/TextConversion.h>

#include <platform/ShiftJisText.h>

#include <QStringEncoder>
#include <algorithm>
#include <cstdint>

namespace nimbolt {

std::string shiftJisToUtf8(std::string_view shiftJis)
{
    QByteArray utf8 = ShiftJisText::decode(shiftJis.data(), static_cast<int32_t>(shiftJis.size())).toUtf8();
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}

bool isValidUtf8(std::string_view bytes)
{
    size_t i = 0;
    while (i < bytes.size()) {
        auto byte = static_cast<uint8_t>(bytes[i]);
        int32_t length;
        uint32_t code;
        if (byte < 0x80) {
            ++i;
            continue;
        }
        if (byte >= 0xC2 && byte <= 0xDF) {
            length = 2;
            code = byte & 0x1F;
        } else if (byte >= 0xE0 && byte <= 0xEF) {
            length = 3;
            code = byte & 0x0F;
        } else if (byte >= 0xF0 && byte <= 0xF4) {
            length = 4;
            code = byte & 0x07;
        } else {
            return false;
        }
        if (i + static_cast<size_t>(length) > bytes.size())
            return false;
        for (int32_t k = 1; k < length; ++k) {
            auto next = static_cast<uint8_t>(bytes[i + static_cast<size_t>(k)]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = code << 6 | (next & 0x3F);
        }
        if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF))
            || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += static_cast<size_t>(length);
    }
    return true;
}

std::string utf8ToShiftJis(std::string_view utf8, bool& lost)
{
    // Characters below 0x80 are the same bytes in both. A text of nothing else (most file names
    // and documents) is taken as it is, without loading the system's converter and its tables.
    if (std::all_of(utf8.begin(), utf8.end(), [](char byte) { return static_cast<uint8_t>(byte) < 0x80; }))
        return std::string(utf8);
    QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    QStringEncoder encoder("CP932", QStringEncoder::Flag::Stateless);
    QByteArray whole = encoder.encode(text);
    if (!encoder.hasError())
        return std::string(whole.constData(), static_cast<size_t>(whole.size()));
    // Some character has no Shift-JIS form: go character by character to mark each one.
    std::string out;
    out.reserve(utf8.size());
    for (qsizetype i = 0; i < text.size();) {
        qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QStringView character = QStringView(text).mid(i, length);
        i += length;
        if (character.size() == 1 && character[0].unicode() < 0x80) {
            out += static_cast<char>(character[0].unicode());
            continue;
        }
        // A fresh encoder each time: an encoder keeps its error flag through resetState.
        QStringEncoder single("CP932", QStringEncoder::Flag::Stateless);
        QByteArray bytes = single.encode(character);
        if (single.hasError() || bytes.isEmpty()) {
            out += '?';
            lost = true;
            continue;
        }
        out.append(bytes.constData(), static_cast<size_t>(bytes.size()));
    }
    return out;
}

}
