#include "GProcessInfo.h"
#include "LogCapture.h"
#include "LumorandVersionUtils.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

TEST(ProcessInfoTest, CurrentProcessPathNamesTheTestProgram)
{
    GFileSystemSpec spec;
    ASSERT_EQ(GProcessInfo::OSGetCurrentProcessPath(spec), CoreErrorCodes::kSuccess);
    EXPECT_TRUE(GFileSystem::OSDoesFileExist(spec)) << spec.GetPath();
#ifdef _WIN32
    EXPECT_EQ(spec.GetFileName(), "core_tests.exe");
#else
    EXPECT_EQ(spec.GetFileName(), "core_tests");
#endif
}

#ifndef _WIN32
TEST(ProcessInfoTest, VersionResourcesAreNotSupportedNatively)
{
    GFileSystemSpec spec;
    ASSERT_EQ(GProcessInfo::OSGetCurrentProcessPath(spec), CoreErrorCodes::kSuccess);
    TByteVector bytes;
    TUTF8String version;
    EXPECT_EQ(GProcessInfo::GetFileVersionInfoFromPath(spec, bytes), CoreErrorCodes::kNotSupported);
    EXPECT_EQ(GProcessInfo::GetCurrentProcessVersion(version), CoreErrorCodes::kNotSupported);
}
#else
namespace
{
std::string ProgramPath()
{
    GFileSystemSpec spec;
    GProcessInfo::OSGetCurrentProcessPath(spec);
    return spec.GetPath();
}
} // namespace

TEST(ProcessInfoTest, CurrentProcessVersionComesFromItsVersionResource)
{
    TUTF8String version;
    EXPECT_EQ(GProcessInfo::GetCurrentProcessVersion(version), CoreErrorCodes::kSuccess);
    EXPECT_EQ(version, "23.1.0.202");

    TByteVector bytes;
    EXPECT_EQ(GProcessInfo::GetFileVersionInfoFromPath(GFileSystemSpec(ProgramPath()), bytes),
              CoreErrorCodes::kSuccess);
    EXPECT_GT(bytes.size(), 100u);

    ScratchFolder folder("version");
    LogCapture capture;
    EXPECT_EQ(GProcessInfo::GetFileVersionInfoFromPath(
                  GFileSystemSpec(folder.WriteFile("plain.txt", "no resource")), bytes),
              CoreErrorCodes::kError);
    const auto lines = capture.LinesContaining("Expression='0 == dwSize'");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("\t[Miscellaneous]\t[Error]\t"), std::string::npos);
}

TEST(ProcessInfoTest, VersionStringsOfFiles)
{
    const std::string program = ProgramPath();
    wchar_t wide[1024];
    EXPECT_TRUE(LumorandVersionUtils::GetPrivateBuildString(program.c_str(), wide, 1024));
    EXPECT_EQ(std::wstring(wide), L"23.1.0.202-tests (private)");
    EXPECT_TRUE(LumorandVersionUtils::GetPrivateBuildString(program.c_str(), wide, 9)); // cut to fit
    EXPECT_EQ(std::wstring(wide), L"23.1.0.2");

    char narrow[2048];
    EXPECT_TRUE(LumorandVersionUtils::GetFileVersionStringUTF8(
        program, "\\StringFileInfo\\040904b0\\FileVersion", narrow, sizeof narrow));
    EXPECT_EQ(std::string(narrow), "23.1.0.202");
    EXPECT_FALSE(LumorandVersionUtils::GetFileVersionStringUTF8(
        program, "\\StringFileInfo\\040904b0\\FileVersion", narrow, 10)); // does not fit
    EXPECT_FALSE(LumorandVersionUtils::GetFileVersionStringUTF8(
        program, "\\StringFileInfo\\040904b0\\HostAppMinimumVersion", narrow, sizeof narrow));

    ScratchFolder folder("version-strings");
    const std::string plain = folder.WriteFile("plain.txt", "no resource");
    LogCapture capture;
    EXPECT_FALSE(LumorandVersionUtils::GetPrivateBuildString(plain.c_str(), wide, 1024));
    EXPECT_EQ(wide[0], L'\0');
    const auto lines =
        capture.LinesContaining("GetFileVersionInfoA('" + plain + "', ...) returned error code 0x");
    EXPECT_EQ(lines.size(), 1u);
}

TEST(ProcessInfoTest, A64BitProcessHasBitnessOne)
{
    EXPECT_EQ(LumorandVersionUtils::GetProcessBitness(), 1);
}
#endif
