#include "GErrorReport.h"
#include "GStringEncodings.h"

#include <windows.h>

TUTF8String WindowsErrorText(unsigned long windowsError)
{
    LPSTR buffer = nullptr;
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, windowsError, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                        reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
    if (length == 0)
    {
        return "FormatMessage Failed";
    }
    if (buffer == nullptr)
    {
        return "Null message";
    }
    // The text is in the system's ANSI code page.
    TUTF8String text;
    if (CodePageToUTF8(TUTF8String(buffer, length), CP_ACP, text) != CoreErrorCodes::kSuccess)
    {
        text.assign(buffer, length);
    }
    LocalFree(buffer);
    // The system ends its texts with a line break; the report stays on one line.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    {
        text.pop_back();
    }
    return text;
}

void ReportWindowsCheckFailure(const char* category, TErrorCode code, const char* file, int line,
                               const char* expression, unsigned long windowsError)
{
    GLogger& logger = GLogger::GetInstance();
    if (!logger.IsLogged(category != nullptr ? category : "", GLogger::kError))
    {
        return;
    }
    const TUTF8String name = ErrorCodeToString(code);
    const TUTF8String text = WindowsErrorText(windowsError);
    logger.Log(category, GLogger::kError,
               "Error='%s'  File='%s'  Line=%d  Expression='%s'  Window's Error=%d: '%s'  Code='%d'  ",
               name.c_str(), file != nullptr ? file : "", line, expression != nullptr ? expression : "",
               static_cast<int>(windowsError), text.c_str(), static_cast<int>(code));
}
