// The panel's messages: the dispatcher and the handlers of the general messages (the smart-list
// family and the notifications have files of their own).

#include "PortolanPanel.h"

#include "FontRecordKeys.h"
#include "GCFRef.h"
#include "GErrorReport.h"
#include "GJSONUtils.h"
#include "GLogger.h"
#include "PanelHost.h"
#include "PanelLibraryCall.h"
#include "PanelMessageKeys.h"
#include "PanelSupport.h"
#include "XCFUtils.h"

#include <set>

using namespace PanelKey;
using PanelSupport::GHandlerTrace;

namespace
{
constexpr const char* kLogCategory = "Miscellaneous";

constexpr TSInt32 kDefaultPanelWidth = 260;
constexpr TSInt32 kDefaultPanelHeight = 350;
constexpr TSInt32 kAllWorkgroups = -2;

// Window messages and virtual keys of a forwarded key stroke.
constexpr TUInt32 kKeyDown = 0x100;
constexpr TUInt32 kKeyUp = 0x101;
constexpr TUInt32 kControlKey = 0x11;
constexpr TUInt32 kShiftKey = 0x10;
constexpr TUInt32 kAltKey = 0x12;

// A fresh reply object: "messageID" first.
class GReply
{
public:
    GReply() : mRoot(PanelSupport::NewObject(mParser)) {}
    JsonNode& Root() { return mRoot; }

private:
    JsonParser mParser;
    JsonNode mRoot;
};

// The 32-bit font IDs of an integer array of the panel.
std::vector<TUInt32> FontIDs(const std::vector<TSInt32>& values)
{
    return std::vector<TUInt32>(values.begin(), values.end());
}

TUTF8String RecordText(CFDictionaryRef record, CFStringRef key)
{
    CFStringRef text = XCFDictionaryGetString(record, key);
    return text != nullptr ? XCFStringCopyUTF8(text) : TUTF8String();
}
} // namespace

TErrorCode PortolanPanel::HandleMessage(const TUTF8String& message)
{
    PanelHost& host = PanelHost::Get();
    if (!host.IsPluginEnabled())
    {
        return CoreErrorCodes::kSuccess;
    }
    JsonParser parser;
    JsonNode root;
    {
        const TErrorCode code = GJSONUtils::Parse(parser, message, root);
        if (code != CoreErrorCodes::kSuccess)
        {
            ReportCheckFailure(kLogCategory, GLogger::kError, code, __FILE__, __LINE__,
                               "GetJSONValueFromMessage(message, root, jsonObject)");
            return code;
        }
        if (!root.is_map())
        {
            ReportCheckFailure(kLogCategory, GLogger::kError, CoreErrorCodes::kError, __FILE__, __LINE__,
                               "!jsonValue.is_map()");
            ReportCheckFailure(kLogCategory, GLogger::kError, CoreErrorCodes::kError, __FILE__, __LINE__,
                               "GetJSONValueFromMessage(message, root, jsonObject)");
            return CoreErrorCodes::kError;
        }
    }
    TSInt32 messageID = 0;
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(root, kMessageIDKey, messageID));
    return Dispatch(messageID, root);
}

TErrorCode PortolanPanel::Dispatch(TSInt32 messageID, const JsonNode& request)
{
    using namespace PanelMessage;
    switch (messageID)
    {
    case kDesignActivateFamilyForFont:
        return DesignActivateFamilyForFont(request);
    case kEnableGoogleFonts:
        return GoogleEnableWebFonts();
    case kAreGoogleFontsEnabled:
        return IsGoogleWebFontsEnabled();
    case kGetDimensions:
        return GetDimensions();
    case kSetDimensions:
        return SetDimensions(request);
    case kDeleteTmpFile:
        return DeleteTmpFile(request);
    case kIsWindows:
        return IsWindows();
    case kSetDropDownSelection:
        return SetDropDownSelection(request);
    case kGetDropDownSelection:
        return GetDropDownSelection();
    case kGetFontPNG:
        return GetFontPNG(request);
    case kRenameSmartList:
        return RenameSmartList(request, true);
    case kDeleteSmartList:
        return DeleteSmartList(request);
    case kQueryForSmartListFonts:
        return QueryForSmartListFonts(request);
    case kGetSmartList:
        return GetSmartList(request);
    case kGetPanelSmartListTree:
        return GetPanelSmartListTree(request);
    case kGetAllSmartLists:
        return GetAllSmartLists();
    case kCreateSmartList:
        return CreateSmartList(request);
    case kGetSmartListFonts:
        return GetSmartListFontsMessage(request);
    case kSetSmartListQuery:
        return SetSmartListQuery(request);
    case kSetSmartListName:
        return RenameSmartList(request, false);
    case kTrackFontPanelClick:
        return TrackFontPanelClick(request);
    case kCanAccessGoogleFonts:
        return CanAccessGoogleFonts();
    case kStartPanelInfo:
        return StartPanelInfo();
    case kKeyEvent:
        return KeyEvent(request);
    case 48:
    case 49:
    case 51:
    case 59:
        return CoreErrorCodes::kSuccess;
    default:
        GLogger::GetInstance().Log(kLogCategory, GLogger::kNone, "Unknown operator ID from panel '%d'.",
                                   static_cast<int>(messageID));
        return CoreErrorCodes::kSuccess;
    }
}

