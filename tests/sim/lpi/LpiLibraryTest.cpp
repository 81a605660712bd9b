// The interface library on its own: what it answers with no core to talk to, its local entry
// points, and the builds the loader tests use (versions, a missing export).

#include "LumorandPluginInterface.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

namespace
{
constexpr std::uint32_t kInvalidParam = 0x04000000;    // CoreErrorCodes::kInvalidParam
constexpr std::uint32_t kIndexOutOfRange = 0x0C000000; // CoreErrorCodes::kIndexOutOfRange

std::wstring Wide(const std::string& text)
{
    return PathFromUTF8(text).wstring();
}

struct GLibrary
{
#define LPI_TABLE_MEMBER(name, type) type name = nullptr;
    LPI_ENTRY_POINTS(LPI_TABLE_MEMBER)
#undef LPI_TABLE_MEMBER
    HMODULE module = nullptr;
    std::vector<std::string> missing;

    explicit GLibrary(const std::string& path) : module(LoadLibraryW(Wide(path).c_str()))
    {
#define LPI_RESOLVE(name, type)                                                                              \
    name = module != nullptr                                                                                 \
               ? reinterpret_cast<type>(reinterpret_cast<void*>(GetProcAddress(module, #name)))              \
               : nullptr;                                                                                    \
    if (name == nullptr)                                                                                     \
    {                                                                                                        \
        missing.push_back(#name);                                                                            \
    }
        LPI_ENTRY_POINTS(LPI_RESOLVE)
#undef LPI_RESOLVE
    }
};

GLibrary& Library()
{
    static GLibrary* sLibrary = new GLibrary(std::string(LPI_BIN_DIR) + "/LumorandPluginInterfaceX64.dll");
    return *sLibrary;
}

// The PrivateBuild value of a file's version resource; "(none)" without a version resource.
std::string PrivateBuild(const std::string& path)
{
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(Wide(path).c_str(), &handle);
    if (size == 0)
    {
        return "(none)";
    }
    std::vector<char> data(size);
    wchar_t* value = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoW(Wide(path).c_str(), 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\StringFileInfo\\040904b0\\PrivateBuild",
                        reinterpret_cast<void**>(&value), &length))
    {
        return "(no PrivateBuild)";
    }
    std::string text;
    for (UINT i = 0; i < length && value[i] != 0; ++i)
    {
        text.push_back(static_cast<char>(value[i]));
    }
    return text;
}
} // namespace

TEST(LpiLibraryTest, WithoutACoreEveryCallAnswersServiceUnavailable)
{
    GLibrary& lpi = Library();
    ASSERT_TRUE(lpi.missing.empty());
    std::uint32_t running = 1;
    ASSERT_EQ(lpi.GetIsCoreAgentProcessRunning(lpi.GetPluginFacadeInstance(), &running), 0u);
    ASSERT_EQ(running, 0u) << "a core is running in this session";

    const auto start = std::chrono::steady_clock::now();
    LPIFacade facade = lpi.GetPluginFacadeInstance();
    ASSERT_NE(facade, nullptr);
    const std::uint32_t ids[2] = {1001, 1002};
    std::uint32_t out[2] = {};
    std::uint32_t count = 0;
    CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    CFMutableDictionaryRef font = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFMutableDictionaryRef record = nullptr;
    std::int32_t status = 0;
    const std::int32_t all = 0;
    EXPECT_EQ(lpi.InitAppInstance(facade, 2, 0), kLPIServiceUnavailable);
    EXPECT_EQ(lpi.InitThreadInstance(facade), kLPIServiceUnavailable);
    EXPECT_EQ(lpi.GetIsLoggedIn(facade, out), kLPIServiceUnavailable);
    EXPECT_EQ(lpi.ActivateFonts(facade, 2, ids, 0, 1, 1, 1, 2, 2, out, nullptr, &count, nullptr),
              kLPIServiceUnavailable);
    EXPECT_EQ(lpi.ActivateDocumentFontsByPath(facade, "C:\\a.psd", array, 0, 0, 1, 0, 0, array, array),
              kLPIServiceUnavailable);
    EXPECT_EQ(lpi.GetFontInfoByID(facade, &all, 1, font, &status, &record), kLPIServiceUnavailable);
    EXPECT_EQ(record, nullptr);
    // What this client holds is known without the core: nothing yet.
    out[0] = out[1] = 7;
    EXPECT_EQ(lpi.GetClientFontActivationStates(2, ids, out), 0u);
    EXPECT_EQ(out[0], 0u);
    EXPECT_EQ(out[1], 0u);
    EXPECT_EQ(lpi.FindFontsInSameFamilyForActivation(font, &all, 1, array), kLPIServiceUnavailable);
    EXPECT_EQ(lpi.RegisterForNotifications(facade, [](std::uint32_t, const void*) {}),
              kLPIServiceUnavailable);
    EXPECT_EQ(lpi.CanAccessGoogleFonts(facade), 0u);
    EXPECT_EQ(lpi.ResetPluginFacadeInstance(), 0u);
    EXPECT_EQ(lpi.DeactivateFonts(lpi.GetPluginFacadeInstance(), 2, ids, 0), kLPIServiceUnavailable);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5))
        << "nothing waits for the core";
    EXPECT_EQ(CFArrayGetCount(array), 0);

