// The Windows side of the global state: the plug-in module's identity from its version resource,
// and the searches for the host's windows.

#include "PortolanGlobals.h"

#include "DialogSuppression.h"
#include "GLogger.h"
#include "GStringEncodings.h"
#include "LumorandVersionUtils.h"

#include <string>
#include <vector>
#include <windows.h>

namespace
{
constexpr DWORD kModulePathCapacity = 4096;

// A version resource string of the file, in UTF-8; empty when absent.
TUTF8String VersionString(const TUTF8String& path, const char* field)
{
    char value[2048] = {};
    const TUTF8String query = TUTF8String("\\StringFileInfo\\040904b0\\") + field;
    if (path.empty() || !LumorandVersionUtils::GetFileVersionStringUTF8(path, query, value, sizeof(value)))
    {
        return "";
    }
    return value;
}

// The fixed file version of the file as four numbers joined by "."; empty when unreadable.
TUTF8String FixedFileVersion(const TUTF8String& path)
{
    const std::wstring widePath = OSMakeOSStringFromUTF8String(path);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(widePath.c_str(), &handle);
    if (size == 0)
    {
        return "";
    }
    std::vector<BYTE> info(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoW(widePath.c_str(), handle, size, info.data()) ||
        !VerQueryValueW(info.data(), L"\\", reinterpret_cast<LPVOID*>(&fixed), &length) || fixed == nullptr)
    {
        return "";
    }
    return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
           std::to_string(LOWORD(fixed->dwFileVersionLS));
}

} // namespace

void PortolanGlobals::ReadModuleIdentity(TUTF8String& path, void*& module, TUTF8String& pluginVersion,
                                         TUTF8String& minimumVersion, TUTF8String& hostAppName)
{
    HMODULE handle = nullptr;
    const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    const auto address = reinterpret_cast<LPCWSTR>(&PortolanGlobals::ReadModuleIdentity);
    if (!GetModuleHandleExW(flags, address, &handle))
    {
        const DWORD error = GetLastError();
        TraceLog(0, "Error %d (0x%08x) in call to GetModuleHandleEx(0x%08x, 0x%08x, 0x%08x)",
                 static_cast<int>(error), static_cast<unsigned>(error), static_cast<unsigned>(flags),
                 static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(address)),
                 static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(&handle)));
        pluginVersion = "x.x.x.x";
        return;
    }
    TraceLog(0, "GetModuleHandleEx returned module handle 0x%08x",
             static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(handle)));
    std::vector<wchar_t> name(kModulePathCapacity, L'\0');
    const DWORD length = GetModuleFileNameW(handle, name.data(), kModulePathCapacity);
    if (length >= kModulePathCapacity)
    {
        TraceLog(0, "GetLastError() returned %d after GetModuleFileNameW()",
                 static_cast<int>(GetLastError()));
    }
    else if (length > 0)
    {
        path = OSMakeUTF8StringFromOSString(name.data());
        TraceLog(0, "Plugin path is '%s'.", path.c_str());
    }
    module = handle;
    pluginVersion = VersionString(path, "PrivateBuild");
    minimumVersion = VersionString(path, "HostAppMinimumVersion");
    hostAppName = VersionString(path, "InternalName");
}

void PortolanGlobals::ReadHostFileIdentity(const TUTF8String& path, TUTF8String& pluginVersion,
                                           TUTF8String& minimumVersion, TUTF8String& hostAppName)
{
    pluginVersion = FixedFileVersion(path);
    minimumVersion = VersionString(path, "HostAppMinimumVersion");
    hostAppName = VersionString(path, "InternalName");
}

void* PortolanGlobals::FindWindowWithMatchingTitle(const wchar_t* title, const wchar_t* text)
{
    return FindWindowInSnapshot(SnapshotTopLevelWindows(), title, text);
}

void* PortolanGlobals::FindHostMainWindow()
{
    const TUTF8String className = GetHostWindowClassName();
    if (className.empty() || className[0] == '?')
    {
        return nullptr;
    }
    if (HWND window = FindWindowA(className.c_str(), nullptr); window != nullptr)
    {
        return window;
    }
    TraceLog(0, "FindWindowA('%s', NULL) returned NULL", className.c_str());
    if (className == "Illustrator9")
    {
        if (HWND window = FindWindowA("illustrator", nullptr); window != nullptr)
        {
            TraceLog(0,
                     "FindWindowA('%s', NULL) returned NULL but FindWindowA('illustrator', NULL) succeeded",
                     className.c_str());
            return window;
        }
    }
    else if (className == "Photoshop")
    {
        if (void* window = FindWindowWithMatchingTitle(L"Adobe Photoshop", nullptr); window != nullptr)
        {
            return window;
        }
    }
    else if (className == "indesign")
    {
        if (void* window = FindWindowWithMatchingTitle(L"Adobe InDesign", nullptr); window != nullptr)
        {
            return window;
        }
    }
    const std::wstring wideClassName = OSMakeOSStringFromUTF8String(className);
    return FindWindowWithMatchingTitle(wideClassName.c_str(), nullptr);
}
