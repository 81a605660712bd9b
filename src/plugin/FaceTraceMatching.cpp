// Matching document fonts to the font manager's identification data: name cleanup, candidate
// lookup with its fallbacks, the ordering that puts the best candidate first, merging of record
// arrays, and the reduction of records to the keys a document may hold.

#include "FaceTraceSupport.h"

#include "FontManagerInterface.h"
#include "GCFRef.h"
#include "GLogger.h"
#include "GStringEncodings.h"
#include "LPILoader.h"
#include "XCFUtils.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{
constexpr TSInt32 kErrorParameter = -50;
constexpr TSInt32 kErrorPortolanNotRunning = 1000;
constexpr TUInt32 kFaceTraceBufferSize = 65536;
constexpr std::size_t kNameCapacity = 128;

// The keys that may remain in a record written into a document, in their order.
constexpr const char* kSluggableKeys[] = {
    "PostScriptName",         "FontKind",        "Foundry",         "Version", "KerningChecksum", "Checksum",
    "FaceTrace_1.2_Checksum", "OutlineFileSize", "OutlineFileName", "Family"};

CFDictionaryRef SluggableKeys()
{
    static CFDictionaryRef sDictionary = []
    {
        CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(
            kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
        for (const char* key : kSluggableKeys)
        {
            const GCFRef<CFStringRef> keyString(
                CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8));
            if (dictionary == nullptr || !keyString)
            {
                continue;
            }
            CFDictionarySetValue(dictionary, keyString.Get(), CFSTR(""));
            TraceLog(0, "Added key '%s' to sluggableKeysDictionary.", key);
        }
        TraceLog(0, "sluggableKeysDictionary has %d entries",
                 static_cast<int>(dictionary != nullptr ? CFDictionaryGetCount(dictionary) : 0));
        return static_cast<CFDictionaryRef>(dictionary);
    }();
    return sDictionary;
}

TUTF8String Utf8(CFStringRef string)
{
    return UTF8StringFromCFString(string);
}

CFStringRef StringValue(CFDictionaryRef font, const char* key)
{
    if (font == nullptr || CFGetTypeID(font) != CFDictionaryGetTypeID())
    {
        return nullptr;
    }
    const GCFRef<CFStringRef> keyString(
        CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8));
    return keyString ? XCFDictionaryGetString(font, keyString.Get()) : nullptr;
}

bool StringIs(CFStringRef value, const char* text)
{
    return value != nullptr && Utf8(value) == text;
}

bool ContainsIgnoringCase(CFStringRef value, CFStringRef part)
{
    return value != nullptr && CFStringFindWithOptions(value, part, CFRangeMake(0, CFStringGetLength(value)),
                                                       kCFCompareCaseInsensitive, nullptr);
}

bool EqualIgnoringCase(CFStringRef a, CFStringRef b)
{
    return a != nullptr && b != nullptr &&
           CFStringCompare(a, b, kCFCompareCaseInsensitive) == kCFCompareEqualTo;
}

// The database ID of a record (a number, or decimal text), 0 when absent.
TUInt32 DatabaseIDOf(CFDictionaryRef font)
{
    TSInt32 id = 0;
    if (font != nullptr && XCFDictionaryGetNumber(font, CFSTR("DatabaseID"), &id))
    {
        return static_cast<TUInt32>(id);
    }
    return font != nullptr ? static_cast<TUInt32>(XCFDictionaryGetIntegerFromString(font, CFSTR("DatabaseID"),
                                                                                    kCFStringEncodingUTF8))
                           : 0;
}

bool IsDictionary(const void* value)
{
    return value != nullptr && CFGetTypeID(static_cast<CFTypeRef>(value)) == CFDictionaryGetTypeID();
}

// -1, 0 or 1 from the two yes/no conditions: the record that has it goes first.
int Prefer(bool first, bool second)
{
    if (first && !second)
    {
        return -1;
    }
    if (second && !first)
    {
        return 1;
    }
    return 0;
}

int DecideVersion(CFDictionaryRef font1, CFDictionaryRef font2)
{
    CFStringRef version1 = StringValue(font1, "Version");
    CFStringRef version2 = StringValue(font2, "Version");
    if (const int byPresence = Prefer(version1 != nullptr, version2 != nullptr); byPresence != 0)
    {
        return byPresence;
    }
    if (version1 == nullptr)
    {
        return 0;
    }
    const double number1 = std::atof(Utf8(version1).c_str());
    const double number2 = std::atof(Utf8(version2).c_str());
    if (number1 != 0.0 && number2 != 0.0)
    {
        return number1 > number2 ? -1 : (number1 < number2 ? 1 : 0);
    }
    // A text that does not read as a number: the texts compare numerically, lower first.
    return static_cast<int>(CFStringCompare(version1, version2, kCFCompareNumerically));
}

// Rule 2: exactly one of two fonts activated in the font manager goes first.
int DecideByActivation(CFDictionaryRef font1, CFDictionaryRef font2)
{
    const TUInt32 ids[2] = {DatabaseIDOf(font1), DatabaseIDOf(font2)};
    if (ids[0] == 0 || ids[1] == 0)
    {
        return 0;
    }
    LPILoader* loader = LPILoader::GetSharedInstance();
    if (loader == nullptr || loader->pfGetFontIsActivated == nullptr)
    {
        return 0;
    }
    TUInt32 activated[2] = {0, 0};
    const LPIFacade facade =
        loader->pfGetPluginFacadeInstance != nullptr ? loader->pfGetPluginFacadeInstance() : nullptr;
    if (loader->pfGetFontIsActivated(facade, 2, ids, activated) != 0)
    {
        return 0;
    }
    return Prefer(activated[0] != 0, activated[1] != 0);
}

