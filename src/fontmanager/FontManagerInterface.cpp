#include "FontManagerInterface.h"

#include "FontActivationTracker.h"

#include "CoreAgentInterface.h"
#include "FontRecordKeys.h"
#include "GBlockingLockStrategy.h"
#include "GCFRef.h"
#include "GLogger.h"
#include "GMutex.h"
#include "GScopedFlag.h"
#include "GScopedLock.h"
#include "GStringEncodings.h"
#include "LPFInterface.h"
#include "LPILoader.h"
#include "PortolanGlobals.h"
#include "XCFUtils.h"

#include <atomic>
#include <cstdint>
#include <utility>

namespace
{
// Localized strings of the framework.
enum : TSInt32
{
    kAllWorkgroupsNameString = 210,
    kAllWorkgroupsStandaloneNameString = 217,
};

std::atomic<FontManagerInterface*> sm_pFontManager{nullptr};
bool sm_bWorkgroupChosen = false;
bool sm_bSelectingWorkgroup = false;

GMutex& FontManagerMutex()
{
    static GMutex sMutex;
    return sMutex;
}

unsigned LoggedAddress(const void* address)
{
    return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(address));
}

CFMutableArrayRef CreateMutableArray()
{
    return CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
}

CFDictionaryRef RecordAt(CFArrayRef array, CFIndex index)
{
    const void* value = CFArrayGetValueAtIndex(array, index);
    return value != nullptr && CFGetTypeID(value) == CFDictionaryGetTypeID()
               ? static_cast<CFDictionaryRef>(value)
               : nullptr;
}

bool RecordWorkgroupID(CFDictionaryRef record, TSInt32& outID)
{
    return record != nullptr && XCFDictionaryGetNumber(record, kFT_WorkgroupIDKey, &outID);
}
} // namespace

// --- FontInfoResult ------------------------------------------------------------------------------------

void FontInfoResult::Reset()
{
    mFontInfo.Reset();
    mFound = false;
    mStatus = 0;
    mActivationState = 0;
}

void FontInfoResult::SetFontInfo(GCFRef<CFMutableDictionaryRef> fontInfo)
{
    mFontInfo = std::move(fontInfo);
}

// --- Defaults of the font manager's operations ----------------------------------------------------------

TSInt32 FontManagerInterface::FontIDsForPostScriptName(const char*, TSInt32, std::vector<TUInt32>& outFontIDs)
{
    outFontIDs.clear();
    return -1;
}

TSInt32 FontManagerInterface::FontIDsForFamilyName(const char*, TSInt32, std::vector<TUInt32>& outFontIDs)
{
    outFontIDs.clear();
    return -1;
}

std::map<TUInt32, bool> FontManagerInterface::GetFontIsActivated(CFArrayRef)
{
    return {};
}

std::map<TUInt32, TSInt32> FontManagerInterface::GetFontConflicts(const std::vector<TUInt32>&)
{
    return {};
}

TSInt32 FontManagerInterface::ActivateDocumentFontsByPath(const char*, CFMutableArrayRef, CFMutableArrayRef,
                                                          CFMutableArrayRef)
{
    return -1;
}

TSInt32 FontManagerInterface::ActivateFontByID(CFDictionaryRef, const char*)
{
    return -1;
}

TSInt32 FontManagerInterface::ActivateFontsByID(CFArrayRef, const char*, CFMutableArrayRef)
{
    return -1;
}

TSInt32 FontManagerInterface::DeactivateFont(CFDictionaryRef)
{
    return -1;
}

TSInt32 FontManagerInterface::DeactivateFonts(CFArrayRef, CFMutableArrayRef)
{
    return -1;
}

TSInt32 FontManagerInterface::CountNamedFonts(const char*, TSInt32, TSInt32, TSInt32& outCount)
{
    outCount = 0;
    return -1;
}

