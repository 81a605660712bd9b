// The font manager's notifications on their way to the panel, the HTML panel's transport and the
// periodic service that launches and creates the panel.

#include "PanelTestSupport.h"

#include "GCFRef.h"
#include "GStringEncodings.h"
#include "LogCapture.h"

#include <thread>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace
{
GCFRef<CFMutableDictionaryRef> Dictionary()
{
    return GCFRef<CFMutableDictionaryRef>(CFDictionaryCreateMutable(
        nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
}

void Set(CFMutableDictionaryRef dictionary, const char* key, const std::string& text)
{
    GCFRef<CFStringRef> cfKey(CreateCFStringFromUTF8String(key));
    GCFRef<CFStringRef> value(CreateCFStringFromUTF8String(text));
    CFDictionarySetValue(dictionary, cfKey.Get(), value.Get());
}

void Set(CFMutableDictionaryRef dictionary, const char* key, int number)
{
    GCFRef<CFStringRef> cfKey(CreateCFStringFromUTF8String(key));
    GCFRef<CFNumberRef> value(CFNumberCreate(nullptr, kCFNumberIntType, &number));
    CFDictionarySetValue(dictionary, cfKey.Get(), value.Get());
}
} // namespace

TEST_F(PanelTest, QueuedNotificationsAreCoalescedAndSentInIDOrder)
{
    for (int i = 0; i < 1000; ++i)
    {
        panel.PushFontActivatedNotification(7);
    }
    panel.PushDataChangedNotification();
    panel.PushSmartListsChangedNotification();
    EXPECT_THAT(events.Messages(), IsEmpty()) << "nothing before the pass";
    EXPECT_EQ(panel.PopNotifications(), 0u);
    EXPECT_THAT(events.Messages(), ElementsAre(R"({"messageID":24,"fontIDs":[7]})", R"({"messageID":43})",
                                               R"({"messageID":56})"));
    EXPECT_EQ(host.refreshes, 0) << "activations alone need no refresh of the active fonts";

    events.dispatched.clear();
    panel.PushFontActivatedNotification(5);
    panel.PushFontDeactivatedNotification(5);
    panel.PushFontMissingNotification(9);
    panel.PushFontActivatedNotification(9);
    panel.PushFontMissingNotification(8);
    panel.PopNotifications();
    EXPECT_THAT(events.Messages(),
                ElementsAre(R"({"messageID":24,"fontIDs":[9]})", R"({"messageID":25,"fontIDs":[5]})",
                            R"({"messageID":45,"fontIDs":[8,9]})"));
    EXPECT_EQ(host.refreshes, 1);
    events.dispatched.clear();
    panel.PopNotifications();
    EXPECT_THAT(events.Messages(), IsEmpty()) << "a pass empties the queue";
}

TEST_F(PanelTest, WithoutTheCoreNothingIsSentAndOnlyConnectionStatesAreQueued)
{
    host.connected = false;
    panel.PushFontActivatedNotification(5);
    panel.PushDataChangedNotification();
    panel.PushOnlineStateChangedNotification(false);
    panel.PushWorkgroupStateNotification(true);
    panel.PopNotifications();
    EXPECT_THAT(events.Messages(), IsEmpty());
    EXPECT_THAT(panel.GetPendingNotifications(), ElementsAre(61, 64));
    panel.SetEnabled(false);
    EXPECT_THAT(events.Messages(), ElementsAre(R"({"messageID":30,"isEnabled":false})")) << "sent at once";
    GCFRef<CFMutableDictionaryRef> details = Dictionary();
    panel.PushBulkReplicationProgressNotification(details.Get());
    EXPECT_EQ(events.Messages().size(), 1u) << "progress is gated";

    host.connected = true;
    host.standalone = true;
    panel.PushOnlineStateChangedNotification(false);
    events.dispatched.clear();
    panel.PopNotifications();
    EXPECT_THAT(events.Messages(),
                ElementsAre(R"({"messageID":61})", R"({"messageID":62})", R"({"messageID":64})"));
}

TEST_F(PanelTest, ProgressIsSentAtOnceAndAFailedPassIsRepeated)
{
    GCFRef<CFMutableDictionaryRef> details = Dictionary();
    Set(details.Get(), "text", "Copying fonts");
    Set(details.Get(), "stepIndex", 2);
    Set(details.Get(), "numSteps", 9);
    panel.PushGoogleReplicationProgressNotification(details.Get());
    panel.PushFontServerReplicationProgressNotification(details.Get());
    Set(details.Get(), "text", std::string(1022, 'a') + "\xC3\xA9");
    panel.PushIncrementalReplicationProgressNotification(details.Get());
    const std::vector<std::string> sent = events.Messages();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], R"({"messageID":28,"text":"Copying fonts","stepIndex":2,"numSteps":9})");
    EXPECT_EQ(sent[1], R"({"messageID":68,"text":"Copying fonts","stepIndex":2,"numSteps":9})");
    EXPECT_EQ(sent[2],
              R"({"messageID":54,"text":")" + std::string(1022, 'a') + R"(","stepIndex":2,"numSteps":9})")
        << "a text cut to 1023 bytes keeps whole characters";

    panel.PushFontDeactivatedNotification(3);
    panel.PushGoogleReplicationStoppedNotification();
    events.dispatched.clear();
    events.dispatchResult = 0;
    // A panel whose transport fails keeps everything for the next pass.
    struct GFailingPanel : HTMLPanel
    {
        using HTMLPanel::HTMLPanel;
        TErrorCode SendMessage(const TUTF8String&) override { return CoreErrorCodes::kError; }
    } failing(&events.library);
    failing.PushFontDeactivatedNotification(3);
    failing.PushBulkReplicationStoppedNotification();
    LogCapture log;
    EXPECT_EQ(failing.PopNotifications(), CoreErrorCodes::kError);
    EXPECT_THAT(failing.GetPendingNotifications(), ElementsAre(25, 53));
    EXPECT_EQ(log.Count("SendMessageA(responseMessage)"), 1u);
    EXPECT_EQ(host.refreshes, 0);
}

