#pragma once
// Failed-check reports and the check forms used throughout the code base.
//
// A failed check writes one line through the logger, in the category of the reporting source
// file, at the check's level:
//   Error='<name>'  File='<file>'  Line=<n>  Expression='<source text>'  Code='<code>'
// and its code goes back to the caller. Every source file that uses the check forms defines
// the category it logs under:
//   namespace { constexpr const char* kLogCategory = "FileSystem"; }

#include "GErrorCodes.h"
#include "GLogger.h"

// Writes the report line of a failed check. Never fails, never throws.
void ReportCheckFailure(const char* category, TSInt32 level, TErrorCode code, const char* file, int line,
                        const char* expression);

// Reports the code when it is not 0 and returns it.
inline TErrorCode ReportIfError(const char* category, TSInt32 level, TErrorCode code, const char* file,
                                int line, const char* expression)
{
    if (code != CoreErrorCodes::kSuccess)
    {
        ReportCheckFailure(category, level, code, file, line, expression);
    }
    return code;
}

#ifdef _WIN32
// The report of a failed check on a Windows call, at level Error: as above plus the Windows
// error number and the system's text for it.
void ReportWindowsCheckFailure(const char* category, TErrorCode code, const char* file, int line,
                               const char* expression, unsigned long windowsError);

// The system's text for a Windows error number ("FormatMessage Failed" when the system has none,
// "Null message" when it answers without a text), in UTF-8.
TUTF8String WindowsErrorText(unsigned long windowsError);
#endif

// The check forms take the expression's text where they are written: a form that forwarded
// its condition to another macro would report it with its macros expanded ("errno" as
// "(*__errno_location ())", "NULL" as "__null").

// Fail-if with a fixed code: when the condition holds, report it and return the code.
#define G_FAIL_IF_TEXT_(level, condition, text, code)                                                        \
    do                                                                                                       \
    {                                                                                                        \
        if (condition)                                                                                       \
        {                                                                                                    \
            const TErrorCode gFailCode_ = (code);                                                            \
            ReportCheckFailure(kLogCategory, (level), gFailCode_, __FILE__, __LINE__, text);                 \
            return gFailCode_;                                                                               \
        }                                                                                                    \
    } while (false)
#define G_FAIL_IF_AT(level, condition, code) G_FAIL_IF_TEXT_(level, condition, #condition, code)
#define G_FAIL_IF(condition, code) G_FAIL_IF_TEXT_(GLogger::kError, condition, #condition, code)

// Fail-if-error: evaluate a call that returns an error code; if it is not 0, report it with
// that code and return it.
#define G_FAIL_IF_ERROR_TEXT_(level, call, text)                                                             \
    do                                                                                                       \
    {                                                                                                        \
        const TErrorCode gCallCode_ = (call);                                                                \
        if (gCallCode_ != CoreErrorCodes::kSuccess)                                                          \
        {                                                                                                    \
            ReportCheckFailure(kLogCategory, (level), gCallCode_, __FILE__, __LINE__, text);                 \
            return gCallCode_;                                                                               \
        }                                                                                                    \
    } while (false)
#define G_FAIL_IF_ERROR_AT(level, call) G_FAIL_IF_ERROR_TEXT_(level, call, #call)
#define G_FAIL_IF_ERROR(call) G_FAIL_IF_ERROR_TEXT_(GLogger::kError, call, #call)

// Evaluate a call that returns an error code and report it when it is not 0; the expression
// yields the code, so the caller goes on (constructors, scoped locks).
#define G_REPORT_ERROR_AT(level, call) ReportIfError(kLogCategory, (level), (call), __FILE__, __LINE__, #call)
#define G_REPORT_IF_ERROR(call)                                                                              \
    static_cast<void>(ReportIfError(kLogCategory, GLogger::kError, (call), __FILE__, __LINE__, #call))

// Report a condition with a code without leaving the enclosing operation.
#define G_REPORT_IF_AT(level, condition, code)                                                               \
    do                                                                                                       \
    {                                                                                                        \
        if (condition)                                                                                       \
        {                                                                                                    \
            ReportCheckFailure(kLogCategory, (level), (code), __FILE__, __LINE__, #condition);               \
        }                                                                                                    \
    } while (false)

#ifdef _WIN32
// Windows fail-if: as G_FAIL_IF, with the Windows error taken right after the failing call.
#define G_WIN_FAIL_IF(condition, code)                                                                       \
    do                                                                                                       \
    {                                                                                                        \
        if (condition)                                                                                       \
        {                                                                                                    \
            const unsigned long gWinError_ = ::GetLastError();                                               \
            const TErrorCode gFailCode_ = (code);                                                            \
            ReportWindowsCheckFailure(kLogCategory, gFailCode_, __FILE__, __LINE__, #condition, gWinError_); \
            return gFailCode_;                                                                               \
        }                                                                                                    \
    } while (false)
#endif
