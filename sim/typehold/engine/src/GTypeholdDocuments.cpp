// The requests about documents: the font-usage slug written into a document's XMP and read back
// from it. They run without the engine's lock (see Handle): a rewrite copies the whole document,
// which can take a while for a large one.

#include "DocumentXMP.h"
#include "GTypeholdEngine.h"
#include "GTypeholdEngineInternal.h"
#include "TypeholdMessage.h"

#include <chrono>
#include <thread>

namespace typehold
{
namespace
{
// The font list of a request: for each dictionary, its sluggable keys with their values as text
// (numbers are written in decimal); every other key is left out.
TErrorCode RecordsOf(CFDictionaryRef args, std::vector<FontUsageRecord>& fonts, std::string& error)
{
    CFArrayRef list = MessageArray(args, "fonts");
    if (list == nullptr)
    {
        error = "no font list";
        return CoreErrorCodes::kInvalidParam;
    }
    for (CFIndex i = 0; i < CFArrayGetCount(list); ++i)
    {
        CFTypeRef entry = CFArrayGetValueAtIndex(list, i);
        if (entry == nullptr || CFGetTypeID(entry) != CFDictionaryGetTypeID())
        {
            error = "entry " + std::to_string(i + 1) + " of the font list is not a dictionary";
            return CoreErrorCodes::kInvalidParam;
        }
        FontUsageRecord font;
        for (const std::string& key : SluggableKeys())
        {
            CFTypeRef value = MessageValue(static_cast<CFDictionaryRef>(entry), key.c_str());
            std::int64_t number = 0;
            if (value != nullptr && CFGetTypeID(value) == CFStringGetTypeID())
            {
                font.Set(key, StringValue(value));
            }
            else if (value != nullptr && CFGetTypeID(value) == CFNumberGetTypeID() &&
                     IntegerValue(value, number))
            {
                font.Set(key, std::to_string(number));
            }
        }
        if (font.Value(kKeyPostScriptName).empty())
        {
            error = "entry " + std::to_string(i + 1) + " of the font list has no PostScript name";
            return CoreErrorCodes::kInvalidParam;
        }
        fonts.push_back(std::move(font));
    }
    return CoreErrorCodes::kSuccess;
}

CFMutableArrayRef CreateRecordArray(const std::vector<FontUsageRecord>& fonts)
{
    CFMutableArrayRef records = CreateMutableArray();
    for (const FontUsageRecord& font : fonts)
    {
        GCFHolder<CFMutableDictionaryRef> record(CreateMutableDictionary());
        for (const auto& [key, value] : font.fields)
        {
            SetString(record.Get(), key.c_str(), value);
        }
        CFArrayAppendValue(records, record.Get());
    }
    return records;
}

// The slug of the document at the request's path.
TErrorCode ReadRequestedSlug(CFDictionaryRef args, const char* op, GExistingXMP& existing,
                             std::vector<FontUsageRecord>& fonts)
{
    const std::string path = MessageString(args, "path");
    if (path.empty())
    {
        return CoreErrorCodes::kInvalidParam;
    }
    std::string error;
    TErrorCode code = ReadDocumentXMP(path, existing, error);
    bool present = false;
    if (code == CoreErrorCodes::kSuccess && existing.present && !existing.readable)
    {
        error = existing.note + ", which cannot be read here";
        code = CoreErrorCodes::kNotSupported;
    }
    else if (code == CoreErrorCodes::kSuccess && !ReadFontUsage(existing.packet, fonts, present, error))
    {
        code = CoreErrorCodes::kError;
    }
    else if (code == CoreErrorCodes::kSuccess && !present)
    {
        error = existing.present ? "its XMP holds no font usage" : "it has no XMP";
        code = CoreErrorCodes::kNotFound;
    }
    if (code != CoreErrorCodes::kSuccess)
    {
        LogLine(code == CoreErrorCodes::kNotFound ? GLogger::kInfo : GLogger::kWarning, "%s: %s: %s", op,
                path.c_str(), error.c_str());
    }
    return code;
}
} // namespace

bool GTypeholdEngine::IsDocumentRequest(const std::string& op)
{
    return op == "WriteFontUsage" || op == "GetFontUsage" || op == "GetAdobeXMPData" ||
           op == "GetFaceTraceXMPData";
}

void GTypeholdEngine::PauseAt(const std::string& op, const char* moment) const
{
    const std::string point = op + "." + moment;
    TUInt32 delay = 0;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        const auto found = mConfig.callDelayMs.find(point);
        delay = found == mConfig.callDelayMs.end() ? 0 : found->second;
    }
    if (delay > 0)
    {
        LogLine(GLogger::kInfo, "%s held for %u ms", point.c_str(), delay);
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    }
}

