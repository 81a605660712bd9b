#include "FakePanelHost.h"

#include "GStringEncodings.h"

#include <filesystem>
#include <sstream>

namespace
{
FakePanelHost* sHost = nullptr;
FakeEventLibrary* sLibrary = nullptr;

std::string Join(const std::uint32_t* ids, std::uint32_t count)
{
    std::string text;
    for (std::uint32_t index = 0; index < count; ++index)
    {
        text += (index != 0 ? "," : "") + std::to_string(ids[index]);
    }
    return text;
}

std::string JoinSigned(const std::int32_t* ids, std::uint32_t count)
{
    if (ids == nullptr)
    {
        return count == 0 ? "none" : "null!";
    }
    std::string text;
    for (std::uint32_t index = 0; index < count; ++index)
    {
        text += (index != 0 ? "," : "") + std::to_string(ids[index]);
    }
    return "[" + text + "]";
}

void SetNumber(CFMutableDictionaryRef dictionary, const char* key, long long value)
{
    GCFRef<CFStringRef> cfKey(CreateCFStringFromUTF8String(key));
    GCFRef<CFNumberRef> number(CFNumberCreate(nullptr, kCFNumberLongLongType, &value));
    CFDictionarySetValue(dictionary, cfKey.Get(), number.Get());
}

void SetText(CFMutableDictionaryRef dictionary, const char* key, const std::string& value)
{
    GCFRef<CFStringRef> cfKey(CreateCFStringFromUTF8String(key));
    GCFRef<CFStringRef> text(CreateCFStringFromUTF8String(value));
    CFDictionarySetValue(dictionary, cfKey.Get(), text.Get());
}

GCFRef<CFMutableDictionaryRef> NewDictionary()
{
    return GCFRef<CFMutableDictionaryRef>(CFDictionaryCreateMutable(
        nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
}

void AppendNumber(CFMutableArrayRef array, long long value)
{
    GCFRef<CFNumberRef> number(CFNumberCreate(nullptr, kCFNumberLongLongType, &value));
    CFArrayAppendValue(array, number.Get());
}

void AppendNumbers(CFMutableDictionaryRef dictionary, const char* key, const std::vector<TSInt32>& values)
{
    GCFRef<CFMutableArrayRef> array(CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks));
    for (const TSInt32 value : values)
    {
        AppendNumber(array.Get(), value);
    }
    GCFRef<CFStringRef> cfKey(CreateCFStringFromUTF8String(key));
    CFDictionarySetValue(dictionary, cfKey.Get(), array.Get());
}

LPIResult Answer(const char* call, const std::string& details)
{
    FakePanelHost& host = FakePanelHost::Current();
    host.calls.push_back(std::string(call) + (details.empty() ? "" : " " + details));
    return host.failingCall == call ? 0x01000000 : 0;
}

std::vector<TSInt32> Vector(const std::int32_t* ids, std::uint32_t count)
{
    return ids != nullptr ? std::vector<TSInt32>(ids, ids + count) : std::vector<TSInt32>();
}

// The fonts a query selects: those of a listed workgroup (font ID / 1000 stands for it here).
void QueryFonts(const std::vector<TSInt32>& workgroups, CFMutableArrayRef out)
{
    for (const FakeFont& font : FakePanelHost::Current().fonts)
    {
        for (const TSInt32 workgroup : workgroups)
        {
            if (static_cast<TSInt32>(font.id / 1000) == workgroup)
            {
                AppendNumber(out, font.id);
            }
        }
    }
}

void InstallEntries(LPILoader& loader)
{
    loader.pfGetPluginFacadeInstance = []() -> LPIFacade { return reinterpret_cast<LPIFacade>(0x1234); };
    loader.pfCanAccessGoogleFonts = [](LPIFacade) -> std::uint32_t { return 1; };
    loader.pfGetRunningStandalone = [](LPIFacade, std::uint32_t* out)
    {
        *out = FakePanelHost::Current().standalone ? 1 : 0;
        return Answer("GetRunningStandalone", "");
    };
    loader.pfGetIsGoogleWebFontsEnabled = [](LPIFacade, std::uint32_t* out)
    {
        *out = FakePanelHost::Current().googleEnabled ? 1 : 0;
        return Answer("GetIsGoogleWebFontsEnabled", "");
    };
    loader.pfSetGoogleWebFontsEnabled = [](LPIFacade, std::uint32_t enabled)
    { return Answer("SetGoogleWebFontsEnabled", std::to_string(enabled)); };
    loader.pfRenderFontNamePreviewPNGs = [](LPIFacade, std::uint32_t highCount, const std::uint32_t* high,
                                            std::uint32_t count, const std::uint32_t* ids,
                                            std::int32_t smartListID, std::int32_t size, std::int32_t width,
                                            std::int32_t height, std::uint32_t twice)
    {
        return Answer("RenderFontNamePreviewPNGs",
                      (high ? Join(high, highCount) : "none") + " " + (ids ? Join(ids, count) : "none") +
                          " " + std::to_string(smartListID) + " " + std::to_string(size) + " " +
                          std::to_string(width) + " " + std::to_string(height) + " " + std::to_string(twice));
    };
    loader.pfTrackFontPanelClick = [](LPIFacade, std::uint32_t fontID, const char* version)
    { return Answer("TrackFontPanelClick", std::to_string(fontID) + " " + version); };
    loader.pfActivateFonts = [](LPIFacade, std::uint32_t count, const std::uint32_t* ids, std::uint32_t local,
                                std::uint32_t mode, std::uint32_t notify, std::uint32_t persistent,
                                std::uint32_t capacity1, std::uint32_t capacity2, std::uint32_t* notActivated,
                                LPIFontActivationResult* results, std::uint32_t* notActivatedCount,
                                std::uint32_t* resultCount)
    {
        std::uint32_t refused = 0;
        for (std::uint32_t index = 0; index < count; ++index)
        {
            const FakeFont* font = FakePanelHost::Current().Font(ids[index]);
            if (font != nullptr && font->nonCompliant && results != nullptr && refused < capacity2)
            {
                results[refused++] = LPIFontActivationResult{ids[index], 1, {0, 0}};
            }
        }
        *notActivatedCount = 0;
        *resultCount = refused;
        return Answer("ActivateFonts", Join(ids, count) + " args " + std::to_string(local) + "," +
                                           std::to_string(mode) + "," + std::to_string(notify) + "," +
                                           std::to_string(persistent) + "," + std::to_string(capacity1) +
                                           "," + std::to_string(capacity2) +
                                           (notActivated ? ",list" : ",none"));
    };
    loader.pfRenameSmartList = [](LPIFacade, std::int32_t id, const char* name)
    {
        FakePanelHost::Current().smartLists[id].name = name;
        return Answer("RenameSmartList", std::to_string(id) + " " + name);
    };
    loader.pfDeleteSmartList = [](LPIFacade, std::int32_t id)
    {
        FakePanelHost::Current().smartLists.erase(id);
        return Answer("DeleteSmartList", std::to_string(id));
    };
    loader.pfCreateSmartList = [](LPIFacade, const char* name, std::uint32_t wc, const std::int32_t* w,
                                  std::uint32_t sc, const std::int32_t* s, std::uint32_t ssc,
                                  const std::int32_t* ss, std::int32_t* outID)
    {
        FakePanelHost& host = FakePanelHost::Current();
        const TSInt32 id = host.smartLists.empty() ? 1 : host.smartLists.rbegin()->first + 1;
        host.smartLists[id] = FakeSmartList{name, Vector(w, wc), Vector(s, sc), Vector(ss, ssc)};
        *outID = id;
        return Answer("CreateSmartList", std::string(name) + " " + JoinSigned(w, wc) + " " +
                                             JoinSigned(s, sc) + " " + JoinSigned(ss, ssc));
    };
    loader.pfGetAllSmartLists = [](LPIFacade, CFMutableArrayRef out)
    {
        for (const auto& [id, list] : FakePanelHost::Current().smartLists)
        {
            GCFRef<CFMutableDictionaryRef> entry = NewDictionary();
            SetNumber(entry.Get(), "smartListID", id);
            SetText(entry.Get(), "smartListName", list.name);
            CFArrayAppendValue(out, entry.Get());
        }
        return Answer("GetAllSmartLists", "");
    };
    loader.pfGetSmartList = [](LPIFacade, std::int32_t id, CFMutableDictionaryRef out)
    {
        const auto found = FakePanelHost::Current().smartLists.find(id);
        if (found == FakePanelHost::Current().smartLists.end())
        {
            return LPIResult(0x07000000);
        }
        SetText(out, "smartListName", found->second.name);
        AppendNumbers(out, "workgroupIDs", found->second.workgroupIDs);
        AppendNumbers(out, "setIDs", found->second.setIDs);
        AppendNumbers(out, "smartSetIDs", found->second.smartSetIDs);
        return Answer("GetSmartList", std::to_string(id));
    };
    loader.pfGetPanelSmartListTree = [](LPIFacade, std::int32_t id, CFMutableStringRef out)
    {
        GCFRef<CFStringRef> text(CreateCFStringFromUTF8String(FakePanelHost::Current().tree));
        CFStringAppend(out, text.Get());
        return Answer("GetPanelSmartListTree", std::to_string(id));
    };
    loader.pfQueryForSmartListFonts = [](LPIFacade, std::uint32_t wc, const std::int32_t* w, std::uint32_t sc,
                                         const std::int32_t* s, std::uint32_t ssc, const std::int32_t* ss,
                                         CFMutableArrayRef out)
    {
        QueryFonts(Vector(w, wc), out);
        return Answer("QueryForSmartListFonts",
                      JoinSigned(w, wc) + " " + JoinSigned(s, sc) + " " + JoinSigned(ss, ssc));
    };
    loader.pfSetSmartListQuery = [](LPIFacade, std::int32_t id, std::uint32_t wc, const std::int32_t* w,
                                    std::uint32_t sc, const std::int32_t* s, std::uint32_t ssc,
                                    const std::int32_t* ss)
    {
        FakeSmartList& list = FakePanelHost::Current().smartLists[id];
        list.workgroupIDs = Vector(w, wc);
        list.setIDs = Vector(s, sc);
        list.smartSetIDs = Vector(ss, ssc);
        return Answer("SetSmartListQuery", std::to_string(id) + " " + JoinSigned(w, wc) + " " +
                                               JoinSigned(s, sc) + " " + JoinSigned(ss, ssc));
    };
    loader.pfGetSmartListFonts = [](LPIFacade, std::int32_t id, CFMutableArrayRef out)
    {
        FakePanelHost& host = FakePanelHost::Current();
        const auto found = host.smartLists.find(id);
        if (found != host.smartLists.end())
        {
            for (const FakeFont& font : host.fonts)
            {
                for (const TSInt32 workgroup : found->second.workgroupIDs)
                {
                    if (static_cast<TSInt32>(font.id / 1000) != workgroup)
                    {
                        continue;
                    }
                    GCFRef<CFMutableDictionaryRef> record = NewDictionary();
                    SetNumber(record.Get(), "fontID", font.id);
                    SetText(record.Get(), "displayName", font.displayName);
                    SetText(record.Get(), "postscriptName", font.postScriptName);
                    SetNumber(record.Get(), "activated", 1);
                    SetNumber(record.Get(), "fontIsLocal", 1);
                    SetNumber(record.Get(), "fontLocation", font.location);
                    CFArrayAppendValue(out, record.Get());
                }
            }
        }
        return Answer("GetSmartListFonts", std::to_string(id));
    };
}
} // namespace

FakePanelHost::FakePanelHost()
{
    InstallEntries(loader);
    temporaryFolder = (std::filesystem::temp_directory_path() / "panel-tests").string();
    std::filesystem::create_directories(temporaryFolder);
    sHost = this;
    PanelHost::Install(this);
}

FakePanelHost::~FakePanelHost()
{
    PanelHost::Install(nullptr);
    sHost = nullptr;
}

FakePanelHost& FakePanelHost::Current()
{
    return *sHost;
}

const FakeFont* FakePanelHost::Font(TUInt32 id) const
{
    for (const FakeFont& font : fonts)
    {
        if (font.id == id)
        {
            return &font;
        }
    }
    return nullptr;
}

bool FakePanelHost::GetFontInfoByID(TUInt32 fontID, GCFRef<CFMutableDictionaryRef>& outRecord)
{
    const FakeFont* font = Font(fontID);
    if (font == nullptr)
    {
        return false;
    }
    outRecord = NewDictionary();
    SetNumber(outRecord.Get(), "DatabaseID", font->id);
    SetText(outRecord.Get(), "PostScriptName", font->postScriptName);
    SetText(outRecord.Get(), "Family", font->family);
    return true;
}

std::map<TUInt32, TSInt32> FakePanelHost::GetFontConflicts(const std::vector<TUInt32>& fontIDs)
{
    std::map<TUInt32, TSInt32> conflicts;
    for (const TUInt32 id : fontIDs)
    {
        if (const FakeFont* font = Font(id))
        {
            conflicts[id] = font->conflict;
        }
    }
    return conflicts;
}

TSInt32 FakePanelHost::FindFontsInSameFamily(CFDictionaryRef font, CFMutableArrayRef outFonts)
{
    CFStringRef family = static_cast<CFStringRef>(CFDictionaryGetValue(font, CFSTR("Family")));
    for (const FakeFont& candidate : fonts)
    {
        GCFRef<CFStringRef> candidateFamily(CreateCFStringFromUTF8String(candidate.family));
        if (family == nullptr || CFStringCompare(family, candidateFamily.Get(), 0) != kCFCompareEqualTo)
        {
            continue;
        }
        GCFRef<CFMutableDictionaryRef> record = NewDictionary();
        SetNumber(record.Get(), "DatabaseID", candidate.id);
        if (!candidate.postScriptName.empty())
        {
            SetText(record.Get(), "PostScriptName", candidate.postScriptName);
        }
        if (!candidate.displayName.empty())
        {
            SetText(record.Get(), "DisplayName", candidate.displayName);
        }
        CFArrayAppendValue(outFonts, record.Get());
    }
    return failingCall == "FindFontsInSameFamily" ? -1 : 0;
}

TSInt32 FakePanelHost::GetAllWorkgroupsForUser(CFMutableArrayRef outWorkgroups)
{
    TSInt32 id = 1;
    for (const TSInt32 type : workgroupTypes)
    {
        GCFRef<CFMutableDictionaryRef> workgroup = NewDictionary();
        SetNumber(workgroup.Get(), "WorkgroupID", id++);
        SetNumber(workgroup.Get(), "WorkgroupType", type);
        CFArrayAppendValue(outWorkgroups, workgroup.Get());
    }
    return failingCall == "GetAllWorkgroupsForUser" ? -1 : 0;
}

TUTF8String FakePanelHost::TemporaryFileName()
{
    if (temporaryFolder.empty())
    {
        return TUTF8String();
    }
    return (std::filesystem::path(temporaryFolder) / ("list" + std::to_string(++mTemporaryCount) + ".txt"))
        .string();
}

FakeEventLibrary::FakeEventLibrary()
{
    sLibrary = this;
    PlugPlugLibrary::Entries entries;
    entries.loadExtension = [](const char*) { return std::int32_t(0); };
    entries.unloadExtension = [](const char*) { return std::int32_t(0); };
    entries.removeEventListener = [](const char*, csxs::event::EventListenerFn, void*)
    { return std::int32_t(0); };
    entries.addEventListener = [](const char* type, csxs::event::EventListenerFn listener, void* context)
    {
        FakeEventLibrary& self = Current();
        if (self.addListenerResult == 0 && std::string(type) == "com.lumorand.PanelToPlugin")
        {
            self.listeners.emplace_back(listener, context);
        }
        return self.addListenerResult;
    };
    entries.dispatchEvent = [](const csxs::event::Event* event)
    {
        FakeEventLibrary& self = Current();
        if (self.dispatchResult == 0)
        {
            self.dispatched.push_back(Dispatched{event->type, event->scope, event->appId ? event->appId : "",
                                                 event->extensionId != nullptr,
                                                 event->data ? event->data : ""});
        }
        return self.dispatchResult;
    };
    library.BindForTesting(entries);
}

FakeEventLibrary::~FakeEventLibrary()
{
    sLibrary = nullptr;
}

FakeEventLibrary& FakeEventLibrary::Current()
{
    return *sLibrary;
}

std::vector<std::string> FakeEventLibrary::Messages() const
{
    std::vector<std::string> messages;
    for (const Dispatched& event : dispatched)
    {
        if (event.type == "com.lumorand.PluginToPanel")
        {
            const std::string& data = event.data;
            messages.push_back(data.size() >= 2 && data.front() == '(' && data.back() == ')'
                                   ? data.substr(1, data.size() - 2)
                                   : "NOT WRAPPED: " + data);
        }
    }
    return messages;
}

void FakeEventLibrary::Deliver(const std::string& data)
{
    csxs::event::Event event{"com.lumorand.PanelToPlugin", 1, "PHXS", "com.lumorand.panel", data.c_str()};
    for (const auto& [listener, context] : std::vector(listeners))
    {
        listener(&event, context);
    }
}
