#include "GPreferenceStore.h"

#include "GDateTime.h"
#include "GStringEncodings.h"
#include "GUITranscript.h"

#include <cstdio>

namespace
{
constexpr int kMaxSetAsideAttempts = 100;

// "yyyymmddThhmmss" in UTC.
TUTF8String CompactUTCTime()
{
    const GDateTime now = GDateTime::Now();
    char text[32];
    std::snprintf(text, sizeof text, "%04u%02u%02uT%02u%02u%02u", unsigned{now.Year()}, unsigned{now.Month()},
                  unsigned{now.Day()}, unsigned{now.Hour()}, unsigned{now.Minute()}, unsigned{now.Second()});
    return text;
}

TUTF8String FolderOf(const TUTF8String& path)
{
    const std::size_t separator = path.find_last_of(TUTF8String("/") + GFrameworkPlatform::PathSeparator());
    return separator == TUTF8String::npos ? TUTF8String() : path.substr(0, separator);
}

CFMutableDictionaryRef CreateEmptyDictionary()
{
    return CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                     &kCFTypeDictionaryValueCallBacks);
}
} // namespace

GPreferenceStore::~GPreferenceStore()
{
    for (auto& entry : mFiles)
    {
        if (entry.second.mValues != nullptr)
        {
            CFRelease(entry.second.mValues);
        }
    }
}

TUTF8String GPreferenceStore::PathForHost(const TUTF8String& host)
{
    TUTF8String folder;
    if (!GFrameworkPlatform::GetEnvironment(kPreferencesFolderVariable, folder))
    {
        folder = GFrameworkPlatform::GetDefaultPreferencesFolder();
        if (folder.empty())
        {
            return TUTF8String();
        }
    }
    TUTF8String name = host.empty() ? TUTF8String("Default") : host;
    for (char& c : name)
    {
        if (static_cast<unsigned char>(c) < 0x20 || TUTF8String("<>:\"/\\|?*").find(c) != TUTF8String::npos)
        {
            c = '_';
        }
    }
    return GFrameworkPlatform::JoinPath(folder, name + ".plist");
}

GPreferenceStore::GHostFile& GPreferenceStore::Refresh(const TUTF8String& path)
{
    GHostFile& file = mFiles[path];
    const GFileStamp stamp = GFrameworkPlatform::GetFileStamp(path);
    if (file.mLoaded && stamp == file.mStamp)
    {
        return file;
    }
    if (file.mValues != nullptr)
    {
        CFRelease(file.mValues);
    }
    file.mValues = CreateEmptyDictionary();
    file.mLoaded = true;
    file.mStamp = stamp;
    file.mKeepOffFile = false;
    if (!stamp.mExists)
    {
        return file;
    }

    std::string bytes;
    TUTF8String reason;
    if (!GFrameworkPlatform::ReadFile(path, bytes, reason))
    {
        GUITranscript::Note("preferences file " + GUITranscript::Quote(path) + " cannot be read (" + reason +
                            "); it is left alone and read as no preferences");
        file.mKeepOffFile = true;
        return file;
    }
    CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(bytes.data()),
                                  static_cast<CFIndex>(bytes.size()));
    CFStringRef parseError = nullptr;
    CFPropertyListRef list =
        data != nullptr
            ? CFPropertyListCreateFromXMLData(nullptr, data, kCFPropertyListMutableContainers, &parseError)
            : nullptr;
    if (data != nullptr)
    {
        CFRelease(data);
    }
    if (list != nullptr && CFGetTypeID(list) == CFDictionaryGetTypeID())
    {
        CFRelease(file.mValues);
        file.mValues = CFDictionaryCreateMutableCopy(nullptr, 0, static_cast<CFDictionaryRef>(list));
        CFRelease(list);
        return file;
    }
    if (list != nullptr)
    {
        CFStringRef typeName = CFCopyTypeIDDescription(CFGetTypeID(list));
        reason = "the top level is a " + UTF8StringFromCFString(typeName) + ", not a dictionary";
        if (typeName != nullptr)
        {
            CFRelease(typeName);
        }
        CFRelease(list);
    }
    else
    {
        reason = parseError != nullptr ? UTF8StringFromCFString(parseError) : TUTF8String("unreadable");
    }
    if (parseError != nullptr)
    {
        CFRelease(parseError);
    }
    SetAside(path, reason, file);
    return file;
}

