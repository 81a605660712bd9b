#include "GLogger.h"
#include "GStringEncodings.h"

#include <vector>

const CFStringEncoding kUncertainEncodingFallbacks[7] = {
    kCFStringEncodingUTF8,      kCFStringEncodingWindowsLatin1, kCFStringEncodingMacRoman,
    kCFStringEncodingISOLatin1, kCFStringEncodingASCII,         kCFStringEncodingNonLossyASCII,
    kCFStringEncodingInvalidId,
};

TUTF8String UTF8StringFromCFString(CFStringRef string)
{
    if (string == nullptr || CFStringGetLength(string) == 0)
    {
        return TUTF8String();
    }
    if (const char* direct = CFStringGetCStringPtr(string, kCFStringEncodingUTF8))
    {
        return TUTF8String(direct);
    }
    const CFIndex maximumSize =
        CFStringGetMaximumSizeForEncoding(CFStringGetLength(string), kCFStringEncodingUTF8);
    if (maximumSize == kCFNotFound)
    {
        return TUTF8String();
    }
    std::vector<char> buffer(static_cast<std::size_t>(maximumSize) + 1, '\0');
    if (!CFStringGetCString(string, buffer.data(), static_cast<CFIndex>(buffer.size()),
                            kCFStringEncodingUTF8))
    {
        return TUTF8String();
    }
    return TUTF8String(buffer.data());
}

CFStringRef CreateCFStringFromUTF8String(const TUTF8String& text)
{
    return CFStringCreateWithBytes(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(text.data()),
                                   static_cast<CFIndex>(text.size()), kCFStringEncodingUTF8, false);
}

CFStringRef CFStringCreateWithUncertainEncoding(const char* text)
{
    for (int index = 0; kUncertainEncodingFallbacks[index] != kCFStringEncodingInvalidId; ++index)
    {
        const CFStringEncoding encoding = kUncertainEncodingFallbacks[index];
        CFStringRef string = CFStringCreateWithCString(kCFAllocatorDefault, text, encoding);
        if (string == nullptr)
        {
            TraceLog(0, "CFStringCreateWithCString('%s', 0x%08x) failed.", text != nullptr ? text : "NULL",
                     static_cast<unsigned>(encoding));
            continue;
        }
        TraceLog(0, "%s() used encoding at index %d to return '%s'", "CFStringCreateWithUncertainEncoding",
                 index, UTF8StringFromCFString(string).c_str());
        return string;
    }
    TraceLog(0, "CFStringCreateWithCString failed on '%s' for all encoding types. Giving up.",
             text != nullptr ? text : "NULL");
    return nullptr;
}
