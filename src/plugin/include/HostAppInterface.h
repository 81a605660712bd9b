#pragma once
// The host application as the font manager side sees it: the operations through which the
// font manager's notifications reach the host integration (and from there the HTML panels), and
// the can-export flag of the host's active document. One instance for the process, created on
// first use by GetHostAppInterface() (the host integration provides the concrete class) and
// never destroyed.

#include "GTypes.h"

#include <CoreFoundation/CoreFoundation.h>

class HostAppInterface
{
public:
    HostAppInterface() = default;
    HostAppInterface(const HostAppInterface&) = delete;
    HostAppInterface& operator=(const HostAppInterface&) = delete;

    virtual void UpdatePanelsWorkgroupState() = 0;
    virtual void PushDataChangedNotification() {}
    virtual void SetActiveDocumentCanExport(bool /*canExport*/) {}
    virtual bool GetActiveDocumentCanExport() { return false; }
    virtual void Reserved4() {}
    virtual void PushLoggedInStateChangedNotification(bool /*isLoggedIn*/, TSInt32 /*serverType*/) {}
    virtual void PushOnlineStateChangedNotification(bool /*isOnline*/) {}
    virtual void PushFontActivatedNotification(TSInt32 /*fontID*/) {}
    virtual bool Reserved8() { return false; }
    virtual void PushFontNonCompliantNotification(TSInt32 /*fontID*/) {}
    virtual void PushFontDeactivatedNotification(TSInt32 /*fontID*/) {}
    virtual void PushFontMissingNotification(TSInt32 /*fontID*/) {}
    virtual void PushBulkReplicationProgressNotification(CFDictionaryRef /*details*/) {}
    virtual void PushBulkReplicationStoppedNotification() {}
    virtual void PushIncrementalReplicationProgressNotification(CFDictionaryRef /*details*/) {}
    virtual void PushIncrementalReplicationStoppedNotification() {}
    virtual void Reserved16() {}
    virtual void Reserved17() {}
    virtual void PushGoogleReplicationProgressNotification(CFDictionaryRef /*details*/) {}
    virtual void PushGoogleReplicationStoppedNotification() {}
    virtual void PushGoogleWebFontsEnabledNotificaton(bool /*enabled*/) {}
    virtual void PushFontServerReplicationProgressNotification(CFDictionaryRef /*details*/) {}
    virtual void PushFontServerReplicationStoppedNotification() {}
    virtual void SendFontImages(CFTypeRef /*fontImages*/) {}
    virtual void PushSmartListsChangedNotification() {}
    virtual void PushOfflineDownloadFinishedNotification() {}
    virtual ~HostAppInterface() = default;
};

// The process's host-application object, created on first use; never null.
HostAppInterface* GetHostAppInterface();
