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
        {kSPBlocksSuite, 2},          {kPSActionControlSuite, 3}, {kPSActionDescriptorSuite, 1},
        {kPSActionReferenceSuite, 3}, {kPSActionListSuite, 1},    {kPSHandleSuite, 1},
        {kPSHandleSuite, 2},
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
