// Loading the plug-in: the log file named by the environment, and the plug-in's identity, read
// from its own version resource before the host calls the entry point.

#include "GFileLogDestination.h"
#include "PortolanGlobals.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD reason, LPVOID /*reserved*/)
{
    if (reason == DLL_PROCESS_ATTACH)
    {
        EnableFileLoggingFromEnvironment();
        PortolanGlobals::InitializeIdentity(PortolanGlobals::kBundleIdentifier,
                                            PortolanGlobals::kHostAppVersionPrefix);
    }
    return TRUE;
}
