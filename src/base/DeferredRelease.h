// Objects that hold others of their kind (arrays in arrays, instances in instances, document
// nodes in their children) are destroyed recursively when the outermost goes. A class that
// derives from DeferredRelease destroys itself through destroyDeferred: up to MaxNesting
// destructions deep it is deleted at once, so objects die in the order their holders let them
// go; deeper than that it waits in a queue and is deleted when the outermost destruction has
// finished, so releasing a chain however long never exhausts the native stack.
#pragma once

namespace nimbolt {

class DeferredRelease {
public:
    static constexpr int MaxNesting = 256;

protected:
    DeferredRelease() = default;
    virtual ~DeferredRelease() = default;

    // Deletes this object now, or, too deep inside other destructions, after the outermost one.
    void destroyDeferred();

private:
    DeferredRelease* m_nextDoomed { nullptr };
};

}
