// Readers of a markup node's attributes, kept in a ScriptArray whose items are named by attribute
// name (matched byte for byte). Each returns 0 when the attribute is present and -1 when it is
// absent, in which case the output is left exactly as it was, so a caller's default survives.
#pragma once

#include <platform/Color.h>
#include <script/runtime/ScriptArray.h>
#include <base/Status.h>

#include <cstdint>

namespace nimbolt {

// The attribute's value as text: at most capacity - 1 bytes and a terminating zero.
Status readAttributeText(const ScriptArray& attributes, const char* name, char* buffer, int32_t capacity);

// The attribute's text read as the C library's strtol with base 0 does it (leading blanks, a
// sign, 0x for hexadecimal, 0 for octal, stopping at the first character that does not fit; no
// digits give 0), saturated to the 32-bit range.
Status readAttributeInt(const ScriptArray& attributes, const char* name, int32_t& result);

// The attribute's text as a colour text; a text that is not one gives NoColor.
Status readAttributeColor(const ScriptArray& attributes, const char* name, Color& result);

}
