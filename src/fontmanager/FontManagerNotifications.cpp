#include "FontManagerNotifications.h"

#include "FontRecordKeys.h"
#include "GBlockingLockStrategy.h"
#include "GScopedLock.h"
#include "LumorandPluginInterface.h"

#include <utility>

namespace
{
enum class EPayload
{
    kNone,
    kOnlineByte,  // the type's key holds the payload byte instead of yes
    kDictionary,  // every entry of the payload dictionary
    kFontID,      // the payload's 32-bit font ID
    kEnabledByte, // "kPluginNotification_Enabled" = the payload byte
    kFontImages,  // "kPluginNotification_FontPNGs" = the payload object
};

struct NotificationKind
{
    TUInt32 type;
    CFStringRef key;
    EPayload payload;
};

bool FindKind(TUInt32 type, NotificationKind& outKind)
{
    const NotificationKind kinds[] = {
        {kLPINotifyAgentShutdown, kPluginNotification_AgentShutdown, EPayload::kNone},
        {kLPINotifyOnlineStateChanged, kPluginNotification_OnlineStateChanged, EPayload::kOnlineByte},
        {kLPINotifyLoggedInStateChanged, kPluginNotification_LoggedInStateChanged, EPayload::kDictionary},
        {kLPINotifyWorkgroupsChanged, kPluginNotification_WorkgroupsChanged, EPayload::kNone},
        {kLPINotifyUserPermissionsChanged, kPluginNotification_UserPermissionsChanged, EPayload::kNone},
        {kLPINotifyFontActivated, kPluginNotification_FontActivated, EPayload::kFontID},
        {kLPINotifyFontDeactivated, kPluginNotification_FontDeactivated, EPayload::kFontID},
        {kLPINotifyFontMissing, kPluginNotification_FontMissing, EPayload::kFontID},
        {kLPINotifyGoogleWebFontsEnabled, kPluginNotification_GoogleWebFontsEnabled, EPayload::kEnabledByte},
        {kLPINotifyGoogleReplicationProgress, kPluginNotification_GoogleReplicationProgress,
         EPayload::kDictionary},
        {kLPINotifyGoogleReplicationStopped, kPluginNotification_GoogleReplicationStopped, EPayload::kNone},
        {kLPINotifyPreviewPNGsRendered, kPluginNotification_PreviewPNGsRendered, EPayload::kFontImages},
        {kLPINotifySmartListsChanged, kPluginNotification_SmartListsChanged, EPayload::kNone},
        {kLPINotifyBulkReplicationProgress, kPluginNotification_BulkReplicationProgress,
         EPayload::kDictionary},
        {kLPINotifyBulkReplicationStopped, kPluginNotification_BulkReplicationStopped, EPayload::kNone},
        {kLPINotifyIncrementalReplicationProgress, kPluginNotification_IncrementalReplicationProgress,
         EPayload::kDictionary},
        {kLPINotifyIncrementalReplicationStopped, kPluginNotification_IncrementalReplicationStopped,
         EPayload::kNone},
        {kLPINotifyPanelDataChanged, kPluginNotification_PanelDataChanged, EPayload::kNone},
        {kLPINotifyDesignActivationNonCompliant, kPluginNotification_DesignActivationNonCompliant,
         EPayload::kFontID},
        {kLPINotifyOfflineDownloadFinished, kPluginNotification_OfflineDownloadFinished, EPayload::kNone},
        {kLPINotifyFontServerReplicationProgress, kPluginNotification_FontServerReplicationProgress,
         EPayload::kDictionary},
        {kLPINotifyFontServerReplicationStopped, kPluginNotification_FontServerReplicationStopped,
         EPayload::kNone},
    };
    for (const NotificationKind& kind : kinds)
    {
        if (kind.type == type)
        {
            outKind = kind;
            return true;
        }
    }
    return false;
}

void CopyEntry(const void* key, const void* value, void* context)
{
    CFDictionarySetValue(static_cast<CFMutableDictionaryRef>(context), key, value);
}

CFBooleanRef BooleanFromByte(const void* payload)
{
    return payload != nullptr && *static_cast<const TUInt8*>(payload) != 0 ? kCFBooleanTrue : kCFBooleanFalse;
}

// The open queue, read by callbacks on the library's threads.
struct DeliverySlot
{
    GMutex mutex;
    std::shared_ptr<NotificationQueue> queue;
    FontManagerInterface* fontManager = nullptr;
};

DeliverySlot& Slot()
{
    // Never destroyed: a callback may still arrive while the process ends.
    static DeliverySlot* sSlot = new DeliverySlot();
    return *sSlot;
}
} // namespace

FontManagerNotification::FontManagerNotification(GCFRef<CFMutableDictionaryRef> dictionary,
                                                 FontManagerInterface* fontManager)
    : mDictionary(std::move(dictionary)), mpFontManager(fontManager)
{
}

