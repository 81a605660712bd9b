#include "PortolanGlobals.h"

#include "FontActivationTracker.h"
#include "FontManagerInterface.h"
#include "GCFRef.h"
#include "GLogger.h"
#include "GProcessInfo.h"
#include "GStringEncodings.h"
#include "LPFInterface.h"
#include "LPILoader.h"

#include <cstdlib>
#include <cstring>

namespace
{
struct Identity
{
    TUTF8String bundleIdentifier;
    TUTF8String hostAppVersionPrefix;
    TUTF8String minimumHostAppVersion;
    TUTF8String pluginVersion;
    TUTF8String pluginInterfaceVersion;
    TUTF8String hostApp;
    TUTF8String windowClassName;
    TUTF8String pluginPath;
    void* moduleInstance = nullptr;
};

Identity sIdentity;

bool sPluginServicesEnabled = false;
bool sConnectedToCore = false;
bool sLoggedIn = false;
bool sWorkgroupAccess = false;
bool sBulkReplicationRunning = false;
bool sIncrementalReplicationRunning = false;

LPFInterface* sLPFInterface = nullptr;
FontActivationTracker* sFontActivationTracker = nullptr;

bool StartsWith(const TUTF8String& text, const char* prefix)
{
    return text.rfind(prefix, 0) == 0;
}

bool Contains(const TUTF8String& text, const char* part)
{
    return text.find(part) != TUTF8String::npos;
}

// Makes a new CFString from UTF-8 text, null for empty text.
CFStringRef CreateStringOrNull(const TUTF8String& text)
{
    return text.empty() ? nullptr : CreateCFStringFromUTF8String(text);
}

struct BundleHostApp
{
    const char* bundleIdentifier;
    const char* hostApp;
};

constexpr BundleHostApp kBundleHostApps[] = {
    {"com.lumorand.AutoActivationPlugin.AI19", "IllustratorCC2015"},
    {"com.lumorand.AutoActivationPlugin.AI20", "IllustratorCC2016"},
    {"com.lumorand.AutoActivationPlugin.AI21", "IllustratorCC2017"},
    {"com.lumorand.AutoActivationPlugin.AI22", "IllustratorCC2018"},
    {"com.lumorand.AutoActivationPlugin.AI23", "IllustratorCC2019"},
    {"com.lumorand.AutoActivationPlugin.AI24", "IllustratorCC2020"},
    {"com.lumorand.AutoActivationPlugin.AI25", "IllustratorCC2021"},
    {"com.lumorand.AutoActivationPlugin.AI26", "Illustrator2022"},
    {"com.lumorand.AutoActivationPlugin.AE137", "AfterEffectsCC2015"},
    {"com.lumorand.AutoActivationPlugin.AE138", "AfterEffectsCC2016"},
    {"com.lumorand.AutoActivationPlugin.AE140", "AfterEffectsCC2017"},
    {"com.lumorand.AutoActivationPlugin.AE150", "AfterEffectsCC2018"},
    {"com.lumorand.AutoActivationPlugin.AE160", "AfterEffectsCC2019"},
    {"com.lumorand.AutoActivationPlugin.AE170", "AfterEffectsCC2020"},
    {"com.lumorand.AutoActivationPlugin.AE180", "AfterEffectsCC2021"},
    {"com.lumorand.AutoActivationPlugin.AE220", "AfterEffects2022"},
};

struct DefaultPreference
{
    const char* key;
    bool isLong;
    TSInt32 value;
};

constexpr DefaultPreference kDefaultPreferences[] = {
    {"EnablePlugin", false, 1},           {"EnableFaceTrace", false, 1},
    {"DialogSuppression", false, 1},      {"PickBestMatch", false, 1},
    {"SupportEmbeddedObjects", false, 1}, {"CloseFontsOnHostAppQuit", false, 1},
    {"CloseFontsOnDocClose", false, 0},   {"ActivateEntireFamilies", false, 0},
    {"CS5PanelWidth", true, 260},         {"CS5PanelHeight", true, 350},
    {"DropDownSelection", false, 0},
};

// The name under which the compatibility test reports itself.
constexpr const char* kCompatibilityFunctionName = "`anonymous-namespace'::RunningInCompatibleHostApp";
} // namespace

// --- Identity ---------------------------------------------------------------------------------------

