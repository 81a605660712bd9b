// A scriptable interface library for the core agent's tests: every entry point of the table with
// its real signature, answering from a script the test sets through the FakeLPI_ exports (see
// FakeInterfaceLibrary.h). Every call is counted by entry point name.
#include "FakeInterfaceLibrary.h"

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#define FAKE_API extern "C" __declspec(dllexport)

namespace
{
struct Failure
{
    std::uint32_t remaining = 0;
    LPIResult code = 0;
};

const std::map<std::string, std::uint32_t>& DefaultAnswers()
{
    static const std::map<std::string, std::uint32_t> sDefaults = {
        {"GetIsCoreAgentProcessRunning", 1},
        {"GetIsLoggedIn", 1},
        {"GetAreSchemaVersionsInSync", 1},
        {"GetPermission", 1},
        {"CanExportFonts", 1},
        {"OSDoesDirectoryExist", 1},
    };
    return sDefaults;
}

std::mutex sMutex;
std::map<std::string, int> sCalls;
std::map<std::string, Failure> sFailures;
std::map<std::string, std::uint32_t> sAnswers = DefaultAnswers();
std::map<std::string, std::vector<std::int32_t>> sLastWorkgroups;
LPINotificationCallback sCallback = nullptr;
int sWorkgroupCount = 2;
// Notifications sent the moment a callback registers (type, count).
std::uint32_t sNotifyOnRegisterType = 0;
int sNotifyOnRegisterCount = 0;
// The thread of StartNotifying and the number of callbacks it made.
std::thread sNotifier;
int sNotifierCalls = 0;
int sFacade = 0;

// Counts the call and answers the scripted failure code, if one is due.
LPIResult Enter(const char* name)
{
    std::lock_guard<std::mutex> lock(sMutex);
    ++sCalls[name];
    Failure& failure = sFailures[name];
    if (failure.remaining > 0)
    {
        --failure.remaining;
        return failure.code;
    }
    return 0;
}

std::uint32_t Answer(const char* name)
{
    std::lock_guard<std::mutex> lock(sMutex);
    const auto found = sAnswers.find(name);
    return found != sAnswers.end() ? found->second : 0;
}

void Remember(const char* name, const std::int32_t* workgroups, std::uint32_t count)
{
    std::lock_guard<std::mutex> lock(sMutex);
    sLastWorkgroups[name].assign(workgroups, workgroups + (workgroups != nullptr ? count : 0));
}

CFMutableDictionaryRef NewRecord()
{
    return CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                     &kCFTypeDictionaryValueCallBacks);
}

void SetNumber(CFMutableDictionaryRef record, const char* key, std::int32_t value)
{
    CFStringRef keyString = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
    CFNumberRef number = CFNumberCreate(nullptr, kCFNumberSInt32Type, &value);
    CFDictionarySetValue(record, keyString, number);
    CFRelease(number);
    CFRelease(keyString);
}

void SetText(CFMutableDictionaryRef record, const char* key, const char* text)
{
    CFStringRef keyString = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
    CFStringRef value = CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
    CFDictionarySetValue(record, keyString, value);
    CFRelease(value);
    CFRelease(keyString);
}

void AppendFont(CFMutableArrayRef array, std::int32_t fontID, const char* postScriptName)
{
    if (array == nullptr)
    {
        return;
    }
    CFMutableDictionaryRef record = NewRecord();
    SetNumber(record, "DatabaseID", fontID);
    SetText(record, "PostScriptName", postScriptName);
    CFArrayAppendValue(array, record);
    CFRelease(record);
}

void AppendWorkgroup(CFMutableArrayRef array, std::int32_t id, const char* name, std::int32_t type)
{
    CFMutableDictionaryRef record = NewRecord();
    SetNumber(record, "WorkgroupID", id);
    SetText(record, "WorkgroupName", name);
    SetNumber(record, "WorkgroupType", type);
    CFArrayAppendValue(array, record);
    CFRelease(record);
}
} // namespace

// --- Control
// -------------------------------------------------------------------------------------------------

FAKE_API void FakeLPI_Reset()
{
    std::lock_guard<std::mutex> lock(sMutex);
    sCalls.clear();
    sFailures.clear();
    sAnswers = DefaultAnswers();
    sLastWorkgroups.clear();
    sWorkgroupCount = 2;
    sNotifyOnRegisterCount = 0;
}