void GPreferenceStore::SetAside(const TUTF8String& path, const TUTF8String& reason, GHostFile& file)
{
    const TUTF8String base = path + ".damaged-" + CompactUTCTime();
    TUTF8String failure;
    for (int attempt = 1; attempt <= kMaxSetAsideAttempts; ++attempt)
    {
        const TUTF8String target = attempt == 1 ? base : base + "-" + std::to_string(attempt);
        if (GFrameworkPlatform::GetFileStamp(target).mExists)
        {
            continue;
        }
        if (GFrameworkPlatform::RenameWithoutReplacing(path, target, failure))
        {
            GUITranscript::Note("preferences file " + GUITranscript::Quote(path) +
                                " is not a readable property-list dictionary (" + reason +
                                "); set aside as " + GUITranscript::Quote(target) +
                                ", starting with no preferences");
            file.mStamp = GFrameworkPlatform::GetFileStamp(path);
            return;
        }
        break;
    }
    GUITranscript::Note("preferences file " + GUITranscript::Quote(path) +
                        " is not a readable property-list dictionary (" + reason +
                        ") and could not be set aside (" + failure +
                        "); it is left in place, not written over, and read as no preferences");
    file.mKeepOffFile = true;
}

bool GPreferenceStore::Save(const TUTF8String& path, GHostFile& file)
{
    if (file.mKeepOffFile)
    {
        GUITranscript::Note("preferences not written: " + GUITranscript::Quote(path) +
                            " could not be read or set aside");
        return false;
    }
    TUTF8String reason;
    if (!GFrameworkPlatform::CreateFolder(FolderOf(path), reason))
    {
        GUITranscript::Note("preferences not written to " + GUITranscript::Quote(path) + ": " + reason);
        return false;
    }
    CFDataRef xml = CFPropertyListCreateXMLData(nullptr, file.mValues);
    if (xml == nullptr)
    {
        GUITranscript::Note("preferences not written to " + GUITranscript::Quote(path) +
                            ": they are not a property list");
        return false;
    }
    const std::string bytes(reinterpret_cast<const char*>(CFDataGetBytePtr(xml)),
                            static_cast<std::size_t>(CFDataGetLength(xml)));
    CFRelease(xml);
    if (!GFrameworkPlatform::WriteFileAtomically(path, bytes, reason))
    {
        GUITranscript::Note("preferences not written to " + GUITranscript::Quote(path) + ": " + reason);
        return false;
    }
    // Our own write is not a change from outside.
    file.mStamp = GFrameworkPlatform::GetFileStamp(path);
    return true;
}

CFTypeRef GPreferenceStore::CopyValue(const TUTF8String& host, CFStringRef key)
{
    const TUTF8String path = PathForHost(host);
    if (key == nullptr || path.empty())
    {
        return nullptr;
    }
    const std::lock_guard<std::mutex> lock(mMutex);
    CFTypeRef value = CFDictionaryGetValue(Refresh(path).mValues, key);
    return value != nullptr ? CFRetain(value) : nullptr;
}

bool GPreferenceStore::SetValues(const TUTF8String& host,
                                 const std::vector<std::pair<CFStringRef, CFTypeRef>>& values)
{
    const TUTF8String path = PathForHost(host);
    if (path.empty())
    {
        GUITranscript::Note("preferences not written: there is no preferences folder (set " +
                            TUTF8String(kPreferencesFolderVariable) + ")");
        return false;
    }
    const std::lock_guard<std::mutex> lock(mMutex);
    // Read first: a change made to the file from outside is kept, not written over.
    GHostFile& file = Refresh(path);
    for (const auto& [key, value] : values)
    {
        if (key == nullptr || CFGetTypeID(key) != CFStringGetTypeID())
        {
            continue;
        }
        if (value != nullptr)
        {
            CFDictionarySetValue(file.mValues, key, value);
        }
        else
        {
            CFDictionaryRemoveValue(file.mValues, key);
        }
    }
    return Save(path, file);
}

bool GPreferenceStore::Exists(const TUTF8String& host)
{
    const TUTF8String path = PathForHost(host);
    if (path.empty())
    {
        return false;
    }
    const std::lock_guard<std::mutex> lock(mMutex);
    const GHostFile& file = Refresh(path);
    return file.mStamp.mExists && !file.mKeepOffFile && CFDictionaryGetCount(file.mValues) > 0;
}

CFDictionaryRef GPreferenceStore::CopyAll(const TUTF8String& host)
{
    const TUTF8String path = PathForHost(host);
    const std::lock_guard<std::mutex> lock(mMutex);
    if (path.empty())
    {
        return CFDictionaryCreate(nullptr, nullptr, nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                  &kCFTypeDictionaryValueCallBacks);
    }
    return CFDictionaryCreateCopy(nullptr, Refresh(path).mValues);
}
