#include "GStringEncodings.h"

#include <climits>
#include <windows.h>

namespace
{
bool ConvertPathToUTF16(UINT codePage, const char* path, wchar_t* buffer, std::size_t bufferLength)
{
    if (buffer == nullptr || bufferLength == 0)
    {
        return false;
    }
    buffer[0] = L'\0';
    if (path == nullptr || bufferLength > static_cast<std::size_t>(INT_MAX))
    {
        return false;
    }
    if (path[0] == '\0')
    {
        return true;
    }
    // The input length -1 includes the terminator in the conversion.
    const int converted = MultiByteToWideChar(codePage, 0, path, -1, buffer, static_cast<int>(bufferLength));
    if (converted <= 0)
    {
        buffer[0] = L'\0';
        return false;
    }
    buffer[bufferLength - 1] = L'\0';
    return true;
}
} // namespace

bool OSConvertANSIPathToUTF16(const char* path, wchar_t* buffer, std::size_t bufferLength)
{
    return ConvertPathToUTF16(CP_ACP, path, buffer, bufferLength);
}

bool OSConvertUTF8PathToUTF16(const char* path, wchar_t* buffer, std::size_t bufferLength)
{
    return ConvertPathToUTF16(CP_UTF8, path, buffer, bufferLength);
}
