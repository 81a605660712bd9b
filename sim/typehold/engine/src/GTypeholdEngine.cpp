#include "GTypeholdEngine.h"

#include "LumorandPluginInterface.h"

#include "GErrorCodes.h"
#include "GLogger.h"
#include "GTaskThread.h"
#include "GTypeholdEngineInternal.h"
#include "GTypeholdFiles.h"
#include "TypeholdMessage.h"
#include "TypeholdProtocol.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdlib>
#include <functional>
#include <thread>

namespace typehold
{
namespace
{
constexpr const char* kConfigFileName = "config.json";
constexpr const char* kIDTableFileName = "font-ids.txt";
constexpr const char* kStateFileName = "typehold-state.plist";
constexpr const char* kSystemFontTableFileName = "system-font-table.txt";
constexpr const char* kGoogleLibraryFolderName = "GoogleFonts";

// Activation kinds ranked: lasting activations over temporary ones over automatic ones.
int KindRank(TSInt32 kind)
{
    switch (kind)
    {
    case 4:
    case 5:
    case 6:
    case 11:
        return 3;
    case 3:
    case 9:
    case 10:
        return 2;
    case 1:
    case 2:
        return 1;
    default:
        return 0;
    }
}

TSInt32 StrongerKind(TSInt32 a, TSInt32 b)
{
    return KindRank(b) > KindRank(a) ? b : a;
}

// Family names compare without case and spaces.
std::string FamilyKeyOf(const std::string& family)
{
    std::string key;
    for (char c : family)
    {
        if (c == ' ')
        {
            continue;
        }
        key.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    }
    return key;
}

// A family is the part of a PostScript name before its first '-' ("Carlito" for "Carlito-Bold"
// and for "Carlito"), compared like family names.
std::string FamilyOfPostScriptName(const std::string& name)
{
    return name.substr(0, name.find('-'));
}

TSInt32 FamilyIDOf(const std::string& family)
{
    std::uint32_t hash = 2166136261u; // FNV-1a
    for (char c : FamilyKeyOf(family))
    {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    return static_cast<TSInt32>(hash % 2000000000u) + 1;
}

// Projections of the configuration, compared to tell which notifications a change makes.
std::vector<std::string> WorkgroupShape(const GCoreConfig& config)
{
    std::vector<std::string> shape;
    auto add = [&shape](const GWorkgroupConfig& workgroup)
    {
        std::string line =
            std::to_string(workgroup.id) + "|" + workgroup.name + "|" + std::to_string(workgroup.type);
        for (const std::string& pattern : workgroup.fontPatterns)
        {
            line += "|p:" + pattern;
        }
        for (const std::string& folder : workgroup.folders)
        {
            line += "|f:" + folder;
        }
        shape.push_back(line);
    };
    for (const GWorkgroupConfig& workgroup : config.workgroups)
    {
        add(workgroup);
    }
    if (config.hasSystemWorkgroup)
    {
        add(config.systemWorkgroup);
    }
    if (config.hasTypekitLibrary)
    {
        add(config.typekitLibrary);
    }
    return shape;
}

std::vector<int> PermissionShape(const GCoreConfig& config)
{
    std::vector<int> shape{config.canActivateAcrossWorkgroups ? 1 : 0};
    for (const GWorkgroupConfig& workgroup : config.workgroups)
    {
        shape.push_back(workgroup.canExport ? 1 : 0);
    }
    shape.push_back(config.systemWorkgroup.canExport ? 1 : 0);
    return shape;
}
} // namespace

void LogLine(TSInt32 level, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    GLogger::GetInstance().LogV(kTypeholdLogCategory, level, format, arguments);
    va_end(arguments);
}

GTypeholdEngine::GTypeholdEngine(std::string configFolder, GNotificationSink& sink)
    : mConfigFolder(std::move(configFolder)), mSink(sink), mCatalog(std::make_unique<FontCatalog>()),
      mSavedDocuments(CreateMutableArray()), mPreviewThread(std::make_unique<GTaskThread>()),
      mReplicationThread(std::make_unique<GTaskThread>())
{
}

GTypeholdEngine::~GTypeholdEngine()
{
    // Their tasks use the rest of the engine.
    mPreviewThread.reset();
    mReplicationThread.reset();
    CFRelease(mSavedDocuments);
}

void GTypeholdEngine::SetPreviewRenderer(GPreviewRenderer* renderer)
{
    std::lock_guard<std::mutex> lock(mMutex);
    mPreviewRenderer = renderer;
}

std::string GTypeholdEngine::GoogleLibraryFolder() const
{
    return FilePath(kGoogleLibraryFolderName);
}

GCoreConfig GTypeholdEngine::WithLibraryFolders(GCoreConfig config) const
{
    if (config.googleFontsFolder.empty())
    {
        return config;
    }
    for (GWorkgroupConfig& workgroup : config.workgroups)
    {
        if (workgroup.type == kWorkgroupTypeGoogle)
        {
            workgroup.folders.push_back(GoogleLibraryFolder());
            break;
        }
    }
    return config;
}

void GTypeholdEngine::ApplySessionOverrides(GCoreConfig& config) const
{
    for (const auto& [name, value] : mSessionOverrides)
    {
        if (bool* setting = SessionSetting(config, name))
        {
            *setting = value;
        }
    }
}

std::string GTypeholdEngine::FilePath(const std::string& name) const
{
    return JoinPath(mConfigFolder, name);
}

void GTypeholdEngine::LoadConfig()
{
    std::lock_guard<std::mutex> lock(mMutex);
    const std::string path = FilePath(kConfigFileName);
    mConfigTime = FileChangeStamp(path);
    std::string text;
    std::string error;
    GCoreConfig config;
    if (!ReadWholeFile(path, text))
    {
        LogLine(GLogger::kError, "Cannot read the configuration %s; running with the defaults", path.c_str());
    }
    else if (!ParseCoreConfig(text, config, error))
    {
        LogLine(GLogger::kError, "The configuration %s is malformed (%s); running with the defaults",
                path.c_str(), error.c_str());
    }
    mFileConfig = WithLibraryFolders(config);
    mConfig = mFileConfig;
    mGoogleWebFontsEnabled = mConfig.googleWebFontsEnabled;
}

GCoreConfig GTypeholdEngine::ConfigCopy() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mConfig;
}

void GTypeholdEngine::Start()
{
    // The scan reads every font file: done without the lock, so clients can connect meanwhile.
    // The configuration cannot change before the engine is ready (CheckConfig waits for that).
    std::unique_ptr<FontCatalog> catalog = BuildCatalog(ConfigCopy());
    std::lock_guard<std::mutex> lock(mMutex);
    InstallCatalog(std::move(catalog));
    LoadState();
    WriteSystemFontTable();
    mSink.ActiveFontsChanged();
    if (mGoogleWebFontsEnabled)
    {
        QueueGoogleReplication(); // the library catches up with the web fonts folder
    }
    mReady = true;
    mReadyCondition.notify_all();
    LogLine(GLogger::kInfo, "Ready: %u fonts, %u of them active", static_cast<unsigned>(mFonts.size()),
            static_cast<unsigned>(ActiveFontIDs().size()));
}

void GTypeholdEngine::CheckConfig(bool force)
{
    std::lock_guard<std::mutex> lock(mMutex);
    if (!mReady)
    {
        return;
    }
    const std::string path = FilePath(kConfigFileName);
    const TSInt64 stamp = FileChangeStamp(path);
    if (!force && stamp == mConfigTime)
    {
        return;
    }
    mConfigTime = stamp;
    std::string text;
    std::string error;
    GCoreConfig config;
    if (!ReadWholeFile(path, text) || !ParseCoreConfig(text, config, error))
    {
        LogLine(GLogger::kError, "The configuration %s cannot be used (%s); keeping the previous one",
                path.c_str(), error.empty() ? "cannot be read" : error.c_str());
        return;
    }
    LogLine(GLogger::kInfo, "Configuration %s read again", path.c_str());
    const GCoreConfig before = mConfig;
    const GCoreConfig fileBefore = mFileConfig;
    const std::set<TUInt32> activeBefore = ActiveFontIDs();
    mFileConfig = WithLibraryFolders(config);
    // A setting the file changes replaces what typehold-ctl set.
    for (auto override = mSessionOverrides.begin(); override != mSessionOverrides.end();)
    {
        if (SessionValue(mFileConfig, override->first) != SessionValue(fileBefore, override->first))
        {
            override = mSessionOverrides.erase(override);
        }
        else
        {
            ++override;
        }
    }
    mConfig = mFileConfig;
    ApplySessionOverrides(mConfig);
    if (before.CatalogFolders() != mConfig.CatalogFolders())
    {
        InstallCatalog(BuildCatalog(mConfig));
    }
    else if (WorkgroupShape(before) != WorkgroupShape(mConfig) ||
             PermissionShape(before) != PermissionShape(mConfig))
    {
        AssignWorkgroups();
    }
    NotifyConfigChanges(before, mConfig);
    if (fileBefore.googleWebFontsEnabled != mFileConfig.googleWebFontsEnabled)
    {
        ChangeGoogleWebFontsEnabled(mFileConfig.googleWebFontsEnabled, "config.json");
    }
    ActivationsChanged(activeBefore);
}

void GTypeholdEngine::NotifyConfigChanges(const GCoreConfig& before, const GCoreConfig& after)
{
    if (before.loggedIn != after.loggedIn || before.serverType != after.serverType)
    {
        GCFHolder<CFMutableDictionaryRef> payload(CreateMutableDictionary());
        SetBool(payload.Get(), "isLoggedIn", after.loggedIn);
        SetInt(payload.Get(), "serverType", after.serverType);
        LogLine(GLogger::kInfo, "Logged-in state now %d (server type %d)", after.loggedIn ? 1 : 0,
                after.serverType);
        NotifyAll(kLPINotifyLoggedInStateChanged, payload.Get());
    }
    // Standalone or not, the libraries are named differently.
    if (WorkgroupShape(before) != WorkgroupShape(after) || before.standalone != after.standalone)
    {
        LogLine(GLogger::kInfo, "Workgroups changed%s",
                before.standalone != after.standalone
                    ? (after.standalone ? " (standalone now)" : " (not standalone now)")
                    : "");
        NotifyAll(kLPINotifyWorkgroupsChanged, nullptr);
    }
    if (PermissionShape(before) != PermissionShape(after))
    {
        LogLine(GLogger::kInfo, "Permissions changed");
        NotifyAll(kLPINotifyUserPermissionsChanged, nullptr);
    }
    if (before.online != after.online)
    {
        LogLine(GLogger::kInfo, "Online state now %d", after.online ? 1 : 0);
        NotifyAll(kLPINotifyOnlineStateChanged, after.online ? kCFBooleanTrue : kCFBooleanFalse);
    }
    if (before.fontFolders != after.fontFolders)
    {
        NotifyAll(kLPINotifyPanelDataChanged, nullptr);
    }
}

void GTypeholdEngine::NotifyAll(TUInt32 type, CFTypeRef payload, const std::string* onlyClient)
{
    mSink.Notify(type, payload, onlyClient);
}

// --- Catalog and workgroups ---------------------------------------------------------------------

std::unique_ptr<FontCatalog> GTypeholdEngine::BuildCatalog(const GCoreConfig& config) const
{
    auto catalog = std::make_unique<FontCatalog>();
    const std::vector<std::string> folders = config.CatalogFolders();
    const TErrorCode code = catalog->Build(folders, FilePath(kIDTableFileName));
    if (code != CoreErrorCodes::kSuccess)
    {
        LogLine(GLogger::kError, "The font catalog's ID table %s could not be used: %s",
                FilePath(kIDTableFileName).c_str(), ErrorCodeToString(code).c_str());
    }
    for (const std::string& problem : catalog->Problems())
    {
        LogLine(GLogger::kWarning, "Skipped font file %s", problem.c_str());
    }
    LogLine(GLogger::kInfo, "Font catalog: %u fonts from %u folders, %u files skipped",
            static_cast<unsigned>(catalog->Fonts().size()), static_cast<unsigned>(folders.size()),
            static_cast<unsigned>(catalog->Problems().size()));
    return catalog;
}

void GTypeholdEngine::InstallCatalog(std::unique_ptr<FontCatalog> catalog)
{
    mFonts.clear();
    mFontIndex.clear();
    mCatalog = std::move(catalog);
    AssignWorkgroups();
}

void GTypeholdEngine::AssignWorkgroups()
{
    mFonts.clear();
    mFontIndex.clear();
    auto holds = [](const GWorkgroupConfig& workgroup, const FontFace& face)
    {
        for (const std::string& folder : workgroup.folders)
        {
            if (PathIsInFolder(face.filePath, folder))
            {
                return true;
            }
        }
        for (const std::string& pattern : workgroup.fontPatterns)
        {
            if (MatchesPattern(face.postScriptName, pattern))
            {
                return true;
            }
        }
        return false;
    };
    for (const CatalogFont& catalogFont : mCatalog->Fonts())
    {
        GFontEntry entry;
        entry.catalogFont = &catalogFont;
        entry.familyID = FamilyIDOf(FamilyOfPostScriptName(catalogFont.face.postScriptName));
        const GWorkgroupConfig* workgroup = nullptr;
        if (mConfig.hasSystemWorkgroup)
        {
            for (const std::string& folder : mConfig.systemWorkgroup.folders)
            {
                if (PathIsInFolder(catalogFont.face.filePath, folder))
                {
                    workgroup = &mConfig.systemWorkgroup;
                    entry.system = true;
                    break;
                }
            }
        }
        for (std::size_t i = 0; workgroup == nullptr && i < mConfig.workgroups.size(); ++i)
        {
            if (holds(mConfig.workgroups[i], catalogFont.face))
            {
                workgroup = &mConfig.workgroups[i];
            }
        }
        if (workgroup == nullptr && mConfig.hasTypekitLibrary &&
            holds(mConfig.typekitLibrary, catalogFont.face))
        {
            workgroup = &mConfig.typekitLibrary;
        }
        if (workgroup == nullptr && !mConfig.workgroups.empty())
        {
            workgroup = &mConfig.workgroups.front();
        }
        if (workgroup != nullptr)
        {
            entry.workgroupID = workgroup->id;
            entry.workgroupType = workgroup->type;
            entry.workgroupName = workgroup->name;
            entry.canExport = workgroup->canExport;
        }
        mFontIndex[catalogFont.databaseID] = mFonts.size();
        mFonts.push_back(entry);
    }
}

const GTypeholdEngine::GFontEntry* GTypeholdEngine::FindFont(TUInt32 id) const
{
    const auto found = mFontIndex.find(id);
    return found == mFontIndex.end() ? nullptr : &mFonts[found->second];
}

const GWorkgroupConfig* GTypeholdEngine::FindWorkgroup(TSInt32 id) const
{
    for (const GWorkgroupConfig& workgroup : mConfig.workgroups)
    {
        if (workgroup.id == id)
        {
            return &workgroup;
        }
    }
    if (mConfig.hasSystemWorkgroup && mConfig.systemWorkgroup.id == id)
    {
        return &mConfig.systemWorkgroup;
    }
    if (mConfig.hasTypekitLibrary && mConfig.typekitLibrary.id == id)
    {
        return &mConfig.typekitLibrary;
    }
    return nullptr;
}

bool GTypeholdEngine::InWorkgroups(const GFontEntry& font, const std::vector<TSInt32>& workgroups)
{
    if (workgroups.empty())
    {
        return true;
    }
    for (const TSInt32 workgroup : workgroups)
    {
        if (workgroup == 0 || workgroup == -2 || workgroup == font.workgroupID)
        {
            return true;
        }
    }
    return false;
}

bool GTypeholdEngine::InDocumentScope(const GFontEntry& font, TSInt32 workgroup) const
{
    const bool google = font.workgroupType == kWorkgroupTypeGoogle;
    if (font.system || font.workgroupID == workgroup)
    {
        return true;
    }
    if (google)
    {
        return mGoogleWebFontsEnabled;
    }
    return workgroup == 0 || workgroup == -2;
}

namespace
{
// Version texts compared number by number ("2.10" after "2.9"); other characters break numbers.
int CompareVersions(const std::string& a, const std::string& b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() || j < b.size())
    {
        unsigned long long x = 0;
        unsigned long long y = 0;
        while (i < a.size() && (a[i] < '0' || a[i] > '9'))
        {
            ++i;
        }
        while (j < b.size() && (b[j] < '0' || b[j] > '9'))
        {
            ++j;
        }
        while (i < a.size() && a[i] >= '0' && a[i] <= '9')
        {
            x = x * 10 + static_cast<unsigned>(a[i++] - '0');
        }
        while (j < b.size() && b[j] >= '0' && b[j] <= '9')
        {
            y = y * 10 + static_cast<unsigned>(b[j++] - '0');
        }
        if (x != y)
        {
            return x < y ? -1 : 1;
        }
    }
    return 0;
}
} // namespace

