#include <elements/AttributeReaders.h>

#include <imaging/ColorText.h>
#include <script/runtime/ScriptValue.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace nimbolt {

// Integers, colours and the short texts all fit in 255 bytes.
static constexpr int32_t ValueCapacity = 256;

Status readAttributeText(const ScriptArray& attributes, const char* name, char* buffer, int32_t capacity)
{
    if (!name)
        return Status::Failed;
    ScriptValue value = UndefinedValue;
    NIMBOLT_TRY(attributes.getItem(std::string_view(name), value));
    if (buffer && capacity > 0)
        valueText(value, buffer, capacity);
    releaseValue(value);
    return Status::Ok;
}

Status readAttributeInt(const ScriptArray& attributes, const char* name, int32_t& result)
{
    char text[ValueCapacity];
    NIMBOLT_TRY(readAttributeText(attributes, name, text, sizeof text));
    result = static_cast<int32_t>(std::clamp<long>(std::strtol(text, nullptr, 0), INT32_MIN, INT32_MAX));
    return Status::Ok;
}

Status readAttributeColor(const ScriptArray& attributes, const char* name, Color& result)
{
    char text[ValueCapacity];
    NIMBOLT_TRY(readAttributeText(attributes, name, text, sizeof text));
    result = parseColor(text, static_cast<int32_t>(std::strlen(text)));
    return Status::Ok;
}

}
