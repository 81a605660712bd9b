#include "PanelManager.h"

#include "GBlockingLockStrategy.h"
#include "GErrorReport.h"
#include "GMutex.h"
#include "GScopedLock.h"
#include "HTMLPanel.h"
#include "PortolanPanel.h"

namespace
{
constexpr const char* kLogCategory = "Miscellaneous";

GMutex& CreationMutex()
{
    static GMutex sMutex;
    return sMutex;
}

PanelManager* sSharedInstance = nullptr;
} // namespace

PanelManager::PanelManager() = default;
PanelManager::~PanelManager() = default;

PanelManager& PanelManager::GetSharedInstance()
{
    if (sSharedInstance == nullptr)
    {
        GScopedLock lock(CreationMutex(), true, new GBlockingLockStrategy());
        if (sSharedInstance == nullptr)
        {
            sSharedInstance = new PanelManager();
        }
    }
    return *sSharedInstance;
}

void PanelManager::AddPanel(std::unique_ptr<PortolanPanel> panel)
{
    if (panel != nullptr)
    {
        mPanels.insert(std::move(panel));
    }
}

TErrorCode PanelManager::AddHTMLPanel(PlugPlugLibrary* plugPlug)
{
    G_FAIL_IF(plugPlug == nullptr, CoreErrorCodes::kNullPointer);
    auto htmlPanel = std::make_unique<HTMLPanel>(plugPlug);
    const TErrorCode code = htmlPanel->RegisterHandler();
    if (code != CoreErrorCodes::kSuccess)
    {
        // A panel the library does not call is not kept: it is never used again.
        ReportCheckFailure(kLogCategory, GLogger::kDebug, code, __FILE__, __LINE__,
                           "htmlPanel->RegisterHandler()");
        return code;
    }
    mPanels.insert(std::move(htmlPanel));
    return CoreErrorCodes::kSuccess;
}

TErrorCode PanelManager::Broadcast(const char* expression,
                                   const std::function<TErrorCode(PortolanPanel&)>& call)
{
    for (const auto& panel : mPanels)
    {
        const TErrorCode code = call(*panel);
        if (code != CoreErrorCodes::kSuccess)
        {
            ReportCheckFailure(kLogCategory, GLogger::kError, code, __FILE__, __LINE__, expression);
            return code;
        }
    }
    return CoreErrorCodes::kSuccess;
}

TErrorCode PanelManager::OpenSocket()
{
    return Broadcast("(*it)->OpenSocket()", [](PortolanPanel& p) { return p.OpenSocket(); });
}

TErrorCode PanelManager::SelectSocket(bool closeListeningSocket)
{
    return Broadcast("(*it)->SelectSocket(closeListeningSocket)",
                     [=](PortolanPanel& p) { return p.SelectSocket(closeListeningSocket); });
}

TErrorCode PanelManager::PopNotifications()
{
    return Broadcast("(*it)->PopNotifications()", [](PortolanPanel& p) { return p.PopNotifications(); });
}

TErrorCode PanelManager::SetEnabled(bool enabled)
{
    return Broadcast("(*it)->SetEnabled(enabled)", [=](PortolanPanel& p) { return p.SetEnabled(enabled); });
}

TErrorCode PanelManager::SendFontImages(CFDictionaryRef fontPNGs)
{
    return Broadcast("(*it)->SendFontImages(fontPNGs)",
                     [=](PortolanPanel& p) { return p.SendFontImages(fontPNGs); });
}

TErrorCode PanelManager::PushLoggedInStateChangedNotification(TSInt32 serverType)
{
    return Broadcast("(*it)->PushLoggedInStateChangedNotification(serverType)",
                     [=](PortolanPanel& p) { return p.PushLoggedInStateChangedNotification(serverType); });
}

TErrorCode PanelManager::PushOnlineStateChangedNotification(bool isOnline)
{
    return Broadcast("(*it)->PushOnlineStateChangedNotification(isOnline)",
                     [=](PortolanPanel& p) { return p.PushOnlineStateChangedNotification(isOnline); });
}

TErrorCode PanelManager::PushGoogleWebFontsEnabledNotificaton(bool enabled)
{
    return Broadcast("(*it)->PushGoogleWebFontsEnabledNotificaton(enabled)",
                     [=](PortolanPanel& p) { return p.PushGoogleWebFontsEnabledNotificaton(enabled); });
}

