#include "CoreAgentInterface.h"

#include "CoreProcessLauncher.h"
#include "FaceTraceSupport.h"
#include "FontRecordKeys.h"
#include "GCFRef.h"
#include "GLogger.h"
#include "GStringEncodings.h"
#include "LPFInterface.h"
#include "LPILoader.h"
#include "PortolanGlobals.h"
#include "XCFUtils.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <utility>

namespace
{
constexpr std::uint32_t kFontQueryCapacity = 1024;
constexpr std::uint32_t kColumnIDCapacity = 256;
constexpr std::uint32_t kVaultPathCapacity = 1024;
constexpr CFIndex kMaxSetNameLength = 255;

// Localized strings of the framework.
enum : TSInt32
{
    kAllWorkgroupsNameString = 210,
    kLocalWorkgroupNameString = 211,
    kServerWorkgroupNameString = 212,
    kSystemWorkgroupNameString = 213,
    kType0WorkgroupNameString = 214,
    kStandaloneLibraryNameString = 215,
    kAllWorkgroupsStandaloneNameString = 217,
    kGoogleFontsWorkgroupNameString = 219,
    kType12WorkgroupNameString = 222,
    kCollectFontsTitleString = 450,
    kCollectFontsSubFolderFormatString = 452,
    kCollectFontsPromptFormatString = 455,
    kSetNameTitleString = 470,
    kSetNamePromptString = 471,
};

TSInt32 sSystemWorkgroupID = -1;
TSInt32 sGoogleFontsWorkgroupID = -1;

CFMutableArrayRef CreateMutableArray()
{
    return CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
}

CFIndex ArrayCount(CFArrayRef array)
{
    return array != nullptr ? CFArrayGetCount(array) : 0;
}

CFDictionaryRef RecordAt(CFArrayRef array, CFIndex index)
{
    const void* value = CFArrayGetValueAtIndex(array, index);
    return value != nullptr && CFGetTypeID(value) == CFDictionaryGetTypeID()
               ? static_cast<CFDictionaryRef>(value)
               : nullptr;
}

TSInt32 RecordNumber(CFDictionaryRef record, CFStringRef key, TSInt32 fallback)
{
    TSInt32 value = fallback;
    if (record == nullptr || !XCFDictionaryGetNumber(record, key, &value))
    {
        return fallback;
    }
    return value;
}

TUInt32 RecordFontID(CFDictionaryRef record)
{
    return static_cast<TUInt32>(RecordNumber(record, kFT_DatabaseIDKey, 0));
}

TUTF8String RecordText(CFDictionaryRef record, CFStringRef key)
{
    return record != nullptr ? XCFStringCopyUTF8(XCFDictionaryGetString(record, key)) : TUTF8String();
}

// A yes/no value of a record: the text "1", a true Boolean or a non-zero number.
bool RecordFlag(CFDictionaryRef record, CFStringRef key)
{
    const void* value = record != nullptr ? CFDictionaryGetValue(record, key) : nullptr;
    if (value == nullptr)
    {
        return false;
    }
    if (CFGetTypeID(value) == CFStringGetTypeID())
    {
        return XCFStringCopyUTF8(static_cast<CFStringRef>(value)) == "1";
    }
    if (CFGetTypeID(value) == CFBooleanGetTypeID())
    {
        return CFBooleanGetValue(static_cast<CFBooleanRef>(value)) != 0;
    }
    TSInt32 number = 0;
    return XCFDictionaryGetNumber(record, key, &number) && number != 0;
}

// The answers that mean that the core cannot be reached.
bool IsAgentGone(LPIResult code)
{
    return code == kLPIAgentShutdown || code == kLPIServiceUnavailable;
}

TSInt32 ResultOf(LPIResult code)
{
    return code == 0 ? 0 : -1;
}

// Logs a library call that did not succeed.
void LogLibraryFailure(const char* entryPoint, LPIResult code)
{
    if (code != 0)
    {
        TraceLog(0, "%s returned 0x%08x (%s)", entryPoint, static_cast<unsigned>(code),
                 ErrorCodeToString(code).c_str());
    }
}

LPFInterface* Framework()
{
    return PortolanGlobals::GetSharedLPFInterface();
}

// A localized string of the framework, or null.
CFStringRef CopyLocalizedString(TSInt32 number)
{
    LPFInterface* framework = Framework();
    return framework != nullptr ? framework->CopyLocalizedString(number) : nullptr;
}

TUTF8String LocalizedUTF8(TSInt32 number)
{
    const GCFRef<CFStringRef> text(CopyLocalizedString(number));
    return XCFStringCopyUTF8(text.Get());
}

void DisableServices()
{
    PortolanGlobals::SetPluginServicesEnabled(false);
    PortolanGlobals::SetConnectedToCore(false);
}

void ShowCoreNotRunningMessage()
{
    if (LPFInterface* framework = Framework())
    {
        framework->ShowCoreNotRunningMessage();
    }
}

// The column identifier from a column-ID getter of the library.
TUTF8String CallStringGetter(LPI_ColumnIDProc LPILoader::*getter)
{
    char buffer[kColumnIDCapacity] = {};
    const LPIResult code = LPICall(getter, buffer, kColumnIDCapacity);
    buffer[kColumnIDCapacity - 1] = '\0';
    LogLibraryFailure("column ID getter", code);
    TraceLog(0, "CallStringGetter returning '%s'", buffer);
    return buffer;
}

// A font reference for GetFontInfoByID: "DatabaseID" and "WorkgroupID".
CFMutableDictionaryRef CreateFontReference(TUInt32 fontID, TSInt32 workgroupID)
{
    CFMutableDictionaryRef reference = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                                 &kCFTypeDictionaryValueCallBacks);
    if (reference != nullptr)
    {
        XCFDictionarySetNumber(reference, kFT_DatabaseIDKey, static_cast<TSInt32>(fontID));
        XCFDictionarySetNumber(reference, kFT_WorkgroupIDKey, workgroupID);
    }
    return reference;
}
} // namespace

// --- Start-up and shutdown
// ----------------------------------------------------------------------------------

CoreAgentInterface::CoreAgentInterface() : mNotifications(std::make_shared<NotificationQueue>())
{
    // Open before the callback is registered: what the core reports while the connection is being
    // made waits in the queue for the first drain.
    NotificationDelivery::Open(mNotifications, this);
    InitializeCoreAgent(PortolanGlobals::GetPluginHostApp());
    InitializeDefaultWorkgroup(this);
}

CoreAgentInterface::~CoreAgentInterface()
{
    // A callback still running on the library's thread keeps its share of the queue; later ones
    // find none.
    NotificationDelivery::Close(mNotifications.get());
    const LPIResult code = LPICallWithFacade(&LPILoader::pfDestroyThreadInstance);
    LogLibraryFailure("DestroyThreadInstance", code);
    mNotifications->Clear();
}