void PortolanGlobals::InitializeIdentity(const char* bundleIdentifier, const char* versionPrefix)
{
    const TUTF8String bundle = bundleIdentifier != nullptr ? bundleIdentifier : "";
    TUTF8String path;
    void* module = nullptr;
    TUTF8String pluginVersion;
    TUTF8String minimumVersion;
    TUTF8String hostAppName;
    if (StartsWith(bundle, "com.lumorand."))
    {
        ReadModuleIdentity(path, module, pluginVersion, minimumVersion, hostAppName);
        if (StartsWith(hostAppName, "PluginCore"))
        {
            hostAppName.clear();
        }
    }
    else
    {
        ReadHostFileIdentity(bundle, pluginVersion, minimumVersion, hostAppName);
    }

    sIdentity.bundleIdentifier = bundle;
    TraceLog(0, "IdentifyPluginInterfaceVersion(%s)", bundle.c_str());
    // The interface library is loaded by the startup checks; its version is taken from the loader
    // once it exists (GetPluginInterfaceVersion).
    sIdentity.pluginInterfaceVersion.clear();
    SetPluginHostApp(hostAppName.empty() ? nullptr : hostAppName.c_str());

    sIdentity.hostAppVersionPrefix = versionPrefix != nullptr ? versionPrefix : "";
    sIdentity.minimumHostAppVersion = minimumVersion;
    TraceLog(1, "Entering IdentifyPluginVersion('%s')", pluginVersion.c_str());
    sIdentity.pluginVersion = pluginVersion;
    TraceLog(-1, "Exiting IdentifyPluginVersion()");
    sIdentity.pluginPath = path;
    sIdentity.moduleInstance = module;
}

TUTF8String PortolanGlobals::GetPluginHostApp()
{
    return sIdentity.hostApp;
}

EHostAppType PortolanGlobals::GetHostAppType()
{
    const TUTF8String& name = sIdentity.hostApp;
    if (StartsWith(name, "InDesign"))
    {
        return kHostAppInDesign;
    }
    if (StartsWith(name, "InCopy"))
    {
        return kHostAppInCopy;
    }
    if (StartsWith(name, "Illustrator"))
    {
        return kHostAppIllustrator;
    }
    if (StartsWith(name, "Photoshop"))
    {
        return kHostAppPhotoshop;
    }
    if (StartsWith(name, "After"))
    {
        return kHostAppAfterEffects;
    }
    return kHostAppOther;
}

bool PortolanGlobals::HostAppIsAfterEffects()
{
    return Contains(sIdentity.hostApp, "AECC") || StartsWith(sIdentity.hostApp, "After");
}

bool PortolanGlobals::HostAppIsSketch()
{
    const bool isSketch = Contains(sIdentity.hostApp, "Sketch") || StartsWith(sIdentity.hostApp, "sketch");
    TraceLog(0, "%s() returning %d because GetPluginHostApp() returned '%s'",
             "PortolanGlobals::HostAppIsSketch", isSketch ? 1 : 0, sIdentity.hostApp.c_str());
    return isSketch;
}

TUTF8String PortolanGlobals::GetHostAppCode()
{
    switch (GetHostAppType())
    {
    case kHostAppInDesign:
    case kHostAppInCopy:
        return "id";
    case kHostAppPhotoshop:
        return "ps";
    case kHostAppIllustrator:
        return "ai";
    default:
        break;
    }
    if (HostAppIsAfterEffects())
    {
        return "ae";
    }
    if (HostAppIsSketch())
    {
        return "sk";
    }
    GLogger::GetInstance().Log("Plugin", GLogger::kError, "GetHostAppCode: no code for the host app '%s'",
                               sIdentity.hostApp.c_str());
    return "";
}

CFStringRef PortolanGlobals::CopyHostAppDisplayName()
{
    if (sIdentity.hostApp.empty())
    {
        return nullptr;
    }
    LPFInterface* lpf = GetSharedLPFInterface();
    return lpf != nullptr ? lpf->CopyHostAppDisplayName() : nullptr;
}

TUTF8String PortolanGlobals::GetPluginVersion()
{
    return sIdentity.pluginVersion;
}

TUTF8String PortolanGlobals::GetPluginInterfaceVersion()
{
    if (sIdentity.pluginInterfaceVersion.empty() && LPILoader::HasSharedInstance())
    {
        if (const GCFRef<CFStringRef> version(LPILoader::GetSharedInstance()->VersionStringRef()); version)
        {
            sIdentity.pluginInterfaceVersion = UTF8StringFromCFString(version.Get());
        }
    }
    return sIdentity.pluginInterfaceVersion;
}

