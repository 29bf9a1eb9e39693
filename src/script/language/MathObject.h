// The Math global: seventeen numeric functions served by one member table that every Math
// object made from the same factory call shares. random is the classic 15-bit generator, seeded
// with the time by the factory.
#pragma once

#include <base/Ref.h>
#include <script/runtime/AtomTable.h>
#include <script/runtime/PropertyTable.h>
#include <script/runtime/ScriptObject.h>

namespace nimbolt {

class MathObject final : public ScriptObject {
public:
    Status invoke(Atom atom, InvokeOp op, int32_t argc, const ScriptValue* args, ScriptValue* result) override;

private:
    friend RefPtr<ScriptObject> createMathGlobal(AtomTable&);
    MathObject(AtomTable& atoms, PropertyTable& members);
    ~MathObject() override = default;

    Ref<AtomTable> m_atoms;
    Ref<PropertyTable> m_members;
};

// The factory of the Math global: builds the member table and seeds the generator; null when
// memory runs out.
RefPtr<ScriptObject> createMathGlobal(AtomTable& atoms);

// The process-wide generator behind Math.random: state = state * 214013 + 2531011, the result is
// bits 16 to 30 of the new state.
void seedRandom(uint32_t seed);
int32_t nextRandom();

}
