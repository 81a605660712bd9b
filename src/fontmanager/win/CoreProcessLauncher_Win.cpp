#include "CoreProcessLauncher.h"
#include "GLogger.h"
#include "GStringEncodings.h"

#include <windows.h>

#include <psapi.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

namespace
{
constexpr DWORD kMaxProcessIDs = 1024;
constexpr DWORD kModuleNameLength = 260;

// Launch-info text is narrow: UTF-8 as a rule, the system's ANSI code page otherwise.
std::wstring WideFromLaunchInfoText(const TUTF8String& text)
{
    if (text.empty())
    {
        return std::wstring();
    }
    std::wstring wide = OSMakeOSStringFromUTF8String(text);
    if (!wide.empty())
    {
        return wide;
    }
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
    {
        return std::wstring();
    }
    wide.resize(static_cast<std::size_t>(length));
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The folder of a process's first module when its base name matches; empty otherwise.
TUTF8String MatchingProcessFolder(DWORD processID, const TUTF8String& wantedName)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processID);
    if (process == nullptr)
    {
        return TUTF8String();
    }
    TUTF8String folder;
    HMODULE firstModule = nullptr;
    DWORD needed = 0;
    if (EnumProcessModules(process, &firstModule, sizeof(firstModule), &needed) && firstModule != nullptr)
    {
        wchar_t baseName[kModuleNameLength] = {};
        if (GetModuleBaseNameW(process, firstModule, baseName, kModuleNameLength) != 0 &&
            ProcessNameMatches(OSMakeUTF8StringFromOSString(baseName), wantedName))
        {
            wchar_t fileName[kModuleNameLength] = {};
            if (GetModuleFileNameExW(process, firstModule, fileName, kModuleNameLength) != 0)
            {
                folder = FolderOfWindowsPath(OSMakeUTF8StringFromOSString(fileName));
            }
        }
    }
    CloseHandle(process);
    return folder;
}
} // namespace

TErrorCode GetPathToRunningProcessExe(const char* executableName, TUTF8String& outFolder)
{
    const TUTF8String name = executableName != nullptr ? executableName : "";
    TraceLog(1, "Entering GetPathToRunningProcessExe('%s', ...)", name.c_str());
    outFolder.clear();
    TErrorCode result = CoreErrorCodes::kUnknownError;
    std::vector<DWORD> processIDs(kMaxProcessIDs);
    DWORD bytesReturned = 0;
    if (!name.empty() && EnumProcesses(processIDs.data(),
                                       static_cast<DWORD>(processIDs.size() * sizeof(DWORD)), &bytesReturned))
    {
        processIDs.resize(bytesReturned / sizeof(DWORD));
        std::sort(processIDs.begin(), processIDs.end());
        for (const DWORD processID : processIDs)
        {
            TUTF8String folder = MatchingProcessFolder(processID, name);
            if (!folder.empty())
            {
                outFolder = folder;
                result = CoreErrorCodes::kSuccess;
                break;
            }
        }
    }
    TraceLog(-1, "GetPathToRunningProcessExe('%s', '%s') returned %d", name.c_str(), outFolder.c_str(),
             static_cast<int>(result));
    return result;
}

bool GetLaunchInfoFilePath(ELaunchInfoLocation location, TUTF8String& outPath)
{
    outPath.clear();
    wchar_t folder[MAX_PATH] = {};
    const int csidl =
        location == ELaunchInfoLocation::kPerMachine ? CSIDL_COMMON_APPDATA : CSIDL_LOCAL_APPDATA;
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder)))
    {
        return false;
    }
    outPath =
        OSMakeUTF8StringFromOSString(folder) + "\\" + kLaunchInfoFolderName + "\\" + kLaunchInfoFileName;
    return true;
}

