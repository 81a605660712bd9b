// lumorand-install.exe: writes (or removes) the font manager's launch-information file, the way
// its installer would, in the application-data folder Windows reports:
//
//   lumorand-install [--per-user] [--lf] [--no-args] [--typehold PATH] --config FOLDER
//   lumorand-install [--per-user] --remove
//
// The file is <common application data>\Lumorand\com.lumorand.Typehold-LaunchInfo.conf
// (--per-user: the user's local application data) with the lines
//   typehold.path=<PATH>
//   typehold.args=--config "<FOLDER>"
// ending in CR LF (--lf: LF only; --no-args: no args line). PATH defaults to Typehold.exe beside
// this program. Paths of the machine Wine runs on ("/home/...") are written as Z: paths.
// Exit status: 0 done, 1 failure, 2 usage.

#include "GStringEncodings.h"

#include <windows.h>

#include <shlobj.h>

#include <cstdio>
#include <string>

namespace
{
constexpr const wchar_t* kLaunchInfoName = L"com.lumorand.Typehold-LaunchInfo.conf";

int Usage()
{
    std::fwprintf(
        stderr, L"usage: lumorand-install [--per-user] [--lf] [--no-args] [--typehold PATH] --config FOLDER\n"
                L"       lumorand-install [--per-user] --remove\n");
    return 2;
}

std::wstring WindowsPath(std::wstring path)
{
    if (!path.empty() && path[0] == L'/')
    {
        path = L"Z:" + path;
    }
    for (wchar_t& c : path)
    {
        if (c == L'/')
        {
            c = L'\\';
        }
    }
    return path;
}

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH * 4] = {};
    const DWORD length =
        GetModuleFileNameW(nullptr, path, static_cast<DWORD>(sizeof(path) / sizeof(path[0])));
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}
} // namespace

int wmain(int argc, wchar_t** argv)
{
    bool perUser = false;
    bool lineFeedOnly = false;
    bool withArgs = true;
    bool remove = false;
    std::wstring typehold = ProgramFolder() + L"Typehold.exe";
    std::wstring config;
    for (int i = 1; i < argc; ++i)
    {
        const std::wstring argument = argv[i];
        if (argument == L"--per-user")
        {
            perUser = true;
        }
        else if (argument == L"--lf")
        {
            lineFeedOnly = true;
        }
        else if (argument == L"--no-args")
        {
            withArgs = false;
        }
        else if (argument == L"--remove")
        {
            remove = true;
        }
        else if (argument == L"--typehold" && i + 1 < argc)
        {
            typehold = WindowsPath(argv[++i]);
        }
        else if (argument == L"--config" && i + 1 < argc)
        {
            config = WindowsPath(argv[++i]);
        }
        else
        {
            return Usage();
        }
    }
    if (!remove && config.empty() && withArgs)
    {
        return Usage();
    }

    wchar_t appData[MAX_PATH] = {};
    const int folderKind = perUser ? CSIDL_LOCAL_APPDATA : CSIDL_COMMON_APPDATA;
    if (FAILED(
            SHGetFolderPathW(nullptr, folderKind | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, appData)))
    {
        std::fwprintf(stderr, L"lumorand-install: the application-data folder is not available\n");
        return 1;
    }
    const std::wstring folder = std::wstring(appData) + L"\\Lumorand";
    const std::wstring file = folder + L"\\" + kLaunchInfoName;
    if (remove)
    {
        if (!DeleteFileW(file.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
        {
            std::fwprintf(stderr, L"lumorand-install: cannot remove %ls (error %lu)\n", file.c_str(),
                          GetLastError());
            return 1;
        }
        std::wprintf(L"%ls removed\n", file.c_str());
        return 0;
    }

    const std::string end = lineFeedOnly ? "\n" : "\r\n";
    std::string text = "typehold.path=" + OSMakeUTF8StringFromOSString(typehold) + end;
    if (withArgs)
    {
        text += "typehold.args=--config \"" + OSMakeUTF8StringFromOSString(config) + "\"" + end;
    }
    CreateDirectoryW(folder.c_str(), nullptr);
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const bool ok = handle != INVALID_HANDLE_VALUE &&
                    WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size();
    const DWORD error = GetLastError();
    if (handle != INVALID_HANDLE_VALUE)
    {
        CloseHandle(handle);
    }
    if (!ok)
    {
        std::fwprintf(stderr, L"lumorand-install: cannot write %ls (error %lu)\n", file.c_str(), error);
        return 1;
    }
    std::wprintf(L"%ls written\n", file.c_str());
    return 0;
}
