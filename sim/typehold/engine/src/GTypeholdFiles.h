#pragma once
// File helpers of the core: UTF-8 paths on every system, replacement of state files in one step
// (readers never see half a file), no exceptions.

#include "GTypes.h"

#include <filesystem>
#include <string>

namespace typehold
{
std::filesystem::path PathFromUTF8(const std::string& utf8);
std::string UTF8FromPath(const std::filesystem::path& path);

// The whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& bytes);
// Writes a temporary file beside the target and renames it over the target (retried for a while
// when a reader holds the target open). False, with the reason, when that fails.
bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& error);
// Appends bytes to a file, creating it.
bool AppendToFile(const std::string& path, const std::string& bytes);
// A stamp that changes whenever the file is rewritten (modification time and size); -1 when the
// file does not exist.
TSInt64 FileChangeStamp(const std::string& path);
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
bool CreateFolders(const std::string& path);
bool CopyFileReplacing(const std::string& from, const std::string& to, std::string& error);
// The folder and the name joined with the system's separator.
std::string JoinPath(const std::string& folder, const std::string& name);
// The last component of a path given with either separator.
std::string FileNamePart(const std::string& path);
} // namespace typehold
