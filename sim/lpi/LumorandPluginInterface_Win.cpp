// The 84 entry points of LumorandPluginInterfaceX64.dll. Each call that concerns fonts,
// workgroups or the user is a request to the core (Typehold.exe) over its pipe; the column-ID
// getters, the folder helpers and the process check answer here. Every entry point has exactly
// the type the plug-in's table declares (checked at the end of this file).

#include "GErrorCodes.h"
#include "GFileSystem.h"
#include "GLPIFacade_Win.h"
#include "GStringEncodings.h"
#include "TypeholdMessage.h"
#include "TypeholdProtocol.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

using typehold::GCFHolder;

namespace
{
GLPIFacade& Library()
{
    return GLPIFacade::Instance();
}

// A request being built: {"op": name, arguments...}.
class GRequest
{
public:
    explicit GRequest(const char* op) : mMessage(typehold::CreateMutableDictionary())
    {
        typehold::SetString(mMessage.Get(), typehold::protocol::kOpKey, op);
    }

    CFMutableDictionaryRef Get() const { return mMessage.Get(); }
    GRequest& Int(const char* key, std::int64_t value)
    {
        typehold::SetInt(mMessage.Get(), key, value);
        return *this;
    }
    GRequest& Text(const char* key, const char* text)
    {
        typehold::SetString(mMessage.Get(), key, text != nullptr ? text : "");
        return *this;
    }
    template <class T>
    GRequest& Ints(const char* key, const T* values, std::uint32_t count)
    {
        typehold::SetInts(mMessage.Get(), key, values, values != nullptr ? count : 0);
        return *this;
    }
    GRequest& Value(const char* key, CFTypeRef value)
    {
        typehold::SetValue(mMessage.Get(), key, value);
        return *this;
    }

private:
    GCFHolder<CFMutableDictionaryRef> mMessage;
};

LPIResult Send(LPIFacade facade, const GRequest& request, GCFHolder<CFDictionaryRef>& reply)
{
    if (!Library().Is(facade))
    {
        return CoreErrorCodes::kInvalidParam;
    }
    return Library().Call(request.Get(), reply);
}

LPIResult Send(LPIFacade facade, const GRequest& request)
{
    GCFHolder<CFDictionaryRef> reply;
    return Send(facade, request, reply);
}

// Calls that take no facade use the process's own.
LPIResult SendWithoutFacade(const GRequest& request, GCFHolder<CFDictionaryRef>& reply)
{
    return Send(Library().Get(), request, reply);
}

LPIResult AskYesNo(LPIFacade facade, const char* op, std::uint32_t* outYes)
{
    if (outYes == nullptr)
    {
        return CoreErrorCodes::kNullPointer;
    }
    *outYes = 0;
    GCFHolder<CFDictionaryRef> reply;
    const LPIResult result = Send(facade, GRequest(op), reply);
    if (result == CoreErrorCodes::kSuccess)
    {
        *outYes = typehold::MessageInt(reply.Get(), "yes") != 0 ? 1 : 0;
    }
    return result;
}

// Copies text into a caller's buffer, cut to fit and always terminated.
LPIResult CopyText(const std::string& text, char* buffer, std::uint32_t capacity)
{
    if (buffer == nullptr || capacity == 0)
    {
        return CoreErrorCodes::kInvalidParam;
    }
    const std::size_t size = std::min<std::size_t>(text.size(), capacity - 1);
    std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(size), buffer);
    buffer[size] = '\0';
    return size == text.size() ? CoreErrorCodes::kSuccess : CoreErrorCodes::kIndexOutOfRange;
}

LPIResult AskText(LPIFacade facade, const char* op, const char* key, char* buffer, std::uint32_t capacity)
{
    if (buffer == nullptr || capacity == 0)
    {
        return CoreErrorCodes::kInvalidParam;
    }
    buffer[0] = '\0';
    GCFHolder<CFDictionaryRef> reply;
    const LPIResult result = Send(facade, GRequest(op), reply);
    return result == CoreErrorCodes::kSuccess
               ? CopyText(typehold::MessageString(reply.Get(), key), buffer, capacity)
               : result;
}

void AppendValues(CFMutableArrayRef out, CFArrayRef values)
{
    if (out != nullptr && values != nullptr)
    {
        CFArrayAppendArray(out, values, CFRangeMake(0, CFArrayGetCount(values)));
    }
}

// An array of integers of the reply into a caller's array of the given capacity.
template <class T>
std::uint32_t CopyInts(CFDictionaryRef reply, const char* key, T* out, std::uint32_t capacity)
{
    const std::vector<std::int64_t> values = typehold::MessageInts(reply, key);
    std::uint32_t copied = 0;
    for (; out != nullptr && copied < capacity && copied < values.size(); ++copied)
    {
        out[copied] = static_cast<T>(values[copied]);
    }
    return copied;
}

LPIResult FontsByName(LPIFacade facade, const char* op, const char* name, const std::int32_t* workgroupIDs,
                      std::uint32_t workgroupCount, std::uint32_t* outFontIDs, std::uint32_t capacity,
                      std::uint32_t* outCount)
{
    if (name == nullptr || outCount == nullptr)
    {
        return CoreErrorCodes::kNullPointer;
    }
    *outCount = 0;
    GCFHolder<CFDictionaryRef> reply;
    const LPIResult result =
        Send(facade, GRequest(op).Text("name", name).Ints("workgroups", workgroupIDs, workgroupCount), reply);
    if (result == CoreErrorCodes::kSuccess)
    {
        *outCount = CopyInts(reply.Get(), "ids", outFontIDs, capacity);
    }
    return result;
}

