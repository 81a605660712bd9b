#pragma once
// Keys of the font, workgroup and notification dictionaries that cross the boundary to the font
// manager's plug-in interface library. Yes/no values inside font records are the strings "1"
// and "0"; IDs are numbers.

#include <CoreFoundation/CoreFoundation.h>

// Font records.
#define kFT_DatabaseIDKey CFSTR("DatabaseID")
#define kFT_PostScriptNameKey CFSTR("PostScriptName")
#define kFT_FamilyKey CFSTR("Family")
#define kFT_FoundryKey CFSTR("Foundry")
#define kFT_VersionKey CFSTR("Version")
#define kFT_KindKey CFSTR("FontKind")
#define kFT_ActivationStateKey CFSTR("ActivationStatus")
#define kFT_IsActiveKey CFSTR("IsActive")
#define kFT_IsTempKey CFSTR("IsTemp")
#define kFT_IsAutoActivatedKey CFSTR("IsAutoActivated")
#define kFT_IsVaultKey CFSTR("IsVault")
#define kFT_IsSystemKey CFSTR("IsSystem")
#define kFT_AssignedFamilyIDKey CFSTR("AssignedFamilyID")
#define kFT_AssignedFamilyNameKey CFSTR("AssignedFamilyName")
#define kFT_ChecksumKey CFSTR("Checksum")
#define kFT_FaceTrace12ChecksumKey CFSTR("FaceTrace_1.2_Checksum")
#define kFT_KerningChecksumKey CFSTR("KerningChecksum")
#define kFT_OutlineFileNameKey CFSTR("OutlineFileName")
#define kFT_OutlineFileSizeKey CFSTR("OutlineFileSize")
#define kFT_SubDocumentsWithFontKey CFSTR("SubDocumentsWithFont")
#define kFT_MatchedFontKey CFSTR("MatchedFont")
#define kFT_PossibleReplacementsKey CFSTR("PossibleReplacements")

// Workgroup records (and the workgroup of a font record).
#define kFT_WorkgroupIDKey CFSTR("WorkgroupID")
#define kFT_WorkgroupNameKey CFSTR("WorkgroupName")
#define kFT_WorkgroupTypeKey CFSTR("WorkgroupType")

// Notification dictionaries.
#define kPluginNotification_AgentShutdown CFSTR("kPluginNotification_AgentShutdown")
#define kPluginNotification_OnlineStateChanged CFSTR("kPluginNotification_OnlineStateChanged")
#define kPluginNotification_LoggedInStateChanged CFSTR("kPluginNotification_LoggedInStateChanged")
#define kPluginNotification_WorkgroupsChanged CFSTR("kPluginNotification_WorkgroupsChanged")
#define kPluginNotification_UserPermissionsChanged CFSTR("kPluginNotification_UserPermissionsChanged")
#define kPluginNotification_FontActivated CFSTR("kPluginNotification_FontActivated")
#define kPluginNotification_FontDeactivated CFSTR("kPluginNotification_FontDeactivated")
#define kPluginNotification_FontMissing CFSTR("kPluginNotification_FontMissing")
#define kPluginNotification_GoogleWebFontsEnabled CFSTR("kPluginNotification_GoogleWebFontsEnabled")
#define kPluginNotification_GoogleReplicationProgress CFSTR("kPluginNotification_GoogleReplicationProgress")
#define kPluginNotification_GoogleReplicationStopped CFSTR("kPluginNotification_GoogleReplicationStopped")
#define kPluginNotification_PreviewPNGsRendered CFSTR("kPluginNotification_PreviewPNGsRendered")
#define kPluginNotification_SmartListsChanged CFSTR("kPluginNotification_SmartListsChanged")
#define kPluginNotification_BulkReplicationProgress CFSTR("kPluginNotification_BulkReplicationProgress")
#define kPluginNotification_BulkReplicationStopped CFSTR("kPluginNotification_BulkReplicationStopped")
#define kPluginNotification_IncrementalReplicationProgress                                                   \
    CFSTR("kPluginNotification_IncrementalReplicationProgress")
#define kPluginNotification_IncrementalReplicationStopped                                                    \
    CFSTR("kPluginNotification_IncrementalReplicationStopped")
#define kPluginNotification_PanelDataChanged CFSTR("kPluginNotification_PanelDataChanged")
#define kPluginNotification_DesignActivationNonCompliant                                                     \
    CFSTR("kPluginNotification_DesignActivationNonCompliant")
#define kPluginNotification_OfflineDownloadFinished CFSTR("kPluginNotification_OfflineDownloadFinished")
#define kPluginNotification_FontServerReplicationProgress                                                    \
    CFSTR("kPluginNotification_FontServerReplicationProgress")
#define kPluginNotification_FontServerReplicationStopped                                                     \
    CFSTR("kPluginNotification_FontServerReplicationStopped")
#define kPluginNotification_FontActivation_Font_ID CFSTR("kPluginNotification_FontActivation_Font_ID")
#define kPluginNotification_Enabled CFSTR("kPluginNotification_Enabled")
#define kPluginNotification_FontPNGs CFSTR("kPluginNotification_FontPNGs")
// Entries of the logged-in notification's payload.
#define kPluginNotification_IsLoggedInKey CFSTR("isLoggedIn")
#define kPluginNotification_ServerTypeKey CFSTR("serverType")
