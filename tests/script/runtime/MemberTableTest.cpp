// Member tables: rows interned into a member PropertyTable and dispatched by atom. The atoms
// are worked out by hand for a fresh atom table.
#include <support/CountingObject.h>

#include <script/runtime/MemberTable.h>

#include <gtest/gtest.h>

#include <vector>

namespace nimbolt::test {
namespace {

struct HandlerCall {
    int32_t handler;
    ScriptObject* self;
    InvokeOp op;
    int32_t argc;
    const ScriptValue* args;
    ValueTag resultTagOnEntry;
};
std::vector<HandlerCall> s_calls;

template<int32_t Id>
Status recordingHandler(ScriptObject* self, InvokeOp op, int32_t argc, const ScriptValue* args,
    ScriptValue* result)
{
    s_calls.push_back({ Id, self, op, argc, args, result->tag });
    if (Id == 3 && op == InvokeOp::PutMember)
        return Status::ReadOnlyMember;
    *result = ScriptValue::integer(Id * 100 + static_cast<int32_t>(op));
    return Status { Id };
}

Status silentHandler(ScriptObject*, InvokeOp, int32_t, const ScriptValue*, ScriptValue*)
{
    return Status::Ok;
}

// alpha: 97+108+112+104+97 = 518 = 11 x 47 + 1, serial 1 -> 17.
// beta:  98+101+116+97 = 412 = 11 x 37 + 5, serial 2 -> 37.
// quiet: 113+117+105+101+116 = 552 = 11 x 50 + 2, serial 3 -> 50.
constexpr Atom AlphaAtom = 17;
constexpr Atom BetaAtom = 37;
constexpr Atom QuietAtom = 50;

const MemberTableRow TestRows[] = {
    { "alpha", recordingHandler<1> },
    { "beta", recordingHandler<2> },
    { "quiet", silentHandler },
    { "alpha", recordingHandler<3> },
    { nullptr, nullptr },
};

class MemberTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        s_calls.clear();
        m_atoms = AtomTable::create();
        m_self = CountingObject::create(m_log);
        m_members = buildMemberTable(*m_atoms, TestRows);
        ASSERT_NE(m_members, nullptr);
    }
    void TearDown() override
    {
        m_members->release();
        m_atoms->release();
        // Dispatch lends self to the handler and takes no reference on it.
        EXPECT_EQ(m_self->release(), 0);
    }

    AtomTable* m_atoms { nullptr };
    PropertyTable* m_members { nullptr };
    ObjectLog m_log;
    CountingObject* m_self { nullptr };
    ScriptObject* self() { return m_self; }
};

TEST_F(MemberTableTest, RowsAreInternedInOrder)
{
    EXPECT_EQ(m_members->refCount(), 1);
    EXPECT_EQ(m_atoms->atomCount(), 3);
    EXPECT_EQ(m_atoms->intern("alpha"), AlphaAtom);
    EXPECT_EQ(m_atoms->intern("beta"), BetaAtom);
    EXPECT_EQ(m_atoms->intern("quiet"), QuietAtom);
    // Every row is defined, the repeated name too.
    EXPECT_EQ(m_members->entryCount(), 4);
}

