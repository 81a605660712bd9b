// Binding the extension event library that ships beside the host executable.

#include "PlugPlugLibrary.h"

#include "GLogger.h"
#include "GStringEncodings.h"

#include <windows.h>

namespace
{
constexpr const char* kLogCategory = "Miscellaneous";

// The host executable's folder with its trailing separator; empty when it cannot be read.
std::wstring HostFolder()
{
    wchar_t path[2048] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, 2048);
    if (length == 0 || length >= 2048)
    {
        return std::wstring();
    }
    std::wstring folder(path, length);
    const std::size_t separator = folder.find_last_of(L'\\');
    return separator == std::wstring::npos ? std::wstring() : folder.substr(0, separator + 1);
}

bool FileExists(const std::wstring& path)
{
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
    {
        return false;
    }
    FindClose(search);
    return true;
}

template <class Proc>
bool Resolve(HMODULE module, const char* name, Proc& entry)
{
    entry = reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (entry == nullptr)
    {
        GLogger::GetInstance().Log(kLogCategory, GLogger::kError,
                                   "The extension event library has no function %s", name);
    }
    return entry != nullptr;
}
} // namespace

TErrorCode PlugPlugLibrary::LoadModule()
{
    const std::wstring folder = HostFolder();
    if (folder.empty())
    {
        return kLoadFailed;
    }
    std::wstring path = folder + L"PlugPlugOwl.dll";
    if (!FileExists(path))
    {
        path = folder + L"PlugPlug.dll";
    }
    mLibraryPath = OSMakeUTF8StringFromOSString(path);
    if (mModule == nullptr)
    {
        // By full path only; its own dependencies come from its folder and the system's.
        mModule = LoadLibraryExW(path.c_str(), nullptr,
                                 LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
        if (mModule == nullptr)
        {
            // Tried again at every service pass: said once.
            const DWORD error = GetLastError();
            if (!mReportedLoadFailure)
            {
                GLogger::GetInstance().Log(kLogCategory, GLogger::kWarning,
                                           "The extension event library %s could not be loaded (error %lu)",
                                           mLibraryPath.c_str(), error);
                mReportedLoadFailure = true;
            }
            return kLoadFailed;
        }
    }
    const HMODULE module = static_cast<HMODULE>(mModule);
    if (!Resolve(module, "PlugPlugLoadExtension", mEntries.loadExtension) ||
        !Resolve(module, "PlugPlugUnloadExtension", mEntries.unloadExtension) ||
        !Resolve(module, "PlugPlugAddEventListener", mEntries.addEventListener) ||
        !Resolve(module, "PlugPlugRemoveEventListener", mEntries.removeEventListener) ||
        !Resolve(module, "PlugPlugDispatchEvent", mEntries.dispatchEvent))
    {
        return kLoadFailed;
    }
    return CoreErrorCodes::kSuccess;
}

TErrorCode PlugPlugLibrary::UnloadModule()
{
    if (mModule == nullptr)
    {
        return CoreErrorCodes::kSuccess;
    }
    mEntries = Entries();
    const BOOL freed = FreeLibrary(static_cast<HMODULE>(mModule));
    mModule = nullptr;
    return freed ? CoreErrorCodes::kSuccess : kLoadFailed;
}