int DecideByKind(CFStringRef kind1, CFStringRef kind2)
{
    const auto isPostscript = [](CFStringRef kind) { return StringIs(kind, "Postscript"); };
    const auto isTrueType = [](CFStringRef kind) { return StringIs(kind, "TrueType"); };
    const bool openType1 = ContainsIgnoringCase(kind1, CFSTR("OpenType"));
    const bool openType2 = ContainsIgnoringCase(kind2, CFSTR("OpenType"));
    if (openType1 && (isPostscript(kind2) || isTrueType(kind2)))
    {
        return -1;
    }
    if (openType2 && (isPostscript(kind1) || isTrueType(kind1)))
    {
        return 1;
    }
    if (isPostscript(kind1) && isTrueType(kind2))
    {
        return -1;
    }
    if (isPostscript(kind2) && isTrueType(kind1))
    {
        return 1;
    }
    return 0;
}

// Appends the records parsed from one candidate's identification text.
TSInt32 ParseFaceTraceText(const char* text, TUInt32 databaseID, const char* name, bool* excludedRemote,
                           CFMutableArrayRef result)
{
    const GCFRef<CFDataRef> data(CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(text),
                                              static_cast<CFIndex>(std::strlen(text))));
    if (!data)
    {
        TraceLog(0, "...CFDataCreate could not deal with \"%s\".", text);
        return -1;
    }
    GCFRef<CFStringRef> errorText;
    const GCFRef<CFPropertyListRef> parsed(CFPropertyListCreateFromXMLData(
        kCFAllocatorDefault, data.Get(), kCFPropertyListMutableContainers, errorText.OutPointer()));
    if (!parsed || CFGetTypeID(parsed.Get()) != CFArrayGetTypeID())
    {
        TraceLog(0, "...CFPropertyListCreateFromXMLData failed on \"%s\".  OS message is:\n   \"%s\"", text,
                 Utf8(errorText.Get()).c_str());
        return -1;
    }
    const auto records = static_cast<CFArrayRef>(parsed.Get());
    const CFIndex count = CFArrayGetCount(records);
    FontManagerInterface* fontManager = FontManagerInterface::GetFontManager();
    if (count > 0 && IsDictionary(CFArrayGetValueAtIndex(records, 0)))
    {
        const auto first = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(records, 0));
        TSInt32 workgroupType = 0;
        const bool hasType = XCFDictionaryGetNumber(first, CFSTR("WorkgroupType"), &workgroupType) ||
                             (StringValue(first, "WorkgroupType") != nullptr &&
                              (workgroupType = XCFDictionaryGetIntegerFromString(
                                   first, CFSTR("WorkgroupType"), kCFStringEncodingUTF8),
                               true));
        if (hasType && fontManager != nullptr && fontManager->IsHiddenWorkgroupType(workgroupType))
        {
            if (excludedRemote != nullptr)
            {
                *excludedRemote = true;
            }
            TraceLog(0,
                     "Excluding version with checksum %d because it's remote and we're running standalone.",
                     static_cast<int>(XCFDictionaryGetIntegerFromString(
                         first, CFSTR("FaceTrace_1.2_Checksum"), kCFStringEncodingUTF8)));
            return 0;
        }
    }
    for (CFIndex i = 0; i < count; ++i)
    {
        CFArrayAppendValue(result, CFArrayGetValueAtIndex(records, i));
    }
    static_cast<void>(databaseID);
    static_cast<void>(name);
    return 0;
}
} // namespace

CFStringRef FaceTraceSupport::CreateStringStrippingIllegalCharsInPostScriptName(CFStringRef name)
{
    const char* const functionName = "FaceTraceSupport::CreateStringStrippingIllegalCharsInPostScriptName";
    TraceLog(1, "Entering %s()", functionName);
    TUTF8String text = Utf8(name);
    for (std::size_t i = text.size(); i > 0; --i)
    {
        const char c = text[i - 1];
        if (c == ' ' || c == '(' || c == ')' || c == '/' || c == '[' || c == ']' || c == '{' || c == '}')
        {
            text.erase(i - 1, 1);
        }
    }
    if (text.empty())
    {
        TraceLog(0, "ERROR string coverted to emptyString %s", Utf8(name).c_str());
        TraceLog(-1, "%s() returning %s", functionName, "NULL");
        return nullptr;
    }
    TraceLog(-1, "%s() returning %s", functionName, text.c_str());
    return CreateCFStringFromUTF8String(text);
}

