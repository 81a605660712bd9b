#include "LumorandFileUtils.h"

#include "GLogger.h"
#include "GStringEncodings.h"

#include <cstring>
#include <sys/stat.h>
#include <vector>
#include <windows.h>

namespace
{
// FILETIME counts 100-nanosecond intervals since 1601-01-01 00:00 UTC.
constexpr TSInt64 kFileTimeOfUnixEpoch = 116444736000000000LL;
constexpr TSInt64 kFileTimeUnitsPerSecond = 10000000LL;

bool ReadLastWriteTime(const wchar_t* widePath, FILETIME& lastWrite)
{
    const HANDLE hFile = CreateFileW(widePath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
    {
        return false;
    }
    const bool gotTime = GetFileTime(hFile, NULL, NULL, &lastWrite) != FALSE;
    CloseHandle(hFile);
    return gotTime;
}
} // namespace

TSInt64 LumorandFileUtils::GetFileModificationDate(const char* path)
{
    if (path == nullptr)
    {
        return 0;
    }
    std::vector<wchar_t> widePath(4 * std::strlen(path) + 1, L'\0');
    FILETIME lastWrite{};
    bool gotTime = OSConvertANSIPathToUTF16(path, widePath.data(), widePath.size()) &&
                   ReadLastWriteTime(widePath.data(), lastWrite);
    if (!gotTime)
    {
        gotTime = OSConvertUTF8PathToUTF16(path, widePath.data(), widePath.size()) &&
                  ReadLastWriteTime(widePath.data(), lastWrite);
    }
    if (!gotTime)
    {
        return 0;
    }
    const TSInt64 fileTime = static_cast<TSInt64>((static_cast<TUInt64>(lastWrite.dwHighDateTime) << 32) |
                                                  lastWrite.dwLowDateTime);
    const TSInt64 seconds = (fileTime - kFileTimeOfUnixEpoch) / kFileTimeUnitsPerSecond;

    struct _stat64i32 statInfo
    {
    };
    if (_stat64i32(path, &statInfo) == 0 && statInfo.st_mtime != seconds)
    {
        TraceLog(0, "%s(%s) returning timestamp that differs from stat result by %d seconds.",
                 "LumorandFileUtils::GetFileModificationDate", path,
                 static_cast<TSInt32>(seconds - statInfo.st_mtime));
    }
    return seconds;
}