TUTF8String PortolanGlobals::GetBundleIdentifier()
{
    return sIdentity.bundleIdentifier;
}

TUTF8String PortolanGlobals::GetHostAppVersionPrefix()
{
    return sIdentity.hostAppVersionPrefix;
}

TUTF8String PortolanGlobals::GetMinimumHostAppVersion()
{
    return sIdentity.minimumHostAppVersion;
}

TUTF8String PortolanGlobals::GetPluginPath()
{
    return sIdentity.pluginPath;
}

void* PortolanGlobals::GetModuleInstance()
{
    return sIdentity.moduleInstance;
}

TUTF8String PortolanGlobals::GetHostWindowClassName()
{
    return sIdentity.windowClassName;
}

void PortolanGlobals::SetPluginHostApp(const char* hostAppName)
{
    if (hostAppName != nullptr && hostAppName[0] != '\0')
    {
        sIdentity.hostApp = hostAppName;
    }
    else
    {
        sIdentity.hostApp = MapBundleIDtoHostApp(sIdentity.bundleIdentifier);
    }
    if (sIdentity.hostApp.empty())
    {
        sIdentity.windowClassName.clear();
        return;
    }
    if (HostAppIsAfterEffects())
    {
        sIdentity.windowClassName = "After Effects";
        return;
    }
    switch (GetHostAppType())
    {
    case kHostAppInDesign:
        sIdentity.windowClassName = "indesign";
        break;
    case kHostAppInCopy:
        sIdentity.windowClassName = "incopy";
        break;
    case kHostAppIllustrator:
        sIdentity.windowClassName = "illustrator";
        break;
    case kHostAppPhotoshop:
        sIdentity.windowClassName = "Photoshop";
        break;
    default:
        TraceLog(0,
                 "Host app ('%s') is not After Effects, InDesign, InCopy, Illustrator, Photoshop, or Quark! "
                 "Setting "
                 "window name to '\?\?\?'",
                 sIdentity.hostApp.c_str());
        sIdentity.windowClassName = "???";
        break;
    }
}

TUTF8String PortolanGlobals::MapBundleIDtoHostApp(const TUTF8String& bundleIdentifier)
{
    for (const BundleHostApp& entry : kBundleHostApps)
    {
        if (bundleIdentifier == entry.bundleIdentifier)
        {
            return entry.hostApp;
        }
    }
    TraceLog(0, "Unknown bundleID in %s(%s)", "MapBundleIDtoHostApp", bundleIdentifier.c_str());
    return "";
}

// --- Service flags ----------------------------------------------------------------------------------

void PortolanGlobals::SetPluginServicesEnabled(bool enable)
{
    TraceLog(0, "Calling PortolanGlobals::SetPluginServicesEnabled( enable=%d )", enable ? 1 : 0);
    sPluginServicesEnabled = enable;
}

bool PortolanGlobals::GetPluginServicesEnabled()
{
    return sPluginServicesEnabled;
}

void PortolanGlobals::SetConnectedToCore(bool connected)
{
    TraceLog(0, "Calling PortolanGlobals::SetConnectedToCore(connected=%d)", connected ? 1 : 0);
    sConnectedToCore = connected;
}

bool PortolanGlobals::GetConnectedToCore()
{
    return sConnectedToCore;
}

void PortolanGlobals::SetLoggedIn(bool loggedIn)
{
    TraceLog(0, "Calling PortolanGlobals::SetLoggedIn(loggedIn=%d)", loggedIn ? 1 : 0);
    sLoggedIn = loggedIn;
}

bool PortolanGlobals::GetLoggedIn()
{
    return sLoggedIn;
}

void PortolanGlobals::SetWorkgroupAccess(bool access)
{
    sWorkgroupAccess = access;
}

bool PortolanGlobals::GetWorkgroupAccess()
{
    return sWorkgroupAccess;
}

void PortolanGlobals::SetBulkReplicationRunning(bool isReplicating)
{
    TraceLog(0, "Calling PortolanGlobals::SetBulkReplicationRunning(isReplicating=%d)",
             isReplicating ? 1 : 0);
    sBulkReplicationRunning = isReplicating;
}

bool PortolanGlobals::GetBulkReplicationRunning()
{
    return sBulkReplicationRunning;
}

