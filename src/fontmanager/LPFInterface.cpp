#include "LPFInterface.h"

#include "GCFRef.h"
#include "GLogger.h"
#include "GStringEncodings.h"
#include "LPFLibrary.h"
#include "LumorandPluginFramework.h"

namespace
{
// A key made for one call and released after it.
GCFRef<CFStringRef> MakeKey(const char* key)
{
    return GCFRef<CFStringRef>(CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8));
}

const char* TextOrEmpty(const TUTF8String& text)
{
    return text.c_str();
}
} // namespace

LPFInterface::LPFInterface(CFStringRef hostApp, CFStringRef pluginVersion, CFStringRef pluginBundleIdentifier,
                           CFStringRef pluginInterfaceVersion)
{
    const TUTF8String hostAppText = UTF8StringFromCFString(hostApp);
    const TUTF8String pluginVersionText = UTF8StringFromCFString(pluginVersion);
    const TUTF8String bundleText = UTF8StringFromCFString(pluginBundleIdentifier);
    const TUTF8String interfaceText = UTF8StringFromCFString(pluginInterfaceVersion);
    TraceLog(0,
             "LPFInterface::LPFInterface(hostApp='%s', pluginVersion='%s', pluginBundleIdentifier='%s', "
             "lumorandPluginInterfaceVersion='%s')",
             TextOrEmpty(hostAppText), TextOrEmpty(pluginVersionText), TextOrEmpty(bundleText),
             TextOrEmpty(interfaceText));

    mDetails.Reset(CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                             &kCFTypeDictionaryValueCallBacks));
    if (CFMutableDictionaryRef details = mDetails.Get(); details != nullptr)
    {
        if (hostApp != nullptr)
        {
            CFDictionarySetValue(details, CFSTR("HostApp"), hostApp);
        }
        if (pluginVersion != nullptr)
        {
            CFDictionarySetValue(details, CFSTR("PluginVersion"), pluginVersion);
        }
        if (pluginInterfaceVersion != nullptr)
        {
            CFDictionarySetValue(details, CFSTR("LumorandPluginInterfaceVersion"), pluginInterfaceVersion);
        }
    }

    // The framework object is made once, at the end of construction, from the details. Without
    // the library the facade stays unusable.
    if (LPFLibrary::IsAvailable())
    {
        mpFramework = new LumorandPluginFramework(mDetails.Get());
    }
    else
    {
        TraceLog(0,
                 "LPFInterface: the framework library %s could not be loaded; preferences and dialogs are "
                 "unavailable",
                 kLumorandFrameworkLibraryName);
    }
    mCreated = true;
}

LPFInterface::~LPFInterface()
{
    delete mpFramework;
}

bool LPFInterface::IsHostedByPluginCore()
{
    return LPFLibrary::IsModuleLoaded("PluginCoreX64.dll") || LPFLibrary::IsModuleLoaded("PluginCoreX32.dll");
}

// --- Preferences ----------------------------------------------------------------------------------

bool LPFInterface::GetPreferenceForKey(const char* key)
{
    if (mpFramework == nullptr)
    {
        return false;
    }
    const GCFRef<CFStringRef> cfKey = MakeKey(key);
    return LumorandPluginFramework::GetPreferenceForKey(cfKey.Get());
}

void LPFInterface::SetPreferenceForKey(const char* key, bool value)
{
    if (mpFramework == nullptr)
    {
        return;
    }
    const GCFRef<CFStringRef> cfKey = MakeKey(key);
    LumorandPluginFramework::SetPreferenceForKey(cfKey.Get(), value);
}

TSInt32 LPFInterface::GetLongPreferenceForKey(const char* key)
{
    if (mpFramework == nullptr)
    {
        return 0;
    }
    const GCFRef<CFStringRef> cfKey = MakeKey(key);
    return LumorandPluginFramework::GetLongPreferenceForKey(cfKey.Get());
}

void LPFInterface::SetLongPreferenceForKey(const char* key, TSInt32 value)
{
    if (mpFramework == nullptr)
    {
        return;
    }
    const GCFRef<CFStringRef> cfKey = MakeKey(key);
    LumorandPluginFramework::SetLongPreferenceForKey(cfKey.Get(), value);
}

CFStringRef LPFInterface::CopyStringPreferenceForKey(const char* key)
{
    if (mpFramework == nullptr)
    {
        return nullptr;
    }
    const GCFRef<CFStringRef> cfKey = MakeKey(key);
    return mpFramework->GetStringPreferenceForKey(cfKey.Get());
}

void LPFInterface::SetStringPreferenceForKey(const char* key, CFStringRef value)
{
    if (mpFramework == nullptr)
    {
        return;
    }
    const GCFRef<CFStringRef> cfKey = MakeKey(key);
    mpFramework->SetStringPreferenceForKey(cfKey.Get(), value);
}

