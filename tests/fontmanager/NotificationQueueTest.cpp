#include "FontManagerNotifications.h"
#include "FontRecordKeys.h"
#include "LumorandPluginInterface.h"
#include "XCFUtils.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace
{
TSInt32 FontIDOf(const FontManagerNotification& notification)
{
    TSInt32 fontID = -1;
    XCFDictionaryGetNumber(notification.GetDictionary(), kPluginNotification_FontActivation_Font_ID, &fontID);
    return fontID;
}

struct DictionaryDeleter
{
    void operator()(CFMutableDictionaryRef dictionary) const
    {
        if (dictionary != nullptr)
        {
            CFRelease(dictionary);
        }
    }
};
using Dictionary = std::unique_ptr<std::remove_pointer_t<CFMutableDictionaryRef>, DictionaryDeleter>;
} // namespace

// The library's thread appends while the main thread drains: nothing is lost, duplicated or
// reordered.
TEST(NotificationQueueTest, TenThousandNotificationsCrossThreadsInOrder)
{
    constexpr TSInt32 kCount = 10000;
    NotificationQueue queue;
    std::atomic<bool> appendFailed{false};
    std::thread library(
        [&]
        {
            for (TSInt32 fontID = 0; fontID < kCount; ++fontID)
            {
                GCFRef<CFMutableDictionaryRef> dictionary(
                    CreateNotificationDictionary(kLPINotifyFontActivated, &fontID));
                if (!queue.Append(std::make_unique<FontManagerNotification>(std::move(dictionary), nullptr)))
                {
                    appendFailed = true;
                }
            }
        });
    std::vector<TSInt32> received;
    received.reserve(kCount);
    while (received.size() < static_cast<std::size_t>(kCount) && !appendFailed)
    {
        std::unique_ptr<FontManagerNotification> notification = queue.TakeFirst();
        if (notification == nullptr)
        {
            std::this_thread::yield();
            continue;
        }
        received.push_back(FontIDOf(*notification));
    }
    library.join();
    ASSERT_FALSE(appendFailed);
    ASSERT_EQ(received.size(), static_cast<std::size_t>(kCount));
    for (TSInt32 i = 0; i < kCount; ++i)
    {
        ASSERT_EQ(received[static_cast<std::size_t>(i)], i);
    }
    EXPECT_EQ(queue.TakeFirst(), nullptr);
    EXPECT_EQ(queue.Count(), 0u);
}

TEST(NotificationQueueTest, LeftoverNotificationsAreReleasedWithTheQueue)
{
    CFMutableDictionaryRef dictionary = CreateNotificationDictionary(kLPINotifyAgentShutdown, nullptr);
    CFRetain(dictionary);
    {
        NotificationQueue queue;
        queue.Append(
            std::make_unique<FontManagerNotification>(GCFRef<CFMutableDictionaryRef>(dictionary), nullptr));
        EXPECT_EQ(queue.Count(), 1u);
        EXPECT_EQ(CFGetRetainCount(dictionary), 2);
    }
    EXPECT_EQ(CFGetRetainCount(dictionary), 1);
    CFRelease(dictionary);
}

TEST(NotificationDictionaryTest, PayloadsBecomeEntries)
{
    const std::uint8_t offline = 0;
    Dictionary online(CreateNotificationDictionary(kLPINotifyOnlineStateChanged, &offline));
    bool value = true;
    ASSERT_TRUE(XCFDictionaryGetBoolean(online.get(), kPluginNotification_OnlineStateChanged, value));
    EXPECT_FALSE(value);

    CFMutableDictionaryRef payload = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                               &kCFTypeDictionaryValueCallBacks);
    XCFDictionarySetBoolean(payload, CFSTR("isLoggedIn"), true);
    XCFDictionarySetNumber(payload, CFSTR("serverType"), 3);
    Dictionary loggedIn(CreateNotificationDictionary(kLPINotifyLoggedInStateChanged, payload));
    CFRelease(payload);
    ASSERT_TRUE(XCFDictionaryGetBoolean(loggedIn.get(), kPluginNotification_LoggedInStateChanged, value));
    EXPECT_TRUE(value);
    TSInt32 serverType = 0;
    EXPECT_TRUE(XCFDictionaryGetNumber(loggedIn.get(), CFSTR("serverType"), &serverType));
    EXPECT_EQ(serverType, 3);

    const std::uint8_t enabled = 1;
    Dictionary google(CreateNotificationDictionary(kLPINotifyGoogleWebFontsEnabled, &enabled));
    ASSERT_TRUE(XCFDictionaryGetBoolean(google.get(), kPluginNotification_Enabled, value));
    EXPECT_TRUE(value);

    const std::int32_t fontID = 77;
    Dictionary missing(CreateNotificationDictionary(kLPINotifyFontMissing, &fontID));
    TSInt32 readID = 0;
    EXPECT_TRUE(XCFDictionaryGetNumber(missing.get(), kPluginNotification_FontActivation_Font_ID, &readID));
    EXPECT_EQ(readID, 77);
    Dictionary withoutID(CreateNotificationDictionary(kLPINotifyFontDeactivated, nullptr));
    EXPECT_TRUE(CFDictionaryContainsKey(withoutID.get(), kPluginNotification_FontDeactivated));
    EXPECT_FALSE(CFDictionaryContainsKey(withoutID.get(), kPluginNotification_FontActivation_Font_ID));
}

