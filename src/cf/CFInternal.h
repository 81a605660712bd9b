#pragma once
// The object model behind the C API. Every Core Foundation object is a CFObject: a type ID, an
// atomic reference count and the three operations CFEqual, CFHash and CFCopyDescription rely on.
// The opaque structs of the public headers (__CFString, __CFArray, ...) derive from it.

#include <CoreFoundation/CoreFoundation.h>

#include <atomic>
#include <string>

namespace cfimpl
{
enum : CFTypeID
{
    kStringTypeID = 7,
    kArrayTypeID = 19,
    kDictionaryTypeID = 18,
    kNumberTypeID = 22,
    kBooleanTypeID = 21,
    kDataTypeID = 20,
    kUUIDTypeID = 29,
    kDateTypeID = 42,
    kErrorTypeID = 30,
};

// Descriptions of nested containers stop at this depth (a mutable container may hold itself).
constexpr int kMaxDescriptionDepth = 32;

// Objects alive now, constant ones left out (the test-only count of CFLiveObjects.h).
extern std::atomic<CFIndex> gLiveObjects;

class CFObject
{
public:
    CFObject(CFTypeID typeID, bool isConstant) : mTypeID(typeID), mConstant(isConstant)
    {
        if (!mConstant)
        {
            gLiveObjects.fetch_add(1, std::memory_order_relaxed);
        }
    }
    virtual ~CFObject()
    {
        if (!mConstant)
        {
            gLiveObjects.fetch_sub(1, std::memory_order_relaxed);
        }
    }
    CFObject(const CFObject&) = delete;
    CFObject& operator=(const CFObject&) = delete;

    // Called only with an object of the same type ID.
    virtual bool Equal(const CFObject& other) const = 0;
    virtual CFHashCode Hash() const = 0;
    // Appends a UTF-8 description; depth counts enclosing containers.
    virtual void Describe(std::string& out, int depth) const = 0;
    // The text %@ inserts: the description unless the type has a plainer form.
    virtual void AppendFormatting(std::string& out) const { Describe(out, 0); }

    const CFTypeID mTypeID;
    // Constant objects (CFSTR strings, the Booleans) are never freed; their count is not kept.
    const bool mConstant;
    std::atomic<CFIndex> mRetainCount{1};
};

inline const CFObject* AsObject(CFTypeRef cf)
{
    return static_cast<const CFObject*>(cf);
}

// The object behind a reference when it has type T, otherwise null.
template <class T>
const T* As(CFTypeRef cf)
{
    const CFObject* object = AsObject(cf);
    return (object != nullptr && object->mTypeID == T::kTypeID) ? static_cast<const T*>(object) : nullptr;
}
template <class T>
T* AsMutable(CFTypeRef cf)
{
    return const_cast<T*>(As<T>(cf));
}

// Appends the description of any object (or "(null)") as a nested value.
void DescribeValue(std::string& out, CFTypeRef cf, int depth);
// A new immutable string from UTF-8 text; invalid sequences become U+FFFD.
CFStringRef CreateStringFromUTF8(const std::string& text);
// The UTF-8 text of a string (lossless; unpaired surrogates become U+FFFD).
std::string StringToUTF8(CFStringRef string);

// The callbacks of collections of Core Foundation objects.
inline const void* RetainType(CFAllocatorRef /*allocator*/, const void* value)
{
    return CFRetain(value);
}
inline void ReleaseType(CFAllocatorRef /*allocator*/, const void* value)
{
    CFRelease(value);
}
inline Boolean EqualType(const void* value1, const void* value2)
{
    return CFEqual(value1, value2);
}

// FNV-1a over bytes, the hash of strings and data.
inline CFHashCode HashBytes(const void* data, std::size_t length, CFHashCode seed = 0)
{
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    std::uint64_t hash = 1469598103934665603ULL ^ seed;
    for (std::size_t i = 0; i < length; ++i)
    {
        hash = (hash ^ bytes[i]) * 1099511628211ULL;
    }
    return static_cast<CFHashCode>(hash);
}
} // namespace cfimpl
