#include "LPFLibrary.h"

#include "GLogger.h"
#include "GStringEncodings.h"
#include "LumorandPluginFramework.h"
#include "PortolanGlobals.h"

#include <string>
#include <windows.h>

namespace
{
enum class Availability
{
    kUnknown,
    kAvailable,
    kMissing,
};
Availability sAvailability = Availability::kUnknown;

HMODULE LoadFramework()
{
    const std::wstring libraryName = OSMakeOSStringFromUTF8String(kLumorandFrameworkLibraryName);
    // Beside the plug-in first: an installer puts the framework next to the plug-in it serves.
    const TUTF8String pluginPath = PortolanGlobals::GetPluginPath();
    const std::size_t separator = pluginPath.find_last_of("\\/");
    if (separator != TUTF8String::npos)
    {
        const std::wstring besidePlugin =
            OSMakeOSStringFromUTF8String(pluginPath.substr(0, separator + 1)) + libraryName;
        if (HMODULE module = LoadLibraryW(besidePlugin.c_str()); module != nullptr)
        {
            TraceLog(0, "Loaded %s from '%s'", kLumorandFrameworkLibraryName,
                     OSMakeUTF8StringFromOSString(besidePlugin).c_str());
            return module;
        }
    }
    HMODULE module = LoadLibraryW(libraryName.c_str());
    if (module == nullptr)
    {
        const DWORD error = GetLastError();
        GLogger::GetInstance().Log("Plugin", GLogger::kError,
                                   "The framework library %s cannot be loaded (error %lu); the plug-in runs "
                                   "without preferences and dialogs and does no font work",
                                   kLumorandFrameworkLibraryName, static_cast<unsigned long>(error));
    }
    return module;
}
} // namespace

bool LPFLibrary::IsAvailable()
{
    if (sAvailability == Availability::kUnknown)
    {
        sAvailability = LoadFramework() != nullptr ? Availability::kAvailable : Availability::kMissing;
    }
    return sAvailability == Availability::kAvailable;
}

bool LPFLibrary::IsModuleLoaded(const char* moduleName)
{
    return moduleName != nullptr && GetModuleHandleA(moduleName) != nullptr;
}
