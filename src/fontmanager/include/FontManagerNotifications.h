#pragma once
// The font manager's notifications on their way from the interface library's thread to the host's
// main thread: the library calls the plug-in's callback with (type, payload) on a thread of its
// own; the callback turns the call into a notification dictionary and appends it to the queue
// that NotificationDelivery names; the main thread takes the notifications off the front one at a
// time and handles them.

#include "GCFRef.h"
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
    FontManagerNotification(GCFRef<CFMutableDictionaryRef> dictionary, FontManagerInterface* fontManager);

    CFDictionaryRef GetDictionary() const { return mDictionary.Get(); }
    FontManagerInterface* GetFontManager() const { return mpFontManager; }

private:
    GCFRef<CFMutableDictionaryRef> mDictionary;
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

// Where the library's callback delivers: the queue of the font manager that is being made or runs.
// The library may call the callback at any moment and from any thread, also while the font manager
// is being made (before anyone can reach it) and while it is being destroyed. The callback finds
// the queue here and holds a share of it while it appends, so a queue outlives every callback that
// found it, whenever its font manager goes. Before a queue is open and after it is closed,
// notifications are dropped.
class NotificationDelivery
{
public:
    // From now on notifications go into the queue; fontManager is the font manager they are
    // queued for (kept on each notification, never used off the main thread).
    static void Open(const std::shared_ptr<NotificationQueue>& queue, FontManagerInterface* fontManager);
    // Stops delivering into the queue (when it is the open one). A callback that already holds a
    // share finishes its append into it; the queue goes with its last share.
    static void Close(const NotificationQueue* queue);

    enum class EResult
    {
        kQueued,
        kNotHandled, // a type the plug-in does not handle (or a queue that refused it)
        kNoQueue,    // no queue open: the notification is dropped
    };
    // The callback's work, on any thread: the notification dictionary for (type, payload),
    // appended to the open queue.
    static EResult Deliver(TUInt32 type, const void* payload);
};

// The notification dictionary for a call of the library's callback: the type's key set to yes
// plus the payload as the type prescribes (see LPINotificationCallback). Null for the types the
// plug-in does not handle (5 to 7, 11 to 13, 26, 29 and above). The caller releases it.
CFMutableDictionaryRef CreateNotificationDictionary(TUInt32 type, const void* payload);
