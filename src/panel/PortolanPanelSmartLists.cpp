// The panel's smart lists (saved font queries kept by the font manager) and the font-list files
// by which long font lists reach the panel: the list is written to a temporary file, the panel is
// sent the file's URL and later asks for the file's deletion.

#include "PortolanPanel.h"

#include "GCFRef.h"
#include "GErrorReport.h"
#include "GFile.h"
#include "GJSONUtils.h"
#include "GLogger.h"
#include "GStringEncodings.h"
#include "PanelHost.h"
#include "PanelLibraryCall.h"
#include "PanelMessageKeys.h"
#include "PanelSupport.h"
#include "XCFUtils.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

using namespace PanelKey;
using PanelSupport::CutUTF8;
using PanelSupport::GHandlerTrace;
using PanelSupport::NewObject;

namespace
{
constexpr const char* kLogCategory = "Miscellaneous";
constexpr std::size_t kMaxNameBytes = 1023;

TUTF8String DictionaryText(CFDictionaryRef dictionary, CFStringRef key)
{
    CFStringRef text = XCFDictionaryGetString(dictionary, key);
    return text != nullptr ? XCFStringCopyUTF8(text) : TUTF8String();
}

TSInt32 DictionaryNumber(CFDictionaryRef dictionary, CFStringRef key)
{
    TSInt32 value = 0;
    XCFDictionaryGetNumber(dictionary, key, &value);
    return value;
}

// The numbers of a CF array (elements that are not numbers are skipped).
std::vector<TSInt64> ArrayNumbers(CFArrayRef array)
{
    std::vector<TSInt64> numbers;
    if (array == nullptr || CFGetTypeID(array) != CFArrayGetTypeID())
    {
        return numbers;
    }
    for (CFIndex index = 0; index < CFArrayGetCount(array); ++index)
    {
        const void* item = CFArrayGetValueAtIndex(array, index);
        long long number = 0;
        if (item != nullptr && CFGetTypeID(item) == CFNumberGetTypeID() &&
            CFNumberGetValue(static_cast<CFNumberRef>(item), kCFNumberLongLongType, &number))
        {
            numbers.push_back(number);
        }
    }
    return numbers;
}

// The word naming where a font lives, by the font manager's location number.
const char* LocationWord(TSInt32 location)
{
    if (location >= 1 && location <= 3)
    {
        return "desktop";
    }
    if (location >= 4 && location <= 8)
    {
        return "system";
    }
    if (location == 10)
    {
        return "google";
    }
    if (location == 11)
    {
        return "typekit";
    }
    return "";
}

// The PostScript name as plain ASCII (other characters become '?').
TUTF8String ASCII(const TUTF8String& text)
{
    TUTF8String ascii;
    for (std::size_t index = 0; index < text.size(); ++index)
    {
        const unsigned char byte = static_cast<unsigned char>(text[index]);
        if (byte < 0x80)
        {
            ascii += static_cast<char>(byte);
        }
        else if ((byte & 0xC0) != 0x80)
        {
            ascii += '?';
        }
    }
    return ascii;
}

// Base64 without line breaks.
TUTF8String Base64(const TUTF8String& bytes)
{
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    TUTF8String encoded;
    encoded.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t index = 0;
    for (; index + 2 < bytes.size(); index += 3)
    {
        const unsigned value = (static_cast<unsigned char>(bytes[index]) << 16) |
                               (static_cast<unsigned char>(bytes[index + 1]) << 8) |
                               static_cast<unsigned char>(bytes[index + 2]);
        encoded += kAlphabet[(value >> 18) & 63];
        encoded += kAlphabet[(value >> 12) & 63];
        encoded += kAlphabet[(value >> 6) & 63];
        encoded += kAlphabet[value & 63];
    }
    if (index < bytes.size())
    {
        unsigned value = static_cast<unsigned char>(bytes[index]) << 16;
        const bool two = index + 1 < bytes.size();
        if (two)
        {
            value |= static_cast<unsigned char>(bytes[index + 1]) << 8;
        }
        encoded += kAlphabet[(value >> 18) & 63];
        encoded += kAlphabet[(value >> 12) & 63];
        encoded += two ? kAlphabet[(value >> 6) & 63] : '=';
        encoded += '=';
    }
    return encoded;
}

// The smart-list query of a request: three lists of IDs.
struct GSmartListQuery
{
    std::vector<TSInt32> workgroupIDs;
    std::vector<TSInt32> setIDs;
    std::vector<TSInt32> smartSetIDs;

