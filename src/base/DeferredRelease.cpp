#include <base/DeferredRelease.h>

namespace nimbolt {

// Objects waiting for deletion, newest first, and how many deletions are running inside each
// other right now.
static DeferredRelease* s_doomed = nullptr;
static int s_nesting = 0;

void DeferredRelease::destroyDeferred()
{
    if (s_nesting >= MaxNesting) {
        m_nextDoomed = s_doomed;
        s_doomed = this;
        return;
    }
    ++s_nesting;
    delete this;
    --s_nesting;
    if (s_nesting > 0)
        return;
    // The outermost destruction is over: delete what waited, each with the full depth again.
    while (DeferredRelease* object = s_doomed) {
        s_doomed = object->m_nextDoomed;
        ++s_nesting;
        delete object;
        --s_nesting;
    }
}

}
