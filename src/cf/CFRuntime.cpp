// CFType: reference counting, type IDs, equality, hashing and descriptions.

#include "CFInternal.h"

#include <CoreFoundation/CFLiveObjects.h>

#include <cstdio>
#include <cstdlib>

using cfimpl::AsObject;
using cfimpl::CFObject;

const CFAllocatorRef kCFAllocatorDefault = nullptr;

std::atomic<CFIndex> cfimpl::gLiveObjects{0};

namespace
{
// The Core Foundation the plug-in meets in the field crashes on a null reference here; so does
// this one, with a report, when built to catch such callers (CF_NULL_REFERENCE_IS_FATAL).
void NullReference(const char* function)
{
#ifdef CF_NULL_REFERENCE_IS_FATAL
    std::fprintf(stderr, "%s(NULL): a null reference, which crashes Core Foundation in the field\n",
                 function);
    std::fflush(stderr);
    std::abort();
#else
    static_cast<void>(function);
#endif
}
} // namespace

CFTypeRef CFRetain(CFTypeRef cf)
{
    const CFObject* object = AsObject(cf);
    if (object == nullptr)
    {
        NullReference("CFRetain");
    }
    else if (!object->mConstant)
    {
        const_cast<CFObject*>(object)->mRetainCount.fetch_add(1, std::memory_order_relaxed);
    }
    return cf;
}

void CFRelease(CFTypeRef cf)
{
    const CFObject* object = AsObject(cf);
    if (object == nullptr)
    {
        NullReference("CFRelease");
        return;
    }
    if (object->mConstant)
    {
        return;
    }
    if (const_cast<CFObject*>(object)->mRetainCount.fetch_sub(1, std::memory_order_acq_rel) == 1)
    {
        delete object;
    }
}

CFIndex CFGetRetainCount(CFTypeRef cf)
{
    const CFObject* object = AsObject(cf);
    if (object == nullptr)
    {
        return 0;
    }
    // Constant objects report the largest count, as they are never freed.
    return object->mConstant ? static_cast<CFIndex>(0x7FFFFFFFFFFFFFFFLL)
                             : object->mRetainCount.load(std::memory_order_relaxed);
}

CFTypeID CFGetTypeID(CFTypeRef cf)
{
    const CFObject* object = AsObject(cf);
    return object == nullptr ? 0 : object->mTypeID;
}

Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2)
{
    if (cf1 == cf2)
    {
        return cf1 != nullptr;
    }
    const CFObject* a = AsObject(cf1);
    const CFObject* b = AsObject(cf2);
    if (a == nullptr || b == nullptr || a->mTypeID != b->mTypeID)
    {
        return false;
    }
    return a->Equal(*b);
}

CFHashCode CFHash(CFTypeRef cf)
{
    const CFObject* object = AsObject(cf);
    return object == nullptr ? 0 : object->Hash();
}

void cfimpl::DescribeValue(std::string& out, CFTypeRef cf, int depth)
{
    const CFObject* object = AsObject(cf);
    if (object == nullptr)
    {
        out += "(null)";
    }
    else if (depth > kMaxDescriptionDepth)
    {
        out += "...";
    }
    else
    {
        object->Describe(out, depth);
    }
}

CFStringRef CFCopyDescription(CFTypeRef cf)
{
    if (cf == nullptr)
    {
        return nullptr;
    }
    std::string text;
    cfimpl::DescribeValue(text, cf, 0);
    return cfimpl::CreateStringFromUTF8(text);
}

CFStringRef CFCopyTypeIDDescription(CFTypeID type_id)
{
    const char* name = nullptr;
    switch (type_id)
    {
    case cfimpl::kStringTypeID:
        name = "CFString";
        break;
    case cfimpl::kArrayTypeID:
        name = "CFArray";
        break;
    case cfimpl::kDictionaryTypeID:
        name = "CFDictionary";
        break;
    case cfimpl::kNumberTypeID:
        name = "CFNumber";
        break;
    case cfimpl::kBooleanTypeID:
        name = "CFBoolean";
        break;
    case cfimpl::kDataTypeID:
        name = "CFData";
        break;
    case cfimpl::kUUIDTypeID:
        name = "CFUUID";
        break;
    case cfimpl::kDateTypeID:
        name = "CFDate";
        break;
    case cfimpl::kErrorTypeID:
        name = "CFError";
        break;
    default:
        return nullptr;
    }
    return cfimpl::CreateStringFromUTF8(name);
}

CFIndex _CFGetLiveObjectCount(void)
{
    return cfimpl::gLiveObjects.load(std::memory_order_relaxed);
}