const GTypeholdEngine::GFontEntry*
GTypeholdEngine::IdentifiedCandidate(const std::vector<const GFontEntry*>& candidates,
                                     const FontUsageRecord& identification)
{
    const std::string checksum = identification.Value(kKeyChecksum);
    const std::string outlineChecksum = identification.Value(kKeyFaceTraceChecksum);
    const std::string version = identification.Value(kKeyVersion);
    for (const GFontEntry* candidate : candidates)
    {
        const FontFace& face = candidate->Face();
        if (std::to_string(face.checksum) == checksum &&
            std::to_string(face.outlineChecksum) == outlineChecksum && face.version == version)
        {
            return candidate;
        }
    }
    return nullptr;
}

const GTypeholdEngine::GFontEntry*
GTypeholdEngine::ChooseBestCandidate(const std::vector<const GFontEntry*>& candidates,
                                     const FontUsageRecord* identification) const
{
    if (identification != nullptr)
    {
        if (const GFontEntry* identified = IdentifiedCandidate(candidates, *identification))
        {
            return identified;
        }
    }
    const GFontEntry* best = nullptr;
    for (const GFontEntry* candidate : candidates)
    {
        if (best == nullptr)
        {
            best = candidate;
            continue;
        }
        const int version = CompareVersions(candidate->Face().version, best->Face().version);
        if (version > 0 || (version == 0 && IsActive(*candidate) && !IsActive(*best)) ||
            (version == 0 && IsActive(*candidate) == IsActive(*best) && candidate->ID() < best->ID()))
        {
            best = candidate;
        }
    }
    return best;
}

