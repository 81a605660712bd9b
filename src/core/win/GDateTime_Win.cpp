#include "GDateTime.h"

#include <windows.h>

GDateTime GDateTime::Now()
{
    SYSTEMTIME now{};
    GetSystemTime(&now);
    GDateTime result;
    result.mYear = now.wYear;
    result.mMonth = now.wMonth;
    result.mDay = now.wDay;
    result.mHour = now.wHour;
    result.mMinute = now.wMinute;
    result.mSecond = now.wSecond;
    result.mMillisecond = now.wMilliseconds;
    return result;
}
