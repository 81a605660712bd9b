#pragma once
// FontManagerInterface is the plug-in's view of the font manager: a table of virtual operations
// with trivial defaults (so that the base alone behaves as a font manager that does nothing), the
// workgroup operations built on them, and static operations that own the one font manager object
// of the process. Its only concrete kind is CoreAgentInterface.
//
// Results are 32-bit: 0 for success and -1 for a failure unless an operation says otherwise.
// Workgroup IDs are signed: -2 stands for all workgroups, -1 for none or unknown; the current
// workgroup is the framework preference "CurrentWorkgroup" (0 without the framework).
// Core Foundation objects returned by Copy operations and by the name operations below belong
// to the caller.

#include "GCFRef.h"
#include "GTypes.h"

#include <CoreFoundation/CoreFoundation.h>

#include <map>
#include <vector>

// A font record read by ID.
class FontInfoResult
{
public:
    FontInfoResult() = default;
    ~FontInfoResult() { Reset(); }
    FontInfoResult(const FontInfoResult&) = delete;
    FontInfoResult& operator=(const FontInfoResult&) = delete;

    // Releases the record and clears the fields.
    void Reset();
    // Takes over a record (releasing the one held before).
    void SetFontInfo(GCFRef<CFMutableDictionaryRef> fontInfo);
    // The font record (still owned here); null when nothing was found.
    CFMutableDictionaryRef GetFontInfo() const { return mFontInfo.Get(); }

    bool mFound = false;
    TSInt32 mStatus = 0;
    // The activation state read from the record: 0 unknown, 1 inactive, 2 active, 3 temporary.
    TSInt32 mActivationState = 0;

private:
    GCFRef<CFMutableDictionaryRef> mFontInfo;
};

class FontManagerInterface
{
public:
    static constexpr TSInt32 kAllWorkgroupsID = -2;
    static constexpr TSInt32 kNoWorkgroupID = -1;
    // Name kinds of the name lookups.
    enum : TSInt32
    {
        kPostScriptNameKind = 0,
        kFamilyNameKind = 1,
    };
    // Result of FindWorkgroupIDByName when no workgroup has the name.
    static constexpr TSInt32 kWorkgroupNameNotFound = 0xFFFF;

    FontManagerInterface() = default;
    virtual ~FontManagerInterface() = default;
    FontManagerInterface(const FontManagerInterface&) = delete;
    FontManagerInterface& operator=(const FontManagerInterface&) = delete;

