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
    const ActionControlTable* Control(SPBasicSuite* basic, std::int32_t version = 2)
    {
        const void* suite = nullptr;
        EXPECT_EQ(0, basic->AcquireSuite(kActionControlSuiteName, version, &suite));
        return static_cast<const ActionControlTable*>(suite);
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
        message->basic->AcquireSuite(kBlocksSuiteName, 2, &suite);
        message->basic->AcquireSuite(kBlocksSuiteName, 2, &suite);
        message->basic->ReleaseSuite(kBlocksSuiteName, 2);
        return kHostNoError;
    };
    EXPECT_EQ(0, Call("Startup"));
    EXPECT_EQ(1, mHost.FailureCount());
    EXPECT_TRUE(
        HasLine("LEAK suite \"SP Blocks Suite\" v2: acquired 2, released 1 during Startup (fake.8li)"));

    // The outstanding acquisition released by a later call is not a second leak.
    sBehaviour = [](const std::string&, SPMessageData* message)
    { return message->basic->ReleaseSuite(kBlocksSuiteName, 2); };
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
    ASSERT_EQ(0, mHost.BasicSuite()->AcquireSuite(kActionDescriptorSuiteName, 3, &suite));
    sBehaviour = [](const std::string&, SPMessageData* message)
    {
        const void* descriptors = nullptr;
        message->basic->AcquireSuite(kActionControlSuiteName, 2, &descriptors);
        message->basic->ReleaseSuite(kActionControlSuiteName, 2);
        return message->basic->ReleaseSuite(kActionDescriptorSuiteName, 3);
    };
    EXPECT_EQ(0, Call("Do It"));
    EXPECT_EQ(0, mHost.FailureCount());
}

TEST_F(PhotoshopHostTest, ServesPhotoshopsSuiteVersionsOnly)
{
    SPBasicSuite* basic = mHost.BasicSuite();
    const void* suite = nullptr;
    const std::pair<const char*, std::int32_t> served[] = {
        {kBlocksSuiteName, 2},           {kActionControlSuiteName, 2},
        {kActionControlSuiteName, 6},    {kBasicActionControlSuiteName, 1},
        {kActionDescriptorSuiteName, 2}, {kActionReferenceSuiteName, 2},
        {kActionListSuiteName, 1},       {kHandleSuiteName, 1},
        {kHandleSuiteName, 2},           {kScriptingSuiteName, 1},
        {kScriptingSuiteName, 4},
    };
    for (const auto& [name, version] : served)
    {
        EXPECT_EQ(0, basic->AcquireSuite(name, version, &suite)) << name << " v" << version;
        EXPECT_NE(nullptr, suite);
        EXPECT_EQ(0, basic->ReleaseSuite(name, version));
    }
    // The action control suite has no version 1; the descriptor and reference suites start at 2.
    for (const auto& [name, version] :
         {std::pair{kBlocksSuiteName, 1}, std::pair{kActionControlSuiteName, 1},
          std::pair{kActionDescriptorSuiteName, 1}, std::pair{kActionReferenceSuiteName, 1},
          std::pair{kActionListSuiteName, 2}, std::pair{kScriptingSuiteName, 5}})
    {
        EXPECT_EQ(kHostSuiteNotFound, basic->AcquireSuite(name, version, &suite)) << name;
        EXPECT_EQ(nullptr, suite);
    }
    EXPECT_TRUE(
        HasLine("AcquireSuite \"bc1e4d70-f953-11d0-8d9f-00c04fd5f7ee\" v1 -> 'S!Fd' (no such suite)"));
    EXPECT_EQ(0, mHost.FailureCount());
    EXPECT_TRUE(basic->IsEqual("Startup", "Startup"));
    EXPECT_FALSE(basic->IsEqual("Startup", "startup"));
}

