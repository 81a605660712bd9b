#pragma once
// Photoshop as the host application: the font manager's notifications become panel broadcasts,
// and the can-export flag belongs to the tracked record of Photoshop's active document.

#include "HostAppInterface.h"

class PhotoshopInterface : public HostAppInterface
{
public:
    void SetActiveDocumentCanExport(bool canExport) override;
    bool GetActiveDocumentCanExport() override;
    void UpdatePanelsWorkgroupState() override;
    void PushDataChangedNotification() override;
    void PushLoggedInStateChangedNotification(bool isLoggedIn, TSInt32 serverType) override;
    void PushOnlineStateChangedNotification(bool isOnline) override;
    void PushFontActivatedNotification(TSInt32 fontID) override;
    void PushFontNonCompliantNotification(TSInt32 fontID) override;
    void PushFontDeactivatedNotification(TSInt32 fontID) override;
    void PushFontMissingNotification(TSInt32 fontID) override;
    void PushBulkReplicationProgressNotification(CFDictionaryRef details) override;
    void PushBulkReplicationStoppedNotification() override;
    void PushIncrementalReplicationProgressNotification(CFDictionaryRef details) override;
    void PushIncrementalReplicationStoppedNotification() override;
    void PushGoogleReplicationProgressNotification(CFDictionaryRef details) override;
    void PushGoogleReplicationStoppedNotification() override;
    void PushGoogleWebFontsEnabledNotificaton(bool enabled) override;
    void PushFontServerReplicationProgressNotification(CFDictionaryRef details) override;
    void PushFontServerReplicationStoppedNotification() override;
    void SendFontImages(CFTypeRef fontImages) override;
    void PushSmartListsChangedNotification() override;
    void PushOfflineDownloadFinishedNotification() override;

    // The font manager's online state as its last notification said (online until told otherwise).
    static bool IsOnline();
};