TSInt32 FontManagerInterface::GetNamedFontInfo(const char*, TSInt32, TSInt32, TSInt32, FontInfoResult&)
{
    return -1;
}

TSInt32 FontManagerInterface::GetFontInfoByID(CFDictionaryRef, FontInfoResult&)
{
    return -1;
}

TSInt32 FontManagerInterface::GetPostscriptNameByID(TSInt32, TUInt32, TUTF8String&)
{
    return -1;
}

TSInt32 FontManagerInterface::GetFaceTraceInfo(TUInt32, CFDictionaryRef, char*, TUInt32&)
{
    return -1;
}

TSInt32 FontManagerInterface::FindFontsInSameFamily(CFDictionaryRef, CFArrayRef, TSInt32, CFMutableArrayRef)
{
    return -1;
}

TSInt32 FontManagerInterface::MakeSetForDocumentFonts(CFStringRef, CFArrayRef)
{
    return -1;
}

TSInt32 FontManagerInterface::CollectFontsUsedByCurrentDocument(const char*, const char*, CFArrayRef)
{
    return -1;
}

TSInt32 FontManagerInterface::GetAllWorkgroupsForUser(CFMutableArrayRef, bool, bool, bool)
{
    return -1;
}

std::map<TUInt32, bool>
FontManagerInterface::GetClientFontActivationStates(const std::vector<TUInt32>& fontIDs)
{
    std::map<TUInt32, bool> states;
    for (const TUInt32 fontID : fontIDs)
    {
        if (fontID != 0)
        {
            states[fontID] = true;
        }
    }
    TraceLog(0, "FontManagerInterface::GetClientFontActivationStates returning a map with %d entries",
             static_cast<int>(states.size()));
    return states;
}

void FontManagerInterface::WorkgroupIDsForQuery(TSInt32 workgroupID, std::vector<TSInt32>& outWorkgroupIDs)
{
    outWorkgroupIDs.assign(1, IsAllWorkgroups(workgroupID) ? 0 : workgroupID);
}

// --- Workgroup operations ---------------------------------------------------------------------------------

TSInt32 FontManagerInterface::SetDefaultWorkgroupID(TSInt32 workgroupID)
{
    TraceLog(0, "Calling FontManagerInterface::SetDefaultWorkgroupID(workgroupID=%d)", workgroupID);
    if (LPFInterface* framework = PortolanGlobals::GetSharedLPFInterface())
    {
        framework->SetCurrentWorkgroupID(workgroupID);
    }
    return 0;
}

TSInt32 FontManagerInterface::SetDefaultWorkgroupByName(CFStringRef name)
{
    if (name == nullptr)
    {
        return -1;
    }
    TSInt32 workgroupID = 0;
    FindWorkgroupIDByName(name, workgroupID);
    return SetDefaultWorkgroupID(workgroupID);
}

CFStringRef FontManagerInterface::GetCurrentWorkgroupName()
{
    return GetWorkgroupNameFromID(GetCurrentWorkgroupID());
}

TSInt32 FontManagerInterface::FindWorkgroupIDByName(CFStringRef name, TSInt32& outWorkgroupID)
{
    if (name == nullptr)
    {
        return kWorkgroupNameNotFound;
    }
    LPFInterface* framework = PortolanGlobals::GetSharedLPFInterface();
    if (framework != nullptr && CanActivateAcrossWorkgroups())
    {
        const GCFRef<CFStringRef> allName(framework->CopyLocalizedString(
            GetRunningStandalone() ? kAllWorkgroupsStandaloneNameString : kAllWorkgroupsNameString));
        if (allName && CFEqual(allName.Get(), name))
        {
            outWorkgroupID = kAllWorkgroupsID;
            return 0;
        }
    }
    TSInt32 result = kWorkgroupNameNotFound;
    const GCFRef<CFMutableArrayRef> workgroups(CreateMutableArray());
    if (workgroups && GetAllWorkgroupsForUser(workgroups.Get(), false, false, false) == 0)
    {
        for (CFIndex i = 0; i < CFArrayGetCount(workgroups.Get()); ++i)
        {
            CFDictionaryRef workgroup = RecordAt(workgroups.Get(), i);
            CFStringRef workgroupName = XCFDictionaryGetString(workgroup, kFT_WorkgroupNameKey);
            if (workgroupName != nullptr && CFEqual(workgroupName, name) &&
                RecordWorkgroupID(workgroup, outWorkgroupID))
            {
                result = 0;
                break;
            }
        }
    }
    return result;
}

