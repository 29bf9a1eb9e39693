// Statements and programs. Control flow travels as completion codes (Normal, Break, Continue,
// Return) or negative statuses; every block closes its scope and every program leaves its frame
// on the way out, so the engine's stacks are balanced after any run.
#include <script/language/ErrorObject.h>
#include <script/language/Interpreter.h>
#include <script/language/ScriptFunction.h>

#include <array>
#include <utility>

namespace nimbolt {

static bool isComparison(int32_t kind)
{
    switch (kind) {
    case '<':
    case '>':
    case TokenKind::LessOrEqual:
    case TokenKind::GreaterOrEqual:
    case TokenKind::Equals:
    case TokenKind::NotEquals:
        return true;
    default:
        return false;
    }
}

// Evaluates a comparison node's operands, left first, into left and value. Two integers are
// compared here and decide the truth (true is returned); otherwise the comparison is completed
// into value as its node would be, and false is returned with the status.
NIMBOLT_HOT_INLINE static bool compareIntegers(ScriptEngine& engine, const CodeNode* node, ScriptValue& value,
    Status& status, bool& truth)
{
    ScriptValue left = UndefinedValue;
    status = evaluate(engine, node->first, &left);
    if (!status.ok()) {
        value = left;
        return false;
    }
    status = evaluate(engine, node->second, &value);
    if (!status.ok()) {
        releaseValue(left);
        return false;
    }
    if (left.tag == ValueTag::Integer && value.tag == ValueTag::Integer) {
        int32_t outcome = 0;
        // Comparisons never trap, so the operation always succeeds here.
        integerOperation(node->kind(), left.payload.integer, value.payload.integer, outcome);
        truth = outcome != 0;
        return true;
    }
    status = combineOperands(node, node->kind(), left, &value);
    return false;
}

// Evaluates a condition into its truth; on failure the condition's error moves into result. A
// comparison, the usual condition, is decided without the general evaluation of its node.
NIMBOLT_HOT_INLINE static Status evaluateCondition(ScriptEngine& engine, const CodeNode* node, ScriptValue* result, bool& truth)
{
    ScriptValue value = UndefinedValue;
    Status status;
    if (isComparison(node->kind())) {
        if (compareIntegers(engine, node, value, status, truth))
            return Status::Ok;
    } else {
        status = evaluate(engine, node, &value);
    }
    if (!status.ok()) {
        releaseValue(*result);
        *result = value;
        return status;
    }
    if (value.tag == ValueTag::Integer) {
        truth = value.payload.integer != 0;
        return Status::Ok;
    }
    toBoolean(value);
    truth = value.payload.integer != 0;
    return Status::Ok;
}

// Evaluates an expression whose value is not kept (a for loop's step).
static Status evaluateDiscarded(ScriptEngine& engine, const CodeNode* node, ScriptValue* result)
{
    ScriptValue value = UndefinedValue;
    Status status = evaluate(engine, node, &value);
    if (!status.ok()) {
        releaseValue(*result);
        *result = value;
        return status;
    }
    releaseValue(value);
    return Status::Ok;
}

// Runs a loop body and says whether the loop goes on; otherwise code is what the loop returns. A
// run past its time limit ends here, at the loop's line. Inlined: a pass that goes on costs a
// test of the body's code and a count.
NIMBOLT_HOT_INLINE static bool continueLoop(ScriptEngine& engine, const CodeNode* loop, Status body, Status& code, ScriptValue* result)
{
    if (isCompletion(body, Completion::Normal) || isCompletion(body, Completion::Continue)) {
        if (!engine.runOverdue())
            return true;
        code = raiseError(result, loop->line, Status::TooLong);
        return false;
    }
    code = isCompletion(body, Completion::Break) ? toStatus(Completion::Normal) : body;
    return false;
}

// Statement kinds are sparse; execution dispatches on a dense index.
enum class StatementOperation : uint8_t {
    Expression,
    Block,
    Empty,
    Break,
    Continue,
    Return,
    If,
    While,
    Do,
    For,
    Var,
    Case,
    Default,
    Meaningless,
};

static constexpr int32_t StatementTableSize = 530;

static constexpr auto statementTable = [] {
    std::array<StatementOperation, StatementTableSize> table {};
    auto set = [&](int32_t kind, StatementOperation operation) { table[static_cast<size_t>(kind)] = operation; };
    set('{', StatementOperation::Block);
    set(';', StatementOperation::Empty);
    set('}', StatementOperation::Empty);
    set(TokenKind::Break, StatementOperation::Break);
    set(TokenKind::Continue, StatementOperation::Continue);
    set(TokenKind::Return, StatementOperation::Return);
    set(TokenKind::If, StatementOperation::If);
    set(TokenKind::While, StatementOperation::While);
    set(TokenKind::Do, StatementOperation::Do);
    set(TokenKind::For, StatementOperation::For);
    set(TokenKind::Var, StatementOperation::Var);
    set(TokenKind::Case, StatementOperation::Case);
    set(TokenKind::Default, StatementOperation::Default);
    set(':', StatementOperation::Meaningless);
    set(TokenKind::Goto, StatementOperation::Meaningless);
    set(TokenKind::Switch, StatementOperation::Meaningless);
    set(TokenKind::Function, StatementOperation::Meaningless);
    return table;
}();

Status execute(ScriptEngine& engine, const CodeNode* statement, ScriptValue* result)
{
    if (engine.nativeStackExhausted())
        return raiseError(result, statement->line, Status::StackOverflow);
    int32_t kind = statement->kind();
    StatementOperation operation = kind >= 0 && kind < StatementTableSize ? statementTable[static_cast<size_t>(kind)]
                                                                          : StatementOperation::Expression;
    switch (operation) {
    case StatementOperation::Block: {
        BindingScope scope(engine);
        if (!scope.status().ok())
            return scope.status();
        return runList(engine, statement->first, result);
    }
    case StatementOperation::Empty:
        return toStatus(Completion::Normal);
    case StatementOperation::Break:
        return toStatus(Completion::Break);
    case StatementOperation::Continue:
        return toStatus(Completion::Continue);
    case StatementOperation::Return:
        if (statement->first) {
            // A loop runs its body on the same slot again and again: drop what it left there.
            releaseValue(*result);
            NIMBOLT_TRY(evaluate(engine, statement->first, result));
        }
        return toStatus(Completion::Return);
    case StatementOperation::If: {
        bool truth = false;
        NIMBOLT_TRY(evaluateCondition(engine, statement->first, result, truth));
        if (truth)
            return execute(engine, statement->second, result);
        if (statement->third)
            return execute(engine, statement->third, result);
        return toStatus(Completion::Normal);
    }
    case StatementOperation::While: {
        Status code = toStatus(Completion::Normal);
        for (;;) {
            bool truth = false;
            NIMBOLT_TRY(evaluateCondition(engine, statement->first, result, truth));
            if (!truth)
                return toStatus(Completion::Normal);
            if (!continueLoop(engine, statement, execute(engine, statement->second, result), code, result))
                return code;
        }
    }
    case StatementOperation::Do: {
        Status code = toStatus(Completion::Normal);
        for (;;) {
            if (!continueLoop(engine, statement, execute(engine, statement->first, result), code, result))
                return code;
            bool truth = false;
            NIMBOLT_TRY(evaluateCondition(engine, statement->second, result, truth));
            if (!truth)
                return toStatus(Completion::Normal);
        }
    }
    case StatementOperation::For: {
        if (statement->first) {
            NIMBOLT_TRY(execute(engine, statement->first, result));
        }
        Status code = toStatus(Completion::Normal);
        for (;;) {
            if (statement->second) {
                bool truth = false;
                NIMBOLT_TRY(evaluateCondition(engine, statement->second, result, truth));
                if (!truth)
                    return toStatus(Completion::Normal);
            }
            if (!continueLoop(engine, statement, execute(engine, statement->fourth, result), code, result))
                return code;
            if (statement->third) {
                NIMBOLT_TRY(evaluateDiscarded(engine, statement->third, result));
            }
        }
    }
    case StatementOperation::Var:
        for (const CodeNode* declarator = statement->first; declarator; declarator = declarator->next) {
            ScriptValue value = UndefinedValue;
            if (declarator->first) {
                if (Status status = evaluate(engine, declarator->first, &value); !status.ok()) {
                    releaseValue(*result);
                    *result = value;
                    return status;
                }
            }
            Status status = engine.defineLocal(declarator->atom(), value);
            releaseValue(value);
            if (!status.ok())
                return status;
        }
        return toStatus(Completion::Normal);
    case StatementOperation::Case:
        return execute(engine, statement->second, result);
    case StatementOperation::Default:
        return execute(engine, statement->first, result);
    case StatementOperation::Meaningless:
        // Labels, goto, switch and nested function declarations parse but have no meaning
        // when run.
        return raiseError(result, statement->line, Status::SomeError);
    case StatementOperation::Expression:
        break;
    }
    releaseValue(*result);
    return evaluate(engine, statement, result);
}

// Takes every top-level function declaration out of the list and binds it in the current
// scope, so that it can be called from any statement of the program.
static Status hoistFunctions(ScriptEngine& engine, CodeNode*& program, ScriptValue* result)
{
    CodeNode** link = &program;
    while (CodeNode* statement = *link) {
        if (statement->kind() != TokenKind::Function) {
            link = &statement->next;
            continue;
        }
        *link = statement->next;
        statement->next = nullptr;
        Atom name = statement->first->atom();
        int32_t line = statement->line;
        RefPtr<ScriptFunction> function = createFunction(engine, OwnedCodeTree(statement));
        if (!function)
            return raiseError(result, line, Status::OutOfMemory);
        Status status = engine.defineLocal(name, ScriptValue::function(function.ptr()));
        if (!status.ok())
            return raiseError(result, line, Status::SomeError);
    }
    return Status::Ok;
}

Status runProgram(ScriptEngine& engine, ScriptObject* self, OwnedCodeTree program, ScriptValue* result)
{
    *result = UndefinedValue;
    Status code;
    {
        EngineRun run(engine);
        // Hoisting unlinks statements from the chain, its first one included.
        CodeNode* statements = program.release();
        code = hoistFunctions(engine, statements, result);
        program.reset(statements);
        if (code.ok()) {
            CallFrame frame(engine, 0, self);
            code = frame.status().ok() ? runList(engine, program.get(), result)
                                       : raiseError(result, 0, frame.status());
        }
    }
    program.reset();

    RefPtr<ErrorObject> error;
    if (isCompletion(code, Completion::Break))
        error = makeError(0, 0, Status::BreakMismatch);
    else if (isCompletion(code, Completion::Continue))
        error = makeError(0, 0, Status::ContinueMismatch);
    else if (!code.ok() && result->tag != ValueTag::Error)
        error = makeError(0, 0, Status::SomeError);
    else if (code.ok())
        return Status::Ok;
    else
        return Status::Failed;
    releaseValue(*result);
    *result = errorValue(std::move(error));
    return Status::Failed;
}

}
