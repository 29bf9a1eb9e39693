#include <document/DocumentWarning.h>

#include <cstdio>
#include <set>

namespace nimbolt {

static void writeToStandardError(std::string_view text)
{
    std::fprintf(stderr, "nimbolt: warning: %.*s\n", static_cast<int>(text.size()), text.data());
}

static WarningSink s_sink = writeToStandardError;

void warnDocument(const std::string& text)
{
    static std::set<std::string> told;
    if (told.insert(text).second)
        s_sink(text);
}

void setWarningSink(WarningSink sink)
{
    s_sink = sink ? sink : writeToStandardError;
}

}