TEST_F(PanelTest, PreviewImagesBecomeFileURLs)
{
    GCFRef<CFMutableDictionaryRef> images = Dictionary();
    GCFRef<CFMutableDictionaryRef> first = Dictionary();
    Set(first.Get(), "pngFilename", "C:\\Cache\\1001.png");
    Set(first.Get(), "2xPNGFilename", "C:\\Cache\\1001@2x.png");
    GCFRef<CFMutableDictionaryRef> second = Dictionary();
    Set(second.Get(), "pngFilename", "/tmp/1002.png");
    int id1 = 1001;
    int id2 = 1002;
    GCFRef<CFNumberRef> key1(CFNumberCreate(nullptr, kCFNumberIntType, &id1));
    GCFRef<CFNumberRef> key2(CFNumberCreate(nullptr, kCFNumberIntType, &id2));
    CFDictionarySetValue(images.Get(), key1.Get(), first.Get());
    CFDictionarySetValue(images.Get(), key2.Get(), second.Get());
    EXPECT_EQ(panel.SendFontImages(images.Get()), 0u);
    ASSERT_EQ(events.Messages().size(), 1u);
    const std::string message = events.Messages()[0];
#ifdef _WIN32
    EXPECT_NE(message.find(R"({"fontID":1001,"pngFilename":"file://C:/Cache/1001.png",)"
                           R"("2xPNGFilename":"file://C:/Cache/1001@2x.png"})"),
              std::string::npos)
        << message;
#endif
    EXPECT_NE(message.find(R"({"fontID":1002,"pngFilename":"file:///tmp/1002.png","2xPNGFilename":""})"),
              std::string::npos)
        << message;
    EXPECT_EQ(message.rfind(R"({"messageID":32,"fonts":[{)", 0), 0u);
    EXPECT_EQ(panel.GetFontImages().size(), 2u);
}

TEST_F(PanelTest, EveryEventGoesOutAsThePanelExpectsIt)
{
    Send(R"({"messageID":16})");
    ASSERT_EQ(events.dispatched.size(), 1u);
    const FakeEventLibrary::Dispatched& event = events.dispatched[0];
    EXPECT_EQ(event.type, "com.lumorand.PluginToPanel");
    EXPECT_EQ(event.scope, 1);
    EXPECT_EQ(event.appId, "HTML");
    EXPECT_FALSE(event.hasExtensionId);
    EXPECT_EQ(event.data.front(), '(');
    EXPECT_EQ(event.data.back(), ')');

    HTMLPanel orphan(nullptr);
    LogCapture log;
    EXPECT_EQ(orphan.SendMessage("(x)"), CoreErrorCodes::kNullPointer);
    EXPECT_EQ(orphan.RegisterHandler(), CoreErrorCodes::kNotInitialized);
}

TEST_F(PanelTest, AListenerCalledOnAnotherThreadHandsTheMessageToTheUserInterfaceThread)
{
    std::thread other([this] { events.Deliver(R"({"messageID":16})"); });
    other.join();
    EXPECT_THAT(events.Messages(), IsEmpty()) << "nothing is handled off the user-interface thread";
    panel.SelectSocket(true);
    EXPECT_THAT(events.Messages(), ElementsAre(R"({"messageID":16,"isWindows":true})"));
    panel.SelectSocket(true);
    EXPECT_EQ(events.Messages().size(), 1u) << "handled once";
}

class ServicePanelsTest : public ::testing::Test
{
protected:
    ServicePanelsTest()
    {
        ResetServicePanelsForTesting();
        PanelManager::GetSharedInstance().RemoveAllPanelsForTesting();
        // No library at first (and never the real one beside the test program).
        PlugPlugLibrary::GetSharedInstance().BindForTesting({});
    }
    ~ServicePanelsTest() override
    {
        ResetServicePanelsForTesting();
        PanelManager::GetSharedInstance().RemoveAllPanelsForTesting();
        PlugPlugLibrary::GetSharedInstance().BindForTesting({});
    }

    // The shared library bound to the fake's entries (the native build has no library to load).
    void Bind() { PlugPlugLibrary::GetSharedInstance().BindForTesting(events.library.GetEntries()); }
    std::size_t Launches() const
    {
        std::size_t count = 0;
        for (const auto& event : events.dispatched)
        {
            count += event.type == "com.lumorand.startpanel" && event.appId == "test" && event.data.empty()
                         ? 1
                         : 0;
        }
        return count;
    }

    FakePanelHost host;
    FakeEventLibrary events;
};

TEST_F(ServicePanelsTest, ThePanelIsLaunchedOnceEverAndCreatedAfterTheLaunch)
{
    // No event library: the launch fails, is remembered as not sent and tried again next pass.
    ServicePanels();
    EXPECT_FALSE(host.boolPreferences.at("SuppressPanelLaunch"));
    EXPECT_EQ(PanelManager::GetSharedInstance().GetPanelCount(), 0u);
    EXPECT_EQ(host.notificationPasses, 1) << "notifications are handled with or without a panel";
    Bind();
    events.dispatchResult = 1;
    ServicePanels();
    EXPECT_FALSE(host.boolPreferences.at("SuppressPanelLaunch"));
    EXPECT_EQ(PanelManager::GetSharedInstance().GetPanelCount(), 0u);

    Bind();
    events.dispatchResult = 0;
    ServicePanels();
    ServicePanels();
    EXPECT_EQ(Launches(), 1u);
    EXPECT_TRUE(host.boolPreferences.at("SuppressPanelLaunch"));
    EXPECT_EQ(PanelManager::GetSharedInstance().GetPanelCount(), 1u);

    // The next start of Photoshop: no launch, a panel all the same.
    ResetServicePanelsForTesting();
    PanelManager::GetSharedInstance().RemoveAllPanelsForTesting();
    events.listeners.clear();
    ServicePanels();
    EXPECT_EQ(Launches(), 1u);
    EXPECT_EQ(PanelManager::GetSharedInstance().GetPanelCount(), 1u);
    EXPECT_EQ(events.listeners.size(), 1u);
}

TEST_F(ServicePanelsTest, ASuppressedLaunchStillCreatesAListeningPanel)
{
    host.boolPreferences["SuppressPanelLaunch"] = true;
    Bind();
    ServicePanels();
    ServicePanels();
    EXPECT_EQ(Launches(), 0u);
    EXPECT_EQ(PanelManager::GetSharedInstance().GetPanelCount(), 1u);
    ASSERT_EQ(events.listeners.size(), 1u) << "one panel, registered once";
    events.Deliver(R"({"messageID":16})");
    EXPECT_THAT(events.Messages(), ElementsAre(R"({"messageID":16,"isWindows":true})"));

    // Queued notifications leave with the next pass.
    PanelManager::GetSharedInstance().PushSmartListsChangedNotification();
    ServicePanels();
    EXPECT_EQ(events.Messages().back(), R"({"messageID":43})");
}

TEST_F(ServicePanelsTest, APanelTheLibraryRefusesIsNotKeptAndIsTriedAgain)
{
    host.boolPreferences["SuppressPanelLaunch"] = true;
    Bind();
    events.addListenerResult = 1;
    LogCapture log;
    ServicePanels();
    EXPECT_EQ(PanelManager::GetSharedInstance().GetPanelCount(), 0u);
    EXPECT_EQ(log.Count("htmlPanel->RegisterHandler()"), 1u);
    events.addListenerResult = 0;
    ServicePanels();
    EXPECT_EQ(PanelManager::GetSharedInstance().GetPanelCount(), 1u);
}

TEST_F(ServicePanelsTest, ALibraryOneFunctionShortGetsNoPanel)
{
    host.boolPreferences["SuppressPanelLaunch"] = true;
    PlugPlugLibrary::Entries entries = events.library.GetEntries();
    entries.removeEventListener = nullptr;
    PlugPlugLibrary::GetSharedInstance().BindForTesting(entries);
    ServicePanels();
    ServicePanels();
    EXPECT_EQ(PanelManager::GetSharedInstance().GetPanelCount(), 0u);
    EXPECT_TRUE(events.listeners.empty());
    Bind();
    ServicePanels();
    EXPECT_EQ(PanelManager::GetSharedInstance().GetPanelCount(), 1u)
        << "a complete library, at the next pass";
}

TEST_F(ServicePanelsTest, WithoutTheFrameworkNothingIsLaunched)
{
    host.framework = false;
    Bind();
    ServicePanels();
    EXPECT_EQ(Launches(), 0u);
    EXPECT_EQ(PanelManager::GetSharedInstance().GetPanelCount(), 0u);
}
