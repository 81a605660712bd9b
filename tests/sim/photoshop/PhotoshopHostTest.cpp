// The host side of the entry calls: suite acquisition accounting, notifications, blocks, the
// globals slot and the string IDs, with plug-in entry points written here.

#include "PhotoshopHost.h"

#include "ActionSuites.h"

#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{
// What the current fake plug-in does when its entry point is called.
std::function<SPErr(const std::string& selector, SPMessageData* message)> sBehaviour;

SPErr FakeEntry(const char*, const char* selector, void* message)
{
    return sBehaviour(selector, static_cast<SPMessageData*>(message));
}

class PhotoshopHostTest : public ::testing::Test
{
protected:
    PhotoshopHostTest()
    {
        mTranscript.Open(mPath);
        auto plugin = std::make_unique<HostPlugin>();
        plugin->mName = "fake.8li";
        plugin->mEntry = FakeEntry;
        mPlugin = &mHost.AddPlugin(std::move(plugin));
    }

    std::vector<std::string> Lines() const
    {
        const std::string text = ReadWholeFile(mPath);
        std::vector<std::string> lines;
        std::size_t start = 0;
        for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        {
            lines.push_back(text.substr(start, end - start));
        }
        return lines;
    }
    bool HasLine(const std::string& line) const
    {
        const auto lines = Lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    SPErr Call(const std::string& selector)
    {
        return mHost.Call(*mPlugin, "SP Interface", selector, nullptr);
    }
    const PSActionControlProcs* Control(SPBasicSuite* basic, std::int32_t version = 1)
    {
        const void* suite = nullptr;
        EXPECT_EQ(0, basic->AcquireSuite(kPSActionControlSuite, version, &suite));
        return static_cast<const PSActionControlProcs*>(suite);
    }

    ScratchFolder mScratch{"photoshop-host"};
    std::string mPath = mScratch.Child("transcript.txt");
    Transcript mTranscript;
    PhotoshopHost mHost{mTranscript};
    HostPlugin* mPlugin = nullptr;
};
} // namespace

TEST_F(PhotoshopHostTest, AnAcquisitionNotReleasedDuringTheCallIsALeak)
{
    sBehaviour = [](const std::string&, SPMessageData* message)
    {
        const void* suite = nullptr;
        message->basic->AcquireSuite(kSPBlocksSuite, 2, &suite);
        message->basic->AcquireSuite(kSPBlocksSuite, 2, &suite);
        message->basic->ReleaseSuite(kSPBlocksSuite, 2);
        return kSPNoError;
    };
    EXPECT_EQ(0, Call("Startup"));
    EXPECT_EQ(1, mHost.FailureCount());
    EXPECT_TRUE(
        HasLine("LEAK suite \"SP Blocks Suite\" v2: acquired 2, released 1 during Startup (fake.8li)"));

    // The outstanding acquisition released by a later call is not a second leak.
    sBehaviour = [](const std::string&, SPMessageData* message)
    { return message->basic->ReleaseSuite(kSPBlocksSuite, 2); };
    EXPECT_EQ(0, Call("About"));
    EXPECT_EQ(1, mHost.FailureCount());
    // One more release has nothing to release.
    EXPECT_EQ(0, Call("About"));
    EXPECT_EQ(2, mHost.FailureCount());
    EXPECT_TRUE(
        HasLine("UNBALANCED ReleaseSuite \"SP Blocks Suite\" v2: released more often than acquired during "
                "About (fake.8li)"));
}

TEST_F(PhotoshopHostTest, SuitesAcquiredBetweenCallsMayBeReleasedInTheNextCall)
{
    // A message hook acquires outside any entry call; the next entry call releases everything.
    const void* suite = nullptr;
    ASSERT_EQ(0, mHost.BasicSuite()->AcquireSuite(kPSActionDescriptorSuite, 3, &suite));
    sBehaviour = [](const std::string&, SPMessageData* message)
    {
        const void* descriptors = nullptr;
        message->basic->AcquireSuite(kPSActionControlSuite, 2, &descriptors);
        message->basic->ReleaseSuite(kPSActionControlSuite, 2);
        return message->basic->ReleaseSuite(kPSActionDescriptorSuite, 3);
    };
    EXPECT_EQ(0, Call("Do It"));
    EXPECT_EQ(0, mHost.FailureCount());
}