void PortolanGlobals::SetIncrementalReplicationRunning(bool isReplicating)
{
    TraceLog(0, "Calling PortolanGlobals::SetIncrementalReplicationRunning(isReplicating=%d)",
             isReplicating ? 1 : 0);
    sIncrementalReplicationRunning = isReplicating;
}

bool PortolanGlobals::GetIncrementalReplicationRunning()
{
    return sIncrementalReplicationRunning;
}

bool PortolanGlobals::IsPluginEnabled()
{
    return sPluginServicesEnabled && sLoggedIn && sWorkgroupAccess;
}

bool PortolanGlobals::IsPluginOperational()
{
    if (sLPFInterface == nullptr || !sLPFInterface->GetEnablePlugin() || !IsPluginEnabled())
    {
        return false;
    }
    // With the services on, the font manager answers what the core last reported: the timer step
    // that asks this every second never waits for the core.
    FontManagerInterface* fontManager = FontManagerInterface::GetFontManager();
    return fontManager != nullptr && fontManager->IsLoggedIn();
}

// --- Shared objects ---------------------------------------------------------------------------------

LPFInterface* PortolanGlobals::GetSharedLPFInterface()
{
    if (sLPFInterface == nullptr)
    {
        if (sIdentity.hostApp.empty())
        {
            TraceLog(0, "ERROR: sHostApp is NULL in %s()", "PortolanGlobals::GetSharedLPFInterface");
        }
        const GCFRef<CFStringRef> hostApp(CreateStringOrNull(sIdentity.hostApp));
        const GCFRef<CFStringRef> pluginVersion(CreateStringOrNull(sIdentity.pluginVersion));
        const GCFRef<CFStringRef> bundle(CreateStringOrNull(sIdentity.bundleIdentifier));
        const GCFRef<CFStringRef> interfaceVersion(CreateStringOrNull(GetPluginInterfaceVersion()));
        sLPFInterface =
            new LPFInterface(hostApp.Get(), pluginVersion.Get(), bundle.Get(), interfaceVersion.Get());
    }
    return sLPFInterface;
}

FontActivationTracker* PortolanGlobals::GetFontActivationTracker()
{
    if (sFontActivationTracker == nullptr)
    {
        sFontActivationTracker = new FontActivationTracker(GetSharedLPFInterface());
    }
    return sFontActivationTracker;
}

// --- Operations -------------------------------------------------------------------------------------

int PortolanGlobals::CompareVersions(const TUTF8String& a, const TUTF8String& b)
{
    // Reads the component at position as a decimal number, each character counting as its value
    // minus '0' (no validation); very long components stop growing instead of overflowing.
    const auto readComponent = [](const TUTF8String& text, std::size_t& position)
    {
        constexpr long long kLimit = 1000000000000000LL;
        long long component = 0;
        for (; position < text.size() && text[position] != '.'; ++position)
        {
            if (component < kLimit && component > -kLimit)
            {
                component = component * 10 + (text[position] - '0');
            }
        }
        if (position < text.size())
        {
            ++position;
        }
        return component;
    };
    std::size_t positionA = 0;
    std::size_t positionB = 0;
    while (positionA < a.size() || positionB < b.size())
    {
        const long long componentA = readComponent(a, positionA);
        const long long componentB = readComponent(b, positionB);
        if (componentA != componentB)
        {
            return componentA > componentB ? 1 : -1;
        }
    }
    return 0;
}

TUTF8String PortolanGlobals::GetHostAppVersion()
{
    TUTF8String version;
    if (GProcessInfo::GetCurrentProcessVersion(version) != CoreErrorCodes::kSuccess)
    {
        version.clear();
    }
    return version;
}

bool PortolanGlobals::RunningInCompatibleHostApp()
{
    const TUTF8String& prefix = sIdentity.hostAppVersionPrefix;
    const TUTF8String& minimum = sIdentity.minimumHostAppVersion;
    const TUTF8String hostVersion = GetHostAppVersion();
    TraceLog(0, "In %s(), versionPrefixRequired='%s', minimumVersionRequired='%s', hostAppVersion='%s'",
             kCompatibilityFunctionName, prefix.c_str(), minimum.c_str(), hostVersion.c_str());
    bool compatible = true;
    if (!prefix.empty())
    {
        compatible = StartsWith(hostVersion, prefix.c_str());
        if (!compatible)
        {
            TraceLog(
                0,
                "RunningInCompatibleHostApp: app version (%s) incompatible with versionPrefixRequired (%s)",
                hostVersion.c_str(), prefix.c_str());
        }
    }
    else if (!minimum.empty())
    {
        compatible = CompareVersions(minimum, hostVersion) <= 0;
        if (!compatible)
        {
            TraceLog(
                0,
                "RunningInCompatibleHostApp: app version (%s) incompatible with minimumVersionRequired (%s)",
                hostVersion.c_str(), minimum.c_str());
        }
    }
    TraceLog(0, "RunningInCompatibleHostApp: returning %d", compatible ? 1 : 0);
    return compatible;
}

