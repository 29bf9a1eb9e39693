// The tree-walking interpreter over the code tree: evaluate computes an expression, execute
// runs a statement and reports how it completed, runProgram runs a whole parsed program.
//
// Status convention: 0 (or a completion code for statements) is success; -1 is a failure whose
// Error value, when there is one, is in the result slot; other negative statuses (-1000 from a
// host refusing an op, say) travel up unchanged and the program runner reports them as
// "some error". Result slots are passed empty and receive owned values.
#pragma once

#include <script/language/CodeNode.h>
#include <script/language/ScriptEngine.h>

#include <climits>

// The evaluator's small hot helpers are inlined into their callers in optimised builds.
// Unoptimised builds and builds with address checking keep them as calls: there every inlined
// copy would keep (guarded) stack slots of its own, and the native frame of each level of script
// nesting would grow several times over.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NIMBOLT_ADDRESS_CHECKS 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define NIMBOLT_ADDRESS_CHECKS 1
#endif
#if defined(__OPTIMIZE__) && !defined(NIMBOLT_ADDRESS_CHECKS)
#define NIMBOLT_HOT_INLINE [[gnu::always_inline]] inline
#else
#define NIMBOLT_HOT_INLINE inline
#endif

namespace nimbolt {

// How a statement ended, carried as a non-negative status; failures are negative statuses.
enum class Completion : int32_t {
    Normal = 0,
    Break = 1,
    Continue = 2,
    Return = 3,
};

constexpr Status toStatus(Completion completion) { return Status(static_cast<int32_t>(completion)); }
constexpr bool isCompletion(Status status, Completion completion)
{
    return status.code() == static_cast<int32_t>(completion);
}

// The general routine of an expression node: the stack check, the node's work by its kind and
// the status finished at its line.
Status evaluateComposite(ScriptEngine& engine, const CodeNode* node, ScriptValue* result);

// Runs the routine the node carries (chosen at its first run, see CodeNode).
NIMBOLT_HOT_INLINE Status evaluate(ScriptEngine& engine, const CodeNode* node, ScriptValue* result)
{
    return node->evaluation(engine, node, result);
}
// The object and member a target designates; object receives a reference of its own.
Status resolveTarget(ScriptEngine& engine, const CodeNode* node, RefPtr<ScriptObject>& object, Atom& atom,
    ScriptValue* scratch);
Status assignTo(ScriptEngine& engine, const CodeNode* target, const ScriptValue& value, ScriptValue* result);
// A call, item read or construction whose arguments are already on the value stack.
Status applyCall(ScriptEngine& engine, const CodeNode* node, int32_t argc, const ScriptValue* args,
    ScriptValue* result);
// Consumes both operands. -1 when the operator has no meaning for strings; -1000 for an integer
// division by zero and its kin.
Status applyOperator(int32_t kind, ScriptValue& left, ScriptValue& right, ScriptValue* result);

NIMBOLT_HOT_INLINE Status execute(ScriptEngine& engine, const CodeNode* statement, ScriptValue* result)
{
    return statement->execution(engine, statement, result);
}
// Runs the statements of a list until one does not complete normally, and returns its code.
NIMBOLT_HOT_INLINE Status runList(ScriptEngine& engine, const CodeNode* first, ScriptValue* result)
{
    for (const CodeNode* statement = first; statement; statement = statement->next) {
        releaseValue(*result);
        *result = UndefinedValue;
        Status code = execute(engine, statement, result);
        if (!isCompletion(code, Completion::Normal))
            return code;
    }
    return toStatus(Completion::Normal);
}
// A script function's call: a new scope with the parameters bound to the arguments (missing ones
// undefined), a frame with this (the engine when null), the body. Returns the body's status when
// negative, otherwise 0; the body's value is in the result. The engine is running (an EngineRun
// is open). Inlined into the call of a plain name, the hottest path of recursive scripts.
NIMBOLT_HOT_INLINE Status runCall(ScriptEngine& engine, const CodeNode& definition, ScriptObject* self, int32_t argc,
    const ScriptValue* args, ScriptValue* result)
{
    NIMBOLT_ASSERT(engine.running());
    // The first parameter, bound to the first argument, opens the call's scope; a function
    // without parameters opens it with a scope marker.
    const CodeNode* parameter = definition.second;
    BindingScope scope = parameter ? BindingScope(engine, parameter->atom(), argc > 0 ? args[0] : UndefinedValue)
                                   : BindingScope(engine);
    if (!scope.status().ok())
        return scope.status();
    *result = UndefinedValue;
    PropertyTable& scopes = engine.scopeTable();
    int32_t index = 1;
    for (parameter = parameter ? parameter->next : nullptr; parameter; parameter = parameter->next, ++index) {
        if (Status status = scopes.define(parameter->atom(), index < argc ? args[index] : UndefinedValue);
            !status.ok())
            return status;
    }
    CallFrame frame(engine, argc, self);
    if (!frame.status().ok())
        return frame.status();
    Status status;
    {
        OriginScope origin(engine, definition.origin);
        status = runList(engine, definition.third, result);
    }
    if (result->tag == ValueTag::Error && result->payload.error)
        result->payload.error->markOrigin(definition.origin);
    return status.ok() ? Status::Ok : status;
}

// Runs a program on the engine and consumes its tree: 0, or -1 with an Error value in the result.
Status runProgram(ScriptEngine& engine, ScriptObject* self, OwnedCodeTree program, ScriptValue* result);

// The arithmetic of script integers: 32 bits that wrap around.
inline int32_t wrapAdd(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b)); }
inline int32_t wrapSub(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b)); }
inline int32_t wrapMul(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b)); }