TErrorCode PortolanPanel::SendJSON(JsonNode& root, const char* what)
{
    TUTF8String message;
    try
    {
        message = "(" + JsonGenerator::serialize(root) + ")";
    }
    catch (const std::exception& exception)
    {
        GLogger::GetInstance().LogError(kLogCategory, "The panel message %s cannot be written: %s", what,
                                        exception.what());
        ReportCheckFailure(kLogCategory, GLogger::kError, CoreErrorCodes::kError, __FILE__, __LINE__,
                           "GetMessageFromJSONValue(root, responseMessage)");
        return CoreErrorCodes::kError;
    }
    const TErrorCode code = SendMessage(message);
    if (code != CoreErrorCodes::kSuccess)
    {
        ReportCheckFailure(kLogCategory, GLogger::kError, code, __FILE__, __LINE__,
                           "SendMessageA(responseMessage)");
    }
    return code;
}

TErrorCode PortolanPanel::SendReply(TSInt32 messageID)
{
    GReply reply;
    JsonNode value;
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(messageID, kMessageIDKey, reply.Root(), value));
    return SendJSON(reply.Root(), "reply");
}

TErrorCode PortolanPanel::IsWindows()
{
    GHandlerTrace trace("PortolanPanel::IsWindows");
    GReply reply;
    JsonNode value;
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(PanelMessage::kIsWindows, kMessageIDKey, reply.Root(), value));
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(true, kIsWindowsKey, reply.Root(), value));
    return SendJSON(reply.Root(), "16");
}

TErrorCode PortolanPanel::CanAccessGoogleFonts()
{
    GHandlerTrace trace("PortolanPanel::CanAccessGoogleFonts");
    if (!PanelHost::Get().HasFontManager())
    {
        return CoreErrorCodes::kSuccess;
    }
    const std::uint32_t canAccess = PanelLibraryCall(&LPILoader::pfCanAccessGoogleFonts);
    GReply reply;
    JsonNode value;
    G_FAIL_IF_ERROR(
        GJSONUtils::SetValueForKey(PanelMessage::kCanAccessGoogleFonts, kMessageIDKey, reply.Root(), value));
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(static_cast<TSInt64>(canAccess), kCanAccessGoogleFontsKey,
                                               reply.Root(), value));
    return SendJSON(reply.Root(), "58");
}

TErrorCode PortolanPanel::StartPanelInfo()
{
    GHandlerTrace trace("PortolanPanel::StartPanelInfo");
    std::uint32_t standalone = 0;
    PanelLibraryCall(&LPILoader::pfGetRunningStandalone, &standalone);
    GReply reply;
    JsonNode value;
    G_FAIL_IF_ERROR(
        GJSONUtils::SetValueForKey(PanelMessage::kConnectionComplete, kMessageIDKey, reply.Root(), value));
    G_FAIL_IF_ERROR(
        GJSONUtils::SetValueForKey(static_cast<TSInt64>(standalone), kIsStandaloneKey, reply.Root(), value));
    G_FAIL_IF_ERROR(SendJSON(reply.Root(), "20"));
    UpdateWorkgroupState();
    return CoreErrorCodes::kSuccess;
}

TErrorCode PortolanPanel::GoogleEnableWebFonts()
{
    GHandlerTrace trace("PortolanPanel::GoogleEnableWebFonts");
    if (PanelHost::Get().IsConnectedToCore())
    {
        PanelLibraryCall(&LPILoader::pfSetGoogleWebFontsEnabled, std::uint32_t(1));
    }
    GReply reply;
    JsonNode value;
    G_FAIL_IF_ERROR(
        GJSONUtils::SetValueForKey(PanelMessage::kEnableGoogleFonts, kMessageIDKey, reply.Root(), value));
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(TSInt32(0), kReturnCodeKey, reply.Root(), value));
    return SendJSON(reply.Root(), "9");
}

