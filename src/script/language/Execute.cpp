// Statements and programs. Control flow travels as completion codes (Normal, Break, Continue,
// Return) or negative statuses; every block closes its scope and every program leaves its frame
// on the way out, so the engine's stacks are balanced after any run.
#include <script/language/ErrorObject.h>
#include <script/language/Interpreter.h>
#include <script/language/ScriptFunction.h>

#include <utility>

namespace nimbolt {

// Evaluates a condition into its truth; on failure the condition's error moves into result. A
// comparison, the usual condition, gives an integer and needs no conversion.
NIMBOLT_HOT_INLINE static Status evaluateCondition(ScriptEngine& engine, const CodeNode* node, ScriptValue* result, bool& truth)
{
    ScriptValue value = UndefinedValue;
    if (Status status = evaluate(engine, node, &value); !status.ok()) {
        releaseValue(*result);
        *result = value;
        return status;
    }
    if (value.tag != ValueTag::Integer)
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

// The routines of the statement kinds. Those that run further statements check the machine
// stack first; the others nest only through expressions, whose routines check it.

static Status stackExhausted(const CodeNode* statement, ScriptValue* result)
{
    return raiseError(result, statement->line, Status::StackOverflow);
}

static Status executeBlock(ScriptEngine& engine, const CodeNode* statement, ScriptValue* result)
{
    if (engine.nativeStackExhausted())
        return stackExhausted(statement, result);
    BindingScope scope(engine);
    if (!scope.status().ok())
        return scope.status();
    return runList(engine, statement->first, result);
}

static Status executeEmpty(ScriptEngine&, const CodeNode*, ScriptValue*) { return toStatus(Completion::Normal); }
static Status executeBreak(ScriptEngine&, const CodeNode*, ScriptValue*) { return toStatus(Completion::Break); }
static Status executeContinue(ScriptEngine&, const CodeNode*, ScriptValue*) { return toStatus(Completion::Continue); }

static Status executeReturn(ScriptEngine& engine, const CodeNode* statement, ScriptValue* result)
{
    if (statement->first) {
        // A loop runs its body on the same slot again and again: drop what it left there.
        releaseValue(*result);
        NIMBOLT_TRY(evaluate(engine, statement->first, result));
    }
    return toStatus(Completion::Return);
}

static Status executeIf(ScriptEngine& engine, const CodeNode* statement, ScriptValue* result)
{
    if (engine.nativeStackExhausted())
        return stackExhausted(statement, result);
    bool truth = false;
    NIMBOLT_TRY(evaluateCondition(engine, statement->first, result, truth));
    if (truth)
        return execute(engine, statement->second, result);
    if (statement->third)
        return execute(engine, statement->third, result);
    return toStatus(Completion::Normal);
}

// An if whose condition compares two leaves (Kind is the comparison): two integers decide
// without evaluating the condition as a node.
template <int32_t Kind>
static Status executeIfOnLeaves(ScriptEngine& engine, const CodeNode* statement, ScriptValue* result)
{
    if (engine.nativeStackExhausted())
        return stackExhausted(statement, result);
    const CodeNode* condition = statement->first;
    const ScriptValue& left = leafValue(engine, condition->first);
    const ScriptValue& right = leafValue(engine, condition->second);
    bool truth = false;
    if (left.tag == ValueTag::Integer && right.tag == ValueTag::Integer) {
        int32_t outcome = 0;
        // Comparisons never trap.
        integerOperation(Kind, left.payload.integer, right.payload.integer, outcome);
        truth = outcome != 0;
    } else {
        NIMBOLT_TRY(evaluateCondition(engine, condition, result, truth));
    }
    if (truth)
        return execute(engine, statement->second, result);
    if (statement->third)
        return execute(engine, statement->third, result);
    return toStatus(Completion::Normal);
}

// The routine of an if: the short way when its condition compares two leaves.
static NodeRoutine ifRoutine(const CodeNode* statement)
{
    const CodeNode* condition = statement->first;
    if (!condition->first || !condition->second || !isLeaf(condition->first) || !isLeaf(condition->second))
        return executeIf;
    switch (condition->kind()) {
    case '<':
        return executeIfOnLeaves<'<'>;
    case '>':
        return executeIfOnLeaves<'>'>;
    case TokenKind::LessOrEqual:
        return executeIfOnLeaves<TokenKind::LessOrEqual>;
    case TokenKind::GreaterOrEqual:
        return executeIfOnLeaves<TokenKind::GreaterOrEqual>;
    case TokenKind::Equals:
        return executeIfOnLeaves<TokenKind::Equals>;
    case TokenKind::NotEquals:
        return executeIfOnLeaves<TokenKind::NotEquals>;
    default:
        return executeIf;
    }
}

static Status executeWhile(ScriptEngine& engine, const CodeNode* statement, ScriptValue* result)
{
    if (engine.nativeStackExhausted())
        return stackExhausted(statement, result);
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

static Status executeDo(ScriptEngine& engine, const CodeNode* statement, ScriptValue* result)
{
    if (engine.nativeStackExhausted())
        return stackExhausted(statement, result);
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

static Status executeFor(ScriptEngine& engine, const CodeNode* statement, ScriptValue* result)
{
    if (engine.nativeStackExhausted())
        return stackExhausted(statement, result);
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

static Status executeVar(ScriptEngine& engine, const CodeNode* statement, ScriptValue* result)
{
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
}

static Status executeCase(ScriptEngine& engine, const CodeNode* statement, ScriptValue* result)
{
    if (engine.nativeStackExhausted())
        return stackExhausted(statement, result);
    return execute(engine, statement->second, result);
}

static Status executeDefault(ScriptEngine& engine, const CodeNode* statement, ScriptValue* result)
{
    if (engine.nativeStackExhausted())
        return stackExhausted(statement, result);
    return execute(engine, statement->first, result);
}

// Labels, goto, switch and nested function declarations parse but have no meaning when run.
static Status executeMeaningless(ScriptEngine&, const CodeNode* statement, ScriptValue* result)
{
    return raiseError(result, statement->line, Status::SomeError);
}

static Status executeExpression(ScriptEngine& engine, const CodeNode* statement, ScriptValue* result)
{
    releaseValue(*result);
    return evaluate(engine, statement, result);
}

static NodeRoutine executionFor(const CodeNode* statement)
{
    switch (statement->kind()) {
    case '{':
        return executeBlock;
    case ';':
    case '}':
        return executeEmpty;
    case TokenKind::Break:
        return executeBreak;
    case TokenKind::Continue:
        return executeContinue;
    case TokenKind::Return:
        return executeReturn;
    case TokenKind::If:
        return ifRoutine(statement);
    case TokenKind::While:
        return executeWhile;
    case TokenKind::Do:
        return executeDo;
    case TokenKind::For:
        return executeFor;
    case TokenKind::Var:
        return executeVar;
    case TokenKind::Case:
        return executeCase;
    case TokenKind::Default:
        return executeDefault;
    case ':':
    case TokenKind::Goto:
    case TokenKind::Switch:
    case TokenKind::Function:
        return executeMeaningless;
    default:
        return executeExpression;
    }
}

Status chooseExecution(ScriptEngine& engine, const CodeNode* statement, ScriptValue* result)
{
    statement->execution = executionFor(statement);
    return statement->execution(engine, statement, result);
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
        statement->origin = engine.origin();
        RefPtr<ScriptFunction> function = createFunction(engine, OwnedCodeTree(statement));
        if (!function)
            return raiseError(result, line, Status::OutOfMemory);
        Status status = engine.defineLocal(name, ScriptValue::function(function.ptr()));
        if (!status.ok())
            return raiseError(result, line, Status::SomeError);
    }
    return Status::Ok;
}

RefPtr<ErrorObject> makeNotedError(ScriptEngine& engine)
{
    RefPtr<ErrorObject> error = makeError(0, 0, Status::SomeError);
    ScriptEngine::FailureNote note = engine.takeFailureNote();
    if (error && !note.text.empty()) {
        error->setDetail(std::move(note.text), note.line);
        error->markOrigin(note.origin);
    }
    return error;
}

Status runProgram(ScriptEngine& engine, ScriptObject* self, OwnedCodeTree program, ScriptValue* result)
{
    *result = UndefinedValue;
    engine.takeFailureNote();
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
        error = makeNotedError(engine);
    else if (code.ok())
        return Status::Ok;
    else
        return Status::Failed;
    releaseValue(*result);
    *result = errorValue(std::move(error));
    return Status::Failed;
}

}
