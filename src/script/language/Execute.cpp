// Statements and programs. Control flow travels as completion codes (Normal, Break, Continue,
// Return) or negative statuses; every block closes its scope and every program leaves its frame
// on the way out, so the engine's stacks are balanced after any run.
#include "ErrorObject.h"
#include "Interpreter.h"
#include "ScriptFunction.h"

namespace nimbolt {

// Evaluates a condition into its truth; on failure the condition's error moves into result.
static Status evaluateCondition(ScriptEngine& engine, const CodeNode* node, ScriptValue* result, bool& truth)
{
    ScriptValue value = UndefinedValue;
    Status status = evaluate(engine, node, &value);
    if (!status.ok()) {
        releaseValue(*result);
        *result = value;
        return status;
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

// Runs a loop body and says whether the loop goes on; otherwise code is what the loop returns.
static bool continueLoop(Status body, Status& code)
{
    if (body.code() == Normal || body.code() == Continue)
        return true;
    code = body.code() == Break ? Status(Normal) : body;
    return false;
}

Status execute(ScriptEngine& engine, const CodeNode* statement, ScriptValue* result)
{
    if (engine.nativeStackExhausted())
        return raiseError(result, statement->line, -1001);
    switch (statement->kind()) {
    case '{': {
        if (Status status = engine.openScope(); !status.ok())
            return status;
        Status code = runList(engine, statement->first, result);
        engine.closeScope();
        return code;
    }
    case ';':
    case '}':
        return Normal;
    case TokenKind::Break:
        return Break;
    case TokenKind::Continue:
        return Continue;
    case TokenKind::Return:
        if (statement->first) {
            if (Status status = evaluate(engine, statement->first, result); !status.ok())
                return status;
        }
        return Return;
    case TokenKind::If: {
        bool truth = false;
        if (Status status = evaluateCondition(engine, statement->first, result, truth); !status.ok())
            return status;
        if (truth)
            return execute(engine, statement->second, result);
        if (statement->third)
            return execute(engine, statement->third, result);
        return Normal;
    }
    case TokenKind::While: {
        Status code = Normal;
        for (;;) {
            bool truth = false;
            if (Status status = evaluateCondition(engine, statement->first, result, truth); !status.ok())
                return status;
            if (!truth)
                return Normal;
            if (!continueLoop(execute(engine, statement->second, result), code))
                return code;
        }
    }
    case TokenKind::Do: {
        Status code = Normal;
        for (;;) {
            if (!continueLoop(execute(engine, statement->first, result), code))
                return code;
            bool truth = false;
            if (Status status = evaluateCondition(engine, statement->second, result, truth); !status.ok())
                return status;
            if (!truth)
                return Normal;
        }
    }
    case TokenKind::For: {
        if (statement->first) {
            if (Status status = execute(engine, statement->first, result); !status.ok())
                return status;
        }
        Status code = Normal;
        for (;;) {
            if (statement->second) {
                bool truth = false;
                if (Status status = evaluateCondition(engine, statement->second, result, truth); !status.ok())
                    return status;
                if (!truth)
                    return Normal;
            }
            if (!continueLoop(execute(engine, statement->fourth, result), code))
                return code;
            if (statement->third) {
                if (Status status = evaluateDiscarded(engine, statement->third, result); !status.ok())
                    return status;
            }
        }
    }
    case TokenKind::Var:
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
        return Normal;
    case TokenKind::Case:
        return execute(engine, statement->second, result);
    case TokenKind::Default:
        return execute(engine, statement->first, result);
    case ':':
    case TokenKind::Goto:
    case TokenKind::Switch:
    case TokenKind::Function:
        // Labels, goto, switch and nested function declarations parse but have no meaning
        // when run.
        return raiseError(result, statement->line, -1000);
    default:
        return evaluate(engine, statement, result);
    }
}

Status runList(ScriptEngine& engine, const CodeNode* first, ScriptValue* result)
{
    for (const CodeNode* statement = first; statement; statement = statement->next) {
        releaseValue(*result);
        *result = UndefinedValue;
        Status code = execute(engine, statement, result);
        if (code.code() != Normal)
            return code;
    }
    return Normal;
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
        ScriptFunction* function = createFunction(engine, statement);
        if (!function)
            return raiseError(result, line, -1000);
        Status status = engine.defineLocal(name, ScriptValue::function(function));
        function->release();
        if (!status.ok())
            return raiseError(result, line, -1000);
    }
    return Status::Ok;
}

Status runProgram(ScriptEngine& engine, ScriptObject* self, CodeNode* program, ScriptValue* result)
{
    *result = UndefinedValue;
    engine.enterRun();
    Status code = hoistFunctions(engine, program, result);
    if (code.ok()) {
        int32_t mark = engine.topSlot();
        code = engine.pushValue(ScriptValue::integer(0));
        if (code.ok())
            code = engine.pushValue(ScriptValue::object(self ? self : &engine));
        if (code.ok())
            code = engine.enterFrame();
        if (code.ok()) {
            code = runList(engine, program, result);
            engine.leaveFrame();
        } else {
            code = raiseError(result, 0, code.code());
        }
        while (engine.topSlot() > mark)
            (void)engine.popValue();
    }
    engine.leaveRun();
    freeTree(program);

    ErrorObject* error = nullptr;
    if (code.code() == Break)
        error = makeError(0, 0, -1012);
    else if (code.code() == Continue)
        error = makeError(0, 0, -1011);
    else if (!code.ok() && result->tag != ValueTag::Error)
        error = makeError(0, 0, -1000);
    else if (code.ok())
        return Status::Ok;
    else
        return Status::Failed;
    releaseValue(*result);
    *result = error ? ScriptValue::error(error) : UndefinedValue;
    return Status::Failed;
}

}