    static const TSInt32* Data(const std::vector<TSInt32>& ids) { return ids.empty() ? nullptr : ids.data(); }
    static std::uint32_t Count(const std::vector<TSInt32>& ids)
    {
        return static_cast<std::uint32_t>(ids.size());
    }
};

TErrorCode ReadQuery(const JsonNode& request, TSInt32& smartListID, GSmartListQuery& query)
{
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kSmartListIDKey, smartListID));
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kWorkgroupIDsKey, query.workgroupIDs));
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kSetIDsKey, query.setIDs));
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kSmartSetIDsKey, query.smartSetIDs));
    return CoreErrorCodes::kSuccess;
}

TErrorCode AddNumbers(JsonNode& root, const char* key, const std::vector<TSInt64>& numbers)
{
    JsonNode array;
    G_FAIL_IF_ERROR(GJSONUtils::AddArrayForKey(key, root, array));
    for (const TSInt64 number : numbers)
    {
        JsonNode element;
        G_FAIL_IF_ERROR(GJSONUtils::AddValueToArray(number, array, element));
    }
    return CoreErrorCodes::kSuccess;
}

GCFRef<CFMutableArrayRef> NewArray()
{
    return GCFRef<CFMutableArrayRef>(CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
}
} // namespace

TErrorCode PortolanPanel::RenameSmartList(const JsonNode& request, bool logged)
{
    if (!PanelHost::Get().IsConnectedToCore())
    {
        return CoreErrorCodes::kSuccess;
    }
    std::unique_ptr<GHandlerTrace> trace(logged ? new GHandlerTrace("PortolanPanel::RenameSmartList")
                                                : nullptr);
    TSInt32 smartListID = 0;
    TUTF8String name;
    if (logged)
    {
        G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kSmartListIDKey, smartListID));
        G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kSmartListNameKey, name));
    }
    else
    {
        G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kSmartListNameKey, name));
        G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kSmartListIDKey, smartListID));
    }
    G_FAIL_IF_ERROR(PanelLibraryCall(&LPILoader::pfRenameSmartList, smartListID, name.c_str()));
    return CoreErrorCodes::kSuccess;
}

TErrorCode PortolanPanel::DeleteSmartList(const JsonNode& request)
{
    if (!PanelHost::Get().IsConnectedToCore())
    {
        return CoreErrorCodes::kSuccess;
    }
    GHandlerTrace trace("PortolanPanel::DeleteSmartList");
    TSInt32 smartListID = 0;
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kSmartListIDKey, smartListID));
    G_FAIL_IF_ERROR(PanelLibraryCall(&LPILoader::pfDeleteSmartList, smartListID));
    return CoreErrorCodes::kSuccess;
}

TErrorCode PortolanPanel::CreateSmartList(const JsonNode& request)
{
    if (!PanelHost::Get().IsConnectedToCore())
    {
        return CoreErrorCodes::kSuccess;
    }
    TUTF8String name;
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kSmartListNameKey, name));
    JsonParser parser;
    JsonNode root = NewObject(parser);
    JsonNode smartList;
    G_FAIL_IF_ERROR(GJSONUtils::AddMapForKey(kSmartListKey, root, smartList));
    std::int32_t newSmartListID = 0;
    // A new list starts with an empty query.
    G_FAIL_IF_ERROR(PanelLibraryCall(&LPILoader::pfCreateSmartList, name.c_str(), 0u,
                                     static_cast<const std::int32_t*>(nullptr), 0u,
                                     static_cast<const std::int32_t*>(nullptr), 0u,
                                     static_cast<const std::int32_t*>(nullptr), &newSmartListID));
    JsonNode value;
    G_FAIL_IF_ERROR(
        GJSONUtils::SetValueForKey(static_cast<TSInt32>(newSmartListID), kSmartListIDKey, smartList, value));
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(name, kSmartListNameKey, smartList, value));
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(PanelMessage::kCreateSmartList, kMessageIDKey, root, value));
    return SendJSON(root, "39");
}

