#include "GFileSystem.h"
#include "GStringEncodings.h"
#include "LogCapture.h"
#include "LumorandFileUtils.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

namespace
{
// The normalised form and the verdict of OSIsValidFullPath.
std::pair<std::string, bool> Validate(std::string path)
{
    const bool valid = GFileSystem::OSIsValidFullPath(path);
    return {path, valid};
}

void SetModificationTime(const std::string& path, TSInt64 secondsSince1970)
{
    const auto time = std::chrono::sys_seconds(std::chrono::seconds(secondsSince1970));
    std::filesystem::last_write_time(PathFromUTF8(path), std::chrono::file_clock::from_sys(time));
}

using Normalised = std::pair<std::string, bool>;
} // namespace

#ifdef _WIN32
TEST(FileSystemTest, FullPathsAreNormalisedDrivePathsOrUNCPaths)
{
    EXPECT_EQ(Validate("C:/dir//sub/file.psd"), Normalised("C:\\dir\\sub\\file.psd", true));
    EXPECT_EQ(Validate("C:\\dir\\"), Normalised("C:\\dir\\", true)); // a trailing separator stays
    EXPECT_EQ(Validate("C:"), Normalised("C:\\", true));             // a bare drive gains one
    EXPECT_EQ(Validate("c:\\"), Normalised("c:\\", true));
    EXPECT_EQ(Validate("//server/share//dir/file.psd"), Normalised("\\\\server\\share\\dir\\file.psd", true));
    EXPECT_EQ(Validate("\\\\server\\share\\"), Normalised("\\\\server\\share\\", true));
    EXPECT_EQ(Validate("\\dir\\file.psd"), Normalised("dir\\file.psd", false));
    EXPECT_EQ(Validate("dir/file.psd"), Normalised("dir\\file.psd", false));
    EXPECT_EQ(Validate("file.psd"), Normalised("file.psd\\", false));
    EXPECT_EQ(Validate(""), Normalised("", false));
}

TEST(FileSystemTest, LongPathFormsPrefixDriveAndUNCPaths)
{
    EXPECT_EQ(GFileSystem::OSMakeLongPathForm("C:\\dir\\file.psd"), L"\\\\?\\C:\\dir\\file.psd");
    EXPECT_EQ(GFileSystem::OSMakeLongPathForm("\\\\server\\share\\file.psd"),
              L"\\\\?\\UNC\\server\\share\\file.psd");
    EXPECT_EQ(GFileSystem::OSMakeLongPathForm("\\\\?\\C:\\x"), L"\\\\?\\C:\\x");
    EXPECT_EQ(GFileSystem::OSMakeLongPathForm("C:\\\xD0\xB6.psd"), L"\\\\?\\C:\\\x0436.psd");
}

TEST(FileSystemTest, PathConversionsFitTheBufferOrLeaveItEmpty)
{
    wchar_t buffer[8];
    EXPECT_TRUE(OSConvertUTF8PathToUTF16("C:\\\xD0\xB6", buffer, 8));
    EXPECT_EQ(std::wstring(buffer), L"C:\\\x0436");
    EXPECT_TRUE(OSConvertANSIPathToUTF16("C:\\abcd", buffer, 8)); // 7 characters and the terminator
    EXPECT_EQ(std::wstring(buffer), L"C:\\abcd");
    EXPECT_FALSE(OSConvertANSIPathToUTF16("C:\\abcde", buffer, 8));
    EXPECT_EQ(buffer[0], L'\0');
    EXPECT_FALSE(OSConvertUTF8PathToUTF16(nullptr, buffer, 8));
    EXPECT_EQ(buffer[0], L'\0');
}
#else
TEST(FileSystemTest, FullPathsAreNormalisedAbsolutePaths)
{
    EXPECT_EQ(Validate("/home//user/file.psd"), Normalised("/home/user/file.psd", true));
    EXPECT_EQ(Validate("//tmp/dir/"), Normalised("/tmp/dir/", true));
    EXPECT_EQ(Validate("/"), Normalised("/", true));
    EXPECT_EQ(Validate("dir/file.psd"), Normalised("dir/file.psd", false));
    EXPECT_EQ(Validate(""), Normalised("", false));
}

TEST(FileSystemTest, HomeIsExpanded)
{
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/')
    {
        GTEST_SKIP() << "no HOME";
    }
    EXPECT_EQ(GFileSystemSpec("~/Documents/a.psd").GetPath(), std::string(home) + "/Documents/a.psd");
}
#endif

