#pragma once
// The C interface of the font manager's plug-in interface library,
// LumorandPluginInterfaceX64.dll, as the plug-in calls it: 84 exported entry points, each a
// plain C function. The plug-in never links against the library: LPILoader resolves the entry
// points by name at run time into a table of pointers of the types declared here.
//
// Conventions of the library:
// - The first argument of nearly every call is the plugin facade, an opaque pointer returned by
//   GetPluginFacadeInstance. The exceptions take no facade: GetPluginFacadeInstance,
//   ResetPluginFacadeInstance, GetClientFontActivationStates,
//   FindFontsInSameFamilyForActivation, OSDoesDirectoryExist, OSCreateDirectory and the
//   column-ID getters.
// - The result is an error code (LPIResult, 0 = success), except where a declaration says
//   otherwise. The two codes that mean "the core has gone" are kLPIAgentShutdown and
//   kLPIServiceUnavailable.
// - Yes/no outputs are unsigned 32-bit integers, non-zero meaning yes.
// - Font IDs are unsigned 32-bit, workgroup IDs signed 32-bit (0 = all workgroups in a query).
// - Text is NUL-terminated UTF-8. Records are Core Foundation dictionaries and arrays; an object
//   returned through an out-parameter belongs to the caller.
// - A column-ID getter writes a NUL-terminated column identifier into a caller buffer of the
//   given capacity (the plug-in passes 256 bytes).

#include <CoreFoundation/CoreFoundation.h>

#include <cstdint>

