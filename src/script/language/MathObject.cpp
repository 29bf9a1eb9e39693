#include <script/language/MathObject.h>

#include <script/runtime/MemberTable.h>
#include <script/runtime/ScriptValue.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <new>

namespace nimbolt {

static uint32_t s_randomState = 1;

void seedRandom(uint32_t seed) { s_randomState = seed; }

int32_t nextRandom()
{
    s_randomState = s_randomState * 214013u + 2531011u;
    return static_cast<int32_t>((s_randomState >> 16) & 0x7FFF);
}

using RealFunction = double (*)(double);

template<RealFunction function>
static Status unaryMember(ScriptObject*, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    if (op != InvokeOp::CallMember)
        return Status::SomeError;
    *result = argc >= 1 ? ScriptValue::real(function(valueToReal(args[0]))) : UndefinedValue;
    return Status::Ok;
}

static double realAcos(double x) { return std::acos(x); }
static double realAsin(double x) { return std::asin(x); }
static double realAtan(double x) { return std::atan(x); }
static double realCeil(double x) { return std::ceil(x); }
static double realCos(double x) { return std::cos(x); }
static double realExp(double x) { return std::exp(x); }
static double realFloor(double x) { return std::floor(x); }
static double realLog(double x) { return std::log(x); }
static double realSin(double x) { return std::sin(x); }
static double realSqrt(double x) { return std::sqrt(x); }
static double realTan(double x) { return std::tan(x); }

static Status absMember(ScriptObject*, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    if (op != InvokeOp::CallMember)
        return Status::SomeError;
    if (argc < 1) {
        *result = UndefinedValue;
    } else if (args[0].tag == ValueTag::Real) {
        *result = ScriptValue::real(std::fabs(args[0].payload.real));
    } else {
        int32_t value = valueToInteger(args[0]);
        // abs of the smallest integer wraps to itself, as the C library's does on this machine.
        *result = ScriptValue::integer(value < 0 ? static_cast<int32_t>(0u - static_cast<uint32_t>(value)) : value);
    }
    return Status::Ok;
}

template<double (*function)(double, double)>
static Status binaryMember(ScriptObject*, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    if (op != InvokeOp::CallMember)
        return Status::SomeError;
    *result = argc >= 2 ? ScriptValue::real(function(valueToReal(args[0]), valueToReal(args[1]))) : UndefinedValue;
    return Status::Ok;
}

static double realAtan2(double y, double x) { return std::atan2(y, x); }
static double realPow(double x, double y) { return std::pow(x, y); }

static Status maxMember(ScriptObject*, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    if (op != InvokeOp::CallMember)
        return Status::SomeError;
    if (argc < 2) {
        *result = UndefinedValue;
    } else if (args[0].tag == ValueTag::Real || args[1].tag == ValueTag::Real) {
        double a = valueToReal(args[0]);
        double b = valueToReal(args[1]);
        *result = ScriptValue::real(b < a ? a : b);
    } else {
        int32_t a = valueToInteger(args[0]);
        int32_t b = valueToInteger(args[1]);
        *result = ScriptValue::integer(b < a ? a : b);
    }
    return Status::Ok;
}

static Status minMember(ScriptObject*, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    if (op != InvokeOp::CallMember)
        return Status::SomeError;
    if (argc < 2) {
        *result = UndefinedValue;
    } else if (args[0].tag == ValueTag::Real || args[1].tag == ValueTag::Real) {
        double a = valueToReal(args[0]);
        double b = valueToReal(args[1]);
        *result = ScriptValue::real(b <= a ? b : a);
    } else {
        int32_t a = valueToInteger(args[0]);
        int32_t b = valueToInteger(args[1]);
        *result = ScriptValue::integer(a < b ? a : b);
    }
    return Status::Ok;
}

static Status randomMember(ScriptObject*, InvokeOp op, int32_t, const ScriptValue*, ScriptValue* result)
{
    if (op != InvokeOp::CallMember)
        return Status::SomeError;
    *result = ScriptValue::real(nextRandom() * (1.0 / 32767));
    return Status::Ok;
}

static const MemberTableRow mathMembers[] = {
    { "abs", absMember },
    { "acos", unaryMember<realAcos> },
    { "asin", unaryMember<realAsin> },
    { "atan", unaryMember<realAtan> },
    { "atan2", binaryMember<realAtan2> },
    { "ceil", unaryMember<realCeil> },
    { "cos", unaryMember<realCos> },
    { "exp", unaryMember<realExp> },
    { "floor", unaryMember<realFloor> },
    { "log", unaryMember<realLog> },
    { "max", maxMember },
    { "min", minMember },
    { "pow", binaryMember<realPow> },
    { "random", randomMember },
    { "sin", unaryMember<realSin> },
    { "sqrt", unaryMember<realSqrt> },
    { "tan", unaryMember<realTan> },
    { nullptr, nullptr },
};

MathObject::MathObject(AtomTable& atoms, PropertyTable& members)
    : m_atoms(atoms)
    , m_members(members)
{
}

RefPtr<ScriptObject> createMathGlobal(AtomTable& atoms)
{
    RefPtr<PropertyTable> members = buildMemberTable(atoms, mathMembers);
    if (!members)
        return nullptr;
    seedRandom(static_cast<uint32_t>(std::time(nullptr)));
    return adoptRef(new (std::nothrow) MathObject(atoms, *members));
}

Status MathObject::invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    switch (op) {
    case InvokeOp::PutMember:
    case InvokeOp::GetMember:
    case InvokeOp::CallMember:
        return dispatchMember(*m_members, this, atom, op, argc, args, result);
    case InvokeOp::Construct: {
        RefPtr<MathObject> math = adoptRef(new (std::nothrow) MathObject(*m_atoms, *m_members));
        if (!math)
            return Status::Failed;
        *result = ScriptValue::object(math.releaseNonNull());
        return Status::Ok;
    }
    default:
        return Status::SomeError;
    }
}

}