CFStringRef FontManagerInterface::GetWorkgroupNameFromID(TSInt32 workgroupID)
{
    TraceLog(1, "Entering FontManagerInterface::GetWorkgroupNameFromID(inWorkgroupID=%d)", workgroupID);
    CFStringRef name = nullptr;
    if (const GCFRef<CFMutableArrayRef> workgroups(CreateMutableArray());
        workgroups && GetAllWorkgroupsForUser(workgroups.Get(), true, true, false) == 0)
    {
        name = FindWorkgroupIDGetName(workgroupID, workgroups.Get());
    }
    TraceLog(-1, "FontManagerInterface::GetWorkgroupNameFromID() returning %d", name != nullptr ? 1 : 0);
    return name;
}

TSInt32 FontManagerInterface::AddWorkgroupNamesToFonts(CFArrayRef fonts)
{
    TraceLog(1, "Entering %s()", "FontManagerInterface::AddWorkgroupNamesToFonts");
    TSInt32 result = -1;
    const GCFRef<CFMutableArrayRef> workgroups(CreateMutableArray());
    if (fonts != nullptr && workgroups && GetAllWorkgroupsForUser(workgroups.Get(), false, true, false) == 0)
    {
        for (CFIndex i = 0; i < CFArrayGetCount(fonts); ++i)
        {
            CFDictionaryRef font = RecordAt(fonts, i);
            TSInt32 workgroupID = 0;
            if (!RecordWorkgroupID(font, workgroupID))
            {
                continue;
            }
            if (const GCFRef<CFStringRef> name(FindWorkgroupIDGetName(workgroupID, workgroups.Get())); name)
            {
                // The records of a font list are mutable dictionaries.
                CFDictionarySetValue(const_cast<CFMutableDictionaryRef>(font), kFT_WorkgroupNameKey,
                                     name.Get());
                result = 0;
            }
        }
    }
    TraceLog(-1, "%s() returning %d", "FontManagerInterface::AddWorkgroupNamesToFonts", result);
    return result;
}

CFStringRef FontManagerInterface::FindWorkgroupIDGetName(TSInt32 workgroupID, CFArrayRef workgroups)
{
    TraceLog(1,
             "Entering FontManagerInterface::FindWorkgroupIDGetName(inWorkgroupID=%d, CFArrayRef "
             "workgroups=0x%08x)",
             workgroupID, LoggedAddress(workgroups));
    CFStringRef name = nullptr;
    const CFIndex count = workgroups != nullptr ? CFArrayGetCount(workgroups) : 0;
    for (CFIndex i = 0; i < count; ++i)
    {
        CFDictionaryRef workgroup = RecordAt(workgroups, i);
        TSInt32 recordID = 0;
        if (RecordWorkgroupID(workgroup, recordID) && recordID == workgroupID)
        {
            name = XCFDictionaryGetString(workgroup, kFT_WorkgroupNameKey);
            if (name != nullptr)
            {
                CFRetain(name);
            }
            break;
        }
    }
    TraceLog(-1, "FontManagerInterface::FindWorkgroupIDGetName() returning %d", name != nullptr ? 1 : 0);
    return name;
}

// --- The font manager object of the process ----------------------------------------------------------------

FontManagerInterface* FontManagerInterface::GetFontManager()
{
    return sm_pFontManager.load();
}

