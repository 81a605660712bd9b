#include "PhotoshopInterface.h"

#include "PanelManager.h"
#include "PhotoshopFontUtils.h"
#include "TrackedDocuments.h"

namespace
{
PanelManager& Panels()
{
    return PanelManager::GetSharedInstance();
}

HostAppInterface* sHostAppInterface = nullptr;
bool sOnline = true;

TrackedDocumentPtr ActiveRecord()
{
    TUInt32 activeID = 0;
    try
    {
        if (PhotoshopFontUtils::GetActiveDocumentID(activeID) != 0)
        {
            return nullptr;
        }
    }
    catch (std::uint32_t)
    {
        return nullptr;
    }
    return AllTrackedDocuments::FindTrackedDocumentByHandle(activeID);
}
} // namespace

bool PhotoshopInterface::IsOnline()
{
    return sOnline;
}

void PhotoshopInterface::SetActiveDocumentCanExport(bool canExport)
{
    if (TrackedDocumentPtr record = ActiveRecord(); record != nullptr)
    {
        record->SetCanExport(canExport);
    }
}

bool PhotoshopInterface::GetActiveDocumentCanExport()
{
    const TrackedDocumentPtr record = ActiveRecord();
    return record != nullptr && record->GetCanExport();
}

HostAppInterface* GetHostAppInterface()
{
    if (sHostAppInterface == nullptr)
    {
        sHostAppInterface = new PhotoshopInterface();
    }
    return sHostAppInterface;
}

void PhotoshopInterface::UpdatePanelsWorkgroupState()
{
    Panels().UpdatePanelsWorkgroupState();
}

void PhotoshopInterface::PushDataChangedNotification()
{
    Panels().PushDataChangedNotification();
}

void PhotoshopInterface::PushLoggedInStateChangedNotification(bool /*isLoggedIn*/, TSInt32 serverType)
{
    Panels().PushLoggedInStateChangedNotification(serverType);
}

void PhotoshopInterface::PushOnlineStateChangedNotification(bool isOnline)
{
    sOnline = isOnline;
    Panels().PushOnlineStateChangedNotification(isOnline);
}

void PhotoshopInterface::PushFontActivatedNotification(TSInt32 fontID)
{
    Panels().PushFontActivatedNotification(static_cast<TUInt32>(fontID));
}

void PhotoshopInterface::PushFontNonCompliantNotification(TSInt32 fontID)
{
    Panels().PushFontNonCompliantNotification(static_cast<TUInt32>(fontID));
}

void PhotoshopInterface::PushFontDeactivatedNotification(TSInt32 fontID)
{
    Panels().PushFontDeactivatedNotification(static_cast<TUInt32>(fontID));
}

void PhotoshopInterface::PushFontMissingNotification(TSInt32 fontID)
{
    Panels().PushFontMissingNotification(static_cast<TUInt32>(fontID));
}

void PhotoshopInterface::PushBulkReplicationProgressNotification(CFDictionaryRef details)
{
    Panels().PushBulkReplicationProgressNotification(details);
}

void PhotoshopInterface::PushBulkReplicationStoppedNotification()
{
    Panels().PushBulkReplicationStoppedNotification();
}

void PhotoshopInterface::PushIncrementalReplicationProgressNotification(CFDictionaryRef details)
{
    Panels().PushIncrementalReplicationProgressNotification(details);
}

void PhotoshopInterface::PushIncrementalReplicationStoppedNotification()
{
    Panels().PushIncrementalReplicationStoppedNotification();
}

void PhotoshopInterface::PushGoogleReplicationProgressNotification(CFDictionaryRef details)
{
    Panels().PushGoogleReplicationProgressNotification(details);
}

void PhotoshopInterface::PushGoogleReplicationStoppedNotification()
{
    Panels().PushGoogleReplicationStoppedNotification();
}

void PhotoshopInterface::PushGoogleWebFontsEnabledNotificaton(bool enabled)
{
    Panels().PushGoogleWebFontsEnabledNotificaton(enabled);
}

void PhotoshopInterface::PushFontServerReplicationProgressNotification(CFDictionaryRef details)
{
    Panels().PushFontServerReplicationProgressNotification(details);
}

void PhotoshopInterface::PushFontServerReplicationStoppedNotification()
{
    Panels().PushFontServerReplicationStoppedNotification();
}

void PhotoshopInterface::SendFontImages(CFTypeRef fontImages)
{
    if (fontImages != nullptr && CFGetTypeID(fontImages) == CFDictionaryGetTypeID())
    {
        Panels().SendFontImages(static_cast<CFDictionaryRef>(fontImages));
    }
}

void PhotoshopInterface::PushSmartListsChangedNotification()
{
    Panels().PushSmartListsChangedNotification();
}

void PhotoshopInterface::PushOfflineDownloadFinishedNotification()
{
    Panels().PushOfflineDownloadFinishedNotification();
}
