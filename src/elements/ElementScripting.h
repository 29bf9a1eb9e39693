// What elements need of the script side of their document: running handler text, and the member
// table that scripts reach every element through.
#pragma once

#include <base/Status.h>
#include <script/runtime/PropertyTable.h>
#include <script/runtime/ScriptObject.h>
#include <script/runtime/ScriptString.h>

namespace nimbolt {

class ElementScripting {
public:
    // Runs script text in a new scope with self as this; the value it leaves goes to result.
    // Errors are reported to the user by the document, never returned to the element.
    virtual Status evaluate(ScriptObject* self, ScriptString& code, ScriptValue* result) = 0;
    // The member table all elements of the document share, built when the document was set up;
    // null when there is none.
    virtual PropertyTable* elementMembers() = 0;

protected:
    ~ElementScripting() = default;
};

}
