// The requests of the interface library's entry points and of the control tool. Every handler
// runs with the engine's lock held (except replication, which sleeps between its steps).

#include "GFileSystem.h"
#include "GTypeholdEngine.h"
#include "GTypeholdEngineInternal.h"
#include "GTypeholdFiles.h"
#include "LumorandPluginInterface.h"
#include "TypeholdMessage.h"
#include "TypeholdProtocol.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <thread>

namespace typehold
{
namespace
{
// A 1x1 grey PNG: the stand-in for a rendered preview.
constexpr unsigned char kPlaceholderPNG[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00,
    0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x00, 0x00, 0x00, 0x00, 0x3A, 0x7E, 0x9B, 0x55, 0x00,
    0x00, 0x00, 0x0A, 0x49, 0x44, 0x41, 0x54, 0x78, 0xDA, 0x63, 0x68, 0x00, 0x00, 0x00, 0x82, 0x00, 0x81,
    0xDA, 0x45, 0x08, 0x3B, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

std::vector<TUInt32> IDs(CFDictionaryRef args, const char* key)
{
    std::vector<TUInt32> ids;
    for (const std::int64_t value : MessageInts(args, key))
    {
        ids.push_back(static_cast<TUInt32>(value));
    }
    return ids;
}

std::vector<TSInt32> Workgroups(CFDictionaryRef args, const char* key)
{
    std::vector<TSInt32> ids;
    for (const std::int64_t value : MessageInts(args, key))
    {
        ids.push_back(static_cast<TSInt32>(value));
    }
    return ids;
}

// The part of a PostScript name before its first '-', compared like family names.
std::string FamilyKeyOfName(const std::string& name)
{
    std::string key;
    for (char c : name.substr(0, name.find('-')))
    {
        if (c != ' ')
        {
            key.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
        }
    }
    return key;
}

std::string FamilyKey(const std::string& family)
{
    std::string key;
    for (char c : family)
    {
        if (c != ' ')
        {
            key.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
        }
    }
    return key;
}

CFMutableDictionaryRef WorkgroupRecord(const GWorkgroupConfig& workgroup)
{
    CFMutableDictionaryRef record = CreateMutableDictionary();
    SetInt(record, kKeyWorkgroupID, workgroup.id);
    SetString(record, kKeyWorkgroupName, workgroup.name);
    SetInt(record, kKeyWorkgroupType, workgroup.type);
    return record;
}
} // namespace

const std::unordered_map<std::string, GTypeholdEngine::THandler>& GTypeholdEngine::Handlers()
{
    static const std::unordered_map<std::string, THandler> sHandlers = {
        {protocol::kOpHello, &GTypeholdEngine::Hello},
        {"InitAppInstance", &GTypeholdEngine::InitAppInstance},
        {"InitThreadInstance", &GTypeholdEngine::InitThreadInstance},
        {"DestroyThreadInstance", &GTypeholdEngine::NoOperation},
        {"CleanUpOnShutdown", &GTypeholdEngine::NoOperation},
        {"EnableDesignActivation", &GTypeholdEngine::EnableDesignActivation},
        {"GetFontVaultPath", &GTypeholdEngine::GetFontVaultPath},
        {"GetAreSchemaVersionsInSync", &GTypeholdEngine::GetAreSchemaVersionsInSync},
        {"GetRunningStandalone", &GTypeholdEngine::GetRunningStandalone},
        {"GetIsLoggedIn", &GTypeholdEngine::GetIsLoggedIn},
        {"IsAllWorkgroups", &GTypeholdEngine::IsAllWorkgroups},
        {"GetSystemWorkgroupID", &GTypeholdEngine::GetSystemWorkgroupID},
        {"GetAllWorkgroupsForUser", &GTypeholdEngine::GetAllWorkgroupsForUser},
        {"GetDefaultLibraryName", &GTypeholdEngine::GetDefaultLibraryName},
        {"GetPermission", &GTypeholdEngine::GetPermission},
        {"CanExportFonts", &GTypeholdEngine::CanExportFonts},
        {"ExportFonts", &GTypeholdEngine::ExportFonts},
        {"CreateTopLevelSet", &GTypeholdEngine::CreateTopLevelSet},
        {"AddFontsToSets", &GTypeholdEngine::AddFontsToSets},
        {"ActivateFonts", &GTypeholdEngine::ActivateFonts},
        {"PreviewActivateFonts", &GTypeholdEngine::PreviewActivateFonts},
        {"DeactivateFonts", &GTypeholdEngine::DeactivateFonts},
        {"ActivateDocumentFontsByPath", &GTypeholdEngine::ActivateDocumentFontsByPath},
        {"GetFontIsActivated", &GTypeholdEngine::GetFontIsActivated},
        {"GetClientFontActivationStates", &GTypeholdEngine::GetClientFontActivationStates},
        {"GetFontConflicts", &GTypeholdEngine::GetFontConflicts},
        {"GetFontsByPostscriptName", &GTypeholdEngine::GetFontsByPostscriptName},
        {"GetFontsByFamilyName", &GTypeholdEngine::GetFontsByFamilyName},
        {"GetFontInfoByID", &GTypeholdEngine::GetFontInfoByID},
        {"FindFontsInSameFamilyForActivation", &GTypeholdEngine::FindFontsInSameFamilyForActivation},
        {"GetGoogleFonts", &GTypeholdEngine::GetGoogleFonts},
        {"GetIsGoogleWebFontsEnabled", &GTypeholdEngine::GetIsGoogleWebFontsEnabled},
        {"SetGoogleWebFontsEnabled", &GTypeholdEngine::SetGoogleWebFontsEnabled},
        {"CanAccessGoogleFonts", &GTypeholdEngine::CanAccessGoogleFonts},
        {"GetIsReplicationRunning", &GTypeholdEngine::GetIsReplicationRunning},
        {"GetCurrentReplicationMode", &GTypeholdEngine::GetCurrentReplicationMode},
        {"GetRenderedPNGsDirectory", &GTypeholdEngine::GetRenderedPNGsDirectory},
        {"RenderFontNamePreviewPNGs", &GTypeholdEngine::RenderFontNamePreviewPNGs},
        {"CreateSmartList", &GTypeholdEngine::CreateSmartList},
        {"RenameSmartList", &GTypeholdEngine::RenameSmartList},
        {"DeleteSmartList", &GTypeholdEngine::DeleteSmartList},
        {"GetSmartList", &GTypeholdEngine::GetSmartList},
        {"GetPanelSmartListTree", &GTypeholdEngine::GetPanelSmartListTree},
        {"QueryForSmartListFonts", &GTypeholdEngine::QueryForSmartListFonts},
        {"GetAllSmartLists", &GTypeholdEngine::GetAllSmartLists},
        {"SetSmartListQuery", &GTypeholdEngine::SetSmartListQuery},
        {"GetSmartListFonts", &GTypeholdEngine::GetSmartListFonts},
        {"BeginLogging", &GTypeholdEngine::BeginLogging},
        {"Log", &GTypeholdEngine::Log},
        {"TrackFontPanelClick", &GTypeholdEngine::TrackFontPanelClick},
        {"SaveDocumentFonts", &GTypeholdEngine::SaveDocumentFonts},
        {"GetFontUsage", &GTypeholdEngine::GetFontUsage},
        {"GetAdobeXMPData", &GTypeholdEngine::GetAdobeXMPData},
        {"GetFaceTraceXMPData", &GTypeholdEngine::GetFaceTraceXMPData},
        {"WriteFontUsage", &GTypeholdEngine::WriteFontUsage},
        {protocol::kOpEmitNotifications, &GTypeholdEngine::EmitNotifications},
        {protocol::kOpDumpState, &GTypeholdEngine::DumpState},
        {protocol::kOpExit, &GTypeholdEngine::Exit},
    };
    return sHandlers;
}

// --- Connection and session ---------------------------------------------------------------------

TErrorCode GTypeholdEngine::Hello(GClientInfo& client, CFDictionaryRef args, CFMutableDictionaryRef)
{
    client.pid = static_cast<TUInt32>(MessageInt(args, protocol::kPidKey));
    client.key = MessageString(args, protocol::kClientKey);
    if (client.key.empty())
    {
        client.key = "client:" + std::to_string(client.pid);
    }
    GClientState& state = mClients[client.key];
    const TSInt32 appType = static_cast<TSInt32>(MessageInt(args, protocol::kAppTypeKey));
    if (appType != 0)
    {
        state.appType = appType;
    }
    client.appType = state.appType;
    LogLine(GLogger::kInfo, "Client %s (process %u, host application %d) connected for %s",
            client.key.c_str(), client.pid, client.appType, MessageString(args, protocol::kRoleKey).c_str());
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::InitAppInstance(GClientInfo& client, CFDictionaryRef args, CFMutableDictionaryRef)
{
    client.appType = static_cast<TSInt32>(MessageInt(args, protocol::kAppTypeKey));
    mClients[client.key].appType = client.appType;
    SaveState();
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::InitThreadInstance(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef)
{
    return mConfig.initThreadFailure;
}

TErrorCode GTypeholdEngine::NoOperation(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef)
{
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::EnableDesignActivation(GClientInfo& client, CFDictionaryRef,
                                                   CFMutableDictionaryRef)
{
    mClients[client.key].designActivation = true;
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::GetFontVaultPath(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef reply)
{
    SetString(reply, "path", mConfig.vaultPath.empty() ? FilePath("Vault") : mConfig.vaultPath);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::GetAreSchemaVersionsInSync(GClientInfo&, CFDictionaryRef,
                                                       CFMutableDictionaryRef reply)
{
    SetInt(reply, "yes", mConfig.schemaInSync ? 1 : 0);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::GetRunningStandalone(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef reply)
{
    SetInt(reply, "yes", mConfig.standalone ? 1 : 0);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::GetIsLoggedIn(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef reply)
{
    SetInt(reply, "yes", mConfig.loggedIn ? 1 : 0);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::BeginLogging(GClientInfo& client, CFDictionaryRef args, CFMutableDictionaryRef)
{
    // Only the file name counts: client logs stay in the configuration folder.
    const std::string name = FileNamePart(MessageString(args, "file"));
    if (name.empty() || name == "." || name == "..")
    {
        return CoreErrorCodes::kInvalidParam;
    }
    mClients[client.key].logFile = name;
    SaveState();
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::Log(GClientInfo& client, CFDictionaryRef args, CFMutableDictionaryRef)
{
    const std::string& name = mClients[client.key].logFile;
    if (name.empty())
    {
        return CoreErrorCodes::kNotInitialized;
    }
    return AppendToFile(FilePath(name), MessageString(args, "text")) ? CoreErrorCodes::kSuccess
                                                                     : CoreErrorCodes::kError;
}

TErrorCode GTypeholdEngine::SaveDocumentFonts(GClientInfo& client, CFDictionaryRef args,
                                              CFMutableDictionaryRef)
{
    const std::string path = MessageString(args, "path");
    if (path.empty())
    {
        return CoreErrorCodes::kInvalidParam;
    }
    GCFHolder<CFMutableDictionaryRef> record(CreateMutableDictionary());
    SetString(record.Get(), "path", path);
    SetString(record.Get(), "hostAppCode", MessageString(args, "app"));
    SetString(record.Get(), "hostDisplayName", MessageString(args, "name"));
    SetInt(record.Get(), "hint", MessageInt(args, "hint"));
    SetString(record.Get(), "client", client.key);
    SetInt(record.Get(), "time", static_cast<std::int64_t>(std::time(nullptr)));
    CFArrayAppendValue(mSavedDocuments, record.Get());
    SaveState();
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::TrackFontPanelClick(GClientInfo& client, CFDictionaryRef args,
                                                CFMutableDictionaryRef)
{
    const GFontEntry* font = FindFont(static_cast<TUInt32>(MessageInt(args, "id")));
    if (font == nullptr)
    {
        return CoreErrorCodes::kNotFound;
    }
    LogLine(GLogger::kInfo, "Panel click on font %u (%s, version '%s') by %s", font->ID(),
            font->Face().postScriptName.c_str(), MessageString(args, "version").c_str(), client.key.c_str());
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::NotImplemented(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef)
{
    return CoreErrorCodes::kNotImplemented;
}

// --- Workgroups and permissions -----------------------------------------------------------------

TErrorCode GTypeholdEngine::IsAllWorkgroups(GClientInfo&, CFDictionaryRef args, CFMutableDictionaryRef reply)
{
    const std::int64_t workgroup = MessageInt(args, "workgroup");
    SetInt(reply, "yes", workgroup == 0 || workgroup == -2 ? 1 : 0);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::GetSystemWorkgroupID(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef reply)
{
    if (!mConfig.hasSystemWorkgroup)
    {
        return CoreErrorCodes::kNotFound;
    }
    SetInt(reply, "workgroup", mConfig.systemWorkgroup.id);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::GetAllWorkgroupsForUser(GClientInfo&, CFDictionaryRef args,
                                                    CFMutableDictionaryRef reply)
{
    GCFHolder<CFMutableArrayRef> workgroups(CreateMutableArray());
    auto add = [&workgroups](const GWorkgroupConfig& workgroup)
    {
        GCFHolder<CFMutableDictionaryRef> record(WorkgroupRecord(workgroup));
        CFArrayAppendValue(workgroups.Get(), record.Get());
    };
    for (const GWorkgroupConfig& workgroup : mConfig.workgroups)
    {
        add(workgroup);
    }
    if (MessageBool(args, "system") && mConfig.hasSystemWorkgroup)
    {
        add(mConfig.systemWorkgroup);
    }
    if (MessageBool(args, "typekit") && mConfig.hasTypekitLibrary)
    {
        add(mConfig.typekitLibrary);
    }
    SetValue(reply, "workgroups", workgroups.Get());
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::GetDefaultLibraryName(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef reply)
{
    if (mConfig.workgroups.empty())
    {
        return CoreErrorCodes::kNotFound;
    }
    SetString(reply, "name", mConfig.workgroups.front().name);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::GetPermission(GClientInfo&, CFDictionaryRef args, CFMutableDictionaryRef reply)
{
    const std::string column = MessageString(args, "column");
    const TSInt32 workgroupID = static_cast<TSInt32>(MessageInt(args, "workgroup"));
    bool allowed = false;
    if (column == protocol::kColumnActivateAcrossWorkgroups)
    {
        allowed = mConfig.canActivateAcrossWorkgroups;
    }
    else if (column == protocol::kColumnExportFonts)
    {
        if (workgroupID == 0 || workgroupID == -2)
        {
            allowed = std::all_of(mConfig.workgroups.begin(), mConfig.workgroups.end(),
                                  [](const GWorkgroupConfig& workgroup) { return workgroup.canExport; });
        }
        else
        {
            const GWorkgroupConfig* workgroup = FindWorkgroup(workgroupID);
            if (workgroup == nullptr)
            {
                return CoreErrorCodes::kNotFound;
            }
            allowed = workgroup->canExport;
        }
    }
    else
    {
        LogLine(GLogger::kWarning, "GetPermission: unknown column '%s'", column.c_str());
        return CoreErrorCodes::kNotFound;
    }
    SetInt(reply, "value", allowed ? 1 : 0);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::CanExportFonts(GClientInfo&, CFDictionaryRef args, CFMutableDictionaryRef reply)
{
    bool allowed = true;
    for (const TUInt32 id : IDs(args, "ids"))
    {
        const GFontEntry* font = FindFont(id);
        if (font == nullptr)
        {
            return CoreErrorCodes::kNotFound;
        }
        allowed = allowed && font->canExport;
    }
    SetInt(reply, "yes", allowed ? 1 : 0);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::ExportFonts(GClientInfo&, CFDictionaryRef args, CFMutableDictionaryRef)
{
    const std::string folder = MessageString(args, "folder");
    std::vector<const GFontEntry*> fonts;
    for (const TUInt32 id : IDs(args, "ids"))
    {
        const GFontEntry* font = FindFont(id);
        if (font == nullptr)
        {
            return CoreErrorCodes::kNotFound;
        }
        if (!font->canExport)
        {
            LogLine(GLogger::kWarning, "Export of font %u refused: its workgroup does not allow it", id);
            return CoreErrorCodes::kNotSupported;
        }
        fonts.push_back(font);
    }
    if (folder.empty() || !CreateFolders(folder))
    {
        LogLine(GLogger::kWarning, "Export folder '%s' cannot be created", folder.c_str());
        return GFileSystem::kDirectoryNotFound;
    }
    for (const GFontEntry* font : fonts)
    {
        std::string error;
        if (!CopyFileReplacing(font->Face().filePath, JoinPath(folder, font->Face().fileName), error))
        {
            LogLine(GLogger::kError, "Export of %s failed: %s", font->Face().filePath.c_str(), error.c_str());
            return CoreErrorCodes::kError;
        }
    }
    LogLine(GLogger::kInfo, "%u fonts exported to %s", static_cast<unsigned>(fonts.size()), folder.c_str());
    return CoreErrorCodes::kSuccess;
}

// --- Sets ---------------------------------------------------------------------------------------

TErrorCode GTypeholdEngine::CreateTopLevelSet(GClientInfo&, CFDictionaryRef args,
                                              CFMutableDictionaryRef reply)
{
    GFontSet set;
    set.name = MessageString(args, "name");
    set.workgroupID = static_cast<TSInt32>(MessageInt(args, "workgroup"));
    if (set.name.empty())
    {
        return CoreErrorCodes::kInvalidParam;
    }
    for (const GFontSet& other : mSets)
    {
        if (other.name == set.name && other.workgroupID == set.workgroupID)
        {
            return CoreErrorCodes::kItemAlreadyExists;
        }
    }
    for (const TUInt32 id : IDs(args, "ids"))
    {
        if (FindFont(id) == nullptr)
        {
            return CoreErrorCodes::kNotFound;
        }
        set.fonts.push_back(id);
    }
    set.id = mNextSetID++;
    mSets.push_back(set);
    SaveState();
    SetInt(reply, "setID", set.id);
    NotifyAll(kLPINotifyPanelDataChanged, nullptr);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::AddFontsToSets(GClientInfo&, CFDictionaryRef args, CFMutableDictionaryRef)
{
    const std::vector<TUInt32> ids = IDs(args, "ids");
    for (const TUInt32 id : ids)
    {
        if (FindFont(id) == nullptr)
        {
            return CoreErrorCodes::kNotFound;
        }
    }
    std::vector<GFontSet*> sets;
    for (const TSInt32 setID : Workgroups(args, "sets"))
    {
        auto found = std::find_if(mSets.begin(), mSets.end(),
                                  [setID](const GFontSet& set) { return set.id == setID; });
        if (found == mSets.end())
        {
            return CoreErrorCodes::kNotFound;
        }
        sets.push_back(&*found);
    }
    for (GFontSet* set : sets)
    {
        for (const TUInt32 id : ids)
        {
            if (std::find(set->fonts.begin(), set->fonts.end(), id) == set->fonts.end())
            {
                set->fonts.push_back(id);
            }
        }
    }
    SaveState();
    return CoreErrorCodes::kSuccess;
}

// --- Activation ---------------------------------------------------------------------------------

TErrorCode GTypeholdEngine::ActivateFonts(GClientInfo& client, CFDictionaryRef args,
                                          CFMutableDictionaryRef reply)
{
    const TUInt32 mode = static_cast<TUInt32>(MessageInt(args, "mode"));
    const bool persistent = MessageBool(args, "persistent");
    const TSInt32 kind = mode == 3 ? kRawDesign : (persistent ? kRawPersistent : kRawTemporary);
    const std::set<TUInt32> before = ActiveFontIDs();
    std::vector<TUInt32> notActivated;
    std::vector<std::pair<TUInt32, TUInt32>> refused; // non-compliant first, then the others
    std::vector<std::pair<TUInt32, TUInt32>> failed;
    for (const TUInt32 id : IDs(args, "ids"))
    {
        const GFontEntry* font = FindFont(id);
        if (font == nullptr)
        {
            notActivated.push_back(id);
            failed.emplace_back(id, kActivationUnknownFont);
            continue;
        }
        const bool nonCompliant =
            mode == 3 && std::any_of(mConfig.designNonCompliant.begin(), mConfig.designNonCompliant.end(),
                                     [font](const std::string& pattern)
                                     { return MatchesPattern(font->Face().postScriptName, pattern); });
        if (nonCompliant)
        {
            notActivated.push_back(id);
            refused.emplace_back(id, kActivationRefusedNonCompliant);
            GCFHolder<CFNumberRef> number(CreateNumber(id));
            NotifyAll(kLPINotifyDesignActivationNonCompliant, number.Get());
            continue;
        }
        if (!Hold(*font, client.key, kind))
        {
            notActivated.push_back(id);
            failed.emplace_back(id, kActivationFileMissing);
        }
    }
    ActivationsChanged(before);
    refused.insert(refused.end(), failed.begin(), failed.end());
    GCFHolder<CFMutableArrayRef> results(CreateMutableArray());
    for (const auto& [id, code] : refused)
    {
        const TUInt32 pair[2] = {id, code};
        GCFHolder<CFMutableArrayRef> entry(CreateIntArray(pair, 2));
        CFArrayAppendValue(results.Get(), entry.Get());
    }
    SetInts(reply, "notActivated", notActivated);
    SetValue(reply, "results", results.Get());
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::PreviewActivateFonts(GClientInfo& client, CFDictionaryRef args,
                                                 CFMutableDictionaryRef)
{
    const std::set<TUInt32> before = ActiveFontIDs();
    TErrorCode code = CoreErrorCodes::kSuccess;
    for (const TUInt32 id : IDs(args, "ids"))
    {
        const GFontEntry* font = FindFont(id);
        if (font == nullptr || !Hold(*font, client.key, kRawPreview))
        {
            code = CoreErrorCodes::kNotFound;
        }
    }
    ActivationsChanged(before);
    return code;
}

TErrorCode GTypeholdEngine::DeactivateFonts(GClientInfo& client, CFDictionaryRef args, CFMutableDictionaryRef)
{
    const std::set<TUInt32> before = ActiveFontIDs();
    for (const TUInt32 id : IDs(args, "ids"))
    {
        const auto held = mHolds.find(id);
        if (held != mHolds.end())
        {
            held->second.erase(client.key);
            if (held->second.empty())
            {
                mHolds.erase(held);
            }
        }
    }
    ActivationsChanged(before);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::ActivateDocumentFontsByPath(GClientInfo& client, CFDictionaryRef args,
                                                        CFMutableDictionaryRef reply)
{
    const std::string path = MessageString(args, "path");
    const bool entireFamilies = MessageBool(args, "families");
    const bool pickBestMatch = MessageBool(args, "pickBest");
    const bool useIdentification = MessageBool(args, "useIdData");
    const TSInt32 workgroup = static_cast<TSInt32>(MessageInt(args, "workgroup"));
    std::vector<std::string> names;
    std::string error;
    if (!ReadDocumentFontNames(path, names, error))
    {
        LogLine(GLogger::kWarning, "Document %s cannot be read: %s", path.c_str(), error.c_str());
        return FileExists(path) ? CoreErrorCodes::kError : GFileSystem::kFileNotFound;
    }
    // The document's slug says which version of a font it was saved with.
    const std::map<std::string, FontUsageRecord> slug =
        useIdentification ? ReadSlug(path) : std::map<std::string, FontUsageRecord>();
    auto identificationOf = [&slug](const std::string& name) -> const FontUsageRecord*
    {
        const auto found = slug.find(name);
        return found == slug.end() ? nullptr : &found->second;
    };

    auto inScope = [this, workgroup](const GFontEntry* font) { return InDocumentScope(*font, workgroup); };
    auto candidatesNamed = [&](const std::string& name)
    {
        std::vector<const GFontEntry*> candidates;
        for (const CatalogFont* catalogFont : mCatalog->FindByPostScriptName(name))
        {
            const GFontEntry* font = FindFont(catalogFont->databaseID);
            if (font != nullptr && inScope(font))
            {
                candidates.push_back(font);
            }
        }
        return candidates;
    };

    GCFHolder<CFMutableArrayRef> problems(CreateMutableArray());
    std::vector<const GFontEntry*> matched;
    std::set<TUInt32> matchedIDs;
    for (const std::string& name : names)
    {
        std::vector<const GFontEntry*> candidates = candidatesNamed(name);
        const GFontEntry* chosen = nullptr;
        const FontUsageRecord* identification = identificationOf(name);
        const GFontEntry* identified =
            identification != nullptr ? IdentifiedCandidate(candidates, *identification) : nullptr;
        if (identified != nullptr && candidates.size() > 1)
        {
            LogLine(GLogger::kInfo,
                    "Document %s: its slug identifies %s as font %u (version %s) of %u candidates",
                    path.c_str(), name.c_str(), identified->ID(), identified->Face().version.c_str(),
                    static_cast<unsigned>(candidates.size()));
        }
        if (candidates.size() == 1 || (candidates.size() > 1 && (pickBestMatch || identified != nullptr)))
        {
            chosen = ChooseBestCandidate(candidates, identification);
        }
        if (chosen == nullptr)
        {
            if (candidates.empty())
            {
                // Missing: the fonts of the same family are what the user may pick instead.
                const std::string family = FamilyKeyOfName(name);
                for (const GFontEntry& font : mFonts)
                {
                    if (!family.empty() && FamilyKey(font.Face().family) == family && inScope(&font))
                    {
                        candidates.push_back(&font);
                    }
                }
            }
            GCFHolder<CFMutableDictionaryRef> problem(CreateMutableDictionary());
            SetString(problem.Get(), kKeyPostScriptName, name);
            GCFHolder<CFMutableArrayRef> replacements(CreateFontRecords(candidates));
            SetValue(problem.Get(), kKeyPossibleReplacements, replacements.Get());
            CFArrayAppendValue(problems.Get(), problem.Get());
            continue;
        }
        if (matchedIDs.insert(chosen->ID()).second)
        {
            matched.push_back(chosen);
        }
    }
    if (entireFamilies)
    {
        const std::set<std::string> documentNames(names.begin(), names.end());
        const std::size_t documentMatches = matched.size();
        for (std::size_t i = 0; i < documentMatches; ++i)
        {
            const std::string family = FamilyKey(matched[i]->Face().family);
            std::map<std::string, std::vector<const GFontEntry*>> members; // by PostScript name
            for (const GFontEntry& font : mFonts)
            {
                if (FamilyKey(font.Face().family) == family && inScope(&font) &&
                    documentNames.count(font.Face().postScriptName) == 0)
                {
                    members[font.Face().postScriptName].push_back(&font);
                }
            }
            for (const auto& [name, versions] : members)
            {
                const GFontEntry* member = ChooseBestCandidate(versions, identificationOf(name));
                if (matchedIDs.insert(member->ID()).second)
                {
                    matched.push_back(member);
                }
            }
        }
    }

    const std::set<TUInt32> before = ActiveFontIDs();
    GCFHolder<CFMutableArrayRef> matchedRecords(CreateMutableArray());
    for (const GFontEntry* font : matched)
    {
        const bool wasActive = before.count(font->ID()) != 0;
        if (!Hold(*font, client.key, kRawAutoActivated))
        {
            GCFHolder<CFMutableDictionaryRef> problem(CreateMutableDictionary());
            SetString(problem.Get(), kKeyPostScriptName, font->Face().postScriptName);
            GCFHolder<CFMutableArrayRef> none(CreateMutableArray());
            SetValue(problem.Get(), kKeyPossibleReplacements, none.Get());
            CFArrayAppendValue(problems.Get(), problem.Get());
            continue;
        }
        GCFHolder<CFMutableDictionaryRef> record(CreateFontRecord(*font));
        SetString(record.Get(), kKeyIsActive, wasActive ? "1" : "0");
        GCFHolder<CFMutableArrayRef> subDocuments(CreateMutableArray());
        SetValue(record.Get(), kKeySubDocumentsWithFont, subDocuments.Get());
        CFArrayAppendValue(matchedRecords.Get(), record.Get());
    }
    ActivationsChanged(before);
    LogLine(GLogger::kInfo, "Document %s: %u font names, %u matched, %u problems", path.c_str(),
            static_cast<unsigned>(names.size()), static_cast<unsigned>(CFArrayGetCount(matchedRecords.Get())),
            static_cast<unsigned>(CFArrayGetCount(problems.Get())));
    SetValue(reply, "matched", matchedRecords.Get());
    SetValue(reply, "problems", problems.Get());
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::GetFontIsActivated(GClientInfo&, CFDictionaryRef args,
                                               CFMutableDictionaryRef reply)
{
    std::vector<TUInt32> states;
    for (const TUInt32 id : IDs(args, "ids"))
    {
        const GFontEntry* font = FindFont(id);
        states.push_back(font != nullptr && IsActive(*font) ? 1 : 0);
    }
    SetInts(reply, "states", states);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::GetClientFontActivationStates(GClientInfo& client, CFDictionaryRef args,
                                                          CFMutableDictionaryRef reply)
{
    std::vector<TSInt32> states;
    for (const TUInt32 id : IDs(args, "ids"))
    {
        TSInt32 state = kRawInactive;
        const auto held = mHolds.find(id);
        if (held != mHolds.end())
        {
            const auto mine = held->second.find(client.key);
            state = mine != held->second.end() ? mine->second : kRawInactive;
        }
        states.push_back(state);
    }
    SetInts(reply, "states", states);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::GetFontConflicts(GClientInfo&, CFDictionaryRef args, CFMutableDictionaryRef reply)
{
    SetInts(reply, "conflicts", std::vector<TSInt32>(IDs(args, "ids").size(), 0));
    return CoreErrorCodes::kSuccess;
}

// --- Lookups ------------------------------------------------------------------------------------

TErrorCode GTypeholdEngine::GetFontsByPostscriptName(GClientInfo&, CFDictionaryRef args,
                                                     CFMutableDictionaryRef reply)
{
    const std::vector<TSInt32> workgroups = Workgroups(args, "workgroups");
    std::vector<TUInt32> ids;
    for (const CatalogFont* catalogFont : mCatalog->FindByPostScriptName(MessageString(args, "name")))
    {
        const GFontEntry* font = FindFont(catalogFont->databaseID);
        if (font != nullptr && InWorkgroups(*font, workgroups))
        {
            ids.push_back(font->ID());
        }
    }
    SetInts(reply, "ids", ids);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::GetFontsByFamilyName(GClientInfo&, CFDictionaryRef args,
                                                 CFMutableDictionaryRef reply)
{
    const std::vector<TSInt32> workgroups = Workgroups(args, "workgroups");
    const std::string family = FamilyKey(MessageString(args, "name"));
    std::vector<TUInt32> ids;
    for (const GFontEntry& font : mFonts)
    {
        if (FamilyKey(font.Face().family) == family && InWorkgroups(font, workgroups))
        {
            ids.push_back(font.ID());
        }
    }
    SetInts(reply, "ids", ids);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::GetFontInfoByID(GClientInfo&, CFDictionaryRef args, CFMutableDictionaryRef reply)
{
    // Database IDs are unique across workgroups: the reference's ID decides.
    std::int64_t id = 0;
    if (!IntegerValue(MessageValue(MessageDictionary(args, "font"), kKeyDatabaseID), id))
    {
        return CoreErrorCodes::kInvalidParam;
    }
    const GFontEntry* font = FindFont(static_cast<TUInt32>(id));
    if (font == nullptr)
    {
        return CoreErrorCodes::kNotFound;
    }
    GCFHolder<CFMutableDictionaryRef> record(CreateFontRecord(*font));
    SetValue(reply, "font", record.Get());
    SetInt(reply, "status", 0);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::FindFontsInSameFamilyForActivation(GClientInfo&, CFDictionaryRef args,
                                                               CFMutableDictionaryRef reply)
{
    std::int64_t familyID = 0;
    if (!IntegerValue(MessageValue(MessageDictionary(args, "font"), kKeyAssignedFamilyID), familyID))
    {
        return CoreErrorCodes::kInvalidParam;
    }
    const std::vector<TSInt32> workgroups = Workgroups(args, "workgroups");
    std::vector<const GFontEntry*> fonts;
    for (const GFontEntry& font : mFonts)
    {
        if (font.familyID == familyID && InWorkgroups(font, workgroups))
        {
            fonts.push_back(&font);
        }
    }
    GCFHolder<CFMutableArrayRef> records(CreateFontRecords(fonts));
    SetValue(reply, "fonts", records.Get());
    return CoreErrorCodes::kSuccess;
}

// --- Google fonts and replication ---------------------------------------------------------------

TErrorCode GTypeholdEngine::GetGoogleFonts(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef reply)
{
    std::vector<const GFontEntry*> fonts;
    for (const GFontEntry& font : mFonts)
    {
        if (font.workgroupType == kWorkgroupTypeGoogle)
        {
            fonts.push_back(&font);
        }
    }
    GCFHolder<CFMutableArrayRef> records(CreateFontRecords(fonts));
    SetValue(reply, "fonts", records.Get());
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::GetIsGoogleWebFontsEnabled(GClientInfo&, CFDictionaryRef,
                                                       CFMutableDictionaryRef reply)
{
    SetInt(reply, "yes", mGoogleWebFontsEnabled ? 1 : 0);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::SetGoogleWebFontsEnabled(GClientInfo&, CFDictionaryRef args,
                                                     CFMutableDictionaryRef)
{
    if (!mConfig.canAccessGoogleFonts)
    {
        return CoreErrorCodes::kNotSupported;
    }
    const bool enabled = MessageBool(args, "enabled");
    if (enabled != mGoogleWebFontsEnabled)
    {
        mGoogleWebFontsEnabled = enabled;
        SaveState();
        LogLine(GLogger::kInfo, "Google web fonts now %s", enabled ? "enabled" : "disabled");
        NotifyAll(kLPINotifyGoogleWebFontsEnabled, enabled ? kCFBooleanTrue : kCFBooleanFalse);
    }
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::CanAccessGoogleFonts(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef reply)
{
    SetInt(reply, "yes", mConfig.canAccessGoogleFonts ? 1 : 0);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::GetIsReplicationRunning(GClientInfo&, CFDictionaryRef,
                                                    CFMutableDictionaryRef reply)
{
    SetInt(reply, "yes", mReplicationRunning ? 1 : 0);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::GetCurrentReplicationMode(GClientInfo&, CFDictionaryRef,
                                                      CFMutableDictionaryRef reply)
{
    SetInt(reply, "mode", mConfig.replicationMode);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::Replicate(CFDictionaryRef args)
{
    const std::string kind = MessageString(args, "kind");
    TUInt32 progress = 0;
    TUInt32 stopped = 0;
    if (kind == "bulk")
    {
        progress = kLPINotifyBulkReplicationProgress;
        stopped = kLPINotifyBulkReplicationStopped;
    }
    else if (kind == "incremental")
    {
        progress = kLPINotifyIncrementalReplicationProgress;
        stopped = kLPINotifyIncrementalReplicationStopped;
    }
    else if (kind == "server")
    {
        progress = kLPINotifyFontServerReplicationProgress;
        stopped = kLPINotifyFontServerReplicationStopped;
    }
    else if (kind == "google")
    {
        progress = kLPINotifyGoogleReplicationProgress;
        stopped = kLPINotifyGoogleReplicationStopped;
    }
    else
    {
        return CoreErrorCodes::kInvalidParam;
    }
    const std::int64_t steps = std::clamp<std::int64_t>(MessageInt(args, "steps", 3), 0, 100000);
    const std::int64_t interval = std::clamp<std::int64_t>(MessageInt(args, "intervalMs", 0), 0, 60000);
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mReplicationRunning = true;
        LogLine(GLogger::kInfo, "%s replication: %u steps", kind.c_str(), static_cast<unsigned>(steps));
    }
    for (std::int64_t step = 1; step <= steps; ++step)
    {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            GCFHolder<CFMutableDictionaryRef> details(CreateMutableDictionary());
            SetString(details.Get(), "text",
                      "Replicating " + kind + " step " + std::to_string(step) + " of " +
                          std::to_string(steps));
            SetInt(details.Get(), "stepIndex", step);
            SetInt(details.Get(), "numSteps", steps);
            NotifyAll(progress, details.Get());
        }
        if (interval > 0)
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(interval));
        }
    }
    std::lock_guard<std::mutex> lock(mMutex);
    mReplicationRunning = false;
    NotifyAll(stopped, nullptr);
    return CoreErrorCodes::kSuccess;
}

// --- Previews -----------------------------------------------------------------------------------

TErrorCode GTypeholdEngine::GetRenderedPNGsDirectory(GClientInfo&, CFDictionaryRef,
                                                     CFMutableDictionaryRef reply)
{
    SetString(reply, "path", FilePath("previews"));
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::RenderFontNamePreviewPNGs(GClientInfo& client, CFDictionaryRef args,
                                                      CFMutableDictionaryRef)
{
    std::vector<TUInt32> ids = IDs(args, "high");
    for (const TUInt32 id : IDs(args, "ids"))
    {
        if (std::find(ids.begin(), ids.end(), id) == ids.end())
        {
            ids.push_back(id);
        }
    }
    const std::string folder = FilePath("previews");
    if (!CreateFolders(folder))
    {
        return GFileSystem::kDirectoryNotFound;
    }
    const std::string size = std::to_string(MessageInt(args, "pointSize")) + "pt";
    const bool doubleResolution = MessageBool(args, "double");
    const std::string png(reinterpret_cast<const char*>(kPlaceholderPNG), sizeof(kPlaceholderPNG));
    GCFHolder<CFMutableDictionaryRef> images(CreateMutableDictionary());
    for (const TUInt32 id : ids)
    {
        if (FindFont(id) == nullptr)
        {
            continue;
        }
        GCFHolder<CFMutableDictionaryRef> files(CreateMutableDictionary());
        const std::string name = JoinPath(folder, std::to_string(id) + "-" + size);
        std::string error;
        if (WriteFileAtomically(name + ".png", png, error))
        {
            SetString(files.Get(), "pngFilename", name + ".png");
        }
        if (doubleResolution && WriteFileAtomically(name + "@2x.png", png, error))
        {
            SetString(files.Get(), "2xPNGFilename", name + "@2x.png");
        }
        GCFHolder<CFNumberRef> key(CreateNumber(id));
        CFDictionarySetValue(images.Get(), key.Get(), files.Get());
    }
    NotifyAll(kLPINotifyPreviewPNGsRendered, images.Get(), &client.key);
    return CoreErrorCodes::kSuccess;
}

// --- Smart lists --------------------------------------------------------------------------------

GTypeholdEngine::GSmartList* GTypeholdEngine::FindSmartList(TSInt32 id)
{
    for (GSmartList& list : mSmartLists)
    {
        if (list.id == id)
        {
            return &list;
        }
    }
    return nullptr;
}

std::vector<const GTypeholdEngine::GFontEntry*>
GTypeholdEngine::SmartListFonts(const std::vector<TSInt32>& workgroups, const std::vector<TSInt32>& sets,
                                const std::vector<TSInt32>& smartSets, int depth) const
{
    // Fonts of the workgroups (all when none) that are in one of the sets and in one of the smart
    // sets, each condition applying only when given.
    std::set<TUInt32> inSets;
    for (const GFontSet& set : mSets)
    {
        if (std::find(sets.begin(), sets.end(), set.id) != sets.end())
        {
            inSets.insert(set.fonts.begin(), set.fonts.end());
        }
    }
    std::set<TUInt32> inSmartSets;
    for (const GSmartList& list : mSmartLists)
    {
        if (depth < 8 && std::find(smartSets.begin(), smartSets.end(), list.id) != smartSets.end())
        {
            for (const GFontEntry* font :
                 SmartListFonts(list.workgroups, list.sets, list.smartSets, depth + 1))
            {
                inSmartSets.insert(font->ID());
            }
        }
    }
    std::vector<const GFontEntry*> fonts;
    for (const GFontEntry& font : mFonts)
    {
        if (InWorkgroups(font, workgroups) && (sets.empty() || inSets.count(font.ID()) != 0) &&
            (smartSets.empty() || inSmartSets.count(font.ID()) != 0))
        {
            fonts.push_back(&font);
        }
    }
    return fonts;
}

TErrorCode GTypeholdEngine::CreateSmartList(GClientInfo&, CFDictionaryRef args, CFMutableDictionaryRef reply)
{
    GSmartList list;
    list.name = MessageString(args, "name");
    if (list.name.empty())
    {
        return CoreErrorCodes::kInvalidParam;
    }
    list.workgroups = Workgroups(args, "workgroupIDs");
    list.sets = Workgroups(args, "setIDs");
    list.smartSets = Workgroups(args, "smartSetIDs");
    list.id = mNextSmartListID++;
    mSmartLists.push_back(list);
    SaveState();
    SetInt(reply, "smartListID", list.id);
    NotifyAll(kLPINotifySmartListsChanged, nullptr);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::RenameSmartList(GClientInfo&, CFDictionaryRef args, CFMutableDictionaryRef)
{
    GSmartList* list = FindSmartList(static_cast<TSInt32>(MessageInt(args, "smartListID")));
    const std::string name = MessageString(args, "name");
    if (list == nullptr)
    {
        return CoreErrorCodes::kNotFound;
    }
    if (name.empty())
    {
        return CoreErrorCodes::kInvalidParam;
    }
    list->name = name;
    SaveState();
    NotifyAll(kLPINotifySmartListsChanged, nullptr);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::DeleteSmartList(GClientInfo&, CFDictionaryRef args, CFMutableDictionaryRef)
{
    const TSInt32 id = static_cast<TSInt32>(MessageInt(args, "smartListID"));
    const auto found = std::find_if(mSmartLists.begin(), mSmartLists.end(),
                                    [id](const GSmartList& list) { return list.id == id; });
    if (found == mSmartLists.end())
    {
        return CoreErrorCodes::kNotFound;
    }
    mSmartLists.erase(found);
    SaveState();
    NotifyAll(kLPINotifySmartListsChanged, nullptr);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::GetSmartList(GClientInfo&, CFDictionaryRef args, CFMutableDictionaryRef reply)
{
    const GSmartList* list = FindSmartList(static_cast<TSInt32>(MessageInt(args, "smartListID")));
    if (list == nullptr)
    {
        return CoreErrorCodes::kNotFound;
    }
    GCFHolder<CFMutableDictionaryRef> record(CreateMutableDictionary());
    SetString(record.Get(), "smartListName", list->name);
    SetInts(record.Get(), "workgroupIDs", list->workgroups);
    SetInts(record.Get(), "setIDs", list->sets);
    SetInts(record.Get(), "smartSetIDs", list->smartSets);
    SetValue(reply, "smartList", record.Get());
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::GetPanelSmartListTree(GClientInfo&, CFDictionaryRef args,
                                                  CFMutableDictionaryRef reply)
{
    const GSmartList* list = FindSmartList(static_cast<TSInt32>(MessageInt(args, "smartListID")));
    if (list == nullptr)
    {
        return CoreErrorCodes::kNotFound;
    }
    auto join = [](const std::vector<TSInt32>& values)
    {
        std::string text;
        for (const TSInt32 value : values)
        {
            text += (text.empty() ? "" : ",") + std::to_string(value);
        }
        return text;
    };
    SetString(reply, "tree",
              "<smartList name=\"" + list->name + "\">\n<workgroups>" + join(list->workgroups) +
                  "</workgroups>\n<sets>" + join(list->sets) + "</sets>\n<smartSets>" +
                  join(list->smartSets) + "</smartSets>\n</smartList>");
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::QueryForSmartListFonts(GClientInfo&, CFDictionaryRef args,
                                                   CFMutableDictionaryRef reply)
{
    std::vector<TUInt32> ids;
    for (const GFontEntry* font : SmartListFonts(Workgroups(args, "workgroupIDs"), Workgroups(args, "setIDs"),
                                                 Workgroups(args, "smartSetIDs"), 0))
    {
        ids.push_back(font->ID());
    }
    SetInts(reply, "ids", ids);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::GetAllSmartLists(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef reply)
{
    GCFHolder<CFMutableArrayRef> lists(CreateMutableArray());
    for (const GSmartList& list : mSmartLists)
    {
        GCFHolder<CFMutableDictionaryRef> record(CreateMutableDictionary());
        SetInt(record.Get(), "smartListID", list.id);
        SetString(record.Get(), "smartListName", list.name);
        CFArrayAppendValue(lists.Get(), record.Get());
    }
    SetValue(reply, "smartLists", lists.Get());
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::SetSmartListQuery(GClientInfo&, CFDictionaryRef args, CFMutableDictionaryRef)
{
    GSmartList* list = FindSmartList(static_cast<TSInt32>(MessageInt(args, "smartListID")));
    if (list == nullptr)
    {
        return CoreErrorCodes::kNotFound;
    }
    list->workgroups = Workgroups(args, "workgroupIDs");
    list->sets = Workgroups(args, "setIDs");
    list->smartSets = Workgroups(args, "smartSetIDs");
    SaveState();
    NotifyAll(kLPINotifySmartListsChanged, nullptr);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::GetSmartListFonts(GClientInfo&, CFDictionaryRef args,
                                              CFMutableDictionaryRef reply)
{
    const GSmartList* list = FindSmartList(static_cast<TSInt32>(MessageInt(args, "smartListID")));
    if (list == nullptr)
    {
        return CoreErrorCodes::kNotFound;
    }
    GCFHolder<CFMutableArrayRef> records(CreateMutableArray());
    for (const GFontEntry* font : SmartListFonts(list->workgroups, list->sets, list->smartSets, 0))
    {
        GCFHolder<CFMutableDictionaryRef> record(CreateSmartListFontRecord(*font));
        CFArrayAppendValue(records.Get(), record.Get());
    }
    SetValue(reply, "fonts", records.Get());
    return CoreErrorCodes::kSuccess;
}

// --- Control ------------------------------------------------------------------------------------

TErrorCode GTypeholdEngine::EmitNotifications(GClientInfo& client, CFDictionaryRef args,
                                              CFMutableDictionaryRef reply)
{
    const TUInt32 type = static_cast<TUInt32>(MessageInt(args, "type"));
    const std::int64_t count = std::clamp<std::int64_t>(MessageInt(args, "count", 1), 0, 10000000);
    const std::int64_t first = MessageInt(args, "first", 1);
    LogLine(GLogger::kInfo, "%s emits %u test notifications of type %u", client.key.c_str(),
            static_cast<unsigned>(count), type);
    for (std::int64_t i = 0; i < count; ++i)
    {
        const std::int64_t value = first + i;
        GCFHolder<CFTypeRef> payload;
        switch (type)
        {
        case kLPINotifyFontActivated:
        case kLPINotifyFontDeactivated:
        case kLPINotifyFontMissing:
        case kLPINotifyDesignActivationNonCompliant:
            payload.Reset(CreateNumber(value));
            break;
        case kLPINotifyOnlineStateChanged:
        case kLPINotifyGoogleWebFontsEnabled:
            payload.Reset(CFRetain((value & 1) != 0 ? kCFBooleanTrue : kCFBooleanFalse));
            break;
        case kLPINotifyLoggedInStateChanged:
        case kLPINotifyGoogleReplicationProgress:
        case kLPINotifyBulkReplicationProgress:
        case kLPINotifyIncrementalReplicationProgress:
        case kLPINotifyFontServerReplicationProgress:
        {
            CFMutableDictionaryRef details = CreateMutableDictionary();
            if (type == kLPINotifyLoggedInStateChanged)
            {
                SetBool(details, "isLoggedIn", mConfig.loggedIn);
                SetInt(details, "serverType", mConfig.serverType);
            }
            SetString(details, "text", "Test notification " + std::to_string(value));
            SetInt(details, "stepIndex", value);
            SetInt(details, "numSteps", first + count - 1);
            payload.Reset(details);
            break;
        }
        case kLPINotifyPreviewPNGsRendered:
        {
            CFMutableDictionaryRef images = CreateMutableDictionary();
            GCFHolder<CFNumberRef> key(CreateNumber(value));
            GCFHolder<CFMutableDictionaryRef> files(CreateMutableDictionary());
            CFDictionarySetValue(images, key.Get(), files.Get());
            payload.Reset(images);
            break;
        }
        default:
            break;
        }
        NotifyAll(type, payload.Get());
    }
    SetInt(reply, "count", count);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::DumpState(GClientInfo&, CFDictionaryRef, CFMutableDictionaryRef reply)
{
    GCFHolder<CFMutableDictionaryRef> state(CFDictionaryCreateMutableCopy(
        kCFAllocatorDefault, 0, GCFHolder<CFDictionaryRef>(CreateStateDictionary()).Get()));
    GCFHolder<CFMutableArrayRef> fonts(CreateMutableArray());
    for (const GFontEntry& font : mFonts)
    {
        GCFHolder<CFMutableDictionaryRef> record(CreateMutableDictionary());
        SetInt(record.Get(), kKeyDatabaseID, font.ID());
        SetString(record.Get(), kKeyPostScriptName, font.Face().postScriptName);
        SetString(record.Get(), kKeyVersion, font.Face().version);
        SetInt(record.Get(), kKeyActivationStatus, RawStatus(font));
        SetInt(record.Get(), kKeyWorkgroupID, font.workgroupID);
        SetString(record.Get(), "Path", font.Face().filePath);
        CFArrayAppendValue(fonts.Get(), record.Get());
    }
    SetValue(state.Get(), "fonts", fonts.Get());
    GCFHolder<CFMutableArrayRef> problems(CreateMutableArray());
    for (const std::string& problem : mCatalog->Problems())
    {
        GCFHolder<CFStringRef> text(CreateString(problem));
        CFArrayAppendValue(problems.Get(), text.Get());
    }
    SetValue(state.Get(), "skippedFiles", problems.Get());
    SetString(state.Get(), "configFolder", mConfigFolder);
    SetValue(reply, "state", state.Get());
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::Exit(GClientInfo& client, CFDictionaryRef, CFMutableDictionaryRef)
{
    // The transport ends the process once the reply is on its way.
    LogLine(GLogger::kInfo, "Exit requested by %s", client.key.c_str());
    return CoreErrorCodes::kSuccess;
}
} // namespace typehold