    // --- Operations of the font manager (CoreAgentInterface defines them) ---------------------------
    virtual bool GetRunningStandalone() { return false; }
    virtual TSInt32 UnregisterForNotifications() { return -1; }
    // The IDs of the fonts with that PostScript (family) name in the workgroup.
    virtual TSInt32 FontIDsForPostScriptName(const char* name, TSInt32 workgroupID,
                                             std::vector<TUInt32>& outFontIDs);
    virtual TSInt32 FontIDsForFamilyName(const char* name, TSInt32 workgroupID,
                                         std::vector<TUInt32>& outFontIDs);
    // Font ID -> activated, for the "DatabaseID"s of an array of font records; empty on failure.
    virtual std::map<TUInt32, bool> GetFontIsActivated(CFArrayRef fonts);
    // Font ID -> the font manager's conflict value; empty on failure.
    virtual std::map<TUInt32, TSInt32> GetFontConflicts(const std::vector<TUInt32>& fontIDs);
    // Activates the fonts of the document at path; matched receives a record per activated font
    // and problems one per font that could not be matched. extra goes to the library unchanged.
    virtual TSInt32 ActivateDocumentFontsByPath(const char* path, CFMutableArrayRef extra,
                                                CFMutableArrayRef matched, CFMutableArrayRef problems);
    virtual TSInt32 ActivateFontByID(CFDictionaryRef font, const char* documentIdentifier);
    // activated (may be null) receives the records of the fonts that were activated.
    virtual TSInt32 ActivateFontsByID(CFArrayRef fonts, const char* documentIdentifier,
                                      CFMutableArrayRef activated);
    virtual TSInt32 DeactivateFont(CFDictionaryRef font);
    // deactivated (may be null) receives the records of the fonts that were deactivated.
    virtual TSInt32 DeactivateFonts(CFArrayRef fonts, CFMutableArrayRef deactivated);
    // The number of fonts with the name (kind: kPostScriptNameKind or kFamilyNameKind).
    virtual TSInt32 CountNamedFonts(const char* name, TSInt32 kind, TSInt32 workgroupID, TSInt32& outCount);
    // Reads the record of the index-th (1-based) font with the name.
    virtual TSInt32 GetNamedFontInfo(const char* name, TSInt32 kind, TSInt32 workgroupID, TSInt32 index,
                                     FontInfoResult& outResult);
    // Reads a record by its reference (a dictionary with "DatabaseID" and "WorkgroupID").
    virtual TSInt32 GetFontInfoByID(CFDictionaryRef fontReference, FontInfoResult& outResult);
    virtual TSInt32 GetPostscriptNameByID(TSInt32 workgroupID, TUInt32 fontID, TUTF8String& outName);
    // The record's identification data as XML property-list text (UTF-8, NUL-terminated) in
    // outXMLBuffer of inOutBufferSize bytes; inOutBufferSize receives the text's length.
    virtual TSInt32 GetFaceTraceInfo(TUInt32 databaseID, CFDictionaryRef font, char* outXMLBuffer,
                                     TUInt32& inOutBufferSize);
    // A text request that the core agent does not implement.
    virtual TErrorCode HandleTextRequest(const char* /*text*/) { return 0; }
    // outFonts receives the fonts of the workgroup(s) in the record's family, without duplicates of
    // the document's matched fonts.
    virtual TSInt32 FindFontsInSameFamily(CFDictionaryRef font, CFArrayRef documentMatchedFonts,
                                          TSInt32 workgroupID, CFMutableArrayRef outFonts);
    virtual TSInt32 MakeSetForDocumentFonts(CFStringRef proposedSetName, CFArrayRef fonts);
    virtual TSInt32 CollectFontsUsedByCurrentDocument(const char* documentName, const char* destinationPath,
                                                      CFArrayRef fonts);
    // The number of notifications handled.
    virtual TSInt32 ProcessNotifications() { return 0; }
    virtual bool AreSchemaVersionsInSync() { return false; }
    // outWorkgroups receives one record per workgroup ("WorkgroupID", "WorkgroupName",
    // "WorkgroupType"); with includeAll also the all-workgroups entry when the user may use it.
    virtual TSInt32 GetAllWorkgroupsForUser(CFMutableArrayRef outWorkgroups, bool includeAll,
                                            bool includeSystem, bool includeTypekit);
    virtual bool UserHasWorkgroups() { return false; }
    // Removes the records of hidden workgroup types.
    virtual TSInt32 RemoveRemoteFonts(CFMutableArrayRef /*fonts*/) { return -1; }
    virtual bool CurrentWorkgroupIsType3() { return false; }
    virtual bool IsHiddenWorkgroupType(TSInt32 /*workgroupType*/) { return false; }
    virtual bool CanActivateAcrossWorkgroups() { return false; }
    virtual bool CanExportFromWorkgroup(CFArrayRef /*fonts*/) { return false; }
    // The availability queries answer yes in the base.
    virtual bool IsCoreAgentProcessRunning() { return true; }
    virtual bool IsLoggedIn() { return true; }
    virtual void DoOnlineOffline() {}
    virtual bool IsGoogleWebFontsEnabled() { return false; }
    // Font ID -> still activated by this client. The base maps every non-zero ID to yes.
    virtual std::map<TUInt32, bool> GetClientFontActivationStates(const std::vector<TUInt32>& fontIDs);
    virtual TSInt32 GetGoogleFontsWorkgroupID() { return -1; }
    // The workgroup list of a font query for a workgroup.
    virtual void WorkgroupIDsForQuery(TSInt32 workgroupID, std::vector<TSInt32>& outWorkgroupIDs);

