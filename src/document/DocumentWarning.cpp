#include <document/DocumentWarning.h>

#include <cstdio>
#include <set>

namespace nimbolt {

static void writeToStandardError(std::string_view text)
{
    std::fprintf(stderr, "nimbolt: warning: %.*s\n", static_cast<int>(text.size()), text.data());
}

static WarningSink s_sink = writeToStandardError;

// What was told about the document shown, and which document that is.
static std::set<std::string> s_told;
static std::string s_document;

void beginDocumentWarnings(const std::string& document)
{
    if (document == s_document)
        return;
    s_document = document;
    s_told.clear();
}

void warnDocument(const std::string& text)
{
    // A document full of mistakes says the first ones and that there are more.
    if (s_told.size() > MostWarnings)
        return;
    if (s_told.size() == MostWarnings) {
        s_told.insert(std::string());
        s_sink("more problems of this document are not told");
        return;
    }
    if (s_told.insert(text).second)
        s_sink(text);
}

void setWarningSink(WarningSink sink)
{
    s_sink = sink ? sink : writeToStandardError;
}

}