// --- Activation ---------------------------------------------------------------------------------

TSInt32 GTypeholdEngine::RawStatus(const GFontEntry& font) const
{
    if (font.system)
    {
        return kRawSystem;
    }
    const auto found = mHolds.find(font.ID());
    if (found == mHolds.end())
    {
        return kRawInactive;
    }
    TSInt32 kind = kRawInactive;
    for (const auto& [client, held] : found->second)
    {
        kind = StrongerKind(kind, held);
    }
    return kind;
}

std::set<TUInt32> GTypeholdEngine::ActiveFontIDs() const
{
    std::set<TUInt32> active;
    for (const GFontEntry& font : mFonts)
    {
        if (IsActive(font))
        {
            active.insert(font.ID());
        }
    }
    return active;
}

bool GTypeholdEngine::Hold(const GFontEntry& font, const std::string& client, TSInt32 kind)
{
    if (font.system)
    {
        return true; // always active
    }
    if (!FileExists(font.Face().filePath))
    {
        LogLine(GLogger::kWarning, "Font %u (%s) cannot be activated: its file %s is missing", font.ID(),
                font.Face().postScriptName.c_str(), font.Face().filePath.c_str());
        GCFHolder<CFNumberRef> id(CreateNumber(font.ID()));
        NotifyAll(kLPINotifyFontMissing, id.Get());
        return false;
    }
    auto& clients = mHolds[font.ID()];
    const auto held = clients.find(client);
    clients[client] = held == clients.end() ? kind : StrongerKind(held->second, kind);
    return true;
}

