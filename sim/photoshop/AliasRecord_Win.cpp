#include "AliasRecord.h"

#include "GStringEncodings.h"

#include <windows.h>

std::vector<std::uint8_t> MakeFileAlias(const std::string& utf8Path, bool stale)
{
    const std::wstring wide = OSMakeOSStringFromUTF8String(utf8Path);
    if (wide.empty())
    {
        return {};
    }
    const int length = static_cast<int>(wide.size());
    const int size =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, nullptr, 0, "?", nullptr);
    std::string narrow(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
    if (size > 0)
    {
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, narrow.data(), size, "?",
                            nullptr);
    }
    const std::u16string utf16(wide.begin(), wide.end());
    return BuildAliasRecord(stale ? StaleNarrowPath(narrow) : narrow, utf16);
}