TErrorCode GTypeholdEngine::WriteFontUsage(GClientInfo& client, CFDictionaryRef args, CFMutableDictionaryRef)
{
    const std::string path = MessageString(args, "path");
    std::vector<FontUsageRecord> fonts;
    std::string error;
    TErrorCode code = path.empty() ? CoreErrorCodes::kInvalidParam : RecordsOf(args, fonts, error);
    if (code != CoreErrorCodes::kSuccess)
    {
        LogLine(GLogger::kError, "The font usage from %s was not written into '%s': %s", client.key.c_str(),
                path.c_str(), path.empty() ? "no document path" : error.c_str());
        return code;
    }
    {
        // The style of each face, when the catalog has the font.
        std::lock_guard<std::mutex> lock(mMutex);
        for (FontUsageRecord& font : fonts)
        {
            for (const CatalogFont* known : mCatalog->FindByPostScriptName(font.Value(kKeyPostScriptName)))
            {
                if (font.faceStyle.empty() ||
                    std::to_string(known->face.checksum) == font.Value(kKeyChecksum))
                {
                    font.faceStyle = known->face.style;
                }
            }
        }
    }

    std::lock_guard<std::mutex> rewriting(mDocumentMutex);
    const TPacketMaker merge = [&](const GExistingXMP& existing, std::string& packet, std::string& why)
    {
        if (existing.present && !existing.readable)
        {
            LogLine(GLogger::kWarning, "'%s': %s; it is replaced without being merged", path.c_str(),
                    existing.note.c_str());
        }
        return MergeFontUsage(existing.readable ? existing.packet : std::string(), fonts, packet, why)
                   ? CoreErrorCodes::kSuccess
                   : CoreErrorCodes::kError;
    };
    code = UpdateDocumentXMP(
        path, merge, [this](const char* moment) { PauseAt("WriteFontUsage", moment); }, error);
    if (code != CoreErrorCodes::kSuccess)
    {
        LogLine(GLogger::kError,
                "The font usage from %s was not written into '%s': %s (the document is left as it was)",
                client.key.c_str(), path.c_str(), error.c_str());
        return code;
    }
    LogLine(GLogger::kInfo, "The font usage of %u font(s) was written into '%s' for %s",
            static_cast<unsigned>(fonts.size()), path.c_str(), client.key.c_str());
    return CoreErrorCodes::kSuccess;
}

TErrorCode GTypeholdEngine::GetFontUsage(GClientInfo&, CFDictionaryRef args, CFMutableDictionaryRef reply)
{
    GExistingXMP existing;
    std::vector<FontUsageRecord> fonts;
    const TErrorCode code = ReadRequestedSlug(args, "GetFontUsage", existing, fonts);
    if (code == CoreErrorCodes::kSuccess)
    {
        GCFHolder<CFMutableArrayRef> records(CreateRecordArray(fonts));
        SetValue(reply, "fonts", records.Get());
    }
    return code;
}

TErrorCode GTypeholdEngine::GetFaceTraceXMPData(GClientInfo&, CFDictionaryRef args,
                                                CFMutableDictionaryRef reply)
{
    GExistingXMP existing;
    std::vector<FontUsageRecord> fonts;
    TErrorCode code = ReadRequestedSlug(args, "GetFaceTraceXMPData", existing, fonts);
    std::string packet;
    std::string error;
    if (code == CoreErrorCodes::kSuccess)
    {
        // The slug alone, as a packet of its own.
        code = MergeFontUsage(std::string(), fonts, packet, error) ? CoreErrorCodes::kSuccess
                                                                   : CoreErrorCodes::kError;
    }
    if (code == CoreErrorCodes::kSuccess)
    {
        SetString(reply, "xmp", packet);
    }
    return code;
}

TErrorCode GTypeholdEngine::GetAdobeXMPData(GClientInfo&, CFDictionaryRef args, CFMutableDictionaryRef reply)
{
    const std::string path = MessageString(args, "path");
    if (path.empty())
    {
        return CoreErrorCodes::kInvalidParam;
    }
    GExistingXMP existing;
    std::string error;
    TErrorCode code = ReadDocumentXMP(path, existing, error);
    if (code == CoreErrorCodes::kSuccess && !existing.readable)
    {
        error = existing.present ? existing.note + ", which cannot be read here" : "it has no XMP";
        code = existing.present ? CoreErrorCodes::kNotSupported : CoreErrorCodes::kNotFound;
    }
    if (code != CoreErrorCodes::kSuccess)
    {
        LogLine(code == CoreErrorCodes::kNotFound ? GLogger::kInfo : GLogger::kWarning,
                "GetAdobeXMPData: %s: %s", path.c_str(), error.c_str());
        return code;
    }
    SetString(reply, "xmp", existing.packet);
    return CoreErrorCodes::kSuccess;
}

std::map<std::string, FontUsageRecord> GTypeholdEngine::ReadSlug(const std::string& path) const
{
    std::map<std::string, FontUsageRecord> slug;
    GExistingXMP existing;
    std::vector<FontUsageRecord> fonts;
    std::string error;
    bool present = false;
    if (ReadDocumentXMP(path, existing, error) != CoreErrorCodes::kSuccess ||
        !ReadFontUsage(existing.readable ? existing.packet : std::string(), fonts, present, error))
    {
        LogLine(GLogger::kWarning,
                "Document %s: its font usage cannot be read (%s); fonts are chosen by name", path.c_str(),
                error.c_str());
        return slug;
    }
    for (FontUsageRecord& font : fonts)
    {
        const std::string name = font.Value(kKeyPostScriptName);
        if (!name.empty())
        {
            slug.emplace(name, std::move(font));
        }
    }
    LogLine(GLogger::kInfo, "Document %s: %s", path.c_str(),
            present ? ("its slug names " + std::to_string(slug.size()) + " font(s)").c_str() : "no slug");
    return slug;
}
} // namespace typehold