void GTypeholdEngine::ActivationsChanged(const std::set<TUInt32>& before)
{
    const std::set<TUInt32> after = ActiveFontIDs();
    bool changed = false;
    for (const TUInt32 id : after)
    {
        if (before.count(id) == 0)
        {
            GCFHolder<CFNumberRef> number(CreateNumber(id));
            NotifyAll(kLPINotifyFontActivated, number.Get());
            changed = true;
        }
    }
    for (const TUInt32 id : before)
    {
        if (after.count(id) == 0)
        {
            GCFHolder<CFNumberRef> number(CreateNumber(id));
            NotifyAll(kLPINotifyFontDeactivated, number.Get());
            changed = true;
        }
    }
    if (changed)
    {
        WriteSystemFontTable();
        mSink.ActiveFontsChanged();
    }
    SaveState();
}

void GTypeholdEngine::WriteSystemFontTable() const
{
    std::vector<const GFontEntry*> active;
    for (const GFontEntry& font : mFonts)
    {
        if (IsActive(font))
        {
            active.push_back(&font);
        }
    }
    std::sort(active.begin(), active.end(),
              [](const GFontEntry* a, const GFontEntry* b) { return a->ID() < b->ID(); });
    std::string table;
    for (const GFontEntry* font : active)
    {
        table += font->Face().postScriptName + "\t" + font->Face().filePath + "\n";
    }
    std::string error;
    if (!WriteFileAtomically(FilePath(kSystemFontTableFileName), table, error))
    {
        LogLine(GLogger::kError, "The system font table was not written: %s", error.c_str());
    }
}

