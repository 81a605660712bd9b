// Host identification, the host version rule and the service flags.

#include "PortolanGlobals.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace
{
TUTF8String OwnPath()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

class PortolanGlobalsTest : public testing::Test
{
protected:
    void TearDown() override { PortolanGlobals::ResetForTesting(); }
};

TEST(CompareVersionsTest, ComponentsCompareAsNumbers)
{
    EXPECT_EQ(PortolanGlobals::CompareVersions("21.1", "21.0.5"), 1);
    EXPECT_EQ(PortolanGlobals::CompareVersions("21.1", "21.1.0.0"), 0);
    EXPECT_EQ(PortolanGlobals::CompareVersions("21.10", "21.9"), 1);
    EXPECT_EQ(PortolanGlobals::CompareVersions("20.0.9", "21"), -1);
    EXPECT_EQ(PortolanGlobals::CompareVersions("", "0.0"), 0);
    // No validation: a long run of digits neither overflows nor wraps.
    EXPECT_EQ(PortolanGlobals::CompareVersions("99999999999999999999999", "1"), 1);
}

TEST_F(PortolanGlobalsTest, TheHostVersionMustStartWithThePrefixOrReachTheMinimum)
{
    // The test program's own version resource plays the host: 21.0.5.0, minimum 21.1.
    PortolanGlobals::InitializeIdentity(OwnPath().c_str(), "21");
    EXPECT_EQ(PortolanGlobals::GetHostAppVersion(), "21.0.5.0");
    EXPECT_EQ(PortolanGlobals::GetPluginHostApp(), "PhotoshopCC2020");
    EXPECT_EQ(PortolanGlobals::GetHostAppType(), kHostAppPhotoshop);
    EXPECT_EQ(PortolanGlobals::GetHostWindowClassName(), "Photoshop");
    EXPECT_EQ(PortolanGlobals::GetHostAppCode(), "ps");
    EXPECT_TRUE(PortolanGlobals::RunningInCompatibleHostApp());

    PortolanGlobals::InitializeIdentity(OwnPath().c_str(), "2");
    EXPECT_TRUE(PortolanGlobals::RunningInCompatibleHostApp()) << "a plain text prefix";
    PortolanGlobals::InitializeIdentity(OwnPath().c_str(), "20");
    EXPECT_FALSE(PortolanGlobals::RunningInCompatibleHostApp());
    // Without a prefix the minimum 21.1 decides against 21.0.5.
    PortolanGlobals::InitializeIdentity(OwnPath().c_str(), "");
    EXPECT_EQ(PortolanGlobals::GetMinimumHostAppVersion(), "21.1");
    EXPECT_FALSE(PortolanGlobals::RunningInCompatibleHostApp());
}

TEST_F(PortolanGlobalsTest, HostNamesFromTypesAndBundleIdentifiers)
{
    EXPECT_EQ(PortolanGlobals::MapBundleIDtoHostApp("com.lumorand.AutoActivationPlugin.AE170"),
              "AfterEffectsCC2020");
    EXPECT_EQ(PortolanGlobals::MapBundleIDtoHostApp("com.lumorand.AutoActivationPlugin.ae170"), "");
    EXPECT_EQ(PortolanGlobals::MapBundleIDtoHostApp("com.lumorand.AutoActivationPlugin.AE1700"), "");

    PortolanGlobals::SetPluginHostApp("AfterEffectsCC2020");
    EXPECT_EQ(PortolanGlobals::GetHostAppType(), kHostAppAfterEffects);
    EXPECT_TRUE(PortolanGlobals::HostAppIsAfterEffects());
    EXPECT_EQ(PortolanGlobals::GetHostWindowClassName(), "After Effects");
    EXPECT_EQ(PortolanGlobals::GetHostAppCode(), "ae");
    PortolanGlobals::SetPluginHostApp("InCopyCC");
    EXPECT_EQ(PortolanGlobals::GetHostAppCode(), "id");
    PortolanGlobals::SetPluginHostApp("Quark");
    EXPECT_EQ(PortolanGlobals::GetHostWindowClassName(), "???");
    EXPECT_EQ(PortolanGlobals::FindHostMainWindow(), nullptr) << "no search is made for an unknown host";
}

TEST_F(PortolanGlobalsTest, ThePluginIsEnabledOnlyWithAllThreeFlags)
{
    PortolanGlobals::SetPluginServicesEnabled(true);
    PortolanGlobals::SetLoggedIn(true);
    PortolanGlobals::SetWorkgroupAccess(true);
    EXPECT_TRUE(PortolanGlobals::IsPluginEnabled());
    PortolanGlobals::SetWorkgroupAccess(false);
    EXPECT_FALSE(PortolanGlobals::IsPluginEnabled());
    PortolanGlobals::SetWorkgroupAccess(true);
    PortolanGlobals::SetLoggedIn(false);
    EXPECT_FALSE(PortolanGlobals::IsPluginEnabled());
    PortolanGlobals::SetLoggedIn(true);
    PortolanGlobals::SetPluginServicesEnabled(false);
    EXPECT_FALSE(PortolanGlobals::IsPluginEnabled());
    EXPECT_FALSE(PortolanGlobals::IsPluginOperational());
}
} // namespace
