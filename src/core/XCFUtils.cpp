#include "XCFUtils.h"

#include "GErrorReport.h"
#include "GStringEncodings.h"

#include <climits>
#include <cstdlib>

namespace
{
constexpr const char* kLogCategory = "Miscellaneous";

// A caller's contract: reported as a failed check when it does not hold.
bool ContractHolds(bool holds, TErrorCode code, const char* file, int line, const char* expression)
{
    if (!holds)
    {
        ReportCheckFailure(kLogCategory, GLogger::kError, code, file, line, expression);
    }
    return holds;
}
} // namespace

#define XCF_CONTRACT(condition, code) ContractHolds((condition), (code), __FILE__, __LINE__, #condition)

bool XCFDictionaryGetBoolean(CFDictionaryRef inDictRef, CFStringRef inKey, bool& outValue)
{
    CFTypeRef value = CFDictionaryGetValue(inDictRef, inKey);
    if (value == nullptr || CFGetTypeID(value) != CFBooleanGetTypeID())
    {
        return false;
    }
    outValue = CFBooleanGetValue(static_cast<CFBooleanRef>(value));
    return true;
}

CFStringRef XCFDictionaryGetString(CFDictionaryRef inDictRef, CFStringRef inKey)
{
    CFTypeRef value = CFDictionaryGetValue(inDictRef, inKey);
    if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID())
    {
        return nullptr;
    }
    return static_cast<CFStringRef>(value);
}

CFStringRef XCFDictionaryGetStringChecked(CFDictionaryRef inDictRef, CFStringRef inKey)
{
    // The expression is reported as written here.
    // clang-format off
    if (!XCF_CONTRACT(inDictRef != NULL && CFGetTypeID( inDictRef ) == CFDictionaryGetTypeID() && inKey != NULL && CFGetTypeID( inKey ) == CFStringGetTypeID() && CFStringGetLength( inKey ) > 0,
                      CoreErrorCodes::kInvalidParam))
    // clang-format on
    {
        return nullptr;
    }
    return XCFDictionaryGetString(inDictRef, inKey);
}

bool XCFDictionaryGetNumber(CFDictionaryRef inDictRef, CFStringRef inKey, TSInt32* pValue)
{
    if (!XCF_CONTRACT(pValue != NULL, CoreErrorCodes::kNullPointer))
    {
        return false;
    }
    CFTypeRef value = CFDictionaryGetValue(inDictRef, inKey);
    if (value == nullptr || CFGetTypeID(value) != CFNumberGetTypeID())
    {
        return false;
    }
    long number = 0;
    if (!CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberLongType, &number) ||
        number < INT32_MIN || number > INT32_MAX)
    {
        return false;
    }
    *pValue = static_cast<TSInt32>(number);
    return true;
}

TSInt32 XCFDictionaryGetIntegerFromString(CFDictionaryRef inDictRef, CFStringRef inKey,
                                          CFStringEncoding encoding)
{
    CFStringRef string = XCFDictionaryGetString(inDictRef, inKey);
    if (string == nullptr)
    {
        return 0;
    }
    const char* text = CFStringGetCStringPtr(string, encoding);
    if (text == nullptr)
    {
        return CFStringGetIntValue(string);
    }
    // atol, with the result kept within 32 bits.
    const long value = std::strtol(text, nullptr, 10);
    return static_cast<TSInt32>(value < INT32_MIN ? INT32_MIN : (value > INT32_MAX ? INT32_MAX : value));
}

bool XCFDictionarySetBoolean(CFMutableDictionaryRef inDictRef, CFStringRef inKey, bool inValue)
{
    CFDictionarySetValue(inDictRef, inKey, inValue ? kCFBooleanTrue : kCFBooleanFalse);
    return true;
}

bool XCFDictionarySetNumber(CFMutableDictionaryRef inDictRef, CFStringRef inKey, TSInt32 inValue)
{
    const long value = inValue;
    CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberLongType, &value);
    if (number == nullptr)
    {
        return false;
    }
    CFDictionarySetValue(inDictRef, inKey, number);
    CFRelease(number);
    return true;
}

bool XCFDictionarySetIntegerAsString(CFMutableDictionaryRef inDictRef, CFStringRef inKey, TSInt32 inValue)
{
    CFStringRef text =
        CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("%ld"), static_cast<long>(inValue));
    if (text == nullptr)
    {
        return false;
    }
    CFDictionarySetValue(inDictRef, inKey, text);
    CFRelease(text);
    return true;
}

std::unique_ptr<UniChar[]> XCFStringCopyUTF16(CFStringRef inString)
{
    const CFIndex length = CFStringGetLength(inString);
    std::unique_ptr<UniChar[]> buffer(new UniChar[static_cast<std::size_t>(length) + 1]);
    CFStringGetCharacters(inString, CFRangeMake(0, length), buffer.get());
    buffer[static_cast<std::size_t>(length)] = 0;
    return buffer;
}

TUTF8String XCFStringCopyUTF8(CFStringRef inString)
{
    return UTF8StringFromCFString(inString);
}