extern "C"
{

    typedef std::uint32_t LPIResult;
    typedef void* LPIFacade;

    // Codes the plug-in interprets.
    constexpr LPIResult kLPIAgentShutdown = 0x0200200D;           // GAgentIF::kShutdown
    constexpr LPIResult kLPIServiceUnavailable = 0x0300100E;      // GIPCClient::kServiceUnavailable
    constexpr LPIResult kLPIAgentNotFound = 0x02002005;           // GObsidianConfig::kAgentNotFound
    constexpr LPIResult kLPIAgentRunningInWrongMode = 0x03002005; // GObsidianConfig::kAgentRunningInWrongMode
    constexpr LPIResult kLPIVaultInUse = 0x02002008;              // GObsidianSdk::kVaultInUse
    constexpr LPIResult kLPIInvalidVault = 0x01002008;            // GObsidianSdk::kInvalidVault

    // One entry of the second output array of ActivateFonts: 16 bytes per font.
    typedef struct LPIFontActivationResult
    {
        std::uint32_t fontID; // a font of the request
        std::uint32_t code;   // why it was reported (library-defined, 0 = activated)
        std::uint32_t reserved[2];
    } LPIFontActivationResult;
    static_assert(sizeof(LPIFontActivationResult) == 16);

    // Notifications: the library calls the registered callback from a thread of its own with the
    // notification type and a pointer to its payload, valid only during the call:
    //   1 online state, 14 Google web fonts enabled: const std::uint8_t* (0 or 1)
    //   2 logged-in state, 15/19/21/27 replication progress: CFDictionaryRef
    //   8 activated, 9 deactivated, 10 missing, 24 design activation non-compliant:
    //     const std::int32_t* (the font ID)
    //   17 preview images rendered: CFTypeRef (a dictionary of font images)
    //   0, 3, 4, 16, 18, 20, 22, 23, 25, 28: no payload (null)
    typedef void (*LPINotificationCallback)(std::uint32_t type, const void* payload);

    enum LPINotificationType : std::uint32_t
    {
        kLPINotifyAgentShutdown = 0,
        kLPINotifyOnlineStateChanged = 1,
        kLPINotifyLoggedInStateChanged = 2,
        kLPINotifyWorkgroupsChanged = 3,
        kLPINotifyUserPermissionsChanged = 4,
        kLPINotifyFontActivated = 8,
        kLPINotifyFontDeactivated = 9,
        kLPINotifyFontMissing = 10,
        kLPINotifyGoogleWebFontsEnabled = 14,
        kLPINotifyGoogleReplicationProgress = 15,
        kLPINotifyGoogleReplicationStopped = 16,
        kLPINotifyPreviewPNGsRendered = 17,
        kLPINotifySmartListsChanged = 18,
        kLPINotifyBulkReplicationProgress = 19,
        kLPINotifyBulkReplicationStopped = 20,
        kLPINotifyIncrementalReplicationProgress = 21,
        kLPINotifyIncrementalReplicationStopped = 22,
        kLPINotifyPanelDataChanged = 23,
        kLPINotifyDesignActivationNonCompliant = 24,
        kLPINotifyOfflineDownloadFinished = 25,
        kLPINotifyFontServerReplicationProgress = 27,
        kLPINotifyFontServerReplicationStopped = 28,
    };

    // --- Entry point types, in table order ---------------------------------------------------------

    // ActivateFonts(facade, count, ids, local, mode, notify, persistent, capacity1, capacity2,
    //   outNotActivated, outResults, outNotActivatedCount, outResultCount):
    //   activates the fonts. outNotActivated (capacity1 IDs, may be null) receives the input fonts
    //   that were not activated; outResults (capacity2 entries, may be null) receives, first, the
    //   fonts refused as non-compliant. The plug-in passes (0, 1, 1, 1) for a document's fonts and
    //   (0, 3, 1, 1) for a design activation from the panel.
    typedef LPIResult (*LPI_ActivateFontsProc)(LPIFacade, std::uint32_t count, const std::uint32_t* fontIDs,
                                               std::uint32_t local, std::uint32_t mode, std::uint32_t notify,
                                               std::uint32_t persistent, std::uint32_t capacity1,
                                               std::uint32_t capacity2, std::uint32_t* outNotActivated,
                                               LPIFontActivationResult* outResults,
                                               std::uint32_t* outNotActivatedCount,
                                               std::uint32_t* outResultCount);
    // ActivateDocumentFontsByPath(facade, path, extra, hostedInPluginCore, activateEntireFamilies,
    //   pickBestMatch, useIdentificationData, workgroupID (0 = all), matched, problems): reads the
    //   document's fonts, activates the ones it matches and appends a record per matched font to
    //   matched and per unmatched font to problems.
    typedef LPIResult (*LPI_ActivateDocumentFontsByPathProc)(
        LPIFacade, const char* path, CFMutableArrayRef extra, std::uint32_t hostedInPluginCore,
        std::uint32_t activateEntireFamilies, std::uint32_t pickBestMatch,
        std::uint32_t useIdentificationData, std::int32_t workgroupID, CFMutableArrayRef matched,
        CFMutableArrayRef problems);
    typedef LPIResult (*LPI_AddFontsToSetsProc)(LPIFacade, std::uint32_t setCount, const std::int32_t* setIDs,
                                                std::uint32_t fontCount, const std::uint32_t* fontIDs);
    typedef LPIResult (*LPI_BeginLoggingProc)(LPIFacade, const char* logFileName);
    typedef LPIResult (*LPI_CanExportFontsProc)(LPIFacade, std::uint32_t count, const std::uint32_t* fontIDs,
                                                std::uint32_t* outYes);
    typedef LPIResult (*LPI_CreateTopLevelSetProc)(LPIFacade, std::int32_t* outSetID,
                                                   std::int32_t workgroupID, const char* name,
                                                   std::uint32_t reserved1, std::uint32_t reserved2,
                                                   std::uint32_t count, const std::uint32_t* fontIDs);
    typedef LPIResult (*LPI_DeactivateFontsProc)(LPIFacade, std::uint32_t count, const std::uint32_t* fontIDs,
                                                 std::uint32_t flags);
    typedef LPIResult (*LPI_DestroyThreadInstanceProc)(LPIFacade);
    typedef LPIResult (*LPI_EnableDesignActivationProc)(LPIFacade);
    typedef LPIResult (*LPI_ExportFontsProc)(LPIFacade, std::uint32_t count, const std::uint32_t* fontIDs,
                                             const char* destinationFolder, std::uint32_t reserved1,
                                             std::uint32_t reserved2);
    typedef LPIResult (*LPI_FindFontsInSameFamilyForActivationProc)(CFDictionaryRef font,
                                                                    const std::int32_t* workgroupIDs,
                                                                    std::uint32_t workgroupCount,
                                                                    CFMutableArrayRef outFonts);
    typedef LPIResult (*LPI_ColumnIDProc)(char* buffer, std::uint32_t capacity);
    typedef LPIResult (*LPI_GetAllWorkgroupsForUserProc)(LPIFacade, CFMutableArrayRef outWorkgroups,
                                                         std::uint32_t includeSystemWorkgroup,
                                                         std::uint32_t includeTypekitLibrary);
    typedef LPIResult (*LPI_GetAreSchemaVersionsInSyncProc)(LPIFacade, std::uint32_t* outYes);
    typedef LPIResult (*LPI_RegisterForNotificationsProc)(LPIFacade, LPINotificationCallback callback);
    typedef LPIResult (*LPI_UnregisterForNotificationsProc)(LPIFacade, LPINotificationCallback callback);
    typedef LPIResult (*LPI_GetClientFontActivationStatesProc)(std::uint32_t count,
                                                               const std::uint32_t* fontIDs,
                                                               std::uint32_t* outStates);
    typedef LPIResult (*LPI_GetDefaultLibraryNameProc)(LPIFacade, char* buffer, std::uint32_t capacity);
    typedef LPIResult (*LPI_GetFontInfoByIDProc)(LPIFacade, const std::int32_t* workgroupIDs,
                                                 std::uint32_t workgroupCount, CFDictionaryRef fontReference,
                                                 std::int32_t* outStatus, CFMutableDictionaryRef* outFont);
    typedef LPIResult (*LPI_GetFontIsActivatedProc)(LPIFacade, std::uint32_t count,
                                                    const std::uint32_t* fontIDs, std::uint32_t* outYes);
    typedef LPIResult (*LPI_GetFontVaultPathProc)(LPIFacade, std::uint32_t capacity, char* buffer);
    typedef LPIResult (*LPI_GetFontsByNameProc)(LPIFacade, const char* name, const std::int32_t* workgroupIDs,
                                                std::uint32_t workgroupCount, std::uint32_t* outFontIDs,
                                                std::uint32_t capacity, std::uint32_t* outCount);
    typedef LPIResult (*LPI_YesNoQueryProc)(LPIFacade, std::uint32_t* outYes);
    typedef LPIResult (*LPI_GetPermissionProc)(LPIFacade, std::uint32_t flag, const char* columnID,
                                               std::int32_t workgroupID, std::uint32_t* outValue);
    // GetPluginFacadeInstance returns the facade (null when the library has none).
    typedef LPIFacade (*LPI_GetPluginFacadeInstanceProc)(void);
    typedef LPIResult (*LPI_ResetPluginFacadeInstanceProc)(void);
    typedef LPIResult (*LPI_GetSystemWorkgroupIDProc)(LPIFacade, std::int32_t* outWorkgroupID);
    typedef LPIResult (*LPI_InitAppInstanceProc)(LPIFacade, std::int32_t hostAppType, std::uint32_t reserved);
    typedef LPIResult (*LPI_InitThreadInstanceProc)(LPIFacade);
    typedef LPIResult (*LPI_IsAllWorkgroupsProc)(LPIFacade, std::int32_t workgroupID, std::uint32_t* outYes);
    typedef LPIResult (*LPI_LogProc)(LPIFacade, const char* text);
    typedef LPIResult (*LPI_OSCreateDirectoryProc)(const char* path, std::uint32_t createIntermediates);
    // OSDoesDirectoryExist returns non-zero when the folder exists.
    typedef std::uint32_t (*LPI_OSDoesDirectoryExistProc)(const char* path);
    typedef LPIResult (*LPI_PreviewActivateFontsProc)(LPIFacade, std::uint32_t count,
                                                      const std::uint32_t* fontIDs, std::uint32_t flags);
    typedef LPIResult (*LPI_GetGoogleFontsProc)(LPIFacade, CFMutableArrayRef outFonts);
    typedef LPIResult (*LPI_GetCurrentReplicationModeProc)(LPIFacade, std::int32_t* outMode);
    typedef LPIResult (*LPI_SetGoogleWebFontsEnabledProc)(LPIFacade, std::uint32_t enabled);
    typedef LPIResult (*LPI_GetRenderedPNGsDirectoryProc)(LPIFacade, char* buffer, std::uint32_t capacity);
    typedef LPIResult (*LPI_RenderFontNamePreviewPNGsProc)(LPIFacade, std::uint32_t highPriorityCount,
                                                           const std::uint32_t* highPriorityFontIDs,
                                                           std::uint32_t count, const std::uint32_t* fontIDs,
                                                           std::int32_t smartListID, std::int32_t pointSize,
                                                           std::int32_t width, std::int32_t height,
                                                           std::uint32_t doubleResolution);
    typedef LPIResult (*LPI_RenameSmartListProc)(LPIFacade, std::int32_t smartListID, const char* name);
    typedef LPIResult (*LPI_DeleteSmartListProc)(LPIFacade, std::int32_t smartListID);
    typedef LPIResult (*LPI_GetSmartListProc)(LPIFacade, std::int32_t smartListID,
                                              CFMutableDictionaryRef out);
    typedef LPIResult (*LPI_GetPanelSmartListTreeProc)(LPIFacade, std::int32_t smartListID,
                                                       CFMutableStringRef out);
    typedef LPIResult (*LPI_QueryForSmartListFontsProc)(LPIFacade, std::uint32_t workgroupCount,
                                                        const std::int32_t* workgroupIDs,
                                                        std::uint32_t setCount, const std::int32_t* setIDs,
                                                        std::uint32_t smartSetCount,
                                                        const std::int32_t* smartSetIDs,
                                                        CFMutableArrayRef outFontIDs);
    typedef LPIResult (*LPI_GetAllSmartListsProc)(LPIFacade, CFMutableArrayRef outSmartLists);
    typedef LPIResult (*LPI_CreateSmartListProc)(LPIFacade, const char* name, std::uint32_t workgroupCount,
                                                 const std::int32_t* workgroupIDs, std::uint32_t setCount,
                                                 const std::int32_t* setIDs, std::uint32_t smartSetCount,
                                                 const std::int32_t* smartSetIDs,
                                                 std::int32_t* outSmartListID);
    typedef LPIResult (*LPI_SetSmartListQueryProc)(LPIFacade, std::int32_t smartListID,
                                                   std::uint32_t workgroupCount,
                                                   const std::int32_t* workgroupIDs, std::uint32_t setCount,
                                                   const std::int32_t* setIDs, std::uint32_t smartSetCount,
                                                   const std::int32_t* smartSetIDs);
    typedef LPIResult (*LPI_GetSmartListFontsProc)(LPIFacade, std::int32_t smartListID,
                                                   CFMutableArrayRef outFonts);
    typedef LPIResult (*LPI_CleanUpOnShutdownProc)(LPIFacade);
    typedef LPIResult (*LPI_GetFontConflictsProc)(LPIFacade, std::uint32_t count,
                                                  const std::uint32_t* fontIDs, std::int32_t* outConflicts);
    typedef LPIResult (*LPI_TrackFontPanelClickProc)(LPIFacade, std::uint32_t fontID, const char* version);
    // CanAccessGoogleFonts returns the answer itself: non-zero when the user may use Google fonts.
    typedef std::uint32_t (*LPI_CanAccessGoogleFontsProc)(LPIFacade);
    // SaveDocumentFonts(facade, path, hostAppCode ("ps"), hostDisplayName, hint): records with the font
    // manager that the host saved the document.
    typedef LPIResult (*LPI_SaveDocumentFontsProc)(LPIFacade, const char* path, const char* hostAppCode,
                                                   const char* hostDisplayName, std::uint32_t hint);
    typedef LPIResult (*LPI_GetFontUsageProc)(LPIFacade, const char* path, CFMutableArrayRef outFonts);
    typedef LPIResult (*LPI_GetXMPDataProc)(LPIFacade, const char* path, CFMutableStringRef outXMP);
    // WriteFontUsage(facade, path, fonts): writes the fonts' identification records into the
    // document's XMP as its font-usage slug, replacing an earlier one (an empty array clears it).
    typedef LPIResult (*LPI_WriteFontUsageProc)(LPIFacade, const char* path, CFArrayRef fonts);

} // extern "C"

