#include "CoreProcessTestSupport.h"
#include "GStringEncodings.h"
#include "LPILoader.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

namespace
{
struct Loaded
{
    bool loaded;
    std::string path;
    std::string version;
    TSInt32 missing;
};

Loaded Load(LPILoader& loader, const std::string& path)
{
    loader.LoadLibraryAt(path);
    Loaded result{false, "", "", -1};
    result.loaded = loader.IsLoaded(&result.path, &result.version, &result.missing);
    return result;
}
} // namespace

TEST(LoaderLibraryTest, ACompleteLibraryLoadsWithItsVersion)
{
    LogCapture log;
    LPILoader loader;
    const std::string path = ProgramFolder() + "fm_stub_lpi.dll";
    const Loaded result = Load(loader, path);
    EXPECT_TRUE(result.loaded);
    EXPECT_EQ(result.missing, 0);
    EXPECT_EQ(result.path, path);
    EXPECT_EQ(result.version, "1.0.0.42");
    EXPECT_EQ(log.Count("SUCCESS: LoadLibraryA('" + path + "') returned 0x"), 1u);
    EXPECT_EQ(log.Count("GetProcAddress(0x"), 84u);
    EXPECT_EQ(log.Count("'ActivateFonts') returned 0x00000000"), 0u);
    ASSERT_NE(loader.pfGetPluginFacadeInstance, nullptr);

    CFStringRef version = loader.VersionStringRef();
    EXPECT_EQ(UTF8StringFromCFString(version), "1.0.0.42");
    CFRelease(version);
    EXPECT_EQ(log.Count("LPILoader::VersionStringRef() returning '1.0.0.42'"), 1u);
}

TEST(LoaderLibraryTest, ALibraryLackingAnEntryPointIsNotLoaded)
{
    LogCapture log;
    LPILoader loader;
    const Loaded result = Load(loader, ProgramFolder() + "fm_stub_lpi_missing.dll");
    EXPECT_FALSE(result.loaded);
    EXPECT_EQ(result.missing, 1);
    EXPECT_EQ(loader.pfTrackFontPanelClick, nullptr);
    EXPECT_NE(loader.pfCanAccessGoogleFonts, nullptr);
    EXPECT_EQ(log.Count("'TrackFontPanelClick') returned 0x00000000"), 1u);
    EXPECT_EQ(log.Count("LPILoader::IsLoaded() returning false because of one or more null inputs."), 1u);
}

TEST(LoaderLibraryTest, ALibraryWithoutPrivateBuildLoadsWithAnEmptyVersion)
{
    LPILoader loader;
    const Loaded result = Load(loader, ProgramFolder() + "fm_stub_lpi_noversion.dll");
    EXPECT_TRUE(result.loaded);
    EXPECT_EQ(result.version, "");
    CFStringRef version = loader.VersionStringRef();
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(CFStringGetLength(version), 0);
    CFRelease(version);
}

TEST(LoaderLibraryTest, AMissingLibraryLeavesTheTableEmpty)
{
    LogCapture log;
    LPILoader loader;
    const std::string path = ProgramFolder() + "no such folder\\LumorandPluginInterfaceX64.dll";
    const Loaded result = Load(loader, path);
    EXPECT_FALSE(result.loaded);
    EXPECT_EQ(result.missing, 86);
    EXPECT_EQ(result.version, "");
    EXPECT_EQ(log.Count("LoadLibraryA('" + path + "') returned error code 0x"), 1u);
    EXPECT_EQ(log.Count("GetFileVersionInfoA('" + path + "', ...) returned error code"), 1u);
    EXPECT_EQ(log.Count("ERROR:  cannot find LumorandPluginInterfaceX64.dll"), 1u);
    EXPECT_EQ(log.Count("GetProcAddress("), 0u);
    EXPECT_EQ(log.Count("LPILoader::IsLoaded() returning false because all 86 functions are missing."), 1u);
}

// Only a full path loads: neither a relative path nor no path at all (a core that could not be
// found) makes the system search the program's folder, the working folder or PATH, although a
// library of the name lies beside this program.
TEST(LoaderLibraryTest, OnlyAFullPathLoads)
{
    LogCapture log;
    LPILoader byName;
    EXPECT_FALSE(Load(byName, "fm_stub_lpi.dll").loaded);
    EXPECT_EQ(byName.GetLibraryHandle(), nullptr);
    EXPECT_EQ(
        log.Count("ERROR:  'fm_stub_lpi.dll' is not a full path; LumorandPluginInterfaceX64.dll is loaded by "
                  "full path only"),
        1u);
    LPILoader withoutPath;
    const Loaded result = Load(withoutPath, "");
    EXPECT_FALSE(result.loaded);
    EXPECT_EQ(result.missing, 86);
    EXPECT_EQ(withoutPath.GetLibraryHandle(), nullptr);
    EXPECT_EQ(log.Count("ERROR:  cannot find LumorandPluginInterfaceX64.dll"), 2u);
    EXPECT_EQ(log.Count("SUCCESS: LoadLibraryA("), 0u);
}
