#pragma once
// The plug-in's process-wide state: who the plug-in is (bundle identifier, versions, path, module),
// which host application it runs in and which host versions it accepts, the service flags that
// decide whether font work may be done at all, and the lazily created shared objects (the
// framework facade and the font activation tracker). Static members only: nothing is passed
// around. Identity is filled once while the DLL loads, before the host calls the entry point;
// everything else runs on the host's user-interface thread.

#include "GTypes.h"

#include <CoreFoundation/CoreFoundation.h>

class LPFInterface;
class FontActivationTracker;

// Host application types, as the font manager numbers them.
enum EHostAppType : TSInt32
{
    kHostAppOther = 0,
    kHostAppPhotoshop = 2,
    kHostAppIllustrator = 3,
    kHostAppInDesign = 4,
    kHostAppInCopy = 5,
    kHostAppAfterEffects = 7,
};

class PortolanGlobals
{
public:
    // This plug-in's bundle identifier and the host version prefix it requires.
    static constexpr const char* kBundleIdentifier = "com.lumorand.AutoActivationPlugin.PS21";
    static constexpr const char* kHostAppVersionPrefix = "21";

    // --- Identity -------------------------------------------------------------------------------
    // Reads the identity: with a "com.lumorand." bundle identifier from the plug-in module's own
    // version resource, otherwise from the host-side file the identifier names. Called once at load.
    static void InitializeIdentity(const char* bundleIdentifier, const char* versionPrefix);

    static TUTF8String GetPluginHostApp();
    static EHostAppType GetHostAppType();
    static bool HostAppIsAfterEffects();
    static bool HostAppIsSketch();
    // Two letters naming the host to the font manager ("ps"); empty for an unknown host.
    static TUTF8String GetHostAppCode();
    // The framework's display name of the host (a new string, the caller releases it), or null.
    static CFStringRef CopyHostAppDisplayName();
    static TUTF8String GetPluginVersion();
    static TUTF8String GetPluginInterfaceVersion();
    static TUTF8String GetBundleIdentifier();
    static TUTF8String GetHostAppVersionPrefix();
    static TUTF8String GetMinimumHostAppVersion();
    static TUTF8String GetPluginPath();
    // The plug-in's module handle (HINSTANCE on Windows); null natively.
    static void* GetModuleInstance();
    // The host window class searched for the main window; empty when there is none.
    static TUTF8String GetHostWindowClassName();
    // The host's top-level window (HWND), or null.
    static void* FindHostMainWindow();
    // The first top-level window whose title contains title and, when text is given and not
    // empty, one of whose child windows' texts contains text (UTF-16); null when there is none.
    static void* FindWindowWithMatchingTitle(const wchar_t* title, const wchar_t* text);

    static void SetPluginHostApp(const char* hostAppName);
    static TUTF8String MapBundleIDtoHostApp(const TUTF8String& bundleIdentifier);

    // --- Service flags --------------------------------------------------------------------------
    static void SetPluginServicesEnabled(bool enable);
    static bool GetPluginServicesEnabled();
    static void SetConnectedToCore(bool connected);
    static bool GetConnectedToCore();
    static void SetLoggedIn(bool loggedIn);
    static bool GetLoggedIn();
    static void SetWorkgroupAccess(bool access);
    static bool GetWorkgroupAccess();
    static void SetBulkReplicationRunning(bool isReplicating);
    static bool GetBulkReplicationRunning();
    static void SetIncrementalReplicationRunning(bool isReplicating);
    static bool GetIncrementalReplicationRunning();
    // Services enabled, logged in and workgroup access.
    static bool IsPluginEnabled();
    // IsPluginEnabled, a framework facade whose "EnablePlugin" is on, and a core agent interface
    // that reports the user as logged in (from what the core last reported: never a call to the
    // core, so that the host's user-interface thread can ask it at every timer step).
    static bool IsPluginOperational();

    // --- Shared objects -------------------------------------------------------------------------
    static LPFInterface* GetSharedLPFInterface();
    static FontActivationTracker* GetFontActivationTracker();

    // --- Operations -----------------------------------------------------------------------------
    static bool RunningInCompatibleHostApp();
    // Writes the default preferences when the framework has none yet; true when it wrote them.
    static bool WriteDefaultPreferences();
    static void SaveDocumentFonts(const TUTF8String& path, TUInt32 hint);
    static void RefreshActiveFontList(void (*function)(void*), void* argument);
    static void CleanUpOnShutdown();

    // Compares dotted version texts component by component as decimal numbers (a missing
    // component is 0): 1 when a is greater, -1 when smaller, 0 when equal.
    static int CompareVersions(const TUTF8String& a, const TUTF8String& b);
    // The running host executable's version ("21.2.1.265"); empty when it cannot be read.
    static TUTF8String GetHostAppVersion();

    // Test support: clears the service flags and forgets the identity and shared objects.
    static void ResetForTesting();

private:
    // Platform part of the identity: reads the plug-in module's path, module handle and the
    // version resource fields PrivateBuild, HostAppMinimumVersion and InternalName.
    static void ReadModuleIdentity(TUTF8String& path, void*& module, TUTF8String& pluginVersion,
                                   TUTF8String& minimumVersion, TUTF8String& hostAppName);
    static void ReadHostFileIdentity(const TUTF8String& path, TUTF8String& pluginVersion,
                                     TUTF8String& minimumVersion, TUTF8String& hostAppName);
};
