#include <script/language/Natives.h>

#include <script/runtime/ScriptString.h>

namespace nimbolt {

static std::FILE* s_echoOutput = nullptr;

void setEchoOutput(std::FILE* output) { s_echoOutput = output; }

Status echoFunction(ScriptObject*, int32_t argc, const ScriptValue* args, ScriptValue* result)
{
    std::FILE* output = s_echoOutput ? s_echoOutput : stdout;
    for (int32_t i = 0; i < argc; ++i) {
        const ScriptValue& value = args[i];
        if (value.tag == ValueTag::Real) {
            std::fprintf(output, "%f ", value.payload.real);
        } else if (value.tag == ValueTag::String) {
            char buffer[1024];
            // The text goes out up to its first zero byte, as "%s" writes it.
            stringOf(value)->copyText(buffer, sizeof buffer);
            std::fprintf(output, "%s ", buffer);
        } else {
            std::fprintf(output, "%d ", static_cast<int32_t>(static_cast<uint32_t>(value.payload.bits)));
        }
    }
    *result = ScriptValue::integer(0);
    return Status::Ok;
}

struct NativeRow {
    const char* name;
    NativeFunction function;
};

static const NativeRow nativeFunctions[] = {
    { "Echo", echoFunction },
};

Status installNatives(ScriptEngine& engine)
{
    for (const NativeRow& row : nativeFunctions) {
        Atom atom = engine.atomTable().intern(row.name);
        if (!atom)
            return Status::Failed;
        ScriptValue function = ScriptValue::native(row.function);
        ScriptValue stored = UndefinedValue;
        NIMBOLT_TRY(engine.invoke(atom, InvokeOp::PutMember, 1, &function, &stored));
        releaseValue(stored);
    }
    return Status::Ok;
}

}
