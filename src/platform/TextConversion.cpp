#include <platform/TextConversion.h>

#include <platform/ShiftJisText.h>

namespace nimbolt {

std::string shiftJisToUtf8(std::string_view shiftJis)
{
    QByteArray utf8 = ShiftJisText::decode(shiftJis.data(), static_cast<int32_t>(shiftJis.size())).toUtf8();
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}

}
