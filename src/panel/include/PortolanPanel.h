#pragma once
// The plug-in side of one extension panel. The panel reads the panel's messages (one JSON object
// each) and answers them, queues the font manager's notifications until the next service pass
// and sends progress, enable state and preview images at once. How a message text travels is the
// concrete panel's business (SendMessage, SendFontImages). Operations that can fail return an
// error code (0 = success); everything runs on the host's user-interface thread.

#include "GTypes.h"
#include "Json.h"

#include <CoreFoundation/CoreFoundation.h>

#include <map>
#include <set>
#include <vector>

class PanelHost;

namespace PanelMessage
{
// Message IDs under "messageID".
enum : TSInt32
{
    kDesignActivateFamilyForFont = 8,
    kEnableGoogleFonts = 9,
    kAreGoogleFontsEnabled = 10,
    kGetDimensions = 11,
    kSetDimensions = 12,
    kDeleteTmpFile = 13,
    kIsWindows = 16,
    kSetDropDownSelection = 17,
    kGetDropDownSelection = 18,
    kCouldNotCreateTmpFile = 19,
    kConnectionComplete = 20,
    kGoogleWebFontsEnabled = 22,
    kGoogleWebFontsDisabled = 23,
    kFontsActivated = 24,
    kFontsDeactivated = 25,
    kGoogleReplicationProgress = 28,
    kGoogleReplicationStopped = 29,
    kEnabled = 30,
    kGetFontPNG = 32,
    kRenameSmartList = 33,
    kDeleteSmartList = 34,
    kQueryForSmartListFonts = 35,
    kGetSmartList = 36,
    kGetPanelSmartListTree = 37,
    kGetAllSmartLists = 38,
    kCreateSmartList = 39,
    kGetSmartListFonts = 40,
    kFontList = 41,
    kSetSmartListQuery = 42,
    kSmartListsChanged = 43,
    kSetSmartListName = 44,
    kFontsMissing = 45,
    kFontActivationError = 46,
    kTrackFontPanelClick = 47,
    kLoggedInStateChanged = 50,
    kBulkReplicationProgress = 52,
    kBulkReplicationStopped = 53,
    kIncrementalReplicationProgress = 54,
    kIncrementalReplicationStopped = 55,
    kDataChanged = 56,
    kCanAccessGoogleFonts = 58,
    kFontsNonCompliant = 60,
    kOffline = 61,
    kOnline = 62,
    kOfflineDownloadFinished = 63,
    kHasWorkgroup = 64,
    kHasNoWorkgroup = 65,
    kStartPanelInfo = 66,
    kKeyEvent = 67,
    kFontServerReplicationProgress = 68,
    kFontServerReplicationStopped = 69,
};
} // namespace PanelMessage

class PortolanPanel
{
public:
    PortolanPanel() = default;
    PortolanPanel(const PortolanPanel&) = delete;
    PortolanPanel& operator=(const PortolanPanel&) = delete;
    virtual ~PortolanPanel() = default;

    // One message from the panel: dropped unread unless the plug-in is enabled; a text that does
    // not parse to an object, or a "messageID" that is not an integer, is reported and its code
    // returned. Two failures of the JSON layer leave as exceptions (invalid UTF-8 in a string read,
    // a non-integer element of an integer array); the caller ends such a message.
    virtual TErrorCode HandleMessage(const TUTF8String& message);

    // --- Notifications ----------------------------------------------------------------------------
    virtual TErrorCode SetEnabled(bool enabled);
    // Sends every queued notification in ascending ID order; with no connection to the core,
    // sends nothing and keeps them.
    virtual TErrorCode PopNotifications();
    virtual TErrorCode PushLoggedInStateChangedNotification(TSInt32 serverType);
    virtual TErrorCode PushOnlineStateChangedNotification(bool isOnline);
    virtual TErrorCode PushGoogleWebFontsEnabledNotificaton(bool enabled);
    virtual TErrorCode PushFontNotification(TUInt32 fontID, TSInt32 messageID);
    virtual TErrorCode PushFontActivatedNotification(TUInt32 fontID);
    virtual TErrorCode PushFontDeactivatedNotification(TUInt32 fontID);
    virtual TErrorCode PushFontMissingNotification(TUInt32 fontID);
    virtual TErrorCode PushFontNonCompliantNotification(TUInt32 fontID);
    virtual TErrorCode PushBulkReplicationProgressNotification(CFDictionaryRef details);
    virtual TErrorCode PushBulkReplicationStoppedNotification();
    virtual TErrorCode PushIncrementalReplicationProgressNotification(CFDictionaryRef details);
    virtual TErrorCode PushIncrementalReplicationStoppedNotification();
    virtual TErrorCode PushGoogleReplicationProgressNotification(CFDictionaryRef details);
    virtual TErrorCode PushGoogleReplicationStoppedNotification();
    virtual TErrorCode PushFontServerReplicationProgressNotification(CFDictionaryRef details);
    virtual TErrorCode PushFontServerReplicationStoppedNotification();
    virtual TErrorCode PushDataChangedNotification();
    virtual TErrorCode PushSmartListsChangedNotification();
    virtual TErrorCode PushOfflineDownloadFinishedNotification();
    virtual TErrorCode PushWorkgroupStateNotification(bool hasWorkgroup);
    // Queues 64 when the user has a workgroup of type 9, else 65 (nothing without a connection).
    virtual void UpdateWorkgroupState();

