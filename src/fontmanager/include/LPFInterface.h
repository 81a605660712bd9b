#pragma once
// The plug-in's wrapper of the font manager's framework library (LumorandPluginFrameworkx64.dll,
// class LumorandPluginFramework): preferences, localized strings, message boxes and the plug-in's
// dialogs. One shared instance (PortolanGlobals::GetSharedLPFInterface). The library is
// delay-loaded: when it cannot be found the facade exists but is not usable, every preference
// reads as absent and no dialog is shown.

#include "GCFRef.h"
#include "GTypes.h"

#include <CoreFoundation/CoreFoundation.h>

class LumorandPluginFramework;

class LPFInterface
{
public:
    // Numbered messages of the framework's string table: title and text numbers.
    enum : TSInt32
    {
        kSchemaMismatchTitle = 357,
        kSchemaMismatchText = 358,
        kIncompatibleHostTitle = 598,
        kIncompatibleHostText = 599,
        kCoreNotRunningTitle = 600,
        kCoreNotRunningText = 601,
        kIncompatibleFontManagerTitle = 602,
        kIncompatibleFontManagerText = 603,
        kLoggedOutTitle = 609,
        kLoggedOutAskText = 610,
        kLoggedOutText = 611,
        kRetryLaunchTitle = 614,
        kRetryLaunchText = 615,
        kNoWorkgroupsTitle = 620,
        kNoWorkgroupsText = 621,
        kCannotExportTitle = 622,
        kCannotExportText = 623,
        kNotAllIdentifiedTitle = 624,
        kNotAllIdentifiedText = 625,
        kNotAllIdentifiedAskText = 626,
        kSetNameTooLongTitle = 627,
        kSetNameTooLongText = 628,
        kInvalidVaultFormat = 633,
        kVaultInUseFormat = 634,
        kRetryLaunchStandaloneTitle = 637,
        kRetryLaunchStandaloneText = 638,
        kNoWorkgroupsStandaloneTitle = 639,
        kNoWorkgroupsStandaloneText = 640,
        kAllWorkgroupsSetTitle = 647,
        kAllWorkgroupsSetText = 649,
    };
    enum : TSInt32
    {
        kMessageBoxOK = 0,
        kMessageBoxTwoButtons = 2,
    };

    // Any of the texts may be null; each given one goes into the details under "HostApp",
    // "PluginVersion" and "LumorandPluginInterfaceVersion".
    LPFInterface(CFStringRef hostApp, CFStringRef pluginVersion, CFStringRef pluginBundleIdentifier,
                 CFStringRef pluginInterfaceVersion);
    virtual ~LPFInterface();

    LPFInterface(const LPFInterface&) = delete;
    LPFInterface& operator=(const LPFInterface&) = delete;

    // True when the framework object was created (the library is present).
    bool IsUsable() const { return mpFramework != nullptr; }

    // True when a module "PluginCoreX64.dll" or "PluginCoreX32.dll" is loaded in the process.
    static bool IsHostedByPluginCore();

    // --- Preferences ------------------------------------------------------------------------------
    bool GetPreferenceForKey(const char* key);
    void SetPreferenceForKey(const char* key, bool value);
    TSInt32 GetLongPreferenceForKey(const char* key);
    void SetLongPreferenceForKey(const char* key, TSInt32 value);
    // A new string (the caller releases it), or null.
    CFStringRef CopyStringPreferenceForKey(const char* key);
    void SetStringPreferenceForKey(const char* key, CFStringRef value);
    bool DoPreferencesExist();

    bool GetEnablePlugin();
    // Yes whenever the plug-in is hosted by PluginCore.
    bool GetEnableFaceTrace();
    bool GetDialogSuppression();
    // No whenever the plug-in is hosted by PluginCore.
    bool GetPickBestMatch();
    bool GetSupportEmbeddedObjects();
    bool GetCloseFontsOnHostAppQuit();
    bool GetCloseFontsOnDocClose();
    bool GetActivateEntireFamilies();
    bool GetActivateGlobally();
    bool GetActivateLocally();
    bool GetEnableLogging();
    TSInt32 GetCurrentWorkgroupID();
    void SetCurrentWorkgroupID(TSInt32 workgroupID);
    CFStringRef CopyLastCFOFolder();
    void SetLastCFOFolder(CFStringRef folder);

    // --- Strings and dialogs ----------------------------------------------------------------------
    // A new string (the caller releases it), or null.
    CFStringRef CopyLocalizedString(TSInt32 number);
    // The button pressed, 1 for the first; 0 when nothing was shown.
    TSInt32 ShowMessageBox(TSInt32 titleNumber, TSInt32 textNumber, TSInt32 type);
    TSInt32 ShowMessageBox(CFStringRef title, CFStringRef message, TSInt32 type);
    void ShowAboutBox();
    void ShowPreferences();
    // The resolve-fonts dialog; a nested call only logs. 1 confirmed, 0 cancelled or not shown.
    TSInt32 ShowResolveFonts(CFArrayRef problemFonts);
    // The command chosen (-1 when cancelled or not shown); selectedWorkgroup is in/out.
    TSInt32 ShowCommandBox(CFDictionaryRef input, TSInt32* selectedWorkgroup);
    // 1 and a new string in answer when the user confirmed, 0 otherwise.
    TSInt32 AskForOneString(CFStringRef title, CFStringRef prompt, CFStringRef initialText,
                            CFStringRef* answer);
    // A new string (the caller releases it), or null.
    CFStringRef CopyHostAppDisplayName();
    void SetParentWindowForUi(void* window);
    void UpdatePluginDetails(CFDictionaryRef details);
    void SetFontManagerBundleName(CFStringRef name);

    // --- The numbered messages ----------------------------------------------------------------------
    void ShowSchemaMismatchMessage();
    void ShowIncompatibleHostMessage();
    void ShowCoreNotRunningMessage();
    void ShowIncompatibleFontManagerMessage();
    // The logged-out message, asking (true when the first button was pressed) or telling.
    bool AskLoggedOut();
    void ShowLoggedOutMessage();
    // Asks whether to try launching the font manager again: true for the first button.
    bool AskRetryLaunch(bool standalone);
    void ShowNoWorkgroupsMessage(bool standalone);
    void ShowCannotExportMessage();
    // Not every font of the document could be identified; true for the first button.
    bool AskNotAllFontsIdentified(bool ask);
    void ShowSetNameTooLongMessage();
    void ShowAllWorkgroupsSetMessage();
    // Formats 633 (invalid vault) or 634 (vault in use) with the text and shows it without a title.
    void ShowFormattedMessage(TSInt32 formatNumber, CFStringRef text);

private:
    TSInt32 ShowNumberedMessage(TSInt32 titleNumber, TSInt32 textNumber, TSInt32 type);

    GCFRef<CFMutableDictionaryRef> mDetails;
    bool mCreated = false;
    bool mShowingResolveFonts = false;
    LumorandPluginFramework* mpFramework = nullptr;
};
