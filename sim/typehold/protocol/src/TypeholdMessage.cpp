#include "TypeholdMessage.h"

namespace typehold
{
CFStringRef Key(const char* key)
{
    return __CFStringMakeConstantString(key);
}

CFNumberRef CreateNumber(std::int64_t value)
{
    if (value >= INT32_MIN && value <= INT32_MAX)
    {
        const SInt32 narrow = static_cast<SInt32>(value);
        return CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &narrow);
    }
    const SInt64 wide = value;
    return CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &wide);
}

CFStringRef CreateString(const std::string& text)
{
    const UInt8* bytes = reinterpret_cast<const UInt8*>(text.data());
    const CFIndex size = static_cast<CFIndex>(text.size());
    CFStringRef string =
        CFStringCreateWithBytes(kCFAllocatorDefault, bytes, size, kCFStringEncodingUTF8, false);
    if (string == nullptr)
    {
        string =
            CFStringCreateWithBytes(kCFAllocatorDefault, bytes, size, kCFStringEncodingWindowsLatin1, false);
    }
    return string != nullptr ? string
                             : CFStringCreateWithCString(kCFAllocatorDefault, "", kCFStringEncodingUTF8);
}

CFMutableDictionaryRef CreateMutableDictionary()
{
    return CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                     &kCFTypeDictionaryValueCallBacks);
}

CFMutableArrayRef CreateMutableArray()
{
    return CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
}

std::string StringValue(CFTypeRef value)
{
    if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID())
    {
        return std::string();
    }
    CFStringRef string = static_cast<CFStringRef>(value);
    const CFIndex length = CFStringGetLength(string);
    CFIndex used = 0;
    CFStringGetBytes(string, CFRangeMake(0, length), kCFStringEncodingUTF8, '?', false, nullptr, 0, &used);
    std::string text(static_cast<std::size_t>(used), '\0');
    CFStringGetBytes(string, CFRangeMake(0, length), kCFStringEncodingUTF8, '?', false,
                     reinterpret_cast<UInt8*>(text.data()), used, &used);
    text.resize(static_cast<std::size_t>(used));
    return text;
}

bool IntegerValue(CFTypeRef value, std::int64_t& integer)
{
    if (value == nullptr)
    {
        return false;
    }
    if (CFGetTypeID(value) == CFBooleanGetTypeID())
    {
        integer = CFBooleanGetValue(static_cast<CFBooleanRef>(value)) ? 1 : 0;
        return true;
    }
    if (CFGetTypeID(value) == CFNumberGetTypeID())
    {
        SInt64 number = 0;
        CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt64Type, &number);
        integer = number;
        return true;
    }
    return false;
}

CFTypeRef MessageValue(CFDictionaryRef message, const char* key)
{
    return message != nullptr ? CFDictionaryGetValue(message, Key(key)) : nullptr;
}

std::int64_t MessageInt(CFDictionaryRef message, const char* key, std::int64_t fallback)
{
    std::int64_t value = 0;
    return IntegerValue(MessageValue(message, key), value) ? value : fallback;
}

bool MessageBool(CFDictionaryRef message, const char* key, bool fallback)
{
    std::int64_t value = 0;
    return IntegerValue(MessageValue(message, key), value) ? value != 0 : fallback;
}

std::string MessageString(CFDictionaryRef message, const char* key)
{
    return StringValue(MessageValue(message, key));
}

std::vector<std::int64_t> MessageInts(CFDictionaryRef message, const char* key)
{
    std::vector<std::int64_t> values;
    CFArrayRef array = MessageArray(message, key);
    const CFIndex count = array != nullptr ? CFArrayGetCount(array) : 0;
    values.reserve(static_cast<std::size_t>(count));
    for (CFIndex i = 0; i < count; ++i)
    {
        std::int64_t value = 0;
        if (IntegerValue(CFArrayGetValueAtIndex(array, i), value))
        {
            values.push_back(value);
        }
    }
    return values;
}

CFArrayRef MessageArray(CFDictionaryRef message, const char* key)
{
    CFTypeRef value = MessageValue(message, key);
    return value != nullptr && CFGetTypeID(value) == CFArrayGetTypeID() ? static_cast<CFArrayRef>(value)
                                                                        : nullptr;
}

CFDictionaryRef MessageDictionary(CFDictionaryRef message, const char* key)
{
    CFTypeRef value = MessageValue(message, key);
    return value != nullptr && CFGetTypeID(value) == CFDictionaryGetTypeID()
               ? static_cast<CFDictionaryRef>(value)
               : nullptr;
}

void SetValue(CFMutableDictionaryRef message, const char* key, CFTypeRef value)
{
    if (value != nullptr)
    {
        CFDictionarySetValue(message, Key(key), value);
    }
}

void SetInt(CFMutableDictionaryRef message, const char* key, std::int64_t value)
{
    CFNumberRef number = CreateNumber(value);
    SetValue(message, key, number);
    CFRelease(number);
}

void SetBool(CFMutableDictionaryRef message, const char* key, bool value)
{
    SetValue(message, key, value ? kCFBooleanTrue : kCFBooleanFalse);
}

void SetString(CFMutableDictionaryRef message, const char* key, const std::string& value)
{
    CFStringRef string = CreateString(value);
    SetValue(message, key, string);
    CFRelease(string);
}
} // namespace typehold
