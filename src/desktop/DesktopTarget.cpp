#include <desktop/DesktopTarget.h>

namespace nimbolt {

static bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

static bool isSchemeCharacter(char c)
{
    return isAsciiLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

DesktopTargetKind desktopTargetKind(std::string_view target)
{
    size_t colon = target.find(':');
    if (colon == std::string_view::npos || colon < 2 || !isAsciiLetter(target[0]))
        return DesktopTargetKind::FileName;
    for (size_t i = 1; i < colon; ++i) {
        if (!isSchemeCharacter(target[i]))
            return DesktopTargetKind::FileName;
    }
    return DesktopTargetKind::Address;
}

}