TEST(NotificationDictionaryTest, UnhandledTypesAreIgnored)
{
    for (const TUInt32 type : {5u, 6u, 7u, 11u, 12u, 13u, 26u, 29u, 30u, 1000u})
    {
        EXPECT_EQ(CreateNotificationDictionary(type, nullptr), nullptr) << type;
    }
    for (const TUInt32 type : {0u, 3u, 4u, 16u, 18u, 20u, 22u, 23u, 25u, 28u})
    {
        Dictionary dictionary(CreateNotificationDictionary(type, nullptr));
        ASSERT_NE(dictionary, nullptr) << type;
        EXPECT_EQ(CFDictionaryGetCount(dictionary.get()), 1) << type;
    }
}

// What the library reports while the font manager is being made waits in its queue, open from the
// start; after the queue is closed, notifications are dropped.
TEST(NotificationDeliveryTest, TheOpenQueueTakesNotificationsUntilItIsClosed)
{
    auto queue = std::make_shared<NotificationQueue>();
    const std::int32_t fontID = 7;
    EXPECT_EQ(NotificationDelivery::Deliver(kLPINotifyFontActivated, &fontID),
              NotificationDelivery::EResult::kNoQueue);
    NotificationDelivery::Open(queue, nullptr);
    std::thread library([&] { NotificationDelivery::Deliver(kLPINotifyFontActivated, &fontID); });
    library.join();
    EXPECT_EQ(NotificationDelivery::Deliver(29, nullptr), NotificationDelivery::EResult::kNotHandled);
    ASSERT_EQ(queue->Count(), 1u);

    // Closing another queue changes nothing; closing this one stops the delivery into it.
    NotificationQueue other;
    NotificationDelivery::Close(&other);
    EXPECT_EQ(NotificationDelivery::Deliver(kLPINotifyFontActivated, &fontID),
              NotificationDelivery::EResult::kQueued);
    NotificationDelivery::Close(queue.get());
    EXPECT_EQ(NotificationDelivery::Deliver(kLPINotifyFontActivated, &fontID),
              NotificationDelivery::EResult::kNoQueue);
    EXPECT_EQ(queue->Count(), 2u);
    std::unique_ptr<FontManagerNotification> first = queue->TakeFirst();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(FontIDOf(*first), 7);
}

// 10,000 notifications from the library's thread while font managers are made and destroyed on the
// main thread, as at a plug-in's shutdown: each of 20 font managers is closed while a batch of 500
// is being delivered, so that callbacks run into every close and every last share. Each
// notification lands in the queue open at that moment or is dropped, each queue receives its
// notifications in order, and none reaches a queue after its last share went (the sanitizers watch
// the memory, the leak checker the notifications left behind).
TEST(NotificationDeliveryTest, TenThousandNotificationsWhileFontManagersComeAndGo)
{
    constexpr TSInt32 kCount = 10000;
    constexpr TSInt32 kBatch = 500;
    std::atomic<int> opened{0};
    std::atomic<int> delivered{0};
    std::atomic<int> queued{0};
    std::atomic<int> dropped{0};
    std::atomic<int> refused{0};
    std::atomic<bool> done{false};
    std::thread library(
        [&]
        {
            for (TSInt32 fontID = 0; fontID < kCount; ++fontID)
            {
                // Each batch starts once the next font manager's queue is open.
                while (fontID % kBatch == 0 && opened.load() <= fontID / kBatch)
                {
                    std::this_thread::yield();
                }
                switch (NotificationDelivery::Deliver(kLPINotifyFontActivated, &fontID))
                {
                case NotificationDelivery::EResult::kQueued:
                    ++queued;
                    break;
                case NotificationDelivery::EResult::kNoQueue:
                    ++dropped;
                    break;
                case NotificationDelivery::EResult::kNotHandled:
                    ++refused;
                    break;
                }
                ++delivered;
            }
            done = true;
        });
    int rounds = 0;
    bool inOrder = true;
    while (!done)
    {
        auto queue = std::make_shared<NotificationQueue>();
        NotificationDelivery::Open(queue, nullptr);
        const int halfBatch = opened.fetch_add(1) * kBatch + kBatch / 2;
        TSInt32 last = -1;
        while (!done && delivered.load() < halfBatch)
        {
            if (std::unique_ptr<FontManagerNotification> notification = queue->TakeFirst())
            {
                inOrder = inOrder && FontIDOf(*notification) > last;
                last = FontIDOf(*notification);
            }
            else
            {
                std::this_thread::yield();
            }
        }
        // As the font manager's destructor does, while the batch's second half arrives; a callback
        // in flight keeps its share.
        NotificationDelivery::Close(queue.get());
        queue->Clear();
        queue.reset();
        ++rounds;
    }
    library.join();
    EXPECT_GE(rounds, kCount / kBatch);
    EXPECT_EQ(queued + dropped, kCount);
    EXPECT_EQ(refused, 0);
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(NotificationDelivery::Deliver(kLPINotifyFontActivated, &rounds),
              NotificationDelivery::EResult::kNoQueue);
}