void FontManagerInterface::SetFontManagerForTesting(FontManagerInterface* fontManager)
{
    sm_pFontManager.store(fontManager);
}

TSInt32 FontManagerInterface::GetCurrentWorkgroupID()
{
    LPFInterface* framework = PortolanGlobals::GetSharedLPFInterface();
    return framework != nullptr ? framework->GetCurrentWorkgroupID() : 0;
}

bool FontManagerInterface::IsWorkgroupChosen()
{
    return sm_bWorkgroupChosen;
}

void FontManagerInterface::SetWorkgroupChosen(bool chosen)
{
    sm_bWorkgroupChosen = chosen;
}

bool FontManagerInterface::CompatibleFontManagerIsRunning(TUTF8String* outBundleName)
{
    TraceLog(1, "Entering FontManagerInterface::CompatibleFontManagerIsRunning(); sm_pFontManager is 0x%08x",
             LoggedAddress(GetFontManager()));
    GScopedLock lock(FontManagerMutex(), true, new GBlockingLockStrategy());
    bool compatible = false;
    if (FontManagerInterface* fontManager = GetFontManager())
    {
        compatible = fontManager->IsCoreAgentProcessRunning();
    }
    else
    {
        LPILoader* loader = LPILoader::GetSharedInstance();
        TUTF8String modulePath;
        TUTF8String libraryVersion;
        TSInt32 missingCount = 0;
        if (loader != nullptr && loader->IsLoaded(&modulePath, &libraryVersion, &missingCount))
        {
            auto* coreAgent = new CoreAgentInterface();
            sm_pFontManager.store(coreAgent);
            const char* bundleName =
                coreAgent->GetRunningStandalone() ? "PortolanTandemPlugin" : "MeridianPlugin";
            if (LPFInterface* framework = PortolanGlobals::GetSharedLPFInterface())
            {
                const GCFRef<CFStringRef> name(CreateCFStringFromUTF8String(bundleName));
                framework->SetFontManagerBundleName(name.Get());
            }
            if (outBundleName != nullptr)
            {
                *outBundleName = bundleName;
            }
            compatible = coreAgent->IsCoreAgentProcessRunning();
            if (compatible)
            {
                const TUTF8String pluginVersion = PortolanGlobals::GetPluginVersion();
                TraceLog(0, "LPI at location '%s' is version '%s' and plugin version is '%s'",
                         modulePath.c_str(), libraryVersion.c_str(), pluginVersion.c_str());
                compatible = VersionsAreCompatible(libraryVersion, pluginVersion);
            }
        }
    }
    TraceLog(-1, "Exiting FontManagerInterface::CompatibleFontManagerIsRunning(); return code %d",
             compatible ? 1 : 0);
    return compatible;
}

void FontManagerInterface::InitializeDefaultWorkgroup(FontManagerInterface* fontManager)
{
    TraceLog(1, "Entering FontManagerInterface::InitializeDefaultWorkgroup()");
    if (fontManager == nullptr)
    {
        fontManager = GetFontManager();
    }
    if (fontManager == nullptr || !fontManager->IsCoreAgentProcessRunning())
    {
        TraceLog(-1, "Exiting because FontManager is not running.");
        return;
    }
    LPFInterface* framework = PortolanGlobals::GetSharedLPFInterface();
    TraceLog(0, "CloseFontsOnDocClose=%d",
             framework != nullptr && framework->GetCloseFontsOnDocClose() ? 1 : 0);
    const TSInt32 currentWorkgroup = GetCurrentWorkgroupID();
    if (IsValidWorkgroupForUser(currentWorkgroup, fontManager))
    {
        fontManager->SetDefaultWorkgroupID(currentWorkgroup);
        if (PortolanGlobals::GetWorkgroupAccess())
        {
            sm_bWorkgroupChosen = true;
        }
    }
    else if (fontManager->CanActivateAcrossWorkgroups())
    {
        fontManager->SetDefaultWorkgroupID(kAllWorkgroupsID);
        sm_bWorkgroupChosen = true;
    }
    else
    {
        const GCFRef<CFMutableArrayRef> workgroups(CreateMutableArray());
        TSInt32 onlyWorkgroup = 0;
        if (workgroups && fontManager->GetAllWorkgroupsForUser(workgroups.Get(), false, false, false) == 0 &&
            CFArrayGetCount(workgroups.Get()) == 1 &&
            RecordWorkgroupID(RecordAt(workgroups.Get(), 0), onlyWorkgroup))
        {
            fontManager->SetDefaultWorkgroupID(onlyWorkgroup);
            sm_bWorkgroupChosen = true;
        }
        else
        {
            // None, several, or no answer: HandleSelectWorkgroup decides later.
            sm_bWorkgroupChosen = false;
        }
    }
    TraceLog(-1, "Exiting FontManagerInterface::InitializeDefaultWorkgroup()");
}

