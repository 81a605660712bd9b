// The requests of the interface library's entry points and of the control tool. Every handler
// runs with the engine's lock held (except replication, which sleeps between its steps); previews
// and the web fonts copy are handed to the engine's own threads and reported by notifications.

#include "GFileSystem.h"
#include "GTaskThread.h"
#include "GTypeholdEngine.h"
#include "GTypeholdEngineInternal.h"
#include "GTypeholdFiles.h"
#include "LumorandPluginInterface.h"
#include "TypeholdMessage.h"
#include "TypeholdProtocol.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
#include <thread>

namespace typehold
{
namespace
{
// Panel clicks kept in the state: the latest ones.
constexpr std::size_t kMaxPanelClicks = 1000;

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
        {protocol::kOpCreateSmartSet, &GTypeholdEngine::CreateSmartSet},
        {protocol::kOpSetSessionState, &GTypeholdEngine::SetSessionState},
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
    GPanelClick click;
    click.fontID = font->ID();
    click.postScriptName = font->Face().postScriptName;
    click.version = MessageString(args, "version");
    click.client = client.key;
    click.time = static_cast<TSInt64>(std::time(nullptr));
    LogLine(GLogger::kInfo, "Panel click on font %u (%s, version '%s') by %s", click.fontID,
            click.postScriptName.c_str(), click.version.c_str(), click.client.c_str());
    mPanelClicks.push_back(click);
    if (mPanelClicks.size() > kMaxPanelClicks)
    {
        mPanelClicks.erase(mPanelClicks.begin(),
                           mPanelClicks.begin() +
                               static_cast<std::ptrdiff_t>(mPanelClicks.size() - kMaxPanelClicks));
    }
    SaveState();
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

// Copies the fonts' files into the folder (created when needed) and writes the report
// protocol::kCollectReportName beside them: a line per font asked for, copied or not and why. Fonts whose
// workgroup does not allow export and IDs the catalog does not know are left out; when no font may
// be copied nothing is written and the request is refused. A file holding several of the fonts (a
// collection) is copied once; another file of the same name gets " (2)", " (3)"... before its
// extension. The result is success only when every font was copied.
TErrorCode GTypeholdEngine::ExportFonts(GClientInfo&, CFDictionaryRef args, CFMutableDictionaryRef)
{
    const std::string folder = MessageString(args, "folder");
    const std::vector<TUInt32> ids = IDs(args, "ids");
    if (folder.empty() || ids.empty())
    {
        return CoreErrorCodes::kInvalidParam;
    }
    struct Outcome
    {
        TUInt32 id = 0;
        const GFontEntry* font = nullptr;
        std::string copiedAs; // the file name in the folder, when copied
        std::string reason;   // why not, otherwise
    };
    std::vector<Outcome> outcomes;
    TErrorCode result = CoreErrorCodes::kSuccess;
    bool anyExportable = false;
    for (const TUInt32 id : ids)
    {
        Outcome outcome;
        outcome.id = id;
        outcome.font = FindFont(id);
        if (outcome.font == nullptr)
        {
            outcome.reason = "not in the catalog";
            result = CoreErrorCodes::kNotFound;
        }
        else if (!outcome.font->canExport)
        {
            outcome.reason = "its workgroup \"" + outcome.font->workgroupName + "\" does not allow export";
            result = CoreErrorCodes::kNotSupported;
        }
        else
        {
            anyExportable = true;
        }
        outcomes.push_back(outcome);
    }
    if (!anyExportable)
    {
        LogLine(GLogger::kWarning, "Export to %s refused: none of the %u fonts may be exported",
                folder.c_str(), static_cast<unsigned>(ids.size()));
        return result;
    }
    if (!CreateFolders(folder))
    {
        LogLine(GLogger::kWarning, "Export folder '%s' cannot be created", folder.c_str());
        return GFileSystem::kDirectoryNotFound;
    }
    std::map<std::string, std::string> sourceOfName; // file name in the folder -> source file
    unsigned copied = 0;
    for (Outcome& outcome : outcomes)
    {
        if (outcome.font == nullptr || !outcome.font->canExport)
        {
            continue;
        }
        const FontFace& face = outcome.font->Face();
        std::string name = face.fileName;
        for (int n = 2; sourceOfName.count(name) != 0 && sourceOfName[name] != face.filePath; ++n)
        {
            const std::size_t dot = face.fileName.rfind('.');
            const std::string stem = dot == std::string::npos ? face.fileName : face.fileName.substr(0, dot);
            const std::string extension = dot == std::string::npos ? "" : face.fileName.substr(dot);
            name = stem + " (" + std::to_string(n) + ")" + extension;
        }
        std::string error;
        if (sourceOfName.count(name) == 0 && !CopyFileReplacing(face.filePath, JoinPath(folder, name), error))
        {
            LogLine(GLogger::kError, "Export of %s failed: %s", face.filePath.c_str(), error.c_str());
            outcome.reason = "could not copy " + face.filePath + ": " + error;
            result = CoreErrorCodes::kError;
            continue;
        }
        sourceOfName[name] = face.filePath;
        outcome.copiedAs = name;
        ++copied;
    }
    std::string report =
        "Fonts collected: " + std::to_string(copied) + " of " + std::to_string(ids.size()) + "\n";
    for (const Outcome& outcome : outcomes)
    {
        const std::string font = outcome.font != nullptr ? outcome.font->Face().postScriptName
                                                         : "font " + std::to_string(outcome.id);
        report += outcome.copiedAs.empty() ? "not copied\t" + font + "\t" + outcome.reason + "\n"
                                           : "copied\t" + font + "\t" + outcome.copiedAs + "\n";
    }
    std::string error;
    if (!WriteFileAtomically(JoinPath(folder, protocol::kCollectReportName), report, error))
    {
        LogLine(GLogger::kError, "The export report in %s could not be written: %s", folder.c_str(),
                error.c_str());
        result = result == CoreErrorCodes::kSuccess ? CoreErrorCodes::kError : result;
    }
    LogLine(GLogger::kInfo, "%u of %u fonts exported to %s", copied, static_cast<unsigned>(ids.size()),
            folder.c_str());
    return result;
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
    // typehold-ctl may release every client's hold, as the user does in the font manager's window.
    const bool everyone =
        MessageBool(args, "everyone") && client.key.rfind(protocol::kControlClientPrefix, 0) == 0;
    for (const TUInt32 id : IDs(args, "ids"))
    {
        const auto held = mHolds.find(id);
        if (held != mHolds.end())
        {
            if (everyone)
            {
                held->second.clear();
            }
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

TSInt32 GTypeholdEngine::ConflictID(const GFontEntry& font) const
{
    // The fonts of one PostScript name in more than one workgroup conflict; they share the ID of
    // the oldest of them as their conflict ID.
    bool elsewhere = false;
    TUInt32 oldest = font.ID();
    for (const CatalogFont* other : mCatalog->FindByPostScriptName(font.Face().postScriptName))
    {
        const GFontEntry* entry = FindFont(other->databaseID);
        if (entry != nullptr)
        {
            elsewhere = elsewhere || entry->workgroupID != font.workgroupID;
            oldest = std::min(oldest, entry->ID());
        }
    }
    return elsewhere ? static_cast<TSInt32>(oldest) : 0;
}

TErrorCode GTypeholdEngine::GetFontConflicts(GClientInfo&, CFDictionaryRef args, CFMutableDictionaryRef reply)
{
    std::vector<TSInt32> conflicts;
    for (const TUInt32 id : IDs(args, "ids"))
    {
        const GFontEntry* font = FindFont(id);
        conflicts.push_back(font != nullptr ? ConflictID(*font) : 0);
    }
    SetInts(reply, "conflicts", conflicts);
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

TErrorCode GTypeholdEngine::SetGoogleWebFontsEnabled(GClientInfo& client, CFDictionaryRef args,
                                                     CFMutableDictionaryRef)
{
    if (!mConfig.canAccessGoogleFonts)
    {
        return CoreErrorCodes::kNotSupported;
    }
    ChangeGoogleWebFontsEnabled(MessageBool(args, "enabled"), client.key.c_str());
    return CoreErrorCodes::kSuccess;
}

void GTypeholdEngine::ChangeGoogleWebFontsEnabled(bool enabled, const char* by)
{
    if (enabled == mGoogleWebFontsEnabled)
    {
        return;
    }
    mGoogleWebFontsEnabled = enabled;
    SaveState();
    LogLine(GLogger::kInfo, "Google web fonts now %s (%s)", enabled ? "enabled" : "disabled", by);
    NotifyAll(kLPINotifyGoogleWebFontsEnabled, enabled ? kCFBooleanTrue : kCFBooleanFalse);
    if (enabled)
    {
        QueueGoogleReplication();
    }
}

void GTypeholdEngine::QueueGoogleReplication()
{
    if (mConfig.googleFontsFolder.empty() || mGoogleReplicationQueued)
    {
        return;
    }
    mGoogleReplicationQueued = true;
    mReplicationThread->Post([this] { RunGoogleReplication(); });
}

namespace
{
bool IsFontFileName(const std::string& name)
{
    std::string extension =
        name.substr(name.find_last_of('.') == std::string::npos ? name.size() : name.find_last_of('.'));
    for (char& c : extension)
    {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return extension == ".ttf" || extension == ".otf" || extension == ".ttc";
}

// The font files of a folder and its subfolders, by name (the first of equal names), in name order.
std::map<std::string, std::string> FontFilesIn(const std::string& folder)
{
    std::map<std::string, std::string> files;
    std::error_code code;
    std::filesystem::recursive_directory_iterator entry(
        PathFromUTF8(folder), std::filesystem::directory_options::skip_permission_denied, code);
    const std::filesystem::recursive_directory_iterator end;
    while (!code && entry != end)
    {
        const std::string name = UTF8FromPath(entry->path().filename());
        if (entry->is_regular_file(code) && IsFontFileName(name))
        {
            files.emplace(name, UTF8FromPath(entry->path()));
        }
        entry.increment(code);
    }
    return files;
}
} // namespace

void GTypeholdEngine::RunGoogleReplication()
{
    std::string source;
    TUInt32 stepDelay = 0;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        source = mConfig.googleFontsFolder;
        stepDelay = mConfig.googleStepDelayMs;
        mReplicationRunning = true;
    }
    const std::string library = GoogleLibraryFolder();
    const std::map<std::string, std::string> files = FontFilesIn(source);
    if (!FolderExists(source))
    {
        LogLine(GLogger::kWarning, "The Google web fonts folder %s cannot be read", source.c_str());
    }
    if (!CreateFolders(library))
    {
        LogLine(GLogger::kError, "The Google Fonts library folder %s cannot be created", library.c_str());
    }
    LogLine(GLogger::kInfo, "Google web fonts replication: %u font files from %s into %s",
            static_cast<unsigned>(files.size()), source.c_str(), library.c_str());
    const std::int64_t steps = static_cast<std::int64_t>(files.size());
    std::int64_t step = 0;
    for (const auto& [name, path] : files)
    {
        ++step;
        std::string error;
        if (!CopyFileReplacing(path, JoinPath(library, name), error))
        {
            LogLine(GLogger::kError, "Google web font %s was not copied: %s", path.c_str(), error.c_str());
        }
        {
            std::lock_guard<std::mutex> lock(mMutex);
            GCFHolder<CFMutableDictionaryRef> details(CreateMutableDictionary());
            SetString(details.Get(), "text",
                      "Copying " + name + " (" + std::to_string(step) + " of " + std::to_string(steps) + ")");
            SetInt(details.Get(), "stepIndex", step);
            SetInt(details.Get(), "numSteps", steps);
            NotifyAll(kLPINotifyGoogleReplicationProgress, details.Get());
        }
        if (stepDelay > 0)
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(stepDelay));
        }
    }
    // Fonts the web fonts folder no longer has leave the library.
    for (const auto& [name, path] : FontFilesIn(library))
    {
        std::error_code code;
        if (files.count(name) == 0 && std::filesystem::remove(PathFromUTF8(path), code))
        {
            LogLine(GLogger::kInfo, "Google web font %s removed from the library", name.c_str());
        }
    }
    // The catalog is read without the lock, like at start-up.
    std::unique_ptr<FontCatalog> catalog = BuildCatalog(ConfigCopy());
    std::lock_guard<std::mutex> lock(mMutex);
    const std::set<TUInt32> before = ActiveFontIDs();
    InstallCatalog(std::move(catalog));
    ActivationsChanged(before);
    mReplicationRunning = false;
    mGoogleReplicationQueued = false;
    LogLine(GLogger::kInfo, "Google web fonts replication done: %u fonts in the catalog",
            static_cast<unsigned>(mFonts.size()));
    NotifyAll(kLPINotifyPanelDataChanged, nullptr);
    NotifyAll(kLPINotifyGoogleReplicationStopped, nullptr);
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
        // With a web fonts folder, the real copy (the caller waits for it).
        bool hasFolder = false;
        bool running = false;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            hasFolder = !mConfig.googleFontsFolder.empty();
            running = mGoogleReplicationQueued;
            mGoogleReplicationQueued = mGoogleReplicationQueued || hasFolder;
        }
        if (hasFolder)
        {
            if (running)
            {
                LogLine(GLogger::kWarning, "A Google web fonts replication is already under way");
                return CoreErrorCodes::kItemAlreadyExists;
            }
            RunGoogleReplication();
            return CoreErrorCodes::kSuccess;
        }
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
//
// A request is answered at once; the images are drawn on the preview thread, the high-priority
// fonts first. Each batch (the high-priority fonts, then the others) is notified to the client
// that asked once its images are written: notification 17 with a dictionary whose keys are font
// IDs (numbers) and whose values are {"pngFilename", "2xPNGFilename"} (the second only with
// double resolution). Fonts the core does not know are skipped (logged); a batch without any
// image sends nothing.

TErrorCode GTypeholdEngine::GetRenderedPNGsDirectory(GClientInfo&, CFDictionaryRef,
                                                     CFMutableDictionaryRef reply)
{
    SetString(reply, "path", FilePath("previews"));
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::RenderFontNamePreviewPNGs(GClientInfo& client, CFDictionaryRef args,
                                                      CFMutableDictionaryRef)
{
    if (mPreviewRenderer == nullptr)
    {
        LogLine(GLogger::kWarning, "Previews cannot be rendered: this core has no renderer");
        return CoreErrorCodes::kNotSupported;
    }
    const std::int64_t pointSize = MessageInt(args, "pointSize");
    const std::int64_t width = MessageInt(args, "width");
    const std::int64_t height = MessageInt(args, "height");
    if (pointSize < 1 || pointSize > 500 || width < 1 || width > 4000 || height < 1 || height > 1000)
    {
        return CoreErrorCodes::kInvalidParam;
    }
    const std::string folder = FilePath("previews");
    if (!CreateFolders(folder))
    {
        return GFileSystem::kDirectoryNotFound;
    }
    const std::string size =
        std::to_string(pointSize) + "pt-" + std::to_string(width) + "x" + std::to_string(height);
    std::vector<GPreviewBatch> batches(2);
    std::set<TUInt32> seen;
    unsigned skipped = 0;
    for (GPreviewBatch& batch : batches)
    {
        batch.doubleResolution = MessageBool(args, "double");
        for (const TUInt32 id : IDs(args, &batch == &batches.front() ? "high" : "ids"))
        {
            if (!seen.insert(id).second)
            {
                continue;
            }
            const GFontEntry* font = FindFont(id);
            if (font == nullptr)
            {
                LogLine(GLogger::kWarning, "Preview of font %u skipped: no such font", id);
                ++skipped;
                continue;
            }
            const FontFace& face = font->Face();
            GPreviewImage image;
            image.fontFile = face.filePath;
            image.faceIndex = face.faceIndex;
            image.family = face.family;
            image.style = face.style;
            image.fullName = face.fullName;
            image.text = face.fullName.empty() ? face.postScriptName : face.fullName;
            image.pointSize = static_cast<TSInt32>(pointSize);
            image.width = static_cast<TSInt32>(width);
            image.height = static_cast<TSInt32>(height);
            image.pngPath = JoinPath(folder, std::to_string(id) + "-" + size + ".png");
            batch.images.emplace_back(id, image);
        }
    }
    LogLine(GLogger::kInfo, "Previews for %s: %u high-priority fonts, %u others, %u skipped",
            client.key.c_str(), static_cast<unsigned>(batches[0].images.size()),
            static_cast<unsigned>(batches[1].images.size()), skipped);
    mPreviewThread->Post([this, key = client.key, batches] { RenderPreviews(key, batches); });
    return CoreErrorCodes::kSuccess;
}

void GTypeholdEngine::RenderPreviews(const std::string& client, const std::vector<GPreviewBatch>& batches)
{
    GPreviewRenderer* renderer = nullptr;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        renderer = mPreviewRenderer;
    }
    for (const GPreviewBatch& batch : batches)
    {
        GCFHolder<CFMutableDictionaryRef> images(CreateMutableDictionary());
        for (const auto& [id, image] : batch.images)
        {
            std::string error;
            if (!renderer->Render(image, error))
            {
                LogLine(GLogger::kError, "Preview of font %u (%s) not rendered: %s", id,
                        image.fontFile.c_str(), error.c_str());
                continue;
            }
            GCFHolder<CFMutableDictionaryRef> files(CreateMutableDictionary());
            SetString(files.Get(), "pngFilename", image.pngPath);
            if (batch.doubleResolution)
            {
                GPreviewImage twice = image;
                twice.scale = 2;
                twice.pngPath = image.pngPath.substr(0, image.pngPath.size() - 4) + "@2x.png";
                if (!renderer->Render(twice, error))
                {
                    LogLine(GLogger::kError, "Double-resolution preview of font %u not rendered: %s", id,
                            error.c_str());
                    continue;
                }
                SetString(files.Get(), "2xPNGFilename", twice.pngPath);
            }
            GCFHolder<CFNumberRef> key(CreateNumber(id));
            CFDictionarySetValue(images.Get(), key.Get(), files.Get());
        }
        if (CFDictionaryGetCount(images.Get()) > 0)
        {
            std::lock_guard<std::mutex> lock(mMutex);
            LogLine(GLogger::kInfo, "Previews rendered for %s: %ld fonts", client.c_str(),
                    static_cast<long>(CFDictionaryGetCount(images.Get())));
            NotifyAll(kLPINotifyPreviewPNGsRendered, images.Get(), &client);
        }
    }
}

// --- Sets and smart sets ------------------------------------------------------------------------

const GTypeholdEngine::GFontSet* GTypeholdEngine::FindSet(TSInt32 id) const
{
    const auto found =
        std::find_if(mSets.begin(), mSets.end(), [id](const GFontSet& set) { return set.id == id; });
    return found == mSets.end() ? nullptr : &*found;
}

const GTypeholdEngine::GSmartSet* GTypeholdEngine::FindSmartSet(TSInt32 id) const
{
    const auto found = std::find_if(mSmartSets.begin(), mSmartSets.end(),
                                    [id](const GSmartSet& smartSet) { return smartSet.id == id; });
    return found == mSmartSets.end() ? nullptr : &*found;
}

bool GTypeholdEngine::InSmartSet(const GFontEntry& font, const GSmartSet& smartSet) const
{
    if (smartSet.workgroupID != 0 && smartSet.workgroupID != font.workgroupID)
    {
        return false;
    }
    return std::any_of(smartSet.patterns.begin(), smartSet.patterns.end(),
                       [&font](const std::string& pattern)
                       { return MatchesPattern(font.Face().postScriptName, pattern); });
}

TErrorCode GTypeholdEngine::CreateSmartSet(GClientInfo& client, CFDictionaryRef args,
                                           CFMutableDictionaryRef reply)
{
    GSmartSet smartSet;
    smartSet.name = MessageString(args, "name");
    smartSet.workgroupID = static_cast<TSInt32>(MessageInt(args, "workgroup"));
    CFArrayRef patterns = MessageArray(args, "patterns");
    for (CFIndex i = 0; patterns != nullptr && i < CFArrayGetCount(patterns); ++i)
    {
        const std::string pattern = StringValue(CFArrayGetValueAtIndex(patterns, i));
        if (!pattern.empty())
        {
            smartSet.patterns.push_back(pattern);
        }
    }
    if (smartSet.name.empty() || smartSet.patterns.empty())
    {
        return CoreErrorCodes::kInvalidParam;
    }
    if (smartSet.workgroupID != 0 && FindWorkgroup(smartSet.workgroupID) == nullptr)
    {
        return CoreErrorCodes::kNotFound;
    }
    smartSet.id = mNextSmartSetID++;
    mSmartSets.push_back(smartSet);
    SaveState();
    SetInt(reply, "smartSetID", smartSet.id);
    LogLine(GLogger::kInfo, "Smart set %d \"%s\" created by %s", smartSet.id, smartSet.name.c_str(),
            client.key.c_str());
    NotifyAll(kLPINotifyPanelDataChanged, nullptr);
    return CoreErrorCodes::kSuccess;
}

// --- Smart lists --------------------------------------------------------------------------------
//
// A smart list's query names workgroups, sets and smart sets. A font is selected when it is in
// any of them: in one of the workgroups (0 or -2 stands for every workgroup), in one of the sets
// or matched by one of the smart sets. A kind with an empty list selects nothing, so an empty
// query selects no font; IDs the core does not know select nothing either. The fonts come in the
// panel's order: by display name (ASCII letters without case), then by font ID.

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

namespace
{
std::string LowerASCII(std::string text)
{
    for (char& c : text)
    {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return text;
}

std::string DisplayNameOf(const FontFace& face)
{
    return face.fullName.empty() ? face.postScriptName : face.fullName;
}
} // namespace

std::vector<const GTypeholdEngine::GFontEntry*>
GTypeholdEngine::SmartListFonts(const std::vector<TSInt32>& workgroups, const std::vector<TSInt32>& sets,
                                const std::vector<TSInt32>& smartSets) const
{
    std::set<TUInt32> inSets;
    for (const TSInt32 id : sets)
    {
        if (const GFontSet* set = FindSet(id))
        {
            inSets.insert(set->fonts.begin(), set->fonts.end());
        }
    }
    std::vector<const GSmartSet*> rules;
    for (const TSInt32 id : smartSets)
    {
        if (const GSmartSet* smartSet = FindSmartSet(id))
        {
            rules.push_back(smartSet);
        }
    }
    std::vector<const GFontEntry*> fonts;
    for (const GFontEntry& font : mFonts)
    {
        if ((!workgroups.empty() && InWorkgroups(font, workgroups)) || inSets.count(font.ID()) != 0 ||
            std::any_of(rules.begin(), rules.end(),
                        [this, &font](const GSmartSet* rule) { return InSmartSet(font, *rule); }))
        {
            fonts.push_back(&font);
        }
    }
    std::vector<std::pair<std::string, const GFontEntry*>> keyed;
    for (const GFontEntry* font : fonts)
    {
        keyed.emplace_back(LowerASCII(DisplayNameOf(font->Face())), font);
    }
    std::sort(keyed.begin(), keyed.end(),
              [](const auto& a, const auto& b)
              { return a.first != b.first ? a.first < b.first : a.second->ID() < b.second->ID(); });
    for (std::size_t i = 0; i < keyed.size(); ++i)
    {
        fonts[i] = keyed[i].second;
    }
    return fonts;
}

// The tree text: one line for the list, then one line per member of its query, indented by two
// spaces, workgroups first, then sets, then smart sets, each in the query's order:
//   smart list 3 "Posters": any of
//     workgroup 1 "Font Library"
//     workgroup 0 (all workgroups)
//     set 2 "Poster fonts" (2 fonts)
//     smart set 1 "Garamonds" (PostScript name EBGaramond* or Caladea-*, in all workgroups)
//     set 9 (unknown)
// A list with an empty query ends its first line with "nothing" instead of "any of", and has no
// other line. Lines end with LF.
std::string GTypeholdEngine::SmartListTree(const GSmartList& list) const
{
    const bool empty = list.workgroups.empty() && list.sets.empty() && list.smartSets.empty();
    std::string tree = "smart list " + std::to_string(list.id) + " \"" + list.name +
                       "\": " + (empty ? "nothing" : "any of") + "\n";
    for (const TSInt32 id : list.workgroups)
    {
        const GWorkgroupConfig* workgroup = FindWorkgroup(id);
        tree += "  workgroup " + std::to_string(id) +
                (id == 0 || id == -2    ? std::string(" (all workgroups)")
                 : workgroup != nullptr ? " \"" + workgroup->name + "\""
                                        : std::string(" (unknown)")) +
                "\n";
    }
    for (const TSInt32 id : list.sets)
    {
        const GFontSet* set = FindSet(id);
        tree += "  set " + std::to_string(id) +
                (set != nullptr ? " \"" + set->name + "\" (" + std::to_string(set->fonts.size()) + " fonts)"
                                : std::string(" (unknown)")) +
                "\n";
    }
    for (const TSInt32 id : list.smartSets)
    {
        const GSmartSet* smartSet = FindSmartSet(id);
        if (smartSet == nullptr)
        {
            tree += "  smart set " + std::to_string(id) + " (unknown)\n";
            continue;
        }
        std::string patterns;
        for (const std::string& pattern : smartSet->patterns)
        {
            patterns += (patterns.empty() ? "" : " or ") + pattern;
        }
        const GWorkgroupConfig* workgroup = FindWorkgroup(smartSet->workgroupID);
        tree += "  smart set " + std::to_string(id) + " \"" + smartSet->name + "\" (PostScript name " +
                patterns + ", in " +
                (smartSet->workgroupID == 0 ? std::string("all workgroups")
                 : workgroup != nullptr     ? "workgroup \"" + workgroup->name + "\""
                                            : "workgroup " + std::to_string(smartSet->workgroupID)) +
                ")\n";
    }
    return tree;
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
    LogLine(GLogger::kInfo, "Smart list %d \"%s\" created", list.id, list.name.c_str());
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
    SetString(reply, "tree", SmartListTree(*list));
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::QueryForSmartListFonts(GClientInfo&, CFDictionaryRef args,
                                                   CFMutableDictionaryRef reply)
{
    std::vector<TUInt32> ids;
    for (const GFontEntry* font : SmartListFonts(Workgroups(args, "workgroupIDs"), Workgroups(args, "setIDs"),
                                                 Workgroups(args, "smartSetIDs")))
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
    for (const GFontEntry* font : SmartListFonts(list->workgroups, list->sets, list->smartSets))
    {
        GCFHolder<CFMutableDictionaryRef> record(CreateSmartListFontRecord(*font));
        CFArrayAppendValue(records.Get(), record.Get());
    }
    SetValue(reply, "fonts", records.Get());
    return CoreErrorCodes::kSuccess;
}

// --- Session ------------------------------------------------------------------------------------

TErrorCode GTypeholdEngine::SetSessionState(GClientInfo& client, CFDictionaryRef args, CFMutableDictionaryRef)
{
    const std::string name = MessageString(args, "name");
    const bool value = MessageBool(args, "value");
    GCoreConfig after = mConfig;
    bool* setting = SessionSetting(after, name);
    if (setting == nullptr)
    {
        return CoreErrorCodes::kInvalidParam;
    }
    *setting = value;
    mSessionOverrides[name] = value;
    LogLine(GLogger::kInfo, "Session setting %s set to %d by %s", name.c_str(), value ? 1 : 0,
            client.key.c_str());
    const GCoreConfig before = mConfig;
    mConfig = after;
    NotifyConfigChanges(before, mConfig);
    SaveState();
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