TEST_F(PhotoshopHostTest, ACallThroughASlotThePluginMayNotUseFailsTheRun)
{
    // What a plug-in that took TypeIDToStringID for AddNotify, or ScriptIsRunning for
    // CreateEngine, would reach: each such call is named in the transcript and fails the run. (A
    // stub is called here through its own type; a plug-in calls it through the type it believes
    // the slot has, which the x64 convention makes the same call.)
    using Stub = std::intptr_t (*)();
    const auto slot = [](const void* table, std::size_t index)
    { return static_cast<const Stub*>(table)[index]; };
    sBehaviour = [&](const std::string&, SPMessageData* message)
    {
        const void* suite = nullptr;
        message->basic->AcquireSuite(kActionControlSuiteName, 4, &suite);
        const std::intptr_t answer = slot(suite, 3)();
        message->basic->ReleaseSuite(kActionControlSuiteName, 4);
        message->basic->AcquireSuite(kScriptingSuiteName, 3, &suite);
        slot(suite, 0)();
        message->basic->ReleaseSuite(kScriptingSuiteName, 3);
        message->basic->Undefined();
        return static_cast<SPErr>(answer);
    };
    EXPECT_EQ(kHostUnimplemented, Call("Startup"));
    EXPECT_EQ(3, mHost.FailureCount());
    EXPECT_TRUE(HasLine("unexpected call: action control slot 3 during Startup (fake.8li)"));
    EXPECT_TRUE(HasLine("unexpected call: JavaScript scripting slot 0 during Startup (fake.8li)"));
    EXPECT_TRUE(HasLine("unexpected call: SP basic slot 6 during Startup (fake.8li)"));
    EXPECT_TRUE(mHost.Notifications().empty());

    // Slots appended by later versions are stubs as well, up to the end of the table.
    const void* suite = nullptr;
    ASSERT_EQ(0, mHost.BasicSuite()->AcquireSuite(kActionReferenceSuiteName, 2, &suite));
    slot(suite, 18)();
    slot(suite, kSuiteTableSlots - 1)();
    EXPECT_TRUE(HasLine("unexpected call: action reference slot 18"));
    EXPECT_TRUE(HasLine("unexpected call: action reference slot " + std::to_string(kSuiteTableSlots - 1)));
    EXPECT_EQ(5, mHost.FailureCount());
    mHost.BasicSuite()->ReleaseSuite(kActionReferenceSuiteName, 2);
}

TEST_F(PhotoshopHostTest, KeepsTheGlobalsSlotAndTheBlocksBetweenCalls)
{
    sBehaviour = [](const std::string& selector, SPMessageData* message)
    {
        const void* suite = nullptr;
        message->basic->AcquireSuite(kBlocksSuiteName, 2, &suite);
        auto* blocks = static_cast<const BlocksTable*>(suite);
        SPErr result = kHostNoError;
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
        message->basic->ReleaseSuite(kBlocksSuiteName, 2);
        return result;
    };
    EXPECT_EQ(0, Call("Startup"));
    void* globals = mPlugin->mGlobals;
    ASSERT_NE(nullptr, globals);
    EXPECT_EQ(0, Call("About"));
    EXPECT_EQ(globals, mPlugin->mGlobals);
    EXPECT_EQ(kHostBadParameter, Call("Shutdown"));
    EXPECT_EQ(nullptr, mPlugin->mGlobals);
    EXPECT_EQ(1, mHost.FailureCount());
    EXPECT_TRUE(HasLine("AllocateBlock 16 \"globals\" -> 0"));
    EXPECT_TRUE(HasLine("FreeBlock 16 \"globals\" -> 0"));
    EXPECT_TRUE(HasLine("return fake.8li \"SP Interface\"/\"Shutdown\" -> 'Parm'"));
}

TEST_F(PhotoshopHostTest, RecordsNotificationsPerPluginInOrder)
{
    const ActionControlTable* control = Control(mHost.BasicSuite());
    const PIEventNotifier proc = [](DescriptorEventID, PIActionDescriptor, std::int32_t, void*) {};
    SPPluginRef self = &mPlugin->mReference;
    for (const DescriptorEventID event : {FourCharCode("Mk  "), FourCharCode("Cls "), FourCharCode("save")})
    {
        EXPECT_EQ(0, control->AddNotify(self, event, proc, nullptr)) << FormatCode(event);
    }
    EXPECT_EQ(0, control->RemoveNotify(self, FourCharCode("Opn "))); // never added
    EXPECT_EQ(0, control->RemoveNotify(self, FourCharCode("Cls ")));
    EXPECT_EQ(kActionParamError, control->AddNotify(nullptr, FourCharCode("Mk  "), proc, nullptr));

    std::vector<DescriptorEventID> registered;
    for (const NotificationRecord& record : mHost.Notifications())
    {
        EXPECT_EQ(mPlugin, record.mPlugin);
        registered.push_back(record.mEvent);
    }
    EXPECT_EQ((std::vector<DescriptorEventID>{FourCharCode("Mk  "), FourCharCode("save")}), registered);
    ASSERT_EQ(2u, mHost.RemovedNotifications().size());
    EXPECT_FALSE(mHost.RemovedNotifications()[0].mWasRegistered);
    EXPECT_TRUE(mHost.RemovedNotifications()[1].mWasRegistered);
    EXPECT_TRUE(HasLine("AddNotify 'Mk  ' fake.8li"));
    EXPECT_TRUE(HasLine("RemoveNotify 'Opn ' fake.8li (not registered)"));
    EXPECT_EQ(1, mHost.FailureCount()); // the unknown plug-in reference
    mHost.BasicSuite()->ReleaseSuite(kActionControlSuiteName, 2);
}