// --- Records ------------------------------------------------------------------------------------

CFMutableDictionaryRef GTypeholdEngine::CreateFontRecord(const GFontEntry& font) const
{
    const FontFace& face = font.Face();
    const TSInt32 raw = RawStatus(font);
    const int rank = KindRank(raw);
    CFMutableDictionaryRef record = CreateMutableDictionary();
    SetInt(record, kKeyDatabaseID, font.ID());
    SetString(record, kKeyPostScriptName, face.postScriptName);
    SetString(record, kKeyDisplayName, face.fullName.empty() ? face.postScriptName : face.fullName);
    SetString(record, kKeyFamily, face.family);
    SetString(record, kKeyFontKind, face.kind);
    SetString(record, kKeyFoundry, face.foundry);
    SetString(record, kKeyVersion, face.version);
    SetInt(record, kKeyActivationStatus, raw);
    SetString(record, kKeyIsActive, raw != kRawInactive ? "1" : "0");
    SetString(record, kKeyIsTemp, rank == 1 || rank == 2 ? "1" : "0");
    SetString(record, kKeyIsAutoActivated, rank == 1 ? "1" : "0");
    SetString(record, kKeyIsSystem, font.system ? "1" : "0");
    SetString(record, kKeyIsVault, font.system ? "0" : "1");
    SetInt(record, kKeyWorkgroupID, font.workgroupID);
    SetString(record, kKeyWorkgroupName, font.workgroupName);
    SetInt(record, kKeyWorkgroupType, font.workgroupType);
    SetInt(record, kKeyAssignedFamilyID, font.familyID);
    SetString(record, kKeyAssignedFamilyName, face.family);
    SetString(record, kKeyChecksum, std::to_string(face.checksum));
    SetString(record, kKeyFaceTraceChecksum, std::to_string(face.outlineChecksum));
    SetString(record, kKeyKerningChecksum, std::to_string(face.kerningChecksum));
    SetString(record, kKeyOutlineFileName, face.fileName);
    SetString(record, kKeyOutlineFileSize, std::to_string(face.fileSize));
    return record;
}

CFMutableArrayRef GTypeholdEngine::CreateFontRecords(const std::vector<const GFontEntry*>& fonts) const
{
    CFMutableArrayRef records = CreateMutableArray();
    for (const GFontEntry* font : fonts)
    {
        GCFHolder<CFMutableDictionaryRef> record(CreateFontRecord(*font));
        CFArrayAppendValue(records, record.Get());
    }
    return records;
}

CFMutableDictionaryRef GTypeholdEngine::CreateSmartListFontRecord(const GFontEntry& font) const
{
    // Locations as the panel reads them: 1 desktop, 4 system, 10 Google, 11 Typekit.
    TSInt32 location = 1;
    if (font.system)
    {
        location = 4;
    }
    else if (font.workgroupType == kWorkgroupTypeGoogle)
    {
        location = 10;
    }
    else if (font.workgroupType == kWorkgroupTypeTypekit)
    {
        location = 11;
    }
    CFMutableDictionaryRef record = CreateMutableDictionary();
    SetInt(record, "fontID", font.ID());
    SetString(record, "displayName",
              font.Face().fullName.empty() ? font.Face().postScriptName : font.Face().fullName);
    SetString(record, "postscriptName", font.Face().postScriptName);
    SetInt(record, "activated", IsActive(font) ? 1 : 0);
    SetInt(record, "fontIsLocal", 1);
    SetInt(record, "fontLocation", location);
    return record;
}

// --- State --------------------------------------------------------------------------------------

