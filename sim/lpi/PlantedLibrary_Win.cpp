// A library planted under the name of one of the font manager's libraries in a folder no one
// should load it from (the host's working folder): it exports nothing, and the moment it is loaded
// it leaves <its own path>.loaded, naming the process that loaded it, and says so on standard
// error. A test that finds the file knows that a load searched where it should not have.

#include <windows.h>

#include <cstdio>
#include <string>

namespace
{
void LeaveTrace(HMODULE module)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
    {
        return;
    }
    wchar_t process[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, process, MAX_PATH);
    const std::wstring trace = std::wstring(path) + L".loaded";
    HANDLE file = CreateFileW(trace.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE)
    {
        const std::wstring text = L"loaded by " + std::wstring(process) + L"\r\n";
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
        CloseHandle(file);
    }
    std::fprintf(stderr, "PLANTED LIBRARY LOADED: %ls\n", path);
    std::fflush(stderr);
}
} // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/)
{
    if (reason == DLL_PROCESS_ATTACH)
    {
        LeaveTrace(instance);
    }
    return TRUE;
}
