#include "LumorandVersionUtils.h"

#include "GLogger.h"
#include "GStringEncodings.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <vector>
#include <windows.h>

namespace
{
constexpr const wchar_t* kPrivateBuildQuery = L"\\StringFileInfo\\040904b0\\PrivateBuild";
// The caller's buffer of the UTF-8 variant: 2048 bytes of wide characters.
constexpr std::size_t kWideValueLength = 1024;

bool QueryVersionValue(const wchar_t* widePath, const char* path, const wchar_t* queryPath, wchar_t* output,
                       std::size_t outputLength)
{
    if (output == nullptr || outputLength == 0)
    {
        return false;
    }
    output[0] = L'\0';
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(widePath, &handle);
    if (size == 0)
    {
        const DWORD error = GetLastError();
        TraceLog(0, "GetFileVersionInfoA('%s', ...) returned error code 0x%08x (%d)", path,
                 static_cast<unsigned>(error), static_cast<int>(error));
        return false;
    }
    std::vector<BYTE> versionInfo(size);
    if (!GetFileVersionInfoW(widePath, handle, size, versionInfo.data()))
    {
        return false;
    }
    LPVOID value = nullptr;
    UINT valueLength = 0;
    if (!VerQueryValueW(versionInfo.data(), queryPath, &value, &valueLength) || value == nullptr)
    {
        return false;
    }
    const auto* text = static_cast<const wchar_t*>(value);
    const std::size_t length = std::min<std::size_t>(wcsnlen(text, valueLength), outputLength - 1);
    std::wmemcpy(output, text, length);
    output[length] = L'\0';
    return true;
}
} // namespace

bool LumorandVersionUtils::GetFileVersionString(const char* path, const wchar_t* queryPath, wchar_t* output,
                                                std::size_t outputLength)
{
    wchar_t widePath[MAX_PATH];
    if (!OSConvertANSIPathToUTF16(path, widePath, MAX_PATH))
    {
        return false;
    }
    return QueryVersionValue(widePath, path, queryPath, output, outputLength);
}

bool LumorandVersionUtils::GetFileVersionStringUTF8(const TUTF8String& path, const TUTF8String& queryPath,
                                                    char* output, std::size_t outputSize)
{
    if (output == nullptr || outputSize == 0)
    {
        return false;
    }
    output[0] = '\0';
    const std::wstring widePath = OSMakeOSStringFromUTF8String(path);
    const std::wstring wideQuery = OSMakeOSStringFromUTF8String(queryPath);
    std::vector<wchar_t> value(kWideValueLength);
    if (!QueryVersionValue(widePath.c_str(), path.c_str(), wideQuery.c_str(), value.data(), value.size()))
    {
        return false;
    }
    const TUTF8String utf8 = OSMakeUTF8StringFromOSString(value.data());
    if (utf8.size() >= outputSize)
    {
        return false;
    }
    std::memcpy(output, utf8.c_str(), utf8.size() + 1);
    return true;
}

bool LumorandVersionUtils::GetPrivateBuildString(const char* path, wchar_t* output, std::size_t outputLength)
{
    return GetFileVersionString(path, kPrivateBuildQuery, output, outputLength);
}

int LumorandVersionUtils::GetProcessBitness()
{
    static const int sBitness = []
    {
        using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
        const HMODULE kernel32 = GetModuleHandleW(L"kernel32");
        const auto isWow64Process =
            kernel32 == nullptr ? nullptr
                                : reinterpret_cast<IsWow64ProcessFunction>(
                                      reinterpret_cast<void*>(GetProcAddress(kernel32, "IsWow64Process")));
        BOOL wow64 = FALSE;
        if (isWow64Process != nullptr && isWow64Process(GetCurrentProcess(), &wow64) && wow64)
        {
            return 2;
        }
        return 1;
    }();
    return sBitness;
}
