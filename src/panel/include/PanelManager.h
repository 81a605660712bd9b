#pragma once
// The one panel manager of the process: it owns every panel and broadcasts the plug-in's events
// to them, in the order of the panels' addresses. A broadcast stops at the first panel that
// fails, reports that failure and returns its code; with no panel, or when every panel
// succeeds, it returns 0. Used on the host's user-interface thread only; creation is locked.

#include "GTypes.h"

#include <CoreFoundation/CoreFoundation.h>

#include <functional>
#include <memory>
#include <set>

class PlugPlugLibrary;
class PortolanPanel;

class PanelManager
{
public:
    static PanelManager& GetSharedInstance();

    // Takes ownership of a panel whose listener is registered.
    void AddPanel(std::unique_ptr<PortolanPanel> panel);
    // Creates an HTML panel on the event library and registers its listener; the panel joins the
    // set only when that succeeded.
    TErrorCode AddHTMLPanel(PlugPlugLibrary* plugPlug);
    // Test support: forgets every panel.
    void RemoveAllPanelsForTesting();
    std::size_t GetPanelCount() const { return mPanels.size(); }

    TErrorCode OpenSocket();
    TErrorCode SelectSocket(bool closeListeningSocket);
    TErrorCode PopNotifications();
    TErrorCode SetEnabled(bool enabled);
    TErrorCode SendFontImages(CFDictionaryRef fontPNGs);
    TErrorCode PushLoggedInStateChangedNotification(TSInt32 serverType);
    TErrorCode PushOnlineStateChangedNotification(bool isOnline);
    TErrorCode PushGoogleWebFontsEnabledNotificaton(bool enabled);
    TErrorCode PushFontActivatedNotification(TUInt32 fontID);
    TErrorCode PushFontDeactivatedNotification(TUInt32 fontID);
    TErrorCode PushFontMissingNotification(TUInt32 fontID);
    TErrorCode PushFontNonCompliantNotification(TUInt32 fontID);
    TErrorCode PushBulkReplicationProgressNotification(CFDictionaryRef details);
    TErrorCode PushBulkReplicationStoppedNotification();
    TErrorCode PushIncrementalReplicationProgressNotification(CFDictionaryRef details);
    TErrorCode PushIncrementalReplicationStoppedNotification();
    TErrorCode PushGoogleReplicationProgressNotification(CFDictionaryRef details);
    TErrorCode PushGoogleReplicationStoppedNotification();
    TErrorCode PushFontServerReplicationProgressNotification(CFDictionaryRef details);
    TErrorCode PushFontServerReplicationStoppedNotification();
    TErrorCode PushDataChangedNotification();
    TErrorCode PushSmartListsChangedNotification();
    TErrorCode PushOfflineDownloadFinishedNotification();
    // The first non-zero listening port of a panel, else 0.
    TSInt32 GetListeningPort();
    // Every panel re-reads the user's workgroup state; results are ignored.
    void UpdatePanelsWorkgroupState();

private:
    PanelManager();
    ~PanelManager();
    TErrorCode Broadcast(const char* expression, const std::function<TErrorCode(PortolanPanel&)>& call);

    std::set<std::unique_ptr<PortolanPanel>> mPanels;
};

// The periodic panel service, run by the notification pump on the host's user-interface thread:
// drains the font manager's notifications and has every panel send its queued notifications.
void ServicePanels();
// Test support: forgets whether the panel was launched and created.
void ResetServicePanelsForTesting();
