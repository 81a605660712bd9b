#pragma once
// What the framework library needs of the operating system: environment variables, the
// preferences folder, small whole-file reads and writes, atomic replacement of a file, and the
// class name of a window. Paths and texts are UTF-8.

#include "GTypes.h"

#include <string>

// The identity of a file's current content as the file system reports it: whether it exists,
// its last write time (in the system's own units) and its size.
struct GFileStamp
{
    bool mExists = false;
    TSInt64 mModified = 0;
    TUInt64 mSize = 0;

    bool operator==(const GFileStamp& other) const = default;
};

class GFrameworkPlatform
{
public:
    // The value of an environment variable; false when it is unset or empty.
    static bool GetEnvironment(const char* name, TUTF8String& value);

    // The per-user folder for the preference files: "%APPDATA%\Lumorand\Plugin Preferences" on
    // Windows, "$XDG_CONFIG_HOME/Lumorand/Plugin Preferences" (or under ~/.config) elsewhere.
    // Empty when the user's folder cannot be found.
    static TUTF8String GetDefaultPreferencesFolder();

    static char PathSeparator();
    static TUTF8String JoinPath(const TUTF8String& folder, const TUTF8String& name);

    static GFileStamp GetFileStamp(const TUTF8String& path);
    // The whole content of a file; false (with a reason) when it cannot be read.
    static bool ReadFile(const TUTF8String& path, std::string& bytes, TUTF8String& reason);
    // Creates the folder and the missing folders above it.
    static bool CreateFolder(const TUTF8String& path, TUTF8String& reason);
    // Writes the bytes to a temporary file beside the target, flushes it to disk and moves it over
    // the target in one step, so that readers see either the old or the new content.
    static bool WriteFileAtomically(const TUTF8String& path, const std::string& bytes, TUTF8String& reason);
    // Renames a file; never replaces an existing one (false then).
    static bool RenameWithoutReplacing(const TUTF8String& from, const TUTF8String& to, TUTF8String& reason);
    // Appends the bytes to the file (created when missing) in one write.
    static bool AppendToFile(const TUTF8String& path, const std::string& bytes);

    // The window class name of a window; empty when it has none or is not a window.
    static TUTF8String GetWindowClassName(void* window);

    static TUInt32 GetProcessID();

    // What a modal dialog does while it is open: runs the calling thread's message loop
    // (retrieving, translating and dispatching every message, as a dialog's loop does) for ms
    // milliseconds. Elsewhere it only sleeps.
    static void RunModalLoop(TSInt32 ms);
};