void CoreAgentInterface::InitializeCoreAgent(const TUTF8String& hostAppName)
{
    TraceLog(1, "Entering CoreAgentInterface::InitializeCoreAgent");
    TraceLog(0, "Host application '%s'", hostAppName.c_str());
    LPFInterface* framework = Framework();

    const LPIResult initCode = LPICallWithFacade(
        &LPILoader::pfInitAppInstance, static_cast<std::int32_t>(PortolanGlobals::GetHostAppType()), 0u);
    if (initCode != 0)
    {
        LogLibraryFailure("InitAppInstance", initCode);
        if (IsAgentGone(initCode))
        {
            // Nothing to learn about schemas from a core that cannot be reached.
            TraceLog(0, "Core Agent process does not answer; rc=%d", static_cast<int>(initCode));
            ShowCoreNotRunningMessage();
            DisableServices();
            TraceLog(-1, "Exiting CoreAgentInterface::InitializeCoreAgent");
            return;
        }
        if (!AreSchemaVersionsInSync())
        {
            DisableServices();
            if (framework != nullptr)
            {
                framework->ShowSchemaMismatchMessage();
            }
        }
        TraceLog(-1, "Exiting CoreAgentInterface::InitializeCoreAgent");
        return;
    }

    std::uint32_t isRunning = 0;
    const LPIResult runningCode = LPICallWithFacade(&LPILoader::pfGetIsCoreAgentProcessRunning, &isRunning);
    if (runningCode != 0 || isRunning == 0)
    {
        TraceLog(0, "Core Agent process not running; rc=%d, isRunning=%d, sizeof(isRunning)=%d",
                 static_cast<int>(runningCode), static_cast<int>(isRunning),
                 static_cast<int>(sizeof(isRunning)));
        ShowCoreNotRunningMessage();
        DisableServices();
        TraceLog(-1, "Exiting CoreAgentInterface::InitializeCoreAgent");
        return;
    }

    const LPIResult threadCode = LPICallWithFacade(&LPILoader::pfInitThreadInstance);
    if (threadCode == 0)
    {
        TraceLog(0, "GObsidianSdk::Initialize SUCCEEDED.");
        PortolanGlobals::SetPluginServicesEnabled(true);
        PortolanGlobals::SetConnectedToCore(true);
        PortolanGlobals::SetLoggedIn(true);
        AskSessionState();
    }
    else if (threadCode == kLPIAgentNotFound || IsAgentGone(threadCode))
    {
        TraceLog(0, "Core Agent process not found");
        ShowCoreNotRunningMessage();
        DisableServices();
    }
    else if (threadCode == kLPIAgentRunningInWrongMode)
    {
        TraceLog(0, "Core Agent process running in wrong mode");
        DisableServices();
    }
    else
    {
        char vaultPath[kVaultPathCapacity] = {};
        LPICallWithFacade(&LPILoader::pfGetFontVaultPath, kVaultPathCapacity, vaultPath);
        vaultPath[kVaultPathCapacity - 1] = '\0';
        const GCFRef<CFStringRef> vaultText(CFStringCreateWithUncertainEncoding(vaultPath));
        if (threadCode == kLPIVaultInUse)
        {
            TraceLog(0, "GObsidianSdk::Initialize FAILED, error code = %d (GObsidianSdk::kVaultInUse).",
                     static_cast<int>(threadCode));
            if (framework != nullptr)
            {
                framework->ShowFormattedMessage(LPFInterface::kVaultInUseFormat, vaultText.Get());
            }
        }
        else
        {
            TraceLog(0, "GObsidianSdk::Initialize FAILED, error code = %d (%s).",
                     static_cast<int>(threadCode),
                     threadCode == kLPIInvalidVault ? "GObsidianSdk::kInvalidVault" : "???");
            if (framework != nullptr)
            {
                framework->ShowFormattedMessage(LPFInterface::kInvalidVaultFormat, vaultText.Get());
            }
        }
        TraceLog(0,
                 "Disabling plug-in services in CoreAgentInterface::InitializeCoreAgent() because of SDK "
                 "initialization error %d.",
                 static_cast<int>(threadCode));
        DisableServices();
    }

    LogLibraryFailure(
        "RegisterForNotifications",
        LPICallWithFacade(&LPILoader::pfRegisterForNotifications, &CoreAgentInterface::NotificationCallback));
    LogLibraryFailure("EnableDesignActivation", LPICallWithFacade(&LPILoader::pfEnableDesignActivation));
    TraceLog(-1, "Exiting CoreAgentInterface::InitializeCoreAgent");
}

// --- Relaunch and retry
// ---------------------------------------------------------------------------------------

template <typename Call>
LPIResult CoreAgentInterface::CallWithRelaunch(Call&& call)
{
    // A core given up on earlier waits for the user's reset: no relaunch, no second wait.
    const bool relaunchAllowed = PortolanGlobals::GetConnectedToCore();
    bool silentRelaunchAllowed = true;
    for (;;)
    {
        LPILoader* loader = LPILoader::GetSharedInstance();
        if (loader == nullptr)
        {
            return 0;
        }
        LPIFacade facade =
            loader->pfGetPluginFacadeInstance != nullptr ? loader->pfGetPluginFacadeInstance() : nullptr;
        const LPIResult code = call(*loader, facade);
        if (!IsAgentGone(code))
        {
            return code;
        }
        TraceLog(0, "Agent not running:  error code = %s",
                 code == kLPIAgentShutdown ? "GAgentIF_kShutdown" : "GIPCClient_kServiceUnavailable");
        if (!relaunchAllowed)
        {
            TraceLog(0, "Agent not running and plugin functionality is disabled: not relaunching");
            return code;
        }
        ERunningCore runningCore = ERunningCore::kReconnect;
        if (silentRelaunchAllowed)
        {
            TraceLog(0, "Agent not running, automatically relaunching agent and retrying command");
            silentRelaunchAllowed = false;
        }
        else
        {
            DisableServices();
            ShowCoreNotRunningMessage();
            TraceLog(0, "Agent not running, relaunching agent and retrying command");
            // A core that runs has had its second chance; only a core that had gone and is
            // launched anew earns another try.
            runningCore = ERunningCore::kGiveUp;
        }
        const TSInt32 relaunched = RelaunchObsidianAgent(runningCore);
        if (relaunched == kCoreDoesNotAnswer)
        {
            TraceLog(0, "Agent runs but does not answer; plugin functionality stays disabled");
            return code;
        }
        if (relaunched != kRelaunched)
        {
            TraceLog(0, "Agent not running, done attempting to relaunch.  Disabling plugin functionality");
            DisableServices();
            return code;
        }
        if (runningCore == ERunningCore::kGiveUp)
        {
            // The retry after a fresh launch is the last one.
            const LPIResult lastCode = call(*loader, loader->pfGetPluginFacadeInstance != nullptr
                                                         ? loader->pfGetPluginFacadeInstance()
                                                         : nullptr);
            if (IsAgentGone(lastCode))
            {
                TraceLog(0, "Agent not running after a relaunch; plugin functionality stays disabled");
            }
            return lastCode;
        }
    }
}

TSInt32 CoreAgentInterface::RelaunchObsidianAgent(ERunningCore runningCore, bool askUser)
{
    TraceLog(1, "Entering CoreAgentInterface::RelaunchObsidianAgent");
    TSInt32 result = kRelaunched;
    for (;;)
    {
        TUTF8String runningFolder;
        if (GetPathToRunningProcessExe(kTypeholdExecutableName, runningFolder) == CoreErrorCodes::kSuccess)
        {
            // A second core would not start beside it; what it needs is a fresh connection.
            if (runningCore == ERunningCore::kGiveUp)
            {
                TraceLog(0, "Typehold is running in '%s' but did not answer", runningFolder.c_str());
                result = kCoreDoesNotAnswer;
                break;
            }
            TraceLog(0, "Typehold is running in '%s': connecting to it afresh", runningFolder.c_str());
            result = kRelaunched;
        }
        else
        {
            result = LaunchObsidianAgentIfNeeded();
        }
        if (result == kRelaunched)
        {
            LogLibraryFailure("ResetPluginFacadeInstance", LPICall(&LPILoader::pfResetPluginFacadeInstance));
            break;
        }
        LPFInterface* framework = Framework();
        if (!askUser || framework == nullptr || !framework->AskRetryLaunch(GetRunningStandalone()))
        {
            break;
        }
    }
    TraceLog(-1, "Exiting CoreAgentInterface::RelaunchObsidianAgent, returning %d", result);
    return result;
}

