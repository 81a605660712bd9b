#include "GErrorReport.h"
#include "GProcessInfo.h"

#include <unistd.h>
#include <vector>

namespace
{
constexpr const char* kLogCategory = "Miscellaneous";
} // namespace

TErrorCode GProcessInfo::OSGetCurrentProcessPath(GFileSystemSpec& spec)
{
    std::vector<char> path(4096);
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    G_FAIL_IF(length <= 0 || static_cast<std::size_t>(length) >= path.size(), CoreErrorCodes::kError);
    G_FAIL_IF_ERROR(spec.SetPath(TUTF8String(path.data(), static_cast<std::size_t>(length))));
    return CoreErrorCodes::kSuccess;
}

TErrorCode GProcessInfo::GetFileVersionInfoFromPath(const GFileSystemSpec&, TByteVector&)
{
    return CoreErrorCodes::kNotSupported;
}

TErrorCode GProcessInfo::GetCurrentProcessVersion(TUTF8String&)
{
    return CoreErrorCodes::kNotSupported;
}
