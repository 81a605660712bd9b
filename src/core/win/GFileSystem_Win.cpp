#include "GErrorReport.h"
#include "GFileSystem.h"
#include "GStringEncodings.h"

#include <algorithm>
#include <shlwapi.h>
#include <windows.h>

namespace
{
constexpr const char* kLogCategory = "FileSystem";

TErrorCode GetSizeOfOpenFile(HANDLE hFile, LARGE_INTEGER& size)
{
    G_FAIL_IF(!GetFileSizeEx(hFile, &size), CoreErrorCodes::kError);
    return CoreErrorCodes::kSuccess;
}
} // namespace

std::wstring GFileSystem::OSMakeLongPathForm(const TUTF8String& path)
{
    const std::wstring widePath = OSMakeOSStringFromUTF8String(path);
    if (widePath.rfind(L"\\\\?\\", 0) == 0)
    {
        return widePath;
    }
    if (PathIsUNCW(widePath.c_str()))
    {
        return L"\\\\?\\UNC\\" + widePath.substr(2);
    }
    return L"\\\\?\\" + widePath;
}

bool GFileSystem::OSDoesFileExist(const GFileSystemSpec& spec)
{
    const DWORD attributes = GetFileAttributesW(OSMakeLongPathForm(spec.GetPath()).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

TErrorCode GFileSystem::OSGetFileSize(const GFileSystemSpec& fsFile, TUInt64& fileSize)
{
    // The report's expression is written with its blanks inside the parentheses.
    // clang-format off
    G_FAIL_IF(!OSDoesFileExist( fsFile ), GFileSystem::kFileNotFound);
    // clang-format on
    // The long-path form, so that a path the existence test accepts can also be opened.
    const std::wstring widePath = OSMakeLongPathForm(fsFile.GetPath());
    const HANDLE hFile = CreateFileW(widePath.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, NULL);
    G_FAIL_IF(hFile == INVALID_HANDLE_VALUE, CoreErrorCodes::kError);
    LARGE_INTEGER size{};
    const TErrorCode sizeResult = GetSizeOfOpenFile(hFile, size);
    G_FAIL_IF(!CloseHandle(hFile), CoreErrorCodes::kError);
    if (sizeResult != CoreErrorCodes::kSuccess)
    {
        return sizeResult;
    }
    fileSize = static_cast<TUInt64>(size.QuadPart);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GFileSystem::OSExpandPath(TUTF8String&)
{
    return CoreErrorCodes::kSuccess;
}

bool GFileSystem::OSIsValidFullPath(TUTF8String& path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    const bool uncPrefix = path.rfind("\\\\", 0) == 0;
    path = (uncPrefix ? TUTF8String("\\\\") : TUTF8String()) + JoinPathComponents(path, '\\');
    const std::wstring widePath = OSMakeOSStringFromUTF8String(path);
    if (!path.empty() && PathGetDriveNumberW(widePath.c_str()) != -1 && path.back() != ':')
    {
        return true;
    }
    return PathIsUNCW(widePath.c_str()) != FALSE;
}

TErrorCode GFileSystemSpec::SetToCurrentDirectory()
{
    wchar_t wzPath[MAX_PATH] = {};
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, wzPath);
    G_WIN_FAIL_IF(length == 0, CoreErrorCodes::kError);
    // A longer directory does not fit: the answer is the size it needs.
    G_FAIL_IF(length >= MAX_PATH, CoreErrorCodes::kError);
    G_FAIL_IF_ERROR(SetPath(OSMakeUTF8StringFromOSString(wzPath)));
    return CoreErrorCodes::kSuccess;
}
