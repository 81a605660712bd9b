#pragma once
// The preferences of each host application, kept as an XML property list (a dictionary) in
// "<folder>/<HostApp>.plist". The folder is the one named by LUMORAND_FRAMEWORK_PREFS_DIR, or the
// user's preferences folder. A file is read when first needed and read again whenever its write
// time or size changed; every change is written at once, atomically. A file that is not a
// readable property-list dictionary is renamed to "<HostApp>.plist.damaged-<UTC time>" (never
// overwritten), noted in the transcript, and the host starts with no preferences.

#include "GFrameworkPlatform.h"

#include <CoreFoundation/CoreFoundation.h>

#include <map>
#include <mutex>
#include <utility>
#include <vector>

constexpr const char* kPreferencesFolderVariable = "LUMORAND_FRAMEWORK_PREFS_DIR";

class GPreferenceStore
{
public:
    GPreferenceStore() = default;
    ~GPreferenceStore();
    GPreferenceStore(const GPreferenceStore&) = delete;
    GPreferenceStore& operator=(const GPreferenceStore&) = delete;

    // The file that holds a host's preferences; empty when there is no preferences folder.
    // Characters that cannot be part of a file name become "_"; an empty host is "Default".
    static TUTF8String PathForHost(const TUTF8String& host);

    // The value of a key, retained (the caller releases it), or null.
    CFTypeRef CopyValue(const TUTF8String& host, CFStringRef key);
    // Sets (or, for a null value, removes) the values and writes the file; false when the file
    // could not be written (the values are kept in memory all the same).
    bool SetValues(const TUTF8String& host, const std::vector<std::pair<CFStringRef, CFTypeRef>>& values);
    bool SetValue(const TUTF8String& host, CFStringRef key, CFTypeRef value)
    {
        return SetValues(host, {{key, value}});
    }
    // True when the host's file exists and holds at least one entry.
    bool Exists(const TUTF8String& host);
    // A copy of all the host's preferences (the caller releases it).
    CFDictionaryRef CopyAll(const TUTF8String& host);

private:
    struct GHostFile
    {
        CFMutableDictionaryRef mValues = nullptr;
        GFileStamp mStamp;
        bool mLoaded = false;
        // The file could be neither read nor set aside: it is never written over.
        bool mKeepOffFile = false;
    };

    // The file's entry, read again when the file changed since it was last read or written.
    GHostFile& Refresh(const TUTF8String& path);
    void SetAside(const TUTF8String& path, const TUTF8String& reason, GHostFile& file);
    bool Save(const TUTF8String& path, GHostFile& file);

    std::mutex mMutex;
    std::map<TUTF8String, GHostFile> mFiles;
};
