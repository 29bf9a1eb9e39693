#include <script/runtime/ScriptString.h>

#include <base/Assert.h>
#include <script/runtime/AtomTable.h>
#include <script/runtime/MemoryBudget.h>
#include <script/runtime/PropertyTable.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace nimbolt {

static int32_t s_liveStrings = 0;
static RefPtr<PropertyTable> s_stringMembers;

int32_t ScriptString::liveCount() { return s_liveStrings; }
PropertyTable* ScriptString::sharedMemberTable() { return s_stringMembers.ptr(); }

static Status lengthMember(ScriptObject* self, InvokeOp op, int32_t, const ScriptValue*, ScriptValue* result)
{
    if (op != InvokeOp::GetMember)
        return Status::Failed;
    *result = ScriptValue::integer(static_cast<ScriptString*>(self)->length());
    return Status::Ok;
}

static Status charAtMember(ScriptObject* self, InvokeOp op, int32_t argc, const ScriptValue* args,
    ScriptValue* result)
{
    if (op != InvokeOp::CallMember)
        return Status::Failed;
    auto* string = static_cast<ScriptString*>(self);
    *result = UndefinedValue;
    if (argc < 1)
        return Status::Ok;
    int32_t index = valueToInteger(args[0]);
    if (index < 0 || index >= string->length())
        return Status::Ok;
    RefPtr<ScriptString> character = createString(string->bytes() + index, 1);
    if (!character)
        return Status::OutOfMemory;
    *result = makeStringValue(character.releaseNonNull());
    return Status::Ok;
}

// The shared table is built from the process-wide fixed atoms the first time a string exists.
static bool ensureMemberTable()
{
    if (s_stringMembers)
        return true;
    RefPtr<PropertyTable> table = PropertyTable::create();
    if (!table)
        return false;
    if (!table->define(fixedAtoms().length, ScriptValue::memberHandler(lengthMember)).ok()
        || !table->define(fixedAtoms().charAt, ScriptValue::memberHandler(charAtMember)).ok())
        return false;
    s_stringMembers = std::move(table);
    return true;
}

RefPtr<ScriptString> ScriptString::allocate(int32_t length)
{
    if (length < 0)
        length = 0;
    MemoryBudget* budget = MemoryBudget::current();
    if (!chargeBudget(budget, allocationSize(length)))
        return nullptr;
    void* memory = ::operator new(allocationSize(length), std::nothrow);
    if (!memory) {
        creditBudget(budget, allocationSize(length));
        return nullptr;
    }
    RefPtr<ScriptString> string = adoptRef(::new (memory) ScriptString(length, budget));
    ++s_liveStrings;
    if (!ensureMemberTable())
        return nullptr;
    return string;
}

ScriptString::~ScriptString()
{
    creditBudget(m_budget, allocationSize(m_length));
}

void ScriptString::operator delete(void* memory) { ::operator delete(memory); }

RefPtr<ScriptString> createString(const char* bytes, int32_t length)
{
    RefPtr<ScriptString> string = ScriptString::allocate(length);
    if (string && string->m_length > 0)
        std::memcpy(string->m_text, bytes, static_cast<size_t>(string->m_length));
    return string;
}

RefPtr<ScriptString> createStringBuffer(int32_t length, char** text)
{
    RefPtr<ScriptString> string = ScriptString::allocate(length);
    if (string)
        *text = string->m_text;
    return string;
}

int32_t ScriptString::release()
{
    int32_t count = --m_refCount;
    NIMBOLT_ASSERT(count >= 0);
    if (count == 0) {
        delete this;
        if (--s_liveStrings == 0)
            s_stringMembers.clear();
    }
    return count;
}

int32_t ScriptString::copyText(char* buffer, int32_t capacity) const
{
    if (capacity <= 0)
        return 0;
    int32_t count = m_length < capacity - 1 ? m_length : capacity - 1;
    if (count > 0)
        std::memcpy(buffer, m_text, static_cast<size_t>(count));
    buffer[count] = 0;
    return count;
}

Status ScriptString::invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    switch (op) {
    case InvokeOp::PutMember:
    case InvokeOp::GetMember:
    case InvokeOp::CallMember: {
        ScriptValue member;
        if (!s_stringMembers || !s_stringMembers->get(atom, member).ok()) {
            *result = UndefinedValue;
            return Status::Failed;
        }
        *result = UndefinedValue;
        return member.payload.handler(this, op, argc, args, result);
    }
    case InvokeOp::StoreItem:
    case InvokeOp::Apply:
    case InvokeOp::Construct:
        *result = UndefinedValue;
        return Status::Failed;
    }
    return Status::Ok;
}

}
