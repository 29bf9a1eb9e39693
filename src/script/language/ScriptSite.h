// What a host gives a ScriptRunner: the place where errors are reported, and a bracket around
// every run that passed the parser.
#pragma once

#include <base/RefCounted.h>
#include <base/Status.h>

namespace nimbolt {

class ErrorObject;

class ScriptSite : public RefCounted {
public:
    // Called once for every parse error and every run-time error that ends a run.
    virtual Status reportError(ErrorObject& error) = 0;
    virtual Status onRunBegin() { return Status::Ok; }
    virtual Status onRunEnd() { return Status::Ok; }
};

}