TSInt32 CoreAgentInterface::LaunchObsidianAgentIfNeeded()
{
    TraceLog(1, "Entering CoreAgentInterface::LaunchObsidianAgentIfNeeded");
    const TSInt32 result = FindAndLaunchTypehold(nullptr) == 0 ? kRelaunched : kRelaunchFailed;
    TraceLog(-1, "Exiting CoreAgentInterface::LaunchObsidianAgentIfNeeded, returning %d", result);
    return result;
}

bool CoreAgentInterface::Reconnect()
{
    if (PortolanGlobals::GetConnectedToCore())
    {
        return true;
    }
    TraceLog(1, "Entering CoreAgentInterface::Reconnect");
    bool connected = false;
    if (LPILoader::GetSharedInstance() != nullptr &&
        RelaunchObsidianAgent(ERunningCore::kReconnect, false) == kRelaunched)
    {
        const LPIResult initCode = LPICallWithFacade(
            &LPILoader::pfInitAppInstance, static_cast<std::int32_t>(PortolanGlobals::GetHostAppType()), 0u);
        const LPIResult threadCode = initCode == 0 ? LPICallWithFacade(&LPILoader::pfInitThreadInstance) : 0;
        LogLibraryFailure("InitAppInstance", initCode);
        LogLibraryFailure("InitThreadInstance", threadCode);
        connected = initCode == 0 && threadCode == 0;
        if (connected)
        {
            AskSessionState();
            LogLibraryFailure("RegisterForNotifications",
                              LPICallWithFacade(&LPILoader::pfRegisterForNotifications,
                                                &CoreAgentInterface::NotificationCallback));
            LogLibraryFailure("EnableDesignActivation",
                              LPICallWithFacade(&LPILoader::pfEnableDesignActivation));
            PortolanGlobals::SetPluginServicesEnabled(true);
            PortolanGlobals::SetConnectedToCore(true);
            PortolanGlobals::SetLoggedIn(mLoggedIn == 1);
        }
    }
    TraceLog(-1, "Exiting CoreAgentInterface::Reconnect, %s",
             connected ? "connected to Typehold again" : "Typehold cannot be reached");
    return connected;
}

// --- Queries
// -------------------------------------------------------------------------------------------------

void CoreAgentInterface::AskSessionState()
{
    mLoggedIn = -1;
    mRunningStandalone = -1;
    mGoogleWebFontsEnabled = -1;
    std::uint32_t loggedIn = 0;
    const LPIResult code = LPICallWithFacade(&LPILoader::pfGetIsLoggedIn, &loggedIn);
    LogLibraryFailure("GetIsLoggedIn", code);
    if (code == 0)
    {
        mLoggedIn = loggedIn != 0 ? 1 : 0;
    }
    GetRunningStandalone();
    IsGoogleWebFontsEnabled();
    TraceLog(0, "Session: loggedIn=%d, standalone=%d, googleWebFonts=%d", mLoggedIn, mRunningStandalone,
             mGoogleWebFontsEnabled);
}

bool CoreAgentInterface::GetRunningStandalone()
{
    if (LPILoader::GetSharedInstance() == nullptr)
    {
        return true;
    }
    if (mRunningStandalone < 0)
    {
        std::uint32_t standalone = 0;
        const LPIResult code = LPICallWithFacade(&LPILoader::pfGetRunningStandalone, &standalone);
        LogLibraryFailure("GetRunningStandalone", code);
        if (code != 0)
        {
            return false;
        }
        mRunningStandalone = standalone != 0 ? 1 : 0;
    }
    return mRunningStandalone == 1;
}

TSInt32 CoreAgentInterface::UnregisterForNotifications()
{
    LogLibraryFailure("UnregisterForNotifications",
                      LPICallWithFacade(&LPILoader::pfUnregisterForNotifications,
                                        &CoreAgentInterface::NotificationCallback));
    return 0;
}

void CoreAgentInterface::WorkgroupIDsForQuery(TSInt32 workgroupID, std::vector<TSInt32>& outWorkgroupIDs)
{
    outWorkgroupIDs.clear();
    if (IsAllWorkgroups(workgroupID))
    {
        outWorkgroupIDs.push_back(0);
        return;
    }
    outWorkgroupIDs.push_back(workgroupID);
    if (IsGoogleWebFontsEnabled())
    {
        const TSInt32 googleFontsID = GetGoogleFontsWorkgroupID();
        if (googleFontsID != -1)
        {
            outWorkgroupIDs.push_back(googleFontsID);
        }
    }
}

TSInt32 CoreAgentInterface::FindWorkgroupOfType(TSInt32 workgroupType)
{
    TSInt32 found = -1;
    const GCFRef<CFMutableArrayRef> workgroups(CreateMutableArray());
    if (workgroups && GetAllWorkgroupsForUser(workgroups.Get(), false, true, false) == 0)
    {
        for (CFIndex i = 0; i < CFArrayGetCount(workgroups.Get()); ++i)
        {
            CFDictionaryRef workgroup = RecordAt(workgroups.Get(), i);
            if (RecordNumber(workgroup, kFT_WorkgroupTypeKey, -1) == workgroupType)
            {
                found = RecordNumber(workgroup, kFT_WorkgroupIDKey, -1);
                break;
            }
        }
    }
    return found;
}

TSInt32 CoreAgentInterface::GetSystemWorkgroupID()
{
    if (sSystemWorkgroupID != -1)
    {
        TraceLog(0, "CoreAgentInterface::GetSystemWorkgroupID : Returning cached System workgroup ID of %d.",
                 sSystemWorkgroupID);
        return sSystemWorkgroupID;
    }
    sSystemWorkgroupID = FindWorkgroupOfType(kSystemWorkgroupType);
    return sSystemWorkgroupID;
}

TSInt32 CoreAgentInterface::GetGoogleFontsWorkgroupID()
{
    if (sGoogleFontsWorkgroupID == -1)
    {
        sGoogleFontsWorkgroupID = FindWorkgroupOfType(kGoogleFontsWorkgroupType);
    }
    return sGoogleFontsWorkgroupID;
}

TSInt32 CoreAgentInterface::FontIDsForName(LPI_GetFontsByNameProc LPILoader::*query, const char* operation,
                                           const char* name, TSInt32 workgroupID,
                                           std::vector<TUInt32>& outFontIDs)
{
    TraceLog(1, "Entering CoreAgentInterface::%s('%s', %d, ...)", operation, name != nullptr ? name : "",
             workgroupID);
    outFontIDs.clear();
    const char* queriedName = name != nullptr ? name : "";
    std::vector<TSInt32> workgroups;
    WorkgroupIDsForQuery(workgroupID, workgroups);
    std::vector<std::uint32_t> fontIDs(kFontQueryCapacity);
    std::uint32_t count = 0;
    LPIResult code = LPICallWithFacade(query, queriedName, workgroups.data(),
                                       static_cast<std::uint32_t>(workgroups.size()), fontIDs.data(),
                                       kFontQueryCapacity, &count);
    LogLibraryFailure(operation, code);
    outFontIDs.assign(fontIDs.begin(), fontIDs.begin() + std::min(count, kFontQueryCapacity));

    const TSInt32 systemWorkgroupID = IsAllWorkgroups(workgroupID) ? -1 : GetSystemWorkgroupID();
    if (systemWorkgroupID != -1)
    {
        std::vector<std::uint32_t> systemFontIDs(kFontQueryCapacity);
        std::uint32_t systemCount = 0;
        code = LPICallWithFacade(query, queriedName, &systemWorkgroupID, 1u, systemFontIDs.data(),
                                 kFontQueryCapacity, &systemCount);
        LogLibraryFailure(operation, code);
        outFontIDs.insert(outFontIDs.end(), systemFontIDs.begin(),
                          systemFontIDs.begin() + std::min(systemCount, kFontQueryCapacity));
    }
    const TSInt32 result = ResultOf(code);
    TraceLog(-1, "CoreAgentInterface::%s(outFontIDs.size()=%d) returning %d", operation,
             static_cast<int>(outFontIDs.size()), result);
    return result;
}

