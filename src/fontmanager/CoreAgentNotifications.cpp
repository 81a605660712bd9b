// The core agent's side of the font manager's notifications: the callback on the library's
// thread, and the draining and handling on the host's main thread.

#include "CoreAgentInterface.h"
#include "FontRecordKeys.h"
#include "GHostGuard.h"
#include "GLogger.h"
#include "HostAppInterface.h"
#include "LPFInterface.h"
#include "LPILoader.h"
#include "PanelManager.h"
#include "PortolanGlobals.h"
#include "XCFUtils.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <exception>
#include <memory>

namespace
{
constexpr int kLivenessCheckAttempts = 3;
constexpr TSInt32 kMaxNotificationsPerPass = 250;
// The server type of a logged-in notification that only concerns the panels.
constexpr TSInt32 kPanelOnlyServerType = 3;

std::atomic<std::time_t> sLastLivenessCheck{0};

bool Contains(CFDictionaryRef dictionary, CFStringRef key)
{
    return CFDictionaryContainsKey(dictionary, key) != 0;
}

bool BooleanValue(CFDictionaryRef dictionary, CFStringRef key, bool fallback)
{
    bool value = fallback;
    if (XCFDictionaryGetBoolean(dictionary, key, value))
    {
        return value;
    }
    TSInt32 number = 0;
    return XCFDictionaryGetNumber(dictionary, key, &number) ? number != 0 : fallback;
}

void StopServices()
{
    PortolanGlobals::SetPluginServicesEnabled(false);
    PortolanGlobals::SetConnectedToCore(false);
    PanelManager::GetSharedInstance().SetEnabled(false);
}

bool ReplicationRunning()
{
    return PortolanGlobals::GetBulkReplicationRunning() ||
           PortolanGlobals::GetIncrementalReplicationRunning();
}

} // namespace

void CoreAgentInterface::HandleLoggedInStateChanged(CFDictionaryRef notification, HostAppInterface& host)
{
    const bool isLoggedIn = BooleanValue(notification, kPluginNotification_IsLoggedInKey, false);
    TSInt32 serverType = 1;
    XCFDictionaryGetNumber(notification, kPluginNotification_ServerTypeKey, &serverType);
    TraceLog(0, ">>> notification: Logged-in state changed to '%s'", isLoggedIn ? "true" : "false");
    host.PushLoggedInStateChangedNotification(isLoggedIn, serverType);

    if (serverType == kPanelOnlyServerType)
    {
        return;
    }
    // From now on this is the answer to IsLoggedIn.
    mLoggedIn = isLoggedIn ? 1 : 0;
    LPFInterface* framework = PortolanGlobals::GetSharedLPFInterface();
    if (framework == nullptr)
    {
        return;
    }
    const bool wasLoggedIn = PortolanGlobals::GetLoggedIn();
    if (wasLoggedIn && !isLoggedIn)
    {
        TraceLog(0, "Disabling plugin functionality until restart.");
        PortolanGlobals::SetPluginServicesEnabled(false);
        framework->ShowLoggedOutMessage();
    }
    PortolanGlobals::SetLoggedIn(isLoggedIn);
    if (!wasLoggedIn)
    {
        if (PortolanGlobals::IsPluginEnabled())
        {
            TraceLog(0, "Re-enabling plugin functionality, now that the user has logged-in.");
        }
        else
        {
            TraceLog(0, "User logged in, but plugin functionality was disabled for non-login reasons.");
        }
    }
    if (isLoggedIn && !ReplicationRunning())
    {
        FontManagerInterface::SetWorkgroupChosen(false);
        FontManagerInterface::EnsureWorkgroupSelected();
        host.UpdatePanelsWorkgroupState();
    }
}