TErrorCode PortolanPanel::GetAllSmartLists()
{
    JsonParser parser;
    JsonNode root = NewObject(parser);
    JsonNode value;
    if (PanelHost::Get().IsConnectedToCore())
    {
        GCFRef<CFMutableArrayRef> lists = NewArray();
        G_FAIL_IF(!lists, CoreErrorCodes::kOutOfMemory);
        G_FAIL_IF_ERROR(PanelLibraryCall(&LPILoader::pfGetAllSmartLists, lists.Get()));
        JsonNode array;
        G_FAIL_IF_ERROR(GJSONUtils::AddArrayForKey(kSmartListsKey, root, array));
        for (CFIndex index = 0; index < CFArrayGetCount(lists.Get()); ++index)
        {
            const void* item = CFArrayGetValueAtIndex(lists.Get(), index);
            if (item == nullptr || CFGetTypeID(item) != CFDictionaryGetTypeID())
            {
                continue;
            }
            CFDictionaryRef list = static_cast<CFDictionaryRef>(item);
            JsonNode entry;
            G_FAIL_IF_ERROR(GJSONUtils::AddMapToArray(array, entry));
            G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(DictionaryNumber(list, CFSTR("smartListID")),
                                                       kSmartListIDKey, entry, value));
            G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(
                CutUTF8(DictionaryText(list, CFSTR("smartListName")), kMaxNameBytes), kSmartListNameKey,
                entry, value));
        }
    }
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(PanelMessage::kGetAllSmartLists, kMessageIDKey, root, value));
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(TSInt32(0), kReturnCodeKey, root, value));
    return SendJSON(root, "38");
}

TErrorCode PortolanPanel::GetSmartList(const JsonNode& request)
{
    if (!PanelHost::Get().IsConnectedToCore())
    {
        return CoreErrorCodes::kSuccess;
    }
    TSInt32 smartListID = 0;
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kSmartListIDKey, smartListID));
    GCFRef<CFMutableDictionaryRef> list(CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    G_FAIL_IF(!list, CoreErrorCodes::kOutOfMemory);
    G_FAIL_IF_ERROR(PanelLibraryCall(&LPILoader::pfGetSmartList, smartListID, list.Get()));
    JsonParser parser;
    JsonNode root = NewObject(parser);
    JsonNode value;
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(PanelMessage::kGetSmartList, kMessageIDKey, root, value));
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(smartListID, kSmartListIDKey, root, value));
    G_FAIL_IF_ERROR(
        GJSONUtils::SetValueForKey(CutUTF8(DictionaryText(list.Get(), CFSTR("smartListName")), kMaxNameBytes),
                                   kSmartListNameKey, root, value));
    for (const char* key : {kWorkgroupIDsKey, kSetIDsKey, kSmartSetIDsKey})
    {
        GCFRef<CFStringRef> cfKey(CreateCFStringFromUTF8String(key));
        const void* numbers = cfKey ? CFDictionaryGetValue(list.Get(), cfKey.Get()) : nullptr;
        G_FAIL_IF_ERROR(AddNumbers(root, key, ArrayNumbers(static_cast<CFArrayRef>(numbers))));
    }
    return SendJSON(root, "36");
}

