#include "GErrorReport.h"
#include "GStringEncodings.h"

#include <cwchar>
#include <vector>
#include <windows.h>

namespace
{
constexpr const char* kLogCategory = "Miscellaneous";
constexpr std::size_t kMaxOSStringLength = 0x7FFFFFFF;
} // namespace

std::wstring OSMakeOSStringFromUTF8String(const TUTF8String& text)
{
    if (text.empty())
    {
        return std::wstring();
    }
    const int inputLength = static_cast<int>(text.size());
    const int needed =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), inputLength, nullptr, 0);
    if (needed <= 0)
    {
        return std::wstring();
    }
    std::wstring result(static_cast<std::size_t>(needed), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), inputLength, result.data(), needed) !=
        needed)
    {
        return std::wstring();
    }
    return result;
}

TUTF8String OSMakeUTF8StringFromOSString(const wchar_t* text)
{
    const std::size_t length = (text == nullptr) ? 0 : wcsnlen(text, kMaxOSStringLength);
    if (length >= kMaxOSStringLength)
    {
        GLogger::GetInstance().LogError(kLogCategory, "OSMakeUTF8StringFromOSString truncated a string");
    }
    const int needed =
        WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (needed < 1)
    {
        return TUTF8String();
    }
    std::vector<char> buffer(static_cast<std::size_t>(needed) + 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), buffer.data(), needed, nullptr, nullptr);
    buffer[static_cast<std::size_t>(needed)] = '\0';
    return TUTF8String(buffer.data());
}

TUTF16String UTF8ToUTF16(const TUTF8String& text)
{
    const std::wstring wide = OSMakeOSStringFromUTF8String(text);
    return TUTF16String(wide.begin(), wide.end());
}

TUTF8String UTF16ToUTF8(const TUTF16String& text)
{
    if (text.empty())
    {
        return TUTF8String();
    }
    const std::wstring wide(text.begin(), text.end());
    const int length = static_cast<int>(wide.size());
    const int needed =
        WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
    {
        return TUTF8String();
    }
    TUTF8String result(static_cast<std::size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), length, result.data(), needed, nullptr,
                        nullptr);
    return result;
}

TErrorCode CodePageToUTF8(const TUTF8String& bytes, unsigned int codePage, TUTF8String& utf8)
{
    if (bytes.empty())
    {
        return CoreErrorCodes::kUnknownError;
    }
    std::vector<wchar_t> wide(4 * bytes.size() + 1, L'\0');
    const int converted =
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                            wide.data(), static_cast<int>(wide.size() - 1));
    if (converted == 0)
    {
        const DWORD error = GetLastError();
        switch (error)
        {
        case ERROR_INVALID_PARAMETER:
            return CoreErrorCodes::kInvalidParam;
        case ERROR_INSUFFICIENT_BUFFER:
            return CoreErrorCodes::kIndexOutOfRange;
        case ERROR_INVALID_FLAGS:
            return CoreErrorCodes::kItemNotHandled;
        case ERROR_NO_UNICODE_TRANSLATION:
            return CoreErrorCodes::kNotSupported;
        default:
            TraceLog(0, "Impossible error-code from MultiByteToWideChar: %08x", static_cast<unsigned>(error));
            return CoreErrorCodes::kUnknownError;
        }
    }
    wide[static_cast<std::size_t>(converted)] = L'\0';
    utf8 = OSMakeUTF8StringFromOSString(wide.data());
    return CoreErrorCodes::kSuccess;
}

TUTF8String OSMakeLowerCaseUTF8String(const TUTF8String& text)
{
    std::wstring wide = OSMakeOSStringFromUTF8String(text);
    if (wide.empty())
    {
        return TUTF8String();
    }
    CharLowerW(wide.data());
    return OSMakeUTF8StringFromOSString(wide.c_str());
}
