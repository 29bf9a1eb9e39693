// Member tables dispatched by atom, and the adaptors that make a handler of a member function.
#include <support/CountingObject.h>

#include <script/runtime/MemberTable.h>

#include <gtest/gtest.h>

#include <vector>

namespace nimbolt::test {
namespace {

// What a handler was called with; the result it found on entry must be undefined.
struct HandlerCall {
    int32_t handler;
    ScriptObject* self;
    InvokeOp op;
    int32_t argc;
    ValueTag resultTagOnEntry;
};
std::vector<HandlerCall> s_calls;

// Answers 100 x Id + op with the status Id; handler 3 refuses assignments as read-only.
template<int32_t Id>
Status recordingHandler(ScriptObject* self, InvokeOp op, int32_t argc, const ScriptValue*, ScriptValue* result)
{
    s_calls.push_back({ Id, self, op, argc, result->tag });
    if (Id == 3 && op == InvokeOp::PutMember)
        return Status::ReadOnlyMember;
    *result = ScriptValue::integer(Id * 100 + static_cast<int32_t>(op));
    return Status { Id };
}

// alpha: 97+108+112+104+97 = 518 = 11 x 47 + 1, serial 1 -> 17.
// beta:  98+101+116+97 = 412 = 11 x 37 + 5, serial 2 -> 37.
constexpr Atom AlphaAtom = 17;
constexpr Atom BetaAtom = 37;

TEST(MemberTable, RowsAreInternedInOrderAndDispatchedByAtom)
{
    const MemberTableRow rows[] = {
        { "alpha", recordingHandler<1> },
        { "beta", recordingHandler<2> },
        { "alpha", recordingHandler<3> },
        { nullptr, nullptr },
    };
    AtomTable* atoms = AtomTable::create().leakRef();
    PropertyTable* members = buildMemberTable(*atoms, rows).leakRef();
    EXPECT_EQ(atoms->atomCount(), 2);
    EXPECT_EQ(members->entryCount(), 3) << "every row is defined, the repeated name too";

    ObjectLog log;
    CountingObject* self = CountingObject::create(log);
    const ScriptValue args[] = { ScriptValue::integer(1), ScriptValue::integer(2) };
    const struct {
        const char* name;
        Atom atom;
        InvokeOp op;
        int32_t argc;
        Status expected;
        int32_t handler; // 0: none called
        ScriptValue result;
    } dispatches[] = {
        { "later row of a repeated name wins", AlphaAtom, InvokeOp::GetMember, 0, Status { 3 }, 3, ScriptValue::integer(302) },
        { "call passes the arguments", AlphaAtom, InvokeOp::CallMember, 2, Status { 3 }, 3, ScriptValue::integer(303) },
        { "handler failure comes back unchanged", AlphaAtom, InvokeOp::PutMember, 1, Status::ReadOnlyMember, 3,
            UndefinedValue },
        { "another member", BetaAtom, InvokeOp::PutMember, 1, Status { 2 }, 2, ScriptValue::integer(201) },
        { "names differ in case", atoms->intern("Alpha"), InvokeOp::GetMember, 0, Status::NotAMember, 0, UndefinedValue },
        { "atom 0", 0, InvokeOp::GetMember, 0, Status::NotAMember, 0, UndefinedValue },
        { "serial never made", AlphaAtom + 16, InvokeOp::GetMember, 0, Status::NotAMember, 0, UndefinedValue },
        { "StoreItem is no member op", AlphaAtom, InvokeOp::StoreItem, 0, Status::SomeError, 0, ScriptValue::real(4.0) },
        { "Apply is no member op", AlphaAtom, InvokeOp::Apply, 0, Status::SomeError, 0, ScriptValue::real(4.0) },
        { "Construct is no member op", AlphaAtom, InvokeOp::Construct, 0, Status::SomeError, 0, ScriptValue::real(4.0) },
    };
    for (const auto& row : dispatches) {
        SCOPED_TRACE(row.name);
        s_calls.clear();
        ScriptValue result = ScriptValue::real(4.0);
        EXPECT_EQ(dispatchMember(*members, self, row.atom, row.op, row.argc, args, &result), row.expected);
        EXPECT_TRUE(result.tag == row.result.tag && result.payload.bits == row.result.payload.bits);
        if (!row.handler) {
            EXPECT_TRUE(s_calls.empty());
            continue;
        }
        ASSERT_EQ(s_calls.size(), 1u);
        const HandlerCall& call = s_calls.front();
        EXPECT_EQ(call.handler, row.handler);
        EXPECT_TRUE(call.self == self && call.op == row.op && call.argc == row.argc);
        EXPECT_EQ(call.resultTagOnEntry, ValueTag::Undefined);
    }
    members->release();
    atoms->release();
    EXPECT_EQ(self->release(), 0) << "dispatch lends self and takes no reference on it";
}

class Gauge : public ScriptObject {
public:
    Status invoke(Atom, InvokeOp, int32_t, const ScriptValue*, ScriptValue*) override { return Status::Failed; }
    Status add(int32_t argc, const ScriptValue* args, ScriptValue* result)
    {
        m_level += valueToInteger(args[0]) + (argc > 1 ? valueToInteger(args[1]) : 0);
        *result = ScriptValue::integer(m_level);
        return Status::Ok;
    }
    Status level(ScriptValue* result)
    {
        *result = ScriptValue::integer(m_level);
        return Status::Ok;
    }
    Status setLevel(const ScriptValue& value, ScriptValue*)
    {
        m_level = valueToInteger(value);
        return Status::Ok;
    }
    int32_t m_level { 0 };
};

class OtherObject : public ScriptObject {
public:
    Status invoke(Atom, InvokeOp, int32_t, const ScriptValue*, ScriptValue*) override { return Status::Failed; }
};

TEST(MemberTable, AdaptorsCheckOpsArgumentsAndClass)
{
    Gauge gauge;
    OtherObject other;
    MemberHandler add = method<&Gauge::add, 1>;
    MemberHandler level = getter<&Gauge::level>;
    MemberHandler fixedLevel = getter<&Gauge::level, PutRule::ReadOnly>;
    MemberHandler settable = property<&Gauge::level, &Gauge::setLevel>;
    ScriptValue args[] = { ScriptValue::integer(5), ScriptValue::integer(2) };
    ScriptValue result = ScriptValue::integer(99);

    EXPECT_EQ(add(&gauge, InvokeOp::CallMember, 2, args, &result), Status::Ok);
    EXPECT_EQ(result.payload.integer, 7);
    result = ScriptValue::integer(99);
    EXPECT_EQ(add(&gauge, InvokeOp::CallMember, 0, args, &result), Status::Ok) << "too few arguments";
    EXPECT_EQ(result.tag, ValueTag::Undefined);
    EXPECT_EQ(add(&gauge, InvokeOp::GetMember, 2, args, &result), Status::SomeError);
    EXPECT_EQ(add(&other, InvokeOp::CallMember, 2, args, &result), Status::SomeError) << "wrong class";
    EXPECT_EQ(gauge.m_level, 7) << "only the first call ran";

    EXPECT_EQ(level(&gauge, InvokeOp::GetMember, 0, nullptr, &result), Status::Ok);
    EXPECT_EQ(result.payload.integer, 7);
    EXPECT_EQ(level(&gauge, InvokeOp::PutMember, 1, args, &result), Status::SomeError);
    EXPECT_EQ(result.tag, ValueTag::Undefined);
    EXPECT_EQ(level(&other, InvokeOp::GetMember, 0, nullptr, &result), Status::SomeError);
    EXPECT_EQ(fixedLevel(&gauge, InvokeOp::PutMember, 1, args, &result), Status::ReadOnlyMember);
    EXPECT_EQ(fixedLevel(&gauge, InvokeOp::CallMember, 0, nullptr, &result), Status::SomeError);

    EXPECT_EQ(settable(&gauge, InvokeOp::PutMember, 1, args + 1, &result), Status::Ok);
    EXPECT_EQ(gauge.m_level, 2);
    EXPECT_EQ(settable(&gauge, InvokeOp::PutMember, 0, args, &result), Status::Ok) << "no value, no change";
    EXPECT_EQ(gauge.m_level, 2);
    EXPECT_EQ(settable(&gauge, InvokeOp::GetMember, 0, nullptr, &result), Status::Ok);
    EXPECT_EQ(result.payload.integer, 2);
    EXPECT_EQ(settable(&gauge, InvokeOp::CallMember, 1, args, &result), Status::SomeError);
    EXPECT_EQ(settable(&other, InvokeOp::GetMember, 0, nullptr, &result), Status::SomeError);
}

}
}