// The infix operators on two integers (kind is the operator's token): arithmetic wraps in 32
// bits, comparisons give 0 or 1; false for a division that would trap. Inlined: it is the whole
// work of most operator nodes.
NIMBOLT_HOT_INLINE bool integerOperation(int32_t kind, int32_t a, int32_t b, int32_t& out)
{
    switch (kind) {
    case '+':
        out = wrapAdd(a, b);
        return true;
    case '-':
        out = wrapSub(a, b);
        return true;
    case '*':
        out = wrapMul(a, b);
        return true;
    case '/':
        if (b == 0 || (a == INT32_MIN && b == -1))
            return false;
        out = a / b;
        return true;
    case '%':
        if (b == 0 || (a == INT32_MIN && b == -1))
            return false;
        out = a % b;
        return true;
    case '&':
        out = a & b;
        return true;
    case '|':
        out = a | b;
        return true;
    case '^':
        out = a ^ b;
        return true;
    case TokenKind::ShiftLeft:
        out = static_cast<int32_t>(static_cast<uint32_t>(a) << (b & 31));
        return true;
    case TokenKind::ShiftRight:
        out = a >> (b & 31);
        return true;
    case TokenKind::UnsignedShiftRight:
        out = static_cast<int32_t>(static_cast<uint32_t>(a) >> (b & 31));
        return true;
    case '<':
        out = a < b;
        return true;
    case '>':
        out = a > b;
        return true;
    case TokenKind::LessOrEqual:
        out = a <= b;
        return true;
    case TokenKind::GreaterOrEqual:
        out = a >= b;
        return true;
    case TokenKind::Equals:
        out = a == b;
        return true;
    case TokenKind::NotEquals:
        out = a != b;
        return true;
    default:
        return false;
    }
}

// A number literal or a plain name: reading it has no effect and cannot fail.
inline bool isLeaf(const CodeNode* node)
{
    return node->kind() == TokenKind::Identifier || node->kind() == TokenKind::IntegerLiteral
        || node->kind() == TokenKind::RealLiteral;
}

// A leaf's value, lent without a reference.
NIMBOLT_HOT_INLINE const ScriptValue& leafValue(ScriptEngine& engine, const CodeNode* leaf)
{
    if (leaf->kind() != TokenKind::Identifier)
        return leaf->token;
    const ScriptValue* stored = engine.findVariable(leaf->atom());
    return stored ? *stored : UndefinedValue;
}

// Completes an infix node (kind, or a compound assignment's plain operator) whose operands are
// evaluated but are not two integers: left and the right operand in the result are consumed and
// the result receives the outcome, or an Error at the node's line.
Status combineOperands(const CodeNode* node, int32_t kind, ScriptValue& left, ScriptValue* result);

// Replaces the result with a new Error value for code at line; returns -1.
Status raiseError(ScriptValue* result, int32_t line, Status code);
// The "some error" at line 0 of a run that failed without an error of its own, with what the
// engine's failure note says about it; null when memory runs out.
RefPtr<ErrorObject> makeNotedError(ScriptEngine& engine);

}