bool FaceTraceSupport::PSNameMightHaveCruftAppended(const char* name, std::size_t capacity,
                                                    char* outShorterName)
{
    TraceLog(1, "Entering PSNameMightHaveCruftAppended('%s', ...)", name != nullptr ? name : "");
    bool result = false;
    if (name != nullptr && name[0] != '\0' && outShorterName != nullptr && capacity > 0)
    {
        const std::size_t length = std::strlen(name);
        // A subset prefix: a '+' before any space, '-' or '_'.
        std::size_t plus = length;
        for (std::size_t i = 0; i < length; ++i)
        {
            const char c = name[i];
            if (c == ' ' || c == '-' || c == '_')
            {
                break;
            }
            if (c == '+')
            {
                plus = i;
                break;
            }
        }
        std::size_t start = 0;
        std::size_t end = length;
        if (plus < length)
        {
            start = plus + 1;
            result = true;
        }
        else
        {
            // Otherwise a suffix after the last space, '(', ')', '-' or '_' (not the first character).
            for (std::size_t i = length - 1; i >= 1; --i)
            {
                const char c = name[i];
                if (c == ' ' || c == '(' || c == ')' || c == '-' || c == '_')
                {
                    end = i;
                    result = true;
                    break;
                }
            }
        }
        if (result)
        {
            const std::size_t copied = std::min(end - start, capacity - 1);
            std::memcpy(outShorterName, name + start, copied);
            outShorterName[copied] = '\0';
            TraceLog(0, "PSNameMightHaveCruftAppended('%s', '%s')", name, outShorterName);
        }
    }
    TraceLog(-1, "PSNameMightHaveCruftAppended() returning %d", result ? 1 : 0);
    return result;
}

TSInt32 FaceTraceSupport::GetFaceTraceDataForFontName(const char* name, TSInt32 kind, bool* excludedRemote,
                                                      TSInt32 workgroupID, CFMutableArrayRef* outFonts)
{
    const char* const functionName = "FontManagerInterface::GetFaceTraceDataForFontName";
    TraceLog(1, "Entering %s('%s', workgroupID=%d, ...)", functionName, name != nullptr ? name : "",
             static_cast<int>(workgroupID));
    FontManagerInterface* fontManager = FontManagerInterface::GetFontManager();
    if (name == nullptr || outFonts == nullptr)
    {
        TraceLog(-1, "%s() returning %d", functionName, static_cast<int>(kErrorParameter));
        return kErrorParameter;
    }
    CFMutableArrayRef result = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    TSInt32 code = 0;
    TSInt32 count = 0;
    if (fontManager != nullptr)
    {
        code = fontManager->CountNamedFonts(name, kind, workgroupID, count);
    }
    std::vector<char> buffer(kFaceTraceBufferSize, '\0');
    for (TSInt32 index = 1; fontManager != nullptr && index <= count; ++index)
    {
        FontInfoResult info;
        code = fontManager->GetNamedFontInfo(name, kind, workgroupID, index, info);
        if (code == kErrorPortolanNotRunning)
        {
            break;
        }
        if (code != 0 || info.GetFontInfo() == nullptr)
        {
            continue;
        }
        const TUInt32 databaseID = DatabaseIDOf(info.GetFontInfo());
        const TUTF8String postScriptName = Utf8(StringValue(info.GetFontInfo(), "PostScriptName"));
        TUInt32 size = kFaceTraceBufferSize;
        std::fill(buffer.begin(), buffer.end(), '\0');
        code = fontManager->GetFaceTraceInfo(databaseID, info.GetFontInfo(), buffer.data(), size);
        if (code != 0)
        {
            TraceLog(0, "...GetFaceTraceInfo returned %d for %s (databaseID %d).", static_cast<int>(code),
                     postScriptName.c_str(), static_cast<int>(databaseID));
            if (code == kErrorPortolanNotRunning)
            {
                break;
            }
            continue;
        }
        buffer.back() = '\0';
        if (buffer[0] == '\0')
        {
            TraceLog(0, "...GetFaceTraceInfo returned %d but no FaceTrace info for %s (databaseID %d).",
                     static_cast<int>(code), postScriptName.c_str(), static_cast<int>(databaseID));
            continue;
        }
        ParseFaceTraceText(buffer.data(), databaseID, postScriptName.c_str(), excludedRemote, result);
    }
    *outFonts = result;
    TraceLog(-1, "%s() returning %d", functionName, static_cast<int>(code));
    return code;
}

TSInt32 FaceTraceSupport::GetFaceTraceData(CFDictionaryRef font, TSInt32 kind, bool* excludedRemote,
                                           TSInt32 workgroupID, CFMutableArrayRef* inOutFonts)
{
    TraceLog(1, "Entering GetFaceTraceData()");
    CFStringRef nameString = nullptr;
    if (kind == 0)
    {
        nameString = StringValue(font, "PostScriptName");
    }
    else if (kind == 1)
    {
        nameString = StringValue(font, "Family");
    }
    if (nameString == nullptr || inOutFonts == nullptr)
    {
        TraceLog(-1, "Exiting GetFaceTraceData with data for %d match(es).", 0);
        return -1;
    }
    char name[kNameCapacity] = {};
    CFStringGetCString(nameString, name, sizeof(name), kCFStringEncodingUTF8);

    const auto countOf = [](CFArrayRef array) { return array != nullptr ? CFArrayGetCount(array) : 0; };
    const auto lookUp = [&](const char* lookupName, TSInt32 lookupKind)
    {
        if (*inOutFonts != nullptr)
        {
            CFRelease(*inOutFonts);
            *inOutFonts = nullptr;
        }
        return GetFaceTraceDataForFontName(lookupName, lookupKind, excludedRemote, workgroupID, inOutFonts);
    };

    TSInt32 code = lookUp(name, kind);
    if (code == 0 && countOf(*inOutFonts) == 0)
    {
        const TUTF8String normalized = NormalizeName(name, true);
        code = lookUp(normalized.c_str(), kind);
    }
    if (countOf(*inOutFonts) == 0)
    {
        TUTF8String current = name;
        char shorter[kNameCapacity] = {};
        while (PSNameMightHaveCruftAppended(current.c_str(), sizeof(shorter), shorter))
        {
            code = lookUp(shorter, 0);
            if (countOf(*inOutFonts) > 0)
            {
                break;
            }
            code = lookUp(shorter, 1);
            if (countOf(*inOutFonts) > 0)
            {
                break;
            }
            TUTF8String spaced = shorter;
            for (char& c : spaced)
            {
                c = c == '-' ? ' ' : c;
            }
            code = lookUp(spaced.c_str(), 1);
            if (countOf(*inOutFonts) > 0 || current == shorter)
            {
                break;
            }
            current = shorter;
        }
    }
    const CFIndex matches = countOf(*inOutFonts);
    if (matches > 1)
    {
        TraceLog(0, "...Sorting a %d-element array of FaceTrace data for '%s'.", static_cast<int>(matches),
                 name);
        CFArraySortValues(*inOutFonts, CFRangeMake(0, matches), PickBestMatchCallBack,
                          const_cast<void*>(static_cast<const void*>(font)));
    }
    TraceLog(-1, "Exiting GetFaceTraceData with data for %d match(es).", static_cast<int>(matches));
    return code;
}

