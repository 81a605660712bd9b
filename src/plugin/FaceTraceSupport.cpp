#include "FaceTraceSupport.h"

#include "FontRecordKeys.h"
#include "GLogger.h"
#include "XCFUtils.h"

#include <cstdlib>

namespace
{
constexpr TSInt32 kParamErr = -50;
constexpr long long kKerningChecksumLimit = 0x100000;

bool IsASCIIAlphanumeric(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

// A record's text value as UTF-8; empty when it is missing or not a string.
TUTF8String RecordText(CFDictionaryRef record, CFStringRef key)
{
    return XCFStringCopyUTF8(XCFDictionaryGetString(record, key));
}
} // namespace

TUTF8String FaceTraceSupport::NormalizeName(const TUTF8String& text, bool strict)
{
    std::size_t end = text.size();
    if (strict)
    {
        const std::size_t firstHyphen = text.find('-');
        if (firstHyphen != TUTF8String::npos)
        {
            const std::size_t secondHyphen = text.find('-', firstHyphen + 1);
            if (secondHyphen != TUTF8String::npos)
            {
                end = secondHyphen;
            }
        }
    }
    TUTF8String result;
    result.reserve(end);
    for (std::size_t i = 0; i < end; ++i)
    {
        const auto c = static_cast<unsigned char>(text[i]);
        if (strict && c == '#')
        {
            while (i + 1 < end && IsDigit(static_cast<unsigned char>(text[i + 1])))
            {
                ++i;
            }
            continue;
        }
        if (IsASCIIAlphanumeric(c) || c >= 0x80)
        {
            result.push_back(static_cast<char>(c));
        }
    }
    return result;
}

bool FaceTraceSupport::NamesMatch(const TUTF8String& a, const TUTF8String& b, int level)
{
    if (a == b)
    {
        return true;
    }
    if (level >= 2 && NormalizeName(a, false) == NormalizeName(b, false))
    {
        return true;
    }
    return level >= 3 && NormalizeName(a, true) == NormalizeName(b, true);
}

CFIndex FaceTraceSupport::IndexOfPostScriptName(CFArrayRef fonts, CFStringRef postScriptName)
{
    if (fonts == nullptr || postScriptName == nullptr)
    {
        return -1;
    }
    const TUTF8String name = XCFStringCopyUTF8(postScriptName);
    const CFIndex count = CFArrayGetCount(fonts);
    for (int level = 1; level <= 3; ++level)
    {
        for (CFIndex i = 0; i < count; ++i)
        {
            const void* record = CFArrayGetValueAtIndex(fonts, i);
            if (record == nullptr || CFGetTypeID(record) != CFDictionaryGetTypeID())
            {
                continue;
            }
            CFStringRef recordName =
                XCFDictionaryGetString(static_cast<CFDictionaryRef>(record), kFT_PostScriptNameKey);
            if (recordName != nullptr && NamesMatch(name, XCFStringCopyUTF8(recordName), level))
            {
                return i;
            }
        }
    }
    return -1;
}

bool FaceTraceSupport::NormalizeChecksums(CFMutableDictionaryRef font)
{
    if (font == nullptr)
    {
        return false;
    }
    bool changed = false;
    const TUTF8String checksum12 = RecordText(font, kFT_FaceTrace12ChecksumKey);
    const TUTF8String checksum = RecordText(font, kFT_ChecksumKey);
    if (!checksum12.empty() && checksum12 != "0" && (checksum.empty() || checksum == "0"))
    {
        TraceLog(
            0, "FaceTrace 1.1 checksum was 0 or not provided.  Using FaceTrace 1.2 checksum for its value.");
        CFDictionarySetValue(font, kFT_ChecksumKey, CFDictionaryGetValue(font, kFT_FaceTrace12ChecksumKey));
        changed = true;
    }
    const TUTF8String kerning = RecordText(font, kFT_KerningChecksumKey);
    if (!kerning.empty() && std::strtoll(kerning.c_str(), nullptr, 10) >= kKerningChecksumLimit)
    {
        CFDictionarySetValue(font, kFT_KerningChecksumKey, CFSTR("0"));
        changed = true;
    }
    return changed;
}

TSInt32 FaceTraceSupport::CreateXMLFaceTraceSlug(CFArrayRef fonts, TUTF8String* outText)
{
    TraceLog(1, "Entering CreateXMLFaceTraceSlug with fontData array of length %d.",
             fonts != nullptr ? static_cast<int>(CFArrayGetCount(fonts)) : 0);
    TSInt32 result = 0;
    if (outText == nullptr)
    {
        result = kParamErr;
    }
    else
    {
        outText->clear();
        CFDataRef xml = fonts != nullptr ? CFPropertyListCreateXMLData(nullptr, fonts) : nullptr;
        if (xml == nullptr)
        {
            result = -1;
        }
        else
        {
            outText->assign(reinterpret_cast<const char*>(CFDataGetBytePtr(xml)),
                            static_cast<std::size_t>(CFDataGetLength(xml)));
            CFRelease(xml);
        }
    }
    TraceLog(-1, "Exiting CreateXMLFaceTraceSlug with string of length %d.",
             outText != nullptr ? static_cast<int>(outText->size()) : 0);
    return result;
}