TSInt32 CoreAgentInterface::FontIDsForPostScriptName(const char* name, TSInt32 workgroupID,
                                                     std::vector<TUInt32>& outFontIDs)
{
    return FontIDsForName(&LPILoader::pfGetFontsByPostscriptName, "FontIDsForPostScriptName", name,
                          workgroupID, outFontIDs);
}

TSInt32 CoreAgentInterface::FontIDsForFamilyName(const char* name, TSInt32 workgroupID,
                                                 std::vector<TUInt32>& outFontIDs)
{
    return FontIDsForName(&LPILoader::pfGetFontsByFamilyName, "FontIDsForFamilyName", name, workgroupID,
                          outFontIDs);
}

std::map<TUInt32, bool> CoreAgentInterface::GetFontIsActivated(CFArrayRef fonts)
{
    std::map<TUInt32, bool> activated;
    const std::vector<TUInt32> fontIDs = GetFontIDsFromFontInfoArray(fonts);
    if (fontIDs.empty())
    {
        return activated;
    }
    std::vector<std::uint32_t> answers(fontIDs.size(), 0);
    const LPIResult code =
        LPICallWithFacade(&LPILoader::pfGetFontIsActivated, static_cast<std::uint32_t>(fontIDs.size()),
                          fontIDs.data(), answers.data());
    LogLibraryFailure("GetFontIsActivated", code);
    if (code == 0)
    {
        for (std::size_t i = 0; i < fontIDs.size(); ++i)
        {
            activated[fontIDs[i]] = answers[i] != 0;
        }
    }
    return activated;
}

std::map<TUInt32, TSInt32> CoreAgentInterface::GetFontConflicts(const std::vector<TUInt32>& fontIDs)
{
    std::map<TUInt32, TSInt32> conflicts;
    if (fontIDs.empty())
    {
        return conflicts;
    }
    std::vector<std::int32_t> values(fontIDs.size(), 0);
    const LPIResult code =
        LPICallWithFacade(&LPILoader::pfGetFontConflicts, static_cast<std::uint32_t>(fontIDs.size()),
                          fontIDs.data(), values.data());
    LogLibraryFailure("GetFontConflicts", code);
    if (code == 0)
    {
        for (std::size_t i = 0; i < fontIDs.size(); ++i)
        {
            conflicts[fontIDs[i]] = values[i];
        }
    }
    return conflicts;
}

// --- Activation
// ------------------------------------------------------------------------------------------------

TSInt32 CoreAgentInterface::ActivateDocumentFontsByPath(const char* path, CFMutableArrayRef extra,
                                                        CFMutableArrayRef matched, CFMutableArrayRef problems)
{
    TraceLog(1, "Entering %s(..., '%s', ...)", "CoreAgentInterface::ActivateDocumentFontsByPath",
             path != nullptr ? path : "NULL");
    TSInt32 result = 0;
    LPFInterface* framework = Framework();
    if (framework != nullptr)
    {
        const std::uint32_t activateEntireFamilies = framework->GetActivateEntireFamilies() ? 1 : 0;
        const std::uint32_t pickBestMatch = framework->GetPickBestMatch() ? 1 : 0;
        const std::uint32_t hostedInPluginCore = LPFInterface::IsHostedByPluginCore() ? 1 : 0;
        const std::uint32_t useIdentificationData = framework->GetEnableFaceTrace() ? 1 : 0;
        TSInt32 workgroupID = framework->GetCurrentWorkgroupID();
        if (IsAllWorkgroups(workgroupID))
        {
            workgroupID = 0;
        }
        const LPIResult code = CallWithRelaunch(
            [&](LPILoader& loader, LPIFacade facade) -> LPIResult
            {
                if (loader.pfActivateDocumentFontsByPath == nullptr)
                {
                    return 0;
                }
                return loader.pfActivateDocumentFontsByPath(
                    facade, path, extra, hostedInPluginCore, activateEntireFamilies, pickBestMatch,
                    useIdentificationData, workgroupID, matched, problems);
            });
        LogLibraryFailure("ActivateDocumentFontsByPath", code);
        result = ResultOf(code);
    }
    TraceLog(-1,
             "%s(CFArrayGetCount(matchedFontData)=%d, ..., CFArrayGetCount(problemFontData)=%d) returning %d",
             "CoreAgentInterface::ActivateDocumentFontsByPath", static_cast<int>(ArrayCount(matched)),
             static_cast<int>(ArrayCount(problems)), result);
    return result;
}

LPIResult CoreAgentInterface::ActivateFontIDs(const std::vector<TUInt32>& fontIDs,
                                              std::vector<TUInt32>& outNotActivated)
{
    outNotActivated.clear();
    LPFInterface* framework = Framework();
    const bool activateLocally = framework != nullptr && framework->GetActivateLocally();
    const bool activateGlobally = framework != nullptr && framework->GetActivateGlobally();
    const auto count = static_cast<std::uint32_t>(fontIDs.size());
    LPIResult code = 0;
    if (!(activateLocally && !activateGlobally))
    {
        std::vector<std::uint32_t> notActivated(count, 0);
        std::vector<LPIFontActivationResult> results(count, LPIFontActivationResult{});
        std::uint32_t notActivatedCount = 0;
        std::uint32_t resultCount = 0;
        code = CallWithRelaunch(
            [&](LPILoader& loader, LPIFacade facade) -> LPIResult
            {
                if (loader.pfActivateFonts == nullptr)
                {
                    return 0;
                }
                notActivatedCount = 0;
                resultCount = 0;
                return loader.pfActivateFonts(facade, count, fontIDs.data(), 0, 1, 1, 1, count, count,
                                              notActivated.data(), results.data(), &notActivatedCount,
                                              &resultCount);
            });
        LogLibraryFailure("ActivateFonts", code);
        outNotActivated.assign(notActivated.begin(),
                               notActivated.begin() + std::min(notActivatedCount, count));
    }
    if (activateLocally)
    {
        code = CallWithRelaunch(
            [&](LPILoader& loader, LPIFacade facade) -> LPIResult
            {
                return loader.pfPreviewActivateFonts != nullptr
                           ? loader.pfPreviewActivateFonts(facade, count, fontIDs.data(), 0)
                           : 0;
            });
        LogLibraryFailure("PreviewActivateFonts", code);
    }
    return code;
}

TSInt32 CoreAgentInterface::ActivateFontByID(CFDictionaryRef font, const char* documentIdentifier)
{
    TraceLog(1, "Entering %s(..., '%s', ...)", "CoreAgentInterface::ActivateFontByID",
             documentIdentifier != nullptr ? documentIdentifier : "");
    const std::vector<TUInt32> fontIDs{RecordFontID(font)};
    std::vector<TUInt32> notActivated;
    const TSInt32 result = ResultOf(ActivateFontIDs(fontIDs, notActivated));
    TraceLog(-1, "%s() returning %d", "CoreAgentInterface::ActivateFontByID", result);
    return result;
}