TErrorCode PortolanPanel::GetPanelSmartListTree(const JsonNode& request)
{
    if (!PanelHost::Get().IsConnectedToCore())
    {
        return CoreErrorCodes::kSuccess;
    }
    TSInt32 smartListID = 0;
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kSmartListIDKey, smartListID));
    GCFRef<CFMutableStringRef> tree(CFStringCreateMutable(kCFAllocatorDefault, 0));
    G_FAIL_IF(!tree, CoreErrorCodes::kOutOfMemory);
    // Whatever text the library leaves is used; its result is not consulted.
    PanelLibraryCall(&LPILoader::pfGetPanelSmartListTree, smartListID, tree.Get());
    TUTF8String text = XCFStringCopyUTF8(tree.Get());
    text.erase(std::remove(text.begin(), text.end(), '\n'), text.end());
    JsonParser parser;
    JsonNode root = NewObject(parser);
    JsonNode value;
    G_FAIL_IF_ERROR(
        GJSONUtils::SetValueForKey(PanelMessage::kGetPanelSmartListTree, kMessageIDKey, root, value));
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(smartListID, kSmartListIDKey, root, value));
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(Base64(text), kListDefinitionKey, root, value));
    return SendJSON(root, "37");
}

TErrorCode PortolanPanel::QueryForSmartListFonts(const JsonNode& request)
{
    if (!PanelHost::Get().IsConnectedToCore())
    {
        return CoreErrorCodes::kSuccess;
    }
    TSInt32 smartListID = 0;
    GSmartListQuery query;
    G_FAIL_IF_ERROR(ReadQuery(request, smartListID, query));
    GCFRef<CFMutableArrayRef> fonts = NewArray();
    G_FAIL_IF(!fonts, CoreErrorCodes::kOutOfMemory);
    G_FAIL_IF_ERROR(
        PanelLibraryCall(&LPILoader::pfQueryForSmartListFonts, GSmartListQuery::Count(query.workgroupIDs),
                         GSmartListQuery::Data(query.workgroupIDs), GSmartListQuery::Count(query.setIDs),
                         GSmartListQuery::Data(query.setIDs), GSmartListQuery::Count(query.smartSetIDs),
                         GSmartListQuery::Data(query.smartSetIDs), fonts.Get()));
    JsonParser parser;
    JsonNode root = NewObject(parser);
    JsonNode value;
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(PanelMessage::kFontList, kMessageIDKey, root, value));
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(smartListID, kSmartListIDKey, root, value));
    G_FAIL_IF_ERROR(AddNumbers(root, kFontIDsKey, ArrayNumbers(fonts.Get())));
    return SendJSON(root, "41");
}

TErrorCode PortolanPanel::SetSmartListQuery(const JsonNode& request)
{
    if (!PanelHost::Get().IsConnectedToCore())
    {
        return CoreErrorCodes::kSuccess;
    }
    TSInt32 smartListID = 0;
    GSmartListQuery query;
    G_FAIL_IF_ERROR(ReadQuery(request, smartListID, query));
    G_FAIL_IF_ERROR(PanelLibraryCall(
        &LPILoader::pfSetSmartListQuery, smartListID, GSmartListQuery::Count(query.workgroupIDs),
        GSmartListQuery::Data(query.workgroupIDs), GSmartListQuery::Count(query.setIDs),
        GSmartListQuery::Data(query.setIDs), GSmartListQuery::Count(query.smartSetIDs),
        GSmartListQuery::Data(query.smartSetIDs)));
    GCFRef<CFMutableArrayRef> fonts = NewArray();
    G_FAIL_IF(!fonts, CoreErrorCodes::kOutOfMemory);
    G_FAIL_IF_ERROR(PanelLibraryCall(&LPILoader::pfGetSmartListFonts, smartListID, fonts.Get()));
    return SendFontListFile(fonts.Get());
}

TErrorCode PortolanPanel::GetSmartListFontsMessage(const JsonNode& request)
{
    if (!PanelHost::Get().IsConnectedToCore())
    {
        return CoreErrorCodes::kSuccess;
    }
    TSInt32 smartListID = 0;
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kSmartListIDKey, smartListID));
    G_FAIL_IF_ERROR(GetSmartListFonts(smartListID));
    return CoreErrorCodes::kSuccess;
}