bool PortolanGlobals::WriteDefaultPreferences()
{
    LPFInterface* lpf = sLPFInterface;
    if (lpf == nullptr || lpf->DoPreferencesExist())
    {
        return false;
    }
    for (const DefaultPreference& preference : kDefaultPreferences)
    {
        if (preference.isLong)
        {
            lpf->SetLongPreferenceForKey(preference.key, preference.value);
        }
        else
        {
            lpf->SetPreferenceForKey(preference.key, preference.value != 0);
        }
    }
    return true;
}

void PortolanGlobals::SaveDocumentFonts(const TUTF8String& path, TUInt32 hint)
{
    TraceLog(1, "Entering %s (path=%s, hint=0x%08x)", "PortolanGlobals::SaveDocumentFonts", path.c_str(),
             static_cast<unsigned>(hint));
    if (sLPFInterface == nullptr)
    {
        TraceLog(0, "No LPF");
    }
    else if (const GCFRef<CFStringRef> displayName(CopyHostAppDisplayName()); displayName)
    {
        TraceLog(0, "Calling LPI SaveDocumentFonts");
        LPILoader* loader = LPILoader::GetSharedInstance();
        LPIFacade facade = (loader != nullptr && loader->pfGetPluginFacadeInstance != nullptr)
                               ? loader->pfGetPluginFacadeInstance()
                               : nullptr;
        if (facade != nullptr && loader->pfSaveDocumentFonts != nullptr)
        {
            char name[256] = {};
            CFStringGetCString(displayName.Get(), name, sizeof(name), kCFStringEncodingUTF8);
            const TUTF8String code = GetHostAppCode();
            loader->pfSaveDocumentFonts(facade, path.c_str(), code.c_str(), name, hint);
        }
    }
    TraceLog(-1, "Exiting %s", "PortolanGlobals::SaveDocumentFonts");
}

void PortolanGlobals::RefreshActiveFontList(void (*function)(void*), void* argument)
{
    TraceLog(1, "Entering %s", "PortolanGlobals::RefreshActiveFontList");
    if (function != nullptr)
    {
        function(argument);
        function(argument);
    }
    TraceLog(-1, "Exiting %s", "PortolanGlobals::RefreshActiveFontList");
}

void PortolanGlobals::CleanUpOnShutdown()
{
    TraceLog(1, "Entering %s", "PortolanGlobals::CleanUpOnShutdown");
    SetPluginServicesEnabled(false);
    delete sFontActivationTracker;
    sFontActivationTracker = nullptr;
    if (LPILoader::HasSharedInstance())
    {
        LPILoader* loader = LPILoader::GetSharedInstance();
        LPIFacade facade =
            loader->pfGetPluginFacadeInstance != nullptr ? loader->pfGetPluginFacadeInstance() : nullptr;
        if (facade != nullptr && loader->pfCleanUpOnShutdown != nullptr)
        {
            loader->pfCleanUpOnShutdown(facade);
        }
    }
    // The facade object is forgotten, not destroyed.
    sLPFInterface = nullptr;
    sIdentity.hostApp.clear();
    sIdentity.pluginVersion.clear();
    sIdentity.pluginInterfaceVersion.clear();
    sIdentity.bundleIdentifier.clear();
    TraceLog(-1, "Exiting %s", "PortolanGlobals::CleanUpOnShutdown");
}

void PortolanGlobals::ResetForTesting()
{
    sIdentity = Identity();
    sPluginServicesEnabled = false;
    sConnectedToCore = false;
    sLoggedIn = false;
    sWorkgroupAccess = false;
    sBulkReplicationRunning = false;
    sIncrementalReplicationRunning = false;
    sLPFInterface = nullptr;
    sFontActivationTracker = nullptr;
}
