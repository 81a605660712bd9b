// The font manager's notifications on their way to the panel: most are queued and sent together
// by the next service pass (each message once, in ascending ID order, font IDs collected per
// message); progress, the enable state and activation errors go at once.

#include "PortolanPanel.h"

#include "GCFRef.h"
#include "GErrorReport.h"
#include "GJSONUtils.h"
#include "GLogger.h"
#include "PanelHost.h"
#include "PanelLibraryCall.h"
#include "PanelMessageKeys.h"
#include "PanelSupport.h"
#include "XCFUtils.h"

using namespace PanelKey;
using PanelSupport::CutUTF8;
using PanelSupport::NewObject;

namespace
{
constexpr const char* kLogCategory = "Miscellaneous";
// The workgroup type whose presence the panel shows (64) or misses (65).
constexpr TSInt32 kFlaggedWorkgroupType = 9;
// Longest text of a progress message, in bytes.
constexpr std::size_t kMaxProgressText = 1023;
} // namespace

TErrorCode PortolanPanel::SetEnabled(bool enabled)
{
    JsonParser parser;
    JsonNode root = NewObject(parser);
    JsonNode value;
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(PanelMessage::kEnabled, kMessageIDKey, root, value));
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(enabled, kIsEnabledKey, root, value));
    return SendJSON(root, "30");
}

TErrorCode PortolanPanel::Queue(TSInt32 messageID, bool gated)
{
    if (gated && !PanelHost::Get().IsConnectedToCore())
    {
        return CoreErrorCodes::kSuccess;
    }
    mPending.insert(messageID);
    return CoreErrorCodes::kSuccess;
}

TErrorCode PortolanPanel::PushFontTo(TUInt32 fontID, TSInt32 messageID, std::set<TUInt32>& fonts)
{
    if (!PanelHost::Get().IsConnectedToCore())
    {
        return CoreErrorCodes::kSuccess;
    }
    fonts.insert(fontID);
    if (messageID == PanelMessage::kFontsActivated)
    {
        mDeactivated.erase(fontID);
    }
    else
    {
        mActivated.erase(fontID);
    }
    mPending.insert(messageID);
    return CoreErrorCodes::kSuccess;
}

TErrorCode PortolanPanel::PushFontNotification(TUInt32 fontID, TSInt32 messageID)
{
    switch (messageID)
    {
    case PanelMessage::kFontsActivated:
        return PushFontTo(fontID, messageID, mActivated);
    case PanelMessage::kFontsDeactivated:
        return PushFontTo(fontID, messageID, mDeactivated);
    case PanelMessage::kFontsMissing:
        return PushFontTo(fontID, messageID, mMissing);
    case PanelMessage::kFontsNonCompliant:
        return PushFontTo(fontID, messageID, mNonCompliant);
    default:
        return CoreErrorCodes::kInvalidParam;
    }
}

TErrorCode PortolanPanel::PushFontActivatedNotification(TUInt32 fontID)
{
    return PushFontNotification(fontID, PanelMessage::kFontsActivated);
}

TErrorCode PortolanPanel::PushFontDeactivatedNotification(TUInt32 fontID)
{
    return PushFontNotification(fontID, PanelMessage::kFontsDeactivated);
}

TErrorCode PortolanPanel::PushFontMissingNotification(TUInt32 fontID)
{
    return PushFontNotification(fontID, PanelMessage::kFontsMissing);
}

TErrorCode PortolanPanel::PushFontNonCompliantNotification(TUInt32 fontID)
{
    return PushFontNotification(fontID, PanelMessage::kFontsNonCompliant);
}

TErrorCode PortolanPanel::PushLoggedInStateChangedNotification(TSInt32 /*serverType*/)
{
    return Queue(PanelMessage::kLoggedInStateChanged, true);
}

TErrorCode PortolanPanel::PushOnlineStateChangedNotification(bool isOnline)
{
    std::uint32_t standalone = 0;
    PanelLibraryCall(&LPILoader::pfGetRunningStandalone, &standalone);
    return Queue(!isOnline && standalone == 0 ? PanelMessage::kOffline : PanelMessage::kOnline, false);
}

TErrorCode PortolanPanel::PushGoogleWebFontsEnabledNotificaton(bool enabled)
{
    return Queue(enabled ? PanelMessage::kGoogleWebFontsEnabled : PanelMessage::kGoogleWebFontsDisabled,
                 true);
}

TErrorCode PortolanPanel::PushBulkReplicationProgressNotification(CFDictionaryRef details)
{
    return SendProgressMessage(PanelMessage::kBulkReplicationProgress, details);
}

TErrorCode PortolanPanel::PushBulkReplicationStoppedNotification()
{
    return Queue(PanelMessage::kBulkReplicationStopped, true);
}

TErrorCode PortolanPanel::PushIncrementalReplicationProgressNotification(CFDictionaryRef details)
{
    return SendProgressMessage(PanelMessage::kIncrementalReplicationProgress, details);
}

TErrorCode PortolanPanel::PushIncrementalReplicationStoppedNotification()
{
    return Queue(PanelMessage::kIncrementalReplicationStopped, true);
}

TErrorCode PortolanPanel::PushGoogleReplicationProgressNotification(CFDictionaryRef details)
{
    return SendProgressMessage(PanelMessage::kGoogleReplicationProgress, details);
}

