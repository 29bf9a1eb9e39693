// Takes the diagnostic traces written while it lives, instead of standard output.
#pragma once

#include <base/Trace.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace nimbolt::test {

class TraceCapture {
public:
    TraceCapture() { setTraceSink(append, this); }
    ~TraceCapture() { resetTraceSink(); }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    const std::string& text() const { return m_text; }
    // How many traces begin with the prefix.
    size_t count(std::string_view prefix) const
    {
        size_t found = 0;
        for (size_t at = 0; (at = m_text.find(prefix, at)) != std::string::npos; at += prefix.size())
            ++found;
        return found;
    }

private:
    static void append(std::string_view text, void* context) { static_cast<TraceCapture*>(context)->m_text += text; }

    std::string m_text;
};

}