bool FontManagerInterface::IsValidWorkgroupForUser(TSInt32 workgroupID, FontManagerInterface* fontManager)
{
    TraceLog(1, "Entering FontManagerInterface::IsValidWorkgroupForUser(workgroupID=%d)", workgroupID);
    if (fontManager == nullptr)
    {
        fontManager = GetFontManager();
    }
    bool valid = false;
    if (fontManager == nullptr || workgroupID == 0)
    {
        valid = false;
    }
    else if (fontManager->IsAllWorkgroups(workgroupID))
    {
        valid = fontManager->CanActivateAcrossWorkgroups();
    }
    else
    {
        const GCFRef<CFStringRef> name(fontManager->GetWorkgroupNameFromID(workgroupID));
        const GCFRef<CFMutableArrayRef> workgroups(CreateMutableArray());
        if (name && workgroups &&
            fontManager->GetAllWorkgroupsForUser(workgroups.Get(), false, false, false) == 0)
        {
            for (CFIndex i = 0; i < CFArrayGetCount(workgroups.Get()) && !valid; ++i)
            {
                CFStringRef workgroupName =
                    XCFDictionaryGetString(RecordAt(workgroups.Get(), i), kFT_WorkgroupNameKey);
                valid = workgroupName != nullptr && CFEqual(workgroupName, name.Get());
            }
        }
    }
    TraceLog(-1, "FontManagerInterface::IsValidWorkgroupForUser() returning %d", valid ? 1 : 0);
    return valid;
}

void FontManagerInterface::HandleSelectWorkgroup(FontManagerInterface* fontManager)
{
    TraceLog(1, "Entering FontManagerInterface::HandleSelectWorkgroup");
    if (sm_bSelectingWorkgroup)
    {
        TraceLog(
            -1, "*** FontManagerInterface::HandleSelectWorkgroup -- OOPS, Select Workgroup dialog is already "
                "being displayed!");
        return;
    }
    GScopedFlag guard(sm_bSelectingWorkgroup);
    const bool wasChosen = sm_bWorkgroupChosen;
    LPFInterface* framework = PortolanGlobals::GetSharedLPFInterface();
    if (framework == nullptr || fontManager == nullptr)
    {
        TraceLog(-1, "Exiting FontManagerInterface::HandleSelectWorkgroup");
        return;
    }
    const GCFRef<CFMutableArrayRef> workgroups(CreateMutableArray());
    const bool haveWorkgroups =
        workgroups && fontManager->GetAllWorkgroupsForUser(workgroups.Get(), false, false, false) == 0 &&
        CFArrayGetCount(workgroups.Get()) > 0;
    if (!haveWorkgroups)
    {
        const bool standalone = fontManager->GetRunningStandalone();
        if (!standalone)
        {
            TraceLog(0, "HandleSelectWorkgroup:  Setting PluginServicesEnabled false");
            PortolanGlobals::SetWorkgroupAccess(false);
        }
        if (wasChosen)
        {
            sm_bWorkgroupChosen = false;
            framework->ShowNoWorkgroupsMessage(standalone);
        }
        fontManager->SetDefaultWorkgroupID(0);
    }
    else
    {
        const TSInt32 currentWorkgroup = GetCurrentWorkgroupID();
        bool currentIsListed = false;
        for (CFIndex i = 0; i < CFArrayGetCount(workgroups.Get()) && !currentIsListed; ++i)
        {
            TSInt32 workgroupID = 0;
            currentIsListed = RecordWorkgroupID(RecordAt(workgroups.Get(), i), workgroupID) &&
                              workgroupID == currentWorkgroup;
        }
        TSInt32 chosen = currentWorkgroup;
        if (!currentIsListed)
        {
            chosen = 0;
            if (fontManager->CanActivateAcrossWorkgroups())
            {
                chosen = kAllWorkgroupsID;
            }
            else
            {
                RecordWorkgroupID(RecordAt(workgroups.Get(), 0), chosen);
            }
        }
        PortolanGlobals::SetWorkgroupAccess(true);
        sm_bWorkgroupChosen = true;
        fontManager->SetDefaultWorkgroupID(chosen);
    }
    TraceLog(-1, "Exiting FontManagerInterface::HandleSelectWorkgroup");
}