TErrorCode PortolanPanel::PushGoogleReplicationStoppedNotification()
{
    return Queue(PanelMessage::kGoogleReplicationStopped, true);
}

TErrorCode PortolanPanel::PushFontServerReplicationProgressNotification(CFDictionaryRef details)
{
    return SendProgressMessage(PanelMessage::kFontServerReplicationProgress, details);
}

TErrorCode PortolanPanel::PushFontServerReplicationStoppedNotification()
{
    return Queue(PanelMessage::kFontServerReplicationStopped, true);
}

TErrorCode PortolanPanel::PushDataChangedNotification()
{
    return Queue(PanelMessage::kDataChanged, true);
}

TErrorCode PortolanPanel::PushSmartListsChangedNotification()
{
    return Queue(PanelMessage::kSmartListsChanged, true);
}

TErrorCode PortolanPanel::PushOfflineDownloadFinishedNotification()
{
    return Queue(PanelMessage::kOfflineDownloadFinished, true);
}

TErrorCode PortolanPanel::PushWorkgroupStateNotification(bool hasWorkgroup)
{
    return Queue(hasWorkgroup ? PanelMessage::kHasWorkgroup : PanelMessage::kHasNoWorkgroup, false);
}

void PortolanPanel::UpdateWorkgroupState()
{
    PanelHost& host = PanelHost::Get();
    if (!host.HasFontManager())
    {
        return;
    }
    GCFRef<CFMutableArrayRef> workgroups(
        CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
    if (!workgroups || host.GetAllWorkgroupsForUser(workgroups.Get()) != 0)
    {
        return;
    }
    bool flagged = false;
    for (CFIndex index = 0; index < CFArrayGetCount(workgroups.Get()) && !flagged; ++index)
    {
        const void* item = CFArrayGetValueAtIndex(workgroups.Get(), index);
        TSInt32 type = 0;
        flagged = item != nullptr && CFGetTypeID(item) == CFDictionaryGetTypeID() &&
                  XCFDictionaryGetNumber(static_cast<CFDictionaryRef>(item), CFSTR("WorkgroupType"), &type) &&
                  type == kFlaggedWorkgroupType;
    }
    PushWorkgroupStateNotification(flagged);
}

TErrorCode PortolanPanel::SendProgressMessage(TSInt32 messageID, CFDictionaryRef details)
{
    if (!PanelHost::Get().IsConnectedToCore())
    {
        return CoreErrorCodes::kSuccess;
    }
    G_FAIL_IF(details == nullptr, CoreErrorCodes::kNullPointer);
    CFStringRef text = XCFDictionaryGetString(details, CFSTR("text"));
    TSInt32 stepIndex = 0;
    TSInt32 numSteps = 0;
    XCFDictionaryGetNumber(details, CFSTR("stepIndex"), &stepIndex);
    XCFDictionaryGetNumber(details, CFSTR("numSteps"), &numSteps);

    JsonParser parser;
    JsonNode root = NewObject(parser);
    JsonNode value;
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(messageID, kMessageIDKey, root, value));
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(
        CutUTF8(text != nullptr ? XCFStringCopyUTF8(text) : TUTF8String(), kMaxProgressText), kTextKey, root,
        value));
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(stepIndex, kStepIndexKey, root, value));
    G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(numSteps, kNumStepsKey, root, value));
    return SendJSON(root, "progress");
}

TErrorCode PortolanPanel::PopNotifications()
{
    if (!PanelHost::Get().IsConnectedToCore())
    {
        return CoreErrorCodes::kSuccess;
    }
    // The font sets are emptied only once every message of the pass went out: a pass that fails
    // sends everything again next time.
    std::vector<std::set<TUInt32>*> sent;
    bool refresh = false;
    for (const TSInt32 messageID : mPending)
    {
        JsonParser parser;
        JsonNode root = NewObject(parser);
        JsonNode value;
        G_FAIL_IF_ERROR(GJSONUtils::SetValueForKey(messageID, kMessageIDKey, root, value));
        std::set<TUInt32>* fonts = nullptr;
        switch (messageID)
        {
        case PanelMessage::kFontsActivated:
            fonts = &mActivated;
            break;
        case PanelMessage::kFontsDeactivated:
            fonts = &mDeactivated;
            break;
        case PanelMessage::kFontsMissing:
            fonts = &mMissing;
            break;
        case PanelMessage::kFontsNonCompliant:
            fonts = &mNonCompliant;
            break;
        default:
            break;
        }
        if (fonts != nullptr)
        {
            JsonNode array;
            G_FAIL_IF_ERROR(GJSONUtils::AddArrayForKey(kFontIDsKey, root, array));
            for (const TUInt32 fontID : *fonts)
            {
                JsonNode element;
                G_FAIL_IF_ERROR(GJSONUtils::AddValueToArray(static_cast<TSInt64>(fontID), array, element));
            }
            sent.push_back(fonts);
            refresh = refresh || messageID != PanelMessage::kFontsActivated;
        }
        G_FAIL_IF_ERROR(SendJSON(root, "notification"));
    }
    for (std::set<TUInt32>* fonts : sent)
    {
        fonts->clear();
    }
    mPending.clear();
    if (refresh)
    {
        PanelHost::Get().RefreshActiveFontList();
    }
    return CoreErrorCodes::kSuccess;
}
