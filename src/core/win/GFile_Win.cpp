#include "GErrorReport.h"
#include "GFile.h"
#include "GStringEncodings.h"

#include <io.h>
#include <windows.h>

namespace
{
constexpr const char* kLogCategory = "FileSystem";
constexpr std::size_t kMaxPathLength = MAX_PATH;
} // namespace

std::FILE* GFile::OSOpen(const TUTF8String& path, const TUTF8String& modeString)
{
    const std::wstring widePath = OSMakeOSStringFromUTF8String(path);
    const std::wstring wideMode = OSMakeOSStringFromUTF8String(modeString);
    if (widePath.size() > kMaxPathLength)
    {
        // Worth knowing when the open fails; the system may well allow it.
        GLogger::GetInstance().LogError(kLogCategory, "Path too long to open! '%s'", path.c_str());
    }
    return _wfopen(widePath.c_str(), wideMode.c_str());
}

TErrorCode GFile::SetFileSize(TUInt32 size)
{
    G_FAIL_IF_AT(GLogger::kDebug, !IsOpen(), kFileNotOpen);
    TUInt64 position = 0;
    G_FAIL_IF_ERROR(GetFilePosition(position));
    // Buffered bytes go out first, so that none lands beyond the new end afterwards.
    G_FAIL_IF(fflush(mpFile) != 0, CoreErrorCodes::kError);
    const HANDLE hFile = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(mpFile)));
    G_FAIL_IF(hFile == INVALID_HANDLE_VALUE, CoreErrorCodes::kError);
    // A size of 2^31 or more turns negative here and is refused by the system.
    const LONG pSize = static_cast<LONG>(size);
    G_FAIL_IF(INVALID_SET_FILE_POINTER == SetFilePointer(hFile, pSize, NULL, FILE_BEGIN),
              CoreErrorCodes::kError);
    G_WIN_FAIL_IF(SetEndOfFile(hFile) == 0, CoreErrorCodes::kError);
    G_FAIL_IF_ERROR(SetFilePosition(eBeginning, static_cast<TSInt64>(position)));
    return CoreErrorCodes::kSuccess;
}
