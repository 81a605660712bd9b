// CFError.

#include "CFInternal.h"

#include <string>

struct __CFError final : cfimpl::CFObject
{
    static constexpr CFTypeID kTypeID = cfimpl::kErrorTypeID;

    __CFError(CFStringRef domain, CFIndex code, CFDictionaryRef userInfo)
        : CFObject(kTypeID, false), mDomain(static_cast<CFStringRef>(CFRetain(domain))), mCode(code),
          mUserInfo(userInfo != nullptr ? CFDictionaryCreateCopy(kCFAllocatorDefault, userInfo)
                                        : CFDictionaryCreate(kCFAllocatorDefault, nullptr, nullptr, 0,
                                                             &kCFTypeDictionaryKeyCallBacks,
                                                             &kCFTypeDictionaryValueCallBacks))
    {
    }
    ~__CFError() override
    {
        CFRelease(mDomain);
        CFRelease(mUserInfo);
    }

    bool Equal(const CFObject& other) const override
    {
        const auto& error = static_cast<const __CFError&>(other);
        return mCode == error.mCode && CFEqual(mDomain, error.mDomain) && CFEqual(mUserInfo, error.mUserInfo);
    }
    CFHashCode Hash() const override { return static_cast<CFHashCode>(mCode); }
    void Describe(std::string& out, int depth) const override
    {
        out += "Error Domain=";
        cfimpl::DescribeValue(out, mDomain, depth + 1);
        out += " Code=" + std::to_string(static_cast<long long>(mCode)) + " ";
        cfimpl::DescribeValue(out, mUserInfo, depth + 1);
    }

    const CFStringRef mDomain;
    const CFIndex mCode;
    const CFDictionaryRef mUserInfo;
};

const CFErrorDomain kCFErrorDomainCocoa = CFSTR("NSCocoaErrorDomain");
const CFStringRef kCFErrorDescriptionKey = CFSTR("NSDescription");

CFTypeID CFErrorGetTypeID(void)
{
    return cfimpl::kErrorTypeID;
}

CFErrorRef CFErrorCreate(CFAllocatorRef /*allocator*/, CFErrorDomain domain, CFIndex code,
                         CFDictionaryRef userInfo)
{
    if (CFGetTypeID(domain) != CFStringGetTypeID())
    {
        return nullptr;
    }
    return new __CFError(domain, code, userInfo);
}

CFErrorDomain CFErrorGetDomain(CFErrorRef err)
{
    const __CFError* error = cfimpl::As<__CFError>(err);
    return error == nullptr ? nullptr : error->mDomain;
}

CFIndex CFErrorGetCode(CFErrorRef err)
{
    const __CFError* error = cfimpl::As<__CFError>(err);
    return error == nullptr ? 0 : error->mCode;
}

CFDictionaryRef CFErrorCopyUserInfo(CFErrorRef err)
{
    const __CFError* error = cfimpl::As<__CFError>(err);
    return error == nullptr ? nullptr : static_cast<CFDictionaryRef>(CFRetain(error->mUserInfo));
}

CFStringRef CFErrorCopyDescription(CFErrorRef err)
{
    const __CFError* error = cfimpl::As<__CFError>(err);
    if (error == nullptr)
    {
        return nullptr;
    }
    CFTypeRef description = CFDictionaryGetValue(error->mUserInfo, kCFErrorDescriptionKey);
    if (CFGetTypeID(description) == CFStringGetTypeID())
    {
        return static_cast<CFStringRef>(CFRetain(description));
    }
    return CFStringCreateWithFormat(kCFAllocatorDefault, nullptr,
                                    CFSTR("The operation couldn't be completed. (%@ error %ld.)"),
                                    error->mDomain, static_cast<long>(error->mCode));
}
