#include "GFileSystem.h"

#include "GErrorReport.h"

namespace
{
constexpr const char* kLogCategory = "FileSystem";

#ifdef _WIN32
constexpr const char* kPathSeparators = "\\/";
#else
constexpr const char* kPathSeparators = "/";
#endif
} // namespace

GFileSystemSpec::GFileSystemSpec(const TUTF8String& path)
{
    SetPath(path);
}

TErrorCode GFileSystemSpec::SetPath(const TUTF8String& path)
{
    TUTF8String strCopy = path;
    G_FAIL_IF_ERROR(GFileSystem::OSExpandPath(strCopy));
    G_FAIL_IF(!(strCopy.empty() || GFileSystem::OSIsValidFullPath(strCopy)), CoreErrorCodes::kInvalidParam);
    mPath = strCopy;
    return CoreErrorCodes::kSuccess;
}

TUTF8String GFileSystemSpec::GetFileName() const
{
    const std::size_t separator = mPath.find_last_of(kPathSeparators);
    return separator == TUTF8String::npos ? mPath : mPath.substr(separator + 1);
}

TUTF8String GFileSystemSpec::GetExtension() const
{
    const TUTF8String name = GetFileName();
    const std::size_t point = name.rfind('.');
    return point == TUTF8String::npos ? TUTF8String() : name.substr(point + 1);
}

TUTF8String GFileSystem::JoinPathComponents(const TUTF8String& path, char separator)
{
    TUTF8String joined;
    joined.reserve(path.size() + 1);
    std::size_t start = 0;
    bool onlyComponent = true;
    while (true)
    {
        const std::size_t end = path.find(separator, start);
        if (end == TUTF8String::npos)
        {
            joined.append(path, start, TUTF8String::npos);
            if (onlyComponent && start < path.size())
            {
                joined += separator;
            }
            return joined;
        }
        onlyComponent = false;
        if (end > start)
        {
            joined.append(path, start, end - start);
            joined += separator;
        }
        start = end + 1;
    }
}
