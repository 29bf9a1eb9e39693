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
    RefPtr<ScriptRunner> runner = adoptRef(createRunner());
    if (!runner || !runner->setSite(site.ptr()).ok() || !runner->toggleOpen().ok())
        return 0;
    runner->engine()->setRunLimit(20);
    AtomTable* atomTable = nullptr;
    if (runner->getAtomTable(atomTable).ok()) {
        Ref<AtomTable> atoms = adoptRef(*atomTable);
        RefPtr<ScriptObject> array = adoptRef(createArrayGlobal(*atoms));
        RefPtr<ScriptObject> math = adoptRef(createMathGlobal(*atoms));
        if (array)
            (void)runner->defineGlobal("Array", ScriptValue::object(array.ptr()));
        if (math)
            (void)runner->defineGlobal("Math", ScriptValue::object(math.ptr()));
    }
    auto length = static_cast<int32_t>(size > 1 << 20 ? 1 << 20 : size);
    (void)runner->runText(reinterpret_cast<const char*>(data), length);
    (void)runner->runText(reinterpret_cast<const char*>(data), length);
    (void)runner->toggleOpen();
    return 0;
}
