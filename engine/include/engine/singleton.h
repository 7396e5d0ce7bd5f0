// Process-wide instances created on first use, and the plain factory. A class that derives from
// Singleton<T> and is constructed directly becomes the instance; deleting it clears the instance.
#pragma once

#include <engine/export.h>

#include <new>

namespace engine::pattern {

template <typename T>
class ENGINE_API Singleton {
public:
    // Default visibility on the class makes every program and the library share one mInstance.
    static inline T* mInstance = nullptr;

    static T* Get() {
        if (mInstance == nullptr)
            mInstance = new (std::nothrow) T();
        return mInstance;
    }

    virtual ~Singleton() { mInstance = nullptr; }

    // Copies share nothing and leave the registered instance alone.
    Singleton(const Singleton&) {}
    Singleton& operator=(const Singleton&) { return *this; }

protected:
    // The downcast happens while T is still being built, which the vptr sanitizer would flag; the
    // pointer only becomes usable once construction completes, as intended.
    __attribute__((no_sanitize("vptr"))) Singleton() { mInstance = static_cast<T*>(this); }
};

template <typename T>
class ENGINE_API Creator {
public:
    static T* CreateInstance() { return new (std::nothrow) T(); }
};

} // namespace engine::pattern