TEST_F(PhotoshopHostTest, ServesTheDeclaredSuiteVersionsOnly)
{
    SPBasicSuite* basic = mHost.BasicSuite();
    const void* suite = nullptr;
    const std::pair<const char*, std::int32_t> served[] = {
        {kSPBlocksSuite, 2},          {kPSActionControlSuite, 3},       {kPSActionDescriptorSuite, 1},
        {kPSActionReferenceSuite, 3}, {kPSActionListSuite, 1},          {kPSHandleSuite, 1},
        {kPSHandleSuite, 2},          {kPSJavaScriptScriptingSuite, 3},
    };
    for (const auto& [name, version] : served)
    {
        EXPECT_EQ(0, basic->AcquireSuite(name, version, &suite)) << name << " v" << version;
        EXPECT_NE(nullptr, suite);
        EXPECT_EQ(0, basic->ReleaseSuite(name, version));
    }
    for (const auto& [name, version] : {std::pair{kSPBlocksSuite, 1}, std::pair{kPSActionListSuite, 2},
                                        std::pair{"JavaScript Scripting Suite", 1}})
    {
        EXPECT_EQ(kSPSuiteNotFoundError, basic->AcquireSuite(name, version, &suite)) << name;
        EXPECT_EQ(nullptr, suite);
    }
    EXPECT_TRUE(HasLine("AcquireSuite \"SP Blocks Suite\" v1 -> 'S!Fd' (no such suite)"));
    EXPECT_TRUE(basic->IsEqual("Startup", "Startup"));
    EXPECT_FALSE(basic->IsEqual("Startup", "startup"));
}

TEST_F(PhotoshopHostTest, KeepsTheGlobalsSlotAndTheBlocksBetweenCalls)
{
    sBehaviour = [](const std::string& selector, SPMessageData* message)
    {
        const void* suite = nullptr;
        message->basic->AcquireSuite(kSPBlocksSuite, 2, &suite);
        auto* blocks = static_cast<const SPBlocksSuite*>(suite);
        SPErr result = kSPNoError;
        if (selector == "Startup")
        {
            result = blocks->AllocateBlock(16, "globals", &message->globals);
        }
        else if (selector == "Shutdown")
        {
            result = blocks->FreeBlock(message->globals);
            result = result != 0 ? result : blocks->FreeBlock(message->globals); // twice: refused
            message->globals = nullptr;
        }
        message->basic->ReleaseSuite(kSPBlocksSuite, 2);
        return result;
    };
    EXPECT_EQ(0, Call("Startup"));
    void* globals = mPlugin->mGlobals;
    ASSERT_NE(nullptr, globals);
    EXPECT_EQ(0, Call("About"));
    EXPECT_EQ(globals, mPlugin->mGlobals);
    EXPECT_EQ(kSPBadParameterError, Call("Shutdown"));
    EXPECT_EQ(nullptr, mPlugin->mGlobals);
    EXPECT_EQ(1, mHost.FailureCount());
    EXPECT_TRUE(HasLine("AllocateBlock 16 \"globals\" -> 0"));
    EXPECT_TRUE(HasLine("FreeBlock 16 \"globals\" -> 0"));
    EXPECT_TRUE(HasLine("return fake.8li \"SP Interface\"/\"Shutdown\" -> 'Parm'"));
}

TEST_F(PhotoshopHostTest, RecordsNotificationsPerPluginInOrder)
{
    const PSActionControlProcs* control = Control(mHost.BasicSuite());
    const PIActionNotifyProc proc = [](DescriptorEventID, PIActionDescriptor, PIDialogRecordOptions, void*) {
    };
    SPPluginRef self = &mPlugin->mReference;
    for (const DescriptorEventID event :
         {PSFourCharCode("Mk  "), PSFourCharCode("Cls "), PSFourCharCode("save")})
    {
        EXPECT_EQ(0, control->AddNotify(self, event, proc, nullptr)) << FormatCode(event);
    }
    EXPECT_EQ(0, control->RemoveNotify(self, PSFourCharCode("Opn "))); // never added
    EXPECT_EQ(0, control->RemoveNotify(self, PSFourCharCode("Cls ")));
    EXPECT_EQ(kActionParamError, control->AddNotify(nullptr, PSFourCharCode("Mk  "), proc, nullptr));

    std::vector<DescriptorEventID> registered;
    for (const NotificationRecord& record : mHost.Notifications())
    {
        EXPECT_EQ(mPlugin, record.mPlugin);
        registered.push_back(record.mEvent);
    }
    EXPECT_EQ((std::vector<DescriptorEventID>{PSFourCharCode("Mk  "), PSFourCharCode("save")}), registered);
    ASSERT_EQ(2u, mHost.RemovedNotifications().size());
    EXPECT_FALSE(mHost.RemovedNotifications()[0].mWasRegistered);
    EXPECT_TRUE(mHost.RemovedNotifications()[1].mWasRegistered);
    EXPECT_TRUE(HasLine("AddNotify 'Mk  ' fake.8li"));
    EXPECT_TRUE(HasLine("RemoveNotify 'Opn ' fake.8li (not registered)"));
    EXPECT_EQ(1, mHost.FailureCount()); // the unknown plug-in reference
    mHost.BasicSuite()->ReleaseSuite(kPSActionControlSuite, 1);
}

