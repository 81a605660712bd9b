#include "GErrorReport.h"
#include "GProcessInfo.h"
#include "GStringEncodings.h"

#include <windows.h>

#include <shlobj.h>

#include <string>

namespace
{
constexpr const char* kLogCategory = "Miscellaneous";
} // namespace

TErrorCode GProcessInfo::OSGetCurrentProcessPath(GFileSystemSpec& spec)
{
    wchar_t wzPath[MAX_PATH] = {};
    G_FAIL_IF(0 == GetModuleFileNameW(GetModuleHandle(NULL), wzPath, MAX_PATH), CoreErrorCodes::kError);
    // The flags argument is written as NULL (no flags), as in the check's report.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion-null"
    G_FAIL_IF(!PathResolve(wzPath, NULL, NULL), CoreErrorCodes::kError);
#pragma GCC diagnostic pop
    G_FAIL_IF_ERROR(spec.SetPath(OSMakeUTF8StringFromOSString(wzPath)));
    return CoreErrorCodes::kSuccess;
}

TErrorCode GProcessInfo::GetFileVersionInfoFromPath(const GFileSystemSpec& fsPath, TByteVector& versionBytes)
{
    const std::wstring wstrPath = OSMakeOSStringFromUTF8String(fsPath.GetPath());
    DWORD dwHandle = 0;
    const DWORD dwSize = GetFileVersionInfoSizeW(wstrPath.c_str(), &dwHandle);
    G_FAIL_IF(0 == dwSize, CoreErrorCodes::kError);
    versionBytes.assign(dwSize, 0);
    G_FAIL_IF(!GetFileVersionInfoW(const_cast<LPWSTR>(wstrPath.c_str()), dwHandle, dwSize, &versionBytes[0]),
              CoreErrorCodes::kError);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GProcessInfo::GetCurrentProcessVersion(TUTF8String& version)
{
    GFileSystemSpec fsPath;
    G_FAIL_IF_ERROR(OSGetCurrentProcessPath(fsPath));
    TByteVector vVersionBytes;
    G_FAIL_IF_ERROR(GetFileVersionInfoFromPath(fsPath, vVersionBytes));
    VS_FIXEDFILEINFO* pVersionInfo = nullptr;
    UINT uiLength = 0;
    // The report's expression keeps its original spelling.
    // clang-format off
    G_FAIL_IF(!VerQueryValueA(&vVersionBytes[0], "\\", reinterpret_cast<LPVOID *>(&pVersionInfo), &uiLength), CoreErrorCodes::kError);
    // clang-format on
    const VS_FIXEDFILEINFO* pvsFixedFileInfo = pVersionInfo;
    G_FAIL_IF((pvsFixedFileInfo) == nullptr, CoreErrorCodes::kNullPointer);
    G_FAIL_IF(0 == uiLength, CoreErrorCodes::kError);
    version = std::to_string(HIWORD(pvsFixedFileInfo->dwFileVersionMS)) + "." +
              std::to_string(LOWORD(pvsFixedFileInfo->dwFileVersionMS)) + "." +
              std::to_string(HIWORD(pvsFixedFileInfo->dwFileVersionLS)) + "." +
              std::to_string(LOWORD(pvsFixedFileInfo->dwFileVersionLS));
    return CoreErrorCodes::kSuccess;
}