TEST_F(MemberTableTest, DispatchCallsTheHandlerOfTheAtom)
{
    const ScriptValue args[] = { ScriptValue::integer(1), ScriptValue::integer(2) };
    struct Row {
        const char* name;
        Atom atom;
        InvokeOp op;
        int32_t argc;
        Status expected;
        int32_t handler;
        int32_t resultInteger;
    };
    const Row rows[] = {
        { "later row of a repeated name wins", AlphaAtom, InvokeOp::GetMember, 0, Status { 3 }, 3, 302 },
        { "call passes the arguments", AlphaAtom, InvokeOp::CallMember, 2, Status { 3 }, 3, 303 },
        { "handler failure comes back unchanged", AlphaAtom, InvokeOp::PutMember, 1, Status::ReadOnlyMember,
            3, -1 },
        { "another member", BetaAtom, InvokeOp::PutMember, 1, Status { 2 }, 2, 201 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        s_calls.clear();
        ScriptValue result = ScriptValue::real(4.0);
        Status status = dispatchMember(*m_members, self(), row.atom, row.op, row.argc, args, &result);
        EXPECT_EQ(status, row.expected);
        ASSERT_EQ(s_calls.size(), 1u);
        const HandlerCall& call = s_calls.front();
        EXPECT_EQ(call.handler, row.handler);
        EXPECT_EQ(call.self, self());
        EXPECT_EQ(call.op, row.op);
        EXPECT_EQ(call.argc, row.argc);
        EXPECT_EQ(call.args, args);
        // The handler starts from an undefined result, never from the table's handler value.
        EXPECT_EQ(call.resultTagOnEntry, ValueTag::Undefined);
        if (row.resultInteger >= 0) {
            EXPECT_EQ(result.tag, ValueTag::Integer);
            EXPECT_EQ(result.payload.integer, row.resultInteger);
        }
    }

    ScriptValue result = ScriptValue::real(4.0);
    Status status = dispatchMember(*m_members, self(), QuietAtom, InvokeOp::GetMember, 0, nullptr, &result);
    EXPECT_EQ(status, Status::Ok);
    EXPECT_EQ(result.tag, ValueTag::Undefined);
}

TEST_F(MemberTableTest, AbsentMembersAndUnservedOps)
{
    const Atom gamma = m_atoms->intern("gamma");
    const Atom capitalAlpha = m_atoms->intern("Alpha");
    for (Atom atom : { gamma, capitalAlpha, 0, AlphaAtom + 16 }) {
        for (InvokeOp op : { InvokeOp::PutMember, InvokeOp::GetMember, InvokeOp::CallMember }) {
            SCOPED_TRACE(atom);
            ScriptValue result = ScriptValue::integer(5);
            EXPECT_EQ(dispatchMember(*m_members, self(), atom, op, 0, nullptr, &result), Status::NotAMember);
            EXPECT_NE(result.tag, ValueTag::MemberHandler);
        }
    }
    for (InvokeOp op : { InvokeOp::StoreItem, InvokeOp::Apply, InvokeOp::Construct }) {
        SCOPED_TRACE(static_cast<int>(op));
        ScriptValue result = ScriptValue::integer(5);
        EXPECT_EQ(dispatchMember(*m_members, self(), AlphaAtom, op, 0, nullptr, &result), Status::SomeError);
        EXPECT_EQ(result.tag, ValueTag::Integer);
        EXPECT_EQ(result.payload.integer, 5);
    }
    EXPECT_TRUE(s_calls.empty());
}

TEST(MemberTableBuildTest, EmptyRowsGiveAnEmptyTable)
{
    AtomTable* atoms = AtomTable::create();
    const MemberTableRow rows[] = { { nullptr, nullptr } };
    PropertyTable* members = buildMemberTable(*atoms, rows);
    ASSERT_NE(members, nullptr);
    EXPECT_EQ(members->entryCount(), 0);
    EXPECT_EQ(atoms->atomCount(), 0);
    members->release();
    atoms->release();
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
    EXPECT_EQ(gauge.m_level, 7) << "the method did not run";
    EXPECT_EQ(add(&gauge, InvokeOp::GetMember, 2, args, &result), Status::SomeError);
    EXPECT_EQ(add(&other, InvokeOp::CallMember, 2, args, &result), Status::SomeError) << "wrong class";
    EXPECT_EQ(gauge.m_level, 7);

    EXPECT_EQ(level(&gauge, InvokeOp::GetMember, 0, nullptr, &result), Status::Ok);
    EXPECT_EQ(result.payload.integer, 7);
    EXPECT_EQ(level(&gauge, InvokeOp::PutMember, 1, args, &result), Status::SomeError);
    EXPECT_EQ(result.tag, ValueTag::Undefined);
    EXPECT_EQ(fixedLevel(&gauge, InvokeOp::PutMember, 1, args, &result), Status::ReadOnlyMember);
    EXPECT_EQ(fixedLevel(&gauge, InvokeOp::CallMember, 0, nullptr, &result), Status::SomeError);

    EXPECT_EQ(settable(&gauge, InvokeOp::PutMember, 1, args + 1, &result), Status::Ok);
    EXPECT_EQ(gauge.m_level, 2);
    EXPECT_EQ(settable(&gauge, InvokeOp::PutMember, 0, args, &result), Status::Ok) << "no value, no change";
    EXPECT_EQ(gauge.m_level, 2);
    EXPECT_EQ(settable(&gauge, InvokeOp::CallMember, 1, args, &result), Status::SomeError);
    EXPECT_EQ(settable(&other, InvokeOp::GetMember, 0, nullptr, &result), Status::SomeError);
}

}
}