CFDictionaryRef GTypeholdEngine::CreateStateDictionary() const
{
    CFMutableDictionaryRef state = CreateMutableDictionary();
    GCFHolder<CFMutableDictionaryRef> holds(CreateMutableDictionary());
    std::map<std::string, GCFHolder<CFMutableDictionaryRef>> byClient;
    for (const auto& [font, clients] : mHolds)
    {
        for (const auto& [client, kind] : clients)
        {
            auto& fonts = byClient[client];
            if (!fonts)
            {
                fonts.Reset(CreateMutableDictionary());
            }
            SetInt(fonts.Get(), std::to_string(font).c_str(), kind);
        }
    }
    for (const auto& [client, fonts] : byClient)
    {
        GCFHolder<CFStringRef> key(CreateString(client));
        CFDictionarySetValue(holds.Get(), key.Get(), fonts.Get());
    }
    SetValue(state, "holds", holds.Get());

    GCFHolder<CFMutableDictionaryRef> clients(CreateMutableDictionary());
    for (const auto& [name, client] : mClients)
    {
        GCFHolder<CFMutableDictionaryRef> record(CreateMutableDictionary());
        SetInt(record.Get(), "appType", client.appType);
        SetString(record.Get(), "logFile", client.logFile);
        GCFHolder<CFStringRef> key(CreateString(name));
        CFDictionarySetValue(clients.Get(), key.Get(), record.Get());
    }
    SetValue(state, "clients", clients.Get());

    GCFHolder<CFMutableArrayRef> sets(CreateMutableArray());
    for (const GFontSet& set : mSets)
    {
        GCFHolder<CFMutableDictionaryRef> record(CreateMutableDictionary());
        SetInt(record.Get(), "id", set.id);
        SetString(record.Get(), "name", set.name);
        SetInt(record.Get(), "workgroup", set.workgroupID);
        SetInts(record.Get(), "fonts", set.fonts);
        CFArrayAppendValue(sets.Get(), record.Get());
    }
    SetValue(state, "sets", sets.Get());
    SetInt(state, "nextSetID", mNextSetID);

    GCFHolder<CFMutableArrayRef> smartSets(CreateMutableArray());
    for (const GSmartSet& smartSet : mSmartSets)
    {
        GCFHolder<CFMutableDictionaryRef> record(CreateMutableDictionary());
        SetInt(record.Get(), "id", smartSet.id);
        SetString(record.Get(), "name", smartSet.name);
        SetInt(record.Get(), "workgroup", smartSet.workgroupID);
        GCFHolder<CFMutableArrayRef> patterns(CreateMutableArray());
        for (const std::string& pattern : smartSet.patterns)
        {
            GCFHolder<CFStringRef> text(CreateString(pattern));
            CFArrayAppendValue(patterns.Get(), text.Get());
        }
        SetValue(record.Get(), "patterns", patterns.Get());
        CFArrayAppendValue(smartSets.Get(), record.Get());
    }
    SetValue(state, "smartSets", smartSets.Get());
    SetInt(state, "nextSmartSetID", mNextSmartSetID);

    GCFHolder<CFMutableArrayRef> smartLists(CreateMutableArray());
    for (const GSmartList& list : mSmartLists)
    {
        GCFHolder<CFMutableDictionaryRef> record(CreateMutableDictionary());
        SetInt(record.Get(), "id", list.id);
        SetString(record.Get(), "name", list.name);
        SetInts(record.Get(), "workgroupIDs", list.workgroups);
        SetInts(record.Get(), "setIDs", list.sets);
        SetInts(record.Get(), "smartSetIDs", list.smartSets);
        CFArrayAppendValue(smartLists.Get(), record.Get());
    }
    SetValue(state, "smartLists", smartLists.Get());
    SetInt(state, "nextSmartListID", mNextSmartListID);
    SetValue(state, "savedDocuments", mSavedDocuments);

    GCFHolder<CFMutableArrayRef> clicks(CreateMutableArray());
    for (const GPanelClick& click : mPanelClicks)
    {
        GCFHolder<CFMutableDictionaryRef> record(CreateMutableDictionary());
        SetInt(record.Get(), "fontID", click.fontID);
        SetString(record.Get(), "postScriptName", click.postScriptName);
        SetString(record.Get(), "version", click.version);
        SetString(record.Get(), "client", click.client);
        SetInt(record.Get(), "time", click.time);
        CFArrayAppendValue(clicks.Get(), record.Get());
    }
    SetValue(state, "panelClicks", clicks.Get());

    GCFHolder<CFMutableDictionaryRef> session(CreateMutableDictionary());
    for (const auto& [name, value] : mSessionOverrides)
    {
        SetBool(session.Get(), name.c_str(), value);
    }
    SetValue(state, "session", session.Get());
    SetBool(state, "googleWebFontsEnabled", mGoogleWebFontsEnabled);
    return state;
}

void GTypeholdEngine::Persist()
{
    std::lock_guard<std::mutex> lock(mMutex);
    if (mReady) // before that, the saved state has not been read yet
    {
        SaveState();
    }
}