    // --- Transport --------------------------------------------------------------------------------
    virtual TErrorCode OpenSocket() = 0;
    virtual TErrorCode SelectSocket(bool closeListeningSocket) = 0;
    virtual TSInt32 GetListeningPort() = 0;
    virtual TErrorCode SendMessage(const TUTF8String& message) = 0;
    virtual TErrorCode SendFontImages(CFDictionaryRef fontImages) = 0;

    // Sends message 46 at once.
    TErrorCode SendFontActivationError(TUInt32 fontID, TSInt32 conflictID, bool isConflictError);
    // Sends a progress message (28, 52, 54, 68) at once.
    TErrorCode SendProgressMessage(TSInt32 messageID, CFDictionaryRef details);

    // Test support: the queue and the font sets as they stand.
    const std::set<TSInt32>& GetPendingNotifications() const { return mPending; }
    const std::map<TUTF8String, TUTF8String>& GetTemporaryFiles() const { return mTemporaryFiles; }

protected:
    // Serialises the object as "(" JSON ")" and sends it; each failing step is reported.
    TErrorCode SendJSON(JsonNode& root, const char* what);

private:
    // Panel -> plug-in messages (the request object is the parsed message).
    TErrorCode IsWindows();
    TErrorCode CanAccessGoogleFonts();
    TErrorCode StartPanelInfo();
    TErrorCode GoogleEnableWebFonts();
    TErrorCode IsGoogleWebFontsEnabled();
    TErrorCode GetDimensions();
    TErrorCode SetDimensions(const JsonNode& request);
    TErrorCode GetDropDownSelection();
    TErrorCode SetDropDownSelection(const JsonNode& request);
    TErrorCode GetFontPNG(const JsonNode& request);
    TErrorCode TrackFontPanelClick(const JsonNode& request);
    TErrorCode KeyEvent(const JsonNode& request);
    TErrorCode DesignActivateFamilyForFont(const JsonNode& request);
    // Smart lists and the font-list files.
    TErrorCode RenameSmartList(const JsonNode& request, bool logged);
    TErrorCode DeleteSmartList(const JsonNode& request);
    TErrorCode CreateSmartList(const JsonNode& request);
    TErrorCode GetAllSmartLists();
    TErrorCode GetSmartList(const JsonNode& request);
    TErrorCode GetPanelSmartListTree(const JsonNode& request);
    TErrorCode QueryForSmartListFonts(const JsonNode& request);
    TErrorCode SetSmartListQuery(const JsonNode& request);
    TErrorCode GetSmartListFontsMessage(const JsonNode& request);
    TErrorCode DeleteTmpFile(const JsonNode& request);
    TErrorCode GetSmartListFonts(TSInt32 smartListID);
    TErrorCode SendFontListFile(CFArrayRef fonts);

    TErrorCode Dispatch(TSInt32 messageID, const JsonNode& request);
    TErrorCode PushFontTo(TUInt32 fontID, TSInt32 messageID, std::set<TUInt32>& fonts);
    TErrorCode Queue(TSInt32 messageID, bool gated);
    // A reply of one message ID with nothing else.
    TErrorCode SendReply(TSInt32 messageID);

    std::set<TSInt32> mPending;
    std::set<TUInt32> mActivated;
    std::set<TUInt32> mDeactivated;
    std::set<TUInt32> mMissing;
    std::set<TUInt32> mNonCompliant;
    // Font-list file URL -> its path, until the panel asks for the file's deletion.
    std::map<TUTF8String, TUTF8String> mTemporaryFiles;
};