TErrorCode PortolanPanel::IsGoogleWebFontsEnabled()
{
    GHandlerTrace trace("PortolanPanel::IsGoogleWebFontsEnabled");
    PanelHost& host = PanelHost::Get();
    std::uint32_t isEnabled = 0;
    const TSInt32 isReplicating = 0;
    const TSInt32 replicationMode = 1;
    if (host.IsConnectedToCore())
    {
        PanelLibraryCall(&LPILoader::pfGetIsGoogleWebFontsEnabled, &isEnabled);
    }
    if (isEnabled != 0 && host.HasFramework() && host.HasFontManager() &&
        host.CanActivateAcrossWorkgroups() &&
        !host.GetBoolPreference(PanelPreference::kGoogleWebFontsHaveEverBeenEnabled))
    {
        // The first time web fonts are seen enabled, the user's selection widens to all workgroups.
        host.SetCurrentWorkgroupID(kAllWorkgroups);
        host.SetBoolPreference(PanelPreference::kGoogleWebFontsHaveEverBeenEnabled, true);
    }
    GReply reply;
    JsonNode value;
    G_FAIL_IF_ERROR(
        GJSONUtils::SetValueForKey(PanelMessage::kAreGoogleFontsEnabled, kMessageIDKey, reply.Root(), value));
    G_FAIL_IF_ERROR(
        GJSONUtils::SetValueForKey(static_cast<TSInt64>(isEnabled), kIsEnabledKey, reply.Root(), value));
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(isReplicating, kIsReplicatingKey, reply.Root(), value));
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(replicationMode, kReplicationModeKey, reply.Root(), value));
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(TSInt32(0), kReturnCodeKey, reply.Root(), value));
    return SendJSON(reply.Root(), "10");
}

TErrorCode PortolanPanel::GetDimensions()
{
    PanelHost& host = PanelHost::Get();
    if (!host.IsConnectedToCore())
    {
        return CoreErrorCodes::kSuccess;
    }
    TSInt32 width = kDefaultPanelWidth;
    TSInt32 height = kDefaultPanelHeight;
    if (host.HasFramework())
    {
        width = host.GetLongPreference(PanelPreference::kPanelWidth);
        height = host.GetLongPreference(PanelPreference::kPanelHeight);
    }
    GReply reply;
    JsonNode value;
    G_FAIL_IF_ERROR(
        GJSONUtils::SetValueForKey(PanelMessage::kGetDimensions, kMessageIDKey, reply.Root(), value));
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(height, kHeightKey, reply.Root(), value));
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(width, kWidthKey, reply.Root(), value));
    return SendJSON(reply.Root(), "11");
}

TErrorCode PortolanPanel::SetDimensions(const JsonNode& request)
{
    PanelHost& host = PanelHost::Get();
    if (!host.IsConnectedToCore())
    {
        return CoreErrorCodes::kSuccess;
    }
    TSInt32 width = 0;
    TSInt32 height = 0;
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kWindowWidthKey, width));
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kWindowHeightKey, height));
    host.SetLongPreference(PanelPreference::kPanelWidth, width);
    host.SetLongPreference(PanelPreference::kPanelHeight, height);
    return CoreErrorCodes::kSuccess;
}

TErrorCode PortolanPanel::GetDropDownSelection()
{
    PanelHost& host = PanelHost::Get();
    if (!host.IsConnectedToCore() || !host.HasFramework())
    {
        return CoreErrorCodes::kSuccess;
    }
    const TSInt32 selection = host.GetLongPreference(PanelPreference::kDropDownSelection);
    const bool saves = host.GetBoolPreference(PanelPreference::kDropDownSelectionSavesSmartLists);
    GReply reply;
    JsonNode value;
    G_FAIL_IF_ERROR(
        GJSONUtils::SetValueForKey(PanelMessage::kGetDropDownSelection, kMessageIDKey, reply.Root(), value));
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(selection, kSelectionKey, reply.Root(), value));
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(saves, kSavesSmartListKey, reply.Root(), value));
    return SendJSON(reply.Root(), "18");
}