CFComparisonResult FaceTraceSupport::PickBestMatchCallBack(const void* value1, const void* value2,
                                                           void* context)
{
    TraceLog(1, "Entering PickBestMatchCallBack.");
    const auto font1 = static_cast<CFDictionaryRef>(value1);
    const auto font2 = static_cast<CFDictionaryRef>(value2);
    const auto documentFont = static_cast<CFDictionaryRef>(context);
    int result = 0;

    // 1. Active fonts first; of two active fonts the one that is not the system's.
    const bool active1 = StringIs(StringValue(font1, "IsActive"), "1");
    const bool active2 = StringIs(StringValue(font2, "IsActive"), "1");
    if (active1 && !active2)
    {
        TraceLog(0, "...Choosing fontRef1 because it's active and fontRef2 isn't.");
        result = -1;
    }
    else if (active2 && !active1)
    {
        TraceLog(0, "...Choosing fontRef2 because it's active and fontRef1 isn't.");
        result = 1;
    }
    else if (active1 && active2)
    {
        TraceLog(0, "...Two active fonts - one must be a system font.");
        if (!StringIs(StringValue(font1, "IsSystem"), "1"))
        {
            TraceLog(0,
                     "...Choosing non-system fontRef1 since user has explicitly overridden system version.");
            result = -1;
        }
        else if (!StringIs(StringValue(font2, "IsSystem"), "1"))
        {
            TraceLog(0,
                     "...Choosing non-system fontRef2 since user has explicitly overridden system version.");
            result = 1;
        }
    }
    // 2. Activated in the font manager.
    if (result == 0)
    {
        result = DecideByActivation(font1, font2);
    }
    // 3. The same kind, then the same foundry, as the document's record.
    if (result == 0 && documentFont != nullptr && IsDictionary(documentFont))
    {
        CFStringRef documentKind = StringValue(documentFont, "FontKind");
        result = Prefer(EqualIgnoringCase(StringValue(font1, "FontKind"), documentKind),
                        EqualIgnoringCase(StringValue(font2, "FontKind"), documentKind));
        if (result != 0)
        {
            TraceLog(0, "Choosing a same-named font with the same type according to FaceTrace.");
        }
        else
        {
            CFStringRef documentFoundry = StringValue(documentFont, "Foundry");
            result = Prefer(EqualIgnoringCase(StringValue(font1, "Foundry"), documentFoundry),
                            EqualIgnoringCase(StringValue(font2, "Foundry"), documentFoundry));
            if (result != 0)
            {
                TraceLog(0, "Choice based on kFT_FoundryKey.");
            }
        }
    }
    // 4. Kind.
    if (result == 0)
    {
        result = DecideByKind(StringValue(font1, "FontKind"), StringValue(font2, "FontKind"));
        if (result != 0)
        {
            TraceLog(0, "Choice based on kFT_KindKey.");
        }
    }
    // 5. An Adobe foundry.
    if (result == 0)
    {
        const auto isAdobe = [](CFStringRef foundry)
        { return foundry != nullptr && Utf8(foundry).find("Adobe") != TUTF8String::npos; };
        result = Prefer(isAdobe(StringValue(font1, "Foundry")), isAdobe(StringValue(font2, "Foundry")));
        if (result != 0)
        {
            TraceLog(0, "Choice based on kFT_FoundryKey.");
        }
    }
    // 6. Version.
    if (result == 0)
    {
        result = DecideVersion(font1, font2);
        if (result != 0)
        {
            TraceLog(0, "Choice based on kFT_VersionKey.");
        }
    }
    // 7. Temporary, 8. in the vault.
    if (result == 0)
    {
        result = Prefer(
            StringIs(StringValue(font1, "IsTemp"), "1") && StringIs(StringValue(font2, "IsTemp"), "0"),
            StringIs(StringValue(font2, "IsTemp"), "1") && StringIs(StringValue(font1, "IsTemp"), "0"));
        if (result != 0)
        {
            TraceLog(0, "Choice based on kFT_IsTempKey.");
            TraceLog(0, "Choice based on kFT_IsVaultKey.");
        }
    }
    if (result == 0)
    {
        result = Prefer(
            StringIs(StringValue(font1, "IsVault"), "1") && StringIs(StringValue(font2, "IsVault"), "0"),
            StringIs(StringValue(font2, "IsVault"), "1") && StringIs(StringValue(font1, "IsVault"), "0"));
        if (result != 0)
        {
            TraceLog(0, "Choice based on kFT_IsVaultKey.");
        }
    }
    TraceLog(-1, "PickBestMatchCallBack returning %d.", result);
    return result < 0 ? kCFCompareLessThan : (result > 0 ? kCFCompareGreaterThan : kCFCompareEqualTo);
}