TEST_F(PhotoshopHostTest, StringIDsAndPlays)
{
    const ActionControlTable* control = Control(mHost.BasicSuite(), 3);
    DescriptorTypeID id = 0;
    EXPECT_EQ(0, control->StringIDToTypeID("Dcmn", &id));
    EXPECT_EQ(FourCharCode("Dcmn"), id);
    EXPECT_EQ(0, control->StringIDToTypeID("document", &id));
    EXPECT_EQ(FourCharCode("Dcmn"), id);
    EXPECT_EQ(0, control->StringIDToTypeID("updateLayouts", &id));
    EXPECT_EQ(0u, id & 0xFF000000u); // never a four-character code
    DescriptorTypeID again = 0;
    EXPECT_EQ(0, control->StringIDToTypeID("updateLayouts", &again));
    EXPECT_EQ(id, again);
    EXPECT_EQ(id, StringIDTable().ToTypeID("updateLayouts")); // the same in another run

    PIActionDescriptor result = nullptr;
    EXPECT_EQ(0, control->Play(&result, id, nullptr, kDialogSilent));
    ASSERT_NE(nullptr, result);
    ActionDescriptorSuite()->Free(result);
    EXPECT_EQ(kActionEventNotHandled, control->Play(&result, FourCharCode("Opn "), nullptr, kDialogSilent));
    EXPECT_EQ(nullptr, result);
    EXPECT_TRUE(HasLine("Play updateLayouts options=2 -> 0"));
    EXPECT_TRUE(HasLine("Play 'Opn ' options=2 -> -1708"));
    mHost.BasicSuite()->ReleaseSuite(kActionControlSuiteName, 3);
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
    const PIEventNotifier proc =
        [](DescriptorEventID event, PIActionDescriptor descriptor, std::int32_t, void*)
    {
        Seen seen{event, 0, sHost->CurrentCallDescription()};
        ActionDescriptorSuite()->GetInteger(descriptor, FourCharCode("DocI"), &seen.mID);
        sSeen.push_back(seen);
        // Leaks the blocks suite once, on 'Cls ', and frees the host's descriptor on 'save'.
        const void* suite = nullptr;
        if (event == FourCharCode("Cls "))
        {
            sHost->BasicSuite()->AcquireSuite(kBlocksSuiteName, 2, &suite);
        }
        if (event == FourCharCode("save"))
        {
            ActionDescriptorSuite()->Free(descriptor);
        }
    };
    const ActionControlTable* control = Control(mHost.BasicSuite());
    SPPluginRef self = &mPlugin->mReference;
    for (const char* event : {"Mk  ", "Cls ", "save"})
    {
        std::uint32_t code = 0;
        ParseCode(event, code);
        control->AddNotify(self, code, proc, nullptr);
    }
    mHost.BasicSuite()->ReleaseSuite(kActionControlSuiteName, 2);

    ActionDescriptorData data;
    data.Put(FourCharCode("DocI"), ActionValue::Integer(1001));
    EXPECT_EQ(1, mHost.Notify(FourCharCode("Mk  "), data));
    EXPECT_EQ(0, mHost.Notify(FourCharCode("Opn "), data));
    EXPECT_EQ(0, mHost.FailureCount());
    EXPECT_EQ(1, mHost.Notify(FourCharCode("Cls "), data));
    EXPECT_EQ(1, mHost.FailureCount());
    EXPECT_TRUE(
        HasLine("LEAK suite \"SP Blocks Suite\" v2: acquired 1, released 0 during notification 'Cls ' "
                "(fake.8li)"));
    EXPECT_EQ(1, mHost.Notify(FourCharCode("save"), data));
    EXPECT_EQ(2, mHost.FailureCount());
    EXPECT_TRUE(
        HasLine("MISUSE fake.8li freed the descriptor of notification 'save', which belongs to the host"));
    EXPECT_TRUE(HasLine("notify 'Mk  ' fake.8li {'DocI': long 1001}"));

    ASSERT_EQ(3u, sSeen.size());
    EXPECT_EQ(FourCharCode("Mk  "), sSeen[0].mEvent);
    EXPECT_EQ(1001, sSeen[0].mID);
    EXPECT_EQ("notification 'Mk  ' (fake.8li)", sSeen[0].mCall);
    EXPECT_EQ("", mHost.CurrentCallDescription());
    EXPECT_EQ(0u, ActionObjects::CountLive().mDescriptors);
    mHost.BasicSuite()->ReleaseSuite(kBlocksSuiteName, 2);
}