TErrorCode PortolanPanel::SetDropDownSelection(const JsonNode& request)
{
    PanelHost& host = PanelHost::Get();
    if (!host.IsConnectedToCore())
    {
        return CoreErrorCodes::kSuccess;
    }
    TSInt32 selection = 0;
    bool saves = false;
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kSelectionKey, selection));
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kSavesSmartListKey, saves));
    host.SetLongPreference(PanelPreference::kDropDownSelection, selection);
    host.SetBoolPreference(PanelPreference::kDropDownSelectionSavesSmartLists, saves);
    return CoreErrorCodes::kSuccess;
}

TErrorCode PortolanPanel::GetFontPNG(const JsonNode& request)
{
    if (!PanelHost::Get().IsConnectedToCore())
    {
        return CoreErrorCodes::kSuccess;
    }
    std::vector<TSInt32> highPriority;
    std::vector<TSInt32> fonts;
    TSInt32 smartListID = 0;
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kHighPriorityFontIDsKey, highPriority));
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kFontIDsKey, fonts));
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kSmartListIDKey, smartListID));
    const std::vector<TUInt32> highPriorityIDs = FontIDs(highPriority);
    const std::vector<TUInt32> fontIDs = FontIDs(fonts);
    // The images arrive later, as a notification of the font manager (sent on as message 32).
    G_REPORT_IF_ERROR(PanelLibraryCall(
        &LPILoader::pfRenderFontNamePreviewPNGs, static_cast<std::uint32_t>(highPriorityIDs.size()),
        highPriorityIDs.empty() ? nullptr : highPriorityIDs.data(),
        static_cast<std::uint32_t>(fontIDs.size()), fontIDs.empty() ? nullptr : fontIDs.data(), smartListID,
        14, 400, 30, 1u));
    return CoreErrorCodes::kSuccess;
}

TErrorCode PortolanPanel::TrackFontPanelClick(const JsonNode& request)
{
    if (!PanelHost::Get().IsPluginEnabled())
    {
        return CoreErrorCodes::kSuccess;
    }
    TSInt32 fontID = 0;
    TUTF8String version;
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kFontIDKey, fontID));
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kVersionKey, version));
    G_REPORT_IF_ERROR(PanelLibraryCall(&LPILoader::pfTrackFontPanelClick, static_cast<std::uint32_t>(fontID),
                                       version.c_str()));
    return CoreErrorCodes::kSuccess;
}

TErrorCode PortolanPanel::KeyEvent(const JsonNode& request)
{
    // The main window is found once and kept for later key strokes.
    static void* sMainWindow = nullptr;
    PanelHost& host = PanelHost::Get();
    if (sMainWindow == nullptr)
    {
        sMainWindow = host.FindHostMainWindow();
    }
    bool ctrl = false;
    bool shift = false;
    bool alt = false;
    TSInt32 keyCode = 0;
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kIsCtrlPressedKey, ctrl));
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kIsShiftPressedKey, shift));
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kIsAltPressedKey, alt));
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kKeyCodeKey, keyCode));
    if (sMainWindow == nullptr)
    {
        GLogger::GetInstance().LogError(kLogCategory, "No main window to forward key %d to",
                                        static_cast<int>(keyCode));
        return CoreErrorCodes::kNotFound;
    }
    host.FocusWindow(sMainWindow);
    const std::pair<bool, TUInt32> modifiers[] = {{ctrl, kControlKey}, {shift, kShiftKey}, {alt, kAltKey}};
    for (const auto& [pressed, key] : modifiers)
    {
        if (pressed)
        {
            host.PostKeyMessage(sMainWindow, kKeyDown, key);
        }
    }
    host.PostKeyMessage(sMainWindow, kKeyDown, static_cast<TUInt32>(keyCode));
    host.PostKeyMessage(sMainWindow, kKeyUp, static_cast<TUInt32>(keyCode));
    for (const auto& [pressed, key] : modifiers)
    {
        if (pressed)
        {
            host.PostKeyMessage(sMainWindow, kKeyUp, key);
        }
    }
    return CoreErrorCodes::kSuccess;
}