namespace
{
void HandleFontNotification(CFDictionaryRef notification, HostAppInterface& host)
{
    TSInt32 fontID = -1;
    if (!XCFDictionaryGetNumber(notification, kPluginNotification_FontActivation_Font_ID, &fontID) ||
        fontID < 0)
    {
        return;
    }
    if (Contains(notification, kPluginNotification_FontActivated))
    {
        TraceLog(0, ">>> notification: font %d activated", fontID);
        host.PushFontActivatedNotification(fontID);
    }
    else if (Contains(notification, kPluginNotification_DesignActivationNonCompliant))
    {
        host.PushFontNonCompliantNotification(fontID);
    }
    else if (Contains(notification, kPluginNotification_FontDeactivated))
    {
        TraceLog(0, ">>> notification: font %d deactivated", fontID);
        host.PushFontDeactivatedNotification(fontID);
    }
    else
    {
        host.PushFontMissingNotification(fontID);
    }
}
} // namespace

void CoreAgentInterface::SetLastLivenessCheckTimeForTesting(std::time_t time)
{
    sLastLivenessCheck.store(time);
}

void CoreAgentInterface::NotificationCallback(TUInt32 type, const void* payload)
{
    // Called on the interface library's own thread: nothing may unwind into the library. Touches
    // nothing of the font manager itself, which may be in the making or on its way out.
    GuardForHost("CoreAgentInterface::NotificationCallback",
                 [type, payload]
                 {
                     if (NotificationDelivery::Deliver(type, payload) ==
                         NotificationDelivery::EResult::kNoQueue)
                     {
                         TraceLog(0, "WARNING:  CoreAgentInterface::GetFontManager() returned NULL.");
                     }
                 });
}

TSInt32 CoreAgentInterface::ProcessNotifications()
{
    // One pass handles a bounded number, so a storm of notifications never holds the host's
    // user-interface thread: the rest wait for the next pass, in their order.
    TSInt32 handled = 0;
    while (handled < kMaxNotificationsPerPass)
    {
        std::unique_ptr<FontManagerNotification> notification = mNotifications->TakeFirst();
        if (notification == nullptr)
        {
            break;
        }
        try
        {
            HandleNotification(*notification);
        }
        catch (const std::exception& exception)
        {
            TraceLog(0, "Exception thrown in %s(): %s", "CoreAgentInterface::ProcessNotifications",
                     exception.what());
        }
        catch (...)
        {
            TraceLog(0, "Exception thrown in %s()", "CoreAgentInterface::ProcessNotifications");
        }
        ++handled;
    }

    const std::time_t now = std::time(nullptr);
    if (now - sLastLivenessCheck.load() <= kLivenessCheckIntervalSeconds ||
        !PortolanGlobals::GetConnectedToCore())
    {
        return handled;
    }
    bool running = false;
    for (int attempt = 0; attempt < kLivenessCheckAttempts; ++attempt)
    {
        std::uint32_t isRunning = 0;
        if (LPICallWithFacade(&LPILoader::pfGetIsCoreAgentProcessRunning, &isRunning) == 0)
        {
            running = isRunning != 0;
            break;
        }
    }
    if (!running)
    {
        TraceLog(
            0, "Disabling plug-in services in CoreAgentInterface::ProcessNotifications() because Typehold is "
               "no longer running.");
        StopServices();
        if (LPFInterface* framework = PortolanGlobals::GetSharedLPFInterface())
        {
            framework->ShowCoreNotRunningMessage();
        }
    }
    sLastLivenessCheck.store(now);
    return handled;
}

