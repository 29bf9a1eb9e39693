// Runs arbitrary text as a script on a runner set up as a document's (Array and Math globals),
// twice on one engine so that the first run's globals meet the second; endless loops end at the
// run limit.
#include <script/language/MathObject.h>
#include <script/language/ScriptRunner.h>
#include <script/runtime/ScriptArray.h>

#include <cstdint>
#include <cstdio>

using namespace nimbolt;

namespace {

class QuietSite final : public ScriptSite {
public:
    Status reportError(ErrorObject&) override { return Status::Ok; }
};

}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Echo writes to standard output; the fuzzer's own output stays readable without it.
    (void)std::freopen("/dev/null", "w", stdout);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Ref<QuietSite> site = adoptRef(*new QuietSite);
    RefPtr<ScriptRunner> runner = createRunner();
    if (!runner || !runner->setSite(site.ptr()).ok() || !runner->toggleOpen().ok())
        return 0;
    runner->engine()->setRunLimit(20);
    if (StatusOr<Ref<AtomTable>> atoms = runner->getAtomTable(); atoms.ok()) {
        RefPtr<ScriptObject> array = createArrayGlobal(*atoms.value());
        RefPtr<ScriptObject> math = createMathGlobal(*atoms.value());
        if (array)
            ignoreStatus(runner->defineGlobal("Array", ScriptValue::object(array.ptr())), "scripts without it fail on their own");
        if (math)
            ignoreStatus(runner->defineGlobal("Math", ScriptValue::object(math.ptr())), "scripts without it fail on their own");
    }
    auto length = static_cast<int32_t>(size > 1 << 20 ? 1 << 20 : size);
    const char* text = reinterpret_cast<const char*>(data);
    ignoreStatus(runner->runText(text, length), "errors go to the site; the fuzzer looks for crashes");
    ignoreStatus(runner->runText(text, length), "errors go to the site; the fuzzer looks for crashes");
    ignoreStatus(runner->toggleOpen(), "closing an open runner cannot fail");
    return 0;
}