TEST_F(PhotoshopHostTest, StringIDsAndPlays)
{
    const PSActionControlProcs* control = Control(mHost.BasicSuite(), 3);
    DescriptorTypeID id = 0;
    char name[32];
    EXPECT_EQ(0, control->StringIDToTypeID(const_cast<char*>("Dcmn"), &id));
    EXPECT_EQ(PSFourCharCode("Dcmn"), id);
    EXPECT_EQ(0, control->StringIDToTypeID(const_cast<char*>("document"), &id));
    EXPECT_EQ(PSFourCharCode("Dcmn"), id);
    EXPECT_EQ(0, control->StringIDToTypeID(const_cast<char*>("updateLayouts"), &id));
    EXPECT_EQ(0u, id & 0xFF000000u); // never a four-character code
    DescriptorTypeID again = 0;
    EXPECT_EQ(0, control->StringIDToTypeID(const_cast<char*>("updateLayouts"), &again));
    EXPECT_EQ(id, again);
    EXPECT_EQ(id, StringIDTable().ToTypeID("updateLayouts")); // the same in another run
    EXPECT_EQ(0, control->TypeIDToStringID(id, name, sizeof name));
    EXPECT_STREQ("updateLayouts", name);
    EXPECT_EQ(kActionParamError, control->TypeIDToStringID(id, name, 5));
    EXPECT_EQ(kActionNoSuchObject, control->TypeIDToStringID(0x00000001, name, sizeof name));

    PIActionDescriptor result = nullptr;
    EXPECT_EQ(0, control->Play(&result, id, nullptr, plugInDialogSilent));
    ASSERT_NE(nullptr, result);
    ActionDescriptorSuite()->Free(result);
    EXPECT_EQ(kActionEventNotHandled,
              control->Play(&result, PSFourCharCode("Opn "), nullptr, plugInDialogSilent));
    EXPECT_EQ(nullptr, result);
    EXPECT_TRUE(HasLine("Play updateLayouts options=2 -> 0"));
    EXPECT_TRUE(HasLine("Play 'Opn ' options=2 -> -1708"));
    mHost.BasicSuite()->ReleaseSuite(kPSActionControlSuite, 3);
}

TEST_F(PhotoshopHostTest, NotificationsReachTheRegisteredProceduresInsideACall)
{
    struct Seen
    {
        DescriptorEventID mEvent = 0;
        std::int32_t mID = 0;
        std::string mCall;
    };
    static std::vector<Seen> sSeen;
    static PhotoshopHost* sHost = nullptr;
    sSeen.clear();
    sHost = &mHost;
    const PIActionNotifyProc proc =
        [](DescriptorEventID event, PIActionDescriptor descriptor, PIDialogRecordOptions, void*)
    {
        Seen seen{event, 0, sHost->CurrentCallDescription()};
        ActionDescriptorSuite()->GetInteger(descriptor, PSFourCharCode("DocI"), &seen.mID);
        sSeen.push_back(seen);
        // Leaks the blocks suite once, on 'Cls ', and frees the host's descriptor on 'save'.
        const void* suite = nullptr;
        if (event == PSFourCharCode("Cls "))
        {
            sHost->BasicSuite()->AcquireSuite(kSPBlocksSuite, 2, &suite);
        }
        if (event == PSFourCharCode("save"))
        {
            ActionDescriptorSuite()->Free(descriptor);
        }
    };
    const PSActionControlProcs* control = Control(mHost.BasicSuite());
    SPPluginRef self = &mPlugin->mReference;
    for (const char* event : {"Mk  ", "Cls ", "save"})
    {
        std::uint32_t code = 0;
        ParseCode(event, code);
        control->AddNotify(self, code, proc, nullptr);
    }
    mHost.BasicSuite()->ReleaseSuite(kPSActionControlSuite, 1);

    ActionDescriptorData data;
    data.Put(PSFourCharCode("DocI"), ActionValue::Integer(1001));
    EXPECT_EQ(1, mHost.Notify(PSFourCharCode("Mk  "), data));
    EXPECT_EQ(0, mHost.Notify(PSFourCharCode("Opn "), data));
    EXPECT_EQ(0, mHost.FailureCount());
    EXPECT_EQ(1, mHost.Notify(PSFourCharCode("Cls "), data));
    EXPECT_EQ(1, mHost.FailureCount());
    EXPECT_TRUE(
        HasLine("LEAK suite \"SP Blocks Suite\" v2: acquired 1, released 0 during notification 'Cls ' "
                "(fake.8li)"));
    EXPECT_EQ(1, mHost.Notify(PSFourCharCode("save"), data));
    EXPECT_EQ(2, mHost.FailureCount());
    EXPECT_TRUE(
        HasLine("MISUSE fake.8li freed the descriptor of notification 'save', which belongs to the host"));
    EXPECT_TRUE(HasLine("notify 'Mk  ' fake.8li {'DocI': long 1001}"));

    ASSERT_EQ(3u, sSeen.size());
    EXPECT_EQ(PSFourCharCode("Mk  "), sSeen[0].mEvent);
    EXPECT_EQ(1001, sSeen[0].mID);
    EXPECT_EQ("notification 'Mk  ' (fake.8li)", sSeen[0].mCall);
    EXPECT_EQ("", mHost.CurrentCallDescription());
    EXPECT_EQ(0u, ActionObjects::CountLive().mDescriptors);
    mHost.BasicSuite()->ReleaseSuite(kSPBlocksSuite, 2);
}

