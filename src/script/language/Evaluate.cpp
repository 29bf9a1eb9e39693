// Expression evaluation. Every variable and member is reached through invoke (plain names on
// the engine through its own name access); call arguments travel on the engine's value stack.
// Operators follow the language's own rules: every real is false, mixed number/string
// operations work on text, strings compare on their common prefix, integers wrap in 32 bits.
#include <script/language/ErrorObject.h>
#include <script/language/Interpreter.h>
#include <script/language/ScriptFunction.h>

#include <script/runtime/ScriptString.h>

#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>

namespace nimbolt {

Status raiseError(ScriptValue* result, int32_t line, Status code)
{
    releaseValue(*result);
    *result = errorValue(makeError(line, 0, code));
    return Status::Failed;
}

// Adds what the message leaves out to the error a value holds.
static void addDetail(ScriptValue& value, std::string detail)
{
    if (value.tag == ValueTag::Error && value.payload.error)
        value.payload.error->setDetail(std::move(detail));
}

static bool isReferenceTag(ValueTag tag)
{
    return tag == ValueTag::String || tag == ValueTag::Object || tag == ValueTag::Function;
}

// Takes a failed operand's Error value (if any) into the result.
static void moveInto(ScriptValue& from, ScriptValue* result)
{
    releaseValue(*result);
    *result = from;
    from = UndefinedValue;
}

static int32_t plainOperatorOf(int32_t kind)
{
    switch (kind) {
    case TokenKind::UnsignedShiftRightAssign:
        return TokenKind::UnsignedShiftRight;
    case TokenKind::ShiftLeftAssign:
        return TokenKind::ShiftLeft;
    case TokenKind::ShiftRightAssign:
        return TokenKind::ShiftRight;
    case TokenKind::AddAssign:
        return '+';
    case TokenKind::SubtractAssign:
        return '-';
    case TokenKind::ModuloAssign:
        return '%';
    case TokenKind::MultiplyAssign:
        return '*';
    case TokenKind::DivideAssign:
        return '/';
    case TokenKind::AndAssign:
        return '&';
    case TokenKind::OrAssign:
        return '|';
    case TokenKind::XorAssign:
        return '^';
    default:
        return kind;
    }
}

static Status realOperation(int32_t kind, double a, double b, ScriptValue* result)
{
    switch (kind) {
    case '+':
        *result = ScriptValue::real(a + b);
        return Status::Ok;
    case '-':
        *result = ScriptValue::real(a - b);
        return Status::Ok;
    case '*':
        *result = ScriptValue::real(a * b);
        return Status::Ok;
    case '/':
        *result = ScriptValue::real(a / b);
        return Status::Ok;
    case '%': {
        int32_t left = truncateReal(a);
        int32_t right = truncateReal(b);
        int32_t remainder;
        if (!integerOperation('%', left, right, remainder))
            return Status::SomeError;
        *result = ScriptValue::real(remainder);
        return Status::Ok;
    }
    case '&':
    case '|':
    case '^':
    case TokenKind::ShiftLeft:
    case TokenKind::ShiftRight:
    case TokenKind::UnsignedShiftRight: {
        int32_t value;
        integerOperation(kind, truncateReal(a), truncateReal(b), value);
        *result = ScriptValue::integer(value);
        return Status::Ok;
    }
    case '<':
        *result = ScriptValue::integer(a < b);
        return Status::Ok;
    case '>':
        *result = ScriptValue::integer(a > b);
        return Status::Ok;
    case TokenKind::LessOrEqual:
        *result = ScriptValue::integer(a <= b);
        return Status::Ok;
    case TokenKind::GreaterOrEqual:
        *result = ScriptValue::integer(a >= b);
        return Status::Ok;
    case TokenKind::Equals:
        *result = ScriptValue::integer(a == b);
        return Status::Ok;
    case TokenKind::NotEquals:
        *result = ScriptValue::integer(a != b);
        return Status::Ok;
    default:
        return Status::Failed;
    }
}

static Status stringOperation(int32_t kind, ScriptString* a, ScriptString* b, ScriptValue* result)
{
    if (kind == '+') {
        // A text longer than a length can count, or one that memory (or the engine's budget)
        // cannot hold, is an error of the operator, not a silent truncation.
        int64_t total = static_cast<int64_t>(a->length()) + b->length();
        if (total > INT32_MAX)
            return Status::SomeError;
        char* text;
        RefPtr<ScriptString> joined = createStringBuffer(static_cast<int32_t>(total), &text);
        if (!joined)
            return Status::OutOfMemory;
        if (a->length() > 0)
            std::memcpy(text, a->bytes(), static_cast<size_t>(a->length()));
        if (b->length() > 0)
            std::memcpy(text + a->length(), b->bytes(), static_cast<size_t>(b->length()));
        *result = makeStringValue(joined.releaseNonNull());
        return Status::Ok;
    }
    int32_t common = a->length() < b->length() ? a->length() : b->length();
    int difference = common > 0 ? std::memcmp(a->bytes(), b->bytes(), static_cast<size_t>(common)) : 0;
    int32_t truth;
    switch (kind) {
    case '<':
        truth = difference < 0;
        break;
    case '>':
        truth = difference > 0;
        break;
    case TokenKind::LessOrEqual:
        truth = difference <= 0;
        break;
    case TokenKind::GreaterOrEqual:
        truth = difference >= 0;
        break;
    case TokenKind::Equals:
        truth = difference == 0;
        break;
    case TokenKind::NotEquals:
        truth = difference != 0;
        break;
    default:
        return Status::Failed;
    }
    *result = ScriptValue::integer(truth);
    return Status::Ok;
}

Status applyOperator(int32_t kind, ScriptValue& left, ScriptValue& right, ScriptValue* result)
{
    kind = plainOperatorOf(kind);
    if (left.tag == ValueTag::Integer && right.tag == ValueTag::Integer) {
        int32_t value;
        if (!integerOperation(kind, left.payload.integer, right.payload.integer, value))
            return kind == '/' || kind == '%' ? Status::SomeError : Status::Failed;
        *result = ScriptValue::integer(value);
        return Status::Ok;
    }
    if (left.isNumber() && right.isNumber()) {
        double a = left.tag == ValueTag::Real ? left.payload.real : left.payload.integer;
        double b = right.tag == ValueTag::Real ? right.payload.real : right.payload.integer;
        return realOperation(kind, a, b, result);
    }
    Status status = toString(left);
    if (status.ok())
        status = toString(right);
    if (status.ok())
        status = stringOperation(kind, stringOf(left), stringOf(right), result);
    releaseValue(left);
    releaseValue(right);
    return status;
}

// Reports a failed operator: -1000 (a trapping division) as "some error", a text that could not
// be made as "out of memory", anything else as "not support operator", at the operator's line.
static Status operatorFailure(Status status, const CodeNode* node, ScriptValue* result)
{
    if (status != Status::SomeError && status != Status::OutOfMemory)
        status = Status::NotSupportOperator;
    return raiseError(result, node->line, status);
}

Status resolveTarget(ScriptEngine& engine, const CodeNode* node, RefPtr<ScriptObject>& object, Atom& atom,
    ScriptValue* scratch)
{
    object = nullptr;
    switch (node->kind()) {
    case '.': {
        NIMBOLT_TRY(evaluate(engine, node->first, scratch));
        if (!isReferenceTag(scratch->tag))
            return raiseError(scratch, node->first->line, Status::NotAnObject);
        object = takeObject(*scratch);
        atom = node->second->atom();
        return Status::Ok;
    }
    case TokenKind::Identifier:
        object = &engine;
        atom = node->atom();
        return Status::Ok;
    default:
        return raiseError(scratch, node->line, Status::InvalidLvalue);
    }
}

Status assignTo(ScriptEngine& engine, const CodeNode* target, const ScriptValue& value, ScriptValue* result)
{
    if (target->kind() == TokenKind::Identifier)
        return engine.putVariable(target->atom(), value, result);
    if (target->kind() == '[') {
        NIMBOLT_TRY(evaluate(engine, target->first, result));
        if (!isReferenceTag(result->tag))
            return raiseError(result, target->first->line, Status::NotAnObject);
        Ref<ScriptObject> object = takeObject(*result);
        ScriptValue index = UndefinedValue;
        Status status = evaluate(engine, target->second, &index);
        if (!status.ok()) {
            moveInto(index, result);
            return status;
        }
        ValueStackMark mark(engine);
        status = mark.pushMoved(index);
        releaseValue(index);
        if (status.ok())
            status = mark.push(value);
        if (status.ok())
            status = object->invoke(0, InvokeOp::StoreItem, 2, mark.values(), result);
        return status;
    }
    RefPtr<ScriptObject> object;
    Atom atom = 0;
    NIMBOLT_TRY(resolveTarget(engine, target, object, atom, result));
    return object->invoke(atom, InvokeOp::PutMember, 1, &value, result);
}

// The script function of this engine that a variable's value holds, or null for any other value
// (an unbound name too).
static ScriptFunction* scriptFunctionOf(ScriptEngine& engine, const ScriptValue* value)
{
    if (!value || value->tag != ValueTag::Function)
        return nullptr;
    auto* callable = static_cast<CallableObject*>(value->objectPayload());
    if (!callable->isScriptFunction())
        return nullptr;
    auto* script = static_cast<ScriptFunction*>(callable);
    return script->engine() == &engine ? script : nullptr;
}

// CallMember on the engine: the variable's value called with the engine as this.
NIMBOLT_HOT_INLINE static Status callName(ScriptEngine& engine, Atom atom, int32_t line, int32_t argc,
    const ScriptValue* args, ScriptValue* result)
{
    *result = UndefinedValue;
    if (ScriptFunction* script = scriptFunctionOf(engine, engine.findVariable(atom))) {
        // A reference held for the call keeps the function alive even if the body rebinds its
        // name, and this run holds the engine: run the body straight away.
        Ref<ScriptFunction> held(*script);
        return runCall(engine, script->definition(), &engine, argc, args, result);
    }
    // Any other callable (a host's too), or a function of another engine.
    ScriptValue function;
    engine.getVariable(atom, function);
    Status status = callValue(function, &engine, argc, args, result);
    if (!status.ok() && result->tag != ValueTag::Error && !isReferenceTag(function.tag))
        engine.noteFailure(line,
            "'" + engine.atomName(atom) + (function.tag == ValueTag::Undefined ? "' is not defined" : "' is not a function"));
    releaseValue(function);
    return status;
}

Status applyCall(ScriptEngine& engine, const CodeNode* node, int32_t argc, const ScriptValue* args,
    ScriptValue* result)
{
    switch (node->kind()) {
    case '(': {
        const CodeNode* callee = node->first;
        if (callee->kind() == TokenKind::Identifier)
            return callName(engine, callee->atom(), callee->line, argc, args, result);
        RefPtr<ScriptObject> object;
        Atom atom;
        NIMBOLT_TRY(resolveTarget(engine, callee, object, atom, result));
        *result = UndefinedValue;
        return object->invoke(atom, InvokeOp::CallMember, argc, args, result);
    }
    case TokenKind::New: {
        engine.getVariable(node->first->atom(), *result);
        if (result->tag != ValueTag::Function && result->tag != ValueTag::Object) {
            Status status = raiseError(result, node->first->line, Status::UnknownObjectName);
            addDetail(*result, "'" + engine.atomName(node->first->atom()) + "' is not a constructor");
            return status;
        }
        Ref<ScriptObject> object = takeObject(*result);
        return object->invoke(0, InvokeOp::Construct, argc, args, result);
    }
    default: {
        NIMBOLT_TRY(evaluate(engine, node->first, result));
        if (!isReferenceTag(result->tag))
            return raiseError(result, node->first->line, Status::NotAnObject);
        Ref<ScriptObject> object = takeObject(*result);
        return object->invoke(0, InvokeOp::Apply, argc, args, result);
    }
    }
}

// Evaluates the argument list onto the value stack, applies the call and pops the arguments
// again, also after a failure. Calls count towards the run limit as loop passes do, so that
// recursion without a loop (each level calling itself twice) cannot outlast it either.
[[gnu::noinline]] static Status evaluateCall(ScriptEngine& engine, const CodeNode* node, ScriptValue* result)
{
    if (engine.runOverdue())
        return raiseError(result, node->line, Status::TooLong);
    ValueStackMark mark(engine);
    const CodeNode* argument = node->second;
    for (; argument; argument = node->kind() == '[' ? nullptr : argument->next) {
        NIMBOLT_TRY(evaluate(engine, argument, result));
        if (Status status = mark.pushMoved(*result); !status.ok()) {
            releaseValue(*result);
            return status;
        }
    }
    return applyCall(engine, node, mark.count(), mark.values(), result);
}

// Postfix and prefix ++ and --: the target's value as an integer, stepped and stored back.
[[gnu::noinline]] static Status evaluateStep(ScriptEngine& engine, const CodeNode* target, int32_t step, bool prefix,
    ScriptValue* result)
{
    RefPtr<ScriptObject> object;
    Atom atom = 0;
    NIMBOLT_TRY(resolveTarget(engine, target, object, atom, result));
    NIMBOLT_TRY(object->invoke(atom, InvokeOp::GetMember, 0, nullptr, result));
    NIMBOLT_TRY(toInteger(*result));
    Status status = Status::Ok;
    int32_t old = result->payload.integer;
    ScriptValue stepped = ScriptValue::integer(wrapAdd(old, step));
    if (prefix) {
        *result = UndefinedValue;
        status = object->invoke(atom, InvokeOp::PutMember, 1, &stepped, result);
    } else {
        ScriptValue scratch = UndefinedValue;
        status = object->invoke(atom, InvokeOp::PutMember, 1, &stepped, &scratch);
        if (status.ok() || scratch.tag != ValueTag::Error)
            releaseValue(scratch);
        else
            moveInto(scratch, result);
    }
    return status;
}

[[gnu::noinline]] Status combineOperands(const CodeNode* node, int32_t kind, ScriptValue& left, ScriptValue* result)
{
    ScriptValue right = *result;
    *result = UndefinedValue;
    if (Status status = applyOperator(kind, left, right, result); !status.ok())
        return operatorFailure(status, node, result);
    return Status::Ok;
}

// An infix operator (kind), or the operation of a compound assignment (its plain operator): the
// first operand, then the second, combined into the result; two integers take the short way. With
// a constant kind the integer operation is a single instruction.
NIMBOLT_HOT_INLINE static Status evaluateOperation(ScriptEngine& engine, const CodeNode* node, int32_t kind, ScriptValue* result)
{
    ScriptValue left = UndefinedValue;
    if (Status status = evaluate(engine, node->first, &left); !status.ok()) {
        moveInto(left, result);
        return status;
    }
    if (Status status = evaluate(engine, node->second, result); !status.ok()) {
        releaseValue(left);
        return status;
    }
    if (left.tag == ValueTag::Integer && result->tag == ValueTag::Integer) {
        int32_t value;
        if (!integerOperation(kind, left.payload.integer, result->payload.integer, value))
            return operatorFailure(Status::SomeError, node, result);
        result->payload.integer = value;
        return Status::Ok;
    }
    return combineOperands(node, kind, left, result);
}

// Stores the value the result holds into the target; the result then holds what the store gave.
static inline Status storeResult(ScriptEngine& engine, const CodeNode* target, ScriptValue* result)
{
    ScriptValue value = *result;
    *result = UndefinedValue;
    Status status = assignTo(engine, target, value, result);
    releaseValue(value);
    return status;
}

// Node kinds are sparse (ASCII codes, 300s, 400s, 500s); evaluation dispatches on a dense index
// so that the switch is one table jump.
enum class NodeOperation : uint8_t {
    Other,
    Literal,
    Identifier,
    This,
    Member,
    Call,
    Not,
    Complement,
    UnaryPlus,
    Negate,
    Conditional,
    Logical,
    Comma,
    // Each infix operator has its own entry, so that its integer case needs no second dispatch.
    Add,
    Subtract,
    Multiply,
    Divide,
    Remainder,
    BitwiseAnd,
    BitwiseOr,
    BitwiseXor,
    ShiftLeft,
    ShiftRight,
    UnsignedShiftRight,
    Less,
    Greater,
    LessOrEqual,
    GreaterOrEqual,
    Equals,
    NotEquals,
    Assign,
    CompoundAssign,
    PostIncrement,
    PostDecrement,
    PreIncrement,
    PreDecrement,
};

static constexpr int32_t OperationTableSize = 530;

static constexpr auto operationTable = [] {
    std::array<NodeOperation, OperationTableSize> table {};
    auto set = [&](int32_t kind, NodeOperation operation) { table[static_cast<size_t>(kind)] = operation; };
    set(TokenKind::IntegerLiteral, NodeOperation::Literal);
    set(TokenKind::RealLiteral, NodeOperation::Literal);
    set(TokenKind::StringLiteral, NodeOperation::Literal);
    set(TokenKind::Identifier, NodeOperation::Identifier);
    set(TokenKind::This, NodeOperation::This);
    set('.', NodeOperation::Member);
    set('(', NodeOperation::Call);
    set('[', NodeOperation::Call);
    set(TokenKind::New, NodeOperation::Call);
    set('!', NodeOperation::Not);
    set('~', NodeOperation::Complement);
    set(TokenKind::UnaryPlus, NodeOperation::UnaryPlus);
    set(TokenKind::Negate, NodeOperation::Negate);
    set('?', NodeOperation::Conditional);
    set(TokenKind::LogicalAnd, NodeOperation::Logical);
    set(TokenKind::LogicalOr, NodeOperation::Logical);
    set(',', NodeOperation::Comma);
    set('+', NodeOperation::Add);
    set('-', NodeOperation::Subtract);
    set('*', NodeOperation::Multiply);
    set('/', NodeOperation::Divide);
    set('%', NodeOperation::Remainder);
    set('&', NodeOperation::BitwiseAnd);
    set('|', NodeOperation::BitwiseOr);
    set('^', NodeOperation::BitwiseXor);
    set(TokenKind::ShiftLeft, NodeOperation::ShiftLeft);
    set(TokenKind::ShiftRight, NodeOperation::ShiftRight);
    set(TokenKind::UnsignedShiftRight, NodeOperation::UnsignedShiftRight);
    set('<', NodeOperation::Less);
    set('>', NodeOperation::Greater);
    set(TokenKind::LessOrEqual, NodeOperation::LessOrEqual);
    set(TokenKind::GreaterOrEqual, NodeOperation::GreaterOrEqual);
    set(TokenKind::Equals, NodeOperation::Equals);
    set(TokenKind::NotEquals, NodeOperation::NotEquals);
    set('=', NodeOperation::Assign);
    for (int32_t kind : { TokenKind::UnsignedShiftRightAssign, TokenKind::ShiftLeftAssign, TokenKind::ShiftRightAssign,
             TokenKind::AddAssign, TokenKind::SubtractAssign, TokenKind::ModuloAssign, TokenKind::MultiplyAssign,
             TokenKind::DivideAssign, TokenKind::AndAssign, TokenKind::OrAssign, TokenKind::XorAssign })
        set(kind, NodeOperation::CompoundAssign);
    set(TokenKind::Increment, NodeOperation::PostIncrement);
    set(TokenKind::Decrement, NodeOperation::PostDecrement);
    set(TokenKind::PreIncrement, NodeOperation::PreIncrement);
    set(TokenKind::PreDecrement, NodeOperation::PreDecrement);
    return table;
}();

static NodeOperation operationOf(int32_t kind)
{
    return kind >= 0 && kind < OperationTableSize ? operationTable[static_cast<size_t>(kind)] : NodeOperation::Other;
}

NIMBOLT_HOT_INLINE static Status evaluateNode(ScriptEngine& engine, const CodeNode* node, ScriptValue* result)
{
    switch (operationOf(node->kind())) {
    case NodeOperation::Literal:
        *result = node->token;
        retainValue(*result);
        return Status::Ok;
    case NodeOperation::Identifier:
        engine.getVariable(node->atom(), *result);
        return Status::Ok;
    case NodeOperation::This:
        *result = engine.thisValue();
        retainValue(*result);
        return Status::Ok;
    case NodeOperation::Member: {
        NIMBOLT_TRY(evaluate(engine, node->first, result));
        if (!isReferenceTag(result->tag))
            return raiseError(result, node->first->line, Status::NotAnObject);
        Ref<ScriptObject> object = takeObject(*result);
        return object->invoke(node->second->atom(), InvokeOp::GetMember, 0, nullptr, result);
    }
    case NodeOperation::Call:
        return evaluateCall(engine, node, result);
    case NodeOperation::Not: {
        NIMBOLT_TRY(evaluate(engine, node->second, result));
        toBoolean(*result);
        result->payload.integer = !result->payload.integer;
        return Status::Ok;
    }
    case NodeOperation::Complement: {
        NIMBOLT_TRY(evaluate(engine, node->second, result));
        NIMBOLT_TRY(toInteger(*result));
        result->payload.integer = ~result->payload.integer;
        return Status::Ok;
    }
    case NodeOperation::UnaryPlus:
        return evaluate(engine, node->second, result);
    case NodeOperation::Negate: {
        NIMBOLT_TRY(evaluate(engine, node->second, result));
        NIMBOLT_TRY(toNumber(*result));
        if (result->tag == ValueTag::Integer)
            result->payload.integer = wrapSub(0, result->payload.integer);
        else
            result->payload.real = -result->payload.real;
        return Status::Ok;
    }
    case NodeOperation::Conditional: {
        NIMBOLT_TRY(evaluate(engine, node->first, result));
        toBoolean(*result);
        const CodeNode* branch = result->payload.integer ? node->second : node->third;
        *result = UndefinedValue;
        return evaluate(engine, branch, result);
    }
    case NodeOperation::Logical: {
        NIMBOLT_TRY(evaluate(engine, node->first, result));
        toBoolean(*result);
        bool decided = node->kind() == TokenKind::LogicalAnd ? !result->payload.integer : result->payload.integer;
        if (decided)
            return Status::Ok;
        *result = UndefinedValue;
        NIMBOLT_TRY(evaluate(engine, node->second, result));
        toBoolean(*result);
        return Status::Ok;
    }
    case NodeOperation::Comma: {
        NIMBOLT_TRY(evaluate(engine, node->first, result));
        releaseValue(*result);
        *result = UndefinedValue;
        return evaluate(engine, node->second, result);
    }
    case NodeOperation::Add:
        return evaluateOperation(engine, node, '+', result);
    case NodeOperation::Subtract:
        return evaluateOperation(engine, node, '-', result);
    case NodeOperation::Multiply:
        return evaluateOperation(engine, node, '*', result);
    case NodeOperation::Divide:
        return evaluateOperation(engine, node, '/', result);
    case NodeOperation::Remainder:
        return evaluateOperation(engine, node, '%', result);
    case NodeOperation::BitwiseAnd:
        return evaluateOperation(engine, node, '&', result);
    case NodeOperation::BitwiseOr:
        return evaluateOperation(engine, node, '|', result);
    case NodeOperation::BitwiseXor:
        return evaluateOperation(engine, node, '^', result);
    case NodeOperation::ShiftLeft:
        return evaluateOperation(engine, node, TokenKind::ShiftLeft, result);
    case NodeOperation::ShiftRight:
        return evaluateOperation(engine, node, TokenKind::ShiftRight, result);
    case NodeOperation::UnsignedShiftRight:
        return evaluateOperation(engine, node, TokenKind::UnsignedShiftRight, result);
    case NodeOperation::Less:
        return evaluateOperation(engine, node, '<', result);
    case NodeOperation::Greater:
        return evaluateOperation(engine, node, '>', result);
    case NodeOperation::LessOrEqual:
        return evaluateOperation(engine, node, TokenKind::LessOrEqual, result);
    case NodeOperation::GreaterOrEqual:
        return evaluateOperation(engine, node, TokenKind::GreaterOrEqual, result);
    case NodeOperation::Equals:
        return evaluateOperation(engine, node, TokenKind::Equals, result);
    case NodeOperation::NotEquals:
        return evaluateOperation(engine, node, TokenKind::NotEquals, result);
    case NodeOperation::Assign: {
        NIMBOLT_TRY(evaluate(engine, node->second, result));
        return storeResult(engine, node->first, result);
    }
    case NodeOperation::CompoundAssign: {
        // The target is evaluated as an ordinary expression for its current value, so its own
        // subexpressions run twice.
        NIMBOLT_TRY(evaluateOperation(engine, node, plainOperatorOf(node->kind()), result));
        return storeResult(engine, node->first, result);
    }
    case NodeOperation::PostIncrement:
        return evaluateStep(engine, node->first, 1, false, result);
    case NodeOperation::PostDecrement:
        return evaluateStep(engine, node->first, -1, false, result);
    case NodeOperation::PreIncrement:
        return evaluateStep(engine, node->second, 1, true, result);
    case NodeOperation::PreDecrement:
        return evaluateStep(engine, node->second, -1, true, result);
    case NodeOperation::Other:
        break;
    }
    // delete, and anything else without meaning as an expression.
    return raiseError(result, node->line, Status::SomeError);
}

// The status a node's routine hands up. Hosts may report success as a positive count;
// statements must not take it for a completion code (1 would read as break). A failure whose code
// has no Error value yet becomes one at this node's line. So every routine returns 0, -1 or a
// status from -1000 to -2.
NIMBOLT_HOT_INLINE static Status finishNode(const CodeNode* node, Status status, ScriptValue* result)
{
    if (status.ok())
        return Status::Ok;
    if (status.isErrorCode())
        return raiseError(result, node->line, status);
    return status;
}

Status evaluateComposite(ScriptEngine& engine, const CodeNode* node, ScriptValue* result)
{
    if (engine.nativeStackExhausted())
        return raiseError(result, node->line, Status::StackOverflow);
    Status status = evaluateNode(engine, node, result);
    if (status == Status::NotAMember || status == Status::ReadOnlyMember) {
        // The Error says which member, where the node names it.
        Status raised = raiseError(result, node->line, status);
        const CodeNode* member = node->kind() == '.' ? node : node->first && node->first->kind() == '.' ? node->first : nullptr;
        if (member && member->second)
            addDetail(*result, (status == Status::NotAMember ? "no member '" : "read-only member '")
                    + engine.atomName(member->second->atom()) + "'");
        return raised;
    }
    return finishNode(node, status, result);
}

// Routines made for common node shapes. Each does exactly what evaluateComposite does for its
// node; a routine whose short way does not apply hands the node to evaluateComposite. Routines
// for nodes without composite operands need no stack check: they do not nest.

static Status evaluateNumber(ScriptEngine&, const CodeNode* node, ScriptValue* result)
{
    *result = node->token;
    return Status::Ok;
}

static Status evaluateText(ScriptEngine&, const CodeNode* node, ScriptValue* result)
{
    *result = node->token;
    retainValue(*result);
    return Status::Ok;
}

static Status evaluateName(ScriptEngine& engine, const CodeNode* node, ScriptValue* result)
{
    engine.getVariable(node->atom(), *result);
    return Status::Ok;
}

// An infix operator on two leaves. Two integers are combined in place; anything else (reals,
// text, a division that traps) takes the general way, which reads the leaves again.
template <int32_t Kind>
static Status evaluateLeafOperation(ScriptEngine& engine, const CodeNode* node, ScriptValue* result)
{
    const ScriptValue& left = leafValue(engine, node->first);
    const ScriptValue& right = leafValue(engine, node->second);
    int32_t value;
    if (left.tag == ValueTag::Integer && right.tag == ValueTag::Integer
        && integerOperation(Kind, left.payload.integer, right.payload.integer, value)) {
        *result = ScriptValue::integer(value);
        return Status::Ok;
    }
    return evaluateComposite(engine, node, result);
}

// An infix operator on any operands. Its operands hand up finished statuses and a failing
// operator raises its Error itself, so there is nothing left to convert.
template <int32_t Kind>
static Status evaluateInfix(ScriptEngine& engine, const CodeNode* node, ScriptValue* result)
{
    if (engine.nativeStackExhausted())
        return raiseError(result, node->line, Status::StackOverflow);
    return evaluateOperation(engine, node, Kind, result);
}

template <int32_t Kind>
static NodeRoutine infixRoutine(const CodeNode* node)
{
    bool onLeaves = node->first && node->second && isLeaf(node->first) && isLeaf(node->second);
    return onLeaves ? evaluateLeafOperation<Kind> : evaluateInfix<Kind>;
}

// The arguments of a call onto the value stack, then the call of the plain name; the arguments
// are popped again before the status is finished.
NIMBOLT_HOT_INLINE static Status callNameWithArguments(ScriptEngine& engine, const CodeNode* node, ScriptValue* result)
{
    ValueStackMark mark(engine);
    for (const CodeNode* argument = node->second; argument; argument = argument->next) {
        NIMBOLT_TRY(evaluate(engine, argument, result));
        if (Status status = mark.pushMoved(*result); !status.ok()) {
            releaseValue(*result);
            return status;
        }
    }
    return callName(engine, node->first->atom(), node->first->line, mark.count(), mark.values(), result);
}

// f(a, b) for a plain name f.
static Status evaluateNameCall(ScriptEngine& engine, const CodeNode* node, ScriptValue* result)
{
    if (engine.nativeStackExhausted())
        return raiseError(result, node->line, Status::StackOverflow);
    if (engine.runOverdue())
        return raiseError(result, node->line, Status::TooLong);
    return finishNode(node, callNameWithArguments(engine, node, result), result);
}

// x = value for a plain name x.
static Status evaluateNameAssignment(ScriptEngine& engine, const CodeNode* node, ScriptValue* result)
{
    if (engine.nativeStackExhausted())
        return raiseError(result, node->line, Status::StackOverflow);
    NIMBOLT_TRY(evaluate(engine, node->second, result));
    ScriptValue value = *result;
    *result = UndefinedValue;
    Status status = engine.putVariable(node->first->atom(), value, result);
    releaseValue(value);
    return finishNode(node, status, result);
}

// x++, x--, ++x and --x for a plain name x that holds an integer: the binding is stepped in
// place, which is what reading, converting and storing it back comes to.
template <int32_t Step, bool Prefix>
static Status evaluateNameStep(ScriptEngine& engine, const CodeNode* node, ScriptValue* result)
{
    const CodeNode* target = Prefix ? node->second : node->first;
    ScriptValue* stored = engine.scopeTable().find(target->atom());
    if (!stored || stored->tag != ValueTag::Integer)
        return evaluateComposite(engine, node, result);
    int32_t old = stored->payload.integer;
    stored->payload.integer = wrapAdd(old, Step);
    *result = ScriptValue::integer(Prefix ? stored->payload.integer : old);
    return Status::Ok;
}

static NodeRoutine evaluationFor(const CodeNode* node)
{
    auto onName = [](const CodeNode* target, NodeRoutine routine) -> NodeRoutine {
        return target && target->kind() == TokenKind::Identifier ? routine : evaluateComposite;
    };
    switch (node->kind()) {
    case TokenKind::IntegerLiteral:
    case TokenKind::RealLiteral:
        return evaluateNumber;
    case TokenKind::StringLiteral:
        return evaluateText;
    case TokenKind::Identifier:
        return evaluateName;
    case '(':
        return onName(node->first, evaluateNameCall);
    case '=':
        return onName(node->first, evaluateNameAssignment);
    case TokenKind::Increment:
        return onName(node->first, evaluateNameStep<1, false>);
    case TokenKind::Decrement:
        return onName(node->first, evaluateNameStep<-1, false>);
    case TokenKind::PreIncrement:
        return onName(node->second, evaluateNameStep<1, true>);
    case TokenKind::PreDecrement:
        return onName(node->second, evaluateNameStep<-1, true>);
    case '+':
        return infixRoutine<'+'>(node);
    case '-':
        return infixRoutine<'-'>(node);
    case '*':
        return infixRoutine<'*'>(node);
    case '/':
        return infixRoutine<'/'>(node);
    case '%':
        return infixRoutine<'%'>(node);
    case '&':
        return infixRoutine<'&'>(node);
    case '|':
        return infixRoutine<'|'>(node);
    case '^':
        return infixRoutine<'^'>(node);
    case TokenKind::ShiftLeft:
        return infixRoutine<TokenKind::ShiftLeft>(node);
    case TokenKind::ShiftRight:
        return infixRoutine<TokenKind::ShiftRight>(node);
    case TokenKind::UnsignedShiftRight:
        return infixRoutine<TokenKind::UnsignedShiftRight>(node);
    case '<':
        return infixRoutine<'<'>(node);
    case '>':
        return infixRoutine<'>'>(node);
    case TokenKind::LessOrEqual:
        return infixRoutine<TokenKind::LessOrEqual>(node);
    case TokenKind::GreaterOrEqual:
        return infixRoutine<TokenKind::GreaterOrEqual>(node);
    case TokenKind::Equals:
        return infixRoutine<TokenKind::Equals>(node);
    case TokenKind::NotEquals:
        return infixRoutine<TokenKind::NotEquals>(node);
    default:
        return evaluateComposite;
    }
}

Status chooseEvaluation(ScriptEngine& engine, const CodeNode* node, ScriptValue* result)
{
    node->evaluation = evaluationFor(node);
    return node->evaluation(engine, node, result);
}

}