TSInt32 FaceTraceSupport::GetFaceTraceDataForBestMatch(CFDictionaryRef font, TSInt32 workgroupID,
                                                       CFMutableDictionaryRef* outBest)
{
    const char* const functionName = "GetFaceTraceDataForBestMatch";
    TraceLog(1, "Entering %s(fontRef=0x%08x, workgroup=%d, ...)", functionName,
             static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(font)), static_cast<int>(workgroupID));
    if (outBest != nullptr)
    {
        *outBest = nullptr;
    }
    if (font == nullptr || FontManagerInterface::GetFontManager() == nullptr)
    {
        TraceLog(-1, "%s() returning %d", functionName, static_cast<int>(kErrorParameter));
        return kErrorParameter;
    }
    GCFRef<CFMutableArrayRef> candidates;
    const TSInt32 code = GetFaceTraceData(font, 0, nullptr, workgroupID, candidates.OutPointer());
    if (code == 0 && candidates && CFArrayGetCount(candidates.Get()) > 0 && outBest != nullptr)
    {
        const void* best = CFArrayGetValueAtIndex(candidates.Get(), 0);
        if (IsDictionary(best))
        {
            *outBest =
                CFDictionaryCreateMutableCopy(kCFAllocatorDefault, 0, static_cast<CFDictionaryRef>(best));
        }
    }
    TraceLog(-1, "%s() returning %d", functionName, static_cast<int>(code));
    return code;
}

TSInt32 FaceTraceSupport::AppendFaceTraceDataToFonts(CFMutableArrayRef fonts, TSInt32 workgroupID,
                                                     bool excludeInactiveFonts, bool getAllFontInfo,
                                                     bool tryFamilyNames)
{
    TraceLog(1,
             "Entering FaceTraceSupport::%s(workgroupID=%d, excludeInactiveFonts=%d, bGetAllFontInfo=%d, "
             "tryFamilyNames=%d)",
             "FaceTraceSupport::AppendFaceTraceDataToFonts", static_cast<int>(workgroupID),
             excludeInactiveFonts ? 1 : 0, getAllFontInfo ? 1 : 0, tryFamilyNames ? 1 : 0);
    FontManagerInterface* fontManager = FontManagerInterface::GetFontManager();
    if (fontManager == nullptr || !fontManager->IsCoreAgentProcessRunning())
    {
        TraceLog(-1, "FaceTraceSupport::AppendFaceTraceDataToFonts returning %d", kErrorPortolanNotRunning);
        return kErrorPortolanNotRunning;
    }
    if (fonts == nullptr)
    {
        TraceLog(-1, "FaceTraceSupport::AppendFaceTraceDataToFonts returning %d", 0);
        return 0;
    }
    TraceLog(0,
             "FaceTraceSupport::AppendFaceTraceDataToFonts(fontCount=%d, ..., excludeInactiveFonts=%d, "
             "bGetAllFontInfo=%d, inWorkgroupID=%d)",
             static_cast<int>(CFArrayGetCount(fonts)), excludeInactiveFonts ? 1 : 0, getAllFontInfo ? 1 : 0,
             static_cast<int>(workgroupID));

    for (CFIndex i = CFArrayGetCount(fonts) - 1; i >= 0; --i)
    {
        if (i >= CFArrayGetCount(fonts))
        {
            continue;
        }
        const void* value = CFArrayGetValueAtIndex(fonts, i);
        if (!IsDictionary(value))
        {
            continue;
        }
        // The font stays alive while the array loses it.
        const GCFRef<CFDictionaryRef> font(static_cast<CFDictionaryRef>(CFRetain(value)));
        GCFRef<CFMutableDictionaryRef> best;
        GetFaceTraceDataForBestMatch(font.Get(), workgroupID, best.OutPointer());
        if (best)
        {
            CFStringRef bestName = StringValue(best.Get(), "PostScriptName");
            CFStringRef fontName = StringValue(font.Get(), "PostScriptName");
            if (bestName == nullptr || fontName == nullptr ||
                CFStringCompare(bestName, fontName, 0) != kCFCompareEqualTo)
            {
                CFArrayRemoveValueAtIndex(fonts, i);
            }
            MergeFacetraceDictionaryIntoArray(fonts, best.Get());
        }
        else if (tryFamilyNames && excludeInactiveFonts)
        {
            const GCFRef<CFMutableDictionaryRef> withFamily(
                CFDictionaryCreateMutableCopy(kCFAllocatorDefault, 0, font.Get()));
            if (!withFamily)
            {
                continue;
            }
            if (StringValue(withFamily.Get(), "Family") == nullptr)
            {
                TUTF8String family = Utf8(StringValue(font.Get(), "PostScriptName"));
                family = family.substr(0, family.find('-'));
                if (const GCFRef<CFStringRef> familyString(CreateCFStringFromUTF8String(family));
                    familyString)
                {
                    CFDictionarySetValue(withFamily.Get(), CFSTR("Family"), familyString.Get());
                }
            }
            GCFRef<CFMutableArrayRef> familyFonts;
            GetFaceTraceData(withFamily.Get(), 1, nullptr, workgroupID, familyFonts.OutPointer());
            if (familyFonts)
            {
                MergeFontsIntoFontsArray(familyFonts.Get(), fonts);
            }
        }
    }

    if (excludeInactiveFonts)
    {
        const std::map<TUInt32, bool> activated = fontManager->GetFontIsActivated(fonts);
        for (CFIndex i = CFArrayGetCount(fonts) - 1; i >= 0; --i)
        {
            const auto font = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(fonts, i));
            const auto state = activated.find(DatabaseIDOf(font));
            if (state == activated.end() || !state->second)
            {
                TraceLog(0, "Removing inactive '%s' from fonts.",
                         Utf8(StringValue(font, "PostScriptName")).c_str());
                CFArrayRemoveValueAtIndex(fonts, i);
            }
        }
    }
    if (!getAllFontInfo && !RemoveUnsluggableFaceTraceKeys(fonts) && CFArrayGetCount(fonts) > 0)
    {
        // Nothing to remove is fine when every record already holds sluggable keys only.
        bool onlySluggable = true;
        for (CFIndex i = 0; i < CFArrayGetCount(fonts) && onlySluggable; ++i)
        {
            const void* value = CFArrayGetValueAtIndex(fonts, i);
            onlySluggable =
                !IsDictionary(value) || CFDictionaryGetCount(static_cast<CFDictionaryRef>(value)) <=
                                            CFDictionaryGetCount(SluggableKeys());
        }
        if (!onlySluggable)
        {
            TraceLog(0, "ERROR:  RemoveUnsluggableFaceTraceKeys() apparently failed.");
        }
    }
    TraceLog(-1, "FaceTraceSupport::AppendFaceTraceDataToFonts returning %d", 0);
    return 0;
}

