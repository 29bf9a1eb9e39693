#include <base/Trace.h>

#include <cstdarg>
#include <cstdio>

namespace nimbolt {

namespace {

void writeToStandardOutput(std::string_view text, void*)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

TraceSink s_sink = writeToStandardOutput;
void* s_context = nullptr;

}

void writeTrace(std::string_view text)
{
    if (s_sink)
        s_sink(text, s_context);
}

void traceFormat(const char* format, ...)
{
    if (!s_sink)
        return;
    char line[1024];
    va_list arguments;
    va_start(arguments, format);
    int length = std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    if (length < 0)
        return;
    writeTrace(std::string_view(line, static_cast<size_t>(length) < sizeof line ? static_cast<size_t>(length) : sizeof line - 1));
}

void setTraceSink(TraceSink sink, void* context)
{
    s_sink = sink;
    s_context = context;
}

void resetTraceSink()
{
    setTraceSink(writeToStandardOutput);
}

}
