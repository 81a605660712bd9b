// The suite cache against a host that serves only some suite versions: the lowest served version
// is used, everything acquired is released once, a refused suite raises the host's error.

#include "PhotoshopSuites.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace
{
struct FakeHost
{
    std::set<std::pair<std::string, std::int32_t>> served;
    std::map<std::pair<std::string, std::int32_t>, int> held;
    std::vector<std::pair<std::string, std::int32_t>> asked;
    int releases = 0;
};
FakeHost* sHost = nullptr;

// Tables the fake host hands out; only their addresses matter, except the handle suites.
PSActionDescriptorProcs sDescriptorTable{};
PSActionControlProcs sControlTable{};
PSHandleSuite1 sHandles1{};
PSHandleSuite2 sHandles2{};
int sLockCalls1 = 0;
int sLockCalls2 = 0;

void SetLock1(Handle, PSBoolean, Ptr* address, PSBoolean* oldLock)
{
    ++sLockCalls1;
    *address = nullptr;
    *oldLock = 0;
}
void SetLock2(Handle, PSBoolean, Ptr* address, PSBoolean* oldLock)
{
    ++sLockCalls2;
    *address = nullptr;
    *oldLock = 0;
}

SPErr Acquire(const char* name, std::int32_t version, const void** suite)
{
    const auto key = std::make_pair(std::string(name), version);
    sHost->asked.push_back(key);
    if (sHost->served.count(key) == 0)
    {
        return kSPSuiteNotFoundError;
    }
    ++sHost->held[key];
    if (key.first == kPSActionDescriptorSuite)
    {
        *suite = &sDescriptorTable;
    }
    else if (key.first == kPSActionControlSuite)
    {
        *suite = &sControlTable;
    }
    else if (key.first == kPSHandleSuite)
    {
        *suite = version == 1 ? static_cast<const void*>(&sHandles1) : static_cast<const void*>(&sHandles2);
    }
    else
    {
        *suite = &sControlTable;
    }
    return kSPNoError;
}

SPErr Release(const char* name, std::int32_t version)
{
    --sHost->held[std::make_pair(std::string(name), version)];
    ++sHost->releases;
    return kSPNoError;
}

SPBoolean IsEqual(const char* a, const char* b)
{
    return std::strcmp(a, b) == 0;
}

class PhotoshopSuitesTest : public testing::Test
{
protected:
    void SetUp() override
    {
        sHost = &mHost;
        mBasic.AcquireSuite = Acquire;
        mBasic.ReleaseSuite = Release;
        mBasic.IsEqual = IsEqual;
        PhotoshopSuites::SetBasicSuite(&mBasic, nullptr);
        sHandles1.SetLock = SetLock1;
        sHandles2.SetLock = SetLock2;
        sLockCalls1 = sLockCalls2 = 0;
    }
    void TearDown() override
    {
        PhotoshopSuites::ReleaseAllSuites();
        PhotoshopSuites::SetBasicSuite(nullptr, nullptr);
    }
    void ExpectNothingHeld()
    {
        for (const auto& [key, count] : mHost.held)
        {
            EXPECT_EQ(count, 0) << key.first << " v" << key.second;
        }
    }

    FakeHost mHost;
    SPBasicSuite mBasic{};
};

TEST_F(PhotoshopSuitesTest, TheLowestServedVersionIsAcquiredOnceAndReleasedOnce)
{
    // A host that serves the action control suite from version 3 on (and, unlike Photoshop, a
    // version 1 too): the plug-in asks for 2, then 3, and never for 1.
    mHost.served = {{kPSActionDescriptorSuite, 2},
                    {kPSActionDescriptorSuite, 3},
                    {kPSActionControlSuite, 1},
                    {kPSActionControlSuite, 3}};
    EXPECT_EQ(PhotoshopSuites::ActionDescriptor(), &sDescriptorTable);
    EXPECT_EQ(PhotoshopSuites::ActionDescriptor(), &sDescriptorTable);
    EXPECT_EQ(PhotoshopSuites::ActionControl(), &sControlTable);
    EXPECT_EQ((mHost.held[{kPSActionDescriptorSuite, 2}]), 1);
    EXPECT_EQ((mHost.held[{kPSActionDescriptorSuite, 3}]), 0);
    EXPECT_EQ((mHost.held[{kPSActionControlSuite, 3}]), 1);
    const std::vector<std::pair<std::string, std::int32_t>> asked = {
        {kPSActionDescriptorSuite, 2}, {kPSActionControlSuite, 2}, {kPSActionControlSuite, 3}};
    EXPECT_EQ(mHost.asked, asked);
    EXPECT_EQ(PhotoshopSuites::GetAcquiredSuiteCount(), 2);

    PhotoshopSuites::ReleaseAllSuites();
    ExpectNothingHeld();
    EXPECT_EQ(mHost.releases, 2);
    EXPECT_EQ(PhotoshopSuites::GetAcquiredSuiteCount(), 0);
    PhotoshopSuites::ReleaseAllSuites();
    EXPECT_EQ(mHost.releases, 2);
}

TEST_F(PhotoshopSuitesTest, ARefusedSuiteRaisesTheHostError)
{
    mHost.served = {};
    try
    {
        PhotoshopSuites::ActionReference();
        FAIL() << "no exception";
    }
    catch (std::uint32_t error)
    {
        EXPECT_EQ(static_cast<SPErr>(error), kSPSuiteNotFoundError);
    }
    PhotoshopSuites::SetBasicSuite(nullptr, nullptr);
    try
    {
        PhotoshopSuites::ActionControl();
        FAIL() << "no exception";
    }
    catch (std::uint32_t error)
    {
        EXPECT_EQ(static_cast<SPErr>(error), kSPBadParameterError);
    }
}

TEST_F(PhotoshopSuitesTest, TheHandleSuiteIsCalledThroughTheLayoutOfTheServedVersion)
{
    PSBoolean oldLock = 0;
    mHost.served = {{kPSHandleSuite, 1}};
    PhotoshopSuites::Handles().Lock(nullptr, oldLock);
    EXPECT_EQ(sLockCalls1, 1);
    PhotoshopSuites::ReleaseAllSuites();

    mHost.served = {{kPSHandleSuite, 1}, {kPSHandleSuite, 2}};
    PhotoshopSuites::Handles().Lock(nullptr, oldLock);
    EXPECT_EQ(sLockCalls2, 1);
    EXPECT_EQ(sLockCalls1, 1);
    PhotoshopSuites::ReleaseAllSuites();
    ExpectNothingHeld();
}
} // namespace
