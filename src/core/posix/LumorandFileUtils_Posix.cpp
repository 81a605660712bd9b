#include "LumorandFileUtils.h"

#include <sys/stat.h>

TSInt64 LumorandFileUtils::GetFileModificationDate(const char* path)
{
    struct stat info
    {
    };
    if (path == nullptr || stat(path, &info) != 0)
    {
        return 0;
    }
    return static_cast<TSInt64>(info.st_mtime);
}
