#pragma once
// The abstract panel: the plug-in side of one extension panel. The panel manager owns every panel
// and broadcasts the plug-in's events to them; a concrete panel sends them on as messages.
// Operations that can fail return an error code (0 = success).

#include "GTypes.h"

#include <CoreFoundation/CoreFoundation.h>

class PortolanPanel
{
public:
    PortolanPanel() = default;
    PortolanPanel(const PortolanPanel&) = delete;
    PortolanPanel& operator=(const PortolanPanel&) = delete;
    virtual ~PortolanPanel() = default;

    virtual TErrorCode HandleMessage(const TUTF8String& message) = 0;
    virtual TErrorCode SetEnabled(bool enabled) = 0;
    virtual TErrorCode PopNotifications() = 0;
    virtual TErrorCode PushLoggedInStateChangedNotification(TSInt32 serverType) = 0;
    virtual TErrorCode PushOnlineStateChangedNotification(bool isOnline) = 0;
    virtual TErrorCode PushGoogleWebFontsEnabledNotificaton(bool enabled) = 0;
    virtual TErrorCode PushFontNotification(TUInt32 fontID, TSInt32 messageID) = 0;
    virtual TErrorCode PushFontActivatedNotification(TUInt32 fontID) = 0;
    virtual TErrorCode PushFontDeactivatedNotification(TUInt32 fontID) = 0;
    virtual TErrorCode PushFontMissingNotification(TUInt32 fontID) = 0;
    virtual TErrorCode PushFontNonCompliantNotification(TUInt32 fontID) = 0;
    virtual TErrorCode PushBulkReplicationProgressNotification(CFDictionaryRef details) = 0;
    virtual TErrorCode PushBulkReplicationStoppedNotification() = 0;
    virtual TErrorCode PushIncrementalReplicationProgressNotification(CFDictionaryRef details) = 0;
    virtual TErrorCode PushIncrementalReplicationStoppedNotification() = 0;
    virtual TErrorCode PushGoogleReplicationProgressNotification(CFDictionaryRef details) = 0;
    virtual TErrorCode PushGoogleReplicationStoppedNotification() = 0;
    virtual TErrorCode PushFontServerReplicationProgressNotification(CFDictionaryRef details) = 0;
    virtual TErrorCode PushFontServerReplicationStoppedNotification() = 0;
    virtual TErrorCode PushDataChangedNotification() = 0;
    virtual TErrorCode PushSmartListsChangedNotification() = 0;
    virtual TErrorCode PushOfflineDownloadFinishedNotification() = 0;
    virtual TErrorCode PushWorkgroupStateNotification(bool hasWorkgroup) = 0;
    virtual TErrorCode OpenSocket() = 0;
    virtual TErrorCode SelectSocket(bool closeListeningSocket) = 0;
    virtual TSInt32 GetListeningPort() = 0;
    virtual TErrorCode SendMessage(const TUTF8String& message) = 0;
    virtual TErrorCode SendFontImages(CFDictionaryRef fontImages) = 0;
    virtual void UpdateWorkgroupState() = 0;
};
