// Smart holders over an object's own addRef/release. Ref<T> holds one count and is never null;
// RefPtr<T> may be null. adoptRef takes over the creator's count without adding one.
#pragma once

#include <base/Assert.h>

#include <cstddef>
#include <utility>

namespace nimbolt {

template<typename T>
class Ref;
template<typename T>
class RefPtr;

template<typename T>
Ref<T> adoptRef(T& object);
template<typename T>
RefPtr<T> adoptRef(T* object);

template<typename T>
class Ref {
public:
    Ref(T& object)
        : m_ptr(&object)
    {
        m_ptr->addRef();
    }
    Ref(const Ref& other)
        : m_ptr(other.m_ptr)
    {
        m_ptr->addRef();
    }
    Ref(Ref&& other)
        : m_ptr(std::exchange(other.m_ptr, nullptr))
    {
    }
    template<typename U>
    Ref(Ref<U>&& other)
        : m_ptr(other.leakRef())
    {
    }
    ~Ref()
    {
        if (m_ptr)
            m_ptr->release();
    }
    Ref& operator=(Ref other)
    {
        std::swap(m_ptr, other.m_ptr);
        return *this;
    }

    T* operator->() const { return m_ptr; }
    T& operator*() const { return *m_ptr; }
    T* ptr() const { return m_ptr; }
    T& get() const { return *m_ptr; }

    // Hands the held count to the caller.
    T* leakRef() { return std::exchange(m_ptr, nullptr); }

private:
    friend Ref adoptRef<T>(T&);
    struct Adopt { };
    Ref(T& object, Adopt)
        : m_ptr(&object)
    {
    }

    T* m_ptr;
};

template<typename T>
class RefPtr {
public:
    RefPtr() = default;
    RefPtr(std::nullptr_t) { }
    RefPtr(T* object)
        : m_ptr(object)
    {
        if (m_ptr)
            m_ptr->addRef();
    }
    RefPtr(const RefPtr& other)
        : RefPtr(other.m_ptr)
    {
    }
    RefPtr(RefPtr&& other)
        : m_ptr(std::exchange(other.m_ptr, nullptr))
    {
    }
    template<typename U>
    RefPtr(Ref<U>&& other)
        : m_ptr(other.leakRef())
    {
    }
    template<typename U>
    RefPtr(RefPtr<U>&& other)
        : m_ptr(other.leakRef())
    {
    }
    ~RefPtr() { clear(); }
    RefPtr& operator=(RefPtr other)
    {
        std::swap(m_ptr, other.m_ptr);
        return *this;
    }

    void clear()
    {
        if (auto* old = std::exchange(m_ptr, nullptr))
            old->release();
    }

    T* operator->() const { return m_ptr; }
    T& operator*() const { return *m_ptr; }
    T* ptr() const { return m_ptr; }
    explicit operator bool() const { return m_ptr != nullptr; }
    bool operator!() const { return m_ptr == nullptr; }

    // Hands the held count to the caller.
    T* leakRef() { return std::exchange(m_ptr, nullptr); }
    // Hands the held count on as a Ref; the pointer must not be null.
    Ref<T> releaseNonNull()
    {
        NIMBOLT_ASSERT(m_ptr);
        return adoptRef(*std::exchange(m_ptr, nullptr));
    }

private:
    friend RefPtr adoptRef<T>(T*);
    struct Adopt { };
    RefPtr(T* object, Adopt)
        : m_ptr(object)
    {
    }

    T* m_ptr { nullptr };
};

template<typename T>
Ref<T> adoptRef(T& object)
{
    return Ref<T>(object, typename Ref<T>::Adopt {});
}

template<typename T>
RefPtr<T> adoptRef(T* object)
{
    return RefPtr<T>(object, typename RefPtr<T>::Adopt {});
}

}
