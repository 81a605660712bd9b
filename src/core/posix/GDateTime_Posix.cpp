#include "GDateTime.h"

#include <ctime>

GDateTime GDateTime::Now()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm utc{};
    gmtime_r(&now.tv_sec, &utc);
    GDateTime result;
    result.mYear = static_cast<TUInt16>(utc.tm_year + 1900);
    result.mMonth = static_cast<TUInt16>(utc.tm_mon + 1);
    result.mDay = static_cast<TUInt16>(utc.tm_mday);
    result.mHour = static_cast<TUInt16>(utc.tm_hour);
    result.mMinute = static_cast<TUInt16>(utc.tm_min);
    result.mSecond = static_cast<TUInt16>(utc.tm_sec);
    result.mMillisecond = static_cast<TUInt16>(now.tv_nsec / 1000000);
    return result;
}