bool FontManagerInterface::EnsureWorkgroupSelected()
{
    PortolanGlobals::SetWorkgroupAccess(true);
    if (sm_bWorkgroupChosen)
    {
        return true;
    }
    LPFInterface* framework = PortolanGlobals::GetSharedLPFInterface();
    FontManagerInterface* fontManager = GetFontManager();
    if (!PortolanGlobals::IsPluginEnabled() || framework == nullptr || !framework->GetEnablePlugin() ||
        fontManager == nullptr || !(fontManager->IsLoggedIn() || fontManager->GetRunningStandalone()))
    {
        return false;
    }
    if (sm_bSelectingWorkgroup)
    {
        TraceLog(0,
                 "*** UH-OH, can't display Select Workgroup dialog, because it's already being displayed!");
    }
    else
    {
        HandleSelectWorkgroup(fontManager);
    }
    return PortolanGlobals::IsPluginEnabled();
}

bool FontManagerInterface::IsCurrentWorkgroupAll()
{
    return GetCurrentWorkgroupID() == kAllWorkgroupsID;
}

void FontManagerInterface::OnHostAppShuttingDown()
{
    TraceLog(1, "Entering FontManagerInterface::OnHostAppShuttingDown()");
    GScopedLock lock(FontManagerMutex(), true, new GBlockingLockStrategy());
    // The font activation tracker closes the fonts it activated before the font manager goes; it
    // deactivates them only when the user wants fonts closed at quit and may still use the plug-in.
    LPFInterface* lpf = PortolanGlobals::GetSharedLPFInterface();
    if (lpf != nullptr)
    {
        if (FontActivationTracker* tracker = PortolanGlobals::GetFontActivationTracker(); tracker != nullptr)
        {
            FontManagerInterface* current = GetFontManager();
            const bool deactivate = PortolanGlobals::IsPluginEnabled() && lpf->GetCloseFontsOnHostAppQuit() &&
                                    lpf->GetEnablePlugin() && current != nullptr && current->IsLoggedIn();
            tracker->CloseAllFonts(deactivate);
        }
    }
    if (FontManagerInterface* fontManager = GetFontManager())
    {
        fontManager->UnregisterForNotifications();
        sm_pFontManager.store(nullptr);
        delete fontManager;
    }
    else
    {
        TraceLog(0, "*** UH-OH, sm_pFontManager is NULL in FontManagerInterface::OnHostAppShuttingDown");
    }
    TraceLog(-1, "Exiting FontManagerInterface::OnHostAppShuttingDown()");
}