CFIndex FaceTraceSupport::MergeFacetraceDictionaryIntoArray(CFMutableArrayRef fonts, CFDictionaryRef font)
{
    const char* const functionName = "FaceTraceSupport::MergeFacetraceDictionaryIntoArray";
    TraceLog(1,
             "Entering %s(pDocFaceTraceData (CFArrayGetCount=%d), documentFontRef (CFDictionaryGetCount=%d))",
             functionName, static_cast<int>(fonts != nullptr ? CFArrayGetCount(fonts) : 0),
             static_cast<int>(font != nullptr ? CFDictionaryGetCount(font) : 0));
    CFIndex index = -1;
    if (fonts != nullptr && font != nullptr)
    {
        index = IndexOfPostScriptName(fonts, StringValue(font, "PostScriptName"));
        if (index >= 0)
        {
            const void* entry = CFArrayGetValueAtIndex(fonts, index);
            if (entry == nullptr)
            {
                TraceLog(-1, "%s() returning %d", functionName, static_cast<int>(kErrorParameter));
                return kErrorParameter;
            }
            if (IsDictionary(entry) &&
                CFDictionaryGetCount(font) > CFDictionaryGetCount(static_cast<CFDictionaryRef>(entry)))
            {
                CFArraySetValueAtIndex(fonts, index, font);
            }
        }
        else
        {
            CFArrayAppendValue(fonts, font);
            index = CFArrayGetCount(fonts) - 1;
            TraceLog(0, "Appended Facetrace dictionary 0x%08x",
                     static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(font)));
        }
    }
    TraceLog(-1, "%s() returning %d", functionName, static_cast<int>(index));
    return index;
}