void GTypeholdEngine::SaveState()
{
    GCFHolder<CFDictionaryRef> state(CreateStateDictionary());
    GCFHolder<CFDataRef> data(CFPropertyListCreateXMLData(kCFAllocatorDefault, state.Get()));
    std::string error;
    if (!data || !WriteFileAtomically(FilePath(kStateFileName),
                                      std::string(reinterpret_cast<const char*>(CFDataGetBytePtr(data.Get())),
                                                  static_cast<std::size_t>(CFDataGetLength(data.Get()))),
                                      error))
    {
        LogLine(GLogger::kError, "The state was not saved: %s",
                error.empty() ? "not a property list" : error.c_str());
    }
}

namespace
{
std::vector<TSInt32> Int32s(CFDictionaryRef dictionary, const char* key)
{
    std::vector<TSInt32> values;
    for (const std::int64_t value : MessageInts(dictionary, key))
    {
        values.push_back(static_cast<TSInt32>(value));
    }
    return values;
}

void ForEachEntry(CFDictionaryRef dictionary, const std::function<void(CFTypeRef, CFTypeRef)>& visit)
{
    if (dictionary == nullptr)
    {
        return;
    }
    const CFIndex count = CFDictionaryGetCount(dictionary);
    std::vector<const void*> keys(static_cast<std::size_t>(count));
    std::vector<const void*> values(static_cast<std::size_t>(count));
    CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
    for (std::size_t i = 0; i < keys.size(); ++i)
    {
        visit(keys[i], values[i]);
    }
}

CFDictionaryRef AsDictionary(CFTypeRef value)
{
    return value != nullptr && CFGetTypeID(value) == CFDictionaryGetTypeID()
               ? static_cast<CFDictionaryRef>(value)
               : nullptr;
}
} // namespace

void GTypeholdEngine::LoadState()
{
    const std::string path = FilePath(kStateFileName);
    std::string bytes;
    if (!ReadWholeFile(path, bytes))
    {
        LogLine(GLogger::kInfo, "No saved state in %s: starting afresh", path.c_str());
        return;
    }
    GCFHolder<CFDataRef> data(CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(bytes.data()),
                                           static_cast<CFIndex>(bytes.size())));
    CFStringRef errorString = nullptr;
    GCFHolder<CFPropertyListRef> plist(CFPropertyListCreateFromXMLData(
        kCFAllocatorDefault, data.Get(), kCFPropertyListImmutable, &errorString));
    CFDictionaryRef state = AsDictionary(plist.Get());
    if (state == nullptr)
    {
        LogLine(GLogger::kError, "The saved state %s is unreadable (%s): starting afresh", path.c_str(),
                errorString != nullptr ? StringValue(errorString).c_str() : "not a dictionary");
        if (errorString != nullptr)
        {
            CFRelease(errorString);
        }
        return;
    }

    ForEachEntry(
        MessageDictionary(state, "holds"),
        [this](CFTypeRef client, CFTypeRef fonts)
        {
            const std::string clientKey = StringValue(client);
            ForEachEntry(
                AsDictionary(fonts),
                [&](CFTypeRef font, CFTypeRef kind)
                {
                    std::int64_t value = 0;
                    const std::string id = StringValue(font);
                    if (!clientKey.empty() && !id.empty() && IntegerValue(kind, value) &&
                        KindRank(static_cast<TSInt32>(value)) > 0)
                    {
                        mHolds[static_cast<TUInt32>(std::strtoul(id.c_str(), nullptr, 10))][clientKey] =
                            static_cast<TSInt32>(value);
                    }
                });
        });
    ForEachEntry(MessageDictionary(state, "clients"),
                 [this](CFTypeRef name, CFTypeRef record)
                 {
                     GClientState& client = mClients[StringValue(name)];
                     client.appType = static_cast<TSInt32>(MessageInt(AsDictionary(record), "appType"));
                     client.logFile = MessageString(AsDictionary(record), "logFile");
                 });
    CFArrayRef sets = MessageArray(state, "sets");
    for (CFIndex i = 0; sets != nullptr && i < CFArrayGetCount(sets); ++i)
    {
        CFDictionaryRef record = AsDictionary(CFArrayGetValueAtIndex(sets, i));
        GFontSet set;
        set.id = static_cast<TSInt32>(MessageInt(record, "id"));
        set.name = MessageString(record, "name");
        set.workgroupID = static_cast<TSInt32>(MessageInt(record, "workgroup"));
        for (const std::int64_t font : MessageInts(record, "fonts"))
        {
            set.fonts.push_back(static_cast<TUInt32>(font));
        }
        if (set.id > 0)
        {
            mSets.push_back(set);
        }
    }
    mNextSetID = static_cast<TSInt32>(MessageInt(state, "nextSetID", 1));
    CFArrayRef smartSets = MessageArray(state, "smartSets");
    for (CFIndex i = 0; smartSets != nullptr && i < CFArrayGetCount(smartSets); ++i)
    {
        CFDictionaryRef record = AsDictionary(CFArrayGetValueAtIndex(smartSets, i));
        GSmartSet smartSet;
        smartSet.id = static_cast<TSInt32>(MessageInt(record, "id"));
        smartSet.name = MessageString(record, "name");
        smartSet.workgroupID = static_cast<TSInt32>(MessageInt(record, "workgroup"));
        CFArrayRef patterns = MessageArray(record, "patterns");
        for (CFIndex j = 0; patterns != nullptr && j < CFArrayGetCount(patterns); ++j)
        {
            smartSet.patterns.push_back(StringValue(CFArrayGetValueAtIndex(patterns, j)));
        }
        if (smartSet.id > 0)
        {
            mSmartSets.push_back(smartSet);
        }
    }
    mNextSmartSetID = static_cast<TSInt32>(MessageInt(state, "nextSmartSetID", 1));
    CFArrayRef lists = MessageArray(state, "smartLists");
    for (CFIndex i = 0; lists != nullptr && i < CFArrayGetCount(lists); ++i)
    {
        CFDictionaryRef record = AsDictionary(CFArrayGetValueAtIndex(lists, i));
        GSmartList list;
        list.id = static_cast<TSInt32>(MessageInt(record, "id"));
        list.name = MessageString(record, "name");
        list.workgroups = Int32s(record, "workgroupIDs");
        list.sets = Int32s(record, "setIDs");
        list.smartSets = Int32s(record, "smartSetIDs");
        if (list.id > 0)
        {
            mSmartLists.push_back(list);
        }
    }
    mNextSmartListID = static_cast<TSInt32>(MessageInt(state, "nextSmartListID", 1));
    CFArrayRef saved = MessageArray(state, "savedDocuments");
    if (saved != nullptr)
    {
        CFArrayAppendArray(mSavedDocuments, saved, CFRangeMake(0, CFArrayGetCount(saved)));
    }
    CFArrayRef clicks = MessageArray(state, "panelClicks");
    for (CFIndex i = 0; clicks != nullptr && i < CFArrayGetCount(clicks); ++i)
    {
        CFDictionaryRef record = AsDictionary(CFArrayGetValueAtIndex(clicks, i));
        GPanelClick click;
        click.fontID = static_cast<TUInt32>(MessageInt(record, "fontID"));
        click.postScriptName = MessageString(record, "postScriptName");
        click.version = MessageString(record, "version");
        click.client = MessageString(record, "client");
        click.time = MessageInt(record, "time");
        if (click.fontID != 0)
        {
            mPanelClicks.push_back(click);
        }
    }
    ForEachEntry(
        MessageDictionary(state, "session"),
        [this](CFTypeRef name, CFTypeRef value)
        {
            if (IsSessionSettingName(StringValue(name)) && CFGetTypeID(value) == CFBooleanGetTypeID())
            {
                mSessionOverrides[StringValue(name)] = CFBooleanGetValue(static_cast<CFBooleanRef>(value));
            }
        });
    ApplySessionOverrides(mConfig);
    mGoogleWebFontsEnabled = MessageBool(state, "googleWebFontsEnabled", mGoogleWebFontsEnabled);
    LogLine(GLogger::kInfo, "Saved state resumed: %u fonts held, %u sets, %u smart sets, %u smart lists",
            static_cast<unsigned>(mHolds.size()), static_cast<unsigned>(mSets.size()),
            static_cast<unsigned>(mSmartSets.size()), static_cast<unsigned>(mSmartLists.size()));
}