TErrorCode PanelManager::PushFontActivatedNotification(TUInt32 fontID)
{
    return Broadcast("(*it)->PushFontActivatedNotification(fontID)",
                     [=](PortolanPanel& p) { return p.PushFontActivatedNotification(fontID); });
}

TErrorCode PanelManager::PushFontDeactivatedNotification(TUInt32 fontID)
{
    return Broadcast("(*it)->PushFontDeactivatedNotification(fontID)",
                     [=](PortolanPanel& p) { return p.PushFontDeactivatedNotification(fontID); });
}

TErrorCode PanelManager::PushFontMissingNotification(TUInt32 fontID)
{
    return Broadcast("(*it)->PushFontMissingNotification(fontID)",
                     [=](PortolanPanel& p) { return p.PushFontMissingNotification(fontID); });
}

TErrorCode PanelManager::PushFontNonCompliantNotification(TUInt32 fontID)
{
    return Broadcast("(*it)->PushFontNonCompliantNotification(fontID)",
                     [=](PortolanPanel& p) { return p.PushFontNonCompliantNotification(fontID); });
}

TErrorCode PanelManager::PushBulkReplicationProgressNotification(CFDictionaryRef details)
{
    return Broadcast("(*it)->PushBulkReplicationProgressNotification(details)",
                     [=](PortolanPanel& p) { return p.PushBulkReplicationProgressNotification(details); });
}

TErrorCode PanelManager::PushBulkReplicationStoppedNotification()
{
    return Broadcast("(*it)->PushBulkReplicationStoppedNotification()",
                     [](PortolanPanel& p) { return p.PushBulkReplicationStoppedNotification(); });
}

TErrorCode PanelManager::PushIncrementalReplicationProgressNotification(CFDictionaryRef details)
{
    return Broadcast("(*it)->PushIncrementalReplicationProgressNotification(details)", [=](PortolanPanel& p)
                     { return p.PushIncrementalReplicationProgressNotification(details); });
}

TErrorCode PanelManager::PushIncrementalReplicationStoppedNotification()
{
    return Broadcast("(*it)->PushIncrementalReplicationStoppedNotification()",
                     [](PortolanPanel& p) { return p.PushIncrementalReplicationStoppedNotification(); });
}

TErrorCode PanelManager::PushGoogleReplicationProgressNotification(CFDictionaryRef details)
{
    return Broadcast("(*it)->PushGoogleReplicationProgressNotification(details)",
                     [=](PortolanPanel& p) { return p.PushGoogleReplicationProgressNotification(details); });
}

TErrorCode PanelManager::PushGoogleReplicationStoppedNotification()
{
    return Broadcast("(*it)->PushGoogleReplicationStoppedNotification()",
                     [](PortolanPanel& p) { return p.PushGoogleReplicationStoppedNotification(); });
}

TErrorCode PanelManager::PushFontServerReplicationProgressNotification(CFDictionaryRef details)
{
    return Broadcast("(*it)->PushFontServerReplicationProgressNotification(details)", [=](PortolanPanel& p)
                     { return p.PushFontServerReplicationProgressNotification(details); });
}

TErrorCode PanelManager::PushFontServerReplicationStoppedNotification()
{
    return Broadcast("(*it)->PushFontServerReplicationStoppedNotification()",
                     [](PortolanPanel& p) { return p.PushFontServerReplicationStoppedNotification(); });
}

TErrorCode PanelManager::PushDataChangedNotification()
{
    return Broadcast("(*it)->PushDataChangedNotification()",
                     [](PortolanPanel& p) { return p.PushDataChangedNotification(); });
}

TErrorCode PanelManager::PushSmartListsChangedNotification()
{
    return Broadcast("(*it)->PushSmartListsChangedNotification()",
                     [](PortolanPanel& p) { return p.PushSmartListsChangedNotification(); });
}

TErrorCode PanelManager::PushOfflineDownloadFinishedNotification()
{
    return Broadcast("(*it)->PushOfflineDownloadFinishedNotification()",
                     [](PortolanPanel& p) { return p.PushOfflineDownloadFinishedNotification(); });
}

TSInt32 PanelManager::GetListeningPort()
{
    for (const auto& panel : mPanels)
    {
        const TSInt32 port = panel->GetListeningPort();
        if (port != 0)
        {
            return port;
        }
    }
    return 0;
}

void PanelManager::UpdatePanelsWorkgroupState()
{
    for (const auto& panel : mPanels)
    {
        panel->UpdateWorkgroupState();
    }
}

void PanelManager::RemoveAllPanelsForTesting()
{
    mPanels.clear();
}