TErrorCode PortolanPanel::DesignActivateFamilyForFont(const JsonNode& request)
{
    GHandlerTrace trace("PortolanPanel::DesignActivateFamilyForFont");
    PanelHost& host = PanelHost::Get();
    auto reply = [this]
    {
        GReply message;
        JsonNode value;
        G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(PanelMessage::kDesignActivateFamilyForFont, kMessageIDKey,
                                                   message.Root(), value));
        G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(TSInt32(0), kReturnCodeKey, message.Root(), value));
        return SendJSON(message.Root(), "8");
    };
    if (!host.HasFontManager() || !host.IsConnectedToCore())
    {
        return reply();
    }
    TSInt32 requested = 0;
    TUTF8String postScriptName;
    TUTF8String displayName;
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kFontIDKey, requested));
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kPostscriptNameKey, postScriptName));
    G_FAIL_IF_ERROR(GJSONUtils::GetValueForKey(request, kDisplayNameKey, displayName));
    const TUInt32 fontID = static_cast<TUInt32>(requested);

    GCFRef<CFMutableDictionaryRef> record;
    if (!host.GetFontInfoByID(fontID, record) || !record)
    {
        GLogger::GetInstance().LogError(kLogCategory, "No record of font %u to activate its family",
                                        static_cast<unsigned>(fontID));
        return reply();
    }
    const std::map<TUInt32, TSInt32> conflicts = host.GetFontConflicts({fontID});
    const auto conflict = conflicts.find(fontID);
    if (conflicts.size() != 1 || conflict == conflicts.end() || conflict->second != 0)
    {
        SendFontActivationError(fontID, conflict != conflicts.end() ? conflict->second : 0, true);
        return reply();
    }
    GCFRef<CFMutableArrayRef> family(CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
    if (!family || host.FindFontsInSameFamily(record.Get(), family.Get()) != 0 ||
        CFArrayGetCount(family.Get()) == 0)
    {
        return reply();
    }

    std::vector<TUInt32> activation{fontID};
    std::set<TUTF8String> seenPostScriptNames{postScriptName};
    std::set<TUTF8String> seenDisplayNames{displayName};
    CFStringRef displayNameKey = host.DisplayNameKey();
    for (CFIndex index = 0; index < CFArrayGetCount(family.Get()); ++index)
    {
        const void* item = CFArrayGetValueAtIndex(family.Get(), index);
        if (item == nullptr || CFGetTypeID(item) != CFDictionaryGetTypeID())
        {
            continue;
        }
        CFDictionaryRef font = static_cast<CFDictionaryRef>(item);
        TSInt32 databaseID = 0;
        if (!XCFDictionaryGetNumber(font, kFT_DatabaseIDKey, &databaseID) ||
            static_cast<TUInt32>(databaseID) == fontID)
        {
            continue;
        }
        const TUTF8String fontPostScriptName = RecordText(font, kFT_PostScriptNameKey);
        const TUTF8String fontDisplayName = RecordText(font, displayNameKey);
        if (fontPostScriptName.empty() || fontDisplayName.empty() ||
            seenPostScriptNames.count(fontPostScriptName) != 0 ||
            seenDisplayNames.count(fontDisplayName) != 0)
        {
            continue;
        }
        seenPostScriptNames.insert(fontPostScriptName);
        seenDisplayNames.insert(fontDisplayName);
        activation.push_back(static_cast<TUInt32>(databaseID));
    }

    const std::uint32_t count = static_cast<std::uint32_t>(activation.size());
    std::vector<LPIFontActivationResult> results(count);
    std::uint32_t notActivatedCount = 0;
    std::uint32_t nonCompliantCount = 0;
    G_REPORT_IF_ERROR(PanelLibraryCall(&LPILoader::pfActivateFonts, count, activation.data(), 0u, 3u, 1u, 1u,
                                       0u, count, static_cast<std::uint32_t*>(nullptr), results.data(),
                                       &notActivatedCount, &nonCompliantCount));
    std::set<TUInt32> nonCompliant;
    for (std::uint32_t index = 0; index < nonCompliantCount && index < count; ++index)
    {
        nonCompliant.insert(results[index].fontID);
    }
    for (const TUInt32 id : activation)
    {
        if (nonCompliant.count(id) != 0)
        {
            PushFontNonCompliantNotification(id);
        }
        else
        {
            PushFontActivatedNotification(id);
        }
    }
    return reply();
}

TErrorCode PortolanPanel::SendFontActivationError(TUInt32 fontID, TSInt32 conflictID, bool isConflictError)
{
    GReply reply;
    JsonNode value;
    G_FAIL_IF_ERROR(
        GJSONUtils::SetValueForKey(PanelMessage::kFontActivationError, kMessageIDKey, reply.Root(), value));
    G_FAIL_IF_ERROR(
        GJSONUtils::SetValueForKey(static_cast<TSInt64>(fontID), kFontIDKey, reply.Root(), value));
    if (isConflictError)
    {
        G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(conflictID, kConflictIDKey, reply.Root(), value));
    }
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(isConflictError, kIsConflictErrorKey, reply.Root(), value));
    return SendJSON(reply.Root(), "46");
}