FAKE_API void FakeLPI_FailNextCalls(const char* entryPoint, std::uint32_t count, LPIResult code)
{
    std::lock_guard<std::mutex> lock(sMutex);
    sFailures[entryPoint] = Failure{count, code};
}

FAKE_API void FakeLPI_SetAnswer(const char* entryPoint, std::uint32_t value)
{
    std::lock_guard<std::mutex> lock(sMutex);
    sAnswers[entryPoint] = value;
}

FAKE_API void FakeLPI_SetWorkgroupCount(int count)
{
    std::lock_guard<std::mutex> lock(sMutex);
    sWorkgroupCount = count;
}

FAKE_API int FakeLPI_CallCount(const char* entryPoint)
{
    std::lock_guard<std::mutex> lock(sMutex);
    const auto found = sCalls.find(entryPoint);
    return found != sCalls.end() ? found->second : 0;
}

FAKE_API int FakeLPI_LastWorkgroups(const char* entryPoint, std::int32_t* outWorkgroups, int capacity)
{
    std::lock_guard<std::mutex> lock(sMutex);
    const std::vector<std::int32_t>& last = sLastWorkgroups[entryPoint];
    for (int i = 0; i < capacity && i < static_cast<int>(last.size()); ++i)
    {
        outWorkgroups[i] = last[static_cast<std::size_t>(i)];
    }
    return static_cast<int>(last.size());
}

FAKE_API void FakeLPI_Notify(std::uint32_t type, const void* payload)
{
    LPINotificationCallback callback = nullptr;
    {
        std::lock_guard<std::mutex> lock(sMutex);
        callback = sCallback;
    }
    if (callback != nullptr)
    {
        std::thread library([=] { callback(type, payload); });
        library.join();
    }
}

// Font-ID notifications first, first + 1, ... from a thread of their own, each to the callback
// registered at that moment; the callback runs outside the library's lock, so a call may still be
// running when UnregisterForNotifications returns (the library does not wait for it).
namespace
{
int NotifyFontIDs(std::uint32_t type, int count, std::int32_t first)
{
    int calls = 0;
    for (int i = 0; i < count; ++i)
    {
        LPINotificationCallback callback = nullptr;
        {
            std::lock_guard<std::mutex> lock(sMutex);
            callback = sCallback;
        }
        if (callback != nullptr)
        {
            const std::int32_t fontID = first + i;
            callback(type, &fontID);
            ++calls;
        }
    }
    return calls;
}
} // namespace

FAKE_API void FakeLPI_NotifyOnRegister(std::uint32_t type, int count)
{
    std::lock_guard<std::mutex> lock(sMutex);
    sNotifyOnRegisterType = type;
    sNotifyOnRegisterCount = count;
}

FAKE_API void FakeLPI_StartNotifying(std::uint32_t type, int count, std::int32_t first)
{
    sNotifier = std::thread([=] { sNotifierCalls = NotifyFontIDs(type, count, first); });
}

FAKE_API int FakeLPI_FinishNotifying()
{
    if (sNotifier.joinable())
    {
        sNotifier.join();
    }
    return sNotifierCalls;
}

// --- Entry points
// ---------------------------------------------------------------------------------------------

