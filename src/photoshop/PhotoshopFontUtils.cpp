#include "PhotoshopFontUtils.h"

#include "CommonFunctionality.h"
#include "FaceTraceSupport.h"
#include "GLogger.h"
#include "GStringEncodings.h"
#include "LumorandFileUtils.h"
#include "PhotoshopSuites.h"

#include <algorithm>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif
#include <vector>

// <windows.h> renames GetObject; the descriptor suite's member keeps its name.
#ifdef GetObject
#undef GetObject
#endif

namespace
{
constexpr std::size_t kAliasPathCapacity = 1024;
constexpr std::size_t kAliasExaminedBytes = 2048;

constexpr DescriptorTypeID kTypeInteger = PSFourCharCode("long");
constexpr DescriptorTypeID kTypeFloat = PSFourCharCode("doub");
constexpr DescriptorTypeID kTypeUnitFloat = PSFourCharCode("UntF");
constexpr DescriptorTypeID kTypeBoolean = PSFourCharCode("bool");
constexpr DescriptorTypeID kTypeText = PSFourCharCode("TEXT");
constexpr DescriptorTypeID kTypeEnumerated = PSFourCharCode("enum");
constexpr DescriptorTypeID kTypeAlias = PSFourCharCode("alis");
constexpr DescriptorTypeID kTypeClass = PSFourCharCode("type");
constexpr DescriptorTypeID kTypeGlobalClass = PSFourCharCode("GlbC");
constexpr DescriptorTypeID kTypeObject = PSFourCharCode("obj ");
constexpr DescriptorTypeID kTypeGlobalObject = PSFourCharCode("GlbO");
constexpr DescriptorTypeID kTypeList = PSFourCharCode("VlLs");
// Reading a large integer or a path needs members the plug-in does not declare.
constexpr OSErr kErrorWrongType = -1703; // the value's type cannot be read

// Reads the key from the result descriptor by its stored type.
OSErr ReadValue(const PSActionDescriptorProcs* descriptors, PIActionDescriptor result, DescriptorKeyID key,
                PhotoshopFontUtils::InfoValue& value)
{
    DescriptorTypeID type = 0;
    OSErr error = descriptors->GetType(result, key, &type);
    if (error != 0)
    {
        return error;
    }
    value.type = type;
    switch (type)
    {
    case kTypeInteger:
        return descriptors->GetInteger(result, key, &value.integer);
    case kTypeFloat:
        return descriptors->GetFloat(result, key, &value.number);
    case kTypeUnitFloat:
        return descriptors->GetUnitFloat(result, key, &value.unit, &value.number);
    case kTypeBoolean:
    {
        PSBoolean flag = 0;
        error = descriptors->GetBoolean(result, key, &flag);
        value.boolean = flag != 0;
        return error;
    }
    case kTypeText:
    {
        std::uint32_t length = 0;
        error = descriptors->GetStringLength(result, key, &length);
        if (error != 0)
        {
            return error;
        }
        std::vector<char> text(static_cast<std::size_t>(length) + 1, '\0');
        error = descriptors->GetString(result, key, text.data(), length + 1);
        value.text = text.data();
        return error;
    }
    case kTypeEnumerated:
        return descriptors->GetEnumerated(result, key, &value.enumType, &value.enumValue);
    case kTypeAlias:
        return descriptors->GetAlias(result, key, &value.alias);
    case kTypeClass:
        return descriptors->GetClass(result, key, &value.classID);
    case kTypeGlobalClass:
        return descriptors->GetGlobalClass(result, key, &value.classID);
    case kTypeObject:
        return descriptors->GetObject(result, key, &value.classID, &value.object);
    case kTypeGlobalObject:
        return descriptors->GetGlobalObject(result, key, &value.classID, &value.object);
    case kTypeList:
        return descriptors->GetList(result, key, &value.list);
    default:
        return kErrorWrongType;
    }
}

// Builds the reference, asks Photoshop, reads the value and frees what it made.
OSErr GetInfoWithTarget(DescriptorClassID classID, DescriptorKeyID key, bool byIndex, std::uint32_t index,
                        PhotoshopFontUtils::InfoValue* value)
{
    if (value == nullptr)
    {
        return static_cast<OSErr>(kSPBadParameterError);
    }
    const PSActionReferenceProcs* references = PhotoshopSuites::ActionReference();
    const PSActionControlProcs* control = PhotoshopSuites::ActionControl();
    const PSActionDescriptorProcs* descriptors = PhotoshopSuites::ActionDescriptor();

    PIActionReference reference = nullptr;
    OSErr error = references->Make(&reference);
    if (error != 0)
    {
        return error;
    }
    if (key != 0)
    {
        error = references->PutProperty(reference, PhotoshopFontUtils::kPropertyClass, key);
    }
    if (error == 0)
    {
        error = byIndex ? references->PutIndex(reference, classID, index)
                        : references->PutEnumerated(reference, classID, PhotoshopFontUtils::kOrdinalType,
                                                    PhotoshopFontUtils::kTargetEnum);
    }
    PIActionDescriptor result = nullptr;
    if (error == 0)
    {
        error = control->Get(&result, reference);
    }
    if (error == 0 && result != nullptr)
    {
        if (key == 0)
        {
            value->object = result;
            result = nullptr;
        }
        else
        {
            error = ReadValue(descriptors, result, key, *value);
        }
    }
    if (result != nullptr)
    {
        descriptors->Free(result);
    }
    references->Free(reference);
    return error;
}

// The path an alias's handle holds, up to the first NUL (at most the buffer's capacity).
TUTF8String AliasToFullPath(Handle alias, std::vector<char>& data)
{
    const PhotoshopSuites::HandleSuite handles = PhotoshopSuites::Handles();
    const std::int32_t size = handles.GetSize(alias);
    if (size <= 0)
    {
        return "";
    }
    PSBoolean oldLock = 0;
    const Ptr bytes = handles.Lock(alias, oldLock);
    if (bytes != nullptr)
    {
        data.assign(bytes,
                    bytes + std::min<std::size_t>(static_cast<std::size_t>(size), kAliasExaminedBytes));
    }
    handles.Unlock(alias, oldLock);
    const std::size_t limit = std::min(data.size(), kAliasPathCapacity - 1);
    const auto end = std::find(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(limit), '\0');
    return TUTF8String(data.begin(), end);
}

// How a narrow path names an existing file: through the system code page, as UTF-8, or not at all.
// A file exists when its modification date can be read.
enum class NarrowPathFile
{
    kNone,
    kCodePage,
    kUTF8,
};

#ifdef _WIN32
bool ModificationDateReadable(const wchar_t* widePath)
{
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    return GetFileAttributesExW(widePath, GetFileExInfoStandard, &attributes) != 0;
}

NarrowPathFile FindNarrowPathFile(const TUTF8String& path, TUTF8String* utf8)
{
    if (path.empty())
    {
        return NarrowPathFile::kNone;
    }
    std::vector<wchar_t> wide(4 * path.size() + 1, L'\0');
    if (OSConvertANSIPathToUTF16(path.c_str(), wide.data(), wide.size()) &&
        ModificationDateReadable(wide.data()))
    {
        if (utf8 != nullptr)
        {
            *utf8 = OSMakeUTF8StringFromOSString(wide.data());
        }
        return NarrowPathFile::kCodePage;
    }
    if (OSConvertUTF8PathToUTF16(path.c_str(), wide.data(), wide.size()) &&
        ModificationDateReadable(wide.data()))
    {
        if (utf8 != nullptr)
        {
            *utf8 = path;
        }
        return NarrowPathFile::kUTF8;
    }
    return NarrowPathFile::kNone;
}
#else
NarrowPathFile FindNarrowPathFile(const TUTF8String& path, TUTF8String* utf8)
{
    if (path.empty() || LumorandFileUtils::GetFileModificationDate(path.c_str()) == 0)
    {
        return NarrowPathFile::kNone;
    }
    if (utf8 != nullptr)
    {
        *utf8 = path;
    }
    return NarrowPathFile::kUTF8;
}
#endif

// True when the alias holds the same bytes (of those the plug-in examines) as data; otherwise data
// becomes a copy of them.
bool SameAliasData(Handle alias, std::vector<char>& data)
{
    const PhotoshopSuites::HandleSuite handles = PhotoshopSuites::Handles();
    const std::int32_t size = handles.GetSize(alias);
    const std::size_t examined =
        size > 0 ? std::min<std::size_t>(static_cast<std::size_t>(size), kAliasExaminedBytes) : 0;
    PSBoolean oldLock = 0;
    const Ptr bytes = examined > 0 ? handles.Lock(alias, oldLock) : nullptr;
    bool same = false;
    if (bytes != nullptr)
    {
        same = data.size() == examined && std::memcmp(data.data(), bytes, examined) == 0;
        if (!same)
        {
            data.assign(bytes, bytes + examined);
        }
        handles.Unlock(alias, oldLock);
    }
    else
    {
        same = data.empty();
        data.clear();
    }
    return same;
}

bool FileExists(const TUTF8String& path)
{
    return FindNarrowPathFile(path, nullptr) != NarrowPathFile::kNone;
}

// The narrow path as UTF-16, each byte the system code page makes of it ('?' where it could
// not); empty when it cannot be converted.
TUTF16String NarrowPathAsUTF16(const TUTF8String& path)
{
#ifdef _WIN32
    std::vector<wchar_t> wide(path.size() + 1, L'\0');
    if (OSConvertANSIPathToUTF16(path.c_str(), wide.data(), wide.size()))
    {
        return TUTF16String(wide.begin(), std::find(wide.begin(), wide.end(), L'\0'));
    }
    return TUTF16String();
#else
    return UTF8ToUTF16(path);
#endif
}

// A stored string agrees with the converted path when both have the same length and every
// character is the same, or is one that the code page could not hold ('?').
bool Agrees(const TUTF16String& stored, const TUTF16String& converted)
{
    if (stored.size() != converted.size())
    {
        return false;
    }
    for (std::size_t i = 0; i < stored.size(); ++i)
    {
        if (stored[i] != converted[i] && converted[i] != u'?')
        {
            return false;
        }
    }
    return true;
}

// The UTF-16 strings stored after the narrow path (each NUL-terminated, starting at an even
// offset), within the examined bytes.
std::vector<TUTF16String> StoredUTF16Strings(const std::vector<char>& data)
{
    std::vector<TUTF16String> strings;
    std::size_t position = 0;
    while (position < data.size() && data[position] != '\0')
    {
        ++position;
    }
    position += 1;
    position += position % 2;
    TUTF16String current;
    for (; position + 1 < data.size(); position += 2)
    {
        const char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(data[position]) |
                                                    (static_cast<unsigned char>(data[position + 1]) << 8));
        if (unit == 0)
        {
            if (current.empty())
            {
                break;
            }
            strings.push_back(current);
            current.clear();
        }
        else
        {
            current.push_back(unit);
        }
    }
    return strings;
}
} // namespace

