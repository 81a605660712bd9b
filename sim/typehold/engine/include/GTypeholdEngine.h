#pragma once
// The font manager's core: the font catalog with its workgroups, the activations each client
// holds, font sets, smart lists and the rest of what the interface library asks for. It answers
// requests (dictionaries, see TypeholdProtocol.h) and reports what changed through a sink; the
// transport (named pipe, windows) lives elsewhere, so the engine itself is portable.
//
// Files in the configuration folder:
//   config.json              the configuration (read, never written)
//   font-ids.txt             the catalog's ID table
//   typehold-state.plist     activations per client, sets, smart sets, smart lists, recorded
//                            saves, panel clicks, the session settings typehold-ctl changed
//   system-font-table.txt    one line per active font: PostScript name, TAB, file path
//   previews/                rendered preview images (GPreviewRenderer)
//   GoogleFonts/             the Google Fonts workgroup's library, copied from the web fonts
//                            folder of the configuration when Google web fonts are enabled
//   <name>.log               client logs (BeginLogging/Log)
//
// Documents' font-usage slugs (their XMP) are read and written by the requests of
// GTypeholdDocuments.cpp, outside the engine's lock: a rewrite of a large document does not hold
// up the other clients.

#include "DocumentXMP.h"
#include "GTypeholdConfig.h"
#include "TypeholdFonts.h"

