#include "LPILoader.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{
int sDistinctAddress = 0;

// A lookup that knows every entry point but the named one.
std::function<void*(const char*)> LookupWithout(const char* missing)
{
    return [missing](const char* name) -> void*
    { return missing != nullptr && std::strcmp(name, missing) == 0 ? nullptr : &sDistinctAddress; };
}

void* FakeHandle()
{
    return &sDistinctAddress;
}
} // namespace

TEST(LoaderTableTest, ANewLoaderHasNoLibrary)
{
    LogCapture log;
    LPILoader loader;
    EXPECT_EQ(log.Count("ERROR:  this->pf"), 0u);
    std::string path = "x";
    std::string version = "y";
    TSInt32 missing = 0;
    EXPECT_FALSE(loader.IsLoaded(&path, &version, &missing));
    EXPECT_EQ(missing, 86);
    EXPECT_EQ(path, "");
    EXPECT_EQ(version, "");
    EXPECT_EQ(log.Count("LPILoader::IsLoaded() returning false because all 86 functions are missing."), 1u);
    EXPECT_EQ(loader.pfActivateFonts, nullptr);
    EXPECT_EQ(loader.pfWriteFontUsage, nullptr);

    EXPECT_FALSE(loader.IsLoaded(nullptr, &version, &missing));
    EXPECT_EQ(log.Count("LPILoader::IsLoaded() returning false because it was called incorrectly."), 1u);

    // Resolving without a handle changes nothing.
    loader.ResolveTable(nullptr, LookupWithout(nullptr));
    EXPECT_EQ(loader.GetMissingCount(), 86);
}

TEST(LoaderTableTest, ResolutionCountsMissingEntryPoints)
{
    LogCapture log;
    LPILoader complete;
    complete.ResolveTable(FakeHandle(), LookupWithout(nullptr));
    std::string path;
    std::string version;
    TSInt32 missing = -1;
    EXPECT_TRUE(complete.IsLoaded(&path, &version, &missing));
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(log.Count("GetProcAddress(0x"), 84u);
    EXPECT_EQ(log.Count("'WriteFontUsage') returned 0x"), 1u);
    EXPECT_EQ(complete.CheckConsistency(LPILoader::ECheckMode::kReportUnsetEntries), 0);
    // The check stops at pfTrackFontPanelClick, the 78th entry.
    EXPECT_EQ(complete.CheckConsistency(LPILoader::ECheckMode::kReportSetEntries), 78);
    EXPECT_EQ(log.Count("ERROR:  this->pfActivateFonts is not NULL."), 1u);
    EXPECT_EQ(log.Count("ERROR:  this->pfCanAccessGoogleFonts is not NULL."), 0u);

    log.Clear();
    LPILoader lacksOne;
    lacksOne.ResolveTable(FakeHandle(), LookupWithout("GetFontConflicts"));
    EXPECT_FALSE(lacksOne.IsLoaded(&path, &version, &missing));
    EXPECT_EQ(missing, 1);
    EXPECT_EQ(lacksOne.pfGetFontConflicts, nullptr);
    EXPECT_NE(lacksOne.pfTrackFontPanelClick, nullptr);
    EXPECT_EQ(log.Count("LPILoader::IsLoaded() returning false because of one or more null inputs."), 1u);
    EXPECT_EQ(lacksOne.CheckConsistency(LPILoader::ECheckMode::kReportUnsetEntries), 1);
    EXPECT_EQ(log.Count("ERROR:  this->pfGetFontConflicts is NULL."), 1u);
}
