// The one sink of diagnostic traces: the lines that documents, nodes and pictures write when they
// are released or destroyed. By default they go to standard output, in order with what scripts
// echo there; a program may turn them off and a test may take them.
#pragma once

#include <string_view>

namespace nimbolt {

// Receives each trace's bytes, the line end included.
using TraceSink = void (*)(std::string_view text, void* context);

// Writes text to the sink.
void writeTrace(std::string_view text);
// Formats as printf does (at most 1023 bytes; longer text is cut) and writes the result.
void traceFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Where traces go from now on: a null sink drops them.
void setTraceSink(TraceSink sink, void* context = nullptr);
// Standard output again.
void resetTraceSink();

}
