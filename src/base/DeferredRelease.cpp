#include <base/DeferredRelease.h>

namespace nimbolt {

// Objects waiting for deletion, newest first; the outermost destroyDeferred deletes them.
static DeferredRelease* s_doomed = nullptr;
static bool s_draining = false;

void DeferredRelease::destroyDeferred()
{
    m_nextDoomed = s_doomed;
    s_doomed = this;
    if (s_draining)
        return;
    s_draining = true;
    while (DeferredRelease* object = s_doomed) {
        s_doomed = object->m_nextDoomed;
        delete object;
    }
    s_draining = false;
}

}
