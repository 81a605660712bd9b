#pragma once
// CoreAgentInterface, the plug-in's font manager: every font-manager request of the plug-in
// becomes calls of the interface library (LPILoader). It starts the connection to the core agent,
// relaunches the core and retries a command when the core has gone away, and carries the
// library's notifications from the library's thread to the host's main thread.
//
// The commands that change or read font state run under the relaunch-and-retry policy: a call
// answered with "agent shut down" or "service unavailable" relaunches the core silently once
// (launching it when it does not run, else connecting to it afresh) and retries; a second such
// answer within the same command disables the plug-in's services, tells the user, and retries
// once more only when a core that had gone could be launched again. A core that runs but does not
// answer is given up on until the user's reset (Reconnect): the plug-in never waits for it again
// on its own.
//
// What the user's session looks like (logged in, standalone, Google web fonts) is asked once when
// the connection is made and kept from the core's notifications afterwards, so that the host's
// user-interface thread, which asks about it all the time, never waits for the core.

#include "FontManagerInterface.h"
#include "FontManagerNotifications.h"
#include "LumorandPluginInterface.h"

#include <ctime>
#include <memory>

class HostAppInterface;
class LPILoader;

class CoreAgentInterface : public FontManagerInterface
{
public:
    // Workgroup types.
    enum : TSInt32
    {
        kLocalWorkgroupType = 3,
        kSystemWorkgroupType = 4,
        kGoogleFontsWorkgroupType = 8,
    };
    // How often ProcessNotifications asks whether the core still runs, in seconds.
    static constexpr std::time_t kLivenessCheckIntervalSeconds = 15;

    // Connects to the core agent (InitializeCoreAgent) and chooses the default workgroup.
    CoreAgentInterface();
    ~CoreAgentInterface() override;

    bool GetRunningStandalone() override;
    TSInt32 UnregisterForNotifications() override;
    TSInt32 FontIDsForPostScriptName(const char* name, TSInt32 workgroupID,
                                     std::vector<TUInt32>& outFontIDs) override;
    TSInt32 FontIDsForFamilyName(const char* name, TSInt32 workgroupID,
                                 std::vector<TUInt32>& outFontIDs) override;
    std::map<TUInt32, bool> GetFontIsActivated(CFArrayRef fonts) override;
    std::map<TUInt32, TSInt32> GetFontConflicts(const std::vector<TUInt32>& fontIDs) override;
    TSInt32 ActivateDocumentFontsByPath(const char* path, CFMutableArrayRef extra, CFMutableArrayRef matched,
                                        CFMutableArrayRef problems) override;
    TSInt32 ActivateFontByID(CFDictionaryRef font, const char* documentIdentifier) override;
    TSInt32 ActivateFontsByID(CFArrayRef fonts, const char* documentIdentifier,
                              CFMutableArrayRef activated) override;
    TSInt32 DeactivateFont(CFDictionaryRef font) override;
    TSInt32 DeactivateFonts(CFArrayRef fonts, CFMutableArrayRef deactivated) override;
    TSInt32 CountNamedFonts(const char* name, TSInt32 kind, TSInt32 workgroupID, TSInt32& outCount) override;
    TSInt32 GetNamedFontInfo(const char* name, TSInt32 kind, TSInt32 workgroupID, TSInt32 index,
                             FontInfoResult& outResult) override;
    TSInt32 GetFontInfoByID(CFDictionaryRef fontReference, FontInfoResult& outResult) override;
    TSInt32 GetPostscriptNameByID(TSInt32 workgroupID, TUInt32 fontID, TUTF8String& outName) override;
    TSInt32 GetFaceTraceInfo(TUInt32 databaseID, CFDictionaryRef font, char* outXMLBuffer,
                             TUInt32& inOutBufferSize) override;
    TErrorCode HandleTextRequest(const char* text) override;
    TSInt32 FindFontsInSameFamily(CFDictionaryRef font, CFArrayRef documentMatchedFonts, TSInt32 workgroupID,
                                  CFMutableArrayRef outFonts) override;
    TSInt32 MakeSetForDocumentFonts(CFStringRef proposedSetName, CFArrayRef fonts) override;
    TSInt32 CollectFontsUsedByCurrentDocument(const char* documentName, const char* destinationPath,
                                              CFArrayRef fonts) override;
    TSInt32 ProcessNotifications() override;
    bool AreSchemaVersionsInSync() override;
    TSInt32 GetAllWorkgroupsForUser(CFMutableArrayRef outWorkgroups, bool includeAll, bool includeSystem,
                                    bool includeTypekit) override;
    bool UserHasWorkgroups() override;
    TSInt32 RemoveRemoteFonts(CFMutableArrayRef fonts) override;
    bool CurrentWorkgroupIsType3() override;
    bool IsHiddenWorkgroupType(TSInt32 workgroupType) override;
    bool CanActivateAcrossWorkgroups() override;
    bool CanExportFromWorkgroup(CFArrayRef fonts) override;
    bool IsCoreAgentProcessRunning() override;
    // The logged-in state as the core last reported it (asked when the connection was made, then
    // kept from its notifications): no call while the services are on. When the plug-in has given
    // up on the core (services off, not connected), asking reconnects first (Reconnect): the
    // command box asks this before anything else, which makes it the user's way back to a core
    // that answers again. Without a connection the last report stands, and no report counts as
    // logged in (so that the caller goes on to tell that the core does not answer). Yes without
    // the library.
    bool IsLoggedIn() override;
    void DoOnlineOffline() override;
    bool IsGoogleWebFontsEnabled() override;
    std::map<TUInt32, bool> GetClientFontActivationStates(const std::vector<TUInt32>& fontIDs) override;
    TSInt32 GetGoogleFontsWorkgroupID() override;
    void WorkgroupIDsForQuery(TSInt32 workgroupID, std::vector<TSInt32>& outWorkgroupIDs) override;

