// An immutable, counted run of bytes: the payload of every String value. Lengths, indexes and
// comparisons are in bytes; the text is never interpreted. All strings share one member table
// (length, charAt) that exists exactly while at least one string is alive. A string made while
// an engine runs is charged to that engine's memory budget for its whole allocation.
#pragma once

#include <script/runtime/MemoryBudget.h>
#include <script/runtime/ScriptObject.h>
#include <script/runtime/ScriptValue.h>

#include <cstdint>
#include <string_view>
#include <utility>

namespace nimbolt {

class PropertyTable;

class ScriptString final : public ScriptObject {
public:
    int32_t length() const { return m_length; }
    // The text, or null for the empty string. Not zero-terminated.
    const char* bytes() const { return m_length > 0 ? m_text : nullptr; }
    std::string_view view() const { return { m_text, static_cast<size_t>(m_length) }; }

    // Copies min(length, capacity - 1) bytes followed by a zero; returns the bytes copied.
    int32_t copyText(char* buffer, int32_t capacity) const;

    int32_t release() override;
    Status invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result) override;

    // The number of strings alive in the process, and the shared member table (null when none).
    static int32_t liveCount();
    static PropertyTable* sharedMemberTable();

private:
    friend RefPtr<ScriptString> createString(const char*, int32_t);
    friend RefPtr<ScriptString> createStringBuffer(int32_t, char**);

    static RefPtr<ScriptString> allocate(int32_t length);
    static size_t allocationSize(int32_t length) { return sizeof(ScriptString) + static_cast<size_t>(length); }
    ScriptString(int32_t length, MemoryBudget* budget)
        : m_length(length)
        , m_budget(budget)
    {
    }
    ~ScriptString() override;
    static void operator delete(void* memory);

    int32_t m_length;
    // The budget charged for this string, or null.
    RefPtr<MemoryBudget> m_budget;
    char m_text[1];
};

// A new string with count 1 holding a copy of the bytes, or null when memory runs out. A negative
// length is taken as 0.
RefPtr<ScriptString> createString(const char* bytes, int32_t length);
inline RefPtr<ScriptString> createString(std::string_view text)
{
    return createString(text.data(), static_cast<int32_t>(text.size()));
}
// A new string of the given length whose bytes the caller fills through *text before anyone else
// sees it; null when memory runs out.
RefPtr<ScriptString> createStringBuffer(int32_t length, char** text);

// Wraps a string whose count the caller hands over.
inline ScriptValue makeStringValue(ScriptString* string)
{
    return { ValueTag::String, { .object = string } };
}
// The value takes over the holder's count.
inline ScriptValue makeStringValue(Ref<ScriptString> string) { return makeStringValue(string.leakRef()); }
inline ScriptString* stringOf(const ScriptValue& value) { return static_cast<ScriptString*>(value.payload.object); }
// Moves the reference out of a String value, leaving it undefined.
inline Ref<ScriptString> takeString(ScriptValue& value)
{
    NIMBOLT_ASSERT(value.tag == ValueTag::String);
    return adoptRef(*stringOf(std::exchange(value, UndefinedValue)));
}

}
