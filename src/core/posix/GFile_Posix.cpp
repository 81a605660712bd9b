#include "GErrorReport.h"
#include "GFile.h"

#include <limits>
#include <unistd.h>

namespace
{
constexpr const char* kLogCategory = "FileSystem";
// The largest size the Windows build can set (its sizes pass through a 32-bit signed value).
constexpr TUInt32 kMaxFileSize = std::numeric_limits<TSInt32>::max();
} // namespace

std::FILE* GFile::OSOpen(const TUTF8String& path, const TUTF8String& modeString)
{
    return std::fopen(path.c_str(), modeString.c_str());
}

TErrorCode GFile::SetFileSize(TUInt32 size)
{
    G_FAIL_IF_AT(GLogger::kDebug, !IsOpen(), kFileNotOpen);
    TUInt64 position = 0;
    G_FAIL_IF_ERROR(GetFilePosition(position));
    G_FAIL_IF(size > kMaxFileSize, CoreErrorCodes::kError);
    // Buffered bytes go out first, so that none lands beyond the new end afterwards.
    G_FAIL_IF(fflush(mpFile) != 0, CoreErrorCodes::kError);
    G_FAIL_IF(0 != ftruncate(fileno(mpFile), static_cast<off_t>(size)), CoreErrorCodes::kError);
    G_FAIL_IF_ERROR(SetFilePosition(eBeginning, static_cast<TSInt64>(position)));
    return CoreErrorCodes::kSuccess;
}