LPIResult ColumnID(const char* identifier, char* buffer, std::uint32_t capacity)
{
    return CopyText(identifier, buffer, capacity);
}

std::wstring WidePath(const char* path)
{
    return path != nullptr ? OSMakeOSStringFromUTF8String(path) : std::wstring();
}

// The fonts this client holds, as its calls made and the core last reported them. While the core
// cannot be asked (killed, not yet relaunched) the client's activation states are answered from
// here: a relaunched core resumes exactly these holds from its state.
class GClientHolds
{
public:
    void Add(std::uint32_t id)
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        mHeld.insert(id);
    }
    void Set(std::uint32_t id, bool held)
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        if (held)
        {
            mHeld.insert(id);
        }
        else
        {
            mHeld.erase(id);
        }
    }
    bool Holds(std::uint32_t id)
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        return mHeld.count(id) != 0;
    }

private:
    std::mutex mMutex;
    std::set<std::uint32_t> mHeld;
};

GClientHolds& ClientHolds()
{
    static GClientHolds* holds = new GClientHolds; // used until the process ends
    return *holds;
}

// Records the fonts of matched records that this request activated (not those active before).
void RecordMatchedHolds(CFArrayRef matched)
{
    for (CFIndex i = 0; matched != nullptr && i < CFArrayGetCount(matched); ++i)
    {
        const auto font = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(matched, i));
        if (font == nullptr || CFGetTypeID(font) != CFDictionaryGetTypeID())
        {
            continue;
        }
        const auto wasActive = static_cast<CFStringRef>(CFDictionaryGetValue(font, CFSTR("IsActive")));
        std::int64_t id = 0;
        if (typehold::IntegerValue(CFDictionaryGetValue(font, CFSTR("DatabaseID")), id) &&
            (wasActive == nullptr || CFGetTypeID(wasActive) != CFStringGetTypeID() ||
             CFStringCompare(wasActive, CFSTR("1"), 0) != kCFCompareEqualTo))
        {
            ClientHolds().Add(static_cast<std::uint32_t>(id));
        }
    }
}

// A document's XMP text as the core answers it ("xmp"), appended to outXMP.
LPIResult AppendDocumentXMP(LPIFacade facade, const char* request, const char* path,
                            CFMutableStringRef outXMP)
{
    if (path == nullptr || outXMP == nullptr)
    {
        return CoreErrorCodes::kNullPointer;
    }
    GCFHolder<CFDictionaryRef> reply;
    const LPIResult result = Send(facade, GRequest(request).Text("path", path), reply);
    CFTypeRef xmp = typehold::MessageValue(reply.Get(), "xmp");
    if (result == CoreErrorCodes::kSuccess && xmp != nullptr && CFGetTypeID(xmp) == CFStringGetTypeID())
    {
        CFStringAppend(outXMP, static_cast<CFStringRef>(xmp));
    }
    return result;
}
} // namespace

