#pragma once
// File-system paths and queries. A GFileSystemSpec holds a validated full path in UTF-8:
// on Windows a drive path ("C:\dir\file.psd") or a UNC path ("\\server\share\file.psd"),
// on POSIX an absolute path ("/home/user/file.psd").

#include "GErrorCodes.h"

#include <string>

class GFileSystemSpec
{
public:
    GFileSystemSpec() = default;
    // Sets the path (see SetPath); an invalid path is reported and leaves the path empty.
    explicit GFileSystemSpec(const TUTF8String& path);

    // Expands and normalises the path and requires it to be empty or a valid full path;
    // otherwise reports and returns CoreErrorCodes::kInvalidParam, keeping the old value.
    TErrorCode SetPath(const TUTF8String& path);
    // The process's current directory.
    TErrorCode SetToCurrentDirectory();

    const TUTF8String& GetPath() const { return mPath; }
    bool IsEmpty() const { return mPath.empty(); }
    // The text after the last point of the file name; empty when the name has no point.
    TUTF8String GetExtension() const;
    // The last component of the path.
    TUTF8String GetFileName() const;

    bool operator==(const GFileSystemSpec& other) const { return mPath == other.mPath; }

private:
    TUTF8String mPath;
};

class GFileSystem
{
public:
    static constexpr TErrorCode kFileNotFound = MakeErrorCode(1, ErrorModule::kGFileSystem);
    static constexpr TErrorCode kDirectoryNotFound = MakeErrorCode(2, ErrorModule::kGFileSystem);
    static constexpr TErrorCode kInvalidPath = MakeErrorCode(5, ErrorModule::kGFileSystem);
    static constexpr TErrorCode kDirectoryFull = MakeErrorCode(8, ErrorModule::kGFileSystem);

    // The 64-bit size of a file, from the operating system.
    static TErrorCode OSGetFileSize(const GFileSystemSpec& spec, TUInt64& size);
    // True when the path names an existing file (not a directory).
    static bool OSDoesFileExist(const GFileSystemSpec& spec);
    // Expands the path in place (Windows paths are left unchanged); 0 on success.
    static TErrorCode OSExpandPath(TUTF8String& path);
    // Normalises the path in place and tells whether it is a full path. Windows: "/" becomes "\",
    // repeated separators collapse (the leading "\\" of a UNC path stays), a trailing separator
    // stays and a bare drive ("C:") gains its "\"; a full path has a drive letter or is a UNC
    // path. POSIX: the same with "/"; a full path starts with "/".
    static bool OSIsValidFullPath(TUTF8String& path);

#ifdef _WIN32
    // The long-path form of a path for the wide Windows calls: "\\?\" + path, or for a UNC path
    // "\\?\UNC\" + the path without its two leading backslashes. A path already in that form is
    // returned as it is.
    static std::wstring OSMakeLongPathForm(const TUTF8String& path);
#endif

private:
    // Rebuilds a path from its components: empty components (repeated separators) are dropped,
    // each other component is followed by the separator except the last one, which gets it only
    // when it is the only component.
    static TUTF8String JoinPathComponents(const TUTF8String& path, char separator);
};
