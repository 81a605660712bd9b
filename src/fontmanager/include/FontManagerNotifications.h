#pragma once
// The font manager's notifications on their way from the interface library's thread to the host's
// main thread: the library calls the plug-in's callback with (type, payload) on a thread of its
// own; the callback turns the call into a notification dictionary and appends it to the queue;
// the main thread takes the notifications off the front one at a time and handles them.

#include "GMutex.h"
#include "GTypes.h"

#include <CoreFoundation/CoreFoundation.h>

#include <deque>
#include <memory>

class FontManagerInterface;

// One queued notification: its dictionary and the font manager it was queued for.
class FontManagerNotification
{
public:
    // Takes over the dictionary (released with the notification).
    FontManagerNotification(CFMutableDictionaryRef dictionary, FontManagerInterface* fontManager);
    ~FontManagerNotification();
    FontManagerNotification(const FontManagerNotification&) = delete;
    FontManagerNotification& operator=(const FontManagerNotification&) = delete;

    CFDictionaryRef GetDictionary() const { return mDictionary; }
    FontManagerInterface* GetFontManager() const { return mpFontManager; }

private:
    CFMutableDictionaryRef mDictionary;
    FontManagerInterface* mpFontManager;
};

// A first-in first-out queue of notifications guarded by a mutex: any thread appends, and the
// main thread removes one at a time. Notifications left in it are released with it.
class NotificationQueue
{
public:
    NotificationQueue() = default;
    ~NotificationQueue();
    NotificationQueue(const NotificationQueue&) = delete;
    NotificationQueue& operator=(const NotificationQueue&) = delete;

    // False (and the notification released) when the queue's lock cannot be taken.
    bool Append(std::unique_ptr<FontManagerNotification> notification);
    // The oldest notification, or null when the queue is empty.
    std::unique_ptr<FontManagerNotification> TakeFirst();
    std::size_t Count();
    void Clear();

private:
    GMutex mMutex;
    std::deque<std::unique_ptr<FontManagerNotification>> mNotifications;
};

// The notification dictionary for a call of the library's callback: the type's key set to yes
// plus the payload as the type prescribes (see LPINotificationCallback). Null for the types the
// plug-in does not handle (5 to 7, 11 to 13, 26, 29 and above). The caller releases it.
CFMutableDictionaryRef CreateNotificationDictionary(TUInt32 type, const void* payload);