    int notTheFacade = 0;
    EXPECT_EQ(lpi.GetIsLoggedIn(&notTheFacade, out), kInvalidParam);
    CFRelease(array);
    CFRelease(font);
}

TEST(LpiLibraryTest, ColumnIdentifiersAndFoldersAnswerHere)
{
    GLibrary& lpi = Library();
    char buffer[256];
    for (LPI_ColumnIDProc getter :
         {lpi.GetActivationStateColumnID, lpi.GetCanActivateAcrossWorkgroupsColumnID,
          lpi.GetExportFontsColumnID, lpi.GetFamilyGroupIDColumnID, lpi.GetFontFaceIDColumnID,
          lpi.GetWorkgroupTypeColumnID})
    {
        ASSERT_EQ(getter(buffer, sizeof(buffer)), 0u);
        EXPECT_GT(std::strlen(buffer), 0u);
    }
    ASSERT_EQ(lpi.GetExportFontsColumnID(buffer, 4), kIndexOutOfRange);
    EXPECT_EQ(std::strlen(buffer), 3u) << "cut to fit, terminated";
    EXPECT_EQ(lpi.GetExportFontsColumnID(buffer, 0), kInvalidParam);

    ScratchFolder scratch("lpi folders");
    const std::string deep = scratch.Child("a b") + "\\c\\d";
    EXPECT_EQ(lpi.OSDoesDirectoryExist(deep.c_str()), 0u);
    EXPECT_NE(lpi.OSCreateDirectory(deep.c_str(), 0), 0u) << "intermediate folders are missing";
    ASSERT_EQ(lpi.OSCreateDirectory(deep.c_str(), 1), 0u);
    EXPECT_EQ(lpi.OSDoesDirectoryExist(deep.c_str()), 1u);
    EXPECT_EQ(lpi.OSCreateDirectory(deep.c_str(), 1), 0u) << "an existing folder is fine";
    EXPECT_EQ(lpi.OSDoesDirectoryExist(scratch.WriteFile("file", "x").c_str()), 0u);
    EXPECT_EQ(lpi.OSDoesDirectoryExist(nullptr), 0u);
}

TEST(LpiLibraryTest, BuildsForTheLoaderTests)
{
    const std::string variants = LPI_VARIANTS_DIR;
    EXPECT_EQ(PrivateBuild(std::string(LPI_BIN_DIR) + "/LumorandPluginInterfaceX64.dll"), "1.0.0.42");
    EXPECT_EQ(PrivateBuild(variants + "/old-version/LumorandPluginInterfaceX64.dll"), "0.9.8.3");
    EXPECT_EQ(PrivateBuild(variants + "/no-version/LumorandPluginInterfaceX64.dll"), "(none)");
    EXPECT_EQ(PrivateBuild(variants + "/missing-export/LumorandPluginInterfaceX64.dll"), "1.0.0.42");

    GLibrary missingExport(variants + "/missing-export/LumorandPluginInterfaceX64.dll");
    ASSERT_NE(missingExport.module, nullptr);
    EXPECT_NE(missingExport.module, Library().module);
    EXPECT_EQ(missingExport.missing, std::vector<std::string>{"TrackFontPanelClick"});
    GLibrary noVersion(variants + "/no-version/LumorandPluginInterfaceX64.dll");
    EXPECT_TRUE(noVersion.missing.empty());
}
