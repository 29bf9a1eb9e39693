// The one intrusive base of every counted object. The count starts at 1 for the creator;
// release() destroys the object when the count reaches zero. Classes whose lifetime rule
// differs (a script function dies at 1) override addRef/release; the counts stay exact and
// visible because every holder goes through these two calls.
#pragma once

#include <base/Assert.h>

#include <cstdint>

namespace nimbolt {

class RefCounted {
public:
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

    virtual int32_t addRef() { return ++m_refCount; }
    virtual int32_t release()
    {
        int32_t count = --m_refCount;
        NIMBOLT_ASSERT(count >= 0);
        if (count == 0)
            delete this;
        return count;
    }
    int32_t refCount() const { return m_refCount; }

protected:
    RefCounted() = default;
    virtual ~RefCounted() = default;

    int32_t m_refCount { 1 };
};

}