#include <CoreFoundation/CoreFoundation.h>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace typehold
{
// Raw activation values of the core, as font records carry them under "ActivationStatus".
constexpr TSInt32 kRawInactive = 0;
constexpr TSInt32 kRawAutoActivated = 1; // activated for a document
constexpr TSInt32 kRawTemporary = 3;     // activated for the session
constexpr TSInt32 kRawSystem = 4;        // active before any client came
constexpr TSInt32 kRawPersistent = 5;    // activated until deactivated
constexpr TSInt32 kRawPreview = 9;       // activated for a preview
constexpr TSInt32 kRawDesign = 10;       // activated by a design activation

// Reasons in the results of ActivateFonts.
constexpr TUInt32 kActivationRefusedNonCompliant = 1;
constexpr TUInt32 kActivationUnknownFont = 2;
constexpr TUInt32 kActivationFileMissing = 3;

// Where the engine's news goes. Calls are made with the engine's lock held: they must not block
// and must not call back into the engine.
class GNotificationSink
{
public:
    virtual ~GNotificationSink() = default;
    // A notification for every listening client, or only for the client named.
    virtual void Notify(TUInt32 type, CFTypeRef payload, const std::string* onlyClient) = 0;
    // The set of active fonts changed; the system font table has been rewritten.
    virtual void ActiveFontsChanged() = 0;
};

// One preview image: a font's name drawn in that font, written as a PNG file.
struct GPreviewImage
{
    std::string fontFile;
    TUInt32 faceIndex = 0;
    std::string family;   // the typographic family
    std::string style;    // its subfamily ("Bold Italic")
    std::string fullName; // the face's full name
    std::string text;     // what is drawn
    TSInt32 pointSize = 14;
    TSInt32 width = 400; // pixels at scale 1
    TSInt32 height = 30;
    TSInt32 scale = 1; // 2 for the double-resolution image: twice the pixels and the point size
    std::string pngPath;
};

// Draws preview images (the transport provides one: GDI on Windows). Called on the engine's
// preview thread, without the engine's lock, one image at a time.
class GPreviewRenderer
{
public:
    virtual ~GPreviewRenderer() = default;
    // False, with the reason, when the image could not be drawn or written.
    virtual bool Render(const GPreviewImage& image, std::string& error) = 0;
};

class GTaskThread;

// Who sends a request: filled in by the connection's "Hello".
struct GClientInfo
{
    std::string key;
    TUInt32 pid = 0;
    TSInt32 appType = 0;
};

class GTypeholdEngine
{
public:
    GTypeholdEngine(std::string configFolder, GNotificationSink& sink);
    ~GTypeholdEngine();
    GTypeholdEngine(const GTypeholdEngine&) = delete;
    GTypeholdEngine& operator=(const GTypeholdEngine&) = delete;

    // Previews are rendered by this renderer (kept by the caller); without one they are refused.
    void SetPreviewRenderer(GPreviewRenderer* renderer);
    // Reads config.json (defaults, with a logged error, when it is missing or malformed).
    void LoadConfig();
    // The configuration as last read (for start-up settings).
    GCoreConfig ConfigCopy() const;
    // Builds the catalog and resumes the saved state; requests wait until this is done.
    void Start();
    // Re-reads config.json when its modification time changed, or always when forced, and
    // notifies the clients of what changed.
    void CheckConfig(bool force);
    // Handles a request; the reply (never null) belongs to the caller.
    CFMutableDictionaryRef Handle(GClientInfo& client, CFDictionaryRef request);
    // Writes the state (also done after every change).
    void Persist();

    const std::string& ConfigFolder() const { return mConfigFolder; }
    std::string FilePath(const std::string& name) const;

private:
    using THandler = TErrorCode (GTypeholdEngine::*)(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);

    // A catalog font with what the engine knows about it.
    struct GFontEntry
    {
        const CatalogFont* catalogFont = nullptr;
        TSInt32 workgroupID = 0;
        TSInt32 workgroupType = 0;
        std::string workgroupName;
        bool system = false;
        bool canExport = true;
        TSInt32 familyID = 0;
        const FontFace& Face() const { return catalogFont->face; }
        TUInt32 ID() const { return catalogFont->databaseID; }
    };
    struct GFontSet
    {
        TSInt32 id = 0;
        std::string name;
        TSInt32 workgroupID = 0;
        std::vector<TUInt32> fonts;
    };
    // A saved rule: the fonts whose PostScript name matches one of the patterns, in one
    // workgroup (0: in any).
    struct GSmartSet
    {
        TSInt32 id = 0;
        std::string name;
        TSInt32 workgroupID = 0;
        std::vector<std::string> patterns;
    };
    struct GSmartList
    {
        TSInt32 id = 0;
        std::string name;
        std::vector<TSInt32> workgroups;
        std::vector<TSInt32> sets;
        std::vector<TSInt32> smartSets;
    };
    struct GPanelClick
    {
        TUInt32 fontID = 0;
        std::string postScriptName;
        std::string version;
        std::string client;
        TSInt64 time = 0; // seconds since 1970
    };
    // Fonts of a preview request, rendered and notified together.
    struct GPreviewBatch
    {
        std::vector<std::pair<TUInt32, GPreviewImage>> images; // font ID, its 1x image
        bool doubleResolution = false;
    };
    struct GClientState
    {
        TSInt32 appType = 0;
        std::string logFile;
        bool designActivation = false;
    };

    static const std::unordered_map<std::string, THandler>& Handlers();

    // Catalog and workgroups.
    std::unique_ptr<FontCatalog> BuildCatalog(const GCoreConfig& config) const;
    void InstallCatalog(std::unique_ptr<FontCatalog> catalog);
    void AssignWorkgroups();
    const GFontEntry* FindFont(TUInt32 id) const;
    const GWorkgroupConfig* FindWorkgroup(TSInt32 id) const;
    // Whether a font lies in a query's workgroups (empty, 0 or -2 = all).
    static bool InWorkgroups(const GFontEntry& font, const std::vector<TSInt32>& workgroups);
    // Whether a document activation for a workgroup may use the font.
    bool InDocumentScope(const GFontEntry& font, TSInt32 workgroup) const;
    // The candidate a document's slug identifies (checksums and version equal), else the best by
    // name: the highest version, then an active font, then the older ID.
    const GFontEntry* ChooseBestCandidate(const std::vector<const GFontEntry*>& candidates,
                                          const FontUsageRecord* identification) const;
    static const GFontEntry* IdentifiedCandidate(const std::vector<const GFontEntry*>& candidates,
                                                 const FontUsageRecord& identification);

    // Activation.
    TSInt32 RawStatus(const GFontEntry& font) const;
    bool IsActive(const GFontEntry& font) const { return RawStatus(font) != kRawInactive; }
    std::set<TUInt32> ActiveFontIDs() const;
    // Adds the client's hold; false (and a missing-font notification) when the file is gone.
    bool Hold(const GFontEntry& font, const std::string& client, TSInt32 kind);
    // Compares the active fonts with an earlier set: notifications, the system font table, state.
    void ActivationsChanged(const std::set<TUInt32>& before);
    void WriteSystemFontTable() const;

    // Records.
    CFMutableDictionaryRef CreateFontRecord(const GFontEntry& font) const;
    CFMutableDictionaryRef CreateSmartListFontRecord(const GFontEntry& font) const;
    CFMutableArrayRef CreateFontRecords(const std::vector<const GFontEntry*>& fonts) const;
    // The fonts a smart list query selects, in the order of the panel's lists.
    std::vector<const GFontEntry*> SmartListFonts(const std::vector<TSInt32>& workgroups,
                                                  const std::vector<TSInt32>& sets,
                                                  const std::vector<TSInt32>& smartSets) const;
    bool InSmartSet(const GFontEntry& font, const GSmartSet& smartSet) const;
    std::string SmartListTree(const GSmartList& list) const;
    GSmartList* FindSmartList(TSInt32 id);
    const GFontSet* FindSet(TSInt32 id) const;
    const GSmartSet* FindSmartSet(TSInt32 id) const;
    // The conflict ID of a font: non-zero when a font of its PostScript name is in another
    // workgroup.
    TSInt32 ConflictID(const GFontEntry& font) const;

    // Previews, rendered on the preview thread and notified to the client that asked.
    void RenderPreviews(const std::string& client, const std::vector<GPreviewBatch>& batches);

    // Session settings and the web fonts library.
    void ApplySessionOverrides(GCoreConfig& config) const;
    // The configuration as the engine uses it: the Google Fonts workgroup holds the library folder.
    GCoreConfig WithLibraryFolders(GCoreConfig config) const;
    std::string GoogleLibraryFolder() const;
    // Turns Google web fonts on or off: state, notification and, when turned on, the copy of the
    // web fonts folder into the library (on the replication thread).
    void ChangeGoogleWebFontsEnabled(bool enabled, const char* by);
    void QueueGoogleReplication();
    // The copy itself: progress per file, then the catalog with the new fonts, then "stopped".
    // Runs without the lock.
    void RunGoogleReplication();

    // State.
    void LoadState();
    void SaveState();
    CFDictionaryRef CreateStateDictionary() const;
    void NotifyConfigChanges(const GCoreConfig& before, const GCoreConfig& after);
    void NotifyAll(TUInt32 type, CFTypeRef payload, const std::string* onlyClient = nullptr);

    // Requests (GTypeholdRequests.cpp).
    TErrorCode Hello(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode InitAppInstance(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode InitThreadInstance(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode NoOperation(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode EnableDesignActivation(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetFontVaultPath(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetAreSchemaVersionsInSync(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetRunningStandalone(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetIsLoggedIn(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode IsAllWorkgroups(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetSystemWorkgroupID(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetAllWorkgroupsForUser(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetDefaultLibraryName(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetPermission(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode CanExportFonts(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode ExportFonts(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode CreateTopLevelSet(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode AddFontsToSets(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode ActivateFonts(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode PreviewActivateFonts(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode DeactivateFonts(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode ActivateDocumentFontsByPath(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetFontIsActivated(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetClientFontActivationStates(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetFontConflicts(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetFontsByPostscriptName(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetFontsByFamilyName(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetFontInfoByID(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode FindFontsInSameFamilyForActivation(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetGoogleFonts(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetIsGoogleWebFontsEnabled(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode SetGoogleWebFontsEnabled(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode CanAccessGoogleFonts(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetIsReplicationRunning(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetCurrentReplicationMode(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetRenderedPNGsDirectory(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode RenderFontNamePreviewPNGs(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode CreateSmartList(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode RenameSmartList(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode DeleteSmartList(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetSmartList(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetPanelSmartListTree(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode QueryForSmartListFonts(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetAllSmartLists(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode SetSmartListQuery(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetSmartListFonts(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode BeginLogging(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode Log(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode TrackFontPanelClick(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode SaveDocumentFonts(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode NotImplemented(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    // Documents (GTypeholdDocuments.cpp), handled without the engine's lock.
    static bool IsDocumentRequest(const std::string& op);
    TErrorCode WriteFontUsage(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetFontUsage(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetAdobeXMPData(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode GetFaceTraceXMPData(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    // The slug of a document, by PostScript name (empty when it has none or it cannot be read).
    std::map<std::string, FontUsageRecord> ReadSlug(const std::string& path) const;
    // Holds a request for the delay the configuration gives "<op>.<moment>".
    void PauseAt(const std::string& op, const char* moment) const;
    TErrorCode EmitNotifications(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode CreateSmartSet(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode SetSessionState(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode DumpState(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    TErrorCode Exit(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef);
    // Replication runs outside the lock (it sleeps between steps).
    TErrorCode Replicate(CFDictionaryRef args);

    const std::string mConfigFolder;
    GNotificationSink& mSink;

    mutable std::mutex mMutex;
    // One document rewrite at a time (they also remove each other's leftover temporary files).
    std::mutex mDocumentMutex;
    std::condition_variable mReadyCondition;
    bool mReady = false;

    GCoreConfig mConfig;     // as used: the file's, with the session settings typehold-ctl changed
    GCoreConfig mFileConfig; // as the file says
    TSInt64 mConfigTime = -1;
    GPreviewRenderer* mPreviewRenderer = nullptr;
    std::unique_ptr<FontCatalog> mCatalog;
    std::vector<GFontEntry> mFonts;
    std::unordered_map<TUInt32, std::size_t> mFontIndex;

    std::map<TUInt32, std::map<std::string, TSInt32>> mHolds; // font -> client -> kind
    std::map<std::string, GClientState> mClients;
    std::vector<GFontSet> mSets;
    TSInt32 mNextSetID = 1;
    std::vector<GSmartSet> mSmartSets;
    TSInt32 mNextSmartSetID = 1;
    std::vector<GSmartList> mSmartLists;
    TSInt32 mNextSmartListID = 1;
    CFMutableArrayRef mSavedDocuments = nullptr;
    std::vector<GPanelClick> mPanelClicks; // the latest, oldest first
    // Session settings set by typehold-ctl ("online", "standalone", "loggedIn"), kept until
    // config.json changes the same setting.
    std::map<std::string, bool> mSessionOverrides;
    bool mGoogleWebFontsEnabled = true;
    bool mReplicationRunning = false;
    bool mGoogleReplicationQueued = false;

    // Last members: destroyed first, so that no task runs on a half-destroyed engine.
    std::unique_ptr<GTaskThread> mPreviewThread;
    std::unique_ptr<GTaskThread> mReplicationThread;
};
} // namespace typehold
