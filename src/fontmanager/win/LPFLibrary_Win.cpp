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
    // Beside the plug-in only: an installer puts the framework next to the plug-in it serves, and a
    // bare name would let the system search the host's working folder and PATH, where anyone may
    // have put a library of that name.
    const TUTF8String pluginPath = PortolanGlobals::GetPluginPath();
    const std::size_t separator = pluginPath.find_last_of("\\/");
    if (separator == TUTF8String::npos)
    {
        GLogger::GetInstance().Log("Plugin", GLogger::kError,
                                   "The framework library %s cannot be loaded: the plug-in's own folder is "
                                   "not known; the plug-in runs without preferences and dialogs and does no "
                                   "font work",
                                   kLumorandFrameworkLibraryName);
        return nullptr;
    }
    const TUTF8String besidePlugin = pluginPath.substr(0, separator + 1) + kLumorandFrameworkLibraryName;
    HMODULE module = LoadLibraryExW(OSMakeOSStringFromUTF8String(besidePlugin).c_str(), nullptr,
                                    LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (module == nullptr)
    {
        const DWORD error = GetLastError();
        GLogger::GetInstance().Log(
            "Plugin", GLogger::kError,
            "The framework library %s cannot be loaded from '%s' (error %lu); the plug-in "
            "runs without preferences and dialogs and does no font work",
            kLumorandFrameworkLibraryName, besidePlugin.c_str(), static_cast<unsigned long>(error));
        return nullptr;
    }
    TraceLog(0, "Loaded %s from '%s'", kLumorandFrameworkLibraryName, besidePlugin.c_str());
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