TSInt32 CoreAgentInterface::ActivateFontsByID(CFArrayRef fonts, const char* documentIdentifier,
                                              CFMutableArrayRef activated)
{
    TraceLog(1, "Entering %s(CFArrayGetCount(fonts)=%d, documentIdentifier='%s', ...)",
             "CoreAgentInterface::ActivateFontsByID", static_cast<int>(ArrayCount(fonts)),
             documentIdentifier != nullptr ? documentIdentifier : "");
    if (ArrayCount(fonts) == 0)
    {
        TraceLog(-1, "CoreAgentInterface::ActivateFontsByID -- empty fonts vector, doing nothing.");
        return 0;
    }
    const std::vector<TUInt32> fontIDs = GetFontIDsFromFontInfoArray(fonts);
    std::vector<TUInt32> notActivated;
    const LPIResult code = ActivateFontIDs(fontIDs, notActivated);
    if (activated != nullptr && code == 0)
    {
        for (CFIndex i = 0; i < CFArrayGetCount(fonts); ++i)
        {
            CFDictionaryRef font = RecordAt(fonts, i);
            const TUInt32 fontID = RecordFontID(font);
            if (fontID != 0 &&
                std::find(notActivated.begin(), notActivated.end(), fontID) == notActivated.end())
            {
                CFArrayAppendValue(activated, font);
            }
        }
    }
    const TSInt32 result = ResultOf(code);
    TraceLog(-1, "%s(CFArrayGetCount(fonts)=%d, ..., CFArrayGetCount(fontsActivated)=%d) returning %d",
             "CoreAgentInterface::ActivateFontsByID", static_cast<int>(ArrayCount(fonts)),
             static_cast<int>(ArrayCount(activated)), result);
    return result;
}

TSInt32 CoreAgentInterface::DeactivateFont(CFDictionaryRef font)
{
    const std::uint32_t fontID = RecordFontID(font);
    const LPIResult code = CallWithRelaunch(
        [&](LPILoader& loader, LPIFacade facade) -> LPIResult {
            return loader.pfDeactivateFonts != nullptr ? loader.pfDeactivateFonts(facade, 1, &fontID, 0) : 0;
        });
    LogLibraryFailure("DeactivateFonts", code);
    return ResultOf(code);
}

TSInt32 CoreAgentInterface::DeactivateFonts(CFArrayRef fonts, CFMutableArrayRef deactivated)
{
    TraceLog(1, "Entering CoreAgentInterface::DeactivateFonts(CFArrayGetCount(fonts)=%d, ...)",
             static_cast<int>(ArrayCount(fonts)));
    TSInt32 result = 0;
    if (ArrayCount(fonts) > 0)
    {
        const std::vector<TUInt32> fontIDs = GetFontIDsFromFontInfoArray(fonts);
        const LPIResult code = CallWithRelaunch(
            [&](LPILoader& loader, LPIFacade facade) -> LPIResult
            {
                return loader.pfDeactivateFonts != nullptr
                           ? loader.pfDeactivateFonts(facade, static_cast<std::uint32_t>(fontIDs.size()),
                                                      fontIDs.data(), 0)
                           : 0;
            });
        LogLibraryFailure("DeactivateFonts", code);
        if (code == 0 && deactivated != nullptr)
        {
            for (CFIndex i = 0; i < CFArrayGetCount(fonts); ++i)
            {
                CFDictionaryRef font = RecordAt(fonts, i);
                if (RecordFontID(font) != 0)
                {
                    CFArrayAppendValue(deactivated, font);
                }
            }
        }
        result = ResultOf(code);
    }
    TraceLog(-1, "CoreAgentInterface::DeactivateFonts() returning %d", result);
    return result;
}

// --- Font records
// ------------------------------------------------------------------------------------------------

TSInt32 CoreAgentInterface::CountNamedFonts(const char* name, TSInt32 kind, TSInt32 workgroupID,
                                            TSInt32& outCount)
{
    TraceLog(1, "Entering CoreAgentInterface::CountNamedFonts('%s', %d, ...)", name != nullptr ? name : "",
             kind);
    std::vector<TUInt32> fontIDs;
    TSInt32 result = -1;
    if (kind == kPostScriptNameKind)
    {
        result = FontIDsForPostScriptName(name, workgroupID, fontIDs);
    }
    else if (kind == kFamilyNameKind)
    {
        result = FontIDsForFamilyName(name, workgroupID, fontIDs);
    }
    outCount = static_cast<TSInt32>(fontIDs.size());
    TraceLog(-1, "CoreAgentInterface::CountNamedFonts() returning %d.  *outCount == %d", result, outCount);
    return result;
}

TSInt32 CoreAgentInterface::GetNamedFontInfo(const char* name, TSInt32 kind, TSInt32 workgroupID,
                                             TSInt32 index, FontInfoResult& outResult)
{
    outResult.Reset();
    std::vector<TUInt32> fontIDs;
    if (kind == kPostScriptNameKind)
    {
        FontIDsForPostScriptName(name, workgroupID, fontIDs);
    }
    else if (kind == kFamilyNameKind)
    {
        FontIDsForFamilyName(name, workgroupID, fontIDs);
    }
    if (index < 1 || static_cast<std::size_t>(index) > fontIDs.size())
    {
        return -1;
    }
    const GCFRef<CFMutableDictionaryRef> reference(
        CreateFontReference(fontIDs[static_cast<std::size_t>(index) - 1], workgroupID));
    if (!reference)
    {
        return -1;
    }
    return GetFontInfoByID(reference.Get(), outResult);
}

TSInt32 CoreAgentInterface::GetFontInfoByID(CFDictionaryRef fontReference, FontInfoResult& outResult)
{
    TraceLog(1, "Entering CoreAgentInterface::GetFontInfoByID()");
    outResult.Reset();
    const TSInt32 referenceWorkgroup = RecordNumber(fontReference, kFT_WorkgroupIDKey, kNoWorkgroupID);
    const TSInt32 workgroupID =
        IsAllWorkgroups(GetCurrentWorkgroupID()) || IsAllWorkgroups(referenceWorkgroup) ? kAllWorkgroupsID
                                                                                        : kNoWorkgroupID;
    std::vector<TSInt32> workgroups;
    WorkgroupIDsForQuery(workgroupID, workgroups);
    std::int32_t status = 0;
    GCFRef<CFMutableDictionaryRef> font;
    const LPIResult code = LPICallWithFacade(
        &LPILoader::pfGetFontInfoByID, static_cast<const std::int32_t*>(workgroups.data()),
        static_cast<std::uint32_t>(workgroups.size()), fontReference, &status, font.OutPointer());
    LogLibraryFailure("GetFontInfoByID", code);
    if (code == 0 && font)
    {
        outResult.mFound = true;
        outResult.mStatus = status;
        outResult.SetFontInfo(std::move(font));
        CFMutableDictionaryRef record = outResult.GetFontInfo();
        ConvertActivationStateValues(record);
        outResult.mActivationState = RecordNumber(record, kFT_ActivationStateKey, 0);
        FaceTraceSupport::NormalizeChecksums(record);
    }
    const TSInt32 result = ResultOf(code);
    TraceLog(-1, "CoreAgentInterface::GetFontInfoByID() returning %d", result);
    return result;
}

TSInt32 CoreAgentInterface::GetPostscriptNameByID(TSInt32 workgroupID, TUInt32 fontID, TUTF8String& outName)
{
    TraceLog(1, "Entering CoreAgentInterface::GetPostscriptNameByID(..., workgroupID=%d, fontID=%d)",
             workgroupID, static_cast<int>(fontID));
    outName.clear();
    std::vector<TSInt32> workgroups;
    WorkgroupIDsForQuery(workgroupID, workgroups);
    const GCFRef<CFMutableDictionaryRef> reference(CreateFontReference(fontID, workgroupID));
    std::int32_t status = 0;
    GCFRef<CFMutableDictionaryRef> font;
    const LPIResult code = !reference ? CoreErrorCodes::kOutOfMemory
                                      : LPICallWithFacade(&LPILoader::pfGetFontInfoByID,
                                                          static_cast<const std::int32_t*>(workgroups.data()),
                                                          static_cast<std::uint32_t>(workgroups.size()),
                                                          static_cast<CFDictionaryRef>(reference.Get()),
                                                          &status, font.OutPointer());
    LogLibraryFailure("GetFontInfoByID", code);
    if (code == 0 && font)
    {
        outName = RecordText(font.Get(), kFT_PostScriptNameKey);
    }
    const TSInt32 result = ResultOf(code);
    TraceLog(-1, "CoreAgentInterface::GetPostscriptNameByID('%s', %d) returning %d", outName.c_str(),
             static_cast<int>(fontID), result);
    return result;
}

