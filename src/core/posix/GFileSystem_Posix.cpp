#include "GErrorReport.h"
#include "GFileSystem.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
constexpr const char* kLogCategory = "FileSystem";
} // namespace

bool GFileSystem::OSDoesFileExist(const GFileSystemSpec& spec)
{
    struct stat info
    {
    };
    return !spec.IsEmpty() && stat(spec.GetPath().c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

TErrorCode GFileSystem::OSGetFileSize(const GFileSystemSpec& fsFile, TUInt64& fileSize)
{
    // The report's expression is written with its blanks inside the parentheses.
    // clang-format off
    G_FAIL_IF(!OSDoesFileExist( fsFile ), GFileSystem::kFileNotFound);
    // clang-format on
    struct stat info
    {
    };
    G_FAIL_IF(0 != stat(fsFile.GetPath().c_str(), &info), CoreErrorCodes::kError);
    fileSize = static_cast<TUInt64>(info.st_size);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GFileSystem::OSExpandPath(TUTF8String& path)
{
    // "~" and "~/..." name the user's home folder.
    if (path == "~" || path.rfind("~/", 0) == 0)
    {
        const char* home = std::getenv("HOME");
        if (home != nullptr && home[0] != '\0')
        {
            path = TUTF8String(home) + path.substr(1);
        }
    }
    return CoreErrorCodes::kSuccess;
}

bool GFileSystem::OSIsValidFullPath(TUTF8String& path)
{
    const bool absolute = !path.empty() && path[0] == '/';
    path = (absolute ? TUTF8String("/") : TUTF8String()) + JoinPathComponents(path, '/');
    return absolute;
}

TErrorCode GFileSystemSpec::SetToCurrentDirectory()
{
    std::vector<char> buffer(4096);
    G_FAIL_IF(getcwd(buffer.data(), buffer.size()) == nullptr, CoreErrorCodes::kError);
    G_FAIL_IF_ERROR(SetPath(buffer.data()));
    return CoreErrorCodes::kSuccess;
}