bool LPFInterface::DoPreferencesExist()
{
    return mpFramework != nullptr && mpFramework->DoPreferencesExist();
}

bool LPFInterface::GetEnablePlugin()
{
    return GetPreferenceForKey("EnablePlugin");
}

bool LPFInterface::GetEnableFaceTrace()
{
    return IsHostedByPluginCore() || GetPreferenceForKey("EnableFaceTrace");
}

bool LPFInterface::GetDialogSuppression()
{
    return GetPreferenceForKey("DialogSuppression");
}

bool LPFInterface::GetPickBestMatch()
{
    return !IsHostedByPluginCore() && GetPreferenceForKey("PickBestMatch");
}

bool LPFInterface::GetSupportEmbeddedObjects()
{
    return GetPreferenceForKey("SupportEmbeddedObjects");
}

bool LPFInterface::GetCloseFontsOnHostAppQuit()
{
    return GetPreferenceForKey("CloseFontsOnHostAppQuit");
}

bool LPFInterface::GetCloseFontsOnDocClose()
{
    return GetPreferenceForKey("CloseFontsOnDocClose");
}

bool LPFInterface::GetActivateEntireFamilies()
{
    return GetPreferenceForKey("ActivateEntireFamilies");
}

bool LPFInterface::GetActivateGlobally()
{
    return GetPreferenceForKey("ActivateGlobally");
}

bool LPFInterface::GetActivateLocally()
{
    return GetPreferenceForKey("ActivateLocally");
}

bool LPFInterface::GetEnableLogging()
{
    return GetPreferenceForKey("EnableLogging");
}

TSInt32 LPFInterface::GetCurrentWorkgroupID()
{
    const TSInt32 workgroupID = GetLongPreferenceForKey("CurrentWorkgroup");
    TraceLog(0, "%s() returning %d", "LPFInterface::GetCurrentWorkgroupID", static_cast<int>(workgroupID));
    return workgroupID;
}

void LPFInterface::SetCurrentWorkgroupID(TSInt32 workgroupID)
{
    TraceLog(0, "Calling %s(%d)", "LPFInterface::SetCurrentWorkgroupID", static_cast<int>(workgroupID));
    SetLongPreferenceForKey("CurrentWorkgroup", workgroupID);
}

CFStringRef LPFInterface::CopyLastCFOFolder()
{
    return CopyStringPreferenceForKey("LastCFOFolder");
}

void LPFInterface::SetLastCFOFolder(CFStringRef folder)
{
    SetStringPreferenceForKey("LastCFOFolder", folder);
}

// --- Strings and dialogs --------------------------------------------------------------------------

CFStringRef LPFInterface::CopyLocalizedString(TSInt32 number)
{
    return mpFramework != nullptr ? mpFramework->LocalizedString(number) : nullptr;
}

TSInt32 LPFInterface::ShowMessageBox(TSInt32 titleNumber, TSInt32 textNumber, TSInt32 type)
{
    return mpFramework != nullptr ? mpFramework->ShowMessageBox(titleNumber, textNumber, type) : 0;
}

TSInt32 LPFInterface::ShowMessageBox(CFStringRef title, CFStringRef message, TSInt32 type)
{
    return mpFramework != nullptr ? mpFramework->ShowMessageBox(title, message, type) : 0;
}

void LPFInterface::ShowAboutBox()
{
    TraceLog(1, "Entering %s()", "LPFInterface::ShowAboutBox");
    if (mpFramework != nullptr)
    {
        mpFramework->ShowAboutBox();
    }
    TraceLog(-1, "Exiting %s()", "LPFInterface::ShowAboutBox");
}

void LPFInterface::ShowPreferences()
{
    if (mpFramework != nullptr)
    {
        mpFramework->ShowPreferences();
    }
}

TSInt32 LPFInterface::ShowResolveFonts(CFArrayRef problemFonts)
{
    if (mShowingResolveFonts)
    {
        TraceLog(0, "ERROR: %s() called recursively.", "ShowResolveFonts");
        return 0;
    }
    if (mpFramework == nullptr)
    {
        return 0;
    }
    mShowingResolveFonts = true;
    const TSInt32 result = mpFramework->ShowResolveFonts(problemFonts);
    mShowingResolveFonts = false;
    return result;
}

TSInt32 LPFInterface::ShowCommandBox(CFDictionaryRef input, TSInt32* selectedWorkgroup)
{
    return mpFramework != nullptr ? mpFramework->ShowCommandBox(input, selectedWorkgroup) : -1;
}

TSInt32 LPFInterface::AskForOneString(CFStringRef title, CFStringRef prompt, CFStringRef initialText,
                                      CFStringRef* answer)
{
    if (answer != nullptr)
    {
        *answer = nullptr;
    }
    return mpFramework != nullptr ? mpFramework->AskForOneString(title, prompt, initialText, answer) : 0;
}

