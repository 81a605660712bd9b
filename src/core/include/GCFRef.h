#pragma once
// One owned Core Foundation reference: what a Create or Copy call returned, released exactly once
// when the holder goes away, on every path out of the scope (an early return, an exception). A
// null reference is held as well and never released: the Core Foundation of the field crashes on
// CFRelease(NULL).
//
//   GCFRef<CFStringRef> name(CFStringCreateWithCString(...));
//   if (!name) return kError;                  // nothing leaks
//   CFDictionarySetValue(font, kKey, name.Get());
//   return name.Release();                     // the caller owns it now

#include <CoreFoundation/CoreFoundation.h>

#include <utility>

template <class T>
class GCFRef
{
public:
    GCFRef() = default;
    // Takes over a reference the caller owns (the result of a Create or Copy call).
    explicit GCFRef(T reference) : mReference(reference) {}
    ~GCFRef() { Reset(); }

    GCFRef(const GCFRef&) = delete;
    GCFRef& operator=(const GCFRef&) = delete;
    GCFRef(GCFRef&& other) noexcept : mReference(other.Release()) {}
    GCFRef& operator=(GCFRef&& other) noexcept
    {
        if (this != &other)
        {
            Reset(other.Release());
        }
        return *this;
    }

    T Get() const { return mReference; }
    explicit operator bool() const { return mReference != nullptr; }

    // Gives the reference up to the caller, who releases it.
    T Release() { return std::exchange(mReference, nullptr); }

    // Releases the reference held, if any, and takes over another one.
    void Reset(T reference = nullptr)
    {
        const T old = std::exchange(mReference, reference);
        if (old != nullptr)
        {
            CFRelease(old);
        }
    }

    // Where a function that creates into an out parameter writes: the reference held so far is
    // released first.
    T* OutPointer()
    {
        Reset();
        return &mReference;
    }

private:
    T mReference = nullptr;
};