void FaceTraceSupport::MergeFontsIntoFontsArray(CFArrayRef source, CFMutableArrayRef destination)
{
    if (source == nullptr || destination == nullptr)
    {
        return;
    }
    TraceLog(0, "%s() merging %d fonts with the %d already in dstFontArray",
             "FaceTraceSupport::MergeFontsIntoFontsArray", static_cast<int>(CFArrayGetCount(source)),
             static_cast<int>(CFArrayGetCount(destination)));
    for (CFIndex i = 0; i < CFArrayGetCount(source); ++i)
    {
        const void* value = CFArrayGetValueAtIndex(source, i);
        CFStringRef name = IsDictionary(value)
                               ? StringValue(static_cast<CFDictionaryRef>(value), "PostScriptName")
                               : nullptr;
        if (name == nullptr)
        {
            TraceLog(
                0,
                "WARNING: ignoring entry %d in srcFontArray because it does not contain a postscript name.",
                static_cast<int>(i));
            continue;
        }
        const auto sourceFont = static_cast<CFDictionaryRef>(value);
        const TUTF8String nameText = Utf8(name);
        const CFIndex index = IndexOfPostScriptName(destination, name);
        if (index < 0)
        {
            TraceLog(0,
                     "Appending entry %d in srcFontArray (for '%s') because dstFontArray has no such "
                     "postscript name.",
                     static_cast<int>(i), nameText.c_str());
            CFArrayAppendValue(destination, sourceFont);
            continue;
        }
        const auto destinationFont = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(destination, index));
        if (!IsDictionary(destinationFont))
        {
            continue;
        }
        // Shared keys, and how many of them differ (in length, or ignoring case).
        const CFIndex sourceCount = CFDictionaryGetCount(sourceFont);
        std::vector<const void*> keys(static_cast<std::size_t>(sourceCount));
        std::vector<const void*> values(static_cast<std::size_t>(sourceCount));
        CFDictionaryGetKeysAndValues(sourceFont, keys.data(), values.data());
        int shared = 0;
        int differing = 0;
        bool sourceHasMore = false;
        for (CFIndex k = 0; k < sourceCount; ++k)
        {
            const void* other = CFDictionaryGetValue(destinationFont, keys[static_cast<std::size_t>(k)]);
            if (other == nullptr)
            {
                sourceHasMore = true;
                continue;
            }
            ++shared;
            const auto a = static_cast<CFTypeRef>(values[static_cast<std::size_t>(k)]);
            const auto b = static_cast<CFTypeRef>(other);
            const bool bothStrings =
                CFGetTypeID(a) == CFStringGetTypeID() && CFGetTypeID(b) == CFStringGetTypeID();
            const bool same =
                bothStrings ? (CFStringGetLength(static_cast<CFStringRef>(a)) ==
                                   CFStringGetLength(static_cast<CFStringRef>(b)) &&
                               EqualIgnoringCase(static_cast<CFStringRef>(a), static_cast<CFStringRef>(b)))
                            : CFEqual(a, b);
            differing += same ? 0 : 1;
        }
        static_cast<void>(shared);
        if (differing == 0 && sourceHasMore)
        {
            TraceLog(0, "Merging info from srcFontArray for entry %d in dstFontArray (for '%s').",
                     static_cast<int>(index), nameText.c_str());
            const GCFRef<CFMutableDictionaryRef> merged(
                CFDictionaryCreateMutableCopy(kCFAllocatorDefault, 0, destinationFont));
            if (!merged)
            {
                continue;
            }
            for (CFIndex k = 0; k < sourceCount; ++k)
            {
                if (!CFDictionaryContainsKey(merged.Get(), keys[static_cast<std::size_t>(k)]))
                {
                    CFDictionarySetValue(merged.Get(), keys[static_cast<std::size_t>(k)],
                                         values[static_cast<std::size_t>(k)]);
                }
            }
            CFArraySetValueAtIndex(destination, index, merged.Get());
            continue;
        }
        const CFIndex destinationCount = CFDictionaryGetCount(destinationFont);
        if (sourceCount > destinationCount)
        {
            TraceLog(0,
                     "WARNING: replacing entry %d in dstFontArray (for '%s') because srcFontArray has more "
                     "complete "
                     "info for that font.",
                     static_cast<int>(index), nameText.c_str());
            CFArraySetValueAtIndex(destination, index, sourceFont);
        }
        else if (sourceCount < destinationCount)
        {
            TraceLog(0,
                     "Ignoring entry %d in srcFontArray (for '%s') because dstFontArray already has more "
                     "complete info "
                     "for that font.",
                     static_cast<int>(i), nameText.c_str());
        }
        else
        {
            TraceLog(0,
                     "Ignoring entry %d in srcFontArray (for '%s') because dstFontArray already has "
                     "identical info for "
                     "that font.",
                     static_cast<int>(i), nameText.c_str());
        }
    }
}

bool FaceTraceSupport::IsSluggableKey(CFStringRef key)
{
    return key != nullptr && CFDictionaryContainsKey(SluggableKeys(), key);
}

bool FaceTraceSupport::RemoveUnsluggableFaceTraceKeys(CFMutableArrayRef fonts)
{
    const char* const functionName = "FaceTraceSupport::RemoveUnsluggableFaceTraceKeys";
    TraceLog(1, "Entering %s()", functionName);
    bool removedAny = false;
    const CFIndex count = fonts != nullptr ? CFArrayGetCount(fonts) : 0;
    for (CFIndex i = 0; i < count; ++i)
    {
        const void* value = CFArrayGetValueAtIndex(fonts, i);
        if (!IsDictionary(value))
        {
            continue;
        }
        TraceLog(1, "Entering %s()", "FaceTraceSupport::RemoveUnsluggableKeysFromDictionary");
        const auto original = static_cast<CFDictionaryRef>(value);
        // A mutable copy of the record takes its place, whatever kind of dictionary it was.
        const GCFRef<CFMutableDictionaryRef> copy(
            CFDictionaryCreateMutableCopy(kCFAllocatorDefault, 0, original));
        if (!copy)
        {
            TraceLog(-1, "%s() could not copy the record",
                     "FaceTraceSupport::RemoveUnsluggableKeysFromDictionary");
            continue;
        }
        const CFMutableDictionaryRef font = copy.Get();
        const CFIndex keyCount = CFDictionaryGetCount(font);
        std::vector<const void*> keys(static_cast<std::size_t>(keyCount));
        CFDictionaryGetKeysAndValues(font, keys.data(), nullptr);
        bool removed = false;
        for (const void* key : keys)
        {
            const auto keyString = static_cast<CFStringRef>(key);
            const bool isString = keyString != nullptr && CFGetTypeID(keyString) == CFStringGetTypeID();
            if (!isString || !IsSluggableKey(keyString))
            {
                TraceLog(0, "Removing key %s", isString ? Utf8(keyString).c_str() : "(not a string)");
                CFDictionaryRemoveValue(font, key);
                removed = true;
            }
        }
        TraceLog(-1, "%s() returning %d; %d keys reduced to %d",
                 "FaceTraceSupport::RemoveUnsluggableKeysFromDictionary", removed ? 1 : 0,
                 static_cast<int>(keyCount), static_cast<int>(CFDictionaryGetCount(font)));
        CFArraySetValueAtIndex(fonts, i, font);
        removedAny = removedAny || removed;
    }
    TraceLog(-1, "%s() returning %d", functionName, removedAny ? 1 : 0);
    return removedAny;
}

