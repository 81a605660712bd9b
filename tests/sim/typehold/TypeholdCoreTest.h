#pragma once
// The fixture of the tests that drive a core through the interface library: a configuration
// folder of the test's own, a core started per test (and ended with it), and the library's calls
// as the plug-in makes them.

#include "TypeholdTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class GTypeholdCoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mLibrary = &GCoreLayout::Shared().library;
        ASSERT_NE(mLibrary->module, nullptr) << "the interface library did not load from the core's folder";
        ASSERT_EQ(mLibrary->missing, 0);
        mConfig =
            std::make_unique<ScratchFolder>(std::string("typehold config ") +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        mCore = std::make_unique<GCoreProcess>(ConfigFolder());
        GNotificationRecorder::Shared().Clear();
    }

    void TearDown() override
    {
        if (mLibrary != nullptr && mLibrary->module != nullptr)
        {
            mLibrary->UnregisterForNotifications(mLibrary->GetPluginFacadeInstance(),
                                                 GNotificationRecorder::Callback);
            mLibrary->ResetPluginFacadeInstance();
        }
        mCore.reset();
    }

    std::string ConfigFolder() const { return UTF8FromPath(mConfig->Path()); }
    void WriteConfig(const std::string& json) { mConfig->WriteFile("config.json", json); }

    // Starts the core and connects to it as the plug-in would.
    void StartAndConnect(const std::string& config = ConfigJSON())
    {
        WriteConfig(config);
        ASSERT_TRUE(mCore->Start());
        ASSERT_EQ(mLibrary->InitAppInstance(Facade(), 2, 0), 0u);
        ASSERT_EQ(mLibrary->RegisterForNotifications(Facade(), GNotificationRecorder::Callback), 0u);
    }

    LPIFacade Facade() { return mLibrary->GetPluginFacadeInstance(); }

    std::uint32_t FontID(const char* postScriptName, std::int32_t workgroup = 0)
    {
        std::uint32_t ids[8] = {};
        std::uint32_t count = 0;
        EXPECT_EQ(mLibrary->GetFontsByPostscriptName(Facade(), postScriptName, &workgroup, 1, ids, 8, &count),
                  0u);
        EXPECT_EQ(count, 1u) << postScriptName;
        return ids[0];
    }

    std::vector<std::uint32_t> Activated(const std::vector<std::uint32_t>& ids)
    {
        std::vector<std::uint32_t> yes(ids.size(), 7);
        EXPECT_EQ(mLibrary->GetFontIsActivated(Facade(), static_cast<std::uint32_t>(ids.size()), ids.data(),
                                               yes.data()),
                  0u);
        return yes;
    }

    typehold::GCFHolder<CFMutableDictionaryRef> FontInfo(std::uint32_t id)
    {
        typehold::GCFHolder<CFMutableDictionaryRef> reference(typehold::CreateMutableDictionary());
        typehold::SetInt(reference.Get(), "DatabaseID", id);
        typehold::SetInt(reference.Get(), "WorkgroupID", -2);
        const std::int32_t all = 0;
        std::int32_t status = -1;
        CFMutableDictionaryRef font = nullptr;
        EXPECT_EQ(mLibrary->GetFontInfoByID(Facade(), &all, 1, reference.Get(), &status, &font), 0u);
        return typehold::GCFHolder<CFMutableDictionaryRef>(font);
    }

    // ActivateDocumentFontsByPath with the plug-in's usual arguments.
    LPIResult ActivateDocument(const std::string& path, bool pickBest, bool families,
                               typehold::GCFHolder<CFMutableArrayRef>& matched,
                               typehold::GCFHolder<CFMutableArrayRef>& problems,
                               bool useIdentification = false)
    {
        matched.Reset(typehold::CreateMutableArray());
        problems.Reset(typehold::CreateMutableArray());
        typehold::GCFHolder<CFMutableArrayRef> extra(typehold::CreateMutableArray());
        return mLibrary->ActivateDocumentFontsByPath(Facade(), path.c_str(), extra.Get(), 0, families ? 1 : 0,
                                                     pickBest ? 1 : 0, useIdentification ? 1 : 0, 0,
                                                     matched.Get(), problems.Get());
    }

    std::string SystemFontTable() const { return ReadWholeFile(mConfig->Child("system-font-table.txt")); }
    std::string CoreLog() const { return ReadWholeFile(mConfig->Child("typehold.log")); }

    GLibraryTable* mLibrary = nullptr;
    std::unique_ptr<ScratchFolder> mConfig;
    std::unique_ptr<GCoreProcess> mCore;
};