NotificationQueue::~NotificationQueue()
{
    Clear();
}

bool NotificationQueue::Append(std::unique_ptr<FontManagerNotification> notification)
{
    if (notification == nullptr)
    {
        return false;
    }
    GScopedLock lock(mMutex, true, new GBlockingLockStrategy());
    if (!lock.IsLocked())
    {
        return false;
    }
    mNotifications.push_back(std::move(notification));
    return true;
}

std::unique_ptr<FontManagerNotification> NotificationQueue::TakeFirst()
{
    GScopedLock lock(mMutex, true, new GBlockingLockStrategy());
    if (!lock.IsLocked() || mNotifications.empty())
    {
        return nullptr;
    }
    std::unique_ptr<FontManagerNotification> first = std::move(mNotifications.front());
    mNotifications.pop_front();
    return first;
}

std::size_t NotificationQueue::Count()
{
    GScopedLock lock(mMutex, true, new GBlockingLockStrategy());
    return lock.IsLocked() ? mNotifications.size() : 0;
}

void NotificationQueue::Clear()
{
    std::deque<std::unique_ptr<FontManagerNotification>> released;
    {
        GScopedLock lock(mMutex, true, new GBlockingLockStrategy());
        if (lock.IsLocked())
        {
            released.swap(mNotifications);
        }
    }
}

void NotificationDelivery::Open(const std::shared_ptr<NotificationQueue>& queue,
                                FontManagerInterface* fontManager)
{
    DeliverySlot& slot = Slot();
    GScopedLock lock(slot.mutex, true, new GBlockingLockStrategy());
    slot.queue = queue;
    slot.fontManager = fontManager;
}

void NotificationDelivery::Close(const NotificationQueue* queue)
{
    std::shared_ptr<NotificationQueue> released;
    {
        DeliverySlot& slot = Slot();
        GScopedLock lock(slot.mutex, true, new GBlockingLockStrategy());
        if (slot.queue.get() == queue)
        {
            released.swap(slot.queue);
            slot.fontManager = nullptr;
        }
    }
    // The slot's share goes here, outside the lock.
}

NotificationDelivery::EResult NotificationDelivery::Deliver(TUInt32 type, const void* payload)
{
    std::shared_ptr<NotificationQueue> queue;
    FontManagerInterface* fontManager = nullptr;
    {
        DeliverySlot& slot = Slot();
        GScopedLock lock(slot.mutex, true, new GBlockingLockStrategy());
        if (lock.IsLocked())
        {
            queue = slot.queue;
            fontManager = slot.fontManager;
        }
    }
    if (queue == nullptr)
    {
        return EResult::kNoQueue;
    }
    GCFRef<CFMutableDictionaryRef> dictionary(CreateNotificationDictionary(type, payload));
    if (!dictionary ||
        !queue->Append(std::make_unique<FontManagerNotification>(std::move(dictionary), fontManager)))
    {
        return EResult::kNotHandled;
    }
    return EResult::kQueued;
}

CFMutableDictionaryRef CreateNotificationDictionary(TUInt32 type, const void* payload)
{
    NotificationKind kind{};
    if (!FindKind(type, kind))
    {
        return nullptr;
    }
    GCFRef<CFMutableDictionaryRef> dictionary(CFDictionaryCreateMutable(
        nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    if (!dictionary)
    {
        return nullptr;
    }
    CFDictionarySetValue(dictionary.Get(), kind.key, kCFBooleanTrue);
    switch (kind.payload)
    {
    case EPayload::kNone:
        break;
    case EPayload::kOnlineByte:
        CFDictionarySetValue(dictionary.Get(), kind.key, BooleanFromByte(payload));
        break;
    case EPayload::kDictionary:
        if (payload != nullptr && CFGetTypeID(payload) == CFDictionaryGetTypeID())
        {
            CFDictionaryApplyFunction(static_cast<CFDictionaryRef>(payload), CopyEntry, dictionary.Get());
        }
        break;
    case EPayload::kFontID:
        if (payload != nullptr)
        {
            const TSInt32 fontID = *static_cast<const TSInt32*>(payload);
            if (const GCFRef<CFNumberRef> number(CFNumberCreate(nullptr, kCFNumberSInt32Type, &fontID));
                number)
            {
                CFDictionarySetValue(dictionary.Get(), kPluginNotification_FontActivation_Font_ID,
                                     number.Get());
            }
        }
        break;
    case EPayload::kEnabledByte:
        if (payload != nullptr)
        {
            CFDictionarySetValue(dictionary.Get(), kPluginNotification_Enabled, BooleanFromByte(payload));
        }
        break;
    case EPayload::kFontImages:
        if (payload != nullptr)
        {
            CFDictionarySetValue(dictionary.Get(), kPluginNotification_FontPNGs, payload);
        }
        break;
    }
    return dictionary.Release();
}
