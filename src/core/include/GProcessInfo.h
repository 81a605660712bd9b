#pragma once
// The executable and version of the current process, and version resources of files (category
// "Miscellaneous"). Version resources exist on Windows only: natively the version operations
// answer CoreErrorCodes::kNotSupported.

#include "GFileSystem.h"

class GProcessInfo
{
public:
    // The full path of the executable of the current process.
    static TErrorCode OSGetCurrentProcessPath(GFileSystemSpec& spec);
    // The whole version resource of a file.
    static TErrorCode GetFileVersionInfoFromPath(const GFileSystemSpec& fsPath, TByteVector& versionBytes);
    // The fixed file version of the current process's executable as four decimal numbers joined
    // by "." ("23.1.0.202").
    static TErrorCode GetCurrentProcessVersion(TUTF8String& version);
};