namespace PhotoshopFontUtils
{
void InfoValue::Release()
{
    if (alias != nullptr)
    {
        PhotoshopSuites::Handles().Dispose(alias);
        alias = nullptr;
    }
    if (object != nullptr)
    {
        PhotoshopSuites::ActionDescriptor()->Free(object);
        object = nullptr;
    }
    if (list != nullptr)
    {
        PhotoshopSuites::ActionList()->Free(list);
        list = nullptr;
    }
}

OSErr GetInfo(DescriptorClassID classID, DescriptorKeyID key, InfoValue* value)
{
    return GetInfoWithTarget(classID, key, false, 0, value);
}

OSErr GetInfoByIndex(std::uint32_t index, DescriptorClassID classID, DescriptorKeyID key, InfoValue* value)
{
    return GetInfoWithTarget(classID, key, true, index, value);
}

OSErr GetActiveDocumentID(TUInt32& documentID)
{
    InfoValue value;
    const OSErr error = GetInfo(kDocumentClass, kDocumentIDKey, &value);
    if (error == 0)
    {
        documentID = static_cast<TUInt32>(value.integer);
    }
    value.Release();
    return error;
}

OSErr GetActiveDocumentPath(TUTF8String& path)
{
    path.clear();
    InfoValue value;
    const OSErr error = GetInfo(kDocumentClass, kFileReferenceKey, &value);
    if (error == 0 && value.alias != nullptr)
    {
        path = GetUTF8EncodedPathFromFileAlias(value.alias);
    }
    value.Release();
    return error;
}

OSErr GetDocumentCount(std::int32_t& count)
{
    InfoValue value;
    const OSErr error = GetInfo(kApplicationClass, kNumberOfDocumentsKey, &value);
    count = error == 0 ? value.integer : 0;
    value.Release();
    return error;
}

OSErr GetOpenDocumentPaths(std::vector<TUTF8String>& paths)
{
    // The last scan's alias data and path per document index: Photoshop is asked for the document
    // list every second, and an alias whose data has not changed since names the same file, so the
    // idle scan makes no file system call for it. An alias that named no file is looked at again.
    struct KnownAlias
    {
        std::vector<char> data;
        TUTF8String path;
    };
    static std::vector<KnownAlias> sKnown;
    std::int32_t count = 0;
    OSErr error = GetDocumentCount(count);
    if (error == 0 && count >= 0)
    {
        sKnown.resize(static_cast<std::size_t>(count));
    }
    for (std::int32_t index = 1; error == 0 && index <= count; ++index)
    {
        InfoValue value;
        error = GetInfoByIndex(static_cast<std::uint32_t>(index), kDocumentClass, kFileReferenceKey, &value);
        if (error == 0 && value.alias != nullptr)
        {
            KnownAlias& known = sKnown[static_cast<std::size_t>(index - 1)];
            if (!SameAliasData(value.alias, known.data) || known.path.empty())
            {
                known.path = GetUTF8EncodedPathFromFileAlias(value.alias);
            }
            if (!known.path.empty())
            {
                paths.push_back(known.path);
            }
        }
        value.Release();
    }
    return error;
}

std::int32_t IndexOfDocumentWithPath(const TUTF8String& requestedPath)
{
    TraceLog(1, "Entering %s('%s')", "IndexOfDocumentWithPath", requestedPath.c_str());
    TUTF8String path = requestedPath;
    std::int32_t result = -1;
    if (path.empty())
    {
        GetActiveDocumentPath(path);
    }
    if (!path.empty())
    {
        std::int32_t count = 0;
        if (GetDocumentCount(count) == 0)
        {
            for (std::int32_t index = count; index >= 1; --index)
            {
                InfoValue value;
                const OSErr error = GetInfoByIndex(static_cast<std::uint32_t>(index), kDocumentClass,
                                                   kFileReferenceKey, &value);
                const TUTF8String documentPath = (error == 0 && value.alias != nullptr)
                                                     ? GetUTF8EncodedPathFromFileAlias(value.alias)
                                                     : "";
                value.Release();
                if (error != 0)
                {
                    break;
                }
                if (documentPath == path)
                {
                    result = index;
                    break;
                }
            }
        }
    }
    TraceLog(-1, "%s('%s') returning %d", "IndexOfDocumentWithPath", requestedPath.c_str(),
             static_cast<int>(result));
    return result;
}

std::int32_t GetDocumentID(TUInt32& documentID, const TUTF8String& path)
{
    const char* const name = "PhotoshopFontUtils::GetDocumentID";
    TraceLog(1, "Entering %s('%s')", name, path.c_str());
    const std::int32_t index = IndexOfDocumentWithPath(path);
    std::int32_t result = -1;
    if (index >= 0)
    {
        InfoValue value;
        if (GetInfoByIndex(static_cast<std::uint32_t>(index), kDocumentClass, kDocumentIDKey, &value) == 0)
        {
            documentID = static_cast<TUInt32>(value.integer);
            result = 0;
        }
        value.Release();
    }
    TraceLog(-1, "Exiting %s('%s', index=%d, documentID=0x%08x, result=%d)", name, path.c_str(),
             static_cast<int>(index), static_cast<unsigned>(result == 0 ? documentID : 0),
             static_cast<int>(result));
    return result;
}

OSErr DocumentHandleIsValid(TUInt32 documentID, bool& exists)
{
    exists = false;
    std::int32_t count = 0;
    OSErr error = GetDocumentCount(count);
    for (std::int32_t index = 1; error == 0 && index <= count; ++index)
    {
        InfoValue value;
        error = GetInfoByIndex(static_cast<std::uint32_t>(index), kDocumentClass, kDocumentIDKey, &value);
        if (error == 0 && static_cast<TUInt32>(value.integer) == documentID)
        {
            exists = true;
        }
        value.Release();
    }
    return error;
}

TUTF8String GetUTF8EncodedPathFromFileAlias(Handle alias)
{
    TUTF8String result;
    try
    {
        std::vector<char> data;
        const TUTF8String narrowPath = AliasToFullPath(alias, data);
        // An existing file's path, in UTF-8 whichever encoding the narrow text was in.
        if (FindNarrowPathFile(narrowPath, &result) != NarrowPathFile::kNone)
        {
            return result;
        }
        TraceLog(0, "AliasToFullPath() returned '%s', which does not exist. Looking elsewhere.",
                 narrowPath.c_str());
        const TUTF16String converted = NarrowPathAsUTF16(narrowPath);
        for (const TUTF16String& stored : StoredUTF16Strings(data))
        {
            if (!Agrees(stored, converted))
            {
                continue;
            }
            const TUTF8String candidate = UTF16ToUTF8(stored);
            if (FileExists(candidate))
            {
                return candidate;
            }
            TraceLog(0, "Ignoring '%s' because it does not exist.", candidate.c_str());
        }
        const TUTF8String fromConverted = UTF16ToUTF8(converted);
        if (FileExists(fromConverted))
        {
            result = fromConverted;
        }
    }
    catch (...)
    {
        TraceLog(0, "Exception thrown in %s(0x%08x)", "PhotoshopFontUtils::GetUTF8EncodedPathFromFileAlias",
                 static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(alias)));
    }
    return result;
}