bool GetLaunchInfoFileValues(ELaunchInfoLocation location, TUTF8String& outCorePath,
                             TUTF8String& outArguments)
{
    TraceLog(1, "Entering %s", "GetLaunchInfoFileValues");
    TUTF8String filePath;
    if (!GetLaunchInfoFilePath(location, filePath))
    {
        TraceLog(-1, "%s returning %s", "GetLaunchInfoFileValues", "fail");
        return false;
    }
    outCorePath.clear();
    outArguments.clear();
    const std::wstring wideFilePath = OSMakeOSStringFromUTF8String(filePath);
    HANDLE file = CreateFileW(wideFilePath.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        TraceLog(0, "Error %d on attempt to open launch info file at: %s", static_cast<int>(GetLastError()),
                 filePath.c_str());
        TraceLog(-1, "%s returning %s", "GetLaunchInfoFileValues", "fail");
        return false;
    }
    bool success = false;
    LARGE_INTEGER size{};
    // A launch-info file holds a few lines; anything beyond 1 MiB is not one.
    if (!GetFileSizeEx(file, &size) || size.QuadPart < 0 || size.QuadPart > (1 << 20))
    {
        TraceLog(0, "Launch info file at %s is unreadable or too large", filePath.c_str());
    }
    else
    {
        std::string text(static_cast<std::size_t>(size.QuadPart), '\0');
        DWORD bytesRead = 0;
        if (!text.empty() &&
            !ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &bytesRead, nullptr))
        {
            TraceLog(0, "Error %d on attempt to read launch info file at: %s",
                     static_cast<int>(GetLastError()), filePath.c_str());
        }
        else
        {
            text.resize(bytesRead);
            TraceLog(0, "Launch config file contents: %s", text.c_str());
            ParseLaunchInfoText(text, outCorePath, outArguments);
            success = !outCorePath.empty() && FileExists(WideFromLaunchInfoText(outCorePath));
            if (success)
            {
                TraceLog(0, "Typehold found in launch config file and on disk: %s %s", outCorePath.c_str(),
                         outArguments.c_str());
            }
            else
            {
                TraceLog(
                    0,
                    "Typehold path found in launch config file (%s) but the Typehold.exe was not found at "
                    "the specified path (%s)",
                    filePath.c_str(), outCorePath.c_str());
            }
        }
    }
    CloseHandle(file);
    TraceLog(-1, "%s returning %s", "GetLaunchInfoFileValues", success ? "success" : "fail");
    return success;
}

bool LaunchTypehold(const TUTF8String& corePath, const TUTF8String& arguments)
{
    const TUTF8String commandLine = MakeLaunchCommandLine(corePath, arguments);
    TraceLog(0, "Attempting to launch Typehold: %s", commandLine.c_str());
    const std::wstring application = WideFromLaunchInfoText(corePath);
    std::wstring wideCommandLine = WideFromLaunchInfoText(commandLine);
    STARTUPINFOW startupInfo{};
    startupInfo.cb = sizeof(startupInfo);
    PROCESS_INFORMATION processInfo{};
    if (application.empty() || !CreateProcessW(application.c_str(), wideCommandLine.data(), nullptr, nullptr,
                                               FALSE, 0, nullptr, nullptr, &startupInfo, &processInfo))
    {
        TraceLog(0, "Error %d on call to CreateProcess('%s')", static_cast<int>(GetLastError()),
                 commandLine.c_str());
        return false;
    }
    bool launched = false;
    if (WaitForInputIdle(processInfo.hProcess, kLaunchSettleTimeoutMs) == 0)
    {
        DWORD exitCode = 0;
        if (GetExitCodeProcess(processInfo.hProcess, &exitCode) && exitCode == STILL_ACTIVE)
        {
            launched = true;
        }
        else
        {
            TraceLog(0, "'%s' already exited with error %d", commandLine.c_str(), static_cast<int>(exitCode));
        }
    }
    CloseHandle(processInfo.hProcess);
    CloseHandle(processInfo.hThread);
    return launched;
}

TSInt32 FindAndLaunchTypehold(TUTF8String* outFolder)
{
    TraceLog(1, "Entering %s", "FindAndLaunchTypehold");
    if (outFolder != nullptr)
    {
        outFolder->clear();
    }
    TUTF8String corePath;
    TUTF8String arguments;
    bool launched = false;
    for (const ELaunchInfoLocation location :
         {ELaunchInfoLocation::kPerMachine, ELaunchInfoLocation::kPerUser})
    {
        if (GetLaunchInfoFileValues(location, corePath, arguments) && LaunchTypehold(corePath, arguments))
        {
            launched = true;
            break;
        }
    }
    TSInt32 result = -1;
    if (!launched)
    {
        TraceLog(0, "Could not launch Typehold.exe");
    }
    else
    {
        if (outFolder != nullptr)
        {
            *outFolder = FolderOfWindowsPath(corePath);
        }
        TraceLog(0, "Successfully launched Typehold at: %s %s", corePath.c_str(), arguments.c_str());
        result = 0;
    }
    TraceLog(-1, "%s returning %d", "FindAndLaunchTypehold", static_cast<int>(result));
    return result;
}