    // The first workgroup of type 4 among the user's workgroups (cached once found); -1 when there
    // is none.
    TSInt32 GetSystemWorkgroupID();

    // Replaces the core's raw "ActivationStatus" of a record with the plug-in's state (0 unknown,
    // 1 inactive, 2 active, 3 active temporarily) and sets "IsTemp", "IsActive" and
    // "IsAutoActivated"; -1 for a missing record, else 0.
    static TSInt32 ConvertActivationStateValues(CFMutableDictionaryRef font);
    // The non-zero "DatabaseID"s of an array of font records, in array order.
    static std::vector<TUInt32> GetFontIDsFromFontInfoArray(CFArrayRef fonts);

    // The user's reset: when the plug-in has given up on the core (not connected), finds or
    // launches the core, connects to it afresh (InitAppInstance, InitThreadInstance, the session's
    // state, notifications) and turns the services on again. Shows nothing: the caller tells the
    // user when it fails. True when connected (at once when the plug-in was connected).
    bool Reconnect();

    // The callback registered with the library: queues the notification (any thread).
    static void NotificationCallback(TUInt32 type, const void* payload);
    // The number of notifications waiting.
    std::size_t CountQueuedNotifications() { return mNotifications->Count(); }

    // Test support: the time of the last liveness check (seconds since the epoch; 0 = never).
    static void SetLastLivenessCheckTimeForTesting(std::time_t time);

private:
    // What a relaunch may do with a core that runs.
    enum class ERunningCore
    {
        kReconnect, // connect to it afresh
        kGiveUp,    // it ran and did not answer: nothing to gain
    };
    // Results of RelaunchObsidianAgent.
    enum : TSInt32
    {
        kRelaunched = 0,        // a core runs (launched now, or found running) and the facade is new
        kRelaunchFailed = 2,    // no core could be launched
        kCoreDoesNotAnswer = 3, // a core runs but was given up on (ERunningCore::kGiveUp)
    };

    void InitializeCoreAgent(const TUTF8String& hostAppName);
    // Asks what the user's session looks like (logged in, standalone, Google web fonts) and keeps
    // the answers; once per connection.
    void AskSessionState();
    // Runs a library call under the relaunch-and-retry policy; call(loader, facade) makes it.
    template <typename Call>
    LPIResult CallWithRelaunch(Call&& call);
    // Makes the core reachable again (see the results above); askUser: whether a failed launch
    // asks the user to try again.
    TSInt32 RelaunchObsidianAgent(ERunningCore runningCore, bool askUser = true);
    TSInt32 LaunchObsidianAgentIfNeeded();
    // Activates fonts by ID globally and/or locally as the preferences say; the IDs the library
    // did not activate go into outNotActivated.
    LPIResult ActivateFontIDs(const std::vector<TUInt32>& fontIDs, std::vector<TUInt32>& outNotActivated);
    TSInt32 FontIDsForName(LPI_GetFontsByNameProc LPILoader::*query, const char* operation, const char* name,
                           TSInt32 workgroupID, std::vector<TUInt32>& outFontIDs);
    // The workgroup ID of the first workgroup of a type among the user's workgroups; -1 if none.
    TSInt32 FindWorkgroupOfType(TSInt32 workgroupType);
    bool HasPermission(LPI_ColumnIDProc LPILoader::*columnGetter, TSInt32 workgroupID);
    void HandleNotification(const FontManagerNotification& notification);
    void HandleLoggedInStateChanged(CFDictionaryRef notification, HostAppInterface& host);

    // Shared with the library's callbacks (NotificationDelivery): it outlives every one of them.
    std::shared_ptr<NotificationQueue> mNotifications;

    // The session's state as last reported (see AskSessionState); -1 while not known.
    int mLoggedIn = -1;
    int mRunningStandalone = -1;
    int mGoogleWebFontsEnabled = -1;
};