TEST_F(PhotoshopHostTest, InjectedPlayFailuresAndPlayCounts)
{
    const PSActionControlProcs* control = Control(mHost.BasicSuite());
    const DescriptorEventID update = mHost.StringIDs().ToTypeID("updateLayouts");
    const DescriptorEventID replace = mHost.StringIDs().ToTypeID("replaceSubstitutes");
    mHost.FailNextPlays(2, -128);
    PIActionDescriptor result = nullptr;
    EXPECT_EQ(-128, control->Play(&result, update, nullptr, plugInDialogSilent));
    EXPECT_EQ(nullptr, result);
    EXPECT_EQ(-128, control->Play(nullptr, PSFourCharCode("Opn "), nullptr, plugInDialogSilent));
    EXPECT_EQ(0, control->Play(nullptr, replace, nullptr, plugInDialogSilent));
    EXPECT_EQ(0, control->Play(nullptr, update, nullptr, plugInDialogSilent));
    EXPECT_EQ(2, mHost.PlayCount(update));
    EXPECT_EQ(1, mHost.PlayCount(replace));
    EXPECT_EQ(1, mHost.PlayCount(PSFourCharCode("Opn ")));
    EXPECT_TRUE(HasLine("Play updateLayouts options=2 -> -128 (injected failure)"));
    EXPECT_TRUE(HasLine("Play 'Opn ' options=2 -> -128 (injected failure)"));
    mHost.BasicSuite()->ReleaseSuite(kPSActionControlSuite, 1);
}

TEST_F(PhotoshopHostTest, ScriptsAreRecordedAndHandedOn)
{
    std::vector<std::string> scripts;
    mHost.SetScriptHandler([&](const std::string& script) { scripts.push_back(script); });
    const void* suite = nullptr;
    ASSERT_EQ(0, mHost.BasicSuite()->AcquireSuite(kPSJavaScriptScriptingSuite, 3, &suite));
    const auto* scripting = static_cast<const PSJavaScriptScriptingSuite*>(suite);
    JSEngineRef engine = nullptr;
    ASSERT_EQ(0, scripting->CreateEngine(&engine));
    const std::u16string script = u"var d = app.activeDocument;\n\u00e9";
    const ASUnicode* result = nullptr;
    EXPECT_EQ(0, scripting->Execute(engine, reinterpret_cast<const ASUnicode*>(script.c_str()), 1, &result));
    ASSERT_NE(nullptr, result);
    EXPECT_EQ(0, result[0]);
    EXPECT_EQ(1u, mHost.LiveScriptEngines());
    EXPECT_EQ(0, scripting->DeleteEngine(engine));
    EXPECT_EQ(kSPBadParameterError, scripting->DeleteEngine(engine));
    EXPECT_EQ(kSPBadParameterError,
              scripting->Execute(engine, reinterpret_cast<const ASUnicode*>(u"x"), 1, &result));
    EXPECT_EQ(kSPBadParameterError, scripting->CreateEngine(nullptr));
    EXPECT_EQ(2, mHost.FailureCount());
    EXPECT_EQ(0u, mHost.LiveScriptEngines());
    EXPECT_EQ((std::vector<std::string>{"var d = app.activeDocument;\n\xC3\xA9"}), scripts);
    EXPECT_TRUE(HasLine("ExtendScript: var d = app.activeDocument;\\n\xC3\xA9"));
    mHost.BasicSuite()->ReleaseSuite(kPSJavaScriptScriptingSuite, 3);
}