TErrorCode PortolanPanel::GetSmartListFonts(TSInt32 smartListID)
{
    if (!PanelHost::Get().IsConnectedToCore())
    {
        return CoreErrorCodes::kSuccess;
    }
    GCFRef<CFMutableArrayRef> fonts = NewArray();
    G_FAIL_IF(!fonts, CoreErrorCodes::kOutOfMemory);
    G_FAIL_IF_ERROR(PanelLibraryCall(&LPILoader::pfGetSmartListFonts, smartListID, fonts.Get()));
    return SendFontListFile(fonts.Get());
}

TErrorCode PortolanPanel::SendFontListFile(CFArrayRef fonts)
{
    if (!PanelHost::Get().IsConnectedToCore())
    {
        return CoreErrorCodes::kSuccess;
    }
    const TUTF8String path = PanelHost::Get().TemporaryFileName();
    if (path.empty())
    {
        return SendReply(PanelMessage::kCouldNotCreateTmpFile);
    }
    TUTF8String url = "file:///" + path;
    std::replace(url.begin(), url.end(), '\\', '/');

    TUTF8String lines;
    for (CFIndex index = 0; index < CFArrayGetCount(fonts); ++index)
    {
        const void* item = CFArrayGetValueAtIndex(fonts, index);
        if (item == nullptr || CFGetTypeID(item) != CFDictionaryGetTypeID())
        {
            continue;
        }
        CFDictionaryRef font = static_cast<CFDictionaryRef>(item);
        char line[64];
        std::snprintf(line, sizeof line, "%d\t", static_cast<int>(DictionaryNumber(font, CFSTR("fontID"))));
        lines += line;
        lines += CutUTF8(DictionaryText(font, CFSTR("displayName")), kMaxNameBytes) + "\t";
        lines += ASCII(DictionaryText(font, CFSTR("postscriptName"))).substr(0, kMaxNameBytes) + "\t";
        std::snprintf(line, sizeof line, "%d\t%s\t%d\n",
                      static_cast<int>(DictionaryNumber(font, CFSTR("activated"))),
                      LocationWord(DictionaryNumber(font, CFSTR("fontLocation"))),
                      static_cast<int>(DictionaryNumber(font, CFSTR("fontIsLocal"))));
        lines += line;
    }
    // Written through a handle that was really opened, or not at all.
    GFile file;
    if (file.Open(path, GFile::eWrite | GFile::eTruncate | GFile::eBinary) != CoreErrorCodes::kSuccess)
    {
        GLogger::GetInstance().LogError(kLogCategory, "The font list file %s cannot be created",
                                        path.c_str());
        return SendReply(PanelMessage::kCouldNotCreateTmpFile);
    }
    const bool written = file.Write(lines) == CoreErrorCodes::kSuccess;
    const bool closed = file.Close() == CoreErrorCodes::kSuccess;
    mTemporaryFiles[url] = path;
    if (!written || !closed)
    {
        GLogger::GetInstance().LogError(kLogCategory, "The font list file %s could not be written",
                                        path.c_str());
        return SendReply(PanelMessage::kCouldNotCreateTmpFile);
    }

    JsonParser parser;
    JsonNode root = NewObject(parser);
    JsonNode value;
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(PanelMessage::kFontList, kMessageIDKey, root, value));
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(url, kFilenameKey, root, value));
    return SendJSON(root, "41");
}

TErrorCode PortolanPanel::DeleteTmpFile(const JsonNode& request)
{
    TUTF8String url;
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kFilenameKey, url));
    const auto entry = mTemporaryFiles.find(url);
    if (entry == mTemporaryFiles.end())
    {
        return CoreErrorCodes::kSuccess;
    }
    std::error_code error;
    std::filesystem::remove(std::filesystem::path(std::u8string(entry->second.begin(), entry->second.end())),
                            error);
    if (error)
    {
        GLogger::GetInstance().LogError(kLogCategory, "The font list file %s could not be deleted: %s",
                                        entry->second.c_str(), error.message().c_str());
    }
    mTemporaryFiles.erase(entry);
    return CoreErrorCodes::kSuccess;
}