TSInt32 CoreAgentInterface::GetFaceTraceInfo(TUInt32 databaseID, CFDictionaryRef font, char* outXMLBuffer,
                                             TUInt32& inOutBufferSize)
{
    TraceLog(
        1,
        "Entering CoreAgentInterface::GetFaceTraceInfo(nDatabaseID=%d, fontInfo=0x%08x, outXMLBuffer=0x%08x, "
        "bufferSize=0x%08x )",
        static_cast<int>(databaseID), static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(font)),
        static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(outXMLBuffer)), inOutBufferSize);
    TSInt32 result = -1;
    if (font != nullptr)
    {
        const void* values[] = {font};
        const GCFRef<CFArrayRef> fonts(CFArrayCreate(nullptr, values, 1, &kCFTypeArrayCallBacks));
        TUTF8String slug;
        result = FaceTraceSupport::CreateXMLFaceTraceSlug(fonts.Get(), &slug);
        if (outXMLBuffer != nullptr && inOutBufferSize > 0)
        {
            const std::size_t length = std::min<std::size_t>(slug.size(), inOutBufferSize - 1);
            std::memcpy(outXMLBuffer, slug.data(), length);
            outXMLBuffer[length] = '\0';
            inOutBufferSize = static_cast<TUInt32>(length);
        }
        TraceLog(0, "XML FaceTrace Slug:  '%s'", slug.c_str());
    }
    TraceLog(-1, "CoreAgentInterface::GetFaceTraceInfo(..., *inOutXMLBufferSize=%d) returning %d",
             static_cast<int>(inOutBufferSize), result);
    return result;
}

TErrorCode CoreAgentInterface::HandleTextRequest(const char* /*text*/)
{
    return CoreErrorCodes::kNotImplemented;
}

TSInt32 CoreAgentInterface::FindFontsInSameFamily(CFDictionaryRef font, CFArrayRef documentMatchedFonts,
                                                  TSInt32 workgroupID, CFMutableArrayRef outFonts)
{
    if (font == nullptr || outFonts == nullptr)
    {
        TraceLog(0, "*** ERROR: inFontRef and/or outFontsInFamily is NULL");
        return -1;
    }
    TSInt32 familyID = 0;
    if (!XCFDictionaryGetNumber(font, kFT_AssignedFamilyIDKey, &familyID))
    {
        TraceLog(0, "*** ERROR: inFontRef does not include assigned family group ID");
        return -1;
    }
    const TUInt32 fontID = RecordFontID(font);
    TraceLog(0,
             "Finding all fonts in current workgroup(s) with family group ID %d (\"%s\"), same as font "
             "\"%s\" (fontID %d)",
             familyID, RecordText(font, kFT_AssignedFamilyNameKey).c_str(),
             RecordText(font, kFT_PostScriptNameKey).c_str(), static_cast<int>(fontID));
    std::vector<TSInt32> workgroups;
    WorkgroupIDsForQuery(workgroupID, workgroups);
    LogLibraryFailure("FindFontsInSameFamilyForActivation",
                      LPICall(&LPILoader::pfFindFontsInSameFamilyForActivation, font,
                              static_cast<const std::int32_t*>(workgroups.data()),
                              static_cast<std::uint32_t>(workgroups.size()), outFonts));
    for (CFIndex i = CFArrayGetCount(outFonts) - 1; i >= 0; --i)
    {
        CFDictionaryRef familyFont = RecordAt(outFonts, i);
        if (familyFont == nullptr)
        {
            TraceLog(0, "ERROR:  outFontsInFamily[%d] is NULL", static_cast<int>(i));
            continue;
        }
        const TUInt32 familyFontID = RecordFontID(familyFont);
        if (familyFontID != fontID)
        {
            CFStringRef postScriptName = XCFDictionaryGetString(familyFont, kFT_PostScriptNameKey);
            if (FaceTraceSupport::IndexOfPostScriptName(documentMatchedFonts, postScriptName) >= 0)
            {
                TraceLog(
                    0,
                    ">>> Skipping family font \"%s\" (fontID %d), because it's a duplicate of one of the "
                    "original doc font matches.",
                    XCFStringCopyUTF8(postScriptName).c_str(), static_cast<int>(familyFontID));
                CFArrayRemoveValueAtIndex(outFonts, i);
                continue;
            }
        }
        // Family records come from the library as mutable dictionaries.
        ConvertActivationStateValues(const_cast<CFMutableDictionaryRef>(familyFont));
    }
    return 0;
}

// --- Sets and collecting
// ------------------------------------------------------------------------------------------

TSInt32 CoreAgentInterface::MakeSetForDocumentFonts(CFStringRef proposedSetName, CFArrayRef fonts)
{
    if (proposedSetName == nullptr || IsCurrentWorkgroupAll())
    {
        return -1;
    }
    LPFInterface* framework = Framework();
    if (framework == nullptr)
    {
        return -1;
    }
    TSInt32 result = 0;
    try
    {
        const GCFRef<CFStringRef> title(CopyLocalizedString(kSetNameTitleString));
        const GCFRef<CFStringRef> prompt(CopyLocalizedString(kSetNamePromptString));
        GCFRef<CFStringRef> setName;
        const TSInt32 confirmed =
            framework->AskForOneString(title.Get(), prompt.Get(), proposedSetName, setName.OutPointer());
        if (confirmed == 1 && setName)
        {
            if (CFStringGetLength(setName.Get()) > kMaxSetNameLength)
            {
                // The substring is made before the whole answer is released.
                setName.Reset(
                    CFStringCreateWithSubstring(nullptr, setName.Get(), CFRangeMake(0, kMaxSetNameLength)));
                framework->ShowSetNameTooLongMessage();
            }
            const TUTF8String name = XCFStringCopyUTF8(setName.Get());
            if (!name.empty())
            {
                std::vector<TUInt32> fontIDs;
                for (CFIndex i = 0; i < ArrayCount(fonts); ++i)
                {
                    CFDictionaryRef font = RecordAt(fonts, i);
                    const TUInt32 fontID = RecordFontID(font);
                    if (fontID != 0 && !RecordFlag(font, kFT_IsSystemKey))
                    {
                        fontIDs.push_back(fontID);
                    }
                }
                const TSInt32 workgroupID = GetCurrentWorkgroupID();
                std::int32_t setID = 0;
                const LPIResult code = CallWithRelaunch(
                    [&](LPILoader& loader, LPIFacade facade) -> LPIResult
                    {
                        return loader.pfCreateTopLevelSet != nullptr
                                   ? loader.pfCreateTopLevelSet(facade, &setID, workgroupID, name.c_str(), 0,
                                                                0, static_cast<std::uint32_t>(fontIDs.size()),
                                                                fontIDs.data())
                                   : 0;
                    });
                LogLibraryFailure("CreateTopLevelSet", code);
                result = ResultOf(code);
            }
        }
    }
    catch (...)
    {
        TraceLog(0, "Exception thrown somewhere under MakeSetForDocumentFonts()");
        result = -1;
    }
    return result;
}

