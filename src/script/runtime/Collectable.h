// Arrays, functions and instances hold values, so scripts can build cycles of them that counting
// alone never frees: an array that holds itself, a prototype that holds an instance of its own
// constructor. Every such object made for an engine is listed with that engine's memory budget.
// Between runs, collectCycles looks at the listed objects: an object's count less the references
// that listed objects hold on it is what the rest of the program (bindings, the value stack, host
// objects, other engines) holds. Objects held from outside stay, with everything they reach; the
// rest can only be reached from each other and are freed.
//
// That is exact only while visitHeld reports every counted reference an object holds, each as
// often as it is held, and nothing else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <script/runtime/MemoryBudget.h>
#include <script/runtime/ScriptObject.h>

namespace nimbolt {

class PropertyTable;

class Collectable {
public:
    using Visitor = void (*)(ScriptObject& held, void* context);

    Collectable(const Collectable&) = delete;
    Collectable& operator=(const Collectable&) = delete;

protected:
    Collectable() = default;
    ~Collectable() { unlist(); }

    // Lists the object with the budget (holding a reference on it); a null budget lists nowhere.
    void listWith(MemoryBudget* budget);
    void unlist();

    // The object whose count the holders of this one change.
    virtual ScriptObject& countedObject() = 0;
    // Calls visit for every counted reference this object holds.
    virtual void visitHeld(Visitor visit, void* context) = 0;
    // Lets go of every held value that could close a cycle; the object stays usable.
    virtual void dropHeld() = 0;

    // Visits the object of a counted value.
    static void visitValue(const ScriptValue& value, Visitor visit, void* context);
    // Visits every counted value of a table, and lets go of them all but one (or none).
    static void visitTable(PropertyTable& table, Visitor visit, void* context);
    static void dropTable(PropertyTable& table, const ScriptObject* keep = nullptr);

private:
    friend size_t collectCycles(MemoryBudget& budget);
    friend class MemoryBudget;
    // The listed object behind a held one when it is listed with the budget, else null.
    static Collectable* listedWith(ScriptObject& object, const MemoryBudget* budget);

    RefPtr<MemoryBudget> m_budget;
    Collectable* m_previous { nullptr };
    Collectable* m_next { nullptr };
    // Scratch of a collection: the count left after internal references, whether it stays, and
    // the next object on the collection's work or doomed chain.
    int32_t m_outsideCount { 0 };
    bool m_stays { false };
    Collectable* m_chain { nullptr };
};

// Frees the objects listed with the budget that only other listed objects hold, and returns how
// many there were. No script of the budget's engine may be running, and nothing may hold a
// listed object without a counted reference.
size_t collectCycles(MemoryBudget& budget);

}
