#include <script/runtime/Collectable.h>
#include <script/runtime/MemoryBudget.h>
#include <script/runtime/PropertyTable.h>
#include <script/runtime/ScriptValue.h>

namespace nimbolt {

void Collectable::listWith(MemoryBudget* budget)
{
    NIMBOLT_ASSERT(!m_budget);
    if (!budget)
        return;
    m_budget = budget;
    m_next = budget->m_listed;
    if (m_next)
        m_next->m_previous = this;
    budget->m_listed = this;
}

void Collectable::unlist()
{
    if (!m_budget)
        return;
    if (m_previous)
        m_previous->m_next = m_next;
    else
        m_budget->m_listed = m_next;
    if (m_next)
        m_next->m_previous = m_previous;
    m_previous = m_next = nullptr;
    m_budget.clear();
}

void Collectable::visitValue(const ScriptValue& value, Visitor visit, void* context)
{
    if (value.isCounted() && value.payload.object)
        visit(*value.payload.object, context);
}

void Collectable::visitTable(PropertyTable& table, Visitor visit, void* context)
{
    table.forEachValue([&](ScriptValue& value) { visitValue(value, visit, context); });
}

void Collectable::dropTable(PropertyTable& table, const ScriptObject* keep)
{
    table.forEachValue([&](ScriptValue& value) {
        if (!keep || !value.isCounted() || value.payload.object != keep)
            releaseValue(value);
    });
}

namespace {

struct Collection {
    MemoryBudget* budget;
    Collectable* work;
};

}

Collectable* Collectable::listedWith(ScriptObject& object, const MemoryBudget* budget)
{
    Collectable* listed = object.collectable();
    return listed && listed->m_budget.ptr() == budget ? listed : nullptr;
}

size_t collectCycles(MemoryBudget& budget)
{
    Collection collection { &budget, nullptr };
    for (Collectable* object = budget.m_listed; object; object = object->m_next) {
        object->m_outsideCount = object->countedObject().refCount();
        object->m_stays = false;
    }
    for (Collectable* object = budget.m_listed; object; object = object->m_next) {
        object->visitHeld(
            [](ScriptObject& held, void* context) {
                if (Collectable* listed
                    = Collectable::listedWith(held, static_cast<Collection*>(context)->budget))
                    --listed->m_outsideCount;
            },
            &collection);
    }

    // Whatever is held from outside stays, and so does everything it reaches.
    for (Collectable* object = budget.m_listed; object; object = object->m_next) {
        NIMBOLT_ASSERT(object->m_outsideCount >= 0);
        if (object->m_outsideCount > 0) {
            object->m_stays = true;
            object->m_chain = collection.work;
            collection.work = object;
        }
    }
    while (Collectable* object = collection.work) {
        collection.work = object->m_chain;
        object->visitHeld(
            [](ScriptObject& held, void* context) {
                auto* collection = static_cast<Collection*>(context);
                Collectable* listed = Collectable::listedWith(held, collection->budget);
                if (listed && !listed->m_stays) {
                    listed->m_stays = true;
                    listed->m_chain = collection->work;
                    collection->work = listed;
                }
            },
            &collection);
    }

    // The rest is held here while each drops what it holds, so that none goes before all have
    // let go; the last release of each then frees it.
    Collectable* doomed = nullptr;
    size_t count = 0;
    for (Collectable* object = budget.m_listed; object; object = object->m_next) {
        if (!object->m_stays) {
            object->countedObject().addRef();
            object->m_chain = doomed;
            doomed = object;
            ++count;
        }
    }
    for (Collectable* object = doomed; object; object = object->m_chain)
        object->dropHeld();
    while (Collectable* object = doomed) {
        doomed = object->m_chain;
        object->countedObject().release();
    }
    return count;
}

}