TSInt32 CoreAgentInterface::CollectFontsUsedByCurrentDocument(const char* documentName,
                                                              const char* destinationPath, CFArrayRef fonts)
{
    TraceLog(1,
             "Entering CoreAgentInterface::CollectFontsUsedByCurrentDocument('%s', '%s', fontInfo array "
             "length=%d)",
             documentName != nullptr ? documentName : "", destinationPath != nullptr ? destinationPath : "",
             static_cast<int>(ArrayCount(fonts)));
    TSInt32 result = -1;
    LPFInterface* framework = Framework();
    if (framework != nullptr)
    {
        try
        {
            TUTF8String savePath = destinationPath != nullptr ? destinationPath : "";
            if (const GCFRef<CFStringRef> lastFolder(framework->CopyLastCFOFolder()); lastFolder)
            {
                const TUTF8String last = XCFStringCopyUTF8(lastFolder.Get());
                if (!last.empty())
                {
                    savePath = last;
                }
            }
            const TUTF8String title = LocalizedUTF8(kCollectFontsTitleString);
            const TUTF8String promptFormat = LocalizedUTF8(kCollectFontsPromptFormatString);
            const TUTF8String subFolderFormat = LocalizedUTF8(kCollectFontsSubFolderFormatString);
            if (ShowSaveFolderDialog(documentName, savePath, title.c_str(),
                                     promptFormat.empty() ? nullptr : promptFormat.c_str(),
                                     subFolderFormat.empty() ? nullptr : subFolderFormat.c_str()) == 0)
            {
                const GCFRef<CFStringRef> folder(CreateCFStringFromUTF8String(savePath));
                framework->SetLastCFOFolder(folder.Get());
                const std::vector<TUInt32> fontIDs = GetFontIDsFromFontInfoArray(fonts);
                LPIResult code = 0;
                if (fontIDs.empty())
                {
                    TraceLog(
                        0, "No fonts to collect.  Creating empty destination folder, if it does not already "
                           "exist.");
                    if (LPICall(&LPILoader::pfOSDoesDirectoryExist, savePath.c_str()) == 0)
                    {
                        code = LPICall(&LPILoader::pfOSCreateDirectory, savePath.c_str(), 1u);
                        LogLibraryFailure("OSCreateDirectory", code);
                    }
                }
                else
                {
                    code = CallWithRelaunch(
                        [&](LPILoader& loader, LPIFacade facade) -> LPIResult
                        {
                            return loader.pfExportFonts != nullptr
                                       ? loader.pfExportFonts(facade,
                                                              static_cast<std::uint32_t>(fontIDs.size()),
                                                              fontIDs.data(), savePath.c_str(), 0, 0)
                                       : 0;
                        });
                    LogLibraryFailure("ExportFonts", code);
                }
                result = ResultOf(code);
            }
        }
        catch (...)
        {
            TraceLog(0, "Exception thrown somewhere under CollectFontsUsedByCurrentDocument()");
            result = -1;
        }
    }
    TraceLog(-1, "CoreAgentInterface::CollectFontsUsedByCurrentDocument returning %d", result);
    return result;
}

// --- Workgroups and permissions
// -------------------------------------------------------------------------------------

bool CoreAgentInterface::AreSchemaVersionsInSync()
{
    if (LPILoader::GetSharedInstance() == nullptr)
    {
        return true;
    }
    std::uint32_t inSync = 0;
    const LPIResult code = CallWithRelaunch(
        [&](LPILoader& loader, LPIFacade facade) -> LPIResult
        {
            return loader.pfGetAreSchemaVersionsInSync != nullptr
                       ? loader.pfGetAreSchemaVersionsInSync(facade, &inSync)
                       : 0;
        });
    LogLibraryFailure("GetAreSchemaVersionsInSync", code);
    const bool result = code == 0 && inSync != 0;
    if (!result)
    {
        TraceLog(0, "WARNING:  CoreAgentInterface::AreSchemaVersionsInSync() returning FALSE");
    }
    return result;
}