#define FAKE_YES_NO(Name)                                                                                    \
    FAKE_API LPIResult Name(LPIFacade, std::uint32_t* outYes)                                                \
    {                                                                                                        \
        const LPIResult code = Enter(#Name);                                                                 \
        if (code == 0 && outYes != nullptr)                                                                  \
        {                                                                                                    \
            *outYes = Answer(#Name);                                                                         \
        }                                                                                                    \
        return code;                                                                                         \
    }
#define FAKE_COLUMN(Name)                                                                                    \
    FAKE_API LPIResult Name(char* buffer, std::uint32_t capacity)                                            \
    {                                                                                                        \
        Enter(#Name);                                                                                        \
        if (buffer != nullptr && capacity > 0)                                                               \
        {                                                                                                    \
            std::strncpy(buffer, #Name, capacity - 1);                                                       \
            buffer[capacity - 1] = '\0';                                                                     \
        }                                                                                                    \
        return 0;                                                                                            \
    }
#define FAKE_FACADE_ONLY(Name)                                                                               \
    FAKE_API LPIResult Name(LPIFacade)                                                                       \
    {                                                                                                        \
        return Enter(#Name);                                                                                 \
    }

// Entry points the tests only count.
#define FAKE_CALL_ONLY(Name, ...)                                                                            \
    FAKE_API LPIResult Name(__VA_ARGS__)                                                                     \
    {                                                                                                        \
        return Enter(#Name);                                                                                 \
    }

FAKE_YES_NO(GetIsCoreAgentProcessRunning)
FAKE_YES_NO(GetIsLoggedIn)
FAKE_YES_NO(GetRunningStandalone)
FAKE_YES_NO(GetAreSchemaVersionsInSync)
FAKE_YES_NO(GetIsReplicationRunning)
FAKE_YES_NO(GetIsGoogleWebFontsEnabled)

FAKE_COLUMN(GetActivationStateColumnID)
FAKE_COLUMN(GetCanActivateAcrossWorkgroupsColumnID)
FAKE_COLUMN(GetExportFontsColumnID)
FAKE_COLUMN(GetFamilyGroupIDColumnID)
FAKE_COLUMN(GetFamilyGroupNameColumnID)
FAKE_COLUMN(GetFamilyNameColumnID)
FAKE_COLUMN(GetFileSizeColumnID)
FAKE_COLUMN(GetFontFaceIDColumnID)
FAKE_COLUMN(GetFontLocationColumnID)
FAKE_COLUMN(GetFaceTraceChecksumColumnID)
FAKE_COLUMN(GetFontTypeColumnID)
FAKE_COLUMN(GetFontVersionColumnID)
FAKE_COLUMN(GetFoundryNameColumnID)
FAKE_COLUMN(GetIsFontLocalColumnID)
FAKE_COLUMN(GetIsPortolanFileColumnID)
FAKE_COLUMN(GetLegacyFaceTraceChecksumColumnID)
FAKE_COLUMN(GetLocalPathColumnID)
FAKE_COLUMN(GetPostscriptNameColumnID)
FAKE_COLUMN(GetDisplayNameColumnID)
FAKE_COLUMN(GetScannedFoundryColumnID)
FAKE_COLUMN(GetWorkgroupIDColumnID)
FAKE_COLUMN(GetWorkgroupNameColumnID)
FAKE_COLUMN(GetWorkgroupTypeColumnID)

FAKE_FACADE_ONLY(DestroyThreadInstance)
FAKE_FACADE_ONLY(EnableDesignActivation)
FAKE_FACADE_ONLY(InitThreadInstance)
FAKE_FACADE_ONLY(CleanUpOnShutdown)

// Fonts with an ID of 1000 or more are refused.
FAKE_API LPIResult ActivateFonts(LPIFacade, std::uint32_t count, const std::uint32_t* fontIDs, std::uint32_t,
                                 std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t capacity1,
                                 std::uint32_t, std::uint32_t* outNotActivated, LPIFontActivationResult*,
                                 std::uint32_t* outNotActivatedCount, std::uint32_t* outResultCount)
{
    const LPIResult code = Enter("ActivateFonts");
    std::uint32_t refused = 0;
    for (std::uint32_t i = 0; code == 0 && i < count && refused < capacity1; ++i)
    {
        if (fontIDs[i] >= 1000 && outNotActivated != nullptr)
        {
            outNotActivated[refused++] = fontIDs[i];
        }
    }
    if (outNotActivatedCount != nullptr)
    {
        *outNotActivatedCount = refused;
    }
    if (outResultCount != nullptr)
    {
        *outResultCount = 0;
    }
    return code;
}

FAKE_API LPIResult ActivateDocumentFontsByPath(LPIFacade, const char*, CFMutableArrayRef, std::uint32_t,
                                               std::uint32_t, std::uint32_t, std::uint32_t,
                                               std::int32_t workgroupID, CFMutableArrayRef matched,
                                               CFMutableArrayRef problems)
{
    const LPIResult code = Enter("ActivateDocumentFontsByPath");
    Remember("ActivateDocumentFontsByPath", &workgroupID, 1);
    if (code == 0)
    {
        AppendFont(matched, 11, "Matched-Regular");
        AppendFont(problems, 0, "Missing-Bold");
    }
    return code;
}

FAKE_CALL_ONLY(AddFontsToSets, LPIFacade, std::uint32_t, const std::int32_t*, std::uint32_t,
               const std::uint32_t*)

FAKE_API LPIResult BeginLogging(LPIFacade, const char* logFileName)
{
    const LPIResult code = Enter("BeginLogging");
    Enter((std::string("BeginLogging:") + (logFileName != nullptr ? logFileName : "")).c_str());
    return code;
}

FAKE_API LPIResult CanExportFonts(LPIFacade, std::uint32_t, const std::uint32_t*, std::uint32_t* outYes)
{
    const LPIResult code = Enter("CanExportFonts");
    if (code == 0 && outYes != nullptr)
    {
        *outYes = Answer("CanExportFonts");
    }
    return code;
}

FAKE_API LPIResult CreateTopLevelSet(LPIFacade, std::int32_t* outSetID, std::int32_t, const char* name,
                                     std::uint32_t, std::uint32_t, std::uint32_t, const std::uint32_t*)
{
    const LPIResult code = Enter("CreateTopLevelSet");
    Enter((std::string("CreateTopLevelSet:") + (name != nullptr ? name : "")).c_str());
    if (outSetID != nullptr)
    {
        *outSetID = 1;
    }
    return code;
}

FAKE_CALL_ONLY(DeactivateFonts, LPIFacade, std::uint32_t, const std::uint32_t*, std::uint32_t)
FAKE_CALL_ONLY(ExportFonts, LPIFacade, std::uint32_t, const std::uint32_t*, const char*, std::uint32_t,
               std::uint32_t)

FAKE_API LPIResult FindFontsInSameFamilyForActivation(CFDictionaryRef, const std::int32_t* workgroups,
                                                      std::uint32_t workgroupCount,
                                                      CFMutableArrayRef outFonts)
{
    const LPIResult code = Enter("FindFontsInSameFamilyForActivation");
    Remember("FindFontsInSameFamilyForActivation", workgroups, workgroupCount);
    return code == 0 && outFonts != nullptr ? 0 : code;
}

// Workgroups 5 "Design" (type 2) and 6 "Print" (type 3), as many as set; 9 "System" (type 4) when
// asked for.
FAKE_API LPIResult GetAllWorkgroupsForUser(LPIFacade, CFMutableArrayRef outWorkgroups,
                                           std::uint32_t includeSystem, std::uint32_t)
{
    const LPIResult code = Enter("GetAllWorkgroupsForUser");
    if (code != 0 || outWorkgroups == nullptr)
    {
        return code;
    }
    int count = 0;
    {
        std::lock_guard<std::mutex> lock(sMutex);
        count = sWorkgroupCount;
    }
    if (count >= 1)
    {
        AppendWorkgroup(outWorkgroups, 5, "Design", 2);
    }
    if (count >= 2)
    {
        AppendWorkgroup(outWorkgroups, 6, "Print", 3);
    }
    if (includeSystem != 0)
    {
        AppendWorkgroup(outWorkgroups, 9, "System", 4);
    }
    return 0;
}

FAKE_API LPIResult RegisterForNotifications(LPIFacade, LPINotificationCallback callback)
{
    const LPIResult code = Enter("RegisterForNotifications");
    std::uint32_t type = 0;
    int count = 0;
    {
        std::lock_guard<std::mutex> lock(sMutex);
        sCallback = callback;
        type = sNotifyOnRegisterType;
        count = sNotifyOnRegisterCount;
    }
    if (count > 0)
    {
        // The state of the moment, reported before registering returns.
        std::thread library([=] { NotifyFontIDs(type, count, 1); });
        library.join();
    }
    return code;
}

FAKE_API LPIResult UnregisterForNotifications(LPIFacade, LPINotificationCallback callback)
{
    const LPIResult code = Enter("UnregisterForNotifications");
    std::lock_guard<std::mutex> lock(sMutex);
    if (sCallback == callback)
    {
        sCallback = nullptr;
    }
    return code;
}

FAKE_API LPIResult GetClientFontActivationStates(std::uint32_t count, const std::uint32_t* fontIDs,
                                                 std::uint32_t* outStates)
{
    const LPIResult code = Enter("GetClientFontActivationStates");
    for (std::uint32_t i = 0; code == 0 && i < count; ++i)
    {
        outStates[i] = fontIDs[i] % 2;
    }
    return code;
}

FAKE_CALL_ONLY(GetDefaultLibraryName, LPIFacade, char*, std::uint32_t)

// Reports the raw state 4 (active) for every font.
FAKE_API LPIResult GetFontInfoByID(LPIFacade, const std::int32_t* workgroups, std::uint32_t workgroupCount,
                                   CFDictionaryRef, std::int32_t* outStatus, CFMutableDictionaryRef* outFont)
{
    const LPIResult code = Enter("GetFontInfoByID");
    Remember("GetFontInfoByID", workgroups, workgroupCount);
    if (code == 0 && outFont != nullptr)
    {
        *outFont = NewRecord();
        SetNumber(*outFont, "DatabaseID", 11);
        SetText(*outFont, "PostScriptName", "Matched-Regular");
        SetNumber(*outFont, "ActivationStatus", 4);
        SetText(*outFont, "KerningChecksum", "2000000");
    }
    if (outStatus != nullptr)
    {
        *outStatus = 0;
    }
    return code;
}

FAKE_API LPIResult GetFontIsActivated(LPIFacade, std::uint32_t count, const std::uint32_t*,
                                      std::uint32_t* outYes)
{
    const LPIResult code = Enter("GetFontIsActivated");
    for (std::uint32_t i = 0; code == 0 && i < count; ++i)
    {
        outYes[i] = 1;
    }
    return code;
}

FAKE_API LPIResult GetFontVaultPath(LPIFacade, std::uint32_t capacity, char* buffer)
{
    if (buffer != nullptr && capacity > 0)
    {
        std::strncpy(buffer, "C:\\Vault", capacity - 1);
        buffer[capacity - 1] = '\0';
    }
    return Enter("GetFontVaultPath");
}

// Two fonts, 21 and 22, for every name and workgroup list.
FAKE_API LPIResult GetFontsByPostscriptName(LPIFacade, const char*, const std::int32_t* workgroups,
                                            std::uint32_t workgroupCount, std::uint32_t* outFontIDs,
                                            std::uint32_t capacity, std::uint32_t* outCount)
{
    const LPIResult code = Enter("GetFontsByPostscriptName");
    Remember("GetFontsByPostscriptName", workgroups, workgroupCount);
    *outCount = 0;
    for (std::uint32_t id = 21; code == 0 && id <= 22 && *outCount < capacity; ++id)
    {
        outFontIDs[(*outCount)++] = id;
    }
    return code;
}

FAKE_API LPIResult GetFontsByFamilyName(LPIFacade, const char*, const std::int32_t* workgroups,
                                        std::uint32_t workgroupCount, std::uint32_t*, std::uint32_t,
                                        std::uint32_t* outCount)
{
    const LPIResult code = Enter("GetFontsByFamilyName");
    Remember("GetFontsByFamilyName", workgroups, workgroupCount);
    *outCount = 0;
    return code;
}

FAKE_API LPIResult GetPermission(LPIFacade, std::uint32_t, const char*, std::int32_t, std::uint32_t* outValue)
{
    const LPIResult code = Enter("GetPermission");
    if (code == 0 && outValue != nullptr)
    {
        *outValue = Answer("GetPermission");
    }
    return code;
}

FAKE_API LPIFacade GetPluginFacadeInstance(void)
{
    Enter("GetPluginFacadeInstance");
    return &sFacade;
}

FAKE_CALL_ONLY(ResetPluginFacadeInstance, void)
FAKE_CALL_ONLY(GetSystemWorkgroupID, LPIFacade, std::int32_t*)

FAKE_API LPIResult InitAppInstance(LPIFacade, std::int32_t hostAppType, std::uint32_t)
{
    const LPIResult code = Enter("InitAppInstance");
    Remember("InitAppInstance", &hostAppType, 1);
    return code;
}

FAKE_CALL_ONLY(IsAllWorkgroups, LPIFacade, std::int32_t, std::uint32_t*)

FAKE_API LPIResult Log(LPIFacade, const char* text)
{
    const LPIResult code = Enter("Log");
    Enter((std::string("Log:") + (text != nullptr ? text : "")).c_str());
    return code;
}

FAKE_CALL_ONLY(OSCreateDirectory, const char*, std::uint32_t)

FAKE_API std::uint32_t OSDoesDirectoryExist(const char*)
{
    Enter("OSDoesDirectoryExist");
    return Answer("OSDoesDirectoryExist");
}

FAKE_CALL_ONLY(PreviewActivateFonts, LPIFacade, std::uint32_t, const std::uint32_t*, std::uint32_t)
FAKE_CALL_ONLY(GetGoogleFonts, LPIFacade, CFMutableArrayRef)
FAKE_CALL_ONLY(GetCurrentReplicationMode, LPIFacade, std::int32_t*)
FAKE_CALL_ONLY(SetGoogleWebFontsEnabled, LPIFacade, std::uint32_t)
FAKE_CALL_ONLY(GetRenderedPNGsDirectory, LPIFacade, char*, std::uint32_t)
FAKE_CALL_ONLY(RenderFontNamePreviewPNGs, LPIFacade, std::uint32_t, const std::uint32_t*, std::uint32_t,
               const std::uint32_t*, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::uint32_t)
FAKE_CALL_ONLY(RenameSmartList, LPIFacade, std::int32_t, const char*)
FAKE_CALL_ONLY(DeleteSmartList, LPIFacade, std::int32_t)
FAKE_CALL_ONLY(GetSmartList, LPIFacade, std::int32_t, CFMutableDictionaryRef)
FAKE_CALL_ONLY(GetPanelSmartListTree, LPIFacade, std::int32_t, CFMutableStringRef)
FAKE_CALL_ONLY(QueryForSmartListFonts, LPIFacade, std::uint32_t, const std::int32_t*, std::uint32_t,
               const std::int32_t*, std::uint32_t, const std::int32_t*, CFMutableArrayRef)
FAKE_CALL_ONLY(GetAllSmartLists, LPIFacade, CFMutableArrayRef)
FAKE_CALL_ONLY(CreateSmartList, LPIFacade, const char*, std::uint32_t, const std::int32_t*, std::uint32_t,
               const std::int32_t*, std::uint32_t, const std::int32_t*, std::int32_t*)
FAKE_CALL_ONLY(SetSmartListQuery, LPIFacade, std::int32_t, std::uint32_t, const std::int32_t*, std::uint32_t,
               const std::int32_t*, std::uint32_t, const std::int32_t*)
FAKE_CALL_ONLY(GetSmartListFonts, LPIFacade, std::int32_t, CFMutableArrayRef)

FAKE_API LPIResult GetFontConflicts(LPIFacade, std::uint32_t count, const std::uint32_t*,
                                    std::int32_t* outConflicts)
{
    const LPIResult code = Enter("GetFontConflicts");
    for (std::uint32_t i = 0; code == 0 && i < count; ++i)
    {
        outConflicts[i] = 0;
    }
    return code;
}

FAKE_CALL_ONLY(TrackFontPanelClick, LPIFacade, std::uint32_t, const char*)

FAKE_API std::uint32_t CanAccessGoogleFonts(LPIFacade)
{
    Enter("CanAccessGoogleFonts");
    return 0;
}

FAKE_CALL_ONLY(SaveDocumentFonts, LPIFacade, const char*, const char*, const char*, std::uint32_t)
FAKE_CALL_ONLY(GetFontUsage, LPIFacade, const char*, CFMutableArrayRef)
FAKE_CALL_ONLY(GetAdobeXMPData, LPIFacade, const char*, CFMutableStringRef)
FAKE_CALL_ONLY(GetFaceTraceXMPData, LPIFacade, const char*, CFMutableStringRef)
FAKE_CALL_ONLY(WriteFontUsage, LPIFacade, const char*, CFArrayRef)

// Every entry point of the table is defined above with the type the plug-in calls it with.
#define FAKE_CHECK_ENTRY_POINT(Name, Type) static_assert(std::is_same_v<decltype(&Name), Type>, #Name);
LPI_ENTRY_POINTS(FAKE_CHECK_ENTRY_POINT)
