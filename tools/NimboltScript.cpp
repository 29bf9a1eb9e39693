// nimbolt-script: runs script files on one runner, in order, as a document runs the script
// elements of its head. Errors are printed as "(line) message" on standard error; Echo writes to
// standard output. Exit status: 2 when a file could not be read, else 1 when any error was
// reported, else 0. "--help" or "--version" as the first argument prints the usage or the version
// and runs nothing. "--memory-limit=BYTES" before the files sets how much the scripts' strings,
// arrays and objects may take (256 MiB without it).
#include <base/Ref.h>
#include <script/language/ErrorObject.h>
#include <script/language/MathObject.h>
#include <script/language/ScriptRunner.h>
#include <script/runtime/MemberTable.h>
#include <script/runtime/ScriptArray.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace nimbolt;

namespace {

class ConsoleSite final : public ScriptSite {
public:
    Status reportError(ErrorObject& error) override
    {
        std::fflush(stdout);
        std::fprintf(stderr, "(%d) %s\n", error.line(), error.message());
        ++m_errors;
        return Status::Ok;
    }
    int errors() const { return m_errors; }

private:
    int m_errors { 0 };
};

bool readAll(std::FILE* file, std::string& text)
{
    char buffer[65536];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, count);
    return !std::ferror(file);
}

bool readSource(const char* path, std::string& text)
{
    if (std::strcmp(path, "-") == 0)
        return readAll(stdin, text);
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    bool ok = readAll(file, text);
    std::fclose(file);
    return ok;
}

const GlobalConstructorRow consoleGlobals[] = {
    { "Array", createArrayGlobal },
    { "Math", createMathGlobal },
    { nullptr, nullptr },
};

}

const char Usage[] = "usage: nimbolt-script [--memory-limit=BYTES] FILE...   (a FILE of - reads standard input)\n"
                     "       nimbolt-script --help | --version\n";

// The byte count of "--memory-limit=BYTES"; false when the text is not a whole positive number.
static bool parseMemoryLimit(const char* text, size_t& bytes)
{
    if (*text < '0' || *text > '9')
        return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long value = std::strtoull(text, &end, 10);
    if (errno || *end || value == 0 || value > SIZE_MAX)
        return false;
    bytes = static_cast<size_t>(value);
    return true;
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs(Usage, stderr);
        return 2;
    }
    if (std::strcmp(argv[1], "--help") == 0) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("nimbolt-script %s\n", NIMBOLT_VERSION);
        return 0;
    }

    int first = 1;
    size_t memoryLimit = MemoryBudget::DefaultLimit;
    const char limitOption[] = "--memory-limit=";
    if (std::strncmp(argv[1], limitOption, sizeof limitOption - 1) == 0) {
        if (!parseMemoryLimit(argv[1] + sizeof limitOption - 1, memoryLimit) || argc < 3) {
            std::fputs(Usage, stderr);
            return 2;
        }
        first = 2;
    }

    Ref<ConsoleSite> site = adoptRef(*new ConsoleSite);
    RefPtr<ScriptRunner> runner = createRunner();
    if (runner)
        runner->setMemoryLimit(memoryLimit);
    if (!runner || !runner->setSite(site.ptr()).ok() || !runner->toggleOpen().ok()) {
        std::fprintf(stderr, "nimbolt-script: cannot start the script engine\n");
        return 2;
    }
    if (StatusOr<Ref<AtomTable>> atoms = runner->getAtomTable(); atoms.ok()) {
        for (const GlobalConstructorRow* row = consoleGlobals; row->name; ++row) {
            if (RefPtr<ScriptObject> global = row->factory(*atoms.value()))
                ignoreStatus(runner->defineGlobal(row->name, ScriptValue::object(global.ptr())),
                    "a global memory could not hold is missing, and scripts that use it fail on their own");
        }
    }

    bool unreadable = false;
    for (int i = first; i < argc; ++i) {
        std::string text;
        if (!readSource(argv[i], text)) {
            std::fflush(stdout);
            std::fprintf(stderr, "nimbolt-script: cannot read %s\n", argv[i]);
            unreadable = true;
            continue;
        }
        ignoreStatus(runner->runText(text.data(), static_cast<int32_t>(text.size())),
            "errors reach the console through the site, and the exit code counts them");
    }

    int errors = site->errors();
    runner = nullptr;
    std::fflush(stdout);
    if (unreadable)
        return 2;
    return errors > 0 ? 1 : 0;
}