TSInt32 CoreAgentInterface::GetAllWorkgroupsForUser(CFMutableArrayRef outWorkgroups, bool includeAll,
                                                    bool includeSystem, bool includeTypekit)
{
    TraceLog(1,
             "Entering CoreAgentInterface::GetAllWorkgroupsForUser(..., includeAllWorkgroup=%d, "
             "includeSystemWorkgroup=%d, includeTypekitLibrary=%d)",
             includeAll ? 1 : 0, includeSystem ? 1 : 0, includeTypekit ? 1 : 0);
    if (outWorkgroups == nullptr)
    {
        TraceLog(-1, "CoreAgentInterface::GetAllWorkgroupsForUser() returning %d", -50);
        return -50;
    }
    const LPIResult code = LPICallWithFacade(&LPILoader::pfGetAllWorkgroupsForUser, outWorkgroups,
                                             includeSystem ? 1u : 0u, includeTypekit ? 1u : 0u);
    if (code != 0)
    {
        LogLibraryFailure("GetAllWorkgroupsForUser", code);
        TraceLog(-1, "CoreAgentInterface::GetAllWorkgroupsForUser() returning %d", static_cast<int>(code));
        return static_cast<TSInt32>(code);
    }
    const bool standalone = GetRunningStandalone();
    for (CFIndex i = 0; i < CFArrayGetCount(outWorkgroups); ++i)
    {
        CFDictionaryRef workgroup = RecordAt(outWorkgroups, i);
        if (workgroup == nullptr)
        {
            continue;
        }
        const TSInt32 type = RecordNumber(workgroup, kFT_WorkgroupTypeKey, -1);
        TSInt32 nameString = 0;
        if (standalone && (type == 3 || type == 10 || type == 11))
        {
            if (RecordText(workgroup, kFT_WorkgroupNameKey) == "Font Library (LOCALIZE ME)")
            {
                nameString = kStandaloneLibraryNameString;
            }
        }
        else
        {
            switch (type)
            {
            case 0:
                nameString = kType0WorkgroupNameString;
                break;
            case 2:
                nameString = kServerWorkgroupNameString;
                break;
            case kLocalWorkgroupType:
                nameString = kLocalWorkgroupNameString;
                break;
            case kSystemWorkgroupType:
                nameString = kSystemWorkgroupNameString;
                break;
            case kGoogleFontsWorkgroupType:
                nameString = kGoogleFontsWorkgroupNameString;
                break;
            case 12:
                nameString = kType12WorkgroupNameString;
                break;
            default:
                break;
            }
        }
        const GCFRef<CFStringRef> displayName(nameString != 0 ? CopyLocalizedString(nameString) : nullptr);
        if (!displayName)
        {
            continue;
        }
        if (const GCFRef<CFMutableDictionaryRef> renamed(
                CFDictionaryCreateMutableCopy(nullptr, 0, workgroup));
            renamed)
        {
            CFDictionarySetValue(renamed.Get(), kFT_WorkgroupNameKey, displayName.Get());
            XCFDictionarySetNumber(renamed.Get(), kFT_WorkgroupTypeKey, type);
            CFArraySetValueAtIndex(outWorkgroups, i, renamed.Get());
        }
    }
    TraceLog(0, "%d workgroups found", static_cast<int>(CFArrayGetCount(outWorkgroups)));
    if (includeAll && CFArrayGetCount(outWorkgroups) > 0 && CanActivateAcrossWorkgroups())
    {
        const GCFRef<CFStringRef> allName(
            CopyLocalizedString(standalone ? kAllWorkgroupsStandaloneNameString : kAllWorkgroupsNameString));
        if (const GCFRef<CFMutableDictionaryRef> all(CFDictionaryCreateMutable(
                nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
            all)
        {
            if (allName)
            {
                CFDictionarySetValue(all.Get(), kFT_WorkgroupNameKey, allName.Get());
            }
            XCFDictionarySetNumber(all.Get(), kFT_WorkgroupIDKey, kAllWorkgroupsID);
            TraceLog(0, "Adding '%s' to user's workgroup list.", XCFStringCopyUTF8(allName.Get()).c_str());
            CFArrayAppendValue(outWorkgroups, all.Get());
        }
    }
    TraceLog(-1, "CoreAgentInterface::GetAllWorkgroupsForUser() returning %d", 0);
    return 0;
}

bool CoreAgentInterface::UserHasWorkgroups()
{
    if (!PortolanGlobals::GetConnectedToCore())
    {
        // Not known without the core: the caller's check of the services tells the user why
        // nothing works, not a missing workgroup.
        TraceLog(0, "CoreAgentInterface::UserHasWorkgroups: not connected to Typehold, answering yes");
        return true;
    }
    const GCFRef<CFMutableArrayRef> workgroups(CreateMutableArray());
    if (!workgroups)
    {
        return false;
    }
    return GetAllWorkgroupsForUser(workgroups.Get(), false, false, false) == 0 &&
           CFArrayGetCount(workgroups.Get()) > 0;
}

TSInt32 CoreAgentInterface::RemoveRemoteFonts(CFMutableArrayRef fonts)
{
    TraceLog(1, "Entering %s()", "CoreAgentInterface::RemoveRemoteFonts");
    TSInt32 result = -1;
    if (ArrayCount(fonts) > 0)
    {
        for (CFIndex i = CFArrayGetCount(fonts) - 1; i >= 0; --i)
        {
            const TSInt32 type = RecordNumber(RecordAt(fonts, i), kFT_WorkgroupTypeKey, -1);
            if (IsHiddenWorkgroupType(type))
            {
                CFArrayRemoveValueAtIndex(fonts, i);
                TraceLog(0, "Removed font %d because workgroupType is %d", static_cast<int>(i), type);
            }
        }
        result = 0;
    }
    TraceLog(-1, "%s() returning %d", "CoreAgentInterface::RemoveRemoteFonts", result);
    return result;
}

bool CoreAgentInterface::CurrentWorkgroupIsType3()
{
    const TSInt32 currentWorkgroup = GetCurrentWorkgroupID();
    bool isType3 = false;
    const GCFRef<CFMutableArrayRef> workgroups(CreateMutableArray());
    if (workgroups && GetAllWorkgroupsForUser(workgroups.Get(), false, true, false) == 0)
    {
        for (CFIndex i = 0; i < CFArrayGetCount(workgroups.Get()); ++i)
        {
            CFDictionaryRef workgroup = RecordAt(workgroups.Get(), i);
            if (RecordNumber(workgroup, kFT_WorkgroupIDKey, kNoWorkgroupID) == currentWorkgroup)
            {
                isType3 = RecordNumber(workgroup, kFT_WorkgroupTypeKey, -1) == kLocalWorkgroupType;
                break;
            }
        }
    }
    return isType3;
}

bool CoreAgentInterface::IsHiddenWorkgroupType(TSInt32 workgroupType)
{
    return workgroupType == kGoogleFontsWorkgroupType && !IsGoogleWebFontsEnabled();
}

bool CoreAgentInterface::HasPermission(LPI_ColumnIDProc LPILoader::*columnGetter, TSInt32 workgroupID)
{
    const TUTF8String column = CallStringGetter(columnGetter);
    std::uint32_t value = 0;
    const LPIResult code = LPICallWithFacade(&LPILoader::pfGetPermission, 0u, column.c_str(),
                                             IsAllWorkgroups(workgroupID) ? 0 : workgroupID, &value);
    LogLibraryFailure("GetPermission", code);
    return code == 0 && value != 0;
}

bool CoreAgentInterface::CanActivateAcrossWorkgroups()
{
    return HasPermission(&LPILoader::pfGetCanActivateAcrossWorkgroupsColumnID, GetCurrentWorkgroupID());
}

bool CoreAgentInterface::CanExportFromWorkgroup(CFArrayRef fonts)
{
    TraceLog(1, "Entering CanExportFromWorkgroup()");
    const TSInt32 currentWorkgroup = GetCurrentWorkgroupID();
    bool canExport = false;
    if (!IsAllWorkgroups(currentWorkgroup))
    {
        canExport = HasPermission(&LPILoader::pfGetExportFontsColumnID, currentWorkgroup);
    }
    else if (ArrayCount(fonts) > 0)
    {
        const std::vector<TUInt32> fontIDs = GetFontIDsFromFontInfoArray(fonts);
        std::uint32_t yes = 0;
        const LPIResult code = LPICallWithFacade(
            &LPILoader::pfCanExportFonts, static_cast<std::uint32_t>(fontIDs.size()), fontIDs.data(), &yes);
        LogLibraryFailure("CanExportFonts", code);
        canExport = code == 0 && yes != 0;
    }
    TraceLog(-1, "CanExportFromWorkgroup() returning %d", canExport ? 1 : 0);
    return canExport;
}

bool CoreAgentInterface::IsCoreAgentProcessRunning()
{
    std::uint32_t isRunning = 0;
    const LPIResult code = LPICallWithFacade(&LPILoader::pfGetIsCoreAgentProcessRunning, &isRunning);
    LogLibraryFailure("GetIsCoreAgentProcessRunning", code);
    const bool running = code == 0 && isRunning != 0;
    if (!running)
    {
        TraceLog(0, "WARNING:  PluginInterface::GetIsCoreAgentProcessRunning() returned %d",
                 static_cast<int>(isRunning));
    }
    return running;
}

bool CoreAgentInterface::IsLoggedIn()
{
    if (LPILoader::GetSharedInstance() == nullptr)
    {
        return true;
    }
    if (!PortolanGlobals::GetConnectedToCore() && !PortolanGlobals::GetPluginServicesEnabled() &&
        !Reconnect())
    {
        // The core cannot be asked: what it last reported stands, and a user it never reported
        // on is not taken for logged out (the caller tells that the core does not answer).
        return mLoggedIn != 0;
    }
    if (mLoggedIn < 0)
    {
        // Connected without the session's state (a connection made before it could be asked).
        std::uint32_t loggedIn = 0;
        const LPIResult code = LPICallWithFacade(&LPILoader::pfGetIsLoggedIn, &loggedIn);
        LogLibraryFailure("GetIsLoggedIn", code);
        if (code != 0)
        {
            return false;
        }
        mLoggedIn = loggedIn != 0 ? 1 : 0;
    }
    return mLoggedIn == 1;
}

void CoreAgentInterface::DoOnlineOffline()
{
    TraceLog(1, "Entering CoreAgentInterface::DoOnlineOffline");
    DoOnline();
    DoOffline();
    TraceLog(-1, "Exiting CoreAgentInterface::DoOnlineOffline");
}

bool CoreAgentInterface::IsGoogleWebFontsEnabled()
{
    if (mGoogleWebFontsEnabled < 0)
    {
        std::uint32_t enabled = 0;
        const LPIResult code = LPICallWithFacade(&LPILoader::pfGetIsGoogleWebFontsEnabled, &enabled);
        LogLibraryFailure("GetIsGoogleWebFontsEnabled", code);
        if (code != 0)
        {
            return false;
        }
        mGoogleWebFontsEnabled = enabled != 0 ? 1 : 0;
    }
    return mGoogleWebFontsEnabled == 1;
}

std::map<TUInt32, bool> CoreAgentInterface::GetClientFontActivationStates(const std::vector<TUInt32>& fontIDs)
{
    TraceLog(1, "Entering %s(inFontIDs.size=%d)", "CoreAgentInterface::GetClientFontActivationStates",
             static_cast<int>(fontIDs.size()));
    std::map<TUInt32, bool> states;
    std::vector<std::uint32_t> values(fontIDs.size(), 0);
    const LPIResult code =
        fontIDs.empty() ? 0
                        : LPICall(&LPILoader::pfGetClientFontActivationStates,
                                  static_cast<std::uint32_t>(fontIDs.size()), fontIDs.data(), values.data());
    LogLibraryFailure("GetClientFontActivationStates", code);
    for (std::size_t i = 0; i < fontIDs.size(); ++i)
    {
        TraceLog(0, "Inserting %d/%d pair into STL map", static_cast<int>(fontIDs[i]),
                 static_cast<int>(values[i]));
        states[fontIDs[i]] = values[i] != 0;
    }
    TraceLog(-1, "Exiting %s", "CoreAgentInterface::GetClientFontActivationStates");
    return states;
}
