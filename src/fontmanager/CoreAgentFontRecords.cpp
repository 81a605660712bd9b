// The pure record rules of the core agent interface: activation-state conversion and the IDs of
// an array of font records.

#include "CoreAgentInterface.h"
#include "FontRecordKeys.h"
#include "GCFRef.h"
#include "GLogger.h"
#include "XCFUtils.h"

#include <cstdlib>

namespace
{
enum : TSInt32
{
    kStateUnknown = 0,
    kStateInactive = 1,
    kStateActive = 2,
    kStateActiveTemporarily = 3,
};

// A record value read as an integer: a number, or decimal text.
bool ReadInteger(CFDictionaryRef record, CFStringRef key, TSInt64& outValue)
{
    const void* value = CFDictionaryGetValue(record, key);
    if (value == nullptr)
    {
        return false;
    }
    if (CFGetTypeID(value) == CFNumberGetTypeID())
    {
        return CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt64Type, &outValue) != 0;
    }
    if (CFGetTypeID(value) == CFStringGetTypeID())
    {
        const TUTF8String text = XCFStringCopyUTF8(static_cast<CFStringRef>(value));
        char* end = nullptr;
        const long long number = std::strtoll(text.c_str(), &end, 10);
        if (end == text.c_str())
        {
            return false;
        }
        outValue = number;
        return true;
    }
    return false;
}

void SetYesNo(CFMutableDictionaryRef record, CFStringRef key, bool yes)
{
    CFDictionarySetValue(record, key, yes ? CFSTR("1") : CFSTR("0"));
}
} // namespace

TSInt32 CoreAgentInterface::ConvertActivationStateValues(CFMutableDictionaryRef font)
{
    if (font == nullptr)
    {
        return -1;
    }
    TSInt64 raw = -1;
    if (!ReadInteger(font, kFT_ActivationStateKey, raw))
    {
        raw = -1;
    }
    TSInt32 state = kStateUnknown;
    bool isTemp = false;
    bool isActive = false;
    bool isAutoActivated = false;
    switch (raw)
    {
    case 0:
        state = kStateInactive;
        break;
    case 1:
    case 2:
        state = kStateActiveTemporarily;
        isTemp = true;
        isActive = true;
        isAutoActivated = true;
        break;
    case 3:
    case 9:
    case 10:
        state = kStateActiveTemporarily;
        isTemp = true;
        isActive = true;
        break;
    case 4:
    case 5:
    case 6:
    case 11:
        state = kStateActive;
        isActive = true;
        break;
    default:
        break;
    }
    if (const GCFRef<CFNumberRef> stateNumber(CFNumberCreate(nullptr, kCFNumberSInt32Type, &state));
        stateNumber)
    {
        CFDictionarySetValue(font, kFT_ActivationStateKey, stateNumber.Get());
    }
    SetYesNo(font, kFT_IsTempKey, isTemp);
    SetYesNo(font, kFT_IsActiveKey, isActive);
    SetYesNo(font, kFT_IsAutoActivatedKey, isAutoActivated);
    const TUTF8String postScriptName = XCFStringCopyUTF8(XCFDictionaryGetString(font, kFT_PostScriptNameKey));
    TraceLog(0,
             "%s(kFT_PostScriptNameKey='%s'): activationState=%d, isTemp=%d, isActive=%d, isAutoActivated=%d",
             "CoreAgentInterface::ConvertActivationStateValues", postScriptName.c_str(), state,
             isTemp ? 1 : 0, isActive ? 1 : 0, isAutoActivated ? 1 : 0);
    return 0;
}

std::vector<TUInt32> CoreAgentInterface::GetFontIDsFromFontInfoArray(CFArrayRef fonts)
{
    TraceLog(1, "Entering GetFontIDsFromFontInfoArray()");
    std::vector<TUInt32> fontIDs;
    const CFIndex count = fonts != nullptr ? CFArrayGetCount(fonts) : 0;
    for (CFIndex i = 0; i < count; ++i)
    {
        const void* record = CFArrayGetValueAtIndex(fonts, i);
        if (record == nullptr || CFGetTypeID(record) != CFDictionaryGetTypeID())
        {
            continue;
        }
        TSInt64 fontID = 0;
        if (ReadInteger(static_cast<CFDictionaryRef>(record), kFT_DatabaseIDKey, fontID) && fontID != 0)
        {
            fontIDs.push_back(static_cast<TUInt32>(fontID));
        }
    }
    TraceLog(-1, "GetFontIDsFromFontInfoArray() returning a vector of %d font IDs",
             static_cast<int>(fontIDs.size()));
    return fontIDs;
}