    // --- Workgroup operations of the base -------------------------------------------------------------
    // Stores the ID as the "CurrentWorkgroup" preference.
    virtual TSInt32 SetDefaultWorkgroupID(TSInt32 workgroupID);
    virtual TSInt32 SetDefaultWorkgroupByName(CFStringRef name);
    // The name of the current workgroup (the caller releases it), or null.
    virtual CFStringRef GetCurrentWorkgroupName();
    // 0 and the ID of the workgroup with that name; kWorkgroupNameNotFound otherwise.
    virtual TSInt32 FindWorkgroupIDByName(CFStringRef name, TSInt32& outWorkgroupID);
    // The name of a workgroup (the caller releases it), or null.
    virtual CFStringRef GetWorkgroupNameFromID(TSInt32 workgroupID);
    // Adds "WorkgroupName" to each (mutable) record for its "WorkgroupID"; 0 when a name was added.
    virtual TSInt32 AddWorkgroupNamesToFonts(CFArrayRef fonts);
    // The "WorkgroupName" (retained) of the first record with that "WorkgroupID", or null.
    virtual CFStringRef FindWorkgroupIDGetName(TSInt32 workgroupID, CFArrayRef workgroups);
    virtual bool IsAllWorkgroups(TSInt32 workgroupID) { return workgroupID == kAllWorkgroupsID; }
    virtual void DoOnline() {}
    virtual void DoOffline() {}

    // --- The font manager object of the process -----------------------------------------------------
    // The font manager, or null before the compatibility check created it and after shutdown.
    static FontManagerInterface* GetFontManager();

    // Creates the font manager when the interface library loaded completely and answers whether a
    // compatible font manager runs. outBundleName (may be null) receives the font manager's bundle
    // name when the object was created.
    static bool CompatibleFontManagerIsRunning(TUTF8String* outBundleName);
    // The version rule between the interface library's version and the plug-in's.
    static bool VersionsAreCompatible(const TUTF8String& libraryVersion, const TUTF8String& pluginVersion);
    // Chooses the user's workgroup at start-up (fontManager: the one being built, else the font
    // manager of the process).
    static void InitializeDefaultWorkgroup(FontManagerInterface* fontManager = nullptr);
    static bool IsValidWorkgroupForUser(TSInt32 workgroupID, FontManagerInterface* fontManager = nullptr);
    static void HandleSelectWorkgroup(FontManagerInterface* fontManager);
    static bool EnsureWorkgroupSelected();
    static bool IsCurrentWorkgroupAll();
    // Closes the font manager at the host's shutdown.
    static void OnHostAppShuttingDown();
    // Lets the user choose the folder into which fonts are collected: inOutSavePath becomes the
    // folder, "\" and the sub-folder name. 0 when a folder was chosen, -1 otherwise (the path
    // unchanged). The texts are UTF-8; the formats may be null. Windows only.
    static TSInt32 ShowSaveFolderDialog(const char* documentName, TUTF8String& inOutSavePath,
                                        const char* windowTitle, const char* promptFormat,
                                        const char* subFolderNameFormat);
    // A value of the plug-in module's version resource ("\StringFileInfo\040904b0\<field>") as a
    // new CF string, or null. Windows only.
    static CFStringRef StringValueFromVersionResourceCopy(const char* fieldName);

    // The current workgroup: the "CurrentWorkgroup" preference, 0 without the framework.
    static TSInt32 GetCurrentWorkgroupID();
    // Whether a workgroup has been chosen for the user.
    static bool IsWorkgroupChosen();
    static void SetWorkgroupChosen(bool chosen);

    // Test support: installs a font manager (or none) without the compatibility check; the previous
    // one is not destroyed.
    static void SetFontManagerForTesting(FontManagerInterface* fontManager);
};