TEST(FileSystemTest, SpecsKeepOnlyValidFullPaths)
{
    ScratchFolder folder("spec");
    const std::string full = folder.Child("doc.v2.psd");
    GFileSystemSpec spec(full);
    EXPECT_EQ(spec.GetPath(), full);
    EXPECT_EQ(spec.GetFileName(), "doc.v2.psd");
    EXPECT_EQ(spec.GetExtension(), "psd");
    EXPECT_EQ(GFileSystemSpec(folder.Child("noextension")).GetExtension(), "");

    LogCapture capture;
    EXPECT_EQ(spec.SetPath("relative/doc.psd"), CoreErrorCodes::kInvalidParam);
    EXPECT_EQ(spec.GetPath(), full); // the old value stays
    const auto lines =
        capture.LinesContaining("Expression='!(strCopy.empty() || GFileSystem::OSIsValidFullPath(strCopy))'");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("\t[FileSystem]\t[Error]\tError='CoreErrorCodes::kInvalidParam'"),
              std::string::npos);
    EXPECT_TRUE(GFileSystemSpec("relative.psd").IsEmpty());
    EXPECT_EQ(spec.SetPath(""), CoreErrorCodes::kSuccess);
    EXPECT_TRUE(spec.IsEmpty());

    GFileSystemSpec current;
    EXPECT_EQ(current.SetToCurrentDirectory(), CoreErrorCodes::kSuccess);
    EXPECT_EQ(PathFromUTF8(current.GetPath()), std::filesystem::current_path());
}

TEST(FileSystemTest, SizesAndExistenceComeFromTheSystem)
{
    ScratchFolder folder("size");
    const GFileSystemSpec file(folder.WriteFile("twelve.bin", "0123456789AB"));
    const GFileSystemSpec empty(folder.WriteFile("empty.bin", ""));
    const GFileSystemSpec missing(folder.Child("missing.bin"));
    const GFileSystemSpec directory(UTF8FromPath(folder.Path()));

    EXPECT_TRUE(GFileSystem::OSDoesFileExist(file));
    EXPECT_FALSE(GFileSystem::OSDoesFileExist(missing));
    EXPECT_FALSE(GFileSystem::OSDoesFileExist(directory));
    EXPECT_FALSE(GFileSystem::OSDoesFileExist(GFileSystemSpec()));

    TUInt64 size = 0;
    EXPECT_EQ(GFileSystem::OSGetFileSize(file, size), CoreErrorCodes::kSuccess);
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(GFileSystem::OSGetFileSize(empty, size), CoreErrorCodes::kSuccess);
    EXPECT_EQ(size, 0u);

    LogCapture capture;
    EXPECT_EQ(GFileSystem::OSGetFileSize(missing, size), GFileSystem::kFileNotFound);
    EXPECT_EQ(GFileSystem::OSGetFileSize(directory, size), GFileSystem::kFileNotFound);
    EXPECT_EQ(capture.Count("Expression='!OSDoesFileExist( fsFile )'  Code='16781317'"), 2u);
}

TEST(FileSystemTest, ModificationDatesAreSecondsSince1970)
{
    ScratchFolder folder("mtime");
    const std::string plain = folder.WriteFile("plain.psd", "x");
    // Cyrillic and CJK letters: valid UTF-8, but not text of a Western ANSI code page.
    const std::string unicode = folder.WriteFile("\xD0\xB6\xE5\xAD\x97.psd", "y");
    SetModificationTime(plain, 1600000000);
    SetModificationTime(unicode, 1234567890);

    EXPECT_EQ(LumorandFileUtils::GetFileModificationDate(plain.c_str()), 1600000000);
    EXPECT_EQ(LumorandFileUtils::GetFileModificationDate(unicode.c_str()), 1234567890);
    EXPECT_EQ(LumorandFileUtils::GetFileModificationDate(folder.Child("missing.psd").c_str()), 0);
    EXPECT_EQ(LumorandFileUtils::GetFileModificationDate(nullptr), 0);

#ifdef _WIN32
    // The Unicode name really needs the second conversion: read in the ANSI code page, its bytes
    // name another file.
    std::vector<wchar_t> ansi(4 * unicode.size() + 1);
    std::vector<wchar_t> utf8(4 * unicode.size() + 1);
    ASSERT_TRUE(OSConvertUTF8PathToUTF16(unicode.c_str(), utf8.data(), utf8.size()));
    if (OSConvertANSIPathToUTF16(unicode.c_str(), ansi.data(), ansi.size()))
    {
        EXPECT_NE(std::wstring(ansi.data()), std::wstring(utf8.data())) << "ANSI code page " << GetACP();
    }
#endif
}