// The 84 entry points in table order, each with its pointer type: X(Name, Type).
#define LPI_ENTRY_POINTS(X)                                                                                  \
    X(ActivateFonts, LPI_ActivateFontsProc)                                                                  \
    X(ActivateDocumentFontsByPath, LPI_ActivateDocumentFontsByPathProc)                                      \
    X(AddFontsToSets, LPI_AddFontsToSetsProc)                                                                \
    X(BeginLogging, LPI_BeginLoggingProc)                                                                    \
    X(CanExportFonts, LPI_CanExportFontsProc)                                                                \
    X(CreateTopLevelSet, LPI_CreateTopLevelSetProc)                                                          \
    X(DeactivateFonts, LPI_DeactivateFontsProc)                                                              \
    X(DestroyThreadInstance, LPI_DestroyThreadInstanceProc)                                                  \
    X(EnableDesignActivation, LPI_EnableDesignActivationProc)                                                \
    X(ExportFonts, LPI_ExportFontsProc)                                                                      \
    X(FindFontsInSameFamilyForActivation, LPI_FindFontsInSameFamilyForActivationProc)                        \
    X(GetActivationStateColumnID, LPI_ColumnIDProc)                                                          \
    X(GetAllWorkgroupsForUser, LPI_GetAllWorkgroupsForUserProc)                                              \
    X(GetAreSchemaVersionsInSync, LPI_GetAreSchemaVersionsInSyncProc)                                        \
    X(RegisterForNotifications, LPI_RegisterForNotificationsProc)                                            \
    X(UnregisterForNotifications, LPI_UnregisterForNotificationsProc)                                        \
    X(GetCanActivateAcrossWorkgroupsColumnID, LPI_ColumnIDProc)                                              \
    X(GetClientFontActivationStates, LPI_GetClientFontActivationStatesProc)                                  \
    X(GetDefaultLibraryName, LPI_GetDefaultLibraryNameProc)                                                  \
    X(GetExportFontsColumnID, LPI_ColumnIDProc)                                                              \
    X(GetFamilyGroupIDColumnID, LPI_ColumnIDProc)                                                            \
    X(GetFamilyGroupNameColumnID, LPI_ColumnIDProc)                                                          \
    X(GetFamilyNameColumnID, LPI_ColumnIDProc)                                                               \
    X(GetFileSizeColumnID, LPI_ColumnIDProc)                                                                 \
    X(GetFontFaceIDColumnID, LPI_ColumnIDProc)                                                               \
    X(GetFontInfoByID, LPI_GetFontInfoByIDProc)                                                              \
    X(GetFontIsActivated, LPI_GetFontIsActivatedProc)                                                        \
    X(GetFontLocationColumnID, LPI_ColumnIDProc)                                                             \
    X(GetFaceTraceChecksumColumnID, LPI_ColumnIDProc)                                                        \
    X(GetFontTypeColumnID, LPI_ColumnIDProc)                                                                 \
    X(GetFontVaultPath, LPI_GetFontVaultPathProc)                                                            \
    X(GetFontVersionColumnID, LPI_ColumnIDProc)                                                              \
    X(GetFontsByPostscriptName, LPI_GetFontsByNameProc)                                                      \
    X(GetFontsByFamilyName, LPI_GetFontsByNameProc)                                                          \
    X(GetFoundryNameColumnID, LPI_ColumnIDProc)                                                              \
    X(GetIsCoreAgentProcessRunning, LPI_YesNoQueryProc)                                                      \
    X(GetIsFontLocalColumnID, LPI_ColumnIDProc)                                                              \
    X(GetIsLoggedIn, LPI_YesNoQueryProc)                                                                     \
    X(GetRunningStandalone, LPI_YesNoQueryProc)                                                              \
    X(GetIsPortolanFileColumnID, LPI_ColumnIDProc)                                                           \
    X(GetLegacyFaceTraceChecksumColumnID, LPI_ColumnIDProc)                                                  \
    X(GetLocalPathColumnID, LPI_ColumnIDProc)                                                                \
    X(GetPermission, LPI_GetPermissionProc)                                                                  \
    X(GetPluginFacadeInstance, LPI_GetPluginFacadeInstanceProc)                                              \
    X(ResetPluginFacadeInstance, LPI_ResetPluginFacadeInstanceProc)                                          \
    X(GetPostscriptNameColumnID, LPI_ColumnIDProc)                                                           \
    X(GetDisplayNameColumnID, LPI_ColumnIDProc)                                                              \
    X(GetScannedFoundryColumnID, LPI_ColumnIDProc)                                                           \
    X(GetSystemWorkgroupID, LPI_GetSystemWorkgroupIDProc)                                                    \
    X(GetWorkgroupIDColumnID, LPI_ColumnIDProc)                                                              \
    X(GetWorkgroupNameColumnID, LPI_ColumnIDProc)                                                            \
    X(GetWorkgroupTypeColumnID, LPI_ColumnIDProc)                                                            \
    X(InitAppInstance, LPI_InitAppInstanceProc)                                                              \
    X(InitThreadInstance, LPI_InitThreadInstanceProc)                                                        \
    X(IsAllWorkgroups, LPI_IsAllWorkgroupsProc)                                                              \
    X(Log, LPI_LogProc)                                                                                      \
    X(OSCreateDirectory, LPI_OSCreateDirectoryProc)                                                          \
    X(OSDoesDirectoryExist, LPI_OSDoesDirectoryExistProc)                                                    \
    X(PreviewActivateFonts, LPI_PreviewActivateFontsProc)                                                    \
    X(GetGoogleFonts, LPI_GetGoogleFontsProc)                                                                \
    X(GetIsReplicationRunning, LPI_YesNoQueryProc)                                                           \
    X(GetCurrentReplicationMode, LPI_GetCurrentReplicationModeProc)                                          \
    X(GetIsGoogleWebFontsEnabled, LPI_YesNoQueryProc)                                                        \
    X(SetGoogleWebFontsEnabled, LPI_SetGoogleWebFontsEnabledProc)                                            \
    X(GetRenderedPNGsDirectory, LPI_GetRenderedPNGsDirectoryProc)                                            \
    X(RenderFontNamePreviewPNGs, LPI_RenderFontNamePreviewPNGsProc)                                          \
    X(RenameSmartList, LPI_RenameSmartListProc)                                                              \
    X(DeleteSmartList, LPI_DeleteSmartListProc)                                                              \
    X(GetSmartList, LPI_GetSmartListProc)                                                                    \
    X(GetPanelSmartListTree, LPI_GetPanelSmartListTreeProc)                                                  \
    X(QueryForSmartListFonts, LPI_QueryForSmartListFontsProc)                                                \
    X(GetAllSmartLists, LPI_GetAllSmartListsProc)                                                            \
    X(CreateSmartList, LPI_CreateSmartListProc)                                                              \
    X(SetSmartListQuery, LPI_SetSmartListQueryProc)                                                          \
    X(GetSmartListFonts, LPI_GetSmartListFontsProc)                                                          \
    X(CleanUpOnShutdown, LPI_CleanUpOnShutdownProc)                                                          \
    X(GetFontConflicts, LPI_GetFontConflictsProc)                                                            \
    X(TrackFontPanelClick, LPI_TrackFontPanelClickProc)                                                      \
    X(CanAccessGoogleFonts, LPI_CanAccessGoogleFontsProc)                                                    \
    X(SaveDocumentFonts, LPI_SaveDocumentFontsProc)                                                          \
    X(GetFontUsage, LPI_GetFontUsageProc)                                                                    \
    X(GetAdobeXMPData, LPI_GetXMPDataProc)                                                                   \
    X(GetFaceTraceXMPData, LPI_GetXMPDataProc)                                                               \
    X(WriteFontUsage, LPI_WriteFontUsageProc)

constexpr int kLPIEntryPointCount = 84;
constexpr const char* kLPILibraryName = "LumorandPluginInterfaceX64.dll";