CFStringRef LPFInterface::CopyHostAppDisplayName()
{
    return mpFramework != nullptr ? mpFramework->GetHostAppDisplayName() : nullptr;
}

void LPFInterface::SetParentWindowForUi(void* window)
{
    if (mpFramework != nullptr)
    {
        mpFramework->SetParentWindowForUi(window);
    }
}

void LPFInterface::UpdatePluginDetails(CFDictionaryRef details)
{
    if (mpFramework != nullptr)
    {
        mpFramework->UpdatePluginDetails(details);
    }
}

void LPFInterface::SetFontManagerBundleName(CFStringRef name)
{
    const TUTF8String text = UTF8StringFromCFString(name);
    TraceLog(0, "LPFInterface::SetFontManagerBundleName('%s')", text.c_str());
    if (name == nullptr)
    {
        return;
    }
    const GCFRef<CFMutableDictionaryRef> details(CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    if (!details)
    {
        return;
    }
    CFDictionarySetValue(details.Get(), CFSTR("FontManager"), name);
    UpdatePluginDetails(details.Get());
}

// --- The numbered messages ---------------------------------------------------------------------------

TSInt32 LPFInterface::ShowNumberedMessage(TSInt32 titleNumber, TSInt32 textNumber, TSInt32 type)
{
    return ShowMessageBox(titleNumber, textNumber, type);
}

void LPFInterface::ShowSchemaMismatchMessage()
{
    ShowNumberedMessage(kSchemaMismatchTitle, kSchemaMismatchText, kMessageBoxOK);
}

void LPFInterface::ShowIncompatibleHostMessage()
{
    ShowNumberedMessage(kIncompatibleHostTitle, kIncompatibleHostText, kMessageBoxOK);
}

void LPFInterface::ShowCoreNotRunningMessage()
{
    ShowNumberedMessage(kCoreNotRunningTitle, kCoreNotRunningText, kMessageBoxOK);
}

void LPFInterface::ShowIncompatibleFontManagerMessage()
{
    ShowNumberedMessage(kIncompatibleFontManagerTitle, kIncompatibleFontManagerText, kMessageBoxOK);
}

bool LPFInterface::AskLoggedOut()
{
    return ShowNumberedMessage(kLoggedOutTitle, kLoggedOutAskText, kMessageBoxTwoButtons) == 1;
}

void LPFInterface::ShowLoggedOutMessage()
{
    ShowNumberedMessage(kLoggedOutTitle, kLoggedOutText, kMessageBoxOK);
}

bool LPFInterface::AskRetryLaunch(bool standalone)
{
    const TSInt32 pressed =
        standalone ? ShowNumberedMessage(kRetryLaunchStandaloneTitle, kRetryLaunchStandaloneText,
                                         kMessageBoxTwoButtons)
                   : ShowNumberedMessage(kRetryLaunchTitle, kRetryLaunchText, kMessageBoxTwoButtons);
    return pressed == 1;
}

void LPFInterface::ShowNoWorkgroupsMessage(bool standalone)
{
    if (standalone)
    {
        ShowNumberedMessage(kNoWorkgroupsStandaloneTitle, kNoWorkgroupsStandaloneText, kMessageBoxOK);
    }
    else
    {
        ShowNumberedMessage(kNoWorkgroupsTitle, kNoWorkgroupsText, kMessageBoxOK);
    }
}

void LPFInterface::ShowCannotExportMessage()
{
    ShowNumberedMessage(kCannotExportTitle, kCannotExportText, kMessageBoxOK);
}

bool LPFInterface::AskNotAllFontsIdentified(bool ask)
{
    const TSInt32 text = ask ? kNotAllIdentifiedAskText : kNotAllIdentifiedText;
    return ShowNumberedMessage(kNotAllIdentifiedTitle, text, kMessageBoxTwoButtons) == 1;
}

void LPFInterface::ShowSetNameTooLongMessage()
{
    ShowNumberedMessage(kSetNameTooLongTitle, kSetNameTooLongText, kMessageBoxOK);
}

void LPFInterface::ShowAllWorkgroupsSetMessage()
{
    ShowNumberedMessage(kAllWorkgroupsSetTitle, kAllWorkgroupsSetText, kMessageBoxOK);
}

void LPFInterface::ShowFormattedMessage(TSInt32 formatNumber, CFStringRef text)
{
    if (mpFramework == nullptr)
    {
        return;
    }
    const GCFRef<CFStringRef> format(CopyLocalizedString(formatNumber));
    if (!format)
    {
        return;
    }
    if (const GCFRef<CFStringRef> message(CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, format.Get(),
                                                                   text != nullptr ? text : CFSTR("")));
        message)
    {
        mpFramework->ShowMessageBox(nullptr, message.Get(), kMessageBoxOK);
    }
}