void GetDocumentFonts(const TUTF8String& path, std::vector<TUTF8String>& fontNames)
{
    const char* const name = "PhotoshopFontUtils::GetDocumentFonts";
    TraceLog(1, "Entering %s('%s', ...)", name, path.c_str());
    if (!path.empty())
    {
        CommonFunctionality::GetFontNamesFromNonXMPSectionOfAdobeDocument(path, fontNames);
    }
    TraceLog(-1, "Exiting %s('%s', fontNames.size()==%d)", name, path.c_str(),
             static_cast<int>(fontNames.size()));
}

void PSGetDocumentFonts(CFMutableArrayRef* fontNames, const TUTF8String& path)
{
    TraceLog(1, "Entering %s(outFontNames=0x%08x, filePath='%s')", "PSGetDocumentFonts",
             static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(fontNames)), path.c_str());
    if (fontNames == nullptr)
    {
        return;
    }
    std::vector<TUTF8String> names;
    GetDocumentFonts(path, names);
    *fontNames = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    if (*fontNames != nullptr)
    {
        for (const TUTF8String& fontName : names)
        {
            CFStringRef string = CreateCFStringFromUTF8String(fontName);
            if (string != nullptr)
            {
                FaceTraceSupport::AddFontToArray(string, *fontNames, false);
                CFRelease(string);
            }
        }
        TraceLog(0, "%d font name(s) found.", static_cast<int>(CFArrayGetCount(*fontNames)));
    }
    TraceLog(-1, "Exiting %s()", "PSGetDocumentFonts");
}

TUTF8String GetFileNameOfPath(const TUTF8String& path)
{
    const std::size_t separator = path.find_last_of(":/\\");
    return separator == TUTF8String::npos ? path : path.substr(separator + 1);
}
} // namespace PhotoshopFontUtils