TEST_F(PhotoshopHostTest, InjectedPlayFailuresAndPlayCounts)
{
    const ActionControlTable* control = Control(mHost.BasicSuite());
    const DescriptorEventID update = mHost.StringIDs().ToTypeID("updateLayouts");
    const DescriptorEventID replace = mHost.StringIDs().ToTypeID("replaceSubstitutes");
    mHost.FailNextPlays(2, -128);
    PIActionDescriptor result = nullptr;
    EXPECT_EQ(-128, control->Play(&result, update, nullptr, kDialogSilent));
    EXPECT_EQ(nullptr, result);
    EXPECT_EQ(-128, control->Play(nullptr, FourCharCode("Opn "), nullptr, kDialogSilent));
    EXPECT_EQ(0, control->Play(nullptr, replace, nullptr, kDialogSilent));
    EXPECT_EQ(0, control->Play(nullptr, update, nullptr, kDialogSilent));
    EXPECT_EQ(2, mHost.PlayCount(update));
    EXPECT_EQ(1, mHost.PlayCount(replace));
    EXPECT_EQ(1, mHost.PlayCount(FourCharCode("Opn ")));
    EXPECT_TRUE(HasLine("Play updateLayouts options=2 -> -128 (injected failure)"));
    EXPECT_TRUE(HasLine("Play 'Opn ' options=2 -> -128 (injected failure)"));
    mHost.BasicSuite()->ReleaseSuite(kActionControlSuiteName, 2);
}

TEST_F(PhotoshopHostTest, ScriptsAreRecordedAndHandedOn)
{
    std::vector<std::string> scripts;
    mHost.SetScriptHandler([&](const std::string& script) { scripts.push_back(script); });
    const void* suite = nullptr;
    ASSERT_EQ(0, mHost.BasicSuite()->AcquireSuite(kScriptingSuiteName, 3, &suite));
    const auto* scripting = static_cast<const ScriptingTable*>(suite);
    JSEngineRef engine = nullptr;
    ASSERT_EQ(0, scripting->CreateEngine(&engine));
    const std::u16string script = u"var d = app.activeDocument;\n\u00e9";
    const ASUnicode* result = nullptr;
    EXPECT_EQ(
        0, scripting->ExecuteScript(engine, reinterpret_cast<const ASUnicode*>(script.c_str()), 1, &result));
    ASSERT_NE(nullptr, result);
    EXPECT_EQ(0, result[0]);
    EXPECT_EQ(1u, mHost.LiveScriptEngines());
    EXPECT_EQ(0, scripting->DeleteEngine(engine));
    EXPECT_EQ(kScriptBadEngine, scripting->DeleteEngine(engine));
    EXPECT_EQ(kScriptBadEngine,
              scripting->ExecuteScript(engine, reinterpret_cast<const ASUnicode*>(u"x"), 1, &result));
    EXPECT_EQ(kHostBadParameter, scripting->CreateEngine(nullptr));
    EXPECT_EQ(2, mHost.FailureCount());
    EXPECT_EQ(0u, mHost.LiveScriptEngines());
    EXPECT_EQ((std::vector<std::string>{"var d = app.activeDocument;\n\xC3\xA9"}), scripts);
    EXPECT_TRUE(HasLine("ExtendScript: var d = app.activeDocument;\\n\xC3\xA9"));
    mHost.BasicSuite()->ReleaseSuite(kScriptingSuiteName, 3);
}
