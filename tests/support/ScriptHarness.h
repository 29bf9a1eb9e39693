// Test support for the interpreter tests: a site that records every report and run bracket, a
// capture of what Echo writes, and a runner set up the way a document does (site, open, globals).
#pragma once

#include <support/CountingObject.h>

#include <script/language/ErrorObject.h>
#include <script/language/ScriptFunction.h>
#include <script/language/ScriptRunner.h>
#include <script/language/ScriptSite.h>
#include <script/runtime/ScriptValue.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nimbolt::test {

struct ReportedError {
    int32_t code;
    int32_t line;
    std::string message;

    friend bool operator==(const ReportedError&, const ReportedError&) = default;
};

class RecordingSite final : public ScriptSite {
public:
    static RecordingSite* create() { return new RecordingSite; }

    // Every error is reported at column 0; any other column shows in the message.
    Status reportError(ErrorObject& error) override
    {
        int32_t line = -1;
        int32_t column = -1;
        int32_t code = 0;
        const char* message = nullptr;
        error.getPosition(line, column);
        error.getError(code, message);
        std::string text = message ? message : "";
        if (column != 0)
            text += " at column " + std::to_string(column);
        errors.push_back({ code, line, text });
        return Status::Ok;
    }
    Status onRunBegin() override
    {
        ++runBegins;
        return Status::Ok;
    }
    Status onRunEnd() override
    {
        ++runEnds;
        return Status::Ok;
    }

    std::vector<ReportedError> errors;
    int32_t runBegins { 0 };
    int32_t runEnds { 0 };

private:
    RecordingSite() = default;
};

// Sends Echo to a file of its own for as long as it lives.
class EchoCapture {
public:
    EchoCapture();
    ~EchoCapture();
    EchoCapture(const EchoCapture&) = delete;
    EchoCapture& operator=(const EchoCapture&) = delete;

    // What Echo wrote since the last call.
    std::string take();

private:
    char* m_buffer { nullptr };
    size_t m_size { 0 };
    size_t m_taken { 0 };
    std::FILE* m_file;
};

class ScriptHarness {
public:
    ScriptHarness();
    ~ScriptHarness();
    ScriptHarness(const ScriptHarness&) = delete;
    ScriptHarness& operator=(const ScriptHarness&) = delete;

    ScriptRunner& runner() { return *m_runner; }
    ScriptEngine& engine() { return *m_runner->engine(); }
    RecordingSite& site() { return *m_site; }

    Status run(std::string_view text) { return m_runner->runText(text.data(), static_cast<int32_t>(text.size())); }
    Status runInScope(std::string_view text)
    {
        return m_runner->runTextInScope(text.data(), static_cast<int32_t>(text.size()));
    }
    // evalString of the text; the caller releases the result.
    Status eval(ScriptObject* self, std::string_view text, ScriptValue& result);

    std::string echoed() { return m_echo.take(); }
    // The errors reported since the last call.
    std::vector<ReportedError> takeErrors() { return std::exchange(m_site->errors, {}); }
    // The value stack and the frames are at the bottom and nothing runs.
    bool balanced() { return engine().topSlot() == 0 && engine().frameBase() == 0 && !engine().running(); }

    // The newest binding of a global, retained (the caller releases it); undefined when absent.
    ScriptValue global(std::string_view name);
    // The script function bound to a global (the binding keeps it); aborts on anything else.
    ScriptFunction& function(std::string_view name);
    // The text of a global converted as the language converts it ("undefined" when absent).
    std::string globalText(std::string_view name);
    void defineGlobal(const char* name, const ScriptValue& value);
    // A new counting object bound to a global, which holds the only reference.
    CountingObject* defineProbe(const char* name, ObjectLog& log);

private:
    EchoCapture m_echo;
    RecordingSite* m_site;
    ScriptRunner* m_runner;
};

}