extern "C"
{

    LPIResult ActivateFonts(LPIFacade facade, std::uint32_t count, const std::uint32_t* fontIDs,
                            std::uint32_t local, std::uint32_t mode, std::uint32_t notify,
                            std::uint32_t persistent, std::uint32_t capacity1, std::uint32_t capacity2,
                            std::uint32_t* outNotActivated, LPIFontActivationResult* outResults,
                            std::uint32_t* outNotActivatedCount, std::uint32_t* outResultCount)
    {
        if (outNotActivatedCount != nullptr)
        {
            *outNotActivatedCount = 0;
        }
        if (outResultCount != nullptr)
        {
            *outResultCount = 0;
        }
        if (count > 0 && fontIDs == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        GCFHolder<CFDictionaryRef> reply;
        const LPIResult result = Send(facade,
                                      GRequest("ActivateFonts")
                                          .Ints("ids", fontIDs, count)
                                          .Int("local", local)
                                          .Int("mode", mode)
                                          .Int("notify", notify)
                                          .Int("persistent", persistent),
                                      reply);
        if (result != CoreErrorCodes::kSuccess)
        {
            return result;
        }
        const std::uint32_t notActivated = CopyInts(reply.Get(), "notActivated", outNotActivated, capacity1);
        const std::vector<std::int64_t> refused = typehold::MessageInts(reply.Get(), "notActivated");
        for (std::uint32_t i = 0; i < count; ++i)
        {
            if (std::find(refused.begin(), refused.end(), static_cast<std::int64_t>(fontIDs[i])) ==
                refused.end())
            {
                ClientHolds().Add(fontIDs[i]);
            }
        }
        if (outNotActivatedCount != nullptr)
        {
            *outNotActivatedCount = notActivated;
        }
        CFArrayRef results = typehold::MessageArray(reply.Get(), "results");
        std::uint32_t written = 0;
        for (CFIndex i = 0; outResults != nullptr && results != nullptr && i < CFArrayGetCount(results) &&
                            written < capacity2;
             ++i)
        {
            CFTypeRef entry = CFArrayGetValueAtIndex(results, i);
            if (CFGetTypeID(entry) != CFArrayGetTypeID() ||
                CFArrayGetCount(static_cast<CFArrayRef>(entry)) < 2)
            {
                continue;
            }
            std::int64_t id = 0;
            std::int64_t code = 0;
            typehold::IntegerValue(CFArrayGetValueAtIndex(static_cast<CFArrayRef>(entry), 0), id);
            typehold::IntegerValue(CFArrayGetValueAtIndex(static_cast<CFArrayRef>(entry), 1), code);
            outResults[written++] = LPIFontActivationResult{
                static_cast<std::uint32_t>(id), static_cast<std::uint32_t>(code), {0, 0}};
        }
        if (outResultCount != nullptr)
        {
            *outResultCount = written;
        }
        return result;
    }

    LPIResult ActivateDocumentFontsByPath(LPIFacade facade, const char* path, CFMutableArrayRef /*extra*/,
                                          std::uint32_t hostedInPluginCore,
                                          std::uint32_t activateEntireFamilies, std::uint32_t pickBestMatch,
                                          std::uint32_t useIdentificationData, std::int32_t workgroupID,
                                          CFMutableArrayRef matched, CFMutableArrayRef problems)
    {
        if (path == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        GCFHolder<CFDictionaryRef> reply;
        const LPIResult result = Send(facade,
                                      GRequest("ActivateDocumentFontsByPath")
                                          .Text("path", path)
                                          .Int("hosted", hostedInPluginCore)
                                          .Int("families", activateEntireFamilies)
                                          .Int("pickBest", pickBestMatch)
                                          .Int("useIdData", useIdentificationData)
                                          .Int("workgroup", workgroupID),
                                      reply);
        if (result == CoreErrorCodes::kSuccess)
        {
            RecordMatchedHolds(typehold::MessageArray(reply.Get(), "matched"));
            AppendValues(matched, typehold::MessageArray(reply.Get(), "matched"));
            AppendValues(problems, typehold::MessageArray(reply.Get(), "problems"));
        }
        return result;
    }

    LPIResult AddFontsToSets(LPIFacade facade, std::uint32_t setCount, const std::int32_t* setIDs,
                             std::uint32_t fontCount, const std::uint32_t* fontIDs)
    {
        return Send(
            facade,
            GRequest("AddFontsToSets").Ints("sets", setIDs, setCount).Ints("ids", fontIDs, fontCount));
    }

    LPIResult BeginLogging(LPIFacade facade, const char* logFileName)
    {
        if (logFileName == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        return Send(facade, GRequest("BeginLogging").Text("file", logFileName));
    }

    LPIResult CanExportFonts(LPIFacade facade, std::uint32_t count, const std::uint32_t* fontIDs,
                             std::uint32_t* outYes)
    {
        if (outYes == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        *outYes = 0;
        GCFHolder<CFDictionaryRef> reply;
        const LPIResult result = Send(facade, GRequest("CanExportFonts").Ints("ids", fontIDs, count), reply);
        if (result == CoreErrorCodes::kSuccess)
        {
            *outYes = typehold::MessageInt(reply.Get(), "yes") != 0 ? 1 : 0;
        }
        return result;
    }

    LPIResult CreateTopLevelSet(LPIFacade facade, std::int32_t* outSetID, std::int32_t workgroupID,
                                const char* name, std::uint32_t /*reserved1*/, std::uint32_t /*reserved2*/,
                                std::uint32_t count, const std::uint32_t* fontIDs)
    {
        if (name == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        GCFHolder<CFDictionaryRef> reply;
        const LPIResult result = Send(facade,
                                      GRequest("CreateTopLevelSet")
                                          .Int("workgroup", workgroupID)
                                          .Text("name", name)
                                          .Ints("ids", fontIDs, count),
                                      reply);
        if (result == CoreErrorCodes::kSuccess && outSetID != nullptr)
        {
            *outSetID = static_cast<std::int32_t>(typehold::MessageInt(reply.Get(), "setID"));
        }
        return result;
    }

    LPIResult DeactivateFonts(LPIFacade facade, std::uint32_t count, const std::uint32_t* fontIDs,
                              std::uint32_t flags)
    {
        if (count > 0 && fontIDs == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        const LPIResult result =
            Send(facade, GRequest("DeactivateFonts").Ints("ids", fontIDs, count).Int("flags", flags));
        for (std::uint32_t i = 0; result == CoreErrorCodes::kSuccess && i < count; ++i)
        {
            ClientHolds().Set(fontIDs[i], false);
        }
        return result;
    }

    LPIResult DestroyThreadInstance(LPIFacade facade)
    {
        return Send(facade, GRequest("DestroyThreadInstance"));
    }

    LPIResult EnableDesignActivation(LPIFacade facade)
    {
        return Send(facade, GRequest("EnableDesignActivation"));
    }

    LPIResult ExportFonts(LPIFacade facade, std::uint32_t count, const std::uint32_t* fontIDs,
                          const char* destinationFolder, std::uint32_t /*reserved1*/,
                          std::uint32_t /*reserved2*/)
    {
        if (destinationFolder == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        return Send(facade,
                    GRequest("ExportFonts").Ints("ids", fontIDs, count).Text("folder", destinationFolder));
    }

    LPIResult FindFontsInSameFamilyForActivation(CFDictionaryRef font, const std::int32_t* workgroupIDs,
                                                 std::uint32_t workgroupCount, CFMutableArrayRef outFonts)
    {
        if (font == nullptr || outFonts == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        GCFHolder<CFDictionaryRef> reply;
        const LPIResult result = SendWithoutFacade(GRequest("FindFontsInSameFamilyForActivation")
                                                       .Value("font", font)
                                                       .Ints("workgroups", workgroupIDs, workgroupCount),
                                                   reply);
        if (result == CoreErrorCodes::kSuccess)
        {
            AppendValues(outFonts, typehold::MessageArray(reply.Get(), "fonts"));
        }
        return result;
    }

    LPIResult GetActivationStateColumnID(char* buffer, std::uint32_t capacity)
    {
        return ColumnID("ActivationStatus", buffer, capacity);
    }

    LPIResult GetAllWorkgroupsForUser(LPIFacade facade, CFMutableArrayRef outWorkgroups,
                                      std::uint32_t includeSystemWorkgroup,
                                      std::uint32_t includeTypekitLibrary)
    {
        if (outWorkgroups == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        GCFHolder<CFDictionaryRef> reply;
        const LPIResult result = Send(facade,
                                      GRequest("GetAllWorkgroupsForUser")
                                          .Int("system", includeSystemWorkgroup)
                                          .Int("typekit", includeTypekitLibrary),
                                      reply);
        if (result == CoreErrorCodes::kSuccess)
        {
            AppendValues(outWorkgroups, typehold::MessageArray(reply.Get(), "workgroups"));
        }
        return result;
    }

    LPIResult GetAreSchemaVersionsInSync(LPIFacade facade, std::uint32_t* outYes)
    {
        return AskYesNo(facade, "GetAreSchemaVersionsInSync", outYes);
    }

    LPIResult RegisterForNotifications(LPIFacade facade, LPINotificationCallback callback)
    {
        return Library().Is(facade) ? Library().Register(callback) : CoreErrorCodes::kInvalidParam;
    }

    LPIResult UnregisterForNotifications(LPIFacade facade, LPINotificationCallback callback)
    {
        return Library().Is(facade) ? Library().Unregister(callback) : CoreErrorCodes::kInvalidParam;
    }

    LPIResult GetCanActivateAcrossWorkgroupsColumnID(char* buffer, std::uint32_t capacity)
    {
        return ColumnID(typehold::protocol::kColumnActivateAcrossWorkgroups, buffer, capacity);
    }

    LPIResult GetClientFontActivationStates(std::uint32_t count, const std::uint32_t* fontIDs,
                                            std::uint32_t* outStates)
    {
        if (count > 0 && (fontIDs == nullptr || outStates == nullptr))
        {
            return CoreErrorCodes::kNullPointer;
        }
        GCFHolder<CFDictionaryRef> reply;
        const LPIResult result =
            SendWithoutFacade(GRequest("GetClientFontActivationStates").Ints("ids", fontIDs, count), reply);
        if (result == CoreErrorCodes::kSuccess)
        {
            CopyInts(reply.Get(), "states", outStates, count);
            for (std::uint32_t i = 0; i < count; ++i)
            {
                ClientHolds().Set(fontIDs[i], outStates[i] != 0);
            }
            return result;
        }
        if (result == kLPIServiceUnavailable || result == kLPIAgentShutdown)
        {
            // The core is gone: what this client holds is known here, and a relaunched core
            // resumes it.
            for (std::uint32_t i = 0; i < count; ++i)
            {
                outStates[i] = ClientHolds().Holds(fontIDs[i]) ? 1 : 0;
            }
            return CoreErrorCodes::kSuccess;
        }
        return result;
    }

    LPIResult GetDefaultLibraryName(LPIFacade facade, char* buffer, std::uint32_t capacity)
    {
        return AskText(facade, "GetDefaultLibraryName", "name", buffer, capacity);
    }

    LPIResult GetExportFontsColumnID(char* buffer, std::uint32_t capacity)
    {
        return ColumnID(typehold::protocol::kColumnExportFonts, buffer, capacity);
    }

    LPIResult GetFamilyGroupIDColumnID(char* buffer, std::uint32_t capacity)
    {
        return ColumnID("AssignedFamilyID", buffer, capacity);
    }

    LPIResult GetFamilyGroupNameColumnID(char* buffer, std::uint32_t capacity)
    {
        return ColumnID("AssignedFamilyName", buffer, capacity);
    }

    LPIResult GetFamilyNameColumnID(char* buffer, std::uint32_t capacity)
    {
        return ColumnID("Family", buffer, capacity);
    }

    LPIResult GetFileSizeColumnID(char* buffer, std::uint32_t capacity)
    {
        return ColumnID("OutlineFileSize", buffer, capacity);
    }

    LPIResult GetFontFaceIDColumnID(char* buffer, std::uint32_t capacity)
    {
        return ColumnID("DatabaseID", buffer, capacity);
    }

    LPIResult GetFontInfoByID(LPIFacade facade, const std::int32_t* workgroupIDs,
                              std::uint32_t workgroupCount, CFDictionaryRef fontReference,
                              std::int32_t* outStatus, CFMutableDictionaryRef* outFont)
    {
        if (fontReference == nullptr || outFont == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        *outFont = nullptr;
        GCFHolder<CFDictionaryRef> reply;
        const LPIResult result = Send(facade,
                                      GRequest("GetFontInfoByID")
                                          .Ints("workgroups", workgroupIDs, workgroupCount)
                                          .Value("font", fontReference),
                                      reply);
        if (result != CoreErrorCodes::kSuccess)
        {
            return result;
        }
        CFDictionaryRef font = typehold::MessageDictionary(reply.Get(), "font");
        if (font == nullptr)
        {
            return CoreErrorCodes::kNotFound;
        }
        *outFont = CFDictionaryCreateMutableCopy(kCFAllocatorDefault, 0, font);
        if (outStatus != nullptr)
        {
            *outStatus = static_cast<std::int32_t>(typehold::MessageInt(reply.Get(), "status"));
        }
        return result;
    }

    LPIResult GetFontIsActivated(LPIFacade facade, std::uint32_t count, const std::uint32_t* fontIDs,
                                 std::uint32_t* outYes)
    {
        if (count > 0 && (fontIDs == nullptr || outYes == nullptr))
        {
            return CoreErrorCodes::kNullPointer;
        }
        std::fill(outYes, outYes + count, 0u);
        GCFHolder<CFDictionaryRef> reply;
        const LPIResult result =
            Send(facade, GRequest("GetFontIsActivated").Ints("ids", fontIDs, count), reply);
        if (result == CoreErrorCodes::kSuccess)
        {
            CopyInts(reply.Get(), "states", outYes, count);
        }
        return result;
    }

    LPIResult GetFontLocationColumnID(char* buffer, std::uint32_t capacity)
    {
        return ColumnID("FontLocation", buffer, capacity);
    }

    LPIResult GetFaceTraceChecksumColumnID(char* buffer, std::uint32_t capacity)
    {
        return ColumnID("FaceTrace_1.2_Checksum", buffer, capacity);
    }

    LPIResult GetFontTypeColumnID(char* buffer, std::uint32_t capacity)
    {
        return ColumnID("FontKind", buffer, capacity);
    }

    LPIResult GetFontVaultPath(LPIFacade facade, std::uint32_t capacity, char* buffer)
    {
        return AskText(facade, "GetFontVaultPath", "path", buffer, capacity);
    }

    LPIResult GetFontVersionColumnID(char* buffer, std::uint32_t capacity)
    {
        return ColumnID("Version", buffer, capacity);
    }

    LPIResult GetFontsByPostscriptName(LPIFacade facade, const char* name, const std::int32_t* workgroupIDs,
                                       std::uint32_t workgroupCount, std::uint32_t* outFontIDs,
                                       std::uint32_t capacity, std::uint32_t* outCount)
    {
        return FontsByName(facade, "GetFontsByPostscriptName", name, workgroupIDs, workgroupCount, outFontIDs,
                           capacity, outCount);
    }

    LPIResult GetFontsByFamilyName(LPIFacade facade, const char* name, const std::int32_t* workgroupIDs,
                                   std::uint32_t workgroupCount, std::uint32_t* outFontIDs,
                                   std::uint32_t capacity, std::uint32_t* outCount)
    {
        return FontsByName(facade, "GetFontsByFamilyName", name, workgroupIDs, workgroupCount, outFontIDs,
                           capacity, outCount);
    }

    LPIResult GetFoundryNameColumnID(char* buffer, std::uint32_t capacity)
    {
        return ColumnID("Foundry", buffer, capacity);
    }

    LPIResult GetIsCoreAgentProcessRunning(LPIFacade /*facade*/, std::uint32_t* outYes)
    {
        // The core holds its instance mutex for as long as it runs, whatever state this process's
        // connection is in.
        if (outYes == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, typehold::protocol::kInstanceMutexName);
        *outYes = mutex != nullptr ? 1 : 0;
        if (mutex != nullptr)
        {
            CloseHandle(mutex);
        }
        return CoreErrorCodes::kSuccess;
    }

    LPIResult GetIsFontLocalColumnID(char* buffer, std::uint32_t capacity)
    {
        return ColumnID("IsFontLocal", buffer, capacity);
    }

    LPIResult GetIsLoggedIn(LPIFacade facade, std::uint32_t* outYes)
    {
        // The log-in belongs to the user's session with the font server, not to the core process:
        // while the core cannot be asked, the last answer it gave stands.
        static std::atomic<int> sLastAnswer{-1};
        const LPIResult result = AskYesNo(facade, "GetIsLoggedIn", outYes);
        if (result == CoreErrorCodes::kSuccess && outYes != nullptr)
        {
            sLastAnswer = *outYes != 0 ? 1 : 0;
        }
        else if ((result == kLPIServiceUnavailable || result == kLPIAgentShutdown) && outYes != nullptr &&
                 sLastAnswer >= 0)
        {
            *outYes = static_cast<std::uint32_t>(sLastAnswer.load());
            return CoreErrorCodes::kSuccess;
        }
        return result;
    }

    LPIResult GetRunningStandalone(LPIFacade facade, std::uint32_t* outYes)
    {
        return AskYesNo(facade, "GetRunningStandalone", outYes);
    }

    LPIResult GetIsPortolanFileColumnID(char* buffer, std::uint32_t capacity)
    {
        return ColumnID("IsPortolanFile", buffer, capacity);
    }

    LPIResult GetLegacyFaceTraceChecksumColumnID(char* buffer, std::uint32_t capacity)
    {
        return ColumnID("Checksum", buffer, capacity);
    }

    LPIResult GetLocalPathColumnID(char* buffer, std::uint32_t capacity)
    {
        return ColumnID("LocalPath", buffer, capacity);
    }

    LPIResult GetPermission(LPIFacade facade, std::uint32_t flag, const char* columnID,
                            std::int32_t workgroupID, std::uint32_t* outValue)
    {
        if (columnID == nullptr || outValue == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        *outValue = 0;
        GCFHolder<CFDictionaryRef> reply;
        const LPIResult result = Send(facade,
                                      GRequest("GetPermission")
                                          .Int("flag", flag)
                                          .Text("column", columnID)
                                          .Int("workgroup", workgroupID),
                                      reply);
        if (result == CoreErrorCodes::kSuccess)
        {
            *outValue = static_cast<std::uint32_t>(typehold::MessageInt(reply.Get(), "value"));
        }
        return result;
    }

    LPIFacade GetPluginFacadeInstance(void)
    {
        return Library().Get();
    }

    LPIResult ResetPluginFacadeInstance(void)
    {
        return Library().Reset();
    }

    LPIResult GetPostscriptNameColumnID(char* buffer, std::uint32_t capacity)
    {
        return ColumnID("PostScriptName", buffer, capacity);
    }

    LPIResult GetDisplayNameColumnID(char* buffer, std::uint32_t capacity)
    {
        return ColumnID("DisplayName", buffer, capacity);
    }

    LPIResult GetScannedFoundryColumnID(char* buffer, std::uint32_t capacity)
    {
        return ColumnID("ScannedFoundry", buffer, capacity);
    }

    LPIResult GetSystemWorkgroupID(LPIFacade facade, std::int32_t* outWorkgroupID)
    {
        if (outWorkgroupID == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        GCFHolder<CFDictionaryRef> reply;
        const LPIResult result = Send(facade, GRequest("GetSystemWorkgroupID"), reply);
        *outWorkgroupID = result == CoreErrorCodes::kSuccess
                              ? static_cast<std::int32_t>(typehold::MessageInt(reply.Get(), "workgroup", -1))
                              : -1;
        return result;
    }

    LPIResult GetWorkgroupIDColumnID(char* buffer, std::uint32_t capacity)
    {
        return ColumnID("WorkgroupID", buffer, capacity);
    }

    LPIResult GetWorkgroupNameColumnID(char* buffer, std::uint32_t capacity)
    {
        return ColumnID("WorkgroupName", buffer, capacity);
    }

    LPIResult GetWorkgroupTypeColumnID(char* buffer, std::uint32_t capacity)
    {
        return ColumnID("WorkgroupType", buffer, capacity);
    }

    LPIResult InitAppInstance(LPIFacade facade, std::int32_t hostAppType, std::uint32_t reserved)
    {
        if (Library().Is(facade))
        {
            Library().SetAppType(hostAppType);
        }
        return Send(facade, GRequest("InitAppInstance")
                                .Int(typehold::protocol::kAppTypeKey, hostAppType)
                                .Int("reserved", reserved));
    }

    LPIResult InitThreadInstance(LPIFacade facade)
    {
        return Send(facade, GRequest("InitThreadInstance"));
    }

    LPIResult IsAllWorkgroups(LPIFacade facade, std::int32_t workgroupID, std::uint32_t* outYes)
    {
        if (outYes == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        *outYes = 0;
        GCFHolder<CFDictionaryRef> reply;
        const LPIResult result =
            Send(facade, GRequest("IsAllWorkgroups").Int("workgroup", workgroupID), reply);
        if (result == CoreErrorCodes::kSuccess)
        {
            *outYes = typehold::MessageInt(reply.Get(), "yes") != 0 ? 1 : 0;
        }
        return result;
    }

    LPIResult Log(LPIFacade facade, const char* text)
    {
        if (text == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        return Send(facade, GRequest("Log").Text("text", text));
    }

    LPIResult OSCreateDirectory(const char* path, std::uint32_t createIntermediates)
    {
        std::wstring wide = WidePath(path);
        if (wide.empty())
        {
            return CoreErrorCodes::kInvalidParam;
        }
        std::replace(wide.begin(), wide.end(), L'/', L'\\');
        if (createIntermediates != 0)
        {
            // Each missing folder on the way, from the first one that does not exist.
            for (std::size_t separator = wide.find(L'\\', 3); separator != std::wstring::npos;
                 separator = wide.find(L'\\', separator + 1))
            {
                CreateDirectoryW(wide.substr(0, separator).c_str(), nullptr);
            }
        }
        if (!CreateDirectoryW(wide.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        {
            return GetLastError() == ERROR_PATH_NOT_FOUND ? GFileSystem::kDirectoryNotFound
                                                          : CoreErrorCodes::kError;
        }
        const DWORD attributes = GetFileAttributesW(wide.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                   ? CoreErrorCodes::kSuccess
                   : CoreErrorCodes::kError;
    }

    std::uint32_t OSDoesDirectoryExist(const char* path)
    {
        const std::wstring wide = WidePath(path);
        const DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 1 : 0;
    }

    LPIResult PreviewActivateFonts(LPIFacade facade, std::uint32_t count, const std::uint32_t* fontIDs,
                                   std::uint32_t flags)
    {
        if (count > 0 && fontIDs == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        return Send(facade, GRequest("PreviewActivateFonts").Ints("ids", fontIDs, count).Int("flags", flags));
    }

    LPIResult GetGoogleFonts(LPIFacade facade, CFMutableArrayRef outFonts)
    {
        if (outFonts == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        GCFHolder<CFDictionaryRef> reply;
        const LPIResult result = Send(facade, GRequest("GetGoogleFonts"), reply);
        if (result == CoreErrorCodes::kSuccess)
        {
            AppendValues(outFonts, typehold::MessageArray(reply.Get(), "fonts"));
        }
        return result;
    }

    LPIResult GetIsReplicationRunning(LPIFacade facade, std::uint32_t* outYes)
    {
        return AskYesNo(facade, "GetIsReplicationRunning", outYes);
    }

    LPIResult GetCurrentReplicationMode(LPIFacade facade, std::int32_t* outMode)
    {
        if (outMode == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        GCFHolder<CFDictionaryRef> reply;
        const LPIResult result = Send(facade, GRequest("GetCurrentReplicationMode"), reply);
        *outMode = result == CoreErrorCodes::kSuccess
                       ? static_cast<std::int32_t>(typehold::MessageInt(reply.Get(), "mode"))
                       : 0;
        return result;
    }

    LPIResult GetIsGoogleWebFontsEnabled(LPIFacade facade, std::uint32_t* outYes)
    {
        return AskYesNo(facade, "GetIsGoogleWebFontsEnabled", outYes);
    }

    LPIResult SetGoogleWebFontsEnabled(LPIFacade facade, std::uint32_t enabled)
    {
        return Send(facade, GRequest("SetGoogleWebFontsEnabled").Int("enabled", enabled != 0 ? 1 : 0));
    }

    LPIResult GetRenderedPNGsDirectory(LPIFacade facade, char* buffer, std::uint32_t capacity)
    {
        return AskText(facade, "GetRenderedPNGsDirectory", "path", buffer, capacity);
    }

    LPIResult RenderFontNamePreviewPNGs(LPIFacade facade, std::uint32_t highPriorityCount,
                                        const std::uint32_t* highPriorityFontIDs, std::uint32_t count,
                                        const std::uint32_t* fontIDs, std::int32_t smartListID,
                                        std::int32_t pointSize, std::int32_t width, std::int32_t height,
                                        std::uint32_t doubleResolution)
    {
        return Send(facade, GRequest("RenderFontNamePreviewPNGs")
                                .Ints("high", highPriorityFontIDs, highPriorityCount)
                                .Ints("ids", fontIDs, count)
                                .Int("smartListID", smartListID)
                                .Int("pointSize", pointSize)
                                .Int("width", width)
                                .Int("height", height)
                                .Int("double", doubleResolution));
    }

    LPIResult RenameSmartList(LPIFacade facade, std::int32_t smartListID, const char* name)
    {
        if (name == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        return Send(facade, GRequest("RenameSmartList").Int("smartListID", smartListID).Text("name", name));
    }

    LPIResult DeleteSmartList(LPIFacade facade, std::int32_t smartListID)
    {
        return Send(facade, GRequest("DeleteSmartList").Int("smartListID", smartListID));
    }

    LPIResult GetSmartList(LPIFacade facade, std::int32_t smartListID, CFMutableDictionaryRef out)
    {
        if (out == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        GCFHolder<CFDictionaryRef> reply;
        const LPIResult result =
            Send(facade, GRequest("GetSmartList").Int("smartListID", smartListID), reply);
        CFDictionaryRef list = typehold::MessageDictionary(reply.Get(), "smartList");
        if (result == CoreErrorCodes::kSuccess && list != nullptr)
        {
            CFDictionaryApplyFunction(
                list,
                [](const void* key, const void* value, void* context)
                { CFDictionarySetValue(static_cast<CFMutableDictionaryRef>(context), key, value); },
                out);
        }
        return result;
    }

    LPIResult GetPanelSmartListTree(LPIFacade facade, std::int32_t smartListID, CFMutableStringRef out)
    {
        if (out == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        GCFHolder<CFDictionaryRef> reply;
        const LPIResult result =
            Send(facade, GRequest("GetPanelSmartListTree").Int("smartListID", smartListID), reply);
        CFTypeRef tree = typehold::MessageValue(reply.Get(), "tree");
        if (result == CoreErrorCodes::kSuccess && tree != nullptr && CFGetTypeID(tree) == CFStringGetTypeID())
        {
            CFStringAppend(out, static_cast<CFStringRef>(tree));
        }
        return result;
    }

    LPIResult QueryForSmartListFonts(LPIFacade facade, std::uint32_t workgroupCount,
                                     const std::int32_t* workgroupIDs, std::uint32_t setCount,
                                     const std::int32_t* setIDs, std::uint32_t smartSetCount,
                                     const std::int32_t* smartSetIDs, CFMutableArrayRef outFontIDs)
    {
        if (outFontIDs == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        GCFHolder<CFDictionaryRef> reply;
        const LPIResult result = Send(facade,
                                      GRequest("QueryForSmartListFonts")
                                          .Ints("workgroupIDs", workgroupIDs, workgroupCount)
                                          .Ints("setIDs", setIDs, setCount)
                                          .Ints("smartSetIDs", smartSetIDs, smartSetCount),
                                      reply);
        if (result == CoreErrorCodes::kSuccess)
        {
            AppendValues(outFontIDs, typehold::MessageArray(reply.Get(), "ids"));
        }
        return result;
    }

    LPIResult GetAllSmartLists(LPIFacade facade, CFMutableArrayRef outSmartLists)
    {
        if (outSmartLists == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        GCFHolder<CFDictionaryRef> reply;
        const LPIResult result = Send(facade, GRequest("GetAllSmartLists"), reply);
        if (result == CoreErrorCodes::kSuccess)
        {
            AppendValues(outSmartLists, typehold::MessageArray(reply.Get(), "smartLists"));
        }
        return result;
    }

    LPIResult CreateSmartList(LPIFacade facade, const char* name, std::uint32_t workgroupCount,
                              const std::int32_t* workgroupIDs, std::uint32_t setCount,
                              const std::int32_t* setIDs, std::uint32_t smartSetCount,
                              const std::int32_t* smartSetIDs, std::int32_t* outSmartListID)
    {
        if (name == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        GCFHolder<CFDictionaryRef> reply;
        const LPIResult result = Send(facade,
                                      GRequest("CreateSmartList")
                                          .Text("name", name)
                                          .Ints("workgroupIDs", workgroupIDs, workgroupCount)
                                          .Ints("setIDs", setIDs, setCount)
                                          .Ints("smartSetIDs", smartSetIDs, smartSetCount),
                                      reply);
        if (result == CoreErrorCodes::kSuccess && outSmartListID != nullptr)
        {
            *outSmartListID = static_cast<std::int32_t>(typehold::MessageInt(reply.Get(), "smartListID"));
        }
        return result;
    }

    LPIResult SetSmartListQuery(LPIFacade facade, std::int32_t smartListID, std::uint32_t workgroupCount,
                                const std::int32_t* workgroupIDs, std::uint32_t setCount,
                                const std::int32_t* setIDs, std::uint32_t smartSetCount,
                                const std::int32_t* smartSetIDs)
    {
        return Send(facade, GRequest("SetSmartListQuery")
                                .Int("smartListID", smartListID)
                                .Ints("workgroupIDs", workgroupIDs, workgroupCount)
                                .Ints("setIDs", setIDs, setCount)
                                .Ints("smartSetIDs", smartSetIDs, smartSetCount));
    }

    LPIResult GetSmartListFonts(LPIFacade facade, std::int32_t smartListID, CFMutableArrayRef outFonts)
    {
        if (outFonts == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        GCFHolder<CFDictionaryRef> reply;
        const LPIResult result =
            Send(facade, GRequest("GetSmartListFonts").Int("smartListID", smartListID), reply);
        if (result == CoreErrorCodes::kSuccess)
        {
            AppendValues(outFonts, typehold::MessageArray(reply.Get(), "fonts"));
        }
        return result;
    }

    LPIResult CleanUpOnShutdown(LPIFacade facade)
    {
        return Send(facade, GRequest("CleanUpOnShutdown"));
    }

    LPIResult GetFontConflicts(LPIFacade facade, std::uint32_t count, const std::uint32_t* fontIDs,
                               std::int32_t* outConflicts)
    {
        if (count > 0 && (fontIDs == nullptr || outConflicts == nullptr))
        {
            return CoreErrorCodes::kNullPointer;
        }
        GCFHolder<CFDictionaryRef> reply;
        const LPIResult result =
            Send(facade, GRequest("GetFontConflicts").Ints("ids", fontIDs, count), reply);
        if (result == CoreErrorCodes::kSuccess)
        {
            CopyInts(reply.Get(), "conflicts", outConflicts, count);
        }
        return result;
    }

    LPIResult TrackFontPanelClick(LPIFacade facade, std::uint32_t fontID, const char* version)
    {
        return Send(facade, GRequest("TrackFontPanelClick").Int("id", fontID).Text("version", version));
    }

    std::uint32_t CanAccessGoogleFonts(LPIFacade facade)
    {
        std::uint32_t yes = 0;
        return AskYesNo(facade, "CanAccessGoogleFonts", &yes) == CoreErrorCodes::kSuccess ? yes : 0;
    }

    LPIResult SaveDocumentFonts(LPIFacade facade, const char* path, const char* hostAppCode,
                                const char* hostDisplayName, std::uint32_t hint)
    {
        if (path == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        return Send(facade, GRequest("SaveDocumentFonts")
                                .Text("path", path)
                                .Text("app", hostAppCode)
                                .Text("name", hostDisplayName)
                                .Int("hint", hint));
    }

    LPIResult GetFontUsage(LPIFacade facade, const char* path, CFMutableArrayRef outFonts)
    {
        if (path == nullptr || outFonts == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        GCFHolder<CFDictionaryRef> reply;
        const LPIResult result = Send(facade, GRequest("GetFontUsage").Text("path", path), reply);
        if (result == CoreErrorCodes::kSuccess)
        {
            AppendValues(outFonts, typehold::MessageArray(reply.Get(), "fonts"));
        }
        return result;
    }

    LPIResult GetAdobeXMPData(LPIFacade facade, const char* path, CFMutableStringRef outXMP)
    {
        return AppendDocumentXMP(facade, "GetAdobeXMPData", path, outXMP);
    }

    LPIResult GetFaceTraceXMPData(LPIFacade facade, const char* path, CFMutableStringRef outXMP)
    {
        return AppendDocumentXMP(facade, "GetFaceTraceXMPData", path, outXMP);
    }

    // The core writes the slug into the document (see sim/typehold/README.md); an empty array
    // clears it.
    LPIResult WriteFontUsage(LPIFacade facade, const char* path, CFArrayRef fonts)
    {
        if (path == nullptr || fonts == nullptr)
        {
            return CoreErrorCodes::kNullPointer;
        }
        return Send(facade, GRequest("WriteFontUsage").Text("path", path).Value("fonts", fonts));
    }

} // extern "C"

// Every entry point has the type of its slot in the plug-in's table.
#define LPI_CHECK_ENTRY_POINT(name, type)                                                                    \
    static_assert(std::is_same_v<decltype(&name), type>, "the entry point " #name " has the wrong type");
LPI_ENTRY_POINTS(LPI_CHECK_ENTRY_POINT)
#undef LPI_CHECK_ENTRY_POINT
