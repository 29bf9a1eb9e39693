// The readers of element attributes and colour texts on arbitrary input: each line "name=value"
// becomes an attribute; every name is then read as text, integer and colour, and every value is
// parsed as a colour text. Checks what must hold for any input.
#include "FuzzCheck.h"

#include <elements/AttributeReaders.h>
#include <imaging/ColorText.h>
#include <script/runtime/ScriptString.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

using namespace nimbolt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    RefPtr<ScriptArray> attributes = createArray(nullptr, nullptr);
    if (!attributes)
        return 0;
    std::vector<std::string> names;
    while (!input.empty()) {
        size_t end = input.find('\n');
        std::string_view line = input.substr(0, end);
        input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
        size_t equals = line.find('=');
        std::string name(line.substr(0, equals));
        std::string_view value = equals == std::string_view::npos ? std::string_view() : line.substr(equals + 1);
        Color color = parseColor(value.data(), static_cast<int32_t>(value.size()));
        fuzzCheck(color == NoColor || color <= 0xFFFFFF);
        RefPtr<ScriptString> text = createString(value);
        if (text)
            (void)attributes->appendItem(static_cast<int32_t>(name.size()), name.c_str(), makeStringValue(text.ptr()));
        names.push_back(std::move(name));
    }
    for (const std::string& name : names) {
        char small[4] = { 'x', 'x', 'x', 'x' };
        if (readAttributeText(*attributes, name.c_str(), small, sizeof small).ok())
            fuzzCheck(std::memchr(small, 0, sizeof small));
        int32_t number = 12345;
        (void)readAttributeInt(*attributes, name.c_str(), number);
        Color color = 1;
        if (readAttributeColor(*attributes, name.c_str(), color).ok())
            fuzzCheck(color == NoColor || color <= 0xFFFFFF);
    }
    return 0;
}
