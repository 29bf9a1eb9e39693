// Objects that hold others of their kind (arrays in arrays, instances in instances, document
// nodes in their children) would be destroyed recursively, one native frame per level, when the
// outermost goes. A class that derives from DeferredRelease destroys itself through one queue
// instead: an object whose count reaches zero while another destruction is running waits in the
// queue and is deleted after it, so releasing a chain however long never recurses.
#pragma once

namespace nimbolt {

class DeferredRelease {
protected:
    DeferredRelease() = default;
    virtual ~DeferredRelease() = default;

    // Deletes this object now, or, inside another object's destruction, right after it.
    void destroyDeferred();

private:
    DeferredRelease* m_nextDoomed { nullptr };
};

}