// --- Requests -----------------------------------------------------------------------------------

CFMutableDictionaryRef GTypeholdEngine::Handle(GClientInfo& client, CFDictionaryRef request)
{
    const std::string op = MessageString(request, protocol::kOpKey);
    TUInt32 delay = 0;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        const auto found = mConfig.callDelayMs.find(op);
        delay = found == mConfig.callDelayMs.end() ? 0 : found->second;
    }
    if (delay > 0)
    {
        LogLine(GLogger::kInfo, "%s from %s held back for %u ms", op.c_str(), client.key.c_str(), delay);
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    }

    if (op != protocol::kOpHello && op != protocol::kOpExit)
    {
        std::unique_lock<std::mutex> lock(mMutex);
        mReadyCondition.wait(lock, [this] { return mReady; });
    }
    CFMutableDictionaryRef reply = CreateMutableDictionary();
    TErrorCode code = CoreErrorCodes::kSuccess;
    if (op == protocol::kOpReloadConfig)
    {
        CheckConfig(true);
    }
    else if (op == protocol::kOpReplicate)
    {
        code = Replicate(request);
    }
    else if (IsDocumentRequest(op))
    {
        code = (this->*(Handlers().at(op)))(client, request, reply);
    }
    else
    {
        std::lock_guard<std::mutex> lock(mMutex);
        const auto& handlers = Handlers();
        const auto handler = handlers.find(op);
        if (handler == handlers.end())
        {
            LogLine(GLogger::kWarning, "Unknown request '%s' from %s", op.c_str(), client.key.c_str());
            code = CoreErrorCodes::kNotSupported;
        }
        else
        {
            code = (this->*(handler->second))(client, request, reply);
        }
    }
    SetInt(reply, protocol::kResultKey, code);
    LogLine(code == CoreErrorCodes::kSuccess ? GLogger::kInfo : GLogger::kWarning, "%s from %s: 0x%08x %s",
            op.c_str(), client.key.c_str(), code, ErrorCodeToString(code).c_str());
    return reply;
}
} // namespace typehold