void CoreAgentInterface::HandleNotification(const FontManagerNotification& notification)
{
    if (notification.GetFontManager() == nullptr || GetFontManager() == nullptr)
    {
        return;
    }
    CFDictionaryRef dictionary = notification.GetDictionary();
    HostAppInterface* host = GetHostAppInterface();
    if (dictionary == nullptr || host == nullptr)
    {
        return;
    }

    if (Contains(dictionary, kPluginNotification_OnlineStateChanged))
    {
        const bool isOnline = BooleanValue(dictionary, kPluginNotification_OnlineStateChanged, false);
        TraceLog(0, ">>> notification: Online state changed to '%s'", isOnline ? "true" : "false");
        host->PushOnlineStateChangedNotification(isOnline);
    }
    else if (Contains(dictionary, kPluginNotification_LoggedInStateChanged))
    {
        HandleLoggedInStateChanged(dictionary, *host);
    }
    else if (Contains(dictionary, kPluginNotification_PanelDataChanged))
    {
        TraceLog(0, ">>> notification: Data changed");
        host->PushDataChangedNotification();
    }
    else if (Contains(dictionary, kPluginNotification_WorkgroupsChanged) ||
             Contains(dictionary, kPluginNotification_UserPermissionsChanged))
    {
        TraceLog(0, ">>> notification: Workgroups changed");
        host->UpdatePanelsWorkgroupState();
        if (!IsWorkgroupChosen() && !ReplicationRunning())
        {
            InitializeDefaultWorkgroup(this);
            EnsureWorkgroupSelected();
        }
    }
    else if (Contains(dictionary, kPluginNotification_AgentShutdown))
    {
        TraceLog(0, ">>> notification: Agent shut down");
        TraceLog(0, "Disabling plugin functionality");
        StopServices();
        if (LPFInterface* framework = PortolanGlobals::GetSharedLPFInterface())
        {
            TraceLog(0, "Informing user that plugin functionality will be disabled...");
            framework->ShowCoreNotRunningMessage();
        }
    }
    else if (Contains(dictionary, kPluginNotification_FontActivated) ||
             Contains(dictionary, kPluginNotification_DesignActivationNonCompliant) ||
             Contains(dictionary, kPluginNotification_FontDeactivated) ||
             Contains(dictionary, kPluginNotification_FontMissing))
    {
        HandleFontNotification(dictionary, *host);
    }
    else if (Contains(dictionary, kPluginNotification_BulkReplicationProgress))
    {
        PortolanGlobals::SetBulkReplicationRunning(true);
        host->PushBulkReplicationProgressNotification(dictionary);
    }
    else if (Contains(dictionary, kPluginNotification_BulkReplicationStopped))
    {
        PortolanGlobals::SetBulkReplicationRunning(false);
        EnsureWorkgroupSelected();
        host->PushBulkReplicationStoppedNotification();
    }
    else if (Contains(dictionary, kPluginNotification_IncrementalReplicationProgress))
    {
        PortolanGlobals::SetIncrementalReplicationRunning(true);
        host->PushIncrementalReplicationProgressNotification(dictionary);
    }
    else if (Contains(dictionary, kPluginNotification_IncrementalReplicationStopped))
    {
        PortolanGlobals::SetIncrementalReplicationRunning(false);
        EnsureWorkgroupSelected();
        host->PushIncrementalReplicationStoppedNotification();
    }
    else if (Contains(dictionary, kPluginNotification_GoogleReplicationProgress))
    {
        host->PushGoogleReplicationProgressNotification(dictionary);
    }
    else if (Contains(dictionary, kPluginNotification_GoogleReplicationStopped))
    {
        host->PushGoogleReplicationStoppedNotification();
    }
    else if (Contains(dictionary, kPluginNotification_FontServerReplicationProgress))
    {
        host->PushFontServerReplicationProgressNotification(dictionary);
    }
    else if (Contains(dictionary, kPluginNotification_FontServerReplicationStopped))
    {
        host->PushFontServerReplicationStoppedNotification();
    }
    else if (Contains(dictionary, kPluginNotification_GoogleWebFontsEnabled))
    {
        bool enabled = false;
        if (XCFDictionaryGetBoolean(dictionary, kPluginNotification_Enabled, enabled))
        {
            mGoogleWebFontsEnabled = enabled ? 1 : 0;
            host->PushGoogleWebFontsEnabledNotificaton(enabled);
        }
    }
    else if (Contains(dictionary, kPluginNotification_PreviewPNGsRendered))
    {
        host->SendFontImages(CFDictionaryGetValue(dictionary, kPluginNotification_FontPNGs));
    }
    else if (Contains(dictionary, kPluginNotification_SmartListsChanged))
    {
        host->PushSmartListsChangedNotification();
    }
    else if (Contains(dictionary, kPluginNotification_OfflineDownloadFinished))
    {
        host->PushOfflineDownloadFinishedNotification();
    }
}
