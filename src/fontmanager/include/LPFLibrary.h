#pragma once
// Presence of the framework library. The plug-in imports LumorandPluginFramework from
// LumorandPluginFrameworkx64.dll with a delay-loaded import, so that a missing library leaves the
// plug-in loaded; nothing of the class may be called before IsAvailable() has said yes.

class LPFLibrary
{
public:
    // Loads the library once, by full path from the plug-in's own folder (never by bare name, which
    // would search the host's working folder and PATH), and remembers the outcome (logged once).
    static bool IsAvailable();
    // True when a module of that file name is loaded in the process.
    static bool IsModuleLoaded(const char* moduleName);
};
