// The native global functions every engine has from its creation: Echo, the trace aid that
// writes its arguments to standard output.
#pragma once

#include <script/language/ScriptEngine.h>

#include <cstdio>

namespace nimbolt {

// Writes each argument: a real as "%f ", a string as "%s " (at most 1023 bytes), anything else
// as "%d " of the low 32 bits of its payload. No line feed. Result Integer 0.
Status echoFunction(ScriptObject* self, int32_t argc, const ScriptValue* args, ScriptValue* result);

// Where Echo writes; standard output unless a host or test redirects it.
void setEchoOutput(std::FILE* output);

// Binds the native functions as the engine's first bindings.
Status installNatives(ScriptEngine& engine);

}