CFMutableDictionaryRef FaceTraceSupport::CreateFaceTraceDictionary(CFStringRef postScriptName)
{
    const TUTF8String name = Utf8(postScriptName);
    TraceLog(0, "%s('%s')", "FaceTraceSupport::CreateFaceTraceDictionary", name.c_str());
    CFMutableDictionaryRef font = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    if (font == nullptr)
    {
        TraceLog(0, "CFDictionaryCreateMutable failed for: '%s'", name.c_str());
        return nullptr;
    }
    CFDictionarySetValue(font, CFSTR("PostScriptName"), postScriptName);
    return font;
}

bool FaceTraceSupport::AddFontToArray(CFStringRef postScriptName, CFMutableArrayRef fonts,
                                      bool allowDuplicates)
{
    const char* const functionName = "FaceTraceSupport::AddFontToArray";
    TraceLog(1, "Entering %s()", functionName);
    bool added = false;
    if (postScriptName == nullptr)
    {
        TraceLog(0, "*** ERROR:  NULL cfPostScriptName passed to AddFontToArray");
    }
    else if (fonts == nullptr)
    {
        TraceLog(0, "*** ERROR:  NULL fontsArray passed to AddFontToArray");
    }
    else if (const GCFRef<CFStringRef> strippedName(
                 CreateStringStrippingIllegalCharsInPostScriptName(postScriptName));
             strippedName)
    {
        const CFStringRef stripped = strippedName.Get();
        bool present = false;
        for (CFIndex i = 0; i < CFArrayGetCount(fonts) && !present; ++i)
        {
            const void* value = CFArrayGetValueAtIndex(fonts, i);
            CFStringRef name = IsDictionary(value)
                                   ? StringValue(static_cast<CFDictionaryRef>(value), "PostScriptName")
                                   : nullptr;
            present = name != nullptr && CFStringCompare(name, stripped, 0) == kCFCompareEqualTo;
        }
        if (allowDuplicates || !present)
        {
            if (const GCFRef<CFMutableDictionaryRef> font(CreateFaceTraceDictionary(stripped)); font)
            {
                CFArrayAppendValue(fonts, font.Get());
                added = true;
            }
        }
    }
    TraceLog(-1, "%s() returning %i", functionName, added ? 1 : 0);
    return added;
}

bool FaceTraceSupport::CollectMatchedFonts(CFArrayRef fonts, CFMutableArrayRef outFonts)
{
    bool allMatched = true;
    const CFIndex count = fonts != nullptr ? CFArrayGetCount(fonts) : 0;
    for (CFIndex i = 0; i < count; ++i)
    {
        const void* value = CFArrayGetValueAtIndex(fonts, i);
        if (!IsDictionary(value))
        {
            continue;
        }
        const auto font = static_cast<CFDictionaryRef>(value);
        const void* matched = CFDictionaryGetValue(font, CFSTR("MatchedFont"));
        if (matched != nullptr && outFonts != nullptr)
        {
            CFArrayAppendValue(outFonts, matched);
        }
        else if (matched == nullptr)
        {
            TraceLog(0, "This font was skipped:  '%s' -- host app's Find Fonts dialog will be displayed",
                     Utf8(StringValue(font, "PostScriptName")).c_str());
            allMatched = false;
        }
    }
    return allMatched;
}

CFIndex FaceTraceSupport::CountActiveFonts(CFArrayRef fonts)
{
    CFIndex active = 0;
    const CFIndex count = fonts != nullptr ? CFArrayGetCount(fonts) : 0;
    for (CFIndex i = 0; i < count; ++i)
    {
        const void* value = CFArrayGetValueAtIndex(fonts, i);
        if (IsDictionary(value) &&
            StringIs(StringValue(static_cast<CFDictionaryRef>(value), "IsActive"), "1"))
        {
            ++active;
        }
    }
    return active;
}

CFIndex FaceTraceSupport::CountFontsWithoutReplacements(CFArrayRef fonts)
{
    CFIndex without = 0;
    const CFIndex count = fonts != nullptr ? CFArrayGetCount(fonts) : 0;
    for (CFIndex i = 0; i < count; ++i)
    {
        const void* value = CFArrayGetValueAtIndex(fonts, i);
        if (!IsDictionary(value))
        {
            continue;
        }
        const auto replacements = static_cast<CFArrayRef>(
            CFDictionaryGetValue(static_cast<CFDictionaryRef>(value), CFSTR("PossibleReplacements")));
        if (replacements == nullptr || CFGetTypeID(replacements) != CFArrayGetTypeID() ||
            CFArrayGetCount(replacements) == 0)
        {
            ++without;
        }
    }
    return without;
}

CFMutableArrayRef FaceTraceSupport::CreateMutableDeepCopy(CFArrayRef fonts)
{
    if (fonts == nullptr)
    {
        return nullptr;
    }
    return static_cast<CFMutableArrayRef>(const_cast<void*>(
        CFPropertyListCreateDeepCopy(kCFAllocatorDefault, fonts, kCFPropertyListMutableContainersAndLeaves)));
}
