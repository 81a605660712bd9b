#include "GFrameworkPlatform.h"

#include "GStringEncodings.h"

#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <vector>

namespace
{
TUTF8String LastErrorText(const char* what, const TUTF8String& path)
{
    return TUTF8String(what) + " '" + path + "' (Windows error " + std::to_string(GetLastError()) + ")";
}

std::wstring Wide(const TUTF8String& path)
{
    return OSMakeOSStringFromUTF8String(path);
}

bool WriteAll(HANDLE file, const std::string& bytes)
{
    std::size_t written = 0;
    while (written < bytes.size())
    {
        const std::size_t chunk = std::min<std::size_t>(bytes.size() - written, 1u << 30);
        DWORD count = 0;
        if (!WriteFile(file, bytes.data() + written, static_cast<DWORD>(chunk), &count, nullptr) ||
            count == 0)
        {
            return false;
        }
        written += count;
    }
    return true;
}
} // namespace

bool GFrameworkPlatform::GetEnvironment(const char* name, TUTF8String& value)
{
    // Read from the process's environment block, not the C runtime's copy, so that a value set
    // with SetEnvironmentVariableW by the host (or a test) after start-up is seen.
    const std::wstring wideName = Wide(name);
    const DWORD needed = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (needed <= 1)
    {
        return false;
    }
    std::vector<wchar_t> buffer(needed, L'\0');
    const DWORD length = GetEnvironmentVariableW(wideName.c_str(), buffer.data(), needed);
    if (length == 0 || length >= needed)
    {
        return false;
    }
    value = OSMakeUTF8StringFromOSString(buffer.data());
    return !value.empty();
}

TUTF8String GFrameworkPlatform::GetDefaultPreferencesFolder()
{
    wchar_t appData[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                appData)))
    {
        return TUTF8String();
    }
    return JoinPath(JoinPath(OSMakeUTF8StringFromOSString(appData), "Lumorand"), "Plugin Preferences");
}

char GFrameworkPlatform::PathSeparator()
{
    return '\\';
}

GFileStamp GFrameworkPlatform::GetFileStamp(const TUTF8String& path)
{
    GFileStamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    {
        return stamp;
    }
    stamp.mExists = true;
    stamp.mModified = static_cast<TSInt64>((static_cast<TUInt64>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                           data.ftLastWriteTime.dwLowDateTime);
    stamp.mSize = (static_cast<TUInt64>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return stamp;
}

bool GFrameworkPlatform::ReadFile(const TUTF8String& path, std::string& bytes, TUTF8String& reason)
{
    const HANDLE file =
        CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        reason = LastErrorText("cannot open", path);
        return false;
    }
    bytes.clear();
    char buffer[16384];
    bool ok = true;
    for (;;)
    {
        DWORD count = 0;
        if (!::ReadFile(file, buffer, sizeof buffer, &count, nullptr))
        {
            reason = LastErrorText("cannot read", path);
            ok = false;
            break;
        }
        if (count == 0)
        {
            break;
        }
        bytes.append(buffer, count);
    }
    CloseHandle(file);
    return ok;
}

bool GFrameworkPlatform::CreateFolder(const TUTF8String& path, TUTF8String& reason)
{
    const std::wstring widePath = Wide(path);
    const DWORD attributes = GetFileAttributesW(widePath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
    {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        {
            return true;
        }
        reason = "'" + path + "' exists and is not a folder";
        return false;
    }
    const std::size_t separator = path.find_last_of("\\/");
    // Stop at the root ("C:\", "\\server\share").
    if (separator != TUTF8String::npos && separator > 2 && !CreateFolder(path.substr(0, separator), reason))
    {
        return false;
    }
    if (!CreateDirectoryW(widePath.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    {
        reason = LastErrorText("cannot create", path);
        return false;
    }
    return true;
}

bool GFrameworkPlatform::WriteFileAtomically(const TUTF8String& path, const std::string& bytes,
                                             TUTF8String& reason)
{
    const TUTF8String temporary = path + ".tmp-" + std::to_string(GetProcessID());
    const std::wstring wideTemporary = Wide(temporary);
    const HANDLE file = CreateFileW(wideTemporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        reason = LastErrorText("cannot create", temporary);
        return false;
    }
    const bool written = WriteAll(file, bytes) && FlushFileBuffers(file);
    if (!written)
    {
        reason = LastErrorText("cannot write", temporary);
    }
    CloseHandle(file);
    if (!written)
    {
        DeleteFileW(wideTemporary.c_str());
        return false;
    }
    if (!MoveFileExW(wideTemporary.c_str(), Wide(path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    {
        reason = LastErrorText("cannot replace", path);
        DeleteFileW(wideTemporary.c_str());
        return false;
    }
    return true;
}

bool GFrameworkPlatform::RenameWithoutReplacing(const TUTF8String& from, const TUTF8String& to,
                                                TUTF8String& reason)
{
    if (!MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_WRITE_THROUGH))
    {
        reason = LastErrorText("cannot rename to", to);
        return false;
    }
    return true;
}

bool GFrameworkPlatform::AppendToFile(const TUTF8String& path, const std::string& bytes)
{
    // Append access only: each write lands at the end of the file, also when another handle
    // appends at the same time.
    const HANDLE file = CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        return false;
    }
    const bool written = WriteAll(file, bytes);
    CloseHandle(file);
    return written;
}

TUTF8String GFrameworkPlatform::GetWindowClassName(void* window)
{
    const HWND handle = static_cast<HWND>(window);
    if (handle == nullptr || !IsWindow(handle))
    {
        return TUTF8String();
    }
    wchar_t className[257] = {};
    if (GetClassNameW(handle, className, 257) == 0)
    {
        return TUTF8String();
    }
    return OSMakeUTF8StringFromOSString(className);
}

TUInt32 GFrameworkPlatform::GetProcessID()
{
    return static_cast<TUInt32>(GetCurrentProcessId());
}

void GFrameworkPlatform::RunModalLoop(TSInt32 ms)
{
    const DWORD start = GetTickCount();
    const DWORD length = ms > 0 ? static_cast<DWORD>(ms) : 0;
    for (DWORD elapsed = 0; elapsed < length; elapsed = GetTickCount() - start)
    {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, length - elapsed, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        {
            if (message.message == WM_QUIT)
            {
                // A modal loop hands the quit request on to the loop around it.
                PostQuitMessage(static_cast<int>(message.wParam));
                return;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}
